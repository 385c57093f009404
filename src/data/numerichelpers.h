#ifndef NUMERICHELPERS_H
#define NUMERICHELPERS_H

namespace Global {

// Least-squares y = a*x^2 + b*x + c through n points; coefficients receives
// a, b, c. Throws std::invalid_argument when n < 3. Fewer than three distinct
// x values make the system singular: rounding then gives arbitrary, often
// finite, coefficients, so callers check for three distinct values first.
void quadraticFit(const double* x, const double* y, int n, double* coefficients);

// Root of a*x + b within [lo, hi]; otherwise the bound at which a*x + b is
// negative, or +infinity.
double solveLinearInRange(double a, double b, double lo, double hi);

// double -> float without undefined behaviour: finite values beyond the float
// range saturate at the largest float of their sign; infinities and NaN stay.
float toFloat(double value);

} // namespace Global

#endif // NUMERICHELPERS_H
