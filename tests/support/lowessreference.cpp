#include "lowessreference.h"

#include "lowess.h"

#include <algorithm>
#include <cmath>

namespace LowessReference {

namespace {

std::vector<double> bandwidths(const std::vector<double>& x, double f)
{
    const std::size_t n = x.size();
    std::size_t k = static_cast<std::size_t>(std::ceil(f * static_cast<double>(n)));
    k = std::min(k, n - 1);
    std::vector<double> h(n);
    std::vector<double> d(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            d[j] = std::fabs(x[j] - x[i]);
        std::sort(d.begin(), d.end());
        h[i] = d[k];
    }
    return h;
}

double fitPoint(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& r, double h,
                std::size_t i, double previous)
{
    double sw = 0, swx = 0, swxx = 0, swy = 0, swxy = 0;
    for (std::size_t j = 0; j < x.size(); ++j) {
        const double d = std::fabs(x[j] - x[i]);
        double u = d / h;
        if (h == 0.0)
            u = d == 0.0 ? 0.0 : 2.0;
        const double w = r[j] * tricube(u);
        sw += w;
        swx += w * x[j];
        swxx += w * x[j] * x[j];
        swy += w * y[j];
        swxy += w * x[j] * y[j];
    }
    if (!(sw > 0.0))
        return previous;
    const double det = sw * swxx - swx * swx;
    if (h == 0.0 || std::fabs(det) < 1e-10)
        return swy / sw;
    const double slope = (sw * swxy - swx * swy) / det;
    const double intercept = (swxx * swy - swx * swxy) / det;
    return slope * x[i] + intercept;
}

} // namespace

std::vector<double> lowess(const std::vector<double>& x, const std::vector<double>& y, const LowessParams& params)
{
    validateLowessParams(params);
    const std::size_t n = x.size();
    const std::vector<double> h = bandwidths(x, params.smoothingFactor);
    std::vector<double> r(n, 1.0);
    std::vector<double> fit = y;
    for (int pass = 0; pass < params.robustnessIterations; ++pass) {
        std::vector<double> next(n);
        for (std::size_t i = 0; i < n; ++i)
            next[i] = fitPoint(x, y, r, h[i], i, fit[i]);
        fit = next;
        std::vector<double> e(n), a(n);
        for (std::size_t i = 0; i < n; ++i) {
            e[i] = y[i] - fit[i];
            a[i] = std::fabs(e[i]);
        }
        std::sort(a.begin(), a.end());
        const double m = a[n / 2];
        const double s = m < 1e-10 ? 6.0 : 6.0 * m;
        for (std::size_t i = 0; i < n; ++i) {
            const double q = e[i] / s;
            r[i] = (q >= -1.0 && q <= 1.0) ? (1 - q * q) * (1 - q * q) : 0.0;
        }
    }
    return fit;
}

} // namespace LowessReference
