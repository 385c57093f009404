#include "xlsxhandler.h"

#include "failurereasons.h"
#include "numerichelpers.h"
#include "storedoperations.h"
#include "workbook.h"

#include <easylogging++.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <limits>

#include <sys/stat.h>

QString XlsxHandler::_currentFilePath;

namespace {

// First row of the first stage block, right under the information block.
constexpr int FirstBlockRow = 9;
// Rows of a stage block before its first data point.
constexpr int BlockHeadRows = 7;
// Columns an operation row fills: name, two bounds, the abscissa's caption
// when it is the run time, and the stage.
constexpr int OperationColumns = 5;

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
        // The stage block it was made on, counted from 1 as the reader counts
        // them; a row without one (every older workbook) is placed by its
        // bounds.
        if (op.stage >= 0)
            book.write(row, OperationColumns, op.stage + 1);
    }
}

void writeCell(Workbook& book, int row, int column, const QVariant& value)
{
    if (value.type() == QVariant::String)
        book.write(row, column, value.toString());
    else if (value.type() == QVariant::Double)
        book.write(row, column, value.toDouble());
}

// The analyses, then the rows of stored ones that no stage could draw, as
// they were read.
void writeOperations(Workbook& book, int row, const QVector<AnalysisOperation>& operations,
                     const QVector<QVariantList>& keptRows = {})
{
    if (operations.isEmpty() && keptRows.isEmpty())
        return;
    book.write(row, 1, XlsxLabels::AnalysisOperationCount);
    book.write(row, 2, int(operations.size() + keptRows.size()));
    writeOperationRows(book, row, operations);
    row += int(operations.size());
    for (const QVariantList& cells : keptRows) {
        ++row;
        for (int column = 1; column <= cells.size(); ++column)
            writeCell(book, row, column, cells.at(column - 1));
    }
}

void writePhaseCount(Workbook& book, int blocks)
{
    book.write(8, 1, XlsxLabels::PhaseCount);
    book.write(8, 2, blocks);
}

// Rows a workbook of these stage blocks and operation rows fills, from row 1.
qint64 rowsNeeded(const QVector<Global::PhaseTotalInfo>& blocks, int operations)
{
    qint64 rows = FirstBlockRow - 1;
    for (const Global::PhaseTotalInfo& block : blocks)
        rows += BlockHeadRows + block.data.size();
    return rows + (operations > 0 ? 1 + operations : 0);
}

// Checked before anything is built: the data stay in memory, whole, and no
// file claims to hold all of them.
bool refusedTooLong(qint64 rows, QString& reason)
{
    if (rows <= Workbook::MaxRows)
        return false;
    LOG(DEBUG) << "xlsx not written: rows past the sheet's end:" << rows;
    reason = QStringLiteral("数据太长，一个工作簿放不下：需要 %1 行，一个工作表最多只有 %2 行。"
                            "数据仍保留在程序中，没有写入任何文件。")
                 .arg(rows)
                 .arg(Workbook::MaxRows);
    return true;
}

// A workbook of more analyses than the reader takes could not be opened
// again: it is not written.
bool refusedTooManyAnalyses(int operations, QString& reason)
{
    if (operations <= XlsxHandler::MaxStoredOperations)
        return false;
    LOG(DEBUG) << "xlsx not written: too many analyses:" << operations;
    reason = QStringLiteral("要保存的分析有 %1 项，超过了程序能打开的上限 %2 项，保存后的文件将无法再打开。"
                            "没有写入任何文件。")
                 .arg(operations)
                 .arg(XlsxHandler::MaxStoredOperations);
    return true;
}

bool save(const Workbook& book, const QString& path, QString& reason)
{
    LOG(DEBUG) << "before xlsx save as...";
    if (book.saveAs(path))
        return true;
    LOG(DEBUG) << "Save xlsx failed." << " " << book.errorString();
    reason = FailureReasons::ofSave(path, book.errorString());
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
    return Global::toFloat(cellDouble(sheet, row, column));
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

// The row after the stage block that starts at row, as the reader walks it.
int blockEnd(const Workbook* sheet, int row)
{
    const int count = cellInt(sheet, row + BlockHeadRows - 1, 2);
    const int first = row + BlockHeadRows;
    return first + (count < 1 ? 0 : std::min(count, rowsLeft(sheet, first)));
}

// The row after the last stage block, where the reader looks for the
// analysis block.
int stageBlocksEnd(const Workbook* sheet)
{
    int row = FirstBlockRow;
    const int count = cellInt(sheet, 8, 2);
    for (int i = 1; i <= count && rowsLeft(sheet, row) > 0; ++i)
        row = blockEnd(sheet, row);
    return row;
}

// Empties the analysis block at row, if one stands there.
void removeOperationBlock(Workbook& book, int row)
{
    const QVariant label = book.cellAt(row, 1);
    if (label.type() != QVariant::String || label.toString() != XlsxLabels::AnalysisOperationCount)
        return;
    const int count = std::max(0, std::min(cellInt(&book, row, 2), rowsLeft(&book, row + 1)));
    book.remove(row, row + count, 1, OperationColumns);
}

// Whether a block of count operations at row would write over a cell.
bool blockPlaceTaken(const Workbook& book, int row, int count)
{
    for (int r = row; r <= row + count && r <= book.lastRow(); ++r) {
        for (int column = 1; column <= OperationColumns; ++column) {
            if (book.hasCell(r, column))
                return true;
        }
    }
    return false;
}

// What of the workbook a rewrite of it would lose; empty when nothing.
QString unkeptContent(const Workbook& book)
{
    QStringList found;
    if (book.sheetCount() > 1)
        found << QStringLiteral("多个工作表");
    if (book.hasFormulas())
        found << QStringLiteral("公式");
    const int extras = book.extras();
    if (extras & Workbook::Notes)
        found << QStringLiteral("批注");
    if (extras & Workbook::Formatting)
        found << QStringLiteral("单元格格式（如填充颜色、字体、列宽或合并单元格）");
    if (extras & Workbook::Objects)
        found << QStringLiteral("图片、图表、迷你图、超链接或数据验证等对象");
    if (extras & Workbook::OtherValues)
        found << QStringLiteral("逻辑值、日期或错误值单元格");
    if (extras & Workbook::Names)
        found << QStringLiteral("定义的名称或打印区域");
    if (extras & Workbook::PreciseNumbers)
        found << QStringLiteral("需要 17 位有效数字的数值（重写后会被舍入）");
    if (extras & Workbook::LongTexts)
        found << QStringLiteral("超过 %1 个字符的长文字（超出 Excel 单元格的上限）").arg(Workbook::MaxTextLength);
    return found.isEmpty() ? QString() : QStringLiteral("该文件含有") + found.join(QStringLiteral("、"));
}

QString refusalToReplace(const QString& reason)
{
    return reason + QStringLiteral("，保存到原文件会丢失这些内容。请另存为其他文件名。");
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

// Device, inode, size and change times of the file at path; empty when it
// cannot be examined. Writing or replacing the file changes it.
QByteArray stampOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray();
    const qint64 fields[] = {qint64(st.st_dev),        qint64(st.st_ino),         qint64(st.st_size),
                             qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec), qint64(st.st_ctim.tv_sec),
                             qint64(st.st_ctim.tv_nsec)};
    return QByteArray(reinterpret_cast<const char*>(fields), sizeof fields);
}

// Both paths name one existing file.
bool sameFile(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
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

} // namespace

bool XlsxHandler::writeExperimentFile(QString path)
{
    Snapshot snapshot = Snapshot::take();
    return writeExperimentFile(path, snapshot);
}

namespace {

// The run's stage blocks in file order: one per enabled entry of the stage
// table with the stage record at its position, then the records the table
// does not account for (no table delivered, or a record past its end).
QVector<Global::PhaseTotalInfo> runBlocks(const Global::ExperimentInfo& info,
                                          const QVector<Global::CurveExperimentData>& records)
{
    QVector<Global::PhaseTotalInfo> blocks;
    QVector<bool> taken(records.size(), false);
    for (int k = 0; k < info.phases.size(); ++k) {
        LOG(DEBUG) << "phase index:" << k;
        if (info.phases.at(k).enabled == 0)
            continue;
        Global::PhaseTotalInfo block{k + 1, info.phases.at(k), {}, nullptr};
        if (k < records.size()) {
            taken[k] = true;
            block.data = records.at(k).data;
        }
        blocks.append(block);
    }
    for (int k = 0; k < records.size(); ++k) {
        if (!taken.at(k) && !records.at(k).data.isEmpty())
            blocks.append(Global::PhaseTotalInfo{k + 1, PhaseInfoData(), records.at(k).data, nullptr});
    }
    return blocks;
}

// Writes the blocks from the first block row on; returns the row after them.
int writeBlocks(Workbook& book, const QVector<Global::PhaseTotalInfo>& blocks)
{
    int row = FirstBlockRow;
    for (const Global::PhaseTotalInfo& block : blocks)
        row = writeBlock(book, row, block.phaseIndex, block.phase, block.data);
    writePhaseCount(book, int(blocks.size()));
    return row;
}

} // namespace

// The run's stages are drawn as one curve: an analysis made on it is stored
// with the stage record it was analysed on, or when it knows none with the
// one stage that gives its result alone.
bool XlsxHandler::writeExperimentFile(const QString& path, Snapshot& snapshot)
{
    LOG(DEBUG) << "write file...";
    const QVector<Global::PhaseTotalInfo> blocks = runBlocks(snapshot.experimentInfo, snapshot.experimentData);
    if (refusedTooManyAnalyses(snapshot.runOperations.size(), snapshot.reason)
        || refusedTooLong(rowsNeeded(blocks, snapshot.runOperations.size()), snapshot.reason))
        return false;
    Workbook book;
    writeInformation(book, snapshot.experimentInfo);
    LOG(DEBUG) << "phase vtr size:" << snapshot.experimentInfo.phases.size();
    const int row = writeBlocks(book, blocks);
    QVector<AnalysisOperation> operations = snapshot.runOperations;
    const StoredOperations::StageIndex stages(blocks);
    for (AnalysisOperation& op : operations) {
        const auto analysed = std::find_if(blocks.cbegin(), blocks.cend(), [&op](const Global::PhaseTotalInfo& block) {
            return op.stage >= 0 && block.phaseIndex == op.stage + 1;
        });
        op.stage = analysed != blocks.cend() ? int(analysed - blocks.cbegin()) : stages.runStageOf(op);
        if (op.stage < 0)
            LOG(DEBUG) << "analysis operation fits no single stage of the run:" << op.mode << op.x1 << op.x2;
    }
    writeOperations(book, row, operations);
    return save(book, path, snapshot.reason);
}

bool XlsxHandler::writeSmoothnessFile(QString path)
{
    return appendAnalysisOperation(path);
}

namespace {

const QString AnotherName = QStringLiteral("请另存为其他文件名。");

// The identity of the workbook's file once a save has replaced it.
void keepIdentityInPlace(const QString& path, XlsxHandler::Snapshot& snapshot)
{
    if (sameFile(path, snapshot.workbook.path))
        snapshot.workbook.identity = identityOf(snapshot.workbook.path);
}

// The file the workbook was read from, while it still holds what was read;
// null, with why in reason, otherwise.
std::unique_ptr<Workbook> unchangedSource(const Global::CurveFileData& file, QString& reason)
{
    const QByteArray identity = file.path.isEmpty() ? QByteArray() : identityOf(file.path);
    if (identity.isEmpty() || identity != file.identity) {
        LOG(DEBUG) << "xlsx changed since it was read:" << file.path;
        reason = identity.isEmpty() ? QStringLiteral("原文件已无法读取（可能已被删除、移动，或没有读取权限）。")
                                    : QStringLiteral("原文件在打开之后已被修改或替换（例如又有一次保存写到了这个文件），"
                                                     "保存到原文件会覆盖这些改动。")
                                          + AnotherName;
        return nullptr;
    }
    // Read once already, the same bytes fail again only for want of memory
    // or when the file was replaced just now.
    std::unique_ptr<Workbook> book(new Workbook);
    if (book->load(file.path))
        return book;
    LOG(DEBUG) << "xlsx no longer readable:" << file.path << book->errorString();
    reason = QStringLiteral("原文件无法再次读取：") + FailureReasons::ofRead(3, file.path, book->errorString())
             + AnotherName;
    return nullptr;
}

// Puts each stage's signal into the rows its points were read from, where it
// changed (a smoothing); a row the reader passed over stays as it is. False
// when the blocks no longer hold the stages' points.
bool putSignals(Workbook& book, const QVector<Global::PhaseTotalInfo>& stages)
{
    int row = FirstBlockRow;
    for (const Global::PhaseTotalInfo& stage : stages) {
        const int end = blockEnd(&book, row);
        int taken = 0;
        for (int r = row + BlockHeadRows; r < end; ++r) {
            const float runTime = cellFloat(&book, r, 2);
            if (runTime == 0.0f)
                continue;
            if (taken >= stage.data.size() || runTime != stage.data.at(taken).runTime)
                return false;
            const float dsc = stage.data.at(taken++).dsc;
            if (cellFloat(&book, r, 4) != dsc)
                book.write(r, 4, dsc);
        }
        if (taken != stage.data.size())
            return false;
        row = end;
    }
    return true;
}

// The source with its signals in place and its analysis block cleared for
// the analyses on the plot; row is where they go. Empty when the rewrite
// keeps all of it; otherwise what it would lose, in words for the user.
QString lossOfRewrite(Workbook& book, int& row, const XlsxHandler::Snapshot& snapshot)
{
    // The reader looks for the block right after the stages; the block there
    // gives way to the analyses now on the plot.
    row = stageBlocksEnd(&book);
    LOG(DEBUG) << "lastRow:" << book.lastRow() << "operation row:" << row;
    removeOperationBlock(book, row);
    const int count = int(snapshot.workbookOperations.size() + snapshot.workbook.unplacedOperationRows.size());
    const QString unkept = unkeptContent(book);
    if (!unkept.isEmpty() || count == 0 || !blockPlaceTaken(book, row, count))
        return unkept;
    return QStringLiteral("该文件在分析结果的位置已有其他内容");
}

// The source with the analyses on the plot, saved at path.
bool saveUpdatedSource(Workbook& book, int row, const QString& path, XlsxHandler::Snapshot& snapshot)
{
    const QVector<AnalysisOperation>& operations = snapshot.workbookOperations;
    const QVector<QVariantList>& keptRows = snapshot.workbook.unplacedOperationRows;
    const int count = int(operations.size() + keptRows.size());
    if (refusedTooManyAnalyses(count, snapshot.reason)
        || (count > 0 && refusedTooLong(qint64(row) + count, snapshot.reason)))
        return false;
    writeOperations(book, row, operations, keptRows);
    if (!save(book, path, snapshot.reason))
        return false;
    LOG(DEBUG) << "Save xlsx succ.";
    keepIdentityInPlace(path, snapshot);
    return true;
}

// The workbook as loaded, written anew: its information, its stages with the
// points in memory (smoothed or not) and its analyses.
bool writeFromMemory(const QString& path, XlsxHandler::Snapshot& snapshot)
{
    const Global::CurveFileData& file = snapshot.workbook;
    // Stages by their index in the record; block numbers count the stages
    // written.
    QVector<Global::PhaseTotalInfo> blocks;
    QVector<int> blockOf(file.phases.size(), -1);
    for (int i = 0; i < file.phases.size(); ++i) {
        LOG(DEBUG) << "phase index:" << i;
        const Global::PhaseTotalInfo& stage = file.phases.at(i);
        if (stage.phase.enabled == 0)
            continue;
        blockOf[i] = int(blocks.size());
        blocks.append(Global::PhaseTotalInfo{i + 1, stage.phase, stage.data, nullptr});
    }
    const int operationRows = int(snapshot.workbookOperations.size() + file.unplacedOperationRows.size());
    if (refusedTooManyAnalyses(operationRows, snapshot.reason)
        || refusedTooLong(rowsNeeded(blocks, operationRows), snapshot.reason))
        return false;
    Workbook book;
    writeInformation(book, file.info);
    const int row = writeBlocks(book, blocks);
    QVector<AnalysisOperation> operations = snapshot.workbookOperations;
    for (AnalysisOperation& op : operations)
        op.stage = op.stage >= 0 && op.stage < blockOf.size() ? blockOf.at(op.stage) : -1;
    writeOperations(book, row, operations, file.unplacedOperationRows);
    return save(book, path, snapshot.reason);
}

// Over the file it was read from, that file with the signal and the analysis
// block replaced, so whatever else it holds stays as it was; refused once the
// file changed or when the rewrite would lose some of it. Under another name
// the same copy while a save over the file would be allowed, so the copy
// keeps what else it holds; otherwise the workbook is written from memory,
// since a new name needs nothing of the old file.
bool writeLoadedWorkbook(const QString& path, XlsxHandler::Snapshot& snapshot)
{
    const bool inPlace = sameFile(path, snapshot.workbook.path);
    QString unusable;
    const std::unique_ptr<Workbook> source = unchangedSource(snapshot.workbook, unusable);
    if (source && putSignals(*source, snapshot.workbook.phases)) {
        int row = 0;
        const QString loss = lossOfRewrite(*source, row, snapshot);
        if (loss.isEmpty())
            return saveUpdatedSource(*source, row, path, snapshot);
        LOG(DEBUG) << "xlsx not rewritten:" << loss;
        unusable = refusalToReplace(loss);
    } else if (source) {
        unusable = QStringLiteral("原文件的内容与打开时不一致。") + AnotherName;
    }
    if (inPlace) {
        snapshot.reason = unusable;
        return false;
    }
    LOG(DEBUG) << "xlsx written from memory:" << path;
    return writeFromMemory(path, snapshot);
}

} // namespace

bool XlsxHandler::writeSmoothnessFile(const QString& path, Snapshot& snapshot)
{
    return appendAnalysisOperation(path, snapshot);
}

bool XlsxHandler::appendAnalysisOperation(QString path)
{
    Snapshot snapshot = Snapshot::take();
    const bool saved = appendAnalysisOperation(path, snapshot);
    keepSaved(snapshot, saved ? snapshot.workbookOperations : QVector<AnalysisOperation>());
    return saved;
}

// The stages of the file are those of the record, in the same order, so an
// operation's stage index is its block's. Nothing is saved for a workspace
// without workbooks.
bool XlsxHandler::appendAnalysisOperation(const QString& path, Snapshot& snapshot)
{
    if (snapshot.workbook.fileName.isEmpty()) {
        LOG(DEBUG) << "xlsx is nullptr.";
        snapshot.reason = QStringLiteral("没有打开的工作簿可以保存。");
        return false;
    }
    return writeLoadedWorkbook(path, snapshot);
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
    const int result = readWorkbook(path, data);
    if (result == 0)
        rememberReadFile(path);
    return result;
}

void XlsxHandler::rememberReadFile(const QString& path)
{
    _currentFilePath = path;
}

namespace {

// The information block, as writeInformation lays it out.
void readInformation(const Workbook& sheet, Global::ExperimentInfo& info)
{
    info.sampleName = sheet.cellAt(2, 2).toString();
    info.sampleWeight = sheet.cellAt(3, 2).toString();
    LOG(DEBUG) << "xlsx sample weight:" << info.sampleWeight;
    info.user = sheet.cellAt(5, 2).toString();
    info.dateTime = sheet.cellAt(6, 2).toString();
    info.phaseCount = cellInt(&sheet, 8, 2);
}

// The analysis rows the reader takes from the block at row.
int storedOperationRows(const Workbook& sheet, int row)
{
    if (!sheet.hasCell(row, 2))
        return 0;
    return std::max(0, std::min(cellInt(&sheet, row, 2), rowsLeft(&sheet, row + 1)));
}

} // namespace

int XlsxHandler::readWorkbook(const QString& path, Global::CurveFileData& data, QString* reason,
                              const std::atomic<bool>* stop)
{
    QString unused;
    QString& why = reason ? *reason : unused;
    if (const int refusal = pathRefusal(path)) {
        why = FailureReasons::ofRead(refusal, path, QString());
        return refusal;
    }
    // The hash is taken alongside the read; both describe the same bytes only
    // if the file stayed as it was from before the one to after the other.
    const QByteArray before = stampOf(path);
    std::future<QByteArray> taken = std::async(std::launch::async | std::launch::deferred, identityOf, path);
    Workbook sheet;
    const bool loaded = sheet.load(path, stop);
    const QByteArray identity = taken.get();
    if (!loaded) {
        // Nothing is kept of a refused workbook, so a later append still
        // goes to the last one that was read.
        LOG(DEBUG) << "current sheet is empty." << " " << sheet.errorString();
        why = FailureReasons::ofRead(3, path, sheet.errorString());
        return 3;
    }
    if (before.isEmpty() || stampOf(path) != before) {
        LOG(DEBUG) << "xlsx changed while it was read:" << path;
        why = QStringLiteral("文件在读取的过程中被修改了，请稍后再打开。");
        return 3;
    }
    const int operationRows = storedOperationRows(sheet, stageBlocksEnd(&sheet));
    if (operationRows > MaxStoredOperations) {
        LOG(DEBUG) << "xlsx holds too many analyses:" << operationRows;
        why = QStringLiteral("文件中保存的分析有 %1 项，超过了程序能打开的上限 %2 项。")
                  .arg(operationRows)
                  .arg(MaxStoredOperations);
        return 4;
    }
    data.fileName = QFileInfo(path).fileName();
    data.path = path;
    data.identity = identity;
    readInformation(sheet, data.info);
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

namespace {

// The stage index an operation row names in its stage column; -1 for none.
int stageAt(const Workbook* sheet, int row)
{
    const QVariant cell = sheet->cellAt(row, OperationColumns);
    const double number = cellDouble(sheet, row, OperationColumns);
    if (cell.type() != QVariant::Double || number < 1.0 || number != std::floor(number)
        || number > std::numeric_limits<int>::max())
        return -1;
    return int(number) - 1;
}

// Cells A to E of a row as they stand, up to the last one present.
QVariantList rowCells(const Workbook* sheet, int row)
{
    QVariantList cells;
    for (int column = 1; column <= OperationColumns; ++column)
        cells.append(sheet->cellAt(row, column));
    while (!cells.isEmpty() && !cells.last().isValid())
        cells.removeLast();
    return cells;
}

} // namespace

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
    const StoredOperations::StageIndex stages(data.phases);
    for (int i = 0; i < present; ++i, ++row) {
        LOG(DEBUG) << "cfd fileName:" << data.fileName;
        const QString name = sheet->cellAt(row, 1).toString();
        AnalysisOperation op{data.fileName, Global::AnalysisOperationNames.indexOf(name) + 1,
                             cellDouble(sheet, row, 2), cellDouble(sheet, row, 3),
                             sheet->cellAt(row, 4).toString() == XlsxLabels::TimeMin, stageAt(sheet, row)};
        LOG(DEBUG) << " ao mode:" << name << "x1:" << op.x1 << ",x2:" << op.x2;
        // Only modes 1 to 7 are drawn again, each on the stage it was made
        // on: one that fits no stage would draw figures of another. Any other
        // row is kept as it stands, so that a save does not delete it.
        if (op.mode >= 1)
            op.stage = stages.stageOf(op);
        if (op.mode >= 1 && op.stage >= 0) {
            data.analysisOperations.append(op);
            continue;
        }
        LOG(DEBUG) << "analysis operation fits no stage of" << data.fileName << ":" << name << op.x1 << op.x2
                   << (op.timeAxis ? "min" : "℃");
        const QVariantList cells = rowCells(sheet, row);
        if (!cells.isEmpty())
            data.unplacedOperationRows.append(cells);
    }
}
