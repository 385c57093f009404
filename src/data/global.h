#ifndef GLOBAL_H
#define GLOBAL_H

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QCPCurve;

// One stage of the temperature programme. Packed because the instrument link
// copies its leading twelve bytes straight into a frame.
#pragma pack(push, 1)
struct PhaseInfoData
{
    quint8 enabled = 0;
    float cutoffTemp = 0.0f;
    float scanRate = 0.0f;
    quint16 constantTempTime = 0;
    quint32 atmosphere = 0;
};
#pragma pack(pop)
static_assert(sizeof(PhaseInfoData) == 15, "PhaseInfoData must stay a 15-byte image");

enum Atmosphere
{
    NC = 0,
    N2 = 1,
    O2 = 2
};

struct AnalysisOperation
{
    QString name;
    int mode = 0;
    double x1 = 0.0;
    double x2 = 0.0;
    // x1 and x2 are run times (min) of an analysis made with the run time as
    // abscissa; otherwise sample temperatures (℃), as every workbook written
    // before run times were kept holds them.
    bool timeAxis = false;
    // Index of the workbook stage the analysis was applied to (a workbook
    // keeps it counted from 1), or for the run's curve, whose stages are drawn
    // as one, of the stage record it was analysed on; -1 when not known.
    int stage = -1;
};

namespace Global {

enum Mode
{
    Analysis = 1,
    Connected = 2,
    Experiment = 4
};

struct ExperimentData
{
    float runTime = 0.0f;
    float constantTempTime = 0.0f;
    float temperature = 0.0f;
    float dsc = 0.0f;
};

struct ExperimentInfo
{
    QString sampleName;
    QString sampleWeight;
    QString dateTime;
    QString user;
    int phaseCount = 0;
    QVector<PhaseInfoData> phases;
};

struct PhaseTotalInfo
{
    int phaseIndex = 0;
    PhaseInfoData phase;
    QVector<ExperimentData> data;
    QCPCurve* curve = nullptr;
};

struct CurveFileData
{
    QString fileName;
    ExperimentInfo info;
    QVector<PhaseTotalInfo> phases;
    QVector<AnalysisOperation> analysisOperations;
    // Rows of its analysis block that cannot be drawn (a name none of the
    // analyses bears, or bounds on no single stage), cells A to E as read:
    // a save writes them back unchanged.
    QVector<QVariantList> unplacedOperationRows;
    // The file it was read from, and that file's identity then (or after a
    // save in place): a save refuses to build on a file that changed since.
    QString path;
    QByteArray identity;
    // Its points were smoothed since it was loaded.
    bool smoothed = false;
};

struct CurveExperimentData
{
    QCPCurve* curve = nullptr;
    QString name;
    QVector<ExperimentData> data;
};

// Program-wide state; only the GUI thread touches it.
extern Mode _globalMode;
extern ExperimentInfo _experimentInfo;
extern QVector<CurveExperimentData> _experimentDataVtr;
extern CurveExperimentData* _currentCurveExperimentDataPtr;
extern int _currentPhaseIndex;
extern QVector<CurveFileData> _curveFileDataVtr;
extern QVector<AnalysisOperation> _analysisOperationVtr;
// The operations of _analysisOperationVtr a save has written since the last
// clear.
extern QVector<AnalysisOperation> _savedAnalysisOperationVtr;
extern QMap<QString, QVariant> _configMap;
extern bool _enthalpyCoefficientEnableFlag;
extern QVector<double> _enthalpyCoefficientVtr;
extern int _timeAxisFlag;
extern bool _smoothnessFlag;
// Name of the curve smoothed last while _smoothnessFlag is set: a loaded
// workbook's file name, or ExperimentKey for the run.
extern QString _smoothedCurveName;
extern bool _timeAxisAnalysisPCTModeFlag;
extern int _languageFlag;

// Analysis names, indexed by analysis mode - 1; also written to workbooks.
extern const QString NumericalLabelName;
extern const QString StartPointName;
extern const QString StopPointName;
extern const QString PeakSynthesisAnalysisName;
extern const QString GlassTransitionName;
extern const QString OnsetTemperaturePointName;
extern const QString EndsetTemperaturePointName;
extern const QStringList AnalysisOperationNames;

// Atmosphere names, indexed by the Atmosphere code; also written to workbooks.
extern const QStringList AtmosphereNames;

// Data folders beside the working directory at start-up.
extern const QString ExperimentDataFolderPath;
extern const QString SampleDataFolderPath;
extern const QString BaseLineFolderPath;
extern const QString AnalysisStateFolderPath;

// Keys of the data files.
extern const QString CurveTimeKey;
extern const QString AtmosphereDataKey;
extern const QString SampleDataKey;
extern const QString AtmosphereKey;
extern const QString HeatingRateKey;
extern const QString SampleNameKey;
extern const QString TemperatureKey;
extern const QString RateKey;
extern const QString ExperimentKey;

extern const QString LanguageEnglish;
extern const QString LanguageChinese;

// Configuration file.
extern const QString InstrumentCoefficientKey;
extern const QString ConfigFilePath;
extern const QMap<QString, QVariant> _defaultConfigMap;

// Plot-object names: state, separator, curve name.
extern const QString ObjectNameOrigin;
extern const QString ObjectNameConfirm;
extern const QString ObjectNameTemporary;
extern const QString ObjectNameSeparator;

QString doubleToString(double value);
bool isZero(double value, double epsilon);
void clearCurveExperimentData();
// Appends an empty record for a run's stage, named after the sample, and
// makes it the one live points go to.
CurveExperimentData* openStageRecord(int stage);

} // namespace Global

#endif // GLOBAL_H
