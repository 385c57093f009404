#include "centralwidget.h"

#include "eventhandler.h"
#include "localcustomplot.h"
#include "messagebox.h"
#include "plotitemregistry.h"
#include "pointcalculate.h"
#include "xlsxhandler.h"

#include <easylogging++.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QTimer>

#include <cmath>

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

} // namespace

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
    , _line1(nullptr)
    , _line2(nullptr)
    , _lastApplyX1(0.0)
    , _lastApplyX2(0.0)
    , _unconfirmedOperationCount(0)
    , _liveReplotTimer(new QTimer(this))
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
// must not keep pointing at them.
CentralWidget::~CentralWidget()
{
    _plot->removeEventFilter(_eventHandler);
    delete _eventHandler;
    for (int i = 0; i < _plot->plottableCount(); ++i) {
        QCPAbstractPlottable* plottable = _plot->plottable(i);
        PlotItemRegistry::remove(plottable);
        if (auto* curve = qobject_cast<QCPCurve*>(plottable))
            forgetCurve(curve);
    }
    for (int i = 0; i < _plot->itemCount(); ++i)
        PlotItemRegistry::remove(_plot->item(i));
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
}

LocalCustomPlot* CentralWidget::plot() const
{
    return _plot;
}

EventHandler* CentralWidget::eventHandler() const
{
    return _eventHandler;
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
    point.temperature = static_cast<float>(data.sampleTemp);
    point.dsc = static_cast<float>(data.dsc);
    appendLivePoint(point, data.sampleTemp, data.dsc, data.stage);
}

// The curve draws the full-precision record; the stage record keeps floats,
// as the workbook does.
void CentralWidget::appendLivePoint(const Global::ExperimentData& point, double key, double value, int stage)
{
    QCPCurve* curve = ensureLiveCurve();
    curve->addData(liveKeyCounter, key, value);
    liveKeyCounter += 1.0;
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
    _currentCurve = _liveCurve;
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

void CentralWidget::slotAxisModify(float temp)
{
    _plot->setInteractions(FreeInteractions);
    const float upper = temp + 20.0f;
    _plot->xAxis->setRange(10.0, upper);
    _plot->yAxis->setRange(-5.0, 5.0);
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
        dropLastUnconfirmedOperation();
        break;
    case ClearExperimentData:
        _openedFilePaths.clear();
        LOG(DEBUG) << "clearExperimentData...";
        Global::clearCurveExperimentData();
        Global::_curveFileDataVtr.clear();
        Global::_analysisOperationVtr.clear();
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
    for (int i = _plot->plottableCount() - 1; i >= 0; --i) {
        auto* curve = qobject_cast<QCPCurve*>(_plot->plottable(i));
        if (!curve)
            continue;
        LOG(DEBUG) << "clear data,curve object Name:" << curve->objectName();
        if (curveMatch(curve->objectName()))
            removeCurve(curve);
    }
    for (int i = _plot->graphCount() - 1; i >= 0; --i) {
        QCPGraph* graph = _plot->graph(i);
        LOG(DEBUG) << "clear data,graph object Name:" << graph->objectName();
        if (itemMatch(graph))
            removeGraph(graph);
    }
    for (int i = _plot->itemCount() - 1; i >= 0; --i) {
        QCPAbstractItem* item = _plot->item(i);
        LOG(DEBUG) << "item data,graph object Name:" << item->objectName();
        if (item != _line1 && item != _line2 && itemMatch(item))
            removeItem(item);
    }
}

// Every curve, graph and item but the two boundary lines, fixed texts included.
void CentralWidget::removeAllPlotObjects()
{
    for (int i = _plot->plottableCount() - 1; i >= 0; --i) {
        if (auto* curve = qobject_cast<QCPCurve*>(_plot->plottable(i)))
            removeCurve(curve);
    }
    for (int i = _plot->graphCount() - 1; i >= 0; --i)
        removeGraph(_plot->graph(i));
    for (int i = _plot->itemCount() - 1; i >= 0; --i) {
        QCPAbstractItem* item = _plot->item(i);
        if (item != _line1 && item != _line2)
            removeItem(item);
    }
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

void CentralWidget::switchAxisQuantity()
{
    if (Global::_globalMode != Global::Analysis)
        return;
    Global::_timeAxisFlag = 1 - Global::_timeAxisFlag;
    clearData(ClearPlotObjects);
    drawCurveFileData();
}

void CentralWidget::slotSelectionChangedByUser()
{
    for (QCPAbstractPlottable* plottable : _plot->selectedPlottables()) {
        if (auto* curve = qobject_cast<QCPCurve*>(plottable)) {
            LOG(DEBUG) << "Selected Curve:" << curve->objectName();
            _currentCurve = curve;
        }
    }
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
    removeMatching([&name](const QString& curveName) { return curveName == name; },
                   [&name](const QObject* item) { return PlotItemRegistry::belongsToCurve(item, name); });
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
    _plot->xAxis->setRange(values.at(0), values.at(1));
    _plot->yAxis->setRange(values.at(2), values.at(3));
    if (_plot->yAxis2->visible())
        _plot->yAxis2->setRange(values.at(4), values.at(5));
    _plot->replot(QCustomPlot::rpRefreshHint);
}

void CentralWidget::slotDrawCustomText(QString text)
{
    auto* label = new QCPItemText(_plot);
    label->position->setType(QCPItemPosition::ptAbsolute);
    label->position->setCoords(150.0, 50.0);
    label->setText(text);
    label->setFont(QFont(QStringLiteral("Arial"), 10));
    label->setPen(QPen(Qt::black));
    label->setBrush(QBrush(Qt::white, Qt::SolidPattern));
    label->setSelectable(false);
    label->setObjectName(LocalCustomPlot::FixedTextName);
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

void CentralWidget::setAnalysisMode(AnalysisMode mode)
{
    _analysisMode = mode;
    if (mode == NoAnalysis) {
        _plot->setInteractions(FreeInteractions);
    } else if (mode >= NumericalLabel && mode <= EndsetTemperaturePoint) {
        _plot->setInteractions(AnalysisInteractions);
        setEventHandlerEnable(true);
    }
}

// The lines go to one and two thirds of the visible x range; the numerical
// label uses the left line only.
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
    _line1->setSelected(on);
    _line1->setVisible(on);
    if (_analysisMode != NumericalLabel) {
        _line2->setSelected(on);
        _line2->setVisible(on);
    }
    _plot->replot(QCustomPlot::rpRefreshHint);
}

// A path is read once until the workspace is cleared; a failed one is not
// kept, so the file can be opened again once it is mended.
void CentralWidget::slotRecvAnalysisFileName(QString path)
{
    if (_openedFilePaths.contains(path))
        return;
    _openedFilePaths.append(path);
    Global::CurveFileData file;
    if (XlsxHandler::readFile(path, file) != 0) {
        _openedFilePaths.removeOne(path);
        MessageBox::warning(parentWidget(), QStringLiteral("warnning"), QStringLiteral("File parse error."));
        return;
    }
    Global::_curveFileDataVtr.append(file);
    drawCurveFileData();
}

// Draws every loaded workbook again over what the plot holds, then re-runs
// the analyses stored in each workbook on its last stage.
void CentralWidget::drawCurveFileData()
{
    setFileAxisCaptions();
    for (Global::CurveFileData& file : Global::_curveFileDataVtr) {
        drawFileStages(file);
        // Without a stage PointCalculate still holds another workbook's curve.
        if (file.phases.isEmpty())
            continue;
        const QVector<AnalysisOperation> operations = file.analysisOperations;
        for (const AnalysisOperation& operation : operations)
            loadAnalysisData(static_cast<AnalysisMode>(operation.mode), operation.x1, operation.x2, file.fileName);
    }
    _plot->replot(QCustomPlot::rpRefreshHint);
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

void CentralWidget::drawFileStages(Global::CurveFileData& file)
{
    for (Global::PhaseTotalInfo& stage : file.phases) {
        PointCalculate::setExperimentData(stage.data);
        stage.curve = addDataCurve(stage.data, file.fileName);
        setDataRanges();
    }
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
    _currentCurve = curve;
    return curve;
}

// Ranges of the data PointCalculate holds, widened by a fifth of their span.
void CentralWidget::setDataRanges()
{
    const QPair<float, float> x = Global::_timeAxisFlag == 1 ? PointCalculate::getMinAndMaxOfTime()
                                                             : PointCalculate::getMinAndMaxOfTemperature();
    const QPair<float, float> xRange = PointCalculate::getRangeWithMargin(x.first, x.second);
    const QPair<float, float> dsc = PointCalculate::getMinAndMaxOfDSC();
    const QPair<float, float> yRange = PointCalculate::getRangeWithMargin(dsc.first, dsc.second);
    _plot->xAxis->setRange(xRange.first, xRange.second);
    _plot->yAxis->setRange(yRange.first, yRange.second);
}

void CentralWidget::slotAnalysisSettingApply()
{
    if (!_currentCurve) {
        LOG(DEBUG) << "failed. current curve is nullptr.";
        return;
    }
    if (!loadCurrentCurveData())
        return;
    const double x1 = _line1->point1->key();
    const double x2 = _line2->point1->key();
    if (x1 == _lastApplyX1 && x2 == _lastApplyX2)
        return;
    _lastApplyX1 = x1;
    _lastApplyX2 = x2;
    // The analysis and its recorded operation take the region in sample
    // temperatures whatever the abscissa, so a stored operation marks the same
    // samples when it is re-run on either abscissa.
    const double left = toRegionX(x1);
    const double right = toRegionX(x2);
    const QString name = _currentCurve->objectName();
    loadAnalysisData(_analysisMode, left, right, name);
    if (Global::_globalMode == Global::Analysis)
        recordAnalysisOperation(AnalysisOperation{name, static_cast<int>(_analysisMode), left, right});
}

void CentralWidget::recordAnalysisOperation(const AnalysisOperation& operation)
{
    Global::_analysisOperationVtr.append(operation);
    ++_unconfirmedOperationCount;
}

// The count is held to the list's size in case the list was emptied by
// someone else meanwhile.
void CentralWidget::dropLastUnconfirmedOperation()
{
    _unconfirmedOperationCount = qMin(_unconfirmedOperationCount, Global::_analysisOperationVtr.size());
    if (_unconfirmedOperationCount == 0)
        return;
    Global::_analysisOperationVtr.removeLast();
    --_unconfirmedOperationCount;
}

// Operations of a deleted curve go whether confirmed or not; those among the
// unconfirmed tail leave the tail too.
void CentralWidget::removeAnalysisOperationsOf(const QString& name)
{
    QVector<AnalysisOperation>& operations = Global::_analysisOperationVtr;
    const int tailStart = operations.size() - qMin(_unconfirmedOperationCount, operations.size());
    for (int i = operations.size() - 1; i >= tailStart; --i) {
        if (operations.at(i).name == name)
            --_unconfirmedOperationCount;
    }
    _unconfirmedOperationCount = qMax(0, _unconfirmedOperationCount);
    PlotItemRegistry::removeAnalysisOperationsByName(name);
}

// The points of the selected curve: a loaded workbook's stage or, failing
// that, a stage of the run. A curve that no record holds (an older copy of a
// redrawn workbook) is not analysed at all: the data of another curve would
// give its label wrong figures.
bool CentralWidget::loadCurrentCurveData()
{
    const QVector<Global::ExperimentData>* found = nullptr;
    if (const Global::PhaseTotalInfo* stage = fileStageOf(_currentCurve))
        found = &stage->data;
    if (!found) {
        LOG(DEBUG) << "experiment vtr size:" << Global::_experimentDataVtr.size();
        for (const Global::CurveExperimentData& record : qAsConst(Global::_experimentDataVtr)) {
            if (record.curve == _currentCurve) {
                LOG(DEBUG) << "load experiment data.";
                found = &record.data;
                break;
            }
        }
    }
    if (!found) {
        LOG(DEBUG) << "failed. no data for curve:" << _currentCurve->objectName();
        return false;
    }
    PointCalculate::setExperimentData(*found);
    return true;
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

namespace {

QPointF resultPointOf(const Global::ExperimentData& d)
{
    return QPointF(abscissaOf(d), d.dsc);
}

} // namespace

// x1 and x2 are sample temperatures, as PointCalculate compares them.
void CentralWidget::loadAnalysisData(AnalysisMode mode, double x1, double x2, QString name)
{
    switch (mode) {
    case NumericalLabel:
        numericalLabelHandle(x1, name);
        break;
    case StartPoint:
    case StopPoint:
        startStopPointHandle(mode, x1, x2, name);
        break;
    case PeakSynthesisAnalysis:
        peakSynthesisHandle(x1, x2, name);
        break;
    case GlassTransition:
        glassTransitionHandle(x1, x2, name);
        break;
    case OnsetTemperaturePoint:
    case EndsetTemperaturePoint:
        meltingPointHandle(mode, x1, x2, name);
        break;
    default:
        break;
    }
}

// The region routines compare sample temperatures. With the run time as
// abscissa the boundary lines stand at run times, so each is taken to the
// temperature of the sample measured nearest that time. The live curve is
// drawn against temperature whatever the abscissa, so its keys stay.
double CentralWidget::toRegionX(double key) const
{
    const QVector<Global::ExperimentData>& data = PointCalculate::dataVtr;
    if (Global::_timeAxisFlag != 1 || data.isEmpty() || _currentCurve == _liveCurve)
        return key;
    int nearest = 0;
    for (int i = 1; i < data.size(); ++i) {
        if (std::fabs(data.at(i).runTime - key) < std::fabs(data.at(nearest).runTime - key))
            nearest = i;
    }
    return data.at(nearest).temperature;
}

void CentralWidget::numericalLabelHandle(double x1, const QString& name)
{
    const Global::ExperimentData d = PointCalculate::getClosestDataByX(static_cast<float>(x1));
    if (Global::isZero(d.dsc, 1e-9)) {
        MessageBox::warning(parentWidget(), QStringLiteral("warnning"), QStringLiteral("曲线选择错误."));
        return;
    }
    const QPointF point = resultPointOf(d);
    const QString text = Global::_timeAxisFlag == 1 ? PointCalculate::formatNumericalLabelTextOfTime(point)
                                                    : PointCalculate::formatNumericalLabelText(point);
    drawResultLabel(point, text, name);
}

void CentralWidget::startStopPointHandle(AnalysisMode mode, double x1, double x2, const QString& name)
{
    PointCalculate::setRegionPointX(static_cast<float>(x1), static_cast<float>(x2));
    const QPair<Global::ExperimentData, Global::ExperimentData> ends = PointCalculate::getStartAndEndData();
    const bool onTime = Global::_timeAxisFlag == 1;
    if (mode == StartPoint) {
        const QPointF point = resultPointOf(ends.first);
        drawResultLabel(point,
                        onTime ? PointCalculate::formatStartPointTextOfTime(point)
                               : PointCalculate::formatStartPointText(point),
                        name);
    } else {
        const QPointF point = resultPointOf(ends.second);
        drawResultLabel(point,
                        onTime ? PointCalculate::formatStopPointTextOfTime(point)
                               : PointCalculate::formatStopPointText(point),
                        name);
    }
}

void CentralWidget::peakSynthesisHandle(double x1, double x2, const QString& name)
{
    drawPeakRegion(x1, x2, name);
    PointCalculate::setRegionPointX(static_cast<float>(x1), static_cast<float>(x2));
    double mass = currentSampleMass();
    // "nan" and "inf" convert too; they would print as an enthalpy of nan or 0.
    if (!(mass > 0.0) || !std::isfinite(mass)) {
        LOG(DEBUG) << "sample weight set value 1," << mass;
        mass = 1.0;
    }
    const double enthalpy = PointCalculate::calculateArea() / mass;
    LOG(DEBUG) << "enthalpyValue:" << enthalpy;
    const QPointF peak = PointCalculate::getPeakPoint();
    const PointCalculate::Segment ends = PointCalculate::calculateStartAndEndPoint();
    const double startX = std::get<0>(ends);
    const double endX = std::get<2>(ends);
    LOG(DEBUG) << "start,end:" << startX << "," << endX;

    const bool onTime = Global::_timeAxisFlag == 1;
    if (!onTime && !Global::_timeAxisAnalysisPCTModeFlag) {
        drawResultLabel(peak, PointCalculate::formatPeakSynthesisAnalysisText(enthalpy, peak.x(), startX, endX), name);
        return;
    }
    const QString text = PointCalculate::formatPeakSynthesisAnalysisTextOfTime(
        enthalpy, PointCalculate::getTimeByTemperature(peak.x()), PointCalculate::getTimeByTemperature(startX),
        PointCalculate::getTimeByTemperature(endX));
    if (!onTime) {
        drawResultLabel(peak, text, name);
        return;
    }
    const Global::ExperimentData d = PointCalculate::getClosestDataByX(static_cast<float>(peak.x()));
    drawResultLabel(QPointF(d.runTime, d.dsc), text, name);
}

// The mass typed into the workbook of the analysed curve; 1.0 when the curve
// belongs to no workbook.
double CentralWidget::currentSampleMass() const
{
    const Global::CurveFileData* file = nullptr;
    return fileStageOf(_currentCurve, &file) ? file->info.sampleWeight.toDouble() : 1.0;
}

void CentralWidget::meltingPointHandle(AnalysisMode mode, double x1, double x2, const QString& name)
{
    const bool onset = mode == OnsetTemperaturePoint;
    const Global::ExperimentData d = onset ? PointCalculate::getLastDataNearMaxValue(x1, x2)
                                           : PointCalculate::getFirstDataNearMaxValue(x1, x2);
    const double a = abscissaOf(d);
    if (onset)
        LOG(DEBUG) << "onset point:" << a << "," << d.dsc;
    else
        LOG(DEBUG) << "object name:" << name;
    drawResultLabel(QPointF(a, d.dsc), QString::number(a, 'f', 3), name);
}

// About one tick step to the right of the point; on the point itself while
// the axis holds no tick yet.
QPointF CentralWidget::getTheCoordinatesOfTheTextBox(QPointF point)
{
    const QCPRange range = _plot->xAxis->range();
    LOG(DEBUG) << "xMax:" << range.upper;
    const int ticks = _plot->xAxis->tickVector().size();
    if (ticks == 0)
        return point;
    return QPointF(point.x() + (range.upper - range.lower) / ticks, point.y());
}

// The label keeps its place in the axis rectangle when the axes move; its
// arrow's head stays on the analysed point.
void CentralWidget::drawResultLabel(QPointF point, QString text, QString name)
{
    const QPointF place = getTheCoordinatesOfTheTextBox(point);
    auto* label = new QCPItemText(_plot);
    label->setPositionAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->position->setType(QCPItemPosition::ptPlotCoords);
    label->position->setCoords(place);
    label->setText(text);
    label->setFont(QFont(QStringLiteral("Arial"), 10));
    label->setSelectedFont(QFont(QStringLiteral("Arial"), 10));
    label->setSelectable(true);
    label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
    label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    PlotItemRegistry::addText(label, name);

    auto* arrow = new QCPItemLine(_plot);
    arrow->start->setParentAnchor(label->left);
    arrow->end->setCoords(point);
    arrow->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10));
    arrow->setPen(QPen(QBrush(Qt::red, Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    PlotItemRegistry::addArrow(arrow, name);
    _plot->replot(QCustomPlot::rpRefreshHint);
}

QCPGraph* CentralWidget::addResultGraph(const QVector<double>& keys, const QVector<double>& values,
                                        const QString& name)
{
    QCPGraph* graph = _plot->addGraph();
    graph->setData(keys, values);
    PlotItemRegistry::addGraph(graph, name);
    return graph;
}

// The area between the curve and the chord of the region's end samples.
void CentralWidget::drawPeakRegion(double x1, double x2, QString name)
{
    const Global::ExperimentData d1 = PointCalculate::getClosestDataByX(static_cast<float>(x1));
    const Global::ExperimentData d2 = PointCalculate::getClosestDataByX(static_cast<float>(x2));
    const QPen redPen(QBrush(Qt::red, Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    QCPGraph* chord = addResultGraph({abscissaOf(d1), abscissaOf(d2)}, {d1.dsc, d2.dsc}, name);
    chord->setPen(redPen);

    QVector<double> keys, values;
    for (const Global::ExperimentData& d :
         PointCalculate::getDataInRange(static_cast<float>(x1), static_cast<float>(x2))) {
        keys.append(abscissaOf(d));
        values.append(d.dsc);
    }
    QCPGraph* region = addResultGraph(keys, values, name);
    region->setBrush(QBrush(Qt::green, Qt::SolidPattern));
    region->setChannelFillGraph(chord);
    _plot->replot(QCustomPlot::rpRefreshHint);
}

// Ordinary least squares; fewer than two distinct x give a non-finite line.
QPair<double, double> CentralWidget::linearFit(QVector<double> xs, QVector<double> ys)
{
    const double n = xs.size();
    double sx = 0.0, sy = 0.0, sxy = 0.0, sxx = 0.0;
    for (int i = 0; i < xs.size(); ++i) {
        sx += xs.at(i);
        sy += ys.at(i);
        sxy += xs.at(i) * ys.at(i);
        sxx += xs.at(i) * xs.at(i);
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return qMakePair(slope, sy / n - slope * sx / n);
}

namespace {

QPair<QVector<double>, QVector<double>> splitPoints(const QVector<QPointF>& points)
{
    QVector<double> xs, ys;
    for (const QPointF& p : points) {
        xs.append(p.x());
        ys.append(p.y());
    }
    return qMakePair(xs, ys);
}

QPen baselinePen()
{
    QPen pen;
    pen.setColor(Qt::darkGreen);
    return pen;
}

} // namespace

// T1 and T2 are where the tangent at the step's steepest inflection meets the
// baselines fitted before and after the step; Tg is the sample whose signal
// lies halfway between the two boundary samples.
void CentralWidget::glassTransitionHandle(double x1, double x2, QString name)
{
    const QPointF p1 = PointCalculate::getClosestPointByX(static_cast<float>(x1));
    const QPointF p2 = PointCalculate::getClosestPointByX(static_cast<float>(x2));
    LOG(DEBUG) << "point1:" << p1.x() << "," << p1.y();
    LOG(DEBUG) << "point2:" << p2.x() << "," << p2.y();

    const auto near1 = splitPoints(PointCalculate::getNearbyPoints(static_cast<float>(p1.x())));
    const QPair<double, double> line1 = linearFit(near1.first, near1.second);
    drawBaselineStub(p1, 10.0, line1, name);
    const auto near2 = splitPoints(PointCalculate::getNearbyPoints(static_cast<float>(p2.x())));
    const QPair<double, double> line2 = linearFit(near2.first, near2.second);
    drawBaselineStub(p2, -10.0, line2, name);
    _plot->replot(QCustomPlot::rpRefreshHint);

    QPair<double, double> tangent;
    if (!steepestTangent(PointCalculate::getPointsInRange(static_cast<float>(p1.x()), static_cast<float>(p2.x())),
                         tangent)) {
        LOG(DEBUG) << "glass transition: no inflection point with a tangent between" << p1.x() << "and" << p2.x();
        return;
    }
    const QPointF lineOfTangent(tangent.first, tangent.second);
    const QPair<double, double> t1 =
        PointCalculate::getLineCoefficients(lineOfTangent, QPointF(line1.first, line1.second));
    const QPair<double, double> t2 =
        PointCalculate::getLineCoefficients(lineOfTangent, QPointF(line2.first, line2.second));
    addResultGraph({t1.first, t2.first}, {t1.second, t2.second}, name)->setPen(baselinePen());
    _plot->replot(QCustomPlot::rpRefreshHint);

    const QPointF q = PointCalculate::getClosestPointByY(p1.x(), p2.x(), (p1.y() + p2.y()) * 0.5);
    if (Global::_timeAxisFlag != 1) {
        drawResultLabel(q, PointCalculate::formatGlassTransitionText(t1.first, q.x(), t2.first), name);
        return;
    }
    const Global::ExperimentData d1 = PointCalculate::getClosestDataByX(static_cast<float>(t1.first));
    const Global::ExperimentData dq = PointCalculate::getClosestDataByX(static_cast<float>(q.x()));
    const Global::ExperimentData d2 = PointCalculate::getClosestDataByX(static_cast<float>(t2.first));
    drawResultLabel(QPointF(dq.runTime, dq.dsc),
                    PointCalculate::formatGlassTransitionTextOfTime(d1.runTime, dq.runTime, d2.runTime), name);
}

// A stub of the given length in x from the picked sample along the fitted
// baseline's direction.
void CentralWidget::drawBaselineStub(const QPointF& from, double length, const QPair<double, double>& line,
                                     const QString& name)
{
    const double x = from.x() + length;
    addResultGraph({from.x(), x}, {from.y(), line.first * x + line.second}, name)->setPen(baselinePen());
}

// The tangent by central difference at the inflection point of steepest
// slope (the first of equal maxima); false when that point has no neighbour
// on either side.
bool CentralWidget::steepestTangent(const QVector<QPointF>& region, QPair<double, double>& tangent) const
{
    const auto xy = splitPoints(region);
    const QMap<double, QPair<double, double>> tangents = PointCalculate::getInflectionPointTangents(xy.first, xy.second);
    double steepest = 0.0;
    bool found = false;
    double xi = 0.0;
    for (auto it = tangents.constBegin(); it != tangents.constEnd(); ++it) {
        if (std::fabs(it.value().first) > steepest) {
            steepest = std::fabs(it.value().first);
            xi = it.key();
            found = true;
        }
    }
    if (!found)
        return false;
    int i = 0;
    while (i < region.size() && region.at(i).x() != xi)
        ++i;
    if (i < 1 || i > region.size() - 2)
        return false;
    const double m = PointCalculate::calculateSlope(region.at(i + 1).x(), region.at(i + 1).y(), region.at(i - 1).x(),
                                                    region.at(i - 1).y());
    tangent = qMakePair(m, region.at(i).y() - m * region.at(i).x());
    return true;
}
