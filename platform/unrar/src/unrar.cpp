// The UnRAR archive interface on libarchive. One handle reads the volumes of a set as one stream: the
// read callback moves to the next volume when the current one is exhausted (asking for it through the
// volume callback when it is missing), so volumes are opened only when their bytes are needed and the
// reader always knows which volume holds the current header.
#include "unrar/unrar.h"

#include "crc.h"
#include "extract.h"
#include "headers.h"
#include "volumes.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace unrar_detail;

namespace {

constexpr size_t readBlockSize = 1 << 18;

struct Volume {
    std::string path;
    int64_t start = 0; // offset of its first byte in the joined stream
    VolumeFacts facts;
};

struct PendingDir {
    std::string root;
    std::vector<std::string> parts;
    mode_t mode = 0755;
    EntryTimes times;
};

struct Archive {
    struct archive* a = nullptr;
    std::vector<Volume> volumes;
    UniqueFd fd;            // the volume being read
    int64_t volumeRead = 0; // bytes of it consumed by read or skip
    int64_t volumeSize = 0;
    std::unique_ptr<char[]> buffer{new char[readBlockSize]};

    CHANGEVOLPROC changeVolProc = nullptr;
    PROCESSDATAPROC processDataProc = nullptr;
    bool passwordSet = false;

    int fatal = 0; // a code set by the volume logic when the stream cannot go on
    std::exception_ptr callbackException;
    int64_t streamBase = 0; // where the current libarchive reader started in the joined stream

    struct archive_entry* entry = nullptr;
    bool headerRead = false;
    RawFileHeader raw;
    bool rawValid = false;
    size_t headerVolume = 0; // index of the volume holding the current header
    HeaderWalker walker;

    std::string rootPath;
    UniqueFd rootFd;
    std::vector<PendingDir> pendingDirs;
    unsigned tempCounter = 0;

    ~Archive() {
        if (a) archive_read_free(a);
    }

    const Volume& volumeAt(int64_t offset) const {
        auto it = std::upper_bound(volumes.begin(), volumes.end(), offset,
                                   [](int64_t o, const Volume& v) { return o < v.start; });
        return it == volumes.begin() ? volumes.front() : *(it - 1);
    }

    bool openVolume(const std::string& path) {
        int f = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (f < 0) return false;
        struct stat st {};
        ::fstat(f, &st);
        Volume v;
        v.path = path;
        v.start = volumes.empty() ? 0 : volumes.back().start + volumeSize;
        v.facts = readVolumeFacts(f);
        volumes.push_back(std::move(v));
        fd.reset(f);
        volumeRead = 0;
        volumeSize = st.st_size;
        return true;
    }

    int callVolumeProc(std::string& name, int mode) {
        std::vector<char> buf(RAR_VOLNAME_BUFSIZE, 0);
        std::memcpy(buf.data(), name.data(), std::min(name.size(), buf.size() - 1));
        int r = 0;
        try {
            r = changeVolProc(buf.data(), mode);
        } catch (...) {
            callbackException = std::current_exception();
            return 0;
        }
        buf.back() = 0;
        name = buf.data();
        return r;
    }

    // Moves to the volume after the current one; false (with `fatal` set) when it cannot be had.
    bool nextVolume() {
        std::string name = nextVolumeName(volumes.back().path);
        while (!openVolume(name)) {
            if (!changeVolProc || callVolumeProc(name, RAR_VOL_ASK) == 0) {
                fatal = ERAR_EOPEN;
                return false;
            }
        }
        if (changeVolProc) {
            std::string opened = volumes.back().path;
            if (callVolumeProc(opened, RAR_VOL_NOTIFY) == 0) {
                fatal = ERAR_EOPEN;
                return false;
            }
        }
        return true;
    }

    static la_ssize_t readCallback(struct archive*, void* self, const void** out) {
        auto* arc = static_cast<Archive*>(self);
        for (;;) {
            if (arc->fatal) return -1;
            ssize_t r = ::read(arc->fd.get(), arc->buffer.get(), readBlockSize);
            if (r > 0) {
                arc->volumeRead += r;
                *out = arc->buffer.get();
                return r;
            }
            if (r < 0) {
                if (errno == EINTR) continue;
                archive_set_error(arc->a, errno, "Cannot read the volume");
                return -1;
            }
            if (!arc->volumes.back().facts.hasNext()) return 0;
            if (!arc->nextVolume()) {
                archive_set_error(arc->a, ENOENT, "The next volume is not available");
                return -1;
            }
        }
    }

    static la_int64_t skipCallback(struct archive*, void* self, la_int64_t request) {
        auto* arc = static_cast<Archive*>(self);
        int64_t n = std::min<int64_t>(request, arc->volumeSize - arc->volumeRead);
        if (n <= 0 || ::lseek(arc->fd.get(), n, SEEK_CUR) < 0) return 0;
        arc->volumeRead += n;
        return n;
    }

    // Starts libarchive on the stream from where it stands now.
    int startReader() {
        if (a) archive_read_free(a);
        streamBase = volumes.back().start + volumeRead;
        a = archive_read_new();
        if (!a) return ERAR_NO_MEMORY;
        archive_read_support_format_rar(a);
        archive_read_support_format_rar5(a);
        archive_read_set_read_callback(a, &Archive::readCallback);
        archive_read_set_skip_callback(a, &Archive::skipCallback);
        archive_read_set_callback_data(a, this);
        if (archive_read_open1(a) != ARCHIVE_OK) {
            rethrowCallbackException();
            return failureCode(ERAR_BAD_ARCHIVE);
        }
        return ERAR_SUCCESS;
    }

    // libarchive ends a RAR 4 archive at the first end block, even when that block says another volume
    // follows (a volume that ends exactly where a file ends). The set goes on in a fresh reader.
    bool continuesAfterEnd() {
        const Volume& v = volumes.back();
        if (fatal || !v.facts.endBlockFound || !v.facts.moreVolumes ||
            streamBase + archive_filter_bytes(a, 0) != v.start + v.facts.endBlockEnd)
            return false;
        // What follows the end block is padding: the next reader starts with the next volume.
        if (::lseek(fd.get(), 0, SEEK_END) < 0) return false;
        volumeRead = volumeSize;
        return true;
    }

    int failureCode(int fallback) const {
        if (fatal) return fatal;
        int err = archive_errno(a);
        if (err == ENOMEM) return ERAR_NO_MEMORY;
        if (err == EIO) return ERAR_EREAD;
        return fallback;
    }

    void rethrowCallbackException() {
        if (callbackException) {
            std::exception_ptr e = callbackException;
            callbackException = nullptr;
            std::rethrow_exception(e);
        }
    }

    int extract(int operation, const char* destPath, const char* destName);
    int openRoot(const char* destPath);
    int writeRegular(int dirFd, const std::string& name, int64_t size);
    int readAll(int outFd);
    bool needsCrcCheck() const;
    bool expectedCrc(uint32_t& crc) const;
    void applyPendingDirs();
};

void copyName(char (&dst)[260], const std::string& src) {
    size_t n = std::min(src.size(), sizeof dst - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = 0;
}

std::string entryName(struct archive_entry* e) {
    const char* n = archive_entry_pathname_utf8(e);
    if (!n) n = archive_entry_pathname(e);
    return n ? n : "";
}

EntryTimes entryTimes(struct archive_entry* e) {
    EntryTimes t;
    if (archive_entry_mtime_is_set(e)) {
        t.hasMtime = true;
        t.mtime.tv_sec = archive_entry_mtime(e);
        t.mtime.tv_nsec = archive_entry_mtime_nsec(e);
    }
    if (archive_entry_atime_is_set(e)) {
        t.hasAtime = true;
        t.atime.tv_sec = archive_entry_atime(e);
        t.atime.tv_nsec = archive_entry_atime_nsec(e);
    }
    return t;
}

void setTimes(int fd, const EntryTimes& t) {
    if (!t.hasMtime) return;
    timespec ts[2] = {t.hasAtime ? t.atime : t.mtime, t.mtime};
    ::futimens(fd, ts);
}

void setLinkTimes(int dirFd, const char* name, const EntryTimes& t) {
    if (!t.hasMtime) return;
    timespec ts[2] = {t.hasAtime ? t.atime : t.mtime, t.mtime};
    ::utimensat(dirFd, name, ts, AT_SYMLINK_NOFOLLOW);
}

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Removes a name that stands where a new entry goes (never a directory).
bool clearName(int dirFd, const char* name) {
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (S_ISDIR(st.st_mode)) return false;
    return ::unlinkat(dirFd, name, 0) == 0;
}

int Archive::openRoot(const char* destPath) {
    std::string path = destPath && *destPath ? destPath : ".";
    if (rootFd && path == rootPath) return ERAR_SUCCESS;
    rootFd.reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd) {
        // The destination itself is the caller's choice: create it as a path.
        std::string partial;
        for (size_t i = 0; i <= path.size(); ++i) {
            if (i == path.size() || path[i] == '/') {
                if (!partial.empty()) ::mkdir(partial.c_str(), 0755);
            }
            if (i < path.size()) partial += path[i];
        }
        rootFd.reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    rootPath = rootFd ? path : std::string();
    return rootFd ? ERAR_SUCCESS : ERAR_ECREATE;
}

// Reads the current entry's data, handing each block to the data callback and, when outFd is valid,
// writing it there.
// libarchive checks the CRC of compressed RAR 4 files and of every RAR 5 file, but not of stored RAR 4
// files: those are checked here, against the CRC of the whole file in the header of its last part.
bool Archive::needsCrcCheck() const {
    return rawValid && volumes[headerVolume].facts.format == Format::rar4 && raw.method == 0x30;
}

bool Archive::expectedCrc(uint32_t& crc) const {
    crc = raw.fileCRC;
    uint32_t flags = raw.flags;
    for (size_t v = headerVolume + 1; (flags & RHDF_SPLITAFTER) && v < volumes.size(); ++v) {
        RawFileHeader part;
        if (!firstRar4FileHeader(volumes[v].path, part) || !(part.flags & RHDF_SPLITBEFORE)) return false;
        crc = part.fileCRC;
        flags = part.flags;
    }
    return !(flags & RHDF_SPLITAFTER);
}

int Archive::readAll(int outFd) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    int64_t written = 0;
    const bool checkCrc = needsCrcCheck();
    uint32_t crc = 0;
    for (;;) {
        int r = archive_read_data_block(a, &block, &size, &offset);
        if (r == ARCHIVE_EOF) {
            uint32_t expected = 0;
            if (checkCrc && expectedCrc(expected) && expected != crc) return ERAR_BAD_DATA;
            return ERAR_SUCCESS;
        }
        if (r < ARCHIVE_WARN) {
            rethrowCallbackException();
            return failureCode(ERAR_BAD_DATA);
        }
        if (outFd >= 0 && offset > written) {
            // A hole: keep the file's bytes in order.
            if (::lseek(outFd, offset, SEEK_SET) < 0 || ::ftruncate(outFd, offset) != 0) return ERAR_EWRITE;
            written = offset;
        }
        const char* p = static_cast<const char*>(block);
        if (checkCrc) crc = dataCrc32(crc, p, size);
        if (outFd >= 0) {
            if (!writeAll(outFd, p, size)) return ERAR_EWRITE;
            written += static_cast<int64_t>(size);
        }
        if (processDataProc) {
            size_t left = size;
            while (left > 0) {
                int chunk = static_cast<int>(std::min<size_t>(left, INT_MAX / 2));
                if (processDataProc(reinterpret_cast<unsigned char*>(const_cast<char*>(p)), chunk) == 0)
                    return ERAR_UNKNOWN;
                p += chunk;
                left -= static_cast<size_t>(chunk);
            }
        }
    }
}

int Archive::writeRegular(int dirFd, const std::string& name, int64_t size) {
    // Written under a temporary name in the same folder and renamed when complete, so a failure
    // never leaves a partial file under the real name.
    std::string base = name.substr(0, 180);
    std::string temp;
    UniqueFd out;
    for (int attempt = 0; attempt < 100 && !out; ++attempt) {
        temp = "." + base + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(++tempCounter);
        out.reset(::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out && errno != EEXIST) break;
    }
    if (!out) {
        archive_read_data_skip(a);
        return ERAR_ECREATE;
    }
    struct Remover {
        int dir;
        const std::string& name;
        bool keep = false;
        ~Remover() {
            if (!keep) ::unlinkat(dir, name.c_str(), 0);
        }
    } remover{dirFd, temp};

    int r = readAll(out.get());
    if (r != ERAR_SUCCESS) return r;
    // A file that came out shorter or longer than its header says is not the file that was packed.
    if (size >= 0 && ::lseek(out.get(), 0, SEEK_CUR) != size) return ERAR_BAD_DATA;
    ::fchmod(out.get(), archive_entry_perm(entry) & 0777);
    setTimes(out.get(), entryTimes(entry));
    if (::close(out.release()) != 0) return ERAR_EWRITE;
    if (!clearName(dirFd, name.c_str()) || ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0)
        return ERAR_ECREATE;
    remover.keep = true;
    return ERAR_SUCCESS;
}

int Archive::extract(int operation, const char* destPath, const char* destName) {
    const bool encrypted = (rawValid && raw.encrypted) || archive_entry_is_data_encrypted(entry) > 0;
    if (encrypted) {
        // libarchive cannot decrypt RAR data; never hand out what it would make of it.
        return passwordSet ? ERAR_BAD_PASSWORD : ERAR_MISSING_PASSWORD;
    }
    const mode_t type = archive_entry_filetype(entry);
    if (operation == RAR_TEST) return type == AE_IFREG ? readAll(-1) : ERAR_SUCCESS;

    // Where the entry goes: the caller's full name, or its stored name below the destination.
    std::vector<std::string> parts;
    UniqueFd dir;
    std::string leaf;
    if (destName && *destName) {
        std::string full = destName;
        size_t slash = full.rfind('/');
        std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : full.substr(0, slash));
        leaf = full.substr(slash == std::string::npos ? 0 : slash + 1);
        dir.reset(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        parts = {leaf};
    } else {
        if (!splitStoredName(entryName(entry), parts)) return ERAR_ECREATE;
        int r = openRoot(destPath);
        if (r != ERAR_SUCCESS) return r;
        leaf = parts.back();
        dir = openDirBelow(rootFd.get(), parts, parts.size() - 1, true);
    }
    if (!dir || leaf.empty()) return ERAR_ECREATE;

    if (type == AE_IFDIR) {
        struct stat st {};
        if (::mkdirat(dir.get(), leaf.c_str(), 0755) != 0 &&
            !(errno == EEXIST && ::fstatat(dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
              S_ISDIR(st.st_mode)))
            return ERAR_ECREATE;
        // Attributes of folders are set when the archive is closed, after their files are in.
        if (!(destName && *destName))
            pendingDirs.push_back(
                {rootPath, parts, static_cast<mode_t>(archive_entry_perm(entry) & 0777), entryTimes(entry)});
        return ERAR_SUCCESS;
    }
    if (type == AE_IFLNK) {
        const char* target = archive_entry_symlink(entry);
        if (!target || !*target || (!(destName && *destName) && !linkTargetInside(parts, target)))
            return ERAR_ECREATE;
        if (!clearName(dir.get(), leaf.c_str()) || ::symlinkat(target, dir.get(), leaf.c_str()) != 0)
            return ERAR_ECREATE;
        setLinkTimes(dir.get(), leaf.c_str(), entryTimes(entry));
        return ERAR_SUCCESS;
    }
    if (const char* hard = archive_entry_hardlink(entry); hard && *hard) {
        std::vector<std::string> targetParts;
        if (!splitStoredName(hard, targetParts) || openRoot(destPath) != ERAR_SUCCESS) return ERAR_ECREATE;
        UniqueFd targetDir = openDirBelow(rootFd.get(), targetParts, targetParts.size() - 1, false);
        if (!targetDir || !clearName(dir.get(), leaf.c_str()) ||
            ::linkat(targetDir.get(), targetParts.back().c_str(), dir.get(), leaf.c_str(), 0) != 0)
            return ERAR_ECREATE;
        return ERAR_SUCCESS;
    }
    if (type != AE_IFREG && type != 0)
        return ERAR_ECREATE; // devices, fifos and sockets are not made from archives
    return writeRegular(dir.get(), leaf, archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1);
}

void Archive::applyPendingDirs() {
    for (auto it = pendingDirs.rbegin(); it != pendingDirs.rend(); ++it) {
        UniqueFd root(::open(it->root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!root) continue;
        UniqueFd d = openDirBelow(root.get(), it->parts, it->parts.size(), false);
        if (!d) continue;
        ::fchmod(d.get(), it->mode);
        setTimes(d.get(), it->times);
    }
    pendingDirs.clear();
}

} // namespace

extern "C" {

HANDLE PASCAL RAROpenArchive(struct RAROpenArchiveData* data) {
    if (!data) return nullptr;
    data->CmtSize = 0;
    data->CmtState = 0;
    if (!data->ArcName || !*data->ArcName) {
        data->OpenResult = ERAR_EOPEN;
        return nullptr;
    }
    std::unique_ptr<Archive> arc;
    try {
        arc = std::make_unique<Archive>();
    } catch (const std::bad_alloc&) {
        data->OpenResult = ERAR_NO_MEMORY;
        return nullptr;
    }
    // Further volumes are named after the first, as full paths (the volume callback shows them).
    std::error_code ec;
    std::string first = std::filesystem::absolute(data->ArcName, ec).string();
    if (ec) first = data->ArcName;
    if (!arc->openVolume(first)) {
        data->OpenResult = ERAR_EOPEN;
        return nullptr;
    }
    if (arc->volumes.front().facts.encryptedHeaders) {
        data->OpenResult = ERAR_MISSING_PASSWORD;
        return nullptr;
    }
    if (int r = arc->startReader(); r != ERAR_SUCCESS) {
        data->OpenResult = r;
        return nullptr;
    }
    data->OpenResult = ERAR_SUCCESS;
    return arc.release();
}

int PASCAL RARCloseArchive(HANDLE h) {
    auto* arc = static_cast<Archive*>(h);
    if (!arc) return ERAR_ECLOSE;
    arc->applyPendingDirs();
    delete arc;
    return ERAR_SUCCESS;
}

int PASCAL RARReadHeader(HANDLE h, struct RARHeaderData* hd) {
    auto* arc = static_cast<Archive*>(h);
    if (!arc || !hd) return ERAR_BAD_ARCHIVE;
    if (arc->fatal) return arc->fatal;
    int r = archive_read_next_header(arc->a, &arc->entry);
    arc->rethrowCallbackException();
    while (r == ARCHIVE_EOF && arc->continuesAfterEnd()) {
        arc->entry = nullptr;
        if (int c = arc->startReader(); c != ERAR_SUCCESS) {
            arc->fatal = c;
            return c;
        }
        r = archive_read_next_header(arc->a, &arc->entry);
        arc->rethrowCallbackException();
    }
    if (r == ARCHIVE_EOF) return ERAR_END_ARCHIVE;
    if (r < ARCHIVE_WARN) {
        arc->headerRead = false;
        return arc->failureCode(ERAR_BAD_DATA);
    }
    arc->headerRead = true;

    const int64_t headerEnd = arc->streamBase + archive_filter_bytes(arc->a, 0);
    const Volume& vol = arc->volumeAt(std::max<int64_t>(headerEnd - 1, 0));
    arc->headerVolume = static_cast<size_t>(&vol - arc->volumes.data());
    arc->rawValid =
        arc->walker.find(vol.path, vol.facts.format, static_cast<uint64_t>(headerEnd - vol.start), arc->raw);

    struct archive_entry* e = arc->entry;
    char* cmtBuf = hd->CmtBuf;
    unsigned cmtBufSize = hd->CmtBufSize;
    std::memset(hd, 0, sizeof *hd);
    hd->CmtBuf = cmtBuf;
    hd->CmtBufSize = cmtBufSize;
    copyName(hd->ArcName, vol.path);
    copyName(hd->FileName, entryName(e));
    const uint64_t unp = archive_entry_size_is_set(e) ? static_cast<uint64_t>(archive_entry_size(e)) : 0;
    hd->UnpSize = static_cast<unsigned>(std::min<uint64_t>(unp, 0xFFFFFFFFu));
    if (arc->rawValid) {
        const RawFileHeader& raw = arc->raw;
        hd->Flags = raw.flags;
        hd->PackSize = static_cast<unsigned>(std::min<uint64_t>(raw.packSize, 0xFFFFFFFFu));
        hd->HostOS = raw.hostOS;
        hd->FileCRC = raw.fileCRC;
        hd->FileTime = raw.fileTime;
        hd->UnpVer = raw.unpVer;
        hd->Method = raw.method;
        hd->FileAttr = raw.fileAttr;
    } else {
        hd->HostOS = RAR_HOST_UNIX;
        hd->FileAttr = archive_entry_mode(e);
        hd->FileTime = archive_entry_mtime_is_set(e) ? dosTime(archive_entry_mtime(e)) : 0;
        hd->UnpVer = archive_format(arc->a) == ARCHIVE_FORMAT_RAR_V5 ? 50 : 29;
    }
    if (archive_entry_is_data_encrypted(e) > 0) hd->Flags |= RHDF_ENCRYPTED;
    if (archive_entry_filetype(e) == AE_IFDIR)
        hd->Flags |= arc->rawValid && vol.facts.format == Format::rar4 ? 0xE0 : RHDF_DIRECTORY;
    return ERAR_SUCCESS;
}

int PASCAL RARProcessFile(HANDLE h, int operation, char* destPath, char* destName) {
    auto* arc = static_cast<Archive*>(h);
    if (!arc) return ERAR_BAD_ARCHIVE;
    if (arc->fatal) return arc->fatal;
    if (!arc->headerRead) return ERAR_BAD_DATA;
    arc->headerRead = false;
    if (operation != RAR_TEST && operation != RAR_EXTRACT)
        return ERAR_SUCCESS; // the next header read skips the data
    int r = ERAR_UNKNOWN;
    try {
        r = arc->extract(operation, destPath, destName);
    } catch (const std::bad_alloc&) {
        r = ERAR_NO_MEMORY;
    }
    arc->rethrowCallbackException();
    return r;
}

void PASCAL RARSetChangeVolProc(HANDLE h, CHANGEVOLPROC proc) {
    if (auto* arc = static_cast<Archive*>(h)) arc->changeVolProc = proc;
}

void PASCAL RARSetProcessDataProc(HANDLE h, PROCESSDATAPROC proc) {
    if (auto* arc = static_cast<Archive*>(h)) arc->processDataProc = proc;
}

void PASCAL RARSetPassword(HANDLE h, char* password) {
    if (auto* arc = static_cast<Archive*>(h)) arc->passwordSet = password && *password;
}

int PASCAL RARGetDllVersion(void) {
    return 8;
}

int PASCAL RARGetFileSize64(HANDLE h, unsigned long long* unpSize, unsigned long long* packSize) {
    auto* arc = static_cast<Archive*>(h);
    if (!arc || !arc->entry) return ERAR_BAD_DATA;
    if (unpSize)
        *unpSize = archive_entry_size_is_set(arc->entry)
                       ? static_cast<unsigned long long>(archive_entry_size(arc->entry))
                       : 0;
    if (packSize) *packSize = arc->rawValid ? arc->raw.packSize : 0;
    return ERAR_SUCCESS;
}

} // extern "C"
