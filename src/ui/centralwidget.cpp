#include "centralwidget.h"

#include "analysisrunner.h"
#include "eventhandler.h"
#include "labelplacer.h"
#include "localcustomplot.h"
#include "messagebox.h"
#include "numerichelpers.h"
#include "plotitemregistry.h"
#include "resultdrawer.h"
#include "pointcalculate.h"
#include "storedoperations.h"
#include "xlsxhandler.h"

#include <easylogging++.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Drag, zoom and curve selection outside an analysis.
const QCP::Interactions FreeInteractions = QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables;
// Only curve selection while an analysis is chosen.
const QCP::Interactions AnalysisInteractions = QCP::iSelectPlottables;

// Sort key of the live curve: raised once per live point for the whole
// process, so a curve started after a clear continues where the last stopped
// and every point lands at the end of the curve's data.
double liveKeyCounter = 0.0;

// A replot of a 100,000-point curve takes several milliseconds, longer than
// the instrument's frame interval at full line speed; 25 pictures a second
// keep the curve moving smoothly and leave the event loop free.
constexpr int LiveReplotIntervalMs = 40;

// A sample's place on the current abscissa.
double abscissaOf(const Global::ExperimentData& d)
{
    return Global::_timeAxisFlag == 1 ? d.runTime : d.temperature;
}

// The start of a running minimum and maximum.
const QPair<float, float> NoRange(std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest());

// The loaded workbook stage drawn as the curve, or null; file, when given,
// receives the workbook the stage belongs to.
const Global::PhaseTotalInfo* fileStageOf(const QCPCurve* curve, const Global::CurveFileData** file = nullptr)
{
    for (const Global::CurveFileData& candidate : qAsConst(Global::_curveFileDataVtr)) {
        for (const Global::PhaseTotalInfo& stage : candidate.phases) {
            if (stage.curve != curve)
                continue;
            if (file)
                *file = &candidate;
            return &stage;
        }
    }
    return nullptr;
}

// Index of the curve's stage within its workbook; -1 for a curve of no
// workbook.
int fileStageIndexOf(const QCPCurve* curve)
{
    const Global::CurveFileData* file = nullptr;
    const Global::PhaseTotalInfo* stage = fileStageOf(curve, &file);
    return stage ? int(stage - file->phases.constData()) : -1;
}

} // namespace

// What a load changes of the axes, so that a cancelled one can put it back.
struct CentralWidget::AxisView
{
    QString xLabel;
    QString yLabel;
    QString y2Label;
    bool yVisible;
    bool y2Visible;
    QCPRange x;
    QCPRange y;
};

CentralWidget::CentralWidget(QWidget* parent)
    : QWidget(parent)
    , _timeAxisLabel(QStringLiteral("Time/min"))
    , _temperatureAxisLabel(QStringLiteral("Temperature/℃"))
    , _dscAxisLabel(QStringLiteral("DSC/mW"))
    , _analysisMode(NoAnalysis)
    , _plot(new LocalCustomPlot(this))
    , _currentCurve(nullptr)
    , _liveCurve(nullptr)
    , _eventHandler(nullptr)
    , _loader(new WorkbookLoader([this](const WorkbookLoader::Result& read) { return takeReadWorkbook(read); },
                                 parent, this))
    , _runner(new AnalysisRunner(_plot))
    , _drawer(new ResultDrawer(_plot, _runner.get(), parent))
    , _line1(nullptr)
    , _line2(nullptr)
    , _lastApplyX1(0.0)
    , _lastApplyX2(0.0)
    , _unconfirmedOperationCount(0)
    , _liveReplotTimer(new QTimer(this))
    , _followLiveSignal(false)
{
    qRegisterMetaType<CentralWidget::AxisInfo>("CentralWidget::AxisInfo");
    qRegisterMetaType<QVector<CentralWidget::AxisInfo>>("QVector<CentralWidget::AxisInfo>");

    setAttribute(Qt::WA_MouseTracking, true);
    setStyleSheet(QStringLiteral("background-color: lightgray;"));
    resize(888, 666);
    auto* layout = new QHBoxLayout(this);
    layout->setMargin(0);
    layout->addWidget(_plot);
    setLayout(layout);

    _liveReplotTimer->setSingleShot(true);
    connect(_liveReplotTimer, &QTimer::timeout, this, [this]() {
        _lastLiveReplot.restart();
        _plot->replot(QCustomPlot::rpRefreshHint);
    });

    createBoundaryLines();
    createEventHandler();
    setEventHandlerEnable(false);

    _plot->xAxis->setLabel(_temperatureAxisLabel);
    _plot->yAxis->setLabel(_dscAxisLabel);
    _plot->xAxis->setRange(0.0, 100.0);
    _plot->yAxis->setRange(0.0, 20.0);
}

// The plot takes its objects with it: the registry and the shared records
// must not keep pointing at them. They go here, in one pass, rather than
// one by one from the back of the plot's lists as the plot itself would.
CentralWidget::~CentralWidget()
{
    _plot->removeEventFilter(_eventHandler);
    delete _eventHandler;
    removeAllPlotObjects();
}

void CentralWidget::createBoundaryLines()
{
    _line1 = createBoundaryLine(20.0);
    _line2 = createBoundaryLine(40.0);
}

QCPItemStraightLine* CentralWidget::createBoundaryLine(double key)
{
    auto* line = new QCPItemStraightLine(_plot);
    line->point1->setCoords(key, _plot->yAxis->range().lower);
    line->point2->setCoords(key, _plot->yAxis->range().upper);
    line->setPen(QPen(Qt::red));
    line->setSelectable(true);
    line->setLayer(_plot->dragLayer());
    return line;
}

void CentralWidget::createEventHandler()
{
    _eventHandler = new EventHandler(_plot, _line1, _line2);
    _eventHandler->setEnableFlag(true);
    _plot->installEventFilter(_eventHandler);
    _plot->setInteractions(FreeInteractions);

    connect(_eventHandler, &EventHandler::sigSendLineXCoord, this, &CentralWidget::sigSendLineXCoord);
    connect(_eventHandler, &EventHandler::sigDelCurve, this, &CentralWidget::slotDelCurve);
    connect(_plot, &QCustomPlot::selectionChangedByUser, this, &CentralWidget::slotSelectionChangedByUser);
    connect(_plot, &LocalCustomPlot::axesMovedByUser, this, [this]() { _followLiveSignal = false; });
}

LocalCustomPlot* CentralWidget::plot() const
{
    return _plot;
}

EventHandler* CentralWidget::eventHandler() const
{
    return _eventHandler;
}

WorkbookLoader* CentralWidget::workbookLoader() const
{
    return _loader;
}

ResultDrawer* CentralWidget::resultDrawer() const
{
    return _drawer.get();
}

QCPItemStraightLine* CentralWidget::line1() const
{
    return _line1;
}

QCPItemStraightLine* CentralWidget::line2() const
{
    return _line2;
}

QCPCurve* CentralWidget::currentCurve() const
{
    return _currentCurve;
}

QCPCurve* CentralWidget::liveCurve() const
{
    return _liveCurve;
}

// A run's curve redrawn from its records (smoothing) takes the run's later
// points in place of the curve it replaced.
void CentralWidget::setLiveCurve(QCPCurve* curve)
{
    _liveCurve = curve;
}

CentralWidget::AnalysisMode CentralWidget::analysisMode() const
{
    return _analysisMode;
}

const QVector<QString>& CentralWidget::openedFilePaths() const
{
    return _openedFilePaths;
}

void CentralWidget::slotRecvCommonData(const CommonData& data)
{
    Global::ExperimentData point;
    point.runTime = data.runTime;
    point.constantTempTime = data.constantTempTime;
    point.temperature = Global::toFloat(data.sampleTemp);
    point.dsc = Global::toFloat(data.dsc);
    appendLivePoint(point, data.sampleTemp, data.dsc, data.stage);
}

// The curve draws the full-precision record; the stage record keeps floats,
// as the workbook does.
void CentralWidget::appendLivePoint(const Global::ExperimentData& point, double key, double value, int stage)
{
    QCPCurve* curve = ensureLiveCurve();
    curve->addData(liveKeyCounter, key, value);
    liveKeyCounter += 1.0;
    if (_followLiveSignal)
        widenToShow(value);
    scheduleLiveReplot();

    Global::CurveExperimentData* record = ensureStageRecord(stage);
    record->data.append(point);
    record->curve = curve;
}

// Points that arrive together are drawn by one replot, and a long run does
// not redraw its whole curve for every point; no point is skipped, only
// pictures are.
void CentralWidget::scheduleLiveReplot()
{
    if (_liveReplotTimer->isActive())
        return;
    const qint64 since = _lastLiveReplot.isValid() ? _lastLiveReplot.elapsed() : LiveReplotIntervalMs;
    _liveReplotTimer->start(static_cast<int>(qMax<qint64>(0, LiveReplotIntervalMs - since)));
}

QCPCurve* CentralWidget::ensureLiveCurve()
{
    if (_liveCurve)
        return _liveCurve;
    LOG(DEBUG) << "_currentCurve is nullptr";
    _liveCurve = new QCPCurve(_plot->xAxis, _plot->yAxis);
    _liveCurve->setObjectName(Global::ExperimentKey);
    makeCurrent(_liveCurve);
    return _liveCurve;
}

// The link opens a stage record before it publishes a live point; should that
// order ever break, the point still belongs to the run, so a record is opened
// here rather than losing it.
Global::CurveExperimentData* CentralWidget::ensureStageRecord(int stage)
{
    if (Global::_currentCurveExperimentDataPtr)
        return Global::_currentCurveExperimentDataPtr;
    LOG(ERROR) << "_currentCurveExperimentDataPtr is nullptr.";
    return Global::openStageRecord(stage);
}

// A run starts: its signal range is not known yet, so the fixed one widens
// to every point beyond it until the user moves the axes.
void CentralWidget::slotAxisModify(float temp)
{
    _plot->setInteractions(FreeInteractions);
    const float upper = temp + 20.0f;
    _plot->xAxis->setRange(10.0, upper);
    _plot->yAxis->setRange(-5.0, 5.0);
    _followLiveSignal = true;
}

// Only the side the signal left moves, leaving room beyond the point of a
// fifth of its distance from the side that stays (a sixth of the new span),
// about the margin a loaded curve has.
void CentralWidget::widenToShow(double value)
{
    QCPRange range = _plot->yAxis->range();
    if (range.contains(value) || !std::isfinite(value))
        return;
    if (value < range.lower)
        range.lower = value - 0.2 * (range.upper - value);
    else
        range.upper = value + 0.2 * (value - range.lower);
    _plot->yAxis->setRange(range);
}

void CentralWidget::clearAllData()
{
    Global::_globalMode = Global::Analysis;
    clearData(ClearExperimentData);
}

void CentralWidget::clearData(ClearDataMode mode)
{
    switch (mode) {
    case ClearTemporaryItems:
        removeMatching(PlotItemRegistry::isTemporary,
                       [](const QObject* item) { return PlotItemRegistry::isTemporary(item->objectName()); });
        dropUnconfirmedOperations();
        break;
    case ClearExperimentData:
        _openedFilePaths.clear();
        _loader->dropAll();
        LOG(DEBUG) << "clearExperimentData...";
        Global::clearCurveExperimentData();
        Global::_curveFileDataVtr.clear();
        Global::_analysisOperationVtr.clear();
        Global::_savedAnalysisOperationVtr.clear();
        _unconfirmedOperationCount = 0;
        hideBoundaryLines();
        _currentCurve = nullptr;
        _liveCurve = nullptr;
        Global::_smoothnessFlag = false;
        removeAllPlotObjects();
        break;
    case ClearPlotObjects:
        removeAllPlotObjects();
        break;
    }
    _plot->replot(QCustomPlot::rpRefreshHint);
}

// Removes the curves, graphs and items (never the boundary lines) that match,
// logging every object it looks at.
void CentralWidget::removeMatching(const std::function<bool(const QString&)>& curveMatch,
                                   const std::function<bool(const QObject*)>& itemMatch)
{
    QSet<QObject*> matching;
    for (int i = _plot->plottableCount() - 1; i >= 0; --i) {
        auto* curve = qobject_cast<QCPCurve*>(_plot->plottable(i));
        if (!curve)
            continue;
        LOG(DEBUG) << "clear data,curve object Name:" << curve->objectName();
        if (curveMatch(curve->objectName()))
            matching.insert(curve);
    }
    for (int i = _plot->graphCount() - 1; i >= 0; --i) {
        QCPGraph* graph = _plot->graph(i);
        LOG(DEBUG) << "clear data,graph object Name:" << graph->objectName();
        if (itemMatch(graph))
            matching.insert(graph);
    }
    for (int i = _plot->itemCount() - 1; i >= 0; --i) {
        QCPAbstractItem* item = _plot->item(i);
        LOG(DEBUG) << "item data,graph object Name:" << item->objectName();
        if (item != _line1 && item != _line2 && itemMatch(item))
            matching.insert(item);
    }
    removeObjects(matching);
}

// Every curve, graph and item but the two boundary lines, fixed texts
// included; no result drawn in slices may come after them.
void CentralWidget::removeAllPlotObjects()
{
    _drawer->drop();
    QSet<QObject*> all;
    for (int i = 0; i < _plot->plottableCount(); ++i) {
        QCPAbstractPlottable* plottable = _plot->plottable(i);
        if (qobject_cast<QCPCurve*>(plottable) || qobject_cast<QCPGraph*>(plottable))
            all.insert(plottable);
    }
    for (int i = 0; i < _plot->itemCount(); ++i) {
        QCPAbstractItem* item = _plot->item(i);
        if (item != _line1 && item != _line2)
            all.insert(item);
    }
    removeObjects(all);
}

// Curves go at once; graphs and items, which the results of a workbook make
// by the ten thousand, are taken off the plot at once and destroyed by the
// plot in slices.
void CentralWidget::removeObjects(const QSet<QObject*>& objects)
{
    if (objects.isEmpty())
        return;
    QVector<QCPCurve*> curves;
    for (QObject* object : objects) {
        if (auto* curve = qobject_cast<QCPCurve*>(object))
            curves.append(curve);
    }
    for (QCPCurve* curve : qAsConst(curves))
        forgetCurve(curve);
    PlotItemRegistry::remove(objects);
    for (QCPCurve* curve : qAsConst(curves))
        _plot->removePlottable(curve);
    _plot->discard(objects);
}

void CentralWidget::removeCurve(QCPCurve* curve)
{
    forgetCurve(curve);
    PlotItemRegistry::remove(curve);
    _plot->removePlottable(curve);
}

void CentralWidget::removeGraph(QCPGraph* graph)
{
    PlotItemRegistry::remove(graph);
    _plot->removeGraph(graph);
}

void CentralWidget::removeItem(QCPAbstractItem* item)
{
    PlotItemRegistry::remove(item);
    _plot->removeItem(item);
}

// No pointer of the workspace or of the shared records may outlive the curve.
void CentralWidget::forgetCurve(QCPCurve* curve)
{
    if (_currentCurve == curve)
        _currentCurve = nullptr;
    if (_liveCurve == curve)
        _liveCurve = nullptr;
    for (Global::CurveExperimentData& record : Global::_experimentDataVtr) {
        if (record.curve == curve)
            record.curve = nullptr;
    }
    for (Global::CurveFileData& file : Global::_curveFileDataVtr) {
        for (Global::PhaseTotalInfo& phase : file.phases) {
            if (phase.curve == curve)
                phase.curve = nullptr;
        }
    }
}

void CentralWidget::hideBoundaryLines()
{
    _line1->setVisible(false);
    _line2->setVisible(false);
}

// Lines of an analysis in progress would stand at a temperature read as a
// time (or the reverse): they go to the new range as for a new analysis.
void CentralWidget::switchAxisQuantity()
{
    if (Global::_globalMode != Global::Analysis)
        return;
    Global::_timeAxisFlag = 1 - Global::_timeAxisFlag;
    forgetDeletedWorkbooks();
    clearData(ClearPlotObjects);
    drawCurveFileData();
    if (_line1->visible())
        setEventHandlerEnable(true);
}

void CentralWidget::slotSelectionChangedByUser()
{
    for (QCPAbstractPlottable* plottable : _plot->selectedPlottables()) {
        if (auto* curve = qobject_cast<QCPCurve*>(plottable)) {
            LOG(DEBUG) << "Selected Curve:" << curve->objectName();
            makeCurrent(curve);
        }
    }
}

// The last applied position belongs to the curve it was applied to: the same
// lines on another curve (selected, or drawn since) give that curve's result.
void CentralWidget::makeCurrent(QCPCurve* curve)
{
    if (curve != _currentCurve)
        forgetLastApply();
    _currentCurve = curve;
}

void CentralWidget::slotDelCurve(QCPCurve* curve)
{
    if (!curve) {
        LOG(DEBUG) << "current curve is nullptr.";
        return;
    }
    LOG(DEBUG) << "deltel curve object name:" << curve->objectName();
    if (curve->objectName().isEmpty()) {
        // An unnamed curve has no items, operations or paths of its own, and
        // its empty name must not match anything else.
        removeCurve(curve);
        _plot->replot(QCustomPlot::rpRefreshHint);
        return;
    }
    deleteCurve(curve->objectName());
}

void CentralWidget::deleteCurrentCurve()
{
    slotDelCurve(_currentCurve);
}

bool CentralWidget::isCurrentCurve(QCPCurve* curve) const
{
    return curve == _currentCurve;
}

// Curves go by their exact name, result items by the exact name of the curve
// they belong to, so deleting "a.xlsx" leaves "data.xlsx" and its results.
void CentralWidget::deleteCurve(QString name)
{
    if (name.isEmpty())
        return;
    removeOpenedPathsOf(name);
    removeAnalysisOperationsOf(name);
    _drawer->drop(name);
    removeMatching([&name](const QString& curveName) { return curveName == name; },
                   [&name](const QObject* item) { return PlotItemRegistry::belongsToCurve(item, name); });
    _plot->replot(QCustomPlot::rpRefreshHint);
}

// One curve leaves the plot with the results made on it. Those of a workbook
// stage go with their operations, stored or applied, so that no redraw brings
// them back; the workbook's other stages keep theirs, drawn again since result
// items carry only the workbook's name.
void CentralWidget::removeCurveWithResults(QCPCurve* curve)
{
    const QString name = curve->objectName();
    const Global::CurveFileData* found = nullptr;
    const Global::PhaseTotalInfo* stage = fileStageOf(curve, &found);
    const int fileIndex = found ? int(found - Global::_curveFileDataVtr.constData()) : -1;
    const int stageIndex = stage ? int(stage - found->phases.constData()) : -1;
    removeCurve(curve);
    if (!name.isEmpty()) {
        _drawer->drop(name);
        removeMatching([](const QString&) { return false; },
                       [&name](const QObject* item) { return PlotItemRegistry::belongsToCurve(item, name); });
        if (fileIndex < 0) {
            removeAnalysisOperationsOf(name);
        } else {
            Global::CurveFileData& file = Global::_curveFileDataVtr[fileIndex];
            removeStageOperations(file, stageIndex);
            drawResults(file);
        }
    }
    _plot->replot(QCustomPlot::rpRefreshHint);
}

// The paths are absolute and a curve carries its workbook's file name, so
// they are compared by file name; the workbook can then be loaded again.
void CentralWidget::removeOpenedPathsOf(const QString& fileName)
{
    for (int i = _openedFilePaths.size() - 1; i >= 0; --i) {
        if (QFileInfo(_openedFilePaths.at(i)).fileName() == fileName)
            _openedFilePaths.removeAt(i);
    }
}

void CentralWidget::slotGetAxisInfo()
{
    QVector<AxisInfo> info;
    for (QCPAxis* axis : {_plot->xAxis, _plot->yAxis, _plot->yAxis2})
        info.append(AxisInfo{axis->visible(), axis->range().lower, axis->range().upper});
    emit sigGetAxisInfoWithData(info);
}

void CentralWidget::slotSetAxisSettings(QVector<double> values)
{
    if (values.size() < 6)
        return;
    _followLiveSignal = false;
    _plot->xAxis->setRange(values.at(0), values.at(1));
    _plot->yAxis->setRange(values.at(2), values.at(3));
    if (_plot->yAxis2->visible())
        _plot->yAxis2->setRange(values.at(4), values.at(5));
    _plot->replot(QCustomPlot::rpRefreshHint);
}

// Whole inside the axis rectangle, in its first free place from the top left
// corner: over no earlier text, so no result is read with another's digits.
void CentralWidget::slotDrawCustomText(QString text)
{
    const QFont font(QStringLiteral("Arial"), 10);
    const QPointF centre = _plot->labelPlacer()->placeFixed(LabelPlacer::textSize(text, font));
    auto* label = new QCPItemText(_plot);
    label->position->setType(QCPItemPosition::ptAbsolute);
    label->position->setCoords(centre);
    label->setText(text);
    label->setFont(font);
    label->setPen(QPen(Qt::black));
    label->setBrush(QBrush(Qt::white, Qt::SolidPattern));
    label->setSelectable(false);
    label->setObjectName(LocalCustomPlot::FixedTextName);
    _plot->labelPlacer()->keep(label);
    _plot->replot(QCustomPlot::rpRefreshHint);
}

// The picture must show everything drawn so far, so the replot is done at
// once (rpImmediateRefresh paints synchronously) instead of spinning a nested
// event loop in the middle of the print preview.
QPixmap CentralWidget::grabPlotPixmap()
{
    _plot->replot(QCustomPlot::rpImmediateRefresh);
    return _plot->toPixmap(0, 0, 1.0);
}

// What a printed page of the plot describes: the workbook of the selected
// curve or, failing a selection, of the curve drawn last; for the run's curve
// the run's own information (it has no file name until it is saved). Nothing
// without a curve.
Global::CurveFileData CentralWidget::describedFile() const
{
    const QCPCurve* curve = describedCurve();
    const Global::CurveFileData* file = nullptr;
    if (curve && fileStageOf(curve, &file))
        return *file;
    Global::CurveFileData run;
    if (!curve || !isRunCurve(curve))
        return run;
    run.info = Global::_experimentInfo;
    for (int i = 0; i < run.info.phases.size(); ++i) {
        Global::PhaseTotalInfo stage;
        stage.phaseIndex = i + 1;
        stage.phase = run.info.phases.at(i);
        run.phases.append(stage);
    }
    return run;
}

const QCPCurve* CentralWidget::describedCurve() const
{
    for (const QCPAbstractPlottable* selected : _plot->selectedPlottables()) {
        if (const auto* curve = qobject_cast<const QCPCurve*>(selected))
            return curve;
    }
    for (int i = _plot->plottableCount() - 1; i >= 0; --i) {
        if (const auto* curve = qobject_cast<const QCPCurve*>(_plot->plottable(i)))
            return curve;
    }
    return nullptr;
}

bool CentralWidget::isRunCurve(const QCPCurve* curve) const
{
    const QVector<Global::CurveExperimentData>& records = Global::_experimentDataVtr;
    return curve == _liveCurve || std::any_of(records.cbegin(), records.cend(), [curve](const auto& record) {
               return record.curve == curve;
           });
}

void CentralWidget::timerEvent(QTimerEvent* event)
{
    Q_UNUSED(event)
    _plot->replot(QCustomPlot::rpRefreshHint);
}

void CentralWidget::slotModeModify(Global::Mode mode)
{
    if (mode == Global::Experiment) {
        _plot->xAxis->setLabel(QStringLiteral("Temp/℃"));
        _plot->yAxis->setLabel(_dscAxisLabel);
        _plot->xAxis->setRange(0.0, 400.0);
        _plot->yAxis->setRange(-20.0, 20.0);
    } else if (mode == Global::Analysis) {
        qDebug() << "file close...";
    }
}

void CentralWidget::slotAnalysisSettingLineXPoint(int which, double index)
{
    Q_UNUSED(which)
    Q_UNUSED(index)
}

// A new analysis starts afresh: lines that stand where the last one was
// applied give its own result.
void CentralWidget::setAnalysisMode(AnalysisMode mode)
{
    _analysisMode = mode;
    forgetLastApply();
    if (mode == NoAnalysis) {
        _plot->setInteractions(FreeInteractions);
    } else if (mode >= NumericalLabel && mode <= EndsetTemperaturePoint) {
        _plot->setInteractions(AnalysisInteractions);
        setEventHandlerEnable(true);
    }
}

// The lines go to one and two thirds of the visible x range; the numerical
// label uses the left line only. The analysis panel shows where they now
// stand, as it does while one is dragged.
void CentralWidget::setEventHandlerEnable(bool on)
{
    LOG(DEBUG) << "setEventHandlerEnable..." << on;
    const QCPRange range = _plot->xAxis->range();
    const double span = range.upper - range.lower;
    const double key1 = range.lower + span / 3.0;
    const double key2 = range.lower + 2.0 * span / 3.0;
    _line1->point1->setCoords(key1, _line1->point1->value());
    _line1->point2->setCoords(key1, _line1->point2->value());
    _line2->point1->setCoords(key2, _line2->point1->value());
    _line2->point2->setCoords(key2, _line2->point2->value());
    emit sigSendLineXCoord(1, key1);
    emit sigSendLineXCoord(2, key2);
    _line1->setSelected(on);
    _line1->setVisible(on);
    if (_analysisMode != NumericalLabel) {
        _line2->setSelected(on);
        _line2->setVisible(on);
    }
    _plot->replot(QCustomPlot::rpRefreshHint);
}

// A path is read once until the workspace is cleared, from the moment it is
// asked for; a failed one is not kept, so the file can be opened again once
// it is mended. Curves, result items and analyses go by the workbook's file
// name, so a second workbook of that name (from another folder) would share
// them with the first: it is refused.
void CentralWidget::slotRecvAnalysisFileName(QString path)
{
    if (_openedFilePaths.contains(path))
        return;
    const QString fileName = QFileInfo(path).fileName();
    for (const QString& opened : qAsConst(_openedFilePaths)) {
        if (QFileInfo(opened).fileName() == fileName) {
            LOG(DEBUG) << "a workbook of that name is open:" << opened;
            MessageBox::warning(parentWidget(), QStringLiteral("warnning"),
                                QStringLiteral("已打开同名文件 %1，请先删除它的曲线。").arg(fileName));
            return;
        }
    }
    _openedFilePaths.append(path);
    _loader->load(path);
}

// A refused or cancelled workbook leaves nothing behind: no record, no
// curve, and a later append still goes to the workbook read before it.
// Stored analyses that cannot be drawn are not on the plot, yet stay in the
// file: the user is told how many once the workbook is loaded, since a load
// cancelled while its results are drawn keeps none of it.
WorkbookLoader::Drawing CentralWidget::takeReadWorkbook(const WorkbookLoader::Result& read)
{
    if (read.cancelled || read.status != 0)
        _openedFilePaths.removeOne(read.path);
    if (read.cancelled)
        return {};
    if (read.status != 0) {
        MessageBox::warning(parentWidget(), QStringLiteral("warnning"), QStringLiteral("File parse error."),
                            read.reason);
        return {};
    }
    WorkbookLoader::Drawing drawing = addCurveFile(read.file, read.path);
    const int undrawn = read.file.unplacedOperationRows.size();
    if (undrawn == 0)
        return drawing;
    const QString message = QStringLiteral("%1 中有 %2 个已保存的分析无法在曲线上显示，保存时将原样保留。")
                                .arg(read.file.fileName)
                                .arg(undrawn);
    if (!drawing.step) {
        emit sigStatusMessage(message);
        return drawing;
    }
    drawing.step = [this, step = drawing.step, message]() {
        if (!step())
            return false;
        emit sigStatusMessage(message);
        return true;
    };
    return drawing;
}

// Only the new workbook is drawn: the others are on the plot already, with
// every result made on them since. Its curves show at once, its results as
// the slices draw them; the workbook counts as read once they all are.
WorkbookLoader::Drawing CentralWidget::addCurveFile(const Global::CurveFileData& file, const QString& path)
{
    const AxisView before = axisView();
    QCPCurve* const previousCurve = _currentCurve;
    forgetDeletedWorkbooks();
    Global::_curveFileDataVtr.append(file);
    setFileAxisCaptions();
    drawFileStages(Global::_curveFileDataVtr.last());
    const Global::CurveFileData& added = Global::_curveFileDataVtr.last();
    const std::shared_ptr<ResultDrawer::Drawing> results = _drawer->prepare(added, resultOperations(added));
    _plot->replot(QCustomPlot::rpRefreshHint);
    if (ResultDrawer::operationCount(*results) == 0) {
        XlsxHandler::rememberReadFile(path);
        return {};
    }
    WorkbookLoader::Drawing drawing;
    drawing.step = [this, results, path]() {
        if (!_drawer->step(*results))
            return false;
        XlsxHandler::rememberReadFile(path);
        return true;
    };
    drawing.undo = [this, results, name = file.fileName, before, previousCurve]() {
        ResultDrawer::close(*results);
        takeBackWorkbook(name, before, previousCurve);
    };
    return drawing;
}

// The curve that was current before the load is current again, if it is
// still there.
void CentralWidget::takeBackWorkbook(const QString& fileName, const AxisView& view, QCPCurve* previousCurve)
{
    deleteCurve(fileName);
    QVector<Global::CurveFileData>& files = Global::_curveFileDataVtr;
    for (int i = files.size() - 1; i >= 0; --i) {
        if (files.at(i).fileName == fileName) {
            files.removeAt(i);
            break;
        }
    }
    if (previousCurve && _plot->hasPlottable(previousCurve))
        _currentCurve = previousCurve;
    setAxisView(view);
    _plot->replot(QCustomPlot::rpRefreshHint);
}

CentralWidget::AxisView CentralWidget::axisView() const
{
    return AxisView{_plot->xAxis->label(),    _plot->yAxis->label(),    _plot->yAxis2->label(),
                    _plot->yAxis->visible(),  _plot->yAxis2->visible(), _plot->xAxis->range(),
                    _plot->yAxis->range()};
}

void CentralWidget::setAxisView(const AxisView& view)
{
    _plot->xAxis->setLabel(view.xLabel);
    _plot->yAxis->setLabel(view.yLabel);
    _plot->yAxis2->setLabel(view.y2Label);
    _plot->yAxis->setVisible(view.yVisible);
    _plot->yAxis2->setVisible(view.y2Visible);
    _plot->xAxis->setRange(view.x);
    _plot->yAxis->setRange(view.y);
}

// A workbook whose curves were all deleted from the plot is no longer among
// the loaded ones, so neither a redraw nor a second load of it brings back a
// copy.
void CentralWidget::forgetDeletedWorkbooks()
{
    QVector<Global::CurveFileData>& files = Global::_curveFileDataVtr;
    for (int i = files.size() - 1; i >= 0; --i) {
        const QVector<Global::PhaseTotalInfo>& stages = files.at(i).phases;
        const bool deleted = !stages.isEmpty() && std::all_of(stages.cbegin(), stages.cend(),
                                                              [](const Global::PhaseTotalInfo& stage) {
                                                                  return stage.curve == nullptr;
                                                              });
        if (deleted)
            files.removeAt(i);
    }
}

// Draws every loaded workbook; the plot holds none of them (the abscissa
// has just changed). Each workbook's results are drawn on the ranges its
// curves set: at once after them when they are few, else in slices once all
// curves are drawn.
void CentralWidget::drawCurveFileData()
{
    setFileAxisCaptions();
    int count = 0;
    for (const Global::CurveFileData& file : qAsConst(Global::_curveFileDataVtr))
        count += resultOperations(file).size();
    const bool atOnce = ResultDrawer::drawsAtOnce(count);
    ResultDrawer::Drawings results;
    for (Global::CurveFileData& file : Global::_curveFileDataVtr) {
        drawFileStages(file);
        results.append(_drawer->prepare(file, resultOperations(file)));
        if (atOnce)
            _drawer->drawAtOnce(*results.last());
    }
    if (atOnce) {
        _plot->replot(QCustomPlot::rpRefreshHint);
        return;
    }
    // The curves show from the next turn of the event loop on: the removal
    // of many results and the drawing of the curves fill this one.
    _drawer->redraw(results);
    _plot->replot(QCustomPlot::rpQueuedReplot);
}

// The analyses stored in the workbook, confirmed, and those applied to it
// since, confirmed unless "撤销" may still take them back.
void CentralWidget::drawResults(const Global::CurveFileData& file)
{
    const std::shared_ptr<ResultDrawer::Drawing> results = _drawer->prepare(file, resultOperations(file));
    if (ResultDrawer::drawsAtOnce(ResultDrawer::operationCount(*results)))
        _drawer->drawAtOnce(*results);
    else
        _drawer->redraw({results});
}

ResultDrawer::Operations CentralWidget::resultOperations(const Global::CurveFileData& file) const
{
    ResultDrawer::Operations operations;
    for (const AnalysisOperation& operation : file.analysisOperations)
        operations.append(qMakePair(operation, true));
    const QVector<AnalysisOperation>& applied = Global::_analysisOperationVtr;
    const int firstOpen = applied.size() - qMin(_unconfirmedOperationCount, applied.size());
    for (int i = 0; i < applied.size(); ++i) {
        if (applied.at(i).name == file.fileName)
            operations.append(qMakePair(applied.at(i), i < firstOpen));
    }
    return operations;
}

void CentralWidget::setFileAxisCaptions()
{
    _plot->yAxis->setVisible(true);
    _plot->yAxis->setLabel(_dscAxisLabel);
    if (Global::_timeAxisFlag == 1) {
        _plot->xAxis->setLabel(_timeAxisLabel);
        _plot->yAxis2->setVisible(true);
        _plot->yAxis2->setLabel(_temperatureAxisLabel);
    } else {
        _plot->xAxis->setLabel(_temperatureAxisLabel);
        _plot->yAxis2->setVisible(false);
    }
}

// The ranges cover every stage, so a stage measured before the last one is
// not left off the screen.
void CentralWidget::drawFileStages(Global::CurveFileData& file)
{
    DataExtent all{NoRange, NoRange};
    for (Global::PhaseTotalInfo& stage : file.phases) {
        PointCalculate::setExperimentData(stage.data);
        stage.curve = addDataCurve(stage.data, file.fileName);
        all = all.united(heldExtent());
    }
    if (!file.phases.isEmpty())
        setDataRanges(all);
}

void CentralWidget::drawCurveData(QVector<Global::ExperimentData> data, QString name)
{
    PointCalculate::setExperimentData(data);
    addDataCurve(data, name);
    setDataRanges();
    _plot->replot(QCustomPlot::rpRefreshHint);
}

// The curve's sort key is the point's index, so a stage that runs back and
// forth in temperature is drawn in the order it was measured.
QCPCurve* CentralWidget::addDataCurve(const QVector<Global::ExperimentData>& data, const QString& name)
{
    QVector<double> t, x, y;
    t.reserve(data.size());
    x.reserve(data.size());
    y.reserve(data.size());
    for (int i = 0; i < data.size(); ++i) {
        const Global::ExperimentData& point = data.at(i);
        t.append(i);
        x.append(abscissaOf(point));
        y.append(point.dsc);
    }
    auto* curve = new QCPCurve(_plot->xAxis, _plot->yAxis);
    curve->setData(t, x, y, false);
    curve->setLineStyle(QCPCurve::lsLine);
    curve->setSelectable(QCP::stWhole);
    curve->setObjectName(name);
    makeCurrent(curve);
    return curve;
}

// Ranges of the data PointCalculate holds.
void CentralWidget::setDataRanges()
{
    setDataRanges(heldExtent());
}

// As PointCalculate's min/max routines give them.
CentralWidget::DataExtent CentralWidget::heldExtent()
{
    return DataExtent{Global::_timeAxisFlag == 1 ? PointCalculate::getMinAndMaxOfTime()
                                                 : PointCalculate::getMinAndMaxOfTemperature(),
                      PointCalculate::getMinAndMaxOfDSC()};
}

CentralWidget::DataExtent CentralWidget::DataExtent::united(const DataExtent& other) const
{
    return DataExtent{{std::min(x.first, other.x.first), std::max(x.second, other.x.second)},
                      {std::min(dsc.first, other.dsc.first), std::max(dsc.second, other.dsc.second)}};
}

// Each range widened by a fifth of its span on either side.
void CentralWidget::setDataRanges(const DataExtent& extent)
{
    const QPair<float, float> xRange = PointCalculate::getRangeWithMargin(extent.x.first, extent.x.second);
    const QPair<float, float> yRange = PointCalculate::getRangeWithMargin(extent.dsc.first, extent.dsc.second);
    _plot->xAxis->setRange(xRange.first, xRange.second);
    _plot->yAxis->setRange(yRange.first, yRange.second);
}

void CentralWidget::slotAnalysisSettingApply()
{
    if (!_currentCurve) {
        LOG(DEBUG) << "failed. current curve is nullptr.";
        return;
    }
    const double x1 = _line1->point1->key();
    const double x2 = _line2->point1->key();
    // The region is taken on the abscissa the curve is drawn against, and the
    // operation records its bounds with that abscissa.
    const bool onTime = curveOnTime(_currentCurve);
    const QString name = _currentCurve->objectName();
    AnalysisOperation operation{name, static_cast<int>(_analysisMode), x1, x2, onTime,
                                fileStageIndexOf(_currentCurve)};
    QVector<Global::ExperimentData> data;
    if (!curveData(_currentCurve, operation, data))
        return;
    if (x1 == _lastApplyX1 && x2 == _lastApplyX2)
        return;
    _runner->setCurve(data, onTime);
    _runner->setSampleMass(sampleMassOf(_currentCurve));
    const AnalysisRunner::Outcome outcome = _runner->run(_analysisMode, x1, x2, name);
    _plot->replot(QCustomPlot::rpRefreshHint);
    // A region that drew nothing may be applied again, once another curve is
    // selected or the lines moved.
    if (outcome == AnalysisRunner::Outcome::Refused) {
        const QString why = regionSpansRunStages(_currentCurve, operation)
                                ? QStringLiteral("所选区域跨越了本次实验的多个阶段，请将两条线放在同一阶段的曲线范围内。")
                                : QString();
        MessageBox::warning(parentWidget(), QStringLiteral("warnning"), QStringLiteral("曲线选择错误."), why);
        return;
    }
    if (outcome == AnalysisRunner::Outcome::NotFound) {
        MessageBox::warning(parentWidget(), QStringLiteral("warnning"), QStringLiteral("所选区域内未找到玻璃化转变。"));
        return;
    }
    _lastApplyX1 = x1;
    _lastApplyX2 = x2;
    if (outcome == AnalysisRunner::Outcome::Drawn && Global::_globalMode == Global::Analysis)
        recordAnalysisOperation(operation);
}

// The live curve is drawn against temperature whatever the abscissa.
bool CentralWidget::curveOnTime(const QCPCurve* curve) const
{
    return Global::_timeAxisFlag == 1 && curve != _liveCurve;
}

void CentralWidget::recordAnalysisOperation(const AnalysisOperation& operation)
{
    Global::_analysisOperationVtr.append(operation);
    ++_unconfirmedOperationCount;
}

// Every operation applied since the last "确定" goes, as their items leave
// the plot. The count is held to the list's size in case the list was emptied
// by someone else meanwhile.
void CentralWidget::dropUnconfirmedOperations()
{
    QVector<AnalysisOperation>& operations = Global::_analysisOperationVtr;
    operations.resize(operations.size() - qMin(_unconfirmedOperationCount, operations.size()));
    _unconfirmedOperationCount = 0;
}

void CentralWidget::removeAnalysisOperationsOf(const QString& name)
{
    removeAnalysisOperationsIf([&name](const AnalysisOperation& operation) { return operation.name == name; });
}

// The operations made on one stage of a workbook: those stored in it and
// those applied to it since.
void CentralWidget::removeStageOperations(Global::CurveFileData& file, int stage)
{
    const StoredOperations::StageIndex stages(file.phases);
    const auto onStage = [&stages, stage](const AnalysisOperation& operation) {
        return stages.stageOf(operation) == stage;
    };
    QVector<AnalysisOperation>& stored = file.analysisOperations;
    stored.erase(std::remove_if(stored.begin(), stored.end(), onStage), stored.end());
    removeAnalysisOperationsIf([&file, &onStage](const AnalysisOperation& operation) {
        return operation.name == file.fileName && onStage(operation);
    });
}

// Applied operations go whether confirmed or not; those among the unconfirmed
// tail leave the tail too.
void CentralWidget::removeAnalysisOperationsIf(const std::function<bool(const AnalysisOperation&)>& match)
{
    QVector<AnalysisOperation>& operations = Global::_analysisOperationVtr;
    const int tailStart = operations.size() - qMin(_unconfirmedOperationCount, operations.size());
    int kept = 0;
    int keptInTail = 0;
    for (int i = 0; i < operations.size(); ++i) {
        if (match(operations.at(i)))
            continue;
        keptInTail += i >= tailStart ? 1 : 0;
        operations[kept++] = operations.at(i);
    }
    operations.resize(kept);
    _unconfirmedOperationCount = keptInTail;
}

// The points of the curve's stage the operation is made on: a loaded
// workbook's stage, or the stage of the run whose samples hold the region. A
// curve that no record holds is not analysed at all: the data of another
// curve would give its label wrong figures.
bool CentralWidget::curveData(const QCPCurve* curve, AnalysisOperation& operation,
                              QVector<Global::ExperimentData>& data) const
{
    if (const Global::PhaseTotalInfo* stage = fileStageOf(curve)) {
        data = stage->data;
        return true;
    }
    LOG(DEBUG) << "experiment vtr size:" << Global::_experimentDataVtr.size();
    QVector<int> records;
    const QVector<Global::PhaseTotalInfo> stages = runStages(curve, &records);
    if (stages.isEmpty()) {
        LOG(DEBUG) << "failed. no data for curve:" << curve->objectName();
        return false;
    }
    const int stage = runStageHolding(stages, operation);
    operation.stage = stage < 0 ? -1 : records.at(stage);
    data = stage < 0 ? QVector<Global::ExperimentData>() : stages.at(stage).data;
    return true;
}

// The run's stage records drawn as the curve; records, when given, receives
// their indices among the run's records.
QVector<Global::PhaseTotalInfo> CentralWidget::runStages(const QCPCurve* curve, QVector<int>* records)
{
    QVector<Global::PhaseTotalInfo> stages;
    for (int i = 0; i < Global::_experimentDataVtr.size(); ++i) {
        const Global::CurveExperimentData& record = Global::_experimentDataVtr.at(i);
        if (record.curve != curve)
            continue;
        stages.append(Global::PhaseTotalInfo{i + 1, PhaseInfoData(), record.data, nullptr});
        if (records)
            records->append(i);
    }
    return stages;
}

// Whether the region takes samples of more than one stage of the run drawn as
// the curve: no stage alone then gives its result.
bool CentralWidget::regionSpansRunStages(const QCPCurve* curve, const AnalysisOperation& operation)
{
    if (operation.mode == NumericalLabel)
        return false;
    const auto field = operation.timeAxis ? &Global::ExperimentData::runTime : &Global::ExperimentData::temperature;
    const double lo = std::min(operation.x1, operation.x2);
    const double hi = std::max(operation.x1, operation.x2);
    int holding = 0;
    for (const Global::PhaseTotalInfo& stage : runStages(curve)) {
        holding += std::any_of(stage.data.cbegin(), stage.data.cend(), [&](const Global::ExperimentData& d) {
            return lo <= d.*field && d.*field <= hi;
        }) ? 1 : 0;
    }
    return holding > 1;
}

// The run's stages are drawn as one curve, and a stage that cools passes the
// temperatures one that heats went through: the region is analysed on the
// stage that holds it, by the rule that places a workbook's stored analyses
// (the operation keeps the stage, so the same one comes back when the saved
// run is opened). On the temperature abscissa the stages that heat are asked
// first: the region analyses look samples up in rising temperature, and a
// stage that cools more slowly than the run heated holds more samples of any
// region. No stage holding it gives -1, and an empty curve, which every
// analysis refuses.
int CentralWidget::runStageHolding(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation)
{
    if (!operation.timeAxis) {
        QVector<Global::PhaseTotalInfo> heating;
        QVector<int> indices;
        for (int i = 0; i < stages.size(); ++i) {
            const QVector<Global::ExperimentData>& data = stages.at(i).data;
            if (!data.isEmpty() && data.first().temperature <= data.last().temperature) {
                heating.append(stages.at(i));
                indices.append(i);
            }
        }
        const int found = stageWithin(heating, operation);
        if (found >= 0)
            return indices.at(found);
    }
    return stageWithin(stages, operation);
}

// A region is first taken to the span the stages cover, so that a line beyond
// the run's first or last temperature still finds the stage that reaches
// there.
int CentralWidget::stageWithin(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation)
{
    AnalysisOperation placed = operation;
    placed.stage = -1;
    if (placed.mode != NumericalLabel) {
        const auto field = placed.timeAxis ? &Global::ExperimentData::runTime : &Global::ExperimentData::temperature;
        float lo = std::numeric_limits<float>::infinity();
        float hi = -std::numeric_limits<float>::infinity();
        for (const Global::PhaseTotalInfo& stage : stages) {
            for (const Global::ExperimentData& d : stage.data) {
                lo = std::min(lo, d.*field);
                hi = std::max(hi, d.*field);
            }
        }
        if (lo <= hi) {
            placed.x1 = qBound<double>(lo, placed.x1, hi);
            placed.x2 = qBound<double>(lo, placed.x2, hi);
        }
    }
    return StoredOperations::stageOf(stages, placed);
}

// The mass typed for the analysed curve: its workbook's, or for a curve of
// the run the one entered in the experiment settings; 1.0 for any other.
double CentralWidget::sampleMassOf(const QCPCurve* curve) const
{
    const Global::CurveFileData* file = nullptr;
    if (fileStageOf(curve, &file))
        return file->info.sampleWeight.toDouble();
    for (const Global::CurveExperimentData& record : qAsConst(Global::_experimentDataVtr)) {
        if (record.curve == curve)
            return Global::_experimentInfo.sampleWeight.toDouble();
    }
    return 1.0;
}

// A result applied after the lines moved stays temporary, so a later undo or
// cancel still takes it back, and its operation with it.
void CentralWidget::slotAnalysisSettingConfirm()
{
    PlotItemRegistry::confirmAll();
    _unconfirmedOperationCount = 0;
    slotAnalysisSettingApply();
    endAnalysis();
}

void CentralWidget::slotAnalysisSettingUndo()
{
    clearData(ClearTemporaryItems);
    forgetLastApply();
}

void CentralWidget::forgetLastApply()
{
    _lastApplyX1 = 0.0;
    _lastApplyX2 = 0.0;
}

void CentralWidget::slotAnalysisSettingCancel()
{
    clearData(ClearTemporaryItems);
    endAnalysis();
}

void CentralWidget::endAnalysis()
{
    _analysisMode = NoAnalysis;
    _plot->setInteractions(FreeInteractions);
    hideBoundaryLines();
    _plot->replot(QCustomPlot::rpRefreshHint);
    emit sigRightDockWidgetHide();
}

// On the curve the apply cycle or the redraw last gave the runner, with x1
// and x2 on that curve's abscissa.
void CentralWidget::loadAnalysisData(AnalysisMode mode, double x1, double x2, QString name)
{
    _runner->run(mode, x1, x2, name);
    _plot->replot(QCustomPlot::rpRefreshHint);
}

QPointF CentralWidget::getTheCoordinatesOfTheTextBox(QPointF point)
{
    return _runner->textBoxPlace(point);
}

void CentralWidget::drawResultLabel(QPointF point, QString text, QString name)
{
    _runner->drawResultLabel(point, text, name);
    _plot->replot(QCustomPlot::rpRefreshHint);
}

void CentralWidget::drawPeakRegion(double x1, double x2, QString name)
{
    _runner->drawPeakRegion(x1, x2, name);
    _plot->replot(QCustomPlot::rpRefreshHint);
}

void CentralWidget::glassTransitionHandle(double x1, double x2, QString name)
{
    _runner->glassTransition(x1, x2, name);
    _plot->replot(QCustomPlot::rpRefreshHint);
}

QPair<double, double> CentralWidget::linearFit(QVector<double> xs, QVector<double> ys)
{
    return AnalysisRunner::linearFit(xs, ys);
}
