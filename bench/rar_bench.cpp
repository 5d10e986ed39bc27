// Extraction speed of TRAR (with a progress handler attached, as the extraction dialog uses it):
//  1. a 200 MB stored archive, against `bsdtar -x` on the same file;
//  2. the same data as a volume set, against a bare libarchive read-and-write loop (the floor).
// Both run on the same file system (a tmpfs by default), alternating, several times; medians printed.
// The bare loop reads with the same 256 KiB blocks as our reader, so the ratio is our layer's overhead.
// --volume-kb sets the size of the volumes (1000-byte units; 1440 for floppy-sized ones, a set of
// about 140 volumes for the default 200 MB).
//   rar_bench [--dir D] [--mb N] [--reps R] [--volume-kb K]
#include "benchtime.h"

#include "setup/rararc.h"

#include "rarwriter.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using bench::median;

double seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Processor time (user + system) of this process, or of its waited-for children.
double cpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// An empty output folder, with the previous run's writes flushed so they do not slow the next one.
void fresh(const fs::path& p) {
    fs::remove_all(p);
    fs::create_directories(p);
    ::sync();
}

double timeTrar(const std::string& first, const fs::path& out) {
    TRAR rar;
    rar.ArchiveName = first;
    rar.TargetDir = out.string();
    int64_t shown = 0;
    rar.OnProcessData = [&](TRAR&, unsigned char*, int32_t, int64_t position) {
        shown = position; // what a progress bar would be set to
        return 1;
    };
    auto t0 = std::chrono::steady_clock::now();
    bool ok = rar.Extract();
    double t = seconds(t0);
    if (!ok || shown == 0) {
        std::fprintf(stderr, "TRAR extraction failed\n");
        std::exit(1);
    }
    return t;
}

double timeBsdtar(const std::string& archive, const fs::path& out) {
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("bsdtar", "bsdtar", "-x", "-f", archive.c_str(), "-C", out.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double t = seconds(t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bsdtar failed\n");
        std::exit(1);
    }
    return t;
}

// The floor: libarchive reading the volumes and writing each block straight to its file.
double timeBareLibarchive(const std::vector<std::string>& volumes, const fs::path& out) {
    auto t0 = std::chrono::steady_clock::now();
    std::vector<const char*> names;
    for (auto& v : volumes)
        names.push_back(v.c_str());
    names.push_back(nullptr);
    struct archive* a = archive_read_new();
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
    if (archive_read_open_filenames(a, names.data(), 1 << 18) != ARCHIVE_OK) {
        std::fprintf(stderr, "libarchive: %s\n", archive_error_string(a));
        std::exit(1);
    }
    struct archive_entry* e = nullptr;
    while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
        fs::path p = out / archive_entry_pathname(e);
        if (archive_entry_filetype(e) == AE_IFDIR) {
            fs::create_directories(p);
            continue;
        }
        fs::create_directories(p.parent_path());
        int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const void* buf;
        size_t size;
        la_int64_t offset;
        while (archive_read_data_block(a, &buf, &size, &offset) == ARCHIVE_OK)
            if (::write(fd, buf, size) != static_cast<ssize_t>(size)) std::exit(1);
        ::close(fd);
    }
    archive_read_free(a);
    return seconds(t0);
}

} // namespace

int main(int argc, char** argv) {
    fs::path dir = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    size_t mb = 200;
    int reps = 7;
    uint64_t volumeKb = 50000;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i];
        if (k == "--dir")
            dir = argv[i + 1];
        else if (k == "--mb")
            mb = std::stoul(argv[i + 1]);
        else if (k == "--reps")
            reps = std::stoi(argv[i + 1]);
        else if (k == "--volume-kb")
            volumeKb = std::max<uint64_t>(1, std::stoull(argv[i + 1]));
    }
    if (std::system("command -v bsdtar >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "bsdtar not found (package libarchive-tools: scripts/setup-deps --bench)\n");
        return 1;
    }
    fs::path work = dir / ("kit-rar-bench-" + std::to_string(getpid()));
    fs::create_directories(work);

    // Twenty files of incompressible bytes (xorshift), a few folders.
    std::vector<kitmaker::RarEntry> entries;
    const size_t files = 20;
    const size_t each = mb * 1000000 / files;
    uint64_t x = 0x9E3779B97F4A7C15ull;
    for (size_t f = 0; f < files; ++f) {
        std::string data = bench::noiseBytes(each, x);
        entries.push_back(kitmaker::RarEntry::file(
            "data/set" + std::to_string(f % 4) + "/file" + std::to_string(f) + ".bin", std::move(data)));
    }
    auto single = kitmaker::writeRar((work / "single").string(), entries);
    auto volumes = kitmaker::writeRar((work / "multi").string(), entries, {volumeKb * 1000, false});
    entries.clear();
    std::printf("data: %zu MB in %zu files; single archive %s; %zu volumes; on %s\n", mb, files,
                fs::path(single[0]).filename().c_str(), volumes.size(), dir.c_str());

    // Wall time is what the user waits; processor time is steadier on a busy machine. Both are shown.
    std::vector<double> trarSingle, bsdtar, trarMulti, bare;
    std::vector<double> trarSingleCpu, bsdtarCpu, trarMultiCpu, bareCpu;
    auto runBsdtar = [&] {
        fresh(work / "out");
        double c0 = cpuSeconds(RUSAGE_CHILDREN);
        bsdtar.push_back(timeBsdtar(single[0], work / "out"));
        bsdtarCpu.push_back(cpuSeconds(RUSAGE_CHILDREN) - c0);
    };
    auto runTrarSingle = [&] {
        fresh(work / "out");
        double c0 = cpuSeconds(RUSAGE_SELF);
        trarSingle.push_back(timeTrar(single[0], work / "out"));
        trarSingleCpu.push_back(cpuSeconds(RUSAGE_SELF) - c0);
    };
    auto runBare = [&] {
        fresh(work / "out");
        double c0 = cpuSeconds(RUSAGE_SELF);
        bare.push_back(timeBareLibarchive(volumes, work / "out"));
        bareCpu.push_back(cpuSeconds(RUSAGE_SELF) - c0);
    };
    auto runTrarMulti = [&] {
        fresh(work / "out");
        double c0 = cpuSeconds(RUSAGE_SELF);
        trarMulti.push_back(timeTrar(volumes[0], work / "out"));
        trarMultiCpu.push_back(cpuSeconds(RUSAGE_SELF) - c0);
    };
    for (int r = 0; r < reps; ++r) {
        // Who goes first alternates, so neither side always follows the other's clean-up.
        if (r % 2) {
            runBsdtar();
            runTrarSingle();
            runBare();
            runTrarMulti();
        } else {
            runTrarSingle();
            runBsdtar();
            runTrarMulti();
            runBare();
        }
    }
    fs::remove_all(work);

    const double a = median(trarSingle), b = median(bsdtar), c = median(trarMulti), d = median(bare);
    std::printf(
        "single archive: TRAR %.3f s, bsdtar -x %.3f s (wall, medians of %d): ratio TRAR/bsdtar = %.3f\n", a,
        b, reps, a / b);
    std::printf("volume set:     TRAR %.3f s, bare libarchive loop %.3f s (wall, medians of %d): ratio "
                "TRAR/libarchive = %.3f\n",
                c, d, reps, c / d);
    std::printf("processor time: single TRAR %.3f s / bsdtar %.3f s = %.3f; volumes TRAR %.3f s / libarchive "
                "%.3f s = %.3f\n",
                median(trarSingleCpu), median(bsdtarCpu), median(trarSingleCpu) / median(bsdtarCpu),
                median(trarMultiCpu), median(bareCpu), median(trarMultiCpu) / median(bareCpu));
    std::printf("throughput: TRAR %.0f MB/s single, %.0f MB/s volumes\n", mb / a, mb / c);
    return 0;
}
