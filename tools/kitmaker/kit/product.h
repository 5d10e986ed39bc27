#pragma once
// The publisher's product folder: what goes into the kit's archive, read from disk without following
// any symbolic link, with every reason the folder cannot be shipped as it is.
#include <cstdint>
#include <string>
#include <vector>

namespace kitmaker {

struct ProductEntry {
    enum class Kind { file, directory, symlink, hardlink };
    Kind kind = Kind::file;
    std::string path;   // relative to the product folder, '/' between names
    std::string source; // the full path on disk
    std::uint64_t size = 0;
    std::uint32_t mode = 0; // permission bits as on disk (07777)
    std::int64_t mtime = 0; // modification time, seconds since 1970
    std::uint32_t mtimeNsec = 0;
    std::string target; // symlink: its target as stored; hardlink: the path of the entry it repeats
};

struct ProductScan {
    std::vector<ProductEntry> entries; // a folder before what it holds; names sorted within a folder
    std::uint64_t fileBytes = 0;       // bytes of the regular files (a file with several names once)
    std::uint64_t requiredBytes = 0;   // disk space of an installed copy, 4 KiB blocks
    std::uint64_t files = 0, folders = 0, links = 0;
    std::vector<std::string> problems; // one line each, naming the path
};

// Reads the product folder `folder`. Symbolic links are stored as links, never followed; a link must
// be relative and lead to a place inside the folder (through other links of the folder too). Regular
// files must be readable; names must be ones an installed copy can hold. Files, folders and links
// only: devices, pipes and sockets are problems. Two names of one file become a file and a hard link.
ProductScan scanProduct(const std::string& folder);

// Why the symbolic link at `linkPath` (relative to `root`) with target `target` leads outside `root`
// or nowhere, resolving the links it passes through as they are on disk; "" when it stays inside.
std::string linkProblem(const std::string& root, const std::string& linkPath, const std::string& target);

} // namespace kitmaker
