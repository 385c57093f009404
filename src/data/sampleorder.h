#ifndef SAMPLEORDER_H
#define SAMPLEORDER_H

#include "global.h"

#include <QVector>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

// The samples of one curve in order along one field (temperature or run
// time), so that a question about the samples near a value takes a binary
// search instead of a pass over every sample. Values are compared as
// doubles. NaN values lie nowhere and are left out.
class SampleOrder
{
public:
    SampleOrder(const QVector<Global::ExperimentData>& data, float Global::ExperimentData::*field);

    // No value is NaN or infinite: only then does the order stand for every
    // comparison a pass over the samples would make.
    bool allFinite() const;
    // Whether the values reach from lo to hi; false for none.
    bool spans(double lo, double hi) const;
    // Samples from lo to hi, both included.
    int countBetween(double lo, double hi) const;
    // The sample whose value lies nearest value, the first of equally near
    // ones; -1 for none.
    int nearest(double value) const;
    // The sample whose distance(its value) is least and below worst, the
    // first of equally near ones; -1 for none. distance must not shrink
    // from value outwards on either side.
    template<typename Distance>
    int nearest(double value, Distance distance, double worst) const;
    // In sample order, the samples whose distance(value) is at most within;
    // distance as for nearest.
    template<typename Distance>
    std::vector<int> near(double value, Distance distance, double within) const;
    // In sample order, the samples whose value lies between lo and hi, each
    // end included or not.
    std::vector<int> between(double lo, bool loIncluded, double hi, bool hiIncluded) const;
    // The first sample whose value is above (at least) value; the number of
    // samples when none is. For an allFinite order.
    int firstAbove(double value) const;
    int firstAtLeast(double value) const;

private:
    using Entry = std::pair<float, int>; // value, sample index
    using Iterator = std::vector<Entry>::const_iterator;

    Iterator lowerBound(double value) const;
    Iterator upperBound(double value) const;
    std::vector<int> indicesOf(Iterator first, Iterator last) const;

    std::vector<Entry> _entries;
    // The largest value up to each sample, in sample order.
    std::vector<float> _runningMax;
    bool _ascending;
    bool _finite;
};

// The nearest values lie on either side of value: walking outwards run by
// run of equal values, the distance never shrinks, and the first entry of a
// run is its first sample. An equal distance continues the walk, as two
// values may lie equally near (or round to one distance).
template<typename Distance>
int SampleOrder::nearest(double value, Distance distance, double worst) const
{
    if (std::isnan(value))
        return -1;
    double best = worst;
    int found = -1;
    const auto consider = [&](Iterator run) {
        const double d = distance(run->first);
        if (d < best) {
            best = d;
            found = run->second;
            return true;
        }
        if (d == best && found >= 0) {
            found = std::min(found, run->second);
            return true;
        }
        return false;
    };
    const Iterator above = lowerBound(value);
    for (Iterator run = above; run != _entries.cend() && consider(run);)
        run = upperBound(run->first);
    for (Iterator end = above; end != _entries.cbegin();) {
        const Iterator run = lowerBound((end - 1)->first);
        if (!consider(run))
            break;
        end = run;
    }
    return found;
}

template<typename Distance>
std::vector<int> SampleOrder::near(double value, Distance distance, double within) const
{
    if (std::isnan(value))
        return {};
    const Iterator above = lowerBound(value);
    const Iterator first = std::partition_point(_entries.cbegin(), above, [&](const Entry& e) {
        return !(distance(e.first) <= within);
    });
    const Iterator last = std::partition_point(above, _entries.cend(), [&](const Entry& e) {
        return distance(e.first) <= within;
    });
    return indicesOf(first, last);
}

#endif // SAMPLEORDER_H
