#ifndef LABELPLACER_H
#define LABELPLACER_H

#include "global.h"

#include <QHash>
#include <QLineF>
#include <QList>
#include <QMap>
#include <QPair>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QVector>

#include <qcustomplot.h>

#include <vector>

class LocalCustomPlot;

// Finds places for the texts on the plot where they hide as little as they
// can, whole inside the axis rectangle: a result label beside the point it
// marks, over no other text and over as little of its curve as the rectangle
// allows; a text of the calculation dialogs in the first free place from the
// rectangle's top left corner.
//
// A result label's arrow leaves it from the edge facing its point (see
// facingSide); a place whose arrow would cross the curve, another arrow or
// another text is taken only when no other place does better.
//
// The boxes and arrows of the texts on the plot are kept in buckets of the
// plot's area and the analysed curve as counts of the cells it crosses, so a
// place costs about the same whether the plot holds ten texts or ten
// thousand.
class LabelPlacer
{
public:
    explicit LabelPlacer(LocalCustomPlot* plot);

    // The curve the next result labels belong to, on the abscissa it is
    // drawn against.
    void setCurve(const QVector<Global::ExperimentData>& data, bool onTime);
    // The filled area of a peak, between its samples and their chord (plot
    // coordinates): the next result label leaves it visible too.
    void setShade(const QVector<QPointF>& samples, const QPointF& chordStart, const QPointF& chordEnd);
    void clearShade();
    // The centre, in pixels, of a result label of the given size marking
    // point; preferred (plot coordinates) is where it goes when that place
    // hides nothing.
    QPointF placeResult(const QPointF& point, const QSizeF& size, const QPointF& preferred);
    QPointF placeFixed(const QSizeF& size);
    // A text just drawn, with its arrow if it has one: later texts keep clear
    // of them. A result label keeps its place from its point, in pixels.
    void keep(QCPItemText* text, QCPItemLine* arrow = nullptr);
    // Texts were moved (dragged, or kept inside a smaller rectangle).
    void invalidate();
    // Where each result label stands from its point now is its place: it was
    // dragged there, or the ranges moved under it.
    void notePlaces();
    // The axis rectangle changed its size, not its ranges: every result label
    // goes back to its place from its point, inside the rectangle; one that
    // then lies over another text, its own point or its curve is placed
    // again.
    void followResize();

    static QRectF boxOf(QCPItemText* text);
    // The size of the box a QCPItemText with no padding draws the text in.
    static QSizeF textSize(const QString& text, const QFont& font);
    // The box moved the least so as to lie within area; a box larger than
    // area keeps its top left corner in it.
    static QRectF shiftedInto(const QRectF& box, const QRectF& area);

    enum Side
    {
        Left,
        Right,
        Top,
        Bottom
    };
    // The edge of the box that faces a point outside it: an arrow from its
    // middle to the point stays outside the box.
    static Side facingSide(const QRectF& box, const QPointF& point);
    static QPointF middleOf(const QRectF& box, Side side);

private:
    struct Entry
    {
        QPointer<QCPItemText> text;
        QRectF box;
        QLineF arrow;
        // The last query that looked at it: an entry in several buckets
        // counts once.
        quint32 seen;
    };
    // The cells of the axis rectangle a curve crosses, summed so that any
    // box's count is four look-ups.
    struct CurveCells
    {
        QVector<Global::ExperimentData> data;
        bool onTime;
        QCPRange xRange, yRange;
        QRect area;
        int columns;
        int rows;
        QVector<int> sums;
        // Whether the curve crosses each cell, row by row.
        QVector<bool> marked;
        bool fits(const LabelPlacer& placer) const;
        int count(const QRectF& box) const;
        int crossings(const QLineF& line) const;
        bool crossesPixel(double left, double top) const;
        bool crossesAny(double left1, double left2, double top1, double top2) const;
    };
    // Per cell column from first on, the rows a peak's shade covers (none
    // where first > second).
    struct ShadeColumns
    {
        int first = 0;
        QVector<QPair<int, int>> rows;
    };
    // A result label as placed, with what placing it again needs.
    struct Placed
    {
        QPointer<QCPItemText> text;
        QPointer<QCPItemLine> arrow;
        QVector<Global::ExperimentData> curve;
        bool onTime;
        QPointF offset;
    };
    struct Score
    {
        int overlaps;
        int cover;
        int crossings;
        int order;
        bool operator<(const Score& other) const;
    };

    QPointF bestPlace(const QPointF& point, const QSizeF& size, const QPointF& preferred);
    bool noRoomFor(const QSizeF& size) const;
    bool crowdedPlace(const QPointF& point, const QVector<QRectF>& candidates, QRectF& place);
    void placeFree(const QPointF& point, const QSizeF& size, Score& score, QRectF& place);
    QVector<QRectF> scanBoxes(const QSizeF& size, const QPointF& nearest, const QVector<int>& sums) const;
    void take(const QRectF& box, int count);
    QVector<int> takenSums() const;
    bool taken(const QVector<int>& sums, const QRectF& box) const;
    bool hidesSomething(const QRectF& box, const QPointF& point);
    void placeAgain(Placed& placed);
    void reindex(QCPItemText* text, QCPItemLine* arrow);
    void prepare();
    void layOutIfMoved();
    void ensureIndex();
    void rebuildIndex();
    void insert(int entry);
    const std::vector<int>& bucketsOf(const QRectF& box, const QLineF& line = QLineF()) const;
    template<typename Count>
    int scan(const std::vector<int>& buckets, int cap, Count count);
    int overlaps(const QRectF& box, int cap);
    int crossings(const QRectF& box, const QLineF& arrow, int cap);
    bool scoreResult(const QRectF& box, const QPointF& point, int order, Score& score);
    const CurveCells* curveCells();
    CurveCells countCells() const;
    void markSegment(CurveCells& cells, QVector<bool>& marked, QPointF from, QPointF to) const;
    void shadeOutline(QVector<QPointF>& curve, QVector<QPointF>& chord) const;
    ShadeColumns shadeColumns(const QRect& area) const;
    int cover(const QRectF& box, const ShadeColumns& shade) const;
    QVector<QRectF> resultCandidates(const QPointF& point, const QSizeF& size, const QPointF& preferred) const;
    QRectF insideArea() const;

    LocalCustomPlot* _plot;
    QVector<Global::ExperimentData> _curveData;
    bool _curveOnTime;
    // Most recent first: the stages of a workbook whose stored analyses are
    // redrawn take turns.
    QList<CurveCells> _counted;
    QVector<QPointF> _shadeSamples;
    QPointF _chordStart, _chordEnd;
    // Of the label being placed.
    const CurveCells* _cells;
    ShadeColumns _shade;

    // In drawing order.
    QVector<Placed> _placed;
    QVector<Entry> _entries;
    QHash<const QCPItemText*, int> _entryOf;
    // The text being placed again: its old box is no obstacle.
    const QCPItemText* _ignored;
    QVector<QVector<int>> _buckets;
    mutable std::vector<int> _bucketList;
    int _bucketColumns;
    int _bucketRows;
    QRect _indexViewport;
    QRect _indexAxisRect;
    int _indexItemCount;
    bool _indexDirty;
    // Per cell of the viewport (CellSize pixels), the texts that reach into
    // it with their spacing: their sums tell a taken place at once, where the
    // buckets would be asked for each of the many places a scan tries.
    QVector<int> _taken;
    int _takenColumns;
    // The smallest text no free place was found for since the index was
    // built: a later text as large finds none either, since texts added free
    // no room. A label placed again when the plot is resized leaves its old
    // place, which hid something and so was seldom free; a crowded plot
    // would otherwise be scanned whole for every label it holds.
    QSizeF _noRoomFor;
    // Wraps around harmlessly: only equality with an entry's seen counts.
    quint32 _query;
    int _budget;
    // Ranges and size the plot was last laid out for by the placer.
    QCPRange _laidOutX, _laidOutY;
    QRect _laidOutViewport;
};

#endif // LABELPLACER_H
