#include "coefficientselectionform.h"

#include "filedialog.h"
#include "global.h"
#include "instrumentcoefficientform.h"
#include "messagebox.h"
#include "numerichelpers.h"
#include "ui_coefficientselectionform.h"

#include <easylogging++.h>

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QShowEvent>
#include <QTextCodec>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

CoefficientSelectionForm::CoefficientSelectionForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_CoefficientSelectionForm)
    , _measuredWith(std::numeric_limits<float>::quiet_NaN())
{
    _ui->setupUi(this);
    setWindowTitle(QStringLiteral("热焓校正系数选择"));
    showStoredCoefficient();
    connect(_ui->LineEditActualMeasurement, &QLineEdit::textEdited, this,
            [this]() { _measuredWith = InstrumentCoefficientForm::coefficientOfLastEnthalpy(); });
    _ui->radioButtonSinglePointCoefficient->setChecked(true);
    on_radioButtonSinglePointCoefficient_toggled(true);
    on_radioButtonMultiPointCoefficient_toggled(false);
    _ui->textEditFileContent->setReadOnly(true);
}

CoefficientSelectionForm::~CoefficientSelectionForm()
{
    delete _ui;
}

// K may have changed since the last opening ("仪器系数" stores it too), and a
// single-point "确定" stores what is shown: an old K must never be written
// back. A spontaneous show (the window restored) keeps a K just computed.
void CoefficientSelectionForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        showStoredCoefficient();
}

void CoefficientSelectionForm::showStoredCoefficient()
{
    _coefficient = Global::_configMap.value(Global::InstrumentCoefficientKey).toFloat();
    _ui->LineEditCoefficient->setText(QString::number(_coefficient, 'f', 3));
}

void CoefficientSelectionForm::on_radioButtonSinglePointCoefficient_toggled(bool checked)
{
    _ui->LineEditTheory->setEnabled(checked);
    _ui->LineEditCoefficient->setEnabled(checked);
    _ui->LineEditActualMeasurement->setEnabled(checked);
    _ui->pushButtonCalculate->setEnabled(checked);
}

void CoefficientSelectionForm::on_radioButtonMultiPointCoefficient_toggled(bool checked)
{
    _ui->pushButtonSelectFile->setEnabled(checked);
    _ui->textEditFileContent->setEnabled(checked);
}

// As in "仪器系数": the measured enthalpy was read off the last peak label,
// scaled by the stored K or, while the enthalpy correction was on, by the
// correction at the region's start; "确定" then turns the correction off.
void CoefficientSelectionForm::on_pushButtonCalculate_clicked()
{
    const float theory = _ui->LineEditTheory->text().toFloat();
    const float measured = _ui->LineEditActualMeasurement->text().toFloat();
    if (std::isnan(_measuredWith))
        _measuredWith = InstrumentCoefficientForm::coefficientOfLastEnthalpy();
    _coefficient = InstrumentCoefficientForm::calibrated(_measuredWith, theory, measured);
    _ui->LineEditCoefficient->setText(QString::number(_coefficient, 'f', 3));
}

void CoefficientSelectionForm::on_pushButtonSelectFile_clicked()
{
    const QString path = FileDialog::getOpenFileName(nullptr, QStringLiteral("选择 JSON 文件"), QString(),
                                                     QStringLiteral("JSON 文件 (*.json);;所有文件 (*.*)"));
    if (path.isEmpty()) {
        qDebug() << "未选择文件";
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "无法打开文件：" << path;
        return;
    }
    // Read with a bound, since a device file reports no size.
    const QByteArray bytes = file.read(MaxTableFileSize + 1);
    file.close();
    if (bytes.size() > MaxTableFileSize) {
        qDebug() << "文件过大，不是热焓校正表：" << path;
        return;
    }
    _fileContent = QTextCodec::codecForLocale()->toUnicode(bytes);

    _ui->labelFilePath->setText(path);
    _ui->labelFilePath->setToolTip(path);
    // Plain text: a file's content is never interpreted as markup.
    _ui->textEditFileContent->setPlainText(_fileContent);
}

void CoefficientSelectionForm::on_pushButtonConfirm_clicked()
{
    if (_ui->radioButtonSinglePointCoefficient->isChecked()) {
        confirmSinglePoint();
    } else {
        confirmMultiPoint();
    }
}

void CoefficientSelectionForm::on_pushButtonExit_clicked()
{
    hide();
}

// The computed K is stored, not the field's text: a value typed by hand into
// the result field is not taken. An empty or zero measured enthalpy gives an
// infinite or undefined K (the field shows it), an empty theory gives 0: K
// multiplies every peak enthalpy, so only a positive finite K is stored, as
// in the instrument coefficient dialog.
void CoefficientSelectionForm::confirmSinglePoint()
{
    if (!std::isfinite(_coefficient) || _coefficient <= 0.0f) {
        LOG(DEBUG) << "The instrument coefficient is not a positive number; nothing is stored.";
        MessageBox::warning(this, QStringLiteral("warnning"),
                            QStringLiteral("Both enthalpies must be numbers greater than 0."));
        return;
    }
    if (!InstrumentCoefficientForm::storeCoefficient(this, _coefficient))
        return;
    Global::_enthalpyCoefficientEnableFlag = false;
    hide();
}

// Every refusal leaves the dialog open and the correction as it was.
void CoefficientSelectionForm::confirmMultiPoint()
{
    QVector<double> temperatures;
    QVector<double> rates;
    if (!readTableRows(temperatures, rates)) {
        return;
    }
    // A parabola through fewer than three distinct temperatures is not
    // determined: the solver may still return a finite one, arbitrary and far
    // off at temperatures away from the rows, which would then scale every
    // peak enthalpy.
    if (distinctCount(temperatures) < 3) {
        LOG(DEBUG) << "At least 3 data points are required for quadratic fitting";
        refuseFit(QStringLiteral("热焓校正表中选中的标样至少需要三个不同的温度, 无法拟合多点系数!"));
        return;
    }
    double coefficients[3];
    try {
        Global::quadraticFit(temperatures.constData(), rates.constData(), temperatures.size(), coefficients);
    } catch (const std::invalid_argument& error) {
        LOG(DEBUG) << error.what();
        refuseFit(QString::fromUtf8(error.what()));
        return;
    }
    const double a = coefficients[0];
    const double b = coefficients[1];
    const double c = coefficients[2];
    LOG(DEBUG) << "y:" << a << "x2," << b << "x," << c;
    // Such a quadratic would turn every later peak area into nan or inf.
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c)) {
        LOG(DEBUG) << "The quadratic fit gave non-finite coefficients; the correction is left as it was.";
        refuseFit(QStringLiteral("热焓校正表的拟合系数不是有限数值, 无法使用多点系数!"));
        return;
    }
    Global::_enthalpyCoefficientEnableFlag = true;
    Global::_enthalpyCoefficientVtr.clear();
    Global::_enthalpyCoefficientVtr << a << b << c;
    hide();
}

void CoefficientSelectionForm::refuseFit(const QString& reason)
{
    MessageBox::warning(this, QStringLiteral("warnning"), reason);
}

int CoefficientSelectionForm::distinctCount(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return static_cast<int>(std::unique(values.begin(), values.end()) - values.begin());
}

// A missing or non-numeric member reads as 0 and a non-object element still
// counts as a row; "atomsphereData" is only logged.
bool CoefficientSelectionForm::readTableRows(QVector<double>& temperatures, QVector<double>& rates) const
{
    const QJsonDocument document = QJsonDocument::fromJson(_fileContent.toUtf8());
    if (document.isNull()) {
        LOG(DEBUG) << "Failed to parse JSON data";
        return false;
    }
    if (!document.isObject()) {
        LOG(DEBUG) << "JSON data is not an object";
        return false;
    }
    const QJsonObject root = document.object();
    const QJsonObject atmosphereData = root.value(Global::AtmosphereDataKey).toObject();
    LOG(DEBUG) << atmosphereData.value(Global::AtmosphereKey).toDouble();
    LOG(DEBUG) << "heatingRate:" << atmosphereData.value(Global::HeatingRateKey).toDouble();

    const QJsonArray sampleData = root.value(Global::SampleDataKey).toArray();
    for (const QJsonValue& element : sampleData) {
        const QJsonObject row = element.toObject();
        temperatures.append(row.value(Global::TemperatureKey).toDouble());
        rates.append(row.value(Global::RateKey).toDouble());
    }
    return true;
}
