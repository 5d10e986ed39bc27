#pragma once
// Writing archive entries to disk without ever leaving the destination folder.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace unrar_detail {

// A file descriptor closed when it goes out of scope.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = o.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        int f = fd_;
        fd_ = -1;
        return f;
    }
    void reset(int fd = -1);

  private:
    int fd_ = -1;
};

// Splits a stored name at '/' and '\\', dropping empty and "." parts. Returns false for names that
// may not be written: absolute names (a leading separator or a drive letter), names with ".." parts,
// and names with nothing left.
bool splitStoredName(std::string_view name, std::vector<std::string>& parts);

// Whether a symbolic link at `linkParts` (its own name last) with this target stays inside the root.
bool linkTargetInside(const std::vector<std::string>& linkParts, std::string_view target);

// Opens the directory `parts` below `root`, refusing to pass through symbolic links; creates missing
// directories when `create`. Returns an invalid fd on failure.
UniqueFd openDirBelow(int root, const std::vector<std::string>& parts, size_t count, bool create);

struct EntryTimes {
    bool hasMtime = false;
    timespec mtime{};
    bool hasAtime = false;
    timespec atime{};
};

} // namespace unrar_detail
