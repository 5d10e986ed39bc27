#include "runtime.h"

#include "progress.h"
#include "run.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace kitmaker {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The part of a library name before ".so": "libxcb-icccm.so.4" -> "libxcb-icccm".
std::string_view stem(std::string_view soname) {
    const std::size_t so = soname.find(".so");
    return so == std::string_view::npos ? soname : soname.substr(0, so);
}

LddListing runLdd(const std::string& file) {
    const ProgramResult r = runProgram({"ldd", file});
    if (r.exitCode != 0)
        throw std::runtime_error("cannot list the libraries of " + file + ": " +
                                 std::string(trimmed(r.output)));
    return parseLdd(r.output);
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void copyFile(const std::string& from, const fs::path& to, fs::perms perms) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) throw std::runtime_error("cannot copy " + from + " to " + to.string() + ": " + ec.message());
    fs::permissions(to, perms, ec);
    if (ec) throw std::runtime_error("cannot set the permissions of " + to.string() + ": " + ec.message());
}

void run(const std::vector<std::string>& argv) {
    const ProgramResult r = runProgram(argv);
    if (r.exitCode != 0) {
        std::string line;
        for (const std::string& a : argv)
            line += (line.empty() ? "" : " ") + a;
        throw std::runtime_error(line + " failed: " + std::string(trimmed(r.output)));
    }
}

// Whether a library needs anything that travels with the kit (and so a search path of its own).
bool needsKitLibraries(const fs::path& file) {
    const ProgramResult r = runProgram({"patchelf", "--print-needed", file.string()});
    if (r.exitCode != 0) throw std::runtime_error("patchelf cannot read " + file.string() + ": " + r.output);
    std::size_t start = 0;
    while (start < r.output.size()) {
        std::size_t nl = r.output.find('\n', start);
        if (nl == std::string::npos) nl = r.output.size();
        const std::string_view name = trimmed(std::string_view(r.output).substr(start, nl - start));
        if (!name.empty() && !leftToSystem(name)) return true;
        start = nl + 1;
    }
    return false;
}

bool isInside(const fs::path& file, const fs::path& folder) {
    std::error_code ec;
    const fs::path f = fs::weakly_canonical(file, ec);
    const fs::path d = fs::weakly_canonical(folder, ec);
    const std::string fs_ = f.string(), ds = d.string() + "/";
    return fs_.compare(0, ds.size(), ds) == 0;
}

} // namespace

LddListing parseLdd(std::string_view text) {
    LddListing listing;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = trimmed(text.substr(start, nl - start));
        start = nl + 1;
        const std::size_t arrow = line.find(" => ");
        if (arrow == std::string_view::npos) {
            // "/lib64/ld-linux-x86-64.so.2 (0x...)" or "linux-vdso.so.1 (0x...)": the loader itself.
            continue;
        }
        const std::string soname(trimmed(line.substr(0, arrow)));
        std::string_view where = trimmed(line.substr(arrow + 4));
        if (where.substr(0, 9) == "not found") {
            listing.missing.push_back(soname);
            continue;
        }
        if (const std::size_t paren = where.rfind(" ("); paren != std::string_view::npos)
            where = trimmed(where.substr(0, paren));
        if (where.empty() || where.front() != '/') continue;
        listing.libraries.push_back({soname, std::string(where)});
    }
    return listing;
}

bool leftToSystem(std::string_view soname) {
    static const std::set<std::string_view> kSystem = {
        // glibc and its loader
        "libc", "libm", "libdl", "libpthread", "librt", "libresolv", "libutil", "libanl", "libmvec",
        "libBrokenLocale", "libthread_db", "ld-linux-x86-64", "ld-linux-aarch64", "ld-linux", "linux-vdso",
        // the C++ runtime
        "libstdc++", "libgcc_s",
        // the core X11 client libraries and what they need
        "libX11", "libX11-xcb", "libxcb", "libXau", "libXdmcp", "libbsd", "libmd"};
    return kSystem.count(stem(soname)) != 0;
}

const std::vector<std::string>& installerQtPlugins() {
    static const std::vector<std::string> kPlugins = {
        "platforms/libqxcb.so",
        "platforms/libqoffscreen.so",
        "platforminputcontexts/libcomposeplatforminputcontextplugin.so",
    };
    return kPlugins;
}

const std::vector<std::string>& installerFontFaces() {
    // "Arial" and "MS Sans Serif" are drawn with Liberation Sans (regular, bold, italic, bold italic),
    // "Terminal" with DejaVu Sans Mono; DejaVu Sans covers what the others lack.
    static const std::vector<std::string> kFaces = {
        "Liberation Sans", "Liberation Sans:bold", "Liberation Sans:italic", "Liberation Sans:bold:italic",
        "DejaVu Sans",     "DejaVu Sans:bold",     "DejaVu Sans Mono",       "DejaVu Sans Mono:bold",
    };
    return kFaces;
}

Runtime computeRuntime(const std::string& installer, const std::string& qtPluginFolder) {
    if (!fs::is_regular_file(installer))
        throw std::runtime_error("the installer program " + installer +
                                 " is not there (build the installer first)");
    Runtime rt;
    rt.installer = installer;
    std::map<std::string, std::string> libraries; // soname -> path
    std::set<std::string> system;
    auto take = [&](const std::string& file) {
        const LddListing listing = runLdd(file);
        if (!listing.missing.empty())
            throw std::runtime_error(file + " needs " + listing.missing.front() +
                                     ", which this system does not have");
        for (const SharedLibrary& lib : listing.libraries) {
            if (leftToSystem(lib.soname))
                system.insert(lib.soname);
            else
                libraries.emplace(lib.soname, lib.path);
        }
    };
    take(installer);
    for (const std::string& plugin : installerQtPlugins()) {
        const std::string source = qtPluginFolder + "/" + plugin;
        if (!fs::is_regular_file(source))
            throw std::runtime_error("the Qt plug-in " + source + " is not there (package qt6-base-dev)");
        take(source);
        rt.plugins.push_back({source, std::string(kRuntimeFolder) + "/plugins/" + plugin});
    }
    for (auto& [soname, path] : libraries)
        rt.libraries.push_back({soname, path});
    rt.systemLibraries.assign(system.begin(), system.end());

    if (!haveProgram("fc-match"))
        throw std::runtime_error("fc-match is needed to find the installer's fonts (package fontconfig)");
    std::set<std::string> fontFiles;
    for (const std::string& face : installerFontFaces()) {
        const ProgramResult r = runProgram({"fc-match", "-f", "%{file}|%{family[0]}", face});
        const std::size_t bar = r.output.find('|');
        const std::string family = face.substr(0, face.find(':'));
        if (r.exitCode != 0 || bar == std::string::npos || r.output.substr(bar + 1) != family)
            throw std::runtime_error("the font " + face +
                                     " is not installed (packages fonts-liberation, fonts-dejavu-core)");
        const std::string file = r.output.substr(0, bar);
        if (fontFiles.insert(file).second)
            rt.fonts.push_back(
                {file, std::string(kRuntimeFolder) + "/fonts/" + fs::path(file).filename().string()});
    }

    std::error_code ec;
    rt.bytes = fs::file_size(installer, ec);
    for (const SharedLibrary& lib : rt.libraries)
        rt.bytes += fs::file_size(lib.path, ec);
    for (const auto* files : {&rt.plugins, &rt.fonts})
        for (const RuntimeFile& f : *files)
            rt.bytes += fs::file_size(f.source, ec);
    return rt;
}

void writeRuntime(const Runtime& rt, const std::string& kitFolder, Progress* progress) {
    if (!haveProgram("patchelf"))
        throw std::runtime_error(
            "patchelf is needed to place the installer's runtime in the kit (scripts/setup-deps)");
    const fs::path kit(kitFolder);
    const fs::path runtime = kit / kRuntimeFolder;
    const fs::path ours = fs::path(rt.installer).parent_path();
    std::error_code ec;
    for (const fs::path& dir : {runtime, runtime / "fonts"}) {
        fs::create_directories(dir, ec);
        if (ec) throw std::runtime_error("cannot create the folder " + dir.string() + ": " + ec.message());
    }
    if (progress) progress->begin("Copying the installer's runtime", rt.bytes);
    std::uint64_t done = 0;
    auto step = [&](const std::string& source, const std::string& name) {
        done += fs::file_size(source, ec);
        if (progress) progress->update(done, name);
    };
    constexpr auto kProgram = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec;
    constexpr auto kData =
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    auto builtHere = [&](const std::string& source) { return fs::path(source).parent_path() == ours; };

    const fs::path program = kit / "install";
    copyFile(rt.installer, program, kProgram);
    run({"patchelf", "--set-rpath", std::string("$ORIGIN/") + kRuntimeFolder, program.string()});
    run({"strip", "--strip-debug", program.string()});
    step(rt.installer, "install");

    for (const SharedLibrary& lib : rt.libraries) {
        const fs::path dest = runtime / lib.soname;
        copyFile(lib.path, dest, kData);
        if (needsKitLibraries(dest)) run({"patchelf", "--set-rpath", "$ORIGIN", dest.string()});
        if (builtHere(lib.path)) run({"strip", "--strip-debug", dest.string()});
        step(lib.path, lib.soname);
    }
    for (const RuntimeFile& plugin : rt.plugins) {
        const fs::path dest = kit / plugin.dest;
        fs::create_directories(dest.parent_path(), ec);
        if (ec)
            throw std::runtime_error("cannot create the folder " + dest.parent_path().string() + ": " +
                                     ec.message());
        copyFile(plugin.source, dest, kData);
        // runtime/plugins/<kind>/<file>: the libraries are two folders up.
        run({"patchelf", "--set-rpath", "$ORIGIN/../..", dest.string()});
        step(plugin.source, fs::path(plugin.dest).filename().string());
    }
    for (const RuntimeFile& font : rt.fonts) {
        copyFile(font.source, kit / font.dest, kData);
        step(font.source, fs::path(font.dest).filename().string());
    }
    // Systems without a font configuration of their own (the installer points fontconfig here then).
    writeText(runtime / "fonts" / "fonts.conf", "<?xml version=\"1.0\"?>\n"
                                                "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                                                "<fontconfig>\n"
                                                "  <dir prefix=\"relative\">.</dir>\n"
                                                "  <cachedir prefix=\"xdg\">fontconfig</cachedir>\n"
                                                "</fontconfig>\n");
    writeText(kit / "qt.conf", std::string("[Paths]\nPrefix = ") + kRuntimeFolder + "\nPlugins = plugins\n");
    if (progress) progress->end();
}

std::vector<std::string> runtimeProblems(const std::string& kitFolder) {
    std::vector<std::string> problems;
    const fs::path kit(kitFolder);
    const fs::path runtime = kit / kRuntimeFolder;
    std::vector<fs::path> binaries{kit / "install"};
    for (const std::string& plugin : installerQtPlugins())
        binaries.push_back(runtime / "plugins" / plugin);
    if (!fs::is_regular_file(kit / "qt.conf")) problems.push_back((kit / "qt.conf").string() + " is missing");
    for (const fs::path& file : binaries) {
        if (!fs::is_regular_file(file)) {
            problems.push_back(file.string() + " is missing");
            continue;
        }
        const ProgramResult r = runProgram({"ldd", file.string()});
        if (r.exitCode != 0) {
            problems.push_back(file.string() + " cannot be loaded: " + std::string(trimmed(r.output)));
            continue;
        }
        const LddListing listing = parseLdd(r.output);
        for (const std::string& name : listing.missing)
            problems.push_back(file.string() + " needs " + name +
                               ", which is neither in the kit nor on this system");
        for (const SharedLibrary& lib : listing.libraries) {
            if (!leftToSystem(lib.soname) && !isInside(lib.path, runtime))
                problems.push_back(file.string() + " loads " + lib.path + " from outside the kit");
        }
    }
    std::sort(problems.begin(), problems.end());
    problems.erase(std::unique(problems.begin(), problems.end()), problems.end());
    return problems;
}

} // namespace kitmaker
