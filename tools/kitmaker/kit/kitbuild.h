#pragma once
// A whole distribution folder from a publisher's product folder: install.ini, the archive volumes,
// the music, the info file, the follow-up file, and the installer with its runtime.
#include "product.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kitmaker {

class Progress;

struct KitOptions {
    std::string from;             // the product folder
    std::string name;             // APPZ: the product's name
    std::string out;              // the kit folder
    std::string defaultDir;       // DIR; empty: made from the name
    std::string archiveBase;      // volumes' base name; empty: made from the name
    std::uint64_t volumeSize = 0; // largest volume in bytes; 0: one archive
    bool oldNaming = false;       // NAME.rar, NAME.r00 ... instead of NAME.part1.rar ...
    bool rar5 = true;             // RAR 5 (times to the second, hard links); false: RAR 4
    std::string music;            // module file for install.dat; empty: kitmaker's own tune
    std::string info;             // info file; empty: one made from the kit's facts
    std::string readme;           // follow-up file; empty: one made here; "NONE": none
    std::string scroll;           // SCRTXT; empty: a line made from the name
    bool force = false;           // replace the kit already in `out`
    std::string installer;        // the installer program whose runtime the kit carries; empty: none
    std::string qtPluginFolder;   // where the installer's Qt plug-ins are
};

struct KitSummary {
    std::vector<std::string> volumes; // paths, in order
    std::uint64_t requiredMb = 0;
    std::uint64_t files = 0, folders = 0, links = 0;
    std::uint64_t contentBytes = 0; // of the product's files
    std::uint64_t kitBytes = 0;     // of everything in the kit folder
    std::uint64_t runtimeBytes = 0; // of the installer and its runtime
};

// A problem with the publisher's input; the text names the path or option.
class KitError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Writes the kit. Nothing is written when the options or the product folder have a problem; when
// writing fails part way (a full disk, say) everything written is removed again, so no folder is
// left that looks like a finished kit. Throws KitError.
KitSummary buildKit(const KitOptions& options, Progress* progress);

// Names made from the product's name: the volumes' base name (lower-case ASCII letters and digits,
// "product" when none) and the folder offered for installing (the name without characters a folder
// name cannot hold).
std::string archiveBaseFor(const std::string& productName);
std::string defaultDirFor(const std::string& productName);

// The value as written after "KEY=" so that the installer reads exactly `value` back: quoted when
// blanks around it or a pair of quotes would otherwise be lost.
std::string iniValue(const std::string& value);

// The text of install.ini.
struct IniValues {
    std::string appz, size, dir, filerar, nfo, reg, scrtxt, files;
};
std::string installIni(const IniValues& v);

// Why a text for install.ini (the product's name, the scrolling line, the folder name) cannot be
// used, or "": longer than the installer reads (250 characters), not UTF-8, or holding line breaks or
// other control characters.
std::string iniTextProblem(const std::string& text);

// `utf8` in the OEM code page the info viewer shows (CP437); characters it lacks become '?'.
std::string toOem(const std::string& utf8);

// The marker of a kit folder being written; its presence means the kit is unfinished.
inline constexpr const char* kUnfinishedMarker = ".kitmaker-unfinished";

} // namespace kitmaker
