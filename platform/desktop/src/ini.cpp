#include "desktop/ini.h"

#include <cctype>
#include <fstream>
#include <iterator>

namespace desktop {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Calls f(line) for each line of text, without its terminator and cut at a NUL byte.
// f returns false to stop.
template <class F> void forEachLine(std::string_view text, F&& f) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (auto nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
        if (!f(line)) return;
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
}

} // namespace

std::string profileString(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view fallback, std::size_t maxChars) {
    if (content.size() >= 3 && content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    const std::string_view wantSection = trim(section);
    const std::string_view wantKey = trim(key);

    enum class State { Before, Inside, After } state = State::Before;
    std::string result(fallback);
    bool found = false;
    forEachLine(content, [&](std::string_view raw) {
        std::string_view line = trim(raw);
        if (!line.empty() && line.front() == '[') {
            if (state == State::Inside) {
                state = State::After; // only the first section of that name is searched
                return false;
            }
            std::size_t close = line.find(']');
            std::string_view name =
                trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            if (equalsNoCase(name, wantSection)) state = State::Inside;
            return true;
        }
        if (state != State::Inside || line.empty() || line.front() == ';') return true;
        std::size_t eq = line.find('=');
        std::string_view name = trim(line.substr(0, eq));
        if (!equalsNoCase(name, wantKey)) return true;
        std::string_view value =
            eq == std::string_view::npos ? std::string_view{} : trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        result.assign(value.substr(0, maxChars));
        found = true;
        return false;
    });
    if (!found) result = std::string(fallback.substr(0, maxChars));
    return result;
}

std::string profileStringFromFile(const std::string& path, std::string_view section, std::string_view key,
                                  std::string_view fallback, std::size_t maxChars) {
    std::ifstream in(path, std::ios::binary);
    std::string content;
    if (in) content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return profileString(content, section, key, fallback, maxChars);
}

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        if (c < 0x80)
            n = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else
            return false;
        if (i + n >= s.size() && n > 0) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        if (n == 2) {
            const auto c1 = static_cast<unsigned char>(s[i + 1]);
            if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F)) return false;
        } else if (n == 3) {
            const auto c1 = static_cast<unsigned char>(s[i + 1]);
            if ((c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F)) return false;
        }
        i += n + 1;
    }
    return true;
}

std::string cutText(std::string text, std::size_t maxChars) {
    if (text.size() <= maxChars) return text;
    // UTF-8 that a byte limit cut short in its last character counts as UTF-8 too: a lead byte at
    // the end with fewer continuation bytes after it than it announces is left out.
    std::size_t whole = text.size();
    std::size_t lead = whole;
    while (lead > 0 && whole - lead < 3 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80)
        --lead;
    if (lead > 0) {
        const auto c = static_cast<unsigned char>(text[lead - 1]);
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (whole - (lead - 1) < length) whole = lead - 1;
    }
    if (!isValidUtf8(std::string_view(text).substr(0, whole))) {
        text.resize(maxChars); // single-byte text: a byte is a character
        return text;
    }
    std::size_t i = 0;
    for (std::size_t chars = 0; i < whole && chars < maxChars; ++chars) {
        do
            ++i;
        while (i < whole && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80);
    }
    text.resize(i);
    return text;
}

} // namespace desktop
