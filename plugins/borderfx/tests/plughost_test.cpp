// The plug-in host's borderfx command on generated pictures: the result files and what it prints.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct HostRun {
    int exitCode = -1;
    QString out;
};

HostRun plughost(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(KIT_BIN_DIR "/plughost"), QStringList{QStringLiteral("borderfx")} + args);
    HostRun r;
    if (!p.waitForFinished(60000)) return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    return r;
}

QImage gradient(int w, int h) {
    QImage im(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) im.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) % 256));
    return im;
}

} // namespace

TEST(PlughostBorderfx, FramesASelectionOfAPicture) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage in = gradient(200, 150);
    ASSERT_TRUE(in.save(dir.filePath("in.png")));
    const HostRun r = plughost({dir.filePath("in.png"), "--select", "50,40,150,110", "--out", dir.filePath("out.png"),
                            "--out-alpha", dir.filePath("alpha.png")});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("originX: -30\noriginY: -10\nresult: 1")) << r.out.toStdString();
    const QImage out(dir.filePath("out.png")), alpha(dir.filePath("alpha.png"));
    ASSERT_EQ(out.size(), QSize(100 + 40, 70 + 40));
    ASSERT_EQ(alpha.size(), QSize(140, 110));
    // The selection sits at (30, 10) of the result, unchanged; the frame is blue and opaque.
    EXPECT_EQ(out.pixel(30, 10), in.pixel(50, 40));
    EXPECT_EQ(out.pixel(129, 79), in.pixel(149, 109));
    EXPECT_EQ(out.pixel(25, 5), qRgb(0, 0, 255));
    EXPECT_EQ(qGray(alpha.pixel(25, 5)), 255);
}

TEST(PlughostBorderfx, GreyPictureAndRefusedArguments) {
    QTemporaryDir dir;
    QImage grey = gradient(60, 40).convertToFormat(QImage::Format_Grayscale8);
    ASSERT_TRUE(grey.save(dir.filePath("g.png")));
    const HostRun r = plughost({dir.filePath("g.png"), "--select", "0,0,60,40", "--out", dir.filePath("o.png"),
                            "--out-alpha", dir.filePath("a.png")});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    const QImage out(dir.filePath("o.png"));
    EXPECT_TRUE(out.isGrayscale());
    EXPECT_EQ(qGray(out.pixel(25, 5)), 29) << "blue frame on a grey picture";
    EXPECT_EQ(plughost({dir.filePath("g.png"), "--select", "0,0,61,40", "--out", "x", "--out-alpha", "y"}).exitCode, 2);
    EXPECT_EQ(plughost({dir.filePath("g.png"), "--select", "1,2,3", "--out", "x", "--out-alpha", "y"}).exitCode, 2);
}
