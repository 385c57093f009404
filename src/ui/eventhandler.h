#ifndef EVENTHANDLER_H
#define EVENTHANDLER_H

#include <QObject>

class QCPCurve;
class QCPItemStraightLine;
class QCustomPlot;
class QMenu;
class QMouseEvent;
class QContextMenuEvent;

// Event filter of the plot: drags the two boundary lines, shows the split
// cursor over them and offers the context menu of a selected curve.
class EventHandler : public QObject
{
    Q_OBJECT

public:
    // Role of a curve in the specific-heat calculation.
    enum CurveRole
    {
        BaseLine = 0,
        StandardSample = 1,
        Sample = 2
    };
    Q_ENUM(CurveRole)

    EventHandler(QCustomPlot* plot, QCPItemStraightLine* line1, QCPItemStraightLine* line2,
                 QObject* parent = nullptr);

    void setEnableFlag(bool on);
    bool enableFlag() const;
    QMenu* contextMenu() const;

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void sigSendLineXCoord(int which, double x);
    void sigSetCurve(int role, QCPCurve* curve);
    void sigDelCurve(QCPCurve* curve);

public slots:
    void slotBaseLine();
    void slotStandardSample();
    void slotSample();
    void slotDelCurve();

private:
    void initContextMenu();
    int lineX(QCPItemStraightLine* line) const;
    void handleMouseMove(QMouseEvent* event);
    void handleMousePress(QMouseEvent* event);
    void handleMouseRelease();
    void handleContextMenu(QContextMenuEvent* event);
    QCPCurve* firstSelectedCurve() const;
    void setCurveRole(CurveRole role);

    bool _enableFlag;
    QCustomPlot* _plot;
    QCPItemStraightLine* _line1;
    QCPItemStraightLine* _line2;
    QCPItemStraightLine* _draggedLine;
    QMenu* _contextMenu;
};

#endif // EVENTHANDLER_H
