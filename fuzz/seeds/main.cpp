// fuzzseeds: writes the seed corpus of a fuzz target from what the project's own tools make.
//   fuzzseeds KIND FOLDER
// One file per seed, named after what it holds.
#include "../fields.h"

#include "demokit.h"

#include <cstdio>
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

} // namespace

int main(int argc, char** argv) {
    const std::map<std::string, std::function<void()>> kinds = {
        {"ini", iniSeeds},
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
