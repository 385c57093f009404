#include "instrumentsimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

// Serves a simulated instrument on a pseudo-terminal until killed; the first
// line on standard output is the terminal the program should open.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated DSC instrument on a pseudo-terminal"));
    parser.addHelpOption();
    const QCommandLineOption interval(QStringLiteral("interval"), QStringLiteral("Status frame period, ms."), QStringLiteral("ms"), QStringLiteral("500"));
    const QCommandLineOption accel(QStringLiteral("accel"), QStringLiteral("Time acceleration factor."), QStringLiteral("factor"), QStringLiteral("1"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption split(QStringLiteral("split"), QStringLiteral("Split frames at random points."));
    const QCommandLineOption merge(QStringLiteral("merge"), QStringLiteral("Frames merged into one write."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption garbage(QStringLiteral("garbage"), QStringLiteral("Up to n garbage bytes before each frame."), QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption corrupt(QStringLiteral("corrupt-rate"), QStringLiteral("Share of frames with a wrong CRC."), QStringLiteral("p"), QStringLiteral("0"));
    parser.addOptions({interval, accel, seed, split, merge, garbage, corrupt});
    parser.process(app);

    InstrumentSimulator simulator;
    simulator.setInterval(parser.value(interval).toInt());
    simulator.setTimeAcceleration(parser.value(accel).toDouble());
    simulator.setSeed(parser.value(seed).toUInt());
    InstrumentSimulator::Faults faults;
    faults.splitFrames = parser.isSet(split);
    faults.mergeFrames = parser.value(merge).toInt();
    faults.garbageMaxBytes = parser.value(garbage).toInt();
    faults.corruptCrcRate = parser.value(corrupt).toDouble();
    simulator.setFaults(faults);
    if (!simulator.start()) {
        std::fprintf(stderr, "cannot open a pseudo-terminal\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(simulator.portName()));
    std::fflush(stdout);
    return app.exec();
}
