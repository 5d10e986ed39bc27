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
};

HostRun plughost(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(KIT_BIN_DIR "/plughost"), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput())};
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

} // namespace
