#include "centralwidget.h"
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

private:
    void trigger(int level) { _window->findChild<QAction*>(QString("actionSmoothness%1").arg(level))->trigger(); }
    void addLiveRecord(const Points& points);
    QCPCurve* addWorkbookCurves(const QVector<Points>& stages);

    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<MainWindow> _window;
    CentralWidget* _central = nullptr;
};

void TestSmoothing::init()
{
    Global::clearCurveExperimentData();
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
    QTest::newRow("live records come first") << 5 << 0.5 << false << 10 << 9 << true << false << "";
    QTest::newRow("nothing selected") << 5 << 0.5 << false << 0 << 9 << false << false << "";
    // A deleted curve leaves its record's pointer null, and the current curve
    // null as well: the two must not count as a match.
    QTest::newRow("workbook curve deleted") << 5 << 0.5 << false << 0 << 9 << true << true << "";
    QTest::newRow("live curve deleted") << 5 << 0.5 << false << 10 << 9 << false << true << "";
    QTest::newRow("stage of one point refused") << 10 << 1.0 << false << 0 << 1 << true << false << "";
}

// Smoothing a workbook stage takes every curve of the workbook off the plot
// (they share its name) and leaves the other stage alone.
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
        workbook->setSelection(QCPDataSelection(workbook->data()->dataRange()));
        _central->slotSelectionChangedByUser();
        QVERIFY(_central->isCurrentCurve(workbook));
    }
    if (deleted)
        _central->deleteCurrentCurve();

    trigger(level);

    QVERIFY(Global::_smoothnessFlag);
    QVERIFY(_dialogs->boxes.isEmpty());
    if (live) {
        const Global::CurveExperimentData& record = Global::_experimentDataVtr.first();
        compareRecord(record.data, livePoints, smoothed == "live", factor, timeAxis);
        QCOMPARE(record.curve == _central->currentCurve(), smoothed == "live");
    }
    if (stage) {
        const Global::CurveFileData& file = Global::_curveFileDataVtr.first();
        compareRecord(file.phases[1].data, stagePoints, smoothed == "workbook", factor, false);
        compareRecord(file.phases[0].data, other, false, factor, false);
        if (stage > 1)
            QCOMPARE(file.phases[1].curve == _central->currentCurve(), smoothed == "workbook");
        for (int i = 0; smoothed == "workbook" && i < _central->plot()->plottableCount(); ++i)
            QVERIFY(_central->plot()->plottable(i) != workbook && !file.phases[0].curve);
    }
    if (level == 3) // the data tell 0.3 from the factor apart
        QVERIFY(std::abs(expectedSignal(livePoints, 0.3, false)[0] - expectedSignal(livePoints, factor, false)[0]) > 1e-3);
}

QTEST_MAIN(TestSmoothing)
#include "tst_smoothing.moc"
