#include "stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <unistd.h>
#include <vector>

namespace unrar_detail {

namespace {

constexpr size_t readBlockSize = 1 << 18;
constexpr size_t endPadding = 1024;

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

} // namespace

VolumeStream::VolumeStream() : buffer_(new char[readBlockSize]) {}

int VolumeStream::openFirst(const std::string& path) {
    Volume v;
    const VolumeStatus s = openVolume(path, v);
    if (s != VolumeStatus::ok) return codeOf(s);
    if (v.main.encryptedHeaders) return ERAR_MISSING_PASSWORD;
    volumes_.push_back(std::move(v));
    current_ = 0;
    readInVolume_ = 0;
    return ERAR_SUCCESS;
}

size_t VolumeStream::volumeAt(int64_t offset) const {
    auto it = std::upper_bound(volumes_.begin(), volumes_.end(), offset,
                               [](int64_t o, const Volume& v) { return o < v.start; });
    return it == volumes_.begin() ? 0 : static_cast<size_t>(it - volumes_.begin() - 1);
}

int VolumeStream::callVolumeProc(std::string& name, int mode) {
    std::vector<char> buf(RAR_VOLNAME_BUFSIZE, 0);
    std::memcpy(buf.data(), name.data(), std::min(name.size(), buf.size() - 1));
    int r = 0;
    try {
        r = proc_(buf.data(), mode);
    } catch (...) {
        // Nothing may unwind through libarchive: the operation ends instead.
        fatal_ = ERAR_UNKNOWN;
        return 0;
    }
    buf.back() = 0;
    name = buf.data();
    return r;
}

bool VolumeStream::nextVolume() {
    std::string name = nextVolumeName(volumes_.back().path);
    Volume v;
    for (;;) {
        const VolumeStatus s = openVolume(name, v);
        if (s == VolumeStatus::ok && belongsToSet(volumes_.front(), v, volumes_.size())) break;
        // Missing, or there but not the next volume of this set: asked for until the callback gives up.
        const int code = s == VolumeStatus::ok ? ERAR_BAD_ARCHIVE : codeOf(s);
        if (!proc_ || callVolumeProc(name, RAR_VOL_ASK) == 0) {
            if (!fatal_) fatal_ = code;
            return false;
        }
        if (fatal_) return false;
    }
    const Volume& prev = volumes_.back();
    v.start = prev.start + static_cast<int64_t>(prev.size);
    volumes_.push_back(std::move(v));
    current_ = volumes_.size() - 1;
    readInVolume_ = 0;
    if (proc_) {
        std::string opened = volumes_.back().path;
        if (callVolumeProc(opened, RAR_VOL_NOTIFY) == 0) {
            if (!fatal_) fatal_ = ERAR_EOPEN;
            return false;
        }
    }
    return true;
}

la_ssize_t VolumeStream::read(struct archive* a, const void** out) {
    for (;;) {
        if (fatal_) return -1;
        const Volume& v = volumes_[current_];
        const ssize_t r = ::read(v.fd.get(), buffer_.get(), readBlockSize);
        if (r > 0) {
            readInVolume_ += static_cast<uint64_t>(r);
            *out = buffer_.get();
            return r;
        }
        if (r < 0) {
            if (errno == EINTR) continue;
            fatal_ = ERAR_EREAD;
            archive_set_error(a, EIO, "Cannot read the volume");
            return -1;
        }
        // This volume is exhausted: the archive's data ends here unless its end block says more follow.
        if (!v.tail.endBlockFound || !v.tail.moreVolumes) {
            // After the end block of the last volume come zeros, as archivers pad volumes: libarchive's
            // RAR 5 reader looks for a further volume in 512-byte steps and would otherwise stop short
            // of a last volume smaller than that.
            if (!v.tail.endBlockFound || paddedEnd_) return 0;
            paddedEnd_ = true;
            std::memset(buffer_.get(), 0, endPadding);
            *out = buffer_.get();
            return static_cast<la_ssize_t>(endPadding);
        }
        if (!nextVolume()) {
            archive_set_error(a, ENOENT, "The next volume is not available");
            return -1;
        }
    }
}

la_ssize_t VolumeStream::readCallback(struct archive* a, void* self, const void** out) {
    // Called from libarchive's C code: nothing may unwind through it.
    auto* s = static_cast<VolumeStream*>(self);
    try {
        return s->read(a, out);
    } catch (const std::bad_alloc&) {
        s->fatal_ = ERAR_NO_MEMORY;
    } catch (...) {
        s->fatal_ = ERAR_UNKNOWN;
    }
    archive_set_error(a, EIO, "Cannot read the volume");
    return -1;
}

la_int64_t VolumeStream::skipCallback(struct archive*, void* self, la_int64_t request) {
    auto* s = static_cast<VolumeStream*>(self);
    const Volume& v = s->volumes_[s->current_];
    const uint64_t left = v.size > s->readInVolume_ ? v.size - s->readInVolume_ : 0;
    const int64_t n = std::min<int64_t>(request, static_cast<int64_t>(std::min<uint64_t>(left, INT64_MAX)));
    if (n <= 0 || ::lseek(v.fd.get(), n, SEEK_CUR) < 0) return 0;
    s->readInVolume_ += static_cast<uint64_t>(n);
    return n;
}

bool VolumeStream::skipRestOfVolume() {
    const Volume& v = volumes_[current_];
    if (fatal_ || !v.tail.endBlockFound || !v.tail.moreVolumes) return false;
    if (::lseek(v.fd.get(), 0, SEEK_END) < 0) return false;
    readInVolume_ = v.size;
    return true;
}

} // namespace unrar_detail
