#include "numerichelpers.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

namespace Global {

namespace {

using Row = double[4];

void pivotColumn(Row* m, int col)
{
    int best = col;
    for (int row = col + 1; row < 3; ++row) {
        if (std::fabs(m[row][col]) > std::fabs(m[best][col]))
            best = row;
    }
    if (best != col) {
        for (int j = 0; j < 4; ++j)
            std::swap(m[col][j], m[best][j]);
    }
    for (int row = col + 1; row < 3; ++row) {
        const double factor = m[row][col] / m[col][col];
        for (int j = 0; j < 4; ++j)
            m[row][j] -= factor * m[col][j];
    }
}

} // namespace

void quadraticFit(const double* x, const double* y, int n, double* coefficients)
{
    if (n < 3)
        throw std::invalid_argument("At least 3 data points are required for quadratic fitting");
    double sx = 0, sx2 = 0, sx3 = 0, sx4 = 0, sy = 0, sxy = 0, sx2y = 0;
    for (int i = 0; i < n; ++i) {
        const double xi = x[i];
        const double xi2 = xi * xi;
        sx += xi;
        sx2 += xi2;
        sx3 += xi2 * xi;
        sx4 += xi2 * xi2;
        sy += y[i];
        sxy += xi * y[i];
        sx2y += xi2 * y[i];
    }
    Row m[3] = {
        {sx4, sx3, sx2, sx2y},
        {sx3, sx2, sx, sxy},
        {sx2, sx, static_cast<double>(n), sy},
    };
    pivotColumn(m, 0);
    pivotColumn(m, 1);
    const double c = m[2][3] / m[2][2];
    const double b = (m[1][3] - m[1][2] * c) / m[1][1];
    const double a = (m[0][3] - m[0][2] * c - m[0][1] * b) / m[0][0];
    coefficients[0] = a;
    coefficients[1] = b;
    coefficients[2] = c;
}

double solveLinearInRange(double a, double b, double lo, double hi)
{
    const double none = std::numeric_limits<double>::infinity();
    if (a != 0.0) {
        const double r = -b / a;
        if (lo <= r && r <= hi)
            return r;
        if (a > 0.0)
            return b + a * lo < 0.0 ? lo : none;
        return b + a * hi < 0.0 ? hi : none;
    }
    return b < 0.0 ? lo : none;
}

float toFloat(double value)
{
    constexpr float LargestFloat = std::numeric_limits<float>::max();
    if (value > LargestFloat && std::isfinite(value))
        return LargestFloat;
    if (value < -LargestFloat && std::isfinite(value))
        return -LargestFloat;
    return static_cast<float>(value);
}

} // namespace Global
