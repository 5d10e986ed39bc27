#pragma once
// Writing archive entries to disk below a destination folder, safe by construction: every folder on
// the way is opened with openat and O_NOFOLLOW (a symbolic link is never passed through), files are
// written under a temporary name and renamed when complete, and a symbolic link is made only when its
// target, resolved against what is on disk, stays below the destination for good.
#include "fd.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace unrar_detail {

// Splits a stored name at '/' and '\\', dropping empty and "." parts. Returns false for names that
// may not be written: absolute names (a leading separator or a drive letter), names with ".." parts,
// and names with nothing left.
bool splitStoredName(std::string_view name, std::vector<std::string>& parts);

// Opens the folder made of the first `count` of `parts` below `root`, never passing through a
// symbolic link; creates missing folders when `create`. Returns an invalid fd on failure.
UniqueFd openDirBelow(int root, const std::vector<std::string>& parts, size_t count, bool create);

// Whether a symbolic link in the folder `linkDir` (below `root`) pointing at `target` stays below
// `root`, now and whatever is made below `root` later by the same rules. The target is resolved
// against the disk, following the links that are there; ".." may only climb real folders, never
// out of `root`, never back over a followed link (which a later entry could replace) and never
// over a name that does not exist yet.
bool linkStaysInside(int root, const std::vector<std::string>& linkDir, std::string_view target);

// Writes all `n` bytes (again after interruptions); false on an error.
bool writeAll(int fd, const char* p, size_t n);

// The process's file-creation mask, read without changing it.
mode_t currentUmask();

struct EntryTimes {
    bool hasMtime = false;
    timespec mtime{};
    bool hasAtime = false;
    timespec atime{};
};

class DiskWriter {
  public:
    DiskWriter();

    // Where an entry goes: its stored name below destPath (the process's folder when empty), or
    // exactly destName when that is given.
    struct Place {
        UniqueFd dir;                     // the folder that receives it
        std::string leaf;                 // its name there
        int root = -1;                    // what links must stay below
        std::vector<std::string> dirPath; // the receiving folder below root
        std::vector<std::string> parts;   // stored name parts (below the destination only)
        UniqueFd ownRoot;                 // destName: its folder serves as root
    };
    // ERAR_SUCCESS or the code to report.
    int place(std::string_view storedName, const char* destPath, const char* destName, Place& out);

    int makeDirectory(Place& p, uint32_t mode, const EntryTimes& t);
    int makeSymlink(Place& p, const std::string& target, const EntryTimes& t);
    // A hard link to (or, where that fails or `copy` asks for it, a copy of) the file stored earlier
    // under `targetName`, below the destination.
    int makeHardlink(Place& p, const std::string& targetName, bool copy, const char* destPath);
    // A regular file: `fill` writes its bytes to the descriptor and returns ERAR_SUCCESS or a code.
    // The file appears under its name only when it is complete.
    int writeFile(Place& p, uint32_t mode, const EntryTimes& t, const std::function<int(int fd)>& fill);

    // Gives the folders made below the destination their modes and times, once their files are in.
    void finish();

    mode_t umask() const { return umask_; }

  private:
    int openRoot(const char* destPath);

    struct PendingDir {
        std::string root;
        std::vector<std::string> parts;
        mode_t mode = 0755;
        EntryTimes times;
    };
    mode_t umask_;
    std::string rootPath_;
    UniqueFd rootFd_;
    std::vector<PendingDir> pendingDirs_;
    unsigned tempCounter_ = 0;
};

} // namespace unrar_detail
