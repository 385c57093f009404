#include "curvesmoother.h"

#include "centralwidget.h"
#include "lowess.h"

#include <easylogging++.h>

#include <stdexcept>
#include <vector>

// The record a smoothing command rewrote: a live stage record, or a stage of a
// loaded workbook; kept by index so no pointer into the shared records has to
// outlive the redraw.
struct CurveSmoother::Target
{
    int record = -1;
    int file = -1;
    int phase = -1;
    QVector<Global::ExperimentData> points;
    QString name;
};

CurveSmoother::CurveSmoother(CentralWidget* workspace, QObject* parent)
    : QObject(parent)
    , _workspace(workspace)
{
}

// The selected curve is taken off the plot and drawn again from its smoothed
// points. With no matching record (nothing selected, or a result graph) the
// redraw gets no points and no name, and no record takes the drawn curve.
void CurveSmoother::smooth(int level)
{
    Global::_smoothnessFlag = true;
    const Target target = smoothSelectedRecord(level);
    _workspace->deleteCurrentCurve();
    _workspace->drawCurveData(target.points, target.name);
    attachSmoothedCurve(target, _workspace->currentCurve());
}

// While a run has stage records only those are considered, even when the
// selected curve belongs to a loaded workbook. A later match replaces what an
// earlier one left. A deleted curve leaves its record's pointer null, so with
// no current curve every such record would match: nothing is smoothed then.
CurveSmoother::Target CurveSmoother::smoothSelectedRecord(int level)
{
    Target target;
    if (!_workspace->currentCurve())
        return target;
    const bool timeAxis = Global::_timeAxisFlag == 1;
    if (!Global::_experimentDataVtr.isEmpty()) {
        for (int i = 0; i < Global::_experimentDataVtr.size(); ++i) {
            Global::CurveExperimentData& record = Global::_experimentDataVtr[i];
            if (!_workspace->isCurrentCurve(record.curve))
                continue;
            record.data = smoothPoints(record.data, level, timeAxis);
            target.points = record.data;
            target.name = Global::ExperimentKey;
            target.record = i;
        }
        return target;
    }
    for (int f = 0; f < Global::_curveFileDataVtr.size(); ++f) {
        Global::CurveFileData& file = Global::_curveFileDataVtr[f];
        for (int p = 0; p < file.phases.size(); ++p) {
            Global::PhaseTotalInfo& phase = file.phases[p];
            if (!_workspace->isCurrentCurve(phase.curve))
                continue;
            phase.data = smoothPoints(phase.data, level, timeAxis);
            target.points = phase.data;
            target.name = file.fileName;
            target.file = f;
            target.phase = p;
        }
    }
    return target;
}

void CurveSmoother::attachSmoothedCurve(const Target& target, QCPCurve* curve)
{
    if (target.record >= 0 && target.record < Global::_experimentDataVtr.size()) {
        Global::_experimentDataVtr[target.record].curve = curve;
        return;
    }
    if (target.file < 0 || target.file >= Global::_curveFileDataVtr.size())
        return;
    Global::CurveFileData& file = Global::_curveFileDataVtr[target.file];
    if (target.phase >= 0 && target.phase < file.phases.size())
        file.phases[target.phase].curve = curve;
}

// The smoother rejects fewer than two points; such a stage is left as it is
// and the command goes on, so a rejection never ends the program.
QVector<Global::ExperimentData> CurveSmoother::smoothPoints(const QVector<Global::ExperimentData>& points, int level,
                                                            bool timeAxis)
{
    std::vector<double> x;
    std::vector<double> y;
    x.reserve(static_cast<size_t>(points.size()));
    y.reserve(static_cast<size_t>(points.size()));
    for (const Global::ExperimentData& point : points) {
        x.push_back(timeAxis ? point.runTime : point.temperature);
        y.push_back(point.dsc);
    }
    LOG(DEBUG) << "smooth start...";
    std::vector<double> fitted;
    try {
        fitted = lowess(x, y, LowessParams{level * 0.1, 3});
    } catch (const std::invalid_argument& error) {
        LOG(DEBUG) << "smooth rejected:" << error.what();
        return points;
    }
    LOG(DEBUG) << "smooth end...";
    QVector<Global::ExperimentData> result = points;
    for (int i = 0; i < result.size(); ++i)
        result[i].dsc = static_cast<float>(fitted[static_cast<size_t>(i)]);
    return result;
}
