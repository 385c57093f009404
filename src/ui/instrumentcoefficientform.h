#ifndef INSTRUMENTCOEFFICIENTFORM_H
#define INSTRUMENTCOEFFICIENTFORM_H

#include <QWidget>

class Ui_InstrumentCoefficientForm;

// "仪器系数": K = theoretical / measured melting enthalpy of a reference
// material, kept in the configuration map and written to config.json.
class InstrumentCoefficientForm : public QWidget
{
    Q_OBJECT

public:
    explicit InstrumentCoefficientForm(QWidget* parent = nullptr);
    ~InstrumentCoefficientForm() override;

    // Stores K in the configuration and config.json; when the file cannot be
    // written, a box says so and the old K stays in force.
    static bool storeCoefficient(QWidget* parent, float coefficient);
    // Called once at start-up: a K that is missing, not a number or not above
    // 0 would make every enthalpy 0 (or negative) without a word.
    static void warnIfStoredCoefficientUnusable(QWidget* parent);

private slots:
    void on_pushButtonCalculate_clicked();
    void on_pushButtonCancel_clicked();

private:
    Ui_InstrumentCoefficientForm* _ui;
};

#endif // INSTRUMENTCOEFFICIENTFORM_H
