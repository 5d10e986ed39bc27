#pragma once
// The RAR 1.5-4 block format: a 7-byte marker, then blocks that each start with a header CRC (the low
// 16 bits of the CRC-32 of the rest of the header), a type, flags and the header size; blocks with
// data say how much follows the header.
#include "format.h"

#include <cstddef>
#include <cstdint>

namespace unrar_detail::rar4 {

constexpr unsigned char signature[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};

// Block header fields, from the start of the block.
constexpr size_t offHeadCrc = 0;
constexpr size_t offHeadType = 2;
constexpr size_t offHeadFlags = 3;
constexpr size_t offHeadSize = 5;
constexpr size_t blockHeadSize = 7;
constexpr size_t offAddSize = 7; // blocks with data: the data size

enum BlockType : unsigned {
    markHead = 0x72,
    mainHead = 0x73,
    fileHead = 0x74,
    commHead = 0x75,
    avHead = 0x76,
    subHead = 0x77,
    protectHead = 0x78,
    signHead = 0x79,
    newSubHead = 0x7A,
    endArcHead = 0x7B,
};

// Flags of every block.
constexpr unsigned longBlock = 0x8000; // a data size follows the header fields

// Main header.
constexpr size_t mainHeadSize = 13;
constexpr unsigned mhdVolume = 0x0001;
constexpr unsigned mhdPassword = 0x0080;
constexpr unsigned mhdFirstVolume = 0x0100;

// File header fields and flags.
constexpr size_t offPackSize = 7;
constexpr size_t offUnpSize = 11;
constexpr size_t offHostOS = 15;
constexpr size_t offFileCrc = 16;
constexpr size_t offFileTime = 20;
constexpr size_t offUnpVer = 24;
constexpr size_t offMethod = 25;
constexpr size_t offNameSize = 26;
constexpr size_t offFileAttr = 28;
constexpr size_t offHighPackSize = 32; // with lhdLarge
constexpr size_t offHighUnpSize = 36;
constexpr size_t fileHeadSize = 32;
constexpr size_t largeFieldsSize = 8;

constexpr unsigned lhdSplitBefore = 0x0001;
constexpr unsigned lhdSplitAfter = 0x0002;
constexpr unsigned lhdPassword = 0x0004;
constexpr unsigned lhdSolid = 0x0010;
constexpr unsigned lhdWindowMask = 0x00E0;
constexpr unsigned lhdDirectory = 0x00E0;
constexpr unsigned lhdLarge = 0x0100;
constexpr unsigned lhdUnicode = 0x0200;

constexpr unsigned methodStored = 0x30;
constexpr unsigned hostMsDos = 0, hostOs2 = 1, hostWin32 = 2, hostUnix = 3;

// End block.
constexpr unsigned earcNextVolume = 0x0001;

// The main header after the marker.
MainStatus readMain(const VolumeBytes& v, MainFacts& out);

// The block at `offset`.
BlockResult readBlock(const VolumeBytes& v, uint64_t offset);

// The end block among the last bytes of a volume; `tail` holds the bytes from tailStart to the end.
TailFacts findEndBlock(const unsigned char* tail, size_t size, uint64_t tailStart);

} // namespace unrar_detail::rar4
