#include "simulatedrun.h"

#include <QtEndian>
#include <QtTest>

// The simulated instrument's melting peak has the enthalpy it claims.
class TestSimulatedRun : public QObject
{
    Q_OBJECT

private slots:
    void meltingPeakArea();
};

struct Sample
{
    int runStatus;
    double runTime;
    double temperature;
    double dsc;
};

static Sample decode(const QByteArray& record)
{
    return {quint8(record.at(0)), qFromLittleEndian<float>(record.constData() + 2),
            qFromLittleEndian<double>(record.constData() + 10), qFromLittleEndian<double>(record.constData() + 18)};
}

// Trapezoidal area of the signal below its linear baseline, in mW·s, over the
// status frames of a 10 K/min ramp: indium 28.45 J/g × 5 mg = 142.25 mJ.
void TestSimulatedRun::meltingPeakArea()
{
    QByteArray stage(74, '\0');
    stage[0] = 1;
    qToLittleEndian<float>(170.0f, stage.data() + 1);
    qToLittleEndian<float>(10.0f, stage.data() + 5);
    stage[11] = 1;
    SimulatedRun run;
    run.start(stage, 3);
    QVector<Sample> samples;
    while (run.isActive() && samples.size() < 100000) {
        run.advance(0.002);
        samples.append(decode(run.statusRecord()));
    }
    double area = 0.0;
    for (int i = 1; i < samples.size(); ++i) {
        const Sample& a = samples[i - 1];
        const Sample& b = samples[i];
        if (a.runStatus != 1 || b.runStatus != 1 || a.temperature < 140.0 || b.temperature > 170.0)
            continue;
        const double baseA = 0.1 + 0.0005 * (a.temperature - 25.0);
        const double baseB = 0.1 + 0.0005 * (b.temperature - 25.0);
        area += 0.5 * ((baseA - a.dsc) + (baseB - b.dsc)) * (b.runTime - a.runTime) * 60.0;
    }
    QVERIFY2(qAbs(area - 142.25) < 142.25 * 0.01, qPrintable(QString::number(area)));
}

QTEST_GUILESS_MAIN(TestSimulatedRun)
#include "tst_simulatedrun.moc"
