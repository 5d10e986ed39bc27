#include "rar4.h"

#include "bytes.h"
#include "crc.h"
#include "names.h"

#include <cstring>
#include <sys/stat.h>

namespace unrar_detail::rar4 {

namespace {

// The header CRC: the low 16 bits of the CRC-32 of the header after the CRC field.
bool headerCrcMatches(const unsigned char* b, size_t size) {
    return (dataCrc32(0, b + offHeadType, size - offHeadType) & 0xFFFF) == le16(b + offHeadCrc);
}

// Old blocks whose CRC covers only part of them: their size is trusted, their CRC not checked.
bool crcCoversWholeHeader(unsigned type) {
    return type != commHead && type != avHead && type != signHead && type != markHead;
}

// Fills `out` from a file header of `size` bytes; false when its fields do not fit in it.
bool parseFileHeader(const unsigned char* b, size_t size, unsigned flags, FileHeader& out) {
    const bool large = flags & lhdLarge;
    const size_t nameStart = fileHeadSize + (large ? largeFieldsSize : 0);
    if (size < nameStart) return false;
    const size_t nameSize = le16(b + offNameSize);
    if (nameSize > size - nameStart) return false;
    const std::string_view field(reinterpret_cast<const char*>(b + nameStart), nameSize);
    out.name = (flags & lhdUnicode) ? rar4UnicodeName(field) : eightBitName(field);

    out.packSize = le32(b + offPackSize);
    out.unpSize = le32(b + offUnpSize);
    if (large) {
        out.packSize |= static_cast<uint64_t>(le32(b + offHighPackSize)) << 32;
        out.unpSize |= static_cast<uint64_t>(le32(b + offHighUnpSize)) << 32;
    }
    out.splitBefore = flags & lhdSplitBefore;
    out.splitAfter = flags & lhdSplitAfter;
    out.encrypted = flags & lhdPassword;
    out.solid = flags & lhdSolid;
    out.hostOS = b[offHostOS];
    out.fileTime = le32(b + offFileTime);
    out.unpVer = b[offUnpVer];
    out.method = b[offMethod];
    out.fileAttr = le32(b + offFileAttr);
    out.hasCrc = true;
    out.crc = le32(b + offFileCrc);

    const bool unixHost = out.hostOS == hostUnix;
    const bool directory = (flags & lhdWindowMask) == lhdDirectory ||
                           (unixHost ? S_ISDIR(out.fileAttr) : (out.fileAttr & 0x10) != 0);
    if (directory) {
        out.kind = EntryKind::directory;
    } else if (unixHost && S_ISLNK(out.fileAttr)) {
        out.kind = EntryKind::symlink; // the target is the data
        out.linkDataSize = out.packSize;
    }
    if (unixHost)
        out.mode = out.fileAttr & 0777;
    else
        out.mode = (directory ? 0755 : 0644) & ((out.fileAttr & 0x01) ? ~0222u : ~0u); // read-only
    return true;
}

} // namespace

MainStatus readMain(const VolumeBytes& v, MainFacts& out) {
    std::vector<unsigned char> buf;
    if (!v.read(0, sizeof signature + blockHeadSize, buf) || buf.size() < sizeof signature ||
        std::memcmp(buf.data(), signature, sizeof signature) != 0)
        return MainStatus::notRar;
    if (buf.size() < sizeof signature + blockHeadSize) return MainStatus::damaged;
    const unsigned char* h = buf.data() + sizeof signature;
    const size_t size = le16(h + offHeadSize);
    if (h[offHeadType] != mainHead || size < mainHeadSize) return MainStatus::damaged;
    if (!v.read(sizeof signature, size, buf) || buf.size() < size) return MainStatus::damaged;
    h = buf.data();
    // Archivers of old kept the archive comment inside the main header, outside its CRC.
    if (!headerCrcMatches(h, size) && !headerCrcMatches(h, mainHeadSize)) return MainStatus::damaged;
    const unsigned flags = le16(h + offHeadFlags);
    out.isVolume = flags & mhdVolume;
    out.firstVolume = flags & mhdFirstVolume;
    out.encryptedHeaders = flags & mhdPassword;
    out.volumeNumber = -1;
    out.blocksStart = sizeof signature + size;
    return MainStatus::ok;
}

BlockResult readBlock(const VolumeBytes& v, uint64_t offset) {
    if (offset >= v.size())
        return blockResult(offset == v.size() ? BlockStatus::endOfVolume : BlockStatus::truncated);
    std::vector<unsigned char> buf;
    if (!v.read(offset, blockHeadSize, buf)) return blockResult(BlockStatus::readError);
    if (buf.size() < blockHeadSize) return blockResult(BlockStatus::truncated);
    const unsigned type = buf[offHeadType];
    const unsigned flags = le16(buf.data() + offHeadFlags);
    const size_t size = le16(buf.data() + offHeadSize);
    if (size < blockHeadSize) return blockResult(BlockStatus::damaged);
    if (!v.read(offset, size, buf)) return blockResult(BlockStatus::readError);
    if (buf.size() < size) return blockResult(BlockStatus::truncated);
    const unsigned char* b = buf.data();
    const bool fileLike = type == fileHead || type == newSubHead;
    FileHeader file;
    const bool fieldsFit = !fileLike || parseFileHeader(b, size, flags, file);
    if ((crcCoversWholeHeader(type) && !headerCrcMatches(b, size)) || !fieldsFit)
        return blockResult(BlockStatus::damaged, type == fileHead && fieldsFit ? file.name : std::string());

    uint64_t dataSize = 0;
    if (fileLike)
        dataSize = file.packSize;
    else if (flags & longBlock) {
        if (size < offAddSize + 4) return blockResult(BlockStatus::damaged);
        dataSize = le32(b + offAddSize);
    }
    BlockResult r;
    Block& blk = r.block;
    if (!placeBlock(blk, offset, size, dataSize)) return blockResult(BlockStatus::damaged);
    switch (type) {
    case fileHead:
        blk.kind = BlockKind::file;
        blk.file = std::move(file);
        break;
    case newSubHead:
        blk.kind = BlockKind::service;
        break;
    case endArcHead:
        blk.kind = BlockKind::end;
        blk.moreVolumes = flags & earcNextVolume;
        break;
    case mainHead:
        blk.kind = BlockKind::main;
        break;
    default:
        blk.kind = BlockKind::other;
        break;
    }
    checkInVolume(r, v);
    return r;
}

TailFacts findEndBlock(const unsigned char* tail, size_t size, uint64_t tailStart) {
    TailFacts f;
    const size_t paddingFrom = zeroPaddingStart(tail, size);
    if (size < blockHeadSize) return f;
    for (size_t i = size - blockHeadSize + 1; i-- > 0;) {
        const unsigned char* b = tail + i;
        if (b[offHeadType] != endArcHead) continue;
        const size_t blockSize = le16(b + offHeadSize);
        if (blockSize < blockHeadSize || blockSize > size - i || i + blockSize < paddingFrom ||
            !headerCrcMatches(b, blockSize))
            continue;
        f.endBlockFound = true;
        f.endBlockStart = tailStart + i;
        f.endBlockEnd = tailStart + i + blockSize;
        f.moreVolumes = le16(b + offHeadFlags) & earcNextVolume;
        return f;
    }
    return f;
}

} // namespace unrar_detail::rar4
