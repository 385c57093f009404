#ifndef RESULTDRAWER_H
#define RESULTDRAWER_H

#include "global.h"

#include <QObject>
#include <QPair>
#include <QVector>

#include <memory>
#include <vector>

class AnalysisRunner;
class BackgroundWork;
class LocalCustomPlot;
class QWidget;

// Draws the results of a loaded workbook again: each analysis stored in it
// or applied to it since, run on the stage it was made on with its bounds on
// the abscissa shown now. Thousands of them are drawn a slice at a time from
// the event loop, all on the axis ranges they were first drawn on whatever
// the ranges become meanwhile, and painted a part at a time: a workbook's
// load steps its own drawing, and a redraw of workbooks already loaded (the
// abscissa switched, a stage's curve replaced) runs behind a busy dialog.
class ResultDrawer : public QObject
{
    Q_OBJECT

public:
    // The results of one workbook and how far they are drawn.
    struct Drawing;
    using Drawings = QVector<std::shared_ptr<Drawing>>;
    // An operation with whether its items are drawn confirmed.
    using Operations = QVector<QPair<AnalysisOperation, bool>>;

    ResultDrawer(LocalCustomPlot* plot, AnalysisRunner* runner, QWidget* dialogParent, QObject* parent = nullptr);
    ~ResultDrawer() override;

    // To be drawn on the ranges the plot has now.
    std::shared_ptr<Drawing> prepare(const Global::CurveFileData& file, const Operations& operations);
    static int operationCount(const Drawing& drawing);
    // A slice of results, or the painting of a part once all of its results
    // are drawn; true once all are drawn and painted, or dropped.
    bool step(Drawing& drawing);
    // So few results are drawn at once without stalling the window.
    static bool drawsAtOnce(int operations);
    // Every result at once; the caller replots.
    void drawAtOnce(Drawing& drawing);
    // Drawn one after the other, a step at a time from the event loop.
    void redraw(const Drawings& drawings);
    // No more parts of the drawing are painted: what it drew waits for the
    // next full replot.
    static void close(Drawing& drawing);
    // The results of the named workbook, or of all, left the plot: drawings
    // of them, the redraw's or a load's, draw nothing more.
    void drop(const QString& fileName);
    void drop();
    // A redraw is under way.
    bool isRunning() const;

signals:
    void runningChanged(bool running);

private:
    bool drawSlice(Drawing& drawing, qint64 budgetNs, int end);
    bool paintPart(Drawing& drawing);
    bool redraw(const Drawing& drawing, const AnalysisOperation& operation, bool confirmed);
    bool redrawStep();

    LocalCustomPlot* _plot;
    AnalysisRunner* _runner;
    BackgroundWork* _work;
    // Every drawing prepared and still held by someone, so that a removal
    // from the plot reaches it.
    std::vector<std::weak_ptr<Drawing>> _drawings;
    // The redraw's, in order.
    Drawings _queue;
};

#endif // RESULTDRAWER_H
