#include "centralwidget.h"
#include "global.h"
#include "localcustomplot.h"
#include "lowess.h"
#include "lowessreference.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QtTest>

#include <cmath>
#include <qcustomplot.h>

using Points = QVector<Global::ExperimentData>;

// Smoothing through the "平滑" actions of the main window, against the
// reference smoother kept with the tests.
class TestSmoothing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void liveCurveLevels_data();
    void liveCurveLevels();
    void workbookStageOnly();
    void recordsLeftAlone_data();
    void recordsLeftAlone();
    void rejectedInputKeepsRunning_data();
    void rejectedInputKeepsRunning();

private:
    static Points wavyPoints(int n);
    static std::vector<double> expectedSignal(const Points& points, double factor, bool timeAxis);
    static void compareSignal(const Points& actual, const std::vector<double>& expected);
    void trigger(int level);
    void addLiveRecord(const Points& points);
    QCPCurve* addWorkbookCurves(const QVector<Points>& stages, int selectedStage);
    void selectCurve(QCPCurve* curve);

    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<MainWindow> _window;
    CentralWidget* _central = nullptr;
};

void TestSmoothing::init()
{
    Global::_globalMode = Global::Analysis;
    Global::_timeAxisFlag = 0;
    Global::_smoothnessFlag = false;
    _dialogs = std::make_unique<DialogAnswers>();
    _window = std::make_unique<MainWindow>();
    _central = _window->findChild<CentralWidget*>();
}

void TestSmoothing::cleanup()
{
    _window.reset();
    _dialogs.reset();
    Global::clearCurveExperimentData();
    Global::_curveFileDataVtr.clear();
    Global::_timeAxisFlag = 0;
}

// Uneven run times and a wave with one outlier, so the abscissa, the factor
// and the robustness passes all change the result.
Points TestSmoothing::wavyPoints(int n)
{
    Points points;
    for (int i = 0; i < n; ++i) {
        Global::ExperimentData p;
        p.runTime = 0.05f * float(i * i);
        p.constantTempTime = 0.25f * float(i);
        p.temperature = 30.0f + 2.5f * float(i);
        p.dsc = float(std::sin(0.9 * i) + 0.1 * i) + (i == n / 2 ? 3.0f : 0.0f);
        points << p;
    }
    return points;
}

std::vector<double> TestSmoothing::expectedSignal(const Points& points, double factor, bool timeAxis)
{
    std::vector<double> x;
    std::vector<double> y;
    for (const auto& p : points) {
        x.push_back(timeAxis ? p.runTime : p.temperature);
        y.push_back(p.dsc);
    }
    return LowessReference::lowess(x, y, LowessParams{factor, 3});
}

// The reference sums in another order, so the narrowed floats may differ in
// their last place.
void TestSmoothing::compareSignal(const Points& actual, const std::vector<double>& expected)
{
    QCOMPARE(size_t(actual.size()), expected.size());
    for (int i = 0; i < actual.size(); ++i) {
        const double want = expected[size_t(i)];
        if (std::abs(actual[i].dsc - want) > 1e-6 * std::max(1.0, std::abs(want)))
            QFAIL(qPrintable(QString("point %1: %2, expected %3").arg(i).arg(actual[i].dsc).arg(want)));
    }
}

void TestSmoothing::trigger(int level)
{
    QAction* action = _window->findChild<QAction*>(QString("actionSmoothness%1").arg(level));
    QVERIFY(action);
    action->trigger();
}

void TestSmoothing::addLiveRecord(const Points& points)
{
    Global::_experimentDataVtr.append(Global::CurveExperimentData());
    Global::_currentCurveExperimentDataPtr = &Global::_experimentDataVtr.last();
    for (const auto& p : points) {
        CommonData data;
        data.stage = 1;
        data.runTime = p.runTime;
        data.constantTempTime = p.constantTempTime;
        data.sampleTemp = p.temperature;
        data.dsc = p.dsc;
        _central->slotRecvCommonData(data);
    }
}

// One loaded workbook, one curve per stage, all named after the workbook.
QCPCurve* TestSmoothing::addWorkbookCurves(const QVector<Points>& stages, int selectedStage)
{
    Global::CurveFileData file;
    file.fileName = "run.xlsx";
    for (int s = 0; s < stages.size(); ++s) {
        Global::PhaseTotalInfo phase;
        phase.phaseIndex = s + 1;
        phase.data = stages.at(s);
        auto* curve = new QCPCurve(_central->plot()->xAxis, _central->plot()->yAxis);
        curve->setObjectName(file.fileName);
        curve->setSelectable(QCP::stWhole);
        for (int i = 0; i < phase.data.size(); ++i)
            curve->addData(i, phase.data[i].temperature, phase.data[i].dsc);
        phase.curve = curve;
        file.phases << phase;
    }
    Global::_curveFileDataVtr << file;
    return Global::_curveFileDataVtr.last().phases[selectedStage].curve;
}

void TestSmoothing::selectCurve(QCPCurve* curve)
{
    curve->setSelection(QCPDataSelection(curve->data()->dataRange()));
    _central->slotSelectionChangedByUser();
    QVERIFY(_central->isCurrentCurve(curve));
}

void TestSmoothing::liveCurveLevels_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("timeAxis");

    // The factors are level x 0.1 in double precision: 3 x 0.1 lies just
    // above 0.3, which makes the bandwidth of 10 points 4 neighbours, not 3.
    QTest::newRow("level 1") << 1 << 0.1 << 30 << false;
    QTest::newRow("level 3, 10 points") << 3 << 0.30000000000000004 << 10 << false;
    QTest::newRow("level 10, every point") << 10 << 1.0 << 12 << false;
    QTest::newRow("time axis") << 5 << 0.5 << 15 << true;
}

void TestSmoothing::liveCurveLevels()
{
    QFETCH(int, level);
    QFETCH(double, factor);
    QFETCH(int, points);
    QFETCH(bool, timeAxis);
    Global::_timeAxisFlag = timeAxis ? 1 : 0;
    const Points before = wavyPoints(points);
    addLiveRecord(before);
    QVERIFY(_central->isCurrentCurve(Global::_experimentDataVtr.first().curve));

    trigger(level);

    QVERIFY(Global::_smoothnessFlag);
    const Points after = Global::_experimentDataVtr.first().data;
    compareSignal(after, expectedSignal(before, factor, timeAxis));
    for (int i = 0; i < before.size(); ++i)
        QVERIFY(after[i].runTime == before[i].runTime && after[i].temperature == before[i].temperature);
    QCOMPARE(Global::_experimentDataVtr.first().curve, _central->currentCurve());
    if (level == 3) // the data tell 0.3 from the factor apart
        QVERIFY(std::abs(expectedSignal(before, 0.3, false)[0] - expectedSignal(before, factor, false)[0]) > 1e-3);
}

// Smoothing one stage takes every curve of its workbook off the plot (they
// share the workbook's name) and leaves the other stage's points alone.
void TestSmoothing::workbookStageOnly()
{
    const Points first = wavyPoints(8);
    const Points second = wavyPoints(14);
    QCPCurve* selected = addWorkbookCurves({first, second}, 1);
    selectCurve(selected);

    trigger(4);

    const Global::CurveFileData& file = Global::_curveFileDataVtr.first();
    compareSignal(file.phases[1].data, expectedSignal(second, 0.4, false));
    QCOMPARE(file.phases[0].data.size(), first.size());
    for (int i = 0; i < first.size(); ++i)
        QCOMPARE(file.phases[0].data[i].dsc, first[i].dsc);
    QVERIFY(!file.phases[0].curve);
    QCOMPARE(file.phases[1].curve, _central->currentCurve());
    for (int i = 0; i < _central->plot()->plottableCount(); ++i)
        QVERIFY(_central->plot()->plottable(i) != selected);
    QVERIFY(Global::_smoothnessFlag);
}

void TestSmoothing::recordsLeftAlone_data()
{
    QTest::addColumn<bool>("liveRun");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("live records come first") << true << true << false;
    QTest::newRow("nothing selected") << false << false << false;
    // A deleted curve leaves its record's pointer null, and the current curve
    // null as well: the two must not count as a match.
    QTest::newRow("workbook curve deleted") << false << true << true;
    QTest::newRow("live curve deleted") << true << false << true;
}

// While a run has stage records a selected workbook curve is not smoothed;
// with no selection no record changes and none takes the drawn curve.
void TestSmoothing::recordsLeftAlone()
{
    QFETCH(bool, liveRun);
    QFETCH(bool, selected);
    QFETCH(bool, deleted);
    const Points live = wavyPoints(10);
    const Points stage = wavyPoints(9);
    if (liveRun)
        addLiveRecord(live);
    QCPCurve* workbook = addWorkbookCurves({stage}, 0);
    if (selected)
        selectCurve(workbook);
    if (deleted)
        _central->deleteCurrentCurve();

    // Level 5, as level 2 on evenly spaced points would change nothing anyway.
    trigger(5);

    const Global::PhaseTotalInfo& phase = Global::_curveFileDataVtr.first().phases[0];
    for (int i = 0; i < stage.size(); ++i)
        QCOMPARE(phase.data[i].dsc, stage[i].dsc);
    for (int i = 0; liveRun && i < live.size(); ++i)
        QCOMPARE(Global::_experimentDataVtr.first().data[i].dsc, live[i].dsc);
    QVERIFY(phase.curve != _central->currentCurve());
    QVERIFY(!liveRun || Global::_experimentDataVtr.first().curve != _central->currentCurve());
    QVERIFY(Global::_smoothnessFlag);
}

void TestSmoothing::rejectedInputKeepsRunning_data()
{
    QTest::addColumn<bool>("live");
    QTest::newRow("live curve of one point") << true;
    QTest::newRow("workbook stage of one point") << false;
}

// The smoother refuses a single point; the command leaves it as it was and
// shows nothing.
void TestSmoothing::rejectedInputKeepsRunning()
{
    QFETCH(bool, live);
    const Points single = wavyPoints(1);
    if (live) {
        addLiveRecord(single);
    } else {
        selectCurve(addWorkbookCurves({single, wavyPoints(6)}, 0));
    }

    trigger(10);

    const Points after = live ? Global::_experimentDataVtr.first().data : Global::_curveFileDataVtr.first().phases[0].data;
    QCOMPARE(after.size(), 1);
    QCOMPARE(after.first().dsc, single.first().dsc);
    QVERIFY(Global::_smoothnessFlag);
    QVERIFY(_dialogs->boxes.isEmpty());
}

QTEST_MAIN(TestSmoothing)
#include "tst_smoothing.moc"
