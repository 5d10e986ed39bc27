#pragma once
// Sizes as a publisher writes them on the command line, and the disk space a product needs.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kitmaker {

// Parses a byte count: decimal digits with an optional suffix K, M or G (binary multiples, either
// letter case, optionally followed by "B" or "iB"). "1440K" is 1,474,560 bytes. Returns nothing for
// anything else, for 0 and for values beyond 2^62.
std::optional<std::uint64_t> parseSize(std::string_view text);

// Bytes a file of `size` bytes takes on a file system of 4 KiB blocks.
std::uint64_t allocatedBytes(std::uint64_t size);

// What install.ini's SIZE holds for `bytes` of content: whole megabytes (1,048,576 bytes), rounded
// up, at least 1.
std::uint64_t requiredMegabytes(std::uint64_t bytes);

// A byte count for people: "512 bytes", "1.4 MB", "2.0 GB" (binary multiples).
std::string formatBytes(std::uint64_t bytes);

} // namespace kitmaker
