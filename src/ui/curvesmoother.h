#ifndef CURVESMOOTHER_H
#define CURVESMOOTHER_H

#include "global.h"

#include <QObject>
#include <QPointer>
#include <QVector>

#include <memory>

class BackgroundWork;
class CentralWidget;
class QCPCurve;
class QWidget;
struct LowessControl;

// The "平滑" commands: smooths the points of every record drawn as the
// selected curve with LOWESS, replaces them in memory and draws that curve
// again from its records.
//
// The smoother works in a thread of its own on a copy of the points, so the
// window keeps painting and live points keep arriving; the result is applied
// here, in the GUI thread. A smoothing that lasts shows a progress dialog
// whose "取消" leaves everything as it was.
class CurveSmoother : public QObject
{
    Q_OBJECT

public:
    explicit CurveSmoother(CentralWidget* workspace, QWidget* parent = nullptr);
    ~CurveSmoother() override;

    void smooth(int level);
    bool isRunning() const;

    // The points with their signal smoothed at level (factor level x 0.1,
    // three passes) against the temperature, or the run time on the time
    // axis. Throws std::invalid_argument for fewer than two points and
    // LowessCancelled when control is cancelled.
    static QVector<Global::ExperimentData> smoothPoints(const QVector<Global::ExperimentData>& points, int level,
                                                        bool timeAxis, LowessControl* control = nullptr);

signals:
    // A smoothing started (true) or ended, applied or not (false).
    void runningChanged(bool running);

private:
    // A live stage record (record) or a stage of a loaded workbook (file,
    // phase), by index: the shared records may grow while a smoothing runs.
    struct RecordRef
    {
        int record = -1;
        int file = -1;
        int phase = -1;
        bool operator==(const RecordRef& other) const
        {
            return record == other.record && file == other.file && phase == other.phase;
        }
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
    struct Work;

    bool collect(Job& job) const;
    static void compute(Job& job, LowessControl* control);
    void apply(const Job& job);
    static bool takeSmoothedPoints(const Job& job, const QVector<RecordRef>& refs);
    void redraw(QCPCurve* curve, const QVector<RecordRef>& refs, const QString& name);
    int progress() const;
    void cancel();
    void finish();
    static QVector<RecordRef> recordsOf(const QCPCurve* curve);
    static QVector<Global::ExperimentData>& dataOf(const RecordRef& ref);
    static QCPCurve*& curveOf(const RecordRef& ref);

    CentralWidget* _workspace;
    // Shared with the worker thread, which touches nothing else.
    std::shared_ptr<Work> _work;
    BackgroundWork* _background;
};

#endif // CURVESMOOTHER_H
