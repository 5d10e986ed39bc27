#include "product.h"

#include "names.h"
#include "sizes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include <dirent.h>

namespace kitmaker {

namespace {

std::vector<std::string> splitPath(const std::string& p) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= p.size()) {
        std::size_t slash = p.find('/', start);
        if (slash == std::string::npos) slash = p.size();
        parts.push_back(p.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

std::string joinPath(const std::vector<std::string>& parts) {
    std::string s;
    for (const std::string& p : parts)
        s += (s.empty() ? "" : "/") + p;
    return s;
}

std::string errnoText(int e) {
    return std::strerror(e);
}

// A folder open for reading the names in it: entries are looked up relative to it, so a deep tree
// costs no repeated walks down full paths.
class Folder {
  public:
    Folder(int parent, const char* name)
        : fd_(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {}
    ~Folder() {
        if (fd_ >= 0) ::close(fd_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

class Scanner {
  public:
    explicit Scanner(std::string root) : root_(std::move(root)) {}

    void run(ProductScan& scan) {
        scan_ = &scan;
        struct stat st {};
        if (::stat(root_.c_str(), &st) != 0) {
            problem(root_, "cannot be read: " + errnoText(errno));
            return;
        }
        if (!S_ISDIR(st.st_mode)) {
            problem(root_, "is not a folder");
            return;
        }
        ancestors_.insert({st.st_dev, st.st_ino});
        const Folder top(AT_FDCWD, root_.c_str());
        if (top.fd() < 0) {
            problem(root_, "cannot be read: " + errnoText(errno));
            return;
        }
        walk("", top.fd());
        if (scan.entries.empty() && scan.problems.empty())
            problem(root_, "is empty: there is nothing to install");
    }

  private:
    void problem(const std::string& path, const std::string& what) {
        scan_->problems.push_back(printableName(path) + ": " + what);
    }

    std::string full(const std::string& rel) const { return rel.empty() ? root_ : root_ + "/" + rel; }

    // Lists a folder's names, sorted bytewise.
    bool list(const std::string& rel, int dirFd, std::vector<std::string>& names) {
        const int fd = ::dup(dirFd);
        DIR* d = fd < 0 ? nullptr : ::fdopendir(fd);
        if (!d) {
            problem(full(rel), "cannot be read: " + errnoText(errno));
            if (fd >= 0) ::close(fd);
            return false;
        }
        errno = 0;
        while (const dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.emplace_back(e->d_name);
            errno = 0;
        }
        const int err = errno;
        ::closedir(d);
        if (err) {
            problem(full(rel), "cannot be read: " + errnoText(err));
            return false;
        }
        std::sort(names.begin(), names.end());
        return true;
    }

    void walk(const std::string& rel, int dirFd) {
        std::vector<std::string> names;
        if (!list(rel, dirFd, names)) return;
        for (const std::string& name : names) {
            const std::string path = rel.empty() ? name : rel + "/" + name;
            const std::string source = full(path);
            if (std::string why = nameProblem(name); !why.empty()) {
                problem(source, "cannot be installed: " + why);
                continue;
            }
            struct stat st {};
            if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                problem(source, "cannot be read: " + errnoText(errno));
                continue;
            }
            ProductEntry e;
            e.path = path;
            e.source = source;
            e.mode = st.st_mode & 07777;
            e.mtime = st.st_mtim.tv_sec;
            e.mtimeNsec = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
            if (S_ISDIR(st.st_mode)) {
                if (!ancestors_.insert({st.st_dev, st.st_ino}).second) {
                    problem(source, "is a folder that contains itself (a mount loop)");
                    continue;
                }
                e.kind = ProductEntry::Kind::directory;
                scan_->entries.push_back(std::move(e));
                ++scan_->folders;
                scan_->requiredBytes += allocatedBytes(1);
                const Folder sub(dirFd, name.c_str());
                if (sub.fd() < 0)
                    problem(source, "cannot be read: " + errnoText(errno));
                else
                    walk(path, sub.fd());
                ancestors_.erase({st.st_dev, st.st_ino});
            } else if (S_ISLNK(st.st_mode)) {
                addLink(std::move(e), dirFd, name, st);
            } else if (S_ISREG(st.st_mode)) {
                addFile(std::move(e), dirFd, name, st);
            } else {
                problem(
                    source,
                    "is not a file, folder or symbolic link (a device, pipe or socket cannot be shipped)");
            }
        }
    }

    void addLink(ProductEntry e, int dirFd, const std::string& name, const struct stat& st) {
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlinkat(dirFd, name.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
            problem(e.source, "cannot be read: " + errnoText(n < 0 ? errno : ENAMETOOLONG));
            return;
        }
        target.resize(static_cast<std::size_t>(n));
        if (std::string why = linkProblem(root_, e.path, target); !why.empty()) {
            problem(e.source, why);
            return;
        }
        e.kind = ProductEntry::Kind::symlink;
        e.target = std::move(target);
        scan_->entries.push_back(std::move(e));
        ++scan_->links;
    }

    void addFile(ProductEntry e, int dirFd, const std::string& name, const struct stat& st) {
        // The file must open for reading now; what kitmaker cannot read it cannot ship.
        const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            problem(e.source, "cannot be read: " + errnoText(errno));
            return;
        }
        ::close(fd);
        if (st.st_nlink > 1) {
            auto [it, fresh] = firstNames_.try_emplace({st.st_dev, st.st_ino}, e.path);
            if (!fresh) {
                e.kind = ProductEntry::Kind::hardlink;
                e.target = it->second;
                e.size = static_cast<std::uint64_t>(st.st_size);
                scan_->entries.push_back(std::move(e));
                ++scan_->links;
                return;
            }
        }
        e.kind = ProductEntry::Kind::file;
        e.size = static_cast<std::uint64_t>(st.st_size);
        scan_->fileBytes += e.size;
        scan_->requiredBytes += allocatedBytes(e.size);
        scan_->entries.push_back(std::move(e));
        ++scan_->files;
    }

    std::string root_;
    ProductScan* scan_ = nullptr;
    std::set<std::pair<dev_t, ino_t>> ancestors_;
    std::map<std::pair<dev_t, ino_t>, std::string> firstNames_;
};

} // namespace

std::string linkProblem(const std::string& root, const std::string& linkPath, const std::string& target) {
    if (target.empty()) return "is a symbolic link without a target";
    for (const std::string& part : splitPath(target)) {
        if (part.empty() || part == "." || part == "..") continue;
        if (std::string why = nameProblem(part); !why.empty())
            return "is a symbolic link whose target holds " + why + " (" + printableName(target) + ")";
    }
    if (target.front() == '/')
        return "is a symbolic link to an absolute path (" + printableName(target) +
               "): it would point outside the installed copy";
    // Walk the target from the link's folder, replacing each link met on the way by its own target,
    // as the system would when the link is used.
    std::vector<std::string> where = splitPath(linkPath);
    where.pop_back();
    std::deque<std::string> pending;
    for (std::string& part : splitPath(target))
        pending.push_back(std::move(part));
    int hops = 0;
    while (!pending.empty()) {
        const std::string part = std::move(pending.front());
        pending.pop_front();
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (where.empty())
                return "is a symbolic link that leads outside the product folder (" + printableName(target) +
                       ")";
            where.pop_back();
            continue;
        }
        where.push_back(part);
        const std::string onDisk = root + "/" + joinPath(where);
        struct stat st {};
        if (::lstat(onDisk.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
        if (++hops > 40) return "is a symbolic link in a loop of links (" + printableName(target) + ")";
        std::string next(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(onDisk.c_str(), next.data(), next.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= next.size())
            return "is a symbolic link through a link that cannot be read (" +
                   printableName(joinPath(where)) + ")";
        next.resize(static_cast<std::size_t>(n));
        if (next.front() == '/')
            return "is a symbolic link through a link to an absolute path (" +
                   printableName(joinPath(where)) + ")";
        where.pop_back();
        std::vector<std::string> parts = splitPath(next);
        pending.insert(pending.begin(), parts.begin(), parts.end());
    }
    return {};
}

ProductScan scanProduct(const std::string& folder) {
    ProductScan scan;
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    Scanner(root).run(scan);
    return scan;
}

} // namespace kitmaker
