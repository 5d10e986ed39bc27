// The INI lookup against a reference reading of the same rules, written the plain way: a byte at
// a time, one line after the other. Input: options byte (the character limit), section, key and
// default value as NUL-ended fields, then the INI text.
#include "fields.h"

#include "desktop/ini.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string_view stripBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

// The lines of the text: each ends at CR, LF or CR LF and is cut at its first NUL byte.
std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    bool cut = false, open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            cut = open = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            continue;
        }
        open = true;
        if (c == '\0') cut = true;
        if (!cut) line += c;
    }
    if (open) lines.push_back(line);
    return lines;
}

std::string reference(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view fallback, std::size_t maxChars) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    section = stripBlanks(section);
    key = stripBlanks(key);
    bool inside = false;
    for (const std::string& raw : linesOf(text)) {
        const std::string_view line = stripBlanks(raw);
        if (!line.empty() && line[0] == '[') {
            if (inside) break; // the next section ends the first one of that name
            std::string_view name = line.substr(1);
            name = name.substr(0, name.find(']'));
            inside = sameName(stripBlanks(name), section);
            continue;
        }
        if (!inside || line.empty() || line[0] == ';') continue;
        const std::size_t eq = line.find('=');
        if (!sameName(stripBlanks(line.substr(0, eq)), key)) continue;
        std::string_view value = eq == std::string_view::npos ? "" : stripBlanks(line.substr(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return std::string(value.substr(0, maxChars));
    }
    return std::string(fallback.substr(0, maxChars));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzzinput::Split in = fuzzinput::split(data, size, 3);
    // Small limits cut values often; 255 stands for the real limit.
    const std::size_t maxChars = in.options == 255 ? desktop::kProfileValueMax : in.options;
    const std::string got =
        desktop::profileString(in.rest, in.fields[0], in.fields[1], in.fields[2], maxChars);
    const std::string want = reference(in.rest, in.fields[0], in.fields[1], in.fields[2], maxChars);
    if (got != want) {
        std::fprintf(stderr, "INI lookup gave \"%s\", the reference \"%s\"\n", got.c_str(), want.c_str());
        std::abort();
    }
    return 0;
}
