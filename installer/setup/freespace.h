#pragma once
// The destination chooser's arithmetic: size texts and the free-space verdict.
#include <cstdint>
#include <optional>
#include <string>

// "%.f Mb" of bytes / 1,048,576 when bytes > 1,048,576, else "%.f Kb" of bytes / 1,024; "%.f" prints
// no decimals, rounding halves away from zero.
std::string FormatSize(double bytes);

// Free megabytes, rounded as the size text rounds them.
std::int64_t RoundedMegabytes(std::uint64_t bytes);

struct FreeSpaceVerdict {
    std::string text;    // for the free-space label
    bool sufficient;     // black when sufficient, red otherwise
    std::string caption; // "Select a Directory" or "Insufficient space on this disk!"
};

inline constexpr const char* kUnknownFreeSpace = "unknown";

// The verdict for `freeBytes` (empty when the disk could not be asked) against `requiredMb`.
// Enough space means strictly more free megabytes than required. When the free space is unknown
// nothing can be said against the disk: the text says so and the caption stays neutral.
FreeSpaceVerdict CheckFreeSpace(std::optional<std::uint64_t> freeBytes, int requiredMb);
