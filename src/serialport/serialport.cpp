#include "serialport.h"

#include <easylogging++.h>

#include <QDebug>
#include <QMetaEnum>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

namespace {

// A status record shorter than this has no DSC signal: address 18 plus eight bytes.
constexpr int LivePointMinBytes = 26;
// What the reader takes out of the port per step, so the receive buffer stays bounded.
constexpr int ReadStep = 4096;
// Milliseconds of silence after which the rest of a frame is no longer
// expected: the longest frame, 258 bytes of ten bits at 115200 baud, takes
// 22.4 ms.
constexpr int QuietTime = 50;
// The quiet time is counted in ticks, and bytes the device holds unread
// count as arrivals: the port reads the device only when its read notifier
// runs, so a window that was busy for longer than the quiet time would
// otherwise find the quiet time run out before the rest of a frame, written
// meanwhile, has been read.
constexpr int QuietTicks = 2;

QByteArray frameHead(quint8 length, quint8 command, quint16 address)
{
    QByteArray frame;
    frame.append(char(SerialPort::HeaderByte1));
    frame.append(char(SerialPort::HeaderByte2));
    frame.append(char(length));
    frame.append(char(command));
    frame.append(char(address & 0xFF));
    frame.append(char(address >> 8));
    return frame;
}

// Appends the CRC over everything from the command byte on, low byte first.
void appendCrc(QByteArray& frame)
{
    const auto* bytes = reinterpret_cast<const quint8*>(frame.constData());
    const quint16 crc = SerialPort::crc16(bytes + 3, static_cast<quint16>(frame.size() - 3));
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
}

quint16 readU16(const QByteArray& bytes, int offset)
{
    return static_cast<quint16>(quint8(bytes.at(offset)) | (quint8(bytes.at(offset + 1)) << 8));
}

} // namespace

QString SerialPort::_portNameOverride;

SerialPort* SerialPort::instance()
{
    static SerialPort port;
    return &port;
}

SerialPort::SerialPort()
    : QObject(nullptr)
    , _serialPort(new QSerialPort(this))
    , _quietTimer(new QTimer(this))
{
    qRegisterMetaType<CommonData>("CommonData");
    _quietTimer->setInterval(QuietTime / QuietTicks);
    connect(_quietTimer, &QTimer::timeout, this, &SerialPort::quietTick);
    connect(_serialPort, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { handlePortError(error); });
}

SerialPort::~SerialPort()
{
    close();
}

void SerialPort::setPortNameOverride(const QString& name)
{
    _portNameOverride = name;
}

bool SerialPort::open()
{
    if (_serialPort->isOpen())
        return true;
    if (!selectPort())
        return false;
    applySettings();
    if (!_readyReadConnected) {
        connect(_serialPort, &QSerialPort::readyRead, this, &SerialPort::slotReadData);
        _readyReadConnected = true;
    }
    _assembler.clear();
    _quietTimer->stop();
    if (!_serialPort->open(QIODevice::ReadWrite)) {
        const QMetaEnum errors = QMetaEnum::fromType<QSerialPort::SerialPortError>();
        qDebug() << "open failed." << errors.valueToKey(_serialPort->error());
        return false;
    }
    qDebug() << "open succ.";
    _serialPort->setDataTerminalReady(true);
    return true;
}

// A port named by the tools or the environment stands for the instrument:
// the simulated one is a pseudo-terminal without a USB identity.
bool SerialPort::selectPort()
{
    const QString named =
        _portNameOverride.isEmpty() ? qEnvironmentVariable(PortNameVariable) : _portNameOverride;
    if (!named.isEmpty()) {
        _serialPort->setPortName(named);
        return true;
    }
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    const auto found = std::find_if(ports.cbegin(), ports.cend(), [](const QSerialPortInfo& info) {
        return info.vendorIdentifier() == VendorId && info.productIdentifier() == ProductId;
    });
    if (found == ports.cend()) {
        qDebug() << "Device not found.";
        return false;
    }
    _serialPort->setPort(*found);
    return true;
}

void SerialPort::applySettings()
{
    _serialPort->setBaudRate(115200, QSerialPort::AllDirections);
    _serialPort->setDataBits(QSerialPort::Data8);
    _serialPort->setFlowControl(QSerialPort::NoFlowControl);
    _serialPort->setParity(QSerialPort::NoParity);
    _serialPort->setStopBits(QSerialPort::OneStop);
}

void SerialPort::close()
{
    if (!_serialPort->isOpen())
        return;
    _serialPort->clear(QSerialPort::AllDirections);
    _serialPort->close();
    _assembler.clear();
    _quietTimer->stop();
}

bool SerialPort::isOpen() const
{
    return _serialPort->isOpen();
}

void SerialPort::slotCloseSp()
{
    if (_serialPort->isOpen()) {
        _serialPort->close();
        _assembler.clear();
        _quietTimer->stop();
    }
}

// A vanished device keeps the port's read notifier firing: an unplugged
// adapter reports ResourceError, a hung-up line ReadError, each again on
// every pass of the event loop. Either from an open port means the device is
// gone. The port is closed from the event loop, not inside the port's own
// notification that reported the error.
void SerialPort::handlePortError(int error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (_lossPending || !_serialPort->isOpen())
        return;
    _lossPending = true;
    QMetaObject::invokeMethod(this, [this] { closeLostDevice(); }, Qt::QueuedConnection);
}

// Errors that closing the dead port raises itself are ignored while the
// loss is pending; the buffers of a gone device are not worth clearing.
void SerialPort::closeLostDevice()
{
    if (_serialPort->isOpen()) {
        const QMetaEnum errors = QMetaEnum::fromType<QSerialPort::SerialPortError>();
        LOG(DEBUG) << "device lost:" << errors.valueToKey(_serialPort->error())
                   << _serialPort->errorString();
        slotCloseSp();
        _lossPending = false;
        emit sigDeviceLost();
        return;
    }
    _lossPending = false;
}

void SerialPort::slotDeliverData(const QByteArray& frame)
{
    open();
    slotSendData(frame);
}

void SerialPort::slotSendData(const QByteArray& frame)
{
    LOG(DEBUG) << "slotSendData:" << frame.toHex(' ').constData();
    if (!_serialPort->isOpen()) {
        LOG(DEBUG) << "sp not open.";
        return;
    }
    const qint64 written = _serialPort->write(frame);
    if (written == -1)
        LOG(DEBUG) << "Write failed." << _serialPort->errorString();
    else if (written == frame.size())
        LOG(DEBUG) << "All data writen.";
    else
        LOG(DEBUG) << "Not all data was writen.";
}

QByteArray SerialPort::buildStartStopFrame(bool run)
{
    QByteArray frame = frameHead(6, WriteCommand, RunFlagAddress);
    frame.append(char(run ? 1 : 0));
    appendCrc(frame);
    return frame;
}

QByteArray SerialPort::buildPhaseReadFrame()
{
    QByteArray frame = frameHead(6, ReadCommand, PhaseTableAddress);
    frame.append(char(PhaseTableSize));
    appendCrc(frame);
    return frame;
}

// Each stage goes out as the first twelve bytes of its packed record, the
// 32-bit atmosphere narrowed to its low byte. The length byte counts exactly
// two option bytes, so the options are cut or zero-filled to two.
QByteArray SerialPort::buildPhaseWriteFrame(const QVector<PhaseInfoData>& phases, const QByteArray& options)
{
    constexpr int WireStageSize = 12;
    QByteArray frame = frameHead(quint8(phases.size() * WireStageSize + 7), WriteCommand, PhaseTableAddress);
    for (const PhaseInfoData& phase : phases)
        frame.append(reinterpret_cast<const char*>(&phase), WireStageSize);
    frame.append(options.leftJustified(2, '\0', true));
    appendCrc(frame);
    return frame;
}

quint16 SerialPort::crc16(const quint8* data, quint16 length)
{
    quint16 crc = 0xFFFF;
    for (quint16 i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = crc & 1;
            crc >>= 1;
            if (carry)
                crc ^= 0xA001;
        }
    }
    return crc;
}

// QSerialPort emits no readyRead while a receiver of its readyRead still
// runs. Frames handled right in this slot would leave a nested event loop
// (the end-of-run question, its save dialog) deaf to the instrument until it
// returns; the bytes are therefore taken from the event loop instead.
void SerialPort::slotReadData()
{
    if (_readQueued)
        return;
    _readQueued = true;
    QMetaObject::invokeMethod(this, [this] { readAvailable(); }, Qt::QueuedConnection);
}

void SerialPort::readAvailable()
{
    _readQueued = false;
    while (_serialPort->bytesAvailable() > 0) {
        const QByteArray chunk = _serialPort->read(ReadStep);
        if (chunk.isEmpty())
            break;
        receiveBytes(chunk);
    }
}

// Each frame is taken out of the buffer before it is acted on: a receiver may
// run a nested event loop (the end-of-run question), in which frames that
// arrive meanwhile are read and handled before that receiver returns. Large
// inputs go in by read steps, drained after each, so the bounded buffer never
// has to drop bytes of complete frames. The quiet time starts afresh once
// the frames are handled, so time spent handling them never counts as quiet
// line; it runs only while bytes wait for the rest of their frame.
void SerialPort::receiveBytes(const QByteArray& bytes)
{
    _bytesReceived += quint64(bytes.size());
    for (int at = 0; at < bytes.size(); at += ReadStep) {
        _assembler.append(bytes.mid(at, ReadStep));
        handleTakenFrames();
    }
    restartQuietTime();
}

// The quiet time may run out inside a nested event loop of a read that has
// frames left to hand out, or with bytes still unread in the port: those
// come first, and bytes arriving meanwhile start the quiet time afresh. Once
// takeFrame() has found nothing, no complete frame with a sound CRC is left
// in the buffer, so giving up the waiting header frees only bytes that were
// never going to form a frame; the search resumes behind it when more bytes
// come, and the next header gets a quiet time of its own.
bool SerialPort::dropStalledFrame()
{
    const quint64 received = _bytesReceived;
    readAvailable();
    handleTakenFrames();
    const bool dropped = _bytesReceived == received && _assembler.dropStalledHeader();
    restartQuietTime();
    return dropped;
}

// The line is quiet only once a whole tick has passed with nothing arriving:
// the pass of the event loop that runs the first tick may come right after a
// long busy spell, before the port has read anything. Bytes in the device
// may have been written in that very pass, by a timer due before this one.
void SerialPort::quietTick()
{
    if (deviceHoldsUnreadBytes()) {
        _quietTicks = 0;
        return;
    }
    if (++_quietTicks >= QuietTicks)
        dropStalledFrame();
}

void SerialPort::restartQuietTime()
{
    _quietTicks = 0;
    if (_assembler.pendingBytes() > 0)
        _quietTimer->start();
    else
        _quietTimer->stop();
}

bool SerialPort::deviceHoldsUnreadBytes() const
{
#ifdef Q_OS_UNIX
    int unread = 0;
    return _serialPort->isOpen() && ::ioctl(int(_serialPort->handle()), FIONREAD, &unread) == 0 && unread > 0;
#else
    return false;
#endif
}

void SerialPort::handleTakenFrames()
{
    QByteArray frame;
    while (_assembler.takeFrame(&frame))
        handleFrame(frame);
}

void SerialPort::handleFrame(const QByteArray& frame)
{
    const quint16 address = readU16(frame, 4);
    if (address == PhaseTableAddress) {
        emit sigSendPhaseInfo(frame);
        return;
    }
    CommonData data;
    const int copied = copyFrameData(frame, address, data);
    const quint8 command = quint8(frame.at(3));
    if (command == WriteCommand)
        commonDataParser(copied, address, data);
    else if (command == ReadCommand)
        handleReadReply(frame, address, copied, data);
}

// Copies the frame's data bytes to their addresses, cut to the bytes the
// frame holds and to the end of the record; returns how many were copied.
int SerialPort::copyFrameData(const QByteArray& frame, quint16 address, CommonData& data)
{
    const int length = quint8(frame.at(2));
    if (length < 5 || address >= CommonData::Size)
        return 0;
    const int present = frame.size() - 6;
    const int count = std::min({length - 5, present, CommonData::Size - int(address)});
    if (count <= 0)
        return 0;
    std::memcpy(data.bytes() + address, frame.constData() + 6, size_t(count));
    return count;
}

void SerialPort::handleReadReply(const QByteArray& frame, quint16 address, int copied, const CommonData& data)
{
    if (address != 0) {
        LOG(DEBUG) << "receive info (hex):" << frame.toHex(' ').constData();
        return;
    }
    if (copied < 1)
        return;
    setModeByRunStatus(data);
    updateRunStatus(data);
    // A record too short to carry the DSC signal would plot and save zeros.
    if (Global::_globalMode == Global::Experiment && copied >= LivePointMinBytes)
        emit sigSendCommonData(data);
}

void SerialPort::setModeByRunStatus(const CommonData& data)
{
    switch (data.runStatus) {
    case RunStatusIdle:
    case RunStatusCooling:
        Global::_globalMode = Global::Analysis;
        break;
    case RunStatusHeating:
    case RunStatusIsothermal:
        Global::_globalMode = Global::Experiment;
        break;
    default:
        break;
    }
}

void SerialPort::commonDataParser(int length, quint16 address, const CommonData& data)
{
    int remaining = length;
    int at = address;
    while (remaining > 0) {
        qDebug() << "localLength:" << remaining;
        int width = 0;
        if (at == 0) {
            if (data.runStatus == RunStatusCooling) {
                Global::_globalMode = Global::Analysis;
                LOG(DEBUG) << "set global mode analysis.common data parser.";
            }
            width = 1;
        } else if (at == 39) {
            width = 1;
        } else if (at == 40) {
            width = 4;
        } else if (at == RunFlagAddress) {
            if (data.runFlag == 0) {
                Global::_globalMode = Global::Analysis;
                LOG(DEBUG) << "set global mode analysis.";
            } else if (data.runFlag == 1) {
                Global::_globalMode = Global::Experiment;
            }
            width = 1;
        } else if (at >= 80 && at <= 155 && (at - 80) % 15 == 0) {
            width = 15;
        } else {
            return;
        }
        at += width;
        remaining -= width;
    }
}

void SerialPort::updateRunStatus(const CommonData& data)
{
    if (Global::_globalMode == Global::Experiment && data.stage != Global::_currentPhaseIndex)
        Global::openStageRecord(data.stage);
    updateAxis();
    emit sigUpdateStatusbarMsg(statusText(data));
    if (Global::_globalMode != _runEndLastMode) {
        const bool runEnded = _runEndLastMode == Global::Experiment && Global::_globalMode == Global::Analysis;
        _runEndLastMode = Global::_globalMode;
        if (runEnded)
            emit sigSaveExperimentalDataMsgBox();
    }
}

void SerialPort::updateAxis()
{
    if (_axisLastMode == Global::Analysis && Global::_globalMode == Global::Experiment) {
        if (!Global::_experimentInfo.phases.isEmpty()) {
            LOG(DEBUG) << "serialport set axis.";
            emit sigAxisModify(Global::_experimentInfo.phases.first().cutoffTemp);
        }
        _axisLastMode = Global::Experiment;
    } else if (Global::_globalMode != _axisLastMode) {
        _axisLastMode = Global::_globalMode;
    }
}

QString SerialPort::statusText(const CommonData& data)
{
    const QString running = QStringLiteral("设备运行状态:%2 实验阶段:%3 实验进行中");
    const QString ended = QStringLiteral("设备运行状态:%2 实验阶段:%3 实验结束");
    QString text;
    switch (data.runStatus) {
    case RunStatusHeating:
        text = running.arg(QStringLiteral("升温"));
        break;
    case RunStatusIsothermal:
        text = running.arg(QStringLiteral("实验"));
        break;
    case RunStatusIdle:
    case RunStatusCooling:
        text = ended.arg(QStringLiteral("冷却"));
        break;
    default:
        text = ended.arg(QString());
        break;
    }
    return text.arg(data.stage);
}
