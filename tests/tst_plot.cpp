#include "analysistesthelpers.h"
#include "centralwidget.h"
#include "link/logcapture.h"
#include "localcustomplot.h"
#include "plotitemregistry.h"

#include <qcustomplot.h>

#include <QtTest>

namespace {

QStringList curveNames(QCustomPlot* plot)
{
    QStringList names;
    for (int i = 0; i < plot->plottableCount(); ++i) {
        if (auto* curve = qobject_cast<QCPCurve*>(plot->plottable(i)))
            names << curve->objectName();
    }
    return names;
}

// The label, arrow and graph of one result, as named on the plot.
QStringList three(const QString& name)
{
    return {name, name, name};
}

QStringList operationNames()
{
    QStringList names;
    for (const AnalysisOperation& operation : Global::_analysisOperationVtr)
        names << operation.name;
    return names;
}

int registered()
{
    return PlotItemRegistry::texts().size() + PlotItemRegistry::arrows().size() + PlotItemRegistry::graphs().size();
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

} // namespace

class TestPlot : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void clearModes_data();
    void clearModes();
    void deleteCurveByExactName_data();
    void deleteCurveByExactName();
    void deleteFindsItemsOfSeparatorNames_data();
    void deleteFindsItemsOfSeparatorNames();
    void noRecordKeepsARemovedCurve_data();
    void noRecordKeepsARemovedCurve();
    void livePointsFillStageRecords();
    void livePointWithoutStageRecordKeepsRunning();
    void burstsReplottedWhole();

private:
    QCPCurve* addWorkbookCurve(const QString& fileName, const QString& folder = QStringLiteral("/data"));
    void addResult(const QString& curveName, bool confirmed);
    void buildScene();
    void receive(int stage, double t, double dsc, float runTime) { _widget->slotRecvCommonData(statusRecord(stage, t, dsc, runTime)); }

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
    QCOMPARE(registered(), 0);
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
    QObject* parts[] = {new QCPItemText(_plot), new QCPItemLine(_plot), _plot->addGraph()};
    PlotItemRegistry::addText(parts[0], curveName);
    PlotItemRegistry::addArrow(parts[1], curveName);
    PlotItemRegistry::addGraph(parts[2], curveName);
    for (QObject* part : parts) {
        if (confirmed)
            PlotItemRegistry::confirm(part);
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
    receive(1, 30.0, 0.2, 0.1f);
    addResult(QStringLiteral("a.xlsx"), true);
    addResult(QStringLiteral("data.xlsx"), false);
    addResult(QStringLiteral("my temporary run.xlsx"), true);
    _widget->slotDrawCustomText(QStringLiteral("Xc = 12.000%"));
    _widget->setAnalysisMode(CentralWidget::PeakSynthesisAnalysis);
}

void TestPlot::clearModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("curves");
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<int>("openedPaths"); // and stage records: none or one

    const QStringList operations{"a.xlsx", "data.xlsx", "my temporary run.xlsx"};
    QTest::newRow("experiment data") << int(CentralWidget::ClearExperimentData) << QStringList() << QStringList()
                                     << QStringList() << 0;
    // The workbook named "...temporary..." keeps its curve and confirmed results.
    QTest::newRow("temporary items") << int(CentralWidget::ClearTemporaryItems) << (operations + QStringList{"experiment"})
                                     << (three("confirm___a.xlsx") + three("confirm___my temporary run.xlsx")
                                         + QStringList{"fixed"})
                                     << operations << 3;
    QTest::newRow("plot objects") << int(CentralWidget::ClearPlotObjects) << QStringList() << QStringList()
                                  << operations << 3;
}

void TestPlot::clearModes()
{
    QFETCH(int, mode);
    QFETCH(QStringList, curves);
    QFETCH(QStringList, results);
    QFETCH(QStringList, operations);
    QFETCH(int, openedPaths);

    buildScene();
    Global::_smoothnessFlag = true;
    _widget->clearData(static_cast<CentralWidget::ClearDataMode>(mode));

    const bool everything = mode == CentralWidget::ClearExperimentData;
    QCOMPARE(curveNames(_plot), curves);
    QCOMPARE(AnalysisTest::itemNames(_plot), results);
    QCOMPARE(operationNames(), operations);
    for (QCPItemStraightLine* line : {_widget->line1(), _widget->line2()}) {
        QCOMPARE(line->visible(), !everything);
        QVERIFY(_plot->hasItem(line));
    }
    QCOMPARE(_widget->openedFilePaths().size(), openedPaths);
    QCOMPARE(Global::_experimentDataVtr.size(), everything ? 0 : 1);
    QCOMPARE(Global::_smoothnessFlag, !everything);
    if (everything) {
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
    QTest::addColumn<QStringList>("paths");

    const QString a("/data/sample_data/a.xlsx"), data("/data/base_line/data.xlsx"),
        run("/data/sample_data/my temporary run.xlsx");
    const QStringList confirmedA = three("confirm___a.xlsx");
    const QStringList confirmedRun = three("confirm___my temporary run.xlsx") + QStringList{"fixed"};
    const QStringList temporaryData = three("temporary___data.xlsx");
    QTest::newRow("a.xlsx leaves data.xlsx") << "a.xlsx" << QStringList{"data.xlsx", "my temporary run.xlsx"}
                                             << confirmedRun + temporaryData << QStringList{data, run};
    QTest::newRow("data.xlsx leaves a.xlsx") << "data.xlsx" << QStringList{"a.xlsx", "my temporary run.xlsx"}
                                             << confirmedA + confirmedRun << QStringList{a, run};
    QTest::newRow("empty name changes nothing")
        << "" << QStringList{"a.xlsx", "data.xlsx", "my temporary run.xlsx"}
        << confirmedA + confirmedRun + temporaryData << QStringList{a, data, run};
}

// The workbooks' operations and opened paths follow their curves.
void TestPlot::deleteCurveByExactName()
{
    QFETCH(QString, name);
    QFETCH(QStringList, curves);
    QFETCH(QStringList, results);
    QFETCH(QStringList, paths);

    buildScene();
    _widget->deleteCurve(name);

    QCOMPARE(curveNames(_plot), curves + QStringList{"experiment"});
    QCOMPARE(AnalysisTest::itemNames(_plot), results);
    QCOMPARE(operationNames(), curves);
    QCOMPARE(QStringList(_widget->openedFilePaths().toList()), paths);
}

// "run___2.xlsx" holds the separator, so its confirmed results are named
// "confirm___run", like those of a workbook called "run": deletion must
// still tell them apart.
void TestPlot::deleteFindsItemsOfSeparatorNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("curves");
    QTest::newRow("delete run___2.xlsx") << "run___2.xlsx" << QStringList{"run"};
    QTest::newRow("delete run") << "run" << QStringList{"run___2.xlsx"};
    QTest::newRow("delete neither") << "run___2" << QStringList{"run", "run___2.xlsx"};
}

void TestPlot::deleteFindsItemsOfSeparatorNames()
{
    QFETCH(QString, name);
    QFETCH(QStringList, curves);

    for (const QString& workbook : {QStringLiteral("run"), QStringLiteral("run___2.xlsx")}) {
        addWorkbookCurve(workbook);
        addResult(workbook, true);
    }
    QCOMPARE(AnalysisTest::itemNames(_plot), three("confirm___run") + three("confirm___run"));

    _widget->deleteCurve(name);

    QCOMPARE(curveNames(_plot), curves);
    QCOMPARE(AnalysisTest::itemNames(_plot).size(), 3 * curves.size());
    QCOMPARE(registered(), 3 * curves.size());
    for (QObject* item : PlotItemRegistry::texts())
        QVERIFY(curves.contains(PlotItemRegistry::curveNameOf(item)));
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

    QCPCurve* workbook = addWorkbookCurve(QStringLiteral("a.xlsx"));
    auto* unnamed = new QCPCurve(_plot->xAxis, _plot->yAxis);
    Global::_curveFileDataVtr[0].phases[0].curve = unnamed;
    Global::_globalMode = Global::Experiment;
    receive(1, 30.0, 0.2, 0.1f);
    QCPCurve* live = _widget->liveCurve();
    QVERIFY(live);
    Global::_curveFileDataVtr[0].phases.append(Global::_curveFileDataVtr[0].phases[0]);
    Global::_curveFileDataVtr[0].phases[1].curve = workbook;

    QCPCurve* removed = QMap<QString, QCPCurve*>{{"live", live}, {"workbook", workbook}, {"unnamed", unnamed}}.value(how);
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

    receive(1, 31.0, 0.3, 0.2f);
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
    receive(1, 156.1, -0.25, 2.5f);
    receive(1, 156.6, -0.5, 2.6f);

    QCPCurve* live = _widget->liveCurve();
    QVERIFY(live);
    QCOMPARE(_widget->currentCurve(), live);
    QCOMPARE(live->data()->at(1)->key, 156.6);
    QCOMPARE(live->data()->at(1)->value, -0.5);
    QCOMPARE(live->data()->at(1)->t - live->data()->at(0)->t, 1.0);
    const Global::CurveExperimentData& stage = Global::_experimentDataVtr.first();
    QCOMPARE(stage.curve, live);
    QCOMPARE(stage.data.size(), 2);
    const Global::ExperimentData& first = stage.data.at(0);
    QVERIFY(first.runTime == 2.5f && first.constantTempTime == 0.5f && first.temperature == 156.1f && first.dsc == -0.25f);

    // Beyond the float range the record saturates at the largest float.
    receive(1, 1e300, -1e300, 2.7f);
    QCOMPARE(stage.data.last().temperature, std::numeric_limits<float>::max());
    QCOMPARE(stage.data.last().dsc, -std::numeric_limits<float>::max());
}

// Should a point ever come before its stage record, it opens one instead of being lost.
void TestPlot::livePointWithoutStageRecordKeepsRunning()
{
    LogCapture::install();
    Global::_globalMode = Global::Experiment;
    receive(3, 100.0, 1.0, 5.0f);
    receive(3, 101.0, 1.5, 5.1f);
    QVERIFY(LogCapture::logLines().contains("_currentCurveExperimentDataPtr is nullptr."));
    QCOMPARE(Global::_experimentDataVtr.size(), 1);
    QCOMPARE(Global::_currentPhaseIndex, 3);
    QCOMPARE(Global::_experimentDataVtr.first().data.size(), 2);
    QCOMPARE(Global::_experimentDataVtr.first().curve, _widget->liveCurve());
}

// Replots are coalesced, points are not: a burst is drawn once, and the last
// picture after another burst holds every point.
void TestPlot::burstsReplottedWhole()
{
    Global::_globalMode = Global::Experiment;
    QTest::qWait(100);
    int replots = 0, drawnPoints = -1;
    const auto watch = connect(_plot, &QCustomPlot::afterReplot, this, [&] {
        ++replots;
        drawnPoints = _widget->liveCurve()->dataCount();
    });
    auto burst = [this](int from) {
        for (int i = from; i < from + 30; ++i)
            receive(1, 30.0 + i, 0.1, 0.1f * i);
    };
    burst(0);
    QCOMPARE(replots, 0);
    QTRY_COMPARE_WITH_TIMEOUT(drawnPoints, 30, 2000);
    QTest::qWait(100);
    QCOMPARE(replots, 1);
    burst(30);
    QTRY_COMPARE_WITH_TIMEOUT(drawnPoints, 60, 2000);
    disconnect(watch);
}

QTEST_MAIN(TestPlot)
#include "tst_plot.moc"
