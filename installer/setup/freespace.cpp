#include "setup/freespace.h"

#include <cmath>
#include <cstdio>

namespace {

double roundHalfUp(double v) {
    return std::floor(v + 0.5);
}

std::string formatNoDecimals(double value, const char* unit) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.0f %s", roundHalfUp(value), unit);
    return buf;
}

} // namespace

std::string FormatSize(double bytes) {
    if (bytes > 1048576.0) return formatNoDecimals(bytes / 1048576.0, "Mb");
    return formatNoDecimals(bytes / 1024.0, "Kb");
}

std::int64_t RoundedMegabytes(std::uint64_t bytes) {
    return static_cast<std::int64_t>(roundHalfUp(static_cast<double>(bytes) / 1048576.0));
}

FreeSpaceVerdict CheckFreeSpace(std::optional<std::uint64_t> freeBytes, int requiredMb) {
    if (!freeBytes) return {kUnknownFreeSpace, true, "Select a Directory"};
    const std::string text = FormatSize(static_cast<double>(*freeBytes));
    if (RoundedMegabytes(*freeBytes) > requiredMb) return {text, true, "Select a Directory"};
    return {text, false, "Insufficient space on this disk!"};
}
