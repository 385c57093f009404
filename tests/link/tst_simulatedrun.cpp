#include "simulatedrun.h"

#include <QtEndian>
#include <QtTest>

// The simulated instrument's programme: stage order, status codes and a
// melting peak of the enthalpy it claims.
class TestSimulatedRun : public QObject
{
    Q_OBJECT

private slots:
    void walksThroughEnabledStages();
    void stopCoolsAtOnce();
    void meltingPeakArea_data();
    void meltingPeakArea();
};

struct Sample
{
    int runStatus;
    int stage;
    double runTime;
    double temperature;
    double dsc;
    int runFlag;
};

static Sample decode(const QByteArray& record)
{
    return {quint8(record.at(0)), quint8(record.at(1)), qFromLittleEndian<float>(record.constData() + 2),
            qFromLittleEndian<double>(record.constData() + 10), qFromLittleEndian<double>(record.constData() + 18),
            quint8(record.at(44))};
}

static QByteArray table(const QVector<SimulatedRun::WireStage>& stages)
{
    QByteArray bytes(74, '\0');
    for (int i = 0; i < stages.size(); ++i) {
        char* at = bytes.data() + 12 * i;
        at[0] = char(stages[i].enabled);
        qToLittleEndian<float>(stages[i].cutoffTemp, at + 1);
        qToLittleEndian<float>(stages[i].scanRate, at + 5);
        qToLittleEndian<quint16>(stages[i].holdMinutes, at + 9);
        at[11] = char(stages[i].atmosphere);
    }
    return bytes;
}

static QVector<Sample> runAll(SimulatedRun& run, double step)
{
    QVector<Sample> samples;
    while (run.isActive() && samples.size() < 100000) {
        run.advance(step);
        samples.append(decode(run.statusRecord()));
    }
    return samples;
}

void TestSimulatedRun::walksThroughEnabledStages()
{
    SimulatedRun run;
    // 25 → 45 ℃ at 10 ℃/min: 2 min; hold 1 min; stage 2 off; 45 → 35 ℃ at 5 ℃/min: 2 min.
    run.start(table({{true, 45.0f, 10.0f, 1, 1}, {false, 90.0f, 1.0f, 0, 1}, {true, 35.0f, 5.0f, 0, 2}}), 1);
    const QVector<Sample> samples = runAll(run, 0.25);
    QString path;
    for (const Sample& s : samples) {
        const QString step = QStringLiteral("%1/%2/%3 ").arg(s.runStatus).arg(s.stage).arg(s.runFlag);
        if (!path.endsWith(step))
            path += step;
    }
    // Cooling from 35 ℃ is over at once (below the 50 ℃ end), then one idle frame.
    QCOMPARE(path, QStringLiteral("1/1/1 2/1/1 1/3/1 3/3/0 0/3/0 "));
    QCOMPARE(samples.at(7).runTime, 2.0);
    QCOMPARE(samples.at(7).temperature, 45.0);
    QCOMPARE(samples.at(19).temperature, 35.0);
    QCOMPARE(samples.last().runStatus, 0);
    QVERIFY(!run.isActive());
}

void TestSimulatedRun::stopCoolsAtOnce()
{
    SimulatedRun run;
    run.start(SimulatedRun::defaultStageTable(), 1);
    run.advance(12.0);
    QCOMPARE(run.temperature(), 145.0);
    run.stop();
    // 145 → 50 ℃ at 50 ℃/min.
    run.advance(1.0);
    QCOMPARE(decode(run.statusRecord()).runStatus, 3);
    QCOMPARE(run.temperature(), 95.0);
    run.advance(1.0);
    QCOMPARE(decode(run.statusRecord()).runStatus, 0);
}

void TestSimulatedRun::meltingPeakArea_data()
{
    QTest::addColumn<float>("rate");
    QTest::newRow("5 K/min") << 5.0f;
    QTest::newRow("10 K/min") << 10.0f;
    QTest::newRow("20 K/min") << 20.0f;
}

// Trapezoidal area of the signal below its linear baseline, in mW·s, over the
// status frames of a heating ramp: indium 28.45 J/g × 5 mg = 142.25 mJ.
void TestSimulatedRun::meltingPeakArea()
{
    QFETCH(float, rate);
    SimulatedRun run;
    run.start(table({{true, 170.0f, rate, 0, 1}}), 3);
    const QVector<Sample> samples = runAll(run, 0.02 / rate);
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
