// The main window against the simulated instrument on a real pseudo-terminal,
// from connecting to the saved workbook.
#include "centralwidget.h"
#include "global.h"
#include "instrumentsimulator.h"
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
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

constexpr int RunTimeout = 60000;

struct Point
{
    int stage;
    float runTime;
    float holdTime;
    float temperature;
    float dsc;
};

// The points the program must keep: every status reply (read, address 0)
// whose run status is heating or isothermal, in sending order.
QVector<Point> pointsSent(const QList<QByteArray>& frames)
{
    QVector<Point> points;
    for (const QByteArray& frame : frames) {
        if (frame.size() < 32 || quint8(frame.at(3)) != 0x83 || qFromLittleEndian<quint16>(frame.constData() + 4) != 0) {
            continue;
        }
        const char* data = frame.constData() + 6;
        if (data[0] != 1 && data[0] != 2) {
            continue;
        }
        points.append({quint8(data[1]), qFromLittleEndian<float>(data + 2), qFromLittleEndian<float>(data + 6),
                       float(qFromLittleEndian<double>(data + 10)), float(qFromLittleEndian<double>(data + 18))});
    }
    return points;
}

QVector<Point> pointsOf(const QVector<QVector<Global::ExperimentData>>& stages)
{
    QVector<Point> points;
    for (int s = 0; s < stages.size(); ++s) {
        for (const auto& p : stages.at(s)) {
            points.append({s + 1, p.runTime, p.constantTempTime, p.temperature, p.dsc});
        }
    }
    return points;
}

QVector<QVector<Global::ExperimentData>> runInMemory()
{
    QVector<QVector<Global::ExperimentData>> stages;
    for (const auto& record : Global::_experimentDataVtr) {
        stages.append(record.data);
    }
    return stages;
}

bool operator==(const Point& x, const Point& y)
{
    return x.stage == y.stage && x.runTime == y.runTime && x.holdTime == y.holdTime && x.temperature == y.temperature
        && x.dsc == y.dsc;
}

bool samePoints(const QVector<Point>& a, const QVector<Point>& b)
{
    if (a != b)
        qWarning() << "points differ; counts:" << a.size() << b.size();
    return a == b;
}

// openpyxl's view of the workbook: per stage block its index and its points.
const char* const ReadWorkbookScript = R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
row = 9
blocks = ws.cell(8, 2).value
print("blocks", blocks)
for _ in range(blocks):
    index = ws.cell(row + 1, 2).value
    n = ws.cell(row + 6, 2).value
    for j in range(n):
        r = row + 7 + j
        print(index, *(repr(float(ws.cell(r, c).value)) for c in (2, 5, 3, 4)))
    row += 7 + n
)";

QVector<Point> pointsByOpenpyxl(const QString& path)
{
    QProcess python;
    python.start(QUARNEL_PYTHON, {"-c", ReadWorkbookScript, path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return {};
    }
    QVector<Point> points;
    const QStringList lines = QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(1)) {
        const QStringList f = line.split(' ');
        points.append({f[0].toInt(), float(f[1].toDouble()), float(f[2].toDouble()), float(f[3].toDouble()),
                       float(f[4].toDouble())});
    }
    return points;
}

} // namespace

class TestLiveRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectAfterDeliveryCloses();
    void run_data();
    void run();

private:
    QAction* action(const char* name) { return _window->findChild<QAction*>(QLatin1String(name)); }
    template<typename T>
    T* find(const QString& name) { return _window->findChild<T*>(name); }
    void connectAndReadProgramme();
    void deliverTwoStageProgramme();

    QTemporaryDir _dir;
    std::unique_ptr<InstrumentSimulator> _simulator;
    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<MainWindow> _window;
};

void TestLiveRun::initTestCase()
{
    QCoreApplication::setApplicationVersion("1.0.4.0");
    QVERIFY(_dir.isValid());
}

void TestLiveRun::init()
{
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

void TestLiveRun::connectAndReadProgramme()
{
    action("actionConnectToDev")->trigger();
    QVERIFY(SerialPort::instance()->isOpen());
    QCOMPARE(Global::_globalMode, Global::Connected);
    QTRY_COMPARE_WITH_TIMEOUT(Global::_experimentInfo.phases.size(), 6, RunTimeout);
    const auto stored = SimulatedRun::decodeStages(_simulator->stageTable());
    QCOMPARE(find<QLineEdit>("phase_1_cutoff_temp")->text(), QString::number(stored.at(0).cutoffTemp, 'f', 3));
}

void TestLiveRun::deliverTwoStageProgramme()
{
    action("actionNew")->trigger();
    find<QLineEdit>("sampleNameLineEdit")->setText("e2e-run");
    find<QLineEdit>("phase_1_cutoff_temp")->setText("170");
    find<QLineEdit>("phase_1_scan_rate")->setText("10");
    find<QLineEdit>("phase_1_constant_temp")->setText("0");
    if (!find<QCheckBox>("checkBox_phase_2")->isChecked()) {
        find<QCheckBox>("checkBox_phase_2")->click();
    }
    find<QLineEdit>("phase_2_cutoff_temp")->setText("180");
    find<QLineEdit>("phase_2_scan_rate")->setText("5");
    find<QLineEdit>("phase_2_constant_temp")->setText("1");
    find<QPushButton>("pushButton_deliverData")->click();
    QVERIFY(_dialogs->boxes.isEmpty());
    // The read request after the delivery brings the new table back.
    QTRY_VERIFY_WITH_TIMEOUT(Global::_experimentInfo.phases.size() == 6
                                 && Global::_experimentInfo.phases.at(1).cutoffTemp == 180.0f,
                             RunTimeout);
}

void TestLiveRun::connectAfterDeliveryCloses()
{
    action("actionNew")->trigger();
    find<QLineEdit>("phase_1_scan_rate")->setText("10");
    find<QPushButton>("pushButton_deliverData")->click();
    QVERIFY(SerialPort::instance()->isOpen());
    action("actionConnectToDev")->trigger();
    QVERIFY(!SerialPort::instance()->isOpen());
    QCOMPARE(action("actionConnectToDev")->text(), QString("连接设备"));
}

void TestLiveRun::run_data()
{
    QTest::addColumn<bool>("stopMidRun");
    QTest::addColumn<bool>("faults");
    // A run ending by itself on a clean stream adds nothing the faulty one misses.
    QTest::newRow("stopped mid-run") << true << false;
    QTest::newRow("split, merged frames and garbage, run ends by itself") << false << true;
}

void TestLiveRun::run()
{
    QFETCH(bool, stopMidRun);
    QFETCH(bool, faults);
    if (faults) {
        InstrumentSimulator::Faults f;
        f.splitFrames = true;
        f.mergeFrames = 3;
        f.garbageMaxBytes = 7;
        _simulator->setFaults(f);
    }
    connectAndReadProgramme();
    deliverTwoStageProgramme();

    const QString path = _dir.filePath(QString("%1.xlsx").arg(QTest::currentDataTag()).replace(' ', '_'));
    QVector<QVector<Global::ExperimentData>> savedRun;
    // Like the real dialog, the answer comes after a nested event loop in which
    // frames keep arriving; the workbook is written right after it returns.
    FileDialog::setResponder([&](const FileDialog::Request& request) {
        _dialogs->saveRequests.append(request);
        QTest::qWait(150);
        savedRun = runInMemory();
        return path;
    });
    _dialogs->answers = {QMessageBox::Yes};

    action("actionStart")->trigger();
    QCOMPARE(Global::_globalMode, Global::Experiment);
    auto* centralWidget = _window->findChild<CentralWidget*>();
    QTRY_VERIFY_WITH_TIMEOUT(centralWidget->liveCurve() && centralWidget->liveCurve()->dataCount() > 40, RunTimeout);
    // The panel follows the plot: it shows the record of the last point drawn.
    const double lastKey = (centralWidget->liveCurve()->data()->constEnd() - 1)->key;
    QCOMPARE(find<QLineEdit>("tempLineEdit")->text(), QString::number(lastKey, 'f', 3));

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
    QVERIFY(QFile::exists(path));

    const QVector<Point> sent = pointsSent(_simulator->sentFrames());
    const QVector<Point> saved = pointsOf(savedRun);
    QVERIFY(saved.size() > 40);
    QCOMPARE(savedRun.size(), stopMidRun ? 1 : 2);
    if (stopMidRun) {
        QVERIFY(samePoints(saved, sent.mid(0, saved.size())));
    } else {
        QVERIFY(samePoints(saved, sent));
        QVERIFY(samePoints(pointsOf(runInMemory()), sent));
    }

    Global::CurveFileData file;
    QCOMPARE(XlsxHandler::readFile(path, file), 0);
    QCOMPARE(file.info.sampleName, QString("e2e-run"));
    QCOMPARE(file.phases.size(), 2);
    QCOMPARE(file.phases.at(1).phase.cutoffTemp, 180.0f);
    QVector<QVector<Global::ExperimentData>> read;
    for (const auto& stage : file.phases) {
        read.append(stage.data);
    }
    QVERIFY(samePoints(pointsOf(read), saved));
    QVERIFY(samePoints(pointsByOpenpyxl(path), saved));
}

QTEST_MAIN(TestLiveRun)
#include "tst_liverun.moc"
