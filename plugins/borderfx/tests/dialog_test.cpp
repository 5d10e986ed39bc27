// The parameter dialog and its preview, headless: arithmetic, limits, edit rules, the refresh
// timer, swatches, Cancel and the preview's pixels.
#include "dialog.h"
#include "dialogmodel.h"
#include "dialogscript.h"
#include "dialogwindow.h"
#include "entry.h"
#include "librarydialog.h"
#include "magicdialog.h"
#include "messages.h"
#include "preview.h"
#include "render.h"
#include "texturelib.h"

#include "desktop/services.h"
#include "imagelib/tv32base.h"
#include "imagelib/tv32clips.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"
#include "imagelib/tv32txlib.h"
#include "imagelib/tv32txtur.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

using namespace borderfx;

namespace {

// A picture of w x h with a smooth pattern (bytesPerPixel 1 or 3).
TV32HBUF makeImage(int w, int h, int bpp) {
    std::vector<uint8_t> px(size_t(w) * h * bpp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < bpp; ++c)
                px[(size_t(y) * w + x) * bpp + c] = uint8_t((x * 3 + y * 5 + c * 70) & 0xFF);
    TV32HBUF b = 0;
    buf32Alloc(&b, bpp * 8, w, h, BUF32_FILL_ZERO, nullptr);
    buf32MergeMem(b, 0, 0, px.data(), w, h);
    return b;
}

std::vector<uint8_t> pixelsOf(TV32HBUF b) {
    BUF32INFO info{};
    buf32GetInfo(b, &info);
    std::vector<uint8_t> px(size_t(info.width) * info.height * info.bytesPerPixel);
    buf32GetMem(b, 0, 0, info.width, info.height, px.data());
    return px;
}

// A record as the entry makes it, over a picture of w x h.
struct Fixture {
    PlugInRecord rec{};
    TV32HBUF image = 0;
    Fixture(int w, int h, TV32RECT selection, int bpp = 3) {
        image = makeImage(w, h, bpp);
        rec.sourceImage = image;
        rec.selection = selection;
        rec.bitsPerPixel = bpp * 8;
        rec.hostColor = 0x00FFFFFF;
        SetDefaultParams(&rec);
    }
    ~Fixture() {
        buf32Free(image);
        if (rec.params.textureData) tv32TextureDataFree(rec.params.textureData);
    }
};

// The texture library the dialogs load: count textures, texture n with angle 10 * n.
void writeLibrary(const QString& folder, int count) {
    std::vector<void*> t(size_t(count), nullptr);
    std::vector<TV32TEXLIBITEM> items;
    for (int i = 0; i < count; ++i) {
        tv32TextureDataAlloc(&t[size_t(i)], 0, 0);
        static_cast<TV32TEXTURERECORD*>(t[size_t(i)])->angle = 10 * (i + 1);
        items.push_back({t[size_t(i)], "T"});
    }
    QVERIFY(tv32TextureLibraryWrite((folder + QStringLiteral("/qxmagic.smp")).toUtf8().constData(),
                                    items.data(), count, 16, 12));
    for (void* x : t)
        tv32TextureDataFree(x);
}

QLineEdit* edit(QWidget& d, int id) {
    return d.findChild<QLineEdit*>(QString::number(id));
}
template <class T> T* ctl(QWidget& d, int id) {
    return d.findChild<T*>(QString::number(id));
}

uint32_t gChooserAnswer = 0;
int gChooserCalls = 0;
int cancelChooser(TV32HWND, uint32_t, uint32_t*) {
    ++gChooserCalls;
    return 0;
}
int answerChooser(TV32HWND, uint32_t, uint32_t* chosen) {
    ++gChooserCalls;
    *chosen = gChooserAnswer;
    return 1;
}

// Runs the texture library from dialog d's "&Library..." button: item is selected in the list,
// then button is pressed there.
void useLibrary(FrameShadowDialog& d, int32_t item, int button) {
    QTimer::singleShot(0, [item, button] {
        QWidget* lib = QApplication::activeModalWidget();
        QVERIFY(lib);
        int32_t n = item;
        TV32IIOSELECTION sel{1, &n};
        tv32IIOAction(LoadedLibrary(), TV32_IIO_SELECT, 0, &sel);
        ctl<QPushButton>(*lib, button)->click();
    });
    ctl<QPushButton>(d, 3061)->click();
}

} // namespace

class DialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir libraryDir_;

  private slots:
    void initTestCase() {
        QVERIFY(libraryDir_.isValid());
        writeLibrary(libraryDir_.path(), 9);
        SetLibraryFolder(libraryDir_.path().toStdString() + "/");
    }

    void cleanupTestCase() {
        ReleaseTextureLibrary();
        SetLibraryFolder({});
    }

    void openingTakesTheLibraryTexture() {
        Fixture f(120, 100, TV32RECT{10, 10, 100, 90});
        f.rec.textureIndex = 4;
        FrameShadowDialog d(nullptr, &f.rec);
        QVERIFY(f.rec.params.textureData);
        QCOMPARE(static_cast<TV32TEXTURERECORD*>(f.rec.params.textureData)->angle, 40);
    }

    void mulDivRoundsHalvesAwayFromZero() {
        QCOMPARE(MulDiv(5, 3, 2), 8);   // 7.5
        QCOMPARE(MulDiv(-5, 3, 2), -8); // -7.5
        QCOMPARE(MulDiv(7, 1, 3), 2);
        QCOMPARE(MulDiv(8, 1, 3), 3);
        QCOMPARE(MulDiv(100000, 100000, 100000), 100000); // no 32-bit overflow
        QCOMPARE(MulDiv(1, 1, 0), -1);
    }

    void fitAndCenter() {
        const TV32RECT a{10, 20, 110, 220}; // 100 x 200
        TV32RECT r = FitRect(a, 400, 400);  // square into a tall area: width-bound
        QCOMPARE(RectWidth(r), 100);
        QCOMPARE(RectHeight(r), 100);
        QCOMPARE(r.top, 70);
        r = FitRect(a, 1000, 10); // very wide: height 1
        QCOMPARE(RectWidth(r), 100);
        QCOMPARE(RectHeight(r), 2);                      // 100 * 10 / 1000 = 1 ... MulDiv 1, kept
        r = FitRect(TV32RECT{0, 0, 100, 100}, 10000, 1); // rounds to 0: becomes 2
        QCOMPARE(RectHeight(r), 2);
        r = FitRect(TV32RECT{0, 0, 255, 270}, 600, 400); // 255 x 170
        QCOMPARE(RectWidth(r), 255);
        QCOMPARE(RectHeight(r), 170);
        QCOMPARE(r.top, 50);
        r = CenterRect(TV32RECT{0, 0, 101, 51}, 20, 11);
        QCOMPARE(r.left, 40);
        QCOMPARE(r.top, 20);
        QCOMPARE(RectWidth(r), 20);
    }

    void scaleToPreview() {
        QCOMPARE(ScaleToPreview(1, 10.0f), 1); // never 0 for a nonzero length
        QCOMPARE(ScaleToPreview(0, 10.0f), 0);
        QCOMPARE(ScaleToPreview(15, 10.0f), 2);
        QCOMPARE(ScaleToPreview(14, 10.0f), 1);
        QCOMPARE(ScaleToPreview(10, 1.0f), 10);
    }

    void limitsAndFrameMaximum() {
        // Whole image selected: left adjusted to 1, frame maximum 1.
        const TV32RECT s = AdjustedSelection(TV32RECT{0, 0, 300, 200});
        QCOMPARE(s.left, 1);
        QCOMPARE(FrameMaximum(s, 300, 200), 1);
        OffsetLimits l = ComputeOffsetLimits(s, 300, 200, 2, 10);
        QCOMPARE(l.xMax, 299 + 10); // R - 1 + frame
        QCOMPARE(l.yMax, 199 + 10); // H - T - 1 + frame
        l = ComputeOffsetLimits(s, 300, 200, 3, 0);
        QCOMPARE(l.xMax, 298); // W - L - 1 with L = 1
        // Negative room becomes 0 before the frame is added.
        l = ComputeOffsetLimits(TV32RECT{300, 10, 300, 20}, 300, 200, 1, 4);
        QCOMPARE(l.xMax, 4);
        QCOMPARE(l.yMax, 19 + 4);
        QCOMPARE(FrameMaximum(TV32RECT{5, 7, 290, 150}, 300, 200), 50);
    }

    void editNumbersAndRange() {
        QCOMPARE(ParseEditInt(QString()), 0);
        QCOMPARE(ParseEditInt(QStringLiteral("12x4")), 12);
        QCOMPARE(ParseEditInt(QStringLiteral("99999999999")), INT32_MAX);
        QCOMPARE(RangeText(0, 99), QStringLiteral("[0 , 99]"));
        desktop::Recorder rec;
        int32_t field = 20;
        QCOMPARE(ApplyEditValue(20, field, 99), EditOutcome::Unchanged);
        QCOMPARE(ApplyEditValue(0, field, 99), EditOutcome::Stored);
        QCOMPARE(field, 0);
        QVERIFY(rec.boxes().empty());
        QCOMPARE(ApplyEditValue(100, field, 99), EditOutcome::PutMaximum);
        QCOMPARE(field, 0);
        QCOMPARE(rec.boxes().size(), size_t(1));
        QCOMPARE(rec.boxes()[0].text,
                 QStringLiteral("This value is not within the valid range. Please try again.\n"
                                "Please input a value between [0 , 99]"));
        QCOMPARE(rec.boxes()[0].title, QStringLiteral("Frame and Shadow - Talvor Sitecraft"));
    }

    void timerWaitsForAStableValue() {
        RefreshTimer t;
        QVERIFY(!t.tick(5));
        QVERIFY(t.start(3008));
        QVERIFY(!t.start(3022)); // one timer at a time
        QVERIFY(!t.tick(5));     // first look
        QVERIFY(!t.tick(6));     // changed during the tick
        QVERIFY(t.tick(6));      // stable for a whole tick
        QVERIFY(!t.running());
        QCOMPARE(t.last(), -1);
    }

    void accelerationAndDialogUnits() {
        QCOMPARE(AccelStep(0), 1);
        QCOMPARE(AccelStep(1999), 1);
        QCOMPARE(AccelStep(2000), 10);
        QCOMPARE(AccelStep(3500), 50);
        QCOMPARE(StepValue(98, 10, 99), 99);
        QCOMPARE(StepValue(3, -50, 99), 0);
        // Template 110 is laid out in the dialog units of the dialog font, as every template.
        Fixture f(120, 100, TV32RECT{10, 10, 100, 90});
        FrameShadowDialog d(nullptr, &f.rec);
        const tv32::DialogUnits du = tv32::dialogUnitsOf(tv32::dialogFont());
        QCOMPARE(d.size(), du.size(343, 198));
        QCOMPARE(edit(d, 3008)->geometry(), du.rect(120, 21, 41, 12));
        QCOMPARE(ctl<QPushButton>(d, 1)->geometry(), du.rect(127, 176, 48, 14));
        QCOMPARE(ctl<QWidget>(d, 3009)->geometry().right(), edit(d, 3008)->geometry().right());
        QCOMPARE(d.preview().frame.left, du.x(187));
        QCOMPARE(d.frameSwatch().rect.top, du.y(19));
        QCOMPARE(d.directionPicture(2), du.rect(116, 92, 18, 20));
    }

    void libraryMessagesAndHelp() {
        desktop::Recorder rec;
        QCOMPARE(ShowError(1001, nullptr), 0);
        QVERIFY(rec.boxes().empty());
        int32_t info[6];
        c32SetDLLErrInfo(1, 2, 3, 4, 5, 6);
        ShowLibraryMessage(508, 7, 1, 2, 1); // kept
        QCOMPARE(rec.boxes().size(), size_t(1));
        QCOMPARE(rec.boxes()[0].text,
                 QStringLiteral("Insufficient memory. \nPlease close some programs and try again."));
        QCOMPARE(rec.boxes()[0].title, QStringLiteral("Frame and Shadow - Talvor Sitecraft"));
        QCOMPARE(rec.boxes()[0].icon, desktop::BoxIcon::Warning);
        QCOMPARE(c32GetDLLErrInfo(info), 1);
        ShowLibraryMessage(1001, 80003, 1, 1, 0); // the common library's text; information reset
        QCOMPARE(rec.boxes().size(), size_t(2));
        QVERIFY(!rec.boxes()[1].text.isEmpty());
        QCOMPARE(c32GetDLLErrInfo(info), 0);
        QVERIFY(QString::fromStdString(HelpPath()).endsWith(QStringLiteral("/nf4ps.hlp >d")));
        QCOMPARE(ShowHelp(0, 140), 1);
        QVERIFY(HelpOpened());
        CloseHelp(0);
        QVERIFY(!HelpOpened());
        CloseHelp(0); // only once
        int helps = 0, quits = 0;
        for (const auto& e : rec.entries) {
            helps += e.kind == desktop::Recorder::Entry::Kind::Help && e.context == 140;
            quits += e.kind == desktop::Recorder::Entry::Kind::HelpQuit;
        }
        QCOMPARE(helps, 1);
        QCOMPARE(quits, 1);
    }

    void swatchAndBorderPixels() {
        QImage im(40, 30, QImage::Format_RGB32);
        im.fill(qRgb(1, 2, 3));
        {
            QPainter dc(&im);
            PaintSwatchOn(&dc, ColorSwatch{0, TV32RECT{5, 4, 25, 20}, 0x00336699});
        }
        const QPalette pal = QGuiApplication::palette();
        const QRgb dark = pal.color(QPalette::Dark).rgb(), light = pal.color(QPalette::Light).rgb();
        QCOMPARE(im.pixel(10, 10), qRgb(0x99, 0x66, 0x33)); // 0x00BBGGRR
        QCOMPARE(im.pixel(5, 10), dark);                    // left edge
        QCOMPARE(im.pixel(10, 4), dark);                    // top edge
        QCOMPARE(im.pixel(24, 10), light);                  // right edge
        QCOMPARE(im.pixel(10, 19), light);                  // bottom edge
        QCOMPARE(im.pixel(25, 10), qRgb(1, 2, 3));          // nothing outside
        QCOMPARE(im.pixel(10, 20), qRgb(1, 2, 3));
        // The texture sample without a texture: only its border.
        im.fill(qRgb(1, 2, 3));
        {
            QPainter dc(&im);
            DrawTextureSwatch(ColorSwatch{0, TV32RECT{5, 4, 25, 20}, 0}, &dc, nullptr);
        }
        QCOMPARE(im.pixel(10, 10), qRgb(1, 2, 3));
        QCOMPARE(im.pixel(5, 10), dark);
    }

    void opensWithTheRecordsValues() {
        Fixture f(300, 200, TV32RECT{0, 0, 300, 200});
        FrameShadowDialog d(nullptr, &f.rec);
        QVERIFY(!d.failed());
        QCOMPARE(d.windowTitle(), QStringLiteral("Frame and Shadow - Talvor Sitecraft"));
        QVERIFY(ctl<QCheckBox>(d, 3057)->isChecked());
        QVERIFY(ctl<QCheckBox>(d, 3058)->isChecked());
        QVERIFY(ctl<QRadioButton>(d, 3015)->isChecked()); // direction 2
        QVERIFY(ctl<QRadioButton>(d, 3001)->isChecked());
        QCOMPARE(edit(d, 3008)->text(), QStringLiteral("10"));
        QCOMPARE(edit(d, 3028)->text(), QStringLiteral("20"));
        // Whole image: frame maximum 1 while the default 10 stays in the record.
        QCOMPARE(d.frameMaximum(), 1);
        QCOMPARE(f.rec.params.frameWidth, 10);
        QCOMPARE(d.offsetLimits().xMax, 299 + 10);
        QCOMPARE(d.offsetLimits().yMax, 199 + 10);
        QCOMPARE(d.frameSwatch().color, 0x00FF0000u);
        for (int id : {3004, 3005, 3012, 3054})
            QVERIFY(!d.findChild<QWidget*>(QString::number(id)));
        QCOMPARE(d.refreshCount(), 1);
        QVERIFY(d.preview().result != 0);
        // Every control of the template is there.
        for (int id : {3057, 3058, 3001, 3002, 3007, 3008, 3009, 3061, 3013, 3014, 3015, 3016,
                       3017, 3018, 3019, 3020, 3021, 3022, 3023, 3024, 3025, 3026, 3027, 3028,
                       3029, 3030, 3031, 3032, 3033, 3034, 3035, 1,    2,    3060, 3062})
            QVERIFY2(d.findChild<QWidget*>(QString::number(id)), qPrintable(QString::number(id)));
    }

    void editsFollowTheirRules() {
        desktop::Recorder rec;
        Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
        FrameShadowDialog d(nullptr, &f.rec);
        edit(d, 3028)->setText(QString());
        QCOMPARE(f.rec.params.transparency, 0); // clearing enters 0
        QVERIFY(rec.boxes().empty());
        edit(d, 3028)->setText(QStringLiteral("100"));
        QCOMPARE(rec.boxes().size(), size_t(1));
        QVERIFY(rec.boxes()[0].text.endsWith(QStringLiteral("[0 , 99]")));
        QCOMPARE(edit(d, 3028)->text(), QStringLiteral("99"));
        QCOMPARE(f.rec.params.transparency, 99);
        // The frame width moves the offset limits; a smaller limit pulls the offsets in.
        QCOMPARE(d.frameMaximum(), 40);
        edit(d, 3008)->setText(QStringLiteral("0"));
        QCOMPARE(d.offsetLimits().xMax, 259); // direction 2: R - 1
        edit(d, 3022)->setText(QStringLiteral("250"));
        QCOMPARE(f.rec.params.shadowOffsetX, 250);
        ctl<QRadioButton>(d, 3016)->click(); // direction 3: W - L - 1 = 259
        QCOMPARE(f.rec.params.shadowDirection, 3);
        ctl<QRadioButton>(d, 3014)->click(); // direction 1: Y max B - 1 = 169
        QCOMPARE(d.offsetLimits().yMax, 169);
        QCOMPARE(f.rec.params.shadowOffsetY, 10);
        // The up-down's arrows step the edit within its range.
        const auto arrows = d.findChild<QWidget*>(QStringLiteral("3029"))->findChildren<QToolButton*>();
        QCOMPARE(arrows.size(), 2);
        arrows[0]->click();
        QCOMPARE(edit(d, 3028)->text(), QStringLiteral("99"));
        arrows[1]->click();
        QCOMPARE(f.rec.params.transparency, 98);
        // The arrow key steps by one.
        QTest::keyClick(edit(d, 3032), Qt::Key_Up);
        QCOMPARE(f.rec.params.blendWidth, 11);
        // Digits only.
        QTest::keyClicks(edit(d, 3032), QStringLiteral("a-"));
        QCOMPARE(edit(d, 3032)->text(), QStringLiteral("11"));
    }

    void previewRefreshesAfterAStableTick() {
        Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
        FrameShadowDialog d(nullptr, &f.rec);
        const int before = d.refreshCount();
        edit(d, 3008)->setText(QStringLiteral("5"));
        QCOMPARE(d.refreshTimer().id(), 3008);
        edit(d, 3022)->setText(QStringLiteral("6")); // no second timer
        QCOMPARE(d.refreshTimer().id(), 3008);
        d.timerTick();
        QCOMPARE(d.refreshCount(), before);
        edit(d, 3008)->setText(QStringLiteral("7")); // still typing
        d.timerTick();
        QCOMPARE(d.refreshCount(), before);
        d.timerTick();
        QCOMPARE(d.refreshCount(), before + 1);
        QVERIFY(!d.refreshTimer().running());
        // The refresh takes the whole record.
        QCOMPARE(d.preview().working.shadowOffsetX, ScaleToPreview(6, d.preview().sx));
        // And with the real 250 ms timer.
        edit(d, 3028)->setText(QStringLiteral("50"));
        QTRY_COMPARE_WITH_TIMEOUT(d.refreshCount(), before + 2, 2000);
    }

    void switchesAndOk() {
        Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
        FrameShadowDialog d(nullptr, &f.rec);
        auto* ok = ctl<QPushButton>(d, 1);
        ctl<QCheckBox>(d, 3057)->click();
        QVERIFY(!edit(d, 3008)->isEnabled());
        QVERIFY(!ctl<QPushButton>(d, 3061)->isEnabled());
        QVERIFY(ok->isEnabled());
        ctl<QCheckBox>(d, 3058)->click();
        QVERIFY(!ok->isEnabled()); // both off
        QVERIFY(!edit(d, 3022)->isEnabled());
        QCOMPARE(d.preview().working.frameWidth, 0);
        QCOMPARE(d.preview().working.shadowOffsetX, 0);
        ctl<QCheckBox>(d, 3058)->click();
        QVERIFY(ok->isEnabled());
        ctl<QCheckBox>(d, 3031)->click();
        QVERIFY(!edit(d, 3032)->isEnabled());
        ok->click();
        QCOMPARE(d.result(), 1);
        QCOMPARE(f.rec.params.frameWidth, 0); // frame off
        QCOMPARE(f.rec.params.blendWidth, 0); // blending off
        QCOMPARE(f.rec.params.shadowOffsetX, 10);
    }

    void swatchesAndPictures() {
        desktop::Recorder rec;
        Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
        FrameShadowDialog d(nullptr, &f.rec);
        d.show();
        ctl<QRadioButton>(d, 3002)->click();
        QCOMPARE(f.rec.params.frameFill, 5);
        QVERIFY(!d.failed()); // no texture: the frame is previewed unfilled
        QVERIFY(rec.boxes().empty());
        // The frame colour swatch: a cancelled chooser still makes the frame solid.
        tv32SetChooseColorHook(&cancelChooser);
        const TV32RECT fs = d.frameSwatch().rect;
        QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(fs.left + 2, fs.top + 2));
        QCOMPARE(gChooserCalls, 1);
        QCOMPARE(f.rec.params.frameFill, 0);
        QVERIFY(ctl<QRadioButton>(d, 3001)->isChecked());
        QCOMPARE(f.rec.params.frameColor, 0x00FF0000u);
        // The shadow swatch takes a chosen colour.
        gChooserAnswer = 0x00123456;
        tv32SetChooseColorHook(&answerChooser);
        const TV32RECT ss = d.shadowSwatch().rect;
        QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(ss.left + 1, ss.top + 1));
        QCOMPARE(f.rec.params.shadowColor, 0x00123456u);
        // The texture sample selects the texture fill.
        const TV32RECT ts = d.textureSwatch().rect;
        QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(ts.left + 3, ts.top + 3));
        QCOMPARE(f.rec.params.frameFill, 5);
        QVERIFY(ctl<QRadioButton>(d, 3002)->isChecked());
        tv32SetChooseColorHook(nullptr);
        // A direction picture checks its radio.
        QTest::mouseClick(&d, Qt::LeftButton, {}, d.directionPicture(0).center());
        QCOMPARE(f.rec.params.shadowDirection, 0);
        QVERIFY(ctl<QRadioButton>(d, 3013)->isChecked());
        // The pipette over a swatch.
        auto move = [&d](QPoint at) {
            QMouseEvent e(QEvent::MouseMove, at, d.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(&d, &e);
        };
        move(QPoint(ss.left + 2, ss.top + 2));
        QVERIFY(d.pipetteShowing());
        QCOMPARE(d.cursor().hotSpot(), QPoint(8, 23));
        ctl<QCheckBox>(d, 3058)->click(); // shadow off: its swatch no longer reacts
        move(QPoint(ss.left + 3, ss.top + 2));
        QVERIFY(!d.pipetteShowing());
        QCOMPARE(d.cursor().shape(), Qt::ArrowCursor);
    }

    void cancelRestoresTheBlockButNotTheTextureIndex() {
        Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
        const FrameShadowParams before = f.rec.params;
        QVERIFY(!before.textureData);
        const int live = tv32TextureCountLive();
        FrameShadowDialog d(nullptr, &f.rec);
        QVERIFY(f.rec.params.textureData); // the library's texture, taken at opening
        edit(d, 3008)->setText(QStringLiteral("3"));
        edit(d, 3028)->setText(QStringLiteral("50"));
        ctl<QRadioButton>(d, 3002)->click();
        ctl<QRadioButton>(d, 3016)->click();
        f.rec.textureIndex = 7; // as a texture picker would
        c32ResetDLLErrInfo();
        ctl<QPushButton>(d, 2)->click();
        QCOMPARE(d.result(), 0);
        // All twenty fields of the block come back, the texture pointer included; the texture
        // object the dialog took is released with it.
        QCOMPARE(std::memcmp(&before, &f.rec.params, sizeof before), 0);
        QCOMPARE(tv32TextureCountLive(), live);
        QCOMPARE(f.rec.textureIndex, 7);
        int32_t info[6];
        QCOMPARE(c32GetDLLErrInfo(info), 1);
        QCOMPARE(info[2], 5200);
    }

    void cancelKeepsATextureTheBlockHeldAndOkReleasesOneReplaced() {
        Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
        void* given = nullptr;
        QVERIFY(tv32TextureDataAlloc(&given, 0, 0));
        static_cast<TV32TEXTURERECORD*>(given)->angle = 123;
        f.rec.params.textureData = given;
        const int live = tv32TextureCountLive();
        {
            FrameShadowDialog d(nullptr, &f.rec);
            QVERIFY(f.rec.params.textureData != given); // the dialog works on a copy
            useLibrary(d, 7, 1);                        // the library takes texture 7 in place of the copy
            QCOMPARE(static_cast<TV32TEXTURERECORD*>(f.rec.params.textureData)->angle, 70);
            ctl<QPushButton>(d, 2)->click();
        }
        QCOMPARE(f.rec.params.textureData, given);
        QCOMPARE(static_cast<TV32TEXTURERECORD*>(given)->angle, 123);
        QCOMPARE(tv32TextureCountLive(), live);
        {
            FrameShadowDialog d(nullptr, &f.rec);
            ctl<QPushButton>(d, 1)->click();
            QCOMPARE(d.result(), 1);
        }
        // OK: the block holds the dialog's object; the one it held before is released.
        QVERIFY(f.rec.params.textureData != given);
        QCOMPARE(tv32TextureCountLive(), live);
    }

    void shadowBackOnEnablesItsWholeGroup() {
        Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
        FrameShadowDialog d(nullptr, &f.rec);
        ctl<QCheckBox>(d, 3031)->click(); // blending off: its edit with it
        QVERIFY(!edit(d, 3032)->isEnabled());
        QVERIFY(!ctl<QWidget>(d, 3033)->isEnabled());
        ctl<QCheckBox>(d, 3058)->click(); // shadow off
        for (int id : {3013, 3014, 3015, 3016, 3022, 3025, 3028, 3032, 3031})
            QVERIFY2(!ctl<QWidget>(d, id)->isEnabled(), qPrintable(QString::number(id)));
        ctl<QCheckBox>(d, 3058)->click(); // and on again: every control of the group, 3032 too
        for (int id : {3013, 3014, 3015, 3016, 3022, 3025, 3028, 3032, 3031})
            QVERIFY2(ctl<QWidget>(d, id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(ctl<QWidget>(d, 3033)->isEnabled());
        QVERIFY(!ctl<QCheckBox>(d, 3031)->isChecked());
        // The blending switch still decides what OK takes.
        edit(d, 3032)->setText(QStringLiteral("7"));
        ctl<QPushButton>(d, 1)->click();
        QCOMPARE(f.rec.params.blendWidth, 0);
    }

    void heldArrowKeysAccelerate() {
        Fixture f(600, 500, TV32RECT{40, 30, 560, 470});
        FrameShadowDialog d(nullptr, &f.rec);
        static int64_t now = 0;
        HoldTimer::setClock([] { return now; });
        QLineEdit* x = edit(d, 3022);
        x->setText(QStringLiteral("0"));
        auto press = [x](int key, bool repeat) {
            QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, QString(), repeat);
            QApplication::sendEvent(x, &e);
        };
        auto release = [x](int key) {
            QKeyEvent e(QEvent::KeyRelease, key, Qt::NoModifier);
            QApplication::sendEvent(x, &e);
        };
        now = 1000;
        press(Qt::Key_Up, false);
        QCOMPARE(x->text(), QStringLiteral("1"));
        now = 1900; // held for 0.9 s: steps of 1
        press(Qt::Key_Up, true);
        QCOMPARE(x->text(), QStringLiteral("2"));
        now = 3100; // 2.1 s: steps of 10
        press(Qt::Key_Up, true);
        QCOMPARE(x->text(), QStringLiteral("12"));
        now = 4200; // 3.2 s: steps of 50
        press(Qt::Key_Up, true);
        QCOMPARE(x->text(), QStringLiteral("62"));
        release(Qt::Key_Up);
        // A new press starts over at steps of 1, downwards too.
        now = 9000;
        press(Qt::Key_Down, false);
        QCOMPARE(x->text(), QStringLiteral("61"));
        now = 12500;
        press(Qt::Key_Down, true);
        QCOMPARE(x->text(), QStringLiteral("11"));
        press(Qt::Key_Down, true);
        QCOMPARE(x->text(), QStringLiteral("0")); // never below 0
        release(Qt::Key_Down);
        HoldTimer::setClock(nullptr);
    }

    void texturedFrameWithoutALibrarySaysWhatIsMissing() {
        desktop::Recorder rec;
        QTemporaryDir empty;
        ReleaseTextureLibrary();
        SetLibraryFolder(empty.path().toStdString() + "/");
        const QString missing =
            QStringLiteral("Unable to load texture file.\n") + empty.filePath(QStringLiteral("qxmagic.smp"));
        {
            Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
            FrameShadowDialog d(nullptr, &f.rec);
            QCOMPARE(rec.boxes().size(), size_t(1)); // at opening, as the library is loaded
            QVERIFY(!f.rec.params.textureData);
            ctl<QRadioButton>(d, 3002)->click();
            QCOMPARE(rec.boxes().size(), size_t(2));
            QCOMPARE(rec.boxes()[1].text, missing);
            QVERIFY(!d.failed()); // the preview shows the frame unfilled
            // OK says it again and the dialog stays open for a colour or Cancel.
            ctl<QPushButton>(d, 1)->click();
            QCOMPARE(rec.boxes().size(), size_t(3));
            QCOMPARE(rec.boxes()[2].text, missing);
            QCOMPARE(d.result(), 0);
            ctl<QRadioButton>(d, 3001)->click();
            ctl<QPushButton>(d, 1)->click();
            QCOMPARE(d.result(), 1);
            QCOMPARE(f.rec.params.frameFill, 0);
        }
        // With the frame off, a texture fill draws nothing and needs nothing.
        {
            Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
            FrameShadowDialog d(nullptr, &f.rec);
            ctl<QRadioButton>(d, 3002)->click();
            ctl<QCheckBox>(d, 3057)->click();
            const size_t shown = rec.boxes().size();
            ctl<QPushButton>(d, 1)->click();
            QCOMPARE(d.result(), 1);
            QCOMPARE(rec.boxes().size(), shown);
        }
        ReleaseTextureLibrary();
        SetLibraryFolder(libraryDir_.path().toStdString() + "/");
    }

    void helpAboutAndLibrary() {
        desktop::Recorder rec;
        Fixture f(120, 100, TV32RECT{10, 10, 100, 90});
        {
            FrameShadowDialog d(nullptr, &f.rec);
            ctl<QPushButton>(d, 3060)->click();
            // The library dialog: its help, then Cancel.
            QTimer::singleShot(0, [] {
                QWidget* lib = QApplication::activeModalWidget();
                QVERIFY(lib && lib->objectName() == QStringLiteral("111"));
                ctl<QPushButton>(*lib, 3060)->click();
                ctl<QPushButton>(*lib, 2)->click();
            });
            ctl<QPushButton>(d, 3061)->click();
        }
        QCOMPARE(rec.entries.size(), size_t(3));
        QCOMPARE(rec.entries[0].kind, desktop::Recorder::Entry::Kind::Help);
        QCOMPARE(rec.entries[0].context, 140);
        QCOMPARE(rec.entries[1].kind, desktop::Recorder::Entry::Kind::Help);
        QCOMPARE(rec.entries[1].context, 150);
        QCOMPARE(rec.entries[2].kind, desktop::Recorder::Entry::Kind::HelpQuit); // one viewer, closed once
    }

    void libraryOptionsRunsTheVariations() {
        Fixture f(120, 100, TV32RECT{10, 10, 100, 90});
        FrameShadowDialog d(nullptr, &f.rec);
        // Take library texture 7 with "&Options...", pick cell 8 in the variations, then end them
        // with button `end`.
        auto run = [&d](int end) {
            QTimer::singleShot(0, [end] {
                QWidget* lib = QApplication::activeModalWidget();
                QVERIFY(lib);
                int32_t seven = 7;
                TV32IIOSELECTION sel{1, &seven};
                tv32IIOAction(LoadedLibrary(), TV32_IIO_SELECT, 0, &sel);
                QTimer::singleShot(0, [end] {
                    auto* magic = dynamic_cast<MagicTexturesDialog*>(QApplication::activeModalWidget());
                    QVERIFY(magic);
                    magic->clickCell(8);
                    ctl<QPushButton>(*magic, end)->click();
                });
                ctl<QPushButton>(*lib, 3121)->click();
            });
            ctl<QPushButton>(d, 3061)->click();
        };
        run(1);
        QCOMPARE(f.rec.textureIndex, 7);
        QCOMPARE(static_cast<TV32TEXTURERECORD*>(f.rec.params.textureData)->angle, (70 + 188) % 360);
        QCOMPARE(f.rec.params.frameFill, 5);
        // Cancel in the variations puts the texture back as it was before the library.
        const int live = tv32TextureCountLive();
        run(2);
        QCOMPARE(static_cast<TV32TEXTURERECORD*>(f.rec.params.textureData)->angle, (70 + 188) % 360);
        QCOMPARE(tv32TextureCountLive(), live);
    }

    void libraryOkTakesTheSelectedTexture() {
        Fixture f(120, 100, TV32RECT{10, 10, 100, 90});
        FrameShadowDialog d(nullptr, &f.rec);
        void* first = f.rec.params.textureData;
        QVERIFY(first);
        const int live = tv32TextureCountLive();
        useLibrary(d, 7, 1);
        QCOMPARE(f.rec.textureIndex, 7);
        QVERIFY(f.rec.params.textureData != first);
        QCOMPARE(static_cast<TV32TEXTURERECORD*>(f.rec.params.textureData)->angle, 70);
        QCOMPARE(f.rec.params.frameFill, 5);
        QVERIFY(ctl<QRadioButton>(d, 3002)->isChecked());
        QCOMPARE(tv32TextureCountLive(), live); // the old object (and its table) released

        // Cancel puts the texture and its index back.
        void* taken = f.rec.params.textureData;
        useLibrary(d, 2, 2);
        QCOMPARE(f.rec.textureIndex, 7);
        QVERIFY(f.rec.params.textureData != taken); // the backup copy took its place
        QCOMPARE(static_cast<TV32TEXTURERECORD*>(f.rec.params.textureData)->angle, 70);
        QCOMPARE(tv32TextureCountLive(), live);
    }

    void libraryGridFitAndButtons() {
        // 64 x 64 thumbnails in 336 x 273 with 16-pixel scroll bars: one more column than fits
        // beside the scroll bar, three rows, 2-pixel border.
        GridFit f = FitThumbnailGrid(336, 273, 16, 16, 64, 64, 2, 2);
        QCOMPARE(f.columns, 6);
        QVERIFY(f.resize);
        QCOMPARE(f.width, 6 * 64 + 2 + 16);
        QCOMPARE(f.height, 3 * 64 + 2);
        // Thumbnails narrower than a scroll bar: the columns beside it, two rows, not resized.
        f = FitThumbnailGrid(100, 100, 16, 16, 10, 10, 2, 2);
        QCOMPARE(f.columns, 8);
        QVERIFY(!f.resize);
        QCOMPARE(f.height, 22);
        f = FitThumbnailGrid(100, 100, 16, 16, 0, 10, 2, 2);
        QCOMPARE(f.columns, 4);
        QCOMPARE(f.width, 0);
        const LibraryButtons b = LayoutLibraryButtons(400, 300, 75, 23, 9, 10);
        QCOMPARE(b.help, QRect(316, 267, 75, 23));
        QCOMPARE(b.options.x(), 316 - 75 - 12);
        QCOMPARE(b.cancel.x(), 316 - 2 * 87);
        QCOMPARE(b.ok.x(), 316 - 2 * 87 - 84);
        QCOMPARE(RowOfItem(7, 3), 2);
        QCOMPARE(RowOfItem(1, 3), 0);
        QCOMPARE(RowOfItem(0, 3), 0);
    }

    void libraryDialogAlone() {
        Fixture f(120, 100, TV32RECT{10, 10, 100, 90});
        f.rec.textureIndex = 0; // the list keeps its selection
        int32_t five = 5;
        TV32IIOSELECTION sel{1, &five};
        EnsureTexture(1, &f.rec.params.textureData);
        tv32IIOAction(LoadedLibrary(), TV32_IIO_SELECT, 0, &sel);
        {
            TextureLibraryDialog lib(nullptr, &f.rec);
            QVERIFY(!lib.failed());
            QCOMPARE(tv32IIOAction(LoadedLibrary(), TV32_IIO_SELECTED, 0, nullptr), 1);
            int32_t shown = 0;
            TV32IIOSELECTION r{1, &shown};
            tv32IIOAction(LoadedLibrary(), TV32_IIO_SELECTED, 0, &r);
            QCOMPARE(shown, 5);
            // Whole thumbnails across, the grid's columns in the list settings.
            const int c = lib.columns();
            QVERIFY(c >= 1);
            TV32IIOSETTINGS s{};
            tv32IIOAction(LoadedLibrary(), TV32_IIO_GET_SETTINGS, 0, &s);
            QCOMPARE(s.columns, c);
            QCOMPARE(s.callbackActive, 0);
            QVERIFY(lib.grid()->width() >= c * 16 && lib.grid()->width() < (c + 1) * 16 + 40);
            // 12 pixels are less than a scroll bar: two rows.
            QCOMPARE(lib.grid()->height() - 2 * lib.grid()->frameWidth(), 2 * 12);
            lib.pressCommand(3121);
            QCOMPARE(lib.result(), 3121);
            tv32IIOAction(LoadedLibrary(), TV32_IIO_GET_SETTINGS, 0, &s);
            QCOMPARE(s.callbackActive, 1);
            QVERIFY(s.callback == &LibraryItemCallback);
        }
        QCOMPARE(f.rec.textureIndex, 5);
        QCOMPARE(static_cast<TV32TEXTURERECORD*>(f.rec.params.textureData)->angle, 50);
    }

    void libraryMissingOrEmpty() {
        desktop::Recorder rec;
        QTemporaryDir empty;
        ReleaseTextureLibrary();
        SetLibraryFolder(empty.path().toStdString() + "/");
        Fixture f(120, 100, TV32RECT{10, 10, 100, 90});
        {
            TextureLibraryDialog lib(nullptr, &f.rec);
            QVERIFY(lib.failed());
            QCOMPARE(lib.run(), 2);
            QVERIFY(!lib.grid()->isEnabled());
        }
        QCOMPARE(rec.boxes().size(), size_t(1));
        QCOMPARE(rec.boxes()[0].text, QStringLiteral("Unable to load texture file.\n") +
                                          empty.filePath(QStringLiteral("qxmagic.smp")));
        QVERIFY(!f.rec.params.textureData);
        // A well-formed library without items: the dialog ends at once too, without a message.
        {
            QFile file(empty.filePath(QStringLiteral("qxmagic.smp")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            const uint32_t header[8] = {0x32335654, 0x00504D53, 1, 0, 16, 12, 32, 0}; // "TV32SMP"
            file.write(reinterpret_cast<const char*>(header), sizeof header);
        }
        {
            TextureLibraryDialog lib(nullptr, &f.rec);
            QVERIFY(LoadedLibrary());
            QVERIFY(lib.failed());
            QCOMPARE(lib.run(), 2);
        }
        QCOMPARE(rec.boxes().size(), size_t(1));
        ReleaseTextureLibrary();
        SetLibraryFolder(libraryDir_.path().toStdString() + "/");
    }

    void smallImagePreviewedAtFullSize() {
        Fixture f(120, 100, TV32RECT{10, 10, 100, 90});
        FrameShadowDialog d(nullptr, &f.rec);
        const PreviewState& p = d.preview();
        QCOMPARE(p.image, f.image); // no copy
        QCOMPARE(p.sx, 1.0f);
        QCOMPARE(RectWidth(p.view), 120);
        QCOMPARE(RectHeight(p.view), 100);
        const TV32RECT c = CenterRect(p.inner, 120, 100);
        QCOMPARE(p.view.left, c.left);
        QCOMPARE(p.working.frameWidth, 10);
    }

    void shrunkImageKeepsThinThings() {
        // 3000 x 2000 into the pane: shrunk about ten times.
        Fixture f(3000, 2000, TV32RECT{0, 0, 3000, 4});
        f.rec.params.shadowOffsetX = 1;
        f.rec.params.shadowOffsetY = 1;
        f.rec.params.blendWidth = 0;
        FrameShadowDialog d(nullptr, &f.rec);
        const PreviewState& p = d.preview();
        QVERIFY(p.sx > 9.0f);
        QCOMPARE(p.selection.left, 1); // corner selection starts at x = 1
        QVERIFY(RectHeight(p.previewSelection) >= 1);
        QVERIFY(RectWidth(p.previewSelection) >= 1);
        QCOMPARE(p.working.shadowOffsetX, 1);
        QCOMPARE(p.working.shadowOffsetY, 1);
    }

    void previewPixelsAreTheScaledRendering() {
        for (int bpp : {3, 1}) {
            Fixture f(900, 700, TV32RECT{100, 80, 700, 600}, bpp);
            f.rec.params.frameWidth = 25;
            f.rec.params.shadowOffsetX = 33;
            f.rec.params.transparency = 40;
            FrameShadowDialog d(nullptr, &f.rec);
            const PreviewState& p = d.preview();
            // The same parameters, scaled by hand, rendered on a fresh copy of the scaled image.
            TV32HBUF scaled = 0, sel = 0, expect = 0;
            const TV32SIZE size{RectWidth(p.view), RectHeight(p.view)};
            QVERIFY(tv32BufferResampleEx(&size, f.image, &scaled, 0, nullptr, 1));
            const TV32RECT q = p.previewSelection;
            QVERIFY(buf32GetBuf(scaled, q.left, q.top, RectWidth(q), RectHeight(q), &sel));
            FrameShadowParams w = f.rec.params;
            const float m = std::min(p.sx, p.sy);
            w.frameWidth = ScaleToPreview(25, m);
            w.shadowOffsetX = ScaleToPreview(33, p.sx);
            w.shadowOffsetY = ScaleToPreview(10, p.sy);
            w.blendWidth = ScaleToPreview(10, m);
            w.placement.left = q.left;
            w.placement.top = q.top;
            QVERIFY(RenderFrameAndShadow(sel, scaled, nullptr, 2, &w, &expect, 0, nullptr));
            BUF32INFO info{};
            buf32GetInfo(p.result, &info);
            QCOMPARE(info.bytesPerPixel, 3); // a grey image's preview is true colour
            std::vector<uint8_t> want = pixelsOf(expect);
            if (bpp == 1) {
                std::vector<uint8_t> rgb;
                for (uint8_t g : want)
                    rgb.insert(rgb.end(), {g, g, g});
                want = rgb;
            }
            QVERIFY(pixelsOf(p.result) == want);
            buf32Free(scaled);
            buf32Free(sel);
            buf32Free(expect);
        }
    }

    void settingsThroughTheDialog() {
        Fixture f(300, 200, TV32RECT{40, 30, 260, 170});
        FrameShadowDialog d(nullptr, &f.rec);
        QCOMPARE(ApplyDialogSettings(
                     d, QStringLiteral("frameWidth=4,shadowDirection=3,shadowOffsetX=7,shadowOffsetY=8,"
                                       "transparency=55,blendWidth=3,frameColor=#00FF80,shadowColor=0x10,"
                                       "frameFill=color")),
                 QString());
        d.pressOk();
        QCOMPARE(d.result(), 1);
        const FrameShadowParams& p = f.rec.params;
        QCOMPARE(p.frameWidth, 4);
        QCOMPARE(p.shadowDirection, 3);
        QCOMPARE(p.shadowOffsetX, 7);
        QCOMPARE(p.shadowOffsetY, 8);
        QCOMPARE(p.transparency, 55);
        QCOMPARE(p.blendWidth, 3);
        QCOMPARE(p.frameColor, 0x0080FF00u);
        QCOMPARE(p.shadowColor, 0x10u);
        FrameShadowDialog d2(nullptr, &f.rec);
        QVERIFY(
            ApplyDialogSettings(d2, QStringLiteral("transparency=100")).contains(QStringLiteral("[0 , 99]")));
        QVERIFY(!ApplyDialogSettings(d2, QStringLiteral("colour=1")).isEmpty());
        QCOMPARE(ApplyDialogSettings(d2, QStringLiteral("shadow=off,blending=off")), QString());
        d2.pressOk();
        QCOMPARE(f.rec.params.shadowOffsetX, 0);
    }

    void aDialogNeverShownPreviewsABlankPictureWithTheSameOutcome_data() {
        QTest::addColumn<int>("bytesPerPixel");
        QTest::newRow("true colour") << 3;
        QTest::newRow("grey") << 1;
    }

    void aDialogNeverShownPreviewsABlankPictureWithTheSameOutcome() {
        QFETCH(int, bytesPerPixel);
        // A picture larger than the pane, so that the shown dialog scales it down for its preview.
        const QString settings = QStringLiteral("frameWidth=25,shadowDirection=2,shadowOffsetX=60,"
                                                "shadowOffsetY=9,transparency=35,blendWidth=12");
        Fixture shown(1200, 900, TV32RECT{100, 80, 1100, 860}, bytesPerPixel),
            hidden(1200, 900, TV32RECT{100, 80, 1100, 860}, bytesPerPixel);
        FrameShadowDialog a(nullptr, &shown.rec), b(nullptr, &hidden.rec, false);
        QVERIFY(!a.failed() && !b.failed());
        BUF32INFO sa{}, sb{};
        QVERIFY(buf32GetInfo(a.preview().image, &sa) && buf32GetInfo(b.preview().image, &sb));
        QCOMPARE(sb.width, sa.width);
        QCOMPARE(sb.height, sa.height);
        QCOMPARE(sb.bitsPerPixel, sa.bitsPerPixel);
        const std::vector<uint8_t> blank = pixelsOf(b.preview().image);
        QVERIFY(std::all_of(blank.begin(), blank.end(), [](uint8_t v) { return v == 0; }));
        QVERIFY(pixelsOf(a.preview().image) != blank);
        QCOMPARE(b.frameMaximum(), a.frameMaximum());
        QCOMPARE(ApplyDialogSettings(a, settings), QString());
        QCOMPARE(ApplyDialogSettings(b, settings), QString());
        QCOMPARE(b.offsetLimits().xMax, a.offsetLimits().xMax);
        QCOMPARE(b.offsetLimits().yMax, a.offsetLimits().yMax);
        QCOMPARE(b.refreshCount(), a.refreshCount());
        QCOMPARE(ApplyDialogSettings(b, QStringLiteral("shadowOffsetX=150")),
                 ApplyDialogSettings(a, QStringLiteral("shadowOffsetX=150")));
        a.pressOk();
        b.pressOk();
        QCOMPARE(b.result(), 1);
        // Everything but the texture object, which each dialog loads for itself.
        QVERIFY(std::memcmp(&shown.rec.params, &hidden.rec.params,
                            offsetof(FrameShadowParams, textureData)) == 0);

        // Where the shown dialog's preview cannot be made, the hidden one fails the same way.
        Fixture tinyShown(1, 1, TV32RECT{0, 0, 1, 1}, bytesPerPixel),
            tinyHidden(1, 1, TV32RECT{0, 0, 1, 1}, bytesPerPixel);
        FrameShadowDialog c(nullptr, &tinyShown.rec), d(nullptr, &tinyHidden.rec, false);
        QVERIFY(c.failed());
        QVERIFY(d.failed());
    }

    void noLeaks() {
        const int live = buf32CountLive();
        {
            Fixture f(900, 700, TV32RECT{100, 80, 700, 600});
            FrameShadowDialog d(nullptr, &f.rec);
            d.refreshPreview();
        }
        QCOMPARE(buf32CountLive(), live);
    }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
