// Start-up of the installer against a bare Qt widget program showing one 492 x 361 picture
// (bare_picture), both started as child processes in the same run, alternating:
//  - exec to the first painted frame of the main window (each program writes "first-frame" to
//    standard output once the frame is painted; the time is taken when the line arrives);
//  - for the installer, exec to the first audible block of its music (SDL's disk driver, real-time
//    pacing, watched for the first sample that is not silent);
//  - peak memory (maximum resident set size of the child, from wait4).
// The installer runs twice per round: with the disk driver, and with the sound system the machine
// has (SDL's own choice, which may take long to find out there is no sound card), to show that the
// window does not wait for the audio output.
// Targets: first frame under 1.5 x the bare program, peak memory under 60 MB.
#include "benchtime.h"

#include "demokit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Run {
    double firstFrameMs = -1;
    double firstFrameCpuMs = -1;  // processor time of all the child's threads until then
    double firstFrameMainMs = -1; // of its main thread alone
    double firstSoundMs = -1;
    double peakMb = -1;
    int status = -1;
};

// The first sample louder than silence in the part of `file` after `seen` bytes; advances `seen`.
bool soundArrived(const fs::path& file, std::uintmax_t& seen) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec) / sizeof(float) * sizeof(float);
    if (ec || size <= seen) return false;
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(seen));
    std::vector<float> chunk(static_cast<std::size_t>((size - seen) / sizeof(float)));
    in.read(reinterpret_cast<char*>(chunk.data()),
            static_cast<std::streamsize>(chunk.size() * sizeof(float)));
    seen = size;
    return std::any_of(chunk.begin(), chunk.end(), [](float v) { return std::abs(v) > 1e-4f; });
}

// Processor time used so far by all threads of process `pid`, in milliseconds (the scheduler's
// nanosecond count, so it does not depend on how busy the machine is).
double cpuMsOf(pid_t pid, bool mainThreadOnly = false) {
    const fs::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ec;
    double ns = 0;
    for (const auto& t : fs::directory_iterator(tasks, ec)) {
        if (mainThreadOnly && t.path().filename() != std::to_string(pid)) continue;
        std::ifstream in(t.path() / "schedstat");
        double onCpu = 0;
        if (in >> onCpu) ns += onCpu;
    }
    return ns / 1e6;
}

// Starts `argv` with `env` added to this process's environment, and measures it until it ends.
Run measure(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::optional<fs::path>& audio) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e)
        envStrings.emplace_back(*e);
    for (const std::string& add : env) {
        const std::string key = add.substr(0, add.find('=') + 1);
        envStrings.erase(std::remove_if(envStrings.begin(), envStrings.end(),
                                        [&](const std::string& s) { return s.rfind(key, 0) == 0; }),
                         envStrings.end());
        envStrings.push_back(add);
    }
    std::vector<char*> envp, args;
    for (std::string& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (std::string& s : argvCopy)
        args.push_back(s.data());
    args.push_back(nullptr);
    if (audio) fs::remove(*audio);

    int out[2];
    if (pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    Run run;
    pid_t pid = 0;
    const auto t0 = bench::Clock::now();
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return run;
    }
    std::string text;
    std::uintmax_t seen = 0;
    bool open = true;
    while (open || (audio && run.firstSoundMs < 0 && bench::ms(t0, bench::Clock::now()) < 5000)) {
        if (open) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 1) > 0) {
                char buf[256];
                const ssize_t n = read(out[0], buf, sizeof buf);
                if (n <= 0) {
                    open = false;
                } else {
                    text.append(buf, static_cast<std::size_t>(n));
                    if (run.firstFrameMs < 0 && text.find("first-frame\n") != std::string::npos) {
                        run.firstFrameMs = bench::ms(t0, bench::Clock::now());
                        run.firstFrameCpuMs = cpuMsOf(pid);
                        run.firstFrameMainMs = cpuMsOf(pid, true);
                    }
                }
            }
        } else {
            usleep(1000);
        }
        if (audio && run.firstSoundMs < 0 && soundArrived(*audio, seen))
            run.firstSoundMs = bench::ms(t0, bench::Clock::now());
    }
    close(out[0]);
    rusage usage{};
    wait4(pid, &run.status, 0, &usage);
    run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

double medianOf(const std::vector<Run>& runs, double Run::*field) {
    std::vector<double> v;
    for (const Run& r : runs)
        if (r.*field >= 0) v.push_back(r.*field);
    return v.empty() ? -1 : bench::median(v);
}

double worstOf(const std::vector<Run>& runs, double Run::*field) {
    double w = -1;
    for (const Run& r : runs)
        w = std::max(w, r.*field);
    return w;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const fs::path bin = KIT_BIN_DIR;
    const fs::path picture = KIT_ARTWORK_DIR "/background.jpg";
    const fs::path dir = fs::temp_directory_path() / ("startup_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    kitmaker::writeDemoKit(dir.string(), kitmaker::DemoKit{});
    for (const auto& e : fs::directory_iterator(bin)) {
        const std::string name = e.path().filename().string();
        if (name == "install" || e.path().extension() == ".so")
            fs::copy_file(e.path(), dir / name, fs::copy_options::overwrite_existing);
    }
    const fs::path audio = dir / "audio.raw";
    const std::string platform = std::getenv("QT_QPA_PLATFORM")      ? std::getenv("QT_QPA_PLATFORM")
                                 : std::getenv("DISPLAY") != nullptr ? "xcb"
                                                                     : "offscreen";
    const std::string quitAfter = "1500";
    const std::vector<std::string> common = {"QT_QPA_PLATFORM=" + platform};
    std::vector<std::string> withDisk = common, withSystemSound = common;
    for (auto* env : {&withDisk, &withSystemSound}) {
        env->push_back("KIT_INSTALL_REPORT_FIRST_FRAME=1");
        env->push_back("KIT_INSTALL_QUIT_AFTER_MS=" + quitAfter);
    }
    withDisk.push_back("SDL_AUDIODRIVER=disk");
    withDisk.push_back("SDL_DISKAUDIOFILE=" + audio.string());

    std::vector<Run> bare, install, installSystem;
    for (int i = 0; i < rounds; ++i) {
        bare.push_back(measure({(bin / "bare_picture").string(), picture.string(), quitAfter}, common, {}));
        install.push_back(measure({(dir / "install").string()}, withDisk, audio));
        installSystem.push_back(measure({(dir / "install").string()}, withSystemSound, {}));
    }
    fs::remove_all(dir);

    const double bareFrame = medianOf(bare, &Run::firstFrameMs);
    const double frame = medianOf(install, &Run::firstFrameMs);
    const double frameSystem = medianOf(installSystem, &Run::firstFrameMs);
    std::printf("platform %s, %d rounds, medians (worst)\n", platform.c_str(), rounds);
    std::printf("bare Qt program, first frame          : %7.1f ms (%.1f), %5.1f ms CPU  peak %5.1f MB\n",
                bareFrame, worstOf(bare, &Run::firstFrameMs), medianOf(bare, &Run::firstFrameCpuMs),
                medianOf(bare, &Run::peakMb));
    std::printf(
        "installer, first frame (disk audio)   : %7.1f ms (%.1f), %5.1f ms CPU  peak %5.1f MB (worst %.1f)\n",
        frame, worstOf(install, &Run::firstFrameMs), medianOf(install, &Run::firstFrameCpuMs),
        medianOf(install, &Run::peakMb), worstOf(install, &Run::peakMb));
    std::printf("installer, first frame (system audio) : %7.1f ms (%.1f), %5.1f ms CPU  peak %5.1f MB\n",
                frameSystem, worstOf(installSystem, &Run::firstFrameMs),
                medianOf(installSystem, &Run::firstFrameCpuMs), medianOf(installSystem, &Run::peakMb));
    std::printf("installer, first audible block        : %7.1f ms (%.1f)\n",
                medianOf(install, &Run::firstSoundMs), worstOf(install, &Run::firstSoundMs));
    std::printf("ratio first frame installer / bare    : %.2f (system audio %.2f; target < 1.5)\n",
                frame / bareFrame, frameSystem / bareFrame);
    std::printf(
        "main thread CPU to first frame        : bare %.1f ms, installer %.1f ms (system audio %.1f)\n",
        medianOf(bare, &Run::firstFrameMainMs), medianOf(install, &Run::firstFrameMainMs),
        medianOf(installSystem, &Run::firstFrameMainMs));
    std::printf("ratio CPU to first frame              : %.2f (system audio %.2f)\n",
                medianOf(install, &Run::firstFrameCpuMs) / medianOf(bare, &Run::firstFrameCpuMs),
                medianOf(installSystem, &Run::firstFrameCpuMs) / medianOf(bare, &Run::firstFrameCpuMs));
    int failed = 0;
    for (const auto* runs : {&bare, &install, &installSystem})
        for (const Run& r : *runs)
            failed += r.firstFrameMs < 0 || !WIFEXITED(r.status) || WEXITSTATUS(r.status) != 0;
    if (failed) std::printf("%d runs showed no frame or did not end with exit code 0\n", failed);
    return failed ? 1 : 0;
}
