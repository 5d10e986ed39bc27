// The detached clipboard server.
#include "clipboard.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gimpadapter {

namespace {

// The most text the server takes: far more than any map entry, small enough never to hurt.
constexpr std::size_t kMaxText = std::size_t(64) << 20;
constexpr int kReadyFd = 3;

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// Ends the server when X tells it that another program owns the selection now. Qt's own
// clipboard signal misses a take-over stamped with the very time of ours, which a program that
// has just read the clipboard does; the X event comes whatever the time.
class SelectionLost final : public QAbstractNativeEventFilter {
  public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        // SelectionClear (core protocol event 29); the server owns no other selection.
        constexpr uint8_t kSelectionClear = 29;
        if (type == "xcb_generic_event_t" && message &&
            (*static_cast<const uint8_t*>(message) & 0x7F) == kSelectionClear)
            QCoreApplication::quit();
        return false;
    }
};

void closeFrom(int first) {
    if (close_range(unsigned(first), ~0U, 0) == 0) return;
    const long last = sysconf(_SC_OPEN_MAX);
    for (long fd = first; fd < (last > 0 ? last : 1024); ++fd)
        close(int(fd));
}

} // namespace

bool ClipboardIsShared() {
    const QString p = QGuiApplication::platformName();
    return !p.isEmpty() && p != QLatin1String("offscreen") && p != QLatin1String("minimal");
}

std::string ProgramFile() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = 0;
    return path;
}

bool HandOverClipboard(const std::string& program, const QString& platform, const QByteArray& text,
                       std::string* error, int timeoutMs) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (program.empty()) return fail("the program's own file is unknown");
    if (std::size_t(text.size()) > kMaxText) return fail("the text is too long to serve");
    int input[2] = {-1, -1}, ready[2] = {-1, -1};
    if (pipe2(input, O_CLOEXEC) != 0) return fail(std::strerror(errno));
    if (pipe2(ready, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return fail(std::strerror(errno));
    }
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    std::string file = program;
    std::string flag = kServeClipboardArgument;
    char* argv[] = {file.data(), flag.data(), nullptr};
    std::vector<std::string> variables;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0) variables.emplace_back(*e);
    variables.push_back("QT_QPA_PLATFORM=" + platform.toStdString());
    std::vector<char*> envp;
    for (std::string& v : variables)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // A session of its own and a second fork: the server is nobody's child and survives
        // the plug-in, GIMP and the terminal.
        setsid();
        const pid_t server = fork();
        if (server != 0) _exit(server < 0 ? 1 : 0);
        const int nul = open("/dev/null", O_RDWR);
        if (nul < 0 || dup2(input[0], 0) < 0 || dup2(ready[1], kReadyFd) < 0 || dup2(nul, 1) < 0 ||
            dup2(nul, 2) < 0)
            _exit(127);
        closeFrom(kReadyFd + 1);
        if (chdir("/") != 0) _exit(127);
        execve(argv[0], argv, envp.data());
        _exit(127);
    }
    close(input[0]);
    close(ready[1]);
    if (child < 0) {
        close(input[1]);
        close(ready[0]);
        return fail(std::strerror(errno));
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // A server that died early must not kill this process with SIGPIPE.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    const bool written = writeAll(input[1], text.constData(), std::size_t(text.size()));
    close(input[1]);
    sigaction(SIGPIPE, &previous, nullptr);
    char answer = 0;
    pollfd p{ready[0], POLLIN, 0};
    int polled = 0;
    while ((polled = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    const bool answered = polled > 0 && read(ready[0], &answer, 1) == 1 && answer == '1';
    close(ready[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return fail("the clipboard server could not start");
    if (!written) return fail("the clipboard server did not take the text");
    if (!answered) return fail("the clipboard server did not take the clipboard");
    return true;
}

int ServeClipboard(int argc, char** argv) {
    QByteArray text;
    char chunk[65536];
    for (ssize_t n; (n = read(0, chunk, sizeof chunk)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        if (std::size_t(text.size()) + std::size_t(n) > kMaxText) return 1;
        text.append(chunk, n);
    }
    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QString::fromUtf8(text), QClipboard::Clipboard);
    if (!clipboard->ownsClipboard()) return 1;
    SelectionLost lost;
    app.installNativeEventFilter(&lost);
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) QCoreApplication::quit();
    });
    const char ok = '1';
    writeAll(kReadyFd, &ok, 1);
    close(kReadyFd);
    return app.exec();
}

} // namespace gimpadapter
