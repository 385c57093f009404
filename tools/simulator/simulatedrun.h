#ifndef SIMULATEDRUN_H
#define SIMULATEDRUN_H

#include <QByteArray>
#include <QVector>

#include <random>

// The physics behind the simulated instrument: a sample taken through the
// enabled stages of a stage table. The DSC signal is a sloped baseline plus
// an indium-like melting endotherm and seeded noise; integrated over time
// the endotherm holds exactly MeltingEnthalpy (mJ), whatever the heating
// rate, as long as the ramp passes through it.
class SimulatedRun
{
public:
    enum Phase
    {
        Idle,
        Ramp,
        Hold,
        Cooling,
        Finished
    };

    struct WireStage
    {
        bool enabled = false;
        float cutoffTemp = 0.0f;
        float scanRate = 0.0f;
        quint16 holdMinutes = 0;
        quint8 atmosphere = 0;
    };

    static constexpr double AmbientTemp = 25.0;
    static constexpr double MeltingPoint = 156.6;
    // Width (℃) of the melting peak.
    static constexpr double MeltingWidth = 0.8;
    // Indium 28.45 J/g times a 5 mg sample.
    static constexpr double MeltingEnthalpy = 142.25;
    static constexpr double CoolingRate = 50.0;
    // Cooling frames stop at this temperature.
    static constexpr double CoolingEnd = 50.0;
    static constexpr int StatusRecordSize = 80;

    static QByteArray defaultStageTable();
    static QVector<WireStage> decodeStages(const QByteArray& table);

    void start(const QByteArray& table, quint32 seed);
    void stop();
    // Advances by the given simulated minutes.
    void advance(double minutes);
    Phase phase() const;
    bool isActive() const;
    // The 80-byte status record at address 0 for the present state.
    QByteArray statusRecord();
    double temperature() const;
    // The noise-free DSC signal (mW) at a temperature and heating rate.
    static double idealSignal(double temperature, double heatingRate);

private:
    void enterStage(int index);
    void nextStage();
    double currentRate() const;
    quint8 runStatus() const;

    QVector<WireStage> _stages;
    int _stageIndex = -1;
    Phase _phase = Idle;
    double _temperature = AmbientTemp;
    double _runMinutes = 0.0;
    double _holdMinutes = 0.0;
    bool _idleSent = false;
    std::mt19937 _noise;
};

#endif // SIMULATEDRUN_H
