// Live-plot throughput: status frames go through the instrument link's real
// receive path (frame reassembly, parsing, run status) into the real main
// window (plot and real-time panel) while the live curve grows to 100,000
// points. At 1k, 10k and 100k points, frames arrive for two seconds at the
// serial line's rate, one per event-loop turn; printed are the frames per
// second the GUI thread could handle at the cost measured (busy time, the
// replots that fell due included), its ratio to the line's limit, the replots
// done and the longest a frame waited.
#include "centralwidget.h"
#include "global.h"
#include "mainwindow.h"
#include "serialport.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QtEndian>

#include <cmath>
#include <cstdio>

namespace {

// 115200 baud at 10 bits per byte is 11520 bytes/s; a status reply of about
// 60 bytes gives the ≈190 frames/s the line can carry.
constexpr double LineFramesPerSecond = 190.0;

QByteArray statusFrame(int index)
{
    QByteArray data(80, '\0');
    data[0] = 1; // heating
    data[1] = 1; // stage 1
    const double minutes = index * 0.01;
    const double temperature = 25.0 + minutes * 10.0;
    qToLittleEndian(float(minutes), data.data() + 2);
    qToLittleEndian(temperature, data.data() + 10);
    qToLittleEndian(std::sin(temperature / 10.0), data.data() + 18);
    QByteArray frame("\xA5\x5A", 2);
    frame.append(char(data.size() + 5)).append('\x83').append('\0').append('\0').append(data);
    const quint16 crc = SerialPort::crc16(reinterpret_cast<const quint8*>(frame.constData() + 3), quint16(frame.size() - 3));
    frame.append(char(crc & 0xFF)).append(char(crc >> 8));
    return frame;
}

class Driver
{
public:
    explicit Driver(CentralWidget* plot)
        : _plot(plot)
    {
        QObject::connect(plot->findChild<QCustomPlot*>(), &QCustomPlot::afterReplot, [this]() { ++_replots; });
    }

    int replots() const { return _replots; }

    int points() const { return _plot->liveCurve() ? _plot->liveCurve()->dataCount() : 0; }

    // Grows the curve quickly: many frames per read, one event-loop turn each.
    void growTo(int target)
    {
        while (points() < target) {
            QByteArray chunk;
            for (int i = 0; i < qMin(1000, target - points()); ++i) {
                chunk += statusFrame(_next++);
            }
            SerialPort::instance()->receiveBytes(chunk);
            QCoreApplication::processEvents();
        }
    }

    struct Figures
    {
        double framesPerSecond; // frames the GUI thread could take at this cost
        int replots;
        double worstLag; // seconds a frame waited behind the one before
    };

    // Frames arrive at the line's rate, each read and handled in its own
    // event-loop turn as the port delivers it; the time spent handling them
    // (receive path, plot, panel, the replots that fall due) is the busy time.
    Figures atLineRate(double seconds)
    {
        const int frames = int(seconds * LineFramesPerSecond);
        const int replotsBefore = _replots;
        QElapsedTimer clock;
        clock.start();
        qint64 busy = 0;
        double worstLag = 0.0;
        for (int i = 0; i < frames; ++i) {
            const qint64 due = qint64(i / LineFramesPerSecond * 1e9);
            while (clock.nsecsElapsed() < due) {
                QThread::usleep(200);
            }
            worstLag = qMax(worstLag, (clock.nsecsElapsed() - due) / 1e9);
            const qint64 begin = clock.nsecsElapsed();
            SerialPort::instance()->receiveBytes(statusFrame(_next++));
            QCoreApplication::processEvents();
            busy += clock.nsecsElapsed() - begin;
        }
        return {frames / (busy / 1e9), _replots - replotsBefore, worstLag};
    }

private:
    CentralWidget* _plot;
    int _next = 0;
    int _replots = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.4.0"));
    MainWindow window;
    window.resize(1280, 800);
    window.show();
    QCoreApplication::processEvents();
    Global::_globalMode = Global::Experiment;
    Driver driver(window.findChild<CentralWidget*>());

    std::printf("serial line limit: %.0f status frames/s\n", LineFramesPerSecond);
    std::printf("%10s %12s %10s %18s %24s\n", "points", "frames/s", "vs line", "replots in 2 s", "worst lag at line rate");
    for (int size : {1000, 10000, 100000}) {
        driver.growTo(size);
        const auto figures = driver.atLineRate(2.0);
        std::printf("%10d %12.0f %9.1fx %18d %22.4f s\n", size, figures.framesPerSecond,
                    figures.framesPerSecond / LineFramesPerSecond, figures.replots, figures.worstLag);
    }
    const int kept = Global::_experimentDataVtr.isEmpty() ? 0 : Global::_experimentDataVtr.first().data.size();
    std::printf("points kept in the run record: %d of %d drawn\n", kept, driver.points());
    return kept == driver.points() ? 0 : 1;
}
