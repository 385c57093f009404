#ifndef XLSXHANDLER_H
#define XLSXHANDLER_H

#include "global.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class Workbook;

// Labels and units of the experiment workbook, in the order of the format.
namespace XlsxLabels {
inline const QString Mg = QStringLiteral("mg");
inline const QString Celsius = QStringLiteral("℃");
inline const QString CelsiusPerMinute = QStringLiteral("℃/min");
inline const QString Minute = QStringLiteral("min");
inline const QString FileDataInfo = QStringLiteral("文件数据信息");
inline const QString SampleName = QStringLiteral("样品名称：");
inline const QString SampleWeight = QStringLiteral("样品质量：");
inline const QString CrucibleWeight = QStringLiteral("坩埚质量：");
inline const QString Experimentor = QStringLiteral("实验人员：");
inline const QString ExperimentDate = QStringLiteral("实验日期：");
inline const QString MeasurementType = QStringLiteral("测量类型：");
inline const QString PhaseCount = QStringLiteral("阶段数量：");
inline const QString Number = QStringLiteral("#");
inline const QString TimeMin = QStringLiteral("Time/min");
inline const QString TempCelsius = QStringLiteral("Temp/℃");
inline const QString VoltageMw = QStringLiteral("Voltage/mW");
inline const QString PhaseIndex = QStringLiteral("阶段索引：");
inline const QString CutoffTemp = QStringLiteral("截止温度：");
inline const QString ScanRate = QStringLiteral("升温速率：");
inline const QString ConstantTempTime = QStringLiteral("恒温时间：");
inline const QString Atmosphere = QStringLiteral("气氛：");
inline const QString DataCount = QStringLiteral("数据个数：");
inline const QString AnalysisOperationCount = QStringLiteral("AnalysisOperationCount");

// All 23, in order.
inline const QStringList All = {
    Mg, Celsius, CelsiusPerMinute, Minute, FileDataInfo, SampleName, SampleWeight, CrucibleWeight,
    Experimentor, ExperimentDate, MeasurementType, PhaseCount, Number, TimeMin, TempCelsius,
    VoltageMw, PhaseIndex, CutoffTemp, ScanRate, ConstantTempTime, Atmosphere, DataCount,
    AnalysisOperationCount,
};
} // namespace XlsxLabels

// Reads and writes experiment workbooks. Static operations only. The
// writers return true once the workbook is safely on disk.
//
// A writer given a Snapshot and readWorkbook touch no program-wide record, so
// they may run away from the GUI thread; everything else here belongs to the
// GUI thread.
class XlsxHandler
{
public:
    // The records a save writes from, copied from the program-wide ones.
    // Cheap: the copies share their points until either side changes them.
    struct Snapshot
    {
        Global::ExperimentInfo experimentInfo;
        QVector<Global::CurveExperimentData> experimentData;
        QVector<Global::CurveFileData> curveFiles;
        QString smoothedCurveName;
        QVector<AnalysisOperation> analysisOperations;
        QString currentFilePath;
        QByteArray currentFileIdentity;

        // The program-wide records as they are now; GUI thread only.
        static Snapshot take();
    };

    // Path of the last workbook readFile read; appendAnalysisOperation copies it.
    static QString _currentFilePath;
    // Its size, modification time and hash when it was read (or last
    // appended to in place): an append refuses a file that no longer matches.
    static QByteArray _currentFileIdentity;

    // A new workbook of the current run (_experimentInfo, _experimentDataVtr).
    static bool writeExperimentFile(QString path);
    static bool writeExperimentFile(const QString& path, const Snapshot& snapshot);
    // A new workbook of the loaded workbook smoothed last
    // (Global::_smoothedCurveName) with its in-memory points.
    static bool writeSmoothnessFile(QString path);
    static bool writeSmoothnessFile(const QString& path, const Snapshot& snapshot);
    // The workbook at _currentFilePath with the operations recorded on its
    // curve that it does not hold yet appended, saved at path. False, and
    // nothing written, when that file changed on disk since it was read.
    static bool appendAnalysisOperation(QString path);
    // The same from snapshot; when path names the workbook appended to,
    // snapshot.currentFileIdentity becomes the identity of what was written
    // (see keepAppendedIdentity).
    static bool appendAnalysisOperation(const QString& path, Snapshot& snapshot);
    // Takes the identity an append left in snapshot, unless another workbook
    // was read since the snapshot was taken. GUI thread only.
    static void keepAppendedIdentity(const Snapshot& snapshot);

    // Null when the file is missing, has another suffix or is no workbook.
    static std::unique_ptr<Workbook> openXlsxFile(const QString& path);
    // Writes the operation block of _analysisOperationVtr from row on.
    static void writeAnalysisOperation(Workbook* document, int row);

    // 0 read, 1 no such file, 2 suffix not "xlsx", 3 no readable worksheet
    // (damaged, too large, or its active sheet is no worksheet). data and
    // _currentFilePath change only on 0.
    static int readFile(QString path, Global::CurveFileData& data);
    // readFile without remembering the workbook: on 0, identity receives
    // the file's identity as it was read, for rememberReadFile.
    static int readWorkbook(const QString& path, Global::CurveFileData& data, QByteArray& identity);
    // Makes a workbook read by readWorkbook the one a later append copies.
    // GUI thread only.
    static void rememberReadFile(const QString& path, const QByteArray& identity);
    static void readPhaseData(Workbook* sheet, int& row, Global::PhaseTotalInfo& stage);
    static void readAnalysisOperation(Workbook* sheet, int& row, Global::CurveFileData& data);
};

#endif // XLSXHANDLER_H
