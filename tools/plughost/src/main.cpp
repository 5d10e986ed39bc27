// plughost: loads the kit's plug-in libraries like an image editor's adapter would and calls
// their exports from the command line.
#include "commands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

namespace plughost {
namespace {

const Command kCommands[] = {
    {"hotmap",
     "MASK.png [--offset X,Y] [--url URL] [--format inline|ncsa|cern] [--mask-channel grey|alpha]\n"
     "      [--title TEXT] [--serve] [--dialog [--grab FILE.png] [--type ID=TEXT]... [--press ID]...]\n"
     "      [--whole [--max-areas N] [--max-points N]]\n"
     "    The selection: pixels above 128 in the alpha channel when the picture has one that is not\n"
     "    opaque everywhere, else in the grey values. --whole maps every region and hole.",
     runHotmap},
    {"borderfx",
     "IMAGE.png --select L,T,R,B [--alpha A.png] --out OUT.png --out-alpha A2.png [--dialog] "
     "[--set NAME=VALUE,...] [--grey]",
     runBorderfx},
};

// The usage, on standard output when asked for (exit 0), else on standard error (exit 2).
int usage(bool asked) {
    FILE* out = asked ? stdout : stderr;
    std::fprintf(out, "usage:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  plughost %s %s\n", c.name, c.usage);
    std::fprintf(out, "  plughost --help\n");
    return asked ? 0 : 2;
}

// Qt's notes about the platform (no runtime folder, plug-ins it tried) mean nothing to a user at
// a terminal unless Qt then gives up: they are held back and shown only before a fatal message.
QtMessageHandler qtDefault = nullptr;
std::vector<QString> heldBack;

void quietPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const bool platform = std::strncmp(context.category ? context.category : "", "qt.qpa", 6) == 0 ||
                          message.startsWith(QLatin1String("QStandardPaths: "));
    if (platform && (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg)) {
        heldBack.push_back(qFormatLogMessage(type, context, message));
        return;
    }
    if (type == QtFatalMsg)
        for (const QString& note : heldBack)
            std::fprintf(stderr, "%s\n", note.toLocal8Bit().constData());
    if (qtDefault)
        qtDefault(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

} // namespace

void* loadPlugin(const std::string& name) {
    const std::string path = QCoreApplication::applicationDirPath().toStdString() + "/lib" + name + ".so";
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) std::fprintf(stderr, "plughost: cannot load %s: %s\n", path.c_str(), dlerror());
    return lib;
}

void* findExport(void* library, const char* symbol) {
    void* f = dlsym(library, symbol);
    if (!f) std::fprintf(stderr, "plughost: the library has no export %s\n", symbol);
    return f;
}

bool DialogScript::take(const QString& option, const QString& value) {
    if (option == "--grab")
        grabFile = value;
    else if (option == "--type")
        typing << value;
    else if (option == "--press")
        presses << value;
    else
        return false;
    return true;
}

namespace {

// Runs the script on `dialog`, one step per turn of its event loop.
void runScript(QPointer<QWidget> dialog, DialogScript script) {
    if (!dialog) return;
    if (!script.grabFile.isEmpty()) {
        if (!dialog->grab().save(script.grabFile))
            std::fprintf(stderr, "plughost: cannot save %s\n", script.grabFile.toLocal8Bit().constData());
        script.grabFile.clear();
    } else if (!script.typing.isEmpty()) {
        const QString step = script.typing.takeFirst();
        const QString id = step.section('=', 0, 0), text = step.section('=', 1);
        if (auto* line = dialog->findChild<QLineEdit*>(id))
            line->setText(text);
        else if (auto* edit = dialog->findChild<QPlainTextEdit*>(id))
            edit->setPlainText(text);
        else
            std::fprintf(stderr, "plughost: the dialog has no edit %s\n", id.toLocal8Bit().constData());
    } else if (!script.presses.isEmpty()) {
        const QString id = script.presses.takeFirst();
        auto* button = dialog->findChild<QAbstractButton*>(id);
        if (!button)
            std::fprintf(stderr, "plughost: the dialog has no button %s\n", id.toLocal8Bit().constData());
        else if (!button->isEnabled())
            std::fprintf(stderr, "plughost: button %s is disabled\n", id.toLocal8Bit().constData());
        else
            button->click(); // may end the dialog
    } else {
        return; // done: the rest is the user's
    }
    QTimer::singleShot(0, qApp, [dialog, script] { runScript(dialog, script); });
}

} // namespace

void driveNextDialog(const DialogScript& script) {
    if (script.empty()) return;
    // Waits for the dialog in the plug-in's own event loop.
    auto* poll = new QTimer(qApp);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, script] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible()) return;
        poll->deleteLater();
        poll->stop();
        runScript(dialog, script);
    });
    poll->start();
}

void serveClipboard() {
    QEventLoop loop;
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &loop, &QEventLoop::quit);
    std::fprintf(stderr, "plughost: serving the clipboard until another program takes it over\n");
    loop.exec();
}

} // namespace plughost

int main(int argc, char** argv) {
    plughost::qtDefault = qInstallMessageHandler(plughost::quietPlatformNotes);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return plughost::usage(true);
    // Without a display the host still works; the clipboard then lives in this process only.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) return plughost::usage(false);
    const QString name = args.takeFirst();
    for (const plughost::Command& c : plughost::kCommands)
        if (name == QLatin1String(c.name)) return c.run(args);
    std::fprintf(stderr, "plughost: unknown plug-in \"%s\"\n", name.toLocal8Bit().constData());
    return plughost::usage(false);
}
