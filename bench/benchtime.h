// Timing helpers shared by the benchmarks.
#pragma once
#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// Milliseconds from a to b.
inline double ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The middle value (the mean of the two middle ones for an even count); v must not be empty.
inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// CPU time of the calling thread, in milliseconds.
inline double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Times {
    double wall, cpu; // milliseconds per call
};

// Wall and thread CPU time per call of f over reps calls, after one warm-up call (tables, caches).
template <class F> Times perCall(int reps, F&& f) {
    f();
    const double c0 = threadCpuMs();
    const auto t0 = Clock::now();
    for (int i = 0; i < reps; ++i)
        f();
    const auto t1 = Clock::now();
    const double c1 = threadCpuMs();
    return {ms(t0, t1) / reps, (c1 - c0) / reps};
}

} // namespace bench
