#include "volumes.h"

#include <array>
#include <cctype>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace unrar_detail {

namespace {

bool iequalTail(std::string_view s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

// Adds one to the decimal digits in s[begin, end); returns false when they all wrapped to zero.
bool incrementDigits(std::string& s, size_t begin, size_t end) {
    for (size_t i = end; i > begin; --i) {
        if (s[i - 1] != '9') {
            ++s[i - 1];
            return true;
        }
        s[i - 1] = '0';
    }
    return false;
}

constexpr unsigned char rar4Signature[7] = {'R', 'a', 'r', '!', 0x1a, 0x07, 0x00};
constexpr unsigned char rar5Signature[8] = {'R', 'a', 'r', '!', 0x1a, 0x07, 0x01, 0x00};

uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

ssize_t preadAll(int fd, void* buf, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        ssize_t r =
            ::pread(fd, static_cast<char*>(buf) + done, size - done, offset + static_cast<off_t>(done));
        if (r < 0) return -1;
        if (r == 0) break;
        done += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

std::string nextVolumeName(std::string_view name) {
    std::string s(name);
    // New style: NAME.partN.rar
    if (iequalTail(s, ".rar")) {
        size_t digitsEnd = s.size() - 4;
        size_t digitsBegin = digitsEnd;
        while (digitsBegin > 0 && std::isdigit(static_cast<unsigned char>(s[digitsBegin - 1])))
            --digitsBegin;
        if (digitsBegin < digitsEnd && iequalTail(std::string_view(s).substr(0, digitsBegin), ".part")) {
            if (!incrementDigits(s, digitsBegin, digitsEnd)) s.insert(digitsBegin, 1, '1');
            return s;
        }
    }
    // Old style: NAME.rar, NAME.r00, NAME.r01 ...
    size_t dot = s.rfind('.');
    size_t slash = s.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return s + ".r00";
    std::string ext = s.substr(dot + 1);
    bool upper = !ext.empty() && std::isupper(static_cast<unsigned char>(ext[0]));
    if (ext.size() == 3 && std::isdigit(static_cast<unsigned char>(ext[1])) &&
        std::isdigit(static_cast<unsigned char>(ext[2]))) {
        if (!incrementDigits(s, dot + 2, dot + 4)) ++s[dot + 1];
        return s;
    }
    return s.substr(0, dot + 1) + (upper ? "R00" : "r00");
}

uint32_t crc32(uint32_t crc, const void* data, size_t size) {
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

size_t readVint(const unsigned char* p, const unsigned char* end, uint64_t& value) {
    value = 0;
    for (size_t i = 0; i < 10 && p + i < end; ++i) {
        value |= static_cast<uint64_t>(p[i] & 0x7F) << (7 * i);
        if (!(p[i] & 0x80)) return i + 1;
    }
    return 0;
}

VolumeFacts readVolumeFacts(int fd) {
    VolumeFacts f;
    unsigned char head[64] = {};
    ssize_t n = preadAll(fd, head, sizeof head, 0);
    if (n >= 14 && std::memcmp(head, rar4Signature, 7) == 0) {
        f.format = Format::rar4;
        if (head[9] == 0x73) { // main header
            uint16_t flags = le16(head + 10);
            f.isVolume = flags & 0x0001;
            f.encryptedHeaders = flags & 0x0080;
        }
    } else if (n >= 16 && std::memcmp(head, rar5Signature, 8) == 0) {
        f.format = Format::rar5;
        const unsigned char* p = head + 12; // after the header CRC
        const unsigned char* end = head + n;
        uint64_t size = 0, type = 0, hflags = 0, extra = 0, aflags = 0;
        size_t k = readVint(p, end, size);
        p += k;
        if (k && (k = readVint(p, end, type)) != 0) {
            p += k;
            if (type == 4)
                f.encryptedHeaders = true;
            else if (type == 1 && (k = readVint(p, end, hflags)) != 0) {
                p += k;
                if (hflags & 0x01) {
                    k = readVint(p, end, extra);
                    p += k;
                }
                if (readVint(p, end, aflags)) f.isVolume = aflags & 0x0001;
            }
        }
    }

    // The end-of-archive block is the last block of the volume, possibly followed by zero padding;
    // look for it in the tail, nearest to the end first.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 8) return f;
    size_t tailSize = static_cast<size_t>(std::min<off_t>(st.st_size, 8192));
    const off_t tailStart = st.st_size - static_cast<off_t>(tailSize);
    std::vector<unsigned char> tail(tailSize);
    if (preadAll(fd, tail.data(), tailSize, tailStart) != static_cast<ssize_t>(tailSize)) return f;
    const unsigned char* end = tail.data() + tailSize;
    size_t paddingFrom = tailSize; // tail[paddingFrom..] is all zero
    while (paddingFrom > 0 && tail[paddingFrom - 1] == 0)
        --paddingFrom;
    auto found = [&](size_t blockEnd, bool more) {
        f.endBlockFound = true;
        f.endBlockEnd = tailStart + static_cast<off_t>(blockEnd);
        f.moreVolumes = more;
        return f;
    };
    for (size_t i = tailSize >= 7 ? tailSize - 7 : 0;; --i) {
        const unsigned char* b = tail.data() + i;
        if (f.format != Format::rar5 && b[2] == 0x7B) {
            const size_t size = le16(b + 5);
            if (size >= 7 && i + size <= tailSize && i + size >= paddingFrom &&
                (crc32(0, b + 2, size - 2) & 0xFFFF) == le16(b))
                return found(i + size, le16(b + 3) & 0x0001);
        }
        if (f.format != Format::rar4) {
            uint64_t size = 0, type = 0, hflags = 0, eflags = 0;
            size_t k = readVint(b + 4, end, size);
            const size_t blockEnd = i + 4 + k + static_cast<size_t>(size);
            if (k && size < tailSize && blockEnd <= tailSize && blockEnd >= paddingFrom &&
                crc32(0, b + 4, k + size) == le32(b)) {
                const unsigned char* p = b + 4 + k;
                size_t t = readVint(p, end, type);
                if (t && type == 5) {
                    p += t;
                    t = readVint(p, end, hflags);
                    if (t && readVint(p + t, end, eflags)) return found(blockEnd, eflags & 0x0001);
                }
            }
        }
        if (i == 0) break;
    }
    if (f.format == Format::rar4) {
        // Old volumes end without an end block: whether a file goes on decides.
        if (f.isVolume) {
            off_t offset = 0;
            unsigned char b[40];
            while (offset < st.st_size) {
                ssize_t got = preadAll(fd, b, sizeof b, offset);
                if (got < 7) break;
                const unsigned type = b[2], flags = le16(b + 3), size = le16(b + 5);
                if (size < 7) break;
                uint64_t data = 0;
                if ((type == 0x74 || type == 0x7A) && got >= 11) {
                    data = le32(b + 7);
                    if ((flags & 0x0100) && size >= 40 && got >= 36)
                        data |= static_cast<uint64_t>(le32(b + 32)) << 32;
                    if (type == 0x74) f.lastFileSplit = flags & 0x0002;
                } else if ((flags & 0x8000) && got >= 11) {
                    data = le32(b + 7);
                }
                offset += static_cast<off_t>(size + data);
            }
        }
    }
    return f;
}

} // namespace unrar_detail
