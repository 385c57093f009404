#include "analysisrunner.h"

#include "labelplacer.h"
#include "localcustomplot.h"
#include "plotitemregistry.h"
#include "pointcalculate.h"
#include "resultlabel.h"
#include "sampleorder.h"

#include <easylogging++.h>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// PointCalculate holds the curve with its abscissa in the temperature field
// (see setCurve), so that field is a result's place on the plot.
QPointF placeOf(const Global::ExperimentData& d)
{
    return QPointF(d.temperature, d.dsc);
}

// A value that could not be found; the result texts print it as "--".
const double Missing = std::numeric_limits<double>::quiet_NaN();

// The zero record PointCalculate returns when it finds no sample.
bool isNoSample(const Global::ExperimentData& d)
{
    return d.runTime == 0.0f && d.constantTempTime == 0.0f && d.temperature == 0.0f && d.dsc == 0.0f;
}

// PointCalculate gives an extrapolated point it cannot find as (0, 0).
bool isFound(double x, double y)
{
    return !(x == 0.0 && y == 0.0);
}

QPair<QVector<double>, QVector<double>> splitPoints(const QVector<QPointF>& points)
{
    QVector<double> xs, ys;
    for (const QPointF& p : points) {
        xs.append(p.x());
        ys.append(p.y());
    }
    return qMakePair(xs, ys);
}

QPen baselinePen()
{
    QPen pen;
    pen.setColor(Qt::darkGreen);
    return pen;
}

const QFont& labelFont()
{
    static const QFont font(QStringLiteral("Arial"), 10);
    return font;
}

} // namespace

AnalysisRunner::AnalysisRunner(LocalCustomPlot* plot)
    : _plot(plot)
    , _onTime(false)
    , _sampleMass(1.0)
{
}

AnalysisRunner::~AnalysisRunner() = default;

void AnalysisRunner::setCurve(const QVector<Global::ExperimentData>& data, bool onTime)
{
    _data = data;
    _onTime = onTime;
    _plot->labelPlacer()->setCurve(data, onTime);
    if (!onTime) {
        PointCalculate::setExperimentData(data);
        return;
    }
    // The stored analyses of a stage, redrawn one after the other, share its
    // samples on the run time and the order PointCalculate keeps of them. The
    // curve is kept as well: a change to it then makes a copy of its own,
    // which does not match.
    if (_runTimeOf.constData() != data.constData() || _runTimeOf.size() != data.size()) {
        _runTimeOf = data;
        for (std::unique_ptr<SampleOrder>& order : _runTimeOrders)
            order.reset();
        _onRunTime = data;
        for (Global::ExperimentData& d : _onRunTime)
            d.temperature = d.runTime;
    }
    PointCalculate::setExperimentData(_onRunTime);
}

void AnalysisRunner::setSampleMass(double mass)
{
    _sampleMass = mass;
}

const QList<QObject*>& AnalysisRunner::lastItems() const
{
    return _items;
}

// A region needs two samples; a bound beside the curve is taken to its end
// sample, since the region routines give a bound off the curve the zero point
// and would measure from there.
AnalysisRunner::Outcome AnalysisRunner::run(CentralWidget::AnalysisMode mode, double x1, double x2,
                                            const QString& name)
{
    _items.clear();
    _plot->labelPlacer()->clearShade();
    if (mode == CentralWidget::NumericalLabel)
        return numericalLabel(x1, name);
    if (mode < CentralWidget::StartPoint || mode > CentralWidget::EndsetTemperaturePoint)
        return Outcome::Nothing;
    if (samplesBetween(x1, x2) < 2) {
        LOG(DEBUG) << "analysis refused: fewer than two samples between" << x1 << "and" << x2;
        return Outcome::Refused;
    }
    if (runsDownward()) {
        LOG(DEBUG) << "analysis refused: the curve ends below where it began; analyse it on the run time";
        return Outcome::Refused;
    }
    switch (mode) {
    case CentralWidget::StartPoint:
    case CentralWidget::StopPoint:
        startStopPoint(mode, clampToCurve(x1), clampToCurve(x2), name);
        break;
    case CentralWidget::PeakSynthesisAnalysis:
        peakSynthesis(clampToCurve(x1), clampToCurve(x2), name);
        break;
    case CentralWidget::GlassTransition:
        return glassTransition(clampToCurve(x1), clampToCurve(x2), name);
    default:
        meltingPoint(mode, x1, x2, name);
        break;
    }
    return Outcome::Drawn;
}

int AnalysisRunner::samplesBetween(double x1, double x2) const
{
    return PointCalculate::countBetween(std::min(x1, x2), std::max(x1, x2));
}

// The region routines look a bound up between the first and the last sample
// as between the lowest and the highest: on a curve that ends below where it
// began (measured while cooling) they find no sample at all, and every figure
// would read 0. The run time always rises.
bool AnalysisRunner::runsDownward() const
{
    const QVector<Global::ExperimentData>& data = PointCalculate::dataVtr;
    return !data.isEmpty() && data.first().temperature > data.last().temperature;
}

// The nearest-point lookup takes the first and the last sample as the ends.
double AnalysisRunner::clampToCurve(double x) const
{
    const QVector<Global::ExperimentData>& data = PointCalculate::dataVtr;
    if (data.isEmpty() || data.first().temperature > data.last().temperature)
        return x;
    return qBound<double>(data.first().temperature, x, data.last().temperature);
}

// A line beside the curve (no sample on one side of it) marks no sample of
// it.
AnalysisRunner::Outcome AnalysisRunner::numericalLabel(double x1, const QString& name)
{
    const double infinity = std::numeric_limits<double>::infinity();
    if (samplesBetween(-infinity, x1) == 0 || samplesBetween(x1, infinity) == 0) {
        LOG(DEBUG) << "numerical label refused: the line at" << x1 << "lies beside the curve";
        return Outcome::Refused;
    }
    const Global::ExperimentData d = PointCalculate::getClosestDataByX(static_cast<float>(x1));
    if (Global::isZero(d.dsc, 1e-9)) {
        LOG(DEBUG) << "numerical label refused: zero signal at" << x1;
        return Outcome::Refused;
    }
    const QPointF point = placeOf(d);
    const QString text = _onTime ? PointCalculate::formatNumericalLabelTextOfTime(point)
                                 : PointCalculate::formatNumericalLabelText(point);
    drawResultLabel(point, text, name);
    return Outcome::Drawn;
}

// An extrapolated point that cannot be found reads "--", its arrow on the
// region's end on that side.
void AnalysisRunner::startStopPoint(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name)
{
    PointCalculate::setRegionPointX(static_cast<float>(x1), static_cast<float>(x2));
    const PointCalculate::Segment ends = PointCalculate::calculateStartAndEndPoint();
    const bool start = mode == CentralWidget::StartPoint;
    const double x = start ? std::get<0>(ends) : std::get<2>(ends);
    const double y = start ? std::get<1>(ends) : std::get<3>(ends);
    QPointF point = start ? PointCalculate::startPoint : PointCalculate::endPoint;
    QPointF shown(Missing, 0.0);
    if (isFound(x, y)) {
        point = placeOf(PointCalculate::getClosestDataByX(static_cast<float>(x)));
        shown = point;
    } else {
        LOG(DEBUG) << "extrapolated point not found";
    }
    QString text;
    if (start)
        text = _onTime ? PointCalculate::formatStartPointTextOfTime(shown) : PointCalculate::formatStartPointText(shown);
    else
        text = _onTime ? PointCalculate::formatStopPointTextOfTime(shown) : PointCalculate::formatStopPointText(shown);
    drawResultLabel(point, text, name);
}

void AnalysisRunner::peakSynthesis(double x1, double x2, const QString& name)
{
    drawPeakRegion(x1, x2, name);
    PointCalculate::setRegionPointX(static_cast<float>(x1), static_cast<float>(x2));
    double mass = _sampleMass;
    // "nan" and "inf" convert too; they would print as an enthalpy of nan or 0.
    if (!(mass > 0.0) || !std::isfinite(mass)) {
        LOG(DEBUG) << "sample weight set value 1," << mass;
        mass = 1.0;
    }
    const double enthalpy = peakArea() / mass;
    LOG(DEBUG) << "enthalpyValue:" << enthalpy;
    const QPointF peak = PointCalculate::getPeakPoint();
    const PointCalculate::Segment ends = PointCalculate::calculateStartAndEndPoint();
    const double startX = isFound(std::get<0>(ends), std::get<1>(ends)) ? std::get<0>(ends) : Missing;
    const double endX = isFound(std::get<2>(ends), std::get<3>(ends)) ? std::get<2>(ends) : Missing;
    LOG(DEBUG) << "start,end:" << startX << "," << endX;

    const QString text = !_onTime && !Global::_timeAxisAnalysisPCTModeFlag
                             ? PointCalculate::formatPeakSynthesisAnalysisText(enthalpy, peak.x(), startX, endX)
                             : PointCalculate::formatPeakSynthesisAnalysisTextOfTime(enthalpy, timeOf(peak.x()),
                                                                                     timeOf(startX), timeOf(endX));
    drawResultLabel(peak, text, name);
}

// The run time of the sample nearest x on the abscissa.
double AnalysisRunner::timeOf(double x) const
{
    return std::isfinite(x) ? PointCalculate::getTimeByTemperature(x) : Missing;
}

// The enthalpy is an area against the sample temperature on either abscissa.
// On the run time the region's samples are those between the region's start
// and end times; their area is taken on their temperatures, as on the
// temperature axis, and the run-time curve is put back afterwards. A region
// measured while cooling is taken in rising temperature, the order the area
// is summed in. A region that starts and ends at one temperature (a hold) has
// no such area: its enthalpy is missing, not 0.
double AnalysisRunner::peakArea()
{
    if (!_onTime) {
        if (PointCalculate::startPoint.x() == PointCalculate::endPoint.x())
            return Missing;
        return PointCalculate::calculateArea();
    }
    const QVector<Global::ExperimentData> shown = PointCalculate::dataVtr;
    const QPointF start = PointCalculate::startPoint;
    const QPointF end = PointCalculate::endPoint;
    const QPointF peak = PointCalculate::peakPoint;
    QVector<Global::ExperimentData> region;
    for (const Global::ExperimentData& d : qAsConst(_data)) {
        if (start.x() <= d.runTime && d.runTime <= end.x())
            region.append(d);
    }
    double area = Missing;
    if (region.size() >= 2 && region.first().temperature != region.last().temperature) {
        if (region.first().temperature > region.last().temperature)
            std::reverse(region.begin(), region.end());
        PointCalculate::setExperimentData(region);
        area = PointCalculate::calculateArea();
    }
    PointCalculate::setExperimentData(shown);
    PointCalculate::startPoint = start;
    PointCalculate::endPoint = end;
    PointCalculate::peakPoint = peak;
    return area;
}

// The plateau of the peak in its own direction: above its chord the range's
// maximum, below it the minimum.
void AnalysisRunner::meltingPoint(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name)
{
    PointCalculate::setRegionPointX(static_cast<float>(clampToCurve(x1)), static_cast<float>(clampToCurve(x2)));
    const bool down = PointCalculate::peakPointsDown();
    const bool onset = mode == CentralWidget::OnsetTemperaturePoint;
    Global::ExperimentData d;
    if (down)
        d = onset ? PointCalculate::getLastDataNearMinValue(x1, x2) : PointCalculate::getFirstDataNearMinValue(x1, x2);
    else
        d = onset ? PointCalculate::getLastDataNearMaxValue(x1, x2) : PointCalculate::getFirstDataNearMaxValue(x1, x2);
    if (isNoSample(d)) {
        LOG(DEBUG) << "no sample near the" << (down ? "minimum" : "maximum") << "between" << x1 << "and" << x2;
        const float side = static_cast<float>(onset ? x1 : x2);
        drawResultLabel(placeOf(PointCalculate::getClosestDataByX(side)), QStringLiteral("--"), name);
        return;
    }
    const double a = d.temperature;
    if (onset)
        LOG(DEBUG) << "onset point:" << a << "," << d.dsc;
    else
        LOG(DEBUG) << "object name:" << name;
    drawResultLabel(QPointF(a, d.dsc), QString::number(a, 'f', 3), name);
}

// About one tick step to the right of the point; on the point itself while
// the axis holds no tick. The ticks are those the next replot gives the
// current range: the axis keeps the ones of its last replot, and the results
// of a whole workbook are drawn before the plot is replotted once.
QPointF AnalysisRunner::textBoxPlace(const QPointF& point) const
{
    QCPAxis* axis = _plot->xAxis;
    const QCPRange range = axis->range();
    LOG(DEBUG) << "xMax:" << range.upper;
    QVector<double> ticks;
    axis->ticker()->generate(range, _plot->locale(), axis->numberFormat().at(0), axis->numberPrecision(), ticks,
                             nullptr, nullptr);
    if (ticks.isEmpty())
        return point;
    return QPointF(point.x() + (range.upper - range.lower) / ticks.size(), point.y());
}

// The label keeps its place in the axis rectangle when the axes move; its
// arrow's head stays on the analysed point. The text is laid out once, for
// placing it and for the label.
void AnalysisRunner::drawResultLabel(const QPointF& point, const QString& text, const QString& name)
{
    const QRect textRect = ResultLabel::screenTextRect(text, labelFont());
    const QPointF centre = _plot->labelPlacer()->placeResult(point, textRect.size(), textBoxPlace(point));
    auto* label = new ResultLabel(_plot);
    label->setPositionAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setFont(labelFont());
    label->setSelectedFont(labelFont());
    label->setMeasuredText(text, textRect);
    label->setSelectable(true);
    label->position->setType(QCPItemPosition::ptAxisRectRatio);
    label->position->setPixelPosition(centre);
    PlotItemRegistry::addText(label, name);
    _items.append(label);

    auto* arrow = new QCPItemLine(_plot);
    arrow->end->setCoords(point);
    LocalCustomPlot::attachArrow(arrow, label);
    arrow->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10));
    arrow->setPen(QPen(QBrush(Qt::red, Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    PlotItemRegistry::addArrow(arrow, name);
    _items.append(arrow);
    _plot->labelPlacer()->keep(label, arrow);
}

QCPGraph* AnalysisRunner::addResultGraph(const QVector<double>& keys, const QVector<double>& values,
                                        const QString& name)
{
    QCPGraph* graph = _plot->addGraph();
    graph->setData(keys, values);
    PlotItemRegistry::addGraph(graph, name);
    _items.append(graph);
    return graph;
}

// The area between the curve and the chord of the region's end samples.
void AnalysisRunner::drawPeakRegion(double x1, double x2, const QString& name)
{
    const Global::ExperimentData d1 = PointCalculate::getClosestDataByX(static_cast<float>(x1));
    const Global::ExperimentData d2 = PointCalculate::getClosestDataByX(static_cast<float>(x2));
    const QPen redPen(QBrush(Qt::red, Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    QCPGraph* chord = addResultGraph({d1.temperature, d2.temperature}, {d1.dsc, d2.dsc}, name);
    chord->setPen(redPen);

    QVector<double> keys, values;
    for (const Global::ExperimentData& d :
         PointCalculate::getDataInRange(static_cast<float>(x1), static_cast<float>(x2))) {
        keys.append(d.temperature);
        values.append(d.dsc);
    }
    QCPGraph* region = addResultGraph(keys, values, name);
    region->setBrush(QBrush(Qt::green, Qt::SolidPattern));
    region->setChannelFillGraph(chord);
    QVector<QPointF> shaded;
    for (int i = 0; i < keys.size(); ++i)
        shaded << QPointF(keys.at(i), values.at(i));
    _plot->labelPlacer()->setShade(shaded, QPointF(d1.temperature, d1.dsc), QPointF(d2.temperature, d2.dsc));
}

// Ordinary least squares; fewer than two distinct x give a non-finite line.
QPair<double, double> AnalysisRunner::linearFit(const QVector<double>& xs, const QVector<double>& ys)
{
    const double n = xs.size();
    double sx = 0.0, sy = 0.0, sxy = 0.0, sxx = 0.0;
    for (int i = 0; i < xs.size(); ++i) {
        sx += xs.at(i);
        sy += ys.at(i);
        sxy += xs.at(i) * ys.at(i);
        sxx += xs.at(i) * xs.at(i);
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return qMakePair(slope, sy / n - slope * sx / n);
}

// T1 and T2 are where the tangent at the step's steepest inflection meets the
// baselines fitted before and after the step; Tg is the sample whose signal
// lies halfway between the two boundary samples. Without a tangent (a clean
// step has no inflection point) or without finite figures (a baseline fitted
// on the first sample alone) there is no glass transition to show, and
// nothing is drawn: baselines alone would look like a result.
AnalysisRunner::Outcome AnalysisRunner::glassTransition(double x1, double x2, const QString& name)
{
    const QPointF p1 = PointCalculate::getClosestPointByX(static_cast<float>(x1));
    const QPointF p2 = PointCalculate::getClosestPointByX(static_cast<float>(x2));
    LOG(DEBUG) << "point1:" << p1.x() << "," << p1.y();
    LOG(DEBUG) << "point2:" << p2.x() << "," << p2.y();

    const QPair<double, double> line1 = baselineNear(p1);
    const QPair<double, double> line2 = baselineNear(p2);

    QPair<double, double> tangent;
    if (!steepestTangent(PointCalculate::getPointsInRange(static_cast<float>(p1.x()), static_cast<float>(p2.x())),
                         tangent)) {
        LOG(DEBUG) << "glass transition: no inflection point with a tangent between" << p1.x() << "and" << p2.x();
        return Outcome::NotFound;
    }
    const QPointF lineOfTangent(tangent.first, tangent.second);
    const QPair<double, double> t1 =
        PointCalculate::getLineCoefficients(lineOfTangent, QPointF(line1.first, line1.second));
    const QPair<double, double> t2 =
        PointCalculate::getLineCoefficients(lineOfTangent, QPointF(line2.first, line2.second));
    const QPointF q = PointCalculate::getClosestPointByY(p1.x(), p2.x(), (p1.y() + p2.y()) * 0.5);
    if (!std::isfinite(t1.first) || !std::isfinite(t1.second) || !std::isfinite(t2.first)
        || !std::isfinite(t2.second) || !std::isfinite(q.x())) {
        LOG(DEBUG) << "glass transition: no finite result, T1" << t1.first << "Tg" << q.x() << "T2" << t2.first;
        return Outcome::NotFound;
    }
    drawBaselineStub(p1, baselineStubEnd(p1.x(), 10.0), line1, name);
    drawBaselineStub(p2, baselineStubEnd(p2.x(), -10.0), line2, name);
    addResultGraph({t1.first, t2.first}, {t1.second, t2.second}, name)->setPen(baselinePen());
    drawGlassTransitionLabel(t1.first, q, t2.first, name);
    return Outcome::Drawn;
}

// The baseline fitted to the samples near the picked one.
QPair<double, double> AnalysisRunner::baselineNear(const QPointF& from)
{
    const auto near = splitPoints(PointCalculate::getNearbyPoints(static_cast<float>(from.x())));
    return linearFit(near.first, near.second);
}

// On the time axis T1, Tg and T2 read as the run times of the samples there.
void AnalysisRunner::drawGlassTransitionLabel(double t1, const QPointF& q, double t2, const QString& name)
{
    if (!_onTime) {
        drawResultLabel(q, PointCalculate::formatGlassTransitionText(t1, q.x(), t2), name);
        return;
    }
    const Global::ExperimentData d1 = PointCalculate::getClosestDataByX(static_cast<float>(t1));
    const Global::ExperimentData dq = PointCalculate::getClosestDataByX(static_cast<float>(q.x()));
    const Global::ExperimentData d2 = PointCalculate::getClosestDataByX(static_cast<float>(t2));
    drawResultLabel(placeOf(dq), PointCalculate::formatGlassTransitionTextOfTime(d1.runTime, dq.runTime, d2.runTime),
                    name);
}

// A baseline stub reaches 10 ℃ from its picked sample. On the run time it
// ends at the run time of the sample measured nearest that temperature, so it
// covers the same samples as on the temperature axis.
double AnalysisRunner::baselineStubEnd(double from, double length) const
{
    if (!_onTime)
        return from + length;
    const int start = runTimeCurveOrder(&Global::ExperimentData::runTime).nearest(from);
    if (start < 0)
        return from;
    const int end =
        runTimeCurveOrder(&Global::ExperimentData::temperature).nearest(_data.at(start).temperature + length);
    return _data.at(end).runTime;
}

// The curve drawn against time in order along a field, made when first
// asked for: each glass transition on it asks twice.
const SampleOrder& AnalysisRunner::runTimeCurveOrder(float Global::ExperimentData::*field) const
{
    std::unique_ptr<SampleOrder>& order = _runTimeOrders[field == &Global::ExperimentData::runTime ? 0 : 1];
    if (!order)
        order.reset(new SampleOrder(_runTimeOf, field));
    return *order;
}

// A stub from the picked sample along the fitted baseline.
void AnalysisRunner::drawBaselineStub(const QPointF& from, double toX, const QPair<double, double>& line,
                                      const QString& name)
{
    addResultGraph({from.x(), toX}, {from.y(), line.first * toX + line.second}, name)->setPen(baselinePen());
}

// The tangent by central difference at the inflection point of steepest
// slope (the first of equal maxima); false when that point has no neighbour
// on either side.
bool AnalysisRunner::steepestTangent(const QVector<QPointF>& region, QPair<double, double>& tangent)
{
    const auto xy = splitPoints(region);
    const QMap<double, QPair<double, double>> tangents = PointCalculate::getInflectionPointTangents(xy.first, xy.second);
    double steepest = 0.0;
    bool found = false;
    double xi = 0.0;
    for (auto it = tangents.constBegin(); it != tangents.constEnd(); ++it) {
        if (std::fabs(it.value().first) > steepest) {
            steepest = std::fabs(it.value().first);
            xi = it.key();
            found = true;
        }
    }
    if (!found)
        return false;
    int i = 0;
    while (i < region.size() && region.at(i).x() != xi)
        ++i;
    if (i < 1 || i > region.size() - 2)
        return false;
    const double m = PointCalculate::calculateSlope(region.at(i + 1).x(), region.at(i + 1).y(), region.at(i - 1).x(),
                                                    region.at(i - 1).y());
    tangent = qMakePair(m, region.at(i).y() - m * region.at(i).x());
    return true;
}
