#include "eventhandler.h"

#include <easylogging++.h>
#include <qcustomplot.h>

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

#include <cstdlib>

namespace {

// A line within this many pixels of the mouse can be grabbed; one pixel more
// and it cannot.
constexpr int LineReach = 4;

bool withinReach(int mouseX, int lineX)
{
    return std::abs(mouseX - lineX) <= LineReach;
}

} // namespace

EventHandler::EventHandler(QCustomPlot* plot, QCPItemStraightLine* line1, QCPItemStraightLine* line2,
                           QObject* parent)
    : QObject(parent)
    , _enableFlag(false)
    , _plot(plot)
    , _line1(line1)
    , _line2(line2)
    , _draggedLine(nullptr)
    , _contextMenu(new QMenu(plot))
{
    qRegisterMetaType<QCPCurve*>("QCPCurve*");
    _plot->setInteractions(QCP::iSelectItems);
    initContextMenu();
}

void EventHandler::setEnableFlag(bool on)
{
    _enableFlag = on;
}

bool EventHandler::enableFlag() const
{
    return _enableFlag;
}

QMenu* EventHandler::contextMenu() const
{
    return _contextMenu;
}

void EventHandler::initContextMenu()
{
    auto* specificHeat = new QAction(QStringLiteral("比热项"), _plot);
    auto* baseLine = new QAction(QStringLiteral("基线"), _plot);
    auto* standardSample = new QAction(QStringLiteral("标样"), _plot);
    auto* sample = new QAction(QStringLiteral("样品"), _plot);
    auto* deleteCurve = new QAction(QStringLiteral("删除当前曲线"), _plot);

    auto* roleMenu = new QMenu(_plot);
    roleMenu->addAction(baseLine);
    roleMenu->addAction(standardSample);
    roleMenu->addAction(sample);
    specificHeat->setMenu(roleMenu);

    _contextMenu->addAction(deleteCurve);
    _contextMenu->addAction(specificHeat);

    connect(baseLine, &QAction::triggered, this, &EventHandler::slotBaseLine);
    connect(standardSample, &QAction::triggered, this, &EventHandler::slotStandardSample);
    connect(sample, &QAction::triggered, this, &EventHandler::slotSample);
    connect(deleteCurve, &QAction::triggered, this, &EventHandler::slotDelCurve);
}

int EventHandler::lineX(QCPItemStraightLine* line) const
{
    return static_cast<int>(_plot->xAxis->coordToPixel(line->point1->key()));
}

bool EventHandler::eventFilter(QObject* watched, QEvent* event)
{
    if (!_enableFlag) {
        LOG(DEBUG) << "eventFilter false.";
        return QObject::eventFilter(watched, event);
    }
    if (watched != _plot)
        return QObject::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseMove:
        handleMouseMove(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonPress:
        handleMousePress(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonRelease:
        handleMouseRelease();
        break;
    case QEvent::ContextMenu:
        handleContextMenu(static_cast<QContextMenuEvent*>(event));
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void EventHandler::handleMouseMove(QMouseEvent* event)
{
    const int mouseX = event->pos().x();
    const bool overLine = (_line1->visible() && withinReach(mouseX, lineX(_line1)))
                          || (_line2->visible() && withinReach(mouseX, lineX(_line2)));
    _plot->setCursor(overLine ? Qt::SplitHCursor : Qt::ArrowCursor);

    if (!_draggedLine)
        return;
    const double key = _plot->xAxis->pixelToCoord(mouseX);
    emit sigSendLineXCoord(_draggedLine == _line1 ? 1 : 2, key);
    _draggedLine->point1->setCoords(key, _plot->yAxis->range().lower);
    _draggedLine->point2->setCoords(key, _plot->yAxis->range().upper);
    // The lines have a buffered layer of their own: only it is redrawn.
    _draggedLine->layer()->replot();
}

// Visibility is not tested: a hidden line within reach is grabbed as well.
void EventHandler::handleMousePress(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int mouseX = event->pos().x();
    if (withinReach(mouseX, lineX(_line1)))
        _draggedLine = _line1;
    else if (withinReach(mouseX, lineX(_line2)))
        _draggedLine = _line2;
    if (_draggedLine)
        _draggedLine->setSelected(true);
}

void EventHandler::handleMouseRelease()
{
    if (!_draggedLine)
        return;
    _draggedLine->setSelected(false);
    _draggedLine = nullptr;
}

void EventHandler::handleContextMenu(QContextMenuEvent* event)
{
    LOG(DEBUG) << "context menu...";
    if (_plot->selectedPlottables().isEmpty()) {
        LOG(DEBUG) << "not selected...";
        return;
    }
    LOG(DEBUG) << "selected...";
    if (!firstSelectedCurve())
        return;
    _contextMenu->move(event->globalPos());
    _contextMenu->show();
}

QCPCurve* EventHandler::firstSelectedCurve() const
{
    const QList<QCPAbstractPlottable*> selected = _plot->selectedPlottables();
    if (selected.isEmpty())
        return nullptr;
    return qobject_cast<QCPCurve*>(selected.first());
}

void EventHandler::setCurveRole(CurveRole role)
{
    QCPCurve* curve = firstSelectedCurve();
    if (!curve)
        return;
    static const Qt::GlobalColor roleColours[] = {Qt::red, Qt::darkGreen, Qt::black};
    curve->setPen(QPen(roleColours[role]));
    _plot->replot(QCustomPlot::rpRefreshHint);
    emit sigSetCurve(role, curve);
}

void EventHandler::slotBaseLine()
{
    LOG(DEBUG) << "slotBaseLine...";
    setCurveRole(BaseLine);
}

void EventHandler::slotStandardSample()
{
    setCurveRole(StandardSample);
}

void EventHandler::slotSample()
{
    setCurveRole(Sample);
}

void EventHandler::slotDelCurve()
{
    if (QCPCurve* curve = firstSelectedCurve())
        emit sigDelCurve(curve);
}
