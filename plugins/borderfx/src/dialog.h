// The parameter dialog (template 110) behind one seam: the entry calls RunFrameShadowDialog and
// nothing else, so the full dialog replaces the body without touching the entry.
#pragma once
#include "borderfx/borderfx.h"

#include <functional>

namespace borderfx {

// Runs the dialog modally over parent with record, editing the parameter block in place.
// Returns 1 after OK and 0 after Cancel or a failure. Cancel restores the 80-byte block and
// records the cancellation with c32SetDLLErrInfo(0, 0, 5200, 0, 0, 0).
int RunFrameShadowDialog(TV32HWND parent, PlugInRecord* record);

// Test seam: when set, the hook answers instead of the window (1 OK, 0 Cancel); it may edit the
// record like the user would. The environment variable BFX_DIALOG_ANSWER_VARIABLE ("ok" or
// "cancel") answers the same way for hosts that load the library. Pass {} to remove the hook.
using DialogHook = std::function<int(PlugInRecord*)>;
void SetDialogHook(DialogHook hook);

} // namespace borderfx
