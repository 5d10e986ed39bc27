// The main window as a user meets it: pictures, hot areas, hints, popup menu, shortcuts.
#include "desktop/services.h"
#include "framework/forms.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/chooserform.h"
#include "shell/infoform.h"
#include "shell/mainform.h"
#include "shell/music.h"
#include "testmusic.h"

#include <QContextMenuEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fstream>

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void layoutAndPictures();
    void hoverShowsExactlyOneLitPicture();
    void clicksOpenTheChooserAndTheViewer();
    void shortcutsActWhileTheMainWindowIsActive();
    void rightClickAnywhereOpensThePopupMenu();
    void quitEndsTheProgram();
    void missingSettingsFileGivesAnEmptyProductLabel();
    void longNonAsciiProductNameShowsItsFirst250Characters();

  private:
    void moveOver(QWidget* w);
    // Runs `open` (which shows `form` modally) and closes `form` from inside its modal run.
    bool opensModally(forms::TForm* form, const std::function<void()>& open);
    QTemporaryDir kit_;
};

void MainWindowTest::initTestCase() {
    QVERIFY(kit_.isValid());
    std::ofstream(kit_.filePath("install.ini").toStdString())
        << "[OPTIONS]\nAPPZ=Space Game v2\nSIZE=5\nSCRTXT=scrolling\nFILES=1\n";
    PrepareTestMusic(kit_.path().toStdString());
    forms::SetProgramFileOverride(kit_.filePath("install").toStdString());
    CreateForms();
    Form1->Show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
}

void MainWindowTest::cleanupTestCase() {
    DestroyForms();
    StopSound();
    forms::SetProgramFileOverride("");
}

void MainWindowTest::layoutAndPictures() {
    QCOMPARE(ProgramFolder, kit_.path().toStdString() + "/");
    QCOMPARE(Form1->windowTitle(), QStringLiteral("Halcyon Installer..."));
    struct Expect {
        const char* name;
        QRect geometry;
    };
    const Expect expected[] = {
        {"Image1", {0, 0, 492, 361}},   {"Image2", {30, 315, 117, 29}}, {"Image4", {378, 315, 76, 34}},
        {"Image3", {220, 315, 75, 31}}, {"Label4", {28, 277, 439, 18}}, {"ScrollText1", {39, 237, 418, 14}},
        {"Label1", {34, 320, 110, 23}}, {"Label2", {226, 319, 61, 24}}, {"Label3", {382, 319, 60, 25}},
        {"Label5", {395, 4, 95, 15}},
    };
    QWidget* previous = nullptr;
    for (const Expect& e : expected) {
        auto* w = Form1->findChild<QWidget*>(QLatin1String(e.name));
        QVERIFY2(w, e.name);
        QCOMPARE(w->geometry(), e.geometry);
        if (previous) { // stacking: each control lies above the ones before it
            const auto siblings = w->parentWidget()->children();
            QVERIFY2(siblings.indexOf(w) > siblings.indexOf(previous), e.name);
        }
        previous = w;
    }
    QCOMPARE(Form1->Image1->picture().size(), QSize(492, 361));
    QCOMPARE(Form1->Image2->picture().size(), QSize(117, 33));
    QCOMPARE(Form1->Image3->picture().size(), QSize(72, 33));
    QCOMPARE(Form1->Image4->picture().size(), QSize(68, 31));
    QCOMPARE(Form1->Image2->toolTip(), QStringLiteral("Install Game"));
    QCOMPARE(Form1->Image3->toolTip(), QStringLiteral("Read Game Info"));
    QCOMPARE(Form1->Image4->toolTip(), QStringLiteral("Exit Installer"));
    QCOMPARE(Form1->Label4->caption(), QStringLiteral("Space Game v2"));
    QCOMPARE(Form1->Label4->font().pixelSize(), 15);
    QVERIFY(!Form1->Image2->isVisible() && !Form1->Image3->isVisible() && !Form1->Image4->isVisible());

    // The background is dark with a bright logo in its upper part, and the product name is drawn.
    const QImage shot = Form1->Image1->grab().toImage();
    QVERIFY(qGray(shot.pixel(5, 200)) < 60);
    int bright = 0;
    for (int x = 40; x < 450; ++x)
        bright += qGray(shot.pixel(x, 110)) > 150;
    QVERIFY2(bright > 40, "title logo");
}

void MainWindowTest::moveOver(QWidget* w) {
    QMouseEvent ev(QEvent::MouseMove, QPointF(w->width() / 2, w->height() / 2), w->mapToGlobal(QPointF(1, 1)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

void MainWindowTest::hoverShowsExactlyOneLitPicture() {
    auto lit = [] {
        return QString("%1%2%3")
            .arg(Form1->Image2->isVisible())
            .arg(Form1->Image3->isVisible())
            .arg(Form1->Image4->isVisible());
    };
    moveOver(Form1->Label1);
    QCOMPARE(lit(), QStringLiteral("100"));
    moveOver(Form1->Image2); // once shown, the picture's margins react too
    QCOMPARE(lit(), QStringLiteral("100"));
    moveOver(Form1->Label2);
    QCOMPARE(lit(), QStringLiteral("010"));
    moveOver(Form1->Label3);
    QCOMPARE(lit(), QStringLiteral("001"));
    moveOver(Form1->Image4);
    QCOMPARE(lit(), QStringLiteral("001"));
    moveOver(Form1->Label4); // the product name changes nothing
    QCOMPARE(lit(), QStringLiteral("001"));
    moveOver(Form1->Image1);
    QCOMPARE(lit(), QStringLiteral("000"));
    // The lit picture over its button is exactly the button's picture.
    moveOver(Form1->Label1);
    const QImage shown = Form1->Image2->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage expect = Form1->Image2->picture().copy(0, 0, 117, 29).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.pixel(60, 14), expect.pixel(60, 14));
    moveOver(Form1->Image1);
}

bool MainWindowTest::opensModally(forms::TForm* form, const std::function<void()>& open) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        seen = form->isVisible() && form->inModalRun();
        form->Close();
    });
    open();
    return seen && !form->isVisible();
}

void MainWindowTest::clicksOpenTheChooserAndTheViewer() {
    QVERIFY(opensModally(Form2, [] { QTest::mouseClick(Form1->Label1, Qt::LeftButton); }));
    QVERIFY(opensModally(Form4, [] { QTest::mouseClick(Form1->Label2, Qt::LeftButton); }));
    moveOver(Form1->Label1);
    QVERIFY(opensModally(Form2, [] { QTest::mouseClick(Form1->Image2, Qt::LeftButton); }));
    QVERIFY(opensModally(Form2, [] { Form1->Install1->trigger(); }));
    QVERIFY(opensModally(Form4, [] { Form1->hcynfo1->trigger(); }));
    moveOver(Form1->Image1);
}

void MainWindowTest::shortcutsActWhileTheMainWindowIsActive() {
    Form1->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form1));
    QVERIFY(opensModally(Form2, [] { QTest::keyClick(Form1, Qt::Key_I, Qt::ControlModifier); }));
    Form1->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form1));
    QVERIFY(opensModally(Form4, [] { QTest::keyClick(Form1, Qt::Key_N, Qt::ControlModifier); }));
    QCOMPARE(Form1->Quit1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void MainWindowTest::rightClickAnywhereOpensThePopupMenu() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{Form1->Label4, Form1->Label1, Form1->Image1, Form1->Label5}) {
        QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(w, &ev);
        QTRY_VERIFY(Form1->PopupMenu1->isVisible());
        Form1->PopupMenu1->hide();
    }
    QStringList captions;
    for (QAction* a : Form1->PopupMenu1->actions())
        captions << a->text();
    QCOMPARE(captions, (QStringList{"Install", "Halcyon.nfo", "Quit"}));
}

void MainWindowTest::quitEndsTheProgram() {
    const std::function<void()> ways[] = {
        [] { QTest::mouseClick(Form1->Label3, Qt::LeftButton); },
        [] { Form1->Quit1->trigger(); },
        [] {
            Form1->activateWindow();
            QTest::keyClick(Form1, Qt::Key_Q, Qt::ControlModifier);
        },
        [] {
            Form1->Image4MouseMove();
            QTest::mouseClick(Form1->Image4, Qt::LeftButton);
        },
    };
    for (const auto& quit : ways) {
        Form1->Show();
        QVERIFY(QTest::qWaitForWindowActive(Form1));
        forms::ResetTerminateRequest();
        quit();
        QVERIFY(forms::TerminateRequested());
        QVERIFY(!Form1->isVisible());
    }
    forms::ResetTerminateRequest();
    Form1->Show();
}

void MainWindowTest::missingSettingsFileGivesAnEmptyProductLabel() {
    QTemporaryDir empty;
    forms::SetProgramFileOverride(empty.filePath("install").toStdString());
    InstallSettings = {};
    TForm1 bare;
    QCOMPARE(bare.Label4->caption(), QString());
    QCOMPARE(InstallSettings.OpenAfterPath, empty.path().toStdString() + "/");
    forms::SetProgramFileOverride(kit_.filePath("install").toStdString());
}

void MainWindowTest::longNonAsciiProductNameShowsItsFirst250Characters() {
    QTemporaryDir kit;
    std::string name;
    for (int i = 0; i < 260; ++i)
        name += "\xC3\xA9"; // é
    std::ofstream(kit.filePath("install.ini").toStdString()) << "[OPTIONS]\nAPPZ=" << name << "\n";
    forms::SetProgramFileOverride(kit.filePath("install").toStdString());
    InstallSettings = {};
    TForm1 form;
    QCOMPARE(form.Label4->caption(), QString(250, QChar(0xE9)));
    forms::SetProgramFileOverride(kit_.filePath("install").toStdString());
}

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
