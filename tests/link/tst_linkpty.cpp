#include "instrumentsimulator.h"
#include "logcapture.h"
#include "serialport.h"

#include <QAbstractEventDispatcher>
#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

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
    void readStageTable();
    void writeProgramme();
    void hangUpClosesPortOnce();
    void framesHandledDuringEndOfRunQuestion();

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
    // Both ends are gone, and with them the terminal.
    QVERIFY(!_port->open());
}

// Frames sent while the end-of-run question's nested loop runs are handled
// before it returns, not queued behind it.
void TestLinkPty::framesHandledDuringEndOfRunQuestion()
{
    QVERIFY(_port->open());
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    const auto status = [](quint8 runStatus, quint8 stage) {
        QByteArray record(26, '\0');
        record[0] = char(runStatus);
        record[1] = char(stage);
        return InstrumentSimulator::buildFrame(SerialPort::ReadCommand, 0, record);
    };
    bool heardDuringQuestion = false;
    const auto question = connect(_port, &SerialPort::sigSaveExperimentalDataMsgBox, this, [&] {
        _simulator->sendFrame(status(RunStatusIdle, 9));
        heardDuringQuestion = QTest::qWaitFor([&] {
            return !texts.isEmpty() && texts.last().at(0).toString().contains(QStringLiteral("阶段:9"));
        }, 2000);
    });
    _simulator->sendFrame(status(RunStatusHeating, 1));
    QTRY_COMPARE(texts.size(), 1);
    _simulator->sendFrame(status(RunStatusCooling, 1));
    QTRY_COMPARE(texts.size(), 3);
    disconnect(question);
    QVERIFY(heardDuringQuestion);
    QCOMPARE(Global::_globalMode, Global::Analysis);
}

QTEST_GUILESS_MAIN(TestLinkPty)
#include "tst_linkpty.moc"
