#pragma once
// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
// Header only, so libraries without the rest of the desktop layer (the archive layer) use it too.
#include <cstddef>
#include <string_view>

namespace desktop {

// How far `s` is well-formed UTF-8: the offset of the first character that is not, or s.size().
// `cutShort` tells whether it stopped because the text ends inside a character whose bytes so far
// are well-formed (a byte limit cut it).
inline std::size_t utf8Extent(std::string_view s, bool& cutShort) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    cutShort = false;
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = byteAt(i);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t n;                         // continuation bytes
        unsigned char low = 0x80, high = 0xBF; // bounds of the first of them
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            if (c == 0xE0) low = 0xA0;  // no overlong forms
            if (c == 0xED) high = 0x9F; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F; // nothing above U+10FFFF
        } else {
            return i;
        }
        for (std::size_t k = 1; k <= n; ++k) {
            if (i + k == s.size()) {
                cutShort = true;
                return i;
            }
            const unsigned char t = byteAt(i + k);
            if (t < (k == 1 ? low : 0x80) || t > (k == 1 ? high : 0xBF)) return i;
        }
        i += n + 1;
    }
    return i;
}

inline bool isValidUtf8(std::string_view s) {
    bool cutShort = false;
    return utf8Extent(s, cutShort) == s.size();
}

} // namespace desktop
