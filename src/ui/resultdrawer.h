#ifndef RESULTDRAWER_H
#define RESULTDRAWER_H

#include "global.h"

#include <QPair>
#include <QVector>

#include <memory>

class AnalysisRunner;
class LocalCustomPlot;

// Draws the results of a loaded workbook again: each analysis stored in it
// or applied to it since, run on the stage it was made on with its bounds on
// the abscissa shown now. Thousands of them are drawn a slice at a time from
// the event loop, all on the axis ranges they were first drawn on whatever
// the ranges become meanwhile, and painted a part at a time.
class ResultDrawer
{
public:
    // The results of one workbook and how far they are drawn.
    struct Drawing;
    // An operation with whether its items are drawn confirmed.
    using Operations = QVector<QPair<AnalysisOperation, bool>>;

    ResultDrawer(LocalCustomPlot* plot, AnalysisRunner* runner);

    // To be drawn on the ranges the plot has now.
    std::shared_ptr<Drawing> prepare(const Global::CurveFileData& file, const Operations& operations) const;
    static int operationCount(const Drawing& drawing);
    // A slice of results, or the painting of a part once all of its results
    // are drawn; true once all are drawn and painted.
    bool step(Drawing& drawing);
    // Every result at once; the caller replots.
    void drawAtOnce(Drawing& drawing);
    // No more parts of the drawing are painted: what it drew waits for the
    // next full replot.
    static void close(Drawing& drawing);

private:
    bool drawSlice(Drawing& drawing, qint64 budgetNs, int end);
    bool paintPart(Drawing& drawing);
    bool redraw(const Drawing& drawing, const AnalysisOperation& operation, bool confirmed);

    LocalCustomPlot* _plot;
    AnalysisRunner* _runner;
};

#endif // RESULTDRAWER_H
