#ifndef POINTCALCULATE_H
#define POINTCALCULATE_H

#include "global.h"

#include <QMap>
#include <QPair>
#include <QPointF>
#include <QString>
#include <QVector>

#include <tuple>
#include <vector>

class SampleOrder;

// The region analyses of one curve. The curve (x = temperature, y = DSC
// signal, time = run time) and its region are static state, loaded by
// setExperimentData and placed by setRegionPointX before the other routines.
// Float narrowing follows the stored data: the samples are floats, and the
// results shown to the user are computed at that precision.
class PointCalculate
{
public:
    // (x1, y1, x2, y2) of two neighbouring samples, or of two points.
    using Segment = std::tuple<double, double, double, double>;

    // Curve, nearest points, region and peak.
    static void setExperimentData(const QVector<Global::ExperimentData>& data);
    static QPointF getClosestPointByX(float x);
    static Global::ExperimentData getClosestDataByX(float x);
    static double getTimeByTemperature(double x);
    static QPointF getPeakPoint();
    static void setRegionPointX(float left, float right);
    static void adjustRegionPoints();

    // Area and enthalpy.
    static QVector<QPointF> getPointsInRegion();
    static float calculateArea();
    // The factor a region's area is scaled by when the region starts at x:
    // the instrument coefficient, or while the enthalpy correction is on its
    // quadratic at x.
    static float coefficientAt(float x);
    // The factor the last area was scaled by: the enthalpy shown on the last
    // peak label was read with it. NaN before any area.
    static float lastAreaCoefficient();

    // Extrapolated start and end points, onset and endset.
    static Segment findSteepestSegment(int side);
    static Segment findSteepestSegmentBeforePeak();
    static Segment findSteepestSegmentAfterPeak();
    static Segment calculateStartAndEndPoint();
    static QPair<Global::ExperimentData, Global::ExperimentData> getStartAndEndData();
    static QVector<Global::ExperimentData> getDataInRange(float x1, float x2);
    // Samples whose temperature lies from lo to hi, both included.
    static int countBetween(double lo, double hi);
    static Global::ExperimentData getLastDataNearMaxValue(double x1, double x2);
    static Global::ExperimentData getFirstDataNearMaxValue(double x1, double x2);
    // The same within 1 % of the magnitude of the range's minimum, for a peak
    // that points down.
    static Global::ExperimentData getLastDataNearMinValue(double x1, double x2);
    static Global::ExperimentData getFirstDataNearMinValue(double x1, double x2);
    // Whether the region's peak lies below the chord from its start to its
    // end.
    static bool peakPointsDown();

    // Result texts, temperature and run-time forms.
    static QString formatNumericalLabelText(const QPointF& point);
    static QString formatStartPointText(const QPointF& point);
    static QString formatStopPointText(const QPointF& point);
    static QString formatPeakSynthesisAnalysisText(float enthalpy, float peak, float start, float end);
    static QString formatGlassTransitionText(float t1, float tg, float t2);
    static QString formatNumericalLabelTextOfTime(const QPointF& point);
    static QString formatStartPointTextOfTime(const QPointF& point);
    static QString formatStopPointTextOfTime(const QPointF& point);
    static QString formatPeakSynthesisAnalysisTextOfTime(float enthalpy, float peak, float start, float end);
    static QString formatGlassTransitionTextOfTime(float t1, float tg, float t2);

    // Tangents, inflection points and curve helpers.
    static double calculateSlope(double x1, double y1, double x2, double y2);
    static QPair<double, double> getLineCoefficients(const QPointF& p1, const QPointF& p2);
    static QPair<float, float> getRangeWithMargin(float lo, float hi);
    static QPair<float, float> getMinAndMaxOfTime();
    static QPair<float, float> getMinAndMaxOfDSC();
    static QPair<float, float> getMinAndMaxOfTemperature();
    static QPointF getClosestPointByY(double x1, double x2, double targetY);
    static QVector<QPointF> getPointsInRange(float x1, float x2);
    static QVector<double> findInflectionPoints(const QVector<double>& x, const QVector<double>& y);
    static QMap<double, QPair<double, double>> getInflectionPointTangents(const QVector<double>& x,
                                                                          const QVector<double>& y);
    static QVector<QPointF> getNearbyPoints(float target);

    static std::vector<float> movingAverage(const std::vector<float>& values, int w);
    static QVector<QPointF> movingAverageOfPoints(const QVector<QPointF>& points, int w);
    static QPointF calculateIntersection(const QPointF& p1, const QPointF& p2, const QPointF& p3, const QPointF& p4);
    static QPair<float, float> getTimeSpanByTemperatureSpan(double t0, double t1);
    static QPair<float, float> getDSCRange();
    static QPair<float, float> getMaxSlopeTangent(float x1, float x2);

    static QVector<Global::ExperimentData> dataVtr;
    static QPointF startPoint;
    static QPointF endPoint;
    static QPointF peakPoint;

private:
    static float _lastAreaCoefficient;

    static const SampleOrder* temperatureOrder();
    static std::vector<int> candidatesBetween(double lo, bool loIncluded, double hi, bool hiIncluded);
    static QVector<int> findInflectionIndices(const QVector<double>& x, const QVector<double>& y);
    static Global::ExperimentData findDataNearExtreme(double x1, double x2, bool fromEnd, bool minimum);
    static QPair<float, float> getMinAndMax(float Global::ExperimentData::*field);
};

#endif // POINTCALCULATE_H
