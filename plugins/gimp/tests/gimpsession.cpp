// GIMP for the adapters' tests.
#include "gimpsession.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>

namespace gimptest {

QString StageDir() {
    return QStringLiteral(KIT_GIMP_STAGE);
}

QString BinDir() {
    return QStringLiteral(KIT_BIN_DIR);
}

namespace {

bool copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    const QFileInfoList entries = QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) {
        const QString target = to + QLatin1Char('/') + e.fileName();
        if (e.isDir()) {
            if (!copyTree(e.filePath(), target)) return false;
        } else if (!QFile::copy(e.filePath(), target) || !QFile::setPermissions(target, e.permissions())) {
            return false;
        }
    }
    return true;
}

const char* const kAdapters[] = {"halcyon-frame-shadow", "halcyon-image-map"};
const char* const kTestPlugIn = "halcyon-test-io";

} // namespace

QString MissingForBatch() {
    if (QStandardPaths::findExecutable(QStringLiteral("gimp-console-2.10")).isEmpty())
        return QStringLiteral("gimp-console-2.10 is not installed (scripts/setup-deps installs gimp)");
    for (const char* a : kAdapters)
        if (!QFileInfo(StageDir() + QLatin1Char('/') + QLatin1String(a) + QLatin1Char('/') + QLatin1String(a))
                 .isExecutable())
            return QStringLiteral("the adapter %1 is not built").arg(QLatin1String(a));
    if (!QFileInfo(QStringLiteral(KIT_GIMP_TEST_STAGE "/%1/%1").arg(QLatin1String(kTestPlugIn)))
             .isExecutable())
        return QStringLiteral("the test plug-in is not built");
    return {};
}

QString MissingForGui() {
    const QString batch = MissingForBatch();
    if (!batch.isEmpty()) return batch;
    for (const char* tool : {"Xvfb", "gimp-2.10", "xdotool", "xwininfo", "xprop"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    return {};
}

VirtualDisplay::VirtualDisplay() {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) return;
    xvfb_.setProcessChannelMode(QProcess::SeparateChannels);
    xvfb_.setStandardErrorFile(QProcess::nullDevice());
    // -displayfd: Xvfb picks a free display and writes its number once it accepts clients.
    xvfb_.start(QStringLiteral("Xvfb"),
                {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                 QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                 QStringLiteral("tcp")});
    QByteArray number;
    while (!number.contains('\n') && xvfb_.waitForReadyRead(20000))
        number += xvfb_.readAllStandardOutput();
    number = number.trimmed();
    if (number.isEmpty()) {
        xvfb_.kill();
        xvfb_.waitForFinished(5000);
        return;
    }
    hadDisplay_ = qEnvironmentVariableIsSet("DISPLAY");
    previous_ = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":" + number);
    running_ = true;
}

VirtualDisplay::~VirtualDisplay() {
    if (!running_) return;
    xvfb_.terminate();
    if (!xvfb_.waitForFinished(5000)) {
        xvfb_.kill();
        xvfb_.waitForFinished(5000);
    }
    if (hadDisplay_)
        qputenv("DISPLAY", previous_);
    else
        qunsetenv("DISPLAY");
}

Profile::Profile() {
    if (!dir_.isValid()) return;
    for (const char* a : kAdapters)
        if (!copyTree(StageDir() + QLatin1Char('/') + QLatin1String(a),
                      path(QStringLiteral("plug-ins/")) + QLatin1String(a)))
            return;
    if (!copyTree(QStringLiteral(KIT_GIMP_TEST_STAGE "/") + QLatin1String(kTestPlugIn),
                  path(QStringLiteral("plug-ins/")) + QLatin1String(kTestPlugIn)))
        return;
    // GIMP complains about writable data folders that do not exist.
    for (const char* d :
         {"brushes", "dynamics", "fonts", "gradients", "palettes", "patterns", "tool-presets"})
        QDir().mkpath(path(QLatin1String(d)));
    QFile rc(path(QStringLiteral("gimprc")));
    if (!rc.open(QIODevice::WriteOnly | QIODevice::Text)) return;
    const QString system = QStringLiteral(KIT_GIMP_LIBDIR "/plug-ins");
    QTextStream(&rc) << "(plug-in-path \"" << path(QStringLiteral("plug-ins")) << ':' << system
                     << "/script-fu\")\n";
    valid_ = true;
}

QProcessEnvironment Profile::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GIMP2_DIRECTORY"), dir_.path());
    env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("C"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (env.contains(QStringLiteral("DISPLAY"))) env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

Result Run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
           int timeoutMs, bool mergeErrors) {
    Result r;
    QProcess p;
    p.setProcessEnvironment(environment);
    p.setProcessChannelMode(mergeErrors ? QProcess::MergedChannels : QProcess::SeparateChannels);
    p.start(program, arguments);
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromUtf8(p.readAllStandardOutput());
    if (!mergeErrors) r.errors = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Result RunBatch(const Profile& profile, const QString& script, int timeoutMs, bool display) {
    QProcessEnvironment env = profile.environment();
    if (!display) {
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }
    return Run(QStringLiteral("gimp-console-2.10"),
               {QStringLiteral("-i"), QStringLiteral("-d"), QStringLiteral("-f"),
                QStringLiteral("--batch-interpreter=plug-in-script-fu-eval"), QStringLiteral("-b"),
                QStringLiteral("(load \"%1\")").arg(script), QStringLiteral("-b"),
                QStringLiteral("(gimp-quit 0)")},
               env, timeoutMs);
}

Result RunPlughost(const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return Run(BinDir() + QStringLiteral("/plughost"), arguments, env, 60000, false);
}

std::map<QString, QString> ReadResults(const QString& file) {
    std::map<QString, QString> results;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return results;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).chopped(1);
        const QStringList words = line.split(QLatin1Char(' '));
        if (words.size() < 2) continue;
        results[words[0] + QLatin1Char(' ') + words[1]] = line.section(QLatin1Char(' '), 2);
    }
    return results;
}

int PrintAndTakeOverClipboard(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::printf("%s\n", QGuiApplication::clipboard()->text().toUtf8().constData());
    std::fflush(stdout);
    // Taking over may need a few tries while the X server's timestamps catch up.
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (int i = 0; i < 20 && !clipboard->ownsClipboard(); ++i) {
        clipboard->setText(QStringLiteral("taken over"));
        QCoreApplication::processEvents();
        if (!clipboard->ownsClipboard()) QThread::msleep(50);
    }
    return clipboard->ownsClipboard() ? 0 : 3;
}

int TestMain(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kPrintClipboardArgument) == 0)
        return PrintAndTakeOverClipboard(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

Result ReadClipboardElsewhere(const QString& testProgram) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return Run(testProgram, {QLatin1String(kPrintClipboardArgument)}, env, 30000, false);
}

int ClipboardServers() {
    int count = 0;
    const QByteArray display = qgetenv("DISPLAY");
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid)),
            env(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!cmd.open(QIODevice::ReadOnly) || !cmd.readAll().contains("--serve-clipboard")) continue;
        if (env.open(QIODevice::ReadOnly) && env.readAll().split('\0').contains("DISPLAY=" + display))
            ++count;
    }
    return count;
}

bool WaitForNoClipboardServer() {
    for (int i = 0; i < 100 && ClipboardServers() > 0; ++i)
        QThread::msleep(50);
    return ClipboardServers() == 0;
}

bool WriteRaw(const QImage& picture, const QString& file) {
    QImage im = picture;
    int channels = 3;
    if (im.format() == QImage::Format_Grayscale8)
        channels = 1;
    else if (im.hasAlphaChannel())
        channels = 4, im = im.convertToFormat(QImage::Format_RGBA8888);
    else
        im = im.convertToFormat(QImage::Format_RGB888);
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(QStringLiteral("HTIO %1 %2 %3\n").arg(im.width()).arg(im.height()).arg(channels).toLatin1());
    for (int y = 0; y < im.height(); ++y)
        f.write(reinterpret_cast<const char*>(im.constScanLine(y)), qint64(im.width()) * channels);
    return f.error() == QFile::NoError;
}

QImage ReadRaw(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QList<QByteArray> head = f.readLine().trimmed().split(' ');
    if (head.size() != 4 || head[0] != "HTIO") return {};
    const int w = head[1].toInt(), h = head[2].toInt(), c = head[3].toInt();
    const QByteArray data = f.readAll();
    if (w <= 0 || h <= 0 || c < 1 || c > 4 || data.size() != qsizetype(w) * h * c) return {};
    QImage im(w, h, c == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGBA8888);
    for (int y = 0; y < h; ++y) {
        const uchar* src = reinterpret_cast<const uchar*>(data.constData()) + qsizetype(y) * w * c;
        uchar* dst = im.scanLine(y);
        for (int x = 0; x < w; ++x, src += c) {
            if (c == 1) {
                dst[x] = src[0];
                continue;
            }
            uchar* p = dst + 4 * x;
            const bool grey = c == 2;
            p[0] = src[0];
            p[1] = grey ? src[0] : src[1];
            p[2] = grey ? src[0] : src[2];
            p[3] = c == 2 ? src[1] : c == 4 ? src[3] : 255;
        }
    }
    return im;
}

} // namespace gimptest
