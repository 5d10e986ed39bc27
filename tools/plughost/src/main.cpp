// plughost: loads the kit's plug-in libraries like an image editor's adapter would and calls
// their exports from the command line.
#include "commands.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QEventLoop>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <iterator>

namespace plughost {
namespace {

const Command kCommands[] = {
    {"hotmap",
     "MASK.png [--offset X,Y] [--url URL] [--format inline|ncsa|cern] [--title TEXT] [--dialog] [--serve]",
     runHotmap},
    {"borderfx", "IMAGE.png --select L,T,R,B [--alpha A.png] --out OUT.png --out-alpha A2.png [--dialog] [--grey]",
     runBorderfx},
};

int usage() {
    std::fprintf(stderr, "usage:\n");
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  plughost %s %s\n", c.name, c.usage);
    return 2;
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

void serveClipboard() {
    QEventLoop loop;
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &loop, &QEventLoop::quit);
    std::fprintf(stderr, "plughost: serving the clipboard until another program takes it over\n");
    loop.exec();
}

} // namespace plughost

int main(int argc, char** argv) {
    // Without a display the host still works; the clipboard then lives in this process only.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) return plughost::usage();
    const QString name = args.takeFirst();
    for (const plughost::Command& c : plughost::kCommands)
        if (name == QLatin1String(c.name)) return c.run(args);
    std::fprintf(stderr, "plughost: unknown plug-in \"%s\"\n", name.toLocal8Bit().constData());
    return plughost::usage();
}
