#include "pointcalculate.h"

#include "numerichelpers.h"
#include "sampleorder.h"

#include <easylogging++.h>

#include <QVariant>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>

QVector<Global::ExperimentData> PointCalculate::dataVtr;
QPointF PointCalculate::startPoint;
QPointF PointCalculate::endPoint;
QPointF PointCalculate::peakPoint;
float PointCalculate::_lastAreaCoefficient = std::numeric_limits<float>::quiet_NaN();

namespace {

constexpr float LargestFloat = std::numeric_limits<float>::max();
// Start of the running maxima: the smallest positive normal float, so that a
// quantity that is nowhere positive reports this value as its maximum.
constexpr float SmallestNormalFloat = std::numeric_limits<float>::min();
// The calorimeter's fixed conversion from the integrated signal to joules.
constexpr double AreaToEnergyFactor = 8.177;
// Samples within this share of the range's extreme count as its plateau.
constexpr double PlateauTolerance = 0.01;
constexpr float NearbyDistance = 10.0f;
constexpr int NearbyCount = 10;
constexpr int MaxSlopeWindow = 5;

using Global::toFloat;

QPointF pointOf(const Global::ExperimentData& d)
{
    return QPointF(d.temperature, d.dsc);
}

// A value that could not be found (NaN, or infinite) reads "--", as the
// real-time panel shows a value it does not have.
QString number(double value, int decimals = 3)
{
    if (!std::isfinite(value))
        return QStringLiteral("--");
    return QString::number(value, 'f', decimals);
}

// A line A*x + B*y = D through two points, coefficients narrowed to float.
struct FloatLine
{
    float a;
    float b;
    float d;
};

FloatLine lineThrough(double x1, double y1, double x2, double y2)
{
    const float a = toFloat(y2 - y1);
    const float b = toFloat(x1 - x2);
    const float d = toFloat(static_cast<double>(a) * x1 + static_cast<double>(b) * y1);
    return {a, b, d};
}

// Cramer's rule in float; parallel lines (det 0) give the zero point.
QPointF intersect(const FloatLine& l0, const FloatLine& l1)
{
    const float det = l0.a * l1.b - l0.b * l1.a;
    if (det == 0.0f)
        return QPointF();
    const float x = (l1.b * l0.d - l0.b * l1.d) / det;
    const float y = (l0.a * l1.d - l1.a * l0.d) / det;
    return QPointF(x, y);
}

std::vector<int> everySample(int count)
{
    std::vector<int> all(static_cast<size_t>(count));
    std::iota(all.begin(), all.end(), 0);
    return all;
}

// The temperature order of the samples it was made from. Holding them keeps
// their buffer from being changed in place or freed and used again, so the
// same buffer in dataVtr means the same samples.
struct CurveOrder
{
    QVector<Global::ExperimentData> data;
    std::unique_ptr<SampleOrder> order;
};

} // namespace

// Many analyses are run on one curve in turn (a workbook's stored ones, each
// loaded anew): the order is made once per curve. The last two curves keep
// theirs, as a peak's area on the run time is taken on the samples of its
// region alone before the curve comes back. A curve with a temperature that
// is not finite has none; NaN and infinity compare in ways no order stands
// for, and the routines then look at every sample.
const SampleOrder* PointCalculate::temperatureOrder()
{
    static std::array<CurveOrder, 2> cached;
    const auto fits = [](const CurveOrder& kept) {
        return kept.order && kept.data.constData() == dataVtr.constData() && kept.data.size() == dataVtr.size();
    };
    if (!fits(cached[0])) {
        std::swap(cached[0], cached[1]);
        if (!fits(cached[0])) {
            cached[0].data = dataVtr;
            cached[0].order.reset(new SampleOrder(cached[0].data, &Global::ExperimentData::temperature));
        }
    }
    return cached[0].order->allFinite() ? cached[0].order.get() : nullptr;
}

int PointCalculate::countBetween(double lo, double hi)
{
    if (const SampleOrder* order = temperatureOrder())
        return order->countBetween(lo, hi);
    int count = 0;
    for (const Global::ExperimentData& d : qAsConst(dataVtr)) {
        if (lo <= d.temperature && d.temperature <= hi)
            ++count;
    }
    return count;
}

// Samples with a temperature between lo and hi (each end included or not),
// in sample order: those of the order when there is one, else all, for the
// caller to test.
std::vector<int> PointCalculate::candidatesBetween(double lo, bool loIncluded, double hi, bool hiIncluded)
{
    if (const SampleOrder* order = temperatureOrder())
        return order->between(lo, loIncluded, hi, hiIncluded);
    return everySample(dataVtr.size());
}

void PointCalculate::setExperimentData(const QVector<Global::ExperimentData>& data)
{
    dataVtr = data;
    if (data.isEmpty())
        return;
    startPoint = pointOf(data.first());
    endPoint = pointOf(data.last());
}

QPointF PointCalculate::getClosestPointByX(float x)
{
    if (dataVtr.isEmpty() || x < dataVtr.constFirst().temperature || x > dataVtr.constLast().temperature)
        return QPointF();
    if (const SampleOrder* order = temperatureOrder()) {
        const int nearest = order->nearest(
            x, [x](float t) { return double(std::fabs(t - x)); }, LargestFloat);
        return nearest < 0 ? QPointF() : pointOf(dataVtr.at(nearest));
    }
    float best = LargestFloat;
    QPointF result;
    for (const Global::ExperimentData& d : qAsConst(dataVtr)) {
        const float distance = std::fabs(d.temperature - x);
        if (distance < best) {
            best = distance;
            result = pointOf(d);
        }
    }
    return result;
}

Global::ExperimentData PointCalculate::getClosestDataByX(float x)
{
    if (const SampleOrder* order = temperatureOrder()) {
        const int nearest = order->nearest(
            x, [x](float t) { return double(std::fabs(t - x)); }, std::numeric_limits<double>::infinity());
        return nearest < 0 ? Global::ExperimentData() : dataVtr.at(nearest);
    }
    float best = std::numeric_limits<float>::infinity();
    Global::ExperimentData result;
    for (const Global::ExperimentData& d : qAsConst(dataVtr)) {
        const float distance = std::fabs(d.temperature - x);
        if (distance < best) {
            best = distance;
            result = d;
        }
    }
    return result;
}

double PointCalculate::getTimeByTemperature(double x)
{
    if (const SampleOrder* order = temperatureOrder()) {
        const int nearest = order->nearest(
            x, [x](float t) { return std::fabs(static_cast<double>(t) - x); }, LargestFloat);
        return nearest < 0 ? 0.0 : dataVtr.at(nearest).runTime;
    }
    double best = LargestFloat;
    double time = 0.0;
    for (const Global::ExperimentData& d : qAsConst(dataVtr)) {
        const double distance = std::fabs(static_cast<double>(d.temperature) - x);
        if (distance < best) {
            best = distance;
            time = d.runTime;
        }
    }
    return time;
}

QPointF PointCalculate::getPeakPoint()
{
    if (dataVtr.size() < 3)
        return QPointF();
    float best = -std::numeric_limits<float>::infinity();
    QPointF peak;
    const SampleOrder* order = temperatureOrder();
    const int first = order ? order->firstAtLeast(startPoint.x()) : 0;
    for (int i = first; i < dataVtr.size(); ++i) {
        const Global::ExperimentData& d = dataVtr.at(i);
        if (d.temperature < startPoint.x())
            continue;
        if (d.temperature > endPoint.x())
            break;
        const double y = d.dsc;
        const float toEnd = toFloat(std::fabs(y - endPoint.y()));
        const float toStart = toFloat(std::fabs(y - startPoint.y()));
        const float deviation = std::max(toEnd, toStart);
        if (deviation > best) {
            best = deviation;
            peak = pointOf(d);
        }
    }
    peakPoint = peak;
    LOG(DEBUG) << "peakPoint:" << peak.x() << peak.y();
    return peak;
}

void PointCalculate::setRegionPointX(float left, float right)
{
    LOG(DEBUG) << "dataVtr size:" << dataVtr.size();
    LOG(DEBUG) << "select point param left,right:" << left << "," << right;
    startPoint = getClosestPointByX(left);
    endPoint = getClosestPointByX(right);
    peakPoint = getPeakPoint();
    LOG(DEBUG) << "peak point:" << peakPoint.x() << "," << peakPoint.y();
    adjustRegionPoints();
    LOG(DEBUG) << "select point left:" << startPoint.x() << "," << startPoint.y();
    LOG(DEBUG) << "select point right:" << endPoint.x() << "," << endPoint.y();
}

// Moves the start to the lowest sample between it and the peak (the highest
// when the peak lies below the start) and the end likewise after the peak, so
// that the baseline touches the curve instead of cutting through it.
void PointCalculate::adjustRegionPoints()
{
    QPointF s = startPoint;
    QPointF e = endPoint;
    const QPointF p = peakPoint;
    // The start only moves right and the end only left, so no sample outside
    // the three points can ever be taken.
    const double lo = std::min({s.x(), p.x(), e.x()});
    const double hi = std::max({s.x(), p.x(), e.x()});
    for (const int i : candidatesBetween(lo, false, hi, false)) {
        const Global::ExperimentData& d = dataVtr.at(i);
        const double x = d.temperature;
        const double y = d.dsc;
        if (s.x() < x && x < p.x()) {
            if (p.y() > s.y() ? y < s.y() : y > s.y())
                s = QPointF(x, y);
        }
        if (p.x() < x && x < e.x()) {
            if (p.y() > s.y() ? y < e.y() : y > e.y())
                e = QPointF(x, y);
        }
    }
    // Stored unconditionally: QPointF's != is fuzzy and would keep the old
    // point when the new one lies within 1e-12 of it near zero.
    startPoint = s;
    endPoint = e;
}

QVector<QPointF> PointCalculate::getPointsInRegion()
{
    QVector<QPointF> points;
    for (const int i : candidatesBetween(startPoint.x(), true, endPoint.x(), true)) {
        const Global::ExperimentData& d = dataVtr.at(i);
        if (startPoint.x() <= d.temperature && d.temperature <= endPoint.x())
            points.append(pointOf(d));
    }
    return points;
}

float PointCalculate::calculateArea()
{
    const QVector<QPointF> points = getPointsInRegion();
    LOG(DEBUG) << "points size:" << points.size();
    if (points.size() < 2)
        return 0.0f;
    const double xs = startPoint.x(), ys = startPoint.y();
    const double xe = endPoint.x(), ye = endPoint.y();
    if (xs == xe) {
        // A baseline through two samples at one temperature has no slope; the
        // region has no width, so it encloses no area.
        LOG(DEBUG) << "region start and end share the temperature " << xs << ", area 0";
        return 0.0f;
    }
    const float m = toFloat((ys - ye) / (xs - xe));
    const float b = toFloat(ys - static_cast<double>(m) * xs);

    float sum = 0.0f;
    for (int i = 0; i + 1 < points.size(); ++i) {
        const float x0 = toFloat(points[i].x()), y0 = toFloat(points[i].y());
        const float x1 = toFloat(points[i + 1].x()), y1 = toFloat(points[i + 1].y());
        const float term = ((y1 - (m * x1 + b)) + (y0 - (m * x0 + b))) * (x1 - x0) * 0.5f;
        sum += std::fabs(term);
    }

    const float k = coefficientAt(toFloat(xs));
    _lastAreaCoefficient = k;
    const float area = toFloat(static_cast<double>(sum * k) * AreaToEnergyFactor);
    LOG(DEBUG) << "area:" << area;
    return area;
}

float PointCalculate::lastAreaCoefficient()
{
    return _lastAreaCoefficient;
}

float PointCalculate::coefficientAt(float x)
{
    float k = Global::_configMap.value(Global::InstrumentCoefficientKey).toFloat();
    LOG(DEBUG) << "coefficient:" << k;
    if (Global::_enthalpyCoefficientEnableFlag) {
        LOG(DEBUG) << "_enthalpyCoefficientEnableFlag...";
        const float a = toFloat(Global::_enthalpyCoefficientVtr.value(0));
        const float b = toFloat(Global::_enthalpyCoefficientVtr.value(1));
        const float c = toFloat(Global::_enthalpyCoefficientVtr.value(2));
        LOG(DEBUG) << "a,b,c:" << a << "," << b << "," << c;
        k = a * x * x + b * x + c;
        LOG(DEBUG) << "coefficient:" << k;
    }
    return k;
}

// The pair of neighbouring samples with the largest signal step on one flank:
// side 0 between the start and the peak, side 1 between the peak and the end.
PointCalculate::Segment PointCalculate::findSteepestSegment(int side)
{
    Segment result(0.0, 0.0, 0.0, 0.0);
    if (dataVtr.size() < 2)
        return result;
    const double from = side == 0 ? startPoint.x() : peakPoint.x();
    const double to = side == 0 ? peakPoint.x() : endPoint.x();
    float best = SmallestNormalFloat;
    const SampleOrder* order = temperatureOrder();
    for (int i = order ? order->firstAbove(from) : 0; i + 1 < dataVtr.size(); ++i) {
        const Global::ExperimentData& a = dataVtr.at(i);
        const Global::ExperimentData& b = dataVtr.at(i + 1);
        if (a.temperature > from && a.temperature >= to)
            break;
        if (!(a.temperature > from))
            continue;
        const float step = std::fabs(a.dsc - b.dsc);
        if (step > best) {
            best = step;
            result = Segment(a.temperature, a.dsc, b.temperature, b.dsc);
        }
    }
    return result;
}

PointCalculate::Segment PointCalculate::findSteepestSegmentBeforePeak()
{
    return findSteepestSegment(0);
}

PointCalculate::Segment PointCalculate::findSteepestSegmentAfterPeak()
{
    return findSteepestSegment(1);
}

// The baseline's intersections with the lines through the steepest segment of
// each flank: (start x, start y, end x, end y).
PointCalculate::Segment PointCalculate::calculateStartAndEndPoint()
{
    const FloatLine base = lineThrough(startPoint.x(), startPoint.y(), endPoint.x(), endPoint.y());
    const auto [lx1, ly1, lx2, ly2] = findSteepestSegmentBeforePeak();
    const auto [rx1, ry1, rx2, ry2] = findSteepestSegmentAfterPeak();
    const QPointF start = intersect(base, lineThrough(lx1, ly1, lx2, ly2));
    const QPointF end = intersect(base, lineThrough(rx1, ry1, rx2, ry2));
    return Segment(start.x(), start.y(), end.x(), end.y());
}

QPair<Global::ExperimentData, Global::ExperimentData> PointCalculate::getStartAndEndData()
{
    const Segment points = calculateStartAndEndPoint();
    return qMakePair(getClosestDataByX(toFloat(std::get<0>(points))), getClosestDataByX(toFloat(std::get<2>(points))));
}

QVector<Global::ExperimentData> PointCalculate::getDataInRange(float x1, float x2)
{
    QVector<Global::ExperimentData> range;
    const SampleOrder* order = temperatureOrder();
    for (int i = order ? order->firstAbove(x1) : 0; i < dataVtr.size(); ++i) {
        const Global::ExperimentData& d = dataVtr.at(i);
        if (d.temperature > x2)
            break;
        if (x1 < d.temperature && d.temperature < x2)
            range.append(d);
    }
    return range;
}

Global::ExperimentData PointCalculate::getLastDataNearMaxValue(double x1, double x2)
{
    return findDataNearExtreme(x1, x2, true, false);
}

Global::ExperimentData PointCalculate::getFirstDataNearMaxValue(double x1, double x2)
{
    return findDataNearExtreme(x1, x2, false, false);
}

Global::ExperimentData PointCalculate::getLastDataNearMinValue(double x1, double x2)
{
    return findDataNearExtreme(x1, x2, true, true);
}

Global::ExperimentData PointCalculate::getFirstDataNearMinValue(double x1, double x2)
{
    return findDataNearExtreme(x1, x2, false, true);
}

// The sample nearest the end (or the start) of the range whose signal lies
// within 1 % of the range's maximum (or minimum): the end of the plateau on
// that side. The maximum's running value starts at the smallest positive
// float, so a range that is nowhere positive has no plateau above; the
// minimum's share is taken of its magnitude, since a peak below its chord
// lies mostly below 0.
Global::ExperimentData PointCalculate::findDataNearExtreme(double x1, double x2, bool fromEnd, bool minimum)
{
    const QVector<Global::ExperimentData> range = getDataInRange(toFloat(x1), toFloat(x2));
    float extremeSignal = minimum ? LargestFloat : SmallestNormalFloat;
    for (const Global::ExperimentData& d : range)
        extremeSignal = minimum ? std::min(extremeSignal, d.dsc) : std::max(extremeSignal, d.dsc);
    const double extreme = extremeSignal;
    const double tolerance = PlateauTolerance * (minimum ? std::fabs(extreme) : extreme);
    const int n = range.size();
    for (int k = 0; k < n; ++k) {
        const Global::ExperimentData& d = range.at(fromEnd ? n - 1 - k : k);
        if (std::fabs(d.dsc - extreme) < tolerance)
            return d;
    }
    return Global::ExperimentData();
}

// The peak is the sample farthest from the region's start or end level, on
// either side; the chord tells which side it lies on.
bool PointCalculate::peakPointsDown()
{
    const double xs = startPoint.x(), ys = startPoint.y();
    const double xe = endPoint.x(), ye = endPoint.y();
    if (xs == xe)
        return peakPoint.y() < ys;
    return peakPoint.y() < ys + (ye - ys) * (peakPoint.x() - xs) / (xe - xs);
}

QString PointCalculate::formatNumericalLabelText(const QPointF& point)
{
    return QString::fromUtf8("数值：\n%1℃,%2").arg(number(point.x())).arg(number(point.y()));
}

QString PointCalculate::formatStartPointText(const QPointF& point)
{
    return QString::fromUtf8("外推起始点：\n%1℃").arg(number(point.x()));
}

QString PointCalculate::formatStopPointText(const QPointF& point)
{
    return QString::fromUtf8("外推终止点：\n%1℃").arg(number(point.x()));
}

QString PointCalculate::formatPeakSynthesisAnalysisText(float enthalpy, float peak, float start, float end)
{
    return QString::fromUtf8("峰的综合信息：\n焓值：%1 J/g \n峰值：%2℃ \n起始点：%3℃ \n终止点：%4℃")
        .arg(number(enthalpy))
        .arg(number(peak))
        .arg(number(start))
        .arg(number(end));
}

QString PointCalculate::formatGlassTransitionText(float t1, float tg, float t2)
{
    return QString::fromUtf8("T1：%1℃\nTg：%2℃\nT2：%3℃").arg(number(t1)).arg(number(tg)).arg(number(t2));
}

QString PointCalculate::formatNumericalLabelTextOfTime(const QPointF& point)
{
    return QString::fromUtf8("数值：\n%1 min,%2").arg(number(point.x())).arg(number(point.y()));
}

QString PointCalculate::formatStartPointTextOfTime(const QPointF& point)
{
    return QString::fromUtf8("外推起始点：\n%1 min").arg(number(point.x()));
}

QString PointCalculate::formatStopPointTextOfTime(const QPointF& point)
{
    return QString::fromUtf8("外推终止点：\n%1 min").arg(number(point.x()));
}

// The enthalpy carries four decimals here: on the run-time form it is the one
// figure not read off the time axis.
QString PointCalculate::formatPeakSynthesisAnalysisTextOfTime(float enthalpy, float peak, float start, float end)
{
    return QString::fromUtf8("峰的综合信息：\n焓值：%1 J/g \n峰值：%2min \n起始点：%3min \n终止点：%4min")
        .arg(number(enthalpy, 4))
        .arg(number(peak))
        .arg(number(start))
        .arg(number(end));
}

QString PointCalculate::formatGlassTransitionTextOfTime(float t1, float tg, float t2)
{
    return QString::fromUtf8("T1：%1 min\nTg：%2 min\nT2：%3 min").arg(number(t1)).arg(number(tg)).arg(number(t2));
}

double PointCalculate::calculateSlope(double x1, double y1, double x2, double y2)
{
    return (y2 - y1) / (x2 - x1);
}

// (A, D) of the line A*x + y = D through the two points. Given two lines as
// (slope, intercept) pairs instead, the same formulas yield their intersection.
QPair<double, double> PointCalculate::getLineCoefficients(const QPointF& p1, const QPointF& p2)
{
    const float a = toFloat((p2.y() - p1.y()) / (p1.x() - p2.x()));
    const float d = toFloat(p1.x() * static_cast<double>(a) + p1.y());
    return qMakePair(static_cast<double>(a), static_cast<double>(d));
}

QPair<float, float> PointCalculate::getRangeWithMargin(float lo, float hi)
{
    const float span = hi - lo;
    const double margin = 0.2 * span;
    return qMakePair(toFloat(lo - margin), toFloat(hi + margin));
}

QPair<float, float> PointCalculate::getMinAndMax(float Global::ExperimentData::*field)
{
    float min = LargestFloat;
    float max = SmallestNormalFloat;
    for (const Global::ExperimentData& d : qAsConst(dataVtr)) {
        const float v = d.*field;
        if (v > max)
            max = v;
        if (v < min)
            min = v;
    }
    return qMakePair(min, max);
}

QPair<float, float> PointCalculate::getMinAndMaxOfTime()
{
    return getMinAndMax(&Global::ExperimentData::runTime);
}

QPair<float, float> PointCalculate::getMinAndMaxOfDSC()
{
    return getMinAndMax(&Global::ExperimentData::dsc);
}

QPair<float, float> PointCalculate::getMinAndMaxOfTemperature()
{
    return getMinAndMax(&Global::ExperimentData::temperature);
}

QPointF PointCalculate::getClosestPointByY(double x1, double x2, double targetY)
{
    double best = std::numeric_limits<double>::infinity();
    QPointF result;
    for (const int i : candidatesBetween(x1, false, x2, false)) {
        const Global::ExperimentData& d = dataVtr.at(i);
        const double x = d.temperature;
        if (!(x1 < x && x < x2))
            continue;
        const double distance = std::fabs(static_cast<double>(d.dsc) - targetY);
        if (distance < best) {
            best = distance;
            result = pointOf(d);
        }
    }
    return result;
}

QVector<QPointF> PointCalculate::getPointsInRange(float x1, float x2)
{
    QVector<QPointF> points;
    const SampleOrder* order = temperatureOrder();
    for (int i = order ? order->firstAbove(x1) : 0; i < dataVtr.size(); ++i) {
        const Global::ExperimentData& d = dataVtr.at(i);
        if (d.temperature > x2)
            break;
        if (x1 < d.temperature && d.temperature < x2)
            points.append(pointOf(d));
    }
    return points;
}

// Indices i + 2 where the change of slope between neighbouring samples turns
// sign on both sides of the middle step of i .. i + 4.
QVector<int> PointCalculate::findInflectionIndices(const QVector<double>& x, const QVector<double>& y)
{
    QVector<int> indices;
    const int n = std::min(x.size(), y.size());
    for (int i = 0; i + 4 <= n - 1; ++i) {
        double s[4];
        for (int k = 0; k < 4; ++k)
            s[k] = (y[i + k + 1] - y[i + k]) / (x[i + k + 1] - x[i + k]);
        const double middle = s[2] - s[1];
        if ((s[1] - s[0]) * middle < 0 && (s[3] - s[2]) * middle < 0)
            indices.append(i + 2);
    }
    return indices;
}

QVector<double> PointCalculate::findInflectionPoints(const QVector<double>& x, const QVector<double>& y)
{
    QVector<double> positions;
    for (int index : findInflectionIndices(x, y))
        positions.append(x[index]);
    return positions;
}

// The tangent is taken at the very sample where the inflection was found (not
// at the first sample sharing its x, which may be a curve's first sample and
// have no left neighbour); a zero x step around it gives no tangent.
QMap<double, QPair<double, double>> PointCalculate::getInflectionPointTangents(const QVector<double>& x,
                                                                                const QVector<double>& y)
{
    QMap<double, QPair<double, double>> tangents;
    for (int idx : findInflectionIndices(x, y)) {
        const double dx = x[idx + 1] - x[idx - 1];
        if (dx == 0.0) {
            LOG(DEBUG) << "no tangent at the inflection at " << x[idx] << ": zero x step";
            continue;
        }
        const double slope = (y[idx + 1] - y[idx - 1]) / dx;
        tangents.insert(x[idx], qMakePair(slope, y[idx] - x[idx] * slope));
    }
    return tangents;
}

// The NearbyCount samples within NearbyDistance up to and including the
// nearest one (the first of equally near ones), in sample order.
QVector<QPointF> PointCalculate::getNearbyPoints(float target)
{
    std::vector<int> collected;
    size_t upToNearest = 0;
    float best = LargestFloat;
    const auto distanceOf = [target](float t) { return double(std::fabs(t - target)); };
    const SampleOrder* order = temperatureOrder();
    const std::vector<int> candidates =
        order ? order->near(target, distanceOf, NearbyDistance) : everySample(dataVtr.size());
    for (const int i : candidates) {
        const float distance = std::fabs(dataVtr.at(i).temperature - target);
        if (distance > NearbyDistance)
            continue;
        collected.push_back(i);
        if (distance < best) {
            best = distance;
            upToNearest = collected.size();
        }
    }
    QVector<QPointF> result;
    for (size_t k = upToNearest - std::min<size_t>(upToNearest, NearbyCount); k < upToNearest; ++k)
        result.append(pointOf(dataVtr.at(collected[k])));
    return result;
}

std::vector<float> PointCalculate::movingAverage(const std::vector<float>& values, int w)
{
    std::vector<float> means;
    if (w < 1)
        return means;
    const std::size_t window = static_cast<std::size_t>(w);
    for (std::size_t i = 0; i + window <= values.size(); ++i) {
        double sum = 0.0;
        for (std::size_t j = i; j < i + window; ++j)
            sum += values[j];
        means.push_back(toFloat(sum) / static_cast<float>(w));
    }
    return means;
}

QVector<QPointF> PointCalculate::movingAverageOfPoints(const QVector<QPointF>& points, int w)
{
    QVector<QPointF> result;
    const int n = points.size();
    for (int i = 0; i < n; ++i) {
        const int lo = std::max(0, i - w / 2);
        const int hi = std::min(i + w / 2, n - 1);
        double sum = 0.0;
        for (int j = lo; j <= hi; ++j)
            sum += points[j].y();
        result.append(QPointF(points[i].x(), hi >= lo ? sum / (hi - lo + 1) : 0.0));
    }
    return result;
}

QPointF PointCalculate::calculateIntersection(const QPointF& p1, const QPointF& p2, const QPointF& p3, const QPointF& p4)
{
    return intersect(lineThrough(p1.x(), p1.y(), p2.x(), p2.y()), lineThrough(p3.x(), p3.y(), p4.x(), p4.y()));
}

QPair<float, float> PointCalculate::getTimeSpanByTemperatureSpan(double t0, double t1)
{
    const QPair<float, float> time = getMinAndMaxOfTime();
    const QPair<float, float> temperature = getMinAndMaxOfTemperature();
    const float ratio = (time.second - time.first) / (temperature.second - temperature.first);
    return qMakePair(0.0f, toFloat(ratio * (t1 - t0)));
}

QPair<float, float> PointCalculate::getDSCRange()
{
    if (dataVtr.isEmpty())
        return qMakePair(0.0f, 0.0f);
    float min = LargestFloat;
    float max = -LargestFloat;
    for (const Global::ExperimentData& d : qAsConst(dataVtr)) {
        min = std::min(min, d.dsc);
        max = std::max(max, d.dsc);
    }
    return qMakePair(min, max);
}

QPair<float, float> PointCalculate::getMaxSlopeTangent(float x1, float x2)
{
    std::vector<float> temperatures;
    for (const Global::ExperimentData& d : qAsConst(dataVtr)) {
        if (x1 < d.temperature && d.temperature < x2)
            temperatures.push_back(d.temperature);
    }
    const std::vector<float> means = movingAverage(temperatures, MaxSlopeWindow);
    // Steps are compared by magnitude on both sides: against the signed kept
    // step, every step after a falling one would beat it and the last step,
    // not the steepest, would come out.
    float slope = 0.0f;
    float x0 = 0.0f;
    for (std::size_t i = 0; i + 1 < means.size(); ++i) {
        const float step = means[i + 1] - means[i];
        if (std::fabs(step) > std::fabs(slope)) {
            slope = step;
            x0 = means[i + 1];
        }
    }
    const QPointF p = getClosestPointByX(x0);
    return qMakePair(slope, toFloat(p.y() - slope * p.x()));
}
