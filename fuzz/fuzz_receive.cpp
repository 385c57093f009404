// libFuzzer target for the receive path of the instrument link: arbitrary
// bytes in arbitrary chunks through the frame reassembly and the frame
// handling (copy into the record, field walk, status routine).
#include "frameassembler.h"
#include "serialport.h"

#include <easylogging++.h>

#include <QByteArray>
#include <QList>

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

QList<QByteArray> framesOf(const QList<QByteArray>& chunks)
{
    FrameAssembler assembler;
    QList<QByteArray> frames;
    QByteArray frame;
    for (const QByteArray& chunk : chunks) {
        assembler.append(chunk);
        while (assembler.takeFrame(&frame))
            frames.append(frame);
    }
    return frames;
}

bool isSound(const QByteArray& frame)
{
    const auto* bytes = reinterpret_cast<const quint8*>(frame.constData());
    if (frame.size() < 8 || bytes[0] != 0xA5 || bytes[1] != 0x5A || frame.size() != bytes[2] + 3)
        return false;
    const quint16 crc = SerialPort::crc16(bytes + 3, quint16(frame.size() - 5));
    return crc == quint16(bytes[frame.size() - 2] | (bytes[frame.size() - 1] << 8));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (setUp(), true);
    (void)ready;
    if (size < 1)
        return 0;
    // The first byte picks the chunk sizes: a serial port cuts the stream anywhere.
    const int step = 1 + data[0] % 97;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), int(size - 1));
    QList<QByteArray> chunks;
    for (int at = 0; at < stream.size(); at += step)
        chunks.append(stream.mid(at, step));

    const QList<QByteArray> whole = framesOf({stream});
    if (framesOf(chunks) != whole)
        std::abort();
    for (const QByteArray& frame : whole)
        if (!isSound(frame))
            std::abort();

    Global::_globalMode = Global::Mode(1 << (data[0] % 3));
    SerialPort* port = SerialPort::instance();
    for (const QByteArray& chunk : chunks)
        port->receiveBytes(chunk);
    port->close();
    Global::clearCurveExperimentData();
    return 0;
}
