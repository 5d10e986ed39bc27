#pragma once
// The volumes of a set: their names, what each says about itself before its blocks are read, and
// the few of them that are open at a time.
#include "fd.h"
#include "format.h"
#include "unrar/unrar.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace unrar_detail {

// The name of the volume after `name`, found as the RAR archiver names volumes: "x.part01.rar" ->
// "x.part02.rar" (the number keeps its width and grows when it overflows: part9 -> part10), and in the
// old style "x.rar" -> "x.r00" -> "x.r01" ... "x.r99" -> "x.s00". Letter case is kept.
std::string nextVolumeName(std::string_view name);

// Which file a volume is. A file put in its place later (renamed over it, copied over it, cut short
// or grown) differs in at least one of these.
struct FileIdentity {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t mtimeSec = 0, mtimeNsec = 0;
    // False on file systems that make inode numbers up when a file is looked up (FAT and exFAT, as
    // on USB sticks and memory cards, and FUSE): there a file closed and opened again may come back
    // with another number, so the number does not tell files apart.
    bool inodeKept = true;
};

// Whether `now` is still the file that `was` described.
bool sameFile(const FileIdentity& was, const FileIdentity& now);

// What a volume says about itself; its bytes are read through the set (below), which keeps only a
// few volumes open.
struct Volume {
    std::string path;
    FileIdentity file;
    uint64_t size = 0;
    int64_t start = 0; // offset of its first byte in the joined stream of the set
    Format format = Format::unknown;
    MainFacts main;
    TailFacts tail;
};

enum class VolumeStatus { ok, missing, notRar, damaged, readError };

// Opens a volume (only a regular file: never a FIFO or a device, which could block or never end)
// and reads its signature, main header and end block. The open file goes to `fd`.
VolumeStatus openVolume(const std::string& path, Volume& out, UniqueFd& fd);

// Whether `v` can be volume number `index` of the set that `first` starts.
bool belongsToSet(const Volume& first, const Volume& v, size_t index);

// The volumes of a set opened so far. However many there are, at most `maxOpen` of them are open
// at a time (the ones used last): a set of thousands of floppy-sized volumes must not run out of
// file descriptors. A volume closed to make room is opened again by its name when its bytes are
// needed once more, and must then still be the same file (device, inode, size and modification
// time); a volume replaced on disk in the meantime is never read. It is asked for through the
// volume callback like a missing one, and when the callback gives up the set fails: ERAR_EOPEN
// when the name leads nowhere, ERAR_BAD_ARCHIVE when it leads to another file.
class VolumeSet {
  public:
    static constexpr size_t maxOpen = 4;

    // ERAR_SUCCESS, or why the first volume cannot be read.
    int openFirst(const std::string& path);
    // Opens the volume after the last one, named after it; asked for through the volume callback
    // while it is missing or not the next volume of this set. False when it cannot be had (fatal()
    // then says why).
    bool openNext();

    size_t size() const { return volumes_.size(); }
    const Volume& operator[](size_t i) const { return volumes_[i]; }

    // An open descriptor of volume `i` (opened again when it was closed), or -1 when the volume
    // cannot be had (fatal() then says why). Valid until the next call that may open a volume.
    int descriptor(size_t i);
    // Volume `i` ended before its size: it is no longer the file that was opened. Closed, and had
    // again by name as after any close.
    int reopen(size_t i);
    // Reads up to n bytes at `offset` of volume `i` (fewer at its end); false when they cannot be had.
    bool read(size_t i, uint64_t offset, size_t n, std::vector<unsigned char>& buf);
    // The block at `offset` of volume `i`, read by the reader of its format.
    BlockResult readBlock(size_t i, uint64_t offset);

    void setVolumeProc(CHANGEVOLPROC proc) { proc_ = proc; }
    // A code set when the set cannot go on (a volume given up, a read error, a callback that raised
    // an exception); 0 while all is well. The first code stays.
    int fatal() const { return fatal_; }
    void setFatal(int code) {
        if (!fatal_) fatal_ = code;
    }

  private:
    int callVolumeProc(std::string& name, int mode);
    int keepOpen(size_t i, UniqueFd fd);

    struct OpenVolume {
        size_t volume = 0;
        UniqueFd fd;
        uint64_t lastUse = 0;
    };
    std::deque<Volume> volumes_;
    std::vector<OpenVolume> open_; // at most maxOpen
    uint64_t uses_ = 0;
    CHANGEVOLPROC proc_ = nullptr;
    int fatal_ = 0;
};

} // namespace unrar_detail
