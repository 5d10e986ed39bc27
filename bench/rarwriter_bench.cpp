// Writing speed of the RAR writer from files on disk (contents streamed, checksums computed), against
// `bsdtar -cf` writing a tar of the same folder (the publisher tool's target: at most 1.5 x bsdtar).
// A product folder of about 200 MB (large files of incompressible bytes and a thousand small files
// in folders) is archived as RAR 4, as RAR 5 (CRC32), as RAR 5 with BLAKE2sp and as a RAR 5 set of
// 50 MB volumes; each run alternates with a bsdtar run, several times; medians printed.
//   rarwriter_bench [--dir D] [--mb N] [--reps R]
#include "benchtime.h"

#include "rarwriter.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using bench::cpuSeconds;
using bench::median;
using bench::seconds;

void writeBytes(const fs::path& p, size_t size, uint64_t& x) {
    const std::string data = bench::noiseBytes(size, x);
    std::ofstream(p, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
}

// The entries of everything below `root`, folders before what they hold, as a publisher's tool
// would list them.
std::vector<kitmaker::RarEntry> entriesOf(const fs::path& root) {
    std::vector<fs::path> paths;
    for (const auto& e : fs::recursive_directory_iterator(root))
        paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    std::vector<kitmaker::RarEntry> entries;
    for (const fs::path& p : paths)
        entries.push_back(kitmaker::RarEntry::fromDisk(fs::relative(p, root).string(), p.string()));
    return entries;
}

void clearOut(const fs::path& out) {
    fs::remove_all(out);
    fs::create_directories(out);
    ::sync();
}

struct Variant {
    const char* name;
    kitmaker::RarWriteOptions options;
    std::vector<double> wall, cpu;
};

} // namespace

int main(int argc, char** argv) {
    fs::path dir = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    size_t mb = 200;
    int reps = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        if (k == "--dir")
            dir = argv[i + 1];
        else if (k == "--mb")
            mb = std::stoul(argv[i + 1]);
        else if (k == "--reps")
            reps = std::stoi(argv[i + 1]);
    }
    if (std::system("command -v bsdtar >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "bsdtar not found (package libarchive-tools: scripts/setup-deps)\n");
        return 1;
    }
    const fs::path work = dir / ("kit-rarwriter-bench-" + std::to_string(getpid()));
    const fs::path src = work / "product", out = work / "out";
    // 95 % of the bytes in 40 large files, the rest in 1000 small ones spread over 50 folders.
    uint64_t x = 0x9E3779B97F4A7C15ull;
    const size_t total = mb * 1000000, small = 1000, smallSize = total / 20 / small;
    for (size_t f = 0; f < 40; ++f) {
        fs::create_directories(src / "data" / std::to_string(f % 5));
        writeBytes(src / "data" / std::to_string(f % 5) / ("pack" + std::to_string(f) + ".bin"),
                   total * 19 / 20 / 40, x);
    }
    for (size_t f = 0; f < small; ++f) {
        const fs::path folder = src / "assets" / ("group" + std::to_string(f % 50));
        fs::create_directories(folder);
        writeBytes(folder / ("item" + std::to_string(f) + ".dat"), smallSize + f % 97, x);
    }
    const std::vector<kitmaker::RarEntry> entries = entriesOf(src);

    std::vector<Variant> variants(4);
    variants[0].name = "RAR 4";
    variants[1].name = "RAR 5";
    variants[1].options.format = kitmaker::RarFormat::rar5;
    variants[2].name = "RAR 5, BLAKE2sp";
    variants[2].options.format = kitmaker::RarFormat::rar5;
    variants[2].options.checksum = kitmaker::RarChecksum::blake2sp;
    variants[3].name = "RAR 5, 50 MB volumes";
    variants[3].options.format = kitmaker::RarFormat::rar5;
    variants[3].options.volumeSize = 50u * 1000 * 1000;
    std::vector<double> bsdtarWall, bsdtarCpu;
    auto runBsdtar = [&] {
        clearOut(out);
        const double c0 = cpuSeconds(RUSAGE_CHILDREN);
        bsdtarWall.push_back(bench::runProgram({"bsdtar", "-c", "-f", out / "product.tar", "-C", src, "."}));
        bsdtarCpu.push_back(cpuSeconds(RUSAGE_CHILDREN) - c0);
    };
    auto runWriter = [&](Variant& v) {
        clearOut(out);
        const double c0 = cpuSeconds(RUSAGE_SELF);
        const auto t0 = bench::Clock::now();
        kitmaker::writeRar((out / "product").string(), entries, v.options);
        v.wall.push_back(seconds(t0));
        v.cpu.push_back(cpuSeconds(RUSAGE_SELF) - c0);
    };
    runBsdtar(); // warm the page cache with the product
    bsdtarWall.clear();
    bsdtarCpu.clear();
    for (int r = 0; r < reps; ++r)
        for (Variant& v : variants) {
            // bsdtar runs beside every variant, alternating who goes first
            if (r % 2) {
                runBsdtar();
                runWriter(v);
            } else {
                runWriter(v);
                runBsdtar();
            }
        }
    fs::remove_all(work);

    const double b = median(bsdtarWall), bc = median(bsdtarCpu);
    std::printf(
        "product: %zu MB in %zu entries, on %s; bsdtar -cf %.3f s wall, %.3f s processor (medians of %zu)\n",
        mb, entries.size(), dir.c_str(), b, bc, bsdtarWall.size());
    for (const Variant& v : variants)
        std::printf("%-22s %.3f s wall, %.3f s processor: ratio to bsdtar -cf %.3f wall, %.3f processor\n",
                    v.name, median(v.wall), median(v.cpu), median(v.wall) / b, median(v.cpu) / bc);
    return 0;
}
