#pragma once
// A writer of RAR archives with stored (uncompressed) entries, in the RAR 1.5-4 block format or in
// the RAR 5 format: single archives and volume sets in both naming styles (NAME.partN.rar, and
// NAME.rar, NAME.r00, NAME.r01 ...).
//
// Contents come from memory (tests) or are streamed from files on disk in fixed-size chunks while
// the volumes are written, so archives of any size (64-bit sizes throughout) never sit in memory.
// Volumes are written under temporary names and renamed when the whole set is complete; a failure
// removes what was written, so no half-written set is ever left behind.
//
// Names and link targets are stored as given and not checked, so tests can make archives with any
// names at all (absolute paths, "..", backslashes, invalid UTF-8); callers that archive real folders
// check names themselves.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kitmaker {

enum class RarFormat {
    rar4, // the RAR 1.5-4 block format (marker "Rar!\x1a\x07\x00")
    rar5, // the RAR 5 format (signature "Rar!\x1a\x07\x01\x00")
};

// The checksum a RAR 5 file header carries for the file's data (RAR 4 always uses CRC32).
enum class RarChecksum {
    crc32,    // the CRC32 field of the file header
    blake2sp, // the file hash extra record (BLAKE2sp, 32 bytes) instead of the CRC32 field
};

struct RarEntry {
    enum class Kind {
        file, // a hard link too, when `hardlinkTo` is set
        directory,
        symlink, // `data` is the link target
    };
    Kind kind = Kind::file;
    // The stored name, '/' or '\\' between folders. RAR 5 stores the bytes as given (UTF-8 expected).
    // RAR 4 stores an ASCII name as it is, a non-ASCII name that is valid UTF-8 in the Unicode name
    // field (as RAR archivers do: an 8-bit form, a zero byte, the encoded UTF-16 form), and anything
    // else (CP437 or Latin-1 bytes, say) as raw 8-bit bytes.
    std::string name;
    std::string data;           // file contents in memory, or the target of a link
    std::string source;         // a file's contents are read from this path while writing instead of `data`
    uint32_t mode = 0;          // Unix permission bits (may include 04000/02000/01000); 0 picks 0644 / 0755
    int64_t mtime = 1262347200; // modification time, seconds since 1970 (2010-01-01 12:00 UTC)
    bool rawName = false;       // RAR 4: store the name's bytes as they are, never in the Unicode field
    // RAR 5 only: a file stored as a hard link to the earlier entry of this stored name (no contents).
    std::string hardlinkTo;

    bool isHardlink() const { return kind == Kind::file && !hardlinkTo.empty(); }

    static RarEntry file(std::string name, std::string data, uint32_t mode = 0644);
    static RarEntry directory(std::string name, uint32_t mode = 0755);
    static RarEntry symlink(std::string name, std::string target);
    static RarEntry hardlink(std::string name, std::string target);
    // A file whose contents are streamed from `path` (a regular file) when the archive is written.
    static RarEntry streamed(std::string name, std::string path, uint32_t mode = 0644);
    // An entry for what is at `path` (not followed if it is a symbolic link): a streamed file, a
    // folder or a symbolic link, with its permission bits and modification time. Throws
    // std::runtime_error naming the path when it cannot be read or is of another type.
    static RarEntry fromDisk(std::string name, const std::string& path);
};

struct RarWriteOptions {
    uint64_t volumeSize = 0; // the largest volume in bytes; 0 writes one archive
    bool oldNaming = false;  // NAME.rar, NAME.r00 ... instead of NAME.partN.rar
    RarFormat format = RarFormat::rar4;
    RarChecksum checksum = RarChecksum::crc32; // RAR 5 only
    // Called as contents are written: bytes of entry contents (file data, RAR 4 link targets) done
    // so far and in all. Called at least once at the end with done == total.
    std::function<void(uint64_t done, uint64_t total)> progress = nullptr;
};

// Where everything lies in the volumes written, so tests can damage archives exactly: cut at a file
// boundary, zero a header, flip a byte inside a file's data.
struct RarBlock {
    enum class Type {
        signature,  // the marker block (RAR 4) or signature (RAR 5)
        mainHeader, // the archive (main) header
        fileHeader, // the header of one piece of an entry
        data,       // one piece of an entry's contents (only when the piece is not empty)
        endHeader,  // the end-of-archive block / header
    };
    Type type = Type::signature;
    uint64_t offset = 0; // from the start of the volume
    uint64_t size = 0;
    int entry = -1;           // fileHeader, data: index into the entries written
    int part = 0;             // fileHeader, data: 0 for the first piece of an entry, 1 for the next ...
    uint64_t entryOffset = 0; // data: where in the entry's contents this piece starts
};

struct RarVolume {
    std::string path;
    uint64_t size = 0;
    std::vector<RarBlock> blocks; // in file order; they cover the volume without gaps
};

struct RarLayout {
    std::vector<RarVolume> volumes;

    std::vector<std::string> paths() const;
    // The block of `type` (fileHeader or data) for piece `part` of entry `entry`, or nullptr; the
    // index of its volume goes to *volume when given.
    const RarBlock* find(RarBlock::Type type, int entry, int part = 0, size_t* volume = nullptr) const;
};

// Writes `entries` as the archive `base` (a path without extension) and returns where everything
// went. The volumes are "base.rar" for one archive, "base.part1.rar" ... (the number as wide as the
// last one needs) or "base.rar", "base.r00" ... for a set. A volume is never larger than
// options.volumeSize; a file's data is split across volumes where needed (headers and links never
// are). Throws std::runtime_error naming the path at fault when a source cannot be read or changed
// size while being read, a volume cannot be written (disk full ...), the volume size cannot hold an
// entry's header, or an entry cannot be stored in the format (a hard link in RAR 4, a name too long).
// Nothing of the set is left on disk after a failure.
RarLayout writeRarArchive(const std::string& base, const std::vector<RarEntry>& entries,
                          const RarWriteOptions& options = {});

// The same, returning only the volume paths in order.
std::vector<std::string> writeRar(const std::string& base, const std::vector<RarEntry>& entries,
                                  const RarWriteOptions& options = {});

// The CRC-32 RAR uses for data and for headers (RAR 4 headers keep its low 16 bits). `crc` is the
// value for the bytes before `data` (0 to start).
uint32_t rarCrc32(uint32_t crc, const void* data, size_t size);

} // namespace kitmaker
