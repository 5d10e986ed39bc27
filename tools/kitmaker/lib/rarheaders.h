#pragma once
// The headers of the two RAR formats the archive writer produces, as byte strings: RAR 1.5-4 blocks
// (16-bit header CRC, fixed fields) and RAR 5 headers (CRC32, variable-length integers, extra
// records). Everything here is a plain function of its arguments.
#include "rarwriter.h"

#include <array>
#include <cstdint>
#include <string>

namespace kitmaker::rarheaders {

// What one file header says about one piece of an entry.
struct Piece {
    const RarEntry* entry = nullptr;
    uint64_t unpackedSize = 0; // of the whole entry
    uint64_t packedSize = 0;   // of the data following this header
    bool splitBefore = false;  // the data continues a piece in the previous volume
    bool splitAfter = false;   // the data goes on in the next volume
    uint32_t crc = 0;          // CRC32 of the data (this piece's when split after, else the whole entry's)
    std::array<unsigned char, 32> blake2sp{}; // the same as BLAKE2sp (RAR 5 with RarChecksum::blake2sp)
};

// RAR 1.5-4.
inline constexpr size_t rar4MarkerSize = 7;
inline constexpr size_t rar4MainHeaderSize = 13;
inline constexpr size_t rar4EndBlockSize = 7;
std::string rar4Marker();
std::string rar4MainHeader(bool volume, bool newNumbering, bool firstVolume);
std::string rar4EndBlock(bool moreVolumes);
std::string rar4FileHeader(const Piece& p); // throws std::runtime_error when it cannot be stored

// RAR 5.
inline constexpr size_t rar5SignatureSize = 8;
std::string rar5Signature();
// `volumeNumber` is 0 for the first volume (or a single archive), 1 for the second ...
std::string rar5MainHeader(bool volume, uint64_t volumeNumber);
std::string rar5EndHeader(bool moreVolumes);
std::string rar5FileHeader(const Piece& p, RarChecksum checksum); // throws like rar4FileHeader

// Building blocks, exposed for tests.
void putVint(std::string& out, uint64_t v);
// UTF-8 to UTF-16 code units; false for anything that is not valid UTF-8 (or holds a zero byte).
bool utf8ToUtf16(const std::string& in, std::u16string& out);
// The name field of a RAR 4 file header with the Unicode flag (0x200): the 8-bit form (one byte per
// UTF-16 unit: ASCII as itself, others as '_'), a zero byte, then the UTF-16 name in RAR's
// compressed encoding (high byte, then groups of four 2-bit opcodes, each followed by its bytes).
std::string rar4UnicodeNameField(const std::u16string& name);

} // namespace kitmaker::rarheaders
