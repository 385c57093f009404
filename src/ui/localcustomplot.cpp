#include "localcustomplot.h"

const QString LocalCustomPlot::FixedTextName = QStringLiteral("fixed");

LocalCustomPlot::LocalCustomPlot(QWidget* parent)
    : QCustomPlot(parent)
    , _draggedText(nullptr)
    , _lastMousePos(0, 0)
{
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

void LocalCustomPlot::mousePressEvent(QMouseEvent* event)
{
    for (QCPAbstractItem* selected : selectedItems())
        selected->setSelected(false);
    if (QCPItemText* label = labelAt(event->pos())) {
        _draggedText = label;
        label->setSelected(true);
        _lastMousePos = event->pos();
    }
    QCustomPlot::mousePressEvent(event);
}

void LocalCustomPlot::mouseReleaseEvent(QMouseEvent* event)
{
    _draggedText = nullptr;
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
    replot(QCustomPlot::rpRefreshHint);
}
