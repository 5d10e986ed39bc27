// The library's string table and messages.
#pragma once
#include "imagelib/tv32types.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace borderfx {

// Text of a string id exactly as stored ("\n\r" pairs included); nullptr for an id the table
// does not hold.
const char* StringText(int32_t id);

// Caption of the library's message boxes.
constexpr int32_t kCaptionId = 700;
constexpr int32_t kInsufficientMemoryId = 508;

// Shows message id (only ids 500 to 699 are shown) in an error box owned by the host window
// owner, caption string 700; with extra, the text is the string, a line break and extra.
// Returns 1 when a box was shown.
int ShowError(int32_t id, const char* extra, TV32HWND owner = 0);

// The folder of this library's own file, ending in the path separator, into buffer (size bytes,
// the text always zero-terminated). Returns 1, or 0 when it is unknown or does not fit.
int GetModuleDir(char* buffer, std::size_t size);
std::string ModuleDir();

} // namespace borderfx
