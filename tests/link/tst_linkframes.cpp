#include "frameassembler.h"
#include "serialport.h"

#include <QtTest>

#include <cstring>

// The frames the program writes, the CRC and the cutting of a byte stream
// into frames; no port involved.
class TestLinkFrames : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames_data();
    void commandFrames();
    void crc16_data();
    void crc16();
    void phaseWriteFrame();
    void assembler_data();
    void assembler();
    void assemblerSplitsEveryWay();
};

static QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

static QList<QByteArray> takeAll(FrameAssembler& assembler, const QList<QByteArray>& chunks)
{
    QList<QByteArray> taken;
    QByteArray frame;
    for (const QByteArray& chunk : chunks) {
        assembler.append(chunk);
        while (assembler.takeFrame(&frame))
            taken.append(frame);
    }
    return taken;
}

void TestLinkFrames::commandFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("run") << SerialPort::buildStartStopFrame(true) << hex("A55A06822C000128 55");
    QTest::newRow("stop") << SerialPort::buildStartStopFrame(false) << hex("A55A06822C0000E995");
    QTest::newRow("stage-table read") << SerialPort::buildPhaseReadFrame() << hex("A55A068350004AA846");
}

void TestLinkFrames::commandFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestLinkFrames::crc16_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("crc");
    // Published CRC-16/MODBUS check value and start value.
    QTest::newRow("nothing") << QByteArray() << 0xFFFF;
    QTest::newRow("check 123456789") << QByteArray("123456789") << 0x4B37;
    // Low byte first in the run frame above: 0x5528 over 82 2C 00 01.
    QTest::newRow("run body") << hex("822C0001") << 0x5528;
}

void TestLinkFrames::crc16()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, crc);
    QCOMPARE(int(SerialPort::crc16(reinterpret_cast<const quint8*>(bytes.constData()), quint16(bytes.size()))), crc);
}

void TestLinkFrames::phaseWriteFrame()
{
    QVector<PhaseInfoData> phases(6);
    phases[0] = {1, 150.0f, 10.0f, 5, 258};
    phases[1] = {1, 200.0f, 20.0f, 0, 1};
    const QByteArray frame = SerialPort::buildPhaseWriteFrame(phases, hex("0102"));

    QCOMPARE(frame.size(), 82);
    QCOMPARE(frame.left(6).toHex(' '), QByteArray("a5 5a 4f 82 50 00"));
    // Stage 1: enabled, 150.0f = 0x43160000, 10.0f = 0x41200000, hold 5,
    // atmosphere 258 = 0x102 narrowed to 0x02; stage 2 starts right after.
    QCOMPARE(frame.mid(6, 12).toHex(' '), QByteArray("01 00 00 16 43 00 00 20 41 05 00 02"));
    QCOMPARE(frame.mid(18, 12).toHex(' '), QByteArray("01 00 00 48 43 00 00 a0 41 00 00 01"));
    QCOMPARE(frame.mid(30, 48), QByteArray(48, '\0'));
    QCOMPARE(frame.mid(78, 2), hex("0102"));
    const quint16 crc = SerialPort::crc16(reinterpret_cast<const quint8*>(frame.constData()) + 3, 77);
    QCOMPARE(quint8(frame.at(80)), quint8(crc & 0xFF));
    QCOMPARE(quint8(frame.at(81)), quint8(crc >> 8));

    // The length byte and the CRC hold whatever option bytes the caller gives.
    for (const QByteArray& options : {QByteArray(), hex("01"), hex("010203")}) {
        const QByteArray sent = SerialPort::buildPhaseWriteFrame(phases, options);
        QCOMPARE(sent.size(), 82);
        QCOMPARE(sent.mid(78, 2), (options + QByteArray(2, '\0')).left(2));
        const quint16 sentCrc = SerialPort::crc16(reinterpret_cast<const quint8*>(sent.constData()) + 3, 77);
        QCOMPARE(sent.mid(80, 2), QByteArray() + char(sentCrc & 0xFF) + char(sentCrc >> 8));
    }
}

void TestLinkFrames::assembler_data()
{
    const QByteArray run = SerialPort::buildStartStopFrame(true);
    const QByteArray stop = SerialPort::buildStartStopFrame(false);
    QByteArray badCrc = stop;
    badCrc[8] = char(badCrc.at(8) ^ 1);

    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<int>("left");
    QTest::newRow("one frame") << QList<QByteArray> {run} << QList<QByteArray> {run} << 0;
    QTest::newRow("two frames in one chunk") << QList<QByteArray> {run + stop} << QList<QByteArray> {run, stop} << 0;
    QTest::newRow("split after header") << QList<QByteArray> {run.left(2), run.mid(2)} << QList<QByteArray> {run} << 0;
    QTest::newRow("header with five bytes waits") << QList<QByteArray> {run.left(5)} << QList<QByteArray> {} << 5;
    QTest::newRow("garbage before header") << QList<QByteArray> {hex("0011A5") + run} << QList<QByteArray> {run} << 0;
    QTest::newRow("lone A5 kept") << QList<QByteArray> {hex("00A5")} << QList<QByteArray> {} << 1;
    QTest::newRow("bad CRC skipped") << QList<QByteArray> {badCrc + run} << QList<QByteArray> {run} << 0;
    QTest::newRow("length below five") << QList<QByteArray> {hex("A55A04") + run} << QList<QByteArray> {run} << 0;
    QTest::newRow("frame inside bad CRC frame") << QList<QByteArray> {hex("A55A0C83000000") + stop}
                                                 << QList<QByteArray> {stop} << 0;
}

void TestLinkFrames::assembler()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(int, left);
    FrameAssembler assembler;
    QCOMPARE(takeAll(assembler, chunks), frames);
    QCOMPARE(assembler.pendingBytes(), left);
}

// A stream of three frames cut at every pair of points gives the same three frames.
void TestLinkFrames::assemblerSplitsEveryWay()
{
    const QList<QByteArray> frames {SerialPort::buildStartStopFrame(true), SerialPort::buildPhaseReadFrame(),
                                    SerialPort::buildStartStopFrame(false)};
    const QByteArray stream = frames[0] + frames[1] + frames[2];
    for (int a = 0; a <= stream.size(); ++a) {
        for (int b = a; b <= stream.size(); ++b) {
            FrameAssembler assembler;
            QCOMPARE(takeAll(assembler, {stream.left(a), stream.mid(a, b - a), stream.mid(b)}), frames);
        }
    }
}

QTEST_GUILESS_MAIN(TestLinkFrames)
#include "tst_linkframes.moc"
