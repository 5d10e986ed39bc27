#include "sizes.h"

#include <cstdio>

namespace kitmaker {

std::optional<std::uint64_t> parseSize(std::string_view text) {
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 62;
    std::size_t i = 0;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > kLimit) return std::nullopt;
    }
    if (i == 0) return std::nullopt;
    std::string_view suffix = text.substr(i);
    int shift = 0;
    if (!suffix.empty()) {
        switch (suffix.front()) {
        case 'k':
        case 'K':
            shift = 10;
            break;
        case 'm':
        case 'M':
            shift = 20;
            break;
        case 'g':
        case 'G':
            shift = 30;
            break;
        default:
            return std::nullopt;
        }
        suffix.remove_prefix(1);
        if (suffix != "" && suffix != "B" && suffix != "iB") return std::nullopt;
    }
    if (value == 0 || value > (kLimit >> shift)) return std::nullopt;
    return value << shift;
}

std::uint64_t allocatedBytes(std::uint64_t size) {
    constexpr std::uint64_t kBlock = 4096;
    return size / kBlock * kBlock + (size % kBlock ? kBlock : 0);
}

std::uint64_t requiredMegabytes(std::uint64_t bytes) {
    constexpr std::uint64_t kMb = 1024 * 1024;
    const std::uint64_t mb = bytes / kMb + (bytes % kMb ? 1 : 0);
    return mb ? mb : 1;
}

std::string formatBytes(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB"};
    double v = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (v >= 1024 && unit < 4) {
        v /= 1024;
        ++unit;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, v < 10 ? "%.1f %s" : "%.0f %s", v, kUnits[unit]);
    return buf;
}

} // namespace kitmaker
