#include "headers.h"

#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace unrar_detail {

namespace {

uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr unsigned rar4FileHead = 0x74;
constexpr unsigned rar4SubHead = 0x7A;
constexpr unsigned rar4LongBlock = 0x8000;
constexpr unsigned rar4Large = 0x0100;

} // namespace

uint32_t dosTime(int64_t unixTime) {
    time_t t = static_cast<time_t>(unixTime);
    struct tm tm {};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80) return 0;
    return static_cast<uint32_t>(((tm.tm_year - 80) << 25) | ((tm.tm_mon + 1) << 21) | (tm.tm_mday << 16) |
                                 (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

HeaderWalker::~HeaderWalker() {
    if (fd_ >= 0) ::close(fd_);
}

void HeaderWalker::reset(const std::string& volumePath, Format format) {
    if (fd_ >= 0) ::close(fd_);
    path_ = volumePath;
    format_ = format;
    fd_ = ::open(volumePath.c_str(), O_RDONLY | O_CLOEXEC);
    cursor_ = format == Format::rar5 ? 8 : 0; // the RAR 4 marker parses as a block of its own
    broken_ = fd_ < 0 || format == Format::unknown;
}

bool HeaderWalker::readAt(uint64_t offset, size_t size, std::string& buf) {
    buf.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t r = ::pread(fd_, buf.data() + done, size - done, static_cast<off_t>(offset + done));
        if (r <= 0) break;
        done += static_cast<size_t>(r);
    }
    buf.resize(done);
    return done == size;
}

bool HeaderWalker::find(const std::string& volumePath, Format format, uint64_t headerEnd,
                        RawFileHeader& out) {
    if (volumePath != path_ || format != format_ || headerEnd < cursor_) reset(volumePath, format);
    std::string buf;
    while (!broken_ && cursor_ < headerEnd) {
        const uint64_t start = cursor_;
        if (format_ == Format::rar4) {
            if (!readAt(start, 7, buf)) {
                broken_ = true;
                break;
            }
            auto* b = reinterpret_cast<const unsigned char*>(buf.data());
            const unsigned type = b[2];
            const unsigned flags = le16(b + 3);
            const unsigned size = le16(b + 5);
            if (size < 7 || !readAt(start, size, buf)) {
                broken_ = true;
                break;
            }
            b = reinterpret_cast<const unsigned char*>(buf.data());
            uint64_t dataSize = 0;
            if ((type == rar4FileHead || type == rar4SubHead) && size >= 32) {
                dataSize = le32(b + 7);
                if ((flags & rar4Large) && size >= 40) dataSize |= static_cast<uint64_t>(le32(b + 32)) << 32;
            } else if ((flags & rar4LongBlock) && size >= 11) {
                dataSize = le32(b + 7);
            }
            cursor_ = start + size + dataSize;
            if ((headerEnd == anyFileHeader || start + size == headerEnd ||
                 start + size + dataSize == headerEnd) &&
                type == rar4FileHead && size >= 32) {
                out = RawFileHeader{};
                out.flags = flags & 0x1F;
                if ((flags & 0xE0) == 0xE0)
                    out.flags |= 0xE0; // a directory, in both the old and the new reading of the bits
                out.packSize = le32(b + 7);
                out.unpSize = le32(b + 11);
                if ((flags & rar4Large) && size >= 40) {
                    out.packSize = dataSize;
                    out.unpSize |= static_cast<uint64_t>(le32(b + 36)) << 32;
                }
                out.hostOS = b[15];
                out.fileCRC = le32(b + 16);
                out.fileTime = le32(b + 20);
                out.unpVer = b[24];
                out.method = b[25];
                out.fileAttr = le32(b + 28);
                out.encrypted = flags & 0x04;
                return true;
            }
        } else {
            if (!readAt(start, 7, buf) && buf.size() < 5) {
                broken_ = true;
                break;
            }
            auto* b = reinterpret_cast<const unsigned char*>(buf.data());
            uint64_t size = 0;
            size_t k = readVint(b + 4, b + buf.size(), size);
            if (!k || size > (2u << 20) || !readAt(start, 4 + k + size, buf)) {
                broken_ = true;
                break;
            }
            b = reinterpret_cast<const unsigned char*>(buf.data());
            const unsigned char* p = b + 4 + k;
            const unsigned char* end = b + buf.size();
            uint64_t type = 0, hflags = 0, extraSize = 0, dataSize = 0;
            auto vint = [&](uint64_t& v) {
                size_t n = readVint(p, end, v);
                if (!n) return false;
                p += n;
                return true;
            };
            if (!vint(type) || !vint(hflags) || ((hflags & 0x01) && !vint(extraSize)) ||
                ((hflags & 0x02) && !vint(dataSize))) {
                broken_ = true;
                break;
            }
            const uint64_t headEnd = start + 4 + k + size;
            cursor_ = headEnd + dataSize;
            if ((headEnd != headerEnd && headEnd + dataSize != headerEnd) || type != 2) continue;
            uint64_t fileFlags = 0, unpSize = 0, attr = 0, compInfo = 0, host = 0, nameLen = 0;
            if (!vint(fileFlags) || !vint(unpSize) || !vint(attr)) return false;
            uint32_t mtime = 0, crc = 0;
            if (fileFlags & 0x02) {
                if (end - p < 4) return false;
                mtime = le32(p);
                p += 4;
            }
            if (fileFlags & 0x04) {
                if (end - p < 4) return false;
                crc = le32(p);
                p += 4;
            }
            if (!vint(compInfo) || !vint(host) || !vint(nameLen)) return false;
            out = RawFileHeader{};
            if (extraSize > 0 && extraSize <= size) {
                const unsigned char* e = b + 4 + k + size - extraSize;
                while (e < end) {
                    uint64_t recSize = 0, recType = 0;
                    size_t n = readVint(e, end, recSize);
                    if (!n || recSize == 0 || recSize > static_cast<uint64_t>(end - e - n)) break;
                    if (readVint(e + n, end, recType) && recType == 0x01) out.encrypted = true;
                    e += n + recSize;
                }
            }
            out.flags = ((hflags & 0x08) ? 0x01u : 0u) | ((hflags & 0x10) ? 0x02u : 0u) |
                        (out.encrypted ? 0x04u : 0u) | ((compInfo & 0x40) ? 0x10u : 0u) |
                        ((fileFlags & 0x01) ? 0x20u : 0u);
            out.packSize = dataSize;
            out.unpSize = unpSize;
            out.hostOS = host == 0 ? 2 : 3;
            out.fileCRC = crc;
            out.fileTime = (fileFlags & 0x02) ? dosTime(mtime) : 0;
            out.unpVer = 50;
            out.method = 0x30 + static_cast<uint32_t>((compInfo >> 7) & 7);
            out.fileAttr = static_cast<uint32_t>(attr);
            return true;
        }
    }
    return false;
}

bool firstRar4FileHeader(const std::string& volumePath, RawFileHeader& out) {
    HeaderWalker walker;
    return walker.find(volumePath, Format::rar4, HeaderWalker::anyFileHeader, out);
}

} // namespace unrar_detail
