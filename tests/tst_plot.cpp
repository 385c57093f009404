#include "centralwidget.h"
#include "localcustomplot.h"
#include "plotitemregistry.h"
#include "serialport.h"

#include <easylogging++.h>
#include <qcustomplot.h>

#include <QtTest>

namespace {

// Keeps the lines the code under test writes, level by level.
class LogCapture : public el::LogDispatchCallback
{
public:
    static QStringList& lines(el::Level level)
    {
        static QMap<el::Level, QStringList> byLevel;
        return byLevel[level];
    }

protected:
    void handle(const el::LogDispatchData* data) override
    {
        lines(data->logMessage()->level()) << QString::fromStdString(data->logMessage()->message());
    }
};

// The per-object lines of the clears and the deletion.
QStringList objectLines()
{
    QStringList kept;
    for (const QString& line : LogCapture::lines(el::Level::Debug)) {
        if (line.startsWith("clear data,") || line.startsWith("item data,"))
            kept << line;
    }
    return kept;
}

QStringList curveNames(QCustomPlot* plot)
{
    QStringList names;
    for (int i = 0; i < plot->plottableCount(); ++i) {
        if (auto* curve = qobject_cast<QCPCurve*>(plot->plottable(i)))
            names << curve->objectName();
    }
    return names;
}

// Items and graphs, boundary lines left out (they carry no name).
QStringList resultNames(QCustomPlot* plot)
{
    QStringList names;
    for (int i = 0; i < plot->graphCount(); ++i)
        names << plot->graph(i)->objectName();
    for (int i = 0; i < plot->itemCount(); ++i) {
        if (!qobject_cast<QCPItemStraightLine*>(plot->item(i)))
            names << plot->item(i)->objectName();
    }
    names.sort();
    return names;
}

QStringList operationNames()
{
    QStringList names;
    for (const AnalysisOperation& operation : Global::_analysisOperationVtr)
        names << operation.name;
    return names;
}

CommonData statusRecord(int stage, double temperature, double dsc, float runTime)
{
    CommonData data;
    data.runStatus = RunStatusHeating;
    data.stage = static_cast<quint8>(stage);
    data.runTime = runTime;
    data.constantTempTime = 0.5f;
    data.sampleTemp = temperature;
    data.dsc = dsc;
    return data;
}

// A read reply at address 0 carrying the first 45 bytes of the record, as
// the instrument sends it: header, length, command, address, data, CRC.
QByteArray statusFrame(const CommonData& data)
{
    const int count = 45;
    QByteArray body;
    body.append(char(SerialPort::ReadCommand));
    body.append(char(0)).append(char(0));
    body.append(reinterpret_cast<const char*>(data.bytes()), count);
    const quint16 crc = SerialPort::crc16(reinterpret_cast<const quint8*>(body.constData()),
                                          static_cast<quint16>(body.size()));
    QByteArray frame;
    frame.append(char(SerialPort::HeaderByte1)).append(char(SerialPort::HeaderByte2));
    frame.append(char(body.size() + 2));
    frame.append(body);
    frame.append(char(crc & 0xFF)).append(char(crc >> 8));
    return frame;
}

} // namespace

class TestPlot : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void constructionSettings();
    void clearModes_data();
    void clearModes();
    void deleteCurveByExactName_data();
    void deleteCurveByExactName();
    void noRecordKeepsARemovedCurve_data();
    void noRecordKeepsARemovedCurve();
    void livePointsFillStageRecords();
    void liveRunFollowsStageChanges();
    void livePointWithoutStageRecordKeepsRunning();
    void liveCurveNeverFeedsASelectedWorkbook();
    void livePointsAreDrawnTogether();
    void axisSettingsRespectRightAxis_data();
    void axisSettingsRespectRightAxis();
    void axisInfoAndRunRange();
    void switchAxisOnlyInAnalysisMode_data();
    void switchAxisOnlyInAnalysisMode();
    void selectionKeepsCurveForNonCurves();
    void clearLogLines_data();
    void clearLogLines();
    void finalStateIsReplotted_data();
    void finalStateIsReplotted();
    void confirmKeepsSecondPiece_data();
    void confirmKeepsSecondPiece();
    void deleteFindsItemsOfSeparatorNames_data();
    void deleteFindsItemsOfSeparatorNames();
    void removeByNameLeavesObjects_data();
    void removeByNameLeavesObjects();
    void plotPixmapHasWidgetSize();

private:
    QCPCurve* addWorkbookCurve(const QString& fileName, const QString& folder);
    void addResult(const QString& curveName, bool confirmed);
    void buildScene();

    CentralWidget* _widget = nullptr;
    LocalCustomPlot* _plot = nullptr;
};

void TestPlot::init()
{
    Global::_globalMode = Global::Analysis;
    Global::_timeAxisFlag = 0;
    Global::_experimentInfo = Global::ExperimentInfo();
    Global::_experimentInfo.sampleName = QStringLiteral("indium");
    Global::clearCurveExperimentData();
    Global::_curveFileDataVtr.clear();
    Global::_analysisOperationVtr.clear();
    _widget = new CentralWidget;
    _widget->resize(800, 600);
    _plot = _widget->plot();
}

void TestPlot::cleanup()
{
    delete _widget;
    _widget = nullptr;
    QCOMPARE(PlotItemRegistry::texts().size() + PlotItemRegistry::arrows().size()
                 + PlotItemRegistry::graphs().size(),
             0);
}

// A loaded workbook of one stage drawn as its curve, with its path remembered.
QCPCurve* TestPlot::addWorkbookCurve(const QString& fileName, const QString& folder)
{
    auto* curve = new QCPCurve(_plot->xAxis, _plot->yAxis);
    curve->setObjectName(fileName);
    curve->addData(0.0, 10.0, 1.0);
    Global::CurveFileData file;
    file.fileName = fileName;
    Global::PhaseTotalInfo phase;
    phase.phaseIndex = 1;
    phase.curve = curve;
    file.phases.append(phase);
    Global::_curveFileDataVtr.append(file);
    _widget->_openedFilePaths.append(folder + "/" + fileName);
    Global::_analysisOperationVtr.append(AnalysisOperation{fileName, CentralWidget::NumericalLabel, 1.0, 2.0});
    return curve;
}

// A result of the curve as the apply cycle draws it: label, arrow, graph.
void TestPlot::addResult(const QString& curveName, bool confirmed)
{
    auto* label = new QCPItemText(_plot);
    auto* arrow = new QCPItemLine(_plot);
    QCPGraph* graph = _plot->addGraph();
    PlotItemRegistry::addText(label, curveName);
    PlotItemRegistry::addArrow(arrow, curveName);
    PlotItemRegistry::addGraph(graph, curveName);
    if (confirmed) {
        PlotItemRegistry::confirm(label);
        PlotItemRegistry::confirm(arrow);
        PlotItemRegistry::confirm(graph);
    }
}

// Two workbooks whose names contain one another, one whose name holds the
// word "temporary", a live run, results of each kind and a fixed text.
void TestPlot::buildScene()
{
    addWorkbookCurve(QStringLiteral("a.xlsx"), QStringLiteral("/data/sample_data"));
    addWorkbookCurve(QStringLiteral("data.xlsx"), QStringLiteral("/data/base_line"));
    addWorkbookCurve(QStringLiteral("my temporary run.xlsx"), QStringLiteral("/data/sample_data"));
    Global::_globalMode = Global::Experiment;
    _widget->slotRecvCommonData(statusRecord(1, 30.0, 0.2, 0.1f));
    addResult(QStringLiteral("a.xlsx"), true);
    addResult(QStringLiteral("data.xlsx"), false);
    addResult(QStringLiteral("my temporary run.xlsx"), true);
    _widget->slotDrawCustomText(QStringLiteral("Xc = 12.000%"));
    _widget->setAnalysisMode(CentralWidget::PeakSynthesisAnalysis);
}

// The lines are placed while the axis still has QCustomPlot's default range
// 0 to 5, so they sit at 5/3 and 10/3 with values 0 and 5; the plot's own
// ranges come after.
void TestPlot::constructionSettings()
{
    QCOMPARE(_plot->xAxis->label(), QStringLiteral("Temperature/℃"));
    QCOMPARE(_plot->yAxis->label(), QStringLiteral("DSC/mW"));
    QCOMPARE(_plot->xAxis->range(), QCPRange(0.0, 100.0));
    QCOMPARE(_plot->yAxis->range(), QCPRange(0.0, 20.0));
    QCOMPARE(_plot->interactions(), QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
    QCOMPARE(_widget->styleSheet(), QStringLiteral("background-color: lightgray;"));
    QVERIFY(_widget->testAttribute(Qt::WA_MouseTracking));
    const QList<QPair<QCPItemStraightLine*, double>> lines{{_widget->line1(), 5.0 / 3.0},
                                                           {_widget->line2(), 10.0 / 3.0}};
    for (const auto& line : lines) {
        QCOMPARE(line.first->pen().color(), QColor(Qt::red));
        QVERIFY(line.first->selectable());
        QVERIFY(!line.first->visible());
        QVERIFY(!line.first->selected());
        QCOMPARE(line.first->point1->key(), line.second);
        QCOMPARE(line.first->point2->key(), line.second);
        QCOMPARE(line.first->point1->value(), 0.0);
        QCOMPARE(line.first->point2->value(), 5.0);
    }

    _widget->slotDrawCustomText(QStringLiteral("Cp = 0.836"));
    auto* text = qobject_cast<QCPItemText*>(_plot->item(_plot->itemCount() - 1));
    QVERIFY(text);
    QCOMPARE(text->objectName(), QStringLiteral("fixed"));
    QCOMPARE(text->text(), QStringLiteral("Cp = 0.836"));
    QCOMPARE(text->position->type(), QCPItemPosition::ptAbsolute);
    QCOMPARE(text->position->coords(), QPointF(150.0, 50.0));
    QCOMPARE(text->font(), QFont(QStringLiteral("Arial"), 10));
    QCOMPARE(text->pen().color(), QColor(Qt::black));
    QCOMPARE(text->brush(), QBrush(Qt::white, Qt::SolidPattern));
    QVERIFY(!text->selectable());
    QVERIFY(PlotItemRegistry::texts().isEmpty());
}

void TestPlot::clearModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("curves");
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<bool>("linesVisible");
    QTest::addColumn<int>("openedPaths");
    QTest::addColumn<int>("stageRecords");

    const QStringList allCurves{"a.xlsx", "data.xlsx", "my temporary run.xlsx", "experiment"};
    const QStringList allOperations{"a.xlsx", "data.xlsx", "my temporary run.xlsx"};
    QTest::newRow("experiment data") << int(CentralWidget::ClearExperimentData) << QStringList() << QStringList()
                                     << QStringList() << false << 0 << 0;
    // The temporary results of data.xlsx go; the workbook named "...temporary..."
    // keeps its curve and its confirmed results; the last operation is dropped.
    QStringList kept{"confirm___a.xlsx", "confirm___a.xlsx", "confirm___a.xlsx", "confirm___my temporary run.xlsx",
                     "confirm___my temporary run.xlsx", "confirm___my temporary run.xlsx", "fixed"};
    QTest::newRow("temporary items") << int(CentralWidget::ClearTemporaryItems) << allCurves << kept
                                     << QStringList(allOperations.mid(0, 2)) << true << 3 << 1;
    QTest::newRow("plot objects") << int(CentralWidget::ClearPlotObjects) << QStringList() << QStringList()
                                  << allOperations << true << 3 << 1;
}

void TestPlot::clearModes()
{
    QFETCH(int, mode);
    QFETCH(QStringList, curves);
    QFETCH(QStringList, results);
    QFETCH(QStringList, operations);
    QFETCH(bool, linesVisible);
    QFETCH(int, openedPaths);
    QFETCH(int, stageRecords);

    buildScene();
    Global::_smoothnessFlag = true;
    _widget->clearData(static_cast<CentralWidget::ClearDataMode>(mode));

    QCOMPARE(curveNames(_plot), curves);
    QCOMPARE(resultNames(_plot), results);
    QCOMPARE(operationNames(), operations);
    QCOMPARE(_widget->line1()->visible(), linesVisible);
    QCOMPARE(_widget->line2()->visible(), linesVisible);
    QVERIFY(_plot->hasItem(_widget->line1()));
    QVERIFY(_plot->hasItem(_widget->line2()));
    QCOMPARE(_widget->openedFilePaths().size(), openedPaths);
    QCOMPARE(Global::_experimentDataVtr.size(), stageRecords);
    QCOMPARE(Global::_smoothnessFlag, mode != CentralWidget::ClearExperimentData);
    if (mode == CentralWidget::ClearExperimentData) {
        QVERIFY(!Global::_currentCurveExperimentDataPtr);
        QCOMPARE(Global::_currentPhaseIndex, -1);
        QVERIFY(Global::_curveFileDataVtr.isEmpty());
    }
}

void TestPlot::deleteCurveByExactName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("curves");
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<QStringList>("paths");

    QTest::newRow("a.xlsx leaves data.xlsx")
        << "a.xlsx" << QStringList{"data.xlsx", "my temporary run.xlsx", "experiment"}
        << QStringList{"confirm___my temporary run.xlsx", "confirm___my temporary run.xlsx",
                       "confirm___my temporary run.xlsx", "fixed", "temporary___data.xlsx", "temporary___data.xlsx",
                       "temporary___data.xlsx"}
        << QStringList{"data.xlsx", "my temporary run.xlsx"}
        << QStringList{"/data/base_line/data.xlsx", "/data/sample_data/my temporary run.xlsx"};
    QTest::newRow("data.xlsx leaves a.xlsx")
        << "data.xlsx" << QStringList{"a.xlsx", "my temporary run.xlsx", "experiment"}
        << QStringList{"confirm___a.xlsx", "confirm___a.xlsx", "confirm___a.xlsx", "confirm___my temporary run.xlsx",
                       "confirm___my temporary run.xlsx", "confirm___my temporary run.xlsx", "fixed"}
        << QStringList{"a.xlsx", "my temporary run.xlsx"}
        << QStringList{"/data/sample_data/a.xlsx", "/data/sample_data/my temporary run.xlsx"};
    QTest::newRow("empty name changes nothing")
        << "" << QStringList{"a.xlsx", "data.xlsx", "my temporary run.xlsx", "experiment"}
        << QStringList{"confirm___a.xlsx", "confirm___a.xlsx", "confirm___a.xlsx", "confirm___my temporary run.xlsx",
                       "confirm___my temporary run.xlsx", "confirm___my temporary run.xlsx", "fixed",
                       "temporary___data.xlsx", "temporary___data.xlsx", "temporary___data.xlsx"}
        << QStringList{"a.xlsx", "data.xlsx", "my temporary run.xlsx"}
        << QStringList{"/data/sample_data/a.xlsx", "/data/base_line/data.xlsx",
                       "/data/sample_data/my temporary run.xlsx"};
}

void TestPlot::deleteCurveByExactName()
{
    QFETCH(QString, name);
    QFETCH(QStringList, curves);
    QFETCH(QStringList, results);
    QFETCH(QStringList, operations);
    QFETCH(QStringList, paths);

    buildScene();
    _widget->deleteCurve(name);

    QCOMPARE(curveNames(_plot), curves);
    QCOMPARE(resultNames(_plot), results);
    QCOMPARE(operationNames(), operations);
    QCOMPARE(QStringList(_widget->openedFilePaths().toList()), paths);
}

void TestPlot::noRecordKeepsARemovedCurve_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("delete live curve") << "live";
    QTest::newRow("delete workbook curve") << "workbook";
    QTest::newRow("delete unnamed curve") << "unnamed";
    QTest::newRow("clear plot objects") << "clear";
}

void TestPlot::noRecordKeepsARemovedCurve()
{
    QFETCH(QString, how);

    QCPCurve* workbook = addWorkbookCurve(QStringLiteral("a.xlsx"), QStringLiteral("/data/sample_data"));
    auto* unnamed = new QCPCurve(_plot->xAxis, _plot->yAxis);
    Global::_curveFileDataVtr[0].phases[0].curve = unnamed;
    Global::_globalMode = Global::Experiment;
    _widget->slotRecvCommonData(statusRecord(1, 30.0, 0.2, 0.1f));
    QCPCurve* live = _widget->liveCurve();
    QVERIFY(live);
    Global::_curveFileDataVtr[0].phases.append(Global::_curveFileDataVtr[0].phases[0]);
    Global::_curveFileDataVtr[0].phases[1].curve = workbook;

    const QMap<QString, QCPCurve*> byHow{{"live", live}, {"workbook", workbook}, {"unnamed", unnamed}};
    QCPCurve* removed = byHow.value(how);
    if (removed)
        _widget->slotDelCurve(removed);
    else
        _widget->clearData(CentralWidget::ClearPlotObjects);

    QList<QCPCurve*> left;
    for (int i = 0; i < _plot->plottableCount(); ++i)
        left << qobject_cast<QCPCurve*>(_plot->plottable(i));
    QVERIFY(!removed || !left.contains(removed));
    auto stillOnPlot = [&left](QCPCurve* curve) { return curve == nullptr || left.contains(curve); };
    QVERIFY(stillOnPlot(_widget->currentCurve()));
    QVERIFY(stillOnPlot(_widget->liveCurve()));
    for (const Global::CurveExperimentData& record : Global::_experimentDataVtr)
        QVERIFY(stillOnPlot(record.curve));
    for (const Global::CurveFileData& file : Global::_curveFileDataVtr) {
        for (const Global::PhaseTotalInfo& phase : file.phases)
            QVERIFY(stillOnPlot(phase.curve));
    }

    // The run goes on: the next point lands on a curve that is on the plot.
    _widget->slotRecvCommonData(statusRecord(1, 31.0, 0.3, 0.2f));
    QVERIFY(_widget->liveCurve());
    QCOMPARE(Global::_experimentDataVtr.last().curve, _widget->liveCurve());
    QCOMPARE(Global::_experimentDataVtr.last().data.size(), 2);
}

void TestPlot::livePointsFillStageRecords()
{
    Global::_globalMode = Global::Experiment;
    Global::CurveExperimentData record;
    record.name = Global::_experimentInfo.sampleName;
    Global::_experimentDataVtr.append(record);
    Global::_currentCurveExperimentDataPtr = &Global::_experimentDataVtr.last();

    // 0.1 has no exact float; the record keeps the float, the curve the double.
    _widget->slotRecvCommonData(statusRecord(1, 156.1, -0.25, 2.5f));
    _widget->slotRecvCommonData(statusRecord(1, 156.6, -0.5, 2.6f));

    QCPCurve* live = _widget->liveCurve();
    QVERIFY(live);
    QCOMPARE(live->objectName(), QStringLiteral("experiment"));
    QCOMPARE(_widget->currentCurve(), live);
    QCOMPARE(live->dataCount(), 2);
    QCOMPARE(live->data()->at(1)->key, 156.6);
    QCOMPARE(live->data()->at(1)->value, -0.5);
    QCOMPARE(live->data()->at(1)->t - live->data()->at(0)->t, 1.0);
    const Global::CurveExperimentData& stage = Global::_experimentDataVtr.first();
    QCOMPARE(stage.curve, live);
    QCOMPARE(stage.data.size(), 2);
    QCOMPARE(stage.data.at(0).runTime, 2.5f);
    QCOMPARE(stage.data.at(0).constantTempTime, 0.5f);
    QCOMPARE(stage.data.at(0).temperature, 156.1f);
    QCOMPARE(stage.data.at(0).dsc, -0.25f);

    // After "清除数据" the next point starts a new curve whose keys go on.
    const double lastT = live->data()->at(1)->t;
    _widget->clearAllData();
    QCOMPARE(Global::_globalMode, Global::Analysis);
    _widget->slotRecvCommonData(statusRecord(1, 20.0, 0.0, 0.0f));
    QVERIFY(_widget->liveCurve());
    QCOMPARE(_widget->liveCurve()->dataCount(), 1);
    QCOMPARE(_widget->liveCurve()->data()->at(0)->t, lastT + 1.0);
}

// The real receive path: status frames through SerialPort into the slot.
void TestPlot::liveRunFollowsStageChanges()
{
    SerialPort* port = SerialPort::instance();
    connect(port, &SerialPort::sigSendCommonData, _widget, &CentralWidget::slotRecvCommonData);
    Global::_globalMode = Global::Experiment;

    const QVector<int> stages{1, 1, 2, 2, 2, 3};
    QByteArray stream;
    for (int i = 0; i < stages.size(); ++i)
        stream += statusFrame(statusRecord(stages.at(i), 40.0 + i, 0.1 * i, 0.1f * i));
    port->receiveBytes(stream);
    disconnect(port, nullptr, _widget, nullptr);

    QCOMPARE(Global::_experimentDataVtr.size(), 3);
    QCOMPARE(Global::_experimentDataVtr.at(0).data.size(), 2);
    QCOMPARE(Global::_experimentDataVtr.at(1).data.size(), 3);
    QCOMPARE(Global::_experimentDataVtr.at(2).data.size(), 1);
    QCOMPARE(Global::_experimentDataVtr.at(1).name, QStringLiteral("indium"));
    QCOMPARE(Global::_experimentDataVtr.at(2).data.at(0).temperature, 45.0f);
    for (const Global::CurveExperimentData& record : Global::_experimentDataVtr)
        QCOMPARE(record.curve, _widget->liveCurve());
    QCOMPARE(_widget->liveCurve()->dataCount(), 6);
}

void TestPlot::livePointWithoutStageRecordKeepsRunning()
{
    Global::_globalMode = Global::Experiment;
    QVERIFY(!Global::_currentCurveExperimentDataPtr);
    el::Helpers::installLogDispatchCallback<LogCapture>("LogCapture");
    LogCapture::lines(el::Level::Error).clear();

    _widget->slotRecvCommonData(statusRecord(3, 100.0, 1.0, 5.0f));
    el::Helpers::uninstallLogDispatchCallback<LogCapture>("LogCapture");
    QCOMPARE(LogCapture::lines(el::Level::Error), QStringList{"_currentCurveExperimentDataPtr is nullptr."});
    _widget->slotRecvCommonData(statusRecord(3, 101.0, 1.5, 5.1f));

    QCOMPARE(Global::_experimentDataVtr.size(), 1);
    QCOMPARE(Global::_currentCurveExperimentDataPtr, &Global::_experimentDataVtr[0]);
    QCOMPARE(Global::_currentPhaseIndex, 3);
    const Global::CurveExperimentData& record = Global::_experimentDataVtr.first();
    QCOMPARE(record.name, QStringLiteral("indium"));
    QCOMPARE(record.data.size(), 2);
    QCOMPARE(record.data.at(1).dsc, 1.5f);
    QCOMPARE(record.curve, _widget->liveCurve());
    QCOMPARE(_widget->liveCurve()->dataCount(), 2);
}

void TestPlot::liveCurveNeverFeedsASelectedWorkbook()
{
    QCPCurve* workbook = addWorkbookCurve(QStringLiteral("a.xlsx"), QStringLiteral("/data/sample_data"));
    workbook->setSelection(QCPDataSelection(workbook->data()->dataRange()));
    _widget->slotSelectionChangedByUser();
    QCOMPARE(_widget->currentCurve(), workbook);

    Global::_globalMode = Global::Experiment;
    _widget->slotRecvCommonData(statusRecord(1, 30.0, 0.2, 0.1f));

    QCOMPARE(workbook->dataCount(), 1);
    QVERIFY(_widget->liveCurve() != workbook);
    QCOMPARE(_widget->liveCurve()->dataCount(), 1);
    QCOMPARE(Global::_curveFileDataVtr.first().phases.first().curve, workbook);
}

// Replots are coalesced, never points: a burst of points is drawn once, soon.
void TestPlot::livePointsAreDrawnTogether()
{
    Global::_globalMode = Global::Experiment;
    QTest::qWait(100);
    QSignalSpy replots(_plot, &QCustomPlot::afterReplot);
    for (int i = 0; i < 50; ++i)
        _widget->slotRecvCommonData(statusRecord(1, 30.0 + i, 0.1, 0.1f * i));
    QCOMPARE(replots.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(replots.count(), 1, 2000);
    QTest::qWait(100);
    QCOMPARE(replots.count(), 1);
    QCOMPARE(_widget->liveCurve()->dataCount(), 50);
    QCOMPARE(Global::_experimentDataVtr.first().data.size(), 50);
}

// The undo of an analysis names every object it looks at; the full clears
// remove everything without a line per object.
void TestPlot::clearLogLines_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("temporary items")
        << int(CentralWidget::ClearTemporaryItems)
        << QStringList{"clear data,curve object Name:a.xlsx", "clear data,graph object Name:temporary___a.xlsx",
                       "item data,graph object Name:temporary___a.xlsx",
                       "item data,graph object Name:temporary___a.xlsx", "item data,graph object Name:",
                       "item data,graph object Name:"};
    QTest::newRow("plot objects") << int(CentralWidget::ClearPlotObjects) << QStringList();
    QTest::newRow("experiment data") << int(CentralWidget::ClearExperimentData) << QStringList();
}

void TestPlot::clearLogLines()
{
    QFETCH(int, mode);
    QFETCH(QStringList, lines);

    addWorkbookCurve(QStringLiteral("a.xlsx"), QStringLiteral("/data"));
    addResult(QStringLiteral("a.xlsx"), false);
    el::Helpers::installLogDispatchCallback<LogCapture>("LogCapture");
    LogCapture::lines(el::Level::Debug).clear();
    _widget->clearData(static_cast<CentralWidget::ClearDataMode>(mode));
    el::Helpers::uninstallLogDispatchCallback<LogCapture>("LogCapture");

    QCOMPARE(objectLines(), lines);
    QCOMPARE(LogCapture::lines(el::Level::Debug).contains("clearExperimentData..."),
             mode == CentralWidget::ClearExperimentData);
}

// Replots are capped, points are not: whatever happens last, the last picture
// drawn shows the plot as it finally is.
void TestPlot::finalStateIsReplotted_data()
{
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("curves");
    QTest::addColumn<int>("points");
    QTest::newRow("a burst") << "" << 1 << 30;
    QTest::newRow("a burst, a pause, a burst") << "burst" << 1 << 60;
    QTest::newRow("a burst, then 清除数据") << "clear" << 0 << 0;
    QTest::newRow("a burst, then deleting the live curve") << "delete" << 0 << 0;
    QTest::newRow("a burst, 清除数据, a new run") << "clear+burst" << 1 << 30;
}

void TestPlot::finalStateIsReplotted()
{
    QFETCH(QString, after);
    QFETCH(int, curves);
    QFETCH(int, points);

    Global::_globalMode = Global::Experiment;
    int drawnCurves = -1;
    int drawnPoints = -1;
    connect(_plot, &QCustomPlot::afterReplot, this, [&]() {
        drawnCurves = curveNames(_plot).size();
        drawnPoints = _widget->liveCurve() ? _widget->liveCurve()->dataCount() : 0;
    });
    auto burst = [this]() {
        for (int i = 0; i < 30; ++i)
            _widget->slotRecvCommonData(statusRecord(1, 30.0 + i, 0.1, 0.1f * i));
    };
    burst();
    if (after.startsWith("clear")) {
        _widget->clearAllData();
        Global::_globalMode = Global::Experiment;
    } else if (after == "delete") {
        _widget->slotDelCurve(_widget->liveCurve());
    } else if (after == "burst") {
        QTest::qWait(10);
    }
    if (after.endsWith("burst"))
        burst();

    QCOMPARE(curveNames(_plot).size(), curves);
    QTRY_COMPARE_WITH_TIMEOUT(drawnPoints, points, 2000);
    QCOMPARE(drawnCurves, curves);
}

void TestPlot::axisSettingsRespectRightAxis_data()
{
    QTest::addColumn<bool>("rightVisible");
    QTest::addColumn<double>("rightLower");
    QTest::addColumn<double>("rightUpper");
    QTest::newRow("right axis hidden") << false << 0.0 << 5.0;
    QTest::newRow("right axis visible") << true << -3.0 << 300.0;
}

void TestPlot::axisSettingsRespectRightAxis()
{
    QFETCH(bool, rightVisible);
    QFETCH(double, rightLower);
    QFETCH(double, rightUpper);

    _plot->yAxis2->setVisible(rightVisible);
    _widget->slotSetAxisSettings({-10.0, 250.0, -2.5, 7.5, -3.0, 300.0});

    QCOMPARE(_plot->xAxis->range(), QCPRange(-10.0, 250.0));
    QCOMPARE(_plot->yAxis->range(), QCPRange(-2.5, 7.5));
    QCOMPARE(_plot->yAxis2->range(), QCPRange(rightLower, rightUpper));
}

void TestPlot::axisInfoAndRunRange()
{
    QSignalSpy spy(_widget, &CentralWidget::sigGetAxisInfoWithData);
    _widget->slotAxisModify(150.0f);
    _widget->slotGetAxisInfo();

    QCOMPARE(spy.count(), 1);
    const auto info = spy.first().first().value<QVector<CentralWidget::AxisInfo>>();
    QCOMPARE(info.size(), 3);
    QCOMPARE(info.at(0).visible, true);
    QCOMPARE(info.at(0).lower, 10.0);
    QCOMPARE(info.at(0).upper, 170.0);
    QCOMPARE(info.at(1).lower, -5.0);
    QCOMPARE(info.at(1).upper, 5.0);
    QCOMPARE(info.at(2).visible, false);
    QCOMPARE(_plot->interactions(), QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
}

void TestPlot::switchAxisOnlyInAnalysisMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("timeAxisFlag");
    QTest::addColumn<int>("curves");
    // The loaded workbook is drawn again on the new abscissa.
    QTest::newRow("analysis") << int(Global::Analysis) << 1 << 1;
    QTest::newRow("connected") << int(Global::Connected) << 0 << 1;
    QTest::newRow("experiment") << int(Global::Experiment) << 0 << 1;
}

void TestPlot::switchAxisOnlyInAnalysisMode()
{
    QFETCH(int, mode);
    QFETCH(int, timeAxisFlag);
    QFETCH(int, curves);

    addWorkbookCurve(QStringLiteral("a.xlsx"), QStringLiteral("/data"));
    Global::_globalMode = static_cast<Global::Mode>(mode);
    _widget->switchAxisQuantity();

    QCOMPARE(Global::_timeAxisFlag, timeAxisFlag);
    QCOMPARE(curveNames(_plot).size(), curves);
}

void TestPlot::selectionKeepsCurveForNonCurves()
{
    QCPCurve* workbook = addWorkbookCurve(QStringLiteral("a.xlsx"), QStringLiteral("/data"));
    _widget->slotSelectionChangedByUser();
    QCOMPARE(_widget->currentCurve(), nullptr);

    workbook->setSelection(QCPDataSelection(workbook->data()->dataRange()));
    _widget->slotSelectionChangedByUser();
    QCOMPARE(_widget->currentCurve(), workbook);

    workbook->setSelection(QCPDataSelection());
    QCPGraph* graph = _plot->addGraph();
    graph->addData(1.0, 1.0);
    graph->setSelection(QCPDataSelection(graph->data()->dataRange()));
    _widget->slotSelectionChangedByUser();
    QCOMPARE(_widget->currentCurve(), workbook);
}

void TestPlot::confirmKeepsSecondPiece_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("confirmed");
    QTest::newRow("plain") << "temporary___a.xlsx" << "confirm___a.xlsx";
    QTest::newRow("separator in curve name") << "temporary___a___b" << "confirm___a";
    QTest::newRow("no separator") << "fixed" << "fixed";
}

void TestPlot::confirmKeepsSecondPiece()
{
    QFETCH(QString, name);
    QFETCH(QString, confirmed);
    QObject item;
    item.setObjectName(name);
    PlotItemRegistry::confirm(&item);
    QCOMPARE(item.objectName(), confirmed);
}

// "run___2.xlsx" holds the separator, so its confirmed results are named
// "confirm___run", like those of a workbook called "run": deletion must
// still tell them apart.
void TestPlot::deleteFindsItemsOfSeparatorNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("curves");
    QTest::addColumn<int>("resultsLeft");
    QTest::addColumn<int>("registeredLeft");
    QTest::newRow("delete run___2.xlsx") << "run___2.xlsx" << QStringList{"run"} << 3 << 3;
    QTest::newRow("delete run") << "run" << QStringList{"run___2.xlsx"} << 3 << 3;
    QTest::newRow("delete neither") << "run___2" << QStringList{"run", "run___2.xlsx"} << 6 << 6;
}

void TestPlot::deleteFindsItemsOfSeparatorNames()
{
    QFETCH(QString, name);
    QFETCH(QStringList, curves);
    QFETCH(int, resultsLeft);
    QFETCH(int, registeredLeft);

    addWorkbookCurve(QStringLiteral("run"), QStringLiteral("/data"));
    addWorkbookCurve(QStringLiteral("run___2.xlsx"), QStringLiteral("/data"));
    addResult(QStringLiteral("run"), true);
    addResult(QStringLiteral("run___2.xlsx"), true);
    QCOMPARE(resultNames(_plot), QStringList(QVector<QString>(6, QStringLiteral("confirm___run")).toList()));

    _widget->deleteCurve(name);

    QCOMPARE(curveNames(_plot), curves);
    QCOMPARE(resultNames(_plot).size(), resultsLeft);
    QCOMPARE(PlotItemRegistry::texts().size() + PlotItemRegistry::arrows().size()
                 + PlotItemRegistry::graphs().size(),
             registeredLeft);
    for (QObject* item : PlotItemRegistry::texts())
        QVERIFY(curves.contains(PlotItemRegistry::curveNameOf(item)));
}

void TestPlot::removeByNameLeavesObjects_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("empty text takes every entry") << "" << QStringList();
    // A part, not a whole name: "data.xlsx" contains "a.xlsx".
    QTest::newRow("part of a name") << "a.xlsx" << QStringList{"temporary___b.xlsx"};
    QTest::newRow("state word") << "confirm" << QStringList{"temporary___a.xlsx", "temporary___b.xlsx"};
}

void TestPlot::removeByNameLeavesObjects()
{
    QFETCH(QString, part);
    QFETCH(QStringList, left);

    QObject a, data, b;
    PlotItemRegistry::addText(&a, QStringLiteral("a.xlsx"));
    PlotItemRegistry::addArrow(&data, QStringLiteral("data.xlsx"));
    PlotItemRegistry::confirm(&data);
    PlotItemRegistry::addGraph(&b, QStringLiteral("b.xlsx"));

    PlotItemRegistry::removeByName(part);

    QStringList names;
    for (const QVector<QObject*>* list :
         {&PlotItemRegistry::texts(), &PlotItemRegistry::arrows(), &PlotItemRegistry::graphs()}) {
        for (QObject* item : *list)
            names << item->objectName();
    }
    QCOMPARE(names, left);
    QCOMPARE(b.objectName(), QStringLiteral("temporary___b.xlsx"));
    for (QObject* item : {&a, &data, &b})
        PlotItemRegistry::remove(item);
}

void TestPlot::plotPixmapHasWidgetSize()
{
    _widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(_widget));
    const QPixmap picture = _widget->grabPlotPixmap();
    QCOMPARE(picture.size(), _plot->size());
}

QTEST_MAIN(TestPlot)
#include "tst_plot.moc"
