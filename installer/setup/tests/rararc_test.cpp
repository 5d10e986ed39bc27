#include "setup/rararc.h"

#include "setup/extractreport.h"

#include "rarwriter.h"
#include "tree.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;
using kitmaker::RarEntry;
using testsupport::ScratchDir;

namespace {

// Records every event of a component as one line of text.
struct EventLog {
    std::vector<std::string> lines;
    std::vector<int> errors;

    void attach(TRAR& rar) {
        rar.OnExtracting = [this](TRAR& s, RARHeaderData& h) {
            EXPECT_EQ(TRAR::Running(), &s);
            lines.push_back(std::string("extracting ") + h.FileName);
        };
        rar.OnExtract = [this](TRAR&, RARHeaderData& h, bool ok) {
            lines.push_back(std::string("extract ") + h.FileName + (ok ? " ok" : " failed"));
        };
        rar.OnError = [this](TRAR&, int32_t e) {
            errors.push_back(e);
            lines.push_back("error " + testsupport::rarCodeName(e));
        };
        rar.OnVolumeChange = [this](TRAR&, const char* name, int32_t mode) {
            lines.push_back("volume " + std::to_string(mode) + " " + fs::path(name).filename().string());
            return 1;
        };
        rar.OnProcessData = [this](TRAR&, unsigned char*, int32_t size, int64_t pos) {
            lines.push_back("data " + std::to_string(size) + " " + std::to_string(pos));
            return 1;
        };
    }
};

int openFds() {
    int n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

std::string pattern(size_t n, int seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 131 + seed) ^ (i >> 9));
    return s;
}

} // namespace

TEST(SortedStrings, FindWholeNamesIgnoringCase) {
    TSortedStrings list{"Docs/ReadMe.txt", "b.txt", "A.TXT", "dir\\x.bin"};
    EXPECT_EQ(list[0], "A.TXT");
    EXPECT_EQ(list[3], "Docs/ReadMe.txt");
    EXPECT_TRUE(list.Contains("docs/readme.TXT"));
    EXPECT_TRUE(list.Contains("a.txt"));
    EXPECT_TRUE(list.Contains("DIR\\X.BIN"));
    EXPECT_FALSE(list.Contains("readme.txt"));
    EXPECT_FALSE(list.Contains("dir/x.bin"));
    EXPECT_FALSE(list.Contains("b.tx"));
}

TEST(Extract, EveryFixtureGivesItsManifest) {
    fs::path dir = testsupport::rarFixtures();
    if (dir.empty()) GTEST_SKIP() << "no RAR fixtures in " << KIT_SHARED_DIR;
    for (auto& m : fs::directory_iterator(dir)) {
        if (m.path().extension() != ".manifest") continue;
        const std::string stem = m.path().stem().string();
        SCOPED_TRACE(stem);
        fs::path first = dir / (stem + ".rar");
        if (!fs::exists(first)) first = dir / (stem + ".part01.rar");
        ScratchDir out;
        TRAR rar;
        EventLog log;
        log.attach(rar);
        rar.ArchiveName = first.string();
        rar.TargetDir = out.path().string();
        bool ok = rar.Extract();
        if (stem.find("encrypted") != std::string::npos) {
            // A password failure ends the operation: a.txt is out, b.txt failed and left nothing,
            // the files after it are not reached.
            EXPECT_FALSE(ok);
            EXPECT_EQ(log.errors, (std::vector<int>{ERAR_MISSING_PASSWORD}));
            EXPECT_EQ(testsupport::treeManifest(out.path()),
                      (std::vector<std::string>{testsupport::readManifest(m.path()).front()}));
            continue;
        }
        EXPECT_EQ(testsupport::treeManifest(out.path()), testsupport::readManifest(m.path()));
        if (stem.find("invalid") != std::string::npos) {
            EXPECT_FALSE(ok);
            EXPECT_FALSE(log.errors.empty());
        } else {
            EXPECT_TRUE(ok);
            EXPECT_TRUE(log.errors.empty());
        }
        EXPECT_EQ(TRAR::Running(), nullptr);
    }
}

TEST(Extract, EmptyArchiveNameIsABadArchive) {
    TRAR rar;
    EventLog log;
    log.attach(rar);
    EXPECT_FALSE(rar.Extract());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"error ERAR_BAD_ARCHIVE"}));
}

TEST(Extract, MissingFirstVolumeIsAnOpenError) {
    ScratchDir d;
    TRAR rar;
    EventLog log;
    log.attach(rar);
    rar.ArchiveName = (d / "game.part1.rar").string();
    rar.TargetDir = (d / "out").string();
    EXPECT_FALSE(rar.Extract());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"error ERAR_EOPEN"}));
    EXPECT_FALSE(fs::exists(d / "out"));
}

TEST(Extract, EventsComeInOrderAndPositionCountsEachFile) {
    ScratchDir d;
    const std::string a = pattern(2500000, 1); // several blocks, split over volumes
    auto volumes = kitmaker::writeRar(
        (d / "set").string(),
        {RarEntry::file("a.bin", a), RarEntry::directory("sub"), RarEntry::file("sub/b.txt", "bee")},
        {1000000, false});
    ASSERT_EQ(volumes.size(), 3u);
    TRAR rar;
    EventLog log;
    log.attach(rar);
    std::vector<int64_t> sizes;
    rar.OnExtracting = [&](TRAR& s, RARHeaderData& h) {
        log.lines.push_back(std::string("extracting ") + h.FileName);
        sizes.push_back(s.CurrentFileSize());
    };
    rar.ArchiveName = volumes[0];
    rar.TargetDir = (d / "out").string();
    EXPECT_TRUE(rar.Extract());

    // Per file: extracting, its blocks and volume changes, extracted. Position restarts with each file
    // and ends at its size.
    std::vector<std::string> shape;
    int64_t blockSum = 0, lastPos = 0;
    for (const auto& l : log.lines) {
        if (l.rfind("data ", 0) == 0) {
            int64_t size = std::stoll(l.substr(5));
            int64_t pos = std::stoll(l.substr(l.rfind(' ') + 1));
            blockSum += size;
            EXPECT_EQ(pos, blockSum);
            lastPos = pos;
            if (shape.back() != "data") shape.push_back("data");
            continue;
        }
        if (l.rfind("extract ", 0) == 0) {
            EXPECT_EQ(lastPos, blockSum);
            shape.push_back(l + " at " + std::to_string(lastPos));
            blockSum = lastPos = 0;
            continue;
        }
        shape.push_back(l);
    }
    std::vector<std::string> expected = {"extracting a.bin",
                                         "data",
                                         "volume 1 set.part2.rar",
                                         "data",
                                         "volume 1 set.part3.rar",
                                         "data",
                                         "extract a.bin ok at 2500000",
                                         "extracting sub",
                                         "extract sub ok at 0",
                                         "extracting sub/b.txt",
                                         "data",
                                         "extract sub/b.txt ok at 3"};
    EXPECT_EQ(shape, expected);
    EXPECT_EQ(sizes, (std::vector<int64_t>{2500000, 0, 3}));
    EXPECT_EQ(testsupport::readFile(d / "out/a.bin"), a);
    EXPECT_EQ(testsupport::readFile(d / "out/sub/b.txt"), "bee");
}

TEST(Extract, FilterChoosesWholeStoredPathsIgnoringCase) {
    ScratchDir d;
    auto v = kitmaker::writeRar((d / "a").string(),
                                {RarEntry::file("docs/readme.txt", "1"), RarEntry::file("readme.txt", "2"),
                                 RarEntry::file("Other.TXT", "3"),
                                 RarEntry::file("skip.bin", pattern(300000, 2))});
    TRAR rar;
    EventLog log;
    log.attach(rar);
    rar.OnProcessData = nullptr;
    rar.SetFilesToExtract({"DOCS/README.TXT", "other.txt", "missing.txt"});
    rar.ArchiveName = v[0];
    rar.TargetDir = (d / "out").string();
    EXPECT_TRUE(rar.Extract());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"extracting docs/readme.txt", "extract docs/readme.txt ok",
                                                   "extracting Other.TXT", "extract Other.TXT ok"}));
    EXPECT_EQ(testsupport::treeManifest(d / "out"),
              (std::vector<std::string>{"dir docs", "file Other.TXT 1 " + testsupport::sha256Hex("3"),
                                        "file docs/readme.txt 1 " + testsupport::sha256Hex("1")}));
}

TEST(Extract, StopSetBeforehandEndsAtTheFirstHeader) {
    ScratchDir d;
    auto v = kitmaker::writeRar((d / "a").string(), {RarEntry::file("x", "1"), RarEntry::file("y", "2")});
    TRAR rar;
    EventLog log;
    log.attach(rar);
    rar.ArchiveName = v[0];
    rar.TargetDir = (d / "out").string();
    rar.Stop = true;
    EXPECT_TRUE(rar.Extract());
    EXPECT_FALSE(rar.Stop);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_FALSE(fs::exists(d / "out/x"));
}

TEST(Extract, StopDuringAFileEndsBeforeTheNext) {
    ScratchDir d;
    auto v = kitmaker::writeRar((d / "a").string(),
                                {RarEntry::file("x", pattern(3000000, 3)), RarEntry::file("y", "2")});
    TRAR rar;
    rar.OnProcessData = [](TRAR& s, unsigned char*, int32_t, int64_t) {
        s.Stop = true; // as the dialog's Cancel does while a file is unpacked
        return 1;
    };
    rar.ArchiveName = v[0];
    rar.TargetDir = (d / "out").string();
    EXPECT_TRUE(rar.Extract());
    EXPECT_FALSE(rar.Stop);
    EXPECT_EQ(fs::file_size(d / "out/x"), 3000000u);
    EXPECT_FALSE(fs::exists(d / "out/y"));
}

TEST(Extract, AFileThatCannotBeCreatedDoesNotStopTheOthers) {
    ScratchDir d;
    auto v =
        kitmaker::writeRar((d / "a").string(), {RarEntry::file("first", "1"), RarEntry::file("blocked", "2"),
                                                RarEntry::file("last", "3")});
    fs::create_directories(d / "out/blocked/inside"); // a folder stands where the file should go
    TRAR rar;
    EventLog log;
    log.attach(rar);
    rar.OnProcessData = nullptr;
    rar.ArchiveName = v[0];
    rar.TargetDir = (d / "out").string();
    EXPECT_FALSE(rar.Extract());
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{"extracting first", "extract first ok", "extracting blocked",
                                        "extract blocked failed", "error ERAR_ECREATE", "extracting last",
                                        "extract last ok"}));
    EXPECT_EQ(testsupport::readFile(d / "out/last"), "3");
    EXPECT_TRUE(fs::is_directory(d / "out/blocked/inside"));
}

TEST(Extract, AMissingVolumeIsAskedForAndPutBack) {
    ScratchDir d;
    const std::string a = pattern(250000, 4);
    auto v = kitmaker::writeRar((d / "set").string(), {RarEntry::file("a.bin", a)}, {100000, true});
    ASSERT_EQ(v.size(), 3u);
    fs::rename(v[1], d / "elsewhere");
    TRAR rar;
    std::vector<std::string> calls;
    rar.OnVolumeChange = [&](TRAR&, const char* name, int32_t mode) {
        calls.push_back(std::to_string(mode) + " " + name);
        if (mode == RAR_VOL_ASK) fs::rename(d / "elsewhere", name);
        return 1;
    };
    rar.ArchiveName = v[0];
    rar.TargetDir = (d / "out").string();
    EXPECT_TRUE(rar.Extract());
    EXPECT_EQ(calls, (std::vector<std::string>{"0 " + v[1], "1 " + v[1], "1 " + v[2]}));
    EXPECT_EQ(testsupport::readFile(d / "out/a.bin"), a);
}

TEST(Extract, RefusingAMissingVolumeEndsWithAnErrorAndNoFile) {
    ScratchDir d;
    auto v = kitmaker::writeRar((d / "set").string(), {RarEntry::file("a.bin", pattern(250000, 5))},
                                {100000, false});
    fs::remove(v[2]);
    TRAR rar;
    EventLog log;
    log.attach(rar);
    rar.OnProcessData = nullptr;
    rar.OnVolumeChange = [&](TRAR&, const char* name, int32_t mode) {
        log.lines.push_back("volume " + std::to_string(mode) + " " + fs::path(name).filename().string());
        return mode == RAR_VOL_ASK ? 0 : 1;
    };
    rar.ArchiveName = v[0];
    rar.TargetDir = (d / "out").string();
    EXPECT_FALSE(rar.Extract());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"extracting a.bin", "volume 1 set.part2.rar",
                                                   "volume 0 set.part3.rar", "extract a.bin failed",
                                                   "error ERAR_EOPEN"}));
    EXPECT_TRUE(fs::is_empty(d / "out"));
}

// A long file over floppy-sized volumes: a volume left behind (and closed) is replaced on disk
// before the file's checksum sends the reader back to it. The unattended mode's answer (give up on
// what is asked for) ends the run with the replaced volume named.
TEST(Extract, AVolumeReplacedDuringTheRunIsNamedInTheFailure) {
    ScratchDir d;
    const auto v = kitmaker::writeRar((d / "set").string(),
                                      {RarEntry::file("a.bin", pattern(20000, 9)), RarEntry::file("b", "b")},
                                      {1000, false});
    ASSERT_GT(v.size(), 12u);
    TRAR rar;
    TExtractReport report;
    report.Start(v[0]);
    rar.OnExtracting = [&](TRAR&, RARHeaderData& h) { report.FileStarted(h); };
    rar.OnError = [&](TRAR& r, int32_t code) { report.Error(r, code); };
    rar.OnVolumeChange = [&](TRAR&, const char* name, int32_t mode) -> int32_t {
        report.Volume(name, mode);
        if (mode == RAR_VOL_NOTIFY && name == v[12]) {
            testsupport::writeFile(d / "copy", testsupport::readFile(v[2]));
            fs::rename(d / "copy", v[2]);
        }
        return mode == RAR_VOL_ASK ? 0 : 1;
    };
    rar.ArchiveName = v[0];
    rar.TargetDir = (d / "out").string();
    const bool ok = rar.Extract();
    report.Finished(ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(report.Failure(), "The archive volume " + v[2] +
                                    " is damaged or belongs to another archive (while extracting a.bin)");
    EXPECT_TRUE(fs::is_empty(d / "out"));
}

TEST(Extract, HandlerExceptionsLeaveExtractWithTheArchiveClosed) {
    ScratchDir d;
    auto v = kitmaker::writeRar((d / "set").string(),
                                {RarEntry::file("a.bin", pattern(250000, 6)), RarEntry::file("b", "b")},
                                {100000, false});
    const int fdsBefore = openFds();
    for (int where = 0; where < 3; ++where) {
        SCOPED_TRACE(where);
        TRAR rar;
        rar.ArchiveName = v[0];
        rar.TargetDir = (d / "out").string();
        if (where == 0) rar.OnExtracting = [](TRAR&, RARHeaderData&) { throw std::runtime_error("boom"); };
        if (where == 1)
            rar.OnProcessData = [](TRAR&, unsigned char*, int32_t, int64_t) -> int32_t {
                throw std::runtime_error("boom");
            };
        if (where == 2)
            rar.OnVolumeChange = [](TRAR&, const char*, int32_t) -> int32_t {
                throw std::runtime_error("boom");
            };
        EXPECT_THROW(rar.Extract(), std::runtime_error);
        EXPECT_EQ(TRAR::Running(), nullptr);
        EXPECT_EQ(openFds(), fdsBefore);
        EXPECT_FALSE(fs::exists(d / "out/a.bin")); // the interrupted file is not left half written
    }
    TRAR again;
    again.ArchiveName = v[0];
    again.TargetDir = (d / "out").string();
    EXPECT_TRUE(again.Extract());
    EXPECT_EQ(openFds(), fdsBefore);
}

TEST(Extract, CancelFromTheDataHandlerRemovesTheFile) {
    ScratchDir d;
    auto v = kitmaker::writeRar((d / "a").string(),
                                {RarEntry::file("big", pattern(3000000, 7)), RarEntry::file("y", "2")});
    TRAR rar;
    EventLog log;
    log.attach(rar);
    rar.OnProcessData = [](TRAR&, unsigned char*, int32_t, int64_t) { return 0; };
    rar.ArchiveName = v[0];
    rar.TargetDir = (d / "out").string();
    EXPECT_FALSE(rar.Extract());
    EXPECT_EQ(log.errors, (std::vector<int>{ERAR_UNKNOWN}));
    EXPECT_TRUE(fs::is_empty(d / "out"));
}

TEST(Extract, PasswordIsAskedForEncryptedFiles) {
    fs::path dir = testsupport::rarFixtures();
    if (dir.empty()) GTEST_SKIP() << "no RAR fixtures in " << KIT_SHARED_DIR;
    ScratchDir out;
    TRAR rar;
    EventLog log;
    log.attach(rar);
    std::vector<std::string> asked;
    rar.OnReqPassword = [&](TRAR&, RARHeaderData& h, std::string& password) {
        asked.push_back(std::string(h.FileName) + " [" + password + "]");
        password = "secret";
    };
    rar.ArchiveName = (dir / "test_read_format_rar4_encrypted.rar").string();
    rar.TargetDir = out.path().string();
    EXPECT_FALSE(rar.Extract());
    EXPECT_EQ(asked, (std::vector<std::string>{"b.txt []"}));
    EXPECT_EQ(log.errors, (std::vector<int>{ERAR_BAD_PASSWORD}));
    EXPECT_EQ(testsupport::treeManifest(out.path()),
              (std::vector<std::string>{
                  testsupport::readManifest(dir / "test_read_format_rar4_encrypted.manifest").front()}));
}

TEST(Extract, MaliciousNamesWriteNothingOutsideTheTarget) {
    ScratchDir d;
    const std::string absolute = (d / "absolute-x").string();
    auto v = kitmaker::writeRar((d / "evil").string(),
                                {RarEntry::file("../../x", "1"), RarEntry::file(absolute, "2"),
                                 RarEntry::symlink("etc", "/etc"), RarEntry::file("etc/kit-evil", "3"),
                                 RarEntry::file("good", "4")});
    fs::create_directories(d / "a/b/target");
    TRAR rar;
    EventLog log;
    log.attach(rar);
    rar.ArchiveName = v[0];
    rar.TargetDir = (d / "a/b/target").string();
    EXPECT_FALSE(rar.Extract());
    EXPECT_EQ(log.errors, (std::vector<int>{ERAR_ECREATE, ERAR_ECREATE, ERAR_ECREATE}));
    EXPECT_FALSE(fs::exists(d / "x"));
    EXPECT_FALSE(fs::exists(d / "a/x"));
    EXPECT_FALSE(fs::exists(absolute));
    EXPECT_FALSE(fs::exists("/etc/kit-evil"));
    EXPECT_EQ(testsupport::treeManifest(d / "a/b/target"),
              (std::vector<std::string>{"dir etc", "file etc/kit-evil 1 " + testsupport::sha256Hex("3"),
                                        "file good 1 " + testsupport::sha256Hex("4")}));
}
