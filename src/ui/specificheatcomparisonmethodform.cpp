#include "specificheatcomparisonmethodform.h"

#include "messagebox.h"
#include "pointcalculate.h"
#include "ui_specificheatcomparisonmethodform.h"

#include <easylogging++.h>
#include <qcustomplot.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

SpecificHeatComparisonMethodForm::SpecificHeatComparisonMethodForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_SpecificHeatComparisonMethodForm)
    , _baseLineData(nullptr)
    , _standardSampleData(nullptr)
    , _sampleData(nullptr)
{
    _ui->setupUi(this);
    setWindowTitle(QStringLiteral("比热比较法"));
    buildDataFileRows();
    _ui->LineEditCorrectionCoefficient->setText(QStringLiteral("1.000"));
    _ui->LineEditSampleWeight->setText(QStringLiteral("17.92"));
    _ui->LineEditStandardSampleWeight->setText(QStringLiteral("13.92"));
}

SpecificHeatComparisonMethodForm::~SpecificHeatComparisonMethodForm()
{
    delete _ui;
}

// The colours match the pens the context menu gives the role curves.
void SpecificHeatComparisonMethodForm::buildDataFileRows()
{
    _baseLineFileEdit = addDataFileRow(QStringLiteral("基线"), QStringLiteral("red"), &_baseLineColorLabel);
    _standardSampleFileEdit =
        addDataFileRow(QStringLiteral("标样"), QStringLiteral("green"), &_standardSampleColorLabel);
    _sampleFileEdit = addDataFileRow(QStringLiteral("样品"), QStringLiteral("black"), &_sampleColorLabel);
}

QLineEdit* SpecificHeatComparisonMethodForm::addDataFileRow(const QString& role, const QString& colour,
                                                            QLabel** colourLabel)
{
    auto* fileEdit = new QLineEdit(_ui->groupBoxDataFile);
    fileEdit->setEnabled(false);
    auto* label = new QLabel(_ui->groupBoxDataFile);
    label->setFixedWidth(22);
    label->setStyleSheet(QStringLiteral("background-color: %1;").arg(colour));
    auto* row = new QHBoxLayout;
    row->addWidget(fileEdit);
    row->addWidget(label);
    _ui->formLayoutDataFile->addRow(role, row);
    *colourLabel = label;
    return fileEdit;
}

void SpecificHeatComparisonMethodForm::slotSetCurve(int role, QCPCurve* curve)
{
    LOG(DEBUG) << "index:" << role;
    switch (role) {
    case 0:
        _baseLineCurve = curve;
        break;
    case 1:
        _standardSampleCurve = curve;
        break;
    case 2:
        _sampleCurve = curve;
        break;
    default:
        break;
    }
}

void SpecificHeatComparisonMethodForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    findRoleData();
    if (!allRolesFound())
        LOG(DEBUG) << "Base,standard,sample not selected.";
}

void SpecificHeatComparisonMethodForm::hideEvent(QHideEvent* event)
{
    _baseLineData = nullptr;
    _standardSampleData = nullptr;
    _sampleData = nullptr;
    QWidget::hideEvent(event);
}

// A stage fills at most one role, the first whose curve it carries; a role
// without a curve matches nothing. A role not found shows no file name: its
// workbook has left the plot (or its curve was drawn anew) since it was
// chosen.
void SpecificHeatComparisonMethodForm::findRoleData()
{
    _baseLineData = nullptr;
    _standardSampleData = nullptr;
    _sampleData = nullptr;
    struct Role
    {
        QCPCurve* curve;
        QLineEdit* fileEdit;
        const DataList** data;
    };
    const Role roles[] = {{_baseLineCurve.data(), _baseLineFileEdit, &_baseLineData},
                          {_standardSampleCurve.data(), _standardSampleFileEdit, &_standardSampleData},
                          {_sampleCurve.data(), _sampleFileEdit, &_sampleData}};
    for (const Role& role : roles)
        role.fileEdit->clear();
    for (const Global::CurveFileData& file : qAsConst(Global::_curveFileDataVtr)) {
        for (const Global::PhaseTotalInfo& phase : file.phases) {
            for (const Role& role : roles) {
                if (role.curve && phase.curve == role.curve) {
                    role.fileEdit->setText(file.fileName);
                    *role.data = &phase.data;
                    break;
                }
            }
        }
    }
}

// The roles without a curve on the plot, by their row names.
QStringList SpecificHeatComparisonMethodForm::missingRoles() const
{
    QStringList missing;
    if (!_baseLineData)
        missing << QStringLiteral("基线");
    if (!_standardSampleData)
        missing << QStringLiteral("标样");
    if (!_sampleData)
        missing << QStringLiteral("样品");
    return missing;
}

bool SpecificHeatComparisonMethodForm::allRolesFound() const
{
    return _baseLineData && _standardSampleData && _sampleData;
}

namespace {

// The point calculator answers (0, 0) outside a curve's temperature range,
// which would pass for a real signal of 0 mW; the range is tested first.
bool coversTemperature(const QVector<Global::ExperimentData>& data, float temperature)
{
    return !data.isEmpty() && temperature >= data.first().temperature && temperature <= data.last().temperature;
}

} // namespace

// The point calculator keeps the sample's data afterwards, as after any
// other analysis of the sample curve.
bool SpecificHeatComparisonMethodForm::signalsAt(float temperature, double* baseLine, double* standardSample,
                                                 double* sample) const
{
    const struct
    {
        const DataList* data;
        double* signal;
        const char* logName;
    } roles[] = {{_baseLineData, baseLine, "baseLinePoint:"},
                 {_standardSampleData, standardSample, "standardSamplePoint:"},
                 {_sampleData, sample, "samplePoint:"}};
    for (const auto& role : roles) {
        if (!coversTemperature(*role.data, temperature))
            return false;
    }
    for (const auto& role : roles) {
        PointCalculate::setExperimentData(*role.data);
        const QPointF point = PointCalculate::getClosestPointByX(temperature);
        LOG(DEBUG) << role.logName << point.x() << "," << point.y();
        *role.signal = point.y();
    }
    return true;
}

// No earlier result may stand beside the inputs that were just refused.
void SpecificHeatComparisonMethodForm::clearResults()
{
    _ui->LineEditStandardSampleSpecificHeat->clear();
    _ui->LineEditSampleSpecificHeat->clear();
}

void SpecificHeatComparisonMethodForm::refuse(const QString& text)
{
    clearResults();
    MessageBox::warning(this, QStringLiteral("warnning"), text);
}

// Double on purpose (unlike the other dialogs): the sapphire polynomial needs
// it, and the masses and signals are widened to join it.
void SpecificHeatComparisonMethodForm::on_pushButtonCalculate_clicked()
{
    if (!allRolesFound()) {
        LOG(DEBUG) << "Base,standard,sample not selected.";
        refuse(QStringLiteral("缺少%1曲线，请在曲线右键菜单“比热项”中选择。")
                   .arg(missingRoles().join(QStringLiteral("、"))));
        return;
    }
    const float temperature = _ui->LineEditTemperature->text().toFloat();
    double baseLine = 0.0;
    double standardSample = 0.0;
    double sample = 0.0;
    if (!signalsAt(temperature, &baseLine, &standardSample, &sample)) {
        refuse(QStringLiteral("The temperature lies outside the temperature range of a selected curve."));
        return;
    }
    const double standardHeat = standardSampleSpecificHeat(static_cast<double>(temperature));
    LOG(DEBUG) << "cp:" << standardHeat;
    const double standardMass = _ui->LineEditStandardSampleWeight->text().toFloat();
    const double sampleMass = _ui->LineEditSampleWeight->text().toFloat();
    const double correction = _ui->LineEditCorrectionCoefficient->text().toFloat();
    const double cp = ((sample - baseLine) * (standardMass * standardHeat) * correction)
                      / ((standardSample - baseLine) * sampleMass);
    // Equal standard and baseline signals, or a sample mass of 0, leave no
    // ratio to take: nothing is shown rather than inf or nan.
    if (!std::isfinite(cp)) {
        refuse(QStringLiteral("The standard's signal must differ from the baseline's and the sample mass must not "
                              "be 0."));
        return;
    }
    _ui->LineEditStandardSampleSpecificHeat->setText(QString::number(standardHeat, 'f', 3));
    const QString cpText = QString::number(cp, 'f', 3);
    _ui->LineEditSampleSpecificHeat->setText(cpText);
    emit sigDrawCustomText(QStringLiteral("%1℃比热容= %2J/(g*℃)")
                               .arg(QString::number(static_cast<double>(temperature), 'f', 3), cpText));
}

void SpecificHeatComparisonMethodForm::on_pushButtonQuit_clicked()
{
    hide();
}

// Published heat-capacity polynomial of synthetic sapphire, in the reduced
// variable x = (T[K] - 650) / 550; summed from the constant term upwards.
double SpecificHeatComparisonMethodForm::standardSampleSpecificHeat(double temperature)
{
    static const double coefficients[] = {1.12705,  0.2326,   -0.21704, 0.2641,   -0.23778, -0.10023,
                                          0.15393,  0.54579,  -0.47824, -0.37623, 0.34407};
    const double x = (temperature + 273.15 - 650.0) / 550.0;
    double sum = coefficients[0] + coefficients[1] * x + coefficients[2] * (x * x);
    for (int power = 3; power <= 10; ++power)
        sum += coefficients[power] * std::pow(x, power);
    return sum;
}
