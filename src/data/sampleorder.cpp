#include "sampleorder.h"

#include <limits>

// A run time only grows, and a heating curve mostly does: the order is then
// there already and is only checked.
SampleOrder::SampleOrder(const QVector<Global::ExperimentData>& data, float Global::ExperimentData::*field)
    : _finite(true)
{
    _entries.reserve(size_t(data.size()));
    _runningMax.reserve(size_t(data.size()));
    float largest = -std::numeric_limits<float>::infinity();
    for (int i = 0; i < data.size(); ++i) {
        const float value = data.at(i).*field;
        _finite = _finite && std::isfinite(value);
        if (!std::isnan(value)) {
            _entries.emplace_back(value, i);
            largest = std::max(largest, value);
        }
        _runningMax.push_back(largest);
    }
    _ascending = std::is_sorted(_entries.cbegin(), _entries.cend());
    if (!_ascending)
        std::sort(_entries.begin(), _entries.end());
}

bool SampleOrder::allFinite() const
{
    return _finite;
}

bool SampleOrder::spans(double lo, double hi) const
{
    return !_entries.empty() && _entries.front().first <= lo && hi <= _entries.back().first;
}

int SampleOrder::countBetween(double lo, double hi) const
{
    if (std::isnan(lo) || std::isnan(hi) || lo > hi)
        return 0;
    return int(upperBound(hi) - lowerBound(lo));
}

int SampleOrder::nearest(double value) const
{
    return nearest(
        value, [value](float v) { return std::fabs(v - value); }, std::numeric_limits<double>::infinity());
}

std::vector<int> SampleOrder::between(double lo, bool loIncluded, double hi, bool hiIncluded) const
{
    if (std::isnan(lo) || std::isnan(hi))
        return {};
    const Iterator first = loIncluded ? lowerBound(lo) : upperBound(lo);
    const Iterator last = hiIncluded ? upperBound(hi) : lowerBound(hi);
    return first < last ? indicesOf(first, last) : std::vector<int>();
}

int SampleOrder::firstAbove(double value) const
{
    return int(std::upper_bound(_runningMax.cbegin(), _runningMax.cend(), value,
                                [](double v, float max) { return v < max; })
               - _runningMax.cbegin());
}

int SampleOrder::firstAtLeast(double value) const
{
    return int(std::lower_bound(_runningMax.cbegin(), _runningMax.cend(), value,
                                [](float max, double v) { return max < v; })
               - _runningMax.cbegin());
}

SampleOrder::Iterator SampleOrder::lowerBound(double value) const
{
    return std::lower_bound(_entries.cbegin(), _entries.cend(), value,
                            [](const Entry& e, double v) { return e.first < v; });
}

SampleOrder::Iterator SampleOrder::upperBound(double value) const
{
    return std::upper_bound(_entries.cbegin(), _entries.cend(), value,
                            [](double v, const Entry& e) { return v < e.first; });
}

// Entries of equal value are in sample order, so in an ascending order every
// stretch of entries is.
std::vector<int> SampleOrder::indicesOf(Iterator first, Iterator last) const
{
    std::vector<int> indices;
    indices.reserve(size_t(last - first));
    for (Iterator it = first; it != last; ++it)
        indices.push_back(it->second);
    if (!_ascending)
        std::sort(indices.begin(), indices.end());
    return indices;
}
