// The main window against the simulated instrument on a pseudo-terminal, up to the saved workbook.
#include "centralwidget.h"
#include "global.h"
#include "instrumentsimulator.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "serialport.h"
#include "windowtesthelpers.h"
#include "xlsxhandler.h"

#include <qcustomplot.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <array>

namespace {

constexpr int RunTimeout = 60000;

// Stage, run time, hold time, temperature, DSC signal.
using Point = std::array<float, 5>;

// The points the program must keep: every status reply (read, address 0)
// whose run status is heating or isothermal, in sending order.
QVector<Point> pointsSent(const QList<QByteArray>& frames)
{
    QVector<Point> points;
    for (const QByteArray& frame : frames) {
        const char* data = frame.constData() + 6;
        if (frame.size() < 32 || quint8(frame.at(3)) != 0x83 || qFromLittleEndian<quint16>(frame.constData() + 4) != 0
            || (data[0] != 1 && data[0] != 2))
            continue;
        points.append({float(quint8(data[1])), qFromLittleEndian<float>(data + 2), qFromLittleEndian<float>(data + 6),
                       float(qFromLittleEndian<double>(data + 10)), float(qFromLittleEndian<double>(data + 18))});
    }
    return points;
}

// Stage records in memory or stage blocks read back from a workbook.
template<typename Records>
QVector<Point> pointsOf(const Records& stages)
{
    QVector<Point> points;
    for (int s = 0; s < stages.size(); ++s) {
        for (const auto& p : stages.at(s).data)
            points.append({float(s + 1), p.runTime, p.constantTempTime, p.temperature, p.dsc});
    }
    return points;
}

// openpyxl's view of the workbook: per stage block its index and its points.
const char* const ReadWorkbookScript = R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
row = 9
for _ in range(ws.cell(8, 2).value):
    index = ws.cell(row + 1, 2).value
    n = ws.cell(row + 6, 2).value
    for r in range(row + 7, row + 7 + n):
        print(index, *(repr(float(ws.cell(r, c).value)) for c in (2, 5, 3, 4)))
    row += 7 + n
)";

QVector<Point> pointsByOpenpyxl(const QString& path)
{
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QUARNEL_PYTHON, {"-c", ReadWorkbookScript, path});
    python.waitForFinished(30000);
    QVector<Point> points;
    for (const QString& line : QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(' ');
        points.append({f[0].toFloat(), f[1].toFloat(), f[2].toFloat(), f[3].toFloat(), f[4].toFloat()});
    }
    return points;
}

} // namespace

class TestLiveRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectAfterDeliveryCloses();
    void run_data();
    void run();
    void deviceLostMidRun();
    void startReturnsToTemperature();
    void eachRunDatedWhenItStarts();

private:
    QAction* action(const char* name) { return _window->findChild<QAction*>(QLatin1String(name)); }
    QLineEdit* edit(const QString& name) { return _window->findChild<QLineEdit*>(name); }
    void connectAndDeliverProgramme();

    QTemporaryDir _dir;
    std::unique_ptr<InstrumentSimulator> _simulator;
    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<MainWindow> _window;
};

void TestLiveRun::init()
{
    QCoreApplication::setApplicationVersion("1.0.4.0");
    QVERIFY(_dir.isValid());
    Global::_globalMode = Global::Analysis;
    Global::_experimentInfo = Global::ExperimentInfo();
    _simulator = std::make_unique<InstrumentSimulator>();
    // 5 ms per status frame at 600× time: 0.05 simulated minutes per frame.
    _simulator->setInterval(5);
    _simulator->setTimeAcceleration(600.0);
    _simulator->setSeed(11);
    QVERIFY(_simulator->start());
    SerialPort::setPortNameOverride(_simulator->portName());
    _dialogs = std::make_unique<DialogAnswers>();
    _window = std::make_unique<MainWindow>();
    _window->show();
}

void TestLiveRun::cleanup()
{
    SerialPort::instance()->close();
    _dialogs->answers = {QMessageBox::Yes};
    _window.reset();
    _dialogs.reset();
    _simulator.reset();
    SerialPort::setPortNameOverride(QString());
    Global::clearCurveExperimentData();
}

void TestLiveRun::connectAndDeliverProgramme()
{
    action("actionConnectToDev")->trigger();
    QVERIFY(SerialPort::instance()->isOpen());
    QCOMPARE(Global::_globalMode, Global::Connected);
    QTRY_COMPARE_WITH_TIMEOUT(Global::_experimentInfo.phases.size(), 6, RunTimeout);

    action("actionNew")->trigger();
    if (!_window->findChild<QCheckBox*>("checkBox_phase_2")->isChecked())
        _window->findChild<QCheckBox*>("checkBox_phase_2")->click();
    const QStringList fields {"sampleNameLineEdit",   "e2e-run", "phase_1_cutoff_temp", "170",
                              "phase_1_scan_rate",    "10",      "phase_1_constant_temp", "0",
                              "phase_2_cutoff_temp",  "180",     "phase_2_scan_rate", "5",
                              "phase_2_constant_temp", "1"};
    for (int i = 0; i < fields.size(); i += 2)
        edit(fields.at(i))->setText(fields.at(i + 1));
    _window->findChild<QPushButton*>("pushButton_deliverData")->click();
    // The read request after the delivery brings the new table back.
    QTRY_VERIFY_WITH_TIMEOUT(Global::_experimentInfo.phases.size() == 6
                                 && Global::_experimentInfo.phases.at(1).cutoffTemp == 180.0f,
                             RunTimeout);
}

// A delivery opens the port behind "连接设备", which then closes it.
void TestLiveRun::connectAfterDeliveryCloses()
{
    action("actionNew")->trigger();
    edit("phase_1_scan_rate")->setText("10");
    _window->findChild<QPushButton*>("pushButton_deliverData")->click();
    QVERIFY(SerialPort::instance()->isOpen());
    QCOMPARE(action("actionConnectToDev")->text(), QString("连接设备"));
    action("actionConnectToDev")->trigger();
    QVERIFY(!SerialPort::instance()->isOpen());
}

void TestLiveRun::run_data()
{
    QTest::addColumn<bool>("stopMidRun");
    QTest::addColumn<bool>("faults");
    QTest::newRow("run ends by itself") << false << false;
    QTest::newRow("stopped mid-run") << true << false;
    QTest::newRow("split, merged, garbage, bad CRCs, run ends by itself") << false << true;
}

void TestLiveRun::run()
{
    QFETCH(bool, stopMidRun);
    QFETCH(bool, faults);
    connectAndDeliverProgramme();
    if (faults)
        _simulator->setFaults({true, 3, 7, 0.05});

    const QString path = _dir.filePath(QString("%1.xlsx").arg(QTest::currentDataTag()).replace(' ', '_'));
    QVector<Global::CurveExperimentData> savedRun;
    // Like the real dialog, the answer comes after a nested event loop in which
    // frames keep arriving; the workbook is written right after it returns.
    FileDialog::setResponder([&](const FileDialog::Request& request) {
        _dialogs->saveRequests.append(request);
        QTest::qWait(150);
        savedRun = Global::_experimentDataVtr;
        return path;
    });
    _dialogs->answers = {QMessageBox::Yes};

    action("actionStart")->trigger();
    QCOMPARE(Global::_globalMode, Global::Experiment);
    auto* centralWidget = _window->findChild<CentralWidget*>();
    QTRY_VERIFY_WITH_TIMEOUT(centralWidget->liveCurve() && centralWidget->liveCurve()->dataCount() > 40, RunTimeout);

    if (stopMidRun) {
        action("actionStop")->trigger();
        QCOMPARE(Global::_globalMode, Global::Analysis);
        QTRY_VERIFY_WITH_TIMEOUT(!_simulator->isRunning(), RunTimeout);
        QTest::qWait(200);
        QVERIFY(!_dialogs->boxTitles().contains("数据保存提示"));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!_dialogs->saveRequests.isEmpty(), RunTimeout);
        QCOMPARE(_dialogs->boxTitles(), QStringList{"数据保存提示"});
    }
    QCOMPARE(_dialogs->saveRequests.size(), 1);
    QCOMPARE(_dialogs->saveRequests.first().proposedPath, Global::SampleDataFolderPath + "/e2e-run.xlsx");

    const QVector<Point> sent = pointsSent(_simulator->sentFrames());
    const QVector<Point> saved = pointsOf(savedRun);
    QVERIFY(saved.size() > 40);
    QCOMPARE(savedRun.size(), stopMidRun ? 1 : 2);
    QCOMPARE(saved, stopMidRun ? sent.mid(0, saved.size()) : sent);
    if (!stopMidRun)
        QCOMPARE(pointsOf(Global::_experimentDataVtr), sent);

    Global::CurveFileData file;
    QCOMPARE(XlsxHandler::readFile(path, file), 0);
    QCOMPARE(file.phases.size(), 2);
    QCOMPARE(pointsOf(file.phases), saved);
    QCOMPARE(pointsByOpenpyxl(path), saved);
}

// The instrument hangs up mid-run: the user is told, the run's points are
// offered to the save dialog as after "停止", and the tool bar offers to
// connect again.
void TestLiveRun::deviceLostMidRun()
{
    connectAndDeliverProgramme();
    const QString path = _dir.filePath("lost.xlsx");
    _dialogs->fileNames = QStringList{path};
    action("actionStart")->trigger();
    auto* centralWidget = _window->findChild<CentralWidget*>();
    QTRY_VERIFY_WITH_TIMEOUT(centralWidget->liveCurve() && centralWidget->liveCurve()->dataCount() > 40, RunTimeout);

    _simulator->hangUp();
    QTRY_COMPARE(_dialogs->saveRequests.size(), 1);
    QCOMPARE(_dialogs->boxes.size(), 1);
    QCOMPARE(_dialogs->boxes.first().kind, QString("warning"));
    QCOMPARE(_dialogs->boxes.first().title, QString("warnning"));
    QCOMPARE(_dialogs->boxes.first().text, QString("仪器连接已断开。"));
    QCOMPARE(_dialogs->saveRequests.first().proposedPath, Global::SampleDataFolderPath + "/e2e-run.xlsx");
    QVERIFY(!SerialPort::instance()->isOpen());
    QCOMPARE(Global::_globalMode, Global::Analysis);
    QCOMPARE(action("actionConnectToDev")->text(), QString("连接设备"));
    QCOMPARE(_window->statusBar()->currentMessage(), QString("仪器连接已断开。"));

    const QVector<Point> kept = pointsOf(Global::_experimentDataVtr);
    QVERIFY(kept.size() > 40);
    QCOMPARE(kept, pointsSent(_simulator->sentFrames()).mid(0, kept.size()));
    Global::CurveFileData file;
    QCOMPARE(XlsxHandler::readFile(path, file), 0);
    QCOMPARE(pointsOf(file.phases), kept);
}

// "开始" after "Y轴": the run is drawn against temperature under its caption,
// and a label on it reads a temperature.
void TestLiveRun::startReturnsToTemperature()
{
    action("actionYAxis")->trigger();
    QCOMPARE(Global::_timeAxisFlag, 1);
    connectAndDeliverProgramme();
    action("actionStart")->trigger();
    auto* central = _window->findChild<CentralWidget*>();
    QCOMPARE(Global::_timeAxisFlag, 0);
    QCOMPARE(central->plot()->xAxis->label(), QStringLiteral("Temperature/℃"));
    QVERIFY(!central->plot()->yAxis2->visible());
    QTRY_VERIFY_WITH_TIMEOUT(central->liveCurve() && central->liveCurve()->dataCount() > 20, RunTimeout);

    action("actionNumericalLabel")->trigger();
    const double key = central->liveCurve()->data()->at(10)->key;
    for (QCPItemStraightLine* line : {central->line1(), central->line2()}) {
        line->point1->setCoords(key, 0.0);
        line->point2->setCoords(key, 1.0);
    }
    _window->findChild<QPushButton*>("pushButtonApply")->click();
    QCPItemText* label = nullptr;
    for (int i = 0; i < central->plot()->itemCount() && !label; ++i)
        label = qobject_cast<QCPItemText*>(central->plot()->item(i));
    QVERIFY(label);
    QVERIFY2(label->text().startsWith(QStringLiteral("数值：\n%1℃,").arg(key, 0, 'f', 3)), qPrintable(label->text()));
    action("actionStop")->trigger();
}

// The settings were delivered with a date long past, as when "新建" was last
// opened for an earlier run: the run is saved with the time "开始" started it.
void TestLiveRun::eachRunDatedWhenItStarts()
{
    connectAndDeliverProgramme();
    action("actionNew")->trigger();
    edit("dateTimeLineEdit")->setText("2001/02/03 04:05:06");
    _window->findChild<QPushButton*>("pushButton_deliverData")->click();
    QCOMPARE(Global::_experimentInfo.dateTime, QString("2001/02/03 04:05:06"));
    const QString path = _dir.filePath("dated.xlsx");
    _dialogs->fileNames = QStringList{path};

    const QDateTime before = QDateTime::currentDateTime().addMSecs(-999);
    action("actionStart")->trigger();
    const QDateTime after = QDateTime::currentDateTime();
    auto* centralWidget = _window->findChild<CentralWidget*>();
    QTRY_VERIFY_WITH_TIMEOUT(centralWidget->liveCurve() && centralWidget->liveCurve()->dataCount() > 5, RunTimeout);
    action("actionStop")->trigger();

    QProcess python;
    python.start(QUARNEL_PYTHON,
                 {"-c", "import sys, openpyxl; print(openpyxl.load_workbook(sys.argv[1]).active['B6'].value)", path});
    QVERIFY(python.waitForFinished(30000));
    const QString stamp = QString::fromUtf8(python.readAllStandardOutput()).trimmed();
    // ASCII digits whatever the system's locale (the test also runs under
    // ar_EG), though Qt would read others too.
    QVERIFY2(QRegularExpression("^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$").match(stamp).hasMatch(),
             qPrintable(stamp));
    const QDateTime dated = QDateTime::fromString(stamp, "yyyy/MM/dd hh:mm:ss");
    QVERIFY2(dated.isValid() && before <= dated && dated <= after, qPrintable(dated.toString()));
}

QTEST_MAIN(TestLiveRun)
#include "tst_liverun.moc"
