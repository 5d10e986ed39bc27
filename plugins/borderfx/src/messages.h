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
constexpr int32_t kTextureMissingId = 505;

// Records why a call fails for the host: c32SetDLLErrInfo(0, 0, code, shownMessage, 0, 0), with
// code a BFX_ERR_* value and shownMessage the id of the message shown to the user (0: none).
// Returns 0, the failing call's result.
int RecordError(int32_t code, int32_t shownMessage = 0);

// Shows message id (only ids 500 to 699 are shown) in an error box owned by the host window
// owner, caption string 700; with extra, the text is the string, a line break and extra.
// Returns 1 when a box was shown.
int ShowError(int32_t id, const char* extra, TV32HWND owner = 0);

// The folder of this library's own file, ending in the path separator, into buffer (size bytes,
// the text always zero-terminated). Returns 1, or 0 when it is unknown or does not fit.
// Message id (the common library's string for ids < 500 or >= 700, the library's own otherwise)
// through c32ShowMb with caption 700, the exclamation icon, the error code and two values; reset 0
// clears the common library's error information first. owner: the dialog window.
int ShowLibraryMessage(int32_t id, int32_t code, int32_t first, int32_t second, int32_t reset,
                       TV32HWND owner = 0);

// Help: the help file beside the library ("nf4ps.hlp", window "d") at a context (140 the frame
// and shadow dialog, 150 the texture library, 160 the texture variations); CloseHelp tells the
// viewer to quit when help was opened. The path as given to the help service:
std::string HelpPath();
int ShowHelp(TV32HWND window, int32_t context);
void CloseHelp(TV32HWND window);
bool HelpOpened();

int GetModuleDir(char* buffer, std::size_t size);
std::string ModuleDir();

} // namespace borderfx
