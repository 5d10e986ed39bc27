// Sound library benchmark.
//  1. CPU time per second of music played through the library (SDL disk driver, unpaced), against
//     the floor: decoding the same module with libopenmpt alone in a loop; and against decoding
//     plus writing the result to a file, which is what the disk driver adds to any player.
//     Prints the ratios.
//  2. Start-up: from MIDASstartup to the first audible block written by the output (disk driver,
//     real-time pacing), including loading and starting the demo kit's module.
#include "benchtime.h"

#include "diskaudio.h"
#include "modwriter.h"

#include <midas/midas.h>

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using bench::median;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// CPU seconds per second of music through the library.
double libraryCost(std::string file, const fs::path& audio, double seconds) {
    fs::remove(audio);
    disk_audio::use(audio, true);
    setenv("SDL_DISKAUDIODELAY", "0", 1); // as fast as the mixer goes
    MIDASstartup();
    if (!MIDASinit()) return -1;
    const MIDASmodule mod = MIDASloadModule(file.data());
    if (!mod || !MIDASplayModule(mod, TRUE)) return -1;
    const std::uintmax_t before = disk_audio::sizeOf(audio);
    const double c0 = cpuSeconds();
    MIDASstartBackgroundPlay(0);
    const std::uintmax_t want =
        before + static_cast<std::uintmax_t>(seconds * disk_audio::kRate) * disk_audio::kFrameBytes;
    while (disk_audio::sizeOf(audio) < want)
        usleep(500);
    const double c1 = cpuSeconds();
    const std::uintmax_t after = disk_audio::sizeOf(audio);
    MIDASstopBackgroundPlay();
    MIDASclose();
    fs::remove(audio);
    const double music = static_cast<double>(after - before) / disk_audio::kFrameBytes / disk_audio::kRate;
    return (c1 - c0) / music;
}

// CPU seconds per second of music decoding with libopenmpt alone, same settings and block size;
// with `out`, each block is also written to that file.
double floorCost(const std::string& bytes, double seconds, const fs::path& out = {}) {
    std::ostringstream log;
    openmpt::module mod(bytes.data(), bytes.size(), log);
    mod.set_render_param(openmpt::module::RENDER_STEREOSEPARATION_PERCENT, 60);
    mod.set_repeat_count(-1);
    std::vector<float> block(2048 * 2);
    const std::size_t frames = static_cast<std::size_t>(seconds * disk_audio::kRate);
    std::FILE* file = out.empty() ? nullptr : std::fopen(out.c_str(), "wb");
    const double c0 = cpuSeconds();
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = mod.read_interleaved_stereo(disk_audio::kRate, 2048, block.data());
        if (file) std::fwrite(block.data(), disk_audio::kFrameBytes, n, file);
        done += n;
    }
    const double c1 = cpuSeconds();
    if (file) std::fclose(file);
    fs::remove(out);
    return (c1 - c0) / seconds;
}

// Milliseconds from MIDASstartup to the first block with sound in the output file.
double startupMs(std::string file, const fs::path& audio) {
    fs::remove(audio);
    disk_audio::use(audio, false); // real-time pacing, as a sound card would
    const auto t0 = std::chrono::steady_clock::now();
    MIDASstartup();
    MIDASinit();
    MIDASstartBackgroundPlay(0);
    const MIDASmodule mod = MIDASloadModule(file.data());
    MIDASplayModule(mod, TRUE);
    std::uintmax_t seen = 0;
    double ms = -1;
    std::ifstream in;
    while (ms < 0) {
        const std::uintmax_t size = disk_audio::sizeOf(audio);
        if (size > seen) {
            if (!in.is_open()) in.open(audio, std::ios::binary);
            std::vector<float> chunk((size - seen) / sizeof(float));
            in.clear();
            in.seekg(static_cast<std::streamoff>(seen));
            in.read(reinterpret_cast<char*>(chunk.data()),
                    static_cast<std::streamsize>(chunk.size() * sizeof(float)));
            seen += chunk.size() * sizeof(float);
            for (float v : chunk)
                if (v != 0.0f) {
                    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                             .count();
                    break;
                }
        }
        if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(5)) break;
        usleep(200);
    }
    MIDASstopBackgroundPlay();
    MIDASclose();
    fs::remove(audio);
    return ms;
}

} // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / ("sound_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string bytes = kitmaker::modFileBytes(kitmaker::composeDemoSong());
    const std::string file = (dir / "install.dat").string();
    std::ofstream(file, std::ios::binary) << bytes;
    const fs::path audio = dir / "out.raw";

    const double seconds = 300.0;
    std::vector<double> lib, flo, wri;
    for (int i = 0; i < 3; ++i) {
        lib.push_back(libraryCost(file, audio, seconds));
        flo.push_back(floorCost(bytes, seconds));
        wri.push_back(floorCost(bytes, seconds, audio));
    }
    const double l = median(lib), f = median(flo), w = median(wri);
    std::printf("music through the library    : %.3f ms CPU per second of music (median of 3 x %.0f s)\n",
                l * 1e3, seconds);
    std::printf("libopenmpt decode alone      : %.3f ms CPU per second of music (floor)\n", f * 1e3);
    std::printf("libopenmpt decode + file write: %.3f ms CPU per second of music\n", w * 1e3);
    std::printf("ratio library / decode alone : %.3f (target <= 1.2)\n", l / f);
    std::printf("ratio library / decode+write : %.3f\n", l / w);

    std::vector<double> st;
    for (int i = 0; i < 7; ++i)
        st.push_back(startupMs(file, audio));
    std::sort(st.begin(), st.end());
    std::printf(
        "start-up to first audible block: median %.1f ms, worst %.1f ms of 7 (target < 100 ms; ratio %.2f)\n",
        st[st.size() / 2], st.back(), st[st.size() / 2] / 100.0);
    fs::remove_all(dir);
    return 0;
}
