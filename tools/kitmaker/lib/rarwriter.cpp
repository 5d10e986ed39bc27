#include "rarwriter.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <memory>
#include <stdexcept>

namespace kitmaker {

namespace {

constexpr unsigned char markerBlock[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint16_t mhdVolume = 0x0001;
constexpr uint16_t mhdNewNumbering = 0x0010;
constexpr uint16_t mhdFirstVolume = 0x0100;
constexpr uint16_t lhdSplitBefore = 0x0001;
constexpr uint16_t lhdSplitAfter = 0x0002;
constexpr uint16_t lhdDirectory = 0x00E0;
constexpr uint16_t lhdLarge = 0x0100;
constexpr uint16_t longBlock = 0x8000;
constexpr uint16_t earcNextVolume = 0x0001;
constexpr size_t mainHeaderSize = 13;
constexpr size_t endBlockSize = 7;

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// Fills in the header CRC (the first two bytes) over the rest of the header.
void sealHeader(std::string& h) {
    uint32_t crc = rarCrc32(0, h.data() + 2, h.size() - 2);
    h[0] = static_cast<char>(crc & 0xFF);
    h[1] = static_cast<char>((crc >> 8) & 0xFF);
}

uint32_t dosTime(int64_t t) {
    time_t tt = static_cast<time_t>(t);
    struct tm tm {};
    localtime_r(&tt, &tm);
    if (tm.tm_year < 80) return (1u << 21) | (1u << 16);
    return static_cast<uint32_t>(((tm.tm_year - 80) << 25) | ((tm.tm_mon + 1) << 21) | (tm.tm_mday << 16) |
                                 (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

std::string mainHeader(uint16_t flags) {
    std::string h(2, '\0');
    h += static_cast<char>(0x73);
    put16(h, flags);
    put16(h, mainHeaderSize);
    put16(h, 0);
    put32(h, 0);
    sealHeader(h);
    return h;
}

std::string endBlock(bool more) {
    std::string h(2, '\0');
    h += static_cast<char>(0x7B);
    put16(h, more ? earcNextVolume : 0);
    put16(h, endBlockSize);
    sealHeader(h);
    return h;
}

size_t fileHeaderSize(const RarEntry& e, uint64_t size) {
    return 32 + e.name.size() + (size > 0xFFFFFFFFull ? 8 : 0);
}

std::string fileHeader(const RarEntry& e, uint16_t splitFlags, uint64_t packSize, uint32_t crc) {
    const uint64_t unpSize = e.data.size();
    const bool large = unpSize > 0xFFFFFFFFull;
    uint16_t flags = longBlock | splitFlags | (large ? lhdLarge : 0);
    uint32_t attr = 0;
    switch (e.kind) {
    case RarEntry::Kind::file:
        attr = 0100000 | (e.mode ? e.mode : 0644);
        break;
    case RarEntry::Kind::directory:
        flags |= lhdDirectory;
        attr = 0040000 | (e.mode ? e.mode : 0755);
        break;
    case RarEntry::Kind::symlink:
        attr = 0120777;
        break;
    }
    std::string h(2, '\0');
    h += static_cast<char>(0x74);
    put16(h, flags);
    put16(h, static_cast<uint32_t>(fileHeaderSize(e, unpSize)));
    put32(h, static_cast<uint32_t>(packSize));
    put32(h, static_cast<uint32_t>(unpSize));
    h += static_cast<char>(3); // Unix
    put32(h, crc);
    put32(h, dosTime(e.mtime));
    h += static_cast<char>(20);   // version needed to unpack stored data
    h += static_cast<char>(0x30); // stored
    put16(h, static_cast<uint32_t>(e.name.size()));
    put32(h, attr);
    if (large) {
        put32(h, static_cast<uint32_t>(packSize >> 32));
        put32(h, static_cast<uint32_t>(unpSize >> 32));
    }
    h += e.name;
    sealHeader(h);
    return h;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

class VolumeSet {
  public:
    VolumeSet(std::string base, const RarWriteOptions& options) : base_(std::move(base)), options_(options) {}

    // Volumes are planned in memory as lists of chunks, then written once their count (and so the
    // width of the numbers in their names) is known.
    struct Chunk {
        std::string header;
        const std::string* data = nullptr;
        uint64_t offset = 0;
        uint64_t size = 0;
    };
    std::vector<std::vector<Chunk>> volumes{1};
    std::vector<uint64_t> used{7 + mainHeaderSize};

    uint64_t room() const {
        if (!options_.volumeSize) return UINT64_MAX;
        uint64_t limit = options_.volumeSize;
        uint64_t taken = used.back() + endBlockSize;
        return limit > taken ? limit - taken : 0;
    }

    void newVolume() {
        volumes.emplace_back();
        used.push_back(7 + mainHeaderSize);
    }

    void add(Chunk c) {
        used.back() += c.header.size() + c.size;
        volumes.back().push_back(std::move(c));
    }

    std::vector<std::string> write() {
        const size_t count = volumes.size();
        std::vector<std::string> names;
        const int width = static_cast<int>(std::to_string(count).size());
        for (size_t i = 0; i < count; ++i) {
            if (count == 1)
                names.push_back(base_ + ".rar");
            else if (options_.oldNaming)
                names.push_back(i == 0 ? base_ + ".rar" : base_ + oldExtension(i - 1));
            else {
                char num[32];
                std::snprintf(num, sizeof num, "%0*zu", width, i + 1);
                names.push_back(base_ + ".part" + num + ".rar");
            }
        }
        for (size_t i = 0; i < count; ++i) {
            std::unique_ptr<FILE, FileCloser> f(std::fopen(names[i].c_str(), "wb"));
            if (!f) throw std::runtime_error("cannot write " + names[i]);
            uint16_t flags = 0;
            if (count > 1) {
                flags |= mhdVolume;
                if (!options_.oldNaming) flags |= mhdNewNumbering;
                if (i == 0) flags |= mhdFirstVolume;
            }
            std::string head(reinterpret_cast<const char*>(markerBlock), sizeof markerBlock);
            head += mainHeader(flags);
            bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size();
            for (const Chunk& c : volumes[i]) {
                ok = ok && std::fwrite(c.header.data(), 1, c.header.size(), f.get()) == c.header.size();
                if (c.size) ok = ok && std::fwrite(c.data->data() + c.offset, 1, c.size, f.get()) == c.size;
            }
            std::string end = endBlock(i + 1 < count);
            ok = ok && std::fwrite(end.data(), 1, end.size(), f.get()) == end.size();
            if (!ok || std::fflush(f.get()) != 0) throw std::runtime_error("cannot write " + names[i]);
        }
        return names;
    }

  private:
    static std::string oldExtension(size_t n) {
        char ext[8];
        std::snprintf(ext, sizeof ext, ".%c%02zu", static_cast<char>('r' + n / 100), n % 100);
        return ext;
    }

    std::string base_;
    RarWriteOptions options_;
};

} // namespace

RarEntry RarEntry::file(std::string name, std::string data, uint32_t mode) {
    RarEntry e;
    e.kind = Kind::file;
    e.name = std::move(name);
    e.data = std::move(data);
    e.mode = mode;
    return e;
}

RarEntry RarEntry::directory(std::string name, uint32_t mode) {
    RarEntry e;
    e.kind = Kind::directory;
    e.name = std::move(name);
    e.mode = mode;
    return e;
}

RarEntry RarEntry::symlink(std::string name, std::string target) {
    RarEntry e;
    e.kind = Kind::symlink;
    e.name = std::move(name);
    e.data = std::move(target);
    return e;
}

uint32_t rarCrc32(uint32_t crc, const void* data, size_t size) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::vector<std::string> writeRar(const std::string& base, const std::vector<RarEntry>& entries,
                                  const RarWriteOptions& options) {
    VolumeSet set(base, options);
    for (const RarEntry& e : entries) {
        const uint64_t total = e.data.size();
        const uint64_t headerSize = fileHeaderSize(e, total);
        if (options.volumeSize && options.volumeSize < 7 + mainHeaderSize + endBlockSize + headerSize + 1)
            throw std::runtime_error("volume size too small for the header of " + e.name);
        const uint32_t wholeCrc = rarCrc32(0, e.data.data(), e.data.size());
        uint64_t offset = 0;
        bool first = true;
        for (;;) {
            const uint64_t left = total - offset;
            uint64_t room = set.room();
            room = room > headerSize ? room - headerSize : 0;
            if (left <= room) {
                // The whole rest fits: the last (or only) part, with the CRC of the whole file.
                set.add({fileHeader(e, first ? 0 : lhdSplitBefore, left, wholeCrc), &e.data, offset, left});
                break;
            }
            if (room == 0 || e.kind != RarEntry::Kind::file) {
                if (set.volumes.back().empty())
                    throw std::runtime_error("volume size too small for " + e.name);
                set.newVolume();
                continue;
            }
            // A part that continues in the next volume carries the CRC of its own bytes.
            uint32_t partCrc = rarCrc32(0, e.data.data() + offset, room);
            set.add({fileHeader(e, (first ? 0 : lhdSplitBefore) | lhdSplitAfter, room, partCrc), &e.data,
                     offset, room});
            offset += room;
            first = false;
            set.newVolume();
        }
    }
    return set.write();
}

} // namespace kitmaker
