// What the writer makes, the installer's own archive layer (the UnRAR interface) lists and extracts.
#include "rarcheck.h"
#include "rarwriter.h"
#include "unrar/unrar.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace kitmaker;
using namespace rarcheck;

struct Read {
    int end = 0; // the code that ended the header loop
    std::vector<std::string> names;
    std::map<std::string, unsigned long long> sizes;
    std::map<std::string, int> results; // RARProcessFile per name
};

int PASCAL keepGoing(char*, int mode) {
    return mode == RAR_VOL_NOTIFY ? 1 : 0;
}

Read readWithUnrar(const std::string& first, const std::string& target = {}) {
    Read r;
    std::string name = first;
    std::string dest = target;
    RAROpenArchiveData od{};
    od.ArcName = name.data();
    od.OpenMode = target.empty() ? RAR_OM_LIST : RAR_OM_EXTRACT;
    HANDLE h = RAROpenArchive(&od);
    EXPECT_NE(h, nullptr) << first << ": open result " << od.OpenResult;
    if (!h) return r;
    RARSetChangeVolProc(h, keepGoing);
    RARHeaderData hd{};
    while ((r.end = RARReadHeader(h, &hd)) == ERAR_SUCCESS) {
        unsigned long long unp = 0, packed = 0;
        RARGetFileSize64(h, &unp, &packed);
        r.names.push_back(hd.FileName);
        r.sizes[hd.FileName] = unp;
        r.results[hd.FileName] = RARProcessFile(h, target.empty() ? RAR_SKIP : RAR_EXTRACT,
                                                target.empty() ? nullptr : dest.data(), nullptr);
    }
    RARCloseArchive(h);
    return r;
}

// Lists and extracts `entries` written in format `f`, as one archive and in volumes: one size splits
// inside data.bin (entry 2), the other ends the first volume exactly after it.
void expectReadBack(const std::vector<RarEntry>& entries, RarFormat f) {
    Scratch dir;
    RarWriteOptions o;
    o.format = f;
    const RarLayout single = writeRarArchive(dir / "single", entries, o);
    const RarBlock* data = single.find(RarBlock::Type::data, 2);
    ASSERT_NE(data, nullptr);
    const uint64_t afterData = data->offset + data->size + single.volumes[0].blocks.back().size;
    for (uint64_t volumeSize : {uint64_t{0}, uint64_t{40000}, afterData}) {
        SCOPED_TRACE("volume size " + std::to_string(volumeSize));
        o.volumeSize = volumeSize;
        const std::string base = dir / ("v" + std::to_string(volumeSize));
        const auto volumes = writeRar(base, entries, o);
        Read listed = readWithUnrar(volumes[0]);
        EXPECT_EQ(listed.end, ERAR_END_ARCHIVE);
        ASSERT_EQ(listed.names.size(), entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const RarEntry& e = entries[i];
            EXPECT_EQ(listed.names[i], e.name);
            if (e.kind == RarEntry::Kind::file) {
                EXPECT_EQ(listed.sizes[e.name], e.data.size()) << e.name;
            }
            EXPECT_EQ(listed.results.count(e.name) ? listed.results.at(e.name) : -1, ERAR_SUCCESS) << e.name;
        }
        const Read extracted = readWithUnrar(volumes[0], base + "-out");
        EXPECT_EQ(extracted.end, ERAR_END_ARCHIVE);
        for (const RarEntry& e : entries) {
            EXPECT_EQ(extracted.results.count(e.name) ? extracted.results.at(e.name) : -1, ERAR_SUCCESS)
                << e.name;
            if (e.kind == RarEntry::Kind::file) {
                EXPECT_EQ(readFile(base + "-out/" + e.name), e.data) << e.name;
            }
        }
    }
}

std::vector<RarEntry> sample(bool unicode, bool longTail) {
    std::vector<RarEntry> e = {
        RarEntry::directory("docs"),
        RarEntry::file("docs/readme.txt", "hello, world\n"),
        RarEntry::file("data.bin", std::string(150000, 'd'), 0600),
        RarEntry::file("empty", ""),
        RarEntry::symlink("docs/latest", "readme.txt"),
    };
    if (unicode) e.push_back(RarEntry::file("naïve/日本語.txt", "UTF-8 names"));
    if (longTail) e.push_back(RarEntry::file("tail.bin", std::string(3000, 't')));
    return e;
}

TEST(RarWriterWithOurReader, ListsAndExtractsRar5) {
    expectReadBack(sample(true, true), RarFormat::rar5);
}

TEST(RarWriterWithOurReader, ListsAndExtractsRar4WithAsciiNames) {
    expectReadBack(sample(false, true), RarFormat::rar4);
}

// RAR 4's Unicode name field, and a RAR 5 set whose last volume is smaller than the 512 bytes
// libarchive's RAR 5 reader looks ahead for the next volume.
TEST(RarWriterWithOurReader, ListsAndExtractsRar4UnicodeNames) {
    expectReadBack(sample(true, true), RarFormat::rar4);
}
TEST(RarWriterWithOurReader, ListsAndExtractsRar5WithAShortLastVolume) {
    expectReadBack(sample(true, false), RarFormat::rar5);
}

} // namespace
