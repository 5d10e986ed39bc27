#include "desktop/ini.h"

#include "desktop/regularfile.h"

#include <cctype>

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
    std::string content;
    readRegularFile(path, kIniFileMaxBytes, content);
    return profileString(content, section, key, fallback, maxChars);
}

std::string cutText(std::string text, std::size_t maxChars) {
    if (text.size() <= maxChars) return text;
    bool cutShort = false;
    const std::size_t whole = utf8Extent(text, cutShort);
    if (whole < text.size() && !cutShort) {
        text.resize(maxChars); // not UTF-8: a byte is a character
        return text;
    }
    // UTF-8, perhaps with its last character cut short by a byte limit: that one is left out.
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
