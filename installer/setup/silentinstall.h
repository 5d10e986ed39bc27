#pragma once
// Unattended installation: the same settings and archive component as the windows, without windows,
// music or questions. For scripted and headless installs.
#include <iosfwd>
#include <string>

// Extracts the configured archive (install.ini beside the program in `programFolder`) into
// `targetDir`, created when needed, printing per-file progress to `out` and problems to `err`.
// A missing volume is not waited for: the run fails and names it. Returns the process exit code:
// 0 only when every file was extracted, 1 otherwise.
int RunSilentInstall(const std::string& programFolder, const std::string& targetDir, std::ostream& out,
                     std::ostream& err);

// Command line of the installer: `install`, `install --silent --dir DIR`, `install --help`.
struct InstallCommand {
    enum class Mode { Windows, Silent, Help, Invalid } mode = Mode::Windows;
    std::string dir;
    std::string problem; // why the line is invalid
};
InstallCommand ParseInstallCommand(int argc, const char* const* argv);
extern const char* const kInstallUsage;
