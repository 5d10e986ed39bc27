// Sets of many volumes: a set of floppy-sized volumes (over a thousand of them) extracts with few
// file descriptors, and a volume that is closed, then replaced on disk before it is needed again, is
// never read.
#include "../src/volumes.h"
#include "rarwriter.h"
#include "tree.h"
#include "unrar/unrar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using kitmaker::RarEntry;
using kitmaker::RarFormat;
using testsupport::ScratchDir;

namespace {

size_t openDescriptors() {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// The most descriptors seen open during a run, and every volume callback.
size_t peakDescriptors = 0;
std::vector<std::pair<int, std::string>> volumeCalls;
std::function<int(const std::string&, int)> onVolumeCall;

int PASCAL onVolume(char* name, int mode) {
    peakDescriptors = std::max(peakDescriptors, openDescriptors());
    volumeCalls.emplace_back(mode, name);
    return onVolumeCall ? onVolumeCall(name, mode) : (mode == RAR_VOL_NOTIFY);
}
int PASCAL onData(unsigned char*, int) {
    peakDescriptors = std::max(peakDescriptors, openDescriptors());
    return 1;
}

struct Result {
    int end = 0;                      // the code that ended the header loop
    std::map<std::string, int> codes; // per stored name
};

Result extract(const std::string& first, const fs::path& dest, int operation = RAR_EXTRACT) {
    Result run;
    volumeCalls.clear();
    std::string name = first, target = dest.string();
    fs::create_directories(dest);
    RAROpenArchiveData od{};
    od.ArcName = name.data();
    od.OpenMode = RAR_OM_EXTRACT;
    HANDLE h = RAROpenArchive(&od);
    EXPECT_NE(h, nullptr) << testsupport::rarCodeName(static_cast<int>(od.OpenResult));
    if (!h) return run;
    RARSetChangeVolProc(h, onVolume);
    RARSetProcessDataProc(h, onData);
    RARHeaderData hd{};
    while ((run.end = RARReadHeader(h, &hd)) == ERAR_SUCCESS)
        run.codes[hd.FileName] = RARProcessFile(h, operation, target.data(), nullptr);
    EXPECT_EQ(RARCloseArchive(h), ERAR_SUCCESS);
    return run;
}

// Lowers the soft limit of open files for the scope.
class FileLimit {
  public:
    explicit FileLimit(rlim_t soft) {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = std::min(soft, saved_.rlim_max);
        ok_ = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~FileLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
    bool ok() const { return ok_; }

  private:
    rlimit saved_{};
    bool ok_ = false;
};

std::string fileLine(const std::string& name, const std::string& data) {
    return "file " + name + " " + std::to_string(data.size()) + " " + testsupport::sha256Hex(data);
}

} // namespace

// 1440K floppies for a product of gigabytes, in small: files split over hundreds of volumes, many
// small files one or a few to a volume, a link, folders; over a thousand volumes in all, read with
// the limit of open files at 64.
TEST(ManyVolumes, ExtractWithFewDescriptorsAndIntactContent) {
    for (RarFormat format : {RarFormat::rar4, RarFormat::rar5}) {
        SCOPED_TRACE(format == RarFormat::rar4 ? "RAR 4" : "RAR 5");
        ScratchDir d(testsupport::fastTempDir());
        std::vector<RarEntry> entries = {RarEntry::directory("big"),
                                         RarEntry::file("big/one.bin", testsupport::pattern(30000, 1))};
        for (int i = 0; i < 400; ++i)
            entries.push_back(
                RarEntry::file("small/f" + std::to_string(i) + ".txt", testsupport::pattern(40, i)));
        entries.push_back(RarEntry::symlink("small/link", "f0.txt"));
        entries.push_back(RarEntry::file("big/two.bin", testsupport::pattern(25000, 2)));
        entries.push_back(RarEntry::file("last.txt", "the end\n"));
        kitmaker::RarWriteOptions options;
        options.format = format;
        options.volumeSize = 128;
        const auto volumes = kitmaker::writeRar((d / "set").string(), entries, options);
        ASSERT_GE(volumes.size(), 1100u);

        std::vector<std::string> expected = {"dir big", "dir small", "link small/link -> f0.txt"};
        for (const RarEntry& e : entries)
            if (e.kind == RarEntry::Kind::file) expected.push_back(fileLine(e.name, e.data));
        std::sort(expected.begin(), expected.end());

        const size_t before = openDescriptors();
        peakDescriptors = before;
        Result run;
        {
            FileLimit limit(64);
            ASSERT_TRUE(limit.ok());
            run = extract(volumes[0], d / "out");
        }
        EXPECT_EQ(run.end, ERAR_END_ARCHIVE);
        EXPECT_EQ(run.codes.size(), entries.size());
        for (const auto& [name, code] : run.codes)
            EXPECT_EQ(code, ERAR_SUCCESS) << name;
        EXPECT_EQ(volumeCalls.size(), volumes.size() - 1); // one notice per further volume, no question
        // The volumes kept open, the destination's folders and the file being written.
        EXPECT_LE(peakDescriptors - before, unrar_detail::VolumeSet::maxOpen + 4);
        EXPECT_EQ(testsupport::treeManifest(d / "out"), expected);
    }
}

// A file split over a dozen volumes: its checksum is in the header of its last part, so once its
// data is in, the volumes behind it are read again. One of them, closed by then, is replaced on
// disk in the ways a volume can be: renamed over (even by an exact copy), rewritten in place at the
// same size, removed. It is never read: it is asked for, and when the callback gives up the file
// fails and nothing of it is left.
TEST(ManyVolumes, AVolumeReplacedBeforeItIsReopenedIsRefused) {
    enum class Swap { renamedOver, rewrittenInPlace, removed };
    for (RarFormat format : {RarFormat::rar4, RarFormat::rar5}) {
        for (Swap swap : {Swap::renamedOver, Swap::rewrittenInPlace, Swap::removed}) {
            SCOPED_TRACE(std::string(format == RarFormat::rar4 ? "RAR 4, " : "RAR 5, ") +
                         (swap == Swap::renamedOver        ? "renamed over"
                          : swap == Swap::rewrittenInPlace ? "rewritten in place"
                                                           : "removed"));
            ScratchDir d(testsupport::fastTempDir());
            const std::string a = testsupport::pattern(3000, 7);
            kitmaker::RarWriteOptions options;
            options.format = format;
            options.volumeSize = 256;
            const auto volumes = kitmaker::writeRar(
                (d / "set").string(), {RarEntry::file("a.bin", a), RarEntry::file("b.txt", "bee")}, options);
            const size_t victim = 1, trigger = victim + unrar_detail::VolumeSet::maxOpen + 2;
            ASSERT_GT(volumes.size(), trigger + 1);
            // The volumes were made a while ago, as those of a kit are.
            const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
            for (const std::string& v : volumes)
                ASSERT_EQ(::utimensat(AT_FDCWD, v.c_str(), past, 0), 0);

            onVolumeCall = [&](const std::string& name, int mode) {
                if (mode == RAR_VOL_NOTIFY && name == volumes[trigger]) {
                    const std::string& v = volumes[victim];
                    if (swap == Swap::renamedOver) {
                        // An exact copy, down to its modification time: only the inode tells.
                        testsupport::writeFile(d / "copy", testsupport::readFile(v));
                        EXPECT_EQ(::utimensat(AT_FDCWD, (d / "copy").c_str(), past, 0), 0);
                        fs::rename(d / "copy", v);
                    } else if (swap == Swap::rewrittenInPlace) {
                        const std::string other = testsupport::readFile(volumes[victim + 1]);
                        EXPECT_EQ(other.size(), fs::file_size(v));
                        const int fd = ::open(v.c_str(), O_WRONLY);
                        EXPECT_EQ(::pwrite(fd, other.data(), other.size(), 0),
                                  static_cast<ssize_t>(other.size()));
                        ::close(fd);
                    } else {
                        fs::remove(v);
                    }
                }
                return mode == RAR_VOL_NOTIFY ? 1 : 0; // gives up on anything asked for
            };
            const Result run = extract(volumes[0], d / "out");
            onVolumeCall = nullptr;
            const int refused = swap == Swap::removed ? ERAR_EOPEN : ERAR_BAD_ARCHIVE;
            EXPECT_EQ(run.codes, (std::map<std::string, int>{{"a.bin", refused}}));
            EXPECT_EQ(run.end, refused);
            ASSERT_FALSE(volumeCalls.empty());
            EXPECT_EQ(volumeCalls.back(), std::make_pair(RAR_VOL_ASK, volumes[victim]));
            EXPECT_TRUE(fs::is_empty(d / "out"));
        }
    }
}

// The same replacement found by the walk over the headers, when the file is skipped rather than
// extracted; and a volume put back as it was (the same file) is read on.
TEST(ManyVolumes, AReplacedVolumeIsFoundWhenSkippingAndTakenBackWhenItReturns) {
    for (bool putBack : {false, true}) {
        SCOPED_TRACE(putBack ? "put back" : "left replaced");
        ScratchDir d(testsupport::fastTempDir());
        const std::string a = testsupport::pattern(3000, 8);
        kitmaker::RarWriteOptions options;
        options.volumeSize = 256;
        const auto volumes = kitmaker::writeRar(
            (d / "set").string(), {RarEntry::file("a.bin", a), RarEntry::file("b.txt", "bee")}, options);
        const size_t victim = 1, trigger = victim + unrar_detail::VolumeSet::maxOpen + 2;
        ASSERT_GT(volumes.size(), trigger + 1);
        onVolumeCall = [&](const std::string& name, int mode) {
            const std::string& v = volumes[victim];
            if (mode == RAR_VOL_NOTIFY && name == volumes[trigger]) {
                // The original moves aside (the same file, under another name); a copy takes its place.
                fs::rename(v, d / "aside");
                testsupport::writeFile(v, testsupport::readFile(d / "aside"));
            }
            if (mode == RAR_VOL_ASK && putBack) {
                fs::rename(d / "aside", name);
                return 1;
            }
            return mode == RAR_VOL_NOTIFY ? 1 : 0;
        };
        const Result skipped = extract(volumes[0], d / "skip", RAR_SKIP);
        const auto skipCalls = volumeCalls;
        onVolumeCall = nullptr;
        EXPECT_NE(std::find(skipCalls.begin(), skipCalls.end(), std::make_pair(RAR_VOL_ASK, volumes[victim])),
                  skipCalls.end());
        if (putBack) {
            EXPECT_EQ(skipped.end, ERAR_END_ARCHIVE);
            EXPECT_EQ(skipped.codes,
                      (std::map<std::string, int>{{"a.bin", ERAR_SUCCESS}, {"b.txt", ERAR_SUCCESS}}));
            // Taken back, the set extracts whole.
            const Result again = extract(volumes[0], d / "out");
            EXPECT_EQ(again.end, ERAR_END_ARCHIVE);
            EXPECT_EQ(testsupport::readFile(d / "out/a.bin"), a);
        } else {
            EXPECT_EQ(skipped.end, ERAR_BAD_ARCHIVE);
            EXPECT_EQ(skipped.codes, (std::map<std::string, int>{{"a.bin", ERAR_SUCCESS}}));
        }
    }
}

// The volume being read is cut short on disk while it is read: what is missing is not taken for the
// end of the volume; the volume is asked for, and when the callback gives up the file fails.
TEST(ManyVolumes, AVolumeCutShortWhileItIsReadIsRefused) {
    ScratchDir d(testsupport::fastTempDir());
    const std::string a = testsupport::pattern(1500000, 9);
    kitmaker::RarWriteOptions options;
    options.volumeSize = 1000000;
    const auto volumes = kitmaker::writeRar((d / "set").string(), {RarEntry::file("a.bin", a)}, options);
    ASSERT_EQ(volumes.size(), 2u);
    bool cut = false;
    std::string name = volumes[0], target = (d / "out").string();
    fs::create_directories(d / "out");
    RAROpenArchiveData od{};
    od.ArcName = name.data();
    HANDLE h = RAROpenArchive(&od);
    ASSERT_NE(h, nullptr);
    volumeCalls.clear();
    onVolumeCall = [](const std::string&, int mode) { return mode == RAR_VOL_NOTIFY ? 1 : 0; };
    RARSetChangeVolProc(h, onVolume);
    static std::function<void()> firstData;
    firstData = [&] {
        if (!cut) fs::resize_file(volumes[0], 600000);
        cut = true;
    };
    RARSetProcessDataProc(h, [](unsigned char*, int) {
        firstData();
        return 1;
    });
    RARHeaderData hd{};
    ASSERT_EQ(RARReadHeader(h, &hd), ERAR_SUCCESS);
    EXPECT_EQ(RARProcessFile(h, RAR_EXTRACT, target.data(), nullptr), ERAR_BAD_ARCHIVE);
    EXPECT_EQ(RARCloseArchive(h), ERAR_SUCCESS);
    onVolumeCall = nullptr;
    firstData = nullptr;
    EXPECT_TRUE(cut);
    EXPECT_EQ(volumeCalls, (std::vector<std::pair<int, std::string>>{{RAR_VOL_ASK, volumes[0]}}));
    EXPECT_TRUE(fs::is_empty(d / "out"));
}
