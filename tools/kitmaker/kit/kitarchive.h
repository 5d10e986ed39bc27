#pragma once
// The product's archive: the entries of a product folder written as stored RAR volumes.
#include "product.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kitmaker {

class Progress;

struct ArchiveSettings {
    std::uint64_t volumeSize = 0; // 0: one archive
    bool oldNaming = false;
    bool rar5 = false;
};

// Writes the entries of `scan` as the archive `base` (a path without extension) and returns the
// volume paths in order. Throws std::runtime_error naming the file that failed.
std::vector<std::string> writeProductArchive(const std::string& base, const ProductScan& scan,
                                             const ArchiveSettings& settings, Progress* progress);

} // namespace kitmaker
