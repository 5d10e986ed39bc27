#include "shell/mainform.h"
#include "shell/officecaption.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <QFontDatabase>

#include <gtest/gtest.h>

#include <stdexcept>

using caption::Band;
using caption::PartFit;
using caption::PartText;

TEST(CaptionArithmetic, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(caption::muldiv(1, 3, 2), 2);
    EXPECT_EQ(caption::muldiv(-1, 3, 2), -2);
    EXPECT_EQ(caption::muldiv(1, -3, 2), -2);
    EXPECT_EQ(caption::muldiv(1, 5, 4), 1);
    EXPECT_EQ(caption::muldiv(1, -2, 3), -1);               // -0.67
    EXPECT_EQ(caption::muldiv(70000, 70000, 70000), 70000); // no 32-bit overflow
    EXPECT_EQ(caption::muldiv(5, 7, 0), -1);
}

TEST(CaptionArithmetic, GradientBandsHaveExactEdgesAndColours) {
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    EXPECT_EQ(caption::gradientBands(0, 492, 1, qRgb(1, 2, 3), white),
              (std::vector<Band>{{0, 492, qRgb(1, 2, 3)}}));
    EXPECT_EQ(caption::gradientBands(0, 492, 2, black, white),
              (std::vector<Band>{{0, 246, black}, {246, 492, white}}));
    EXPECT_EQ(caption::gradientBands(10, 5, 2, black, white),
              (std::vector<Band>{{10, 13, black}, {13, 15, white}}));

    const auto b64 = caption::gradientBands(0, 492, 64, black, qRgb(0, 0, 255));
    ASSERT_EQ(b64.size(), 64u);
    EXPECT_EQ(b64[0], (Band{0, 8, black}));                // 7.6875 -> 8
    EXPECT_EQ(b64[1], (Band{8, 15, qRgb(0, 0, 4)}));       // 15.375 -> 15; 255/63 = 4.05
    EXPECT_EQ(b64[32], (Band{246, 254, qRgb(0, 0, 130)})); // 8160/63 = 129.5 -> 130
    EXPECT_EQ(b64[63], (Band{484, 492, qRgb(0, 0, 255)}));

    // More bands than pixels: some are empty, every colour step is there.
    const auto b256 = caption::gradientBands(3, 100, 256, black, white);
    ASSERT_EQ(b256.size(), 256u);
    EXPECT_EQ(b256[1], (Band{3, 4, qRgb(1, 1, 1)}));           // 0.39 -> 0, 0.78 -> 1
    EXPECT_EQ(b256[128], (Band{53, 53, qRgb(128, 128, 128)})); // 50.0 .. 50.39
    EXPECT_EQ(b256[255].right, 103);

    // Falling channels round away from zero too: 200 + muldiv(1, -200, 3) = 200 - 67.
    const auto down = caption::gradientBands(0, 30, 4, qRgb(200, 0, 10), qRgb(0, 200, 10));
    EXPECT_EQ(down[1].color, qRgb(133, 67, 10));
    EXPECT_EQ(down[2].color, qRgb(67, 133, 10));

    // Whatever N and W, the bands tile the width in order.
    for (int n : {1, 2, 3, 7, 64, 255, 256})
        for (int w : {1, 2, 17, 100, 492, 1000}) {
            const auto bands = caption::gradientBands(5, w, n, black, white);
            int x = 5;
            for (const Band& b : bands) {
                ASSERT_EQ(b.left, x) << n << " " << w;
                ASSERT_GE(b.right, b.left);
                x = b.right;
            }
            EXPECT_EQ(x, 5 + w);
        }
}

TEST(CaptionArithmetic, ComposesAndReadsTheCaption) {
    const PartText acme{"Acme", true}, app{"Paint", true}, doc{"doc.txt", true};
    EXPECT_EQ(caption::compose(acme, app, doc), "Acme Paint doc.txt");
    EXPECT_EQ(caption::compose({"", true}, app, doc), "Paint doc.txt");
    EXPECT_EQ(caption::compose(acme, {"Paint", false}, doc), "Acme doc.txt");
    EXPECT_EQ(caption::compose(acme, {"", true}, doc), "Acme doc.txt");
    EXPECT_EQ(caption::compose(acme, app, {"doc.txt", false}), "Acme Paint");
    EXPECT_EQ(caption::compose(acme, {"", false}, {"", false}), "Acme");
    EXPECT_EQ(caption::compose({"", true}, {"", true}, {"Halcyon Installer...", true}),
              "Halcyon Installer...");

    EXPECT_EQ(caption::readCaption("Acme Paint doc.txt", acme, app), "doc.txt");
    EXPECT_EQ(caption::readCaption("Paint doc.txt", {"Acme", false}, app), "doc.txt");
    EXPECT_EQ(caption::readCaption("Other title", acme, app), "Other title");
    EXPECT_EQ(caption::readCaption("Halcyon Installer...", {"", true}, {"", true}), "Halcyon Installer...");
    // Only the first occurrence is dropped, and one blank after each part.
    EXPECT_EQ(caption::readCaption("Acme  Acme x", acme, {"", false}), "Acme x");
    EXPECT_EQ(caption::readCaption("Acme   x", acme, {"", false}), " x");
}

TEST(CaptionArithmetic, DropsCompanyThenAppNameAndJustifies) {
    const std::array<PartFit, 3> parts{PartFit{true, 40, false}, PartFit{true, 30, false},
                                       PartFit{true, 20, false}};
    // All three: 43 + 33 + 23 = 99 < 100.
    auto p = caption::placeParts(parts, 0, 100, jLeft);
    EXPECT_TRUE(p[0].drawn && p[1].drawn && p[2].drawn);
    EXPECT_EQ(p[0].x, 3);
    EXPECT_EQ(p[1].x, 46);
    EXPECT_EQ(p[2].x, 79);
    EXPECT_EQ(caption::placeParts(parts, 0, 200, jAuto)[0].x, 3);
    EXPECT_EQ(caption::placeParts(parts, 0, 200, jCenter)[0].x, 50 + 3);  // (200 - 99) / 2
    EXPECT_EQ(caption::placeParts(parts, 10, 200, jRight)[0].x, 101 + 3); // 200 - 99
    EXPECT_EQ(caption::placeParts(parts, 10, 200, jRight)[2].x, 200 - 20);

    // 99 is not narrower than 99: the company part goes first, then the application name.
    p = caption::placeParts(parts, 0, 99, jLeft);
    EXPECT_FALSE(p[0].drawn);
    EXPECT_EQ(p[1].x, 3);
    EXPECT_EQ(p[2].x, 36);
    p = caption::placeParts(parts, 0, 56, jCenter);
    EXPECT_FALSE(p[0].drawn);
    EXPECT_FALSE(p[1].drawn);
    EXPECT_EQ(p[2].x, 16 + 3);                                     // (56 - 23) / 2
    EXPECT_EQ(caption::placeParts(parts, 0, 20, jCenter)[2].x, 3); // too wide to centre
    p = caption::placeParts(parts, 0, 10, jRight);
    EXPECT_TRUE(p[2].drawn);
    EXPECT_EQ(p[2].x, 3);

    // Invisible parts take no room; visible empty ones take their 3 pixels but draw nothing.
    const std::array<PartFit, 3> mainWindow{PartFit{true, 0, true}, PartFit{true, 0, true},
                                            PartFit{true, 110, false}};
    p = caption::placeParts(mainWindow, 0, 492, jRight);
    EXPECT_FALSE(p[0].drawn);
    EXPECT_FALSE(p[1].drawn);
    EXPECT_EQ(p[2].x, 492 - 119 + 3);
    const std::array<PartFit, 3> hidden{PartFit{false, 400, false}, PartFit{true, 30, false},
                                        PartFit{false, 20, false}};
    p = caption::placeParts(hidden, 0, 100, jLeft);
    EXPECT_FALSE(p[0].drawn);
    EXPECT_EQ(p[1].x, 3);
    EXPECT_FALSE(p[2].drawn);
}

TEST(CaptionArithmetic, EllipsisCutsAtTheRight) {
    auto measure = [](const QString& s) { return 5 * static_cast<int>(s.size()); };
    EXPECT_EQ(caption::elide("abcdefghij", 50, measure), "abcdefghij");
    EXPECT_EQ(caption::elide("abcdefghij", 49, measure), "abcdef...");
    EXPECT_EQ(caption::elide("abcdefghij", 15, measure), "...");
    EXPECT_EQ(caption::elide("abcdefghij", 14, measure), "..");
    EXPECT_EQ(caption::elide("abcdefghij", 0, measure), "");
}

// --- the component ---

TEST(CaptionBar, NeedsAWindowAsOwner) {
    QWidget window;
    QWidget child(&window);
    EXPECT_THROW(TMSOfficeCaption{&child}, std::invalid_argument);
    EXPECT_THROW(TMSOfficeCaption{nullptr}, std::invalid_argument);
}

TEST(CaptionBar, PartsComposeTheWindowCaptionAndNumColorsIsClamped) {
    QWidget window;
    window.setWindowTitle("doc.txt");
    TMSOfficeCaption bar(&window);
    EXPECT_EQ(bar.CaptionText()->Caption(), "doc.txt");
    bar.CompanyText()->setCaption("Acme");
    EXPECT_EQ(window.windowTitle(), "Acme doc.txt");
    bar.AppNameText()->setCaption("Paint");
    EXPECT_EQ(window.windowTitle(), "Acme Paint doc.txt");
    EXPECT_EQ(bar.CaptionText()->Caption(), "doc.txt");
    window.setWindowTitle("Acme Paint other.txt");
    EXPECT_EQ(bar.CaptionText()->Caption(), "other.txt");
    bar.CompanyText()->setVisible(false);
    EXPECT_EQ(window.windowTitle(), "Paint other.txt");

    EXPECT_EQ(bar.NumColors(), 64);
    bar.setNumColors(0);
    bar.setNumColors(-5);
    EXPECT_EQ(bar.NumColors(), 64);
    bar.setNumColors(1000);
    EXPECT_EQ(bar.NumColors(), 256);
    bar.setNumColors(1);
    EXPECT_EQ(bar.NumColors(), 1);

    // A font set on a part makes it custom; kinds derive from the system caption font.
    EXPECT_EQ(bar.AppNameText()->FontKind(), fkSystem);
    bar.AppNameText()->setFontKind(fkSystemBI);
    EXPECT_TRUE(bar.AppNameText()->Font().bold());
    EXPECT_TRUE(bar.AppNameText()->Font().italic());
    bar.AppNameText()->setFont(QFont("Liberation Serif", 30));
    EXPECT_EQ(bar.AppNameText()->FontKind(), fkCustom);
    bar.AppNameText()->setFontKind(fkAutoHeight);
    bar.AppNameText()->setFont(QFont("Liberation Serif", 30));
    EXPECT_EQ(bar.AppNameText()->FontKind(), fkAutoHeight);
    EXPECT_LE(QFontInfo(bar.AppNameText()->Font()).pixelSize(),
              QFontInfo(bar.systemCaptionFont()).pixelSize());
}

TEST(CaptionBar, DestroyedBeforeItsWindowGivesTheCaptionAndTitleBarBack) {
    QWidget window;
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setWindowTitle("doc.txt");
    auto* bar = new TMSOfficeCaption(&window);
    bar->CompanyText()->setCaption("Acme");
    bar->AppNameText()->setCaption("Paint");
    EXPECT_EQ(window.windowTitle(), "Acme Paint doc.txt");
    delete bar;
    EXPECT_EQ(window.windowTitle(), "doc.txt");
    EXPECT_FALSE(window.windowFlags() & Qt::FramelessWindowHint);

    // The main window: its caption and the window system's frame come back.
    TForm1 form;
    form.MSOfficeCaption1->CompanyText()->setCaption("Halcyon");
    EXPECT_EQ(form.windowTitle(), "Halcyon Halcyon Installer...");
    delete form.MSOfficeCaption1;
    EXPECT_EQ(form.windowTitle(), "Halcyon Installer...");
    EXPECT_FALSE(form.windowFlags() & Qt::FramelessWindowHint);

    // Going down with its window, it leaves the window alone.
    auto* doomed = new QWidget;
    doomed->setWindowTitle("kept");
    (new TMSOfficeCaption(doomed))->CompanyText()->setCaption("Acme");
    int changes = 0;
    QObject::connect(doomed, &QWidget::windowTitleChanged, [&] { ++changes; });
    delete doomed;
    EXPECT_EQ(changes, 0);
}

TEST(CaptionBar, SystemFontsAreTheDesktopsTitleFont) {
    QWidget window;
    TMSOfficeCaption bar(&window);
    const QFont title = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    EXPECT_EQ(bar.systemCaptionFont(), title);
    EXPECT_EQ(bar.CaptionText()->Font(), title);
    bar.AppNameText()->setFontKind(fkSystemB);
    QFont bold = title;
    bold.setBold(true);
    EXPECT_EQ(bar.AppNameText()->Font(), bold);
}

TEST(CaptionBar, StripPixelsFollowTheBands) {
    QWidget window;
    window.resize(492, 100);
    TMSOfficeCaption bar(&window);
    EXPECT_EQ(bar.geometry(), QRect(0, 0, 492, TMSOfficeCaption::captionHeight()));
    bar.CaptionText()->setVisible(false); // bands only
    bar.setEnabled(geAlways);
    bar.setNumColors(4);
    for (auto set : {&TMSOfficeCaption::setColorLeftActive, &TMSOfficeCaption::setColorLeftInActive})
        (bar.*set)(QColor(0, 0, 0));
    for (auto set : {&TMSOfficeCaption::setColorRightActive, &TMSOfficeCaption::setColorRightInActive})
        (bar.*set)(QColor(255, 60, 0));
    const QImage img = bar.grab().toImage();
    ASSERT_EQ(img.size(), QSize(492, TMSOfficeCaption::captionHeight()));
    // Edges 0, 123, 246, 369, 492; colours 0, 85, 170, 255 of red (60 / 3 = 20 of green).
    const struct {
        int x;
        QRgb c;
    } probes[] = {{0, qRgb(0, 0, 0)},      {122, qRgb(0, 0, 0)},    {123, qRgb(85, 20, 0)},
                  {245, qRgb(85, 20, 0)},  {246, qRgb(170, 40, 0)}, {368, qRgb(170, 40, 0)},
                  {369, qRgb(255, 60, 0)}, {491, qRgb(255, 60, 0)}};
    for (const auto& p : probes)
        for (int y : {0, 9, TMSOfficeCaption::captionHeight() - 1})
            EXPECT_EQ(img.pixel(p.x, y), p.c) << p.x << "," << y;
}

TEST(CaptionBar, MainWindowHasABlackBarWithItsCaptionInWhite) {
    TForm1 form;
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.windowTitle(), "Halcyon Installer...");
    const int h = TMSOfficeCaption::captionHeight();
    EXPECT_EQ(form.size(), QSize(492, 361 + h));
    EXPECT_EQ(form.ClientArea->geometry(), QRect(0, h, 492, 361));
    EXPECT_EQ(form.MSOfficeCaption1->geometry(), QRect(0, 0, 492, h));
    // Controls keep their places in the client area.
    EXPECT_EQ(form.ScrollText1->parentWidget(), form.ClientArea);
    EXPECT_EQ(form.ScrollText1->geometry(), QRect(39, 237, 418, 14));
    EXPECT_EQ(form.Image1->geometry(), QRect(0, 0, 492, 361));
    EXPECT_EQ(form.ScrollText1->Steps(), 50);
    EXPECT_EQ(form.ScrollText1->Speed(), 280);
    EXPECT_EQ(form.ScrollText1->Color(), QColor(Qt::black));
    EXPECT_EQ(form.ScrollText1->FontColor(), QColor(Qt::white));
    EXPECT_TRUE(form.ScrollText1->Running());

    const QImage img = form.MSOfficeCaption1->grab().toImage();
    int white = 0, other = 0, firstWhite = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            if (c == qRgb(255, 255, 255)) {
                ++white;
                if (firstWhite < 0 || x < firstWhite) firstWhite = x;
            } else if (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c)) {
                ++other;
            }
        }
    EXPECT_GT(white, 50);     // the caption's strokes
    EXPECT_EQ(other, 0);      // only black, white and the grey of their edges
    EXPECT_GE(firstWhite, 3); // the caption part starts 3 pixels in
    EXPECT_LE(firstWhite, 3 + 2);
    EXPECT_EQ(img.pixel(480, 9), qRgb(0, 0, 0));
}

TEST(CaptionBar, FollowsActivationAndMovesTheWindowWhenDragged) {
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.resize(300, 100);
    TMSOfficeCaption bar(&window);
    bar.CaptionText()->setVisible(false);
    bar.setEnabled(geAlways);
    bar.setNumColors(1); // one band in the left colour
    bar.setColorLeftActive(QColor(200, 0, 0));
    bar.setColorLeftInActive(QColor(0, 0, 200));
    EXPECT_EQ(bar.grab().toImage().pixel(150, 9), qRgb(0, 0, 200));
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(bar.Active());
    EXPECT_EQ(bar.grab().toImage().pixel(150, 9), qRgb(200, 0, 0));

    const QPoint start = window.pos();
    const QPoint press = bar.mapToGlobal(QPoint(50, 9));
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(50, 9), QPointF(press), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&bar, &down);
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 9), QPointF(press + QPoint(40, 25)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar, &move);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(90, 34), QPointF(press + QPoint(40, 25)),
                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&bar, &up);
    // The offscreen window system does not move windows itself, so the bar follows the mouse.
    EXPECT_EQ(window.pos(), start + QPoint(40, 25));
}

TEST(CaptionBar, OwnerDrawingCanNarrowTheTextArea) {
    QWidget window;
    window.resize(400, 100);
    window.setWindowTitle("Caption");
    TMSOfficeCaption bar(&window);
    bar.setEnabled(geNever);
    bar.CaptionText()->setColorInactive(Qt::white);
    bar.CaptionText()->setColorActive(Qt::white);
    bool called = false;
    bar.OnDrawCaption = [&](TMSOfficeCaption* sender, QPainter& canvas, QRect& r) {
        called = sender == &bar;
        EXPECT_EQ(r, QRect(0, 0, 400, TMSOfficeCaption::captionHeight()));
        canvas.fillRect(QRect(0, 0, 10, 10), QColor(1, 2, 3));
        r.setLeft(100);
    };
    const QImage img = bar.grab().toImage();
    EXPECT_TRUE(called);
    EXPECT_EQ(img.pixel(5, 5), qRgb(1, 2, 3));
    int firstWhite = -1;
    for (int x = 0; x < img.width() && firstWhite < 0; ++x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) == qRgb(255, 255, 255)) {
                firstWhite = x;
                break;
            }
    EXPECT_GE(firstWhite, 103);
    EXPECT_LE(firstWhite, 106);
}
