#include "runtime.h"

#include "progress.h"
#include "run.h"

#include "setup/unrarlibrary.h"
#include "shell/music.h"

#include <algorithm>
#include <cstring>
#include <elf.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

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

// The names of the libraries an ELF file asks the loader for (its DT_NEEDED entries), read from its
// dynamic section. Throws std::runtime_error when the file is not a 64-bit little-endian ELF file.
std::vector<std::string> neededLibraries(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const auto fail = [&] {
        return std::runtime_error("cannot read the libraries " + file.string() + " needs");
    };
    auto read = [&](std::uint64_t at, void* into, std::size_t n) {
        in.seekg(static_cast<std::streamoff>(at));
        return static_cast<bool>(in.read(static_cast<char*>(into), static_cast<std::streamsize>(n)));
    };
    Elf64_Ehdr eh{};
    if (!read(0, &eh, sizeof eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
        eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_ident[EI_DATA] != ELFDATA2LSB ||
        eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shnum > 4096)
        throw fail();
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    if (!sections.empty() && !read(eh.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr)))
        throw fail();
    std::vector<std::string> needed;
    for (const Elf64_Shdr& dyn : sections) {
        if (dyn.sh_type != SHT_DYNAMIC || dyn.sh_link >= sections.size() || dyn.sh_size > (1u << 20))
            continue;
        const Elf64_Shdr& strtab = sections[dyn.sh_link];
        std::vector<Elf64_Dyn> entries(dyn.sh_size / sizeof(Elf64_Dyn));
        if (!read(dyn.sh_offset, entries.data(), entries.size() * sizeof(Elf64_Dyn))) throw fail();
        for (const Elf64_Dyn& d : entries) {
            if (d.d_tag == DT_NULL) break;
            if (d.d_tag != DT_NEEDED || d.d_un.d_val >= strtab.sh_size) continue;
            char name[256] = {};
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(255, strtab.sh_size - d.d_un.d_val));
            in.seekg(static_cast<std::streamoff>(strtab.sh_offset + d.d_un.d_val));
            in.read(name, static_cast<std::streamsize>(n));
            in.clear();
            needed.emplace_back(name);
        }
    }
    return needed;
}

// Whether a library needs anything that travels with the kit (and so a search path of its own).
bool needsKitLibraries(const fs::path& file) {
    for (const std::string& name : neededLibraries(file))
        if (!leftToSystem(name)) return true;
    return false;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the prepared runtime was made from: every source file with its size and time. A prepared
// runtime with the same text is still right. The first line changes with what kitmaker itself writes
// into the runtime (the font configuration).
std::string runtimeStamp(const Runtime& rt) {
    std::string s = "kitmaker runtime 2\n";
    auto add = [&](const std::string& source, const std::string& dest) {
        struct stat st {};
        ::stat(source.c_str(), &st);
        s += dest + "\t" + source + "\t" + std::to_string(st.st_size) + "\t" +
             std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + "\n";
    };
    add(rt.installer, "install");
    for (const SharedLibrary& lib : rt.libraries)
        add(lib.path, std::string(kRuntimeFolder) + "/" + lib.soname);
    for (const auto* files : {&rt.plugins, &rt.fonts})
        for (const RuntimeFile& f : *files)
            add(f.source, f.dest);
    return s;
}

// Copies the prepared runtime (the program, qt.conf and the runtime folder) into a kit.
void copyPrepared(const fs::path& from, const fs::path& kit, std::uint64_t bytes, Progress* progress) {
    if (progress) progress->begin("Copying the installer's runtime", bytes);
    std::uint64_t done = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(from, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path rel = it->path().lexically_relative(from);
        if (rel == ".stamp") continue;
        const fs::path dest = kit / rel;
        if (it->is_directory()) {
            fs::create_directories(dest, ec);
            if (ec)
                throw std::runtime_error("cannot create the folder " + dest.string() + ": " + ec.message());
            continue;
        }
        copyFile(it->path().string(), dest, it->status().permissions());
        done += it->file_size(ec);
        if (progress) progress->update(done, rel.filename().string());
    }
    if (ec) throw std::runtime_error("cannot read " + from.string() + ": " + ec.message());
    if (progress) progress->end();
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

const std::vector<const char*>& installerLoadedLibraries() {
    static const std::vector<const char*> kLoaded = {kSoundLibraryFile, kUnrarLibraryFile};
    return kLoaded;
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
    // What the installer loads by name while it runs (the loader cannot list it) travels with its own
    // libraries; the installer finds it through its search path.
    for (const char* loaded : installerLoadedLibraries()) {
        const std::string source = (fs::path(installer).parent_path() / loaded).string();
        if (!fs::is_regular_file(source))
            throw std::runtime_error("the installer's " + std::string(loaded) + " is not beside it in " +
                                     fs::path(installer).parent_path().string());
        take(source);
        libraries.emplace(loaded, source);
    }
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

namespace {

// Places the runtime in `kitFolder`: copies, search paths, stripped debugging information.
void prepareRuntime(const Runtime& rt, const std::string& kitFolder, Progress* progress) {
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
    if (progress) progress->begin("Preparing the installer's runtime", rt.bytes);
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
    // The installer points fontconfig here before it reads any configuration: the system's own
    // configuration where there is one (its fonts, aliases and caches), with the kit's fonts added.
    writeText(runtime / "fonts" / "fonts.conf",
              "<?xml version=\"1.0\"?>\n"
              "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
              "<fontconfig>\n"
              "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
              "  <dir prefix=\"relative\">.</dir>\n"
              "  <cachedir prefix=\"xdg\">fontconfig</cachedir>\n"
              "</fontconfig>\n");
    writeText(kit / "qt.conf", std::string("[Paths]\nPrefix = ") + kRuntimeFolder + "\nPlugins = plugins\n");
    if (progress) progress->end();
}

// Makes `cache` hold the runtime prepared for `stamp`. Returns false when it cannot be written there.
bool refreshPrepared(const Runtime& rt, const fs::path& cache, const std::string& stamp, Progress* progress) {
    std::error_code ec;
    const std::string pid = std::to_string(::getpid());
    const fs::path fresh = cache.string() + ".new-" + pid, old = cache.string() + ".old-" + pid;
    fs::remove_all(fresh, ec);
    if (!fs::create_directories(fresh, ec) || ec) return false;
    try {
        prepareRuntime(rt, fresh.string(), progress);
        writeText(fresh / ".stamp", stamp);
    } catch (...) {
        fs::remove_all(fresh, ec);
        throw;
    }
    // Another kitmaker may be copying from the old one: it is moved aside, not emptied in place.
    fs::rename(cache, old, ec);
    fs::rename(fresh, cache, ec);
    const bool placed = !ec;
    fs::remove_all(old, ec);
    fs::remove_all(fresh, ec);
    return placed;
}

} // namespace

void writeRuntime(const Runtime& rt, const std::string& kitFolder, Progress* progress) {
    // The runtime is prepared once per build (beside the installer) and copied into every kit; it is
    // prepared again when any of its files has changed since (a rebuild, a system update).
    const fs::path cache = fs::path(rt.installer).parent_path() / "kit-runtime";
    const std::string stamp = runtimeStamp(rt);
    if (readText(cache / ".stamp") == stamp || refreshPrepared(rt, cache, stamp, progress)) {
        try {
            copyPrepared(cache, kitFolder, rt.bytes, progress);
            return;
        } catch (const std::exception&) {
            if (stopRequested()) throw;
            // Another kitmaker replaced the prepared runtime while this one copied it: this kit's
            // runtime is prepared in place instead.
        }
    }
    prepareRuntime(rt, kitFolder, progress);
}

std::vector<std::string> runtimeProblems(const std::string& kitFolder) {
    std::vector<std::string> problems;
    const fs::path kit(kitFolder);
    const fs::path runtime = kit / kRuntimeFolder;
    std::vector<fs::path> binaries{kit / "install"};
    for (const char* loaded : installerLoadedLibraries())
        binaries.push_back(runtime / loaded);
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
