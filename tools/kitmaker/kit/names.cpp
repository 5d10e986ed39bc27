#include "names.h"

#include "desktop/ini.h"

#include <cstdio>

namespace kitmaker {

namespace {

// Length of the UTF-8 sequence starting at s[i], or 0 when none starts there.
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80                 ? 1
                          : c >= 0xC2 && c <= 0xDF ? 2
                          : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xF0 && c <= 0xF4 ? 4
                                                   : 0;
    if (n == 0 || i + n > s.size()) return 0;
    return desktop::isValidUtf8(s.substr(i, n)) ? n : 0;
}

} // namespace

std::string nameProblem(std::string_view name) {
    if (name.empty()) return "an empty name";
    if (name == "." || name == "..") return "a name that means a folder itself";
    if (name.size() > 255) return "a name longer than 255 bytes";
    if (!desktop::isValidUtf8(name)) return "a name that is not valid UTF-8";
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F)
            return c == '\n' ? "a newline in the name" : "a control character in the name";
        if (c == '\\') return "a backslash in the name (archive readers take it for a folder separator)";
        if (c == '/') return "a slash in the name";
    }
    return {};
}

std::string pathProblem(std::string_view path) {
    if (path.empty()) return "an empty name";
    if (path.front() == '/') return "an absolute path";
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        const std::string_view part =
            path.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (std::string p = nameProblem(part); !p.empty()) return p;
        if (slash == std::string_view::npos) return {};
        start = slash + 1;
    }
}

std::string printableName(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t n = utf8Length(bytes, i);
        if (n == 1 && c >= 0x20 && c != 0x7F && c != '\\') {
            out += bytes[i];
        } else if (n > 1) {
            out.append(bytes.substr(i, n));
            i += n;
            continue;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
        ++i;
    }
    return out;
}

} // namespace kitmaker
