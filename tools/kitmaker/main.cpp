// kitmaker: writes the demo distribution folder the installer runs in.
#include "demokit.h"

#include <cstring>
#include <exception>
#include <iostream>
#include <string>

namespace {

int usage(int code) {
    std::cerr << "usage: kitmaker --out FOLDER\n"
                 "Writes install.ini, the info file, the follow-up file, the music and the archive volumes "
                 "of the demo kit into FOLDER.\n";
    return code;
}

} // namespace

int main(int argc, char** argv) {
    std::string out;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc)
            out = argv[++i];
        else if (std::strcmp(argv[i], "--help") == 0)
            return usage(0);
        else
            return usage(2);
    }
    if (out.empty()) return usage(2);
    try {
        const kitmaker::DemoKit kit;
        kitmaker::writeDemoKit(out, kit);
        std::cout << "kitmaker: demo kit written to " << out << "\n";
    } catch (const std::exception& e) {
        std::cerr << "kitmaker: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
