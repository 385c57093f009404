#ifndef FRAMEASSEMBLER_H
#define FRAMEASSEMBLER_H

#include <QByteArray>

// Cuts the byte stream of the serial port into frames. A serial port hands
// over bytes in arbitrary pieces (a USB virtual COM port in packets of 64
// bytes), so a frame may arrive split and several frames may come together.
// Bytes before a header are dropped, a frame is returned only once all its
// bytes are in and its CRC-16/MODBUS matches, and a frame whose CRC fails
// costs only its first header byte before the search resumes.
//
// A header whose length byte claims more than has arrived is waited for,
// but it never holds back what stands behind it: a stray header on the
// line, or a length byte with a flipped bit, claims bytes the instrument
// never sends. As soon as a complete frame with a sound CRC stands later in
// the buffer, the waiting header is given up for it; when the line goes
// quiet, dropStalledHeader() gives it up as well.
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
    // For a line that has been quiet for longer than a frame takes: the
    // bytes still waiting, once takeFrame() has returned false, wait for
    // bytes that are not coming. Drops the waiting header and what follows
    // it up to the next header (or a last 0xA5 that may start one), where
    // the search resumes; false when nothing was waiting.
    bool dropStalledHeader();
    void clear();
    int pendingBytes() const;

private:
    bool dropUntilHeader();
    int nextCompleteFrame() const;
    bool crcMatches(int at, int frameSize) const;
    void discard(int count);

    QByteArray _buffer;
    // Every header behind the first byte whose frame would end by here has
    // been found not to start a complete frame with a sound CRC.
    int _searchedUpTo = 0;
};

#endif // FRAMEASSEMBLER_H
