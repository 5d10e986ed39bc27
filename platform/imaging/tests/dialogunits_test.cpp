// Dialog units: the arithmetic of the conversion, and the base units of the dialog font.
#include "imagelib/tv32qt.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(DialogUnits, BaseUnitsAreTheRoundedAverageWidthAndTheHeight) {
    EXPECT_EQ(tv32::DialogUnits::fromMeasures(312, 13).baseX, 6); // 6.0
    EXPECT_EQ(tv32::DialogUnits::fromMeasures(337, 13).baseX, 6); // 6.48
    EXPECT_EQ(tv32::DialogUnits::fromMeasures(338, 13).baseX, 7); // 6.5 rounds up
    EXPECT_EQ(tv32::DialogUnits::fromMeasures(312, 13).baseY, 13);
}

TEST(DialogUnits, ConversionRoundsHalvesAwayFromZero) {
    const tv32::DialogUnits du{6, 13};
    EXPECT_EQ(du.x(254), 381);
    EXPECT_EQ(du.y(154), 250); // 250.25
    EXPECT_EQ(du.x(1), 2);     // 1.5
    EXPECT_EQ(du.x(-1), -2);
    EXPECT_EQ(du.y(3), 5); // 4.875
    EXPECT_EQ(du.y(0), 0);
    // Position and size each converted on their own.
    EXPECT_EQ(du.rect(6, 6, 119, 65), QRect(9, 10, 179, 106));
    EXPECT_EQ(du.size(50, 14), QSize(75, 23));
    // No overflow for large coordinates.
    EXPECT_EQ(tv32::DialogUnits::mulDiv(1 << 29, 8, 4), 1 << 30);
}

TEST(DialogUnits, DialogFontIsElevenPixelsWithBaseUnitsOfItsOwn) {
    EXPECT_EQ(tv32::pointsToPixels(8), 11); // 10.67
    EXPECT_EQ(tv32::pointsToPixels(8, 120), 13);
    EXPECT_EQ(tv32::pointsToPixels(9), 12);
    ASSERT_NE(tv32::ensureApplication(), nullptr);
    const QFont font = tv32::dialogFont();
    EXPECT_EQ(font.pixelSize(), 11);
    const tv32::DialogUnits du = tv32::dialogUnitsOf(font);
    // Sans-serif faces at 11 pixels average 5 to 7 pixels a letter and are 12 to 14 high.
    EXPECT_GE(du.baseX, 5);
    EXPECT_LE(du.baseX, 7);
    EXPECT_GE(du.baseY, 12);
    EXPECT_LE(du.baseY, 14);
    if (QFontInfo(font).family() == QLatin1String("Liberation Sans")) {
        EXPECT_EQ(du.baseX, 6);
        EXPECT_EQ(du.baseY, 13);
    }
}

TEST(DialogUnits, GroupBoxFrameRunsThroughTheMiddleOfItsTitle) {
    ASSERT_NE(tv32::ensureApplication(), nullptr);
    QWidget parent;
    parent.setFont(tv32::dialogFont());
    QGroupBox* box = tv32::createTemplateGroupBox(QStringLiteral("Format"), &parent);
    box->setGeometry(0, 0, 120, 60);
    EXPECT_EQ(box->title(), QStringLiteral("Format"));
    const QImage img = box->grab().toImage();
    const int mid = QFontMetrics(box->font()).height() / 2;
    const QRgb line = box->palette().color(QPalette::Mid).rgb();
    EXPECT_EQ(img.pixel(0, mid), line);     // the left end of the top line
    EXPECT_EQ(img.pixel(110, mid), line);   // its right end, past the title
    EXPECT_EQ(img.pixel(0, 40), line);      // the left side
    EXPECT_NE(img.pixel(0, mid - 2), line); // nothing above the line
    EXPECT_NE(img.pixel(20, mid), line);    // the title breaks the line
}

} // namespace
