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

private slots:
    void on_pushButtonCalculate_clicked();
    void on_pushButtonCancel_clicked();

private:
    Ui_InstrumentCoefficientForm* _ui;
};

#endif // INSTRUMENTCOEFFICIENTFORM_H
