#include "kitverify.h"

#include "kitbuild.h"
#include "names.h"
#include "progress.h"
#include "runtime.h"
#include "sizes.h"

#include "desktop/ini.h"
#include "framework/forms.h"
#include "framework/settings.h"
#include "midas/midas.h"
#include "setup/rarerrors.h"
#include "unrar/unrar.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace kitmaker {

namespace {

// The archive walk in progress; the RAR layer's callbacks carry no user data.
struct Walk {
    std::string missingVolume;
    std::vector<std::string> opened;
    Progress* progress = nullptr;
    std::uint64_t done = 0;
    std::string current;
};
thread_local Walk* gWalk = nullptr;

int PASCAL onVolume(char* name, int mode) {
    if (mode == RAR_VOL_ASK) {
        gWalk->missingVolume = name;
        return 0;
    }
    gWalk->opened.push_back(name);
    return 1;
}

int PASCAL onData(unsigned char*, int size) {
    gWalk->done += static_cast<std::uint64_t>(size > 0 ? size : 0);
    if (gWalk->progress) gWalk->progress->update(gWalk->done, gWalk->current);
    return 1;
}

class Archive {
  public:
    Archive(const std::string& path, unsigned mode) : name_(path) {
        RAROpenArchiveData d{};
        d.ArcName = name_.data();
        d.OpenMode = mode;
        handle_ = RAROpenArchive(&d);
        result_ = static_cast<int>(d.OpenResult);
        if (!handle_ && result_ == 0) result_ = ERAR_EOPEN;
    }
    ~Archive() {
        if (handle_) RARCloseArchive(handle_);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;
    HANDLE handle() const { return result_ == 0 ? handle_ : nullptr; }
    int result() const { return result_; }

  private:
    std::string name_;
    HANDLE handle_ = nullptr;
    int result_ = 0;
};

struct Entry {
    std::string name;
    bool directory = false;
    std::uint64_t size = 0;
};

// A decimal count the way the installer converts it, or -1.
long long installerNumber(const std::string& text) {
    try {
        return forms::StrToInt(text);
    } catch (const std::exception&) {
        return -1;
    }
}

// Files in the kit's top folder that look like volumes of `first`'s set.
std::vector<std::string> lookalikeVolumes(const fs::path& kit, const std::string& first) {
    std::string base = first;
    for (const std::string suffix : {".part1.rar", ".part01.rar", ".part001.rar", ".rar"}) {
        if (base.size() > suffix.size() &&
            base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0) {
            base.resize(base.size() - suffix.size());
            break;
        }
    }
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = fs::directory_iterator(kit, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string n = it->path().filename().string();
        if (n.size() <= base.size() + 1 || n.compare(0, base.size() + 1, base + ".") != 0) continue;
        const std::string rest = n.substr(base.size() + 1);
        const bool part =
            rest.compare(0, 4, "part") == 0 && rest.size() > 8 && rest.substr(rest.size() - 4) == ".rar";
        const bool old = rest == "rar" || (rest.size() == 3 && (rest[0] >= 'r' && rest[0] <= 'z') &&
                                           std::isdigit(static_cast<unsigned char>(rest[1])) &&
                                           std::isdigit(static_cast<unsigned char>(rest[2])));
        if (part || old) found.push_back(it->path().string());
    }
    return found;
}

} // namespace

std::string musicProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "not a readable file";
    MIDASstartup();
    if (!MIDASinit()) {
        std::string why = MIDASgetErrorMessage(MIDASgetLastError());
        MIDASclose();
        return "the sound library cannot start: " + why;
    }
    std::string name = path;
    const MIDASmodule module = MIDASloadModule(name.data());
    std::string why;
    if (!module) {
        why = std::string("the installer's sound library cannot play it: ") +
              MIDASgetErrorMessage(MIDASgetLastError());
    } else {
        MIDASmoduleInfo info{};
        if (!MIDASgetModuleInfo(module, &info))
            why = std::string("the installer's sound library cannot read it: ") +
                  MIDASgetErrorMessage(MIDASgetLastError());
        MIDASfreeModule(module);
    }
    MIDASclose();
    return why;
}

VerifyReport verifyKit(const std::string& kitFolder, const VerifyOptions& options, Progress* progress) {
    VerifyReport r;
    const fs::path kit(kitFolder);
    if (!fs::is_directory(kit)) {
        r.problems.push_back(kitFolder + " is not a folder");
        return r;
    }
    const std::string folder = (kit / "").string();
    if (fs::exists(kit / kUnfinishedMarker))
        r.problems.push_back("the kit is unfinished: kitmaker was stopped or failed while writing it (" +
                             (kit / kUnfinishedMarker).string() + ")");

    // --- install.ini, read as the installer reads it ---
    const fs::path iniPath = kit / "install.ini";
    if (!fs::is_regular_file(iniPath)) {
        r.problems.push_back(iniPath.string() + " is missing: the installer would start without a product");
        return r;
    }
    // As the main window's creation does: the music path first, then the settings.
    TInstallSettings s;
    s.MusicPath = folder + "install.dat";
    ReadInstallSettings(s, iniPath.string(), folder);
    std::string iniText;
    if (std::ifstream in(iniPath, std::ios::binary); in)
        iniText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    static const char* const kAbsent = "\x01"
                                       "absent";
    for (const char* key : {"APPZ", "SIZE", "DIR", "FILERAR", "NFO", "REG", "SCRTXT", "FILES"}) {
        const std::string whole = desktop::profileString(iniText, "OPTIONS", key, kAbsent);
        if (whole == kAbsent)
            r.problems.push_back(std::string("install.ini has no ") + key);
        else if (whole.size() > kSettingMaxChars)
            r.warnings.push_back(std::string("install.ini: ") + key +
                                 " is longer than 250 bytes; the installer cuts it");
    }
    if (s.AppName.empty()) r.warnings.push_back("install.ini: APPZ is empty, so no product name is shown");
    const long long sizeMb = installerNumber(s.RequiredSize);
    const long long volumeCount = installerNumber(s.VolumeCount);
    if (sizeMb < 0)
        r.problems.push_back("install.ini: SIZE (" + s.RequiredSize + ") is not a number of megabytes");
    if (volumeCount < 1)
        r.problems.push_back("install.ini: FILES (" + s.VolumeCount + ") is not a number of volumes");

    // Files named in install.ini belong to the kit: a name that leads out of its folder would make the
    // installer read (or open) whatever lies there on the user's machine.
    for (const auto& [key, value] :
         {std::pair{"FILERAR", s.ArchiveFile}, {"NFO", s.InfoFile}, {"REG", s.OpenAfterFile}}) {
        if (value.empty() || value == "NONE") continue;
        const fs::path named(value);
        const bool outside =
            named.is_absolute() ||
            std::any_of(named.begin(), named.end(), [](const fs::path& part) { return part == ".."; });
        if (outside)
            r.problems.push_back(std::string("install.ini: ") + key + " (" + value +
                                 ") lies outside the kit folder");
    }

    // --- the music, the info file, the follow-up file ---
    if (std::string why = options.music ? musicProblem(s.MusicPath) : std::string(); !why.empty())
        r.problems.push_back("the music " + s.MusicPath + ": " + why);
    if (s.InfoFile.empty())
        r.warnings.push_back("install.ini: NFO is empty, so the info viewer shows nothing");
    else if (!fs::is_regular_file(folder + s.InfoFile))
        r.problems.push_back("the info file " + folder + s.InfoFile + " (NFO) is missing");
    if (s.OpenAfterFile.empty())
        r.warnings.push_back("install.ini: REG is empty, so the kit folder opens after installing");
    else if (s.OpenAfterFile != "NONE" && !fs::is_regular_file(s.OpenAfterPath))
        r.problems.push_back("the follow-up file " + s.OpenAfterPath + " (REG) is missing");

    // --- the archive, read through the installer's RAR layer ---
    if (s.ArchiveFile.empty()) {
        r.problems.push_back("install.ini: FILERAR is empty, so there is no archive to install");
    } else {
        const std::string first = folder + s.ArchiveFile;
        std::vector<Entry> entries;
        {
            // First the headers: names and sizes.
            Walk walk;
            gWalk = &walk;
            Archive list(first, RAR_OM_LIST);
            if (!list.handle()) {
                r.problems.push_back("the archive " + first +
                                     " cannot be opened: " + RarErrorText(list.result()));
            } else {
                RARSetChangeVolProc(list.handle(), onVolume);
                RARHeaderData h{};
                int rc;
                while ((rc = RARReadHeader(list.handle(), &h)) == 0) {
                    Entry e;
                    e.name = h.FileName;
                    e.directory = (h.Flags & RHDF_DIRECTORY) != 0;
                    unsigned long long unp = h.UnpSize;
                    RARGetFileSize64(list.handle(), &unp, nullptr);
                    e.size = unp;
                    entries.push_back(e);
                    if (int skip = RARProcessFile(list.handle(), RAR_SKIP, nullptr, nullptr); skip != 0) {
                        rc = skip;
                        break;
                    }
                }
                if (rc != ERAR_END_ARCHIVE)
                    r.problems.push_back(walk.missingVolume.empty()
                                             ? "the archive's headers cannot be read: " + RarErrorText(rc)
                                             : "the archive volume " + walk.missingVolume + " is missing");
            }
            gWalk = nullptr;
        }
        std::uint64_t required = 0;
        std::set<std::string> seen;
        for (const Entry& e : entries) {
            r.bytes += e.size;
            required += e.directory ? allocatedBytes(1) : allocatedBytes(e.size);
            if (std::string why = pathProblem(e.name); !why.empty())
                r.problems.push_back("the archive holds " + printableName(e.name) +
                                     ", which cannot be installed: " + why);
            else if (!seen.insert(e.name).second)
                r.warnings.push_back("the archive holds " + printableName(e.name) +
                                     " twice; the later one wins");
        }
        r.entries = entries.size();
        if (sizeMb >= 0 && static_cast<std::uint64_t>(sizeMb) < requiredMegabytes(required))
            r.problems.push_back("install.ini: SIZE is " + std::to_string(sizeMb) +
                                 " Mb but the archive needs " + std::to_string(requiredMegabytes(required)) +
                                 " Mb");

        if (!entries.empty()) {
            // Then every byte, with the checksums, as an installation would read them.
            Walk walk;
            walk.progress = progress;
            gWalk = &walk;
            if (progress) progress->begin("Checking the archive", r.bytes);
            Archive test(first, RAR_OM_EXTRACT);
            if (test.handle()) {
                RARSetChangeVolProc(test.handle(), onVolume);
                RARSetProcessDataProc(test.handle(), onData);
                RARHeaderData h{};
                int rc;
                while ((rc = RARReadHeader(test.handle(), &h)) == 0) {
                    walk.current = printableName(h.FileName);
                    const std::string volume = walk.opened.empty() ? first : walk.opened.back();
                    const int t = RARProcessFile(test.handle(), RAR_TEST, nullptr, nullptr);
                    if (t != 0) {
                        r.problems.push_back(walk.missingVolume.empty()
                                                 ? "the archive's " + walk.current + " is damaged (in " +
                                                       volume + "): " + RarErrorText(t)
                                                 : "the archive volume " + walk.missingVolume +
                                                       " is missing");
                        if (t != ERAR_BAD_DATA) {
                            rc = ERAR_END_ARCHIVE; // reported just now
                            break;
                        }
                    }
                }
                if (rc != 0 && rc != ERAR_END_ARCHIVE)
                    r.problems.push_back(walk.missingVolume.empty()
                                             ? "the archive cannot be read to its end (" +
                                                   (walk.opened.empty() ? first : walk.opened.back()) +
                                                   "): " + RarErrorText(rc)
                                             : "the archive volume " + walk.missingVolume + " is missing");
                r.volumes = 1 + walk.opened.size();
                if (volumeCount > 0 && static_cast<std::uint64_t>(volumeCount) != r.volumes &&
                    walk.missingVolume.empty())
                    r.problems.push_back("install.ini: FILES is " + std::to_string(volumeCount) +
                                         " but the archive has " + std::to_string(r.volumes) +
                                         (r.volumes == 1 ? " volume" : " volumes"));
                std::set<std::string> used{fs::path(first).lexically_normal().string()};
                for (const std::string& v : walk.opened)
                    used.insert(fs::path(v).lexically_normal().string());
                for (const std::string& v : lookalikeVolumes(kit, s.ArchiveFile))
                    if (!used.count(fs::path(v).lexically_normal().string()))
                        r.warnings.push_back(v + " looks like a volume but is not part of the archive");
            }
            if (progress) progress->end();
            gWalk = nullptr;
        }
    }

    // --- the installer and its runtime ---
    if (options.runtime)
        for (std::string& p : runtimeProblems(kitFolder))
            r.problems.push_back(std::move(p));
    // One missing volume shows in both walks; say it once.
    std::vector<std::string> unique;
    for (std::string& p : r.problems)
        if (std::find(unique.begin(), unique.end(), p) == unique.end()) unique.push_back(std::move(p));
    r.problems = std::move(unique);
    return r;
}

} // namespace kitmaker
