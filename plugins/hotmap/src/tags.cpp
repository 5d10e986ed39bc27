// The map entries: templates of the three formats and the final text.
#include "analysis.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hotmap {

bool TextBuffer::reserve(std::size_t n) {
    if (!text || size < 0) return false;
    if (n <= std::size_t(size)) return true;
    std::size_t grown = std::size_t(size);
    while (grown < n)
        grown += 1024;
    if (grown > std::size_t(INT32_MAX)) return false;
    char* p = static_cast<char*>(std::realloc(text, grown));
    if (!p) return false;
    text = p;
    size = int32_t(grown);
    return true;
}

namespace {

// Adds with the wrap-around of 32-bit numbers.
int32_t add(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}

char* putText(char* at, const char* s) {
    while (*s)
        *at++ = *s++;
    return at;
}

// The decimal digits of v as %d writes them (at most 11 characters).
char* putNumber(char* at, int32_t v) {
    uint32_t u = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    if (v < 0) *at++ = '-';
    char digits[10];
    int n = 0;
    do {
        digits[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    while (n)
        *at++ = digits[--n];
    return at;
}

// Puts a short formatted template into the buffer, which must hold at least 60 bytes.
bool putShort(TextBuffer& buf, const char* made, int n) {
    if (buf.size < HM_MIN_TEXT || !buf.text || n < 0) return false;
    if (!buf.reserve(std::size_t(n) + 1)) return false;
    std::memcpy(buf.text, made, std::size_t(n) + 1);
    return true;
}

} // namespace

bool writeRectTemplate(TextBuffer buf, int32_t format, const BBox& b) {
    char made[200];
    int n;
    switch (format) {
    case HM_FORMAT_INLINE:
        n = std::snprintf(made, sizeof made, "<AREA SHAPE=\"RECT\" COORDS=\"%d,%d,%d,%d\" HREF=\"%%s\">",
                          b.left, b.top, b.right, b.bottom);
        break;
    case HM_FORMAT_NCSA:
        n = std::snprintf(made, sizeof made, "rect %%s %d,%d %d,%d", b.left, b.top, b.right, b.bottom);
        break;
    case HM_FORMAT_CERN:
        n = std::snprintf(made, sizeof made, "rectangle (%d,%d) (%d,%d) %%s", b.left, b.top, b.right,
                          b.bottom);
        break;
    default:
        return false;
    }
    return putShort(buf, made, n);
}

bool writeCircleTemplate(TextBuffer buf, int32_t format, int32_t cx, int32_t cy, int32_t r) {
    char made[200];
    int n;
    switch (format) {
    case HM_FORMAT_INLINE:
        n = std::snprintf(made, sizeof made, "<AREA SHAPE=\"CIRCLE\" COORDS=\"%d,%d,%d\" HREF=\"%%s\">", cx,
                          cy, r);
        break;
    case HM_FORMAT_NCSA: // the centre and the point of the circle straight above it
        n = std::snprintf(made, sizeof made, "circle %%s %d,%d %d,%d", cx, cy, cx, add(cy, -r));
        break;
    case HM_FORMAT_CERN:
        n = std::snprintf(made, sizeof made, "circ %d,%d,%d %%s", cx, cy, r);
        break;
    default:
        return false;
    }
    return putShort(buf, made, n);
}

bool writePolygonTemplate(TextBuffer buf, int32_t format, const std::vector<Point>& points, Point offset) {
    const char* head;
    const char* open; // a point: open, x, a comma, y, close
    const char* close;
    const char* tail;
    switch (format) {
    case HM_FORMAT_INLINE:
        head = "<AREA SHAPE=\"POLY\" COORDS=\"";
        open = "";
        close = ",";
        tail = "\" HREF=\"%s\">";
        break;
    case HM_FORMAT_NCSA:
        head = "poly %s ";
        open = "";
        close = " ";
        tail = "";
        break;
    case HM_FORMAT_CERN:
        head = "polygon ";
        open = "(";
        close = ") ";
        tail = " %s";
        break;
    default:
        return false;
    }
    if (!buf.text || points.empty()) return false;
    const std::size_t tailLen = std::strlen(tail);
    std::size_t len = std::strlen(head);
    if (!buf.reserve(len + tailLen + 1)) return false;
    std::memcpy(buf.text, head, len);
    for (const Point& p : points) {
        // Written without printf: a polygon may have many points.
        char piece[40];
        char* end = putText(piece, open);
        end = putNumber(end, add(p.x, offset.x));
        *end++ = ',';
        end = putText(putNumber(end, add(p.y, offset.y)), close);
        const int n = int(end - piece);
        // Room for this point, the tail and the zero, and never fewer than 20 bytes left.
        const std::size_t need = std::max<std::size_t>(20, std::size_t(n) + tailLen + 1);
        if (std::size_t(buf.size) - len < need && !buf.reserve(len + need)) return false;
        std::memcpy(buf.text + len, piece, std::size_t(n));
        len += std::size_t(n);
    }
    --len; // the separator after the last point
    std::memcpy(buf.text + len, tail, tailLen + 1);
    return true;
}

std::string formatTag(const char* templ, const char* url) {
    if (!templ) return {};
    std::string t(templ);
    const std::string u = url ? std::string(url, strnlen(url, HM_URL_SIZE - 1)) : std::string();
    const std::size_t at = t.find("%s");
    if (at == std::string::npos) return t;
    return t.substr(0, at) + u + t.substr(at + 2);
}

} // namespace hotmap
