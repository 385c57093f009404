#ifndef ANALYSISTESTHELPERS_H
#define ANALYSISTESTHELPERS_H

#include "global.h"
#include "xlsxhandler.h"

#include <qcustomplot.h>

#include <QStringList>

#include <cmath>

namespace AnalysisTest {

// One sample per degree from 30 ℃; the run time (min) grows by 0.1 per sample
// from 0.1, since the reader skips rows whose run time is 0.
inline QVector<Global::ExperimentData> curve(double (*signal)(double), int count = 101, float firstTemp = 30.0f)
{
    QVector<Global::ExperimentData> points;
    for (int i = 0; i < count; ++i) {
        Global::ExperimentData d;
        d.runTime = 0.1f * float(i + 1);
        d.temperature = firstTemp + float(i);
        d.dsc = float(signal(d.temperature));
        points.append(d);
    }
    return points;
}

// The same samples cooling: from 130 ℃ down to 30 ℃, one per degree, the
// run time going on from 20 min by 0.1 per sample.
inline QVector<Global::ExperimentData> coolingCurve(double (*signal)(double))
{
    QVector<Global::ExperimentData> points;
    for (int i = 0; i < 101; ++i) {
        Global::ExperimentData d;
        d.runTime = 20.0f + 0.1f * float(i);
        d.temperature = 130.0f - float(i);
        d.dsc = float(signal(d.temperature));
        points.append(d);
    }
    return points;
}

// A flat-topped peak on the baseline 1 mW: rising 0.25 mW/℃ from 58 ℃ to
// 78 ℃, 6 mW up to 82 ℃, falling to 1 mW at 102 ℃. Its area above the
// baseline is the trapezoid (44 + 4) / 2 × 5 = 120 mW·℃.
inline double peak(double t)
{
    return 1.0 + 5.0 * std::min(1.0, std::max(0.0, (22.0 - std::fabs(t - 80.0)) / 20.0));
}

// A glass-transition step from 1 to 3 mW, rising 0.1 mW/℃ from 70 to 90 ℃.
// The 0.1 µW zigzag gives the inflection points (where the slope's change
// flips sign, as in measured noise); central differences cancel it, so every
// tangent has slope 0.1 and passes within 0.1 µW of the rise.
inline double step(double t)
{
    if (t <= 70.0)
        return 1.0;
    if (t >= 90.0)
        return 3.0;
    const double zigzag = (int(t) % 2 == 0) ? 1e-4 : -1e-4;
    return 1.0 + 0.1 * (t - 70.0) + zigzag;
}

// Exact in float: no inflection point.
inline double line(double t)
{
    return 1.0 + 0.25 * t;
}

// Writes a workbook of the given stages the way a run is saved, with the
// operations as analyses of the run's curve, then leaves the program-wide run
// state empty again.
inline bool writeWorkbook(const QString& path, const QVector<QVector<Global::ExperimentData>>& stages,
                          const QString& mass = QStringLiteral("2"),
                          const QVector<AnalysisOperation>& operations = {})
{
    Global::_experimentInfo = Global::ExperimentInfo();
    Global::_experimentInfo.sampleName = QStringLiteral("PET");
    Global::_experimentInfo.sampleWeight = mass;
    Global::clearCurveExperimentData();
    for (const auto& points : stages) {
        PhaseInfoData phase;
        phase.enabled = 1;
        phase.cutoffTemp = 200.0f;
        phase.scanRate = 10.0f;
        Global::_experimentInfo.phases.append(phase);
        Global::CurveExperimentData record;
        record.data = points;
        Global::_experimentDataVtr.append(record);
    }
    Global::_experimentInfo.phaseCount = stages.size();
    const QVector<AnalysisOperation> kept = Global::_analysisOperationVtr;
    Global::_analysisOperationVtr = operations;
    for (AnalysisOperation& op : Global::_analysisOperationVtr)
        op.name = Global::ExperimentKey;
    const bool written = XlsxHandler::writeExperimentFile(path);
    Global::_analysisOperationVtr = kept;
    Global::clearCurveExperimentData();
    Global::_experimentInfo = Global::ExperimentInfo();
    return written;
}

inline QList<QCPCurve*> curves(QCustomPlot* plot)
{
    QList<QCPCurve*> found;
    for (int i = 0; i < plot->plottableCount(); ++i) {
        if (auto* c = qobject_cast<QCPCurve*>(plot->plottable(i)))
            found << c;
    }
    return found;
}

// Texts of the result labels, in drawing order.
inline QStringList labelTexts(QCustomPlot* plot)
{
    QStringList texts;
    for (int i = 0; i < plot->itemCount(); ++i) {
        if (auto* text = qobject_cast<QCPItemText*>(plot->item(i)))
            texts << text->text();
    }
    return texts;
}

inline QStringList itemNames(QCustomPlot* plot)
{
    QStringList names;
    for (int i = 0; i < plot->graphCount(); ++i)
        names << plot->graph(i)->objectName();
    for (int i = 0; i < plot->itemCount(); ++i) {
        if (!qobject_cast<QCPItemStraightLine*>(plot->item(i)))
            names << plot->item(i)->objectName();
    }
    names.sort();
    return names;
}

inline void setLineKey(QCPItemStraightLine* line, double key)
{
    line->point1->setCoords(key, line->point1->value());
    line->point2->setCoords(key, line->point2->value());
}

} // namespace AnalysisTest

#endif // ANALYSISTESTHELPERS_H
