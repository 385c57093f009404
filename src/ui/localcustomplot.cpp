#include "localcustomplot.h"

#include "labelplacer.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>

#include <algorithm>

const QString LocalCustomPlot::FixedTextName = QStringLiteral("fixed");

namespace {

// Destroying a discarded graph or item takes a few microseconds.
constexpr qint64 DiscardSliceNs = 10 * 1000 * 1000;

const QString DragLayerName = QStringLiteral("drag");
const QString MainLayerName = QStringLiteral("main");

// The anchors an arrow may start at.
QVector<QCPItemAnchor*> sideAnchors(QCPItemText* label)
{
    return {label->left, label->right, label->top, label->bottom};
}

QCPItemAnchor* facingAnchor(QCPItemText* label, const QRectF& box, const QPointF& end)
{
    switch (LabelPlacer::facingSide(box, end)) {
    case LabelPlacer::Right:
        return label->right;
    case LabelPlacer::Top:
        return label->top;
    case LabelPlacer::Bottom:
        return label->bottom;
    default:
        return label->left;
    }
}

// Whether the arrow moved.
bool attachTo(QCPItemLine* arrow, QCPItemAnchor* anchor)
{
    if (arrow->start->parentAnchor() == anchor)
        return false;
    arrow->start->setParentAnchor(anchor);
    return true;
}

} // namespace

LocalCustomPlot::LocalCustomPlot(QWidget* parent)
    : QCustomPlot(parent)
    , _draggedText(nullptr)
    , _lastMousePos(0, 0)
    , _dragLayer(nullptr)
    , _labelPlacer(new LabelPlacer(this))
    , _mouseHandling(false)
    , _partsMade(0)
    , _buffersStale(false)
    , _nextDiscarded(0)
    , _discardTimer(new QTimer(this))
{
    _discardTimer->setSingleShot(true);
    connect(_discardTimer, &QTimer::timeout, this, &LocalCustomPlot::destroyDiscarded);
    // Tick labels print numbers as every other number of the program does,
    // with a point, also on the printed page: the widget's own locale would
    // follow the system's (a German one prints 0,5).
    QLocale numbers = QLocale::c();
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    setLocale(numbers);
    addLayer(DragLayerName, layer(QStringLiteral("main")), QCustomPlot::limAbove);
    _dragLayer = layer(DragLayerName);
    _dragLayer->setMode(QCPLayer::lmBuffered);
    connect(this, &QCustomPlot::afterLayout, this, &LocalCustomPlot::keepLabelsReadable);
    for (QCPAxis* axis : {xAxis, yAxis})
        connect(axis, QOverload<const QCPRange&>::of(&QCPAxis::rangeChanged), this, &LocalCustomPlot::noteRangeChange);
    connect(this, &QCustomPlot::beforeReplot, this, &LocalCustomPlot::mergeClosedParts);
    connect(this, &QCustomPlot::afterReplot, this, [this]() { _buffersStale = false; });
    // The legend is never shown; each graph added to it would lay the legend
    // out again when it goes, which makes removing many graphs quadratic.
    setAutoAddPlottableToLegend(false);
}

// What is still to be destroyed goes now, while the plot is whole.
LocalCustomPlot::~LocalCustomPlot()
{
    for (int i = _nextDiscarded; i < _discarded.size(); ++i)
        delete _discarded.at(i);
}

LabelPlacer* LocalCustomPlot::labelPlacer() const
{
    return _labelPlacer.get();
}

void LocalCustomPlot::layOutNow()
{
    updateLayout();
}

void LocalCustomPlot::attachArrow(QCPItemLine* arrow, QCPItemText* label)
{
    attachTo(arrow, facingAnchor(label, LabelPlacer::boxOf(label), arrow->end->pixelPosition()));
}

// The arrows of the labels follow their points: the places of the texts
// known so far are stale.
void LocalCustomPlot::noteRangeChange()
{
    _labelPlacer->invalidate();
    if (_mouseHandling)
        emit axesMovedByUser();
}

QCPLayer* LocalCustomPlot::dragLayer() const
{
    return _dragLayer;
}

// Absolute coordinates keep the label's place on screen and make its
// position a pixel position, which is what dragging moves.
QRectF LocalCustomPlot::textItemRect(QCPItemText* label)
{
    label->position->setType(QCPItemPosition::ptAbsolute);
    const QRect box = QFontMetrics(label->font()).boundingRect(label->text());
    const QPointF centre = label->position->pixelPosition();
    const int cx = qRound(centre.x());
    const int cy = qRound(centre.y());
    return QRectF(cx - box.width() / 2.0, cy - box.height() / 2.0, box.width(), box.height());
}

QCPItemText* LocalCustomPlot::labelAt(const QPoint& pos)
{
    for (int i = 0; i < itemCount(); ++i) {
        auto* label = qobject_cast<QCPItemText*>(item(i));
        if (label && label->objectName() != FixedTextName && textItemRect(label).contains(pos))
            return label;
    }
    return nullptr;
}

// Every text whole inside the axis rectangle, at each layout: the rectangle
// shrinks with the window. A result label placed beside its point in pixels
// stays there when only the rectangle's size changes (the analysis panel
// opens, the window shrinks); when the ranges move, it keeps its place in the
// rectangle. Then every arrow leaves its label towards its point, which
// panning, zooming or the label's drag may have moved to another side.
void LocalCustomPlot::keepLabelsReadable()
{
    const bool rangesMoved = xAxis->range() != _laidOutX || yAxis->range() != _laidOutY;
    const bool resized = _laidOutSize.isValid() && axisRect()->rect().size() != _laidOutSize;
    _laidOutX = xAxis->range();
    _laidOutY = yAxis->range();
    _laidOutSize = axisRect()->rect().size();
    if (resized && !rangesMoved)
        _labelPlacer->followResize();
    QList<QCPItemText*> labels;
    QList<QCPItemLine*> arrows;
    for (int i = 0; i < itemCount(); ++i) {
        if (auto* label = qobject_cast<QCPItemText*>(item(i)))
            labels.append(label);
        else if (auto* arrow = qobject_cast<QCPItemLine*>(item(i)))
            arrows.append(arrow);
    }
    keepReadable(labels, arrows);
    if (rangesMoved)
        _labelPlacer->notePlaces();
}

void LocalCustomPlot::keepReadable(const QList<QCPItemText*>& labels, const QList<QCPItemLine*>& arrows)
{
    const QRectF area = axisRect()->rect();
    QHash<QCPItemAnchor*, QPair<QCPItemText*, QRectF>> sides;
    bool moved = false;
    for (QCPItemText* label : labels) {
        const QRectF box = LabelPlacer::boxOf(label);
        const QRectF inside = LabelPlacer::shiftedInto(box, area);
        if (inside != box) {
            label->position->setPixelPosition(label->position->pixelPosition() + inside.topLeft() - box.topLeft());
            moved = true;
        }
        for (QCPItemAnchor* anchor : sideAnchors(label))
            sides.insert(anchor, qMakePair(label, inside));
    }
    for (QCPItemLine* arrow : arrows) {
        const auto side = sides.constFind(arrow->start->parentAnchor());
        if (side != sides.constEnd())
            moved = attachTo(arrow, facingAnchor(side->first, side->second, arrow->end->pixelPosition())) || moved;
    }
    if (moved)
        _labelPlacer->invalidate();
}

// Each part layer goes above the last, as later results lie above earlier
// ones, with the layer of its painted parts just below it. Adding a layer
// sets every paint buffer up again, at the next replot.
QCPLayer* LocalCustomPlot::addPartLayer()
{
    QCPLayer* below = layer(MainLayerName);
    for (const QPointer<QCPLayer>& part : qAsConst(_partLayers)) {
        if (part)
            below = part;
    }
    QCPLayer* added[2] = {nullptr, nullptr};
    for (QCPLayer*& made : added) {
        const QString name = QStringLiteral("part %1").arg(++_partsMade);
        addLayer(name, below, QCustomPlot::limAbove);
        made = layer(name);
        below = made;
        _partLayers.append(made);
        _closedParts.remove(made);
    }
    for (QCPLayer* made : added)
        made->setMode(QCPLayer::lmBuffered);
    _paintedBelow.insert(added[1], added[0]);
    _buffersStale = true;
    return added[1];
}

void LocalCustomPlot::closePartLayer(QCPLayer* layer)
{
    if (!layer || !_partLayers.contains(layer))
        return;
    _closedParts.insert(layer);
    if (QCPLayer* painted = _paintedBelow.value(layer))
        _closedParts.insert(painted);
}

// The part layer's picture is added to the one of the parts painted before,
// and its items join them: a later paint draws the new part alone, and the
// widget draws one picture for all of them. Until a replot has handed the
// new layers their buffers, the whole plot is replotted.
void LocalCustomPlot::paintPart(QCPLayer* part)
{
    if (_buffersStale) {
        replot(QCustomPlot::rpRefreshHint);
        return;
    }
    replotLayerAlone(part);
    QCPLayer* painted = _paintedBelow.value(part);
    QCPAbstractPaintBuffer* from = bufferOf(part);
    QCPAbstractPaintBuffer* to = painted ? bufferOf(painted) : nullptr;
    if (!from || !to || from == to)
        return;
    QVector<bool> stale;
    for (const QSharedPointer<QCPAbstractPaintBuffer>& buffer : qAsConst(mPaintBuffers))
        stale.append(buffer->invalidated());
    if (QCPPainter* painter = to->startPainting()) {
        from->draw(painter);
        delete painter;
        to->donePainting();
    }
    from->clear(Qt::transparent);
    const QList<QCPLayerable*> items = part->children();
    for (QCPLayerable* item : items)
        item->setLayer(painted);
    for (int i = 0; i < stale.size() && i < mPaintBuffers.size(); ++i)
        mPaintBuffers.at(i)->setInvalidated(stale.at(i) && mPaintBuffers.at(i).data() != from
                                            && mPaintBuffers.at(i).data() != to);
    update();
}

// QCPLayer::replot paints its layer alone only while no paint buffer is
// marked stale, and adding an item to a layer marks that layer's buffer. The
// marks are lifted for the call and put back after it: the layer's own buffer
// is painted afresh, and every other buffer is left as it was.
void LocalCustomPlot::replotLayerAlone(QCPLayer* layer)
{
    QVector<bool> stale;
    for (const QSharedPointer<QCPAbstractPaintBuffer>& buffer : qAsConst(mPaintBuffers)) {
        stale.append(buffer->invalidated());
        buffer->setInvalidated(false);
    }
    layer->replot();
    for (int i = 0; i < stale.size() && i < mPaintBuffers.size(); ++i)
        mPaintBuffers.at(i)->setInvalidated(stale.at(i));
}

// As QCustomPlot hands the buffers out at a replot: in layer order, one of
// its own to each buffered layer and one to each run of logical layers.
QCPAbstractPaintBuffer* LocalCustomPlot::bufferOf(const QCPLayer* wanted) const
{
    int index = 0;
    for (int i = 0; i < mLayers.size(); ++i) {
        const QCPLayer* current = mLayers.at(i);
        if (current->mode() == QCPLayer::lmBuffered || (i > 0 && mLayers.at(i - 1)->mode() == QCPLayer::lmBuffered))
            ++index;
        if (current == wanted)
            return index < mPaintBuffers.size() ? mPaintBuffers.at(index).data() : nullptr;
    }
    return nullptr;
}

// Each list is walked once, and each layer's in its own order. Curves are
// left to removePlottable: whoever watches a curve must see it go at once.
void LocalCustomPlot::discard(const QSet<QObject*>& objects)
{
    const auto gone = [&objects](QObject* object) { return objects.contains(object); };
    mItems.erase(std::remove_if(mItems.begin(), mItems.end(), gone), mItems.end());
    mGraphs.erase(std::remove_if(mGraphs.begin(), mGraphs.end(), gone), mGraphs.end());
    mPlottables.erase(std::remove_if(mPlottables.begin(), mPlottables.end(),
                                     [&objects](QCPAbstractPlottable* plottable) {
                                         return qobject_cast<QCPGraph*>(plottable) && objects.contains(plottable);
                                     }),
                      mPlottables.end());
    for (QCPLayer* layer : qAsConst(mLayers)) {
        const QList<QCPLayerable*> children = layer->children();
        for (QCPLayerable* child : children) {
            if (!objects.contains(child) || !(qobject_cast<QCPAbstractItem*>(child) || qobject_cast<QCPGraph*>(child)))
                continue;
            child->setLayer(static_cast<QCPLayer*>(nullptr));
            _discarded.append(child);
        }
    }
    if (_draggedText && objects.contains(_draggedText))
        _draggedText = nullptr;
    _liftedItems.erase(std::remove_if(_liftedItems.begin(), _liftedItems.end(),
                                      [&objects](const QPointer<QCPAbstractItem>& item) {
                                          return !item || objects.contains(item);
                                      }),
                       _liftedItems.end());
    _labelPlacer->invalidate();
    _discardTimer->start(0);
}

void LocalCustomPlot::destroyDiscarded()
{
    QElapsedTimer clock;
    clock.start();
    while (_nextDiscarded < _discarded.size() && clock.nsecsElapsed() < DiscardSliceNs)
        delete _discarded.at(_nextDiscarded++);
    if (_nextDiscarded < _discarded.size()) {
        _discardTimer->start(0);
        return;
    }
    _discarded.clear();
    _nextDiscarded = 0;
}

// On the main layer the items keep the order they were drawn in; the full
// replot that follows paints them there.
void LocalCustomPlot::mergeClosedParts()
{
    QCPLayer* main = layer(MainLayerName);
    for (int i = 0; i < _partLayers.size(); ++i) {
        QCPLayer* part = _partLayers.at(i);
        if (!part || !_closedParts.contains(part))
            continue;
        for (QCPLayerable* child : part->children())
            child->setLayer(main);
        _closedParts.remove(part);
        _paintedBelow.remove(part);
        removeLayer(part);
    }
    _partLayers.removeAll(QPointer<QCPLayer>());
}

// The label and the arrows that start at it move to the drag layer.
void LocalCustomPlot::liftDraggedLabel(QCPItemText* label)
{
    _liftedFrom = label->layer();
    _liftedItems = {label};
    for (int i = 0; i < itemCount(); ++i) {
        auto* arrow = qobject_cast<QCPItemLine*>(item(i));
        if (arrow && sideAnchors(label).contains(arrow->start->parentAnchor()))
            _liftedItems.append(arrow);
    }
    for (QCPAbstractItem* lifted : qAsConst(_liftedItems))
        lifted->setLayer(_dragLayer);
}

void LocalCustomPlot::dropDraggedLabel()
{
    if (_liftedItems.isEmpty())
        return;
    _labelPlacer->invalidate();
    QCPLayer* back = _liftedFrom ? _liftedFrom.data() : layer(MainLayerName);
    for (QCPAbstractItem* lifted : qAsConst(_liftedItems)) {
        if (lifted)
            lifted->setLayer(back);
    }
    _liftedItems.clear();
    _labelPlacer->notePlaces();
    replot(QCustomPlot::rpRefreshHint);
}

void LocalCustomPlot::mousePressEvent(QMouseEvent* event)
{
    for (QCPAbstractItem* selected : selectedItems())
        selected->setSelected(false);
    if (QCPItemText* label = labelAt(event->pos())) {
        _draggedText = label;
        label->setSelected(true);
        _lastMousePos = event->pos();
        liftDraggedLabel(label);
    }
    QCustomPlot::mousePressEvent(event);
}

void LocalCustomPlot::mouseReleaseEvent(QMouseEvent* event)
{
    _draggedText = nullptr;
    dropDraggedLabel();
    QCustomPlot::mouseReleaseEvent(event);
}

void LocalCustomPlot::mouseMoveEvent(QMouseEvent* event)
{
    if (!_draggedText) {
        _mouseHandling = true;
        QCustomPlot::mouseMoveEvent(event);
        _mouseHandling = false;
        return;
    }
    const QPoint delta = event->pos() - _lastMousePos;
    _draggedText->position->setType(QCPItemPosition::ptAbsolute);
    _draggedText->position->setCoords(_draggedText->position->coords() + QPointF(delta));
    _lastMousePos = event->pos();
    for (QCPAbstractItem* lifted : qAsConst(_liftedItems)) {
        if (auto* arrow = qobject_cast<QCPItemLine*>(lifted))
            attachArrow(arrow, _draggedText);
    }
    _dragLayer->replot();
}

void LocalCustomPlot::wheelEvent(QWheelEvent* event)
{
    _mouseHandling = true;
    QCustomPlot::wheelEvent(event);
    _mouseHandling = false;
}
