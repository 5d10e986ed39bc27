// plughost borderfx --set: parameters go through the real dialog's controls and OK.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

int runHost(const QStringList& args, QString* out) {
    QProcess p;
    p.start(QStringLiteral(KIT_BIN_DIR "/plughost"), QStringList{QStringLiteral("borderfx")} + args);
    if (!p.waitForFinished(60000)) return -1;
    *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode();
}

} // namespace

TEST(PlughostBorderfxSet, ParametersThroughTheDialog) {
    QTemporaryDir dir;
    QImage in(120, 90, QImage::Format_RGB888);
    in.fill(qRgb(200, 180, 160)); // not grey: a grey picture is filtered as grey
    ASSERT_TRUE(in.save(dir.filePath("in.png")));
    const QStringList base{dir.filePath("in.png"), "--select",    "30,20,90,70",        "--out",
                           dir.filePath("o.png"),  "--out-alpha", dir.filePath("a.png")};
    QString out;
    // Frame 4 in green, shadow 6 right and 2 down, opaque, no soft edge.
    ASSERT_EQ(runHost(base + QStringList{"--set",
                                         "frameWidth=4,frameColor=#00FF00,shadowDirection=3,shadowOffsetX=6,"
                                         "shadowOffsetY=2,transparency=0,blending=off,shadowColor=#000080"},
                      &out),
              0)
        << out.toStdString();
    EXPECT_TRUE(out.contains("originX: -4\noriginY: -4\nresult: 1")) << out.toStdString();
    const QImage o(dir.filePath("o.png"));
    ASSERT_EQ(o.size(), QSize(60 + 8 + 6, 50 + 8 + 2));
    EXPECT_EQ(o.pixel(1, 1), qRgb(0, 255, 0));       // frame
    EXPECT_EQ(o.pixel(72, 58), qRgb(0, 0, 128));     // shadow, bottom right
    EXPECT_EQ(o.pixel(10, 10), qRgb(200, 180, 160)); // the selection
    // A value outside the edit's range is refused and nothing is delivered.
    EXPECT_EQ(runHost(base + QStringList{"--set", "transparency=100"}, &out), 1);
    EXPECT_TRUE(out.contains("[0 , 99]")) << out.toStdString();
    EXPECT_TRUE(out.contains("result: 0")) << out.toStdString();
    EXPECT_EQ(runHost(base + QStringList{"--set", "frame=off,shadow=off"}, &out), 1);
}

// A textured frame: the library beside the plug-in gives texture 1 when the dialog opens.
TEST(PlughostBorderfxSet, TexturedFrameFromTheLibrary) {
    if (!QFile::exists(QStringLiteral(KIT_BIN_DIR "/qxmagic.smp")))
        GTEST_SKIP() << "no texture library built";
    QTemporaryDir dir;
    for (const bool grey : {false, true}) {
        QImage in(120, 90, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        in.fill(grey ? qRgb(128, 128, 128) : qRgb(200, 180, 160));
        ASSERT_TRUE(in.save(dir.filePath("in.png")));
        const QStringList base{dir.filePath("in.png"), "--select",    "30,20,90,70",         "--out",
                               dir.filePath("o.png"),  "--out-alpha", dir.filePath("a.png"), "--set"};
        QString out;
        ASSERT_EQ(runHost(base + QStringList{"frameWidth=8,frameFill=texture,shadow=off"}, &out), 0)
            << out.toStdString();
        const QImage textured(dir.filePath("o.png"));
        ASSERT_EQ(runHost(base + QStringList{"frameWidth=8,frameColor=#FF0000,shadow=off"}, &out), 0)
            << out.toStdString();
        const QImage plain(dir.filePath("o.png"));
        ASSERT_EQ(textured.size(), QSize(76, 66));
        ASSERT_EQ(plain.size(), textured.size());
        QSet<QRgb> colours;
        int differ = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 76; ++x) {
                colours.insert(textured.pixel(x, y));
                differ += textured.pixel(x, y) != plain.pixel(x, y);
            }
        EXPECT_GT(differ, 76 * 8 * 9 / 10) << "grey " << grey;
        EXPECT_GT(colours.size(), 20) << "a texture, not one colour; grey " << grey;
        EXPECT_EQ(textured.pixel(38, 33), in.pixel(38 - 8 + 30, 33 - 8 + 20)) << "the selection";
    }
}

// Another texture of the library by its number, as the picker would take it; a number the
// library does not hold is refused.
TEST(PlughostBorderfxSet, TextureByNumber) {
    if (!QFile::exists(QStringLiteral(KIT_BIN_DIR "/qxmagic.smp")))
        GTEST_SKIP() << "no texture library built";
    QTemporaryDir dir;
    QImage in(120, 90, QImage::Format_RGB888);
    in.fill(qRgb(200, 180, 160));
    ASSERT_TRUE(in.save(dir.filePath("in.png")));
    const QStringList base{dir.filePath("in.png"), "--select",    "30,20,90,70",         "--out",
                           dir.filePath("o.png"),  "--out-alpha", dir.filePath("a.png"), "--set"};
    QString out;
    QImage frames[3];
    const char* const settings[] = {"frameFill=texture,shadow=off",
                                    "frameFill=texture,textureIndex=1,shadow=off",
                                    "frameFill=texture,textureIndex=7,shadow=off"};
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(runHost(base + QStringList{settings[k]}, &out), 0) << out.toStdString();
        frames[k] = QImage(dir.filePath("o.png"));
    }
    EXPECT_EQ(frames[0], frames[1]) << "texture 1 is the one the dialog starts with";
    EXPECT_NE(frames[0], frames[2]);
    EXPECT_EQ(runHost(base + QStringList{"frameFill=texture,textureIndex=100000,shadow=off"}, &out), 1);
    EXPECT_TRUE(out.contains("result: 0")) << out.toStdString();
}
