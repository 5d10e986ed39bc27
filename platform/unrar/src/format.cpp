#include "format.h"

#include "bytes.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace unrar_detail {

bool VolumeBytes::read(uint64_t offset, size_t n, std::vector<unsigned char>& buf) const {
    buf.clear();
    if (offset >= size_) return true;
    if (n > size_ - offset) n = static_cast<size_t>(size_ - offset);
    buf.resize(n);
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd_, buf.data() + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) break; // the file became shorter
        done += static_cast<size_t>(r);
    }
    buf.resize(done);
    return true;
}

BlockResult blockResult(BlockStatus status, std::string damagedName) {
    BlockResult r;
    r.status = status;
    r.damagedName = std::move(damagedName);
    return r;
}

bool placeBlock(Block& b, uint64_t offset, uint64_t headerSize, uint64_t dataSize) {
    b.start = offset;
    return addChecked(offset, headerSize, b.headerEnd) && addChecked(b.headerEnd, dataSize, b.dataEnd);
}

void checkInVolume(BlockResult& r, const VolumeBytes& v) {
    if (r.block.dataEnd <= v.size()) return;
    r.status = BlockStatus::truncated;
    if (r.block.kind == BlockKind::file) r.damagedName = r.block.file.name;
}

size_t zeroPaddingStart(const unsigned char* tail, size_t size) {
    while (size > 0 && tail[size - 1] == 0)
        --size;
    return size;
}

uint32_t dosTime(int64_t unixTime) {
    const time_t t = static_cast<time_t>(unixTime);
    struct tm tm {};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80 || tm.tm_year > 80 + 127) return 0;
    return static_cast<uint32_t>(((tm.tm_year - 80) << 25) | ((tm.tm_mon + 1) << 21) | (tm.tm_mday << 16) |
                                 (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

} // namespace unrar_detail
