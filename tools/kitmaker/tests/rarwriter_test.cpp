// The RAR writer: what it writes is read back by libarchive, bsdtar and an independent header walk.
#include "rarcheck.h"
#include "rarheaders.h"
#include "rarwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace kitmaker;
using namespace rarcheck;
namespace fs = std::filesystem;

const RarFormat bothFormats[] = {RarFormat::rar4, RarFormat::rar5};

std::string formatName(RarFormat f) {
    return f == RarFormat::rar5 ? "RAR 5" : "RAR 4";
}

std::string pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& c : s) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return s;
}

// A small product: folders, files with several modes, an empty file, a link; RAR 5 adds a hard link.
std::vector<RarEntry> sampleEntries(RarFormat f, size_t bigSize = 300000) {
    std::vector<RarEntry> e = {
        RarEntry::directory("docs"),
        RarEntry::file("docs/readme.txt", "hello, world\n"),
        RarEntry::directory("bin", 0750),
        RarEntry::file("bin/run.sh", "#!/bin/sh\necho run\n", 0755),
        RarEntry::file("data.bin", pattern(bigSize, 1), 0600),
        RarEntry::file("empty", ""),
        RarEntry::symlink("docs/latest", "readme.txt"),
        RarEntry::file("tail.txt", std::string(std::min<size_t>(bigSize, 5000), 'x')),
    };
    if (f == RarFormat::rar5) e.push_back(RarEntry::hardlink("docs/copy.txt", "docs/readme.txt"));
    for (size_t i = 0; i < e.size(); ++i)
        e[i].mtime = 1262347200 + static_cast<int64_t>(i) * 3600;
    return e;
}

// Checks what libarchive read against the entries written (hard links carry no data of their own).
void expectSameEntries(const Listing& got, const std::vector<RarEntry>& want) {
    ASSERT_EQ(got.error, "");
    ASSERT_EQ(got.entries.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const Listed& g = got.entries[i];
        const RarEntry& w = want[i];
        SCOPED_TRACE(w.name);
        EXPECT_EQ(g.name, w.name);
        if (w.isHardlink()) {
            EXPECT_EQ(g.type, 'h');
            EXPECT_EQ(g.link, w.hardlinkTo);
            continue;
        }
        switch (w.kind) {
        case RarEntry::Kind::file:
            EXPECT_EQ(g.type, '-');
            EXPECT_EQ(g.content, w.source.empty() ? w.data : readFile(w.source));
            EXPECT_EQ(g.mode, w.mode);
            break;
        case RarEntry::Kind::directory:
            EXPECT_EQ(g.type, 'd');
            EXPECT_EQ(g.mode, w.mode);
            break;
        case RarEntry::Kind::symlink:
            EXPECT_EQ(g.type, 'l');
            EXPECT_EQ(g.link, w.data);
            break;
        }
    }
}

// The fields of `bsdtar -tvf` lines: mode, size, name (and " -> target" / " link to target").
struct TarLine {
    std::string mode, size, name;
};
std::vector<TarLine> bsdtarList(const std::string& command) {
    std::string out;
    EXPECT_EQ(run("LC_ALL=C.UTF-8 " + command, &out), 0) << command;
    std::vector<TarLine> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        std::istringstream f(line);
        TarLine t;
        std::string links, uid, gid, month, day, year;
        f >> t.mode >> links >> uid >> gid >> t.size >> month >> day >> year;
        std::getline(f >> std::ws, t.name);
        lines.push_back(t);
    }
    return lines;
}

std::string modeString(const RarEntry& e) {
    const char type = e.kind == RarEntry::Kind::directory ? 'd'
                      : e.kind == RarEntry::Kind::symlink ? 'l'
                                                          : '-'; // bsdtar shows hard links as files
    const uint32_t mode = e.kind == RarEntry::Kind::symlink ? 0777 : e.mode ? e.mode : 0644;
    std::string s(1, type);
    for (int bit = 8; bit >= 0; --bit)
        s += (mode >> bit) & 1 ? "rwx"[(8 - bit) % 3] : '-';
    return s;
}

TEST(RarWriter, BsdtarListsAndExtractsBothFormats) {
    if (!haveBsdtar()) GTEST_SKIP() << "bsdtar is not installed (package libarchive-tools)";
    for (RarFormat f : bothFormats) {
        SCOPED_TRACE(formatName(f));
        Scratch dir;
        const std::vector<RarEntry> entries = sampleEntries(f);
        RarWriteOptions o;
        o.format = f;
        const auto volumes = writeRar(dir / "a", entries, o);
        ASSERT_EQ(volumes, std::vector<std::string>{dir / "a.rar"});

        const std::vector<TarLine> lines = bsdtarList("bsdtar -tvf " + volumes[0]);
        ASSERT_EQ(lines.size(), entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const RarEntry& e = entries[i];
            EXPECT_EQ(lines[i].mode, modeString(e)) << e.name;
            std::string name = e.name;
            if (e.kind == RarEntry::Kind::symlink) name += " -> " + e.data;
            if (e.isHardlink()) name += " link to " + e.hardlinkTo;
            EXPECT_EQ(lines[i].name, name);
            if (e.kind == RarEntry::Kind::file) {
                EXPECT_EQ(lines[i].size, std::to_string(e.data.size())) << e.name; // 0 for the hard link
            }
        }

        fs::create_directory(dir / "out");
        ASSERT_EQ(run("LC_ALL=C.UTF-8 bsdtar -xf " + volumes[0] + " -C " + (dir / "out")), 0);
        for (const RarEntry& e : entries) {
            const std::string p = dir / ("out/" + e.name);
            struct stat st {};
            ASSERT_EQ(lstat(p.c_str(), &st), 0) << e.name;
            if (e.isHardlink()) {
                struct stat target {};
                ASSERT_EQ(stat((dir / ("out/" + e.hardlinkTo)).c_str(), &target), 0);
                EXPECT_EQ(st.st_ino, target.st_ino) << "a hard link, not a copy";
                EXPECT_EQ(readFile(p), "hello, world\n");
            } else if (e.kind == RarEntry::Kind::file) {
                EXPECT_EQ(readFile(p), e.data) << e.name;
                EXPECT_EQ(st.st_mode & 07777, e.mode) << e.name;
                EXPECT_EQ(st.st_mtime, e.mtime) << e.name;
            } else if (e.kind == RarEntry::Kind::symlink) {
                EXPECT_EQ(fs::read_symlink(p).string(), e.data);
            }
        }
        EXPECT_EQ(verifyChecksums(writeRarArchive(dir / "b", entries, o), f), "");
    }
}

TEST(RarWriter, Rar5StoresModesTimesAndBlake2sp) {
    Scratch dir;
    std::vector<RarEntry> entries = {RarEntry::file("suid", "x", 04755), RarEntry::file("old", "1969"),
                                     RarEntry::file("epoch", "0"), RarEntry::file("future", "2128"),
                                     RarEntry::file("big", pattern(200000, 2))};
    entries[1].mtime = -86400;
    entries[2].mtime = 0;
    entries[3].mtime = 5000000000;
    for (RarChecksum sum : {RarChecksum::crc32, RarChecksum::blake2sp}) {
        RarWriteOptions o;
        o.format = RarFormat::rar5;
        o.checksum = sum;
        o.volumeSize = 70000; // "big" is split twice
        const RarLayout layout =
            writeRarArchive(dir / (sum == RarChecksum::crc32 ? "crc" : "b2"), entries, o);
        ASSERT_EQ(layout.volumes.size(), 3u);
        EXPECT_EQ(verifyChecksums(layout, RarFormat::rar5), "");
        const Listing got = readWithLibarchive(layout.paths());
        expectSameEntries(got, entries);
        for (size_t i = 0; i < entries.size(); ++i)
            EXPECT_EQ(got.entries[i].mtime, entries[i].mtime) << entries[i].name;
    }
}

// Whether a volume other than the last ends between two entries (rather than inside a file's data).
// libarchive's RAR 4 reader takes the end block of such a volume for the end of the set.
bool endsBetweenEntries(const RarLayout& layout) {
    for (size_t v = 0; v + 1 < layout.volumes.size(); ++v) {
        const std::vector<RarBlock>& blocks = layout.volumes[v].blocks;
        const RarBlock& last = blocks[blocks.size() - 2];
        if (last.entry < 0 || !layout.find(RarBlock::Type::fileHeader, last.entry, last.part + 1))
            return true;
    }
    return false;
}

// Each entry's contents as the data pieces the layout points at hold them.
std::map<int, std::string> contentsFromLayout(const RarLayout& layout) {
    std::map<int, std::string> contents;
    for (const RarVolume& v : layout.volumes) {
        const std::string bytes = readFile(v.path);
        for (const RarBlock& b : v.blocks)
            if (b.type == RarBlock::Type::data) {
                EXPECT_EQ(b.entryOffset, contents[b.entry].size());
                contents[b.entry] += bytes.substr(b.offset, b.size);
            }
    }
    return contents;
}

// Every volume size from "header and one byte" up, and those that end a volume exactly at a
// header's or a data piece's end (or one byte either side): the set reads back whole.
TEST(RarWriter, VolumeSetsSplitAtEveryBoundary) {
    int readByLibarchive = 0, betweenEntries = 0;
    for (RarFormat f : bothFormats)
        for (bool oldNaming : {false, true}) {
            SCOPED_TRACE(formatName(f) + (oldNaming ? " old naming" : " part naming"));
            Scratch dir;
            const std::vector<RarEntry> entries = sampleEntries(f, 1500);
            RarWriteOptions o;
            o.format = f;
            o.oldNaming = oldNaming;
            const RarLayout single = writeRarArchive(dir / "single", entries, o);
            const uint64_t endSize = single.volumes[0].blocks.back().size;
            std::vector<uint64_t> sizes = {1000, 1499, 1600, 4096};
            for (const RarBlock& b : single.volumes[0].blocks)
                for (int delta : {-1, 0, 1})
                    if (b.type == RarBlock::Type::fileHeader || b.type == RarBlock::Type::data) {
                        sizes.push_back(b.offset + b.size + endSize + delta);
                    }
            for (uint64_t size : sizes) {
                SCOPED_TRACE("volume size " + std::to_string(size));
                o.volumeSize = size;
                const std::string base = dir / ("v" + std::to_string(size));
                RarLayout layout;
                try {
                    layout = writeRarArchive(base, entries, o);
                } catch (const std::exception& e) {
                    // only sizes below the largest header may be refused
                    EXPECT_LT(size, 120u) << e.what();
                    continue;
                }
                for (const RarVolume& v : layout.volumes)
                    EXPECT_LE(v.size, size) << v.path;
                const size_t n = layout.volumes.size();
                if (n > 1 && oldNaming) {
                    EXPECT_EQ(layout.volumes[0].path, base + ".rar");
                    EXPECT_EQ(layout.volumes[1].path, base + ".r00");
                } else if (n > 1) {
                    const std::string zeros(std::to_string(n).size() - 1, '0');
                    EXPECT_EQ(layout.volumes[0].path, base + ".part" + zeros + "1.rar");
                }
                EXPECT_EQ(verifyChecksums(layout, f), "");
                if (f == RarFormat::rar4 && endsBetweenEntries(layout)) {
                    ++betweenEntries;
                    const std::map<int, std::string> contents = contentsFromLayout(layout);
                    for (size_t i = 0; i < entries.size(); ++i) {
                        if (entries[i].kind != RarEntry::Kind::file) continue;
                        const auto found = contents.find(static_cast<int>(i));
                        EXPECT_EQ(found == contents.end() ? "" : found->second, entries[i].data);
                    }
                } else {
                    ++readByLibarchive;
                    expectSameEntries(readWithLibarchive(layout.paths()), entries);
                }
            }
        }
    std::printf("%d sets read by libarchive, %d RAR 4 sets with volumes ending between entries\n",
                readByLibarchive, betweenEntries);
}

TEST(RarWriter, Rar4StoresUnicodeNamesInTheUnicodeField) {
    Scratch dir;
    const std::string longAscii(200, 'a');
    std::vector<RarEntry> entries = {
        RarEntry::directory("日本語のフォルダ"),
        RarEntry::file("日本語のフォルダ/ファイル名.txt", "kanji and kana"),
        RarEntry::file("données/résumé.txt", "latin-1 letters"),
        RarEntry::file("\xF0\x9D\x84\x9E clef.txt", "outside the BMP"),
        RarEntry::file(longAscii + "ü", "a long ASCII run"),
        RarEntry::file("ascii.txt", "plain"),
    };
    for (RarFormat f : bothFormats) {
        SCOPED_TRACE(formatName(f));
        RarWriteOptions o;
        o.format = f;
        const RarLayout layout = writeRarArchive(dir / (f == RarFormat::rar5 ? "five" : "four"), entries, o);
        EXPECT_EQ(verifyChecksums(layout, f), "");
        expectSameEntries(readWithLibarchive(layout.paths()), entries);
        if (f == RarFormat::rar4) {
            for (size_t i = 0; i < entries.size(); ++i) {
                size_t v = 0;
                const RarBlock* h = layout.find(RarBlock::Type::fileHeader, static_cast<int>(i), 0, &v);
                ASSERT_NE(h, nullptr);
                const std::string bytes = readFile(layout.volumes[v].path).substr(h->offset, h->size);
                const bool unicode = bytes[4] & 0x02; // flag 0x200
                EXPECT_EQ(unicode, i + 1 != entries.size()) << entries[i].name;
            }
        }
    }
}

TEST(RarWriter, Rar4UnicodeNameFieldDecodesAsDescribed) {
    std::mt19937 rng(7);
    const char16_t ranges[][2] = {
        {0x20, 0x7E}, {0xA0, 0xFF}, {0x3040, 0x30FF}, {0x4E00, 0x4EFF}, {0x0400, 0x04FF}};
    for (int round = 0; round < 300; ++round) {
        std::u16string name;
        const int length = 1 + static_cast<int>(rng() % 300);
        while (static_cast<int>(name.size()) < length) {
            if (rng() % 20 == 0) { // a surrogate pair
                name += static_cast<char16_t>(0xD800 + rng() % 0x400);
                name += static_cast<char16_t>(0xDC00 + rng() % 0x400);
                continue;
            }
            const auto& r = ranges[rng() % 5];
            const int run = 1 + static_cast<int>(rng() % 12);
            for (int i = 0; i < run; ++i)
                name += static_cast<char16_t>(r[0] + rng() % (r[1] - r[0] + 1));
        }
        const std::string field = rarheaders::rar4UnicodeNameField(name);
        ASSERT_EQ(field.find('\0'), name.size());
        ASSERT_EQ(decodeRar4UnicodeName(field), name) << "round " << round;
    }
    std::u16string wide;
    EXPECT_TRUE(rarheaders::utf8ToUtf16("\xE6\x97\xA5\xF0\x9D\x84\x9E", wide));
    EXPECT_EQ(wide, (std::u16string{0x65E5, 0xD834, 0xDD1E}));
    for (const char* bad : {"\x82", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE6\x97"})
        EXPECT_FALSE(rarheaders::utf8ToUtf16(bad, wide)) << bad;
}

TEST(RarWriter, Rar4StoresEightBitNamesAsGiven) {
    Scratch dir;
    RarEntry utf8Raw = RarEntry::file("na\xC3\xAFve.txt", "raw utf-8");
    utf8Raw.rawName = true;
    const std::vector<RarEntry> entries = {RarEntry::file("caf\x82.txt", "CP437"),
                                           RarEntry::file("\xE9t\xE9.txt", "Latin-1"), utf8Raw};
    const RarLayout layout = writeRarArchive(dir / "a", entries, {});
    EXPECT_EQ(verifyChecksums(layout, RarFormat::rar4), "");
    const std::string bytes = readFile(layout.volumes[0].path);
    for (size_t i = 0; i < entries.size(); ++i) {
        const RarBlock* h = layout.find(RarBlock::Type::fileHeader, static_cast<int>(i));
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(bytes.substr(h->offset + 32, h->size - 32), entries[i].name);
        EXPECT_EQ(bytes[h->offset + 4] & 0x02, 0) << "no Unicode flag";
    }
    // libarchive reads the three; their names are the reader's business.
    const Listing got = readWithLibarchive(layout.paths());
    ASSERT_EQ(got.entries.size(), 3u);
    EXPECT_EQ(got.entries[1].content, "Latin-1");
}

// Contents streamed from disk, across volumes, with progress; the same bytes come back.
TEST(RarWriter, StreamsFilesFromDiskWithProgress) {
    Scratch dir;
    fs::create_directory(dir / "src");
    writeFile(dir / "src/big", pattern(9 << 20, 3)); // larger than the writer's buffer
    writeFile(dir / "src/small", "small");
    writeFile(dir / "src/empty", "");
    chmod((dir / "src/big").c_str(), 0640);
    symlink("big", (dir / "src/link").c_str());
    std::vector<RarEntry> entries;
    for (const char* name : {"big", "small", "empty", "link"})
        entries.push_back(RarEntry::fromDisk(name, dir / ("src/" + std::string(name))));
    entries.insert(entries.begin(), RarEntry::fromDisk("src", dir / "src"));
    EXPECT_EQ(entries[1].mode, 0640u);
    EXPECT_EQ(entries[4].kind, RarEntry::Kind::symlink);
    for (RarFormat f : bothFormats) {
        SCOPED_TRACE(formatName(f));
        std::vector<std::pair<uint64_t, uint64_t>> calls;
        RarWriteOptions o;
        o.format = f;
        o.volumeSize = 3 << 20;
        o.progress = [&](uint64_t done, uint64_t total) { calls.emplace_back(done, total); };
        const RarLayout layout = writeRarArchive(dir / (f == RarFormat::rar5 ? "five" : "four"), entries, o);
        EXPECT_EQ(layout.volumes.size(), 4u);
        EXPECT_EQ(verifyChecksums(layout, f), "");
        expectSameEntries(readWithLibarchive(layout.paths()), entries);
        const uint64_t total = (9 << 20) + 5 + (f == RarFormat::rar4 ? 3 : 0);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), std::make_pair(total, total));
        EXPECT_GE(calls.size(), 4u) << "progress during the big file";
        for (size_t i = 1; i < calls.size(); ++i)
            EXPECT_LE(calls[i - 1].first, calls[i].first);
    }
}

// Every failure names the path at fault and leaves nothing of the set behind.
TEST(RarWriter, FailuresNameThePathAndLeaveNoVolumes) {
    Scratch dir;
    fs::create_directory(dir / "out");
    writeFile(dir / "grows", pattern(6 << 20, 4));
    writeFile(dir / "shrinks", pattern(6 << 20, 5));
    mkfifo((dir / "fifo").c_str(), 0644);
    const std::string base = dir / "out/set";
    struct Case {
        std::string what;
        std::vector<RarEntry> entries;
        RarWriteOptions options;
        std::string message;
        std::function<void(uint64_t, uint64_t)> during;
    };
    RarWriteOptions volumes;
    volumes.volumeSize = 1 << 20;
    RarWriteOptions rar5 = volumes;
    rar5.format = RarFormat::rar5;
    const RarEntry first = RarEntry::file("first", pattern(1500000, 6)); // fills the first volume
    std::vector<Case> cases = {
        {"missing source",
         {first, RarEntry::streamed("gone", dir / "nothing")},
         volumes,
         dir / "nothing",
         {}},
        {"folder as source",
         {RarEntry::streamed("d", dir / "out")},
         volumes,
         "not a regular file: " + dir / "out",
         {}},
        {"fifo as source",
         {RarEntry::streamed("f", dir / "fifo")},
         rar5,
         "not a regular file: " + dir / "fifo",
         {}},
        {"hard link in RAR 4", {RarEntry::hardlink("h", "first")}, {}, "RAR 5", {}},
        {"volume too small", {RarEntry::file(std::string(300, 'n'), "x")}, {100, false}, "too small", {}},
        {"grows while read",
         {first, RarEntry::streamed("grows", dir / "grows")},
         rar5,
         dir / "grows" + " changed size",
         [&](uint64_t done, uint64_t) {
             if (done > 2000000) writeFile(dir / "grows", pattern(7 << 20, 4));
         }},
        {"shrinks while read",
         {first, RarEntry::streamed("shrinks", dir / "shrinks")},
         volumes,
         dir / "shrinks" + " changed size",
         [&](uint64_t done, uint64_t) {
             if (done > 2000000) truncate((dir / "shrinks").c_str(), 100);
         }},
        {"changed before it was opened",
         {first, RarEntry::streamed("grows", dir / "grows")},
         volumes,
         dir / "grows" + " changed size",
         [&](uint64_t, uint64_t) { writeFile(dir / "grows", "short now"); }},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(dir / "grows", pattern(6 << 20, 4));
        writeFile(dir / "shrinks", pattern(6 << 20, 5));
        c.options.progress = c.during;
        try {
            writeRar(base, c.entries, c.options);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(folderNames(dir / "out"), std::vector<std::string>{});
    }
}

TEST(RarWriter, FullDiskIsAnErrorAndLeavesNoVolumes) {
    Scratch dir;
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1500000; // no file may grow beyond 1.5 MB
    RarWriteOptions o;
    o.volumeSize = 2000000;
    std::string error;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    try {
        writeRar(dir / "set",
                 {RarEntry::file("a", pattern(1000000, 8)), RarEntry::file("b", pattern(3000000, 9))}, o);
    } catch (const std::runtime_error& e) {
        error = e.what();
    }
    o.volumeSize = 0; // a single archive larger than the limit
    std::string single;
    try {
        writeRar(dir / "one", {RarEntry::file("b", pattern(3000000, 9))}, o);
    } catch (const std::runtime_error& e) {
        single = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_NE(error.find("cannot write " + dir / "set.part1.rar"), std::string::npos) << error;
    EXPECT_NE(single.find("cannot write " + dir / "one.rar"), std::string::npos) << single;
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{});
}

// A link at a volume's temporary or final name is replaced, never written through.
TEST(RarWriter, DoesNotWriteThroughLinksAtVolumeNames) {
    Scratch dir;
    writeFile(dir / "victim", "keep me");
    symlink((dir / "victim").c_str(), (dir / "a.rar.tmp").c_str());
    symlink((dir / "victim").c_str(), (dir / "b.rar").c_str());
    writeRar(dir / "a", {RarEntry::file("x", "archived")});
    writeRar(dir / "b", {RarEntry::file("x", "archived")});
    EXPECT_EQ(readFile(dir / "victim"), "keep me");
    EXPECT_FALSE(fs::is_symlink(dir / "b.rar"));
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"a.rar", "b.rar", "victim"}));
}

// The layout is exact: a byte flipped inside a data piece breaks that entry's CRC, a cut at a file
// boundary leaves exactly the files before it.
TEST(RarWriter, LayoutPointsAtHeadersAndData) {
    Scratch dir;
    const std::vector<RarEntry> entries = {RarEntry::file("one", "first file"),
                                           RarEntry::file("two", "second")};
    const RarLayout layout = writeRarArchive(dir / "a", entries, {});
    const RarVolume& v = layout.volumes[0];
    const std::string bytes = readFile(v.path);
    const RarBlock* data = layout.find(RarBlock::Type::data, 1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(bytes.substr(data->offset, data->size), "second");

    EXPECT_EQ(verifyChecksums(layout, RarFormat::rar4), "");
    std::string flipped = bytes;
    flipped[data->offset + 2] ^= 0x01;
    writeFile(v.path, flipped);
    EXPECT_NE(verifyChecksums(layout, RarFormat::rar4).find("entry 1 piece 0: CRC32 wrong"),
              std::string::npos);

    const RarBlock* second = layout.find(RarBlock::Type::fileHeader, 1);
    writeFile(dir / "cut.rar", bytes.substr(0, second->offset));
    const Listing cut = readWithLibarchive({dir / "cut.rar"});
    ASSERT_EQ(cut.entries.size(), 1u);
    EXPECT_EQ(cut.entries[0].content, "first file");
}

// A file over 4 GiB (sparse on disk) in both formats: 64-bit sizes in the headers, every byte back.
// Writes about 8.6 GB in all, so it runs only when KIT_RAR_LARGE_TEST=1.
TEST(RarWriter, FileOver4GiB) {
    if (!std::getenv("KIT_RAR_LARGE_TEST"))
        GTEST_SKIP() << "set KIT_RAR_LARGE_TEST=1 to write two 4 GiB archives";
    Scratch dir;
    const uint64_t size = (4ull << 30) + 5;
    {
        writeFile(dir / "sparse", "");
        ASSERT_EQ(truncate((dir / "sparse").c_str(), static_cast<off_t>(size - 5)), 0);
        FILE* f = std::fopen((dir / "sparse").c_str(), "ab");
        std::fputs("tail!", f);
        std::fclose(f);
    }
    for (RarFormat format : bothFormats) {
        SCOPED_TRACE(formatName(format));
        RarWriteOptions o;
        o.format = format;
        const RarLayout layout = writeRarArchive(
            dir / "big", {RarEntry::streamed("huge.bin", dir / "sparse"), RarEntry::file("after", "ok")}, o);
        if (haveBsdtar()) {
            const auto lines = bsdtarList("bsdtar -tvf " + layout.volumes[0].path);
            ASSERT_EQ(lines.size(), 2u);
            EXPECT_EQ(lines[0].size, std::to_string(size));
        }
        const RarBlock* data = layout.find(RarBlock::Type::data, 0);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->size, size);
        // RAR 4 data CRCs are checked by libarchive; the end of the data and the next file are where
        // a 32-bit size would have put them.
        const Listing got = readWithLibarchive(layout.paths(), false);
        EXPECT_EQ(got.error, "");
        ASSERT_EQ(got.entries.size(), 2u);
        EXPECT_EQ(got.entries[0].bytes, size);
        EXPECT_EQ(got.entries[0].content.substr(59), "tail!");
        EXPECT_EQ(got.entries[1].content, "ok");
        fs::remove(layout.volumes[0].path);
    }
}

} // namespace
