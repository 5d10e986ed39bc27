#pragma once
// kitmaker's command line.
#include "kitbuild.h"

#include <string>

namespace kitmaker {

struct Command {
    enum class Mode { build, demo, verify, sampleProduct, help, invalid };
    Mode mode = Mode::invalid;
    KitOptions kit;      // build and demo
    std::string folder;  // verify: the kit; sampleProduct: where to write it
    std::string problem; // invalid: what is wrong
};

Command parseCommand(int argc, const char* const* argv);

extern const char* const kKitmakerHelp;

} // namespace kitmaker
