#include "instrumentcoefficientform.h"

#include "confighandler.h"
#include "global.h"
#include "messagebox.h"
#include "pointcalculate.h"
#include "ui_instrumentcoefficientform.h"

#include <easylogging++.h>

#include <QShowEvent>

#include <cmath>
#include <limits>

InstrumentCoefficientForm::InstrumentCoefficientForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_InstrumentCoefficientForm)
    , _measuredWith(std::numeric_limits<float>::quiet_NaN())
{
    _ui->setupUi(this);
    setWindowTitle(QStringLiteral("仪器系数"));
    showCoefficientInForce();
    connect(_ui->LineEditActualMeasurement, &QLineEdit::textEdited, this,
            [this]() { _measuredWith = coefficientOfLastEnthalpy(); });
}

InstrumentCoefficientForm::~InstrumentCoefficientForm()
{
    delete _ui;
}

// K may have changed since the last opening ("热焓校正系数选择" stores it
// too). A spontaneous show (the window restored) keeps what the field shows.
void InstrumentCoefficientForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        showCoefficientInForce();
}

void InstrumentCoefficientForm::showCoefficientInForce()
{
    _ui->LineEditCoefficient->setText(QString::number(static_cast<double>(coefficientInForce()), 'f', 3));
}

float InstrumentCoefficientForm::coefficientInForce()
{
    return Global::_configMap.value(Global::InstrumentCoefficientKey).toFloat();
}

float InstrumentCoefficientForm::coefficientOfLastEnthalpy()
{
    const float last = PointCalculate::lastAreaCoefficient();
    return std::isnan(last) ? coefficientInForce() : last;
}

float InstrumentCoefficientForm::calibrated(float measuredWith, float theory, float measured)
{
    const float base = std::isfinite(measuredWith) && measuredWith > 0.0f ? measuredWith : 1.0f;
    return base * theory / measured;
}

// The measured enthalpy was read off a label scaled by the factor of the last
// peak enthalpy when it was typed; one set without typing (none typed yet)
// was read off the last peak label.
// K multiplies every peak enthalpy, so a K that is not a positive finite
// number (an empty or zero field) would spoil every later result and the
// saved configuration; it is refused and the stored K is kept.
void InstrumentCoefficientForm::on_pushButtonCalculate_clicked()
{
    const float theory = _ui->LineEditTheory->text().toFloat();
    const float measured = _ui->LineEditActualMeasurement->text().toFloat();
    const float measuredWith = std::isnan(_measuredWith) ? coefficientOfLastEnthalpy() : _measuredWith;
    const float coefficient = calibrated(measuredWith, theory, measured);
    if (!std::isfinite(coefficient) || coefficient <= 0.0f) {
        MessageBox::warning(this, QStringLiteral("warnning"),
                            QStringLiteral("Both enthalpies must be numbers greater than 0."));
        return;
    }
    LOG(DEBUG) << "instrument coefficient" << coefficient << "from" << measuredWith << "x" << theory << "/" << measured;
    if (!storeCoefficient(this, coefficient))
        return;
    _measuredWith = measuredWith;
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
