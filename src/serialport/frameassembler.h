#ifndef FRAMEASSEMBLER_H
#define FRAMEASSEMBLER_H

#include <QByteArray>

// Cuts the byte stream of the serial port into frames. A serial port hands
// over bytes in arbitrary pieces (a USB virtual COM port in packets of 64
// bytes), so a frame may arrive split and several frames may come together.
// Bytes before a header are dropped, a frame is returned only once all its
// bytes are in and its CRC-16/MODBUS matches, and a frame whose CRC fails
// costs only its first header byte before the search resumes.
class FrameAssembler
{
public:
    // The length byte counts at most 255 bytes after itself.
    static constexpr int MaxFrameSize = 255 + 3;
    // Command, two address bytes and two CRC bytes: the shortest frame body.
    static constexpr int MinLength = 5;
    // Never more than this is held; the reader drains after every append.
    static constexpr int Capacity = 8192;

    void append(const QByteArray& bytes);
    // Takes the next complete frame out of the buffer; false when none is complete.
    bool takeFrame(QByteArray* frame);
    void clear();
    int pendingBytes() const;

private:
    bool dropUntilHeader();
    void discard(int count);

    QByteArray _buffer;
};

#endif // FRAMEASSEMBLER_H
