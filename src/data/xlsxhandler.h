#ifndef XLSXHANDLER_H
#define XLSXHANDLER_H

#include "global.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
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
    // What a save writes, chosen from the program-wide records and copied
    // from them. Cheap: the copies share their points until either side
    // changes them.
    struct Snapshot
    {
        Global::ExperimentInfo experimentInfo;
        QVector<Global::CurveExperimentData> experimentData;
        // The analyses made on the run's curve.
        QVector<AnalysisOperation> runOperations;
        // The loaded workbook a save of workbooks writes: the one smoothed
        // last, else the one analysed last, else the one read last. No file
        // name when none is loaded.
        Global::CurveFileData workbook;
        // Its analyses as the plot shows them: those stored in it and still
        // drawn, then those applied to it since, in order, each once.
        QVector<AnalysisOperation> workbookOperations;
        // Why a writer failed or refused, in words for the user; empty
        // after a success.
        QString reason;

        // The records as they are now; GUI thread only. Every loaded
        // workbook counts as on the plot: the workspace forgets those whose
        // curves were all deleted before it saves.
        static Snapshot take();
    };

    // Path of the last workbook read (readFile, or rememberReadFile). No
    // writer goes by it: a save writes the workbook its Snapshot chose, which
    // need not be the one read last.
    static QString _currentFilePath;

    // A new workbook of the current run (_experimentInfo, _experimentDataVtr)
    // with the analyses made on its curve.
    static bool writeExperimentFile(QString path);
    // Every writer refuses, writing nothing (snapshot.reason says why), a
    // workbook longer than a sheet holds: it would be saved short.
    static bool writeExperimentFile(const QString& path, Snapshot& snapshot);
    // snapshot.workbook saved at path with its in-memory (smoothed or not)
    // points and its analyses: those of snapshot.workbookOperations, then
    // the stored rows no stage could draw, as they were read. With points as
    // they were read, only the analysis block differs from the file.
    // writeSmoothnessFile is the same save under the name a smoothing uses.
    static bool writeSmoothnessFile(QString path);
    static bool writeSmoothnessFile(const QString& path, Snapshot& snapshot);
    static bool appendAnalysisOperation(QString path);
    // It takes the file the workbook was read from, while it still holds
    // what was read, and replaces only its signal and its analysis block, so
    // the rest stays as it was. Over that file it refuses, writing nothing,
    // once it changed on disk or when it holds what a rewrite cannot keep
    // (formatting, notes, several sheets, ...); snapshot.reason says why.
    // Under another name it copies the file only where a save over it would
    // be allowed; otherwise (changed, vanished, or holding what a rewrite
    // loses) it writes the workbook anew from memory. After replacing the file,
    // snapshot.workbook.identity is that of what they wrote.
    static bool appendAnalysisOperation(const QString& path, Snapshot& snapshot);
    // After a save that wrote written: the workbook saved in place keeps its
    // new identity, and those analyses count as saved. GUI thread only.
    static void keepSaved(const Snapshot& snapshot, const QVector<AnalysisOperation>& written);
    // Names of the curves with analyses applied since the last clear that
    // neither written nor an earlier save holds. GUI thread only.
    static QStringList unsavedCurves(const QVector<AnalysisOperation>& written);

    // Null when the file is missing, has another suffix or is no workbook.
    static std::unique_ptr<Workbook> openXlsxFile(const QString& path);
    // Writes the operation block of _analysisOperationVtr from row on.
    static void writeAnalysisOperation(Workbook* document, int row);

    // The most analyses one workbook may hold: each is drawn again when the
    // workbook is loaded, and ten thousand on one plot is far more than
    // anyone reads; a workbook with more is refused, and no save writes
    // more.
    static constexpr int MaxStoredOperations = 10000;

    // 0 read, 1 no such file, 2 suffix not "xlsx", 3 no readable worksheet
    // (damaged, too large, its active sheet no worksheet, changed or stopped
    // while it was read), 4 more than MaxStoredOperations analyses. data and
    // _currentFilePath change only on 0.
    static int readFile(QString path, Global::CurveFileData& data);
    // readFile without remembering the workbook; data.path and
    // data.identity describe the file as it was read. A refusal tells why
    // in reason, in words for the user. A read still under way when *stop
    // turns true (set from another thread) ends soon after with 3.
    static int readWorkbook(const QString& path, Global::CurveFileData& data, QString* reason = nullptr,
                            const std::atomic<bool>* stop = nullptr);
    // Makes a workbook read by readWorkbook the last one read. GUI thread only.
    static void rememberReadFile(const QString& path);
    static void readPhaseData(Workbook* sheet, int& row, Global::PhaseTotalInfo& stage);
    static void readAnalysisOperation(Workbook* sheet, int& row, Global::CurveFileData& data);
};

#endif // XLSXHANDLER_H
