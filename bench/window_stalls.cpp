// Event-loop stalls of the real main window on 100,000-point curves. A 1 ms
// heartbeat timer runs in the GUI thread; the longest gap between two of its
// ticks while an action runs is the time the window could not paint or take
// input. Each action is started from inside the event loop, the way a menu
// click starts it, and the loop runs until the action's effect is visible.
// Prints "action figure_ms" lines; bench/run-stalls.sh puts them in a table.
#include "windowheartbeat.h"
#include "benchrun.h"

#include "centralwidget.h"
#include "filedialog.h"
#include "global.h"
#include "leftwidget.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "messagebox.h"
#include "xlsxhandler.h"

#include <qcustomplot.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

namespace {

class Bench
{
public:
    Bench()
    {
        MessageBox::setResponder([](const MessageBox::Request&) { return QMessageBox::No; });
        FileDialog::setResponder([this](const FileDialog::Request&) { return _savePath; });
        _window.resize(1280, 800);
        _window.show();
        _central = _window.findChild<CentralWidget*>();
        _tree = _window.findChild<LeftWidget*>();
        settle();
    }

    void writeWorkbooks(int count)
    {
        QDir().mkpath(Global::SampleDataFolderPath);
        for (int i = 1; i <= count; ++i) {
            makeBenchRun(QStringLiteral("bench%1").arg(i));
            XlsxHandler::writeExperimentFile(workbookPath(i));
        }
        Global::_experimentDataVtr.clear();
        _tree->refreshTree();
    }

    double openFromTree(int i)
    {
        const int before = Global::_curveFileDataVtr.size();
        QTreeWidgetItem* item = treeItem(QStringLiteral("bench%1.xlsx").arg(i));
        return measure(
            _heartbeat, [this, item]() { _tree->slotTreeWidgetItemClicked(item, 0); },
            [before]() { return Global::_curveFileDataVtr.size() > before; });
    }

    double smooth(int level)
    {
        clear();
        openFromTree(1);
        selectFirstCurve();
        const double before = dscSum();
        QAction* action = _window.findChild<QAction*>(QStringLiteral("actionSmoothness%1").arg(level));
        return measure(
            _heartbeat, [action]() { action->trigger(); }, [this, before]() { return dscSum() != before; });
    }

    double stopAndSave()
    {
        clear();
        makeBenchRun(QStringLiteral("stopped"));
        Global::_globalMode = Global::Experiment;
        _savePath = Global::SampleDataFolderPath + QStringLiteral("/stopped.xlsx");
        QFile::remove(_savePath);
        QAction* stop = _window.findChild<QAction*>(QStringLiteral("actionStop"));
        const double stall = measure(
            _heartbeat, [stop]() { stop->trigger(); },
            [this]() { return QFileInfo::exists(_savePath) && Global::_globalMode == Global::Analysis; });
        Global::_experimentDataVtr.clear();
        return stall;
    }

    // Loads workbooks 1 to count, returns the stall of the last load.
    double loadInARow(int count)
    {
        clear();
        double last = 0.0;
        for (int i = 1; i <= count; ++i)
            last = openFromTree(i);
        return last;
    }

    // With what is loaded now, drags the first boundary line across the plot;
    // returns the slowest mouse move, each measured until the loop is idle.
    double dragWorstMove(int moves)
    {
        _window.findChild<QAction*>(QStringLiteral("actionPeakSynthesisAnalysis"))->trigger();
        settle();
        QCustomPlot* plot = _central->plot();
        int x = int(plot->xAxis->coordToPixel(_central->line1()->point1->key()));
        const int y = plot->axisRect()->center().y();
        sendMouse(plot, QEvent::MouseButtonPress, x, y, Qt::LeftButton);
        double worst = 0.0;
        QElapsedTimer clock;
        for (int i = 0; i < moves; ++i) {
            x += (i < moves / 2) ? 3 : -3;
            settle();
            clock.start();
            sendMouse(plot, QEvent::MouseMove, x, y, Qt::NoButton);
            QCoreApplication::processEvents();
            worst = std::max(worst, clock.nsecsElapsed() / 1e6);
        }
        sendMouse(plot, QEvent::MouseButtonRelease, x, y, Qt::LeftButton);
        _window.findChild<QAction*>(QStringLiteral("actionClearAllData"))->trigger();
        settle();
        return worst;
    }

    int curveCount() const { return _central->plot()->plottableCount(); }

private:
    static QString workbookPath(int i)
    {
        return Global::SampleDataFolderPath + QStringLiteral("/bench%1.xlsx").arg(i);
    }

    QTreeWidgetItem* treeItem(const QString& name) const
    {
        const QList<QTreeWidgetItem*> items =
            _tree->findChild<QTreeWidget*>()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return items.isEmpty() ? nullptr : items.first();
    }

    void clear()
    {
        Global::_globalMode = Global::Analysis;
        _central->clearData(CentralWidget::ClearExperimentData);
        _central->plot()->replot();
        settle();
    }

    void selectFirstCurve()
    {
        auto* curve = qobject_cast<QCPCurve*>(_central->plot()->plottable(0));
        curve->setSelection(QCPDataSelection(curve->data()->dataRange()));
        _central->slotSelectionChangedByUser();
    }

    static double dscSum()
    {
        double sum = 0.0;
        if (Global::_curveFileDataVtr.isEmpty())
            return sum;
        for (const Global::PhaseTotalInfo& stage : Global::_curveFileDataVtr.first().phases)
            for (const Global::ExperimentData& point : stage.data)
                sum += point.dsc;
        return sum;
    }

    static void sendMouse(QWidget* widget, QEvent::Type type, int x, int y, Qt::MouseButton button)
    {
        const QPoint pos(x, y);
        QMouseEvent event(type, pos, widget->mapToGlobal(pos), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton),
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    MainWindow _window;
    CentralWidget* _central = nullptr;
    LeftWidget* _tree = nullptr;
    Heartbeat _heartbeat;
    QString _savePath;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.4.0"));
    Bench bench;
    bench.writeWorkbooks(5);

    std::printf("open %.1f\n", bench.loadInARow(1));
    std::printf("drag1 %.1f\n", bench.dragWorstMove(40));
    std::printf("fifth %.1f\n", bench.loadInARow(5));
    std::printf("curves_after_five %d\n", bench.curveCount());
    std::printf("drag5 %.1f\n", bench.dragWorstMove(40));
    for (int level : {1, 2, 5, 10})
        std::printf("smooth%d %.1f\n", level, bench.smooth(level));
    std::printf("stop_save %.1f\n", bench.stopAndSave());
    return 0;
}
