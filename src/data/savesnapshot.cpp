#include "xlsxhandler.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

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

// The analyses already taken, found by their name, kind, abscissa and stage
// and then by x1 within sameBound's margin, so that taking n analyses costs
// n log n: a workbook may hold ten thousand.
class OperationIndex
{
public:
    explicit OperationIndex(const QVector<AnalysisOperation>& operations = {})
    {
        for (const AnalysisOperation& op : operations)
            insert(op);
    }

    bool holds(const AnalysisOperation& op) const
    {
        // No bound that is not finite is the same as any other.
        if (!std::isfinite(op.x1) || !std::isfinite(op.x2))
            return false;
        const auto group = _groups.find(keyOf(op));
        if (group == _groups.cend())
            return false;
        const double margin = 2e-15 * std::abs(op.x1);
        for (auto held = group->second.lower_bound(op.x1 - margin);
             held != group->second.cend() && held->first <= op.x1 + margin; ++held) {
            if (sameBound(held->first, op.x1) && sameBound(held->second, op.x2))
                return true;
        }
        return false;
    }

    void insert(const AnalysisOperation& op)
    {
        if (std::isfinite(op.x1) && std::isfinite(op.x2))
            _groups[keyOf(op)].emplace(op.x1, op.x2);
    }

private:
    using Key = std::tuple<QString, int, bool, int>;

    static Key keyOf(const AnalysisOperation& op) { return Key(op.name, op.mode, op.timeAxis, op.stage); }

    std::map<Key, std::multimap<double, double>> _groups;
};

// The same analysis drawn twice is written once.
void appendOnce(QVector<AnalysisOperation>& operations, OperationIndex& taken, const AnalysisOperation& op)
{
    if (taken.holds(op))
        return;
    operations.append(op);
    taken.insert(op);
}

// The curve's analyses: those given, then those applied to it since the last
// clear, in order.
QVector<AnalysisOperation> operationsOf(const QString& name, const QVector<AnalysisOperation>& stored)
{
    QVector<AnalysisOperation> operations;
    OperationIndex taken;
    for (const AnalysisOperation& op : stored)
        appendOnce(operations, taken, op);
    for (const AnalysisOperation& op : qAsConst(Global::_analysisOperationVtr)) {
        if (op.name == name)
            appendOnce(operations, taken, op);
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
    OperationIndex saved(Global::_savedAnalysisOperationVtr);
    for (const AnalysisOperation& op : written)
        appendOnce(Global::_savedAnalysisOperationVtr, saved, op);
}

QStringList XlsxHandler::unsavedCurves(const QVector<AnalysisOperation>& written)
{
    QStringList names;
    const OperationIndex inWritten(written);
    const OperationIndex saved(Global::_savedAnalysisOperationVtr);
    for (const AnalysisOperation& op : qAsConst(Global::_analysisOperationVtr)) {
        if (!names.contains(op.name) && !inWritten.holds(op) && !saved.holds(op))
            names.append(op.name);
    }
    return names;
}
