#pragma once
// A writer of RAR archives in the RAR 1.5-4 block format with stored (uncompressed) entries: single
// archives and volume sets in both naming styles (NAME.partN.rar, and NAME.rar, NAME.r00, NAME.r01 ...).
// Names are stored exactly as given, so tests can make archives with any names at all.
#include <cstdint>
#include <string>
#include <vector>

namespace kitmaker {

struct RarEntry {
    enum class Kind { file, directory, symlink };
    Kind kind = Kind::file;
    std::string name;           // stored name, bytes as given (use '/' or '\\' between folders)
    std::string data;           // file contents, or the target of a symbolic link
    uint32_t mode = 0;          // Unix permission bits; 0 picks 0644 for files and 0755 for folders
    int64_t mtime = 1262347200; // modification time, seconds since 1970 (2010-01-01 12:00 UTC)

    static RarEntry file(std::string name, std::string data, uint32_t mode = 0644);
    static RarEntry directory(std::string name, uint32_t mode = 0755);
    static RarEntry symlink(std::string name, std::string target);
};

struct RarWriteOptions {
    uint64_t volumeSize = 0; // the largest volume in bytes; 0 writes one archive
    bool oldNaming = false;  // NAME.rar, NAME.r00 ... instead of NAME.partN.rar
};

// Writes `entries` as the archive `base` (a path without extension) and returns the paths of the
// volumes in order: "base.rar" for one archive, "base.part1.rar" ... (the number as wide as the last
// one needs) or "base.rar", "base.r00" ... for a set. Throws std::runtime_error when a file cannot be
// written or the volume size cannot hold a single header.
std::vector<std::string> writeRar(const std::string& base, const std::vector<RarEntry>& entries,
                                  const RarWriteOptions& options = {});

// The CRC-32 RAR uses for data and, cut to 16 bits, for headers.
uint32_t rarCrc32(uint32_t crc, const void* data, size_t size);

} // namespace kitmaker
