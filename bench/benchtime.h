// Timing helpers shared by the benchmarks, and the incompressible bytes they pack.
#pragma once
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
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

// Seconds since t0.
inline double seconds(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Processor time (user + system) of this process (RUSAGE_SELF) or of its waited-for children
// (RUSAGE_CHILDREN), in seconds.
inline double cpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs a program (found on PATH) to its end and returns the wall time in seconds; a program that
// fails ends the benchmark.
inline double runProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double t = seconds(t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return t;
}

// `size` incompressible bytes from a xorshift generator whose state is `x` (a trailing part
// shorter than eight bytes stays zero).
inline std::string noiseBytes(size_t size, uint64_t& x) {
    std::string data(size, '\0');
    for (size_t i = 0; i + 8 <= size; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(data.data() + i, &x, 8);
    }
    return data;
}

} // namespace bench
