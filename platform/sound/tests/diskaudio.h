#pragma once
// Test support: runs the sound library on SDL's "disk" driver, which writes the mixed output to a
// file (32-bit float stereo at the rate the library asked for), and measures that output.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace disk_audio {

inline constexpr int kRate = 44100;
inline constexpr std::size_t kFrameBytes = 2 * sizeof(float);

// Points SDL's audio at the disk driver writing to `file`. `fast` lets it render about twenty times
// faster than real time (otherwise it keeps to real time). The driver writes silence while output
// is paused, so a test closes the library soon after it has what it needs.
inline void use(const std::filesystem::path& file, bool fast) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    if (fast)
        setenv("SDL_DISKAUDIODELAY", "1", 1);
    else
        unsetenv("SDL_DISKAUDIODELAY");
}

inline std::uintmax_t sizeOf(const std::filesystem::path& file) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(file, ec);
    return ec ? 0 : n;
}

// Seconds from the start of `file` to its first sound, waiting until there is some and then until
// `seconds` of output follow it (the output runs silent from the library's start-up on, for as long
// as loading takes). -1 when that does not happen within `timeout`.
inline double waitForSound(const std::filesystem::path& file, double seconds,
                           std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::ifstream in;
    std::uintmax_t seen = 0;
    double first = -1.0;
    std::vector<float> chunk;
    while (std::chrono::steady_clock::now() < end) {
        const std::uintmax_t size = sizeOf(file) / kFrameBytes * kFrameBytes;
        if (first < 0 && size > seen) {
            if (!in.is_open()) in.open(file, std::ios::binary);
            chunk.resize(static_cast<std::size_t>((size - seen) / sizeof(float)));
            in.clear();
            in.seekg(static_cast<std::streamoff>(seen));
            in.read(reinterpret_cast<char*>(chunk.data()),
                    static_cast<std::streamsize>(chunk.size() * sizeof(float)));
            for (std::size_t i = 0; i < chunk.size(); ++i)
                if (std::abs(chunk[i]) > 1e-4f) {
                    first = static_cast<double>((seen / sizeof(float) + i) / 2) / kRate;
                    break;
                }
            seen = size;
        }
        if (first >= 0 && size >= static_cast<std::uintmax_t>((first + seconds) * kRate) * kFrameBytes)
            return first;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return -1.0;
}

// The interleaved stereo samples of `file`, at most `seconds` of them.
inline std::vector<float> read(const std::filesystem::path& file, double seconds = 600.0) {
    const std::uintmax_t cap = static_cast<std::uintmax_t>(seconds * kRate) * kFrameBytes;
    std::vector<float> out(static_cast<std::size_t>(std::min(sizeOf(file), cap) / sizeof(float)));
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size() * sizeof(float)));
    out.resize(static_cast<std::size_t>(in.gcount()) / sizeof(float));
    return out;
}

// Root mean square of the frames [fromSec, toSec) of `s`; 0 for frames past its end.
inline double rms(const std::vector<float>& s, double fromSec, double toSec) {
    const std::size_t a = std::min(s.size(), static_cast<std::size_t>(fromSec * kRate) * 2);
    const std::size_t b = std::min(s.size(), static_cast<std::size_t>(toSec * kRate) * 2);
    if (b <= a) return 0.0;
    double sum = 0;
    for (std::size_t i = a; i < b; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(b - a));
}

// Seconds from the start of `s` to its first sample that is not silent; -1 when all is silent.
inline double firstSound(const std::vector<float>& s) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (std::abs(s[i]) > 1e-4f) return static_cast<double>(i / 2) / kRate;
    return -1.0;
}

} // namespace disk_audio
