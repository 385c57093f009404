#ifndef LOWESSREFERENCE_H
#define LOWESSREFERENCE_H

#include <vector>

struct LowessParams;

// Straight transcription of the smoother as first written: a full sort of the
// n distances per point for the bandwidth and n weights per point and pass,
// summed in input order. Slow on purpose; the fast smoother is checked against
// it and the benchmark times it. It follows the same zero-bandwidth and
// all-weights-zero rules as the fast one (see lowess.h).
namespace LowessReference {

std::vector<double> lowess(const std::vector<double>& x, const std::vector<double>& y, const LowessParams& params);

} // namespace LowessReference

#endif // LOWESSREFERENCE_H
