// Randomly damaged copies of good archives (the project's own RAR 4 and RAR 5 archives and the real
// ones among the shared fixtures) through the unattended mode: whatever the damage, no crash, no
// hang, and no success with anything but the original's files. The number of copies is
// KIT_MUTATIONS (default 1200; a sanitizer build may lower it); the sequence is the same every run.
#include "setup/silentinstall.h"

#include "rarwriter.h"
#include "tree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using kitmaker::RarEntry;
using kitmaker::RarFormat;

namespace {

struct Original {
    std::string name;
    std::vector<std::string> volumes; // bytes of each volume
    std::vector<std::string> names;   // their file names
    std::vector<std::string> manifest;
};

std::string pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    std::mt19937 g(seed);
    for (auto& c : s)
        c = static_cast<char>(g() % 7 == 0 ? g() : 'a' + g() % 4); // partly compressible
    return s;
}

std::vector<RarEntry> contents() {
    return {RarEntry::directory("docs"),
            RarEntry::file("docs/readme.txt", "hello\n"),
            RarEntry::file("a.bin", pattern(3000, 1)),
            RarEntry::symlink("docs/latest", "readme.txt"),
            RarEntry::file("日本/b.txt", pattern(900, 2)),
            RarEntry::file("empty", "")};
}

// Writes the volumes of `o` (or a damaged copy) with an install.ini into `kit`.
void writeKit(const fs::path& kit, const std::vector<std::string>& names,
              const std::vector<std::string>& volumes) {
    fs::create_directories(kit);
    for (size_t i = 0; i < volumes.size(); ++i)
        testsupport::writeFile(kit / names[i], volumes[i]);
    testsupport::writeFile(kit / "install.ini", "[OPTIONS]\nAPPZ=Mutant\nSIZE=0\nFILERAR=" + names[0] +
                                                    "\nREG=NONE\nFILES=" + std::to_string(volumes.size()) +
                                                    "\n");
}

int install(const fs::path& kit, const fs::path& target) {
    std::ostringstream out, err;
    return RunSilentInstall(kit.string() + "/", target.string(), out, err);
}

std::vector<Original> originals(const fs::path& work) {
    std::vector<Original> all;
    auto add = [&](const std::string& name, const std::vector<std::string>& paths) {
        Original o;
        o.name = name;
        for (const std::string& p : paths) {
            o.volumes.push_back(testsupport::readFile(p));
            o.names.push_back(fs::path(p).filename().string());
        }
        all.push_back(std::move(o));
    };
    int n = 0;
    for (RarFormat f : {RarFormat::rar4, RarFormat::rar5}) {
        for (uint64_t volumeSize : {uint64_t{0}, uint64_t{1500}}) {
            kitmaker::RarWriteOptions o;
            o.format = f;
            o.volumeSize = volumeSize;
            if (f == RarFormat::rar5 && volumeSize == 0) o.checksum = kitmaker::RarChecksum::blake2sp;
            const fs::path dir = work / ("own" + std::to_string(n++));
            fs::create_directories(dir);
            add(dir.filename().string(), kitmaker::writeRar((dir / "game").string(), contents(), o));
        }
    }
    if (const fs::path fx = testsupport::rarFixtures(); !fx.empty()) {
        for (const char* single : {"test_read_format_rar.rar", "test_read_format_rar_compress_normal.rar",
                                   "test_read_format_rar5_stored.rar", "test_read_format_rar5_compressed.rar",
                                   "test_read_format_rar5_multiple_files.rar"})
            add(single, {(fx / single).string()});
        std::vector<std::string> set;
        for (int i = 1; i <= 8; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "test_read_format_rar5_multiarchive.part%02d.rar", i);
            set.push_back((fx / name).string());
        }
        add("rar5 multiarchive", set);
    }
    return all;
}

// One kind of damage, chosen and placed by the generator.
std::string damage(std::string v, std::mt19937& g, std::string& what) {
    if (v.empty()) return "x";
    auto at = [&](size_t n) { return static_cast<size_t>(g() % n); };
    switch (g() % 6) {
    case 0: { // a few bits flipped
        const int flips = 1 + static_cast<int>(g() % 4);
        for (int i = 0; i < flips; ++i)
            v[at(v.size())] ^= static_cast<char>(1u << (g() % 8));
        what = "bits flipped";
        break;
    }
    case 1: { // a run of zeros
        const size_t p = at(v.size()), n = std::min<size_t>(1 + g() % 64, v.size() - p);
        v.replace(p, n, std::string(n, '\0'));
        what = "zeroed run";
        break;
    }
    case 2: // cut short
        v.resize(at(v.size()));
        what = "cut";
        break;
    case 3: { // junk inserted
        std::string junk(1 + g() % 32, '\0');
        for (auto& c : junk)
            c = static_cast<char>(g());
        v.insert(at(v.size() + 1), junk);
        what = "junk inserted";
        break;
    }
    case 4: { // a run overwritten with random bytes
        const size_t p = at(v.size()), n = std::min<size_t>(1 + g() % 16, v.size() - p);
        for (size_t i = 0; i < n; ++i)
            v[p + i] = static_cast<char>(g());
        what = "random run";
        break;
    }
    default: { // a run taken out
        const size_t p = at(v.size()), n = std::min<size_t>(1 + g() % 64, v.size() - p);
        v.erase(p, n);
        what = "run removed";
        break;
    }
    }
    return v;
}

// Ends the test program with a message when one installation does not finish in time.
class Watchdog {
  public:
    explicit Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(m_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void start(const std::string& what) {
        std::lock_guard<std::mutex> lock(m_);
        what_ = what;
        ++run_;
        cv_.notify_all();
    }

  private:
    void watch() {
        std::unique_lock<std::mutex> lock(m_);
        while (!done_) {
            const unsigned seen = run_;
            if (!cv_.wait_for(lock, limit_, [&] { return done_ || run_ != seen; }) && seen != 0) {
                std::fprintf(stderr, "hang: %s did not finish in %lld s\n", what_.c_str(),
                             static_cast<long long>(limit_.count()));
                std::fflush(stderr);
                std::abort();
            }
        }
    }
    std::chrono::seconds limit_;
    std::mutex m_;
    std::condition_variable cv_;
    std::string what_;
    unsigned run_ = 0;
    bool done_ = false;
    std::thread thread_;
};

} // namespace

TEST(Mutations, DamagedArchivesNeverInstallAnythingButTheOriginal) {
    const char* env = std::getenv("KIT_MUTATIONS");
    const int count = env && *env ? std::atoi(env) : 1200;
    testsupport::ScratchDir work(testsupport::fastTempDir());
    std::vector<Original> all = originals(work.path());
    for (Original& o : all) {
        writeKit(work / ("good-" + o.name), o.names, o.volumes);
        ASSERT_EQ(install(work / ("good-" + o.name), work / ("good-" + o.name + "-out")), 0) << o.name;
        o.manifest = testsupport::treeManifest(work / ("good-" + o.name + "-out"));
        ASSERT_FALSE(o.manifest.empty());
    }

    std::mt19937 g(20240611);
    int succeeded = 0, failed = 0;
    const auto t0 = std::chrono::steady_clock::now();
    Watchdog watchdog(std::chrono::seconds(20));
    for (int i = 0; i < count; ++i) {
        const Original& o = all[static_cast<size_t>(i) % all.size()];
        std::vector<std::string> volumes = o.volumes;
        const size_t victim = g() % volumes.size();
        std::string what;
        volumes[victim] = damage(volumes[victim], g, what);
        const std::string label = "copy " + std::to_string(i) + " of " + o.name + " (" + what +
                                  " in volume " + std::to_string(victim + 1) + ")";
        const fs::path kit = work / "kit", target = work / "target";
        fs::remove_all(kit);
        fs::remove_all(target);
        writeKit(kit, o.names, volumes);
        watchdog.start(label);
        const int code = install(kit, target);
        const auto tree = testsupport::treeManifest(target);
        if (code == 0) {
            ++succeeded;
            ASSERT_EQ(tree, o.manifest) << label << " installed something else";
        } else {
            ++failed;
        }
        for (const std::string& line : tree)
            ASSERT_EQ(line.find(".part-"), std::string::npos) << label << " left " << line;
        ASSERT_TRUE(testsupport::linksLeavingTree(target).empty()) << label;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%d damaged copies of %zu archives: %d installed the original's files, %d failed, %.1f s\n",
                count, all.size(), succeeded, failed, seconds);
}
