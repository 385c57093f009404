#ifndef LOCALCUSTOMPLOT_H
#define LOCALCUSTOMPLOT_H

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QVector>
#include <qcustomplot.h>

#include <memory>

class LabelPlacer;
class QTimer;

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

    // Thousands of results cannot be painted by one replot without stalling
    // the window. Drawn a part at a time, they go to a layer of their own
    // buffer above the curves (it gets the buffer from the next replot),
    // which paintPart() paints alone and then adds to the picture of the
    // parts painted before it: however many parts there are, the window puts
    // two pictures together. A closed part layer gets no more items: the next
    // full replot moves them down among the others and drops the layer.
    QCPLayer* addPartLayer();
    void closePartLayer(QCPLayer* layer);
    void paintPart(QCPLayer* layer);
    // The labels whole inside the axis rectangle and the arrows leaving them
    // towards their points, as every layout leaves them.
    void keepReadable(const QList<QCPItemText*>& labels, const QList<QCPItemLine*>& arrows);

    // Takes graphs and items off the plot at once, as removeGraph and
    // removeItem would, but destroys them a slice at a time from the event
    // loop: destroying tens of thousands takes longer than the window may
    // stall. Until then they are in no list and on no layer of the plot.
    void discard(const QSet<QObject*>& objects);

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
    void mergeClosedParts();
    void replotLayerAlone(QCPLayer* layer);
    QCPAbstractPaintBuffer* bufferOf(const QCPLayer* layer) const;
    void destroyDiscarded();

    // Guarded: a clear may remove the label while the button is still down.
    QPointer<QCPItemText> _draggedText;
    QPoint _lastMousePos;
    QCPLayer* _dragLayer;
    // The dragged label and its arrow, lifted onto the drag layer from theirs.
    QVector<QPointer<QCPAbstractItem>> _liftedItems;
    // A part layer may be merged away while a label lifted from it is
    // dragged; the label then goes back to the main layer.
    QPointer<QCPLayer> _liftedFrom;
    std::unique_ptr<LabelPlacer> _labelPlacer;
    // Set while the mouse's own handling runs: a range change then is the
    // user's.
    bool _mouseHandling;
    // Part layers and the layers below them that hold the parts painted,
    // lowest first, and those closed.
    QVector<QPointer<QCPLayer>> _partLayers;
    QHash<QCPLayer*, QCPLayer*> _paintedBelow;
    QSet<QCPLayer*> _closedParts;
    int _partsMade;
    // Layers were added since the last replot handed the paint buffers out.
    bool _buffersStale;
    // Discarded graphs and items, in the order they are destroyed.
    QVector<QPointer<QCPLayerable>> _discarded;
    int _nextDiscarded;
    QTimer* _discardTimer;
    // Of the last layout: labels follow their points when only the size
    // changes.
    QCPRange _laidOutX, _laidOutY;
    QSize _laidOutSize;
};

#endif // LOCALCUSTOMPLOT_H
