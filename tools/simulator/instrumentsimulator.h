#ifndef INSTRUMENTSIMULATOR_H
#define INSTRUMENTSIMULATOR_H

#include "simulatedrun.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <random>

class QSocketNotifier;
class QTimer;

// Stands in for the DSC instrument on a pseudo-terminal.
//
// start() opens a pty pair in raw mode; portName() is the terminal the
// program opens (hand it to SerialPort::setPortNameOverride). The simulator
// then speaks the instrument's side of the frame protocol:
//  - a read request (0x83) is answered with a read reply holding the asked
//    bytes of its variable area; the stage table lives at 0x0050 (74 bytes,
//    a sensible two-stage programme until the program writes its own);
//  - a write (0x82) is stored; at 0x002C a 1 starts the programme and a 0
//    stops it, and that run-flag write is echoed back as a write frame;
//  - while a programme runs, a status read reply at address 0 (80 bytes:
//    run status, stage from 1, run time, hold time, sample temperature, DSC
//    signal, fault, atmosphere, run flag) goes out every interval(): the
//    enabled stages are ramped at their scan rate to their cut-off (status
//    1), held (status 2), then come cooling frames (status 3) and one idle
//    frame (status 0), after which the stream stops.
//
// It runs in the event loop of the thread it lives in (a QSocketNotifier on
// the pty master and a QTimer), so a test can keep it in its own thread's
// loop beside the program under test. To run it elsewhere, either move it
// to another QThread before start() and call start() there (for instance
// through QMetaObject::invokeMethod with Qt::BlockingQueuedConnection), or
// run the quarnel-simulator executable, which prints the terminal's path
// and serves until it is killed.
//
// Fault injection works on the byte stream that leaves the simulator:
// frames split at random points across separate writes, several frames
// merged into one write, garbage bytes (never 0xA5, so they can never form
// a header) between frames, frames sent with a corrupted CRC, and a hang-up
// that closes the pty. sentFrames() lists the sound frames in sending
// order, corrupted ones excluded, so a test can check that the program
// acted on exactly those.
class InstrumentSimulator : public QObject
{
    Q_OBJECT

public:
    struct Faults
    {
        bool splitFrames = false;     // cut the stream at random points, one write per piece
        int mergeFrames = 1;          // frames gathered into one write
        int garbageMaxBytes = 0;      // up to this many garbage bytes before each frame
        double corruptCrcRate = 0.0;  // share of frames sent with a wrong CRC
    };

    explicit InstrumentSimulator(QObject* parent = nullptr);
    ~InstrumentSimulator() override;

    bool start();
    QString portName() const;
    bool isOpen() const;
    // Closes the pty master: the program's end sees a hang-up.
    void hangUp();

    // Status frame period in real milliseconds (default 500).
    void setInterval(int milliseconds);
    int interval() const;
    // Simulated minutes that pass per real minute (default 1).
    void setTimeAcceleration(double factor);
    void setSeed(quint32 seed);
    void setFaults(const Faults& faults);

    QByteArray stageTable() const;
    void setStageTable(const QByteArray& table);
    bool isRunning() const;
    const SimulatedRun& run() const;

    // Sends a frame as built by the caller, through the fault injection.
    void sendFrame(const QByteArray& frame);
    // Sends bytes as they are, after everything sent before, past the fault
    // injection and the log of sent frames: line noise, damaged frames.
    void sendRaw(const QByteArray& bytes);
    // Builds a frame of the protocol with its CRC.
    static QByteArray buildFrame(quint8 command, quint16 address, const QByteArray& data);

    QList<QByteArray> sentFrames() const;
    QList<QByteArray> receivedFrames() const;
    void clearFrameLogs();

signals:
    void sigFrameReceived(const QByteArray& frame);
    void sigRunStarted();
    void sigRunFinished();

private slots:
    void slotReadMaster();
    void slotTick();
    void slotWriteNextPiece();

private:
    void handleFrame(const QByteArray& frame);
    void handleWrite(quint16 address, const QByteArray& data, const QByteArray& frame);
    void handleReadRequest(quint16 address, int count);
    void startRun();
    void stopRun();
    void queueFrame(const QByteArray& frame);
    void flushMerged();
    void writeToMaster(const QByteArray& bytes);
    QByteArray garbage();

    int _master = -1;
    int _slave = -1;
    QString _portName;
    QSocketNotifier* _notifier = nullptr;
    QTimer* _tickTimer = nullptr;
    QTimer* _pieceTimer = nullptr;
    QByteArray _memory;
    QByteArray _inbox;
    QByteArray _outbox;
    QList<QByteArray> _mergeQueue;
    QList<QByteArray> _sentFrames;
    QList<QByteArray> _receivedFrames;
    SimulatedRun _run;
    Faults _faults;
    double _acceleration = 1.0;
    std::mt19937 _random;
};

#endif // INSTRUMENTSIMULATOR_H
