#ifndef LOWESS_H
#define LOWESS_H

#include <atomic>
#include <cstddef>
#include <stdexcept>
#include <vector>

// Locally weighted straight-line smoothing with robustness passes.
//
// Each point's fit uses the points within its bandwidth h_i, the distance to
// its k-th nearest neighbour (k = ceil(f * n), at most n - 1), weighted by the
// tricube of the distance ratio and by the robustness weights of the previous
// pass. Points at or beyond h_i weigh nothing, so each fit only visits the
// points inside its bandwidth, found on the x-sorted order.
//
// Zero bandwidth: when more than k points share the x of point i, h_i is 0.
// The points at exactly that x then count with full tricube weight (u = 0),
// every other point with none, and the fit is their weighted mean of y.
//
// A fit whose weights are all zero (every point of its bandwidth rejected as an
// outlier by the robustness weights) keeps the fit of the previous pass instead
// of becoming 0/0.

struct LowessParams
{
    double smoothingFactor;
    int robustnessIterations;
};

// Lets another thread follow a running smoothing and stop it. fitted counts
// the local fits done so far over all passes (n per pass); cancelled, once
// set, makes lowess throw LowessCancelled within a few dozen fits.
struct LowessControl
{
    std::atomic<bool> cancelled{false};
    std::atomic<std::size_t> fitted{0};
};

class LowessCancelled : public std::runtime_error
{
public:
    LowessCancelled()
        : std::runtime_error("Smoothing cancelled")
    {
    }
};

std::vector<double> lowess(const std::vector<double>& x, const std::vector<double>& y, const LowessParams& params,
                           LowessControl* control = nullptr);
void validateLowessParams(const LowessParams& params);
double tricube(double u);
double median(const std::vector<double>& values);
std::vector<double> computeBandwidths(const std::vector<double>& x, double f);

// Upper bound on the worker threads one call may use; 0 (the default) means
// the machine's hardware concurrency, 1 a serial run. The result does not
// depend on it: each point's fit is computed by one thread in the same order.
void setLowessThreadLimit(int threads);

#endif // LOWESS_H
