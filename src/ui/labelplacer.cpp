#include "labelplacer.h"

#include "localcustomplot.h"

#include <QFontMetrics>
#include <QHash>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Room kept between a text and the edge of the axis rectangle or another
// text, in pixels.
constexpr double Spacing = 4.0;
// The shortest arrow a result label leaves its point: the head alone is 10
// pixels long.
constexpr double ShortestArrow = 14.0;
// Side of the cells a curve is counted in, and of the buckets of text boxes.
constexpr int CellSize = 4;
constexpr int BucketSize = 64;
// Step of the search for a free place of a calculation dialog's text.
constexpr double FixedStep = 8.0;
// Distances from its point at which a result label is tried, nearest first,
// and the directions, along the axes first.
const double Gaps[] = {16.0, 48.0, 96.0, 160.0, 240.0, 360.0, 520.0};
const QPointF Directions[] = {{1, 0}, {-1, 0}, {0, -1}, {0, 1}, {1, -1}, {1, 1}, {-1, -1}, {-1, 1}};
// Counting further overlaps than these only costs time: a place over as many
// texts is as bad as any.
constexpr int OverlapCap = 3;
// Curves whose cells are kept counted at once.
constexpr int KeptCurves = 8;
// Texts looked at per placement at most: on a plot crowded past any free
// place the search stops with the best place found so far, so ten thousand
// labels cost ten thousand times one.
constexpr int VisitBudget = 2000;
// A calculation dialog's text tries every place of the rectangle, once per
// press of 计算.
constexpr int FixedVisitBudget = 400000;
// An arrow is tested against the curve every Along pixels, in runs of
// RunOfPoints points.
constexpr double Along = CellSize / 2.0;
constexpr int RunOfPoints = 8;
// Free places a result label with none beside its point weighs, nearest
// first: those further off only lengthen its arrow.
constexpr int FreePlacesTried = 64;

// The box of a given size whose nearest edge or corner lies gap pixels from
// point in direction.
QRectF boxBeside(const QPointF& point, const QSizeF& size, const QPointF& direction, double gap)
{
    const double d = direction.x() != 0.0 && direction.y() != 0.0 ? gap * 0.75 : gap;
    const auto start = [d](double at, double towards, double length) {
        if (towards > 0.0)
            return at + d;
        return towards < 0.0 ? at - d - length : at - length / 2.0;
    };
    return QRectF(start(point.x(), direction.x(), size.width()), start(point.y(), direction.y(), size.height()),
                  size.width(), size.height());
}

QRectF boxAround(const QPointF& centre, const QSizeF& size)
{
    return QRectF(centre.x() - size.width() / 2.0, centre.y() - size.height() / 2.0, size.width(), size.height());
}

bool isFinite(const QPointF& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The part of the segment inside area (Liang-Barsky); false when none is.
bool clipTo(const QRectF& area, QPointF& from, QPointF& to)
{
    const QPointF d = to - from;
    double t0 = 0.0, t1 = 1.0;
    const auto edge = [&t0, &t1](double p, double q) {
        if (p == 0.0)
            return q >= 0.0;
        const double r = q / p;
        if (p < 0.0) {
            if (r > t1)
                return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0)
                return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!edge(-d.x(), from.x() - area.left()) || !edge(d.x(), area.right() - from.x())
        || !edge(-d.y(), from.y() - area.top()) || !edge(d.y(), area.bottom() - from.y()))
        return false;
    to = from + d * t1;
    from = from + d * t0;
    return true;
}

QRectF boundsOf(const QLineF& line)
{
    return QRectF(line.p1(), line.p2()).normalized();
}

// Bounds first: most lines pass far from the box.
bool crosses(const QLineF& line, const QRectF& box)
{
    const QRectF bounds = boundsOf(line);
    if (bounds.right() < box.left() || bounds.left() > box.right() || bounds.bottom() < box.top()
        || bounds.top() > box.bottom())
        return false;
    if (box.contains(line.p1()) || box.contains(line.p2()))
        return true;
    const QLineF edges[] = {{box.topLeft(), box.topRight()}, {box.topRight(), box.bottomRight()},
                            {box.bottomRight(), box.bottomLeft()}, {box.bottomLeft(), box.topLeft()}};
    return std::any_of(std::begin(edges), std::end(edges), [&line](const QLineF& edge) {
        return line.intersects(edge, nullptr) == QLineF::BoundedIntersection;
    });
}

// std::floor without SSE4.1 is a call; this runs for every pixel an arrow
// is tested at.
int floorToInt(double value)
{
    const int truncated = static_cast<int>(value);
    return value < truncated ? truncated - 1 : truncated;
}

int cellOf(double pixel, double origin)
{
    return floorToInt((pixel - origin) / CellSize);
}

} // namespace

LabelPlacer::LabelPlacer(LocalCustomPlot* plot)
    : _plot(plot)
    , _curveOnTime(false)
    , _cells(nullptr)
    , _ignored(nullptr)
    , _bucketColumns(0)
    , _bucketRows(0)
    , _indexItemCount(-1)
    , _indexDirty(true)
    , _takenColumns(0)
    , _query(0u)
    , _budget(0)
{
}

void LabelPlacer::setCurve(const QVector<Global::ExperimentData>& data, bool onTime)
{
    _curveData = data;
    _curveOnTime = onTime;
}

void LabelPlacer::setShade(const QVector<QPointF>& samples, const QPointF& chordStart, const QPointF& chordEnd)
{
    _shadeSamples = samples;
    _chordStart = chordStart;
    _chordEnd = chordEnd;
}

void LabelPlacer::clearShade()
{
    _shadeSamples.clear();
}

void LabelPlacer::invalidate()
{
    _indexDirty = true;
}

QRectF LabelPlacer::boxOf(QCPItemText* text)
{
    return QRectF(text->topLeft->pixelPosition(), text->bottomRight->pixelPosition()).normalized();
}

// As QCPItemText measures its text, so the box is the one it draws.
QSizeF LabelPlacer::textSize(const QString& text, const QFont& font)
{
    return QFontMetrics(font).boundingRect(0, 0, 0, 0, Qt::TextDontClip | Qt::AlignTop | Qt::AlignHCenter, text).size();
}

QRectF LabelPlacer::shiftedInto(const QRectF& box, const QRectF& area)
{
    const auto shift = [](double lo, double hi, double areaLo, double areaHi) {
        if (lo < areaLo || hi - lo > areaHi - areaLo)
            return areaLo - lo;
        return hi > areaHi ? areaHi - hi : 0.0;
    };
    return box.translated(shift(box.left(), box.right(), area.left(), area.right()),
                          shift(box.top(), box.bottom(), area.top(), area.bottom()));
}

QRectF LabelPlacer::insideArea() const
{
    return QRectF(_plot->axisRect()->rect()).adjusted(Spacing, Spacing, -Spacing, -Spacing);
}

QPointF LabelPlacer::placeResult(const QPointF& point, const QSizeF& size, const QPointF& preferred)
{
    prepare();
    return bestPlace(QPointF(_plot->xAxis->coordToPixel(point.x()), _plot->yAxis->coordToPixel(point.y())), size,
                     QPointF(_plot->xAxis->coordToPixel(preferred.x()), _plot->yAxis->coordToPixel(preferred.y())));
}

// In pixels. The nearest candidate over no text and none of the curve, whose
// arrow crosses nothing, wins; failing one, the one over the fewest texts,
// then over the least of the curve, then with the fewest crossings.
QPointF LabelPlacer::bestPlace(const QPointF& p, const QSizeF& size, const QPointF& wanted)
{
    const QRectF area = insideArea();
    QRectF best = shiftedInto(boxAround(isFinite(wanted) ? wanted : area.center(), size), area);
    if (!isFinite(p))
        return best.center();
    _cells = curveCells();
    _shade = shadeColumns(_plot->axisRect()->rect());
    _budget = VisitBudget;
    const QVector<QRectF> candidates = resultCandidates(p, size, wanted);
    if (noRoomFor(size) && crowdedPlace(p, candidates, best)) {
        _cells = nullptr;
        return best.center();
    }
    _budget = VisitBudget;
    Score bestScore{INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    for (int i = 0; i < candidates.size() && _budget >= 0; ++i) {
        const QRectF box = shiftedInto(candidates.at(i), area);
        Score score = bestScore;
        if (scoreResult(box, p, i, score) && _budget >= 0 && score < bestScore) {
            bestScore = score;
            best = box;
        }
        if (bestScore.overlaps == 0 && bestScore.cover == 0 && bestScore.crossings == 0)
            break;
    }
    if (bestScore.overlaps > 0)
        placeFree(p, size, bestScore, best);
    _cells = nullptr;
    return best.center();
}

// The last scan of the rectangle found no free place for a text as large, and
// texts added since free no room.
bool LabelPlacer::noRoomFor(const QSizeF& size) const
{
    return _noRoomFor.isValid() && size.width() >= _noRoomFor.width() && size.height() >= _noRoomFor.height();
}

// A label that finds no free place anywhere lies over another text, and
// weighing where its arrow runs would cost most of its placing, thousands of
// times on a plot crowded past readability: it goes beside its point where it
// hides the least of its curve, nearest first. False, and place left alone,
// when a place beside the point is free after all: the label is placed as
// any other.
bool LabelPlacer::crowdedPlace(const QPointF& point, const QVector<QRectF>& candidates, QRectF& place)
{
    const QRectF area = insideArea();
    int leastCover = INT_MAX;
    for (int i = 0; i < candidates.size(); ++i) {
        const QRectF box = shiftedInto(candidates.at(i), area);
        if (box.adjusted(-ShortestArrow, -ShortestArrow, ShortestArrow, ShortestArrow).contains(point))
            continue;
        const bool free = overlaps(box, 1) == 0;
        if (_budget < 0)
            break;
        if (free)
            return false;
        const int covered = leastCover > 0 ? (_cells ? _cells->count(box) : 0) + cover(box, _shade) : INT_MAX;
        if (covered < leastCover) {
            leastCover = covered;
            place = box;
        }
    }
    return true;
}

// The places beside the point are few: on a small or crowded plot all of them
// may lie over other texts while the rectangle has room elsewhere. It is
// scanned as for a calculation text, nearest the point first; a free place
// there beats any over a text, however far from the point.
void LabelPlacer::placeFree(const QPointF& point, const QSizeF& size, Score& score, QRectF& place)
{
    if (noRoomFor(size))
        return;
    const QVector<QRectF> boxes = scanBoxes(size, point, takenSums());
    _budget = FixedVisitBudget;
    bool room = false;
    int tried = 0;
    for (int i = 0; i < boxes.size() && _budget >= 0 && tried < FreePlacesTried; ++i) {
        if (overlaps(boxes.at(i), 1) > 0)
            continue;
        room = true;
        ++tried;
        Score candidate = score;
        if (scoreResult(boxes.at(i), point, i, candidate) && _budget >= 0 && candidate < score) {
            score = candidate;
            place = boxes.at(i);
        }
        if (score.overlaps == 0 && score.cover == 0 && score.crossings == 0)
            return;
    }
    if (!room && _budget >= 0)
        _noRoomFor = size;
}

// Every FixedStep across and half of it down, inside the rectangle, that no
// text reaches into, sorted by the distance of their centres from nearest (in
// the order of the scan when equally far). A crowded plot leaves few to sort.
QVector<QRectF> LabelPlacer::scanBoxes(const QSizeF& size, const QPointF& nearest, const QVector<int>& sums) const
{
    const QRectF area = insideArea();
    QVector<QPair<double, int>> order;
    QVector<QRectF> boxes;
    for (double x = area.left(); x == area.left() || x + size.width() <= area.right(); x += FixedStep) {
        for (double y = area.top(); y == area.top() || y + size.height() <= area.bottom(); y += FixedStep / 2.0) {
            const QRectF box = shiftedInto(QRectF(QPointF(x, y), size), area);
            if (taken(sums, box))
                continue;
            boxes << box;
            const QPointF d = box.center() - nearest;
            order << qMakePair(QPointF::dotProduct(d, d), order.size());
        }
    }
    std::sort(order.begin(), order.end());
    QVector<QRectF> sorted;
    sorted.reserve(boxes.size());
    for (const auto& entry : qAsConst(order))
        sorted << boxes.at(entry.second);
    return sorted;
}

void LabelPlacer::take(const QRectF& box, int count)
{
    const int rows = _takenColumns > 0 ? _taken.size() / _takenColumns : 0;
    const QRectF wide = box.adjusted(-Spacing, -Spacing, Spacing, Spacing);
    const int c0 = std::max(0, cellOf(wide.left(), 0.0));
    const int c1 = std::min(_takenColumns - 1, cellOf(wide.right(), 0.0));
    const int r0 = std::max(0, cellOf(wide.top(), 0.0));
    const int r1 = std::min(rows - 1, cellOf(wide.bottom(), 0.0));
    for (int row = r0; row <= r1; ++row) {
        for (int column = c0; column <= c1; ++column)
            _taken[row * _takenColumns + column] += count;
    }
}

// Summed so that any box's count is four look-ups.
QVector<int> LabelPlacer::takenSums() const
{
    const int rows = _takenColumns > 0 ? _taken.size() / _takenColumns : 0;
    const int width = _takenColumns + 1;
    QVector<int> sums(width * (rows + 1), 0);
    for (int row = 0; row < rows; ++row) {
        int inRow = 0;
        for (int column = 0; column < _takenColumns; ++column) {
            inRow += _taken.at(row * _takenColumns + column) > 0 ? 1 : 0;
            sums[(row + 1) * width + column + 1] = sums[row * width + column + 1] + inRow;
        }
    }
    return sums;
}

// Whether a text reaches into a cell the box lies on.
bool LabelPlacer::taken(const QVector<int>& sums, const QRectF& box) const
{
    const int rows = _takenColumns > 0 ? _taken.size() / _takenColumns : 0;
    if (rows == 0)
        return false;
    const int c0 = qBound(0, cellOf(box.left(), 0.0), _takenColumns - 1);
    const int c1 = qBound(0, cellOf(box.right(), 0.0), _takenColumns - 1);
    const int r0 = qBound(0, cellOf(box.top(), 0.0), rows - 1);
    const int r1 = qBound(0, cellOf(box.bottom(), 0.0), rows - 1);
    const int width = _takenColumns + 1;
    return sums.at((r1 + 1) * width + c1 + 1) - sums.at(r0 * width + c1 + 1) - sums.at((r1 + 1) * width + c0)
               + sums.at(r0 * width + c0)
           > 0;
}

// False for no candidate: too near the point, where the arrow would hide
// under its own label, or already worse than score (which it then leaves).
bool LabelPlacer::scoreResult(const QRectF& box, const QPointF& point, int order, Score& score)
{
    if (box.adjusted(-ShortestArrow, -ShortestArrow, ShortestArrow, ShortestArrow).contains(point))
        return false;
    const int over = overlaps(box, OverlapCap);
    if (over > score.overlaps)
        return false;
    const int covered = (_cells ? _cells->count(box) : 0) + cover(box, _shade);
    if (over == score.overlaps && covered > score.cover)
        return false;
    const QLineF arrow(middleOf(box, facingSide(box, point)), point);
    score = Score{over, covered, crossings(box, arrow, OverlapCap), order};
    return true;
}

// The place one tick step right of the point first: nothing in the way, the
// label stands where it always did.
QVector<QRectF> LabelPlacer::resultCandidates(const QPointF& point, const QSizeF& size, const QPointF& preferred) const
{
    QVector<QRectF> boxes;
    if (isFinite(preferred))
        boxes << boxAround(preferred, size);
    for (double gap : Gaps) {
        for (const QPointF& direction : Directions)
            boxes << boxBeside(point, size, direction, gap);
    }
    return boxes;
}

// Column by column from the top left corner, so the texts stack down the
// rectangle's left side first.
QPointF LabelPlacer::placeFixed(const QSizeF& size)
{
    prepare();
    const QRectF area = insideArea();
    const QRectF first = shiftedInto(QRectF(area.topLeft(), size), area);
    _budget = FixedVisitBudget;
    for (double x = area.left(); x == area.left() || x + size.width() <= area.right(); x += FixedStep) {
        for (double y = area.top(); y == area.top() || y + size.height() <= area.bottom(); y += FixedStep / 2.0) {
            const QRectF box = shiftedInto(QRectF(QPointF(x, y), size), area);
            if (overlaps(box, 1) == 0 && _budget >= 0)
                return box.center();
            if (_budget < 0)
                return first.center();
        }
    }
    return first.center();
}

bool LabelPlacer::Score::operator<(const Score& other) const
{
    if (overlaps != other.overlaps)
        return overlaps < other.overlaps;
    if (cover != other.cover)
        return cover < other.cover;
    if (crossings != other.crossings)
        return crossings < other.crossings;
    return order < other.order;
}

LabelPlacer::Side LabelPlacer::facingSide(const QRectF& box, const QPointF& point)
{
    if (point.x() < box.left())
        return Left;
    if (point.x() > box.right())
        return Right;
    if (point.y() < box.top())
        return Top;
    return point.y() > box.bottom() ? Bottom : Left;
}

QPointF LabelPlacer::middleOf(const QRectF& box, Side side)
{
    switch (side) {
    case Right:
        return QPointF(box.right(), box.center().y());
    case Top:
        return QPointF(box.center().x(), box.top());
    case Bottom:
        return QPointF(box.center().x(), box.bottom());
    default:
        return QPointF(box.left(), box.center().y());
    }
}

void LabelPlacer::prepare()
{
    layOutIfMoved();
    ensureIndex();
}

// The axis rectangle is set by the plot's layout, which follows the ranges
// (their tick labels take room) only at the next replot: a label placed for
// ranges just set would be measured against the rectangle of the old ones.
void LabelPlacer::layOutIfMoved()
{
    const QCPRange x = _plot->xAxis->range();
    const QCPRange y = _plot->yAxis->range();
    if (x == _laidOutX && y == _laidOutY && _plot->viewport() == _laidOutViewport)
        return;
    _plot->layOutNow();
    _laidOutX = x;
    _laidOutY = y;
    _laidOutViewport = _plot->viewport();
}

// Every text drawn since the index was built went through keep(), so a
// different number of items means some were removed (or drawn by others).
void LabelPlacer::ensureIndex()
{
    if (_indexDirty || _plot->itemCount() != _indexItemCount || _plot->viewport() != _indexViewport
        || _plot->axisRect()->rect() != _indexAxisRect)
        rebuildIndex();
}

// Each arrow joins the label it starts at.
void LabelPlacer::rebuildIndex()
{
    _entries.clear();
    _entryOf.clear();
    _indexViewport = _plot->viewport();
    _indexAxisRect = _plot->axisRect()->rect();
    _bucketColumns = _indexViewport.width() / BucketSize + 1;
    _bucketRows = _indexViewport.height() / BucketSize + 1;
    _buckets = QVector<QVector<int>>(_bucketColumns * _bucketRows);
    _takenColumns = _indexViewport.width() / CellSize + 1;
    _taken = QVector<int>(_takenColumns * (_indexViewport.height() / CellSize + 1), 0);
    QHash<const QCPItemAnchor*, int> sides;
    for (int i = 0; i < _plot->itemCount(); ++i) {
        auto* text = qobject_cast<QCPItemText*>(_plot->item(i));
        if (!text || !text->visible())
            continue;
        _entries.append(Entry{text, boxOf(text), QLineF(), 0u});
        _entryOf.insert(text, _entries.size() - 1);
        for (const QCPItemAnchor* anchor : {text->left, text->right, text->top, text->bottom})
            sides.insert(anchor, _entries.size() - 1);
    }
    for (int i = 0; i < _plot->itemCount(); ++i) {
        auto* arrow = qobject_cast<QCPItemLine*>(_plot->item(i));
        const auto side = arrow ? sides.constFind(arrow->start->parentAnchor()) : sides.constEnd();
        if (side != sides.constEnd())
            _entries[*side].arrow = QLineF(arrow->start->pixelPosition(), arrow->end->pixelPosition());
    }
    for (int i = 0; i < _entries.size(); ++i)
        insert(i);
    _indexItemCount = _plot->itemCount();
    _indexDirty = false;
    _noRoomFor = QSizeF();
}

void LabelPlacer::keep(QCPItemText* text, QCPItemLine* arrow)
{
    if (arrow) {
        const QPointF offset = text->position->pixelPosition() - arrow->end->pixelPosition();
        _placed.append(Placed{text, arrow, _curveData, _curveOnTime, offset});
    }
    if (_indexDirty || _plot->viewport() != _indexViewport || _plot->axisRect()->rect() != _indexAxisRect) {
        rebuildIndex();
        return;
    }
    reindex(text, arrow);
}

// A text's entry replaced by one of its box and arrow now: the old one stays
// in its buckets, empty.
void LabelPlacer::reindex(QCPItemText* text, QCPItemLine* arrow)
{
    const auto old = _entryOf.constFind(text);
    if (old != _entryOf.constEnd() && _entries.at(*old).text) {
        _entries[*old].text = nullptr;
        take(_entries.at(*old).box, -1);
    }
    const QLineF line = arrow ? QLineF(arrow->start->pixelPosition(), arrow->end->pixelPosition()) : QLineF();
    _entries.append(Entry{text, boxOf(text), line, 0u});
    _entryOf.insert(text, _entries.size() - 1);
    insert(_entries.size() - 1);
    _indexItemCount = _plot->itemCount();
}

void LabelPlacer::notePlaces()
{
    for (int i = _placed.size() - 1; i >= 0; --i) {
        Placed& placed = _placed[i];
        if (!placed.text || !placed.arrow) {
            _placed.removeAt(i);
            continue;
        }
        const QPointF offset = placed.text->position->pixelPosition() - placed.arrow->end->pixelPosition();
        if (isFinite(offset))
            placed.offset = offset;
    }
}

// The place from the point is kept as it was, so a rectangle that shrinks
// and grows again gives every label back the place it was given. The curve
// and shade of a label being placed (this runs at a layout, which placing
// may ask for) are put back afterwards.
void LabelPlacer::followResize()
{
    const QVector<Global::ExperimentData> curve = _curveData;
    const bool onTime = _curveOnTime;
    const QVector<QPointF> shade = _shadeSamples;
    _shadeSamples.clear();
    const QRectF area = insideArea();
    for (int i = _placed.size() - 1; i >= 0; --i) {
        const Placed& placed = _placed.at(i);
        // A label with no layer has been taken off the plot and waits to be
        // destroyed: placing thousands of cleared labels again would hold
        // the window, and their boxes would stand in the way of new ones.
        if (!placed.text || !placed.arrow || !placed.text->layer()) {
            _placed.removeAt(i);
            continue;
        }
        const QPointF centre = placed.arrow->end->pixelPosition() + placed.offset;
        if (!isFinite(centre))
            continue;
        placed.text->position->setPixelPosition(
            shiftedInto(boxAround(centre, boxOf(placed.text).size()), area).center());
        LocalCustomPlot::attachArrow(placed.arrow, placed.text);
    }
    invalidate();
    ensureIndex();
    for (Placed& placed : _placed)
        placeAgain(placed);
    setCurve(curve, onTime);
    _shadeSamples = shade;
}

// Only a label that hides something moves, to the best place for it now.
void LabelPlacer::placeAgain(Placed& placed)
{
    const QPointF point = placed.arrow->end->pixelPosition();
    if (!isFinite(point))
        return;
    setCurve(placed.curve, placed.onTime);
    _cells = curveCells();
    _shade = ShadeColumns();
    _ignored = placed.text;
    const QRectF box = boxOf(placed.text);
    if (hidesSomething(box, point)) {
        _budget = VisitBudget;
        placed.text->position->setPixelPosition(bestPlace(point, box.size(), box.center()));
        LocalCustomPlot::attachArrow(placed.arrow, placed.text);
        reindex(placed.text, placed.arrow);
    }
    _ignored = nullptr;
    _cells = nullptr;
}

bool LabelPlacer::hidesSomething(const QRectF& box, const QPointF& point)
{
    _budget = VisitBudget;
    return box.adjusted(-ShortestArrow, -ShortestArrow, ShortestArrow, ShortestArrow).contains(point)
           || overlaps(box, 1) > 0 || (_cells && _cells->count(box) > 0);
}

// In every bucket its box covers or its arrow runs through.
void LabelPlacer::insert(int entry)
{
    for (int bucket : bucketsOf(_entries.at(entry).box, _entries.at(entry).arrow))
        _buckets[bucket].append(entry);
    take(_entries.at(entry).box, 1);
}

// Those of the box, then those along the line (when there is one), each once.
// The list is the placer's own, valid until the next call: a placement asks
// for thousands.
const std::vector<int>& LabelPlacer::bucketsOf(const QRectF& box, const QLineF& line) const
{
    const auto bucket = [](double pixel, int count) {
        return qBound(0, floorToInt(pixel / BucketSize), count - 1);
    };
    std::vector<int>& buckets = _bucketList;
    buckets.clear();
    for (int row = bucket(box.top(), _bucketRows); row <= bucket(box.bottom(), _bucketRows); ++row) {
        for (int column = bucket(box.left(), _bucketColumns); column <= bucket(box.right(), _bucketColumns); ++column)
            buckets.push_back(row * _bucketColumns + column);
    }
    if (line.isNull())
        return buckets;
    const int steps = static_cast<int>(std::ceil(line.length() / (BucketSize / 2.0)));
    for (int i = 0; i <= steps; ++i) {
        const QPointF q = steps == 0 ? line.p1() : line.pointAt(double(i) / steps);
        buckets.push_back(bucket(q.y(), _bucketRows) * _bucketColumns + bucket(q.x(), _bucketColumns));
    }
    std::sort(buckets.begin(), buckets.end());
    buckets.erase(std::unique(buckets.begin(), buckets.end()), buckets.end());
    return buckets;
}

// Calls count once for every live entry in the buckets until the counts
// reach cap or the placement's budget is spent.
template<typename Count>
int LabelPlacer::scan(const std::vector<int>& buckets, int cap, Count count)
{
    ++_query;
    int found = 0;
    for (int bucket : buckets) {
        for (int index : qAsConst(_buckets[bucket])) {
            Entry& entry = _entries[index];
            if (entry.seen == _query || !entry.text || entry.text == _ignored)
                continue;
            entry.seen = _query;
            found += count(entry);
            if (found >= cap || --_budget < 0)
                return std::min(found, cap);
        }
    }
    return found;
}

// The texts the box comes nearer than the spacing to, counted up to cap.
int LabelPlacer::overlaps(const QRectF& box, int cap)
{
    const QRectF wide = box.adjusted(-Spacing, -Spacing, Spacing, Spacing);
    return scan(bucketsOf(wide), cap, [&wide](const Entry& entry) { return entry.box.intersects(wide) ? 1 : 0; });
}

// The arrow over the curve, over another text or across another arrow, and
// another arrow under the box, counted up to cap.
int LabelPlacer::crossings(const QRectF& box, const QLineF& arrow, int cap)
{
    const int overCurve = _cells ? _cells->crossings(arrow) : 0;
    if (overCurve >= cap)
        return cap;
    return overCurve + scan(bucketsOf(box, arrow), cap - overCurve, [&box, &arrow](const Entry& entry) {
               const bool other = !entry.arrow.isNull()
                                  && (crosses(entry.arrow, box)
                                      || (boundsOf(arrow).intersects(boundsOf(entry.arrow))
                                          && arrow.intersects(entry.arrow, nullptr) == QLineF::BoundedIntersection));
               return (crosses(arrow, entry.box) ? 1 : 0) + (other ? 1 : 0);
           });
}

bool LabelPlacer::CurveCells::fits(const LabelPlacer& placer) const
{
    return data.constData() == placer._curveData.constData() && data.size() == placer._curveData.size()
           && onTime == placer._curveOnTime && xRange == placer._plot->xAxis->range()
           && yRange == placer._plot->yAxis->range() && area == placer._plot->axisRect()->rect();
}

// Null without a curve, or while the plot is squeezed below its margins and
// its axis rectangle has no cells.
const LabelPlacer::CurveCells* LabelPlacer::curveCells()
{
    if (_curveData.isEmpty() || _plot->axisRect()->rect().isEmpty())
        return nullptr;
    for (int i = 0; i < _counted.size(); ++i) {
        if (_counted.at(i).fits(*this)) {
            _counted.move(i, 0);
            return &_counted.first();
        }
    }
    _counted.prepend(countCells());
    while (_counted.size() > KeptCurves)
        _counted.removeLast();
    return &_counted.first();
}

// The cells crossed by the lines between the curve's samples as drawn.
LabelPlacer::CurveCells LabelPlacer::countCells() const
{
    CurveCells cells{_curveData, _curveOnTime, _plot->xAxis->range(), _plot->yAxis->range(),
                     _plot->axisRect()->rect(), 0, 0, {}, {}};
    cells.columns = cells.area.width() / CellSize + 1;
    cells.rows = cells.area.height() / CellSize + 1;
    QVector<bool> marked(cells.columns * cells.rows, false);
    QPointF previous;
    bool joined = false;
    for (const Global::ExperimentData& d : _curveData) {
        const QPointF p(_plot->xAxis->coordToPixel(_curveOnTime ? d.runTime : d.temperature),
                        _plot->yAxis->coordToPixel(d.dsc));
        if (!isFinite(p)) {
            joined = false;
            continue;
        }
        markSegment(cells, marked, joined ? previous : p, p);
        previous = p;
        joined = true;
    }
    const int width = cells.columns + 1;
    cells.sums = QVector<int>(width * (cells.rows + 1), 0);
    for (int row = 0; row < cells.rows; ++row) {
        int inRow = 0;
        for (int column = 0; column < cells.columns; ++column) {
            inRow += marked.at(row * cells.columns + column) ? 1 : 0;
            cells.sums[(row + 1) * width + column + 1] = cells.sums[row * width + column + 1] + inRow;
        }
    }
    cells.marked = marked;
    return cells;
}

void LabelPlacer::markSegment(CurveCells& cells, QVector<bool>& marked, QPointF from, QPointF to) const
{
    if (!clipTo(QRectF(cells.area), from, to))
        return;
    const QPointF d = to - from;
    const int steps = static_cast<int>(std::ceil(std::max(std::fabs(d.x()), std::fabs(d.y())) / (CellSize / 2.0)));
    for (int i = 0; i <= steps; ++i) {
        const QPointF q = steps == 0 ? from : from + d * (double(i) / steps);
        const int column = qBound(0, cellOf(q.x(), cells.area.left()), cells.columns - 1);
        const int row = qBound(0, cellOf(q.y(), cells.area.top()), cells.rows - 1);
        marked[row * cells.columns + column] = true;
    }
}

int LabelPlacer::CurveCells::count(const QRectF& box) const
{
    if (!QRectF(area).intersects(box))
        return 0;
    const int c0 = qBound(0, cellOf(box.left(), area.left()), columns - 1);
    const int c1 = qBound(0, cellOf(box.right(), area.left()), columns - 1);
    const int r0 = qBound(0, cellOf(box.top(), area.top()), rows - 1);
    const int r1 = qBound(0, cellOf(box.bottom(), area.top()), rows - 1);
    const int width = columns + 1;
    return sums.at((r1 + 1) * width + c1 + 1) - sums.at(r0 * width + c1 + 1) - sums.at((r1 + 1) * width + c0)
           + sums.at(r0 * width + c0);
}

// How often the line enters a cell the curve crosses, its last pixels left
// out: the arrow's head lies on the curve.
// Each point looked at stands for the pixel around it, which may reach into
// up to four cells. The curve is thin: a run of points whose cells together
// hold none of it is passed over at once.
int LabelPlacer::CurveCells::crossings(const QLineF& line) const
{
    const double full = line.length();
    const double length = full - ShortestArrow / 2.0;
    const double dx = line.x2() - line.x1();
    const double dy = line.y2() - line.y1();
    const auto left = [&](int point) { return line.x1() + dx * (point * Along / full) - 0.5; };
    const auto top = [&](int point) { return line.y1() + dy * (point * Along / full) - 0.5; };
    int entered = 0;
    bool inside = false;
    for (int first = 0; first * Along < length; first += RunOfPoints) {
        int last = first;
        while (last + 1 < first + RunOfPoints && (last + 1) * Along < length)
            ++last;
        if (!crossesAny(left(first), left(last), top(first), top(last))) {
            inside = false;
            continue;
        }
        for (int point = first; point <= last; ++point) {
            const bool marked = crossesPixel(left(point), top(point));
            entered += marked && !inside ? 1 : 0;
            inside = marked;
        }
    }
    return entered;
}

// Whether the curve crosses a cell that a pixel with its top left corner
// between (left1, top1) and (left2, top2) may reach into.
bool LabelPlacer::CurveCells::crossesAny(double left1, double left2, double top1, double top2) const
{
    if (columns <= 0 || rows <= 0)
        return false;
    const int c0 = qBound(0, cellOf(std::min(left1, left2), area.left()), columns - 1);
    const int c1 = qBound(0, cellOf(std::max(left1, left2) + 1.0, area.left()), columns - 1);
    const int r0 = qBound(0, cellOf(std::min(top1, top2), area.top()), rows - 1);
    const int r1 = qBound(0, cellOf(std::max(top1, top2) + 1.0, area.top()), rows - 1);
    const int width = columns + 1;
    return sums.at((r1 + 1) * width + c1 + 1) - sums.at(r0 * width + c1 + 1) - sums.at((r1 + 1) * width + c0)
               + sums.at(r0 * width + c0)
           > 0;
}

// Whether the curve crosses a cell under the pixel whose top left corner is
// (left, top): count() of that one-pixel box, without the sums.
bool LabelPlacer::CurveCells::crossesPixel(double left, double top) const
{
    const double right = left + 1.0;
    const double bottom = top + 1.0;
    if (area.width() <= 0 || area.height() <= 0 || left >= area.left() + area.width() || area.left() >= right || top >= area.top() + area.height()
        || area.top() >= bottom)
        return false;
    const int c0 = qBound(0, cellOf(left, area.left()), columns - 1);
    const int c1 = qBound(0, cellOf(right, area.left()), columns - 1);
    const int r0 = qBound(0, cellOf(top, area.top()), rows - 1);
    const int r1 = qBound(0, cellOf(bottom, area.top()), rows - 1);
    for (int row = r0; row <= r1; ++row) {
        for (int column = c0; column <= c1; ++column) {
            if (marked.at(row * columns + column))
                return true;
        }
    }
    return false;
}

// The shaded samples in pixels, each with the point of the chord at its
// abscissa.
void LabelPlacer::shadeOutline(QVector<QPointF>& curve, QVector<QPointF>& chord) const
{
    const double dx = _chordEnd.x() - _chordStart.x();
    for (const QPointF& s : _shadeSamples) {
        const double t = dx != 0.0 ? (s.x() - _chordStart.x()) / dx : 0.0;
        const QPointF onChord(s.x(), _chordStart.y() + t * (_chordEnd.y() - _chordStart.y()));
        const QPointF pixel(_plot->xAxis->coordToPixel(s.x()), _plot->yAxis->coordToPixel(s.y()));
        const QPointF chordPixel(pixel.x(), _plot->yAxis->coordToPixel(onChord.y()));
        if (isFinite(pixel) && isFinite(chordPixel)) {
            curve << pixel;
            chord << chordPixel;
        }
    }
}

// Per cell column of the axis rectangle, the rows between the shaded
// samples and their chord; between two samples both are interpolated.
LabelPlacer::ShadeColumns LabelPlacer::shadeColumns(const QRect& area) const
{
    QVector<QPointF> curve, chord;
    shadeOutline(curve, chord);
    ShadeColumns columns;
    if (curve.isEmpty() || area.isEmpty())
        return columns;
    // Columns beside the rectangle are never covered: a sample far off
    // screen must not cost a walk out to it.
    const int lowest = -1;
    const int highest = area.width() / CellSize + 1;
    columns.first = lowest;
    columns.rows = QVector<QPair<int, int>>(highest - lowest + 1, qMakePair(INT_MAX, INT_MIN));
    for (int i = 0; i < curve.size(); ++i) {
        const int j = std::min(i + 1, int(curve.size()) - 1);
        const double x0 = curve.at(i).x();
        const double span = curve.at(j).x() - x0;
        const int first = std::max(lowest, cellOf(std::min(x0, x0 + span), area.left()));
        const int last = std::min(highest, cellOf(std::max(x0, x0 + span), area.left()));
        for (int column = first; column <= last; ++column) {
            const double at = area.left() + (column + 0.5) * CellSize;
            const double t = span != 0.0 ? qBound(0.0, (at - x0) / span, 1.0) : 0.0;
            const double a = curve.at(i).y() + t * (curve.at(j).y() - curve.at(i).y());
            const double b = chord.at(i).y() + t * (chord.at(j).y() - chord.at(i).y());
            QPair<int, int>& rows = columns.rows[column - lowest];
            rows.first = std::min(rows.first, cellOf(std::min(a, b), area.top()));
            rows.second = std::max(rows.second, cellOf(std::max(a, b), area.top()));
        }
    }
    return columns;
}

int LabelPlacer::cover(const QRectF& box, const ShadeColumns& shade) const
{
    if (shade.rows.isEmpty())
        return 0;
    const QRect area = _plot->axisRect()->rect();
    const int c0 = std::max(shade.first, cellOf(box.left(), area.left()));
    const int c1 = std::min(shade.first + int(shade.rows.size()) - 1, cellOf(box.right(), area.left()));
    const int r0 = cellOf(box.top(), area.top());
    const int r1 = cellOf(box.bottom(), area.top());
    int covered = 0;
    for (int column = c0; column <= c1; ++column) {
        const QPair<int, int>& rows = shade.rows.at(column - shade.first);
        if (rows.first > rows.second)
            continue;
        const int from = std::max(r0, rows.first);
        const int to = std::min(r1, rows.second);
        covered += std::max(0, to - from + 1);
    }
    return covered;
}
