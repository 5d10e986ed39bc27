// fuzzseeds: writes the seed corpus of a fuzz target from what the project's own tools make.
//   fuzzseeds KIND FOLDER
// One file per seed, named after what it holds.
#include "../fields.h"
#include "../rar_links.h"

#include "demokit.h"
#include "masks.h"
#include "modwriter.h"
#include "rarwriter.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::string_literals;

std::string folder;
int written = 0;

void seed(const std::string& name, const std::string& bytes) {
    kitmaker::writeFile(folder + "/" + name, bytes);
    ++written;
}

// INI lookups: each key of the demo kit's install.ini, and the same text written the ways other
// editors write it.
void iniSeeds() {
    const kitmaker::DemoKit kit;
    const std::string ini = kitmaker::installIniText(kit);
    for (const char* key : {"APPZ", "SIZE", "DIR", "FILERAR", "NFO", "REG", "SCRTXT", "FILES", "MISSING"})
        seed(std::string("demo-") + key, fuzzinput::join(255, {"OPTIONS", key, "default"}, ini));
    std::string crlf;
    for (char c : ini)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    seed("crlf", fuzzinput::join(255, {"options", "scrtxt", ""}, crlf));
    seed("bom-quoted", fuzzinput::join(250, {" OPTIONS ", " SIZE ", ""},
                                       "\xEF\xBB\xBF[options]\r\n size = \"  12 \" \r\n"));
    seed("two-sections",
         fuzzinput::join(10, {"OPTIONS", "APPZ", "x"},
                         "[OTHER]\nAPPZ=no\n[OPTIONS]\n;APPZ=comment\nAPPZ='first'\nAPPZ=second\n"
                         "[OPTIONS]\nAPPZ=third\n"));
    seed("nul-cr", fuzzinput::join(255, {"OPTIONS", "NFO", ""}, "[OPTIONS\rNFO=a\0b\rREG\r\rFILES= 3 "s));
}

// Byte texts: the demo kit's info file (CP437 text art) and install.ini, names in UTF-8 and in
// 8-bit code pages, and the malformed UTF-8 sequences a decoder must refuse.
void textSeeds() {
    const kitmaker::DemoKit kit;
    seed("info-file", fuzzinput::join(250, {}, kitmaker::infoFileBytes(kit)));
    seed("install-ini", fuzzinput::join(40, {}, kitmaker::installIniText(kit)));
    seed("utf8-names",
         fuzzinput::join(7, {}, "\xE6\x97\xA5\xE6\x9C\xAC/caf\xC3\xA9 \xF0\x9F\x8E\xB5.nfo\r\n"));
    seed("latin1-name", fuzzinput::join(4, {}, "caf\xE9 \x80\x81\x8D\x9F.nfo"));
    seed("cp437-art", fuzzinput::join(3, {}, "\xC9\xCD\xBB\r\n\xBA\x01\x02\xBA\n\xC8\xCD\xBC\r\r\n\0tail"));
    seed("bad-utf8", fuzzinput::join(5, {}, "\xC0\xAF \xE0\x80\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xF8 \xC3"));
}

// Image-map masks: the shapes of the image-map tests (disc, ellipse, rectangle, triangle, blobs,
// two regions, a ring, thin lines, nothing selected, bytes at the threshold), in the three
// formats, with row padding and offsets near the ends of the 32-bit range.
void hotmapSeeds() {
    struct Case {
        const char* name;
        testmask::Mask mask;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, int w, int h, const std::function<void(testmask::Mask&)>& draw) {
        testmask::Mask m(w, h);
        draw(m);
        cases.push_back({name, std::move(m)});
    };
    add("disc", 30, 30, [](auto& m) { testmask::disc(m, 4, 4, 21); });
    add("ellipse", 50, 30, [](auto& m) { testmask::ellipse(m, 5, 5, 40, 20); });
    add("rect", 40, 20, [](auto& m) { testmask::rect(m, 3, 2, 30, 12); });
    add("threshold", 20, 12, [](auto& m) {
        testmask::rect(m, 2, 2, 10, 6, 129);
        testmask::rect(m, 0, 0, 20, 1, 128);
    });
    add("triangle", 40, 40, [](auto& m) {
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x <= y; ++x)
                m.at(5 + x, 5 + y) = 255;
    });
    add("blob", 120, 100, [](auto& m) { testmask::blob(m, 60, 50, 35, 3); });
    add("two-regions", 60, 30, [](auto& m) {
        testmask::disc(m, 2, 2, 15);
        testmask::rect(m, 30, 5, 20, 20);
    });
    add("ring", 40, 40, [](auto& m) {
        testmask::disc(m, 2, 2, 36);
        testmask::disc(m, 12, 12, 16, 0);
    });
    add("diagonal", 16, 16, [](auto& m) {
        for (int i = 0; i < 16; ++i)
            m.at(i, i) = 200;
    });
    add("comb", 33, 9, [](auto& m) {
        testmask::rect(m, 0, 8, 33, 1);
        for (int x = 0; x < 33; x += 2)
            testmask::rect(m, x, 0, 1, 8);
    });
    add("lone-pixel", 5, 5, [](auto& m) { m.at(2, 3) = 255; });
    add("empty", 10, 10, [](auto&) {});
    const int32_t offsets[][2] = {{0, 0}, {10, 20}, {-7, 3}, {INT32_MAX - 20, INT32_MIN + 5}};
    int n = 0;
    for (const Case& c : cases) {
        const int format = n % 3, pad = (n % 4) * 3;
        const int32_t* off = offsets[n % 4];
        std::string head(1, char(c.mask.w - 1));
        for (int32_t v : {off[0], off[1]})
            for (int k = 0; k < 4; ++k)
                head += char(uint32_t(v) >> (8 * k));
        std::string rows;
        for (int y = 0; y < c.mask.h; ++y) {
            rows.append(reinterpret_cast<const char*>(&c.mask.px[std::size_t(y) * c.mask.w]),
                        std::size_t(c.mask.w));
            rows.append(std::size_t(pad), char(0x81)); // padding that would count as selected
        }
        seed(std::string(c.name) + "-" + std::to_string(format),
             fuzzinput::join(uint8_t(format | pad << 4), {"http://example.com/map.html"}, head + rows));
        ++n;
    }
    // No mask: the whole rectangle, 200 x 100 at (10, 20).
    std::string head(1, char(199));
    for (int32_t v : {10, 20})
        for (int k = 0; k < 4; ++k)
            head += char(uint32_t(v) >> (8 * k));
    seed("whole-rect", fuzzinput::join(4, {"u"}, head + std::string(100, 'x')));
    seed("bad-format", fuzzinput::join(3, {"u"}, head + std::string(100, '\xff')));
}

// Modules written by kitmaker's module writer: the demo tune, the blip, and a song that uses
// every effect command with extreme parameters and one-byte samples.
void moduleSeeds() {
    seed("demo.mod", kitmaker::modFileBytes(kitmaker::composeDemoSong()));
    seed("blip.mod", kitmaker::modFileBytes(kitmaker::composeBlipSong()));
    kitmaker::ModSong song;
    song.title = "effects";
    for (int i = 0; i < 3; ++i) {
        kitmaker::ModSample s;
        s.name = "s" + std::to_string(i);
        s.data.assign(2 + 2 * std::size_t(i), static_cast<std::int8_t>(i == 1 ? -128 : 127));
        s.volume = i * 32;
        s.loopStart = 0;
        s.loopLength = i == 2 ? s.data.size() : 0;
        song.samples.push_back(s);
    }
    kitmaker::ModPattern pattern{};
    for (int row = 0; row < kitmaker::kModRows; ++row)
        for (int ch = 0; ch < kitmaker::kModChannels; ++ch) {
            kitmaker::ModCell& cell = pattern[std::size_t(row) * kitmaker::kModChannels + std::size_t(ch)];
            cell.sample = 1 + (row + ch) % 3;
            cell.period = kitmaker::modPeriod(row % 2 ? "C-1" : "B-3");
            cell.effect = (row + ch * 16) % 16;
            cell.param = (row * 37 + ch * 91) % 256;
        }
    song.patterns = {pattern, pattern};
    song.orders = {0, 1, 0};
    seed("effects.mod", kitmaker::modFileBytes(song));
}

// The volumes of an archive the project's RAR writer makes, as byte strings.
std::vector<std::string> rarVolumes(const std::vector<kitmaker::RarEntry>& entries,
                                    const kitmaker::RarWriteOptions& options = {}) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kit-rarseeds-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::vector<std::string> out;
    for (const std::string& v : kitmaker::writeRar((dir / "seed").string(), entries, options)) {
        std::ifstream in(v, std::ios::binary);
        out.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::remove_all(dir);
    return out;
}

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 2654435761u) >> 11);
    return s;
}

// Archives of every kind of entry the installer meets, and the damaged shapes found by hand.
std::vector<std::pair<std::string, std::vector<kitmaker::RarEntry>>> rarContents() {
    using E = kitmaker::RarEntry;
    return {
        {"files",
         {E::file("readme.txt", "hello, world\n"), E::file("empty", ""), E::file("data.bin", pattern(3000))}},
        {"tree",
         {E::directory("docs"), E::file("docs/a.txt", "a"), E::symlink("docs/link", "a.txt"),
          E::directory("docs/sub", 0700), E::file("docs/sub/b", "b", 0755)}},
        {"names",
         {E::file("caf\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC.txt", "utf-8"), E::file("oem\x82.txt", "cp437"),
          E::file("win\\style\\path.txt", "backslashes")}},
        {"hostile",
         {E::file("../up", "x"), E::file("/abs", "y"), E::symlink("a", "."),
          E::symlink("e", "a/../outside.txt"), E::file("ok", "fine")}},
        {"modes", {E::file("setuid", "s", 04755), E::directory("open", 0777), E::file("open/f", "f", 0777)}},
    };
}

kitmaker::RarWriteOptions rar5(uint64_t volumeSize = 0,
                               kitmaker::RarChecksum checksum = kitmaker::RarChecksum::crc32) {
    kitmaker::RarWriteOptions o;
    o.format = kitmaker::RarFormat::rar5;
    o.volumeSize = volumeSize;
    o.checksum = checksum;
    return o;
}

void rarSeeds() {
    for (const auto& [name, entries] : rarContents()) {
        seed("rar4-" + name, rarVolumes(entries).front());
        seed("rar5-" + name, rarVolumes(entries, rar5()).front());
    }
    using E = kitmaker::RarEntry;
    seed("rar5-blake2", rarVolumes({E::file("a", pattern(2000)), E::file("b", "b")},
                                   rar5(0, kitmaker::RarChecksum::blake2sp))
                            .front());
    seed("rar5-hardlinks", rarVolumes({E::file("f", "shared"), E::hardlink("h", "f"),
                                       E::hardlink("missing", "nothing"), E::symlink("s", "f")},
                                      rar5())
                               .front());
    seed("rar5-first-volume", rarVolumes({E::file("big", pattern(5000))}, rar5(3000)).front());
    // The first volume of a set (its next volume is never there).
    seed("rar4-first-volume",
         rarVolumes({kitmaker::RarEntry::file("big", pattern(5000))}, {3000, false}).front());
    // A header claiming a huge size, and a block whose data size wraps around 64 bits.
    std::string huge = rarVolumes({kitmaker::RarEntry::file("f", "x")}).front().substr(0, 20);
    huge += std::string("\x00\x00\x7A\x00\x80\xFF\xFF\xFF\xFF\xFF\xFF", 11) + std::string(16, '\0');
    seed("rar4-huge-service-header", huge);
    std::string wrap = rarVolumes({kitmaker::RarEntry::file("f", "x")}).front();
    wrap.replace(20 + 7, 4, "\xFF\xFF\xFF\xFF");
    seed("rar4-wrapped-size", wrap);
}

// Sets as the volume-set target reads them: the count of volumes less one, their lengths, their bytes.
void rarSetSeeds() {
    auto setInput = [](const std::vector<std::string>& volumes) {
        std::string s(1, static_cast<char>(volumes.size() - 1));
        for (size_t i = 0; i + 1 < volumes.size(); ++i) {
            const auto n = static_cast<uint32_t>(volumes[i].size());
            s.append(reinterpret_cast<const char*>(&n), 4);
        }
        for (const std::string& v : volumes)
            s += v;
        return s;
    };
    using E = kitmaker::RarEntry;
    seed("rar4-split-file",
         setInput(rarVolumes({E::file("big", pattern(9000)), E::file("tail", "t")}, {4000, false})));
    seed("rar4-old-names",
         setInput(rarVolumes({E::file("a", pattern(2500)), E::file("b", pattern(2500))}, {2000, true})));
    seed("rar4-file-boundary", setInput(rarVolumes({E::file("a", std::string(1000, 'a')), E::file("b", "b")},
                                                   {20 + 38 + 1000 + 7, false})));
}

// Lists of entries for the link-safety target: the chains that once led out, and their neighbours.
void rarLinkSeeds() {
    using namespace rarlinks;
    enum : uint8_t { a, b, c, d1, d2, up, dot, beside, canary };
    seed("dot-then-up",
         encode(Kind::symlink, {a}, {dot}) + encode(Kind::symlink, {b}, {a, up, beside, canary}));
    seed("deep-then-up",
         encode(Kind::directory, {d1, d2, a, b}) +
             encode(Kind::symlink, {d1, d2, a, b, c}, {up, up, up, up}) +
             encode(Kind::symlink, {b}, {d1, d2, a, b, c, up, up, up, up, up, beside, canary}));
    seed("missing-then-up",
         encode(Kind::symlink, {a}, {b, up, up, beside}) + encode(Kind::symlink, {b}, {dot}));
    seed("replace-link", encode(Kind::directory, {d1, d2}) + encode(Kind::symlink, {a}, {d1, d2}) +
                             encode(Kind::symlink, {b}, {a, up}) + encode(Kind::symlink, {a}, {dot}) +
                             encode(Kind::file, {b, canary}));
    seed("absolute", encode(Kind::absoluteSymlink, {a}, {beside}) + encode(Kind::file, {a, canary}));
    seed("through-link", encode(Kind::symlink, {a}, {up, beside}) + encode(Kind::file, {a, canary}));
    // Lists with hard links in them are written as RAR 5.
    seed("rar5-hardlinks", encode(Kind::file, {a}) + encode(Kind::hardlink, {b}, {a}) +
                               encode(Kind::hardlink, {c}, {up, beside, canary}) +
                               encode(Kind::symlink, {d1}, {b}));
    seed("rar5-dot-then-up", encode(Kind::hardlink, {d2}, {d2}) + encode(Kind::symlink, {a}, {dot}) +
                                 encode(Kind::symlink, {b}, {a, up, beside, canary}));
}

// Whole-selection maps: options (format, tight caps), width, height, then the mask bytes.
void wholemapSeeds() {
    auto mask = [](uint8_t options, int w, int h, auto&& selected) {
        std::string bytes{char(options), char(w - 1), char(h - 1)};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                bytes += selected(x, y) ? char(200) : char(0);
        return bytes;
    };
    auto ringWithIsland = [](int x, int y) {
        const int d = std::max(std::abs(x - 10), std::abs(y - 10));
        return d <= 9 && (d >= 6 || d <= 2);
    };
    for (uint8_t format = 0; format < 3; ++format) {
        seed("ring-island-" + std::to_string(format), mask(format, 21, 21, ringWithIsland));
        seed("ring-island-tight-" + std::to_string(format),
             mask(uint8_t(format | 4), 21, 21, ringWithIsland));
    }
    seed("pinches", mask(0, 6, 6, [](int x, int y) { return (x + y) % 2 == 0; }));
    seed("disc", mask(0, 24, 24,
                      [](int x, int y) { return (x - 11.5) * (x - 11.5) + (y - 11.5) * (y - 11.5) < 100; }));
    seed("staircase", mask(0, 30, 12, [](int x, int y) { return y >= x / 3; }));
    seed("empty", mask(1, 5, 5, [](int, int) { return false; }));
    seed("no-format", mask(3, 4, 4, [](int, int) { return true; }));
    std::string noise{char(0), char(39), char(29)};
    unsigned v = 12345;
    for (int i = 0; i < 40 * 30; ++i) {
        v = v * 1103515245u + 12345u;
        noise += char((v >> 16) & 0xFF);
    }
    seed("noise", noise);
}

} // namespace

int main(int argc, char** argv) {
    const std::map<std::string, std::function<void()>> kinds = {
        {"ini", iniSeeds}, {"text", textSeeds},      {"hotmap", hotmapSeeds},    {"module", moduleSeeds},
        {"rar", rarSeeds}, {"rarsets", rarSetSeeds}, {"rarlinks", rarLinkSeeds}, {"wholemap", wholemapSeeds},
    };
    if (argc != 3 || !kinds.count(argv[1])) {
        std::fprintf(stderr, "usage: fuzzseeds KIND FOLDER (KIND:");
        for (const auto& [name, f] : kinds)
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, ")\n");
        return 2;
    }
    folder = argv[2];
    try {
        kinds.at(argv[1])();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzzseeds: %s\n", e.what());
        return 1;
    }
    std::printf("fuzzseeds: %d %s seeds in %s\n", written, argv[1], folder.c_str());
    return 0;
}
