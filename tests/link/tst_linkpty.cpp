#include "instrumentsimulator.h"
#include "logcapture.h"
#include "serialport.h"

#include <QAbstractEventDispatcher>
#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

using Pieces = QList<QByteArray>;

// A status reply as short as still carries the DSC signal.
static QByteArray statusFrame(quint8 runStatus, quint8 stage)
{
    QByteArray record(26, '\0');
    record[0] = char(runStatus);
    record[1] = char(stage);
    return InstrumentSimulator::buildFrame(SerialPort::ReadCommand, 0, record);
}

// The whole link through a real pseudo-terminal and a real QSerialPort, with
// the simulated instrument on the other end in the same event loop.
class TestLinkPty : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void openTwiceKeepsOneConnection();
    void isOpenFollowsPort();
    void closedPortWritesNothing();
    void openWithoutInstrument_data();
    void openWithoutInstrument();
    void environmentNamesThePort();
    void readStageTable();
    void writeProgramme();
    void hangUpClosesPortOnce();
    void framesHandledDuringEndOfRunQuestion();
    void damagedFrameAtRunEnd_data();
    void damagedFrameAtRunEnd();
    void splitFrameSurvivesBusyWindow();

private:
    InstrumentSimulator* _simulator = nullptr;
    SerialPort* _port = nullptr;
};

void TestLinkPty::initTestCase()
{
    LogCapture::install();
    _port = SerialPort::instance();
}

void TestLinkPty::init()
{
    _port->close();
    delete _simulator;
    _simulator = new InstrumentSimulator(this);
    _simulator->setSeed(7);
    _simulator->setInterval(5);
    _simulator->setTimeAcceleration(600.0);
    QVERIFY(_simulator->start());
    SerialPort::setPortNameOverride(_simulator->portName());
    Global::_globalMode = Global::Analysis;
    Global::_experimentInfo = Global::ExperimentInfo();
    Global::clearCurveExperimentData();
    LogCapture::clear();
}

void TestLinkPty::openTwiceKeepsOneConnection()
{
    QVERIFY(_port->open());
    QVERIFY(_port->open());
    _port->close();
    QVERIFY(_port->open());
    auto* serial = _port->findChild<QSerialPort*>();
    QVERIFY(serial);
    QCOMPARE(serial->portName(), _simulator->portName().mid(QStringLiteral("/dev/").size()));
    QVERIFY(QObject::disconnect(serial, &QSerialPort::readyRead, _port, &SerialPort::slotReadData));
    QVERIFY(!QObject::disconnect(serial, &QSerialPort::readyRead, _port, &SerialPort::slotReadData));
    connect(serial, &QSerialPort::readyRead, _port, &SerialPort::slotReadData);
}

// Asking must never open the port, and every way of closing it shows.
void TestLinkPty::isOpenFollowsPort()
{
    QVERIFY(!_port->isOpen());
    QVERIFY(!_port->isOpen());
    QVERIFY(_port->open());
    QVERIFY(_port->isOpen());
    _port->close();
    QVERIFY(!_port->isOpen());
    QVERIFY(_port->open());
    _port->slotCloseSp();
    QVERIFY(!_port->isOpen());
}

void TestLinkPty::closedPortWritesNothing()
{
    _port->slotSendData(SerialPort::buildStartStopFrame(true));
    QTest::qWait(100);
    QVERIFY(_simulator->receivedFrames().isEmpty());
}

void TestLinkPty::openWithoutInstrument_data()
{
    QTest::addColumn<QString>("portName");
    // No port of this machine carries the instrument's USB identity.
    QTest::newRow("searched by identity") << QString();
    QTest::newRow("port missing") << "/dev/quarnel-no-such-port";
}

void TestLinkPty::openWithoutInstrument()
{
    QFETCH(QString, portName);
    SerialPort::setPortNameOverride(portName);
    const bool opened = _port->open();
    SerialPort::setPortNameOverride(_simulator->portName());
    QVERIFY(!opened);
    QVERIFY(!_port->isOpen());
}

// The simulator has no USB identity: only the name in the environment can
// lead the program to it.
void TestLinkPty::environmentNamesThePort()
{
    SerialPort::setPortNameOverride(QString());
    qputenv(SerialPort::PortNameVariable, _simulator->portName().toLocal8Bit());
    const bool opened = _port->open();
    qunsetenv(SerialPort::PortNameVariable);
    SerialPort::setPortNameOverride(_simulator->portName());
    QVERIFY(opened);
    QCOMPARE(_port->findChild<QSerialPort*>()->portName(), _simulator->portName().mid(QStringLiteral("/dev/").size()));
}

void TestLinkPty::readStageTable()
{
    QSignalSpy tables(_port, &SerialPort::sigSendPhaseInfo);
    QVERIFY(_port->open());
    _port->slotSendData(SerialPort::buildPhaseReadFrame());
    QTRY_COMPARE(tables.size(), 1);
    const QByteArray reply = tables.at(0).at(0).toByteArray();
    QCOMPARE(reply.size(), 6 + 74 + 2);
    QCOMPARE(reply.left(6).toHex(' '), QByteArray("a5 5a 4f 83 50 00"));
    QCOMPARE(reply.mid(6, 74), _simulator->stageTable());
    QCOMPARE(_simulator->receivedFrames(), QList<QByteArray> {SerialPort::buildPhaseReadFrame()});
}

void TestLinkPty::writeProgramme()
{
    QVector<PhaseInfoData> phases(6);
    phases[0] = {1, 170.0f, 10.0f, 1, N2};
    phases[2] = {1, 180.0f, 20.0f, 0, O2};
    const QByteArray frame = SerialPort::buildPhaseWriteFrame(phases, QByteArray::fromHex("0101"));
    _port->slotDeliverData(frame);
    QTRY_COMPARE(_simulator->receivedFrames().size(), 1);
    QCOMPARE(_simulator->receivedFrames().first(), frame);
    QCOMPARE(_simulator->stageTable(), frame.mid(6, 74));
}

// A hung-up terminal is the instrument gone: the port closes itself once and
// says so once, and the process goes idle instead of spinning on the dead
// line (it used to see ReadError about a million times a second).
void TestLinkPty::hangUpClosesPortOnce()
{
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    QSignalSpy losses(_port, &SerialPort::sigDeviceLost);
    QVERIFY(_port->open());
    _port->slotSendData(SerialPort::buildStartStopFrame(true));
    QTRY_VERIFY(texts.size() > 5);
    auto* serial = _port->findChild<QSerialPort*>();
    QSignalSpy errors(serial, &QSerialPort::errorOccurred);
    _simulator->hangUp();
    QTRY_VERIFY(!_port->isOpen());
    QCOMPARE(losses.size(), 1);
    QVERIFY(LogCapture::logLines().filter(QStringLiteral("device lost:")).size() == 1);
    QVERIFY2(errors.size() < 100, QByteArray::number(errors.size()));

    const int errorsAtClose = errors.size();
    const int textsAtClose = texts.size();
    int wakeUps = 0;
    const auto counter = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this,
                                 [&wakeUps] { ++wakeUps; });
    QTest::qWait(100);
    disconnect(counter);
    // qWait wakes the loop about every 10 ms; a busy loop wakes it thousands of times.
    QVERIFY2(wakeUps < 200, QByteArray::number(wakeUps));
    QCOMPARE(errors.size(), errorsAtClose);
    QCOMPARE(texts.size(), textsAtClose);
    QCOMPARE(losses.size(), 1);
    // Both ends let go of the terminal. (Opening its name again proves
    // nothing: tests running beside this one may be given the same number.)
    const QString terminal = _simulator->portName();
    for (const QFileInfo& descriptor : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System))
        QVERIFY2(descriptor.symLinkTarget() != terminal, qPrintable(descriptor.fileName()));
}

// Frames sent while the end-of-run question's nested loop runs are handled
// before it returns, not queued behind it.
void TestLinkPty::framesHandledDuringEndOfRunQuestion()
{
    QVERIFY(_port->open());
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    bool heardDuringQuestion = false;
    const auto question = connect(_port, &SerialPort::sigSaveExperimentalDataMsgBox, this, [&] {
        _simulator->sendFrame(statusFrame(RunStatusIdle, 9));
        heardDuringQuestion = QTest::qWaitFor([&] {
            return !texts.isEmpty() && texts.last().at(0).toString().contains(QStringLiteral("阶段:9"));
        }, 2000);
    });
    _simulator->sendFrame(statusFrame(RunStatusHeating, 1));
    QTRY_COMPARE(texts.size(), 1);
    _simulator->sendFrame(statusFrame(RunStatusCooling, 1));
    QTRY_COMPARE(texts.size(), 3);
    disconnect(question);
    QVERIFY(heardDuringQuestion);
    QCOMPARE(Global::_globalMode, Global::Analysis);
}

// The instrument sends the last frames of a run and then nothing: a damaged
// frame among them must neither hold back the frames behind it nor wait
// for ever for bytes that are not coming.
void TestLinkPty::damagedFrameAtRunEnd_data()
{
    const QByteArray heating = statusFrame(RunStatusHeating, 1);
    const QByteArray cooling = statusFrame(RunStatusCooling, 2);
    const QByteArray idle = statusFrame(RunStatusIdle, 3);
    // Length 31 (0x1F) with its top bit flipped claims 162 bytes, more than
    // the 34-byte frame after it brings.
    const auto flipped = [](QByteArray frame) {
        frame[2] = char(frame.at(2) ^ 0x80);
        return frame;
    };
    const QString started = QStringLiteral("设备运行状态:升温 实验阶段:1 实验进行中");
    const QString cooled = QStringLiteral("设备运行状态:冷却 实验阶段:2 实验结束");
    const QString ended = QStringLiteral("设备运行状态:冷却 实验阶段:3 实验结束");
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("dropsWhenQuiet");
    QTest::newRow("stray header before the cooling frame")
        << Pieces {heating, QByteArray::fromHex("A55AF0"), cooling, idle} << QStringList {started, cooled, ended}
        << false;
    QTest::newRow("flipped length bit in the cooling frame")
        << Pieces {heating, flipped(cooling), idle} << QStringList {started, ended} << false;
    QTest::newRow("flipped length bit in the last frame")
        << Pieces {heating, cooling, flipped(idle)} << QStringList {started, cooled} << true;
}

void TestLinkPty::damagedFrameAtRunEnd()
{
    QFETCH(Pieces, pieces);
    QFETCH(QStringList, expected);
    QFETCH(bool, dropsWhenQuiet);
    QVERIFY(_port->open());
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    QSignalSpy questions(_port, &SerialPort::sigSaveExperimentalDataMsgBox);
    for (const QByteArray& piece : pieces)
        _simulator->sendRaw(piece);
    QTRY_COMPARE(texts.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(texts.at(i).at(0).toString(), expected.at(i));
    QCOMPARE(questions.size(), 1);
    QCOMPARE(Global::_globalMode, Global::Analysis);
    // Frames behind the damage are not held back until the line goes quiet;
    // only bytes that no frame completes wait that long.
    const auto timeouts = [] { return LogCapture::debugLines().filter(QStringLiteral("Receive timeout")).size(); };
    if (dropsWhenQuiet)
        QTRY_COMPARE(timeouts(), 1);
    else
        QCOMPARE(timeouts(), 0);
}

// The window is busy for longer than the quiet time while a frame waits for
// its rest. The rest is written by a timer that then comes due in the same
// pass of the event loop as the quiet time, before the port has read it.
void TestLinkPty::splitFrameSurvivesBusyWindow()
{
    QVERIFY(_port->open());
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    const QByteArray first = statusFrame(RunStatusHeating, 1);
    const QByteArray second = statusFrame(RunStatusHeating, 2);
    QMetaObject::Connection busy;
    busy = connect(_port, &SerialPort::sigUpdateStatusbarMsg, this, [&] {
        disconnect(busy);
        QTimer::singleShot(1, this, [&] { _simulator->sendRaw(second.mid(10)); });
        QMetaObject::invokeMethod(this, [] { QThread::msleep(200); }, Qt::QueuedConnection);
    });
    _simulator->sendRaw(first + second.left(10));
    QTRY_COMPARE(texts.size(), 2);
    QVERIFY(texts.at(1).at(0).toString().contains(QStringLiteral("阶段:2")));
    QVERIFY(LogCapture::debugLines().filter(QStringLiteral("Receive timeout")).isEmpty());
}

QTEST_GUILESS_MAIN(TestLinkPty)
#include "tst_linkpty.moc"
