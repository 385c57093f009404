#include "xlsxhandler.h"

#include <algorithm>
#include <cmath>

// What "保存数据" writes is chosen here, in the GUI thread, from the records
// as they are when it is asked for; the writers only write it.

namespace {

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

// A workbook's bounds come back through 16 significant digits, so a bound
// read back may differ from the one in memory in its last bit.
bool sameBound(double a, double b)
{
    return std::abs(a - b) <= 1e-15 * std::max(std::abs(a), std::abs(b));
}

bool sameOperation(const AnalysisOperation& a, const AnalysisOperation& b)
{
    return a.name == b.name && a.mode == b.mode && a.timeAxis == b.timeAxis && a.stage == b.stage
           && sameBound(a.x1, b.x1) && sameBound(a.x2, b.x2);
}

bool holds(const QVector<AnalysisOperation>& operations, const AnalysisOperation& op)
{
    return std::any_of(operations.cbegin(), operations.cend(),
                       [&op](const AnalysisOperation& held) { return sameOperation(held, op); });
}

// The same analysis drawn twice is written once.
void appendOnce(QVector<AnalysisOperation>& operations, const AnalysisOperation& op)
{
    if (!holds(operations, op))
        operations.append(op);
}

// The curve's analyses: those given, then those applied to it since the last
// clear, in order.
QVector<AnalysisOperation> operationsOf(const QString& name, const QVector<AnalysisOperation>& stored)
{
    QVector<AnalysisOperation> operations;
    for (const AnalysisOperation& op : stored)
        appendOnce(operations, op);
    for (const AnalysisOperation& op : qAsConst(Global::_analysisOperationVtr)) {
        if (op.name == name)
            appendOnce(operations, op);
    }
    return operations;
}

int workbookNamed(const QString& name)
{
    const QVector<Global::CurveFileData>& files = Global::_curveFileDataVtr;
    for (int i = files.size() - 1; i >= 0; --i) {
        if (files.at(i).fileName == name)
            return i;
    }
    return -1;
}

// The workbook the user worked on last: the one smoothed last, else the one
// of the latest analysis, else the one read last; -1 when none is loaded. A
// workbook of the smoothed one's name loaded again after it was deleted is
// not the smoothed one.
int chosenWorkbook()
{
    if (Global::_smoothnessFlag) {
        const int smoothed = workbookNamed(Global::_smoothedCurveName);
        if (smoothed >= 0 && Global::_curveFileDataVtr.at(smoothed).smoothed)
            return smoothed;
    }
    const QVector<AnalysisOperation>& applied = Global::_analysisOperationVtr;
    for (int i = applied.size() - 1; i >= 0; --i) {
        const int analysed = workbookNamed(applied.at(i).name);
        if (analysed >= 0)
            return analysed;
    }
    return Global::_curveFileDataVtr.size() - 1;
}

} // namespace

XlsxHandler::Snapshot XlsxHandler::Snapshot::take()
{
    Snapshot snapshot;
    snapshot.experimentInfo = Global::_experimentInfo;
    snapshot.experimentData = elementCopy(Global::_experimentDataVtr);
    snapshot.runOperations = operationsOf(Global::ExperimentKey, {});
    const int chosen = chosenWorkbook();
    if (chosen >= 0) {
        snapshot.workbook = Global::_curveFileDataVtr.at(chosen);
        snapshot.workbookOperations = operationsOf(snapshot.workbook.fileName, snapshot.workbook.analysisOperations);
    }
    return snapshot;
}

void XlsxHandler::keepSaved(const Snapshot& snapshot, const QVector<AnalysisOperation>& written)
{
    for (Global::CurveFileData& file : Global::_curveFileDataVtr) {
        if (!file.path.isEmpty() && file.path == snapshot.workbook.path)
            file.identity = snapshot.workbook.identity;
    }
    for (const AnalysisOperation& op : written)
        appendOnce(Global::_savedAnalysisOperationVtr, op);
}

QStringList XlsxHandler::unsavedCurves(const QVector<AnalysisOperation>& written)
{
    QStringList names;
    for (const AnalysisOperation& op : qAsConst(Global::_analysisOperationVtr)) {
        if (!names.contains(op.name) && !holds(written, op) && !holds(Global::_savedAnalysisOperationVtr, op))
            names.append(op.name);
    }
    return names;
}
