// The library's string table.
#include "stringtable.h"

#include <algorithm>
#include <cstring>

namespace hotmap {
namespace {

struct Entry {
    int id;
    const char* text;
};
constexpr Entry kTable[] = {
    {kStrRect, "RECT"},
    {kStrCircle, "CIRCLE"},
    {kStrPoly, "POLY"},
    {kStrCenterPoint, "Center point:"},
    {kStrRadius, "Radius:"},
    {kStrClipboardFailed, "The tag string could not be copied to the clipboard.\n\r"
                          "Close the programs that hold the clipboard and try again."},
};

} // namespace

int loadString(int id, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    for (const Entry& e : kTable) {
        if (e.id != id) continue;
        const std::size_t n = std::min(std::strlen(e.text), std::size_t(size - 1));
        std::memcpy(buffer, e.text, n);
        buffer[n] = 0;
        return int(n);
    }
    return 0;
}

std::string loadString(int id) {
    char buffer[260];
    loadString(id, buffer, int(sizeof buffer));
    return buffer;
}

} // namespace hotmap
