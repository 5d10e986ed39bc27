#include "diskwriter.h"

#include "unrar/unrar.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace unrar_detail {

namespace {

constexpr int maxLinkHops = 40; // as many links as the kernel follows in one path
constexpr size_t copyBlock = 1 << 16;

bool isAbsolute(std::string_view p) {
    return !p.empty() && (p[0] == '/' || p[0] == '\\' || (p.size() >= 2 && p[1] == ':'));
}

// The parts of a path, without empty and "." parts.
std::vector<std::string_view> pathParts(std::string_view p) {
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i <= p.size()) {
        size_t j = p.find_first_of("/\\", i);
        if (j == std::string_view::npos) j = p.size();
        const std::string_view part = p.substr(i, j - i);
        if (!part.empty() && part != ".") parts.push_back(part);
        i = j + 1;
    }
    return parts;
}

enum class Ends { folder, file, missing };

// Resolves `target` from the real folder `at` (below root), updating `at` to where it leads. False
// when it leads, or could later lead, outside root.
bool resolveBelow(int root, std::vector<std::string>& at, std::string_view target, int& hops, Ends& ends) {
    if (target.empty() || isAbsolute(target)) return false;
    const std::vector<std::string_view> parts = pathParts(target);
    bool missing = false; // a name on the way does not exist (yet)
    bool viaLink = false; // a link on the way was followed
    ends = Ends::folder;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string_view part = parts[i];
        const bool last = i + 1 == parts.size();
        if (part == "..") {
            if (missing || viaLink || at.empty()) return false;
            at.pop_back();
            continue;
        }
        if (missing) {
            at.emplace_back(part);
            continue;
        }
        UniqueFd dir = openDirBelow(root, at, at.size(), false);
        if (!dir) return false;
        const std::string name(part);
        struct stat st {};
        if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) return false;
            missing = true;
            at.push_back(name);
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            at.push_back(name);
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            if (++hops > maxLinkHops) return false;
            char buf[PATH_MAX];
            const ssize_t n = ::readlinkat(dir.get(), name.c_str(), buf, sizeof buf);
            if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return false;
            Ends linkEnds;
            if (!resolveBelow(root, at, std::string_view(buf, static_cast<size_t>(n)), hops, linkEnds))
                return false;
            if (last) {
                ends = linkEnds;
                return true;
            }
            if (linkEnds == Ends::file) return false; // a file cannot have names below it
            missing = linkEnds == Ends::missing;
            viaLink = true;
            continue;
        }
        // A file or anything else: only as the last part.
        if (!last) return false;
        at.push_back(name);
        ends = Ends::file;
        return true;
    }
    if (missing) ends = Ends::missing;
    return true;
}

// Removes a name that stands where a new entry goes (never a folder).
bool clearName(int dirFd, const char* name) {
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (S_ISDIR(st.st_mode)) return false;
    return ::unlinkat(dirFd, name, 0) == 0;
}

void setTimes(int fd, const EntryTimes& t) {
    if (!t.hasMtime) return;
    const timespec ts[2] = {t.hasAtime ? t.atime : t.mtime, t.mtime};
    ::futimens(fd, ts);
}

} // namespace

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool splitStoredName(std::string_view name, std::vector<std::string>& parts) {
    parts.clear();
    if (name.empty() || isAbsolute(name)) return false;
    size_t i = 0;
    while (i <= name.size()) {
        size_t j = name.find_first_of("/\\", i);
        if (j == std::string_view::npos) j = name.size();
        const std::string_view part = name.substr(i, j - i);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.emplace_back(part);
        i = j + 1;
    }
    return !parts.empty();
}

UniqueFd openDirBelow(int root, const std::vector<std::string>& parts, size_t count, bool create) {
    UniqueFd cur(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    for (size_t i = 0; i < count && cur; ++i) {
        const char* part = parts[i].c_str();
        int fd = ::openat(cur.get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && create) {
            if (::mkdirat(cur.get(), part, 0755) != 0 && errno != EEXIST) return UniqueFd();
            fd = ::openat(cur.get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        cur.reset(fd);
    }
    return cur;
}

bool linkStaysInside(int root, const std::vector<std::string>& linkDir, std::string_view target) {
    std::vector<std::string> at = linkDir;
    int hops = 0;
    Ends ends;
    return resolveBelow(root, at, target, hops, ends);
}

mode_t currentUmask() {
    // Linux shows it in the process status; elsewhere it is read by setting it and back.
    UniqueFd fd(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    if (fd) {
        char buf[4096];
        const ssize_t n = ::read(fd.get(), buf, sizeof buf - 1);
        if (n > 0) {
            buf[n] = 0;
            if (const char* p = std::strstr(buf, "\nUmask:"))
                return static_cast<mode_t>(std::strtoul(p + 7, nullptr, 8) & 0777);
        }
    }
    const mode_t m = ::umask(022);
    ::umask(m);
    return m;
}

DiskWriter::DiskWriter() : umask_(currentUmask()) {}

int DiskWriter::openRoot(const char* destPath) {
    const std::string path = destPath && *destPath ? destPath : ".";
    if (rootFd_ && path == rootPath_) return ERAR_SUCCESS;
    rootFd_.reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd_) {
        // The destination itself is the caller's choice: it is created as a path.
        std::string partial;
        for (size_t i = 0; i <= path.size(); ++i) {
            if ((i == path.size() || path[i] == '/') && !partial.empty()) ::mkdir(partial.c_str(), 0777);
            if (i < path.size()) partial += path[i];
        }
        rootFd_.reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    rootPath_ = rootFd_ ? path : std::string();
    return rootFd_ ? ERAR_SUCCESS : ERAR_ECREATE;
}

int DiskWriter::place(std::string_view storedName, const char* destPath, const char* destName, Place& out) {
    out = Place{};
    if (destName && *destName) {
        const std::string full = destName;
        const size_t slash = full.rfind('/');
        const std::string parent =
            slash == std::string::npos ? "." : (slash == 0 ? "/" : full.substr(0, slash));
        out.leaf = full.substr(slash == std::string::npos ? 0 : slash + 1);
        out.ownRoot.reset(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!out.ownRoot) return ERAR_ECREATE;
        out.dir.reset(::fcntl(out.ownRoot.get(), F_DUPFD_CLOEXEC, 0));
        out.root = out.ownRoot.get();
    } else {
        if (!splitStoredName(storedName, out.parts)) return ERAR_ECREATE;
        if (const int r = openRoot(destPath); r != ERAR_SUCCESS) return r;
        out.leaf = out.parts.back();
        out.dirPath.assign(out.parts.begin(), out.parts.end() - 1);
        out.dir = openDirBelow(rootFd_.get(), out.parts, out.parts.size() - 1, true);
        out.root = rootFd_.get();
    }
    return out.dir && !out.leaf.empty() && out.leaf != "." && out.leaf != ".." ? ERAR_SUCCESS : ERAR_ECREATE;
}

int DiskWriter::makeDirectory(Place& p, uint32_t mode, const EntryTimes& t) {
    struct stat st {};
    // Made open to its owner, so its files can go in; its own mode comes at the end.
    if (::mkdirat(p.dir.get(), p.leaf.c_str(), static_cast<mode_t>((mode & 0777) | 0700)) != 0 &&
        !(errno == EEXIST && ::fstatat(p.dir.get(), p.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISDIR(st.st_mode)))
        return ERAR_ECREATE;
    // Its mode and time are set at the end, after its files are in.
    if (!p.parts.empty()) pendingDirs_.push_back({rootPath_, p.parts, static_cast<mode_t>(mode & 0777), t});
    return ERAR_SUCCESS;
}

int DiskWriter::makeSymlink(Place& p, const std::string& target, const EntryTimes& t) {
    if (!linkStaysInside(p.root, p.dirPath, target)) return ERAR_ECREATE;
    if (!clearName(p.dir.get(), p.leaf.c_str()) ||
        ::symlinkat(target.c_str(), p.dir.get(), p.leaf.c_str()) != 0)
        return ERAR_ECREATE;
    if (t.hasMtime) {
        const timespec ts[2] = {t.hasAtime ? t.atime : t.mtime, t.mtime};
        ::utimensat(p.dir.get(), p.leaf.c_str(), ts, AT_SYMLINK_NOFOLLOW);
    }
    return ERAR_SUCCESS;
}

int DiskWriter::makeHardlink(Place& p, const std::string& targetName, bool copy, const char* destPath) {
    std::vector<std::string> parts;
    if (!splitStoredName(targetName, parts) || openRoot(destPath) != ERAR_SUCCESS) return ERAR_ECREATE;
    UniqueFd targetDir = openDirBelow(rootFd_.get(), parts, parts.size() - 1, false);
    struct stat st {};
    if (!targetDir || ::fstatat(targetDir.get(), parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
        return ERAR_ECREATE; // only a file already extracted below the destination
    struct stat existing {};
    if (::fstatat(p.dir.get(), p.leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        existing.st_dev == st.st_dev && existing.st_ino == st.st_ino)
        return ERAR_SUCCESS; // already the same file
    if (!copy) {
        if (!clearName(p.dir.get(), p.leaf.c_str())) return ERAR_ECREATE;
        if (::linkat(targetDir.get(), parts.back().c_str(), p.dir.get(), p.leaf.c_str(), 0) == 0)
            return ERAR_SUCCESS;
    }
    // Where the file system has no hard links (or a copy was asked for): a copy of the file.
    UniqueFd in(::openat(targetDir.get(), parts.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in) return ERAR_ECREATE;
    EntryTimes times;
    times.hasMtime = true;
    times.mtime = st.st_mtim;
    return writeFile(p, st.st_mode & 0777, times, [&](int out) {
        std::vector<char> buf(copyBlock);
        for (;;) {
            const ssize_t n = ::read(in.get(), buf.data(), buf.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return ERAR_EREAD;
            if (n == 0) return ERAR_SUCCESS;
            if (!writeAll(out, buf.data(), static_cast<size_t>(n))) return ERAR_EWRITE;
        }
    });
}

int DiskWriter::writeFile(Place& p, uint32_t mode, const EntryTimes& t,
                          const std::function<int(int fd)>& fill) {
    // Written under a temporary name in the same folder and renamed when complete, so a failure
    // never leaves a partial file under the real name.
    const std::string base = p.leaf.substr(0, 180);
    std::string temp;
    UniqueFd out;
    for (int attempt = 0; attempt < 100 && !out; ++attempt) {
        temp = "." + base + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(++tempCounter_);
        out.reset(
            ::openat(p.dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out && errno != EEXIST) break;
    }
    if (!out) return ERAR_ECREATE;
    struct Remover {
        int dir;
        const std::string& name;
        bool keep = false;
        ~Remover() {
            if (!keep) ::unlinkat(dir, name.c_str(), 0);
        }
    } remover{p.dir.get(), temp};

    if (const int r = fill(out.get()); r != ERAR_SUCCESS) return r;
    // The archive's mode, as the umask lets it; never set-user-id, set-group-id or sticky.
    ::fchmod(out.get(), static_cast<mode_t>(mode & 0777) & ~umask_);
    setTimes(out.get(), t);
    if (::close(out.release()) != 0) return ERAR_EWRITE;
    if (!clearName(p.dir.get(), p.leaf.c_str()) ||
        ::renameat(p.dir.get(), temp.c_str(), p.dir.get(), p.leaf.c_str()) != 0)
        return ERAR_ECREATE;
    remover.keep = true;
    return ERAR_SUCCESS;
}

void DiskWriter::finish() {
    for (auto it = pendingDirs_.rbegin(); it != pendingDirs_.rend(); ++it) {
        UniqueFd root(::open(it->root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!root) continue;
        UniqueFd d = openDirBelow(root.get(), it->parts, it->parts.size(), false);
        if (!d) continue;
        ::fchmod(d.get(), it->mode & ~umask_);
        setTimes(d.get(), it->times);
    }
    pendingDirs_.clear();
}

} // namespace unrar_detail
