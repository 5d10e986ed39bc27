#pragma once
// The installer's runtime in a kit: every shared library the program and its Qt platform plug-ins
// load that a plain desktop system may lack, the plug-ins themselves, the fonts the installer's windows
// use, found from the built binaries and placed in the kit's runtime folder with search paths relative
// to the files themselves, so the kit runs wherever it is copied.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitmaker {

class Progress;

// The kit's subfolder that holds the runtime.
inline constexpr const char* kRuntimeFolder = "runtime";

struct SharedLibrary {
    std::string soname; // the name the loader looks for
    std::string path;   // where the loader found it
};

// What `ldd` printed: the libraries it resolved, and the names it could not find.
struct LddListing {
    std::vector<SharedLibrary> libraries;
    std::vector<std::string> missing;
};
LddListing parseLdd(std::string_view text);

// The libraries a kit leaves to the system: glibc's (libc, libm, libdl, libpthread, librt and the
// loader), the C++ runtime (libstdc++, libgcc_s) and the core X11 client libraries (libX11,
// libX11-xcb, libxcb, libXau, libXdmcp and libbsd/libmd, which they need), all of which come with any
// system that has an X display. Everything else travels with the kit.
bool leftToSystem(std::string_view soname);

struct RuntimeFile {
    std::string source; // on this machine
    std::string dest;   // relative to the kit folder
};

struct Runtime {
    std::string installer;                    // the installer program
    std::vector<SharedLibrary> libraries;     // travel in runtime/
    std::vector<RuntimeFile> plugins;         // Qt plug-ins: runtime/plugins/<kind>/<file>
    std::vector<RuntimeFile> fonts;           // runtime/fonts/<file>
    std::vector<std::string> systemLibraries; // sonames left to the system
    std::uint64_t bytes = 0;                  // of everything copied
};

// The Qt plug-ins the installer needs, relative to Qt's plug-in folder: the X11 and off-screen
// platforms and the compose input context (dead keys in the folder-name box).
const std::vector<std::string>& installerQtPlugins();

// Libraries the installer loads by name while it runs (the sound and archive libraries), found
// beside it.
const std::vector<const char*>& installerLoadedLibraries();

// Font faces the installer's windows draw with, as fontconfig patterns.
const std::vector<std::string>& installerFontFaces();

// Computes the runtime of `installer` (the built program): the libraries the loader resolves for it
// and for the Qt plug-ins found in `qtPluginFolder`, and the font files fontconfig gives for the
// installer's faces. Throws std::runtime_error naming what is missing.
Runtime computeRuntime(const std::string& installer, const std::string& qtPluginFolder);

// Writes the program as `install`, the runtime folder and qt.conf into `kitFolder`. Files built in the
// installer's own folder lose their debugging information. Needs patchelf. Throws std::runtime_error
// naming the file that failed.
void writeRuntime(const Runtime& runtime, const std::string& kitFolder, Progress* progress);

// Problems of a kit's runtime as the loader on this machine sees it: a library of the program or of a
// plug-in that is not found, or that resolves outside the kit's runtime folder although it is not
// left to the system. Empty when the runtime is complete.
std::vector<std::string> runtimeProblems(const std::string& kitFolder);

} // namespace kitmaker
