// The image-map dialog: shows the analysed selection, lets the user choose the format and the
// URL, and copies the entry to the clipboard.
#pragma once
#include "hotmap/hotmap.h"

namespace hotmap {

// Runs the dialog modally over parent for an analysed request. Returns 1 when the entry went to
// the clipboard ("To Clipboard"), 0 otherwise.
int runImageMapDialog(TV32HWND parent, ImageMapRequest* request);

} // namespace hotmap
