// Common services, display, about box and window handles.
#include "imagelib/imagelib.h"
#include "imagelib/tv32qt.h"

#include "desktop/services.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

QApplication* app() {
    QApplication* a = tv32::ensureApplication();
    EXPECT_NE(a, nullptr);
    return a;
}

TEST(Strings, CommonTableIsBoundedAndKnowsResamplingFailures) {
    char buf[260];
    ASSERT_GT(c32GetString(1001, buf, sizeof buf), 0);
    EXPECT_NE(std::string(buf).find("resampled"), std::string::npos);
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(c32GetString(1001, small, sizeof small), 7);
    EXPECT_EQ(small[7], 0);
    EXPECT_EQ(c32GetString(4242, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
}

TEST(MessageBoxes, RecordBecomesABoxAndTheFlagDecidesTheErrorInformation) {
    app();
    desktop::Recorder rec;
    char caption[] = "Frame and Shadow";
    char text[] = "The image could not be resampled.\n\rPlease close some programs.";
    C32MSGBOX mb{0, caption, 0x30, text, 1, 1, 80003, 1, 1, 0, 0};
    c32SetDLLErrInfo(1, 2, 3, 4, 5, 6);
    ASSERT_EQ(c32ShowMb(&mb), 1);
    ASSERT_EQ(rec.boxes().size(), 1u);
    EXPECT_EQ(rec.boxes()[0].title, "Frame and Shadow");
    EXPECT_EQ(rec.boxes()[0].text, "The image could not be resampled.\nPlease close some programs.");
    EXPECT_EQ(rec.boxes()[0].icon, desktop::BoxIcon::Warning);
    int32_t v[6];
    EXPECT_EQ(c32GetDLLErrInfo(v), 0); // flag 0: reset before the box

    c32SetDLLErrInfo(0, 0, 5200, 0, 0, 0);
    mb.keepErrorInfo = 1;
    mb.style = 0x10;
    ASSERT_EQ(c32ShowMb(&mb), 1);
    EXPECT_EQ(rec.boxes()[1].icon, desktop::BoxIcon::Error);
    ASSERT_EQ(c32GetDLLErrInfo(v), 1);
    EXPECT_EQ(v[2], 5200);
    c32ResetDLLErrInfo();
    EXPECT_EQ(c32GetDLLErrInfo(v), 0);
    EXPECT_EQ(v[2], 0);
    EXPECT_EQ(c32ShowMb(nullptr), 0);
}

TEST(Paths, SplitAtBothSeparatorsAddSlashAndTrimBlanks) {
    char out[TVFD_MAX_PATH];
    tvfdSplitPathname("/usr/lib/kit/libhotmap.so", TVFD_FOLDER, out);
    EXPECT_STREQ(out, "/usr/lib/kit");
    tvfdSplitPathname("C:\\Talvor\\plugins\\hotmap.dll", TVFD_FOLDER, out);
    EXPECT_STREQ(out, "C:\\Talvor\\plugins");
    tvfdSplitPathname("mixed/dir\\file.txt", TVFD_NAME, out);
    EXPECT_STREQ(out, "file.txt");
    tvfdSplitPathname("/libhotmap.so", TVFD_FOLDER, out);
    EXPECT_STREQ(out, "/");
    tvfdSplitPathname("bare", TVFD_FOLDER, out);
    EXPECT_STREQ(out, "");
    // A result never runs past its buffer.
    std::string longPath(600, 'a');
    longPath += "/x";
    EXPECT_EQ(tvfdSplitPathname(longPath.c_str(), TVFD_FOLDER, out), TVFD_MAX_PATH - 1);

    char p[TVFD_MAX_PATH] = "/opt/kit";
    EXPECT_STREQ(tvfdAddSlash(p), "/opt/kit/");
    EXPECT_STREQ(tvfdAddSlash(p), "/opt/kit/");
    char q[TVFD_MAX_PATH] = "C:\\kit\\";
    EXPECT_STREQ(tvfdAddSlash(q), "C:\\kit\\");

    char t[] = " \t http://example.com/a b.html \r\n";
    EXPECT_STREQ(tvfdRemoveBlanks(t), "http://example.com/a b.html");
    char blank[] = "   ";
    EXPECT_STREQ(tvfdRemoveBlanks(blank), "");
}

int hookCalls = 0;
uint32_t hookInitial = 0;
int answerBlue(TV32HWND, uint32_t initial, uint32_t* chosen) {
    ++hookCalls;
    hookInitial = initial;
    *chosen = 0x00FF0000;
    return 1;
}

TEST(ColourChoice, HookAnswersAndTheDialogUsesBBGGRR) {
    app();
    uint32_t colour = 0x00123456;
    ASSERT_EQ(tv32SetChooseColorHook(answerBlue), nullptr);
    EXPECT_EQ(tv32ChooseColorEx(0, &colour, 0, 0), 1);
    EXPECT_EQ(hookInitial, 0x00123456u);
    EXPECT_EQ(colour, 0x00FF0000u);
    tv32SetChooseColorHook(nullptr);

    // The real dialog starts from the colour and gives back the chosen one.
    QColor startSeen;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        startSeen = dlg->currentColor();
        dlg->setCurrentColor(QColor(1, 2, 3));
        dlg->accept();
    });
    colour = 0x00332211; // red 0x11, green 0x22, blue 0x33
    EXPECT_EQ(tv32ChooseColorEx(0, &colour, 0, 0), 1);
    EXPECT_EQ(startSeen, QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(colour, 0x00030201u);
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(tv32ChooseColorEx(0, &colour, 0, 0), 0);
    EXPECT_EQ(colour, 0x00030201u);
}

TEST(Windows, HandlesFindWidgetsAndMoveWindowCentres) {
    app();
    auto* parent = new QWidget;
    parent->setGeometry(100, 100, 600, 400);
    parent->show();
    auto* dlg = new QDialog(parent);
    dlg->resize(200, 100);
    const TV32HWND hp = tv32::handleOfWidget(parent), hd = tv32::handleOfWidget(dlg);
    EXPECT_NE(hp, 0u);
    EXPECT_EQ(tv32::handleOfWidget(parent), hp);
    EXPECT_EQ(tv32::widgetFromHandle(hd), dlg);
    EXPECT_EQ(tv32::widgetFromHandle(0), nullptr);

    ASSERT_EQ(tv32MoveWindow(hd, TV32_PARENT_OF_WINDOW, 1), 1);
    EXPECT_LE((dlg->frameGeometry().center() - parent->frameGeometry().center()).manhattanLength(), 2);
    ASSERT_EQ(tv32MoveWindow(hd, hp, 1), 1);
    EXPECT_LE((dlg->frameGeometry().center() - parent->frameGeometry().center()).manhattanLength(), 2);
    EXPECT_EQ(tv32MoveWindow(0x12345, hp, 1), 0);

    delete parent; // takes the dialog along
    EXPECT_EQ(tv32::widgetFromHandle(hd), nullptr);
    EXPECT_EQ(tv32MoveWindow(hd, TV32_PARENT_OF_WINDOW, 1), 0);
}

std::string aboutSeen;
int recordAbout(TV32HWND, const char* text) {
    aboutSeen = text;
    return 1;
}

TEST(AboutBox, NamesTheProductAndThePlugIns) {
    app();
    const int before = scAboutInitCount();
    InitAboutDll();
    EXPECT_EQ(scAboutInitCount(), before + 1);
    scSetAboutBoxHook(recordAbout);
    EXPECT_EQ(ShowAboutBox(0), 1);
    scSetAboutBoxHook(nullptr);
    EXPECT_NE(aboutSeen.find("Talvor Sitecraft"), std::string::npos);
    EXPECT_NE(aboutSeen.find("Frame and Shadow"), std::string::npos);
    EXPECT_NE(aboutSeen.find("Image Map Tag"), std::string::npos);
    EXPECT_NE(aboutSeen.find("Version"), std::string::npos);

    QWidget owner;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->parentWidget(), &owner);
        EXPECT_TRUE(box->findChild<QLabel*>("product")->text().contains("Talvor Sitecraft"));
        box->close();
    });
    EXPECT_EQ(ShowAboutBox(tv32::handleOfWidget(&owner)), 1);
}

TEST(Display, RowsAreDrawnIntoTheRectangle) {
    app();
    QImage target(40, 30, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        QPainter p(&target);
        // 24 bits, the rectangle's size: drawn as given.
        std::vector<uint8_t> rgb(10 * 6 * 3);
        for (std::size_t i = 0; i < rgb.size(); i += 3) {
            rgb[i] = 200;
            rgb[i + 1] = 10;
            rgb[i + 2] = 50;
        }
        DISP32H d = 0;
        const TV32RECT r{5, 4, 15, 10};
        ASSERT_EQ(disp32ShowInitEx(&d, &p, 24, &r, 0, 0, 0, 0, 0), 1);
        ASSERT_EQ(disp32ShowData(d, rgb.data(), 0, 0, 6, 30), 1);
        ASSERT_EQ(disp32ShowEnd(d), 1);
        EXPECT_EQ(disp32ShowEnd(d), 0); // released

        // 8 bits, half the rectangle's size: grey, scaled up.
        std::vector<uint8_t> grey(5 * 4, 90);
        const TV32RECT r2{20, 10, 30, 18};
        ASSERT_EQ(disp32ShowInit(&d, &p, 8, &r2, nullptr, 1, 0), 1);
        ASSERT_EQ(disp32ShowData(d, grey.data(), 0, 0, 2, 5), 1);
        ASSERT_EQ(disp32ShowData(d, grey.data() + 10, 0, 0, 2, 5), 1);
        ASSERT_EQ(disp32ShowEnd(d), 1);
        EXPECT_EQ(disp32ShowInit(&d, nullptr, 24, &r, nullptr, 1, 0), 0);
    }
    EXPECT_EQ(target.pixel(5, 4), qRgb(200, 10, 50));
    EXPECT_EQ(target.pixel(14, 9), qRgb(200, 10, 50));
    EXPECT_EQ(target.pixel(15, 9), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(4, 4), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(20, 10), qRgb(90, 90, 90));
    EXPECT_EQ(target.pixel(29, 17), qRgb(90, 90, 90));
    EXPECT_EQ(target.pixel(30, 17), qRgb(255, 255, 255));
}

} // namespace
