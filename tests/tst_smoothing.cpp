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

// The reference sums in another order, so the narrowed floats may differ in
// their last place.
void compareSignal(const Points& actual, const std::vector<double>& expected)
{
    QCOMPARE(size_t(actual.size()), expected.size());
    for (int i = 0; i < actual.size(); ++i) {
        const double want = expected[size_t(i)];
        if (std::abs(actual[i].dsc - want) > 1e-6 * std::max(1.0, std::abs(want)))
            QFAIL(qPrintable(QString("point %1: %2, expected %3").arg(i).arg(actual[i].dsc).arg(want)));
    }
}

void compareDsc(const Points& actual, const Points& expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < actual.size(); ++i)
        QCOMPARE(actual[i].dsc, expected[i].dsc);
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
    void liveCurveLevels_data();
    void liveCurveLevels();
    void workbookStages_data();
    void workbookStages();

private:
    void trigger(int level) { _window->findChild<QAction*>(QString("actionSmoothness%1").arg(level))->trigger(); }
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
        phase.curve = new QCPCurve(_central->plot()->xAxis, _central->plot()->yAxis);
        phase.curve->setObjectName(file.fileName);
        phase.curve->setSelectable(QCP::stWhole);
        for (int i = 0; i < phase.data.size(); ++i)
            phase.curve->addData(i, phase.data[i].temperature, phase.data[i].dsc);
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

void TestSmoothing::workbookStages_data()
{
    QTest::addColumn<bool>("liveRun");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("smoothed");
    QTest::newRow("selected stage only") << false << true << false << 14 << true;
    QTest::newRow("live records come first") << true << true << false << 9 << false;
    QTest::newRow("nothing selected") << false << false << false << 9 << false;
    // A deleted curve leaves its record's pointer null, and the current curve
    // null as well: the two must not count as a match.
    QTest::newRow("workbook curve deleted") << false << true << true << 9 << false;
    QTest::newRow("live curve deleted") << true << false << true << 9 << false;
    QTest::newRow("stage of one point refused") << false << true << false << 1 << false;
}

// Smoothing a selected stage takes every curve of its workbook off the plot
// (they share the workbook's name) and leaves the other stage alone. While a
// run has stage records, or with no selection, no record changes.
void TestSmoothing::workbookStages()
{
    QFETCH(bool, liveRun);
    QFETCH(bool, selected);
    QFETCH(bool, deleted);
    QFETCH(int, points);
    QFETCH(bool, smoothed);
    const Points live = wavyPoints(10);
    const Points stage = wavyPoints(points);
    const Points other = wavyPoints(8);
    if (liveRun)
        addLiveRecord(live);
    QCPCurve* workbook = addWorkbookCurves({other, stage}, 1);
    if (selected)
        selectCurve(workbook);
    if (deleted)
        _central->deleteCurrentCurve();

    // Level 5, as level 2 on evenly spaced points would change nothing anyway.
    trigger(5);

    const Global::CurveFileData& file = Global::_curveFileDataVtr.first();
    if (smoothed)
        compareSignal(file.phases[1].data, expectedSignal(stage, 0.5, false));
    else
        compareDsc(file.phases[1].data, stage);
    compareDsc(file.phases[0].data, other);
    if (liveRun)
        compareDsc(Global::_experimentDataVtr.first().data, live);
    QVERIFY(!liveRun || Global::_experimentDataVtr.first().curve != _central->currentCurve());
    if (smoothed) {
        QCOMPARE(file.phases[1].curve, _central->currentCurve());
        QVERIFY(!file.phases[0].curve);
        for (int i = 0; i < _central->plot()->plottableCount(); ++i)
            QVERIFY(_central->plot()->plottable(i) != workbook);
    } else if (points > 1) {
        QVERIFY(file.phases[1].curve != _central->currentCurve());
    }
    QVERIFY(Global::_smoothnessFlag);
    QVERIFY(_dialogs->boxes.isEmpty());
}

QTEST_MAIN(TestSmoothing)
#include "tst_smoothing.moc"
