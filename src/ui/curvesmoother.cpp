#include "curvesmoother.h"

#include "backgroundwork.h"
#include "centralwidget.h"
#include "lowess.h"

#include <easylogging++.h>
#include <qcustomplot.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

// The smoother's passes: one plain and two robust ones.
constexpr int RobustnessIterations = 3;

} // namespace

struct CurveSmoother::Work
{
    Job job;
    LowessControl control;
    std::size_t totalFits = 0;
    QString failure;
};

CurveSmoother::CurveSmoother(CentralWidget* workspace, QWidget* parent)
    : QObject(parent)
    , _workspace(workspace)
    , _background(new BackgroundWork(QStringLiteral("平滑"), QStringLiteral("正在平滑曲线..."), parent, this))
{
    _background->setCancel([this]() { cancel(); });
    _background->setProgress([this]() { return progress(); });
    connect(_background, &BackgroundWork::finished, this, &CurveSmoother::finish);
}

// A smoothing still running when the window goes is stopped, not awaited to
// its end; the work is ended here, while the job it cancels still exists.
CurveSmoother::~CurveSmoother()
{
    delete _background;
}

bool CurveSmoother::isRunning() const
{
    return _background->isRunning();
}

// One smoothing at a time: the commands are held while one runs, and a
// command that still gets here is refused.
void CurveSmoother::smooth(int level)
{
    if (isRunning()) {
        LOG(DEBUG) << "smooth: refused, a smoothing is running.";
        return;
    }
    auto work = std::make_shared<Work>();
    work->job.level = level;
    work->job.timeAxis = Global::_timeAxisFlag == 1;
    if (!collect(work->job))
        return;
    for (const Source& source : qAsConst(work->job.sources))
        work->totalFits += static_cast<std::size_t>(source.points.size()) * RobustnessIterations;
    LOG(DEBUG) << "smooth start...";
    _work = work;
    _background->start([work]() {
        try {
            compute(work->job, &work->control);
        } catch (const LowessCancelled&) {
        } catch (const std::exception& error) {
            work->failure = QString::fromLocal8Bit(error.what());
        }
    });
    emit runningChanged(true);
}

int CurveSmoother::progress() const
{
    if (!_work || _work->totalFits == 0)
        return 0;
    const std::size_t fitted = std::min(_work->control.fitted.load(), _work->totalFits);
    return static_cast<int>(fitted * 1000 / _work->totalFits);
}

// The worker stops within a few milliseconds; its result is then dropped.
void CurveSmoother::cancel()
{
    if (!_work)
        return;
    _work->control.cancelled = true;
    LOG(DEBUG) << "smooth cancelled.";
}

void CurveSmoother::finish()
{
    const std::shared_ptr<Work> work = std::move(_work);
    if (!work->failure.isEmpty())
        LOG(DEBUG) << "smooth failed:" << work->failure;
    else if (!work->control.cancelled)
        LOG(DEBUG) << "smooth end...";
    if (work->failure.isEmpty() && !work->control.cancelled)
        apply(work->job);
    emit runningChanged(false);
}

// Nothing selected, or a curve no record holds: nothing is smoothed and
// nothing on the plot changes.
bool CurveSmoother::collect(Job& job) const
{
    QCPCurve* curve = _workspace->currentCurve();
    const QVector<RecordRef> refs = recordsOf(curve);
    if (!curve || refs.isEmpty()) {
        LOG(DEBUG) << "smooth: no record for the current curve.";
        return false;
    }
    job.curve = curve;
    const RecordRef& first = refs.first();
    job.name = first.record >= 0 ? Global::ExperimentKey : Global::_curveFileDataVtr.at(first.file).fileName;
    for (const RecordRef& ref : refs)
        job.sources.append(Source{ref, dataOf(ref), false, QString()});
    return true;
}

// Each record on its own: a run's stages share one curve but not one
// temperature range, and a fit across a stage boundary would mix them.
void CurveSmoother::compute(Job& job, LowessControl* control)
{
    for (Source& source : job.sources) {
        try {
            source.points = smoothPoints(source.points, job.level, job.timeAxis, control);
            source.smoothed = true;
        } catch (const std::invalid_argument& error) {
            source.rejection = QString::fromLatin1(error.what());
        }
    }
}

// The records still drawn as the curve take their smoothed signal, and the
// curve is drawn again from them; a smoothing that changed no record changes
// nothing on the plot either.
void CurveSmoother::apply(const Job& job)
{
    const QVector<RecordRef> refs = recordsOf(job.curve);
    if (!takeSmoothedPoints(job, refs)) {
        LOG(DEBUG) << "smooth: nothing to apply.";
        return;
    }
    Global::_smoothnessFlag = true;
    Global::_smoothedCurveName = job.name;
    redraw(job.curve, refs, job.name);
}

// Points a run added meanwhile stay as measured. True when a record took
// smoothed points.
bool CurveSmoother::takeSmoothedPoints(const Job& job, const QVector<RecordRef>& refs)
{
    bool taken = false;
    for (const Source& source : job.sources) {
        if (!source.rejection.isEmpty())
            LOG(DEBUG) << "smooth rejected:" << source.rejection;
        if (!source.smoothed || !refs.contains(source.ref))
            continue;
        QVector<Global::ExperimentData>& data = dataOf(source.ref);
        for (int i = 0; i < source.points.size() && i < data.size(); ++i)
            data[i].dsc = source.points.at(i).dsc;
        if (source.ref.file >= 0)
            Global::_curveFileDataVtr[source.ref.file].smoothed = true;
        taken = true;
    }
    return taken;
}

// The curve is drawn again from all of its records, which keep the new
// curve; a run's curve stays the one its later points go to.
void CurveSmoother::redraw(QCPCurve* curve, const QVector<RecordRef>& refs, const QString& name)
{
    QVector<Global::ExperimentData> drawn;
    for (const RecordRef& ref : refs)
        drawn += dataOf(ref);
    const bool live = _workspace->liveCurve() == curve;
    _workspace->removeCurveWithResults(curve);
    _workspace->drawCurveData(drawn, name);
    QCPCurve* fresh = _workspace->currentCurve();
    for (const RecordRef& ref : refs)
        curveOf(ref) = fresh;
    if (live)
        _workspace->setLiveCurve(fresh);
}

// The run's stage records first, then the stages of the loaded workbooks.
QVector<CurveSmoother::RecordRef> CurveSmoother::recordsOf(const QCPCurve* curve)
{
    QVector<RecordRef> refs;
    if (!curve)
        return refs;
    for (int i = 0; i < Global::_experimentDataVtr.size(); ++i) {
        if (Global::_experimentDataVtr.at(i).curve == curve)
            refs.append(RecordRef{i, -1, -1});
    }
    for (int f = 0; f < Global::_curveFileDataVtr.size(); ++f) {
        const QVector<Global::PhaseTotalInfo>& phases = Global::_curveFileDataVtr.at(f).phases;
        for (int p = 0; p < phases.size(); ++p) {
            if (phases.at(p).curve == curve)
                refs.append(RecordRef{-1, f, p});
        }
    }
    return refs;
}

QVector<Global::ExperimentData>& CurveSmoother::dataOf(const RecordRef& ref)
{
    if (ref.record >= 0)
        return Global::_experimentDataVtr[ref.record].data;
    return Global::_curveFileDataVtr[ref.file].phases[ref.phase].data;
}

QCPCurve*& CurveSmoother::curveOf(const RecordRef& ref)
{
    if (ref.record >= 0)
        return Global::_experimentDataVtr[ref.record].curve;
    return Global::_curveFileDataVtr[ref.file].phases[ref.phase].curve;
}

QVector<Global::ExperimentData> CurveSmoother::smoothPoints(const QVector<Global::ExperimentData>& points, int level,
                                                            bool timeAxis, LowessControl* control)
{
    std::vector<double> x;
    std::vector<double> y;
    x.reserve(static_cast<size_t>(points.size()));
    y.reserve(static_cast<size_t>(points.size()));
    for (const Global::ExperimentData& point : points) {
        x.push_back(timeAxis ? point.runTime : point.temperature);
        y.push_back(point.dsc);
    }
    const std::vector<double> fitted = lowess(x, y, LowessParams{level * 0.1, RobustnessIterations}, control);
    QVector<Global::ExperimentData> result = points;
    for (int i = 0; i < result.size(); ++i)
        result[i].dsc = static_cast<float>(fitted[static_cast<size_t>(i)]);
    return result;
}
