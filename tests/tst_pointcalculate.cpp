#include "global.h"
#include "pointcalculate.h"

#include <QtTest>

#include <limits>

using Data = QVector<Global::ExperimentData>;
using Points = QVector<QPointF>;

namespace {

constexpr float FloatMax = std::numeric_limits<float>::max();
constexpr float FloatMinNormal = std::numeric_limits<float>::min();

// Samples (temperature, dsc); the run time is the index + 1 so that each
// sample's record identifies it.
Data curve(const QVector<QPointF>& points)
{
    Data data;
    for (int i = 0; i < points.size(); ++i)
        data.append({static_cast<float>(i + 1), 0.0f, static_cast<float>(points[i].x()),
                     static_cast<float>(points[i].y())});
    return data;
}

void load(const Points& points)
{
    PointCalculate::peakPoint = QPointF();
    PointCalculate::setExperimentData(curve(points));
}

void setRegion(QPointF start, QPointF end, QPointF peak = QPointF())
{
    PointCalculate::startPoint = start;
    PointCalculate::endPoint = end;
    PointCalculate::peakPoint = peak;
}

} // namespace

class TestPointCalculate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void closestLookupsTakeTheFirstOfEquals();
    void closestPointByXOutsideTheCurve_data();
    void closestPointByXOutsideTheCurve();
    void regionPoints_data();
    void regionPoints();
    void peakOfTwoSamples();
    void adjustRegionPoints_data();
    void adjustRegionPoints();
    void area_data();
    void area();
    void areaUsesEnthalpyCorrection();
    void regionThenCorrectedArea();
    void extrapolatedPoints();
    void steepestSegmentFirstOfEqualSteps();
    void steepestSegmentFlankBounds();
    void plateauEnds_data();
    void plateauEnds();
    void texts_data();
    void texts();
    void nearbyPoints_data();
    void nearbyPoints();
    void ranges();
    void inflections_data();
    void inflections();
    void lineHelpers();
    void maxSlopeTangentComparesMagnitudes();
};

void TestPointCalculate::init()
{
    Global::_configMap.clear();
    Global::_configMap.insert(Global::InstrumentCoefficientKey, 1.0f);
    Global::_enthalpyCoefficientEnableFlag = false;
    Global::_enthalpyCoefficientVtr.clear();
    PointCalculate::setExperimentData({});
    setRegion(QPointF(), QPointF());
}

void TestPointCalculate::closestLookupsTakeTheFirstOfEquals()
{
    load({{0, 1}, {1, 2}, {2, 3}, {3, 4}});
    QCOMPARE(PointCalculate::getClosestPointByX(0.5f), QPointF(0, 1));
    QCOMPARE(PointCalculate::getClosestDataByX(1.5f).runTime, 2.0f);
    QCOMPARE(PointCalculate::getTimeByTemperature(2.5), 3.0);
    QCOMPARE(PointCalculate::getClosestPointByY(0.0, 3.0, 2.5), QPointF(1, 2));
    // The bounds of getClosestPointByY are strict: 0 and 3 are left out.
    QCOMPARE(PointCalculate::getClosestPointByY(0.0, 3.0, 0.0), QPointF(1, 2));
    QCOMPARE(PointCalculate::getClosestPointByY(3.0, 4.0, 0.0), QPointF());
}

void TestPointCalculate::closestPointByXOutsideTheCurve_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<float>("x");
    QTest::addColumn<QPointF>("expected");
    const Points heating{{10, 1}, {20, 2}, {30, 3}};
    QTest::newRow("first x is inside") << heating << 10.0f << QPointF(10, 1);
    QTest::newRow("last x is inside") << heating << 30.0f << QPointF(30, 3);
    QTest::newRow("below first") << heating << 9.99f << QPointF();
    QTest::newRow("above last") << heating << 30.01f << QPointF();
    QTest::newRow("cooling stage") << Points{{30, 3}, {20, 2}, {10, 1}} << 20.0f << QPointF();
    QTest::newRow("empty") << Points{} << 0.0f << QPointF();
}

void TestPointCalculate::closestPointByXOutsideTheCurve()
{
    QFETCH(Points, points);
    QFETCH(float, x);
    QFETCH(QPointF, expected);
    load(points);
    QCOMPARE(PointCalculate::getClosestPointByX(x), expected);
}

void TestPointCalculate::regionPoints_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("right");
    QTest::addColumn<QPointF>("start");
    QTest::addColumn<QPointF>("peak");
    QTest::addColumn<QPointF>("end");
    // The start walks down to the lowest sample before the peak; the end moves
    // once, to the first sample after the peak below it, though (5, 0.1) is lower.
    QTest::newRow("seven samples")
        << Points{{0, 1}, {1, 0.5}, {2, 0}, {3, 5}, {4, 0.2}, {5, 0.1}, {6, 0.3}} << 0.0f << 6.0f << QPointF(2, 0)
        << QPointF(3, 5) << QPointF(4, 0.2f);
    QTest::newRow("monotone peak stays") << Points{{0, 0}, {1, 1}, {2, 3}, {3, 1}, {4, 0}} << 0.0f << 4.0f
                                         << QPointF(0, 0) << QPointF(2, 3) << QPointF(4, 0);
    QTest::newRow("downward peak") << Points{{0, 0}, {1, 0.5}, {2, -3}, {3, 0.2}, {4, 0}} << 0.0f << 4.0f
                                   << QPointF(1, 0.5) << QPointF(2, -3) << QPointF(3, 0.2f);
    QTest::newRow("two samples: zero peak") << Points{{0, 0}, {1, 1}} << 0.0f << 1.0f << QPointF(0, 0) << QPointF()
                                            << QPointF(1, 1);
    // Deviations 0, 2, 2, 0 from both bounds: the first of the two wins.
    QTest::newRow("equal deviations") << Points{{0, 0}, {1, 2}, {2, -2}, {3, 0}} << 0.0f << 3.0f << QPointF(0, 0)
                                      << QPointF(1, 2) << QPointF(2, -2);
    QTest::newRow("bounds outside the curve") << Points{{0, 0}, {1, 1}, {2, 0}} << -1.0f << 5.0f << QPointF()
                                              << QPointF() << QPointF();
}

void TestPointCalculate::regionPoints()
{
    QFETCH(Points, points);
    QFETCH(float, left);
    QFETCH(float, right);
    QFETCH(QPointF, start);
    QFETCH(QPointF, peak);
    QFETCH(QPointF, end);
    load(points);
    PointCalculate::peakPoint = QPointF(99, 99);
    PointCalculate::setRegionPointX(left, right);
    QCOMPARE(PointCalculate::startPoint, start);
    QCOMPARE(PointCalculate::peakPoint, peak);
    QCOMPARE(PointCalculate::endPoint, end);
}

void TestPointCalculate::peakOfTwoSamples()
{
    load({{0, 0}, {1, 1}});
    PointCalculate::peakPoint = QPointF(7, 7);
    QCOMPARE(PointCalculate::getPeakPoint(), QPointF());
    QCOMPARE(PointCalculate::peakPoint, QPointF(7, 7));

    load({{0, 0}, {1, 1}, {2, 0}, {3, 2}, {4, 0}});
    setRegion(QPointF(2.5, 0), QPointF(2.6, 0), QPointF(7, 7));
    QCOMPARE(PointCalculate::getPeakPoint(), QPointF());
    QCOMPARE(PointCalculate::peakPoint, QPointF());
}

void TestPointCalculate::adjustRegionPoints_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<QPointF>("peak");
    QTest::addColumn<QPointF>("start");
    QTest::addColumn<QPointF>("end");
    // The end's direction follows the peak against the start, not the end:
    // peak 3 lies above the start 0 (though below the end 5), so the end looks
    // for a lower sample and finds (3, 4).
    QTest::newRow("peak between start and end")
        << Points{{0, 0}, {1, 1}, {2, 3}, {3, 4}, {4, 5}} << QPointF(2, 3) << QPointF(0, 0) << QPointF(3, 4);
    // The start climbs to 6 first; the peak 3 then lies below it, so the end
    // looks for a higher sample and (3, -1) does not qualify.
    QTest::newRow("start climbs above the peak")
        << Points{{0, 5}, {1, 6}, {2, 3}, {3, -1}, {4, 0}} << QPointF(2, 3) << QPointF(1, 6) << QPointF(4, 0);
    // A move of 1e-13 is a move: the lower sample becomes the start.
    QTest::newRow("start moves by a tiny step")
        << Points{{0, 0}, {1e-13, -1e-13}, {1, 5}, {2, 0}} << QPointF(1, 5)
        << QPointF(static_cast<float>(1e-13), static_cast<float>(-1e-13)) << QPointF(2, 0);
}

void TestPointCalculate::adjustRegionPoints()
{
    QFETCH(Points, points);
    QFETCH(QPointF, peak);
    QFETCH(QPointF, start);
    QFETCH(QPointF, end);
    load(points);
    setRegion(points.first(), points.last(), peak);
    PointCalculate::adjustRegionPoints();
    // Exact: QCOMPARE treats everything within 1e-12 of 0 as equal.
    QVERIFY(PointCalculate::startPoint.x() == start.x() && PointCalculate::startPoint.y() == start.y());
    QVERIFY(PointCalculate::endPoint.x() == end.x() && PointCalculate::endPoint.y() == end.y());
}

void TestPointCalculate::area_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<QPointF>("start");
    QTest::addColumn<QPointF>("end");
    QTest::addColumn<float>("expected");
    // Two trapezoids of area 1 each: 2 * 8.177.
    QTest::newRow("triangle") << Points{{0, 0}, {1, 2}, {2, 0}} << QPointF(0, 0) << QPointF(2, 0) << 16.354f;
    QTest::newRow("mirrored below") << Points{{0, 0}, {1, -2}, {2, 0}} << QPointF(0, 0) << QPointF(2, 0)
                                    << 16.354f;
    // Trapezoids 1, 0.5, -1, -0.5 taken absolutely: 3 * 8.177, net area 0.
    QTest::newRow("crossing the baseline") << Points{{0, 0}, {1, 2}, {2, -1}, {3, -1}, {4, 0}} << QPointF(0, 0)
                                           << QPointF(4, 0) << 24.531f;
    QTest::newRow("on a sloped baseline")
        << Points{{0, 1}, {1, 2}, {2, 3}, {3, 4}} << QPointF(0, 1) << QPointF(3, 4) << 0.0f;
    QTest::newRow("start sample only") << Points{{0, 0}, {1, 5}, {2, 0}} << QPointF(1, 5) << QPointF(1.5, 0)
                                       << 0.0f;
    QTest::newRow("start and end at one temperature")
        << Points{{5, 0}, {5, 1}, {5, 2}} << QPointF(5, 0) << QPointF(5, 2) << 0.0f;
}

void TestPointCalculate::area()
{
    QFETCH(Points, points);
    QFETCH(QPointF, start);
    QFETCH(QPointF, end);
    QFETCH(float, expected);
    load(points);
    setRegion(start, end);
    QCOMPARE(PointCalculate::calculateArea(), expected);
}

void TestPointCalculate::areaUsesEnthalpyCorrection()
{
    load({{0, 0}, {1, 2}, {2, 0}});
    setRegion(QPointF(0, 0), QPointF(2, 0));
    Global::_configMap.insert(Global::InstrumentCoefficientKey, 5.0f);
    QCOMPARE(PointCalculate::calculateArea(), 81.77f);

    Global::_enthalpyCoefficientEnableFlag = true;
    Global::_enthalpyCoefficientVtr = {0.0, 0.0, 2.0};
    QCOMPARE(PointCalculate::calculateArea(), 32.708f);

    // The quadratic is taken at the region start: 0.5*4 - 1*2 + 3 = 3.
    load({{2, 0}, {3, 2}, {4, 0}});
    setRegion(QPointF(2, 0), QPointF(4, 0));
    Global::_enthalpyCoefficientVtr = {0.5, -1.0, 3.0};
    QCOMPARE(PointCalculate::calculateArea(), 49.062f);

    Global::_enthalpyCoefficientEnableFlag = false;
    Global::_configMap.clear();
    QCOMPARE(PointCalculate::calculateArea(), 0.0f);
}

// Region (2, 0) to (4, 0.2) of the seven-sample curve found by the region
// search. By hand in float: m = 0.1f, b = -0.2f, both trapezoids are
// 4.9f * 0.5, the sum 4.9f; with the correction a, b, c = 0.5, -1, 3 at x = 2,
// K = 3, 4.9f * 3 = 14.7000008f and 14.7000008 * 8.177 = 120.201906.
void TestPointCalculate::regionThenCorrectedArea()
{
    load({{0, 1}, {1, 0.5}, {2, 0}, {3, 5}, {4, 0.2}, {5, 0.1}, {6, 0.3}});
    Global::_enthalpyCoefficientEnableFlag = true;
    Global::_enthalpyCoefficientVtr = {0.5, -1.0, 3.0};
    PointCalculate::setRegionPointX(0.0f, 6.0f);
    QCOMPARE(PointCalculate::calculateArea(), 120.201906f);
}

// Baseline y = x. Before the peak the steepest step (1,0.5)-(5,4.5) is parallel
// to it: no start point. After it, (7,3)-(8,8) is y = 5x - 32, meeting the
// baseline at (8, 8).
void TestPointCalculate::extrapolatedPoints()
{
    load({{0, 0}, {1, 0.5}, {5, 4.5}, {6, 5.5}, {7, 3}, {8, 8}, {10, 10}});
    setRegion(QPointF(0, 0), QPointF(10, 10), QPointF(6, 5.5));
    QCOMPARE(PointCalculate::findSteepestSegmentBeforePeak(), PointCalculate::Segment(1, 0.5, 5, 4.5));
    QCOMPARE(PointCalculate::findSteepestSegmentAfterPeak(), PointCalculate::Segment(7, 3, 8, 8));
    QCOMPARE(PointCalculate::calculateStartAndEndPoint(), PointCalculate::Segment(0, 0, 8, 8));
    const auto records = PointCalculate::getStartAndEndData();
    QCOMPARE(records.first.runTime, 1.0f);
    QCOMPARE(records.second.runTime, 6.0f);
    QCOMPARE(PointCalculate::calculateIntersection({0, 0}, {10, 10}, {7, 3}, {8, 8}), QPointF(8, 8));
    QCOMPARE(PointCalculate::calculateIntersection({0, 0}, {10, 10}, {1, 0.5}, {5, 4.5}), QPointF());
}

void TestPointCalculate::steepestSegmentFirstOfEqualSteps()
{
    load({{0, 0}, {1, 0}, {2, 2}, {3, 2}, {4, 4}, {5, 10}});
    setRegion(QPointF(0, 0), QPointF(9, 0), QPointF(4, 4));
    QCOMPARE(PointCalculate::findSteepestSegment(0), PointCalculate::Segment(1, 0, 2, 2));
    load({{0, 0}});
    QCOMPARE(PointCalculate::findSteepestSegment(1), PointCalculate::Segment(0, 0, 0, 0));
}

// Start 0, peak 2, end 4. Before the peak the walk stops at the peak's own
// sample, so the step 6 from it is left out; after it, that step is not a
// candidate either, and the walk stops at the end's sample before the step 20.
void TestPointCalculate::steepestSegmentFlankBounds()
{
    load({{0, 0}, {1, 1}, {2, 5}, {3, -1}, {4, 0}, {5, -20}});
    setRegion(QPointF(0, 0), QPointF(4, 0), QPointF(2, 5));
    QCOMPARE(PointCalculate::findSteepestSegmentBeforePeak(), PointCalculate::Segment(1, 1, 2, 5));
    QCOMPARE(PointCalculate::findSteepestSegmentAfterPeak(), PointCalculate::Segment(3, -1, 4, 0));
}

void TestPointCalculate::plateauEnds_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<float>("onsetTime");
    QTest::addColumn<float>("endsetTime");
    // Max 10: 9.95, 10, 9.99 and 9.96 lie within 1 %; the range bounds are strict.
    QTest::newRow("flat top") << Points{{0, 9.99}, {1, 0}, {2, 5}, {3, 9.95}, {4, 10}, {5, 9.99}, {6, 9.96}, {7, 3},
                                        {8, 10}}
                              << 7.0f << 4.0f;
    QTest::newRow("negative throughout") << Points{{1, -1}, {2, -0.5}, {3, -2}} << 0.0f << 0.0f;
    QTest::newRow("empty range") << Points{{0, 1}, {9, 1}} << 0.0f << 0.0f;
}

void TestPointCalculate::plateauEnds()
{
    QFETCH(Points, points);
    QFETCH(float, onsetTime);
    QFETCH(float, endsetTime);
    load(points);
    QCOMPARE(PointCalculate::getLastDataNearMaxValue(0.0, 8.0).runTime, onsetTime);
    QCOMPARE(PointCalculate::getFirstDataNearMaxValue(0.0, 8.0).runTime, endsetTime);
}

void TestPointCalculate::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QPointF p(100, -0.5);
    QTest::newRow("numerical") << PointCalculate::formatNumericalLabelText(p)
                               << QString::fromUtf8("数值：\n100.000℃,-0.500");
    QTest::newRow("numerical, time") << PointCalculate::formatNumericalLabelTextOfTime(p)
                                     << QString::fromUtf8("数值：\n100.000 min,-0.500");
    QTest::newRow("start") << PointCalculate::formatStartPointText(p) << QString::fromUtf8("外推起始点：\n100.000℃");
    QTest::newRow("start, time") << PointCalculate::formatStartPointTextOfTime(p)
                                 << QString::fromUtf8("外推起始点：\n100.000 min");
    QTest::newRow("stop") << PointCalculate::formatStopPointText(QPointF(1.23449, 0))
                          << QString::fromUtf8("外推终止点：\n1.234℃");
    QTest::newRow("stop, time") << PointCalculate::formatStopPointTextOfTime(p)
                                << QString::fromUtf8("外推终止点：\n100.000 min");
    QTest::newRow("peak") << PointCalculate::formatPeakSynthesisAnalysisText(12.3456f, 150, 140.5f, 160.25f)
                          << QString::fromUtf8("峰的综合信息：\n焓值：12.346 J/g \n峰值：150.000℃ \n起始点：140.500℃ "
                                               "\n终止点：160.250℃");
    QTest::newRow("peak, time") << PointCalculate::formatPeakSynthesisAnalysisTextOfTime(12.3456f, 150, 140.5f,
                                                                                         160.25f)
                                << QString::fromUtf8("峰的综合信息：\n焓值：12.3456 J/g \n峰值：150.000min "
                                                     "\n起始点：140.500min \n终止点：160.250min");
    QTest::newRow("glass") << PointCalculate::formatGlassTransitionText(60, 65.5f, 71.25f)
                           << QString::fromUtf8("T1：60.000℃\nTg：65.500℃\nT2：71.250℃");
    QTest::newRow("glass, time") << PointCalculate::formatGlassTransitionTextOfTime(6, 6.5f, 7.125f)
                                 << QString::fromUtf8("T1：6.000 min\nTg：6.500 min\nT2：7.125 min");
}

void TestPointCalculate::texts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void TestPointCalculate::nearbyPoints_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<float>("target");
    QTest::addColumn<QVector<double>>("xs");
    QTest::newRow("nearest is third in reach")
        << Points{{50, 0}, {100, 1}, {102, 2}, {104, 3}, {106, 4}, {108, 5}} << 104.0f
        << QVector<double>{100, 102, 104};
    QTest::newRow("nothing in reach") << Points{{0, 0}, {50, 1}} << 25.0f << QVector<double>{};
    Points ramp;
    for (int i = 0; i <= 20; ++i)
        ramp.append(QPointF(i, i));
    QTest::newRow("last ten up to the nearest") << ramp << 15.0f
                                                << QVector<double>{6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
}

void TestPointCalculate::nearbyPoints()
{
    QFETCH(Points, points);
    QFETCH(float, target);
    QFETCH(QVector<double>, xs);
    load(points);
    QVector<double> got;
    for (const QPointF& p : PointCalculate::getNearbyPoints(target))
        got.append(p.x());
    QCOMPARE(got, xs);
}

void TestPointCalculate::ranges()
{
    QCOMPARE(PointCalculate::getRangeWithMargin(10, 20), qMakePair(8.0f, 22.0f));

    // An empty curve reports the start values; widening them saturates.
    const auto empty = PointCalculate::getMinAndMaxOfTemperature();
    QCOMPARE(empty, qMakePair(FloatMax, FloatMinNormal));
    const auto widened = PointCalculate::getRangeWithMargin(empty.first, empty.second);
    QCOMPARE(widened.first, FloatMax);
    QCOMPARE(widened.second, static_cast<float>(-0.2 * static_cast<double>(FloatMax)));
    QCOMPARE(PointCalculate::getDSCRange(), qMakePair(0.0f, 0.0f));

    load({{10, -3}, {20, -1}, {15, -2}});
    QCOMPARE(PointCalculate::getMinAndMaxOfDSC(), qMakePair(-3.0f, FloatMinNormal));
    QCOMPARE(PointCalculate::getDSCRange(), qMakePair(-3.0f, -1.0f));
    QCOMPARE(PointCalculate::getMinAndMaxOfTemperature(), qMakePair(10.0f, 20.0f));
    QCOMPARE(PointCalculate::getMinAndMaxOfTime(), qMakePair(1.0f, 3.0f));
    QCOMPARE(PointCalculate::getPointsInRange(10, 20), (Points{{15, -2}}));
    // The walk stops at 20, so 15 is not reached although it lies in range.
    QCOMPARE(PointCalculate::getDataInRange(5, 16).size(), 1);
}

using Tangents = QMap<double, QPair<double, double>>;

void TestPointCalculate::inflections_data()
{
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("y");
    QTest::addColumn<QVector<double>>("points");
    QTest::addColumn<Tangents>("tangents"); // x: (slope, intercept)
    // Slopes 0, 1, 0, 1: the middle change opposes both sides. Central
    // difference at index 2: (1 - 0) / (3 - 1) = 0.5, through (2, 1).
    QTest::newRow("five values") << QVector<double>{0, 1, 2, 3, 4} << QVector<double>{0, 0, 1, 1, 2}
                                 << QVector<double>{2} << Tangents{{2.0, {0.5, 0.0}}};
    QTest::newRow("four values") << QVector<double>{0, 1, 2, 3} << QVector<double>{0, 0, 1, 1} << QVector<double>{}
                                 << Tangents{};
    QTest::newRow("smooth parabola") << QVector<double>{0, 1, 2, 3, 4, 5} << QVector<double>{0, 1, 4, 9, 16, 25}
                                     << QVector<double>{} << Tangents{};
    // The first sample shares the inflection's x; the tangent is still taken
    // at index 2: (0.5 - 0) / (2 - 1) = 0.5, through (1.5, 0.5).
    QTest::newRow("x repeated before") << QVector<double>{1.5, 1, 1.5, 2, 2.5} << QVector<double>{0, 0, 0.5, 0.5, 1}
                                       << QVector<double>{1.5} << Tangents{{1.5, {0.5, -0.25}}};
    QTest::newRow("zero x step around it") << QVector<double>{0, 1, 2, 1, 2} << QVector<double>{0, 0, 1, 1, 2}
                                           << QVector<double>{2} << Tangents{};
}

void TestPointCalculate::inflections()
{
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, y);
    QFETCH(QVector<double>, points);
    QFETCH(Tangents, tangents);
    QCOMPARE(PointCalculate::findInflectionPoints(x, y), points);
    QCOMPARE(PointCalculate::getInflectionPointTangents(x, y), tangents);
}

void TestPointCalculate::lineHelpers()
{
    QCOMPARE(PointCalculate::getLineCoefficients({0, 1}, {2, 5}), qMakePair(-2.0, 1.0));
    // Given as (slope, intercept): y = 2x + 1 and y = -x + 7 meet at (2, 5).
    QCOMPARE(PointCalculate::getLineCoefficients({2, 1}, {-1, 7}), qMakePair(2.0, 5.0));
    QCOMPARE(PointCalculate::calculateSlope(1, 2, 3, 8), 3.0);
    QCOMPARE(PointCalculate::movingAverage({1, 2, 3, 4, 5, 6}, 5), (std::vector<float>{3, 4}));
    QCOMPARE(PointCalculate::movingAverageOfPoints({{0, 1}, {1, 2}, {2, 6}}, 2),
             (Points{{0, 1.5}, {1, 3}, {2, 4}}));

    load({{0, 0}, {10, 1}, {20, 2}});
    QCOMPARE(PointCalculate::getTimeSpanByTemperatureSpan(5, 15), qMakePair(0.0f, 1.0f));
}

// Temperatures 10, 20, 30, 40, 50, 15, 5, 32.5 averaged five at a time: 30,
// 31, 28, 28.5, steps +1, -3, +0.5. The steepest is -3, ending at 28, nearest
// to the sample (30, 1): intercept 1 + 3 * 30 = 91.
void TestPointCalculate::maxSlopeTangentComparesMagnitudes()
{
    load({{10, 0}, {20, 0}, {30, 1}, {40, 0}, {50, 0}, {15, 0}, {5, 0}, {32.5, 0}});
    QCOMPARE(PointCalculate::getMaxSlopeTangent(0, 100), qMakePair(-3.0f, 91.0f));
}

QTEST_APPLESS_MAIN(TestPointCalculate)
#include "tst_pointcalculate.moc"
