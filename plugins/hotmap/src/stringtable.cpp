// The library's string table.
#include "stringtable.h"

#include "imagelib/stringtable.h"

#include <algorithm>
#include <cstring>

namespace hotmap {
namespace {

constexpr tv32::StringEntry kTable[] = {
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
    return tv32::CopyTableText(tv32::TableText(kTable, id), buffer, size);
}

std::string loadString(int id) {
    char buffer[260];
    loadString(id, buffer, int(sizeof buffer));
    return buffer;
}

} // namespace hotmap
