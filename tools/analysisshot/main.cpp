// Takes the README's analysis picture: the indium sample opened from the file
// tree with its melting peak analysed and confirmed.
//
//   quarnel-analysis-shot <samples folder> <out.png>
//
// Runs in any working folder, as the program does (config.json, log.conf and
// the log are there); the sample goes into the sample-data folder beside it,
// which the tool creates, replacing an indium.xlsx already there: give it a
// folder of its own, not the one `make run` uses. Exits non-zero, saying why,
// when the workbook was not drawn or the analysis drew no result label, so a
// broken picture never passes.
#include "centralwidget.h"
#include "confighandler.h"
#include "global.h"
#include "leftwidget.h"
#include "localcustomplot.h"
#include "loggersetup.h"
#include "mainwindow.h"
#include "messagebox.h"
#include "workbookloader.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPushButton>
#include <QTextCodec>
#include <QTimer>

#include <cstdio>

namespace {

void setLine(QCPItemStraightLine* line, double key)
{
    line->point1->setCoords(key, line->point1->value());
    line->point2->setCoords(key, line->point2->value());
}

// The workbook is read on a worker thread and drawn when the read is handed
// back; a read that never ends gives up after a minute instead of hanging.
bool waitForWorkbook(const WorkbookLoader* loader)
{
    if (loader->isRunning()) {
        QEventLoop loop;
        QObject::connect(loader, &WorkbookLoader::runningChanged, &loop, [&loop](bool running) {
            if (!running)
                loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !loader->isRunning();
}

int resultLabels(QCustomPlot* plot)
{
    int count = 0;
    for (int i = 0; i < plot->itemCount(); ++i) {
        if (qobject_cast<QCPItemText*>(plot->item(i)))
            ++count;
    }
    return count;
}

int fail(const char* why)
{
    std::fprintf(stderr, "quarnel-analysis-shot: %s\n", why);
    MessageBox::setResponder({});
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    LoggerSetup::instance();
    ConfigHandler::reader();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.4.0"));
    if (argc < 3) {
        std::fprintf(stderr, "usage: quarnel-analysis-shot <samples folder> <out.png>\n");
        return 2;
    }
    const QString source = QDir(QString::fromLocal8Bit(argv[1])).absoluteFilePath(QStringLiteral("indium.xlsx"));
    const QString sample = Global::SampleDataFolderPath + QStringLiteral("/indium.xlsx");
    for (const QString& folder : {Global::SampleDataFolderPath, Global::BaseLineFolderPath,
                                  Global::AnalysisStateFolderPath})
        QDir().mkpath(folder);
    QFile::remove(sample);
    if (!QFile::copy(source, sample)) {
        std::fprintf(stderr, "cannot copy %s\n", qUtf8Printable(source));
        return 1;
    }
    MessageBox::setResponder([](const MessageBox::Request& request) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(request.title), qUtf8Printable(request.text));
        return QMessageBox::Yes;
    });

    MainWindow window;
    window.setWindowTitle(QStringLiteral("Quarnel"));
    window.resize(1100, 700);
    window.show();
    QApplication::processEvents();
    window.findChild<LeftWidget*>()->refreshTree();
    auto* plot = window.findChild<CentralWidget*>();
    plot->slotRecvAnalysisFileName(sample);
    if (!waitForWorkbook(plot->workbookLoader()))
        return fail("the workbook was not read within a minute");
    if (!plot->currentCurve())
        return fail("the workbook was not drawn");
    // A workbook may bring the labels of the analyses stored in it.
    const int storedLabels = resultLabels(plot->plot());
    window.findChild<QAction*>(QStringLiteral("actionPeakSynthesisAnalysis"))->trigger();
    setLine(plot->line1(), 145.0);
    setLine(plot->line2(), 168.0);
    window.findChild<QPushButton*>(QStringLiteral("pushButtonApply"))->click();
    window.findChild<QPushButton*>(QStringLiteral("pushButtonConfirm"))->click();
    if (resultLabels(plot->plot()) == storedLabels)
        return fail("the analysis drew no result label");
    // The right dock has just closed: the plot takes the width it leaves.
    QApplication::processEvents();
    plot->plot()->replot(QCustomPlot::rpImmediateRefresh);
    if (!window.grab().save(QString::fromLocal8Bit(argv[2])))
        return fail("the picture could not be saved");
    MessageBox::setResponder({});
    return 0;
}
