#include "reader.h"

#include "checksum.h"
#include "crc.h"
#include "names.h"
#include "rar4.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace unrar_detail {

namespace {

// Longest link target we make (the system's limit for a path).
constexpr uint64_t maxLinkTarget = 4095;

void copyText(char (&dst)[260], std::string_view src) {
    const size_t n = utf8Prefix(src, sizeof dst - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = 0;
}

void clearRecord(RARHeaderData& hd) {
    char* cmtBuf = hd.CmtBuf;
    const unsigned cmtBufSize = hd.CmtBufSize;
    std::memset(&hd, 0, sizeof hd);
    hd.CmtBuf = cmtBuf;
    hd.CmtBufSize = cmtBufSize;
}

unsigned clamp32(uint64_t v) {
    return static_cast<unsigned>(std::min<uint64_t>(v, 0xFFFFFFFFu));
}

} // namespace

Archive::~Archive() {
    try {
        disk_.finish();
    } catch (...) {
    }
    if (a_) archive_read_free(a_);
}

int Archive::open(const std::string& path) {
    if (const int r = stream_.openFirst(path); r != ERAR_SUCCESS) return r;
    return startReader();
}

// Starts libarchive on the stream from where it stands now.
int Archive::startReader() {
    if (a_) archive_read_free(a_);
    entry_ = nullptr;
    streamBase_ = stream_.position();
    a_ = archive_read_new();
    if (!a_) return ERAR_NO_MEMORY;
    archive_read_support_format_rar(a_);
    archive_read_support_format_rar5(a_);
    archive_read_set_read_callback(a_, &VolumeStream::readCallback);
    archive_read_set_skip_callback(a_, &VolumeStream::skipCallback);
    archive_read_set_callback_data(a_, &stream_);
    if (archive_read_open1(a_) != ARCHIVE_OK) return failureCode(ERAR_BAD_ARCHIVE);
    return ERAR_SUCCESS;
}

// libarchive ends a RAR 4 archive at the first end block, even when that block says another volume
// follows (a volume that ends exactly where a file ends). The set goes on in a fresh reader.
bool Archive::continuesAfterEnd() {
    const Volume& v = stream_.current();
    if (stream_.fatal() || !v.tail.endBlockFound || !v.tail.moreVolumes ||
        streamBase_ + archive_filter_bytes(a_, 0) != v.start + static_cast<int64_t>(v.tail.endBlockEnd))
        return false;
    return stream_.skipRestOfVolume();
}

int Archive::failureCode(int fallback) const {
    if (stream_.fatal()) return stream_.fatal();
    if (archive_errno(a_) == ENOMEM) return ERAR_NO_MEMORY;
    return fallback;
}

// What a walk that stopped where it did says about the archive.
int Archive::walkVerdict(const BlockWalk::Outcome& o) const {
    if (stream_.fatal()) return stream_.fatal();
    switch (o.step) {
    case BlockWalk::Step::end:
        return ERAR_END_ARCHIVE;
    case BlockWalk::Step::readError:
        return ERAR_EREAD;
    default:
        return ERAR_BAD_DATA;
    }
}

// The header loop is over: with the end of the archive, or with the failure `code`. The record names
// the volume and, when known, the file whose header broke.
int Archive::endOfHeaders(int code, const BlockWalk::Outcome& o, RARHeaderData& hd) {
    ended_ = code;
    headerRead_ = false;
    clearRecord(hd);
    const auto& volumes = stream_.volumes();
    copyText(hd.ArcName, volumes[std::min(o.volume, volumes.size() - 1)].path);
    copyText(hd.FileName, o.name);
    return code;
}

void Archive::fillRecord(RARHeaderData& hd, const FileHeader& f, size_t volume) const {
    clearRecord(hd);
    copyText(hd.ArcName, stream_.volumes()[volume].path);
    copyText(hd.FileName, f.name);
    hd.Flags = (f.splitBefore ? RHDF_SPLITBEFORE : 0u) | (f.splitAfter ? RHDF_SPLITAFTER : 0u) |
               (f.encrypted ? RHDF_ENCRYPTED : 0u) | (f.solid ? RHDF_SOLID : 0u);
    if (f.kind == EntryKind::directory)
        hd.Flags |= stream_.volumes()[volume].format == Format::rar4 ? rar4::lhdDirectory : RHDF_DIRECTORY;
    hd.PackSize = clamp32(f.packSize);
    hd.UnpSize = clamp32(f.unpSize);
    hd.HostOS = f.hostOS;
    hd.FileCRC = f.crc;
    hd.FileTime = f.fileTime;
    hd.UnpVer = f.unpVer;
    hd.Method = f.method;
    hd.FileAttr = f.fileAttr;
}

int Archive::readHeader(RARHeaderData& hd) {
    if (ended_) return ended_;
    headerRead_ = false;
    int r = archive_read_next_header(a_, &entry_);
    while (r == ARCHIVE_EOF && continuesAfterEnd()) {
        if (const int c = startReader(); c != ERAR_SUCCESS) {
            BlockWalk::Outcome o;
            o.volume = stream_.volumes().size() - 1;
            return endOfHeaders(c, o, hd);
        }
        r = archive_read_next_header(a_, &entry_);
    }
    if (r == ARCHIVE_EOF) {
        // libarchive saw the end; the archive has ended only if our walk reaches its last end block
        // with no file left over.
        const BlockWalk::Outcome o = walk_.nextFile();
        return endOfHeaders(walkVerdict(o), o, hd);
    }
    if (r < ARCHIVE_WARN) {
        const BlockWalk::Outcome o = walk_.nextFile();
        int code = walkVerdict(o);
        if (code == ERAR_END_ARCHIVE) code = ERAR_BAD_DATA;
        return endOfHeaders(failureCode(code), o, hd);
    }
    // A header libarchive accepts (warnings are about names it could not convert to the locale; ours
    // are decoded from the archive itself) must be the next file header of our walk, at that place.
    const int64_t consumed = streamBase_ + archive_filter_bytes(a_, 0);
    BlockWalk::Outcome o = walk_.nextFile();
    if (o.step != BlockWalk::Step::file) {
        const int code = walkVerdict(o);
        return endOfHeaders(code == ERAR_END_ARCHIVE ? ERAR_BAD_DATA : code, o, hd);
    }
    const int64_t volumeStart = stream_.volumes()[o.volume].start;
    if (volumeStart + static_cast<int64_t>(o.block.headerEnd) != consumed &&
        volumeStart + static_cast<int64_t>(o.block.dataEnd) != consumed) {
        o.name = o.block.file.name;
        return endOfHeaders(ERAR_BAD_DATA, o, hd);
    }
    current_ = std::move(o.block);
    currentVolume_ = o.volume;
    headerRead_ = true;
    fillRecord(hd, current_.file, currentVolume_);
    return ERAR_SUCCESS;
}

EntryTimes Archive::entryTimes() const {
    EntryTimes t;
    if (archive_entry_mtime_is_set(entry_)) {
        t.hasMtime = true;
        t.mtime.tv_sec = archive_entry_mtime(entry_);
        t.mtime.tv_nsec = archive_entry_mtime_nsec(entry_);
    }
    if (archive_entry_atime_is_set(entry_)) {
        t.hasAtime = true;
        t.atime.tv_sec = archive_entry_atime(entry_);
        t.atime.tv_nsec = archive_entry_atime_nsec(entry_);
    }
    return t;
}

// Reads the current file's data, handing each block to the data callback and, when outFd is valid,
// writing it there; then checks its size and checksum against the headers.
int Archive::readData(int outFd) {
    const FileHeader& f = current_.file;
    DataChecksum sum(f);
    int64_t end = 0; // bytes of the file so far, holes included
    for (;;) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int r = archive_read_data_block(a_, &block, &size, &offset);
        if (r == ARCHIVE_EOF) break;
        if (r < ARCHIVE_WARN) return failureCode(ERAR_BAD_DATA);
        if (offset < end) return ERAR_BAD_DATA;
        if (offset > end) {
            // A hole: its bytes are zero, and count for the checksum.
            static const char zeros[4096] = {};
            for (int64_t left = offset - end; left > 0;) {
                const size_t n = static_cast<size_t>(std::min<int64_t>(left, sizeof zeros));
                sum.update(zeros, n);
                left -= static_cast<int64_t>(n);
            }
            if (outFd >= 0 && (::lseek(outFd, offset, SEEK_SET) < 0 || ::ftruncate(outFd, offset) != 0))
                return ERAR_EWRITE;
            end = offset;
        }
        const char* p = static_cast<const char*>(block);
        sum.update(p, size);
        if (outFd >= 0 && !writeAll(outFd, p, size)) return ERAR_EWRITE;
        end += static_cast<int64_t>(size);
        if (dataProc_) {
            for (size_t left = size; left > 0;) {
                const int chunk = static_cast<int>(std::min<size_t>(left, INT_MAX / 2));
                int go = 0;
                try {
                    go = dataProc_(reinterpret_cast<unsigned char*>(const_cast<char*>(p)), chunk);
                } catch (...) {
                    go = 0; // nothing unwinds out of the library: the file is cancelled
                }
                if (go == 0) return ERAR_UNKNOWN;
                p += chunk;
                left -= static_cast<size_t>(chunk);
            }
        }
    }
    // A volume that could not be had ends the data early; libarchive may take that for the end.
    if (stream_.fatal()) return stream_.fatal();
    // A file that came out shorter or longer than its header says is not the file that was packed,
    // nor one whose checksum (in the header of its last part) does not match.
    if (f.sizeKnown && static_cast<uint64_t>(end) != f.unpSize) return ERAR_BAD_DATA;
    Block last;
    if (!walk_.lastPart(current_, currentVolume_, last))
        return stream_.fatal() ? stream_.fatal() : ERAR_BAD_DATA;
    if (!sum.matches(last.file)) return ERAR_BAD_DATA;
    return ERAR_SUCCESS;
}

// A RAR 4 link keeps its target as the file's (stored) data; its CRC is checked like any file's.
int Archive::readLinkTarget(std::string& target) {
    const FileHeader& f = current_.file;
    if (f.linkDataSize == 0 && !f.linkTarget.empty()) {
        target = f.linkTarget;
        return ERAR_SUCCESS;
    }
    if (f.linkDataSize == 0 || f.linkDataSize > maxLinkTarget || f.method != rar4::methodStored)
        return ERAR_ECREATE;
    std::vector<unsigned char> buf;
    if (!stream_.volumes().read(currentVolume_, current_.headerEnd, static_cast<size_t>(f.linkDataSize), buf))
        return stream_.fatal() ? stream_.fatal() : ERAR_EREAD;
    if (buf.size() != f.linkDataSize || (f.hasCrc && dataCrc32(0, buf.data(), buf.size()) != f.crc))
        return ERAR_BAD_DATA;
    target = eightBitName(std::string_view(reinterpret_cast<const char*>(buf.data()), buf.size()));
    return target.find('\0') == std::string::npos ? ERAR_SUCCESS : ERAR_BAD_DATA;
}

int Archive::processFile(int operation, const char* destPath, const char* destName) {
    if (ended_ && ended_ != ERAR_END_ARCHIVE) return ended_;
    if (!headerRead_) return ERAR_BAD_DATA;
    headerRead_ = false;
    if (operation != RAR_TEST && operation != RAR_EXTRACT)
        return ERAR_SUCCESS; // the next header read skips the data
    const FileHeader& f = current_.file;
    if (f.encrypted || archive_entry_is_data_encrypted(entry_) > 0) {
        // libarchive cannot decrypt RAR data; never hand out what it would make of it.
        return passwordSet_ ? ERAR_BAD_PASSWORD : ERAR_MISSING_PASSWORD;
    }
    std::string target;
    if (f.kind == EntryKind::symlink)
        if (const int r = readLinkTarget(target); r != ERAR_SUCCESS) return r;
    if (operation == RAR_TEST) return f.kind == EntryKind::file ? readData(-1) : ERAR_SUCCESS;

    DiskWriter::Place place;
    if (const int r = disk_.place(f.name, destPath, destName, place); r != ERAR_SUCCESS) return r;
    switch (f.kind) {
    case EntryKind::directory:
        return disk_.makeDirectory(place, f.mode, entryTimes());
    case EntryKind::symlink:
        return disk_.makeSymlink(place, target, entryTimes());
    case EntryKind::hardlink:
    case EntryKind::copy:
        return disk_.makeHardlink(place, f.linkTarget, f.kind == EntryKind::copy, destPath);
    case EntryKind::unsupported:
        return ERAR_ECREATE;
    case EntryKind::file:
        break;
    }
    return disk_.writeFile(place, f.mode, entryTimes(), [this](int fd) { return readData(fd); });
}

int Archive::fileSize64(unsigned long long* unpSize, unsigned long long* packSize) const {
    if (!entry_ || ended_) return ERAR_BAD_DATA;
    if (unpSize) *unpSize = current_.file.unpSize;
    if (packSize) *packSize = current_.file.packSize;
    return ERAR_SUCCESS;
}

} // namespace unrar_detail
