#pragma once
// What the two RAR formats have in common, as the readers of each (rar4.h, rar5.h) report it: the
// blocks of a volume, one at a time, each checked against its header CRC and against what is left of
// the volume, so that a walk over them always moves forward and never reads outside the volume.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace unrar_detail {

enum class Format { unknown, rar4, rar5 };

// An open volume's bytes, read by offset.
class VolumeBytes {
  public:
    VolumeBytes(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t size() const { return size_; }
    // Reads up to n bytes at offset; false on a read error. `buf` holds what was there (it may be
    // shorter than n at the end of the volume).
    bool read(uint64_t offset, size_t n, std::vector<unsigned char>& buf) const;

  private:
    int fd_;
    uint64_t size_;
};

// `unsupported`: a kind of link this reader does not know; nothing is made for it.
enum class EntryKind { file, directory, symlink, hardlink, copy, unsupported };

// One file header, in the terms of the archive interface.
struct FileHeader {
    std::string name; // UTF-8, as stored (folders separated by '/' or '\\')
    EntryKind kind = EntryKind::file;
    std::string linkTarget; // symbolic links: the target; hard links and copies: the stored name of the file
    uint64_t linkDataSize = 0; // RAR 4 symbolic links keep their target in the data area
    bool splitBefore = false, splitAfter = false;
    bool encrypted = false, solid = false;
    bool sizeKnown = true;
    uint64_t packSize = 0, unpSize = 0;
    uint32_t hostOS = 0;   // RAR_HOST_*
    uint32_t fileTime = 0; // DOS date and time
    uint32_t unpVer = 0, method = 0;
    uint32_t fileAttr = 0; // as stored: a Unix mode or DOS attributes, after hostOS
    uint32_t mode = 0644;  // permission bits to restore (at most 0777)
    bool hasCrc = false;
    uint32_t crc = 0;
    bool hasBlake2 = false;
    std::array<unsigned char, 32> blake2{};
};

// What a volume says about itself at its start.
struct MainFacts {
    bool isVolume = false;         // part of a set
    bool firstVolume = false;      // says it is the first of its set (RAR 4 sets of newer archivers)
    int64_t volumeNumber = -1;     // RAR 5: 0 for the first volume
    bool encryptedHeaders = false; // the headers cannot be read without a password
    uint64_t blocksStart = 0;      // where the blocks after the main header begin
};

enum class BlockKind { file, service, end, main, crypt, other };

struct Block {
    BlockKind kind = BlockKind::other;
    uint64_t start = 0, headerEnd = 0, dataEnd = 0; // offsets in the volume
    FileHeader file;                                // kind == file
    bool moreVolumes = false;                       // kind == end: another volume follows
    MainFacts main;                                 // kind == main (RAR 5)
};

enum class BlockStatus {
    ok,
    endOfVolume, // the volume ends exactly here, without an end-of-archive block
    truncated,   // the volume ends inside this block
    damaged,     // its header fails its CRC or makes no sense
    readError,
};

struct BlockResult {
    BlockStatus status = BlockStatus::ok;
    Block block;
    std::string damagedName; // the name a damaged file header still shows, when it can be read
};

enum class MainStatus { ok, notRar, damaged };

// The end-of-archive block found in the last bytes of a volume (only zero padding may follow it).
struct TailFacts {
    bool endBlockFound = false;
    uint64_t endBlockStart = 0;
    uint64_t endBlockEnd = 0;
    bool moreVolumes = false;
};

// Steps both format readers take.
// A result of `status` alone (naming the file of a damaged or cut header when known).
BlockResult blockResult(BlockStatus status, std::string damagedName = {});
// Where a block lies: its header `headerSize` bytes from `offset`, then `dataSize` bytes of data.
// False when its end does not fit in 64 bits.
bool placeBlock(Block& b, uint64_t offset, uint64_t headerSize, uint64_t dataSize);
// A block whose data goes past the end of the volume is cut short (and names its file).
void checkInVolume(BlockResult& r, const VolumeBytes& v);
// Where the zero bytes that end `tail` begin (its size when it does not end in zeros).
size_t zeroPaddingStart(const unsigned char* tail, size_t size);

// DOS date and time (local time) of a Unix time; 0 before 1980.
uint32_t dosTime(int64_t unixTime);

} // namespace unrar_detail
