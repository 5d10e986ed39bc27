#include "extract.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace unrar_detail {

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

bool splitStoredName(std::string_view name, std::vector<std::string>& parts) {
    parts.clear();
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false; // a drive letter
    size_t i = 0;
    while (i <= name.size()) {
        size_t j = name.find_first_of("/\\", i);
        if (j == std::string_view::npos) j = name.size();
        std::string_view part = name.substr(i, j - i);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.emplace_back(part);
        i = j + 1;
    }
    return !parts.empty();
}

bool linkTargetInside(const std::vector<std::string>& linkParts, std::string_view target) {
    if (target.empty() || target[0] == '/' || target[0] == '\\' || (target.size() >= 2 && target[1] == ':'))
        return false;
    long depth = static_cast<long>(linkParts.size()) - 1; // the folder holding the link
    size_t i = 0;
    while (i <= target.size()) {
        size_t j = target.find_first_of("/\\", i);
        if (j == std::string_view::npos) j = target.size();
        std::string_view part = target.substr(i, j - i);
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        i = j + 1;
    }
    return true;
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

} // namespace unrar_detail
