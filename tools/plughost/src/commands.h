// Subcommands of the plug-in host: one per plug-in library.
#pragma once
#include <QStringList>

#include <string>

namespace plughost {

struct Command {
    const char* name;
    const char* usage;                        // arguments after the name
    int (*run)(const QStringList& arguments); // exit code
};

// Loads libNAME.so from the host's folder like a host would (dlopen); nullptr with a message on
// standard error when it cannot.
void* loadPlugin(const std::string& name);
// Finds an export; nullptr with a message when it is absent.
void* findExport(void* library, const char* symbol);

// Keeps the process running while it owns the clipboard (X11 serves the clipboard from the
// process that set it), until another program takes the clipboard over.
void serveClipboard();

int runHotmap(const QStringList& arguments);
int runBorderfx(const QStringList& arguments);

} // namespace plughost
