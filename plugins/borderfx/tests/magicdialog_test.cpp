// The texture variations dialog: same start, same variations; picks, Random, OK and Cancel.
#include "magicdialog.h"
#include "texturelib.h"

#include "desktop/services.h"
#include "imagelib/imagelib.h"
#include "imagelib/tv32qt.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace borderfx;

namespace {

TV32TEXTURERECORD& rec(void* t) {
    return *static_cast<TV32TEXTURERECORD*>(t);
}

void* startTexture() {
    void* t = nullptr;
    EXPECT_TRUE(tv32TextureDataAlloc(&t, 0, 0));
    rec(t).angle = 350;
    rec(t).distortion = 180;
    rec(t).kind = 1;
    return t;
}

TEST(MagicTextures, SameStartSameVariationsAndPicks) {
    tv32::ensureApplication();
    const int live = tv32TextureCountLive();
    void* given = startTexture();
    const TV32TEXTURERECORD before = rec(given);
    {
        MagicTexturesDialog a(nullptr, given);
        ASSERT_FALSE(a.failed());
        EXPECT_EQ(178, rec(a.variations().objects[8]).angle);
        EXPECT_EQ(20, rec(a.variations().objects[1]).distortion);
        TV32TEXTURERECORD seen[9];
        for (int i = 0; i < 9; ++i)
            seen[i] = rec(a.variations().objects[i]);
        {
            MagicTexturesDialog b(nullptr, given);
            ASSERT_FALSE(b.failed());
            for (int i = 0; i < 9; ++i)
                EXPECT_EQ(0, std::memcmp(&seen[i], b.variations().objects[i], 56)) << "cell " << i;
        }
        // The first dialog's grid still reaches its own dialog.
        QWidget* cellWidget = a.grid()->findChild<QWidget*>();
        ASSERT_TRUE(cellWidget);
        const QRect corner = a.cellRect(6).translated(-cellWidget->pos());
        QTest::mouseClick(cellWidget, Qt::LeftButton, {}, corner.center());
        EXPECT_EQ(0, std::memcmp(&seen[6], a.variations().objects[4], 56)) << "a click on cell 6 recentres";
    }
    {
        MagicTexturesDialog d(nullptr, given);
        ASSERT_FALSE(d.failed());
        EXPECT_GT(d.cellRect(8).left(), d.cellRect(4).left()) << "cell rectangles reported by the grid";
        // A picture of the dialog for looking at, when asked for.
        if (const QByteArray dir = qgetenv("KIT_SHOT_DIR"); !dir.isEmpty())
            d.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/magic-textures.png"));
        TV32TEXTURERECORD middle = rec(d.variations().objects[4]);
        d.clickCell(4);
        EXPECT_EQ(0, std::memcmp(&middle, d.variations().objects[4], 56)) << "the middle changes nothing";
        const TV32TEXTURERECORD corner = rec(d.variations().objects[0]);
        d.clickCell(0);
        EXPECT_EQ(0, std::memcmp(&corner, d.variations().objects[4], 56)) << "the corner is the new middle";
        EXPECT_EQ((corner.angle + 35) % 360, rec(d.variations().objects[0]).angle);
        d.clickCell(8);
        d.pressCommand(2);
        EXPECT_EQ(0, std::memcmp(&before, given, 56)) << "Cancel leaves the given object alone";
    }
    {
        MagicTexturesDialog d(nullptr, given);
        d.clickCell(2);
        const TV32TEXTURERECORD middle = rec(d.variations().objects[4]);
        d.pressCommand(1);
        EXPECT_EQ(0, std::memcmp(&middle, given, 56)) << "OK writes the middle into the given object";
    }
    tv32TextureDataFree(given);
    EXPECT_EQ(live, tv32TextureCountLive());
}

TEST(MagicTextures, CellsAreDrawnAtTheHiddenSampleSize) {
    tv32::ensureApplication();
    const int buffers = buf32CountLive();
    void* given = startTexture();
    {
        MagicTexturesDialog d(nullptr, given);
        ASSERT_FALSE(d.failed());
        QWidget* sample = d.sample();
        ASSERT_TRUE(sample);
        EXPECT_EQ(QStringLiteral("3109"), sample->objectName());
        EXPECT_TRUE(sample->isHidden());
        // The cell pictures have the size of the sample's one picture, fitted to its control,
        // and the grid's cells are within a pixel of it.
        EXPECT_GT(d.cellWidth(), 20);
        EXPECT_GT(d.cellHeight(), 20);
        EXPECT_LE(d.cellWidth(), sample->width());
        EXPECT_LE(d.cellHeight(), sample->height());
        EXPECT_TRUE(d.cellWidth() == sample->width() || d.cellHeight() == sample->height());
        EXPECT_LE(std::abs(d.cellRect(4).width() - d.cellWidth()), 2);
        EXPECT_LE(std::abs(d.cellRect(4).height() - d.cellHeight()), 2);
        EXPECT_EQ(9 + buffers, buf32CountLive()) << "the nine cell pictures and nothing else";
    }
    EXPECT_EQ(buffers, buf32CountLive());
    tv32TextureDataFree(given);
}

TEST(MagicTextures, FailedDrawingEndsTheDialogWithCancelAndLeaksNothing) {
    tv32::ensureApplication();
    const int buffers = buf32CountLive();
    const int textures = tv32TextureCountLive();
    void* given = startTexture();
    const TV32TEXTURERECORD before = rec(given);
    // No picture can be made: the grid is never built.
    for (int allowed : {0, 1, 5, 11}) {
        buf32FailAfter(allowed);
        {
            MagicTexturesDialog d(nullptr, given);
            buf32FailAfter(-1);
            EXPECT_TRUE(d.failed()) << allowed;
            EXPECT_EQ(2, d.run());
            EXPECT_EQ(nullptr, QApplication::overrideCursor()) << "the arrow is back";
        }
        EXPECT_EQ(buffers, buf32CountLive()) << allowed;
    }
    // Drawing the neighbours of a picked cell fails: the dialog ends as Cancel.
    {
        MagicTexturesDialog d(nullptr, given);
        ASSERT_FALSE(d.failed());
        d.show();
        buf32FailAfter(3);
        d.clickCell(0);
        buf32FailAfter(-1);
        EXPECT_EQ(2, d.result());
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(nullptr, QApplication::overrideCursor());
    }
    EXPECT_EQ(buffers, buf32CountLive());
    EXPECT_EQ(0, std::memcmp(&before, given, 56));
    tv32TextureDataFree(given);
    EXPECT_EQ(textures, tv32TextureCountLive());
}

// OK that cannot write the middle texture back (the object it was given is gone) ends like a
// failure, never with OK.
TEST(MagicTextures, OkThatCannotWriteTheTextureBackFails) {
    tv32::ensureApplication();
    void* given = startTexture();
    MagicTexturesDialog d(nullptr, given);
    ASSERT_FALSE(d.failed());
    ASSERT_TRUE(tv32TextureDataFree(given)); // behind the dialog's back
    d.pressCommand(1);
    EXPECT_EQ(d.result(), 2);
}

TEST(MagicTextures, RandomFirstGivesTheSameResultFromAFreshGenerator) {
    tv32::ensureApplication();
    QTemporaryDir dir;
    desktop::Recorder boxes;
    ReleaseTextureLibrary();
    SetLibraryFolder(dir.path().toStdString() + "/");
    BuildLibraryPath();
    const int live = tv32TextureCountLive();
    void* given = startTexture();
    TV32TEXTURERECORD results[2];
    // The generator starts at 1 in every process: put this thread's back to 1 to stand for a new
    // process (the dialog must stay on the interface thread).
    for (auto& r : results) {
        RuntimeRandReset();
        MagicTexturesDialog d(nullptr, given);
        ASSERT_FALSE(d.failed());
        d.pressCommand(3106);
        r = rec(d.variations().objects[4]);
        d.pressCommand(2);
    }
    EXPECT_EQ(0, std::memcmp(&results[0], &results[1], 56));
    tv32TextureDataFree(given);
    EXPECT_EQ(live, tv32TextureCountLive());
    SetLibraryFolder({});
}

} // namespace
