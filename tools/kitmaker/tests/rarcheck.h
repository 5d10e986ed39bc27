#pragma once
// Test helpers for the RAR writer: scratch folders, running bsdtar, reading a volume set back with
// libarchive, and an independent walk of the written headers that checks every checksum.
#include "rarwriter.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace rarcheck {

// A fresh folder, removed with everything in it at the end of the scope.
class Scratch {
  public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// The names of the files in `dir`, sorted.
std::vector<std::string> folderNames(const std::filesystem::path& dir);

// Runs a shell command; its standard output goes to `out`. Returns the exit status.
int run(const std::string& command, std::string* out = nullptr);
bool haveBsdtar();

// One entry as libarchive reads it.
struct Listed {
    std::string name; // UTF-8 (C.UTF-8 locale)
    char type = '-';  // '-', 'd', 'l', 'h' (hard link)
    int64_t size = 0;
    unsigned mode = 0; // permission bits
    int64_t mtime = 0;
    std::string link;    // symbolic or hard link target
    std::string content; // all of it, or its last 64 bytes when not kept
    uint64_t bytes = 0;  // the size of the contents read
};
struct Listing {
    std::vector<Listed> entries;
    std::string error; // empty when the whole set read cleanly (data CRCs included where checked)
};
// Reads a whole volume set (every volume given, in order) with libarchive.
Listing readWithLibarchive(const std::vector<std::string>& volumes, bool keepContent = true);

// Walks the headers the layout names, independently of the writer: checks each header's own CRC,
// that the header's sizes and flags agree with the layout, and that each piece's data checksum
// (CRC32 or BLAKE2sp) is that of the piece (split after) or of the whole entry (last piece).
// Returns the problems found, empty when none.
std::string verifyChecksums(const kitmaker::RarLayout& layout, kitmaker::RarFormat format);

// A decoder of RAR 4's Unicode name field written from the format's description: the 8-bit name,
// a zero byte, then the encoded UTF-16. Returns the UTF-16 units.
std::u16string decodeRar4UnicodeName(const std::string& field);

} // namespace rarcheck
