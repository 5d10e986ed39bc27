// One table of archive cases, good and hostile, each installed twice: by the unattended mode and
// through the real extraction dialog (headless). Both must give the case's verdict, tell the same
// first failure naming the file or volume concerned, and leave the same files: nothing outside the
// target, no file half written, within a few seconds.
#include "desktop/application.h"
#include "desktop/services.h"
#include "framework/forms.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/chooserform.h"
#include "setup/extractform.h"
#include "setup/makedirform.h"
#include "setup/silentinstall.h"

#include "rarwriter.h"
#include "tree.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using kitmaker::RarBlock;
using kitmaker::RarEntry;
using kitmaker::RarFormat;
using kitmaker::RarLayout;
using kitmaker::RarWriteOptions;

namespace {

using testsupport::pattern;

// ---- archives and byte edits ----------------------------------------------------------------

void patch(const fs::path& file, uint64_t offset, const std::string& bytes) {
    std::string all = testsupport::readFile(file);
    all.replace(offset, bytes.size(), bytes);
    testsupport::writeFile(file, all);
}
void cut(const fs::path& file, uint64_t size) {
    fs::resize_file(file, size);
}
char byteAt(const fs::path& file, uint64_t offset) {
    return testsupport::readFile(file)[offset];
}
std::string le16(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string le32(uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// A header's CRC recomputed after an edit, so the edit is what the reader meets, not a CRC error.
void reseal(const fs::path& file, const RarBlock& header, RarFormat f) {
    std::string all = testsupport::readFile(file);
    if (f == RarFormat::rar4) {
        const uint32_t crc = kitmaker::rarCrc32(0, all.data() + header.offset + 2, header.size - 2);
        all.replace(header.offset, 2, le16(crc & 0xFFFF));
    } else {
        const uint32_t crc = kitmaker::rarCrc32(0, all.data() + header.offset + 4, header.size - 4);
        all.replace(header.offset, 4, le32(crc));
    }
    testsupport::writeFile(file, all);
}

// The distribution folder of one case: install.ini and the archive.
struct Kit {
    fs::path dir;
    std::string archive = "game.rar"; // FILERAR
    std::string files = "1";          // FILES
    RarLayout layout;
    std::vector<RarEntry> entries;
    std::vector<std::string> mentions; // more the failure message must hold, known once written
    fs::path volume(size_t i) const { return layout.volumes.at(i).path; }
    const RarBlock& block(RarBlock::Type t, int entry, int part = 0, size_t* v = nullptr) const {
        const RarBlock* b = layout.find(t, entry, part, v);
        if (!b) throw std::runtime_error("no such block");
        return *b;
    }
    const RarBlock& end(size_t v) const { return layout.volumes.at(v).blocks.back(); }

    void write(const std::vector<RarEntry>& e, RarFormat f, uint64_t volumeSize = 0, bool oldNaming = false,
               kitmaker::RarChecksum checksum = kitmaker::RarChecksum::crc32) {
        entries = e;
        RarWriteOptions o;
        o.format = f;
        o.volumeSize = volumeSize;
        o.oldNaming = oldNaming;
        o.checksum = checksum;
        layout = kitmaker::writeRarArchive((dir / "game").string(), e, o);
        archive = fs::path(layout.volumes[0].path).filename().string();
        files = std::to_string(layout.volumes.size());
    }
};

// Docs with a file and a link, a larger file (entry 2) and a small one after it.
std::vector<RarEntry> basic() {
    return {RarEntry::directory("docs"), RarEntry::file("docs/readme.txt", "hello\n"),
            RarEntry::file("data.bin", pattern(40000, 1)), RarEntry::symlink("docs/latest", "readme.txt"),
            RarEntry::file("tail.txt", "the end\n")};
}

// ---- the table -------------------------------------------------------------------------------

struct Case {
    std::string name;
    std::function<void(Kit&)> make;
    bool completes;
    std::vector<std::string> mentions; // in the failure message (file or volume names)
    std::vector<std::string> present;  // manifest lines that must be in the target
    std::vector<std::string> absent;   // names that must not be there
    // Prepares each target before the run (something standing in the way ...).
    std::function<void(const fs::path&)> prepare = nullptr;
    // Looks at a target after the run; what is wrong, or "" when all is well.
    std::function<std::string(const fs::path&)> inspect = nullptr;
};

std::string fileLine(const std::string& name, const std::string& data) {
    return "file " + name + " " + std::to_string(data.size()) + " " + testsupport::sha256Hex(data);
}

std::vector<Case> cases() {
    std::vector<Case> t;
    const auto e = basic();
    const std::string readme = fileLine("docs/readme.txt", e[1].data);
    const std::string data = fileLine("data.bin", e[2].data);
    const std::string tail = fileLine("tail.txt", e[4].data);
    const std::vector<std::string> all = {"dir docs", data, readme, "link docs/latest -> readme.txt", tail};

    for (RarFormat f : {RarFormat::rar4, RarFormat::rar5}) {
        const std::string F = f == RarFormat::rar4 ? "RAR 4: " : "RAR 5: ";
        // Whole archives and sets.
        t.push_back({F + "single archive", [f](Kit& k) { k.write(basic(), f); }, true, {}, all, {}});
        t.push_back({F + "set of volumes", [f](Kit& k) { k.write(basic(), f, 15000); }, true, {}, all, {}});
        // A volume missing, in the middle of a file and where a file ends.
        t.push_back({F + "next volume missing inside a file",
                     [f](Kit& k) {
                         k.write(basic(), f, 15000);
                         fs::remove(k.volume(1));
                     },
                     false,
                     {"game.part2.rar", "missing"},
                     {readme},
                     {"data.bin", "tail.txt"}});
        t.push_back({F + "next volume missing where a file ends",
                     [f](Kit& k) {
                         k.write(basic(), f);
                         const RarBlock& d = k.block(RarBlock::Type::data, 2);
                         k.write(basic(), f, d.offset + d.size + k.end(0).size);
                         fs::remove(k.volume(1));
                     },
                     false,
                     {"game.part2.rar", "missing"},
                     {readme, data},
                     {"tail.txt"}});
        t.push_back({F + "next volume empty",
                     [f](Kit& k) {
                         k.write(basic(), f, 15000);
                         cut(k.volume(1), 0);
                     },
                     false,
                     {"game.part2.rar", "damaged or belongs to another archive"},
                     {readme},
                     {"data.bin"}});
        t.push_back({F + "next volume from another set",
                     [f](Kit& k) {
                         k.write(basic(), f, 15000);
                         // The first volume of another set of the same name stands in for the second.
                         fs::create_directories(k.dir / "other");
                         RarWriteOptions o;
                         o.format = f;
                         o.volumeSize = 15000;
                         const auto other =
                             kitmaker::writeRar((k.dir / "other/game").string(),
                                                {RarEntry::file("other", pattern(30000, 9))}, o);
                         fs::copy_file(other[0], k.volume(1), fs::copy_options::overwrite_existing);
                         fs::remove_all(k.dir / "other");
                     },
                     false,
                     {"game.part2.rar", "damaged or belongs to another archive"},
                     {},
                     {"data.bin"}});
        t.push_back({F + "last volume says another follows",
                     [f](Kit& k) {
                         k.write(basic(), f, 15000);
                         const size_t last = k.layout.volumes.size() - 1;
                         const RarBlock& end = k.end(last);
                         patch(k.volume(last), end.offset + (f == RarFormat::rar4 ? 3 : end.size - 1),
                               "\x01");
                         reseal(k.volume(last), end, f);
                         k.mentions.push_back("game.part" + std::to_string(last + 2) + ".rar");
                     },
                     false,
                     {"missing"},
                     all,
                     {}});
        // Cut short.
        t.push_back({F + "cut inside a file",
                     [f](Kit& k) {
                         k.write(basic(), f);
                         const RarBlock& d = k.block(RarBlock::Type::data, 2);
                         cut(k.volume(0), d.offset + d.size / 2);
                     },
                     false,
                     {"data.bin"},
                     {readme},
                     {"data.bin", "tail.txt"}});
        t.push_back({F + "cut where a file ends",
                     [f](Kit& k) {
                         k.write(basic(), f);
                         const RarBlock& d = k.block(RarBlock::Type::data, 2);
                         cut(k.volume(0), d.offset + d.size);
                     },
                     false,
                     {"game.rar", "ends early", "data.bin"},
                     {readme, data},
                     {"tail.txt"}});
        t.push_back({F + "cut a few bytes into a header",
                     [f](Kit& k) {
                         k.write(basic(), f);
                         cut(k.volume(0), k.block(RarBlock::Type::fileHeader, 3).offset + 5);
                     },
                     false,
                     {"game.rar"},
                     {readme, data},
                     {"tail.txt"}});
        t.push_back({F + "cut inside the end block",
                     [f](Kit& k) {
                         k.write(basic(), f);
                         cut(k.volume(0), k.end(0).offset + 3);
                     },
                     false,
                     {"game.rar", "ends early"},
                     all,
                     {}});
        // Damaged.
        t.push_back({F + "header of the third entry damaged",
                     [f](Kit& k) {
                         k.write(basic(), f);
                         // Its stored CRC, so every field still reads.
                         const RarBlock& h = k.block(RarBlock::Type::fileHeader, 2);
                         patch(k.volume(0), h.offset, std::string(1, byteAt(k.volume(0), h.offset) ^ 0x10));
                     },
                     false,
                     {"damaged or incomplete at data.bin in game.rar"},
                     {readme},
                     {"data.bin", "tail.txt"}});
        t.push_back({F + "a byte of stored data flipped",
                     [f](Kit& k) {
                         k.write(basic(), f);
                         const RarBlock& d = k.block(RarBlock::Type::data, 2);
                         patch(k.volume(0), d.offset + 1000,
                               std::string(1, byteAt(k.volume(0), d.offset + 1000) ^ 0x20));
                     },
                     false,
                     {"damaged", "data.bin"},
                     {readme, tail},
                     {"data.bin"}});
        t.push_back({F + "a byte flipped in the second part of a split file",
                     [f](Kit& k) {
                         k.write(basic(), f, 15000);
                         size_t v = 0;
                         const RarBlock& d = k.block(RarBlock::Type::data, 2, 1, &v);
                         patch(k.volume(v), d.offset + 7,
                               std::string(1, byteAt(k.volume(v), d.offset + 7) ^ 1));
                     },
                     false,
                     {"damaged", "data.bin"},
                     {readme, tail},
                     {"data.bin"}});
        t.push_back({F + "a run of zeros over a header",
                     [f](Kit& k) {
                         k.write(basic(), f);
                         const RarBlock& h = k.block(RarBlock::Type::fileHeader, 4);
                         patch(k.volume(0), h.offset, std::string(h.size, '\0'));
                     },
                     false,
                     {"game.rar"},
                     {readme, data},
                     {"tail.txt"}});
        t.push_back({F + "data size beyond the volume",
                     [f](Kit& k) {
                         k.write(basic(), f);
                         const RarBlock& h = k.block(RarBlock::Type::fileHeader, 2);
                         if (f == RarFormat::rar4) {
                             patch(k.volume(0), h.offset + 7, le32(0x7FFFFFF0));
                         } else {
                             // The data size: the number after header size, type, flags and extra size,
                             // rewritten in as many bytes with the largest value they hold.
                             const std::string all = testsupport::readFile(k.volume(0));
                             size_t p = h.offset + 4;
                             auto skipVint = [&] {
                                 while (all[p] & 0x80)
                                     ++p;
                                 return all[p++];
                             };
                             skipVint();                    // header size
                             skipVint();                    // type
                             const char flags = skipVint(); // flags
                             if (flags & 0x01) skipVint();  // extra area size
                             const size_t start = p;
                             skipVint();
                             std::string big(p - start, '\xFF');
                             big.back() = 0x7F;
                             patch(k.volume(0), start, big);
                         }
                         reseal(k.volume(0), h, f);
                     },
                     false,
                     {"data.bin"},
                     {readme},
                     {"data.bin", "tail.txt"}});
        // Links and names that would lead out of the target.
        t.push_back({F + "link chain a -> . then e -> a/../beside/host.txt",
                     [f](Kit& k) {
                         k.write({RarEntry::symlink("a", "."), RarEntry::symlink("e", "a/../beside/host.txt"),
                                  RarEntry::file("after", "x")},
                                 f);
                     },
                     false,
                     {"Cannot create the file: e"},
                     {"link a -> .", fileLine("after", "x")},
                     {"e"}});
        t.push_back({F + "deep link, then up through it",
                     [f](Kit& k) {
                         k.write({RarEntry::directory("d1/d2/d3/d4"),
                                  RarEntry::symlink("d1/d2/d3/d4/b", "../../../.."),
                                  RarEntry::symlink("c", "d1/d2/d3/d4/b/../../../../../etc/passwd")},
                                 f);
                     },
                     false,
                     {"Cannot create the file: c"},
                     {"link d1/d2/d3/d4/b -> ../../../.."},
                     {"c"}});
        t.push_back({F + "absolute and upward link targets, '..' in names",
                     [f](Kit& k) {
                         k.write({RarEntry::symlink("etc", "/etc"),
                                  RarEntry::symlink("up", "../beside/host.txt"),
                                  RarEntry::file("../escape.txt", "out"), RarEntry::file("ok.txt", "in")},
                                 f);
                     },
                     false,
                     {"Cannot create the file: etc"},
                     {fileLine("ok.txt", "in")},
                     {"etc", "up"}});
        t.push_back({F + "a file through a link the archive made",
                     [f](Kit& k) {
                         k.write({RarEntry::directory("docs"), RarEntry::symlink("d", "docs"),
                                  RarEntry::file("d/x", "through")},
                                 f);
                     },
                     false,
                     {"Cannot create the file: d/x"},
                     {"dir docs", "link d -> docs"},
                     {"docs/x"}});
        // Modes and names.
        t.push_back({F + "modes 0777 and 4755",
                     [f](Kit& k) {
                         k.write({RarEntry::directory("open", 0777), RarEntry::file("open/all", "a", 0777),
                                  RarEntry::file("setuid", "s", 04755)},
                                 f);
                     },
                     true,
                     {},
                     {"dir open", fileLine("open/all", "a"), fileLine("setuid", "s")},
                     {},
                     nullptr,
                     [](const fs::path& target) {
                         // Through the umask (022 here), and never set-user-id.
                         for (const char* name : {"open", "open/all", "setuid"}) {
                             struct stat st {};
                             ::lstat((target / name).c_str(), &st);
                             if ((st.st_mode & 07777) != 0755) return std::string(name) + " has another mode";
                         }
                         return std::string();
                     }});
        t.push_back(
            {F + "Unicode names",
             [f](Kit& k) {
                 k.write({RarEntry::directory("日本語"), RarEntry::file("日本語/ファイル.txt", "kana"),
                          RarEntry::file("naïve café.txt", "latin")},
                         f);
             },
             true,
             {},
             {"dir 日本語", fileLine("日本語/ファイル.txt", "kana"), fileLine("naïve café.txt", "latin")},
             {}});
        // A file that cannot be created does not stop the others, but the run fails.
        t.push_back({F + "a folder stands where a file goes",
                     [f](Kit& k) { k.write(basic(), f); },
                     false,
                     {"Cannot create the file: data.bin"},
                     {readme, tail, "dir data.bin/inside"},
                     {},
                     [](const fs::path& target) { fs::create_directories(target / "data.bin/inside"); }});
    }

    // RAR 4 only: old volume names, 8-bit names, the hand-made shapes.
    t.push_back({"RAR 4: set with old volume names",
                 [](Kit& k) { k.write(basic(), RarFormat::rar4, 15000, true); },
                 true,
                 {},
                 all,
                 {}});
    t.push_back({"RAR 4: 8-bit names (CP437 and Latin-1 bytes)",
                 [](Kit& k) {
                     RarEntry cp437 = RarEntry::file("caf\x82.txt", "cp437");
                     RarEntry latin1 = RarEntry::file("\xE9t\xE9.txt", "latin-1");
                     cp437.rawName = latin1.rawName = true;
                     k.write({cp437, latin1}, RarFormat::rar4);
                 },
                 true,
                 {},
                 {fileLine("café.txt", "cp437"), fileLine("ΘtΘ.txt", "latin-1")},
                 {}});
    t.push_back({"RAR 4: block size wrapping around 64 bits",
                 [](Kit& k) {
                     k.write({RarEntry::file("f", "x")}, RarFormat::rar4);
                     const RarBlock& h = k.block(RarBlock::Type::fileHeader, 0);
                     std::string all = testsupport::readFile(k.volume(0));
                     // Large-file fields: a packed size of 2^64 - 16, so header end + size wraps.
                     std::string header = all.substr(h.offset, h.size);
                     header[4] = static_cast<char>(header[4] | 0x01); // flags 0x0100: 64-bit sizes
                     header.insert(32, le32(0xFFFFFFFF) + le32(0));
                     header.replace(5, 2, le16(static_cast<unsigned>(header.size())));
                     header.replace(7, 4, le32(0xFFFFFFF0));
                     all.replace(h.offset, h.size, header);
                     testsupport::writeFile(k.volume(0), all);
                     RarBlock grown = h;
                     grown.size = header.size();
                     reseal(k.volume(0), grown, RarFormat::rar4);
                 },
                 false,
                 {"game.rar"},
                 {},
                 {"f"}});
    t.push_back({"RAR 4: 47-byte archive with one huge service header",
                 [](Kit& k) {
                     k.write({RarEntry::file("f", "x")}, RarFormat::rar4);
                     std::string all = testsupport::readFile(k.volume(0)).substr(0, 20);
                     std::string sub =
                         std::string(2, '\0') + "\x7A" + le16(0x8000) + le16(0xFFFF) + le32(0xFFFFFFFF);
                     sub += std::string(27 - sub.size(), '\0');
                     testsupport::writeFile(k.volume(0), all + sub);
                 },
                 false,
                 {"game.rar"},
                 {},
                 {}});
    t.push_back({"RAR 4: header size below the minimum",
                 [](Kit& k) {
                     k.write(basic(), RarFormat::rar4);
                     const RarBlock& h = k.block(RarBlock::Type::fileHeader, 1);
                     patch(k.volume(0), h.offset + 5, le16(5));
                 },
                 false,
                 {"game.rar"},
                 {},
                 {"docs/readme.txt"}});
    t.push_back({"RAR 4: headers encrypted",
                 [](Kit& k) {
                     k.write(basic(), RarFormat::rar4);
                     const RarBlock& main = k.layout.volumes[0].blocks[1];
                     patch(k.volume(0), main.offset + 3, "\x80");
                     reseal(k.volume(0), main, RarFormat::rar4);
                 },
                 false,
                 {"password", "game.rar"},
                 {},
                 {"docs"}});
    t.push_back({"not a RAR archive",
                 [](Kit& k) { testsupport::writeFile(k.dir / "game.rar", "[OPTIONS]\nnot an archive\n"); },
                 false,
                 {"not a RAR archive", "game.rar"},
                 {},
                 {}});
    t.push_back({"first volume missing",
                 [](Kit& k) { k.archive = "absent.part1.rar"; },
                 false,
                 {"Can`t load file absent.part1.rar"},
                 {},
                 {}});
    t.push_back({"next volume is a FIFO",
                 [](Kit& k) {
                     k.write(basic(), RarFormat::rar4, 15000);
                     fs::remove(k.volume(1));
                     ::mkfifo(k.volume(1).c_str(), 0600);
                 },
                 false,
                 {"game.part2.rar"},
                 {readme},
                 {"data.bin"}});
    // RAR 5 only: links made as links, checksums by BLAKE2sp.
    t.push_back(
        {"RAR 5: hard link and symbolic link inside",
         [](Kit& k) {
             k.write({RarEntry::file("file.txt", "shared"), RarEntry::hardlink("hard.txt", "file.txt"),
                      RarEntry::symlink("soft.txt", "file.txt")},
                     RarFormat::rar5);
         },
         true,
         {},
         {fileLine("file.txt", "shared"), fileLine("hard.txt", "shared"), "link soft.txt -> file.txt"},
         {}});
    t.push_back({"RAR 5: hard link to a file that is not there",
                 [](Kit& k) {
                     k.write(
                         {RarEntry::hardlink("hard.txt", "missing.txt"), RarEntry::file("after.txt", "a")},
                         RarFormat::rar5);
                 },
                 false,
                 {"Cannot create the file: hard.txt"},
                 {fileLine("after.txt", "a")},
                 {"hard.txt"}});
    t.push_back({"RAR 5: BLAKE2sp checksums",
                 [](Kit& k) { k.write(basic(), RarFormat::rar5, 0, false, kitmaker::RarChecksum::blake2sp); },
                 true,
                 {},
                 all,
                 {}});
    t.push_back({"RAR 5: BLAKE2sp checksum of damaged data",
                 [](Kit& k) {
                     k.write(basic(), RarFormat::rar5, 0, false, kitmaker::RarChecksum::blake2sp);
                     const RarBlock& d = k.block(RarBlock::Type::data, 2);
                     patch(k.volume(0), d.offset + 3,
                           std::string(1, byteAt(k.volume(0), d.offset + 3) ^ 0x40));
                 },
                 false,
                 {"damaged", "data.bin"},
                 {readme, tail},
                 {"data.bin"}});
    // The volume count only sizes the dialog's bar: the lowest number must not wrap.
    t.push_back({"volume count -2147483648",
                 [](Kit& k) {
                     k.write(basic(), RarFormat::rar4);
                     k.files = "-2147483648";
                 },
                 true,
                 {},
                 all,
                 {}});
    return t;
}

// ---- running a case --------------------------------------------------------------------------

struct Run {
    bool completed = false;
    std::string message;
    std::vector<std::string> tree;
    qint64 ms = 0;
};

void writeIni(const Kit& k) {
    testsupport::writeFile(k.dir / "install.ini",
                           "[OPTIONS]\nAPPZ=Case\nSIZE=0\nDIR=x\nFILERAR=" + k.archive +
                               "\nNFO=x.nfo\nREG=NONE\nSCRTXT=\nFILES=" + k.files + "\n");
}

} // namespace

class VerdictTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void sameVerdictInBothModes_data();
    void sameVerdictInBothModes();

  private:
    Run unattended(const Kit& k, const fs::path& target);
    Run dialog(const Kit& k, const fs::path& target);
    std::vector<Case> cases_;
    desktop::Recorder* rec_ = nullptr;
    mode_t umask_ = 022;
};

void VerdictTest::initTestCase() {
    cases_ = cases();
    QVERIFY(cases_.size() >= 30);
    umask_ = ::umask(022);
    rec_ = new desktop::Recorder;
    rec_->askResult = false; // a missing volume is given up, as nobody can insert it
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form5 = new TForm5;
}

void VerdictTest::cleanupTestCase() {
    delete Form5;
    delete Form3;
    delete Form2;
    Form5 = nullptr;
    Form3 = nullptr;
    Form2 = nullptr;
    delete rec_;
    ::umask(umask_);
}

Run VerdictTest::unattended(const Kit& k, const fs::path& target) {
    Run r;
    QElapsedTimer t;
    t.start();
    std::ostringstream out, err;
    r.completed = RunSilentInstall(k.dir.string() + "/", target.string(), out, err) == 0;
    r.ms = t.elapsed();
    const std::string prefix = "install: installation failed: ";
    const std::string e = err.str();
    if (const size_t at = e.find(prefix); at != std::string::npos)
        r.message = e.substr(at + prefix.size(), e.find('\n', at) - at - prefix.size());
    r.tree = testsupport::treeManifest(target);
    return r;
}

Run VerdictTest::dialog(const Kit& k, const fs::path& target) {
    Run r;
    InstallSettings = TInstallSettings{};
    ProgramFolder = k.dir.string() + "/";
    ReadInstallSettings(InstallSettings, ProgramFolder + "install.ini", ProgramFolder);
    [&] { QVERIFY(Form2->DirectoryListBox1->setDirectory(QString::fromStdString(target.string()))); }();
    rec_->clear();
    QElapsedTimer t;
    t.start();
    QTimer::singleShot(0, [] { Form5->SpeedButton1->click(); });
    Form5->ShowModal();
    r.ms = t.elapsed();
    Form2->Hide(); // a failed run shows the chooser again
    for (const auto& b : rec_->boxes()) {
        if (b.text == QStringLiteral("Install Completed!")) r.completed = true;
        const QString prefix = QStringLiteral("The installation did not complete.\n");
        if (b.title == QStringLiteral("Warning") && b.text.startsWith(prefix))
            r.message = b.text.mid(prefix.size()).toStdString();
    }
    r.tree = testsupport::treeManifest(target);
    return r;
}

void VerdictTest::sameVerdictInBothModes_data() {
    QTest::addColumn<int>("index");
    const auto all = cases();
    for (size_t i = 0; i < all.size(); ++i)
        QTest::newRow(all[i].name.c_str()) << static_cast<int>(i);
}

void VerdictTest::sameVerdictInBothModes() {
    QFETCH(int, index);
    const Case& c = cases_.at(static_cast<size_t>(index));
    testsupport::ScratchDir sandbox;
    Kit kit;
    kit.dir = sandbox / "kit";
    fs::create_directories(kit.dir);
    c.make(kit);
    writeIni(kit);
    // Beside the targets lies a file of the host's that hostile entries aim at.
    fs::create_directories(sandbox / "targets/beside");
    testsupport::writeFile(sandbox / "targets/beside/host.txt", "host");
    const fs::path targets[2] = {sandbox / "targets/unattended", sandbox / "targets/dialog"};
    for (const fs::path& t : targets) {
        fs::create_directories(t);
        if (c.prepare) c.prepare(t);
    }
    const std::vector<std::string> before = testsupport::treeManifest(sandbox / "kit");

    const Run runs[2] = {unattended(kit, targets[0]), dialog(kit, targets[1])};
    for (int m = 0; m < 2; ++m) {
        const Run& r = runs[m];
        const char* mode = m == 0 ? "unattended" : "dialog";
        QVERIFY2(r.completed == c.completes,
                 qPrintable(QStringLiteral("%1: %2").arg(mode, QString::fromStdString(r.message))));
        QVERIFY2(r.ms < 5000, qPrintable(QStringLiteral("%1 took %2 ms").arg(mode).arg(r.ms)));
        if (!c.completes) QVERIFY2(!r.message.empty(), mode);
        std::vector<std::string> mentions = c.mentions;
        mentions.insert(mentions.end(), kit.mentions.begin(), kit.mentions.end());
        for (const std::string& s : mentions)
            QVERIFY2(
                r.message.find(s) != std::string::npos,
                qPrintable(QStringLiteral("%1: '%2' not in '%3'")
                               .arg(mode, QString::fromStdString(s), QString::fromStdString(r.message))));
        for (const std::string& line : c.present)
            QVERIFY2(std::find(r.tree.begin(), r.tree.end(), line) != r.tree.end(),
                     qPrintable(QStringLiteral("%1: no '%2'").arg(mode, QString::fromStdString(line))));
        for (const std::string& name : c.absent)
            QVERIFY2(!fs::exists(fs::symlink_status(targets[m] / name)),
                     qPrintable(QStringLiteral("%1: '%2' is there").arg(mode, QString::fromStdString(name))));
        // No half-written file: whatever is there is whole (part files never stay).
        for (const std::string& line : r.tree)
            QVERIFY2(line.find(".part-") == std::string::npos, qPrintable(QString::fromStdString(line)));
        QVERIFY2(testsupport::linksLeavingTree(targets[m]).empty(), mode);
        if (c.inspect) {
            const std::string problem = c.inspect(targets[m]);
            QVERIFY2(problem.empty(),
                     qPrintable(QStringLiteral("%1: %2").arg(mode, QString::fromStdString(problem))));
        }
    }
    qInfo("%s", runs[0].message.empty() ? "(completed)" : runs[0].message.c_str());
    // The same verdict, the same words, the same files.
    QCOMPARE(runs[1].message, runs[0].message);
    QCOMPARE(runs[1].tree, runs[0].tree);
    // Nothing outside the targets: the kit and the host's file are as they were.
    QCOMPARE(testsupport::treeManifest(sandbox / "kit"), before);
    QCOMPARE(testsupport::readFile(sandbox / "targets/beside/host.txt"), std::string("host"));
    QCOMPARE(testsupport::treeManifest(sandbox / "targets/beside"),
             std::vector<std::string>{fileLine("host.txt", "host")});
    std::vector<std::string> top;
    for (const auto& entry : fs::directory_iterator(sandbox / "targets"))
        top.push_back(entry.path().filename().string());
    std::sort(top.begin(), top.end());
    QCOMPARE(top, (std::vector<std::string>{"beside", "dialog", "unattended"}));
}

int main(int argc, char** argv) {
    desktop::Application app(argc, argv);
    VerdictTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "verdict_test.moc"
