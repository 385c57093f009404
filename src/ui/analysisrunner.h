#ifndef ANALYSISRUNNER_H
#define ANALYSISRUNNER_H

#include "centralwidget.h"

#include <QList>
#include <QPair>
#include <QPointF>
#include <QString>
#include <QVector>

#include <array>
#include <memory>

class LocalCustomPlot;
class QCPGraph;
class QCPItemText;
class QObject;
class SampleOrder;

// Computes one region analysis of a curve and draws its result: a label with
// its arrow and, for a peak or a glass transition, the graphs of the region,
// the baselines and the tangent. Every item is registered as a temporary
// result of the analysed curve. The runner does not replot: its caller does,
// once, after a whole apply or the results of a whole workbook (a replot
// redraws every curve on the plot).
//
// The analysis works on the abscissa the curve is drawn against. With the run
// time as abscissa PointCalculate is given the samples with their run time in
// the place of the temperature, so that every region routine walks run times:
// a hold, where the temperature stands still, is then as wide as it lasted.
class AnalysisRunner
{
public:
    enum class Outcome
    {
        Drawn,   // a result, or the part of one that could be found, is on the plot
        Refused, // the region cannot be analysed; nothing was drawn
        NotFound, // the region holds nothing the analysis looks for; nothing was drawn
        Nothing  // no analysis mode
    };

    explicit AnalysisRunner(LocalCustomPlot* plot);
    ~AnalysisRunner();

    // Loads the samples of the curve into PointCalculate on its abscissa.
    void setCurve(const QVector<Global::ExperimentData>& data, bool onTime);
    // Sample mass (mg) the next peak's enthalpy is divided by.
    void setSampleMass(double mass);
    Outcome run(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name);
    // The items the last run drew.
    const QList<QObject*>& lastItems() const;

    Outcome glassTransition(double x1, double x2, const QString& name);
    void drawResultLabel(const QPointF& point, const QString& text, const QString& name);
    QPointF textBoxPlace(const QPointF& point) const;
    void drawPeakRegion(double x1, double x2, const QString& name);
    static QPair<double, double> linearFit(const QVector<double>& xs, const QVector<double>& ys);

private:
    Outcome numericalLabel(double x1, const QString& name);
    void startStopPoint(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name);
    void peakSynthesis(double x1, double x2, const QString& name);
    void meltingPoint(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name);
    int samplesBetween(double x1, double x2) const;
    bool runsDownward() const;
    double clampToCurve(double x) const;
    double peakArea();
    double timeOf(double x) const;
    static QPair<double, double> baselineNear(const QPointF& from);
    void drawGlassTransitionLabel(double t1, const QPointF& q, double t2, const QString& name);
    double baselineStubEnd(double from, double length) const;
    const SampleOrder& runTimeCurveOrder(float Global::ExperimentData::*field) const;
    QCPGraph* addResultGraph(const QVector<double>& keys, const QVector<double>& values, const QString& name);
    void drawBaselineStub(const QPointF& from, double toX, const QPair<double, double>& line, const QString& name);
    static bool steepestTangent(const QVector<QPointF>& region, QPair<double, double>& tangent);

    LocalCustomPlot* _plot;
    // The curve's samples as measured, and whether it is drawn against time.
    QVector<Global::ExperimentData> _data;
    bool _onTime;
    // The last curve drawn against time, and its samples with their run time
    // in the place of the temperature.
    QVector<Global::ExperimentData> _runTimeOf;
    QVector<Global::ExperimentData> _onRunTime;
    // Its samples in order of run time and of temperature.
    mutable std::array<std::unique_ptr<SampleOrder>, 2> _runTimeOrders;
    double _sampleMass;
    QList<QObject*> _items;
};

#endif // ANALYSISRUNNER_H
