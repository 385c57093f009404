#include "xlsxhandler.h"

#include "workbook.h"

#include <easylogging++.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <future>
#include <limits>

QString XlsxHandler::_currentFilePath;
QByteArray XlsxHandler::_currentFileIdentity;

namespace {

// First row of the first stage block, right under the information block.
constexpr int FirstBlockRow = 9;
// Rows of a stage block before its first data point.
constexpr int BlockHeadRows = 7;

QString orDefault(const QString& value, const QString& fallback)
{
    return value.isEmpty() ? fallback : value;
}

void writeInformation(Workbook& book, const Global::ExperimentInfo& info)
{
    book.write(1, 1, XlsxLabels::FileDataInfo);
    book.write(2, 1, XlsxLabels::SampleName);
    book.write(2, 2, orDefault(info.sampleName, QStringLiteral("sample")));
    book.write(3, 1, XlsxLabels::SampleWeight);
    book.write(3, 2, orDefault(info.sampleWeight, QStringLiteral("1")));
    book.write(3, 3, XlsxLabels::Mg);
    book.write(4, 1, XlsxLabels::CrucibleWeight);
    book.write(4, 2, 0);
    book.write(4, 3, XlsxLabels::Mg);
    book.write(5, 1, XlsxLabels::Experimentor);
    book.write(5, 2, orDefault(info.user, QStringLiteral("experimentor")));
    book.write(6, 1, XlsxLabels::ExperimentDate);
    book.write(6, 2, orDefault(info.dateTime, QStringLiteral("20250101")));
    book.write(7, 1, XlsxLabels::MeasurementType);
    book.write(7, 2, QStringLiteral("样品"));
    book.write(8, 1, XlsxLabels::PhaseCount);
    book.write(8, 2, int(info.phases.size()));
}

void writeBlockHead(Workbook& book, int row, int phaseIndex, const PhaseInfoData& phase, int pointCount)
{
    const QStringList head = {XlsxLabels::Number, XlsxLabels::TimeMin, XlsxLabels::TempCelsius,
                              XlsxLabels::VoltageMw, XlsxLabels::TimeMin};
    for (int column = 1; column <= head.size(); ++column)
        book.write(row, column, head.at(column - 1));
    book.write(row + 1, 1, XlsxLabels::PhaseIndex);
    book.write(row + 1, 2, phaseIndex);
    book.write(row + 2, 1, XlsxLabels::CutoffTemp);
    book.write(row + 2, 2, phase.cutoffTemp);
    book.write(row + 2, 3, XlsxLabels::Celsius);
    book.write(row + 3, 1, XlsxLabels::ScanRate);
    book.write(row + 3, 2, phase.scanRate);
    book.write(row + 3, 3, XlsxLabels::CelsiusPerMinute);
    book.write(row + 4, 1, XlsxLabels::ConstantTempTime);
    book.write(row + 4, 2, int(phase.constantTempTime));
    book.write(row + 4, 3, XlsxLabels::Minute);
    book.write(row + 5, 1, XlsxLabels::Atmosphere);
    if (phase.atmosphere < quint32(Global::AtmosphereNames.size()))
        book.write(row + 5, 2, Global::AtmosphereNames.at(int(phase.atmosphere)));
    book.write(row + 6, 1, XlsxLabels::DataCount);
    book.write(row + 6, 2, pointCount);
}

// Writes one stage block at row and returns the row after it.
int writeBlock(Workbook& book, int row, int phaseIndex, const PhaseInfoData& phase,
               const QVector<Global::ExperimentData>& points)
{
    writeBlockHead(book, row, phaseIndex, phase, int(points.size()));
    row += BlockHeadRows;
    for (int j = 0; j < points.size(); ++j, ++row) {
        const Global::ExperimentData& p = points.at(j);
        book.write(row, 1, j);
        book.write(row, 2, p.runTime);
        book.write(row, 3, p.temperature);
        book.write(row, 4, p.dsc);
        book.write(row, 5, p.constantTempTime);
    }
    return row;
}

void writeOperationRows(Workbook& book, int row, const QVector<AnalysisOperation>& operations)
{
    for (const AnalysisOperation& op : operations) {
        ++row;
        const bool known = op.mode >= 1 && op.mode <= Global::AnalysisOperationNames.size();
        book.write(row, 1, known ? Global::AnalysisOperationNames.at(op.mode - 1) : QString());
        book.write(row, 2, op.x1);
        book.write(row, 3, op.x2);
        // Bounds on the time axis carry its caption; a row without one holds
        // temperatures, so older workbooks read as they always did.
        if (op.timeAxis)
            book.write(row, 4, XlsxLabels::TimeMin);
    }
}

void writeOperations(Workbook& book, int row, const QVector<AnalysisOperation>& operations)
{
    if (operations.isEmpty())
        return;
    book.write(row, 1, XlsxLabels::AnalysisOperationCount);
    book.write(row, 2, int(operations.size()));
    writeOperationRows(book, row, operations);
}

void writePhaseCount(Workbook& book, int blocks)
{
    book.write(8, 1, XlsxLabels::PhaseCount);
    book.write(8, 2, blocks);
}

bool save(const Workbook& book, const QString& path)
{
    LOG(DEBUG) << "before xlsx save as...";
    if (book.saveAs(path))
        return true;
    LOG(DEBUG) << "Save xlsx failed." << " " << book.errorString();
    return false;
}

// A cell's number; 0 when it holds none. NaN and infinity count as none: a
// damaged cell ("abc" in a number cell parses as NaN) must not become a point
// or a setting that poisons every calculation made from it.
double cellDouble(const Workbook* sheet, int row, int column)
{
    const double d = sheet->numberAt(row, column);
    return std::isfinite(d) ? d : 0.0;
}

// Float fields of the record: a number past the float range saturates at
// the largest float of its sign instead of becoming infinite.
float cellFloat(const Workbook* sheet, int row, int column)
{
    return float(std::clamp(cellDouble(sheet, row, column), -double(FLT_MAX), double(FLT_MAX)));
}

// A number cell as an int the way a spreadsheet value converts, but clamped,
// so a count of 1e300 cannot overflow.
int cellInt(const Workbook* sheet, int row, int column)
{
    const QVariant value = sheet->cellAt(row, column);
    if (value.type() != QVariant::Double)
        return value.toInt();
    const double clamped = std::max(double(std::numeric_limits<int>::min()),
                                    std::min(double(std::numeric_limits<int>::max()),
                                             std::round(cellDouble(sheet, row, column))));
    return int(clamped);
}

quint32 atmosphereCode(const Workbook* sheet, int row)
{
    const int named = Global::AtmosphereNames.indexOf(sheet->cellAt(row, 2).toString());
    return named >= 0 ? quint32(named) : quint32(cellInt(sheet, row, 2));
}

// Rows left in the sheet from row on; no loop reads past the used range.
int rowsLeft(const Workbook* sheet, int row)
{
    return std::max(0, sheet->lastRow() - row + 1);
}

// Start row of an operation block ending on the sheet's last row, or 0.
int trailingOperationBlock(const Workbook& book)
{
    const int last = book.lastRow();
    for (int row = last; row >= 1; --row) {
        const QVariant label = book.cellAt(row, 1);
        if (label.type() == QVariant::String && label.toString() == XlsxLabels::AnalysisOperationCount)
            // 64-bit: a hostile count near INT_MAX must not overflow the sum.
            return qint64(row) + cellInt(&book, row, 2) == last ? row : 0;
    }
    return 0;
}

// The workbook's bounds come back through 16 significant digits, so a
// bound read back may differ from the one in memory in its last bit.
bool sameBound(double a, double b)
{
    return std::abs(a - b) <= 1e-15 * std::max(std::abs(a), std::abs(b));
}

bool holds(const QVector<AnalysisOperation>& operations, const AnalysisOperation& op)
{
    return std::any_of(operations.begin(), operations.end(), [&op](const AnalysisOperation& held) {
        return held.mode == op.mode && held.timeAxis == op.timeAxis && sameBound(held.x1, op.x1)
               && sameBound(held.x2, op.x2);
    });
}

// Every operation of every block the workbook holds (an older append may
// have left more than one).
QVector<AnalysisOperation> heldOperations(Workbook& book)
{
    Global::CurveFileData held;
    for (int row = 1; row <= book.lastRow(); ++row) {
        const QVariant label = book.cellAt(row, 1);
        if (label.type() == QVariant::String && label.toString() == XlsxLabels::AnalysisOperationCount) {
            int at = row;
            XlsxHandler::readAnalysisOperation(&book, at, held);
        }
    }
    return held.analysisOperations;
}

// The operations recorded on the workbook's curve that it does not hold yet.
QVector<AnalysisOperation> operationsToAppend(const QString& name, Workbook& book,
                                              const QVector<AnalysisOperation>& recorded)
{
    const QVector<AnalysisOperation> held = heldOperations(book);
    QVector<AnalysisOperation> operations;
    for (const AnalysisOperation& op : recorded) {
        if (op.name == name && !holds(held, op) && !holds(operations, op))
            operations.append(op);
    }
    return operations;
}

// Size, modification time and content hash of a file; empty when it
// cannot be read.
QByteArray identityOf(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray();
    const QFileInfo info(path);
    return QByteArray::number(info.size()) + ' '
           + QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + ' ' + hash.result().toHex();
}

bool sameFile(const QString& a, const QString& b)
{
    return QFileInfo(a).canonicalFilePath() == QFileInfo(b).canonicalFilePath();
}

// 0 for an existing .xlsx file; 1 when the file is missing, 2 when it is
// not a workbook by its suffix.
int pathRefusal(const QString& path)
{
    if (!QFile::exists(path)) {
        LOG(DEBUG) << "xlsx file not existed:" << path;
        return 1;
    }
    if (QFileInfo(path).suffix().toLower() != QLatin1String("xlsx")) {
        std::printf("该文件的后缀不是 xlsx\n");
        std::fflush(stdout);
        return 2;
    }
    return 0;
}

// A copy with a buffer of its own, whose elements share their data with the
// originals. A copy sharing the buffer would not do: the live stage record,
// reached through Global::_currentCurveExperimentDataPtr, takes its points in
// place, under the writer's eyes; and the next change to the program-wide
// vector would move it to a new buffer, away from that pointer.
template <typename T>
QVector<T> elementCopy(const QVector<T>& records)
{
    QVector<T> copy;
    copy.reserve(records.size());
    for (const T& record : records)
        copy.append(record);
    return copy;
}

} // namespace

XlsxHandler::Snapshot XlsxHandler::Snapshot::take()
{
    return Snapshot{Global::_experimentInfo,
                    elementCopy(Global::_experimentDataVtr),
                    elementCopy(Global::_curveFileDataVtr),
                    Global::_smoothedCurveName,
                    Global::_analysisOperationVtr,
                    _currentFilePath,
                    _currentFileIdentity};
}

bool XlsxHandler::writeExperimentFile(QString path)
{
    return writeExperimentFile(path, Snapshot::take());
}

bool XlsxHandler::writeExperimentFile(const QString& path, const Snapshot& snapshot)
{
    LOG(DEBUG) << "write file...";
    Workbook book;
    const Global::ExperimentInfo& info = snapshot.experimentInfo;
    writeInformation(book, info);
    LOG(DEBUG) << "phase vtr size:" << info.phases.size();

    const QVector<Global::CurveExperimentData>& records = snapshot.experimentData;
    QVector<bool> taken(records.size(), false);
    int row = FirstBlockRow;
    int blocks = 0;
    for (int k = 0; k < info.phases.size(); ++k) {
        LOG(DEBUG) << "phase index:" << k;
        if (info.phases.at(k).enabled == 0)
            continue;
        ++blocks;
        const bool recorded = k < records.size();
        if (recorded)
            taken[k] = true;
        row = writeBlock(book, row, k + 1, info.phases.at(k),
                         recorded ? records.at(k).data : QVector<Global::ExperimentData>());
    }
    // Points the stage table does not account for (no table delivered, or a
    // stage record past its end) are kept as blocks of their own.
    for (int k = 0; k < records.size(); ++k) {
        if (taken.at(k) || records.at(k).data.isEmpty())
            continue;
        ++blocks;
        row = writeBlock(book, row, k + 1, PhaseInfoData(), records.at(k).data);
    }
    writePhaseCount(book, blocks);
    writeOperations(book, row, snapshot.analysisOperations);
    return save(book, path);
}

namespace {

// The workbook whose curve was smoothed last; the first loaded one when no
// loaded workbook bears that name.
const Global::CurveFileData& smoothedWorkbook(const XlsxHandler::Snapshot& snapshot)
{
    const QVector<Global::CurveFileData>& files = snapshot.curveFiles;
    const QString& name = snapshot.smoothedCurveName;
    for (int i = files.size() - 1; i >= 0 && !name.isEmpty(); --i) {
        if (files.at(i).fileName == name)
            return files.at(i);
    }
    return files.first();
}

} // namespace

bool XlsxHandler::writeSmoothnessFile(QString path)
{
    return writeSmoothnessFile(path, Snapshot::take());
}

bool XlsxHandler::writeSmoothnessFile(const QString& path, const Snapshot& snapshot)
{
    if (snapshot.curveFiles.isEmpty()) {
        LOG(DEBUG) << "curve file data vtr empty...";
        return false;
    }
    const Global::CurveFileData& file = smoothedWorkbook(snapshot);
    Workbook book;
    writeInformation(book, file.info);
    LOG(DEBUG) << "curve file vtr size:" << snapshot.curveFiles.size();

    int row = FirstBlockRow;
    int blocks = 0;
    for (int i = 0; i < file.phases.size(); ++i) {
        LOG(DEBUG) << "phase index:" << i;
        const Global::PhaseTotalInfo& stage = file.phases.at(i);
        if (stage.phase.enabled == 0)
            continue;
        ++blocks;
        row = writeBlock(book, row, i + 1, stage.phase, stage.data);
    }
    writePhaseCount(book, blocks);
    writeOperations(book, row, snapshot.analysisOperations);
    return save(book, path);
}

bool XlsxHandler::appendAnalysisOperation(QString path)
{
    Snapshot snapshot = Snapshot::take();
    const bool saved = appendAnalysisOperation(path, snapshot);
    keepAppendedIdentity(snapshot);
    return saved;
}

bool XlsxHandler::appendAnalysisOperation(const QString& path, Snapshot& snapshot)
{
    const QString& source = snapshot.currentFilePath;
    // Another run may have saved over the workbook since it was read: its
    // points are not the ones these analyses were made on.
    if (source.isEmpty() || identityOf(source) != snapshot.currentFileIdentity) {
        LOG(DEBUG) << "xlsx changed since it was read:" << source;
        return false;
    }
    const std::unique_ptr<Workbook> book = openXlsxFile(source);
    if (!book) {
        LOG(DEBUG) << "xlsx is nullptr.";
        return false;
    }
    const int lastRow = book->lastRow();
    LOG(DEBUG) << "lastRow:" << lastRow;

    // Only this workbook's own analyses (the others were made on other
    // curves), and only those it does not hold yet.
    const QVector<AnalysisOperation> operations =
        operationsToAppend(QFileInfo(source).fileName(), *book, snapshot.analysisOperations);
    const int block = trailingOperationBlock(*book);
    if (block > 0 && !operations.isEmpty()) {
        // The reader takes one block only, so later analyses join it.
        book->write(block, 2, cellInt(book.get(), block, 2) + int(operations.size()));
        writeOperationRows(*book, lastRow, operations);
    } else {
        writeOperations(*book, lastRow + 1, operations);
    }
    if (!book->saveAs(path)) {
        LOG(DEBUG) << "Save xlsx failed." << " " << book->errorString();
        return false;
    }
    LOG(DEBUG) << "Save xlsx succ.";
    if (sameFile(path, source))
        snapshot.currentFileIdentity = identityOf(source);
    return true;
}

void XlsxHandler::keepAppendedIdentity(const Snapshot& snapshot)
{
    if (_currentFilePath == snapshot.currentFilePath)
        _currentFileIdentity = snapshot.currentFileIdentity;
}

std::unique_ptr<Workbook> XlsxHandler::openXlsxFile(const QString& path)
{
    if (pathRefusal(path) != 0)
        return nullptr;
    std::unique_ptr<Workbook> book(new Workbook);
    if (!book->load(path)) {
        qDebug() << "current sheet is empty." << book->errorString();
        return nullptr;
    }
    return book;
}

void XlsxHandler::writeAnalysisOperation(Workbook* document, int row)
{
    writeOperations(*document, row, Global::_analysisOperationVtr);
}

int XlsxHandler::readFile(QString path, Global::CurveFileData& data)
{
    QByteArray identity;
    const int result = readWorkbook(path, data, identity);
    if (result == 0)
        rememberReadFile(path, identity);
    return result;
}

void XlsxHandler::rememberReadFile(const QString& path, const QByteArray& identity)
{
    _currentFilePath = path;
    _currentFileIdentity = identity;
}

int XlsxHandler::readWorkbook(const QString& path, Global::CurveFileData& data, QByteArray& identity)
{
    if (const int refusal = pathRefusal(path))
        return refusal;
    // Taken alongside the read, from the file as it was before: a file
    // replaced meanwhile then never matches.
    std::future<QByteArray> taken = std::async(std::launch::async | std::launch::deferred, identityOf, path);
    Workbook sheet;
    if (!sheet.load(path)) {
        // Nothing is kept of a refused workbook, so a later append still
        // goes to the last one that was read.
        LOG(DEBUG) << "current sheet is empty." << " " << sheet.errorString();
        return 3;
    }
    identity = taken.get();
    data.fileName = QFileInfo(path).fileName();
    data.info.sampleName = sheet.cellAt(2, 2).toString();
    data.info.sampleWeight = sheet.cellAt(3, 2).toString();
    LOG(DEBUG) << "xlsx sample weight:" << data.info.sampleWeight;
    data.info.user = sheet.cellAt(5, 2).toString();
    data.info.dateTime = sheet.cellAt(6, 2).toString();
    data.info.phaseCount = cellInt(&sheet, 8, 2);

    int row = FirstBlockRow;
    for (int i = 1; i <= data.info.phaseCount && rowsLeft(&sheet, row) > 0; ++i) {
        Global::PhaseTotalInfo stage;
        stage.phaseIndex = i;
        readPhaseData(&sheet, row, stage);
        data.phases.append(stage);
    }
    readAnalysisOperation(&sheet, row, data);
    return 0;
}

void XlsxHandler::readPhaseData(Workbook* sheet, int& row, Global::PhaseTotalInfo& stage)
{
    row += 2;
    LOG(DEBUG) << "startLineIndex:" << row;
    stage.phase.enabled = 1;
    stage.phase.cutoffTemp = cellFloat(sheet, row++, 2);
    stage.phase.scanRate = cellFloat(sheet, row++, 2);
    stage.phase.constantTempTime = quint16(cellInt(sheet, row++, 2));
    stage.phase.atmosphere = atmosphereCode(sheet, row++);
    const int count = cellInt(sheet, row++, 2);
    LOG(DEBUG) << "data size:" << count;
    if (count < 1)
        return;
    const int present = std::min(count, rowsLeft(sheet, row));
    stage.data.reserve(present);
    for (int j = 0; j < present; ++j, ++row) {
        Global::ExperimentData point;
        point.runTime = cellFloat(sheet, row, 2);
        if (point.runTime == 0.0f)
            continue;
        point.temperature = cellFloat(sheet, row, 3);
        point.dsc = cellFloat(sheet, row, 4);
        point.constantTempTime = cellFloat(sheet, row, 5);
        stage.data.append(point);
    }
}

void XlsxHandler::readAnalysisOperation(Workbook* sheet, int& row, Global::CurveFileData& data)
{
    if (!sheet->hasCell(row, 2)) {
        LOG(DEBUG) << "Cell does not exist.";
        return;
    }
    const int count = cellInt(sheet, row, 2);
    ++row;
    LOG(DEBUG) << "ana op size:" << count;
    const int present = std::min(count, rowsLeft(sheet, row));
    for (int i = 0; i < present; ++i, ++row) {
        LOG(DEBUG) << "cfd fileName:" << data.fileName;
        const QString name = sheet->cellAt(row, 1).toString();
        AnalysisOperation op{data.fileName, Global::AnalysisOperationNames.indexOf(name) + 1,
                             cellDouble(sheet, row, 2), cellDouble(sheet, row, 3),
                             sheet->cellAt(row, 4).toString() == XlsxLabels::TimeMin};
        LOG(DEBUG) << " ao mode:" << name << "x1:" << op.x1 << ",x2:" << op.x2;
        // The redraw re-runs modes 1 to 7 only; a row naming none is left out.
        if (op.mode >= 1)
            data.analysisOperations.append(op);
    }
}
