#include "localcustomplot.h"

#include "labelplacer.h"

#include <QHash>

const QString LocalCustomPlot::FixedTextName = QStringLiteral("fixed");

namespace {

const QString DragLayerName = QStringLiteral("drag");

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

void attachTo(QCPItemLine* arrow, QCPItemAnchor* anchor)
{
    if (arrow->start->parentAnchor() != anchor)
        arrow->start->setParentAnchor(anchor);
}

} // namespace

LocalCustomPlot::LocalCustomPlot(QWidget* parent)
    : QCustomPlot(parent)
    , _draggedText(nullptr)
    , _lastMousePos(0, 0)
    , _dragLayer(nullptr)
    , _liftedFrom(nullptr)
    , _labelPlacer(new LabelPlacer(this))
    , _mouseHandling(false)
{
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
}

LocalCustomPlot::~LocalCustomPlot() = default;

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

void LocalCustomPlot::noteRangeChange()
{
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
// shrinks with the window. Then every arrow leaves its label towards its
// point, which panning, zooming or the label's drag may have moved to
// another side.
void LocalCustomPlot::keepLabelsReadable()
{
    const QRectF area = axisRect()->rect();
    QHash<QCPItemAnchor*, QPair<QCPItemText*, QRectF>> sides;
    bool moved = false;
    for (int i = 0; i < itemCount(); ++i) {
        auto* label = qobject_cast<QCPItemText*>(item(i));
        if (!label)
            continue;
        const QRectF box = LabelPlacer::boxOf(label);
        const QRectF inside = LabelPlacer::shiftedInto(box, area);
        if (inside != box) {
            label->position->setPixelPosition(label->position->pixelPosition() + inside.topLeft() - box.topLeft());
            moved = true;
        }
        for (QCPItemAnchor* anchor : sideAnchors(label))
            sides.insert(anchor, qMakePair(label, inside));
    }
    if (moved)
        _labelPlacer->invalidate();
    for (int i = 0; i < itemCount(); ++i) {
        auto* arrow = qobject_cast<QCPItemLine*>(item(i));
        const auto side = arrow ? sides.constFind(arrow->start->parentAnchor()) : sides.constEnd();
        if (side != sides.constEnd())
            attachTo(arrow, facingAnchor(side->first, side->second, arrow->end->pixelPosition()));
    }
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
    for (QCPAbstractItem* lifted : qAsConst(_liftedItems)) {
        if (lifted)
            lifted->setLayer(_liftedFrom);
    }
    _liftedItems.clear();
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
