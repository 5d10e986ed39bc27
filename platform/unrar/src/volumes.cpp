#include "volumes.h"

#include "rar4.h"
#include "rar5.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

// The end block is looked for in this many bytes at the end of a volume (it may be followed by
// zero padding).
constexpr size_t tailBytes = 8192;

} // namespace

std::string nextVolumeName(std::string_view name) {
    std::string s(name);
    // New style: NAME.partN.rar
    if (iequalTail(s, ".rar")) {
        const size_t digitsEnd = s.size() - 4;
        size_t digitsBegin = digitsEnd;
        while (digitsBegin > 0 && std::isdigit(static_cast<unsigned char>(s[digitsBegin - 1])))
            --digitsBegin;
        if (digitsBegin < digitsEnd && iequalTail(std::string_view(s).substr(0, digitsBegin), ".part")) {
            if (!incrementDigits(s, digitsBegin, digitsEnd)) s.insert(digitsBegin, 1, '1');
            return s;
        }
    }
    // Old style: NAME.rar, NAME.r00, NAME.r01 ...
    const size_t dot = s.rfind('.');
    const size_t slash = s.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return s + ".r00";
    const std::string ext = s.substr(dot + 1);
    const bool upper = !ext.empty() && std::isupper(static_cast<unsigned char>(ext[0]));
    if (ext.size() == 3 && std::isdigit(static_cast<unsigned char>(ext[1])) &&
        std::isdigit(static_cast<unsigned char>(ext[2]))) {
        if (!incrementDigits(s, dot + 2, dot + 4)) ++s[dot + 1];
        return s;
    }
    return s.substr(0, dot + 1) + (upper ? "R00" : "r00");
}

VolumeStatus openVolume(const std::string& path, Volume& out) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) return errno == ENOENT || errno == ENOTDIR ? VolumeStatus::missing : VolumeStatus::readError;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return VolumeStatus::readError;
    if (!S_ISREG(st.st_mode)) return VolumeStatus::notRar;
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);

    Volume v;
    v.path = path;
    v.size = static_cast<uint64_t>(st.st_size);
    v.fd = std::move(fd);
    const VolumeBytes bytes = v.bytes();
    MainStatus s = rar5::readMain(bytes, v.main);
    v.format = Format::rar5;
    if (s == MainStatus::notRar) {
        s = rar4::readMain(bytes, v.main);
        v.format = Format::rar4;
    }
    if (s != MainStatus::ok) return s == MainStatus::notRar ? VolumeStatus::notRar : VolumeStatus::damaged;

    std::vector<unsigned char> tail;
    const uint64_t tailStart = v.size - std::min<uint64_t>(v.size, tailBytes);
    if (!bytes.read(tailStart, static_cast<size_t>(v.size - tailStart), tail)) return VolumeStatus::readError;
    v.tail = v.format == Format::rar4 ? rar4::findEndBlock(tail.data(), tail.size(), tailStart)
                                      : rar5::findEndBlock(tail.data(), tail.size(), tailStart);
    out = std::move(v);
    return VolumeStatus::ok;
}

bool belongsToSet(const Volume& first, const Volume& v, size_t index) {
    if (v.format != first.format || v.main.encryptedHeaders != first.main.encryptedHeaders) return false;
    if (index == 0) return true;
    if (!v.main.isVolume) return false;
    if (v.format == Format::rar5) return v.main.volumeNumber == static_cast<int64_t>(index);
    // RAR 4 volumes carry no number; newer archivers mark the first one.
    return !v.main.firstVolume;
}

BlockResult readBlock(const Volume& v, uint64_t offset) {
    return v.format == Format::rar4 ? rar4::readBlock(v.bytes(), offset) : rar5::readBlock(v.bytes(), offset);
}

} // namespace unrar_detail
