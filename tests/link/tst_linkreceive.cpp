#include "logcapture.h"
#include "serialport.h"

#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

// Frames fed straight into the receive path; tst_linkpty covers the port.
class TestLinkReceive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void firstStatusFrameStartsRun();
    void emitOrder();
    void emptyStageTableGivesNoAxis();
    void stageChangeOpensRecord();
    void modeByRunStatus_data();
    void modeByRunStatus();
    void statusTexts_data();
    void statusTexts();
    void endOfRunOnce();
    void writeFrames_data();
    void writeFrames();
    void phaseTableGoesWhole_data();
    void phaseTableGoesWhole();
    void copyBounds_data();
    void copyBounds();
    void shortStatusPublishesNoPoint_data();
    void shortStatusPublishesNoPoint();
    void otherFramesIgnored();
    void nestedLoopKeepsOrder();
    void largeInputLosesNoFrame();

private:
    static QByteArray frame(quint8 command, quint16 address, const QByteArray& data);
    static QByteArray statusRecord(quint8 runStatus, quint8 stage, int size = 80);
    static QByteArray status(quint8 runStatus, quint8 stage, int size = 80);
    static void feed(const QByteArray& bytes);

    SerialPort* _port = nullptr;
};

QByteArray TestLinkReceive::frame(quint8 command, quint16 address, const QByteArray& data)
{
    QByteArray bytes = QByteArray::fromHex("A55A") + char(data.size() + 5) + char(command) + char(address & 0xFF)
        + char(address >> 8) + data;
    const quint16 crc = SerialPort::crc16(reinterpret_cast<const quint8*>(bytes.constData()) + 3,
                                          quint16(bytes.size() - 3));
    return bytes + char(crc & 0xFF) + char(crc >> 8);
}

// Run time 1.5 min, hold 0.25 min, sample 120.5 ℃, DSC -2.25 mW, fault 0, N2.
QByteArray TestLinkReceive::statusRecord(quint8 runStatus, quint8 stage, int size)
{
    char record[80] = {};
    record[0] = char(runStatus);
    record[1] = char(stage);
    qToLittleEndian<float>(1.5f, record + 2);
    qToLittleEndian<float>(0.25f, record + 6);
    qToLittleEndian<double>(120.5, record + 10);
    qToLittleEndian<double>(-2.25, record + 18);
    record[39] = 1;
    return QByteArray(record, size);
}

QByteArray TestLinkReceive::status(quint8 runStatus, quint8 stage, int size)
{
    return frame(SerialPort::ReadCommand, 0, statusRecord(runStatus, stage, size));
}

void TestLinkReceive::feed(const QByteArray& bytes)
{
    SerialPort::instance()->receiveBytes(bytes);
}

void TestLinkReceive::initTestCase()
{
    LogCapture::install();
    _port = SerialPort::instance();
}

// Both watchers follow the mode at every status frame, so one idle frame in
// the analysis mode leaves them at analysis.
void TestLinkReceive::init()
{
    Global::_globalMode = Global::Analysis;
    feed(status(RunStatusIdle, 0));
    Global::_experimentInfo = Global::ExperimentInfo();
    Global::_experimentInfo.sampleName = QStringLiteral("indium");
    Global::_experimentInfo.phases = QVector<PhaseInfoData>(3);
    Global::_experimentInfo.phases[0].cutoffTemp = 150.0f;
    Global::_experimentInfo.phases[1].cutoffTemp = 300.0f;
    Global::clearCurveExperimentData();
    LogCapture::clear();
}

void TestLinkReceive::firstStatusFrameStartsRun()
{
    QSignalSpy axis(_port, &SerialPort::sigAxisModify);
    QSignalSpy text(_port, &SerialPort::sigUpdateStatusbarMsg);
    QSignalSpy live(_port, &SerialPort::sigSendCommonData);

    feed(status(RunStatusHeating, 2));
    QCOMPARE(Global::_globalMode, Global::Experiment);
    QCOMPARE(Global::_experimentDataVtr.size(), 1);
    QCOMPARE(Global::_experimentDataVtr.last().name, QStringLiteral("indium"));
    QCOMPARE(Global::_currentCurveExperimentDataPtr, &Global::_experimentDataVtr.last());
    QCOMPARE(Global::_currentPhaseIndex, 2);
    QCOMPARE(axis.size(), 1);
    QCOMPARE(axis.at(0).at(0).toFloat(), 150.0f);
    QCOMPARE(text.at(0).at(0).toString(), QStringLiteral("设备运行状态:升温 实验阶段:2 实验进行中"));
    QCOMPARE(live.size(), 1);
    const CommonData data = live.at(0).at(0).value<CommonData>();
    QVERIFY(data.stage == 2 && data.runTime == 1.5f && data.constantTempTime == 0.25f && data.sampleTemp == 120.5
            && data.dsc == -2.25 && data.atmosphere == 1);

    feed(status(RunStatusHeating, 2));
    QCOMPARE(Global::_experimentDataVtr.size(), 1);
    QCOMPARE(axis.size(), 1);
    QCOMPARE(live.size(), 2);
}

// The plot takes its x range before the first point of a run, and the
// end-of-run question comes after the last status text.
void TestLinkReceive::emitOrder()
{
    QStringList order;
    QList<QMetaObject::Connection> watched {
        connect(_port, &SerialPort::sigAxisModify, this, [&] { order << "axis"; }),
        connect(_port, &SerialPort::sigUpdateStatusbarMsg, this, [&] { order << "text"; }),
        connect(_port, &SerialPort::sigSaveExperimentalDataMsgBox, this, [&] { order << "save"; }),
        connect(_port, &SerialPort::sigSendCommonData, this, [&] { order << "live"; })};
    feed(status(RunStatusHeating, 1) + status(RunStatusCooling, 1));
    for (const QMetaObject::Connection& connection : watched)
        disconnect(connection);
    QCOMPARE(order, (QStringList {"axis", "text", "live", "text", "save"}));
}

void TestLinkReceive::emptyStageTableGivesNoAxis()
{
    Global::_experimentInfo.phases.clear();
    QSignalSpy axis(_port, &SerialPort::sigAxisModify);
    feed(status(RunStatusHeating, 1));
    Global::_experimentInfo.phases = QVector<PhaseInfoData>(1);
    feed(status(RunStatusHeating, 1));
    feed(status(RunStatusIsothermal, 2));
    QCOMPARE(axis.size(), 0);
}

void TestLinkReceive::stageChangeOpensRecord()
{
    Global::_globalMode = Global::Experiment;
    feed(status(RunStatusHeating, 0));
    QCOMPARE(Global::_experimentDataVtr.size(), 1);
    QCOMPARE(Global::_currentPhaseIndex, 0);
    for (quint8 stage : {1, 1, 2, 2, 3})
        feed(status(RunStatusHeating, stage));
    QCOMPARE(Global::_experimentDataVtr.size(), 4);
    QCOMPARE(Global::_currentCurveExperimentDataPtr, &Global::_experimentDataVtr[3]);
}

void TestLinkReceive::modeByRunStatus_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("runStatus");
    QTest::addColumn<int>("after");
    QTest::newRow("idle ends experiment") << 4 << 0 << 1;
    QTest::newRow("idle leaves connected") << 2 << 0 << 1;
    QTest::newRow("heating starts experiment") << 1 << 1 << 4;
    QTest::newRow("isothermal from connected") << 2 << 2 << 4;
    QTest::newRow("cooling ends experiment") << 4 << 3 << 1;
    QTest::newRow("self-tuning keeps connected") << 2 << 4 << 2;
    QTest::newRow("unknown status keeps experiment") << 4 << 200 << 4;
}

void TestLinkReceive::modeByRunStatus()
{
    QFETCH(int, before);
    QFETCH(int, runStatus);
    QFETCH(int, after);
    Global::_globalMode = Global::Mode(before);
    feed(status(quint8(runStatus), 1));
    QCOMPARE(int(Global::_globalMode), after);
}

void TestLinkReceive::statusTexts_data()
{
    QTest::addColumn<int>("runStatus");
    QTest::addColumn<int>("stage");
    QTest::addColumn<QString>("text");
    QTest::newRow("heating") << 1 << 2 << QStringLiteral("设备运行状态:升温 实验阶段:2 实验进行中");
    QTest::newRow("isothermal") << 2 << 4 << QStringLiteral("设备运行状态:实验 实验阶段:4 实验进行中");
    QTest::newRow("idle") << 0 << 0 << QStringLiteral("设备运行状态:冷却 实验阶段:0 实验结束");
    QTest::newRow("cooling") << 3 << 3 << QStringLiteral("设备运行状态:冷却 实验阶段:3 实验结束");
    QTest::newRow("self-tuning, empty word") << 4 << 1 << QStringLiteral("设备运行状态: 实验阶段:1 实验结束");
    QTest::newRow("largest bytes") << 255 << 255 << QStringLiteral("设备运行状态: 实验阶段:255 实验结束");
}

void TestLinkReceive::statusTexts()
{
    QFETCH(int, runStatus);
    QFETCH(int, stage);
    QFETCH(QString, text);
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    feed(status(quint8(runStatus), quint8(stage)));
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts.at(0).at(0).toString(), text);
}

void TestLinkReceive::endOfRunOnce()
{
    QSignalSpy saves(_port, &SerialPort::sigSaveExperimentalDataMsgBox);
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    feed(status(RunStatusHeating, 1));
    feed(status(RunStatusCooling, 3));
    QCOMPARE(Global::_globalMode, Global::Analysis);
    QCOMPARE(texts.last().at(0).toString(), QStringLiteral("设备运行状态:冷却 实验阶段:3 实验结束"));
    feed(status(RunStatusCooling, 3) + status(RunStatusIdle, 3));
    QCOMPARE(saves.size(), 1);
    QCOMPARE(texts.size(), 4);
}

// Writes echoed back: only the run flag (44) and the run status (0) change
// the mode; the walk over the data reaches every field it covers.
void TestLinkReceive::writeFrames_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("after");
    QTest::newRow("run echo") << 1 << SerialPort::buildStartStopFrame(true) << 4;
    QTest::newRow("stop echo") << 4 << SerialPort::buildStartStopFrame(false) << 1;
    QTest::newRow("run flag 2 changes nothing") << 2 << frame(0x82, 44, QByteArray(1, 2)) << 2;
    QTest::newRow("status 3 ends experiment") << 4 << frame(0x82, 0, QByteArray::fromHex("0301")) << 1;
    QTest::newRow("walk 39, 40, 44") << 1 << frame(0x82, 39, QByteArray::fromHex("0100000000" "01")) << 4;
    QTest::newRow("short field ends walk") << 1 << frame(0x82, 40, QByteArray::fromHex("0000")) << 1;
    QTest::newRow("stage area then flag unknown") << 1 << frame(0x82, 155, QByteArray(16, 1)) << 1;
    QTest::newRow("unknown address") << 4 << frame(0x82, 50, QByteArray(1, 0)) << 4;
}

void TestLinkReceive::writeFrames()
{
    QFETCH(int, before);
    QFETCH(QByteArray, bytes);
    QFETCH(int, after);
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    Global::_globalMode = Global::Mode(before);
    feed(bytes);
    QCOMPARE(int(Global::_globalMode), after);
    QCOMPARE(texts.size(), 0);
}

void TestLinkReceive::phaseTableGoesWhole_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("read reply") << frame(0x83, 0x50, QByteArray(74, 3));
    QTest::newRow("write frame") << frame(0x82, 0x50, QByteArray(74, 1));
    QTest::newRow("short reply") << frame(0x83, 0x50, QByteArray(2, 1));
}

void TestLinkReceive::phaseTableGoesWhole()
{
    QFETCH(QByteArray, bytes);
    QSignalSpy tables(_port, &SerialPort::sigSendPhaseInfo);
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    Global::_globalMode = Global::Experiment;
    feed(bytes);
    QCOMPARE(tables.size(), 1);
    QCOMPARE(tables.at(0).at(0).toByteArray(), bytes);
    QCOMPARE(texts.size(), 0);
    QCOMPARE(Global::_globalMode, Global::Experiment);
}

void TestLinkReceive::copyBounds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("copied");
    QByteArray ramp(200, '\0');
    for (int i = 0; i < ramp.size(); ++i)
        ramp[i] = char(i + 1);
    // 200 data bytes at 100 reach only up to address 259: 160 bytes.
    QTest::newRow("200 bytes at 100") << frame(0x82, 100, ramp) << 100 << 160;
    QTest::newRow("length says 200, 10 present") << frame(0x82, 100, ramp).left(16) << 100 << 10;
    QTest::newRow("80 bytes at 0") << frame(0x83, 0, ramp.left(80)) << 0 << 80;
    QTest::newRow("last byte") << frame(0x82, 259, ramp.left(5)) << 259 << 1;
    QTest::newRow("address 260") << frame(0x82, 260, ramp.left(5)) << 260 << 0;
    QTest::newRow("length below 5") << QByteArray::fromHex("A55A04820000010203") << 0 << 0;
}

void TestLinkReceive::copyBounds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, address);
    QFETCH(int, copied);
    CommonData data;
    QCOMPARE(SerialPort::copyFrameData(bytes, quint16(address), data), copied);
    for (int i = 0; i < CommonData::Size; ++i) {
        const bool inside = i >= address && i < address + copied;
        QCOMPARE(int(data.bytes()[i]), inside ? i - address + 1 : 0);
    }
}

void TestLinkReceive::shortStatusPublishesNoPoint_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("points");
    QTest::newRow("status byte only") << 1 << 0;
    QTest::newRow("DSC signal cut") << 25 << 0;
    QTest::newRow("DSC signal complete") << 26 << 1;
}

void TestLinkReceive::shortStatusPublishesNoPoint()
{
    QFETCH(int, size);
    QFETCH(int, points);
    QSignalSpy live(_port, &SerialPort::sigSendCommonData);
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    feed(status(RunStatusHeating, 1, size));
    QCOMPARE(Global::_globalMode, Global::Experiment);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(live.size(), points);
}

void TestLinkReceive::otherFramesIgnored()
{
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    const QByteArray reply = frame(0x83, 2, QByteArray::fromHex("0102"));
    feed(QByteArray::fromHex("0102") + reply + frame(0x84, 0, statusRecord(1, 1)) + frame(0x83, 0, QByteArray()));
    QCOMPARE(texts.size(), 0);
    QCOMPARE(Global::_globalMode, Global::Analysis);
}

// The end-of-run question runs a nested event loop in which the reader is
// entered again; frames must still be handled in arrival order.
void TestLinkReceive::nestedLoopKeepsOrder()
{
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    const QMetaObject::Connection nested = connect(_port, &SerialPort::sigSaveExperimentalDataMsgBox, this,
                                                   [] { feed(status(RunStatusIdle, 8)); });
    feed(status(RunStatusHeating, 1));
    feed(status(RunStatusCooling, 6) + status(RunStatusIdle, 7));
    disconnect(nested);
    QCOMPARE(texts.size(), 4);
    QVERIFY(texts.at(1).at(0).toString().contains(QStringLiteral("阶段:6")));
    QVERIFY(texts.at(2).at(0).toString().contains(QStringLiteral("阶段:7")));
    QVERIFY(texts.at(3).at(0).toString().contains(QStringLiteral("阶段:8")));
}

// Far more than the receive buffer holds, handed over at once: every frame
// still counts.
void TestLinkReceive::largeInputLosesNoFrame()
{
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    QByteArray stream;
    for (int i = 0; i < 300; ++i)
        stream += status(RunStatusHeating, quint8(i % 6));
    QVERIFY(stream.size() > 3 * FrameAssembler::Capacity);
    feed(stream);
    QCOMPARE(texts.size(), 300);
    QVERIFY(texts.last().at(0).toString().contains(QStringLiteral("阶段:5")));
}

QTEST_GUILESS_MAIN(TestLinkReceive)
#include "tst_linkreceive.moc"
