#pragma once
// Reading a kit back as the installer will: its settings through the installer's settings reader, the
// archive through the installer's RAR layer (every volume opened, every byte checked), the music
// through the sound library, and the runtime through the system's loader.
#include <cstdint>
#include <string>
#include <vector>

namespace kitmaker {

class Progress;

struct VerifyReport {
    std::vector<std::string> problems; // the kit would not install as it should
    std::vector<std::string> warnings; // it would, but perhaps not as meant
    std::uint64_t entries = 0, volumes = 0, bytes = 0;
    bool ok() const { return problems.empty(); }
};

struct VerifyOptions {
    bool runtime = true; // check the installer program and its runtime too
    bool music = true;   // load the music through the sound library
};

VerifyReport verifyKit(const std::string& kitFolder, const VerifyOptions& options, Progress* progress);

// Why the installer's sound library cannot play the module file at `path`, or "".
std::string musicProblem(const std::string& path);

} // namespace kitmaker
