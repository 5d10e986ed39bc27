#include "rarheaders.h"

#include <algorithm>
#include <ctime>
#include <stdexcept>

namespace kitmaker::rarheaders {

namespace {

// RAR 1.5-4 block types and flags.
constexpr unsigned char rar4MainType = 0x73;
constexpr unsigned char rar4FileType = 0x74;
constexpr unsigned char rar4EndType = 0x7B;
constexpr uint16_t mhdVolume = 0x0001;
constexpr uint16_t mhdNewNumbering = 0x0010;
constexpr uint16_t mhdFirstVolume = 0x0100;
constexpr uint16_t lhdSplitBefore = 0x0001;
constexpr uint16_t lhdSplitAfter = 0x0002;
constexpr uint16_t lhdDirectory = 0x00E0;
constexpr uint16_t lhdLarge = 0x0100;
constexpr uint16_t lhdUnicode = 0x0200;
constexpr uint16_t longBlock = 0x8000;
constexpr uint16_t earcNextVolume = 0x0001;
constexpr size_t rar4FileFixedSize = 32; // up to and including the attributes
constexpr unsigned char rar4HostUnix = 3;
constexpr unsigned char rar4StoredVersion = 20;
constexpr unsigned char rar4MethodStored = 0x30;

// RAR 5 header types and flags.
constexpr uint64_t rar5MainType = 1;
constexpr uint64_t rar5FileType = 2;
constexpr uint64_t rar5EndType = 5;
constexpr uint64_t hflExtra = 0x0001;
constexpr uint64_t hflData = 0x0002;
constexpr uint64_t hflSkipIfUnknown = 0x0004;
constexpr uint64_t hflSplitBefore = 0x0008;
constexpr uint64_t hflSplitAfter = 0x0010;
constexpr uint64_t mainVolume = 0x0001;
constexpr uint64_t mainVolumeNumber = 0x0002;
constexpr uint64_t fileDirectory = 0x0001;
constexpr uint64_t fileCrc32 = 0x0004;
constexpr uint64_t endMoreVolumes = 0x0001;
constexpr uint64_t hostUnix = 1;
constexpr uint64_t extraHash = 0x02;
constexpr uint64_t extraTime = 0x03;
constexpr uint64_t extraRedirect = 0x05;
constexpr uint64_t hashBlake2sp = 0;
constexpr uint64_t timeUnix = 0x01;
constexpr uint64_t timeMtime = 0x02;
constexpr uint64_t redirectUnixSymlink = 1;
constexpr uint64_t redirectHardLink = 4;
constexpr size_t rar5MaxHeaderSize = 2 * 1024 * 1024; // readers refuse larger headers
constexpr int64_t windowsEpochOffset = 11644473600;   // seconds from 1601-01-01 to 1970-01-01

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

void put64(std::string& s, uint64_t v) {
    put32(s, static_cast<uint32_t>(v));
    put32(s, static_cast<uint32_t>(v >> 32));
}

// Fills in a RAR 4 header's CRC (its first two bytes) over the rest of the header.
void sealRar4(std::string& h) {
    uint32_t crc = rarCrc32(0, h.data() + 2, h.size() - 2);
    h[0] = static_cast<char>(crc & 0xFF);
    h[1] = static_cast<char>((crc >> 8) & 0xFF);
}

// A RAR 5 header from its body (type, flags and the rest): CRC32, size, body.
std::string sealRar5(const std::string& body) {
    std::string sized;
    putVint(sized, body.size());
    sized += body;
    std::string h;
    put32(h, rarCrc32(0, sized.data(), sized.size()));
    return h + sized;
}

uint32_t dosTime(int64_t t) {
    time_t tt = static_cast<time_t>(t);
    struct tm tm {};
    if (!localtime_r(&tt, &tm) || tm.tm_year < 80) return (1u << 21) | (1u << 16); // 1980-01-01
    if (tm.tm_year > 80 + 127) return 0xFF9FBF7Du;                                 // 2107-12-31 23:59:58
    return static_cast<uint32_t>(((tm.tm_year - 80) << 25) | ((tm.tm_mon + 1) << 21) | (tm.tm_mday << 16) |
                                 (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

// The Unix type and permission bits stored for an entry.
uint32_t unixMode(const RarEntry& e) {
    switch (e.kind) {
    case RarEntry::Kind::directory:
        return 0040000 | (e.mode ? e.mode & 07777 : 0755);
    case RarEntry::Kind::symlink:
        return 0120777;
    case RarEntry::Kind::file:
        break;
    }
    return 0100000 | (e.mode ? e.mode & 07777 : 0644);
}

bool isAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The name field of a RAR 4 header and whether it carries the Unicode form.
std::string rar4NameField(const RarEntry& e, bool& unicode) {
    unicode = false;
    std::u16string wide;
    if (e.rawName || isAscii(e.name) || !utf8ToUtf16(e.name, wide)) return e.name;
    unicode = true;
    return rar4UnicodeNameField(wide);
}

// One RAR 5 extra record: size, type, data.
void putExtra(std::string& area, uint64_t type, const std::string& data) {
    std::string record;
    putVint(record, type);
    record += data;
    putVint(area, record.size());
    area += record;
}

} // namespace

void putVint(std::string& out, uint64_t v) {
    do {
        unsigned char b = v & 0x7F;
        v >>= 7;
        if (v) b |= 0x80;
        out += static_cast<char>(b);
    } while (v);
}

bool utf8ToUtf16(const std::string& in, std::u16string& out) {
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const auto* end = p + in.size();
    while (p < end) {
        const unsigned char c = *p;
        uint32_t cp;
        int extra;
        uint32_t min;
        if (c == 0) return false;
        if (c < 0x80) {
            cp = c, extra = 0, min = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F, extra = 1, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F, extra = 2, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07, extra = 3, min = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        p += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return true;
}

std::string rar4UnicodeNameField(const std::u16string& name) {
    std::string field;
    for (char16_t u : name)
        field += u < 0x80 ? static_cast<char>(u) : '_';
    field += '\0';

    // The high byte shared by most characters outside Latin-1 makes them one byte each.
    unsigned counts[256] = {};
    for (char16_t u : name)
        if (u >= 0x100) ++counts[u >> 8];
    const auto high = static_cast<unsigned char>(std::max_element(counts + 1, counts + 256) - counts);
    field += static_cast<char>(counts[high] ? high : 0);

    size_t flagsAt = 0;
    int slot = 4; // opcodes written into the current flags byte
    auto opcode = [&](unsigned op) {
        if (slot == 4) {
            flagsAt = field.size();
            field += '\0';
            slot = 0;
        }
        field[flagsAt] =
            static_cast<char>(static_cast<unsigned char>(field[flagsAt]) | (op << (6 - 2 * slot)));
        ++slot;
    };
    for (size_t i = 0; i < name.size();) {
        const char16_t u = name[i];
        size_t run = 0;
        while (i + run < name.size() && name[i + run] < 0x80 && run < 0x7F + 2)
            ++run;
        if (run >= 2) { // copy a run of the 8-bit form
            opcode(3);
            field += static_cast<char>(run - 2);
            i += run;
            continue;
        }
        if (u < 0x100) {
            opcode(0);
            field += static_cast<char>(u);
        } else if ((u >> 8) == high) {
            opcode(1);
            field += static_cast<char>(u & 0xFF);
        } else {
            opcode(2);
            field += static_cast<char>(u & 0xFF);
            field += static_cast<char>(u >> 8);
        }
        ++i;
    }
    return field;
}

std::string rar4Marker() {
    return std::string("Rar!\x1a\x07\x00", rar4MarkerSize);
}

std::string rar4MainHeader(bool volume, bool newNumbering, bool firstVolume) {
    uint16_t flags = 0;
    if (volume) {
        flags |= mhdVolume;
        if (newNumbering) flags |= mhdNewNumbering;
        if (firstVolume) flags |= mhdFirstVolume;
    }
    std::string h(2, '\0');
    h += static_cast<char>(rar4MainType);
    put16(h, flags);
    put16(h, rar4MainHeaderSize);
    put16(h, 0); // reserved
    put32(h, 0); // reserved
    sealRar4(h);
    return h;
}

std::string rar4EndBlock(bool moreVolumes) {
    std::string h(2, '\0');
    h += static_cast<char>(rar4EndType);
    put16(h, moreVolumes ? earcNextVolume : 0);
    put16(h, rar4EndBlockSize);
    sealRar4(h);
    return h;
}

std::string rar4FileHeader(const Piece& p) {
    const RarEntry& e = *p.entry;
    if (e.isHardlink())
        throw std::runtime_error("a hard link can only be stored in a RAR 5 archive: " + e.name);
    bool unicode = false;
    const std::string name = rar4NameField(e, unicode);
    const bool large = p.unpackedSize > 0xFFFFFFFFull || p.packedSize > 0xFFFFFFFFull;
    const size_t size = rar4FileFixedSize + (large ? 8 : 0) + name.size();
    if (name.size() > 0xFFFF || size > 0xFFFF) throw std::runtime_error("name too long for RAR 4: " + e.name);
    uint16_t flags = longBlock | (p.splitBefore ? lhdSplitBefore : 0) | (p.splitAfter ? lhdSplitAfter : 0) |
                     (large ? lhdLarge : 0) | (unicode ? lhdUnicode : 0);
    if (e.kind == RarEntry::Kind::directory) flags |= lhdDirectory;
    std::string h(2, '\0');
    h.reserve(size);
    h += static_cast<char>(rar4FileType);
    put16(h, flags);
    put16(h, static_cast<uint32_t>(size));
    put32(h, static_cast<uint32_t>(p.packedSize));
    put32(h, static_cast<uint32_t>(p.unpackedSize));
    h += static_cast<char>(rar4HostUnix);
    put32(h, p.crc);
    put32(h, dosTime(e.mtime));
    h += static_cast<char>(rar4StoredVersion);
    h += static_cast<char>(rar4MethodStored);
    put16(h, static_cast<uint32_t>(name.size()));
    put32(h, unixMode(e));
    if (large) {
        put32(h, static_cast<uint32_t>(p.packedSize >> 32));
        put32(h, static_cast<uint32_t>(p.unpackedSize >> 32));
    }
    h += name;
    sealRar4(h);
    return h;
}

std::string rar5Signature() {
    return std::string("Rar!\x1a\x07\x01\x00", rar5SignatureSize);
}

std::string rar5MainHeader(bool volume, uint64_t volumeNumber) {
    std::string body;
    putVint(body, rar5MainType);
    putVint(body, 0); // header flags
    putVint(body, (volume ? mainVolume : 0) | (volumeNumber ? mainVolumeNumber : 0));
    if (volumeNumber) putVint(body, volumeNumber);
    return sealRar5(body);
}

std::string rar5EndHeader(bool moreVolumes) {
    std::string body;
    putVint(body, rar5EndType);
    putVint(body, hflSkipIfUnknown);
    putVint(body, moreVolumes ? endMoreVolumes : 0);
    return sealRar5(body);
}

std::string rar5FileHeader(const Piece& p, RarChecksum checksum) {
    const RarEntry& e = *p.entry;
    const bool hasData = e.kind == RarEntry::Kind::file && !e.isHardlink();
    const bool blake = hasData && checksum == RarChecksum::blake2sp;

    std::string extra;
    if (blake) {
        std::string hash;
        putVint(hash, hashBlake2sp);
        hash.append(reinterpret_cast<const char*>(p.blake2sp.data()), p.blake2sp.size());
        putExtra(extra, extraHash, hash);
    }
    std::string time;
    if (e.mtime >= 0 && e.mtime <= 0xFFFFFFFFll) {
        putVint(time, timeUnix | timeMtime);
        put32(time, static_cast<uint32_t>(e.mtime));
    } else { // outside 1970-2106: Windows time (100 ns steps since 1601), clamped to what it holds
        putVint(time, timeMtime);
        constexpr int64_t latest = static_cast<int64_t>(UINT64_MAX / 10000000u) - windowsEpochOffset;
        const int64_t since1601 =
            std::clamp<int64_t>(e.mtime, -windowsEpochOffset, latest) + windowsEpochOffset;
        put64(time, static_cast<uint64_t>(since1601) * 10000000u);
    }
    putExtra(extra, extraTime, time);
    if (e.kind == RarEntry::Kind::symlink || e.isHardlink()) {
        const std::string& target = e.isHardlink() ? e.hardlinkTo : e.data;
        std::string redirect;
        putVint(redirect, e.isHardlink() ? redirectHardLink : redirectUnixSymlink);
        putVint(redirect, 0); // flags: not a directory link
        putVint(redirect, target.size());
        redirect += target;
        putExtra(extra, extraRedirect, redirect);
    }

    std::string body;
    putVint(body, rar5FileType);
    putVint(body,
            hflExtra | hflData | (p.splitBefore ? hflSplitBefore : 0) | (p.splitAfter ? hflSplitAfter : 0));
    putVint(body, extra.size());
    putVint(body, p.packedSize);
    putVint(body,
            (e.kind == RarEntry::Kind::directory ? fileDirectory : 0) | (hasData && !blake ? fileCrc32 : 0));
    putVint(body, p.unpackedSize);
    putVint(body, unixMode(e));
    if (hasData && !blake) put32(body, p.crc);
    putVint(body, 0); // compression: version 0, method 0 (stored)
    putVint(body, hostUnix);
    putVint(body, e.name.size());
    body += e.name;
    body += extra;
    if (body.size() > rar5MaxHeaderSize) throw std::runtime_error("name or link target too long: " + e.name);
    return sealRar5(body);
}

} // namespace kitmaker::rarheaders
