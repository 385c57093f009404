#include "lowess.h"
#include "lowessreference.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>

using Vec = std::vector<double>;
Q_DECLARE_METATYPE(Vec)

namespace {

enum class Shape
{
    Sorted,
    Unsorted,
    Repeated
};

// A DSC-like stage: a drifting baseline with a peak and noise, x in kelvin-ish
// magnitudes so that the fit's sums see realistic cancellation.
void makeCurve(Shape shape, std::size_t n, unsigned seed, Vec& x, Vec& y)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-0.05, 0.05);
    x.resize(n);
    y.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        double t = 30.0 + 300.0 * static_cast<double>(i) / static_cast<double>(n);
        if (shape == Shape::Repeated)
            t = 30.0 + std::floor(static_cast<double>(i) / 4.0) * 0.5;
        else
            t += noise(rng) * 0.1;
        x[i] = t;
        y[i] = 0.002 * t + 3.0 * std::exp(-std::pow((t - 160.0) / 8.0, 2.0)) + noise(rng);
    }
    if (shape != Shape::Sorted)
        std::shuffle(x.begin(), x.end(), rng);
}

} // namespace

class TestLowess : public QObject
{
    Q_OBJECT

private slots:
    void rejectsInputInOrder_data();
    void rejectsInputInOrder();
    void tricube_data();
    void tricube();
    void median_data();
    void median();
    void bandwidths_data();
    void bandwidths();
    void exactFitsComeBackUnchanged();
    void sharedXBeyondNeighbourCountIsItsMean();
    void allWeightsRejectedKeepsThePreviousFit();
    void matchesReference_data();
    void matchesReference();
    void threadsGiveBitIdenticalResult();
    void controlCountsFitsAndStops();
};

void TestLowess::rejectsInputInOrder_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("iterations");
    QTest::addColumn<Vec>("x");
    QTest::addColumn<Vec>("y");
    QTest::addColumn<QString>("error");
    const Vec two{1, 2};
    QTest::newRow("factor 0") << 0.0 << 3 << two << two << "Smoothing factor must be between 0 and 1";
    QTest::newRow("factor above 1") << 1.0000001 << 3 << two << two << "Smoothing factor must be between 0 and 1";
    QTest::newRow("factor NaN") << std::nan("") << 3 << two << two << "Smoothing factor must be between 0 and 1";
    QTest::newRow("factor before sizes") << -1.0 << 3 << two << Vec{1} << "Smoothing factor must be between 0 and 1";
    QTest::newRow("iterations 0") << 0.5 << 0 << two << two << "Robustness iterations must be at least 1";
    QTest::newRow("iterations before sizes") << 0.5 << 0 << Vec{} << two << "Robustness iterations must be at least 1";
    QTest::newRow("sizes differ") << 0.5 << 3 << two << Vec{1, 2, 3} << "x and y must have the same size";
    QTest::newRow("one point") << 0.5 << 3 << Vec{1} << Vec{1} << "At least 2 data points required";
    QTest::newRow("no point") << 1.0 << 1 << Vec{} << Vec{} << "At least 2 data points required";
}

void TestLowess::rejectsInputInOrder()
{
    QFETCH(double, factor);
    QFETCH(int, iterations);
    QFETCH(Vec, x);
    QFETCH(Vec, y);
    QFETCH(QString, error);
    try {
        lowess(x, y, {factor, iterations});
        QFAIL("no exception");
    } catch (const std::invalid_argument& e) {
        QCOMPARE(QString::fromUtf8(e.what()), error);
    }
}

void TestLowess::tricube_data()
{
    QTest::addColumn<double>("u");
    QTest::addColumn<double>("expected");
    QTest::newRow("centre") << 0.0 << 1.0;
    QTest::newRow("half") << 0.5 << 0.669921875; // (1 - 1/8)^3
    QTest::newRow("edge") << 1.0 << 0.0;
    QTest::newRow("outside") << 1.5 << 0.0;
    QTest::newRow("negative") << -0.1 << 0.0;
    QTest::newRow("NaN") << std::nan("") << 0.0;
}

void TestLowess::tricube()
{
    QFETCH(double, u);
    QFETCH(double, expected);
    QCOMPARE(::tricube(u), expected);
}

void TestLowess::median_data()
{
    QTest::addColumn<Vec>("values");
    QTest::addColumn<double>("expected");
    QTest::newRow("odd, of absolute values") << Vec{-3, 1, 2} << 2.0;
    QTest::newRow("even takes the upper middle") << Vec{-4, 1, 2, 3} << 3.0;
    QTest::newRow("empty") << Vec{} << 0.0;
}

void TestLowess::median()
{
    QFETCH(Vec, values);
    QFETCH(double, expected);
    QCOMPARE(::median(values), expected);
}

void TestLowess::bandwidths_data()
{
    QTest::addColumn<Vec>("x");
    QTest::addColumn<double>("factor");
    QTest::addColumn<Vec>("expected");
    const Vec ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    // k = 4: 3 * 0.1 * 10 lies just above 3. The point at 0 sees distances
    // 0..9, the point at 5 sees 0,1,1,2,2,...; index 4 of each.
    QTest::newRow("level 3 on 10 points, k 4") << ten << 3 * 0.1 << Vec{4, 3, 2, 2, 2, 2, 2, 2, 3, 4};
    QTest::newRow("level 6 on 10 points, k 7") << ten << 6 * 0.1 << Vec{7, 6, 5, 4, 4, 4, 4, 5, 6, 7};
    QTest::newRow("level 10 limited to n - 1") << ten << 10 * 0.1 << Vec{9, 8, 7, 6, 5, 5, 6, 7, 8, 9};
    QTest::newRow("unsorted, same per point") << Vec{9, 0, 5, 3, 1, 8, 2, 7, 4, 6} << 3 * 0.1
                                              << Vec{4, 4, 2, 2, 3, 3, 2, 2, 2, 2};
    QTest::newRow("shared x beyond k") << Vec{1, 1, 1, 1, 2} << 0.4 << Vec{0, 0, 0, 0, 1};
}

void TestLowess::bandwidths()
{
    QFETCH(Vec, x);
    QFETCH(double, factor);
    QFETCH(Vec, expected);
    QCOMPARE(computeBandwidths(x, factor), expected);
}

// Two points, and a straight line at every level, come back unchanged.
void TestLowess::exactFitsComeBackUnchanged()
{
    QCOMPARE(lowess({10, 20}, {3.5, -1.25}, {0.5, 3}), (Vec{3.5, -1.25}));
    Vec x, y;
    for (int i = 0; i < 60; ++i) {
        x.push_back(40.0 + 2.5 * i);
        y.push_back(0.75 * x.back() - 12.0);
    }
    for (int level = 1; level <= 10; ++level) {
        const Vec fit = lowess(x, y, {level * 0.1, 3});
        for (std::size_t i = 0; i < x.size(); ++i)
            QVERIFY2(std::fabs(fit[i] - y[i]) < 1e-9, qPrintable(QString("level %1 point %2").arg(level).arg(i)));
    }
}

// Four points share x = 1 with k = 2: their bandwidth is 0, so they are fitted
// by the weighted mean of their own signals, not 0/0.
void TestLowess::sharedXBeyondNeighbourCountIsItsMean()
{
    const Vec x{1, 0, 1, 1, 1, 2};
    const Vec y{2, 5, 4, 6, 8, -3};
    const Vec fit = lowess(x, y, {0.3, 1});
    for (std::size_t i : {0, 2, 3, 4})
        QCOMPARE(fit[i], 5.0);
    for (double v : lowess(x, y, {0.3, 3}))
        QVERIFY(std::isfinite(v));
}

// The literal form costs n^2 pow() pairs per pass: the large curves run one
// level each (the sorted one at level 10, whose windows span the whole curve),
// so the whole table stays under two seconds.
// x = 0..19, factor 0.2: k = 4, so inner points see their two neighbours with
// tricube(1/2) = 0.669921875 and the next ones at u = 1. A step of two samples
// (y10 = y11 = 1000) leaves non-zero residuals at 9..12 only; their median is 0,
// the scale 6, and the robust pass rejects all four. Points 10 and 11 then have
// no weight left and keep the first pass's value, the symmetric weighted mean
// (0.669921875 * 0 + 1000 + 0.669921875 * 1000) / 2.33984375 = 427500 / 599;
// points 9 and 12 fall back to their one remaining neighbour, 0.
void TestLowess::allWeightsRejectedKeepsThePreviousFit()
{
    Vec x, y(20, 0.0);
    for (int i = 0; i < 20; ++i)
        x.push_back(i);
    y[10] = y[11] = 1000.0;
    const Vec fit = lowess(x, y, {0.2, 2});
    Vec expected(20, 0.0);
    expected[10] = expected[11] = 427500.0 / 599.0;
    for (std::size_t i = 0; i < fit.size(); ++i)
        QVERIFY2(std::fabs(fit[i] - expected[i]) <= 1e-9 * 1000.0, qPrintable(QString("point %1: %2").arg(i).arg(fit[i])));
}

void TestLowess::matchesReference_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("n");
    QTest::addColumn<QVector<int>>("levels");
    QTest::addColumn<QVector<int>>("iterationCounts");
    const QVector<int> all{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const char* names[] = {"sorted", "unsorted", "repeated x"};
    const int largeLevel[] = {10, 3, 1};
    for (int shape = 0; shape < 3; ++shape) {
        for (int n : {7, 61})
            QTest::addRow("%s, n %d", names[shape], n) << shape << n << all << QVector<int>{1, 2, 3};
        QTest::addRow("%s, n 400", names[shape]) << shape << 400 << all << QVector<int>{1, 3};
        QTest::addRow("%s, n 2000", names[shape]) << shape << 2000 << QVector<int>{largeLevel[shape]}
                                                  << QVector<int>{3};
    }
}

// The windowed smoother against the full-sort, all-pairs form, to rounding.
void TestLowess::matchesReference()
{
    QFETCH(int, shape);
    QFETCH(int, n);
    QFETCH(QVector<int>, levels);
    QFETCH(QVector<int>, iterationCounts);
    Vec x, y;
    makeCurve(static_cast<Shape>(shape), static_cast<std::size_t>(n), 1234u + static_cast<unsigned>(n), x, y);
    const double scale = std::fabs(*std::max_element(y.begin(), y.end(), [](double a, double b) {
        return std::fabs(a) < std::fabs(b);
    }));
    for (int level : levels) {
        for (int iterations : iterationCounts) {
            const LowessParams params{level * 0.1, iterations};
            const Vec fast = lowess(x, y, params);
            const Vec slow = LowessReference::lowess(x, y, params);
            for (std::size_t i = 0; i < x.size(); ++i) {
                const double tolerance = 1e-9 * std::max(std::fabs(slow[i]), scale);
                if (!(std::fabs(fast[i] - slow[i]) <= tolerance))
                    QFAIL(qPrintable(QString("level %1, %2 iterations, point %3: %4 vs %5")
                                         .arg(level).arg(iterations).arg(i)
                                         .arg(fast[i], 0, 'g', 17).arg(slow[i], 0, 'g', 17)));
            }
        }
    }
}

void TestLowess::threadsGiveBitIdenticalResult()
{
    Vec x, y;
    makeCurve(Shape::Unsorted, 12000, 99u, x, y);
    setLowessThreadLimit(1);
    const Vec serial = lowess(x, y, {0.2, 3});
    setLowessThreadLimit(4);
    const Vec parallel = lowess(x, y, {0.2, 3});
    setLowessThreadLimit(0);
    QCOMPARE(parallel.size(), serial.size());
    QVERIFY(std::memcmp(parallel.data(), serial.data(), serial.size() * sizeof(double)) == 0);
}

// A control changes nothing in the result; a run counts one fit per point and
// pass, and a cancelled run ends with LowessCancelled instead of a result.
void TestLowess::controlCountsFitsAndStops()
{
    Vec x, y;
    makeCurve(Shape::Unsorted, 12000, 99u, x, y);
    const Vec plain = lowess(x, y, {0.2, 3});
    LowessControl control;
    const Vec followed = lowess(x, y, {0.2, 3}, &control);
    QVERIFY(std::memcmp(followed.data(), plain.data(), plain.size() * sizeof(double)) == 0);
    QCOMPARE(control.fitted.load(), std::size_t(3 * 12000));

    LowessControl cancelled;
    cancelled.cancelled = true;
    QVERIFY_EXCEPTION_THROWN(lowess(x, y, {0.2, 3}, &cancelled), LowessCancelled);
    QCOMPARE(cancelled.fitted.load(), std::size_t(0));
}

QTEST_APPLESS_MAIN(TestLowess)
#include "tst_lowess.moc"
