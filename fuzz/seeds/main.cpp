// fuzzseeds: writes the seed corpus of a fuzz target from what the project's own tools make.
//   fuzzseeds KIND FOLDER
// One file per seed, named after what it holds.
#include "../fields.h"

#include "demokit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <string>

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
        {"ini", iniSeeds},
        {"wholemap", wholemapSeeds},
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
