#pragma once
// Reads the raw file header blocks of a volume, for the fields libarchive does not report
// (packed size, host system, CRC, method, version, encryption of RAR 5 entries).
#include "volumes.h"

#include <cstdint>
#include <string>

namespace unrar_detail {

struct RawFileHeader {
    uint32_t flags = 0; // RHDF_* bits
    uint64_t packSize = 0;
    uint64_t unpSize = 0;
    uint32_t hostOS = 0;
    uint32_t fileCRC = 0;
    uint32_t fileTime = 0; // DOS date and time
    uint32_t unpVer = 0;
    uint32_t method = 0;
    uint32_t fileAttr = 0;
    bool encrypted = false;
};

// Walks the blocks of one volume from its start, forward only: each call names the offset just past a
// file header (where libarchive stands after reading it) and gets that header, when the walk finds it.
class HeaderWalker {
  public:
    HeaderWalker() = default;
    ~HeaderWalker();
    HeaderWalker(const HeaderWalker&) = delete;
    HeaderWalker& operator=(const HeaderWalker&) = delete;

    bool find(const std::string& volumePath, Format format, uint64_t headerEnd, RawFileHeader& out);
    // Passed as headerEnd: the first file header found.
    static constexpr uint64_t anyFileHeader = UINT64_MAX;

  private:
    void reset(const std::string& volumePath, Format format);
    bool readAt(uint64_t offset, size_t size, std::string& buf);

    std::string path_;
    Format format_ = Format::unknown;
    int fd_ = -1;
    uint64_t cursor_ = 0;
    bool broken_ = true;
};

uint32_t dosTime(int64_t unixTime);

// The first file header of a RAR 4 volume (for a split file: the header of its part in that volume).
bool firstRar4FileHeader(const std::string& volumePath, RawFileHeader& out);

} // namespace unrar_detail
