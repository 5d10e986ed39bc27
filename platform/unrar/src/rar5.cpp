#include "rar5.h"

#include "bytes.h"
#include "crc.h"
#include "names.h"

#include <algorithm>
#include <cstring>

namespace unrar_detail::rar5 {

namespace {

// The longest encoding of the header size: three bytes hold every size up to maxHeaderSize.
constexpr size_t sizeFieldMax = 3;

struct HeaderStart {
    uint64_t type = 0, flags = 0, extraSize = 0, dataSize = 0;
};

bool readHeaderStart(ByteReader& r, HeaderStart& h) {
    if (!r.vint(h.type) || !r.vint(h.flags)) return false;
    if ((h.flags & hflExtra) && !r.vint(h.extraSize)) return false;
    if ((h.flags & hflData) && !r.vint(h.dataSize)) return false;
    return h.extraSize <= r.left();
}

// The extra records of a file header.
bool parseExtra(ByteReader r, FileHeader& out) {
    while (r.left() > 0) {
        uint64_t size = 0, type = 0;
        if (!r.vint(size) || size == 0 || size > r.left()) return false;
        ByteReader rec(r.here(), static_cast<size_t>(size));
        r.skip(size);
        if (!rec.vint(type)) return false;
        switch (type) {
        case exCrypt:
            out.encrypted = true;
            break;
        case exHash: {
            uint64_t hashType = 0;
            if (!rec.vint(hashType)) return false;
            if (hashType == hashBlake2) {
                if (rec.left() < out.blake2.size()) return false;
                std::memcpy(out.blake2.data(), rec.here(), out.blake2.size());
                out.hasBlake2 = true;
            }
            break;
        }
        case exRedir: {
            uint64_t redir = 0, flags = 0, length = 0;
            if (!rec.vint(redir) || !rec.vint(flags) || !rec.vint(length) ||
                !rec.bytes(length, out.linkTarget))
                return false;
            switch (redir) {
            case redirUnixSymlink:
                out.kind = EntryKind::symlink;
                break;
            case redirWinSymlink:
            case redirJunction:
                out.kind = EntryKind::symlink;
                std::replace(out.linkTarget.begin(), out.linkTarget.end(), '\\', '/');
                break;
            case redirHardlink:
                out.kind = EntryKind::hardlink;
                break;
            case redirCopy:
                out.kind = EntryKind::copy;
                break;
            default:
                out.kind = EntryKind::unsupported;
                break;
            }
            out.linkTarget = eightBitName(out.linkTarget);
            break;
        }
        default:
            break;
        }
    }
    return true;
}

bool parseFileHeader(ByteReader r, const HeaderStart& h, FileHeader& out) {
    uint64_t fileFlags = 0, unpSize = 0, attr = 0, compInfo = 0, host = 0, nameSize = 0;
    uint32_t mtime = 0, crc = 0;
    if (!r.vint(fileFlags) || !r.vint(unpSize) || !r.vint(attr)) return false;
    if ((fileFlags & fhfTime) && !r.u32(mtime)) return false;
    if ((fileFlags & fhfCrc) && !r.u32(crc)) return false;
    std::string name;
    if (!r.vint(compInfo) || !r.vint(host) || !r.vint(nameSize) || !r.bytes(nameSize, name)) return false;
    // What is left is the extra area, at the end of the header.
    if (r.left() < h.extraSize) return false;
    r.skip(r.left() - h.extraSize);
    out.name = eightBitName(name);
    out.splitBefore = h.flags & hflSplitBefore;
    out.splitAfter = h.flags & hflSplitAfter;
    out.solid = compInfo & ciSolid;
    out.sizeKnown = !(fileFlags & fhfUnknownSize);
    out.packSize = h.dataSize;
    out.unpSize = unpSize;
    out.hostOS = host == hostWindows ? 2 : 3;
    out.fileTime = (fileFlags & fhfTime) ? dosTime(mtime) : 0;
    out.unpVer = 50;
    out.method = 0x30 + static_cast<uint32_t>((compInfo >> ciMethodShift) & 7);
    out.fileAttr = static_cast<uint32_t>(attr);
    out.hasCrc = fileFlags & fhfCrc;
    out.crc = crc;
    const bool directory = fileFlags & fhfDirectory;
    out.kind = directory ? EntryKind::directory : EntryKind::file;
    if (host == hostUnix)
        out.mode = static_cast<uint32_t>(attr) & 0777;
    else
        out.mode = (directory ? 0755 : 0644) & ((attr & 0x01) ? ~0222u : ~0u); // read-only
    return parseExtra(ByteReader(r.here(), r.left()), out);
}

} // namespace

MainStatus readMain(const VolumeBytes& v, MainFacts& out) {
    std::vector<unsigned char> buf;
    if (!v.read(0, sizeof signature, buf) || buf.size() < sizeof signature ||
        std::memcmp(buf.data(), signature, sizeof signature) != 0)
        return MainStatus::notRar;
    // The first header says what the archive is; a header-encryption header stands before all others.
    const BlockResult r = readBlock(v, sizeof signature);
    if (r.status != BlockStatus::ok) return MainStatus::damaged;
    if (r.block.kind == BlockKind::crypt) {
        out = MainFacts{};
        out.encryptedHeaders = true;
    } else if (r.block.kind == BlockKind::main) {
        out = r.block.main;
    } else {
        return MainStatus::damaged;
    }
    out.blocksStart = r.block.dataEnd;
    return MainStatus::ok;
}

BlockResult readBlock(const VolumeBytes& v, uint64_t offset) {
    if (offset >= v.size())
        return blockResult(offset == v.size() ? BlockStatus::endOfVolume : BlockStatus::truncated);
    std::vector<unsigned char> buf;
    if (!v.read(offset, headerCrcSize + sizeFieldMax, buf)) return blockResult(BlockStatus::readError);
    ByteReader sizeReader(buf.data() + std::min(buf.size(), headerCrcSize),
                          buf.size() - std::min(buf.size(), headerCrcSize));
    uint64_t size = 0;
    if (!sizeReader.vint(size))
        return blockResult(buf.size() < headerCrcSize + sizeFieldMax ? BlockStatus::truncated
                                                                     : BlockStatus::damaged);
    if (size == 0 || size > maxHeaderSize) return blockResult(BlockStatus::damaged);
    const size_t total = headerCrcSize + sizeReader.offset() + static_cast<size_t>(size);
    if (!v.read(offset, total, buf)) return blockResult(BlockStatus::readError);
    if (buf.size() < total) return blockResult(BlockStatus::truncated);
    ByteReader hr(buf.data() + headerCrcSize + sizeReader.offset(), static_cast<size_t>(size));
    HeaderStart h;
    const bool startOk = readHeaderStart(hr, h);
    FileHeader file;
    const bool fileLike = startOk && (h.type == fileHead || h.type == serviceHead);
    const bool fieldsFit = startOk && (!fileLike || parseFileHeader(hr, h, file));
    const bool crcOk = dataCrc32(0, buf.data() + headerCrcSize, total - headerCrcSize) == le32(buf.data());
    if (!crcOk || !fieldsFit)
        return blockResult(BlockStatus::damaged,
                           fileLike && fieldsFit && h.type == fileHead ? file.name : std::string());
    BlockResult r;
    Block& blk = r.block;
    if (!placeBlock(blk, offset, total, h.dataSize)) return blockResult(BlockStatus::damaged);
    switch (h.type) {
    case fileHead:
        blk.kind = BlockKind::file;
        blk.file = std::move(file);
        break;
    case serviceHead:
        blk.kind = BlockKind::service;
        break;
    case endArcHead: {
        uint64_t flags = 0;
        if (!hr.vint(flags)) return blockResult(BlockStatus::damaged);
        blk.kind = BlockKind::end;
        blk.moreVolumes = flags & ehfNextVolume;
        break;
    }
    case mainHead: {
        uint64_t flags = 0, number = 0;
        if (!hr.vint(flags) || ((flags & mhfVolumeNumber) && (!hr.vint(number) || number > INT32_MAX)))
            return blockResult(BlockStatus::damaged);
        blk.kind = BlockKind::main;
        blk.main.isVolume = flags & mhfVolume;
        blk.main.volumeNumber = static_cast<int64_t>(number);
        blk.main.firstVolume = blk.main.isVolume && number == 0;
        break;
    }
    case cryptHead:
        blk.kind = BlockKind::crypt;
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
    constexpr size_t smallest = headerCrcSize + 3; // CRC, size, type, flags, end flags
    if (size < smallest) return f;
    for (size_t i = size - smallest + 1; i-- > 0;) {
        ByteReader r(tail + i + headerCrcSize, size - i - headerCrcSize);
        uint64_t headerSize = 0, type = 0, flags = 0, endFlags = 0;
        if (!r.vint(headerSize) || headerSize == 0 || headerSize > r.left()) continue;
        const size_t blockEnd = i + headerCrcSize + r.offset() + static_cast<size_t>(headerSize);
        if (blockEnd < paddingFrom) continue;
        if (dataCrc32(0, tail + i + headerCrcSize, blockEnd - i - headerCrcSize) != le32(tail + i)) continue;
        ByteReader h(r.here(), static_cast<size_t>(headerSize));
        if (!h.vint(type) || type != endArcHead || !h.vint(flags) || (flags & (hflExtra | hflData)) ||
            !h.vint(endFlags))
            continue;
        f.endBlockFound = true;
        f.endBlockStart = tailStart + i;
        f.endBlockEnd = tailStart + blockEnd;
        f.moreVolumes = endFlags & ehfNextVolume;
        return f;
    }
    return f;
}

} // namespace unrar_detail::rar5
