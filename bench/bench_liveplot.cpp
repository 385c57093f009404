// Live curve cost while the curve grows to 100,000 points, against the serial
// line's limit. Measured in this run: the cost of one live point through
// CentralWidget::slotRecvCommonData and the cost of one replot of the curve.
// Reported: frames per second the GUI thread can take with live replots
// capped at 25 a second (ours) and with a replot for every frame (reference),
// each as a ratio to the line's ~190 status frames per second.
#include "centralwidget.h"
#include "localcustomplot.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <cmath>
#include <cstdio>

namespace {

// 115200 baud, 10 bits a byte, a status reply of about 60 bytes.
constexpr double LineFramesPerSecond = 190.0;
constexpr double ReplotsPerSecond = 25.0;

CommonData record(int i)
{
    CommonData data;
    data.runStatus = RunStatusHeating;
    data.stage = 1;
    data.runTime = static_cast<float>(i) / 190.0f / 60.0f;
    data.sampleTemp = 30.0 + i * 0.01;
    data.dsc = std::sin(i * 0.001);
    return data;
}

double secondsPerFrame(CentralWidget& widget, int& next)
{
    const int frames = 500;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < frames; ++i)
        widget.slotRecvCommonData(record(next++));
    return timer.nsecsElapsed() * 1e-9 / frames;
}

double secondsPerReplot(CentralWidget& widget)
{
    const int replots = 10;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < replots; ++i)
        widget.plot()->replot(QCustomPlot::rpImmediateRefresh);
    return timer.nsecsElapsed() * 1e-9 / replots;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Global::_globalMode = Global::Experiment;
    CentralWidget widget;
    widget.resize(1000, 700);
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget))
        return 2;
    // The whole run in view, as the axis dialog would set it: every point is drawn.
    widget.slotSetAxisSettings({0.0, 1100.0, -1.2, 1.2, 0.0, 1.0});
    Global::_experimentDataVtr.append(Global::CurveExperimentData());
    Global::_currentCurveExperimentDataPtr = &Global::_experimentDataVtr.last();

    int next = 0;
    std::printf("points   point us  replot ms  capped frames/s  ratio   per-frame replot frames/s  ratio\n");
    for (int size : {1000, 10000, 100000}) {
        while (next < size - 500)
            widget.slotRecvCommonData(record(next++));
        const double point = secondsPerFrame(widget, next);
        const double replot = secondsPerReplot(widget);
        const double capped = (1.0 - ReplotsPerSecond * replot) / point;
        const double perFrame = 1.0 / (point + replot);
        std::printf("%-8d %-9.2f %-10.2f %-16.0f %-7.1f %-26.0f %.2f\n", next, point * 1e6, replot * 1e3, capped,
                    capped / LineFramesPerSecond, perFrame, perFrame / LineFramesPerSecond);
        QCoreApplication::processEvents();
    }
    const int stored = Global::_experimentDataVtr.first().data.size();
    std::printf("points kept: %d of %d sent\n", stored, next);
    return stored == next ? 0 : 1;
}
