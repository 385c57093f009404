#include "serialport.h"

#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <numeric>

namespace {

QByteArray frame(quint8 command, quint16 address, const QByteArray& data)
{
    const QByteArray bytes = QByteArray::fromHex("A55A") + char(data.size() + 5) + char(command)
        + char(address & 0xFF) + char(address >> 8) + data;
    const quint16 crc = SerialPort::crc16(reinterpret_cast<const quint8*>(bytes.constData()) + 3,
                                          quint16(bytes.size() - 3));
    return bytes + char(crc & 0xFF) + char(crc >> 8);
}

// Run time 1.5 min, hold 0.25 min, sample 120.5 ℃, DSC -2.25 mW, fault 0, N2.
QByteArray statusRecord(quint8 runStatus, quint8 stage, int size = 80)
{
    char record[80] = {char(runStatus), char(stage)};
    qToLittleEndian<float>(1.5f, record + 2);
    qToLittleEndian<float>(0.25f, record + 6);
    qToLittleEndian<double>(120.5, record + 10);
    qToLittleEndian<double>(-2.25, record + 18);
    record[39] = 1;
    return QByteArray(record, size);
}

QByteArray status(quint8 runStatus, quint8 stage, int size = 80)
{
    return frame(SerialPort::ReadCommand, 0, statusRecord(runStatus, stage, size));
}

void feed(const QByteArray& bytes)
{
    SerialPort::instance()->receiveBytes(bytes);
}

} // namespace

// Frames fed straight into the receive path; tst_linkpty covers the port.
class TestLinkReceive : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstStatusFrameStartsRun();
    void emitOrder();
    void emptyStageTableGivesNoAxis();
    void stageZeroOpensRecord();
    void modeByRunStatus_data();
    void modeByRunStatus();
    void otherFrames_data();
    void otherFrames();
    void copyStopsAtRecordEnd();
    void shortStatusPublishesNoPoint();
    void nestedLoopKeepsOrder();
    void largeInputLosesNoFrame();

private:
    SerialPort* _port = SerialPort::instance();
};

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
}

void TestLinkReceive::firstStatusFrameStartsRun()
{
    QSignalSpy axis(_port, &SerialPort::sigAxisModify);
    QSignalSpy live(_port, &SerialPort::sigSendCommonData);
    feed(status(RunStatusHeating, 2));
    QCOMPARE(Global::_globalMode, Global::Experiment);
    QCOMPARE(Global::_experimentDataVtr.size(), 1);
    QCOMPARE(Global::_experimentDataVtr.last().name, QStringLiteral("indium"));
    QCOMPARE(Global::_currentCurveExperimentDataPtr, &Global::_experimentDataVtr.last());
    QCOMPARE(Global::_currentPhaseIndex, 2);
    QCOMPARE(axis.size(), 1);
    QCOMPARE(axis.at(0).at(0).toFloat(), 150.0f);
    const CommonData data = live.at(0).at(0).value<CommonData>();
    QVERIFY(data.stage == 2 && data.runTime == 1.5f && data.constantTempTime == 0.25f && data.sampleTemp == 120.5
            && data.dsc == -2.25 && data.atmosphere == 1);
    // A new stage opens a new record; the axis is set once per run.
    for (quint8 stage : {2, 3, 3, 4})
        feed(status(RunStatusHeating, stage));
    QCOMPARE(Global::_experimentDataVtr.size(), 3);
    QCOMPARE(Global::_currentCurveExperimentDataPtr, &Global::_experimentDataVtr[2]);
    QCOMPARE(axis.size(), 1);
    QCOMPARE(live.size(), 5);
}

// The plot takes its x range before the first point of a run, and the
// end-of-run question comes once, after the last status text of the run.
void TestLinkReceive::emitOrder()
{
    QStringList order;
    QList<QMetaObject::Connection> watched {
        connect(_port, &SerialPort::sigAxisModify, this, [&] { order << "axis"; }),
        connect(_port, &SerialPort::sigUpdateStatusbarMsg, this, [&] { order << "text"; }),
        connect(_port, &SerialPort::sigSaveExperimentalDataMsgBox, this, [&] { order << "save"; }),
        connect(_port, &SerialPort::sigSendCommonData, this, [&] { order << "live"; })};
    feed(status(RunStatusHeating, 1) + status(RunStatusCooling, 1) + status(RunStatusCooling, 3)
         + status(RunStatusIdle, 3));
    for (const QMetaObject::Connection& connection : watched)
        disconnect(connection);
    QCOMPARE(order, (QStringList {"axis", "text", "live", "text", "save", "text", "text"}));
    QCOMPARE(Global::_globalMode, Global::Analysis);
}

void TestLinkReceive::emptyStageTableGivesNoAxis()
{
    Global::_experimentInfo.phases.clear();
    QSignalSpy axis(_port, &SerialPort::sigAxisModify);
    feed(status(RunStatusHeating, 1));
    Global::_experimentInfo.phases = QVector<PhaseInfoData>(1);
    feed(status(RunStatusIsothermal, 2));
    QCOMPARE(axis.size(), 0);
}

void TestLinkReceive::stageZeroOpensRecord()
{
    Global::_globalMode = Global::Experiment;
    feed(status(RunStatusHeating, 0));
    QCOMPARE(Global::_experimentDataVtr.size(), 1);
    QCOMPARE(Global::_currentPhaseIndex, 0);
}

void TestLinkReceive::modeByRunStatus_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("runStatus");
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("text");
    QTest::newRow("heating") << 1 << 1 << 2 << 4 << QStringLiteral("设备运行状态:升温 实验阶段:2 实验进行中");
    QTest::newRow("isothermal") << 2 << 2 << 4 << 4 << QStringLiteral("设备运行状态:实验 实验阶段:4 实验进行中");
    QTest::newRow("idle") << 2 << 0 << 0 << 1 << QStringLiteral("设备运行状态:冷却 实验阶段:0 实验结束");
    QTest::newRow("cooling") << 4 << 3 << 3 << 1 << QStringLiteral("设备运行状态:冷却 实验阶段:3 实验结束");
    QTest::newRow("self-tuning") << 2 << 4 << 1 << 2 << QStringLiteral("设备运行状态: 实验阶段:1 实验结束");
    QTest::newRow("unknown") << 4 << 255 << 255 << 4 << QStringLiteral("设备运行状态: 实验阶段:255 实验结束");
}

void TestLinkReceive::modeByRunStatus()
{
    QFETCH(int, before);
    QFETCH(int, runStatus);
    QFETCH(int, stage);
    QFETCH(int, after);
    QFETCH(QString, text);
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    Global::_globalMode = Global::Mode(before);
    feed(status(quint8(runStatus), quint8(stage)));
    QCOMPARE(int(Global::_globalMode), after);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts.at(0).at(0).toString(), text);
}

// Only the run flag (44) and the run status (0) of an echoed write change the
// mode; a stage-table frame goes on whole; nothing here is a status text.
void TestLinkReceive::otherFrames_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("table");
    QTest::newRow("run echo") << 1 << SerialPort::buildStartStopFrame(true) << 4 << false;
    QTest::newRow("stop echo") << 4 << SerialPort::buildStartStopFrame(false) << 1 << false;
    QTest::newRow("status 3 ends experiment") << 4 << frame(0x82, 0, QByteArray::fromHex("0301")) << 1 << false;
    QTest::newRow("walk 39, 40, 44") << 1 << frame(0x82, 39, QByteArray::fromHex("0100000000" "01")) << 4 << false;
    QTest::newRow("short field ends walk") << 1 << frame(0x82, 40, QByteArray::fromHex("0000")) << 1 << false;
    QTest::newRow("unknown address") << 4 << frame(0x82, 50, QByteArray(1, 0)) << 4 << false;
    QTest::newRow("stage-table reply") << 4 << frame(0x83, 0x50, QByteArray(74, 3)) << 4 << true;
    QTest::newRow("stage-table write") << 4 << frame(0x82, 0x50, QByteArray(74, 1)) << 4 << true;
    QTest::newRow("short stage-table reply") << 4 << frame(0x83, 0x50, QByteArray(2, 1)) << 4 << true;
    QTest::newRow("garbage, other command, empty reply")
        << 1 << QByteArray::fromHex("0102") + frame(0x84, 0, statusRecord(1, 1)) + frame(0x83, 0, QByteArray()) << 1
        << false;
}

void TestLinkReceive::otherFrames()
{
    QFETCH(int, before);
    QFETCH(QByteArray, bytes);
    QFETCH(int, after);
    QFETCH(bool, table);
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    QSignalSpy tables(_port, &SerialPort::sigSendPhaseInfo);
    Global::_globalMode = Global::Mode(before);
    feed(bytes);
    QCOMPARE(int(Global::_globalMode), after);
    QCOMPARE(texts.size(), 0);
    QCOMPARE(tables.size(), table ? 1 : 0);
    if (table)
        QCOMPARE(tables.at(0).at(0).toByteArray(), bytes);
}

// 200 data bytes written at 100 reach only up to the record's last byte, 259.
void TestLinkReceive::copyStopsAtRecordEnd()
{
    QByteArray ramp(200, '\0');
    std::iota(ramp.begin(), ramp.end(), char(1));
    CommonData data;
    QCOMPARE(SerialPort::copyFrameData(frame(0x82, 100, ramp), 100, data), 160);
    for (int i = 0; i < CommonData::Size; ++i)
        QCOMPARE(int(quint8(data.bytes()[i])), i < 100 ? 0 : i - 99);
}

// A status frame cut inside the DSC signal still gives its text but no point.
void TestLinkReceive::shortStatusPublishesNoPoint()
{
    QSignalSpy live(_port, &SerialPort::sigSendCommonData);
    QSignalSpy texts(_port, &SerialPort::sigUpdateStatusbarMsg);
    feed(status(RunStatusHeating, 1, 25));
    QCOMPARE(Global::_globalMode, Global::Experiment);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(live.size(), 0);
    feed(status(RunStatusHeating, 1, 26));
    QCOMPARE(live.size(), 1);
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
    for (int i = 1; i < 4; ++i)
        QVERIFY(texts.at(i).at(0).toString().contains(QStringLiteral("阶段:%1").arg(i + 5)));
}

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
