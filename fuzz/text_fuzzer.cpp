// Texts that come as bytes: the UTF-8 check and the cut of stored values to a number of characters, the
// UTF-8-else- Windows-1252 reading of INI values and archive names, and the info file's CP437 lines. Checked
// against a reference decoder of UTF-8 written from its definition and against the system's iconv
// tables of Windows-1252 and CP437. Input: options byte (the cut's character limit), then the text.
#include "fields.h"

#include "desktop/ini.h"
#include "desktop/system.h"
#include "shell/infotext.h"

#include <QList>

#include <iconv.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// Well-formed UTF-8: every sequence decodes to a scalar value in its shortest form.
bool referenceUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len;
        char32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07;
        } else {
            return false;
        }
        if (s.size() - i < len) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = cp << 6 | (t & 0x3F);
        }
        const char32_t shortest = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
        if (cp < shortest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

// What iconv makes of each single byte in `charset` (0xFFFF where it has no character).
std::array<char16_t, 256> iconvTable(const char* charset) {
    std::array<char16_t, 256> table{};
    iconv_t cd = iconv_open("UTF-16LE", charset);
    check(cd != reinterpret_cast<iconv_t>(-1), "iconv knows the character set");
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[8] = {};
        char* inp = &in;
        char* outp = reinterpret_cast<char*>(out);
        std::size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const bool ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1);
        table[static_cast<std::size_t>(b)] =
            ok && sizeof out - outLeft == 2 ? static_cast<char16_t>(out[0] | out[1] << 8) : 0xFFFF;
    }
    iconv_close(cd);
    return table;
}

const std::array<char16_t, 256>& cp1252() {
    static const auto table = iconvTable("CP1252");
    return table;
}

const std::array<char16_t, 256>& cp437() {
    static const auto table = iconvTable("CP437");
    return table;
}

// Whether `tail` is the start of a UTF-8 character that the end of the text cut short: not a
// character itself, but one once the missing bytes follow (bytes at the ends of every range a
// continuation byte may need to lie in are tried).
bool cutShortCharacter(std::string_view tail) {
    if (tail.empty() || tail.size() > 3 || referenceUtf8(tail)) return false;
    static constexpr char kTry[] = {'\x80', '\x8F', '\x90', '\x9F', '\xA0', '\xBF'};
    std::string t(tail);
    const std::function<bool(std::size_t)> complete = [&](std::size_t missing) {
        if (referenceUtf8(t)) return true;
        if (missing == 0) return false;
        for (char c : kTry) {
            t += c;
            const bool ok = complete(missing - 1);
            t.pop_back();
            if (ok) return true;
        }
        return false;
    };
    return complete(4 - tail.size());
}

// Byte offset after the first `n` characters of well-formed UTF-8.
std::size_t afterCharacters(std::string_view s, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t chars = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && chars++ == n) break;
    }
    return i;
}

// Settings are cut to a number of characters: UTF-8 ones when the text is UTF-8 (perhaps with its
// last character cut short, which is left out), else bytes.
void checkCut(const std::string& text, std::size_t maxChars) {
    const std::string cut = desktop::cutText(text, maxChars);
    check(text.compare(0, cut.size(), cut) == 0, "a cut is a prefix");
    if (text.size() <= maxChars) {
        check(cut == text, "a text within the limit stays whole");
        return;
    }
    std::size_t whole = text.size();
    bool utf8 = referenceUtf8(text);
    for (std::size_t k = 1; !utf8 && k <= 3 && k <= text.size(); ++k) {
        const std::string_view head = std::string_view(text).substr(0, text.size() - k);
        if (referenceUtf8(head) && cutShortCharacter(std::string_view(text).substr(text.size() - k))) {
            utf8 = true;
            whole = head.size();
        }
    }
    if (utf8) {
        check(cut.size() == afterCharacters(std::string_view(text).substr(0, whole), maxChars),
              "UTF-8 is cut after its first characters");
    } else {
        check(cut == text.substr(0, maxChars), "other bytes are cut at the limit");
    }
}

void checkFromBytes(std::string_view text) {
    const QString shown = desktop::fromBytes(text);
    if (referenceUtf8(text)) {
        check(desktop::toBytes(shown) == text, "UTF-8 is read as UTF-8");
        return;
    }
    check(shown.size() == static_cast<qsizetype>(text.size()), "one character per Windows-1252 byte");
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const char16_t want = cp1252()[b];
        // The five bytes Windows-1252 leaves unassigned come through as the C1 controls.
        check(shown[static_cast<qsizetype>(i)].unicode() == (want == 0xFFFF ? b : want), "Windows-1252 byte");
    }
    check(referenceUtf8(desktop::toBytes(shown)), "what is shown goes back as UTF-8");
}

void checkOem(std::string_view bytes) {
    // The table: CP437 above the ASCII controls, and distinct printable symbols in the control
    // range (tab and NUL excepted).
    static const bool tableChecked = [] {
        std::array<bool, 65536> seen{};
        for (int b = 0; b < 256; ++b) {
            const char16_t u = infotext::oemToUnicode(static_cast<unsigned char>(b));
            if (b == 0) {
                check(u == 0, "NUL stays NUL");
            } else if (b == 9) {
                check(u == u'\t', "tab stays a tab");
            } else if (b < 0x20 || b == 0x7F) {
                check(QChar(u).isPrint() && !seen[u], "control bytes are distinct printable symbols");
            } else {
                check(u == cp437()[static_cast<std::size_t>(b)], "CP437 byte");
            }
            check(!seen[u], "no two bytes look alike");
            seen[u] = true;
        }
        return true;
    }();
    (void)tableChecked;

    // The lines: the text up to its first NUL with every CR LF, CR and LF a line break, and no
    // empty line after a final break.
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    std::vector<std::string> want;
    std::string line;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            want.push_back(line);
            line.clear();
            open = false;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += text[i];
            open = true;
        }
    }
    if (open) want.push_back(line);
    check(infotext::splitLines(bytes) == want, "lines of the info file");

    QString shown;
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (i) shown += u'\n';
        for (char c : want[i])
            shown += QChar(infotext::oemToUnicode(static_cast<unsigned char>(c)));
    }
    check(infotext::memoText(bytes) == shown, "the viewer's text");
}

void checkFailureLine(const std::string& name) {
    const QString line = infotext::loadFailureLine(name);
    const QString full = QStringLiteral("Can`t load file ") + desktop::fromBytes(name);
    check(full.startsWith(line) && line.startsWith(QStringLiteral("Can`t load file ")),
          "the failure line is the start of the whole line");
    const auto chars = line.toUcs4().size();
    check(chars <= 255 && (line == full || chars == 255), "the failure line is cut to 255 characters");
    check(line.isEmpty() || !line.back().isHighSurrogate(), "no half character at the cut");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzzinput::Split in = fuzzinput::split(data, size, 0);
    // The views end where the input ends, so reading past the text is caught.
    check(desktop::isValidUtf8(in.rest) == referenceUtf8(in.rest), "UTF-8 check agrees with the decoder");
    const std::string text(in.rest);
    checkCut(text, in.options);
    checkFromBytes(in.rest);
    checkOem(in.rest);
    checkFailureLine(text);
    return 0;
}
