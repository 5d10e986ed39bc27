// GIMP for the adapters' tests: a throw-away profile holding the freshly built adapters, batch
// runs of gimp-console, a GUI GIMP driven through Script-Fu's server, and the programs the tests
// compare with.
#pragma once
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <ostream>

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace gimptest {

// Why these tests cannot run on this machine (gimp-console, the staged adapters, or for the GUI
// tests Xvfb, gimp, xdotool and x11-utils are missing); empty when they can.
QString MissingForBatch();
QString MissingForGui();

// An X server of the test's own (Xvfb on a free display number, 1280 x 1024): DISPLAY names it
// for this process and its children while it runs. Ending it ends every client still on it.
class VirtualDisplay {
  public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    bool running() const { return running_; }

  private:
    QProcess xvfb_;
    QByteArray previous_;
    bool hadDisplay_ = false;
    bool running_ = false;
};

// A GIMP profile (GIMP2_DIRECTORY) in a temporary folder: the staged adapter folders copied into
// its plug-ins folder, and a plug-in path holding only them, Script-Fu and the PNG plug-in, so
// GIMP starts in a second.
class Profile {
  public:
    Profile();
    bool valid() const { return valid_; }
    QString path(const QString& name = {}) const { return dir_.filePath(name); }
    // GIMP's environment: the profile, and Qt left to find the display (the adapters use the
    // real clipboard when there is one).
    QProcessEnvironment environment() const;

  private:
    QTemporaryDir dir_;
    bool valid_ = false;
};

struct Result {
    bool finished = false;
    int exitCode = -1;
    QString output; // standard output, and standard error unless kept apart
    QString errors; // standard error kept apart
};

// Runs a program and waits at most timeoutMs.
Result Run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
           int timeoutMs, bool mergeErrors = true);

// Runs gimp-console in batch mode: loads the Script-Fu file, then quits; without a display
// (DISPLAY and WAYLAND_DISPLAY removed) unless `display`.
Result RunBatch(const Profile& profile, const QString& script, int timeoutMs, bool display = true);

// plughost from the build, on Qt's offscreen platform (it never touches the display's clipboard);
// its standard error kept apart.
Result RunPlughost(const QStringList& arguments);

// Lines "NAME KEY VALUE..." written by the test scripts, by "NAME KEY".
std::map<QString, QString> ReadResults(const QString& file);

// Raw pictures of halcyon-test-io, the tests' own plug-in for moving pixels in and out of GIMP:
// RGB888, ARGB32 and Grayscale8 pictures are written as 3, 4 and 1 channels; read back, 1
// channel comes as Grayscale8 and the others as RGBA8888 (grey+alpha with the grey in R, G, B).
bool WriteRaw(const QImage& picture, const QString& file);
QImage ReadRaw(const QString& file);

// The second program of the clipboard checks: a test program started with
// kPrintClipboardArgument prints the display's clipboard text and then takes the clipboard over,
// as a clipboard manager or another copy would. ReadClipboardElsewhere runs it (on the display,
// not Qt's offscreen platform) and returns what it printed.
inline constexpr char kPrintClipboardArgument[] = "--print-clipboard";
int PrintAndTakeOverClipboard(int argc, char** argv);
// The main() of the GIMP test programs: the second program when asked to be it, else the tests.
int TestMain(int argc, char** argv);
Result ReadClipboardElsewhere(const QString& testProgram);
// Processes serving the clipboard of this display (the image-map adapter's detached servers), and
// whether they are all gone within a few seconds.
int ClipboardServers();
bool WaitForNoClipboardServer();

// Where the staged adapter folders, plughost and GIMP's system plug-ins are.
QString StageDir();
QString BinDir();

} // namespace gimptest
