#ifndef LOCALCUSTOMPLOT_H
#define LOCALCUSTOMPLOT_H

#include <QPointer>
#include <QVector>
#include <qcustomplot.h>

// The plot widget: QCustomPlot plus dragging a result label with the left
// mouse button.
class LocalCustomPlot : public QCustomPlot
{
    Q_OBJECT

public:
    // Object name of the texts the calculation dialogs draw; they stay where
    // they are put and cannot be dragged.
    static const QString FixedTextName;

    explicit LocalCustomPlot(QWidget* parent = nullptr);

    QRectF textItemRect(QCPItemText* label);
    // A layer of its own buffer above the curves for what the mouse drags (the
    // boundary lines, a label while it moves): a drag redraws this layer
    // only, however many curves lie below it.
    QCPLayer* dragLayer() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QCPItemText* labelAt(const QPoint& pos);
    void liftDraggedLabel(QCPItemText* label);
    void dropDraggedLabel();
    void keepLabelsInside();

    // Guarded: a clear may remove the label while the button is still down.
    QPointer<QCPItemText> _draggedText;
    QPoint _lastMousePos;
    QCPLayer* _dragLayer;
    // The dragged label and its arrow, lifted onto the drag layer from theirs.
    QVector<QPointer<QCPAbstractItem>> _liftedItems;
    QCPLayer* _liftedFrom;
};

#endif // LOCALCUSTOMPLOT_H
