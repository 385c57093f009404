#include "frameassembler.h"

#include "serialport.h"

#include <QDebug>

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
        if (_buffer.size() < frameSize)
            return false;
        const auto* bytes = reinterpret_cast<const quint8*>(_buffer.constData());
        const quint16 expected = SerialPort::crc16(bytes + 3, static_cast<quint16>(length - 2));
        const quint16 received = static_cast<quint16>(bytes[frameSize - 2] | (bytes[frameSize - 1] << 8));
        if (expected != received) {
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

void FrameAssembler::clear()
{
    _buffer.clear();
}

int FrameAssembler::pendingBytes() const
{
    return _buffer.size();
}

// Drops everything before the first header; a lone 0xA5 at the end is kept,
// since its second header byte may still be on its way.
bool FrameAssembler::dropUntilHeader()
{
    const char header[2] = {char(SerialPort::HeaderByte1), char(SerialPort::HeaderByte2)};
    int at = _buffer.indexOf(QByteArray::fromRawData(header, 2));
    if (at < 0) {
        const bool lastMayStart = !_buffer.isEmpty() && _buffer.endsWith(header[0]);
        at = lastMayStart ? _buffer.size() - 1 : _buffer.size();
    }
    if (at > 0) {
        qDebug() << "Data header error.";
        discard(at);
    }
    return _buffer.size() >= 2;
}

void FrameAssembler::discard(int count)
{
    _buffer.remove(0, count);
}
