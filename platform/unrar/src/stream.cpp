#include "stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <unistd.h>

namespace unrar_detail {

namespace {

constexpr size_t readBlockSize = 1 << 18;
constexpr size_t endPadding = 1024;

} // namespace

VolumeStream::VolumeStream() : buffer_(new char[readBlockSize]) {}

int VolumeStream::openFirst(const std::string& path) {
    if (const int r = volumes_.openFirst(path); r != ERAR_SUCCESS) return r;
    current_ = 0;
    readInVolume_ = 0;
    return ERAR_SUCCESS;
}

la_ssize_t VolumeStream::read(struct archive* a, const void** out) {
    bool reopened = false;
    for (;;) {
        if (fatal()) return -1;
        const Volume& v = volumes_[current_];
        if (readInVolume_ < v.size) {
            const int fd = volumes_.descriptor(current_);
            if (fd < 0) {
                archive_set_error(a, EIO, "Cannot read the volume");
                return -1;
            }
            const size_t n = static_cast<size_t>(std::min<uint64_t>(readBlockSize, v.size - readInVolume_));
            const ssize_t r = ::pread(fd, buffer_.get(), n, static_cast<off_t>(readInVolume_));
            if (r > 0) {
                readInVolume_ += static_cast<uint64_t>(r);
                *out = buffer_.get();
                return r;
            }
            if (r < 0) {
                if (errno == EINTR) continue;
                volumes_.setFatal(ERAR_EREAD);
                archive_set_error(a, EIO, "Cannot read the volume");
                return -1;
            }
            // The volume ends before the size it had: whatever is there now is not what was opened.
            // Opened again, it must be the same file; a file system that still ends it short then
            // cannot be read.
            if (reopened) {
                volumes_.setFatal(ERAR_EREAD);
                archive_set_error(a, EIO, "Cannot read the volume");
                return -1;
            }
            volumes_.reopen(current_);
            reopened = true;
            continue;
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
        if (!volumes_.openNext()) {
            archive_set_error(a, ENOENT, "The next volume is not available");
            return -1;
        }
        current_ = volumes_.size() - 1;
        readInVolume_ = 0;
    }
}

la_ssize_t VolumeStream::readCallback(struct archive* a, void* self, const void** out) {
    // Called from libarchive's C code: nothing may unwind through it.
    auto* s = static_cast<VolumeStream*>(self);
    try {
        return s->read(a, out);
    } catch (const std::bad_alloc&) {
        s->volumes_.setFatal(ERAR_NO_MEMORY);
    } catch (...) {
        s->volumes_.setFatal(ERAR_UNKNOWN);
    }
    archive_set_error(a, EIO, "Cannot read the volume");
    return -1;
}

la_int64_t VolumeStream::skipCallback(struct archive*, void* self, la_int64_t request) {
    auto* s = static_cast<VolumeStream*>(self);
    const Volume& v = s->volumes_[s->current_];
    const uint64_t left = v.size > s->readInVolume_ ? v.size - s->readInVolume_ : 0;
    const int64_t n = std::min<int64_t>(request, static_cast<int64_t>(std::min<uint64_t>(left, INT64_MAX)));
    if (n <= 0 || s->fatal()) return 0;
    s->readInVolume_ += static_cast<uint64_t>(n);
    return n;
}

bool VolumeStream::skipRestOfVolume() {
    const Volume& v = volumes_[current_];
    if (fatal() || !v.tail.endBlockFound || !v.tail.moreVolumes) return false;
    readInVolume_ = v.size;
    return true;
}

} // namespace unrar_detail
