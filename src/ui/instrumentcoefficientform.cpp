#include "instrumentcoefficientform.h"

#include "confighandler.h"
#include "global.h"
#include "messagebox.h"
#include "ui_instrumentcoefficientform.h"

#include <easylogging++.h>

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
    if (!storeCoefficient(this, coefficient))
        return;
    _ui->LineEditCoefficient->setText(QString::number(static_cast<double>(coefficient), 'f', 3));
}

void InstrumentCoefficientForm::on_pushButtonCancel_clicked()
{
    hide();
}

bool InstrumentCoefficientForm::storeCoefficient(QWidget* parent, float coefficient)
{
    if (ConfigHandler::storeCoefficient(coefficient))
        return true;
    MessageBox::warning(parent, QStringLiteral("warnning"),
                        QStringLiteral("无法写入 config.json, 仪器系数未保存, 仍使用原来的仪器系数。"));
    return false;
}

void InstrumentCoefficientForm::warnIfStoredCoefficientUnusable(QWidget* parent)
{
    if (ConfigHandler::coefficientUsable())
        return;
    LOG(DEBUG) << "config.json holds no usable InstrumentCoefficient; every enthalpy is wrong until it is set.";
    MessageBox::warning(parent, QStringLiteral("warnning"),
                        QStringLiteral("config.json 中的仪器系数缺失或无效 (必须是大于0的数字), "
                                       "热焓计算结果将不正确。请在\"仪器系数\"对话框中重新计算仪器系数。"));
}
