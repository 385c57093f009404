#ifndef CURVESMOOTHER_H
#define CURVESMOOTHER_H

#include "global.h"

#include <QObject>
#include <QPointer>
#include <QVector>

class CentralWidget;
class QCPCurve;
struct LowessControl;

// The "平滑" commands: smooths the points of every record drawn as the
// selected curve with LOWESS, replaces them in memory and draws that curve
// again from its records.
class CurveSmoother : public QObject
{
    Q_OBJECT

public:
    explicit CurveSmoother(CentralWidget* workspace, QObject* parent = nullptr);

    void smooth(int level);

    // The points with their signal smoothed at level (factor level x 0.1,
    // three passes) against the temperature, or the run time on the time
    // axis. Throws std::invalid_argument for fewer than two points and
    // LowessCancelled when control is cancelled.
    static QVector<Global::ExperimentData> smoothPoints(const QVector<Global::ExperimentData>& points, int level,
                                                        bool timeAxis, LowessControl* control = nullptr);

private:
    // A live stage record (record) or a stage of a loaded workbook (file,
    // phase), by index: the shared records may grow while a smoothing runs.
    struct RecordRef
    {
        int record = -1;
        int file = -1;
        int phase = -1;
    };
    struct Source
    {
        RecordRef ref;
        QVector<Global::ExperimentData> points;
        bool smoothed = false;
        QString rejection;
    };
    struct Job
    {
        QPointer<QCPCurve> curve;
        QString name;
        int level = 0;
        bool timeAxis = false;
        QVector<Source> sources;
    };

    bool collect(Job& job) const;
    static void compute(Job& job, LowessControl* control);
    void apply(const Job& job);
    static QVector<RecordRef> recordsOf(const QCPCurve* curve);
    static QVector<Global::ExperimentData>& dataOf(const RecordRef& ref);
    static QCPCurve*& curveOf(const RecordRef& ref);

    CentralWidget* _workspace;
};

#endif // CURVESMOOTHER_H
