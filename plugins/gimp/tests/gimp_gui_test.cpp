// Both adapters in GIMP's own window, on an X server of the test's own: GIMP runs its Script-Fu
// server, the test sets up images through it and drives the plug-ins' dialogs with real key
// presses (xdotool). The dialog opens over GIMP's window; OK applies, Cancel leaves the image as
// it was; Ctrl+Z in GIMP's window takes a run back, canvas growth included.
// GIMPTEST_SCREENSHOTS=FOLDER keeps pictures of the screen at each step there.
#include "gimpsession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

using namespace gimptest;

namespace {

// A free TCP port on the loopback interface (the kernel's choice, released at once).
int freePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

// One request to Script-Fu's server: 'G', a 16-bit length and the expression; the answer is 'G',
// an error flag, a 16-bit length and the text.
class Request {
  public:
    Request(int port, const QString& expression) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const QByteArray e = expression.toUtf8();
        QByteArray packet("G");
        packet += char((e.size() >> 8) & 0xFF);
        packet += char(e.size() & 0xFF);
        packet += e;
        sent_ = connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                send(fd_, packet.constData(), std::size_t(packet.size()), MSG_NOSIGNAL) == packet.size();
    }
    ~Request() { close(fd_); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    bool sent() const { return sent_; }
    // The answer's text; `ok` false for an error or no answer within timeoutMs.
    QString answer(int timeoutMs, bool* ok) {
        *ok = false;
        QByteArray data;
        QElapsedTimer t;
        t.start();
        while (sent_ && t.elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char chunk[4096];
            const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) break;
            data.append(chunk, n);
            if (data.size() >= 4 && data.size() >= 4 + ((uint8_t(data[2]) << 8) | uint8_t(data[3]))) {
                *ok = data[1] == 0;
                return QString::fromUtf8(data.mid(4)).trimmed();
            }
        }
        return QStringLiteral("no answer");
    }

  private:
    int fd_ = -1;
    bool sent_ = false;
};

QString tool(const QString& program, const QStringList& arguments, int timeoutMs = 30000) {
    return Run(program, arguments, QProcessEnvironment::systemEnvironment(), timeoutMs, false)
        .output.trimmed();
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool viewable = false;
};

Geometry geometryOf(const QString& window) {
    const QString info = tool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    auto number = [&info](const char* label) {
        const QRegularExpression re(QLatin1String(label) + QStringLiteral(":\\s+(-?\\d+)"));
        return re.match(info).captured(1).toInt();
    };
    return {number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"),
            number("Height"), info.contains(QLatin1String("IsViewable"))};
}

class GimpGui : public ::testing::Test {
  protected:
    static inline VirtualDisplay* display = nullptr;
    static inline Profile* profile = nullptr;
    static inline QProcess* gimp = nullptr;
    static inline QTemporaryDir* dir = nullptr;
    static inline int port = 0;
    static inline QString skip, failure;

    static void SetUpTestSuite() {
        skip = MissingForGui();
        if (!skip.isEmpty()) return;
        display = new VirtualDisplay;
        if (!display->running()) {
            skip = QStringLiteral("Xvfb did not start");
            return;
        }
        profile = new Profile;
        dir = new QTemporaryDir;
        port = freePort();
        gimp = new QProcess;
        gimp->setProcessEnvironment(profile->environment());
        gimp->setProcessChannelMode(QProcess::MergedChannels);
        gimp->setStandardOutputFile(dir->filePath(QStringLiteral("gimp.log")));
        gimp->start(QStringLiteral("gimp-2.10"),
                    {QStringLiteral("--no-splash"), QStringLiteral("-d"), QStringLiteral("-f"),
                     QStringLiteral("--batch-interpreter=plug-in-script-fu-eval"), QStringLiteral("-b"),
                     QStringLiteral("(plug-in-script-fu-server 1 \"127.0.0.1\" %1 \"\")").arg(port)});
        QElapsedTimer t;
        t.start();
        bool up = false;
        gimp->waitForStarted(30000);
        while (!up && t.elapsed() < 120000 && gimp->state() == QProcess::Running) {
            Request r(port, QStringLiteral("(gimp-version)"));
            r.answer(2000, &up);
            if (!up) QThread::msleep(200);
        }
        std::printf("GIMP's window and Script-Fu server came up in %lld ms\n", (long long)t.elapsed());
        if (!up) failure = QStringLiteral("GIMP did not start: ") + log();
    }

    static void TearDownTestSuite() {
        if (gimp) {
            if (gimp->state() != QProcess::NotRunning) {
                Request quit(port, QStringLiteral("(gimp-quit 1)"));
                if (!gimp->waitForFinished(20000)) {
                    gimp->kill();
                    gimp->waitForFinished(5000);
                }
            }
            delete gimp;
        }
        delete profile;
        delete dir;
        delete display; // ends the clipboard servers still on it
        gimp = nullptr;
        profile = nullptr;
        dir = nullptr;
        display = nullptr;
    }

    static QString log() {
        QFile f(dir->filePath(QStringLiteral("gimp.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().right(3000)) : QString();
    }

    void SetUp() override {
        if (!skip.isEmpty()) GTEST_SKIP() << skip.toStdString();
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    }

    // Evaluates Script-Fu in GIMP and returns the answer; fails the test on an error.
    static QString eval(const QString& expression, int timeoutMs = 60000) {
        Request r(port, expression);
        bool ok = false;
        const QString text = r.answer(timeoutMs, &ok);
        EXPECT_TRUE(ok) << expression.toStdString() << " -> " << text.toStdString();
        return text;
    }
    static int evalInt(const QString& expression) {
        return eval(expression).remove(QRegularExpression(QStringLiteral("[()]"))).toInt();
    }

    // Waits for a top-level window whose name is `name`; its id, or empty.
    static QString waitForWindow(const QString& name) {
        return tool(QStringLiteral("timeout"),
                    {QStringLiteral("30"), QStringLiteral("xdotool"), QStringLiteral("search"),
                     QStringLiteral("--sync"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                     QStringLiteral("^%1$").arg(name)},
                    40000)
            .section(QLatin1Char('\n'), 0, 0);
    }
    static void keys(const QString& window, const QStringList& actions) {
        tool(QStringLiteral("xdotool"),
             QStringList{QStringLiteral("windowfocus"), QStringLiteral("--sync"), window} + actions);
    }
    // While a dialog is open GIMP's Script-Fu server waits for the plug-in: no flush then.
    static void screenshot(const QString& name, bool flush = true) {
        const QString folder = qEnvironmentVariable("GIMPTEST_SCREENSHOTS");
        if (folder.isEmpty()) return;
        QDir().mkpath(folder);
        if (flush) eval(QStringLiteral("(gimp-displays-flush)"));
        QThread::msleep(300);
        tool(QStringLiteral("import"),
             {QStringLiteral("-window"), QStringLiteral("root"), folder + QLatin1Char('/') + name});
    }

    // A picture displayed in its own image window; returns the Script-Fu names img<N>, drw<N> and
    // the window's X id.
    static QString show(const QString& name, const QString& selection, QString* window) {
        const QString raw = dir->filePath(name + QStringLiteral(".raw"));
        QImage picture(160, 120, QImage::Format_RGB888);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                picture.setPixel(x, y, qRgb(x * 255 / 159, y * 255 / 119, (x * y) % 256));
        EXPECT_TRUE(WriteRaw(picture, raw));
        eval(QStringLiteral("(begin (define img-%1 (car (halcyon-test-load RUN-NONINTERACTIVE \"%2\")))"
                            " (define drw-%1 (car (gimp-image-get-active-layer img-%1)))"
                            " (define disp-%1 (car (gimp-display-new img-%1))) %3 #t)")
                 .arg(name, raw, selection));
        *window =
            QString::number(evalInt(QStringLiteral("(gimp-display-get-window-handle disp-%1)").arg(name)));
        return name;
    }
    // The image's state: canvas, layer count and the first layer's offsets.
    static QString state(const QString& name) {
        return eval(QStringLiteral("(list (car (gimp-image-width img-%1)) (car (gimp-image-height img-%1))"
                                   " (car (gimp-image-get-layers img-%1)) (gimp-drawable-offsets drw-%1))")
                        .arg(name));
    }
    static QImage pixels(const QString& name, const QString& drawable) {
        const QString file = dir->filePath(name + QStringLiteral("-dump.raw"));
        eval(QStringLiteral("(halcyon-test-dump RUN-NONINTERACTIVE img-%1 %2 \"%3\")")
                 .arg(name, drawable, file));
        return ReadRaw(file);
    }
};

const char* const kDialog = "Frame and Shadow - Talvor Sitecraft";
const char* const kSettings = "1 10 '(0 0 255) 0 1 1 2 10 10 '(0 0 0) 20 1 10";

TEST_F(GimpGui, DialogOverGimpOkAppliesUndoTakesItBackCancelChangesNothing) {
    QString window;
    const QString a =
        show(QStringLiteral("a"),
             QStringLiteral("(gimp-image-select-rectangle img-a CHANNEL-OP-REPLACE 40 30 80 60)"), &window);
    const QString before = state(a);
    const QImage original = pixels(a, QStringLiteral("drw-a"));
    ASSERT_FALSE(original.isNull());
    screenshot(QStringLiteral("1-image.png"));

    // OK, after typing a frame width of 4 into the dialog.
    {
        Request run(port, QStringLiteral("(plug-in-halcyon-frame-shadow RUN-INTERACTIVE img-a drw-a %1)")
                              .arg(QLatin1String(kSettings)));
        ASSERT_TRUE(run.sent());
        const QString dialog = waitForWindow(QLatin1String(kDialog));
        ASSERT_FALSE(dialog.isEmpty()) << log().toStdString();
        const Geometry d = geometryOf(dialog), g = geometryOf(window);
        EXPECT_TRUE(d.viewable);
        EXPECT_GE(d.x, g.x);
        EXPECT_GE(d.y, g.y);
        EXPECT_LE(d.x + d.width, g.x + g.width) << "the dialog lies over GIMP's window";
        EXPECT_LE(d.y + d.height, g.y + g.height);
        std::printf("dialog %dx%d+%d+%d over GIMP's window %dx%d+%d+%d; %s\n", d.width, d.height, d.x, d.y,
                    g.width, g.height, g.x, g.y,
                    qPrintable(tool(QStringLiteral("xprop"),
                                    {QStringLiteral("-id"), dialog, QStringLiteral("WM_TRANSIENT_FOR")})));
        keys(dialog, {QStringLiteral("key"), QStringLiteral("alt+w"), QStringLiteral("key"),
                      QStringLiteral("ctrl+a"), QStringLiteral("type"), QStringLiteral("4")});
        screenshot(QStringLiteral("2-dialog.png"), false);
        keys(dialog, {QStringLiteral("key"), QStringLiteral("Return")});
        bool ok = false;
        const QString layer = run.answer(60000, &ok);
        ASSERT_TRUE(ok) << layer.toStdString() << log().toStdString();
        screenshot(QStringLiteral("3-result.png"));
        // The layer is the filter's with a frame of 4 and the other values as they start.
        const QImage made = pixels(a, QStringLiteral("(car (gimp-image-get-active-layer img-a))"));
        const QString png = dir->filePath(QStringLiteral("a.png"));
        ASSERT_TRUE(original.save(png));
        const Result ref = RunPlughost({"borderfx", png, "--select", "40,30,120,90", "--set", "frameWidth=4",
                                        "--out", dir->filePath(QStringLiteral("ref.png")), "--out-alpha",
                                        dir->filePath(QStringLiteral("refa.png"))});
        ASSERT_EQ(ref.exitCode, 0) << ref.errors.toStdString();
        QImage expected =
            QImage(dir->filePath(QStringLiteral("ref.png"))).convertToFormat(QImage::Format_RGBA8888);
        ASSERT_EQ(made.size(), expected.size());
        EXPECT_EQ(made, expected) << "the whole output area lies inside this opaque layer";
        EXPECT_EQ(state(a).section(QLatin1Char(' '), 2, 2), QStringLiteral("2"));
    }

    // Ctrl+Z in GIMP's window takes it back.
    keys(window, {QStringLiteral("key"), QStringLiteral("ctrl+z")});
    QThread::msleep(500);
    EXPECT_EQ(state(a), before);
    EXPECT_EQ(pixels(a, QStringLiteral("drw-a")), original);

    // Cancel (Escape) changes nothing.
    {
        Request run(port, QStringLiteral("(plug-in-halcyon-frame-shadow RUN-INTERACTIVE img-a drw-a %1)")
                              .arg(QLatin1String(kSettings)));
        const QString dialog = waitForWindow(QLatin1String(kDialog));
        ASSERT_FALSE(dialog.isEmpty());
        keys(dialog, {QStringLiteral("key"), QStringLiteral("Escape")});
        bool ok = false;
        run.answer(60000, &ok); // a cancelled run is no error
        EXPECT_EQ(state(a), before);
        EXPECT_EQ(pixels(a, QStringLiteral("drw-a")), original);
    }
}

TEST_F(GimpGui, UndoTakesBackTheGrownCanvasToo) {
    QString window;
    const QString b =
        show(QStringLiteral("b"),
             QStringLiteral("(gimp-image-select-rectangle img-b CHANNEL-OP-REPLACE 0 0 70 50)"), &window);
    const QString before = state(b);
    const QImage original = pixels(b, QStringLiteral("drw-b"));
    eval(QStringLiteral(
        "(plug-in-halcyon-frame-shadow RUN-NONINTERACTIVE img-b drw-b 1 5 '(0 0 255) 0 1 1 2 10 10 "
        "'(90 20 20) 20 1 10)"));
    const QString grown = state(b);
    EXPECT_NE(grown, before);
    EXPECT_TRUE(grown.startsWith(QLatin1String("(185 125 2 (25 5))"))) << grown.toStdString();
    screenshot(QStringLiteral("4-grown.png"));
    keys(window, {QStringLiteral("key"), QStringLiteral("ctrl+z")});
    QThread::msleep(500);
    EXPECT_EQ(state(b), before);
    EXPECT_EQ(pixels(b, QStringLiteral("drw-b")), original);
}

TEST_F(GimpGui, ImageMapDialogCopiesTheEntry) {
    QString window;
    const QString c =
        show(QStringLiteral("c"),
             QStringLiteral("(gimp-image-select-ellipse img-c CHANNEL-OP-REPLACE 40 25 70 50)"), &window);
    Request run(port, QStringLiteral("(plug-in-halcyon-image-map RUN-INTERACTIVE img-c drw-c 0 \"\" 0 0 0)"));
    const QString dialog = waitForWindow(QStringLiteral("Image Map from Selection"));
    ASSERT_FALSE(dialog.isEmpty()) << log().toStdString();
    // The URL edit has the focus when the dialog opens; Return is "To Clipboard".
    keys(dialog, {QStringLiteral("type"), QStringLiteral("page.html")});
    screenshot(QStringLiteral("5-image-map.png"), false);
    keys(dialog, {QStringLiteral("key"), QStringLiteral("Return")});
    bool ok = false;
    const QString entry = run.answer(60000, &ok);
    ASSERT_TRUE(ok) << entry.toStdString();
    EXPECT_TRUE(entry.contains(
        QLatin1String("<AREA SHAPE=\\\"CIRCLE\\\" COORDS=\\\"74,49,24\\\" HREF=\\\"page.html\\\">")))
        << entry.toStdString();
    const Result read = ReadClipboardElsewhere(QStringLiteral(KIT_TEST_PROGRAM));
    EXPECT_EQ(read.output.trimmed(),
              QStringLiteral("<AREA SHAPE=\"CIRCLE\" COORDS=\"74,49,24\" HREF=\"page.html\">"));
}

// "Image Map from Whole Selection...", chosen in GIMP's window: our dialog over it, the whole map on
// the clipboard; with a cap typed into the dialog the map is cut and GIMP says so. Cancel from a
// script changes nothing.
TEST_F(GimpGui, WholeSelectionDialogCopiesTheMapAndTellsOfACut) {
    QString window;
    const QString d = show(QStringLiteral("d"),
                           QStringLiteral("(gimp-image-select-ellipse img-d CHANNEL-OP-REPLACE 20 10 100 90)"
                                          "(gimp-image-select-ellipse img-d CHANNEL-OP-SUBTRACT 50 35 40 40)"
                                          "(gimp-image-select-rectangle img-d CHANNEL-OP-ADD 130 95 20 15)"),
                           &window);
    const QString title = QStringLiteral("Image Map from Whole Selection");
    // Filters > Web > Image Map from Whole Selection..., through the menus' mnemonics as a user
    // would; an open menu has the keyboard.
    auto fromMenu = [&window] {
        keys(window, {QStringLiteral("key"), QStringLiteral("alt+r")});
        for (const char* key : {"w", "w"}) {
            QThread::msleep(400);
            tool(QStringLiteral("xdotool"), {QStringLiteral("key"), QLatin1String(key)});
        }
    };
    {
        fromMenu();
        const QString dialog = waitForWindow(title);
        ASSERT_FALSE(dialog.isEmpty()) << log().toStdString();
        const QString transient = tool(QStringLiteral("xprop"),
                                       {QStringLiteral("-id"), dialog, QStringLiteral("WM_TRANSIENT_FOR")});
        EXPECT_TRUE(transient.endsWith(QStringLiteral("0x%1").arg(window.toULongLong(), 0, 16)))
            << transient.toStdString() << " for GIMP's window " << window.toStdString();
        const Geometry g = geometryOf(dialog), over = geometryOf(window);
        EXPECT_TRUE(g.viewable);
        EXPECT_GE(g.x, over.x);
        EXPECT_GE(g.y, over.y);
        EXPECT_LE(g.x + g.width, over.x + over.width) << "the dialog lies over GIMP's window";
        EXPECT_LE(g.y + g.height, over.y + over.height);
        EXPECT_LE(std::abs((g.x + g.width / 2) - (over.x + over.width / 2)), 2) << "centred";
        keys(dialog, {QStringLiteral("type"), QStringLiteral("page.html")});
        screenshot(QStringLiteral("6-whole-map.png"), false);
        keys(dialog, {QStringLiteral("key"), QStringLiteral("Return")});
        for (int i = 0; i < 100 && ClipboardServers() == 0; ++i)
            QThread::msleep(100);
        const QStringList map = ReadClipboardElsewhere(QStringLiteral(KIT_TEST_PROGRAM))
                                    .output.trimmed()
                                    .split(QLatin1Char('\n'));
        ASSERT_EQ(map.size(), 3) << map.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(map[0].contains(QLatin1String("NOHREF"))) << "the ring's hole first";
        EXPECT_TRUE(map[1].startsWith(QLatin1String("<AREA SHAPE=\"POLY\""))) << "then the ring";
        EXPECT_EQ(map[2],
                  QStringLiteral("<AREA SHAPE=\"RECT\" COORDS=\"130,95,150,110\" HREF=\"page.html\">"));
    }
    {
        // The dialog starts from the last values; at most one area now.
        fromMenu();
        const QString dialog = waitForWindow(title);
        ASSERT_FALSE(dialog.isEmpty()) << log().toStdString();
        keys(dialog, {QStringLiteral("key"), QStringLiteral("alt+a")});
        keys(dialog,
             {QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("type"), QStringLiteral("1")});
        keys(dialog, {QStringLiteral("key"), QStringLiteral("Return")});
        const QString message = waitForWindow(QStringLiteral("GIMP Message"));
        EXPECT_FALSE(message.isEmpty()) << "GIMP tells of the cut";
        screenshot(QStringLiteral("7-whole-map-cut.png"), false);
        if (!message.isEmpty()) keys(message, {QStringLiteral("key"), QStringLiteral("Return")});
        for (int i = 0; i < 100 && ClipboardServers() == 0; ++i)
            QThread::msleep(100);
        const QString map = ReadClipboardElsewhere(QStringLiteral(KIT_TEST_PROGRAM)).output.trimmed();
        // The ring needs two areas, its own and its hole's, so the one area is the rectangle's.
        EXPECT_EQ(map, QStringLiteral("<AREA SHAPE=\"RECT\" COORDS=\"130,95,150,110\" HREF=\"page.html\">"));
    }
    // From a script: whole = 1 shows the same dialog.
    const QString call =
        QStringLiteral("(plug-in-halcyon-image-map RUN-INTERACTIVE img-d drw-d 0 \"\" 1 0 0)");
    {
        // Cancel: no map, GIMP goes on.
        Request run(port, call);
        const QString dialog = waitForWindow(title);
        ASSERT_FALSE(dialog.isEmpty()) << log().toStdString();
        keys(dialog, {QStringLiteral("key"), QStringLiteral("Escape")});
        bool ok = false;
        run.answer(60000, &ok); // a cancelled run is no error
        EXPECT_EQ(evalInt(QStringLiteral("(car (gimp-image-get-layers img-d))")), 1);
    }
}

} // namespace

int main(int argc, char** argv) {
    return gimptest::TestMain(argc, argv);
}
