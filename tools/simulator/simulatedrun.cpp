#include "simulatedrun.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace {

constexpr int StageCount = 6;
constexpr int WireStageSize = 12;
constexpr int TableSize = StageCount * WireStageSize + 2;
// Noise of the DSC signal, mW (one standard deviation).
constexpr double NoiseSigma = 0.003;

void putStage(QByteArray& table, int index, const SimulatedRun::WireStage& stage)
{
    char* at = table.data() + index * WireStageSize;
    at[0] = char(stage.enabled ? 1 : 0);
    qToLittleEndian<float>(stage.cutoffTemp, at + 1);
    qToLittleEndian<float>(stage.scanRate, at + 5);
    qToLittleEndian<quint16>(stage.holdMinutes, at + 9);
    at[11] = char(stage.atmosphere);
}

template <typename T>
void putValue(QByteArray& record, int address, T value)
{
    qToLittleEndian<T>(value, record.data() + address);
}

} // namespace

// Heat to 180 ℃ at 10 ℃/min through the melting peak and hold 2 min, then
// on to 200 ℃ at 5 ℃/min, both under nitrogen; non-OIT test.
QByteArray SimulatedRun::defaultStageTable()
{
    QByteArray table(TableSize, '\0');
    putStage(table, 0, {true, 180.0f, 10.0f, 2, 1});
    putStage(table, 1, {true, 200.0f, 5.0f, 0, 1});
    table[TableSize - 2] = 1;
    table[TableSize - 1] = 1;
    return table;
}

QVector<SimulatedRun::WireStage> SimulatedRun::decodeStages(const QByteArray& table)
{
    QVector<WireStage> stages;
    for (int i = 0; i < StageCount && (i + 1) * WireStageSize <= table.size(); ++i) {
        const char* at = table.constData() + i * WireStageSize;
        WireStage stage;
        stage.enabled = at[0] == 1;
        stage.cutoffTemp = qFromLittleEndian<float>(at + 1);
        stage.scanRate = qFromLittleEndian<float>(at + 5);
        stage.holdMinutes = qFromLittleEndian<quint16>(at + 9);
        stage.atmosphere = quint8(at[11]);
        // A stage the simulated furnace cannot follow is left out.
        if (!std::isfinite(stage.cutoffTemp) || !std::isfinite(stage.scanRate))
            stage.enabled = false;
        stages.append(stage);
    }
    return stages;
}

void SimulatedRun::start(const QByteArray& table, quint32 seed)
{
    _stages = decodeStages(table);
    _noise.seed(seed);
    _temperature = AmbientTemp;
    _runMinutes = 0.0;
    _holdMinutes = 0.0;
    _idleSent = false;
    _stageIndex = -1;
    nextStage();
}

void SimulatedRun::stop()
{
    if (_phase == Ramp || _phase == Hold)
        _phase = Cooling;
}

void SimulatedRun::enterStage(int index)
{
    _stageIndex = index;
    _holdMinutes = 0.0;
    _phase = Ramp;
}

void SimulatedRun::nextStage()
{
    for (int i = _stageIndex + 1; i < _stages.size(); ++i) {
        if (_stages.at(i).enabled) {
            enterStage(i);
            return;
        }
    }
    _phase = Cooling;
}

void SimulatedRun::advance(double minutes)
{
    while (minutes > 0.0 && (_phase == Ramp || _phase == Hold || _phase == Cooling)) {
        double target = CoolingEnd;
        double rate = CoolingRate;
        if (_phase == Ramp) {
            target = _stages.at(_stageIndex).cutoffTemp;
            rate = std::fabs(_stages.at(_stageIndex).scanRate);
        }
        if (_phase == Hold) {
            const double left = _stages.at(_stageIndex).holdMinutes - _holdMinutes;
            const double step = std::min(left, minutes);
            _holdMinutes += step;
            _runMinutes += step;
            minutes -= step;
            if (_holdMinutes >= _stages.at(_stageIndex).holdMinutes)
                nextStage();
            continue;
        }
        if (_phase == Cooling && _temperature <= CoolingEnd) {
            _phase = Finished;
            break;
        }
        const double distance = std::fabs(target - _temperature);
        const double needed = rate > 0.0 ? distance / rate : 0.0;
        const double step = std::min(needed, minutes);
        const double direction = target >= _temperature ? 1.0 : -1.0;
        _temperature = step >= needed ? target : _temperature + direction * rate * step;
        _runMinutes += step;
        minutes -= step;
        if (step >= needed)
            reachTarget();
    }
}

void SimulatedRun::reachTarget()
{
    if (_phase == Cooling) {
        _phase = Finished;
    } else if (_stages.at(_stageIndex).holdMinutes > 0) {
        _phase = Hold;
    } else {
        nextStage();
    }
}

SimulatedRun::Phase SimulatedRun::phase() const
{
    return _phase;
}

bool SimulatedRun::isActive() const
{
    return _phase == Ramp || _phase == Hold || _phase == Cooling || (_phase == Finished && !_idleSent);
}

double SimulatedRun::temperature() const
{
    return _temperature;
}

double SimulatedRun::currentRate() const
{
    if (_phase == Ramp) {
        const WireStage& stage = _stages.at(_stageIndex);
        const double rate = std::fabs(stage.scanRate);
        return stage.cutoffTemp >= _temperature ? rate : -rate;
    }
    return _phase == Cooling ? -CoolingRate : 0.0;
}

quint8 SimulatedRun::runStatus() const
{
    switch (_phase) {
    case Ramp:
        return 1;
    case Hold:
        return 2;
    case Cooling:
        return 3;
    default:
        return 0;
    }
}

// The melting peak, as a signal in time, is the enthalpy times the normal
// density in temperature times dT/dt (℃/s), so its time integral in mW·s
// is the enthalpy in mJ. It shows only while heating; endothermic is down.
double SimulatedRun::idealSignal(double temperature, double heatingRate)
{
    const double baseline = 0.1 + 0.0005 * (temperature - AmbientTemp);
    if (heatingRate <= 0.0)
        return baseline;
    const double z = (temperature - MeltingPoint) / MeltingWidth;
    const double density = std::exp(-0.5 * z * z) / (MeltingWidth * std::sqrt(2.0 * M_PI));
    return baseline - MeltingEnthalpy * density * heatingRate / 60.0;
}

QByteArray SimulatedRun::statusRecord()
{
    std::normal_distribution<double> noise(0.0, NoiseSigma);
    QByteArray record(StatusRecordSize, '\0');
    record[0] = char(runStatus());
    record[1] = char(_stageIndex + 1);
    putValue<float>(record, 2, float(_runMinutes));
    putValue<float>(record, 6, float(_phase == Hold ? _holdMinutes : 0.0));
    putValue<double>(record, 10, _temperature);
    putValue<double>(record, 18, idealSignal(_temperature, currentRate()) + noise(_noise));
    const bool inStage = _stageIndex >= 0 && _stageIndex < _stages.size();
    record[39] = char(inStage ? _stages.at(_stageIndex).atmosphere : 0);
    record[44] = char(_phase == Ramp || _phase == Hold ? 1 : 0);
    if (_phase == Finished)
        _idleSent = true;
    return record;
}
