#ifndef CURVESMOOTHER_H
#define CURVESMOOTHER_H

#include "global.h"

#include <QObject>
#include <QVector>

class CentralWidget;
class QCPCurve;

// The "平滑" commands: smooths the points of the selected curve's record with
// LOWESS, replaces them in memory and draws the curve again from them.
class CurveSmoother : public QObject
{
    Q_OBJECT

public:
    explicit CurveSmoother(CentralWidget* workspace, QObject* parent = nullptr);

    void smooth(int level);

    // The points with their signal smoothed at level (factor level x 0.1,
    // three passes) against the temperature, or the run time on the time
    // axis; fewer than two points come back as they are.
    static QVector<Global::ExperimentData> smoothPoints(const QVector<Global::ExperimentData>& points, int level,
                                                        bool timeAxis);

private:
    struct Target;
    Target smoothSelectedRecord(int level);
    static void attachSmoothedCurve(const Target& target, QCPCurve* curve);

    CentralWidget* _workspace;
};

#endif // CURVESMOOTHER_H
