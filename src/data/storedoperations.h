#ifndef STOREDOPERATIONS_H
#define STOREDOPERATIONS_H

#include "global.h"
#include "sampleorder.h"

#include <QVector>

#include <array>
#include <memory>
#include <vector>

// Where a recorded analysis operation belongs when it is drawn again: the
// stage of its workbook it was made on, and its bounds on the abscissa the
// plot shows now. Workbooks written before stages were kept carry no stage
// with their operations, and those written before run times were kept no
// abscissa, so both are then found from the samples.
namespace StoredOperations {

// Index of the sample whose field lies nearest value, the first of equally
// near ones; -1 for no samples.
int nearestSample(const QVector<Global::ExperimentData>& data, float Global::ExperimentData::*field, double value);

// The stage the operation was applied to when it knows it; otherwise the
// stage whose samples hold the operation's region, or -1 when none does:
// for a numerical label the stage whose span holds the line (the one with the
// sample nearest it, the first of equals, when several do); for a region a
// stage whose span holds both bounds, the one with the most samples between
// them, at least two (the first of equals).
int stageOf(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation);

// The stage of a run whose stages were analysed as one curve: for a
// numerical label the stage whose span holds the line (as stageOf), for a
// region the one stage with samples between the bounds. -1 when the label
// lies between stages or the region takes samples of several stages or of
// none: no stage alone gives its result.
int runStageOf(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation);

// A bound taken to the other abscissa through the sample measured nearest
// it: a run time to that sample's temperature, or a temperature to its run
// time.
double boundOn(bool onTime, double bound, bool boundOnTime, const QVector<Global::ExperimentData>& data);

// The answers of stageOf, runStageOf and boundOn for the many operations of
// one workbook or run, at the cost of ordering each stage's samples once (on
// the abscissa first asked for). It keeps its own (shared) copy of the
// stages, so later changes to theirs do not reach it.
class StageIndex
{
public:
    explicit StageIndex(const QVector<Global::PhaseTotalInfo>& stages);
    ~StageIndex();

    int stageOf(const AnalysisOperation& operation) const;
    int runStageOf(const AnalysisOperation& operation) const;
    // boundOn for the samples of the given stage.
    double boundOn(int stage, bool onTime, double bound, bool boundOnTime) const;

private:
    const SampleOrder& order(int stage, bool onTime) const;
    int labelStage(bool onTime, double x) const;
    int regionStage(bool onTime, double x1, double x2) const;

    const QVector<Global::PhaseTotalInfo> _stages;
    // Per abscissa (temperature, run time), per stage; built when first asked.
    mutable std::array<std::vector<std::unique_ptr<SampleOrder>>, 2> _orders;
};

} // namespace StoredOperations

#endif // STOREDOPERATIONS_H
