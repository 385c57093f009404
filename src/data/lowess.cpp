#include "lowess.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

// Below this |det| the weighted points do not define a line (for example a
// single point carries all the weight) and the fit falls back to the mean.
constexpr double DegenerateDeterminant = 1e-10;
// A median residual below this means the fit is already exact; the scale then
// stays at 6.0 so that the robustness weights stay (nearly) 1.
constexpr double ExactFitMedian = 1e-10;
constexpr double ResidualScaleFactor = 6.0;
// Fewer weight evaluations than this in one pass (a few milliseconds) are not
// worth starting threads for.
constexpr std::size_t ParallelWorkThreshold = 1u << 22;
// Fits between two looks at the cancel flag: a few milliseconds of work at
// most, even when every fit spans the whole of a 100,000-point curve.
constexpr std::size_t FitsPerCheck = 64;

std::atomic<int> threadLimit{0};

// The curve in ascending x (ties in input order, NaN last so that the order
// stays a strict weak one). For each sorted position: its bandwidth and the
// range [lo, hi] of the positions whose distance does not exceed it.
struct SortedCurve
{
    std::vector<std::size_t> order;
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> h;
    std::vector<std::size_t> lo;
    std::vector<std::size_t> hi;
};

bool sortsBefore(double a, double b)
{
    if (std::isnan(b))
        return !std::isnan(a);
    return a < b;
}

std::size_t neighbourCount(double f, std::size_t n)
{
    const double k = std::ceil(f * static_cast<double>(n));
    return std::min(static_cast<std::size_t>(k), n - 1);
}

SortedCurve sortCurve(const std::vector<double>& x, const std::vector<double>& y)
{
    SortedCurve c;
    const std::size_t n = x.size();
    c.order.resize(n);
    std::iota(c.order.begin(), c.order.end(), std::size_t(0));
    std::stable_sort(c.order.begin(), c.order.end(),
                     [&x](std::size_t a, std::size_t b) { return sortsBefore(x[a], x[b]); });
    c.x.resize(n);
    c.y.resize(n);
    for (std::size_t p = 0; p < n; ++p) {
        c.x[p] = x[c.order[p]];
        c.y[p] = y.empty() ? 0.0 : y[c.order[p]];
    }
    return c;
}

// The k + 1 nearest points of a sorted position form a contiguous window
// [w, w + k] around it; h is the farther of the window's two ends, which is
// the k-th smallest of all distances (index 0 being the point itself). The
// window's start never moves left as the position moves right.
void computeSortedBandwidths(SortedCurve& c, std::size_t k)
{
    const std::size_t n = c.x.size();
    const std::vector<double>& xs = c.x;
    c.h.resize(n);
    std::size_t w = 0;
    for (std::size_t p = 0; p < n; ++p) {
        while (w + k + 1 < n && xs[w + k + 1] - xs[p] < xs[p] - xs[w])
            ++w;
        c.h[p] = std::max(std::fabs(xs[p] - xs[w]), std::fabs(xs[w + k] - xs[p]));
    }
}

// First position in [0, p] whose distance to p is at most h (distances fall
// towards p along the sorted order).
std::size_t firstWithin(const std::vector<double>& xs, std::size_t p, double h)
{
    std::size_t a = 0, b = p;
    while (a < b) {
        const std::size_t m = a + (b - a) / 2;
        if (std::fabs(xs[p] - xs[m]) <= h)
            b = m;
        else
            a = m + 1;
    }
    return a;
}

// Last position in [p, n - 1] whose distance to p is at most h.
std::size_t lastWithin(const std::vector<double>& xs, std::size_t p, double h)
{
    std::size_t a = p, b = xs.size() - 1;
    while (a < b) {
        const std::size_t m = b - (b - a) / 2;
        if (std::fabs(xs[m] - xs[p]) <= h)
            a = m;
        else
            b = m - 1;
    }
    return a;
}

void computeWindows(SortedCurve& c)
{
    const std::size_t n = c.x.size();
    c.lo.resize(n);
    c.hi.resize(n);
    for (std::size_t p = 0; p < n; ++p) {
        c.lo[p] = firstWithin(c.x, p, c.h[p]);
        c.hi[p] = lastWithin(c.x, p, c.h[p]);
    }
}

// Weighted sums of one local fit.
struct Sums
{
    double sw = 0.0;
    double swx = 0.0;
    double swxx = 0.0;
    double swy = 0.0;
    double swxy = 0.0;
};

// Two doubles per operation; the two lanes and the two unrolled halves are
// four partial sums, added up at the end. This only reorders the additions of
// the weighted sums, a rounding-level difference.
using Lanes = double __attribute__((vector_size(16)));
using LaneMask = long long __attribute__((vector_size(16)));

inline Lanes loadLanes(const double* p)
{
    Lanes v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

struct LaneSums
{
    Lanes sw = {0, 0};
    Lanes swx = {0, 0};
    Lanes swxx = {0, 0};
    Lanes swy = {0, 0};
    Lanes swxy = {0, 0};
};

// Tricube weight (1 - u^3)^3 with u = distance / h, by multiplications
// instead of pow(): equal to tricube() to within an ulp or two, and several
// times cheaper. The reciprocal of h can put u an ulp above 1 at the window's
// edge, so a negative 1 - u^3 is clamped to 0.
template<bool Right>
inline void addLanes(LaneSums& s, const double* x, const double* y, const double* r, double xi, double invH)
{
    const Lanes xv = loadLanes(x);
    const Lanes yv = loadLanes(y);
    const Lanes d = Right ? xv - xi : xi - xv;
    const Lanes u = d * invH;
    Lanes t = 1.0 - u * u * u;
    t = reinterpret_cast<Lanes>(reinterpret_cast<LaneMask>(t) & (t > 0.0));
    const Lanes w = loadLanes(r) * (t * t * t);
    const Lanes wx = w * xv;
    s.sw += w;
    s.swx += wx;
    s.swxx += wx * xv;
    s.swy += w * yv;
    s.swxy += wx * yv;
}

inline void addScalar(Sums& s, double x, double y, double r, double d, double invH)
{
    const double u = d * invH;
    const double t = std::max(0.0, 1.0 - u * u * u);
    const double w = r * (t * t * t);
    const double wx = w * x;
    s.sw += w;
    s.swx += wx;
    s.swxx += wx * x;
    s.swy += w * y;
    s.swxy += wx * y;
}

inline double laneTotal(Lanes a, Lanes b)
{
    return (a[0] + a[1]) + (b[0] + b[1]);
}

// Sums over the positions [begin, end), all on one side of xi (Right: at or
// above it), so that the distance needs no fabs.
template<bool Right>
void accumulate(Sums& out, const SortedCurve& c, const double* r, std::size_t begin, std::size_t end, double xi,
                double invH)
{
    const double* x = c.x.data();
    const double* y = c.y.data();
    LaneSums a, b;
    std::size_t j = begin;
    for (; j + 4 <= end; j += 4) {
        addLanes<Right>(a, x + j, y + j, r + j, xi, invH);
        addLanes<Right>(b, x + j + 2, y + j + 2, r + j + 2, xi, invH);
    }
    Sums tail;
    for (; j < end; ++j)
        addScalar(tail, x[j], y[j], r[j], Right ? x[j] - xi : xi - x[j], invH);
    out.sw += laneTotal(a.sw, b.sw) + tail.sw;
    out.swx += laneTotal(a.swx, b.swx) + tail.swx;
    out.swxx += laneTotal(a.swxx, b.swxx) + tail.swxx;
    out.swy += laneTotal(a.swy, b.swy) + tail.swy;
    out.swxy += laneTotal(a.swxy, b.swxy) + tail.swxy;
}

// Only the points inside the bandwidth carry weight; the rest would add zeros.
// A zero bandwidth gives u = 0 to the points at xi, the only ones in its window.
double fitAt(const SortedCurve& c, const std::vector<double>& r, std::size_t p, double previous)
{
    const double xi = c.x[p];
    const double h = c.h[p];
    const double invH = h > 0.0 ? 1.0 / h : 0.0;
    Sums s;
    accumulate<false>(s, c, r.data(), c.lo[p], p, xi, invH);
    accumulate<true>(s, c, r.data(), p, c.hi[p] + 1, xi, invH);
    if (!(s.sw > 0.0))
        return previous;
    const double det = s.sw * s.swxx - s.swx * s.swx;
    if (h == 0.0 || std::fabs(det) < DegenerateDeterminant)
        return s.swy / s.sw;
    const double slope = (s.sw * s.swxy - s.swx * s.swy) / det;
    const double intercept = (s.swxx * s.swy - s.swx * s.swxy) / det;
    return slope * xi + intercept;
}

std::size_t threadCount(std::size_t n, std::size_t work)
{
    if (work < ParallelWorkThreshold || n < 2)
        return 1;
    std::size_t limit = static_cast<std::size_t>(threadLimit.load());
    if (limit == 0)
        limit = std::max(1u, std::thread::hardware_concurrency());
    return std::min(limit, n);
}

// Runs body(begin, end) over contiguous chunks of [0, n); returns when every
// chunk is done. A thread that cannot be started runs its chunk here.
template<typename Body>
void forEachChunk(std::size_t n, std::size_t work, const Body& body)
{
    const std::size_t threads = threadCount(n, work);
    if (threads <= 1) {
        body(std::size_t(0), n);
        return;
    }
    std::vector<std::thread> workers;
    workers.reserve(threads - 1);
    const std::size_t chunk = (n + threads - 1) / threads;
    for (std::size_t begin = chunk; begin < n; begin += chunk) {
        const std::size_t end = std::min(n, begin + chunk);
        try {
            workers.emplace_back(body, begin, end);
        } catch (const std::system_error&) {
            body(begin, end);
        }
    }
    body(std::size_t(0), std::min(n, chunk));
    for (std::thread& t : workers)
        t.join();
}

bool isCancelled(const LowessControl* control)
{
    return control && control->cancelled.load(std::memory_order_relaxed);
}

// Each point's fit is the same whichever thread computes it and whenever the
// control is looked at, so neither changes the result.
std::vector<double> fitPass(const SortedCurve& c, const std::vector<double>& r, const std::vector<double>& previous,
                            LowessControl* control)
{
    const std::size_t n = c.x.size();
    std::size_t work = 0;
    for (std::size_t p = 0; p < n; ++p)
        work += c.hi[p] - c.lo[p] + 1;
    std::vector<double> fit(n);
    forEachChunk(n, work, [&](std::size_t begin, std::size_t end) {
        for (std::size_t block = begin; block < end; block += FitsPerCheck) {
            if (isCancelled(control))
                return;
            const std::size_t blockEnd = std::min(end, block + FitsPerCheck);
            for (std::size_t p = block; p < blockEnd; ++p)
                fit[p] = fitAt(c, r, p, previous[p]);
            if (control)
                control->fitted.fetch_add(blockEnd - block, std::memory_order_relaxed);
        }
    });
    if (isCancelled(control))
        throw LowessCancelled();
    return fit;
}

std::vector<double> robustnessWeights(const std::vector<double>& y, const std::vector<double>& fit)
{
    const std::size_t n = y.size();
    std::vector<double> residuals(n);
    for (std::size_t i = 0; i < n; ++i)
        residuals[i] = y[i] - fit[i];
    const double m = median(residuals);
    const double s = m < ExactFitMedian ? ResidualScaleFactor : ResidualScaleFactor * m;
    std::vector<double> r(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double q = residuals[i] / s;
        const double t = 1.0 - q * q;
        r[i] = (q >= -1.0 && q <= 1.0) ? t * t : 0.0;
    }
    return r;
}

} // namespace

void setLowessThreadLimit(int threads)
{
    threadLimit.store(std::max(0, threads));
}

void validateLowessParams(const LowessParams& params)
{
    if (!(params.smoothingFactor > 0.0 && params.smoothingFactor <= 1.0))
        throw std::invalid_argument("Smoothing factor must be between 0 and 1");
    if (params.robustnessIterations < 1)
        throw std::invalid_argument("Robustness iterations must be at least 1");
}

double tricube(double u)
{
    if (u >= 0.0 && u <= 1.0)
        return std::pow(1.0 - std::pow(u, 3.0), 3.0);
    return 0.0;
}

double median(const std::vector<double>& values)
{
    if (values.empty())
        return 0.0;
    std::vector<double> a(values.size());
    std::transform(values.begin(), values.end(), a.begin(), [](double v) { return std::fabs(v); });
    const auto mid = a.begin() + static_cast<std::ptrdiff_t>(a.size() / 2);
    std::nth_element(a.begin(), mid, a.end(), sortsBefore);
    return *mid;
}

std::vector<double> computeBandwidths(const std::vector<double>& x, double f)
{
    const std::size_t n = x.size();
    if (n < 2)
        return std::vector<double>(n, 0.0);
    SortedCurve c = sortCurve(x, {});
    computeSortedBandwidths(c, neighbourCount(f, n));
    std::vector<double> h(n);
    for (std::size_t p = 0; p < n; ++p)
        h[c.order[p]] = c.h[p];
    return h;
}

std::vector<double> lowess(const std::vector<double>& x, const std::vector<double>& y, const LowessParams& params,
                           LowessControl* control)
{
    validateLowessParams(params);
    if (x.size() != y.size())
        throw std::invalid_argument("x and y must have the same size");
    const std::size_t n = x.size();
    if (n < 2)
        throw std::invalid_argument("At least 2 data points required");

    SortedCurve c = sortCurve(x, y);
    computeSortedBandwidths(c, neighbourCount(params.smoothingFactor, n));
    computeWindows(c);

    std::vector<double> r(n, 1.0);
    std::vector<double> fit = c.y;
    for (int pass = 0; pass < params.robustnessIterations; ++pass) {
        if (pass > 0)
            r = robustnessWeights(c.y, fit);
        fit = fitPass(c, r, fit, control);
    }

    std::vector<double> out(n);
    for (std::size_t p = 0; p < n; ++p)
        out[c.order[p]] = fit[p];
    return out;
}
