#include "kitbuild.h"

#include "demokit.h"
#include "kitarchive.h"
#include "kitverify.h"
#include "modwriter.h"
#include "names.h"
#include "progress.h"
#include "runtime.h"
#include "sizes.h"

#include "desktop/ini.h"
#include "framework/settings.h"
#include "shell/infoform.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kitmaker {

namespace {

bool isUnder(const fs::path& inner, const fs::path& outer) {
    const std::string i = inner.string(), o = outer.string();
    return i.size() > o.size() && i.compare(0, o.size(), o) == 0 && (o.back() == '/' || i[o.size()] == '/');
}

bool folderIsEmpty(const fs::path& p) {
    std::error_code ec;
    return fs::directory_iterator(p, ec) == fs::directory_iterator();
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
        const int e = errno;
        throw KitError("cannot write " + path.string() + (e ? std::string(": ") + std::strerror(e) : ""));
    }
}

void copyInto(const std::string& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) throw KitError("cannot copy " + from + " to " + to.string() + ": " + ec.message());
    fs::permissions(
        to, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read,
        ec);
}

// A file named by an option: it must be a regular file this process can read.
void checkInputFile(const std::string& path, const std::string& option) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw KitError(option + " " + path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) throw KitError(option + " " + path + ": not a regular file");
    if (::access(path.c_str(), R_OK) != 0) throw KitError(option + " " + path + ": " + std::strerror(errno));
}

std::uint64_t folderBytes(const fs::path& p) {
    std::uint64_t total = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(p, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec)) total += it->file_size(ec);
    }
    return total;
}

// The kit folder while it is written: on failure everything written into it goes again (the folder
// too when this run made it).
class KitFolder {
  public:
    explicit KitFolder(fs::path path) : path_(std::move(path)) {}
    KitFolder(const KitFolder&) = delete;
    KitFolder& operator=(const KitFolder&) = delete;
    ~KitFolder() {
        if (!done_) clear(path_, made_);
    }

    // Makes the folder, or empties the kit in it: install.ini goes first, so no moment passes in which
    // the folder holds a kit's settings beside another run's volumes.
    void prepare(bool exists) {
        std::error_code ec;
        if (!exists) {
            fs::create_directories(path_, ec);
            if (ec) throw KitError("cannot create the kit folder " + path_.string() + ": " + ec.message());
            made_ = true;
        } else {
            fs::remove(path_ / "install.ini", ec);
            if (ec) throw KitError("cannot remove " + (path_ / "install.ini").string() + ": " + ec.message());
            clear(path_, false);
        }
        writeBytes(path_ / kUnfinishedMarker, "kitmaker is writing this kit\n");
    }
    void finish() {
        std::error_code ec;
        fs::remove(path_ / kUnfinishedMarker, ec);
        if (ec) throw KitError("cannot remove " + (path_ / kUnfinishedMarker).string() + ": " + ec.message());
        done_ = true;
    }
    const fs::path& path() const { return path_; }

  private:
    static void clear(const fs::path& p, bool whole) {
        std::error_code ec;
        if (whole) {
            fs::remove_all(p, ec);
            return;
        }
        // The marker goes last: while anything is left the folder stays marked unfinished.
        std::vector<fs::path> children;
        for (auto it = fs::directory_iterator(p, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            if (it->path().filename() != kUnfinishedMarker) children.push_back(it->path());
        for (const fs::path& c : children)
            fs::remove_all(c, ec);
        fs::remove(p / kUnfinishedMarker, ec);
    }

    fs::path path_;
    bool made_ = false;
    bool done_ = false;
};

std::string defaultScrollLine(const std::string& name) {
    std::string line = "Welcome to " + name + " ... press Install Game to begin";
    if (iniTextProblem(line) != "") line = name;
    return line;
}

std::string followUpFor(const std::string& name) {
    return name + "\r\n\r\nThank you for installing " + name +
           ".\r\nThe files were unpacked into the folder you chose; it opens next.\r\n";
}

} // namespace

std::string archiveBaseFor(const std::string& productName) {
    std::string base;
    for (const char ch : productName) {
        const auto c = static_cast<unsigned char>(ch);
        if (base.size() < 24 && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            base += static_cast<char>(c);
        else if (base.size() < 24 && c >= 'A' && c <= 'Z')
            base += static_cast<char>(c - 'A' + 'a');
    }
    return base.empty() ? "product" : base;
}

std::string defaultDirFor(const std::string& productName) {
    std::string dir;
    for (const char ch : productName) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || std::strchr("/\\<>:\"|?*", ch)) continue;
        dir += ch;
    }
    while (!dir.empty() && (dir.back() == ' ' || dir.back() == '.'))
        dir.pop_back();
    while (!dir.empty() && (dir.front() == ' ' || dir.front() == '.'))
        dir.erase(0, 1);
    return dir.empty() ? archiveBaseFor(productName) : desktop::cutText(dir, kSettingMaxChars);
}

std::string iniValue(const std::string& value) {
    const bool blanks = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                           value.back() == ' ' || value.back() == '\t');
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return blanks || quoted ? "\"" + value + "\"" : value;
}

std::string installIni(const IniValues& v) {
    std::string s;
    s += "; Installer settings written by kitmaker\r\n";
    s += "[OPTIONS]\r\n";
    s += "APPZ=" + iniValue(v.appz) + "\r\n";
    s += "SIZE=" + v.size + "\r\n";
    s += "DIR=" + iniValue(v.dir) + "\r\n";
    s += "FILERAR=" + iniValue(v.filerar) + "\r\n";
    s += "NFO=" + iniValue(v.nfo) + "\r\n";
    s += "REG=" + iniValue(v.reg) + "\r\n";
    s += "SCRTXT=" + iniValue(v.scrtxt) + "\r\n";
    s += "FILES=" + v.files + "\r\n";
    return s;
}

std::string iniTextProblem(const std::string& text) {
    if (!desktop::isValidUtf8(text)) return "is not valid UTF-8";
    if (desktop::cutText(text, kSettingMaxChars) != text)
        return "is longer than the installer reads (250 characters)";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) return "holds a line break or another control character";
    }
    return {};
}

std::string toOem(const std::string& utf8) {
    static const std::map<char32_t, char> kFromUnicode = [] {
        std::map<char32_t, char> m;
        for (int b = 0x20; b < 0x100; ++b)
            m.emplace(infotext::oemToUnicode(static_cast<unsigned char>(b)), static_cast<char>(b));
        return m;
    }();
    std::string out;
    for (const char32_t c : QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toUcs4()) {
        const auto it = kFromUnicode.find(c);
        out += it == kFromUnicode.end() ? '?' : it->second;
    }
    return out;
}

namespace {

KitSummary build(const KitOptions& o, Progress* progress) {
    // --- the options ---
    if (o.from.empty()) throw KitError("no product folder (--from DIR)");
    if (o.out.empty()) throw KitError("no kit folder (--out KIT)");
    if (o.name.empty()) throw KitError("no product name (--name TEXT)");
    if (std::string why = iniTextProblem(o.name); !why.empty()) throw KitError("the product name " + why);
    const std::string scroll = o.scroll.empty() ? defaultScrollLine(o.name) : o.scroll;
    if (std::string why = iniTextProblem(scroll); !why.empty())
        throw KitError("the scrolling line (--scroll) " + why);
    const std::string dir = o.defaultDir.empty() ? defaultDirFor(o.name) : o.defaultDir;
    if (std::string why = iniTextProblem(dir); !why.empty()) throw KitError("the folder name (--dir) " + why);
    if (std::string why = nameProblem(dir); !why.empty())
        throw KitError("the folder name (--dir) holds " + why);
    const std::string base = o.archiveBase.empty() ? archiveBaseFor(o.name) : o.archiveBase;
    if (std::string why = nameProblem(base); !why.empty() || base.size() > 200)
        throw KitError("the archive name " + printableName(base) +
                       " cannot be used: " + (why.empty() ? "it is longer than 200 bytes" : why));
    if (!o.music.empty()) {
        checkInputFile(o.music, "--music");
        if (std::string why = musicProblem(o.music); !why.empty())
            throw KitError("--music " + o.music + ": " + why);
    }
    if (!o.info.empty()) checkInputFile(o.info, "--info");
    const bool noReadme = o.readme == "NONE";
    if (!o.readme.empty() && !noReadme) checkInputFile(o.readme, "--readme");
    const std::string nfo = o.info.empty() ? base + ".nfo" : fs::path(o.info).filename().string();
    const std::string reg = noReadme           ? "NONE"
                            : o.readme.empty() ? "readme.txt"
                                               : fs::path(o.readme).filename().string();

    // Names in the kit's top folder must not collide.
    std::map<std::string, std::string> taken = {
        {"install", "the installer"}, {"install.ini", "the settings"}, {"install.dat", "the music"},
        {"qt.conf", "the runtime"},   {kRuntimeFolder, "the runtime"}, {kUnfinishedMarker, "kitmaker"}};
    for (const auto& [file, what] :
         {std::pair{nfo, std::string("the info file")}, {reg, "the follow-up file"}}) {
        if (file == "NONE") continue;
        if (std::string why = nameProblem(file); !why.empty() || !iniTextProblem(file).empty())
            throw KitError(what + " name " + printableName(file) + " cannot be used in install.ini" +
                           (why.empty() ? "" : ": " + why));
        if (auto [it, fresh] = taken.emplace(file, what); !fresh)
            throw KitError(what + " cannot be called " + file + ": that is the name of " + it->second);
    }
    auto clashesWithVolumes = [&](const std::string& file) {
        return file.compare(0, base.size() + 1, base + ".") == 0 &&
               (file.size() > 4 && (file.substr(file.size() - 4) == ".rar" || file[base.size() + 1] == 'r'));
    };
    if (clashesWithVolumes(nfo) || (!noReadme && clashesWithVolumes(reg)))
        throw KitError("the info or follow-up file has a name like the archive volumes (" + base + ".*)");

    // --- the folders ---
    std::error_code ec;
    const fs::path from = fs::canonical(o.from, ec);
    if (ec) throw KitError("the product folder " + o.from + ": " + ec.message());
    if (!fs::is_directory(from)) throw KitError("the product folder " + o.from + " is not a folder");
    const fs::path out = fs::weakly_canonical(fs::absolute(o.out), ec);
    if (ec) throw KitError("the kit folder " + o.out + ": " + ec.message());
    if (out == from || isUnder(out, from))
        throw KitError("the kit folder " + out.string() + " lies inside the product folder " + from.string() +
                       ": it would pack itself");
    if (isUnder(from, out))
        throw KitError("the product folder " + from.string() + " lies inside the kit folder " + out.string());
    const bool exists = fs::exists(fs::symlink_status(out));
    if (exists) {
        if (!fs::is_directory(out))
            throw KitError("the kit folder " + out.string() + " exists and is not a folder");
        if (!folderIsEmpty(out)) {
            if (!o.force)
                throw KitError("the kit folder " + out.string() +
                               " is not empty (--force replaces the kit in it)");
            if (!fs::exists(out / "install.ini") && !fs::exists(out / kUnfinishedMarker))
                throw KitError("the kit folder " + out.string() +
                               " is not empty and holds no kit; --force replaces only a kit");
            for (const std::string& input : {o.music, o.info, noReadme ? std::string() : o.readme}) {
                if (!input.empty() && isUnder(fs::weakly_canonical(input, ec), out))
                    throw KitError(input + " lies inside the kit folder, which --force empties");
            }
        }
    }

    // --- the product ---
    if (progress) progress->begin("Reading the product folder " + from.string(), 0);
    ProductScan scan = scanProduct(from.string());
    if (progress) progress->end();
    if (!scan.problems.empty()) {
        std::string text = "the product folder cannot be shipped as it is:";
        const std::size_t shown = std::min<std::size_t>(scan.problems.size(), 20);
        for (std::size_t i = 0; i < shown; ++i)
            text += "\n  " + scan.problems[i];
        if (shown < scan.problems.size())
            text += "\n  ... and " + std::to_string(scan.problems.size() - shown) + " more";
        throw KitError(text);
    }

    // --- the kit ---
    KitSummary summary;
    summary.files = scan.files;
    summary.folders = scan.folders;
    summary.links = scan.links;
    summary.contentBytes = scan.fileBytes;
    summary.requiredMb = requiredMegabytes(scan.requiredBytes);
    {
        // Whatever goes wrong from here on, the folder is left as if nothing had been written.
        KitFolder kit(out);
        kit.prepare(exists);
        if (!o.installer.empty()) {
            const Runtime rt = computeRuntime(o.installer, o.qtPluginFolder);
            writeRuntime(rt, out.string(), progress);
            summary.runtimeBytes = folderBytes(out / kRuntimeFolder) + fs::file_size(out / "install", ec) +
                                   fs::file_size(out / "qt.conf", ec);
        }
        if (o.music.empty()) {
            static const std::string tune = modFileBytes(composeDemoSong()); // composing takes a while
            writeBytes(out / "install.dat", tune);
        } else {
            copyInto(o.music, out / "install.dat");
        }

        ArchiveSettings settings;
        settings.volumeSize = o.volumeSize;
        settings.oldNaming = o.oldNaming;
        settings.rar5 = o.rar5;
        summary.volumes = writeProductArchive((out / base).string(), scan, settings, progress);
        const std::string filerar = fs::path(summary.volumes.front()).filename().string();
        const std::string files = std::to_string(summary.volumes.size());

        if (o.info.empty()) {
            DemoKit facts;
            facts.productName = toOem(o.name);
            facts.requiredMb = std::to_string(summary.requiredMb);
            facts.archiveFile = filerar;
            facts.volumeCount = files;
            writeBytes(out / nfo, infoFileBytes(facts));
        } else {
            copyInto(o.info, out / nfo);
        }
        if (o.readme.empty())
            writeBytes(out / reg, followUpFor(o.name));
        else if (!noReadme)
            copyInto(o.readme, out / reg);

        // install.ini comes last and appears whole (renamed into place).
        const std::string ini =
            installIni({o.name, std::to_string(summary.requiredMb), dir, filerar, nfo, reg, scroll, files});
        writeBytes(out / "install.ini.new", ini);
        fs::rename(out / "install.ini.new", out / "install.ini", ec);
        if (ec) throw KitError("cannot write " + (out / "install.ini").string() + ": " + ec.message());
        kit.finish();
    }
    summary.kitBytes = folderBytes(out);
    return summary;
}

} // namespace

KitSummary buildKit(const KitOptions& o, Progress* progress) {
    try {
        return build(o, progress);
    } catch (const KitError&) {
        throw;
    } catch (const std::exception& e) {
        throw KitError(e.what());
    }
}

} // namespace kitmaker
