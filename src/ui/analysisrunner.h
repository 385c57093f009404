#ifndef ANALYSISRUNNER_H
#define ANALYSISRUNNER_H

#include "centralwidget.h"

#include <QPair>
#include <QPointF>
#include <QString>
#include <QVector>

class QCPGraph;
class QCustomPlot;
class QWidget;

// Computes one region analysis on the curve PointCalculate holds and draws
// its result: a label with its arrow and, for a peak or a glass transition,
// the graphs of the region, the baselines and the tangent. Every item is
// registered as a temporary result of the analysed curve.
class AnalysisRunner
{
public:
    // Warnings go to a box over the owner's parent window.
    AnalysisRunner(QCustomPlot* plot, QWidget* owner);

    // A sample's place on the current abscissa.
    static double abscissaOf(const Global::ExperimentData& d);

    // Sample mass (mg) the next peak's enthalpy is divided by.
    void setSampleMass(double mass);
    void run(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name);
    void glassTransition(double x1, double x2, const QString& name);
    void drawResultLabel(const QPointF& point, const QString& text, const QString& name);
    QPointF textBoxPlace(const QPointF& point) const;
    void drawPeakRegion(double x1, double x2, const QString& name);
    static QPair<double, double> linearFit(const QVector<double>& xs, const QVector<double>& ys);

private:
    void numericalLabel(double x1, const QString& name);
    void startStopPoint(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name);
    void peakSynthesis(double x1, double x2, const QString& name);
    void meltingPoint(CentralWidget::AnalysisMode mode, double x1, double x2, const QString& name);
    QCPGraph* addResultGraph(const QVector<double>& keys, const QVector<double>& values, const QString& name);
    void drawBaselineStub(const QPointF& from, double length, const QPair<double, double>& line,
                          const QString& name);
    static bool steepestTangent(const QVector<QPointF>& region, QPair<double, double>& tangent);

    QCustomPlot* _plot;
    QWidget* _owner;
    double _sampleMass;
};

#endif // ANALYSISRUNNER_H
