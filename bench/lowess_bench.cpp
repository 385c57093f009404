// Times the smoother on one data file.
//   lowess_bench data N FILE                      write a DSC-like stage of N points
//   lowess_bench time FILE FACTOR ITERATIONS MODE print the best wall time in seconds
// MODE: fast (all cores), serial (one thread) or literal (full-sort reference).

#include "lowess.h"
#include "lowessreference.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

int writeData(std::size_t n, const char* path)
{
    std::mt19937 rng(20240601u);
    std::normal_distribution<double> noise(0.0, 0.02);
    std::ofstream out(path);
    out.precision(17);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = 30.0 + 300.0 * static_cast<double>(i) / static_cast<double>(n);
        const double y = 0.002 * t + 3.0 * std::exp(-std::pow((t - 160.0) / 6.0, 2.0)) + noise(rng);
        out << t << ' ' << y << '\n';
    }
    return out ? 0 : 1;
}

bool readData(const char* path, std::vector<double>& x, std::vector<double>& y)
{
    std::ifstream in(path);
    double a = 0, b = 0;
    while (in >> a >> b) {
        x.push_back(a);
        y.push_back(b);
    }
    return !x.empty();
}

int timeRun(const char* path, double factor, int iterations, const std::string& mode)
{
    std::vector<double> x, y;
    if (!readData(path, x, y))
        return 1;
    setLowessThreadLimit(mode == "serial" ? 1 : 0);
    const int repeats = mode == "literal" ? 1 : 3;
    double best = 1e300;
    double checksum = 0.0;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const std::vector<double> fit = mode == "literal" ? LowessReference::lowess(x, y, {factor, iterations})
                                                          : lowess(x, y, {factor, iterations});
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
        checksum = fit[fit.size() / 2];
    }
    std::printf("%.6f %.12g\n", best, checksum);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "data") == 0)
        return writeData(std::strtoul(argv[2], nullptr, 10), argv[3]);
    if (argc == 6 && std::strcmp(argv[1], "time") == 0)
        return timeRun(argv[2], std::atof(argv[3]), std::atoi(argv[4]), argv[5]);
    std::fprintf(stderr, "usage: lowess_bench data N FILE | time FILE FACTOR ITERATIONS fast|serial|literal\n");
    return 2;
}
