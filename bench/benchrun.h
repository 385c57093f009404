// The run the window benchmarks load, save and analyse: one stage of
// 100,000 points, a ramp from 25 ℃ to 325 ℃ with a melting peak and seeded
// noise, so smoothing and the analyses have something to do.
#ifndef BENCHRUN_H
#define BENCHRUN_H

#include "global.h"

#include <cmath>
#include <random>

constexpr int BenchRunPoints = 100000;

inline void makeBenchRun(const QString& name)
{
    Global::_experimentInfo = Global::ExperimentInfo();
    Global::_experimentInfo.sampleName = name;
    Global::_experimentInfo.sampleWeight = QStringLiteral("5");
    Global::_experimentInfo.phases = {{1, 325.0f, 10.0f, 0, 1}};
    Global::_experimentDataVtr.clear();
    Global::CurveExperimentData record;
    record.data.reserve(BenchRunPoints);
    std::mt19937 noise(7);
    std::normal_distribution<float> jitter(0.0f, 0.02f);
    for (int j = 0; j < BenchRunPoints; ++j) {
        const float temperature = 25.0f + 0.003f * j;
        const float peak = -4.0f * std::exp(-std::pow((temperature - 156.6f) / 2.0f, 2.0f));
        record.data.append({0.0003f * (j + 1), 0.0f, temperature, 0.5f + peak + jitter(noise)});
    }
    Global::_experimentDataVtr.append(record);
}

#endif // BENCHRUN_H
