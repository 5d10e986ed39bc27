#pragma once
// The RAR 5 block format: an 8-byte signature, then blocks that each start with the CRC-32 of their
// header and the header's size, both followed by variable-length numbers (type, flags, sizes) and,
// for files, an extra area of records (checksum, link, times, encryption ...).
#include "format.h"

#include <cstddef>
#include <cstdint>

namespace unrar_detail::rar5 {

constexpr unsigned char signature[8] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};

// A header is at most this large (the format's own limit).
constexpr uint64_t maxHeaderSize = 2 * 1024 * 1024;
constexpr size_t headerCrcSize = 4;

enum HeaderType : uint64_t { mainHead = 1, fileHead = 2, serviceHead = 3, cryptHead = 4, endArcHead = 5 };

// Flags of every header.
constexpr uint64_t hflExtra = 0x0001;
constexpr uint64_t hflData = 0x0002;
constexpr uint64_t hflSplitBefore = 0x0008;
constexpr uint64_t hflSplitAfter = 0x0010;

// Main header.
constexpr uint64_t mhfVolume = 0x0001;
constexpr uint64_t mhfVolumeNumber = 0x0002;

// File header.
constexpr uint64_t fhfDirectory = 0x0001;
constexpr uint64_t fhfTime = 0x0002;
constexpr uint64_t fhfCrc = 0x0004;
constexpr uint64_t fhfUnknownSize = 0x0008;
constexpr uint64_t ciSolid = 0x0040;
constexpr unsigned ciMethodShift = 7;
constexpr uint64_t hostWindows = 0, hostUnix = 1;

// Extra records of a file header.
enum ExtraType : uint64_t { exCrypt = 1, exHash = 2, exTime = 3, exVersion = 4, exRedir = 5, exOwner = 6 };
constexpr uint64_t hashBlake2 = 0;
enum RedirType : uint64_t {
    redirUnixSymlink = 1,
    redirWinSymlink = 2,
    redirJunction = 3,
    redirHardlink = 4,
    redirCopy = 5
};

// End of archive.
constexpr uint64_t ehfNextVolume = 0x0001;

MainStatus readMain(const VolumeBytes& v, MainFacts& out);
BlockResult readBlock(const VolumeBytes& v, uint64_t offset);
TailFacts findEndBlock(const unsigned char* tail, size_t size, uint64_t tailStart);

} // namespace unrar_detail::rar5
