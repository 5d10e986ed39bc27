#pragma once
// Runs a helper program (ldd, patchelf, strip, fc-match) and collects what it prints.
#include <string>
#include <vector>

namespace kitmaker {

struct ProgramResult {
    int exitCode = -1;  // -1 when the program could not be started or died of a signal
    std::string output; // standard output and standard error together
};

// Runs argv[0] (looked up on PATH) with the other arguments, without LD_LIBRARY_PATH and LD_PRELOAD
// in its environment, and waits for it.
ProgramResult runProgram(const std::vector<std::string>& argv);

// Whether `name` is a program on PATH.
bool haveProgram(const std::string& name);

} // namespace kitmaker
