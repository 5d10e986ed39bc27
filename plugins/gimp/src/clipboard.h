// Copied text that stays pasteable after the plug-in ends. On X11 (and Wayland) the clipboard is
// served by the program that set it, and a GIMP plug-in ends right after its run; so the text is
// handed to a detached copy of the plug-in program that serves it until another program takes
// the clipboard over, as common clipboard tools do. A clipboard manager that takes the text over
// ends it too.
#pragma once
#include <QByteArray>

#include <string>

namespace gimpadapter {

// The argument that makes the plug-in program serve the clipboard instead of talking to GIMP.
inline constexpr char kServeClipboardArgument[] = "--serve-clipboard";

// True when the clipboard of this process is one other programs read (not Qt's offscreen or
// minimal platforms, whose clipboard lives in the process).
bool ClipboardIsShared();

// Starts `program` with kServeClipboardArgument on the Qt platform `platform` (the caller's:
// QGuiApplication::platformName()), detached from this process (its own session, no inherited
// files but the text it reads), hands it `text` and waits until it owns the clipboard. False,
// with the reason in `error`, when it could not start, failed, or did not answer within timeoutMs.
bool HandOverClipboard(const std::string& program, const QString& platform, const QByteArray& text,
                       std::string* error, int timeoutMs = 10000);

// The serving side, run by main() when the first argument is kServeClipboardArgument: reads the
// text from standard input, puts it on the clipboard, writes one byte to file descriptor 3 and
// closes it once it owns the clipboard, then serves until another program takes the clipboard
// over or the display goes away. Returns the exit code.
int ServeClipboard(int argc, char** argv);

// The file of the running program, for starting a copy of it.
std::string ProgramFile();

} // namespace gimpadapter
