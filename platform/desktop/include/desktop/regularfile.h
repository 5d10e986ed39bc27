#pragma once
// Opening the files a configuration names (install.ini, the music, the info text): only regular
// files, and never in a way that can block. A FIFO or a device named there could hang the program on
// open or never end; such names are treated as files that cannot be read. Header only, so libraries
// without the rest of the desktop layer (the sound library) use it too.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace desktop {

// A descriptor for reading `path` when it is a regular file (its size in *size), else -1 with errno
// ENOENT when it is missing and EINVAL for a folder, FIFO, device or socket.
inline int openRegularFile(const char* path, std::uint64_t* size = nullptr) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (size) *size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

// The whole content of the regular file at `path` when it holds at most maxBytes bytes; false (and
// `bytes` empty) for anything else.
inline bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    std::uint64_t size = 0;
    const int fd = openRegularFile(path.c_str(), &size);
    if (fd < 0) return false;
    bool ok = size <= maxBytes;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break; // the file became shorter
            done += static_cast<std::size_t>(n);
        }
        bytes.resize(done);
    }
    ::close(fd);
    if (!ok) bytes.clear();
    return ok;
}

} // namespace desktop
