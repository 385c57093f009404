#ifndef LOCALCUSTOMPLOT_H
#define LOCALCUSTOMPLOT_H

#include <QPointer>
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

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QCPItemText* labelAt(const QPoint& pos);

    // Guarded: a clear may remove the label while the button is still down.
    QPointer<QCPItemText> _draggedText;
    QPoint _lastMousePos;
};

#endif // LOCALCUSTOMPLOT_H
