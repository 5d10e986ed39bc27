// The library's string table.
#pragma once
#include <string>

namespace hotmap {

enum StringId {
    kStrRect = 10001,
    kStrCircle = 10002,
    kStrPoly = 10003,
    kStrCenterPoint = 10019,
    kStrRadius = 10021,
    kStrClipboardFailed = 10030,
};

// Entry id into buffer (at most size - 1 bytes and a zero); returns the length, 0 for an
// unknown id (buffer then "").
int loadString(int id, char* buffer, int size);
// The entry, loaded into a buffer of 260 bytes as the dialog does.
std::string loadString(int id);

} // namespace hotmap
