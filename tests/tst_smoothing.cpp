#include "analysistesthelpers.h"
#include "centralwidget.h"
#include "curvesmoother.h"
#include "localcustomplot.h"
#include "lowess.h"
#include "lowessreference.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <qcustomplot.h>

using Points = QVector<Global::ExperimentData>;

namespace {

// Uneven run times and a wave with one outlier, so the abscissa, the factor
// and the robustness passes all change the result.
Points wavyPoints(int n)
{
    Points points;
    for (int i = 0; i < n; ++i) {
        const float dsc = float(std::sin(0.9 * i) + 0.1 * i) + (i == n / 2 ? 3.0f : 0.0f);
        points << Global::ExperimentData{0.05f * float(i * i), 0.25f * float(i), 30.0f + 2.5f * float(i), dsc};
    }
    return points;
}

std::vector<double> expectedSignal(const Points& points, double factor, bool timeAxis)
{
    std::vector<double> x;
    std::vector<double> y;
    for (const auto& p : points) {
        x.push_back(timeAxis ? p.runTime : p.temperature);
        y.push_back(p.dsc);
    }
    return LowessReference::lowess(x, y, LowessParams{factor, 3});
}

// A record after the command: its signal smoothed against the reference, or
// untouched; run times and temperatures never change.
void compareRecord(const Points& actual, const Points& before, bool smoothed, double factor, bool timeAxis)
{
    QCOMPARE(actual.size(), before.size());
    const std::vector<double> reference = smoothed ? expectedSignal(before, factor, timeAxis) : std::vector<double>();
    for (int i = 0; i < actual.size(); ++i) {
        QVERIFY(actual[i].runTime == before[i].runTime && actual[i].temperature == before[i].temperature);
        const double want = smoothed ? reference[size_t(i)] : before[i].dsc;
        // The reference sums in another order, so narrowed floats may differ in their last place.
        const double tolerance = smoothed ? 1e-6 * std::max(1.0, std::abs(want)) : 0.0;
        if (std::abs(actual[i].dsc - want) > tolerance)
            QFAIL(qPrintable(QString("point %1: %2, expected %3").arg(i).arg(actual[i].dsc).arg(want)));
    }
}

bool sameBits(const Points& a, const Points& b)
{
    return a.size() == b.size() && std::memcmp(a.constData(), b.constData(), sizeof(a[0]) * size_t(a.size())) == 0;
}

} // namespace

// Smoothing through the "平滑" actions of the main window, against the
// reference smoother kept with the tests.
class TestSmoothing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void levels_data();
    void levels();
    void runStaysOneCurve();
    void stageSmoothingKeepsTheOtherStagesResults();
    void saveWritesTheCurveSmoothedLast_data();
    void saveWritesTheCurveSmoothedLast();
    void workerEqualsSynchronousResult_data();
    void workerEqualsSynchronousResult();
    void cancelChangesNothing();
    void livePointsArriveDuringSmoothing();

private:
    CurveSmoother* smoother() const { return _window->findChild<CurveSmoother*>(); }
    void startSmoothing(int level) { _window->findChild<QAction*>(QString("actionSmoothness%1").arg(level))->trigger(); }
    void waitForSmoothing()
    {
        QSignalSpy ended(smoother(), &CurveSmoother::runningChanged);
        if (smoother()->isRunning())
            QVERIFY(ended.wait(60000));
    }
    void smooth(int level)
    {
        startSmoothing(level);
        waitForSmoothing();
    }
    void select(QCPCurve* curve)
    {
        _central->plot()->deselectAll();
        curve->setSelection(QCPDataSelection(curve->data()->dataRange()));
        _central->slotSelectionChangedByUser();
    }
    QList<QCPCurve*> curves() const { return AnalysisTest::curves(_central->plot()); }
    QStringList labelTexts() const { return AnalysisTest::labelTexts(_central->plot()); }
    void addLiveRecord(const Points& points);
    QCPCurve* addWorkbookCurves(const QVector<Points>& stages);

    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<MainWindow> _window;
    CentralWidget* _central = nullptr;
};

void TestSmoothing::init()
{
    Global::clearCurveExperimentData();
    Global::_analysisOperationVtr.clear();
    Global::_curveFileDataVtr.clear();
    Global::_globalMode = Global::Analysis;
    Global::_smoothnessFlag = false;
    _dialogs = std::make_unique<DialogAnswers>();
    _window = std::make_unique<MainWindow>();
    _central = _window->findChild<CentralWidget*>();
}

void TestSmoothing::cleanup()
{
    _window.reset();
    _dialogs.reset();
}

void TestSmoothing::addLiveRecord(const Points& points)
{
    Global::_experimentDataVtr.append(Global::CurveExperimentData());
    Global::_currentCurveExperimentDataPtr = &Global::_experimentDataVtr.last();
    CommonData data;
    data.stage = 1;
    for (const auto& p : points) {
        data.runTime = p.runTime;
        data.constantTempTime = p.constantTempTime;
        data.sampleTemp = p.temperature;
        data.dsc = p.dsc;
        _central->slotRecvCommonData(data);
    }
}

// One loaded workbook, one curve per stage, all named after the workbook; the
// last stage's curve is returned.
QCPCurve* TestSmoothing::addWorkbookCurves(const QVector<Points>& stages)
{
    Global::CurveFileData file;
    file.fileName = "run.xlsx";
    for (int s = 0; s < stages.size(); ++s) {
        Global::PhaseTotalInfo phase;
        phase.data = stages.at(s);
        phase.curve = new QCPCurve(_central->plot()->xAxis, _central->plot()->yAxis);
        phase.curve->setObjectName(file.fileName);
        phase.curve->setSelectable(QCP::stWhole);
        for (int i = 0; i < phase.data.size(); ++i)
            phase.curve->addData(i, phase.data[i].temperature, phase.data[i].dsc);
        file.phases << phase;
    }
    Global::_curveFileDataVtr << file;
    return Global::_curveFileDataVtr.last().phases.last().curve;
}

void TestSmoothing::levels_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<double>("factor");
    QTest::addColumn<bool>("timeAxis");
    QTest::addColumn<int>("live");      // points of the live record, 0: none
    QTest::addColumn<int>("stage");     // points of the workbook's second stage, 0: no workbook
    QTest::addColumn<bool>("selected"); // that stage's curve selected
    QTest::addColumn<bool>("deleted");  // current curve deleted
    QTest::addColumn<QString>("smoothed");
    // The factors are level x 0.1 in double precision: 3 x 0.1 lies just
    // above 0.3, which makes the bandwidth of 10 points 4 neighbours, not 3.
    QTest::newRow("live, level 3, 10 points") << 3 << 0.30000000000000004 << false << 10 << 0 << false << false << "live";
    QTest::newRow("live, level 10, every point") << 10 << 1.0 << false << 12 << 0 << false << false << "live";
    QTest::newRow("live, time axis") << 5 << 0.5 << true << 15 << 0 << false << false << "live";
    QTest::newRow("selected workbook stage only") << 5 << 0.5 << false << 0 << 14 << true << false << "workbook";
    QTest::newRow("workbook stage while a run is held") << 5 << 0.5 << false << 10 << 9 << true << false << "workbook";
    QTest::newRow("nothing selected") << 5 << 0.5 << false << 0 << 9 << false << false << "";
    // A deleted curve leaves its record's pointer null, and the current curve
    // null as well: the two must not count as a match.
    QTest::newRow("workbook curve deleted") << 5 << 0.5 << false << 0 << 9 << true << true << "";
    QTest::newRow("live curve deleted") << 5 << 0.5 << false << 10 << 9 << false << true << "";
    QTest::newRow("stage of one point refused") << 10 << 1.0 << false << 0 << 1 << true << false << "";
}

// Smoothing a workbook stage replaces only that stage's curve; the other
// stage keeps its points and its curve. When nothing is smoothed, nothing
// changes: the plot, its axes, the recorded analyses and the flag.
void TestSmoothing::levels()
{
    QFETCH(int, level);
    QFETCH(double, factor);
    QFETCH(bool, timeAxis);
    QFETCH(int, live);
    QFETCH(int, stage);
    QFETCH(bool, selected);
    QFETCH(bool, deleted);
    QFETCH(QString, smoothed);
    Global::_timeAxisFlag = timeAxis ? 1 : 0;
    const Points livePoints = wavyPoints(live);
    const Points stagePoints = wavyPoints(stage);
    const Points other = wavyPoints(8);
    if (live)
        addLiveRecord(livePoints);
    QCPCurve* workbook = stage ? addWorkbookCurves({other, stagePoints}) : nullptr;
    if (selected) {
        select(workbook);
        QVERIFY(_central->isCurrentCurve(workbook));
    }
    if (deleted)
        _central->deleteCurrentCurve();
    Global::_analysisOperationVtr = {{"run.xlsx", 1, 40.0, 40.0}, {Global::ExperimentKey, 1, 40.0, 40.0}};
    const QList<QCPCurve*> curvesBefore = curves();
    const QCPRange xBefore = _central->plot()->xAxis->range();
    const QCPRange yBefore = _central->plot()->yAxis->range();

    smooth(level);

    QCOMPARE(Global::_smoothnessFlag, !smoothed.isEmpty());
    QVERIFY(_dialogs->boxes.isEmpty());
    if (smoothed.isEmpty()) {
        QCOMPARE(curves(), curvesBefore);
        QCOMPARE(_central->plot()->xAxis->range(), xBefore);
        QCOMPARE(_central->plot()->yAxis->range(), yBefore);
        QCOMPARE(Global::_analysisOperationVtr.size(), 2);
    }
    if (live) {
        const Global::CurveExperimentData& record = Global::_experimentDataVtr.first();
        compareRecord(record.data, livePoints, smoothed == "live", factor, timeAxis);
        QCOMPARE(record.curve && record.curve == _central->currentCurve(), smoothed == "live");
    }
    if (stage) {
        const Global::CurveFileData& file = Global::_curveFileDataVtr.first();
        compareRecord(file.phases[1].data, stagePoints, smoothed == "workbook", factor, false);
        compareRecord(file.phases[0].data, other, false, factor, false);
        QCPCurve* drawn = file.phases[1].curve;
        if (smoothed == "workbook") {
            QCOMPARE(drawn, _central->currentCurve());
            QCOMPARE(curves().size(), live ? 3 : 2);
            QVERIFY(curves().contains(file.phases[0].curve) && curves().contains(drawn));
            for (int i = 0; i < stage; ++i)
                QCOMPARE(drawn->data()->at(i)->value, double(file.phases[1].data[i].dsc));
        }
    }
    if (level == 3) // the data tell 0.3 from the factor apart
        QVERIFY(std::abs(expectedSignal(livePoints, 0.3, false)[0] - expectedSignal(livePoints, factor, false)[0]) > 1e-3);
}

// A run of two stages shares one live curve. Smoothing it smooths each stage
// record on its own, draws the run again as one curve that both records keep,
// and the run's next point extends that curve, which can still be analysed.
void TestSmoothing::runStaysOneCurve()
{
    const Points first = wavyPoints(12);
    Points second = wavyPoints(9);
    for (auto& p : second)
        p.temperature += 40.0f;
    addLiveRecord(first);
    addLiveRecord(second);

    smooth(4);

    QCOMPARE(curves().size(), 1);
    QCPCurve* curve = curves().first();
    QCOMPARE(_central->liveCurve(), curve);
    for (const auto& record : qAsConst(Global::_experimentDataVtr))
        QCOMPARE(record.curve, curve);
    compareRecord(Global::_experimentDataVtr[0].data, first, true, 0.4, false);
    compareRecord(Global::_experimentDataVtr[1].data, second, true, 0.4, false);

    CommonData next;
    next.stage = 2;
    next.sampleTemp = 200.0;
    next.dsc = 1.5;
    _central->slotRecvCommonData(next);
    QCOMPARE(curves(), QList<QCPCurve*>{curve});
    QCOMPARE(curve->dataCount(), first.size() + second.size() + 1);
    QCOMPARE(Global::_experimentDataVtr[1].data.last().temperature, 200.0f);

    // The first stage's fifth point, 40 ℃, read back smoothed.
    _central->setAnalysisMode(CentralWidget::NumericalLabel);
    AnalysisTest::setLineKey(_central->line1(), 40.0);
    _central->slotAnalysisSettingApply();
    const double smoothed = expectedSignal(first, 0.4, false)[4];
    QCOMPARE(labelTexts(), QStringList{QString("数值：\n40.000℃,%1").arg(smoothed, 0, 'f', 3)});
}

// A workbook stored with a label on each stage (40 ℃ on stage 1, 80 ℃ on
// stage 2) and one more applied on stage 1 at 42.5 ℃: smoothing stage 2
// takes its label away for good, and stage 1 keeps both of its own. Signals
// of wavyPoints: sin(0.9 i) + 0.1 i at i = 4 and 5.
void TestSmoothing::stageSmoothingKeepsTheOtherStagesResults()
{
    Points second = wavyPoints(9);
    for (auto& p : second) {
        p.temperature += 40.0f;
        p.runTime += 10.0f;
    }
    Points first = wavyPoints(12);
    for (auto& p : first) // the reader skips a row whose run time is 0
        p.runTime += 0.1f;
    QTemporaryDir dir;
    const QString path = dir.filePath("two.xlsx");
    QVERIFY(AnalysisTest::writeWorkbook(path, {first, second}, "2",
                                        {{"two.xlsx", CentralWidget::NumericalLabel, 40.0, 0.0},
                                         {"two.xlsx", CentralWidget::NumericalLabel, 80.0, 0.0}}));
    QVERIFY(loadWorkbook(_central, path));
    select(Global::_curveFileDataVtr[0].phases[0].curve);
    _central->setAnalysisMode(CentralWidget::NumericalLabel);
    AnalysisTest::setLineKey(_central->line1(), 42.5);
    _central->slotAnalysisSettingApply();
    _central->slotAnalysisSettingConfirm();
    QCOMPARE(labelTexts().size(), 3);

    select(Global::_curveFileDataVtr[0].phases[1].curve);
    smooth(5);
    const QStringList kept{"数值：\n40.000℃,-0.043", "数值：\n42.500℃,-0.478"};
    QCOMPARE(labelTexts(), kept);
    _window->findChild<QAction*>("actionYAxis")->trigger();
    _window->findChild<QAction*>("actionYAxis")->trigger();
    QCOMPARE(labelTexts(), kept);
}

void TestSmoothing::saveWritesTheCurveSmoothedLast_data()
{
    QTest::addColumn<QList<int>>("order"); // loaded workbook, or -1 for the run
    QTest::addColumn<int>("written");
    QTest::newRow("second of two workbooks") << QList<int>{1} << 1;
    QTest::newRow("second, then first") << QList<int>{1, 0} << 0;
    QTest::newRow("a workbook, then the run") << QList<int>{1, -1} << -1;
}

// "保存数据" after smoothing writes the records of the curve smoothed last,
// read back from the saved workbook.
void TestSmoothing::saveWritesTheCurveSmoothedLast()
{
    QFETCH(QList<int>, order);
    QFETCH(int, written);
    QTemporaryDir dir;
    const QString masses[] = {"2", "3"};
    for (int i = 0; i < 2; ++i) {
        const QString path = dir.filePath(QString("w%1.xlsx").arg(i));
        QVERIFY(AnalysisTest::writeWorkbook(path, {wavyPoints(20 + i)}, masses[i]));
        QVERIFY(loadWorkbook(_central, path));
    }
    QCOMPARE(Global::_curveFileDataVtr.size(), 2);
    PhaseInfoData stage;
    stage.enabled = 1;
    Global::_experimentInfo.phases = {stage};
    Points run = wavyPoints(15);
    for (auto& p : run) // the reader skips a row whose run time is 0
        p.runTime += 0.1f;
    addLiveRecord(run);
    for (int which : order) {
        select(which < 0 ? Global::_experimentDataVtr[0].curve : Global::_curveFileDataVtr[which].phases[0].curve);
        smooth(6);
    }
    const Points& expected = written < 0 ? Global::_experimentDataVtr[0].data
                                         : Global::_curveFileDataVtr[written].phases[0].data;
    QVERIFY(expected[1].dsc != wavyPoints(written < 0 ? 15 : 20 + written)[1].dsc);

    _dialogs->fileNames << dir.filePath("saved.xlsx");
    _window->findChild<QAction*>("actionSaveData")->trigger();

    Global::CurveFileData saved;
    QCOMPARE(XlsxHandler::readFile(dir.filePath("saved.xlsx"), saved), 0);
    QCOMPARE(saved.phases.size(), 1);
    if (written >= 0)
        QCOMPARE(saved.info.sampleWeight, masses[written]);
    const Points& points = saved.phases[0].data;
    QCOMPARE(points.size(), expected.size());
    for (int i = 0; i < points.size(); ++i)
        QCOMPARE(points[i].dsc, expected[i].dsc);
}

void TestSmoothing::workerEqualsSynchronousResult_data()
{
    QTest::addColumn<bool>("timeAxis");
    QTest::newRow("temperature") << false;
    QTest::newRow("time") << true;
}

// 3000 points at level 5 are enough work for the smoother's own threads too.
void TestSmoothing::workerEqualsSynchronousResult()
{
    QFETCH(bool, timeAxis);
    Global::_timeAxisFlag = timeAxis ? 1 : 0;
    const Points points = wavyPoints(3000);
    select(addWorkbookCurves({points}));
    Points synchronous = points;
    _window->smoothnessDetail(5, synchronous);

    smooth(5);

    QVERIFY(sameBits(Global::_curveFileDataVtr[0].phases[0].data, synchronous));
}

// "取消" in the progress dialog: the records, the plot, its axes, the recorded
// analyses and the flag stay as they were, and the commands come back.
void TestSmoothing::cancelChangesNothing()
{
    const Points points = wavyPoints(3000);
    QCPCurve* curve = addWorkbookCurves({points});
    select(curve);
    Global::_analysisOperationVtr = {{"run.xlsx", 1, 40.0, 40.0}};
    const QCPRange xBefore = _central->plot()->xAxis->range();

    startSmoothing(10);
    QVERIFY(smoother()->isRunning());
    QVERIFY(!_window->findChild<QAction*>("actionSmoothness1")->isEnabled());
    _window->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click();
    waitForSmoothing();

    QVERIFY(sameBits(Global::_curveFileDataVtr[0].phases[0].data, points));
    QCOMPARE(curves(), QList<QCPCurve*>{curve});
    QCOMPARE(Global::_curveFileDataVtr[0].phases[0].curve, curve);
    QCOMPARE(_central->plot()->xAxis->range(), xBefore);
    QCOMPARE(Global::_analysisOperationVtr.size(), 1);
    QVERIFY(!Global::_smoothnessFlag);
    QVERIFY(_window->findChild<QAction*>("actionSmoothness1")->isEnabled());
}

// Points the instrument sends while the run's curve is being smoothed go
// through the event loop and stay on the curve, as measured, after the
// smoothed points.
void TestSmoothing::livePointsArriveDuringSmoothing()
{
    const Points points = wavyPoints(2000);
    addLiveRecord(points);
    Points synchronous = points;
    _window->smoothnessDetail(3, synchronous);
    QList<bool> whileRunning;
    for (int i = 0; i < 5; ++i) {
        // Posted before the smoothing starts, so handled before its result.
        QMetaObject::invokeMethod(
            _central,
            [this, i, &whileRunning]() {
                whileRunning << smoother()->isRunning();
                CommonData data;
                data.stage = 1;
                data.sampleTemp = 6000.0 + i;
                data.dsc = 9.0;
                _central->slotRecvCommonData(data);
            },
            Qt::QueuedConnection);
    }

    smooth(3);

    QCOMPARE(whileRunning, QList<bool>({true, true, true, true, true}));
    const Points& record = Global::_experimentDataVtr[0].data;
    QCOMPARE(record.size(), 2005);
    QVERIFY(sameBits(record.mid(0, 2000), synchronous));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(record[2000 + i].dsc, 9.0f);
    QCOMPARE(curves().size(), 1);
    QCOMPARE(curves().first(), _central->liveCurve());
    QCOMPARE(_central->liveCurve()->dataCount(), 2005);
}

QTEST_MAIN(TestSmoothing)
#include "tst_smoothing.moc"
