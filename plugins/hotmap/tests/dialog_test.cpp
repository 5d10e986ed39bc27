// The image-map dialog: what its fields show, the tag string, the clipboard, help and about, and
// the dialog itself driven with clicks and keys (headless).
#include "analysis.h"
#include "dialog.h"
#include "masks.h"
#include "stringtable.h"

#include "hotmap/hotmap.h"
#include "imagelib/imagelib.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"

#include "desktop/services.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>

using testmask::Mask;

namespace {

// An analysed request over a mask, with the caller's URL buffer.
struct Request {
    TV32HBUF mask = 0;
    int32_t offset[2] = {0, 0};
    char url[HM_URL_SIZE] = {};
    ImageMapRequest r{};

    Request(const Mask& m, int32_t format, const char* u, const char* title = "Image Map Tag") {
        buf32Alloc(&mask, 8, m.w, m.h, BUF32_FILL_ZERO, nullptr);
        buf32MergeMem(mask, 0, 0, m.px.data(), m.w, m.h);
        std::strncpy(url, u, HM_URL_SIZE - 1);
        std::strncpy(r.title, title, HM_TITLE_SIZE - 1);
        r.text = static_cast<char*>(std::calloc(1024, 1));
        r.textSize = 1024;
        r.format = format;
        r.mask = mask;
        r.offset = offset;
        r.url = url;
    }
    ~Request() {
        std::free(r.text);
        buf32Free(mask);
    }
    bool analyse() { return hotmap::analyseRequest(r, 1.0); }
};

Mask rectMask() { // box 5,6 .. 24,15
    Mask m(40, 30);
    testmask::rect(m, 5, 6, 20, 10);
    return m;
}
Mask discMask() { // centre (50, 40), radius 10
    Mask m(80, 70);
    testmask::disc(m, 40, 30, 21);
    return m;
}
Mask triangleMask() {
    Mask t(30, 30);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x <= y; ++x)
            t.at(x + 1, y + 1) = 255;
    return t;
}

template <class W> W* child(QWidget* dialog, const char* id) {
    W* w = dialog->findChild<W*>(QLatin1String(id));
    if (!w) qWarning("no control %s", id);
    return w;
}
QString tagOf(QWidget* d) {
    return child<QPlainTextEdit>(d, "2800")->toPlainText();
}
QString textOf(QWidget* d, const char* id) {
    return child<QLabel>(d, id)->text();
}

// Runs `drive` on the dialog once the export has put it up.
void whenDialogShows(std::function<void(QWidget*)> drive) {
    QTimer::singleShot(0, qApp, [drive] {
        QWidget* d = QApplication::activeModalWidget();
        QVERIFY(d);
        QCOMPARE(d->objectName(), QStringLiteral("ImageMapDialog"));
        drive(d);
    });
}

TV32HWND aboutOwner = 0;
int aboutHook(TV32HWND owner, const char*) {
    aboutOwner = owner;
    return 1;
}

} // namespace

class DialogTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        hotmap::setClipboardSink({});
        QGuiApplication::clipboard()->setText(QStringLiteral("unchanged"));
    }

    void fieldsShowTheShape() {
        ImageMapRequest r{};
        r.shape = HM_SHAPE_RECT;
        const int32_t box[4] = {10, 20, 209, 119};
        std::memcpy(r.shapeParams, box, sizeof box);
        hotmap::SelectionFields f = hotmap::selectionFields(r);
        QVERIFY(!f.circle);
        QCOMPARE(f.type, std::string("RECT"));
        QCOMPARE(f.position, std::string("(10, 20) - (209, 119)"));
        QCOMPARE(f.widthLabel, std::string("Width:"));
        QCOMPARE(f.width, std::string("199"));
        QCOMPARE(f.height, std::string("99"));
        r.shape = HM_SHAPE_POLY;
        QCOMPARE(hotmap::selectionFields(r).type, std::string("POLY"));

        r.shape = HM_SHAPE_CIRCLE;
        const int32_t circle[4] = {50, 40, 10, 0};
        std::memcpy(r.shapeParams, circle, sizeof circle);
        f = hotmap::selectionFields(r);
        QVERIFY(f.circle);
        QCOMPARE(f.type, std::string("CIRCLE"));
        QCOMPARE(f.position, std::string("(40, 30) - (60, 50)"));
        QCOMPARE(f.widthLabel, std::string("Center point:"));
        QCOMPARE(f.heightLabel, std::string("Radius:"));
        QCOMPARE(f.centre, std::string("50, 40"));
        QCOMPARE(f.radius, std::string("10"));

        QCOMPARE(hotmap::formatOfChecks(true, false), HM_FORMAT_INLINE);
        QCOMPARE(hotmap::formatOfChecks(false, true), HM_FORMAT_NCSA);
        QCOMPARE(hotmap::formatOfChecks(false, false), HM_FORMAT_CERN);
        char small[5];
        QCOMPARE(hotmap::loadString(hotmap::kStrCenterPoint, small, 5), 4);
        QCOMPARE(std::string(small), std::string("Cent"));
        QCOMPARE(hotmap::loadString(4711), std::string());
    }

    void tagStringClipboardTextAndUrl() {
        const char* templ = "rect %s 1,2 3,4";
        QCOMPARE(hotmap::tagString(templ, QStringLiteral("  http://a b/  ")),
                 std::string("rect http://a b/ 1,2 3,4"));
        QCOMPARE(hotmap::tagString(templ, QString()), std::string("rect  1,2 3,4"));
        // The URL is at most 259 bytes, never half a character.
        const QString longUrl = QString(258, QLatin1Char('a')) + QStringLiteral("\u00e9z");
        QCOMPARE(hotmap::tagString("%s", longUrl), std::string(258, 'a'));
        char buf[HM_URL_SIZE + 8];
        std::memset(buf, 'x', sizeof buf);
        hotmap::writeUrl(buf, QString(300, QLatin1Char('u')));
        QCOMPARE(std::strlen(buf), std::size_t(259));
        QCOMPARE(buf[260], 'x');
        hotmap::writeUrl(buf, QStringLiteral(" kept as typed "));
        QCOMPARE(std::string(buf), std::string(" kept as typed "));

        QVERIFY(hotmap::canCopy(QStringLiteral("x")));
        QVERIFY(hotmap::canCopy(QStringLiteral(" \nsecond")));
        QVERIFY(!hotmap::canCopy(QString()));
        QVERIFY(!hotmap::canCopy(QStringLiteral("\nsecond line only")));
        QCOMPARE(hotmap::clipboardText(QStringLiteral("\n  <AREA a>\n<AREA b>  \n")),
                 std::string("<AREA a>\n<AREA b>"));

        QCOMPARE(hotmap::helpFileFor("/opt/kit/lib/libhotmap.so"), std::string("/opt/kit/lib/nf4ps.hlp>d"));
        QCOMPARE(hotmap::helpFileFor("libhotmap.so"), std::string("nf4ps.hlp>d"));
    }

    void startShowsTheSelectionAndTheTag() {
        Request q(rectMask(), HM_FORMAT_INLINE, "http://example.com/", "Map of [*] the page");
        QVERIFY(q.analyse());
        hotmap::ImageMapDialog d(nullptr, &q.r);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(d.windowHandle()->title(), QStringLiteral("Map of [*] the page")); // shown as given
        QCOMPARE(textOf(&d, "1000"), QStringLiteral("RECT"));
        QCOMPARE(textOf(&d, "1003"), QStringLiteral("(5, 6) - (24, 15)"));
        QCOMPARE(textOf(&d, "1006"), QStringLiteral("Width:"));
        QCOMPARE(textOf(&d, "1004"), QStringLiteral("19"));
        QCOMPARE(textOf(&d, "1005"), QStringLiteral("9"));
        for (const char* shown : {"1004", "1005", "1007", "1009"})
            QVERIFY2(child<QLabel>(&d, shown)->isVisible(), shown);
        QVERIFY(!child<QLabel>(&d, "1010")->isVisible());
        QVERIFY(!child<QLabel>(&d, "1011")->isVisible());
        QVERIFY(child<QRadioButton>(&d, "1036")->isChecked());
        QCOMPARE(child<QLineEdit>(&d, "1039")->text(), QStringLiteral("http://example.com/"));
        QCOMPARE(child<QLineEdit>(&d, "1039")->maxLength(), 260);
        QCOMPARE(tagOf(&d),
                 QStringLiteral("<AREA SHAPE=\"RECT\" COORDS=\"5,6,24,15\" HREF=\"http://example.com/\">"));
        QVERIFY(child<QPushButton>(&d, "1")->isEnabled());
        QVERIFY(child<QPushButton>(&d, "1")->isDefault());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(child<QLineEdit>(&d, "1039")));
        QTRY_VERIFY(!child<QLineEdit>(&d, "1039")->hasSelectedText()); // the caret at the end
        QCOMPARE(child<QLineEdit>(&d, "1039")->cursorPosition(), 19);

        // An empty URL still gives the entry at once.
        Request empty(rectMask(), HM_FORMAT_NCSA, "");
        QVERIFY(empty.analyse());
        hotmap::ImageMapDialog e(nullptr, &empty.r);
        QCOMPARE(tagOf(&e), QStringLiteral("rect  5,6 24,15"));
    }

    void layoutFollowsTheTemplate() {
        Request q(rectMask(), HM_FORMAT_INLINE, "u");
        QVERIFY(q.analyse());
        hotmap::ImageMapDialog d(nullptr, &q.r);
        const tv32::DialogUnits du = tv32::dialogUnitsOf(tv32::dialogFont());
        QCOMPARE(d.size(), du.size(254, 154));
        QCOMPARE(child<QWidget>(&d, "2800")->geometry(), du.rect(53, 92, 195, 37));
        QCOMPARE(child<QWidget>(&d, "1039")->geometry(), du.rect(118, 75, 130, 12));
        QCOMPARE(child<QWidget>(&d, "1040")->geometry(), du.rect(198, 133, 50, 14));
        QCOMPARE(child<QWidget>(&d, "1010")->geometry(), du.rect(67, 41, 54, 9));
        for (const char* id : {"1000", "1003", "1004", "1005", "1006", "1007", "1008", "1009", "1010", "1011",
                               "1036", "1037", "1038", "1039", "2800", "1", "2", "57670", "1040"}) {
            QWidget* w = child<QWidget>(&d, id);
            QVERIFY2(w, id);
            QVERIFY2(QRect(QPoint(0, 0), d.size()).contains(w->geometry()), id);
        }
        QCOMPARE(child<QPushButton>(&d, "1")->text(), QStringLiteral("To &Clipboard"));
        QCOMPARE(child<QRadioButton>(&d, "1038")->text(), QStringLiteral("CE&RN"));
    }

    void circleShowsCentreAndRadius() {
        Request q(discMask(), HM_FORMAT_INLINE, "u");
        QVERIFY(q.analyse());
        QCOMPARE(q.r.shape, HM_SHAPE_CIRCLE);
        hotmap::ImageMapDialog d(nullptr, &q.r);
        d.show();
        QCOMPARE(textOf(&d, "1000"), QStringLiteral("CIRCLE"));
        QCOMPARE(textOf(&d, "1003"), QStringLiteral("(40, 30) - (60, 50)"));
        QCOMPARE(textOf(&d, "1006"), QStringLiteral("Center point:"));
        QCOMPARE(textOf(&d, "1008"), QStringLiteral("Radius:"));
        QCOMPARE(textOf(&d, "1010"), QStringLiteral("50, 40"));
        QCOMPARE(textOf(&d, "1011"), QStringLiteral("10"));
        for (const char* hidden : {"1004", "1005", "1007", "1009"})
            QVERIFY2(!child<QLabel>(&d, hidden)->isVisible(), hidden);
        QVERIFY(child<QLabel>(&d, "1010")->isVisible());
        QVERIFY(child<QLabel>(&d, "1011")->isVisible());
    }

    void typingAndFormatsRewriteTheTag() {
        Request q(triangleMask(), HM_FORMAT_INLINE, "");
        QVERIFY(q.analyse());
        hotmap::ImageMapDialog d(nullptr, &q.r);
        d.show();
        auto* url = child<QLineEdit>(&d, "1039");
        const QString typed = QStringLiteral("a b");
        for (int i = 0; i < typed.size(); ++i) {
            QTest::keyClick(url, typed[i].toLatin1());
            QCOMPARE(tagOf(&d),
                     QStringLiteral("<AREA SHAPE=\"POLY\" COORDS=\"1,1,20,20,1,20,1,1\" HREF=\"%1\">")
                         .arg(typed.left(i + 1).trimmed()));
        }
        QTest::mouseClick(child<QRadioButton>(&d, "1037"), Qt::LeftButton);
        QCOMPARE(q.r.format, HM_FORMAT_NCSA);
        QCOMPARE(std::string(q.r.text), std::string("poly %s 1,1 20,20 1,20 1,1"));
        QCOMPARE(tagOf(&d), QStringLiteral("poly a b 1,1 20,20 1,20 1,1"));
        QTest::mouseClick(child<QRadioButton>(&d, "1038"), Qt::LeftButton);
        QCOMPARE(q.r.format, HM_FORMAT_CERN);
        QCOMPARE(tagOf(&d), QStringLiteral("polygon (1,1) (20,20) (1,20) (1,1) a b"));
        QTest::keyClick(url, Qt::Key_Backspace);
        QCOMPARE(tagOf(&d), QStringLiteral("polygon (1,1) (20,20) (1,20) (1,1) a"));
        // The URL stays the caller's until the entry is copied.
        QCOMPARE(std::string(q.url), std::string());
    }

    void emptyFirstLineDisablesCopy() {
        Request q(rectMask(), HM_FORMAT_NCSA, "u");
        QVERIFY(q.analyse());
        hotmap::ImageMapDialog d(nullptr, &q.r);
        d.show();
        auto* tag = child<QPlainTextEdit>(&d, "2800");
        auto* copy = child<QPushButton>(&d, "1");
        tag->setFocus();
        tag->moveCursor(QTextCursor::Start);
        QTest::keyClick(tag, Qt::Key_Return); // the entry moves to the second line
        QCOMPARE(tag->toPlainText(), QStringLiteral("\nrect u 5,6 24,15"));
        QVERIFY(!copy->isEnabled());
        QTest::keyClick(tag, Qt::Key_Backspace);
        QVERIFY(copy->isEnabled());
        tag->selectAll();
        QTest::keyClick(tag, Qt::Key_Delete);
        QVERIFY(!copy->isEnabled());
        // A new URL writes the entry again.
        QTest::keyClick(child<QLineEdit>(&d, "1039"), 'x');
        QCOMPARE(tag->toPlainText(), QStringLiteral("rect ux 5,6 24,15"));
        QVERIFY(copy->isEnabled());
    }

    void userEditGoesToTheClipboardAndBackToTheCaller() {
        Mask m = rectMask();
        char url[HM_URL_SIZE] = "http://old/";
        int32_t format = HM_FORMAT_INLINE;
        const int32_t offset[2] = {100, 200};
        whenDialogShows([](QWidget* d) {
            QTest::mouseClick(child<QRadioButton>(d, "1038"), Qt::LeftButton);
            auto* u = child<QLineEdit>(d, "1039");
            u->selectAll();
            QTest::keyClicks(u, QStringLiteral("  new.html "));
            auto* tag = child<QPlainTextEdit>(d, "2800");
            QCOMPARE(tag->toPlainText(), QStringLiteral("rectangle (105,206) (124,215) new.html"));
            tag->moveCursor(QTextCursor::End);
            QTest::keyClicks(tag, QStringLiteral("  # the logo  "));
            QTest::keyClick(tag, Qt::Key_Return);
            QTest::mouseClick(child<QPushButton>(d, "1"), Qt::LeftButton);
        });
        QCOMPARE(hmGenImageTagFromAPSBuf(0, m.px.data(), m.w, m.h, m.w, offset, "Tag", url, &format, 0), 1);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("rectangle (105,206) (124,215) new.html  # the logo"));
        QCOMPARE(std::string(url), std::string("  new.html ")); // as typed
        QCOMPARE(format, HM_FORMAT_CERN);
    }

    void cancelLeavesTheCallersUrlAndFormat() {
        Mask m = discMask();
        char url[HM_URL_SIZE] = "keep.html";
        int32_t format = HM_FORMAT_NCSA;
        const int32_t offset[2] = {0, 0};
        for (const char* how : {"cancel", "esc"}) {
            whenDialogShows([how](QWidget* d) {
                QTest::mouseClick(child<QRadioButton>(d, "1036"), Qt::LeftButton);
                QTest::keyClicks(child<QLineEdit>(d, "1039"), QStringLiteral("/more"));
                if (std::strcmp(how, "esc") == 0)
                    QTest::keyClick(d, Qt::Key_Escape);
                else
                    QTest::mouseClick(child<QPushButton>(d, "2"), Qt::LeftButton);
            });
            QCOMPARE(hmGenImageTagFromAPSBuf(0, m.px.data(), m.w, m.h, m.w, offset, "Tag", url, &format, 0),
                     0);
            int32_t info[6] = {};
            QCOMPARE(c32GetDLLErrInfo(info), 1);
            QCOMPARE(info[2], HM_ERR_CANCELLED);
            QCOMPARE(std::string(url), std::string("keep.html"));
            QCOMPARE(format, HM_FORMAT_NCSA);
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("unchanged"));
        }
        // A request handed in directly gets its format and matching entry back.
        Request q(m, HM_FORMAT_CERN, "r");
        whenDialogShows([](QWidget* d) {
            QTest::mouseClick(child<QRadioButton>(d, "1037"), Qt::LeftButton);
            QCOMPARE(tagOf(d), QStringLiteral("circle r 50,40 50,30"));
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE(hmGetImageTagFromAikBuf(0, &q.r, 0), 0);
        QCOMPARE(q.r.format, HM_FORMAT_CERN);
        QCOMPARE(std::string(q.r.text), std::string("circ 50,40,10 %s"));
        // Nothing selected: no dialog at all.
        Mask empty(10, 10);
        QCOMPARE(hmGenImageTagFromAPSBuf(0, empty.px.data(), 10, 10, 10, offset, "Tag", url, &format, 0), 0);
        int32_t info[6] = {};
        QCOMPARE(c32GetDLLErrInfo(info), 1);
        QCOMPARE(info[2], HM_ERR_NOTHING_SELECTED);
    }

    void clipboardFailureKeepsTheDialogOpen() {
        desktop::Recorder rec;
        int tries = 0;
        hotmap::setClipboardSink([&](const std::string&) { return ++tries > 1; });
        Request q(rectMask(), HM_FORMAT_NCSA, "u");
        whenDialogShows([&](QWidget* d) {
            QTest::keyClick(child<QLineEdit>(d, "1039"), 'v');
            QTest::mouseClick(child<QPushButton>(d, "1"), Qt::LeftButton);
            QVERIFY(d->isVisible());
            QCOMPARE(rec.boxes().size(), std::size_t(1));
            QVERIFY(rec.boxes()[0].text.contains(QStringLiteral("could not be copied")));
            QCOMPARE(rec.boxes()[0].title, QStringLiteral("Image Map Tag"));
            QCOMPARE(std::string(q.url), std::string("u"));                // not written back
            QTest::mouseClick(child<QPushButton>(d, "1"), Qt::LeftButton); // the second try works
        });
        QCOMPARE(hmGetImageTagFromAikBuf(0, &q.r, 0), 1);
        QCOMPARE(tries, 2);
        QCOMPARE(std::string(q.url), std::string("uv"));
    }

    void helpOpensAtItsContextAndQuitsWithTheDialog() {
        desktop::Recorder rec;
        Request q(rectMask(), HM_FORMAT_INLINE, "u");
        QVERIFY(q.analyse());
        auto d = std::make_unique<hotmap::ImageMapDialog>(nullptr, &q.r);
        QTest::mouseClick(child<QPushButton>(d.get(), "57670"), Qt::LeftButton);
        QCOMPARE(rec.entries.size(), std::size_t(1));
        const auto help = rec.entries[0];
        QCOMPARE(help.kind, desktop::Recorder::Entry::Kind::Help);
        QCOMPARE(help.context, 170);
        // The library is linked into this program here: its folder is the program's.
        QCOMPARE(help.text, QCoreApplication::applicationDirPath() + QStringLiteral("/nf4ps.hlp>d"));
        d.reset();
        QCOMPARE(rec.entries.size(), std::size_t(2));
        QCOMPARE(rec.entries[1].kind, desktop::Recorder::Entry::Kind::HelpQuit);
        QCOMPARE(rec.entries[1].text, help.text);

        // Help that did not open is not closed.
        rec.clear();
        rec.helpResult = false;
        d = std::make_unique<hotmap::ImageMapDialog>(nullptr, &q.r);
        QTest::mouseClick(child<QPushButton>(d.get(), "57670"), Qt::LeftButton);
        d.reset();
        QCOMPARE(rec.entries.size(), std::size_t(1));
    }

    void aboutBoxIsOwnedByTheDialog() {
        Request q(rectMask(), HM_FORMAT_INLINE, "u");
        QVERIFY(q.analyse());
        hotmap::ImageMapDialog d(nullptr, &q.r);
        SCABOUTHOOK old = scSetAboutBoxHook(aboutHook);
        aboutOwner = 0;
        QTest::mouseClick(child<QPushButton>(&d, "1040"), Qt::LeftButton);
        scSetAboutBoxHook(old);
        QVERIFY(aboutOwner != 0);
        QCOMPARE(tv32::widgetFromHandle(aboutOwner), static_cast<QWidget*>(&d));
    }

    void modalOverTheHostWindow() {
        QWidget host;
        host.setGeometry(200, 150, 600, 450);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        Request q(rectMask(), HM_FORMAT_INLINE, "u");
        whenDialogShows([&host](QWidget* d) {
            QVERIFY(d->isModal());
            QCOMPARE(d->parentWidget(), &host);
            QVERIFY((d->geometry().center() - host.geometry().center()).manhattanLength() <= 4);
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE(hmGetImageTagFromAikBuf(tv32::handleOfWidget(&host), &q.r, 0), 0);
    }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
