// Takes the README's analysis picture: the indium sample opened from the file
// tree with its melting peak analysed and confirmed.
//
//   quarnel-analysis-shot <samples folder> <out.png>
//
// Runs in any working folder, as the program does (config.json is read or
// written there); the sample goes into the sample-data folder beside it,
// which the tool creates.
#include "centralwidget.h"
#include "confighandler.h"
#include "global.h"
#include "leftwidget.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "messagebox.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPushButton>

#include <cstdio>

namespace {

void setLine(QCPItemStraightLine* line, double key)
{
    line->point1->setCoords(key, line->point1->value());
    line->point2->setCoords(key, line->point2->value());
}

} // namespace

int main(int argc, char** argv)
{
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
    window.findChild<QAction*>(QStringLiteral("actionPeakSynthesisAnalysis"))->trigger();
    setLine(plot->line1(), 145.0);
    setLine(plot->line2(), 168.0);
    window.findChild<QPushButton*>(QStringLiteral("pushButtonApply"))->click();
    window.findChild<QPushButton*>(QStringLiteral("pushButtonConfirm"))->click();
    // The right dock has just closed: the plot takes the width it leaves.
    QApplication::processEvents();
    plot->plot()->replot(QCustomPlot::rpImmediateRefresh);
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[2]));
    MessageBox::setResponder({});
    return saved ? 0 : 1;
}
