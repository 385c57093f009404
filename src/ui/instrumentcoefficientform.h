#ifndef INSTRUMENTCOEFFICIENTFORM_H
#define INSTRUMENTCOEFFICIENTFORM_H

#include <QWidget>

class Ui_InstrumentCoefficientForm;

// "仪器系数": K from a reference material's theoretical melting enthalpy and
// the enthalpy this instrument showed for it, kept in the configuration map
// and written to config.json.
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
    // The K every peak enthalpy is scaled by now.
    static float coefficientInForce();
    // The factor the last peak enthalpy was scaled by, which a measured
    // enthalpy read off its label was shown with: the K then in force, or the
    // enthalpy correction at the region's start while it was on. The K in
    // force before any peak was analysed.
    static float coefficientOfLastEnthalpy();
    // The K under which an enthalpy measured with the coefficient measuredWith
    // reads theory: measuredWith × theory / measured. An enthalpy shown while
    // no usable K was in force (0, negative, not a number) was scaled by
    // nothing usable and counts as unscaled.
    static float calibrated(float measuredWith, float theory, float measured);

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_pushButtonCalculate_clicked();
    void on_pushButtonCancel_clicked();

private:
    void showCoefficientInForce();

    Ui_InstrumentCoefficientForm* _ui;
    // The factor of the last peak enthalpy when the measured enthalpy was last
    // typed: the label it was read off was scaled by it, however often "计算"
    // is pressed since.
    float _measuredWith;
};

#endif // INSTRUMENTCOEFFICIENTFORM_H
