// Live-plot throughput: status frames go through the instrument link's real
// receive path (frame reassembly, parsing, run status) into the real main
// window (plot and real-time panel) while the live curve grows to 100,000
// points. Prints frames handled per second at 1k, 10k and 100k points against
// the serial line's limit.
#include "centralwidget.h"
#include "global.h"
#include "mainwindow.h"
#include "serialport.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QtEndian>

#include <cmath>
#include <cstdio>

namespace {

// 115200 baud at 10 bits per byte is 11520 bytes/s; a status reply of about
// 60 bytes gives the ≈190 frames/s the line can carry.
constexpr double LineFramesPerSecond = 190.0;
constexpr int MeasuredFrames = 300;

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

    // Worst case: every frame in its own read and event-loop turn, so every
    // frame is followed by a full replot.
    double framesPerSecondOneByOne()
    {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < MeasuredFrames; ++i) {
            SerialPort::instance()->receiveBytes(statusFrame(_next++));
            QCoreApplication::processEvents();
        }
        return MeasuredFrames / (timer.nsecsElapsed() / 1e9);
    }

    // Frames offered at the line's rate: what arrived during the last turn is
    // read at once (as the port buffers it), and the largest backlog is kept.
    double worstLagAtLineRate(double seconds)
    {
        QElapsedTimer timer;
        timer.start();
        int delivered = 0;
        double worstLag = 0.0;
        const int total = int(seconds * LineFramesPerSecond);
        while (delivered < total) {
            const double now = timer.nsecsElapsed() / 1e9;
            const int due = qMin(total, int(now * LineFramesPerSecond) + 1);
            worstLag = qMax(worstLag, now - delivered / LineFramesPerSecond);
            QByteArray chunk;
            for (; delivered < due; ++delivered) {
                chunk += statusFrame(_next++);
            }
            SerialPort::instance()->receiveBytes(chunk);
            QCoreApplication::processEvents();
        }
        return worstLag;
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
    std::printf("%10s %12s %10s %10s %24s\n", "points", "frames/s", "vs line", "replots", "worst lag at line rate");
    for (int size : {1000, 10000, 100000}) {
        driver.growTo(size);
        const int replotsBefore = driver.replots();
        const double rate = driver.framesPerSecondOneByOne();
        const int replots = driver.replots() - replotsBefore;
        const double lag = driver.worstLagAtLineRate(2.0);
        std::printf("%10d %12.0f %9.2fx %10d %22.3f s\n", size, rate, rate / LineFramesPerSecond, replots, lag);
    }
    const int kept = Global::_experimentDataVtr.isEmpty() ? 0 : Global::_experimentDataVtr.first().data.size();
    std::printf("points kept in the run record: %d of %d drawn\n", kept, driver.points());
    return kept == driver.points() ? 0 : 1;
}
