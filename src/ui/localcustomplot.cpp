#include "localcustomplot.h"

const QString LocalCustomPlot::FixedTextName = QStringLiteral("fixed");

namespace {

const QString DragLayerName = QStringLiteral("drag");

// How far a box from lo to hi must move to lie between areaLo and areaHi; a
// box wider than the area keeps its start in it.
double shiftInto(double lo, double hi, double areaLo, double areaHi)
{
    if (lo < areaLo || hi - lo > areaHi - areaLo)
        return areaLo - lo;
    if (hi > areaHi)
        return areaHi - hi;
    return 0.0;
}

} // namespace

LocalCustomPlot::LocalCustomPlot(QWidget* parent)
    : QCustomPlot(parent)
    , _draggedText(nullptr)
    , _lastMousePos(0, 0)
    , _dragLayer(nullptr)
    , _liftedFrom(nullptr)
{
    addLayer(DragLayerName, layer(QStringLiteral("main")), QCustomPlot::limAbove);
    _dragLayer = layer(DragLayerName);
    _dragLayer->setMode(QCPLayer::lmBuffered);
    connect(this, &QCustomPlot::afterLayout, this, &LocalCustomPlot::keepLabelsInside);
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

// Every result label whole inside the axis rectangle, at each layout: one
// placed a tick step right of a point near the edge, or left near it when
// the plot shrinks, would otherwise lose its last characters.
void LocalCustomPlot::keepLabelsInside()
{
    const QRectF area = axisRect()->rect();
    for (int i = 0; i < itemCount(); ++i) {
        auto* label = qobject_cast<QCPItemText*>(item(i));
        if (!label || label->objectName() == FixedTextName)
            continue;
        const QRectF box(label->topLeft->pixelPosition(), label->bottomRight->pixelPosition());
        const QPointF shift(shiftInto(box.left(), box.right(), area.left(), area.right()),
                            shiftInto(box.top(), box.bottom(), area.top(), area.bottom()));
        if (!shift.isNull())
            label->position->setPixelPosition(label->position->pixelPosition() + shift);
    }
}

// The label and the arrows that start at it move to the drag layer.
void LocalCustomPlot::liftDraggedLabel(QCPItemText* label)
{
    _liftedFrom = label->layer();
    _liftedItems = {label};
    for (int i = 0; i < itemCount(); ++i) {
        auto* arrow = qobject_cast<QCPItemLine*>(item(i));
        if (arrow && arrow->start->parentAnchor() == label->left)
            _liftedItems.append(arrow);
    }
    for (QCPAbstractItem* lifted : qAsConst(_liftedItems))
        lifted->setLayer(_dragLayer);
}

void LocalCustomPlot::dropDraggedLabel()
{
    if (_liftedItems.isEmpty())
        return;
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
        QCustomPlot::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = event->pos() - _lastMousePos;
    _draggedText->position->setType(QCPItemPosition::ptAbsolute);
    _draggedText->position->setCoords(_draggedText->position->coords() + QPointF(delta));
    _lastMousePos = event->pos();
    _dragLayer->replot();
}
