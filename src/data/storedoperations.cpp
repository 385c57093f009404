#include "storedoperations.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace StoredOperations {

namespace {

// Mode of the numerical label, the one analysis made at a single line
// (Global::AnalysisOperationNames' first).
constexpr int NumericalLabelMode = 1;

float Global::ExperimentData::*fieldOf(bool onTime)
{
    return onTime ? &Global::ExperimentData::runTime : &Global::ExperimentData::temperature;
}

} // namespace

int nearestSample(const QVector<Global::ExperimentData>& data, float Global::ExperimentData::*field, double value)
{
    int nearest = -1;
    double best = std::numeric_limits<double>::infinity();
    for (int i = 0; i < data.size(); ++i) {
        const double distance = std::fabs(data.at(i).*field - value);
        if (distance < best) {
            best = distance;
            nearest = i;
        }
    }
    return nearest;
}

// One operation asks about every stage: ordering their samples costs more
// than a pass over them, but the answer is the same.
int stageOf(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation)
{
    return StageIndex(stages).stageOf(operation);
}

int runStageOf(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation)
{
    return StageIndex(stages).runStageOf(operation);
}

double boundOn(bool onTime, double bound, bool boundOnTime, const QVector<Global::ExperimentData>& data)
{
    if (onTime == boundOnTime)
        return bound;
    const int nearest = nearestSample(data, fieldOf(boundOnTime), bound);
    return nearest < 0 ? bound : data.at(nearest).*fieldOf(onTime);
}

StageIndex::StageIndex(const QVector<Global::PhaseTotalInfo>& stages)
    : _stages(stages)
{
    for (auto& orders : _orders)
        orders.resize(size_t(stages.size()));
}

StageIndex::~StageIndex() = default;

const SampleOrder& StageIndex::order(int stage, bool onTime) const
{
    std::unique_ptr<SampleOrder>& order = _orders[onTime ? 1 : 0][size_t(stage)];
    if (!order)
        order.reset(new SampleOrder(_stages.at(stage).data, fieldOf(onTime)));
    return *order;
}

// Stages may cover the same temperatures (heating, then cooling): only the
// stage an operation was applied to tells them apart.
int StageIndex::stageOf(const AnalysisOperation& operation) const
{
    if (operation.stage >= 0 && operation.stage < _stages.size())
        return operation.stage;
    if (operation.mode == NumericalLabelMode)
        return labelStage(operation.timeAxis, operation.x1);
    return regionStage(operation.timeAxis, operation.x1, operation.x2);
}

int StageIndex::runStageOf(const AnalysisOperation& operation) const
{
    if (operation.mode == NumericalLabelMode)
        return labelStage(operation.timeAxis, operation.x1);
    const double lo = std::min(operation.x1, operation.x2);
    const double hi = std::max(operation.x1, operation.x2);
    int found = -1;
    for (int i = 0; i < _stages.size(); ++i) {
        if (order(i, operation.timeAxis).countBetween(lo, hi) == 0)
            continue;
        if (found >= 0)
            return -1;
        found = i;
    }
    return found;
}

double StageIndex::boundOn(int stage, bool onTime, double bound, bool boundOnTime) const
{
    if (onTime == boundOnTime)
        return bound;
    const int nearest = order(stage, boundOnTime).nearest(bound);
    return nearest < 0 ? bound : _stages.at(stage).data.at(nearest).*fieldOf(onTime);
}

int StageIndex::labelStage(bool onTime, double x) const
{
    const auto field = fieldOf(onTime);
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int i = 0; i < _stages.size(); ++i) {
        const SampleOrder& samples = order(i, onTime);
        const int nearest = samples.spans(x, x) ? samples.nearest(x) : -1;
        if (nearest < 0)
            continue;
        const double distance = std::fabs(_stages.at(i).data.at(nearest).*field - x);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

int StageIndex::regionStage(bool onTime, double x1, double x2) const
{
    const double lo = std::min(x1, x2);
    const double hi = std::max(x1, x2);
    int best = -1;
    int most = 1;
    for (int i = 0; i < _stages.size(); ++i) {
        const SampleOrder& samples = order(i, onTime);
        if (!samples.spans(lo, hi))
            continue;
        const int count = samples.countBetween(lo, hi);
        if (count > most) {
            most = count;
            best = i;
        }
    }
    return best;
}

} // namespace StoredOperations
