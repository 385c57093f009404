#ifndef LOCALCUSTOMPLOT_H
#define LOCALCUSTOMPLOT_H

#include <QPointer>
#include <QVector>
#include <qcustomplot.h>

#include <memory>

class LabelPlacer;

// The plot widget: QCustomPlot plus dragging a result label with the left
// mouse button, and the texts kept readable: whole inside the axis rectangle,
// each arrow leaving its label on the side that faces its point.
class LocalCustomPlot : public QCustomPlot
{
    Q_OBJECT

public:
    // Object name of the texts the calculation dialogs draw; they stay where
    // they are put and cannot be dragged.
    static const QString FixedTextName;

    explicit LocalCustomPlot(QWidget* parent = nullptr);
    ~LocalCustomPlot() override;

    QRectF textItemRect(QCPItemText* label);
    LabelPlacer* labelPlacer() const;
    // The layout of the next replot, done now: the axis rectangle then fits
    // the ranges just set.
    void layOutNow();
    // Starts the arrow at the middle of the label's edge that faces the
    // arrow's end, so that the arrow never runs through the label's text.
    static void attachArrow(QCPItemLine* arrow, QCPItemText* label);
    // A layer of its own buffer above the curves for what the mouse drags (the
    // boundary lines, a label while it moves): a drag redraws this layer
    // only, however many curves lie below it.
    QCPLayer* dragLayer() const;

signals:
    // The user dragged or zoomed the axes with the mouse.
    void axesMovedByUser();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QCPItemText* labelAt(const QPoint& pos);
    void liftDraggedLabel(QCPItemText* label);
    void dropDraggedLabel();
    void keepLabelsReadable();
    void noteRangeChange();

    // Guarded: a clear may remove the label while the button is still down.
    QPointer<QCPItemText> _draggedText;
    QPoint _lastMousePos;
    QCPLayer* _dragLayer;
    // The dragged label and its arrow, lifted onto the drag layer from theirs.
    QVector<QPointer<QCPAbstractItem>> _liftedItems;
    QCPLayer* _liftedFrom;
    std::unique_ptr<LabelPlacer> _labelPlacer;
    // Set while the mouse's own handling runs: a range change then is the
    // user's.
    bool _mouseHandling;
};

#endif // LOCALCUSTOMPLOT_H
