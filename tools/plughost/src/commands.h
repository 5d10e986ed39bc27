// Subcommands of the plug-in host: one per plug-in library.
#pragma once
#include <QImage>
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

// Drives the next modal dialog a plug-in puts up: once it shows, saves a picture of it to
// grabFile (unless empty), types each "ID=TEXT" of `typing` into the edit named ID (replacing its
// text) and then clicks the buttons named in `presses`, in order. Without anything to do, the
// dialog is left to the user.
struct DialogScript {
    QString grabFile;
    QStringList typing;
    QStringList presses;
    bool empty() const { return grabFile.isEmpty() && typing.isEmpty() && presses.isEmpty(); }
    // Takes --grab FILE, --type ID=TEXT and --press ID; false when `option` is none of them.
    bool take(const QString& option, const QString& value);
};
void driveNextDialog(const DialogScript& script);

int runHotmap(const QStringList& arguments);
// The plane of a mask picture that holds the selection: its alpha channel ("alpha"), its grey
// values ("grey"), or without a choice the alpha channel when the picture has one that is not
// opaque everywhere, else the grey values. A null image (and *error) when alpha is asked of a
// picture without it.
QImage selectionPlane(const QImage& picture, const QString& channel, QString* error);
int runBorderfx(const QStringList& arguments);

} // namespace plughost
