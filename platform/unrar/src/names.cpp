#include "names.h"

#include "desktop/utf8.h"

#include <cstdint>
#include <vector>

namespace unrar_detail {

namespace {

// The upper half of CP437: accented letters, box drawing, Greek and mathematical signs.
constexpr char16_t oemUpper[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 units as UTF-8; a unit of a broken surrogate pair becomes U+FFFD.
std::string utf16ToUtf8(const std::vector<char16_t>& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        appendUtf8(out, c);
    }
    return out;
}

} // namespace

size_t utf8Prefix(std::string_view s, size_t maxBytes) {
    if (s.size() <= maxBytes) return s.size();
    size_t n = maxBytes;
    // Back over continuation bytes to the start of the character that does not fit.
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

bool isUtf8(std::string_view s) {
    return desktop::isValidUtf8(s);
}

std::string oemToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char ch : s) {
        const auto b = static_cast<unsigned char>(ch);
        appendUtf8(out, b < 0x80 ? b : oemUpper[b - 0x80]);
    }
    return out;
}

std::string eightBitName(std::string_view s) {
    return isUtf8(s) ? std::string(s) : oemToUtf8(s);
}

std::string rar4UnicodeName(std::string_view field) {
    const size_t zero = field.find('\0');
    if (zero == std::string_view::npos) return eightBitName(field); // UTF-8, as newer archivers store it
    const std::string_view ascii = field.substr(0, zero);
    const auto* enc = reinterpret_cast<const unsigned char*>(field.data());
    const size_t end = field.size();
    size_t pos = zero + 1;
    std::vector<char16_t> units;
    // Each pair of flag bits says how the next character is stored: its low byte alone (high byte 0),
    // its low byte with the name's common high byte, both bytes, or a run copied from the 8-bit name
    // (optionally shifted by a correction and given the common high byte).
    if (pos < end) {
        const unsigned highByte = enc[pos++];
        unsigned flags = 0;
        int flagBits = 0;
        const size_t maxUnits = field.size();
        while (pos < end && units.size() < maxUnits) {
            if (flagBits == 0) {
                flags = enc[pos++];
                flagBits = 8;
                if (pos >= end) break;
            }
            flagBits -= 2;
            switch ((flags >> flagBits) & 3) {
            case 0:
                units.push_back(static_cast<char16_t>(enc[pos++]));
                break;
            case 1:
                units.push_back(static_cast<char16_t>(enc[pos++] | (highByte << 8)));
                break;
            case 2:
                if (end - pos < 2) {
                    pos = end;
                    break;
                }
                units.push_back(static_cast<char16_t>(enc[pos] | (enc[pos + 1] << 8)));
                pos += 2;
                break;
            default: {
                unsigned length = enc[pos++];
                unsigned correction = 0, high = 0;
                if (length & 0x80) {
                    if (pos >= end) break;
                    correction = enc[pos++];
                    high = highByte;
                }
                for (length = (length & 0x7F) + 2; length > 0 && units.size() < maxUnits; --length) {
                    const size_t i = units.size();
                    const unsigned low = i < ascii.size() ? static_cast<unsigned char>(ascii[i]) : 0;
                    units.push_back(static_cast<char16_t>(((low + correction) & 0xFF) | (high << 8)));
                }
                break;
            }
            }
        }
    }
    while (!units.empty() && units.back() == 0)
        units.pop_back();
    for (char16_t& u : units)
        if (u == 0) u = 0xFFFD; // a zero inside a name would cut it short
    if (units.empty()) return eightBitName(ascii);
    return utf16ToUtf8(units);
}

} // namespace unrar_detail
