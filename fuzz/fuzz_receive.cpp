// libFuzzer target for the receive path of the instrument link: arbitrary
// bytes in arbitrary chunks, the line going quiet between some of them,
// through the frame reassembly and the frame handling (copy into the record,
// field walk, status routine).
//
// The reassembly is checked against what any receiver could know. A frame
// in the stream is an offset where a complete frame with a sound CRC
// stands: header A5 5A, a length byte L of at least 5, all L + 3 bytes
// present, the CRC matching. Line noise forms such frames as readily as the
// instrument does, and frames in the stream may overlap (the data of one
// may hold another), so of two overlapping frames none can tell which was
// sent. A quiet period, longer than a whole frame takes, gives up the first
// byte still waiting and what follows it up to the next header; a frame
// starting at that byte was not sent at the line's rate.
// With each delivered frame placed at its offset in the stream:
//  1. every delivered frame is a frame in the stream, and they come in
//     stream order without overlapping: nothing invented, reordered or
//     delivered twice;
//  2. whenever the bytes up to some point have been handed over, every
//     frame in the stream ending by that point has been delivered, unless
//     it overlaps a delivered frame or starts at a byte that a quiet period
//     gave up first. So no frame waits behind a stray header or a damaged
//     length byte, neither for bytes that never come nor for the quiet time,
//     and a quiet period costs no frame but the one it found waiting;
//  3. once a quiet period has given up a header, no complete frame is left
//     to take, and the line staying quiet empties the buffer.
#include "frameassembler.h"
#include "serialport.h"

#include <easylogging++.h>

#include <QByteArray>
#include <QList>
#include <QVector>

#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&)
{
}

void setUp()
{
    qInstallMessageHandler(&quiet);
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
    Global::_experimentInfo.sampleName = QStringLiteral("fuzz");
    Global::_experimentInfo.phases = QVector<PhaseInfoData>(6);
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}

struct Span
{
    int at;
    int end;
};

QVector<Span> framesIn(const QByteArray& stream)
{
    QVector<Span> frames;
    const auto* bytes = reinterpret_cast<const quint8*>(stream.constData());
    for (int at = 0; at + 8 <= stream.size(); ++at) {
        const int end = at + bytes[at + 2] + 3;
        if (bytes[at] != 0xA5 || bytes[at + 1] != 0x5A || end - at < 8 || end > stream.size())
            continue;
        const quint16 crc = SerialPort::crc16(bytes + at + 3, quint16(end - at - 5));
        if (crc == quint16(bytes[end - 2] | (bytes[end - 1] << 8)))
            frames.append({at, end});
    }
    return frames;
}

class ReassemblyOracle
{
public:
    explicit ReassemblyOracle(const QByteArray& stream)
        : _stream(stream)
        , _inStream(framesIn(stream))
        , _checked(_inStream.size(), false)
        , _endOf(stream.size(), -1)
        , _deliveredAt(stream.size(), false)
        , _covered(stream.size(), false)
        , _givenUpAt(stream.size(), false)
    {
        for (const Span& span : _inStream)
            _endOf[span.at] = span.end;
    }

    void arrive(const QByteArray& chunk)
    {
        _assembler.append(chunk);
        _arrived += chunk.size();
        takeFrames();
    }

    // One quiet period gives up one waiting header, as the receive timer does.
    bool goQuiet()
    {
        const int first = _arrived - _assembler.pendingBytes();
        if (!_assembler.dropStalledHeader())
            return false;
        _givenUpAt[first] = true;
        FrameAssembler rest = _assembler;
        QByteArray frame;
        require(!rest.takeFrame(&frame));
        return true;
    }

    void stayQuiet()
    {
        for (int drops = 0; goQuiet(); ++drops)
            require(drops < _arrived);
        require(_assembler.pendingBytes() == 0);
    }

private:
    // The buffer always holds the newest bytes, so a frame just taken stood
    // right before what is left.
    void takeFrames()
    {
        QByteArray frame;
        while (_assembler.takeFrame(&frame)) {
            const int at = _arrived - _assembler.pendingBytes() - frame.size();
            require(at >= _deliveredEnd && _endOf[at] == at + frame.size() && _stream.mid(at, frame.size()) == frame);
            _deliveredAt[at] = true;
            for (int i = at; i < at + frame.size(); ++i)
                _covered[i] = true;
            _deliveredEnd = at + frame.size();
        }
        checkNothingHeldBack();
    }

    // Each frame is judged once, as soon as its last byte is in: what holds
    // then holds for good.
    void checkNothingHeldBack()
    {
        for (int i = 0; i < _inStream.size(); ++i) {
            const Span& span = _inStream[i];
            if (_checked[i] || span.end > _arrived)
                continue;
            _checked[i] = true;
            require(_deliveredAt[span.at] || overlapsDelivered(span) || _givenUpAt[span.at]);
        }
    }

    bool overlapsDelivered(const Span& span) const
    {
        for (int i = span.at; i < span.end; ++i)
            if (_covered[i])
                return true;
        return false;
    }

    FrameAssembler _assembler;
    const QByteArray _stream;
    const QVector<Span> _inStream;
    QVector<bool> _checked;
    QVector<int> _endOf;
    QVector<bool> _deliveredAt;
    QVector<bool> _covered;
    QVector<bool> _givenUpAt;
    int _arrived = 0;
    int _deliveredEnd = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (setUp(), true);
    (void)ready;
    if (size < 1)
        return 0;
    // The first byte picks the chunk size (a serial port cuts the stream
    // anywhere, a USB port into packets of up to 64 bytes) and after how
    // many chunks the line goes quiet: 0 for never before the end.
    const int step = 1 + data[0] % 64;
    const int quietEvery = data[0] / 64;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), int(size - 1));
    QList<QByteArray> chunks;
    for (int at = 0; at < stream.size(); at += step)
        chunks.append(stream.mid(at, step));
    const auto quietAfter = [quietEvery](int chunk) { return quietEvery > 0 && (chunk + 1) % quietEvery == 0; };

    ReassemblyOracle oracle(stream);
    for (int i = 0; i < chunks.size(); ++i) {
        oracle.arrive(chunks[i]);
        if (quietAfter(i))
            oracle.goQuiet();
    }
    oracle.stayQuiet();

    Global::_globalMode = Global::Mode(1 << (data[0] % 3));
    SerialPort* port = SerialPort::instance();
    for (int i = 0; i < chunks.size(); ++i) {
        port->receiveBytes(chunks[i]);
        if (quietAfter(i))
            port->dropStalledFrame();
    }
    // Each quiet period gives up at least one byte, and one finding nothing
    // waiting means an empty buffer: the next input starts afresh.
    for (int drops = 0; port->dropStalledFrame(); ++drops)
        require(drops < stream.size());
    Global::clearCurveExperimentData();
    return 0;
}
