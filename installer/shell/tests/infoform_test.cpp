#include "framework/settings.h"
#include "shell/infoform.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <fstream>

namespace {

void writeFile(const QString& path, const std::string& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

struct ViewerFixture : ::testing::Test {
    QTemporaryDir dir;
    TInstallSettings saved = InstallSettings;
    std::string savedFolder = ProgramFolder;
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ProgramFolder = dir.path().toStdString() + "/";
    }
    void TearDown() override {
        InstallSettings = saved;
        ProgramFolder = savedFolder;
    }
    QStringList memoLines(const TForm4& f) const {
        QStringList lines;
        for (QTextBlock b = f.Memo1->document()->begin(); b.isValid(); b = b.next())
            lines << b.text();
        return lines;
    }
};

} // namespace

TEST(OemText, MapsEveryByteThroughTheScreenFontTable) {
    EXPECT_EQ(infotext::oemToUnicode(0x41), u'A');
    EXPECT_EQ(infotext::oemToUnicode(0x01), u'\u263A'); // smiley
    EXPECT_EQ(infotext::oemToUnicode(0x09), u'\t');
    EXPECT_EQ(infotext::oemToUnicode(0x7F), u'\u2302');
    EXPECT_EQ(infotext::oemToUnicode(0xB0), u'\u2591');
    EXPECT_EQ(infotext::oemToUnicode(0xC9), u'\u2554');
    EXPECT_EQ(infotext::oemToUnicode(0xDB), u'\u2588');
    EXPECT_EQ(infotext::oemToUnicode(0xE1), u'\u00DF');
    EXPECT_EQ(infotext::oemToUnicode(0xFF), u'\u00A0');
    // No two bytes share a character.
    QSet<char16_t> seen;
    for (int b = 0; b < 256; ++b)
        seen.insert(infotext::oemToUnicode(static_cast<unsigned char>(b)));
    EXPECT_EQ(seen.size(), 256);
}

TEST(OemText, SplitsAtEveryLineEndAndStopsAtNul) {
    using V = std::vector<std::string>;
    EXPECT_EQ(infotext::splitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(infotext::splitLines("a\n\nb\r\n"), (V{"a", "", "b"}));
    EXPECT_EQ(infotext::splitLines("a\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(infotext::splitLines(std::string_view("ab\ncd\0ef\ngh", 11)), (V{"ab", "cd"}));
    EXPECT_EQ(infotext::splitLines(""), V{});
}

TEST(OemText, LoadFailureLineIsCutTo255Characters) {
    EXPECT_EQ(infotext::loadFailureLine(""), QStringLiteral("Can`t load file "));
    EXPECT_EQ(infotext::loadFailureLine("x.nfo"), QStringLiteral("Can`t load file x.nfo"));
    const QString cut = infotext::loadFailureLine(std::string(400, 'n'));
    EXPECT_EQ(cut.size(), 255);
    EXPECT_TRUE(cut.startsWith(QStringLiteral("Can`t load file nnn")));
}

TEST_F(ViewerFixture, ShowsTheFileAndTakesItsNameAsCaption) {
    InstallSettings.InfoFile = "rel.nfo";
    writeFile(dir.filePath("rel.nfo"), "\xC9\xCD\xBB\r\n\xBA\x01\xBA\n\xC8\xCD\xBC\r\n");
    TForm4 f;
    EXPECT_EQ(f.windowTitle(), "NFO");
    f.FormActivate();
    EXPECT_EQ(memoLines(f), (QStringList{u"╔═╗"_qs, u"║☺║"_qs, u"╚═╝"_qs}));
    EXPECT_EQ(f.windowTitle(), "rel.nfo");
    EXPECT_TRUE(f.Memo1->isReadOnly());
    EXPECT_EQ(f.Memo1->geometry(), QRect(0, 0, 515, 422));

    // A changed file shows at the next activation.
    writeFile(dir.filePath("rel.nfo"), std::string("new\0hidden", 10));
    f.FormActivate();
    EXPECT_EQ(memoLines(f), QStringList{"new"});
}

TEST_F(ViewerFixture, UnopenableFileGivesTheFailureLineAndKeepsTheCaption) {
    TForm4 f;
    InstallSettings.InfoFile = "";
    f.FormActivate(); // the program folder itself: not a file
    EXPECT_EQ(memoLines(f), QStringList{"Can`t load file "});
    EXPECT_EQ(f.windowTitle(), "NFO");

    InstallSettings.InfoFile = "missing.nfo";
    f.FormActivate();
    EXPECT_EQ(memoLines(f), QStringList{"Can`t load file missing.nfo"});
    EXPECT_EQ(f.windowTitle(), "NFO");

    writeFile(dir.filePath("missing.nfo"), "ok");
    f.FormActivate();
    EXPECT_EQ(f.windowTitle(), "missing.nfo");
    QFile::remove(dir.filePath("missing.nfo"));
    f.FormActivate();
    EXPECT_EQ(f.windowTitle(), "missing.nfo"); // an earlier success's caption stays
}

TEST_F(ViewerFixture, AReadErrorAfterOpeningReachesTheErrorBoxAndLeavesTheBoxEmpty) {
    TForm4 f;
    f.Memo1->setPlainText("old");
    ProgramFolder = "/";
    InstallSettings.InfoFile = "proc/self/mem"; // opens, but reading at offset 0 fails
    EXPECT_THROW(f.FormActivate(), forms::EInOutError);
    EXPECT_TRUE(f.Memo1->toPlainText().isEmpty());
    EXPECT_EQ(f.windowTitle(), "NFO");

    InstallSettings.InfoFile = "dev/zero"; // a device is not a file: it would never end
    f.FormActivate();
    EXPECT_EQ(memoLines(f), QStringList{"Can`t load file dev/zero"});
}

TEST_F(ViewerFixture, TabStaysInTheBox) {
    TForm4 f;
    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    f.Memo1->setFocus();
    QTest::keyClick(f.Memo1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f.Memo1);
}

// The box-drawing characters join: a vertical double line runs without a gap across lines, and a
// horizontal one across character cells.
TEST_F(ViewerFixture, BoxDrawingLinesConnect) {
    InstallSettings.InfoFile = "box.nfo";
    std::string art = "\xC9";
    art += std::string(20, '\xCD');
    art += "\xBB\r\n";
    for (int i = 0; i < 5; ++i)
        art += "\xBA" + std::string(20, ' ') + "\xBA\r\n";
    art += "\xC8" + std::string(20, '\xCD') + "\xBC\r\n";
    writeFile(dir.filePath("box.nfo"), art);
    TForm4 f;
    f.show();
    f.FormActivate();
    const QImage img = f.Memo1->viewport()->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
    ASSERT_FALSE(img.isNull());
    auto lum = [&](int x, int y) { return static_cast<int>(img.constScanLine(y)[x]); };

    // The column with the most lit pixels is a stroke of the left double line.
    int bestX = 0, bestCount = -1;
    for (int x = 0; x < img.width() / 2; ++x) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            n += lum(x, y) > 128;
        if (n > bestCount) bestCount = n, bestX = x;
    }
    int top = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        if (lum(bestX, y) > 128) {
            if (top < 0) top = y;
            bottom = y;
        }
    ASSERT_GT(bottom - top, 5 * 10) << "the line spans the five middle rows";
    for (int y = top; y <= bottom; ++y)
        EXPECT_GT(lum(bestX, y), 200) << "gap at y=" << y;

    // The row with the most lit pixels is a stroke of a horizontal double line.
    int bestY = 0;
    bestCount = -1;
    for (int y = 0; y < img.height(); ++y) {
        int n = 0;
        for (int x = 0; x < img.width(); ++x)
            n += lum(x, y) > 128;
        if (n > bestCount) bestCount = n, bestY = y;
    }
    int left = -1, right = -1;
    for (int x = 0; x < img.width(); ++x)
        if (lum(x, bestY) > 128) {
            if (left < 0) left = x;
            right = x;
        }
    ASSERT_GT(right - left, 20 * 5);
    for (int x = left; x <= right; ++x)
        EXPECT_GT(lum(x, bestY), 200) << "gap at x=" << x;
}
