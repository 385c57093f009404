#include "instrumentcoefficientform.h"

#include "confighandler.h"
#include "global.h"
#include "messagebox.h"
#include "ui_instrumentcoefficientform.h"

#include <cmath>

InstrumentCoefficientForm::InstrumentCoefficientForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_InstrumentCoefficientForm)
{
    _ui->setupUi(this);
    setWindowTitle(QStringLiteral("仪器系数"));
    const float coefficient = Global::_configMap.value(Global::InstrumentCoefficientKey).toFloat();
    _ui->LineEditCoefficient->setText(QString::number(static_cast<double>(coefficient), 'f', 3));
}

InstrumentCoefficientForm::~InstrumentCoefficientForm()
{
    delete _ui;
}

// K multiplies every peak enthalpy, so a K that is not a positive finite
// number (an empty or zero field) would spoil every later result and the
// saved configuration; it is refused and the stored K is kept.
void InstrumentCoefficientForm::on_pushButtonCalculate_clicked()
{
    const float theory = _ui->LineEditTheory->text().toFloat();
    const float measured = _ui->LineEditActualMeasurement->text().toFloat();
    const float coefficient = theory / measured;
    if (!std::isfinite(coefficient) || coefficient <= 0.0f) {
        MessageBox::warning(this, QStringLiteral("warnning"),
                            QStringLiteral("Both enthalpies must be numbers greater than 0."));
        return;
    }
    Global::_configMap.insert(Global::InstrumentCoefficientKey, QVariant(coefficient));
    ConfigHandler::writer(true);
    _ui->LineEditCoefficient->setText(QString::number(static_cast<double>(coefficient), 'f', 3));
}

void InstrumentCoefficientForm::on_pushButtonCancel_clicked()
{
    hide();
}
