#include "frameassembler.h"

#include "serialport.h"

#include <QDebug>

#include <algorithm>

namespace {

const char HeaderBytes[2] = {char(SerialPort::HeaderByte1), char(SerialPort::HeaderByte2)};

QByteArray header()
{
    return QByteArray::fromRawData(HeaderBytes, 2);
}

} // namespace

void FrameAssembler::append(const QByteArray& bytes)
{
    _buffer.append(bytes);
    if (_buffer.size() > Capacity) {
        // Only reached when nobody drains; the oldest bytes go first.
        qDebug() << "Receive buffer overflow, bytes dropped:" << _buffer.size() - Capacity;
        discard(_buffer.size() - Capacity);
    }
}

bool FrameAssembler::takeFrame(QByteArray* frame)
{
    while (dropUntilHeader()) {
        if (_buffer.size() < 3)
            return false;
        const int length = static_cast<quint8>(_buffer.at(2));
        if (length < MinLength) {
            qDebug() << "Frame length error." << length;
            discard(1);
            continue;
        }
        const int frameSize = length + 3;
        if (_buffer.size() < frameSize) {
            // A frame still on its way holds no complete frame with a sound
            // CRC, short of data bytes that form one by chance; one standing
            // behind this header shows the header was not a frame's.
            const int later = nextCompleteFrame();
            if (later < 0) {
                _searchedUpTo = _buffer.size();
                return false;
            }
            qDebug() << "Incomplete frame skipped:" << _buffer.left(later).toHex(' ');
            discard(later);
            continue;
        }
        if (!crcMatches(0, frameSize)) {
            qDebug() << "CRC error." << _buffer.left(frameSize).toHex(' ');
            discard(1);
            continue;
        }
        *frame = _buffer.left(frameSize);
        discard(frameSize);
        return true;
    }
    return false;
}

bool FrameAssembler::dropStalledHeader()
{
    if (_buffer.isEmpty())
        return false;
    int next = _buffer.indexOf(header(), 1);
    if (next < 0)
        next = _buffer.size() > 1 && _buffer.endsWith(HeaderBytes[0]) ? _buffer.size() - 1 : _buffer.size();
    qDebug() << "Receive timeout, incomplete frame dropped:" << _buffer.left(next).toHex(' ');
    discard(next);
    return true;
}

void FrameAssembler::clear()
{
    _buffer.clear();
    _searchedUpTo = 0;
}

int FrameAssembler::pendingBytes() const
{
    return _buffer.size();
}

// Drops everything before the first header; a lone 0xA5 at the end is kept,
// since its second header byte may still be on its way.
bool FrameAssembler::dropUntilHeader()
{
    int at = _buffer.indexOf(header());
    if (at < 0) {
        const bool lastMayStart = !_buffer.isEmpty() && _buffer.endsWith(HeaderBytes[0]);
        at = lastMayStart ? _buffer.size() - 1 : _buffer.size();
    }
    if (at > 0) {
        qDebug() << "Data header error.";
        discard(at);
    }
    return _buffer.size() >= 2;
}

// The offset of the first header behind the first byte that starts a
// complete frame with a matching CRC; -1 when there is none. A frame that
// ended by _searchedUpTo was found wanting by an earlier search; a line of
// noise full of headers, read a byte at a time, would otherwise have every
// CRC among them computed again for each byte.
int FrameAssembler::nextCompleteFrame() const
{
    for (int at = _buffer.indexOf(header(), 1); at >= 0 && at + 3 <= _buffer.size();
         at = _buffer.indexOf(header(), at + 1)) {
        const int length = static_cast<quint8>(_buffer.at(at + 2));
        const int end = at + length + 3;
        if (length >= MinLength && end > _searchedUpTo && end <= _buffer.size() && crcMatches(at, length + 3))
            return at;
    }
    return -1;
}

bool FrameAssembler::crcMatches(int at, int frameSize) const
{
    const auto* bytes = reinterpret_cast<const quint8*>(_buffer.constData()) + at;
    const quint16 expected = SerialPort::crc16(bytes + 3, static_cast<quint16>(frameSize - 5));
    const quint16 received = static_cast<quint16>(bytes[frameSize - 2] | (bytes[frameSize - 1] << 8));
    return expected == received;
}

void FrameAssembler::discard(int count)
{
    _buffer.remove(0, count);
    _searchedUpTo = std::max(0, _searchedUpTo - count);
}
