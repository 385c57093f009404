#include "resultdrawer.h"

#include "analysisrunner.h"
#include "backgroundwork.h"
#include "localcustomplot.h"
#include "plotitemregistry.h"
#include "storedoperations.h"

#include <easylogging++.h>
#include <qcustomplot.h>

#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>
#include <limits>

namespace {

// Results are drawn this long at a time, and the event loop runs between two
// slices: the window keeps painting and taking frames however many analyses
// a workbook stores.
constexpr qint64 SliceNs = 15 * 1000 * 1000;
// Painting a result (label, arrow, region) and adding it to the picture of
// those painted before takes about a tenth of a millisecond, more on the run
// time: more than this many are painted a part at a time, each part within
// about 50 ms.
constexpr int ResultsPerPart = 300;
// Redrawn at once, with the curves they are drawn on, these take a few tens
// of milliseconds (a result on the run time about one).
constexpr int ResultsDrawnAtOnce = 25;

} // namespace

struct ResultDrawer::Drawing
{
    Drawing(const Global::CurveFileData& drawn, LocalCustomPlot* drawnOn)
        : file(drawn)
        , stages(drawn.phases)
        , plot(drawnOn)
    {
    }
    // A part not painted yet is left to the next full replot.
    ~Drawing() { closeParts(); }

    void closeParts()
    {
        if (plot)
            plot->closePartLayer(partLayer);
    }

    const Global::CurveFileData file;
    const StoredOperations::StageIndex stages;
    const QPointer<LocalCustomPlot> plot;
    Operations operations;
    int next = 0;
    // Its results left the plot: it draws nothing more.
    bool dropped = false;
    QCPRange x;
    QCPRange y;
    // How many parts the results are drawn in, none when they are few; the
    // layer they are drawn on (made before any result is drawn), the part
    // being drawn and the items drawn in it.
    int parts = 0;
    QPointer<QCPLayer> partLayer;
    int part = 0;
    QList<QPointer<QCPAbstractItem>> partItems;
};

ResultDrawer::ResultDrawer(LocalCustomPlot* plot, AnalysisRunner* runner, QWidget* dialogParent, QObject* parent)
    : QObject(parent)
    , _plot(plot)
    , _runner(runner)
    , _work(new BackgroundWork(QStringLiteral("绘制"), QStringLiteral("正在绘制分析结果..."), dialogParent, this))
{
    connect(_work, &BackgroundWork::finished, this, [this]() { emit runningChanged(false); });
}

// The steps left are not taken; the plot may be going too.
ResultDrawer::~ResultDrawer()
{
    _queue.clear();
    delete _work;
}

std::shared_ptr<ResultDrawer::Drawing> ResultDrawer::prepare(const Global::CurveFileData& file,
                                                              const Operations& operations)
{
    _drawings.erase(std::remove_if(_drawings.begin(), _drawings.end(),
                                   [](const std::weak_ptr<Drawing>& held) { return held.expired(); }),
                    _drawings.end());
    auto drawing = std::make_shared<Drawing>(file, _plot);
    _drawings.push_back(drawing);
    drawing->operations = operations;
    if (operations.size() > ResultsPerPart)
        drawing->parts = (operations.size() + ResultsPerPart - 1) / ResultsPerPart;
    drawing->x = _plot->xAxis->range();
    drawing->y = _plot->yAxis->range();
    return drawing;
}

int ResultDrawer::operationCount(const Drawing& drawing)
{
    return drawing.operations.size();
}

bool ResultDrawer::step(Drawing& drawing)
{
    if (drawing.dropped) {
        drawing.closeParts();
        return true;
    }
    if (drawing.parts == 0) {
        if (!drawSlice(drawing, SliceNs, drawing.operations.size()))
            return false;
        _plot->replot(QCustomPlot::rpRefreshHint);
        return true;
    }
    if (!drawing.partLayer) {
        drawing.partLayer = _plot->addPartLayer();
        _plot->replot(QCustomPlot::rpRefreshHint);
        return false;
    }
    const int perPart = (drawing.operations.size() + drawing.parts - 1) / drawing.parts;
    const int partEnd = qMin(drawing.operations.size(), (drawing.part + 1) * perPart);
    if (drawing.next < partEnd) {
        QCPLayer* const current = _plot->currentLayer();
        _plot->setCurrentLayer(drawing.partLayer);
        drawSlice(drawing, SliceNs, partEnd);
        _plot->setCurrentLayer(current);
        return false;
    }
    return paintPart(drawing);
}

bool ResultDrawer::drawsAtOnce(int operations)
{
    return operations <= ResultsDrawnAtOnce;
}

void ResultDrawer::drawAtOnce(Drawing& drawing)
{
    drawing.parts = 0;
    drawSlice(drawing, std::numeric_limits<qint64>::max(), drawing.operations.size());
}

void ResultDrawer::close(Drawing& drawing)
{
    drawing.closeParts();
}

// A redraw asked for while one runs follows it.
void ResultDrawer::redraw(const Drawings& drawings)
{
    _queue += drawings;
    if (_queue.isEmpty() || _work->isRunning())
        return;
    _work->start(nullptr, [this]() { return redrawStep(); });
    emit runningChanged(true);
}

bool ResultDrawer::redrawStep()
{
    if (!_queue.isEmpty()) {
        const std::shared_ptr<Drawing> first = _queue.first();
        if (step(*first))
            _queue.removeOne(first);
    }
    return _queue.isEmpty();
}

void ResultDrawer::drop(const QString& fileName)
{
    for (const std::weak_ptr<Drawing>& held : _drawings) {
        if (const std::shared_ptr<Drawing> drawing = held.lock()) {
            if (drawing->file.fileName == fileName)
                drawing->dropped = true;
        }
    }
    _queue.erase(std::remove_if(_queue.begin(), _queue.end(),
                                [](const std::shared_ptr<Drawing>& drawing) { return drawing->dropped; }),
                 _queue.end());
}

void ResultDrawer::drop()
{
    for (const std::weak_ptr<Drawing>& held : _drawings) {
        if (const std::shared_ptr<Drawing> drawing = held.lock())
            drawing->dropped = true;
    }
    _queue.clear();
}

bool ResultDrawer::isRunning() const
{
    return _work->isRunning();
}

// Draws results up to end until the budget is spent; true once all are
// drawn. The ranges decide where a label goes, so the slice draws on those
// the drawing began with and leaves the axes as it found them.
bool ResultDrawer::drawSlice(Drawing& drawing, qint64 budgetNs, int end)
{
    const QCPRange x = _plot->xAxis->range();
    const QCPRange y = _plot->yAxis->range();
    _plot->xAxis->setRange(drawing.x);
    _plot->yAxis->setRange(drawing.y);
    QElapsedTimer clock;
    clock.start();
    while (drawing.next < end && clock.nsecsElapsed() < budgetNs) {
        const QPair<AnalysisOperation, bool>& operation = drawing.operations.at(drawing.next++);
        if (!redraw(drawing, operation.first, operation.second) || drawing.parts == 0)
            continue;
        for (QObject* item : _runner->lastItems()) {
            if (auto* drawn = qobject_cast<QCPAbstractItem*>(item))
                drawing.partItems.append(drawn);
        }
    }
    _plot->xAxis->setRange(x);
    _plot->yAxis->setRange(y);
    return drawing.next >= drawing.operations.size();
}

// The labels of the part are kept readable, as a full replot's layout would
// keep them, before the part is painted; true once the last part is.
bool ResultDrawer::paintPart(Drawing& drawing)
{
    QList<QCPItemText*> labels;
    QList<QCPItemLine*> arrows;
    for (QCPAbstractItem* item : qAsConst(drawing.partItems)) {
        if (auto* label = qobject_cast<QCPItemText*>(item))
            labels.append(label);
        else if (auto* arrow = qobject_cast<QCPItemLine*>(item))
            arrows.append(arrow);
    }
    _plot->keepReadable(labels, arrows);
    drawing.partItems.clear();
    _plot->paintPart(drawing.partLayer);
    ++drawing.part;
    if (drawing.part < drawing.parts)
        return false;
    drawing.closeParts();
    return true;
}

// On the stage the operation was made on, with its bounds on the abscissa
// shown now; false when it fits no stage, and nothing was tried.
bool ResultDrawer::redraw(const Drawing& drawing, const AnalysisOperation& operation, bool confirmed)
{
    const Global::CurveFileData& file = drawing.file;
    const int stage = drawing.stages.stageOf(operation);
    if (stage < 0) {
        LOG(DEBUG) << "analysis operation fits no stage of" << file.fileName << ":" << operation.mode << operation.x1
                   << operation.x2 << (operation.timeAxis ? "min" : "℃");
        return false;
    }
    const QVector<Global::ExperimentData>& data = file.phases.at(stage).data;
    const bool onTime = Global::_timeAxisFlag == 1;
    _runner->setCurve(data, onTime);
    _runner->setSampleMass(file.info.sampleWeight.toDouble());
    const double x1 = drawing.stages.boundOn(stage, onTime, operation.x1, operation.timeAxis);
    const double x2 = drawing.stages.boundOn(stage, onTime, operation.x2, operation.timeAxis);
    const AnalysisRunner::Outcome outcome =
        _runner->run(static_cast<CentralWidget::AnalysisMode>(operation.mode), x1, x2, file.fileName);
    if (outcome == AnalysisRunner::Outcome::Refused || outcome == AnalysisRunner::Outcome::NotFound)
        LOG(DEBUG) << "analysis operation draws nothing on stage" << stage + 1 << "of" << file.fileName;
    if (confirmed) {
        for (QObject* item : _runner->lastItems())
            PlotItemRegistry::confirm(item);
    }
    return true;
}
