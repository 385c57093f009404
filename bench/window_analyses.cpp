// Event-loop stalls of the real main window while it opens a 100,000-point
// workbook from the file tree, while "Y轴" draws it again on the run time and
// while "清除数据" clears it, for workbooks that store no analysis and 100,
// 1,000 and 10,000 of them. The analyses go round the seven kinds, at seeded
// places along the curve, so the plot gets every kind of label, arrow and
// region graph.
// Each workbook is loaded, switched and cleared three times. Counts given as
// arguments replace the usual ones (for a profile of one count). Prints
// "load count stall_ms whole_ms labels", "switch count stall_ms whole_ms
// labels" and "clear count stall_ms whole_ms" lines for each time;
// bench/run-analyses.sh puts them in a table.
#include "windowheartbeat.h"
#include "benchrun.h"

#include "centralwidget.h"
#include "global.h"
#include "leftwidget.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "messagebox.h"
#include "resultdrawer.h"
#include "workbookloader.h"
#include "xlsxhandler.h"

#include <qcustomplot.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTreeWidget>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

// Numerical labels at one line, the other kinds over 5 ℃ regions.
QVector<AnalysisOperation> analyses(int count)
{
    std::mt19937 place(11);
    std::uniform_real_distribution<double> left(30.0, 315.0);
    QVector<AnalysisOperation> operations;
    for (int i = 0; i < count; ++i) {
        const int mode = i % 7 + 1;
        const double x1 = left(place);
        operations.append({Global::ExperimentKey, mode, x1, mode == 1 ? x1 : x1 + 5.0});
    }
    return operations;
}

QString workbookName(int count)
{
    return QStringLiteral("analyses%1.xlsx").arg(count);
}

class Bench
{
public:
    Bench()
    {
        MessageBox::setResponder([](const MessageBox::Request& request) {
            std::fprintf(stderr, "message box: %s\n", qPrintable(request.text));
            return QMessageBox::No;
        });
        _window.resize(1280, 800);
        _window.show();
        _central = _window.findChild<CentralWidget*>();
        _tree = _window.findChild<LeftWidget*>();
        settle();
    }

    void writeWorkbooks(const QVector<int>& counts)
    {
        QDir().mkpath(Global::SampleDataFolderPath);
        makeBenchRun(QStringLiteral("analyses"));
        for (int count : counts) {
            Global::_analysisOperationVtr = analyses(count);
            XlsxHandler::writeExperimentFile(Global::SampleDataFolderPath + QLatin1Char('/') + workbookName(count));
        }
        Global::_analysisOperationVtr.clear();
        Global::_experimentDataVtr.clear();
        _tree->refreshTree();
    }

    void load(int count)
    {
        QTreeWidgetItem* item = treeItem(workbookName(count));
        const WorkbookLoader* loader = _central->workbookLoader();
        QElapsedTimer whole;
        const double stall = measure(
            _heartbeat,
            [this, item, &whole]() {
                whole.start();
                _tree->slotTreeWidgetItemClicked(item, 0);
            },
            [loader]() { return !loader->isRunning() && !Global::_curveFileDataVtr.isEmpty(); });
        std::printf("load %d %.1f %.1f %d\n", count, stall, whole.nsecsElapsed() / 1e6, labelCount());
    }

    // To the run time, with every result drawn again.
    void switchAbscissa(int count)
    {
        QAction* yAxis = _window.findChild<QAction*>(QStringLiteral("actionYAxis"));
        const ResultDrawer* drawer = _central->resultDrawer();
        QElapsedTimer whole;
        bool switched = false;
        const double stall = measure(
            _heartbeat,
            [yAxis, &whole, &switched]() {
                whole.start();
                yAxis->trigger();
                switched = true;
            },
            [drawer, &switched]() { return switched && !drawer->isRunning(); });
        std::printf("switch %d %.1f %.1f %d\n", count, stall, whole.nsecsElapsed() / 1e6, labelCount());
    }

    // Back to the temperature, on the cleared plot.
    void switchBack()
    {
        _window.findChild<QAction*>(QStringLiteral("actionYAxis"))->trigger();
        settle();
    }

    void clear(int count)
    {
        QAction* clearAll = _window.findChild<QAction*>(QStringLiteral("actionClearAllData"));
        QElapsedTimer whole;
        const double stall = measure(
            _heartbeat,
            [clearAll, &whole]() {
                whole.start();
                clearAll->trigger();
            },
            [this]() { return _central->plot()->itemCount() == 2 && _central->plot()->plottableCount() == 0; });
        std::printf("clear %d %.1f %.1f\n", count, stall, whole.nsecsElapsed() / 1e6);
    }

private:
    QTreeWidgetItem* treeItem(const QString& name) const
    {
        const QList<QTreeWidgetItem*> items =
            _tree->findChild<QTreeWidget*>()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return items.isEmpty() ? nullptr : items.first();
    }

    int labelCount() const
    {
        int labels = 0;
        for (int i = 0; i < _central->plot()->itemCount(); ++i)
            labels += qobject_cast<QCPItemText*>(_central->plot()->item(i)) ? 1 : 0;
        return labels;
    }

    MainWindow _window;
    CentralWidget* _central = nullptr;
    LeftWidget* _tree = nullptr;
    Heartbeat _heartbeat;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.4.0"));
    Global::_globalMode = Global::Analysis;
    QVector<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (counts.isEmpty())
        counts = {0, 100, 1000, 10000};
    Bench bench;
    bench.writeWorkbooks(counts);
    for (int count : counts) {
        for (int time = 0; time < 3; ++time) {
            bench.load(count);
            bench.switchAbscissa(count);
            bench.clear(count);
            bench.switchBack();
        }
    }
    return 0;
}
