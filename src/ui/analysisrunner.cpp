#include "analysisrunner.h"

#include "messagebox.h"
#include "plotitemregistry.h"
#include "pointcalculate.h"

#include <easylogging++.h>
#include <qcustomplot.h>

#include <cmath>

namespace {

QPointF resultPointOf(const Global::ExperimentData& d)
{
    return QPointF(AnalysisRunner::abscissaOf(d), d.dsc);
}

} // namespace

AnalysisRunner::AnalysisRunner(QCustomPlot* plot, QWidget* owner)
    : _plot(plot)
    , _owner(owner)
    , _sampleMass(1.0)
{
}

double AnalysisRunner::abscissaOf(const Global::ExperimentData& d)
{
    return Global::_timeAxisFlag == 1 ? d.runTime : d.temperature;
}

void AnalysisRunner::setSampleMass(double mass)
{
    _sampleMass = mass;
}

// x1 and x2 are sample temperatures, as PointCalculate compares them.
void AnalysisRunner::run(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name)
{
    switch (mode) {
    case CentralWidget::NumericalLabel:
        numericalLabel(x1, name);
        break;
    case CentralWidget::StartPoint:
    case CentralWidget::StopPoint:
        startStopPoint(mode, x1, x2, name);
        break;
    case CentralWidget::PeakSynthesisAnalysis:
        peakSynthesis(x1, x2, name);
        break;
    case CentralWidget::GlassTransition:
        glassTransition(x1, x2, name);
        break;
    case CentralWidget::OnsetTemperaturePoint:
    case CentralWidget::EndsetTemperaturePoint:
        meltingPoint(mode, x1, x2, name);
        break;
    default:
        break;
    }
}

void AnalysisRunner::numericalLabel(double x1, const QString& name)
{
    const Global::ExperimentData d = PointCalculate::getClosestDataByX(static_cast<float>(x1));
    if (Global::isZero(d.dsc, 1e-9)) {
        MessageBox::warning(_owner->parentWidget(), QStringLiteral("warnning"), QStringLiteral("曲线选择错误."));
        return;
    }
    const QPointF point = resultPointOf(d);
    const QString text = Global::_timeAxisFlag == 1 ? PointCalculate::formatNumericalLabelTextOfTime(point)
                                                    : PointCalculate::formatNumericalLabelText(point);
    drawResultLabel(point, text, name);
}

void AnalysisRunner::startStopPoint(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name)
{
    PointCalculate::setRegionPointX(static_cast<float>(x1), static_cast<float>(x2));
    const QPair<Global::ExperimentData, Global::ExperimentData> ends = PointCalculate::getStartAndEndData();
    const bool onTime = Global::_timeAxisFlag == 1;
    if (mode == CentralWidget::StartPoint) {
        const QPointF point = resultPointOf(ends.first);
        drawResultLabel(point,
                        onTime ? PointCalculate::formatStartPointTextOfTime(point)
                               : PointCalculate::formatStartPointText(point),
                        name);
    } else {
        const QPointF point = resultPointOf(ends.second);
        drawResultLabel(point,
                        onTime ? PointCalculate::formatStopPointTextOfTime(point)
                               : PointCalculate::formatStopPointText(point),
                        name);
    }
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
    const double enthalpy = PointCalculate::calculateArea() / mass;
    LOG(DEBUG) << "enthalpyValue:" << enthalpy;
    const QPointF peak = PointCalculate::getPeakPoint();
    const PointCalculate::Segment ends = PointCalculate::calculateStartAndEndPoint();
    const double startX = std::get<0>(ends);
    const double endX = std::get<2>(ends);
    LOG(DEBUG) << "start,end:" << startX << "," << endX;

    const bool onTime = Global::_timeAxisFlag == 1;
    if (!onTime && !Global::_timeAxisAnalysisPCTModeFlag) {
        drawResultLabel(peak, PointCalculate::formatPeakSynthesisAnalysisText(enthalpy, peak.x(), startX, endX), name);
        return;
    }
    const QString text = PointCalculate::formatPeakSynthesisAnalysisTextOfTime(
        enthalpy, PointCalculate::getTimeByTemperature(peak.x()), PointCalculate::getTimeByTemperature(startX),
        PointCalculate::getTimeByTemperature(endX));
    if (!onTime) {
        drawResultLabel(peak, text, name);
        return;
    }
    const Global::ExperimentData d = PointCalculate::getClosestDataByX(static_cast<float>(peak.x()));
    drawResultLabel(QPointF(d.runTime, d.dsc), text, name);
}

void AnalysisRunner::meltingPoint(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name)
{
    const bool onset = mode == CentralWidget::OnsetTemperaturePoint;
    const Global::ExperimentData d = onset ? PointCalculate::getLastDataNearMaxValue(x1, x2)
                                           : PointCalculate::getFirstDataNearMaxValue(x1, x2);
    const double a = abscissaOf(d);
    if (onset)
        LOG(DEBUG) << "onset point:" << a << "," << d.dsc;
    else
        LOG(DEBUG) << "object name:" << name;
    drawResultLabel(QPointF(a, d.dsc), QString::number(a, 'f', 3), name);
}

// About one tick step to the right of the point; on the point itself while
// the axis holds no tick yet.
QPointF AnalysisRunner::textBoxPlace(const QPointF& point) const
{
    const QCPRange range = _plot->xAxis->range();
    LOG(DEBUG) << "xMax:" << range.upper;
    const int ticks = _plot->xAxis->tickVector().size();
    if (ticks == 0)
        return point;
    return QPointF(point.x() + (range.upper - range.lower) / ticks, point.y());
}

// The label keeps its place in the axis rectangle when the axes move; its
// arrow's head stays on the analysed point.
void AnalysisRunner::drawResultLabel(const QPointF& point, const QString& text, const QString& name)
{
    const QPointF place = textBoxPlace(point);
    auto* label = new QCPItemText(_plot);
    label->setPositionAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->position->setType(QCPItemPosition::ptPlotCoords);
    label->position->setCoords(place);
    label->setText(text);
    label->setFont(QFont(QStringLiteral("Arial"), 10));
    label->setSelectedFont(QFont(QStringLiteral("Arial"), 10));
    label->setSelectable(true);
    label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
    label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    PlotItemRegistry::addText(label, name);

    auto* arrow = new QCPItemLine(_plot);
    arrow->start->setParentAnchor(label->left);
    arrow->end->setCoords(point);
    arrow->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10));
    arrow->setPen(QPen(QBrush(Qt::red, Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    PlotItemRegistry::addArrow(arrow, name);
    _plot->replot(QCustomPlot::rpRefreshHint);
}

QCPGraph* AnalysisRunner::addResultGraph(const QVector<double>& keys, const QVector<double>& values,
                                        const QString& name)
{
    QCPGraph* graph = _plot->addGraph();
    graph->setData(keys, values);
    PlotItemRegistry::addGraph(graph, name);
    return graph;
}

// The area between the curve and the chord of the region's end samples.
void AnalysisRunner::drawPeakRegion(double x1, double x2, const QString& name)
{
    const Global::ExperimentData d1 = PointCalculate::getClosestDataByX(static_cast<float>(x1));
    const Global::ExperimentData d2 = PointCalculate::getClosestDataByX(static_cast<float>(x2));
    const QPen redPen(QBrush(Qt::red, Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    QCPGraph* chord = addResultGraph({abscissaOf(d1), abscissaOf(d2)}, {d1.dsc, d2.dsc}, name);
    chord->setPen(redPen);

    QVector<double> keys, values;
    for (const Global::ExperimentData& d :
         PointCalculate::getDataInRange(static_cast<float>(x1), static_cast<float>(x2))) {
        keys.append(abscissaOf(d));
        values.append(d.dsc);
    }
    QCPGraph* region = addResultGraph(keys, values, name);
    region->setBrush(QBrush(Qt::green, Qt::SolidPattern));
    region->setChannelFillGraph(chord);
    _plot->replot(QCustomPlot::rpRefreshHint);
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

namespace {

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

} // namespace

// T1 and T2 are where the tangent at the step's steepest inflection meets the
// baselines fitted before and after the step; Tg is the sample whose signal
// lies halfway between the two boundary samples.
void AnalysisRunner::glassTransition(double x1, double x2, const QString& name)
{
    const QPointF p1 = PointCalculate::getClosestPointByX(static_cast<float>(x1));
    const QPointF p2 = PointCalculate::getClosestPointByX(static_cast<float>(x2));
    LOG(DEBUG) << "point1:" << p1.x() << "," << p1.y();
    LOG(DEBUG) << "point2:" << p2.x() << "," << p2.y();

    const auto near1 = splitPoints(PointCalculate::getNearbyPoints(static_cast<float>(p1.x())));
    const QPair<double, double> line1 = linearFit(near1.first, near1.second);
    drawBaselineStub(p1, 10.0, line1, name);
    const auto near2 = splitPoints(PointCalculate::getNearbyPoints(static_cast<float>(p2.x())));
    const QPair<double, double> line2 = linearFit(near2.first, near2.second);
    drawBaselineStub(p2, -10.0, line2, name);
    _plot->replot(QCustomPlot::rpRefreshHint);

    QPair<double, double> tangent;
    if (!steepestTangent(PointCalculate::getPointsInRange(static_cast<float>(p1.x()), static_cast<float>(p2.x())),
                         tangent)) {
        LOG(DEBUG) << "glass transition: no inflection point with a tangent between" << p1.x() << "and" << p2.x();
        return;
    }
    const QPointF lineOfTangent(tangent.first, tangent.second);
    const QPair<double, double> t1 =
        PointCalculate::getLineCoefficients(lineOfTangent, QPointF(line1.first, line1.second));
    const QPair<double, double> t2 =
        PointCalculate::getLineCoefficients(lineOfTangent, QPointF(line2.first, line2.second));
    addResultGraph({t1.first, t2.first}, {t1.second, t2.second}, name)->setPen(baselinePen());
    _plot->replot(QCustomPlot::rpRefreshHint);

    const QPointF q = PointCalculate::getClosestPointByY(p1.x(), p2.x(), (p1.y() + p2.y()) * 0.5);
    if (Global::_timeAxisFlag != 1) {
        drawResultLabel(q, PointCalculate::formatGlassTransitionText(t1.first, q.x(), t2.first), name);
        return;
    }
    const Global::ExperimentData d1 = PointCalculate::getClosestDataByX(static_cast<float>(t1.first));
    const Global::ExperimentData dq = PointCalculate::getClosestDataByX(static_cast<float>(q.x()));
    const Global::ExperimentData d2 = PointCalculate::getClosestDataByX(static_cast<float>(t2.first));
    drawResultLabel(QPointF(dq.runTime, dq.dsc),
                    PointCalculate::formatGlassTransitionTextOfTime(d1.runTime, dq.runTime, d2.runTime), name);
}

// A stub of the given length in x from the picked sample along the fitted
// baseline's direction.
void AnalysisRunner::drawBaselineStub(const QPointF& from, double length, const QPair<double, double>& line,
                                     const QString& name)
{
    const double x = from.x() + length;
    addResultGraph({from.x(), x}, {from.y(), line.first * x + line.second}, name)->setPen(baselinePen());
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
