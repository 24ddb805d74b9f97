// Timing helpers shared by the benchmarks: a millisecond clock, and the median of a set of
// runs with its spread, so a reader sees the noise of the machine beside each figure.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

inline double NowMs()
{
    static const double perMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER count;
    ::QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / perMs;
}

// The median and the quartiles around it (the middle half of the runs).
struct Spread {
    double median = 0, low = 0, high = 0;
};

inline Spread SpreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    auto at = [&](double q) {
        const double x = q * static_cast<double>(values.size() - 1);
        const size_t i = static_cast<size_t>(x);
        const double frac = x - static_cast<double>(i);
        return i + 1 < values.size() ? values[i] * (1 - frac) + values[i + 1] * frac : values[i];
    };
    return {at(0.5), at(0.25), at(0.75)};
}

// "label  median ms (middle half low to high)".
inline void PrintTime(const char* label, const std::vector<double>& ms)
{
    const Spread s = SpreadOf(ms);
    std::printf("  %-34s %9.3f ms  (middle half %.3f to %.3f)\n", label, s.median, s.low, s.high);
}

// "ratio<what>: median (middle half low to high, n runs)", the line scripts/quality_table.py reads.
inline void PrintRatio(const char* what, const std::vector<double>& ratios)
{
    const Spread s = SpreadOf(ratios);
    std::printf("  ratio%-29s %9.3f  (middle half %.3f to %.3f, %zu runs)\n", what, s.median, s.low, s.high,
                ratios.size());
}

// Each run's ratio a[i] / b[i], for runs of the two taken in turn.
inline std::vector<double> Ratios(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> r;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        r.push_back(b[i] > 0 ? a[i] / b[i] : 0);
    return r;
}

}  // namespace bench
