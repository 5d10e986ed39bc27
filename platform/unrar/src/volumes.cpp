#include "volumes.h"

#include "rar4.h"
#include "rar5.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
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

namespace {

int codeOf(VolumeStatus s) {
    switch (s) {
    case VolumeStatus::missing:
        return ERAR_EOPEN;
    case VolumeStatus::readError:
        return ERAR_EREAD;
    default:
        return ERAR_BAD_ARCHIVE;
    }
}

// Opens `path` for reading when it is a regular file, and tells which file it is.
VolumeStatus openFile(const std::string& path, UniqueFd& out, FileIdentity& id) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) return errno == ENOENT || errno == ENOTDIR ? VolumeStatus::missing : VolumeStatus::readError;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return VolumeStatus::readError;
    if (!S_ISREG(st.st_mode)) return VolumeStatus::notRar;
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<uint64_t>(st.st_size);
    id.mtimeSec = static_cast<int64_t>(st.st_mtim.tv_sec);
    id.mtimeNsec = static_cast<int64_t>(st.st_mtim.tv_nsec);
    struct statfs fs {};
    if (::fstatfs(fd.get(), &fs) == 0) {
        const auto type = static_cast<uint64_t>(fs.f_type);
        id.inodeKept = type != MSDOS_SUPER_MAGIC && type != EXFAT_SUPER_MAGIC && type != FUSE_SUPER_MAGIC;
    }
    out = std::move(fd);
    return VolumeStatus::ok;
}

} // namespace

bool sameFile(const FileIdentity& was, const FileIdentity& now) {
    return was.device == now.device && (was.inode == now.inode || !was.inodeKept || !now.inodeKept) &&
           was.size == now.size && was.mtimeSec == now.mtimeSec && was.mtimeNsec == now.mtimeNsec;
}

VolumeStatus openVolume(const std::string& path, Volume& out, UniqueFd& fdOut) {
    UniqueFd fd;
    Volume v;
    if (const VolumeStatus s = openFile(path, fd, v.file); s != VolumeStatus::ok) return s;
    v.path = path;
    v.size = v.file.size;
    const VolumeBytes bytes(fd.get(), v.size);
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
    fdOut = std::move(fd);
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

int VolumeSet::openFirst(const std::string& path) {
    Volume v;
    UniqueFd fd;
    const VolumeStatus s = openVolume(path, v, fd);
    if (s != VolumeStatus::ok) return codeOf(s);
    if (v.main.encryptedHeaders) return ERAR_MISSING_PASSWORD;
    volumes_.clear();
    open_.clear();
    volumes_.push_back(std::move(v));
    keepOpen(0, std::move(fd));
    return ERAR_SUCCESS;
}

int VolumeSet::callVolumeProc(std::string& name, int mode) {
    std::vector<char> buf(RAR_VOLNAME_BUFSIZE, 0);
    std::memcpy(buf.data(), name.data(), std::min(name.size(), buf.size() - 1));
    int r = 0;
    try {
        r = proc_(buf.data(), mode);
    } catch (...) {
        // Nothing may unwind through libarchive: the operation ends instead.
        setFatal(ERAR_UNKNOWN);
        return 0;
    }
    buf.back() = 0;
    name = buf.data();
    return r;
}

bool VolumeSet::openNext() {
    if (fatal_) return false;
    std::string name = nextVolumeName(volumes_.back().path);
    Volume v;
    UniqueFd fd;
    for (;;) {
        const VolumeStatus s = openVolume(name, v, fd);
        if (s == VolumeStatus::ok && belongsToSet(volumes_.front(), v, volumes_.size())) break;
        // Missing, or there but not the next volume of this set: asked for until the callback gives up.
        fd.reset();
        const int code = s == VolumeStatus::ok ? ERAR_BAD_ARCHIVE : codeOf(s);
        if (!proc_ || callVolumeProc(name, RAR_VOL_ASK) == 0) {
            setFatal(code);
            return false;
        }
        if (fatal_) return false;
    }
    const Volume& prev = volumes_.back();
    v.start = prev.start + static_cast<int64_t>(prev.size);
    volumes_.push_back(std::move(v));
    keepOpen(volumes_.size() - 1, std::move(fd));
    if (proc_) {
        std::string opened = volumes_.back().path;
        if (callVolumeProc(opened, RAR_VOL_NOTIFY) == 0) {
            setFatal(ERAR_EOPEN);
            return false;
        }
    }
    return true;
}

// Keeps `fd` as the open descriptor of volume `i`, closing the volume used longest ago when there
// are as many open as allowed.
int VolumeSet::keepOpen(size_t i, UniqueFd fd) {
    OpenVolume* slot = nullptr;
    if (open_.size() < maxOpen) {
        slot = &open_.emplace_back();
    } else {
        slot = &*std::min_element(open_.begin(), open_.end(), [](const OpenVolume& a, const OpenVolume& b) {
            return a.lastUse < b.lastUse;
        });
    }
    slot->volume = i;
    slot->fd = std::move(fd);
    slot->lastUse = ++uses_;
    return slot->fd.get();
}

int VolumeSet::descriptor(size_t i) {
    if (fatal_ || i >= volumes_.size()) return -1;
    for (OpenVolume& o : open_) {
        if (o.volume == i) {
            o.lastUse = ++uses_;
            return o.fd.get();
        }
    }
    Volume& v = volumes_[i];
    std::string name = v.path;
    for (;;) {
        UniqueFd fd;
        FileIdentity id;
        const VolumeStatus s = openFile(name, fd, id);
        if (s == VolumeStatus::ok && sameFile(v.file, id)) {
            v.path = name;
            return keepOpen(i, std::move(fd));
        }
        // Gone, or another file in its place: never read; asked for until the callback gives up.
        fd.reset();
        const int code = s == VolumeStatus::ok ? ERAR_BAD_ARCHIVE : codeOf(s);
        if (!proc_ || callVolumeProc(name, RAR_VOL_ASK) == 0) {
            setFatal(code);
            return -1;
        }
        if (fatal_) return -1;
    }
}

int VolumeSet::reopen(size_t i) {
    std::erase_if(open_, [i](const OpenVolume& o) { return o.volume == i; });
    return descriptor(i);
}

bool VolumeSet::read(size_t i, uint64_t offset, size_t n, std::vector<unsigned char>& buf) {
    const int fd = descriptor(i);
    return fd >= 0 && VolumeBytes(fd, volumes_[i].size).read(offset, n, buf);
}

BlockResult VolumeSet::readBlock(size_t i, uint64_t offset) {
    const int fd = descriptor(i);
    if (fd < 0) return blockResult(BlockStatus::readError);
    const VolumeBytes bytes(fd, volumes_[i].size);
    return volumes_[i].format == Format::rar4 ? rar4::readBlock(bytes, offset)
                                              : rar5::readBlock(bytes, offset);
}

} // namespace unrar_detail
