#include "frameassembler.h"
#include "serialport.h"

#include <QtTest>

// The frames the program writes (CRC-16/MODBUS, low byte first) and the
// cutting of a byte stream into frames; no port involved.
class TestLinkFrames : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames_data();
    void commandFrames();
    void crc16();
    void assembler_data();
    void assembler();
    void assemblerSplitsEveryWay();
};

using Chunks = QList<QByteArray>;

// In a list of chunks: the line goes quiet for longer than a frame takes.
static const QByteArray Quiet = QByteArrayLiteral("quiet");

static QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

static Chunks takeAll(FrameAssembler& assembler, const Chunks& chunks)
{
    Chunks taken;
    QByteArray frame;
    for (const QByteArray& chunk : chunks) {
        if (chunk == Quiet)
            assembler.dropStalledHeader();
        else
            assembler.append(chunk);
        while (assembler.takeFrame(&frame))
            taken.append(frame);
    }
    return taken;
}

void TestLinkFrames::commandFrames_data()
{
    QVector<PhaseInfoData> phases(6);
    phases[0] = {1, 150.0f, 10.0f, 5, 258};
    phases[1] = {1, 200.0f, 20.0f, 0, 1};
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("run") << SerialPort::buildStartStopFrame(true) << hex("A55A06822C000128 55");
    QTest::newRow("stop") << SerialPort::buildStartStopFrame(false) << hex("A55A06822C0000E995");
    QTest::newRow("stage-table read") << SerialPort::buildPhaseReadFrame() << hex("A55A068350004AA846");
    // Stage 1: enabled, 150.0f = 0x43160000, 10.0f = 0x41200000, hold 5,
    // atmosphere 258 = 0x102 narrowed to 0x02; stage 2 right after, 4 stages off.
    QTest::newRow("stage-table write") << SerialPort::buildPhaseWriteFrame(phases, hex("0102"))
                                       << hex("A55A4F825000" "010000164300002041050002" "010000484300 00A041000001")
            + QByteArray(48, '\0') + hex("0102" "AE08");
}

void TestLinkFrames::commandFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

// Published CRC-16/MODBUS start and check values.
void TestLinkFrames::crc16()
{
    QCOMPARE(SerialPort::crc16(nullptr, 0), quint16(0xFFFF));
    QCOMPARE(SerialPort::crc16(reinterpret_cast<const quint8*>("123456789"), 9), quint16(0x4B37));
}

void TestLinkFrames::assembler_data()
{
    const QByteArray run = SerialPort::buildStartStopFrame(true);
    const QByteArray stop = SerialPort::buildStartStopFrame(false);
    QByteArray badCrc = stop;
    badCrc[8] = char(badCrc.at(8) ^ 1);
    // Length 6 with its top bit flipped claims 134 bytes, far more than follow.
    QByteArray longLength = run;
    longLength[2] = char(longLength.at(2) ^ 0x80);
    const QByteArray stray = hex("A55AF0");

    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<Chunks>("frames");
    QTest::addColumn<int>("left");
    QTest::newRow("one frame") << Chunks {run} << Chunks {run} << 0;
    QTest::newRow("two frames in one chunk") << Chunks {run + stop} << Chunks {run, stop} << 0;
    QTest::newRow("split after header") << Chunks {run.left(2), run.mid(2)} << Chunks {run} << 0;
    QTest::newRow("header with five bytes waits") << Chunks {run.left(5)} << Chunks {} << 5;
    QTest::newRow("garbage before header") << Chunks {hex("0011A5") + run} << Chunks {run} << 0;
    QTest::newRow("lone A5 kept") << Chunks {hex("00A5")} << Chunks {} << 1;
    QTest::newRow("bad CRC skipped") << Chunks {badCrc + run} << Chunks {run} << 0;
    QTest::newRow("length below five") << Chunks {hex("A55A04") + run} << Chunks {run} << 0;
    QTest::newRow("frame inside bad CRC frame") << Chunks {hex("A55A0C83000000") + stop} << Chunks {stop} << 0;
    QTest::newRow("stray header before frames") << Chunks {stray, run, stop} << Chunks {run, stop} << 0;
    QTest::newRow("flipped length bit") << Chunks {longLength + stop} << Chunks {stop} << 0;
    QTest::newRow("split frame behind stray header") << Chunks {stray + run.left(4), run.mid(4)} << Chunks {run} << 0;
    // A header claiming exactly the bytes up to the end of the frame behind
    // the stray header: the byte that completes both fails the first CRC.
    Chunks bytes;
    for (const char byte : hex("A55A0C") + stray + stop)
        bytes.append(QByteArray(1, byte));
    QTest::newRow("byte by byte, frame ending a bad one") << bytes << Chunks {stop} << 0;
    QTest::newRow("quiet drops stray header") << Chunks {stray, Quiet} << Chunks {} << 0;
    QTest::newRow("quiet keeps what follows the stray header")
        << Chunks {stray + run.left(4), Quiet, run.mid(4)} << Chunks {run} << 0;
    QTest::newRow("quiet keeps a first header byte behind the stray header")
        << Chunks {stray + run.left(1), Quiet, run.mid(1)} << Chunks {run} << 0;
    QTest::newRow("quiet inside a frame gives it up") << Chunks {run.left(4), Quiet, run.mid(4)} << Chunks {} << 0;
}

void TestLinkFrames::assembler()
{
    QFETCH(Chunks, chunks);
    QFETCH(Chunks, frames);
    QFETCH(int, left);
    FrameAssembler assembler;
    QCOMPARE(takeAll(assembler, chunks), frames);
    QCOMPARE(assembler.pendingBytes(), left);
}

// A stream of three frames cut at every pair of points gives the same three frames.
void TestLinkFrames::assemblerSplitsEveryWay()
{
    const Chunks frames {SerialPort::buildStartStopFrame(true), SerialPort::buildPhaseReadFrame(),
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
