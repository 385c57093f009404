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

// Whether the samples' span on field reaches from lo to hi; false for none.
bool spanHolds(const QVector<Global::ExperimentData>& data, float Global::ExperimentData::*field, double lo,
               double hi)
{
    if (data.isEmpty())
        return false;
    const auto bounds = std::minmax_element(data.cbegin(), data.cend(),
                                            [field](const Global::ExperimentData& a,
                                                    const Global::ExperimentData& b) { return a.*field < b.*field; });
    return (*bounds.first).*field <= lo && hi <= (*bounds.second).*field;
}

int labelStage(const QVector<Global::PhaseTotalInfo>& stages, float Global::ExperimentData::*field, double x)
{
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int i = 0; i < stages.size(); ++i) {
        const QVector<Global::ExperimentData>& data = stages.at(i).data;
        if (!spanHolds(data, field, x, x))
            continue;
        const double distance = std::fabs(data.at(nearestSample(data, field, x)).*field - x);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

int regionStage(const QVector<Global::PhaseTotalInfo>& stages, float Global::ExperimentData::*field, double x1,
                double x2)
{
    const double lo = std::min(x1, x2);
    const double hi = std::max(x1, x2);
    int best = -1;
    int most = 1;
    for (int i = 0; i < stages.size(); ++i) {
        const QVector<Global::ExperimentData>& data = stages.at(i).data;
        if (!spanHolds(data, field, lo, hi))
            continue;
        const int count = int(std::count_if(data.cbegin(), data.cend(), [&](const Global::ExperimentData& d) {
            return lo <= d.*field && d.*field <= hi;
        }));
        if (count > most) {
            most = count;
            best = i;
        }
    }
    return best;
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

// Stages may cover the same temperatures (heating, then cooling): only the
// stage an operation was applied to tells them apart.
int stageOf(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation)
{
    if (operation.stage >= 0 && operation.stage < stages.size())
        return operation.stage;
    const auto field = fieldOf(operation.timeAxis);
    if (operation.mode == NumericalLabelMode)
        return labelStage(stages, field, operation.x1);
    return regionStage(stages, field, operation.x1, operation.x2);
}

int runStageOf(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation)
{
    const auto field = fieldOf(operation.timeAxis);
    if (operation.mode == NumericalLabelMode)
        return labelStage(stages, field, operation.x1);
    const double lo = std::min(operation.x1, operation.x2);
    const double hi = std::max(operation.x1, operation.x2);
    int found = -1;
    for (int i = 0; i < stages.size(); ++i) {
        const QVector<Global::ExperimentData>& data = stages.at(i).data;
        const bool within = std::any_of(data.cbegin(), data.cend(), [&](const Global::ExperimentData& d) {
            return lo <= d.*field && d.*field <= hi;
        });
        if (within && found >= 0)
            return -1;
        if (within)
            found = i;
    }
    return found;
}

double boundOn(bool onTime, double bound, bool boundOnTime, const QVector<Global::ExperimentData>& data)
{
    if (onTime == boundOnTime)
        return bound;
    const int nearest = nearestSample(data, fieldOf(boundOnTime), bound);
    return nearest < 0 ? bound : data.at(nearest).*fieldOf(onTime);
}

} // namespace StoredOperations
