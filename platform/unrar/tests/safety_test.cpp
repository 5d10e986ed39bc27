// The pieces of the archive layer that keep a hostile archive or caller harmless: names decoded
// without the locale, links resolved against the disk, modes through the umask, handles that fail
// closed, callbacks that cannot unwind through the library.
#include "../src/diskwriter.h"
#include "../src/names.h"
#include "rarwriter.h"
#include "tree.h"
#include "unrar/unrar.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using kitmaker::RarEntry;
using testsupport::ScratchDir;
using namespace unrar_detail;

namespace {

std::string field(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

// Opens `archive`, reads every header and extracts it into `dest`; the code of each step in order.
std::vector<std::string> walk(const std::string& archive, const fs::path& dest) {
    std::vector<std::string> steps;
    std::string name = archive, target = dest.string();
    RAROpenArchiveData od{};
    od.ArcName = name.data();
    HANDLE h = RAROpenArchive(&od);
    if (!h) return {"open " + testsupport::rarCodeName(static_cast<int>(od.OpenResult))};
    RARHeaderData hd{};
    int r;
    while ((r = RARReadHeader(h, &hd)) == ERAR_SUCCESS)
        steps.push_back(std::string(hd.FileName) + " " +
                        testsupport::rarCodeName(RARProcessFile(h, RAR_EXTRACT, target.data(), nullptr)));
    steps.push_back("end " + testsupport::rarCodeName(r));
    RARCloseArchive(h);
    return steps;
}

} // namespace

TEST(Names, Rar4UnicodeFieldIsDecodedWithoutTheLocale) {
    // "日本": both bytes of each character given (flag pairs 10 10).
    EXPECT_EQ(rar4UnicodeName(field({'?', '?', 0, 0x00, 0xA0, 0xE5, 0x65, 0x2C, 0x67})), "日本");
    // "あい": low bytes with the common high byte 0x30 (flag pairs 01 01).
    EXPECT_EQ(rar4UnicodeName(field({'?', '?', 0, 0x30, 0x50, 0x42, 0x44})), "あい");
    // A run copied from the 8-bit name, then one shifted by a correction with the high byte.
    EXPECT_EQ(rar4UnicodeName(field({'a', 'b', 'c', 0, 0x00, 0xC0, 0x01})), "abc");
    EXPECT_EQ(rar4UnicodeName(field({'A', 'B', 0, 0x04, 0xC0, 0x80, 0x00})), "\u0441\u0442"); // 0x441, 0x442
    // Without a zero byte the field is UTF-8; a field that decodes to nothing keeps its 8-bit name.
    EXPECT_EQ(rar4UnicodeName("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(rar4UnicodeName(field({'x', 0})), "x");
    // Broken encodings end the name where they break; nothing reads past the field.
    EXPECT_EQ(rar4UnicodeName(field({'?', 0, 0x00, 0x80, 0xE5})), "?");
    EXPECT_EQ(rar4UnicodeName(field({'a', 'b', 0, 0x00, 0xC0, 0x7F})), "ab"); // a run longer than the name
}

TEST(Names, EightBitNamesAreReadAsTheOemCodePage) {
    EXPECT_EQ(eightBitName("plain/name.txt"), "plain/name.txt");
    EXPECT_EQ(eightBitName("caf\xC3\xA9"), "caf\xC3\xA9");     // UTF-8 already
    EXPECT_EQ(eightBitName("caf\x82"), "caf\xC3\xA9");         // CP437 é
    EXPECT_EQ(eightBitName("\xE9t\xE9"), "\xCE\x98t\xCE\x98"); // Latin-1 é is CP437 Θ: never dropped
    EXPECT_EQ(oemToUtf8("\xC9\xCD\xBB"), "\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97"); // ╔═╗
    EXPECT_EQ(utf8Prefix("ab\xE6\x97\xA5", 4), 2u); // never cut inside a character
    EXPECT_EQ(utf8Prefix("ab\xE6\x97\xA5", 5), 5u);
}

namespace {

// A folder tree for the link checks: real folders, a link to the folder itself, a deep link back to
// the top, a link out, a loop.
struct LinkTree {
    ScratchDir d;
    int root = -1;
    LinkTree() {
        fs::create_directories(d / "real/sub");
        fs::create_directories(d / "d1/d2/d3/d4");
        testsupport::writeFile(d / "file.txt", "x");
        fs::create_directory_symlink(".", d / "a");
        fs::create_directory_symlink("../../../..", d / "d1/d2/d3/d4/b");
        fs::create_directory_symlink("/etc", d / "abs");
        fs::create_symlink("l2", d / "l1");
        fs::create_symlink("l1", d / "l2");
        root = ::open(d.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    ~LinkTree() { ::close(root); }
    bool inside(std::vector<std::string> dir, const std::string& target) const {
        return linkStaysInside(root, dir, target);
    }
};

} // namespace

TEST(Links, TargetsAreResolvedAgainstTheDiskNotAsText) {
    LinkTree t;
    // Inside: plain names, ".." over real folders, a followed link with plain names after it, and
    // names that do not exist yet.
    EXPECT_TRUE(t.inside({}, "file.txt"));
    EXPECT_TRUE(t.inside({"real"}, "../file.txt"));
    EXPECT_TRUE(t.inside({"real"}, "sub/../../real/sub"));
    EXPECT_TRUE(t.inside({"d1", "d2", "d3", "d4"}, "../../../.."));
    EXPECT_TRUE(t.inside({}, "d1/d2/d3/d4/b/file.txt"));
    EXPECT_TRUE(t.inside({}, "a"));
    EXPECT_TRUE(t.inside({}, "not/yet/there"));
    // Outside, or able to lead outside once later entries change what a name is.
    EXPECT_FALSE(t.inside({}, "a/../outside.txt"));                        // a -> . then up
    EXPECT_FALSE(t.inside({}, "d1/d2/d3/d4/b/../../../../../etc/passwd")); // deep link then up
    EXPECT_FALSE(t.inside({}, "a/real/../.."));                            // up after a link
    EXPECT_FALSE(t.inside({}, "missing/../../x"));                         // up over a name not there
    EXPECT_FALSE(t.inside({}, "missing/.."));
    EXPECT_FALSE(t.inside({"d1"}, "../.."));
    EXPECT_FALSE(t.inside({}, ".."));
    EXPECT_FALSE(t.inside({}, "abs/passwd")); // through a link that leads out
    EXPECT_FALSE(t.inside({}, "abs"));
    EXPECT_FALSE(t.inside({}, "file.txt/x")); // names below a file
    EXPECT_FALSE(t.inside({}, "l1"));         // a loop
    for (const char* absolute : {"/etc/passwd", "\\etc", "C:/Windows", "c:x", ""})
        EXPECT_FALSE(t.inside({}, absolute)) << absolute;
}

// The two chains, through the archive layer: the second link of each is refused, and every
// link left below the destination resolves inside it.
TEST(Links, ChainsThatLeaveTheDestinationAreRefused) {
    ScratchDir d;
    testsupport::writeFile(d / "outside.txt", "host file");
    auto v = kitmaker::writeRar((d / "chain").string(),
                                {RarEntry::symlink("a", "."), RarEntry::symlink("e", "a/../outside.txt"),
                                 RarEntry::directory("d1/d2/d3/d4"),
                                 RarEntry::symlink("d1/d2/d3/d4/b", "../../../.."),
                                 RarEntry::symlink("c", "d1/d2/d3/d4/b/../../../../../etc/passwd"),
                                 RarEntry::symlink("ok", "d1/d2/d3/d4/b/d1")});
    fs::create_directory(d / "target");
    EXPECT_EQ(walk(v[0], d / "target"),
              (std::vector<std::string>{"a ERAR_SUCCESS", "e ERAR_ECREATE", "d1/d2/d3/d4 ERAR_SUCCESS",
                                        "d1/d2/d3/d4/b ERAR_SUCCESS", "c ERAR_ECREATE", "ok ERAR_SUCCESS",
                                        "end ERAR_END_ARCHIVE"}));
    EXPECT_FALSE(fs::is_symlink(d / "target/e"));
    EXPECT_FALSE(fs::is_symlink(d / "target/c"));
    EXPECT_EQ(testsupport::linksLeavingTree(d / "target"), std::vector<std::string>{});
}

TEST(Modes, GoThroughTheUmaskWithoutSetIdBits) {
    ScratchDir d;
    auto v = kitmaker::writeRar((d / "m").string(),
                                {RarEntry::directory("open", 0777), RarEntry::file("open/all", "x", 0777),
                                 RarEntry::file("setuid", "y", 04755), RarEntry::file("setgid", "z", 02775)});
    const mode_t saved = ::umask(077);
    const auto steps = walk(v[0], d / "out");
    ::umask(saved);
    EXPECT_EQ(steps.back(), "end ERAR_END_ARCHIVE");
    auto mode = [&](const char* name) {
        struct stat st {};
        ::lstat((d / "out" / name).c_str(), &st);
        return st.st_mode & 07777;
    };
    EXPECT_EQ(mode("open"), 0700u);
    EXPECT_EQ(mode("open/all"), 0700u);
    EXPECT_EQ(mode("setuid"), 0700u);
    EXPECT_EQ(mode("setgid"), 0700u);
    ::umask(022);
    walk(v[0], d / "out2");
    ::umask(saved);
    struct stat st {};
    ::lstat((d / "out2/setuid").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0755u); // never set-user-id
}

namespace {

HANDLE gHandle = nullptr;
int gInner = -1;

int PASCAL throwingData(unsigned char*, int) {
    throw std::runtime_error("thrown by a callback");
}
int PASCAL throwingVolume(char*, int) {
    throw std::runtime_error("thrown inside libarchive's read");
}
int PASCAL closingData(unsigned char*, int) {
    gInner = RARCloseArchive(gHandle);
    return 1;
}
int PASCAL reenteringData(unsigned char*, int) {
    RARHeaderData hd{};
    gInner = RARReadHeader(gHandle, &hd);
    return 1;
}

HANDLE openArchive(const std::string& path) {
    std::string name = path;
    RAROpenArchiveData od{};
    od.ArcName = name.data();
    return RAROpenArchive(&od);
}

} // namespace

TEST(Handles, StaleDoubledAndForeignHandlesFailClosed) {
    ScratchDir d;
    auto v = kitmaker::writeRar((d / "h").string(), {RarEntry::file("f", "data")});
    HANDLE h = openArchive(v[0]);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(RARCloseArchive(h), ERAR_SUCCESS);
    EXPECT_EQ(RARCloseArchive(h), ERAR_ECLOSE);
    RARHeaderData hd{};
    EXPECT_EQ(RARReadHeader(h, &hd), ERAR_BAD_ARCHIVE);
    EXPECT_EQ(RARProcessFile(h, RAR_EXTRACT, nullptr, nullptr), ERAR_BAD_ARCHIVE);
    RARSetProcessDataProc(h, throwingData); // ignored
    HANDLE again = openArchive(v[0]);
    EXPECT_NE(again, h); // a handle is never reused, so the old one cannot reach the new archive
    EXPECT_EQ(RARReadHeader(h, &hd), ERAR_BAD_ARCHIVE);
    EXPECT_EQ(RARReadHeader(again, &hd), ERAR_SUCCESS);
    EXPECT_EQ(RARCloseArchive(again), ERAR_SUCCESS);
    for (HANDLE bad : {static_cast<HANDLE>(nullptr), reinterpret_cast<HANDLE>(0xDEADBEEF)}) {
        EXPECT_EQ(RARReadHeader(bad, &hd), ERAR_BAD_ARCHIVE);
        EXPECT_EQ(RARCloseArchive(bad), ERAR_ECLOSE);
    }
}

TEST(Handles, CallbacksCannotUnwindReenterOrFreeARunningArchive) {
    ScratchDir d;
    auto v = kitmaker::writeRar(
        (d / "set").string(), {RarEntry::file("big", std::string(300000, 'b')), RarEntry::file("small", "s")},
        {100000, false});
    const std::string out = (d / "out").string();
    RARHeaderData hd{};

    // An exception from the data callback, and from the volume callback deep inside libarchive's
    // read, ends the file with a code; nothing is thrown to the caller and no part file stays.
    for (int which = 0; which < 2; ++which) {
        HANDLE h = openArchive(v[0]);
        if (which == 0) RARSetProcessDataProc(h, throwingData);
        if (which == 1) RARSetChangeVolProc(h, throwingVolume);
        ASSERT_EQ(RARReadHeader(h, &hd), ERAR_SUCCESS);
        int r = -1;
        EXPECT_NO_THROW(r = RARProcessFile(h, RAR_EXTRACT, const_cast<char*>(out.c_str()), nullptr));
        EXPECT_EQ(r, ERAR_UNKNOWN);
        EXPECT_EQ(RARCloseArchive(h), ERAR_SUCCESS);
        EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out));
    }

    // A callback that calls into the same archive gets a code, and the outer call goes on.
    gHandle = openArchive(v[0]);
    RARSetProcessDataProc(gHandle, reenteringData);
    ASSERT_EQ(RARReadHeader(gHandle, &hd), ERAR_SUCCESS);
    EXPECT_EQ(RARProcessFile(gHandle, RAR_EXTRACT, const_cast<char*>(out.c_str()), nullptr), ERAR_SUCCESS);
    EXPECT_EQ(gInner, ERAR_UNKNOWN);
    // One that closes it: the running call finishes on a live archive, every later call fails.
    RARSetProcessDataProc(gHandle, closingData);
    ASSERT_EQ(RARReadHeader(gHandle, &hd), ERAR_SUCCESS);
    EXPECT_EQ(RARProcessFile(gHandle, RAR_EXTRACT, const_cast<char*>(out.c_str()), nullptr), ERAR_SUCCESS);
    EXPECT_EQ(gInner, ERAR_SUCCESS);
    EXPECT_EQ(RARReadHeader(gHandle, &hd), ERAR_BAD_ARCHIVE);
    EXPECT_EQ(RARCloseArchive(gHandle), ERAR_ECLOSE);
    EXPECT_EQ(testsupport::readFile(d / "out/small"), "s");
}
