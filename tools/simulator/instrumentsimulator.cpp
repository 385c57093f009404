#include "instrumentsimulator.h"

#include "serialport.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int MemorySize = 260;
constexpr int HeaderSize = 6;
// The largest piece written at once when frames are split.
constexpr int MaxPiece = 70;

bool makeRaw(int fd)
{
    termios settings {};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

InstrumentSimulator::InstrumentSimulator(QObject* parent)
    : QObject(parent)
    , _memory(MemorySize, '\0')
    , _random(1)
{
    setStageTable(SimulatedRun::defaultStageTable());
    _tickTimer = new QTimer(this);
    _tickTimer->setInterval(500);
    connect(_tickTimer, &QTimer::timeout, this, &InstrumentSimulator::slotTick);
    _pieceTimer = new QTimer(this);
    _pieceTimer->setInterval(1);
    connect(_pieceTimer, &QTimer::timeout, this, &InstrumentSimulator::slotWriteNextPiece);
}

InstrumentSimulator::~InstrumentSimulator()
{
    hangUp();
}

bool InstrumentSimulator::start()
{
    if (_master >= 0)
        return true;
    if (openpty(&_master, &_slave, nullptr, nullptr, nullptr) != 0)
        return false;
    // The simulator keeps its own handle on the terminal, so the master never
    // sees a hang-up while the program has the port closed.
    if (!makeRaw(_slave) || !makeRaw(_master)) {
        hangUp();
        return false;
    }
    fcntl(_master, F_SETFL, fcntl(_master, F_GETFL) | O_NONBLOCK);
    _portName = QString::fromLocal8Bit(ttyname(_slave));
    _notifier = new QSocketNotifier(_master, QSocketNotifier::Read, this);
    connect(_notifier, &QSocketNotifier::activated, this, &InstrumentSimulator::slotReadMaster);
    return true;
}

QString InstrumentSimulator::portName() const
{
    return _portName;
}

bool InstrumentSimulator::isOpen() const
{
    return _master >= 0;
}

void InstrumentSimulator::hangUp()
{
    _tickTimer->stop();
    _pieceTimer->stop();
    delete _notifier;
    _notifier = nullptr;
    if (_master >= 0)
        ::close(_master);
    if (_slave >= 0)
        ::close(_slave);
    _master = -1;
    _slave = -1;
    _outbox.clear();
}

void InstrumentSimulator::setInterval(int milliseconds)
{
    _tickTimer->setInterval(milliseconds);
}

int InstrumentSimulator::interval() const
{
    return _tickTimer->interval();
}

void InstrumentSimulator::setTimeAcceleration(double factor)
{
    _acceleration = factor;
}

void InstrumentSimulator::setSeed(quint32 seed)
{
    _random.seed(seed);
}

void InstrumentSimulator::setFaults(const Faults& faults)
{
    _faults = faults;
}

QByteArray InstrumentSimulator::stageTable() const
{
    return _memory.mid(SerialPort::PhaseTableAddress, SerialPort::PhaseTableSize);
}

void InstrumentSimulator::setStageTable(const QByteArray& table)
{
    _memory.replace(SerialPort::PhaseTableAddress, SerialPort::PhaseTableSize,
                    table.left(SerialPort::PhaseTableSize).leftJustified(SerialPort::PhaseTableSize, '\0'));
}

bool InstrumentSimulator::isRunning() const
{
    return _tickTimer->isActive();
}

const SimulatedRun& InstrumentSimulator::run() const
{
    return _run;
}

QList<QByteArray> InstrumentSimulator::sentFrames() const
{
    return _sentFrames;
}

QList<QByteArray> InstrumentSimulator::receivedFrames() const
{
    return _receivedFrames;
}

void InstrumentSimulator::clearFrameLogs()
{
    _sentFrames.clear();
    _receivedFrames.clear();
}

QByteArray InstrumentSimulator::buildFrame(quint8 command, quint16 address, const QByteArray& data)
{
    QByteArray frame;
    frame.append(char(SerialPort::HeaderByte1));
    frame.append(char(SerialPort::HeaderByte2));
    frame.append(char(data.size() + 5));
    frame.append(char(command));
    frame.append(char(address & 0xFF));
    frame.append(char(address >> 8));
    frame.append(data);
    const quint16 crc = SerialPort::crc16(reinterpret_cast<const quint8*>(frame.constData()) + 3,
                                          quint16(frame.size() - 3));
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

// Reads what the program wrote and cuts it into frames; bytes that start no
// frame and frames with a wrong CRC are skipped as the instrument would.
void InstrumentSimulator::slotReadMaster()
{
    char buffer[1024];
    ssize_t count = 0;
    while ((count = ::read(_master, buffer, sizeof buffer)) > 0)
        _inbox.append(buffer, int(count));
    for (;;) {
        const int at = _inbox.indexOf("\xA5\x5A");
        if (at < 0) {
            _inbox = _inbox.right(1);
            return;
        }
        _inbox.remove(0, at);
        if (_inbox.size() < 3)
            return;
        const int size = quint8(_inbox.at(2)) + 3;
        if (size < HeaderSize + 2) {
            _inbox.remove(0, 1);
            continue;
        }
        if (_inbox.size() < size)
            return;
        const QByteArray frame = _inbox.left(size);
        const auto* bytes = reinterpret_cast<const quint8*>(frame.constData());
        const quint16 crc = SerialPort::crc16(bytes + 3, quint16(size - 5));
        if (crc != quint16(bytes[size - 2] | (bytes[size - 1] << 8))) {
            _inbox.remove(0, 1);
            continue;
        }
        _inbox.remove(0, size);
        handleFrame(frame);
    }
}

void InstrumentSimulator::handleFrame(const QByteArray& frame)
{
    _receivedFrames.append(frame);
    emit sigFrameReceived(frame);
    const quint16 address = quint16(quint8(frame.at(4)) | (quint8(frame.at(5)) << 8));
    const QByteArray data = frame.mid(HeaderSize, frame.size() - HeaderSize - 2);
    if (quint8(frame.at(3)) == SerialPort::WriteCommand)
        handleWrite(address, data, frame);
    else if (quint8(frame.at(3)) == SerialPort::ReadCommand && !data.isEmpty())
        handleReadRequest(address, quint8(data.at(0)));
}

void InstrumentSimulator::handleWrite(quint16 address, const QByteArray& data, const QByteArray& frame)
{
    if (address >= MemorySize)
        return;
    const QByteArray stored = data.left(MemorySize - address);
    _memory.replace(address, stored.size(), stored);
    const bool runFlagWritten = address <= SerialPort::RunFlagAddress
        && address + stored.size() > SerialPort::RunFlagAddress;
    if (!runFlagWritten)
        return;
    sendFrame(frame);
    flushMerged();
    const quint8 flag = quint8(_memory.at(SerialPort::RunFlagAddress));
    if (flag == 1)
        startRun();
    else if (flag == 0)
        stopRun();
}

void InstrumentSimulator::handleReadRequest(quint16 address, int count)
{
    if (address == 0 && _run.phase() != SimulatedRun::Idle)
        _memory.replace(0, SimulatedRun::StatusRecordSize, _run.statusRecord());
    const QByteArray data = address < MemorySize ? _memory.mid(address, count) : QByteArray();
    sendFrame(buildFrame(SerialPort::ReadCommand, address, data));
    flushMerged();
}

void InstrumentSimulator::startRun()
{
    _run.start(stageTable(), _random());
    _tickTimer->start();
    emit sigRunStarted();
}

void InstrumentSimulator::stopRun()
{
    _run.stop();
}

void InstrumentSimulator::slotTick()
{
    if (!_run.isActive()) {
        _tickTimer->stop();
        return;
    }
    _run.advance(_tickTimer->interval() / 60000.0 * _acceleration);
    const QByteArray record = _run.statusRecord();
    _memory.replace(0, record.size(), record);
    sendFrame(buildFrame(SerialPort::ReadCommand, 0, record));
    if (!_run.isActive()) {
        _tickTimer->stop();
        flushMerged();
        emit sigRunFinished();
    }
}

void InstrumentSimulator::sendFrame(const QByteArray& frame)
{
    QByteArray outgoing = frame;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (_faults.corruptCrcRate > 0.0 && chance(_random) < _faults.corruptCrcRate)
        outgoing[outgoing.size() - 1] = char(outgoing.at(outgoing.size() - 1) ^ 0x5A);
    else
        _sentFrames.append(frame);
    _mergeQueue.append(garbage() + outgoing);
    if (_mergeQueue.size() >= std::max(1, _faults.mergeFrames))
        flushMerged();
}

void InstrumentSimulator::sendRaw(const QByteArray& bytes)
{
    flushMerged();
    writeToMaster(bytes);
}

void InstrumentSimulator::flushMerged()
{
    QByteArray bytes;
    for (const QByteArray& piece : qAsConst(_mergeQueue))
        bytes.append(piece);
    _mergeQueue.clear();
    if (!bytes.isEmpty())
        writeToMaster(bytes);
}

QByteArray InstrumentSimulator::garbage()
{
    if (_faults.garbageMaxBytes <= 0)
        return QByteArray();
    std::uniform_int_distribution<int> length(0, _faults.garbageMaxBytes);
    std::uniform_int_distribution<int> value(0, 254);
    QByteArray bytes(length(_random), '\0');
    for (char& byte : bytes) {
        const int v = value(_random);
        // 0xA5 is left out: garbage must never begin a frame by chance.
        byte = char(v >= 0xA5 ? v + 1 : v);
    }
    return bytes;
}

void InstrumentSimulator::writeToMaster(const QByteArray& bytes)
{
    if (_master < 0)
        return;
    _outbox.append(bytes);
    slotWriteNextPiece();
}

// Writes the whole outbox, or with split frames one random piece per timer
// tick so that the reader sees the pieces in separate reads.
void InstrumentSimulator::slotWriteNextPiece()
{
    if (_master < 0 || _outbox.isEmpty()) {
        _pieceTimer->stop();
        return;
    }
    int size = _outbox.size();
    if (_faults.splitFrames)
        size = std::min(size, std::uniform_int_distribution<int>(1, MaxPiece)(_random));
    const ssize_t written = ::write(_master, _outbox.constData(), size_t(size));
    if (written > 0)
        _outbox.remove(0, int(written));
    if (!_outbox.isEmpty() && !_pieceTimer->isActive())
        _pieceTimer->start();
    else if (_outbox.isEmpty())
        _pieceTimer->stop();
}
