// plughost hotmap on generated mask pictures prints what the export put on the clipboard.
#include "analysis.h"
#include "hotmap/hotmap.h"
#include "imagelib/tv32qt.h"

#include <QFont>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct HostRun {
    int exitCode = -1;
    QString out;
    QString err;
};

HostRun plughost(const QStringList& args) {
    QProcess p;
    // Qt's messages go to standard error as on a terminal, so stray notes would show.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_FORCE_STDERR_LOGGING", "1");
    env.remove("XDG_RUNTIME_DIR");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KIT_BIN_DIR "/plughost"), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The text the export delivers for the same mask, caught in-process.
std::string exported(const QImage& grey, int32_t format, const char* url, int32_t ox, int32_t oy) {
    std::string caught;
    hotmap::setClipboardSink([&](const std::string& t) {
        caught = t;
        return true;
    });
    char urlBuf[HM_URL_SIZE] = {};
    std::strncpy(urlBuf, url, HM_URL_SIZE - 1);
    const int32_t offset[2] = {ox, oy};
    EXPECT_EQ(hmGenImageTagFromAPSBuf(0, grey.constBits(), grey.width(), grey.height(),
                                      int32_t(grey.bytesPerLine()), offset, "t", urlBuf, &format, 1),
              1);
    hotmap::setClipboardSink({});
    return caught;
}

TEST(PlugHost, HotmapPrintsTheClipboardTextAndTheResult) {
    ASSERT_NE(tv32::ensureApplication(), nullptr);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A colour picture: a white triangle on black; grey values decide the selection.
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::black);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x <= y; ++x)
            img.setPixel(x + 3, y + 2, qRgb(255, 255, 255));
    const QString file = dir.filePath("triangle.png");
    ASSERT_TRUE(img.save(file));
    const QImage grey = QImage(file).convertToFormat(QImage::Format_Grayscale8);

    const HostRun r =
        plughost({"hotmap", file, "--offset", "10,20", "--url", "http://example.com/", "--format", "ncsa"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.toStdString(), ""); // no notes of Qt's about the platform
    const std::string want = exported(grey, HM_FORMAT_NCSA, "http://example.com/", 10, 20);
    EXPECT_EQ(want, "poly http://example.com/ 13,22 32,41 13,41 13,22");
    EXPECT_EQ(r.out.toStdString(), want + "\nresult: 1\nformat: ncsa\n");

    const HostRun inl = plughost({"hotmap", file, "--url", "a.html"});
    EXPECT_EQ(inl.out.toStdString(),
              exported(grey, HM_FORMAT_INLINE, "a.html", 0, 0) + "\nresult: 1\nformat: inline\n");

    // Nothing selected: result 0 and no text, with or without the dialog.
    QImage black(8, 8, QImage::Format_Grayscale8);
    black.fill(0);
    const QString empty = dir.filePath("empty.png");
    ASSERT_TRUE(black.save(empty));
    const HostRun none = plughost({"hotmap", empty});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "result: 0\n");
    EXPECT_EQ(none.err,
              "plughost hotmap: nothing is selected in " + empty + ": no pixel's grey value is above 128\n");
    EXPECT_EQ(plughost({"hotmap", empty, "--dialog", "--press", "1"}).out, "result: 0\n");

    // The dialog, driven: the URL typed, NCSA chosen, then "To Clipboard"; or Cancel.
    const QString shot = dir.filePath("dialog.png");
    const HostRun viaDialog = plughost({"hotmap", file, "--dialog", "--url", "old.html", "--grab", shot,
                                        "--type", "1039= x.html ", "--press", "1037", "--press", "1"});
    EXPECT_EQ(viaDialog.exitCode, 0);
    EXPECT_EQ(viaDialog.out.toStdString(),
              exported(grey, HM_FORMAT_NCSA, "x.html", 0, 0) + "\nresult: 1\nformat: ncsa\n");
    const QImage picture(shot);
    EXPECT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), tv32::dialogUnitsOf(tv32::dialogFont()).size(254, 154));
    const HostRun cancelled = plughost({"hotmap", file, "--dialog", "--press", "1038", "--press", "2"});
    EXPECT_EQ(cancelled.exitCode, 1);
    EXPECT_EQ(cancelled.out, "result: 0\n");

    EXPECT_EQ(plughost({"hotmap", file, "--format", "html"}).exitCode, 2);
    EXPECT_EQ(plughost({"nosuchplugin"}).exitCode, 2);
    EXPECT_EQ(plughost({"hotmap", dir.filePath("missing.png")}).exitCode, 2);
}

// The whole-selection export called in-process on the same plane.
std::string exportedWhole(const QImage& plane, int32_t format, const char* url, int32_t maxAreas = 0) {
    std::string caught;
    hotmap::setClipboardSink([&](const std::string& t) {
        caught = t;
        return true;
    });
    EXPECT_GE(hmGenImageMapFromAPSBuf(0, plane.constBits(), plane.width(), plane.height(),
                                      int32_t(plane.bytesPerLine()), nullptr, url, format, maxAreas, 0,
                                      nullptr),
              1);
    hotmap::setClipboardSink({});
    return caught;
}

TEST(PlugHost, HelpGoesToStandardOutput) {
    for (const char* flag : {"--help", "-h"}) {
        const HostRun r = plughost({flag});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(r.out.startsWith("usage:\n")) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains("--whole"));
        EXPECT_EQ(r.err.toStdString(), "");
    }
    EXPECT_EQ(plughost({"hotmap", "--help"}).exitCode, 0);
    const HostRun none = plughost({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.err.startsWith("usage:\n"));
}

TEST(PlugHost, WholeSelectionMapsEveryRegionAndSaysWhenCapped) {
    ASSERT_NE(tv32::ensureApplication(), nullptr);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A ring and a square on black.
    QImage img(40, 30, QImage::Format_Grayscale8);
    img.fill(0);
    for (int y = 2; y < 22; ++y)
        for (int x = 2; x < 22; ++x)
            if (x < 8 || x >= 16 || y < 8 || y >= 16) img.scanLine(y)[x] = 255;
    for (int y = 24; y < 28; ++y)
        for (int x = 30; x < 34; ++x)
            img.scanLine(y)[x] = 255;
    const QString file = dir.filePath("ring.png");
    ASSERT_TRUE(img.save(file));

    const HostRun r = plughost({"hotmap", file, "--whole", "--url", "a.html"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.toStdString(), "");
    const std::string want = exportedWhole(img, HM_FORMAT_INLINE, "a.html");
    EXPECT_EQ(want, "<AREA SHAPE=\"RECT\" COORDS=\"8,8,16,16\" NOHREF>\n"
                    "<AREA SHAPE=\"RECT\" COORDS=\"2,2,22,22\" HREF=\"a.html\">\n"
                    "<AREA SHAPE=\"RECT\" COORDS=\"30,24,34,28\" HREF=\"a.html\">");
    EXPECT_EQ(r.out.toStdString(),
              want + "\nresult: 1\nformat: inline\nregions: 2\nholes: 1\nareas: 3\npoints: 6\n"
                     "capped: no\n");

    const HostRun capped = plughost({"hotmap", file, "--whole", "--format", "cern", "--max-areas", "1"});
    EXPECT_EQ(capped.exitCode, 0);
    EXPECT_EQ(capped.out.toStdString(),
              "rectangle (2,2) (22,22) \nresult: 2\nformat: cern\nregions: 2\nholes: 1\n"
              "areas: 1\npoints: 2\ncapped: yes\n");
    EXPECT_EQ(capped.err.toStdString(),
              "plughost hotmap: the map was cut to fit 1 areas and 10000 points (--max-areas, "
              "--max-points)\n");

    EXPECT_EQ(plughost({"hotmap", file, "--whole", "--dialog"}).exitCode, 2);
    EXPECT_EQ(plughost({"hotmap", file, "--max-areas", "3"}).exitCode, 2);
    EXPECT_EQ(plughost({"hotmap", file, "--whole", "--max-points", "0"}).exitCode, 2);

    QImage black(8, 8, QImage::Format_Grayscale8);
    black.fill(0);
    const QString empty = dir.filePath("empty.png");
    ASSERT_TRUE(black.save(empty));
    const HostRun none = plughost({"hotmap", empty, "--whole"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "result: 0\n");
    EXPECT_EQ(none.err,
              "plughost hotmap: nothing is selected in " + empty + ": no pixel's grey value is above 128\n");
}

TEST(PlugHost, TheSelectionMayBeThePicturesAlpha) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Opaque where selected, white everywhere: the grey values would select it all.
    QImage img(20, 10, QImage::Format_ARGB32);
    img.fill(qRgba(255, 255, 255, 0));
    for (int y = 2; y < 5; ++y)
        for (int x = 3; x < 9; ++x)
            img.setPixel(x, y, qRgba(255, 255, 255, 255));
    const QString file = dir.filePath("alpha.png");
    ASSERT_TRUE(img.save(file));
    EXPECT_TRUE(
        plughost({"hotmap", file, "--format", "ncsa", "--url", "u"}).out.startsWith("rect u 3,2 8,4\n"));
    EXPECT_TRUE(
        plughost({"hotmap", file, "--whole", "--mask-channel", "alpha", "--format", "ncsa", "--url", "u"})
            .out.startsWith("rect u 3,2 9,5\n"));
    EXPECT_TRUE(plughost({"hotmap", file, "--mask-channel", "grey", "--format", "ncsa", "--url", "u"})
                    .out.startsWith("rect u 0,0 19,9\n"));
    // An alpha channel opaque everywhere selects nothing by itself: the grey values do.
    QImage opaque(20, 10, QImage::Format_ARGB32);
    opaque.fill(qRgba(0, 0, 0, 255));
    opaque.setPixel(4, 5, qRgba(200, 200, 200, 255));
    const QString flat = dir.filePath("opaque.png");
    ASSERT_TRUE(opaque.save(flat));
    EXPECT_TRUE(
        plughost({"hotmap", flat, "--format", "ncsa", "--url", "u"}).out.startsWith("rect u 4,5 4,5\n"));
    // No alpha to take.
    QImage grey(4, 4, QImage::Format_Grayscale8);
    grey.fill(255);
    const QString plain = dir.filePath("grey.png");
    ASSERT_TRUE(grey.save(plain));
    const HostRun r = plughost({"hotmap", plain, "--mask-channel", "alpha"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("no alpha channel"));
    EXPECT_EQ(plughost({"hotmap", plain, "--mask-channel", "red"}).exitCode, 2);
}

} // namespace
