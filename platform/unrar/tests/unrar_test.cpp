#include "../src/crc.h"
#include "../src/volumes.h"
#include "rarwriter.h"
#include "tree.h"
#include "unrar/unrar.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace fs = std::filesystem;
using kitmaker::RarEntry;
using testsupport::ScratchDir;

namespace {

using testsupport::pattern;

struct Outcome {
    int openResult = 0;
    int end = 0;                      // the code that ended the header loop
    std::map<std::string, int> codes; // per stored name
    std::map<std::string, std::string> volumeOf;
};

std::vector<std::pair<int, std::string>> volumeCalls;
std::function<int(char*, int)> volumeHandler;
int64_t dataBytes = 0;
int PASCAL onVolume(char* name, int mode) {
    volumeCalls.emplace_back(mode, name);
    return volumeHandler ? volumeHandler(name, mode) : 1;
}
int PASCAL onData(unsigned char*, int size) {
    dataBytes += size;
    return 1;
}

Outcome extractAll(const fs::path& archive, const fs::path& dest, int operation = RAR_EXTRACT,
                   const char* password = nullptr) {
    volumeCalls.clear();
    dataBytes = 0;
    Outcome out;
    std::string name = archive.string();
    std::string target = dest.string();
    RAROpenArchiveData od{};
    od.ArcName = name.data();
    od.OpenMode = RAR_OM_EXTRACT;
    HANDLE h = RAROpenArchive(&od);
    out.openResult = static_cast<int>(od.OpenResult);
    if (!h) return out;
    RARSetChangeVolProc(h, onVolume);
    RARSetProcessDataProc(h, onData);
    if (password) RARSetPassword(h, const_cast<char*>(password));
    RARHeaderData hd{};
    while ((out.end = RARReadHeader(h, &hd)) == ERAR_SUCCESS) {
        out.codes[hd.FileName] = RARProcessFile(h, operation, target.data(), nullptr);
        out.volumeOf[hd.FileName] = fs::path(hd.ArcName).filename().string();
    }
    EXPECT_EQ(RARCloseArchive(h), ERAR_SUCCESS);
    return out;
}

std::vector<std::string> fixtureVolumes(const fs::path& dir, const std::string& stem) {
    std::vector<std::string> v;
    for (auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(stem + ".", 0) == 0 && e.path().extension() == ".rar")
            v.push_back(e.path().string());
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST(VolumeNames, FollowTheArchiverNaming) {
    using unrar_detail::nextVolumeName;
    EXPECT_EQ(nextVolumeName("/d/game.part1.rar"), "/d/game.part2.rar");
    EXPECT_EQ(nextVolumeName("/d/game.part01.rar"), "/d/game.part02.rar");
    EXPECT_EQ(nextVolumeName("/d/game.part09.rar"), "/d/game.part10.rar");
    EXPECT_EQ(nextVolumeName("/d/game.part9.rar"), "/d/game.part10.rar");
    EXPECT_EQ(nextVolumeName("/d/game.part99.rar"), "/d/game.part100.rar");
    EXPECT_EQ(nextVolumeName("/d/GAME.PART1.RAR"), "/d/GAME.PART2.RAR");
    EXPECT_EQ(nextVolumeName("/d/game.rar"), "/d/game.r00");
    EXPECT_EQ(nextVolumeName("/d/GAME.RAR"), "/d/GAME.R00");
    EXPECT_EQ(nextVolumeName("/d/game.r00"), "/d/game.r01");
    EXPECT_EQ(nextVolumeName("/d/game.r09"), "/d/game.r10");
    EXPECT_EQ(nextVolumeName("/d/game.r99"), "/d/game.s00");
    EXPECT_EQ(nextVolumeName("/d/my.part.files/game.rar"), "/d/my.part.files/game.r00");
}

TEST(Crc, MatchesZlibForEveryLengthAndAlignment) {
    std::string data = pattern(70000);
    for (size_t offset : {0, 1, 7, 15}) {
        for (size_t size = 0; size + offset <= data.size();
             size = size < 300 ? size + 1 : size * 3 / 2 + 17) {
            for (uint32_t seed : {0u, 0xDEADBEEFu}) {
                const auto* p = reinterpret_cast<const unsigned char*>(data.data() + offset);
                ASSERT_EQ(unrar_detail::dataCrc32(seed, p, size), ::crc32_z(seed, p, size))
                    << "size " << size << " offset " << offset;
            }
        }
    }
}

TEST(Fixtures, ExtractAsTheirManifestsSay) {
    fs::path dir = testsupport::rarFixtures();
    if (dir.empty()) GTEST_SKIP() << "no RAR fixtures in " << KIT_SHARED_DIR;
    for (auto& m : fs::directory_iterator(dir)) {
        if (m.path().extension() != ".manifest") continue;
        const std::string stem = m.path().stem().string();
        SCOPED_TRACE(stem);
        fs::path first = dir / (stem + ".rar");
        auto volumes = fixtureVolumes(dir, stem);
        if (!fs::exists(first)) first = volumes.front();
        ScratchDir out;
        Outcome o = extractAll(first, out.path());
        ASSERT_EQ(o.openResult, ERAR_SUCCESS);
        EXPECT_EQ(testsupport::treeManifest(out.path()), testsupport::readManifest(m.path()));
        if (stem.find("invalid") != std::string::npos) {
            bool failed = o.end != ERAR_END_ARCHIVE;
            for (auto& [name, code] : o.codes)
                failed = failed || code != ERAR_SUCCESS;
            EXPECT_TRUE(failed);
        } else if (stem.find("encrypted") != std::string::npos) {
            EXPECT_EQ(o.end, ERAR_END_ARCHIVE);
            EXPECT_EQ(o.codes["a.txt"], ERAR_SUCCESS);
            EXPECT_EQ(o.codes["b.txt"], ERAR_MISSING_PASSWORD);
            EXPECT_EQ(o.codes["c.txt"], ERAR_SUCCESS);
            EXPECT_EQ(o.codes["d.txt"], ERAR_MISSING_PASSWORD);
        } else {
            EXPECT_EQ(o.end, ERAR_END_ARCHIVE);
            for (auto& [name, code] : o.codes)
                EXPECT_EQ(code, ERAR_SUCCESS) << name;
        }
        if (volumes.size() > 1) {
            // Every further volume is announced once, in order, with its full path.
            ASSERT_EQ(volumeCalls.size(), volumes.size() - 1);
            for (size_t i = 1; i < volumes.size(); ++i)
                EXPECT_EQ(volumeCalls[i - 1], std::make_pair(RAR_VOL_NOTIFY, volumes[i]));
        }
    }
}

TEST(Fixtures, HeadersNameTheVolumeThatHoldsThem) {
    fs::path dir = testsupport::rarFixtures();
    if (dir.empty()) GTEST_SKIP() << "no RAR fixtures in " << KIT_SHARED_DIR;
    ScratchDir out;
    Outcome o = extractAll(dir / "test_read_format_rar5_multiarchive.part01.rar", out.path(), RAR_TEST);
    EXPECT_EQ(o.volumeOf["home/antek/temp/build/unrar5/libarchive/bin/bsdcat_test"],
              "test_read_format_rar5_multiarchive.part01.rar");
    EXPECT_EQ(o.volumeOf["home/antek/temp/build/unrar5/libarchive/bin/bsdtar_test"],
              "test_read_format_rar5_multiarchive.part03.rar");
    EXPECT_EQ(dataBytes, 144608 + 365672); // testing unpacks everything and writes nothing
    EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST(Fixtures, EncryptedEntriesWithAPasswordFailCleanly) {
    fs::path dir = testsupport::rarFixtures();
    if (dir.empty()) GTEST_SKIP() << "no RAR fixtures in " << KIT_SHARED_DIR;
    ScratchDir out;
    Outcome o = extractAll(dir / "test_read_format_rar5_encrypted.rar", out.path(), RAR_EXTRACT, "password");
    EXPECT_EQ(o.codes["b.txt"], ERAR_BAD_PASSWORD);
    EXPECT_EQ(testsupport::treeManifest(out.path()),
              testsupport::readManifest(dir / "test_read_format_rar5_encrypted.manifest"));
}

TEST(Open, ReportsMissingAndForeignFiles) {
    ScratchDir d;
    std::string missing = (d / "nothing.rar").string();
    RAROpenArchiveData od{};
    od.ArcName = missing.data();
    EXPECT_EQ(RAROpenArchive(&od), nullptr);
    EXPECT_EQ(od.OpenResult, static_cast<unsigned>(ERAR_EOPEN));

    std::string text = (d / "text.rar").string();
    FILE* f = std::fopen(text.c_str(), "wb");
    std::fputs("this is not an archive at all", f);
    std::fclose(f);
    od.ArcName = text.data();
    EXPECT_EQ(RAROpenArchive(&od), nullptr);
    EXPECT_EQ(od.OpenResult, static_cast<unsigned>(ERAR_BAD_ARCHIVE));
}

// The writer's archives read back through libarchive, as single archives and as sets in both styles.
TEST(Writer, ArchivesReadBackWithEveryKindOfEntry) {
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7919) >> 5);
    std::vector<RarEntry> entries = {
        RarEntry::directory("docs"),           RarEntry::file("docs/readme.txt", "hello, world\n"),
        RarEntry::file("data.bin", big, 0600), RarEntry::symlink("docs/link", "readme.txt"),
        RarEntry::file("empty", ""),           RarEntry::file("tail.txt", std::string(5000, 'x')),
    };
    std::vector<std::string> expected = {
        "dir docs",
        "file data.bin 300000 " + testsupport::sha256Hex(big),
        "file docs/readme.txt 13 " + testsupport::sha256Hex("hello, world\n"),
        "file empty 0 " + testsupport::sha256Hex(""),
        "file tail.txt 5000 " + testsupport::sha256Hex(std::string(5000, 'x')),
        "link docs/link -> readme.txt",
    };
    struct Case {
        uint64_t volumeSize;
        bool oldNaming;
        std::vector<std::string> names;
    };
    for (const Case& c :
         {Case{0, false, {"set.rar"}},
          Case{100000, false, {"set.part1.rar", "set.part2.rar", "set.part3.rar", "set.part4.rar"}},
          Case{30000, false, {}}, Case{100000, true, {"set.rar", "set.r00", "set.r01", "set.r02"}}}) {
        SCOPED_TRACE(c.volumeSize);
        ScratchDir d;
        auto written = kitmaker::writeRar((d / "set").string(), entries, {c.volumeSize, c.oldNaming});
        if (!c.names.empty()) {
            ASSERT_EQ(written.size(), c.names.size());
            for (size_t i = 0; i < written.size(); ++i)
                EXPECT_EQ(fs::path(written[i]).filename(), c.names[i]);
        } else {
            EXPECT_GT(written.size(), 10u);
            EXPECT_EQ(fs::path(written[0]).filename(), "set.part01.rar"); // numbers as wide as the last
        }
        for (auto& v : written) {
            if (c.volumeSize) {
                EXPECT_LE(fs::file_size(v), c.volumeSize);
            }
        }
        fs::create_directory(d / "out");
        Outcome o = extractAll(written[0], d / "out");
        EXPECT_EQ(o.end, ERAR_END_ARCHIVE);
        EXPECT_EQ(testsupport::treeManifest(d / "out"), expected);
        EXPECT_EQ(volumeCalls.size(), written.size() - 1);
        struct stat st {};
        ASSERT_EQ(::stat((d / "out/data.bin").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(st.st_mtime, 1262347200);

        // bsdtar, a reader we did not write, lists the same entries.
        if (std::system("command -v bsdtar >/dev/null 2>&1") == 0) {
            // bsdtar reads one file: a set is handed over joined, as one stream.
            std::string cmd = "cat";
            for (auto& v : written)
                cmd += " '" + v + "'";
            cmd += " | bsdtar -tvf - > '" + (d / "list.txt").string() + "' 2>&1";
            EXPECT_EQ(std::system(cmd.c_str()), 0) << testsupport::readFile(d / "list.txt");
            std::string list = testsupport::readFile(d / "list.txt");
            for (const char* name : {"docs/readme.txt", "data.bin", "docs/link -> readme.txt", "tail.txt"})
                EXPECT_NE(list.find(name), std::string::npos) << name << "\n" << list;
        }
    }
}

TEST(Volumes, AMissingVolumeIsAskedForUntilItIsBack) {
    ScratchDir d;
    std::string data(250000, 'q');
    auto written =
        kitmaker::writeRar((d / "set").string(),
                           {RarEntry::file("a.bin", data), RarEntry::file("b.txt", "bee")}, {100000, false});
    ASSERT_EQ(written.size(), 3u);
    fs::rename(written[1], d / "away");
    int asks = 0;
    volumeHandler = [&](char* name, int mode) {
        if (mode == RAR_VOL_ASK && ++asks == 2) fs::rename(d / "away", name); // the user inserts the disk
        return 1;
    };
    fs::create_directory(d / "out");
    Outcome o = extractAll(written[0], d / "out");
    volumeHandler = nullptr;
    EXPECT_EQ(o.codes["a.bin"], ERAR_SUCCESS);
    EXPECT_EQ(o.codes["b.txt"], ERAR_SUCCESS);
    std::vector<std::pair<int, std::string>> expected = {{RAR_VOL_ASK, written[1]},
                                                         {RAR_VOL_ASK, written[1]},
                                                         {RAR_VOL_NOTIFY, written[1]},
                                                         {RAR_VOL_NOTIFY, written[2]}};
    EXPECT_EQ(volumeCalls, expected);
    EXPECT_EQ(testsupport::readFile(d / "out/a.bin"), data);
}

TEST(Volumes, GivingUpOnAMissingVolumeLeavesNoPartialFile) {
    ScratchDir d;
    auto written = kitmaker::writeRar((d / "set").string(),
                                      {RarEntry::file("a.bin", std::string(250000, 'q'))}, {100000, true});
    ASSERT_EQ(written.size(), 3u);
    fs::remove(written[2]);
    volumeHandler = [](char*, int mode) { return mode == RAR_VOL_ASK ? 0 : 1; };
    fs::create_directory(d / "out");
    Outcome o = extractAll(written[0], d / "out");
    volumeHandler = nullptr;
    EXPECT_EQ(o.codes["a.bin"], ERAR_EOPEN);
    EXPECT_EQ(volumeCalls.back(), std::make_pair(RAR_VOL_ASK, (d / "set.r01").string()));
    EXPECT_TRUE(fs::is_empty(d / "out"));
}

TEST(Safety, NothingIsWrittenOutsideTheDestination) {
    ScratchDir d;
    const std::string absolute = (d / "abs-target").string();
    auto written =
        kitmaker::writeRar((d / "evil").string(), {
                                                      RarEntry::file("../../x", "escape"),
                                                      RarEntry::file("..\\..\\y", "escape"),
                                                      RarEntry::file(absolute, "absolute"),
                                                      RarEntry::file("C:\\windows\\z", "drive"),
                                                      RarEntry::symlink("etc", "/etc"),
                                                      RarEntry::file("etc/evil.conf", "through the link"),
                                                      RarEntry::symlink("up", "sub/../../.."),
                                                      RarEntry::file("up/w", "through the link"),
                                                      RarEntry::directory("sub"),
                                                      RarEntry::symlink("inside", "sub/../ok.txt"),
                                                      RarEntry::file("ok.txt", "fine"),
                                                      RarEntry::file("win\\style\\name.txt", "split"),
                                                  });
    fs::create_directories(d / "deep/target");
    Outcome o = extractAll(written[0], d / "deep/target");
    EXPECT_EQ(o.codes["../../x"], ERAR_ECREATE);
    EXPECT_EQ(o.codes[absolute], ERAR_ECREATE);
    EXPECT_EQ(o.codes["etc"], ERAR_ECREATE);
    EXPECT_EQ(o.codes["up"], ERAR_ECREATE);
    EXPECT_EQ(o.codes["ok.txt"], ERAR_SUCCESS);
    EXPECT_EQ(o.codes["inside"], ERAR_SUCCESS);
    EXPECT_FALSE(fs::exists(d / "x"));
    EXPECT_FALSE(fs::exists(d / "y"));
    EXPECT_FALSE(fs::exists(absolute));
    EXPECT_FALSE(fs::exists("/etc/evil.conf"));
    // Everything that was written is below the destination.
    std::vector<std::string> outside;
    for (auto& e : fs::recursive_directory_iterator(d.path()))
        if (e.path().string().rfind((d / "deep").string(), 0) != 0 && e.path() != written[0])
            outside.push_back(e.path().string());
    EXPECT_TRUE(outside.empty()) << outside.front();
    // The rest: files that had no link in the way, names split at backslashes too.
    auto tree = testsupport::treeManifest(d / "deep/target");
    for (auto& line : tree)
        EXPECT_EQ(line.find("escape"), std::string::npos);
    EXPECT_EQ(testsupport::readFile(d / "deep/target/ok.txt"), "fine");
    EXPECT_EQ(testsupport::readFile(d / "deep/target/win/style/name.txt"), "split");
    EXPECT_EQ(fs::read_symlink(d / "deep/target/inside"), "sub/../ok.txt");
}

TEST(Safety, AFileThroughALinkMadeByTheArchiveIsRefused) {
    ScratchDir d;
    fs::create_directories(d / "target/real");
    auto written = kitmaker::writeRar((d / "a").string(),
                                      {RarEntry::symlink("dir", "real"), RarEntry::file("dir/f", "x")});
    Outcome o = extractAll(written[0], d / "target");
    EXPECT_EQ(o.codes["dir"], ERAR_SUCCESS);
    EXPECT_EQ(o.codes["dir/f"], ERAR_ECREATE);
    EXPECT_TRUE(fs::is_empty(d / "target/real"));
}

TEST(Attributes, FoldersGetTheirModeAndTimeAfterTheirFiles) {
    ScratchDir d;
    RarEntry folder = RarEntry::directory("locked", 0555);
    folder.mtime = 1000000000;
    auto written = kitmaker::writeRar((d / "a").string(), {folder, RarEntry::file("locked/f", "x")});
    Outcome o = extractAll(written[0], d / "out");
    EXPECT_EQ(o.codes["locked/f"], ERAR_SUCCESS);
    struct stat st {};
    ASSERT_EQ(::stat((d / "out/locked").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0555u);
    EXPECT_EQ(st.st_mtime, 1000000000);
}

TEST(Volumes, AFileEndingWhereItsVolumeEndsIsFollowedByTheNext) {
    ScratchDir d;
    // The first volume holds exactly the first file: marker and main header (20 bytes), its header
    // (32 + name) and data, the end block (7).
    const std::string first(1000, 'a');
    const uint64_t volumeSize = 20 + 32 + 5 + first.size() + 7;
    auto written =
        kitmaker::writeRar((d / "set").string(),
                           {RarEntry::file("a.bin", first), RarEntry::file("b.bin", std::string(900, 'b')),
                            RarEntry::file("c.bin", "c")},
                           {volumeSize, false});
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(fs::file_size(written[0]), volumeSize);
    Outcome o = extractAll(written[0], d / "out");
    EXPECT_EQ(o.end, ERAR_END_ARCHIVE);
    EXPECT_EQ(o.codes, (std::map<std::string, int>{
                           {"a.bin", ERAR_SUCCESS}, {"b.bin", ERAR_SUCCESS}, {"c.bin", ERAR_SUCCESS}}));
    EXPECT_EQ(volumeCalls, (std::vector<std::pair<int, std::string>>{{RAR_VOL_NOTIFY, written[1]}}));
    EXPECT_EQ(o.volumeOf["a.bin"], "set.part1.rar");
    EXPECT_EQ(o.volumeOf["b.bin"], "set.part2.rar");
    EXPECT_EQ(testsupport::readFile(d / "out/c.bin"), "c");
}

TEST(Fixtures, AMissingRar5VolumeIsAskedForInTheMiddleOfAFile) {
    fs::path dir = testsupport::rarFixtures();
    if (dir.empty()) GTEST_SKIP() << "no RAR fixtures in " << KIT_SHARED_DIR;
    ScratchDir d;
    auto volumes = fixtureVolumes(dir, "test_read_format_rar5_multiarchive");
    ASSERT_EQ(volumes.size(), 8u);
    for (auto& v : volumes)
        fs::copy_file(v, d / fs::path(v).filename());
    const fs::path missing = d / "test_read_format_rar5_multiarchive.part05.rar";
    fs::rename(missing, d / "away");
    volumeHandler = [&](char* name, int mode) {
        if (mode == RAR_VOL_ASK) fs::rename(d / "away", name);
        return 1;
    };
    Outcome o = extractAll(d / "test_read_format_rar5_multiarchive.part01.rar", d / "out");
    volumeHandler = nullptr;
    EXPECT_EQ(o.end, ERAR_END_ARCHIVE);
    ASSERT_EQ(volumeCalls.size(), 8u);
    EXPECT_EQ(volumeCalls[3], std::make_pair(RAR_VOL_ASK, missing.string()));
    EXPECT_EQ(volumeCalls[4], std::make_pair(RAR_VOL_NOTIFY, missing.string()));
    EXPECT_EQ(testsupport::treeManifest(d / "out"),
              testsupport::readManifest(dir / "test_read_format_rar5_multiarchive.manifest"));
}

// Stored files are checked against their CRC: a damaged byte is bad data and leaves no file, also
// when the file is split over volumes (the CRC of the whole file is in its last part's header).
TEST(Damage, ACorruptStoredFileIsBadDataAndLeavesNothing) {
    for (uint64_t volumeSize : {0, 100000}) {
        SCOPED_TRACE(volumeSize);
        ScratchDir d;
        const std::string bad = std::string(125000, 'z') + std::string(125000, 'y');
        auto written = kitmaker::writeRar(
            (d / "a").string(),
            {RarEntry::file("good", "fine"), RarEntry::file("bad", bad), RarEntry::file("after", "ok")},
            {volumeSize, false});
        // Damage a byte of the second volume (or of the only one).
        const std::string& victim = written.size() > 1 ? written[1] : written[0];
        std::string bytes = testsupport::readFile(victim);
        const size_t at = bytes.find("zzzzzzzz");
        ASSERT_NE(at, std::string::npos);
        bytes[at + 1000] = 'Z';
        FILE* f = std::fopen(victim.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        Outcome o = extractAll(written[0], d / "out");
        EXPECT_EQ(o.codes, (std::map<std::string, int>{
                               {"good", ERAR_SUCCESS}, {"bad", ERAR_BAD_DATA}, {"after", ERAR_SUCCESS}}));
        EXPECT_EQ(testsupport::treeManifest(d / "out"),
                  (std::vector<std::string>{"file after 2 " + testsupport::sha256Hex("ok"),
                                            "file good 4 " + testsupport::sha256Hex("fine")}));
    }
}

TEST(Open, EncryptedHeadersNeedAPassword) {
    ScratchDir d;
    auto written = kitmaker::writeRar((d / "a").string(), {RarEntry::file("x", "1")});
    std::string bytes = testsupport::readFile(written[0]);
    bytes[10] = static_cast<char>(bytes[10] | 0x80); // main header flags: headers encrypted
    const uint32_t crc = kitmaker::rarCrc32(0, bytes.data() + 9, 11);
    bytes[7] = static_cast<char>(crc & 0xFF);
    bytes[8] = static_cast<char>((crc >> 8) & 0xFF);
    FILE* f = std::fopen(written[0].c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    RAROpenArchiveData od{};
    od.ArcName = const_cast<char*>(written[0].c_str());
    EXPECT_EQ(RAROpenArchive(&od), nullptr);
    EXPECT_EQ(od.OpenResult, static_cast<unsigned>(ERAR_MISSING_PASSWORD));
}
