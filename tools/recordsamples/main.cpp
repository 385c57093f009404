// Records sample runs with the simulated instrument into experiment
// workbooks, the way a user does: connect, send the programme, start, answer
// Yes to the end-of-run question and name the file.
//
//   quarnel-record-samples <output folder> [screenshot.png]
//
// With a screenshot path (and a real display, e.g. under xvfb-run) the screen
// is captured in the indium run just past its melting peak, with the real-time panel open.
#include "centralwidget.h"
#include "filedialog.h"
#include "instrumentsimulator.h"
#include "loggersetup.h"
#include "mainwindow.h"
#include "messagebox.h"
#include "serialport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <qcustomplot.h>

#include <cstdio>

namespace {

struct Stage
{
    QString cutoff;
    QString rate;
    QString hold;
    int atmosphere;
};

struct SampleRun
{
    QString sampleName;
    QString weight;
    QVector<Stage> stages;
};

void fillProgramme(MainWindow& window, const SampleRun& run)
{
    window.findChild<QLineEdit*>("sampleNameLineEdit")->setText(run.sampleName);
    window.findChild<QLineEdit*>("sampleWeightLineEdit")->setText(run.weight);
    window.findChild<QLineEdit*>("userLineEdit")->setText(QStringLiteral("simulator"));
    for (int n = 1; n <= run.stages.size(); ++n) {
        auto* box = window.findChild<QCheckBox*>(QStringLiteral("checkBox_phase_%1").arg(n));
        if (!box->isChecked()) {
            box->click();
        }
        const Stage& stage = run.stages.at(n - 1);
        window.findChild<QLineEdit*>(QStringLiteral("phase_%1_cutoff_temp").arg(n))->setText(stage.cutoff);
        window.findChild<QLineEdit*>(QStringLiteral("phase_%1_scan_rate").arg(n))->setText(stage.rate);
        window.findChild<QLineEdit*>(QStringLiteral("phase_%1_constant_temp").arg(n))->setText(stage.hold);
        window.findChild<QComboBox*>(QStringLiteral("comboBox_phase_%1_atmosphere").arg(n))
            ->setCurrentIndex(stage.atmosphere);
    }
    for (int n = 6; n > run.stages.size(); --n) {
        auto* box = window.findChild<QCheckBox*>(QStringLiteral("checkBox_phase_%1").arg(n));
        if (box->isChecked()) {
            box->click();
        }
    }
}

void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void takeScreenshot(MainWindow& window, const QString& screenshot)
{
    auto* plot = window.findChild<CentralWidget*>();
    while (!plot->liveCurve() || plot->liveCurve()->dataCount() < 720) {
        wait(50);
    }
    window.findChild<QAction*>("actionRealTimeWidget")->trigger();
    auto* panel = window.findChild<QWidget*>("RealTimeDataForm");
    panel->move(window.frameGeometry().right() + 20, window.y() + 80);
    wait(300);
    QGuiApplication::primaryScreen()->grabWindow(0).save(screenshot);
    panel->hide();
}

bool record(MainWindow& window, InstrumentSimulator& simulator, const SampleRun& run, const QString& path,
            const QString& screenshot)
{
    bool saved = false;
    FileDialog::setResponder([&](const FileDialog::Request&) {
        saved = true;
        return path;
    });
    window.findChild<QAction*>("actionNew")->trigger();
    fillProgramme(window, run);
    window.findChild<QPushButton*>("pushButton_deliverData")->click();
    wait(300);
    window.findChild<QAction*>("actionStart")->trigger();
    if (!screenshot.isEmpty()) {
        takeScreenshot(window, screenshot);
    }
    for (int waited = 0; !saved && waited < 120000; waited += 50) {
        wait(50);
    }
    while (simulator.isRunning()) {
        wait(50);
    }
    wait(200);
    return saved && QFile::exists(path);
}

} // namespace

int main(int argc, char** argv)
{
    LoggerSetup::instance();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.4.0"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("samples");
    const QString screenshot = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(folder);

    InstrumentSimulator simulator;
    // 20 ms per status frame at 60× time: one point per 0.02 simulated minutes.
    simulator.setInterval(20);
    simulator.setTimeAcceleration(60.0);
    simulator.setSeed(2024);
    if (!simulator.start()) {
        std::fprintf(stderr, "cannot open a pseudo-terminal\n");
        return 1;
    }
    SerialPort::setPortNameOverride(simulator.portName());
    MessageBox::setResponder([](const MessageBox::Request& request) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(request.title), qUtf8Printable(request.text));
        return QMessageBox::Yes;
    });

    MainWindow window;
    window.setWindowTitle(QStringLiteral("Quarnel"));
    window.setGeometry(10, 40, 1100, 700);
    window.show();
    window.findChild<QAction*>("actionConnectToDev")->trigger();
    wait(300);

    const QVector<QPair<SampleRun, QString>> runs = {
        {{QStringLiteral("indium"), QStringLiteral("5.0"), {{"180", "10", "0", 1}}}, QStringLiteral("indium.xlsx")},
        {{QStringLiteral("two-stage"), QStringLiteral("8.2"), {{"120", "20", "2", 1}, {"200", "10", "1", 2}}},
         QStringLiteral("two-stage.xlsx")},
    };
    int failures = 0;
    for (const auto& run : runs) {
        const QString path = QDir(folder).absoluteFilePath(run.second);
        const bool first = &run == &runs.first();
        const bool ok = record(window, simulator, run.first, path, first ? screenshot : QString());
        std::printf("%s %s\n", ok ? "recorded" : "FAILED", qUtf8Printable(path));
        failures += ok ? 0 : 1;
    }
    MessageBox::setResponder({});
    FileDialog::setResponder({});
    return failures;
}
