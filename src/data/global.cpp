#include "global.h"

#include <QDir>

namespace Global {

Mode _globalMode = Analysis;
ExperimentInfo _experimentInfo;
QVector<CurveExperimentData> _experimentDataVtr;
CurveExperimentData* _currentCurveExperimentDataPtr = nullptr;
int _currentPhaseIndex = -1;
QVector<CurveFileData> _curveFileDataVtr;
QVector<AnalysisOperation> _analysisOperationVtr;
QVector<AnalysisOperation> _savedAnalysisOperationVtr;
QMap<QString, QVariant> _configMap;
bool _enthalpyCoefficientEnableFlag = false;
QVector<double> _enthalpyCoefficientVtr;
int _timeAxisFlag = 0;
bool _smoothnessFlag = false;
QString _smoothedCurveName;
bool _timeAxisAnalysisPCTModeFlag = false;
int _languageFlag = 0;

const QString NumericalLabelName = QStringLiteral("NumericalLabel");
const QString StartPointName = QStringLiteral("StartPoint");
const QString StopPointName = QStringLiteral("StopPoint");
const QString PeakSynthesisAnalysisName = QStringLiteral("PeakSynthesisAnalysis");
const QString GlassTransitionName = QStringLiteral("GlassTransition");
const QString OnsetTemperaturePointName = QStringLiteral("OnsetTemperaturePoint");
const QString EndsetTemperaturePointName = QStringLiteral("EndsetTemperaturePoint");
const QStringList AnalysisOperationNames = {
    NumericalLabelName,      StartPointName,         StopPointName,
    PeakSynthesisAnalysisName, GlassTransitionName, OnsetTemperaturePointName,
    EndsetTemperaturePointName,
};
const QStringList AtmosphereNames = {QStringLiteral("NC"), QStringLiteral("N2"), QStringLiteral("O2")};

// Built once during static initialisation, so later changes of the working
// directory do not move the data folders or the configuration file.
const QString ExperimentDataFolderPath = QDir::currentPath() + QStringLiteral("/../experiment_data");
const QString SampleDataFolderPath = ExperimentDataFolderPath + QStringLiteral("/sample_data");
const QString BaseLineFolderPath = ExperimentDataFolderPath + QStringLiteral("/base_line");
const QString AnalysisStateFolderPath = ExperimentDataFolderPath + QStringLiteral("/analysis_state");

const QString CurveTimeKey = QStringLiteral("curve_time");
const QString AtmosphereDataKey = QStringLiteral("atomsphereData");
const QString SampleDataKey = QStringLiteral("sampleData");
const QString AtmosphereKey = QStringLiteral("atmosphere");
const QString HeatingRateKey = QStringLiteral("heatingRate");
const QString SampleNameKey = QStringLiteral("sampleName");
const QString TemperatureKey = QStringLiteral("temperature");
const QString RateKey = QStringLiteral("rate");
const QString ExperimentKey = QStringLiteral("experiment");

const QString LanguageEnglish = QStringLiteral("English");
const QString LanguageChinese = QString::fromUtf8("中文");

const QString InstrumentCoefficientKey = QStringLiteral("InstrumentCoefficient");
const QString ConfigFilePath = QDir::currentPath() + QStringLiteral("/config.json");
const QMap<QString, QVariant> _defaultConfigMap = {
    {InstrumentCoefficientKey, QVariant(1.0f)},
};

const QString ObjectNameOrigin = QStringLiteral("origin");
const QString ObjectNameConfirm = QStringLiteral("confirm");
const QString ObjectNameTemporary = QStringLiteral("temporary");
const QString ObjectNameSeparator = QStringLiteral("___");

QString doubleToString(double value)
{
    return QString::number(value, 'f', 3);
}

bool isZero(double value, double epsilon)
{
    return qAbs(value) < epsilon;
}

void clearCurveExperimentData()
{
    _experimentDataVtr.clear();
    _currentCurveExperimentDataPtr = nullptr;
    _currentPhaseIndex = -1;
}

CurveExperimentData* openStageRecord(int stage)
{
    _currentPhaseIndex = stage;
    CurveExperimentData record;
    record.name = _experimentInfo.sampleName;
    _experimentDataVtr.append(record);
    _currentCurveExperimentDataPtr = &_experimentDataVtr.last();
    return _currentCurveExperimentDataPtr;
}

} // namespace Global
