#include "numerichelpers.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <stdexcept>

class TestNumericHelpers : public QObject
{
    Q_OBJECT

private slots:
    void quadraticFit_data();
    void quadraticFit();
    void quadraticFitRejectsFewerThanThreePoints();
    void quadraticFitOfOneXIsNotFinite();
    void solveLinearInRange_data();
    void solveLinearInRange();
};

void TestNumericHelpers::quadraticFit_data()
{
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("y");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("c");
    // x^2 + x + 1 through three points, by hand.
    QTest::newRow("exact parabola") << QVector<double>{0, 1, 2} << QVector<double>{1, 3, 7} << 1.0 << 1.0 << 1.0;
    QTest::newRow("straight line") << QVector<double>{100, 150, 200, 250} << QVector<double>{1.3, 1.55, 1.8, 2.05}
                                   << 0.0 << 0.005 << 0.8;
    // Symmetric residuals +-1 around 2x^2: the least-squares curve is 2x^2 itself.
    QTest::newRow("least squares") << QVector<double>{-1, 0, 0, 1} << QVector<double>{2, 1, -1, 2} << 2.0 << 0.0
                                   << 0.0;
    // -1.5x^2 + 2.5x + 2 through four points; Sx4 leads both pivot columns.
    QTest::newRow("four points, no swap") << QVector<double>{-3, 1, 2, 5} << QVector<double>{-19, 3, 1, -23} << -1.5
                                          << 2.5 << 2.0;
    // 2x^2 - 3x + 1 at x below 1: Sx2 = 0.3 outweighs Sx4 = 0.0354, so the
    // first pivot swaps the rows of x^2 and 1, right-hand side included.
    QTest::newRow("small x, rows swapped") << QVector<double>{0.1, 0.2, 0.3, 0.4}
                                           << QVector<double>{0.72, 0.48, 0.28, 0.12} << 2.0 << -3.0 << 1.0;
}

void TestNumericHelpers::quadraticFit()
{
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, y);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, c);
    double coefficients[3] = {};
    Global::quadraticFit(x.constData(), y.constData(), x.size(), coefficients);
    QVERIFY2(std::fabs(coefficients[0] - a) < 1e-9, qPrintable(QString::number(coefficients[0], 'g', 17)));
    QVERIFY2(std::fabs(coefficients[1] - b) < 1e-9, qPrintable(QString::number(coefficients[1], 'g', 17)));
    QVERIFY2(std::fabs(coefficients[2] - c) < 1e-9, qPrintable(QString::number(coefficients[2], 'g', 17)));
}

void TestNumericHelpers::quadraticFitRejectsFewerThanThreePoints()
{
    const double x[2] = {1, 2};
    const double y[2] = {3, 4};
    double coefficients[3] = {7, 7, 7};
    try {
        Global::quadraticFit(x, y, 2, coefficients);
        QFAIL("no exception");
    } catch (const std::invalid_argument& e) {
        QCOMPARE(QString(e.what()), QString("At least 3 data points are required for quadratic fitting"));
    }
    QCOMPARE(coefficients[0], 7.0);
}

void TestNumericHelpers::quadraticFitOfOneXIsNotFinite()
{
    const double x[3] = {5, 5, 5};
    const double y[3] = {1, 2, 3};
    double coefficients[3] = {};
    Global::quadraticFit(x, y, 3, coefficients);
    QVERIFY(!std::isfinite(coefficients[0]) || !std::isfinite(coefficients[1]) || !std::isfinite(coefficients[2]));
}

void TestNumericHelpers::solveLinearInRange_data()
{
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("expected");
    QTest::newRow("root inside") << 2.0 << -4.0 << 0.0 << 10.0 << 2.0;
    QTest::newRow("root below range, rising") << 2.0 << -4.0 << 3.0 << 10.0 << inf;
    QTest::newRow("root above range, rising") << 2.0 << -40.0 << 3.0 << 10.0 << 3.0;
    QTest::newRow("root above range, falling") << -2.0 << 40.0 << 3.0 << 10.0 << inf;
    QTest::newRow("root below range, falling") << -2.0 << 4.0 << 3.0 << 10.0 << 10.0;
    QTest::newRow("flat negative") << 0.0 << -1.0 << 0.0 << 10.0 << 0.0;
    QTest::newRow("flat zero") << 0.0 << 0.0 << 0.0 << 10.0 << inf;
}

void TestNumericHelpers::solveLinearInRange()
{
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(double, expected);
    QCOMPARE(Global::solveLinearInRange(a, b, lo, hi), expected);
}

QTEST_APPLESS_MAIN(TestNumericHelpers)
#include "tst_numerichelpers.moc"
