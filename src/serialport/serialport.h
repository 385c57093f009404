#ifndef SERIALPORT_H
#define SERIALPORT_H

#include "commondata.h"
#include "frameassembler.h"
#include "global.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

class QSerialPort;
class QTimer;

// The program's one link to the DSC instrument: a process-wide singleton in
// the GUI thread that finds the instrument's USB virtual COM port, writes the
// command frames and turns every received frame into program state and
// signals.
class SerialPort : public QObject
{
    Q_OBJECT

public:
    // USB identity of the instrument's virtual COM port.
    static constexpr quint16 VendorId = 0x0483;
    static constexpr quint16 ProductId = 0x5740;

    static constexpr quint8 HeaderByte1 = 0xA5;
    static constexpr quint8 HeaderByte2 = 0x5A;
    static constexpr quint8 WriteCommand = 0x82;
    static constexpr quint8 ReadCommand = 0x83;
    static constexpr quint16 RunFlagAddress = 0x002C;
    static constexpr quint16 PhaseTableAddress = 0x0050;
    // Six 12-byte stage records, then the test-type and initial-atmosphere bytes.
    static constexpr int PhaseTableSize = 74;

    static SerialPort* instance();
    ~SerialPort() override;

    bool open();
    void close();
    // Whether the port is open now; unlike open(), asking never opens it.
    bool isOpen() const;

    // The environment variable that names the instrument's port (for
    // instance the simulator's pseudo-terminal); unset or empty, open() looks
    // for the USB identity.
    static constexpr const char* PortNameVariable = "QUARNEL_SERIAL_PORT";

    // While a non-empty name is set, open() takes that port instead of
    // looking for the instrument's USB identity, whatever the environment
    // says. For tests and tools only.
    static void setPortNameOverride(const QString& name);

    static QByteArray buildStartStopFrame(bool run);
    static QByteArray buildPhaseReadFrame();
    static QByteArray buildPhaseWriteFrame(const QVector<PhaseInfoData>& phases, const QByteArray& options);
    static quint16 crc16(const quint8* data, quint16 length);

    static void setModeByRunStatus(const CommonData& data);
    void commonDataParser(int length, quint16 address, const CommonData& data);
    void updateRunStatus(const CommonData& data);
    void updateAxis();
    // Copies a frame's data bytes into the record at the frame's address, cut
    // to the bytes present and to the record's end; returns the count copied.
    static int copyFrameData(const QByteArray& frame, quint16 address, CommonData& data);

    // Feeds received bytes through the frame reassembly and acts on every
    // complete frame in order; slotReadData's worker, also used by tests.
    void receiveBytes(const QByteArray& bytes);
    // What the receive timer runs once the line has been quiet for longer
    // than a frame takes: a frame still waiting for its rest will not get
    // it, and gives up its header. False when nothing was waiting or bytes
    // arrived after all. Public for the receive fuzz target, which has no
    // event loop to run the timer.
    bool dropStalledFrame();

signals:
    void sigSendCommonData(const CommonData& data);
    void sigSendCommonDataToRealDataForm(const CommonData& data);
    void sigSendPhaseInfo(const QByteArray& frame);
    void sigAxisModify(float cutoffTemp);
    void sigUpdateStatusbarMsg(const QString& msg);
    void sigSaveExperimentalDataMsgBox();
    // The instrument went away while its port was open (unplugged, or the
    // line hung up); the port has been closed already.
    void sigDeviceLost();

public slots:
    void slotDeliverData(const QByteArray& frame);
    void slotSendData(const QByteArray& frame);
    void slotCloseSp();
    void slotReadData();

private:
    SerialPort();
    bool selectPort();
    void applySettings();
    void readAvailable();
    void handlePortError(int error);
    void closeLostDevice();
    void handleTakenFrames();
    void quietTick();
    void restartQuietTime();
    bool deviceHoldsUnreadBytes() const;
    void handleFrame(const QByteArray& frame);
    void handleReadReply(const QByteArray& frame, quint16 address, int copied, const CommonData& data);
    static QString statusText(const CommonData& data);

    QSerialPort* _serialPort = nullptr;
    bool _readyReadConnected = false;
    bool _readQueued = false;
    bool _lossPending = false;
    FrameAssembler _assembler;
    QTimer* _quietTimer = nullptr;
    int _quietTicks = 0;
    quint64 _bytesReceived = 0;
    // Modes remembered by the axis and end-of-run watchers; both start in analysis.
    int _axisLastMode = Global::Analysis;
    int _runEndLastMode = Global::Analysis;
    static QString _portNameOverride;
};

#endif // SERIALPORT_H
