// The destination chooser and the make-directory dialog, driven as a user would.
#include "demokit.h"
#include "desktop/application.h"
#include "desktop/services.h"
#include "framework/forms.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/chooserform.h"
#include "setup/extractform.h"
#include "setup/makedirform.h"
#include "shell/mainform.h"
#include "shell/music.h"
#include "testmusic.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

class FakeFreeSpace : public desktop::FreeSpaceService {
  public:
    std::optional<std::uint64_t> bytes = std::uint64_t{1} << 40;
    int calls = 0;
    std::optional<std::uint64_t> bytesAvailable(const QString&) override {
        ++calls;
        return bytes;
    }
};

} // namespace

class ChooserTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void firstShowingShowsFreeAndRequiredSpace();
    void shortageIsRedAndNamedInTheCaption();
    void nonNumericSizeShowsTheConversionError();
    void makeDirectoryCreatesAndOpensTheFolder();
    void existingOrEmptyNamesAreRefused();
    void aNameWithAPathMakesTheFolderThereAndOpensIt();
    void namesTheSystemRefusesGiveAClearMessageAndMakeNothing();
    void aFolderRemovedWhileShownIsNoticedAndNothingStarts();
    void completionWithoutFollowUpFileOpensOnlyTheDestination();

  private:
    // Opens the make-directory dialog from the chooser and confirms `name` there.
    void makeDir(const QString& name);
    // Runs the chooser modally; `inside` runs within the run, then the chooser is cancelled.
    void runChooser(const std::function<void()>& inside);
    FakeFreeSpace free_;
    QTemporaryDir root_;
    desktop::Recorder* rec_ = nullptr;
};

void ChooserTest::initTestCase() {
    QVERIFY(root_.isValid());
    QDir::setCurrent(root_.path());
    forms::SetProgramFileOverride(root_.filePath("install").toStdString());
    desktop::setFreeSpace(&free_);
    rec_ = new desktop::Recorder;
    PrepareTestMusic(root_.path().toStdString());
    CreateForms();
    InstallSettings.RequiredSize = "012";
    InstallSettings.DefaultDir = "NewGame";
    Form1->Show();
}

void ChooserTest::cleanupTestCase() {
    DestroyForms();
    StopSound();
    delete rec_;
    desktop::setFreeSpace(nullptr);
}

void ChooserTest::runChooser(const std::function<void()>& inside) {
    QTimer::singleShot(0, [&] {
        inside();
        Form2->SpeedButton3->click();
    });
    Form2->ShowModal();
    QVERIFY(!Form2->isVisible());
}

void ChooserTest::firstShowingShowsFreeAndRequiredSpace() {
    runChooser([] {
        QVERIFY(QTest::qWaitForWindowActive(Form2));
        QCOMPARE(Form2->Label3->caption(), QStringLiteral("1048576 Mb")); // never "Size A"
        QCOMPARE(Form2->Label3->fontColor(), QColor(Qt::black));
        QCOMPARE(Form2->Label4->caption(), QStringLiteral("012 Mb")); // shown as configured
        QCOMPARE(Form2->windowTitle(), QStringLiteral("Select a Directory"));
        QCOMPARE(Form2->DirectoryListBox1->Directory(), QDir::currentPath());
    });
}

void ChooserTest::shortageIsRedAndNamedInTheCaption() {
    free_.bytes = 900 * 1024;
    Form2->DriveComboBox1Change();
    QCOMPARE(Form2->Label3->caption(), QStringLiteral("900 Kb"));
    QCOMPARE(Form2->Label3->fontColor(), QColor(255, 0, 0));
    QCOMPARE(Form2->windowTitle(), QStringLiteral("Insufficient space on this disk!"));
    free_.bytes = std::nullopt; // a disk that cannot be asked
    Form2->DriveComboBox1Change();
    QCOMPARE(Form2->Label3->caption(), QStringLiteral("unknown"));
    QCOMPARE(Form2->windowTitle(), QStringLiteral("Select a Directory"));
    free_.bytes = std::uint64_t{1} << 40;
}

void ChooserTest::nonNumericSizeShowsTheConversionError() {
    Form2->DriveComboBox1Change();
    const QString before = Form2->Label3->caption();
    InstallSettings.RequiredSize = "lots";
    free_.bytes = 1024;
    rec_->clear();
    forms::RunHandler([] { Form2->DriveComboBox1Change(); });
    QCOMPARE(rec_->boxes().size(), std::size_t{1});
    QCOMPARE(rec_->boxes()[0].text, QStringLiteral("'lots' is not a valid integer value."));
    QCOMPARE(rec_->boxes()[0].icon, desktop::BoxIcon::Error);
    QCOMPARE(Form2->Label3->caption(), before); // label and caption keep their content
    InstallSettings.RequiredSize = "012";
    free_.bytes = std::uint64_t{1} << 40;
}

void ChooserTest::makeDirectoryCreatesAndOpensTheFolder() {
    const QString start = QDir::currentPath();
    runChooser([&] {
        Form2->SpeedButton2->click(); // "&Make Dir": the dialog shows, the chooser hides
        QVERIFY(Form3->isVisible());
        QVERIFY(!Form2->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(Form3));
        QCOMPARE(Form3->Edit1->text(), QStringLiteral("NewGame"));
        Form3->SpeedButton1->click();
        QVERIFY(!Form3->isVisible());
        QVERIFY(Form2->isVisible());
        QCOMPARE(QDir::currentPath(), start + "/NewGame");
        QCOMPARE(Form2->DirectoryListBox1->Directory(), start + "/NewGame");
        // The same name again is taken relative to the folder now open.
        Form2->SpeedButton2->click();
        QVERIFY(QTest::qWaitForWindowActive(Form3));
        Form3->SpeedButton1->click();
        QCOMPARE(QDir::currentPath(), start + "/NewGame/NewGame");
    });
    QDir::setCurrent(start);
    Form2->DirectoryListBox1->setDirectory(start);
}

void ChooserTest::existingOrEmptyNamesAreRefused() {
    QDir().mkdir("Taken");
    const QString start = QDir::currentPath();
    rec_->clear();
    runChooser([&] {
        Form2->SpeedButton2->click();
        QVERIFY(QTest::qWaitForWindowActive(Form3));
        Form3->Edit1->setText("Taken");
        Form3->SpeedButton1->click();
        QCOMPARE(rec_->boxes().size(), std::size_t{1});
        QCOMPARE(rec_->boxes()[0].title, QStringLiteral("Warning"));
        QCOMPARE(rec_->boxes()[0].text,
                 QStringLiteral("The Taken Directory already exists, please choose another name!"));
        QVERIFY(Form3->isVisible()); // the dialog stays open, nothing else changes
        QCOMPARE(QDir::currentPath(), start);
        Form3->Edit1->setText("");
        Form3->SpeedButton1->click(); // an empty name fails to be created: the error box
        QCOMPARE(rec_->boxes().size(), std::size_t{2});
        QCOMPARE(rec_->boxes()[1].icon, desktop::BoxIcon::Error);
        QVERIFY(Form3->isVisible());
        Form3->SpeedButton2->click(); // "&Cancel" brings the chooser back
        QVERIFY(!Form3->isVisible());
        QVERIFY(Form2->isVisible());
    });
}

void ChooserTest::makeDir(const QString& name) {
    Form2->SpeedButton2->click();
    QVERIFY(QTest::qWaitForWindowActive(Form3));
    Form3->Edit1->setText(name);
    Form3->SpeedButton1->click();
}

void ChooserTest::aNameWithAPathMakesTheFolderThereAndOpensIt() {
    // The folder is made where the name points, and the list shows it there, so the user sees where
    // the installation would go.
    const QString start = root_.filePath("paths/inner");
    QVERIFY(QDir().mkpath(start));
    QTemporaryDir elsewhere;
    runChooser([&] {
        QVERIFY(Form2->DirectoryListBox1->setDirectory(start));
        makeDir("../beside");
        QVERIFY(QFileInfo(root_.filePath("paths/beside")).isDir());
        QCOMPARE(Form2->DirectoryListBox1->Directory(), root_.filePath("paths/beside"));
        QCOMPARE(QDir::currentPath(), root_.filePath("paths/beside"));
        QVERIFY(Form2->isVisible());
        makeDir(elsewhere.filePath("game"));
        QCOMPARE(Form2->DirectoryListBox1->Directory(), elsewhere.filePath("game"));
        QCOMPARE(QDir::currentPath(), elsewhere.filePath("game"));
    });
    Form2->DirectoryListBox1->setDirectory(root_.path());
}

void ChooserTest::namesTheSystemRefusesGiveAClearMessageAndMakeNothing() {
    const QString start = root_.filePath("refused");
    QVERIFY(QDir().mkpath(start));
    const QString nul = QStringLiteral("half") + QChar(0) + QStringLiteral("name");
    struct Case {
        QString name;
        QString text;
    };
    const Case cases[] = {
        {QString(300, 'n'), "Cannot create the directory \"" + QString(300, 'n') + "\": File name too long."},
        {nul, "Cannot create the directory \"half\u2400name\": the name holds characters this disk does not "
              "accept."},
        {"missing/deeper", "Cannot create the directory \"missing/deeper\": No such file or directory."},
    };
    runChooser([&] {
        QVERIFY(Form2->DirectoryListBox1->setDirectory(start));
        for (const Case& c : cases) {
            rec_->clear();
            makeDir(c.name);
            QCOMPARE(rec_->boxes().size(), std::size_t{1});
            QCOMPARE(rec_->boxes()[0].icon, desktop::BoxIcon::Error);
            QCOMPARE(rec_->boxes()[0].text, c.text);
            QVERIFY(Form3->isVisible()); // the dialog stays for another name
            QCOMPARE(Form2->DirectoryListBox1->Directory(), start);
            QCOMPARE(QDir(start).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
            QVERIFY(!QFileInfo::exists(start + "/half")); // not even the part before the zero
            Form3->SpeedButton2->click();
        }
    });
    Form2->DirectoryListBox1->setDirectory(root_.path());
}

void ChooserTest::aFolderRemovedWhileShownIsNoticedAndNothingStarts() {
    const QString parent = root_.filePath("removed");
    const QString shown = parent + "/deeper/still";
    auto lostBox = [](const QString& lost, const QString& now) {
        return "The directory " + lost + " is no longer available; the list shows " + now + " now.";
    };
    rec_->clear();
    runChooser([&] {
        // Noticed by the chooser itself while it is up.
        QVERIFY(QDir().mkpath(shown));
        QVERIFY(Form2->DirectoryListBox1->setDirectory(shown));
        QVERIFY(QDir(parent + "/deeper").removeRecursively());
        QTRY_COMPARE_WITH_TIMEOUT(rec_->boxes().size(), std::size_t{1}, 3 * TForm2::kWatchIntervalMs);
        QCOMPARE(rec_->boxes()[0].text, lostBox(shown, parent));
        QCOMPARE(Form2->DirectoryListBox1->Directory(), parent);
        QCOMPARE(QDir::currentPath(), parent);
        QVERIFY(Form2->DirectoryListBox1->count() > 0);

        // "&Install" on a folder that has just gone: the box, and no extraction.
        QVERIFY(QDir().mkpath(parent + "/again"));
        QVERIFY(Form2->DirectoryListBox1->setDirectory(parent + "/again"));
        QVERIFY(QDir(parent + "/again").removeRecursively());
        Form2->SpeedButton1->click();
        QCOMPARE(rec_->boxes().size(), std::size_t{2});
        QCOMPARE(rec_->boxes()[1].text, lostBox(parent + "/again", parent));
        QVERIFY(Form2->isVisible() && !Form5->isVisible());

        // "&Ok" of the make-directory dialog after the folder went: back to the chooser, nothing made.
        QVERIFY(QDir().mkpath(parent + "/third"));
        QVERIFY(Form2->DirectoryListBox1->setDirectory(parent + "/third"));
        Form2->SpeedButton2->click();
        QVERIFY(QTest::qWaitForWindowActive(Form3));
        QVERIFY(QDir(parent + "/third").removeRecursively());
        Form3->SpeedButton1->click();
        QCOMPARE(rec_->boxes().size(), std::size_t{3});
        QCOMPARE(rec_->boxes()[2].text, lostBox(parent + "/third", parent));
        QVERIFY(!Form3->isVisible() && Form2->isVisible());
        QVERIFY(!QFileInfo::exists(parent + "/third"));
        QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    });
    Form2->DirectoryListBox1->setDirectory(root_.path());
}

void ChooserTest::completionWithoutFollowUpFileOpensOnlyTheDestination() {
    QTemporaryDir kit;
    kitmaker::DemoKit demo;
    demo.openAfterFile = "NONE";
    kitmaker::writeDemoKit(kit.path().toStdString(), demo);
    const std::string savedFolder = ProgramFolder;
    const TInstallSettings saved = InstallSettings;
    ProgramFolder = kit.path().toStdString() + "/";
    ReadInstallSettings(InstallSettings, ProgramFolder + "install.ini", ProgramFolder);
    QCOMPARE(InstallSettings.OpenAfterFile, std::string("NONE"));
    const QString dest = root_.filePath("completed");
    QVERIFY(QDir().mkpath(dest));
    rec_->clear();
    QTimer::singleShot(0, [&] {
        QVERIFY(Form2->DirectoryListBox1->setDirectory(dest));
        QTimer::singleShot(0, [] {
            QVERIFY(QTest::qWaitForWindowActive(Form5));
            Form5->SpeedButton1->click(); // "&Extract"
        });
        Form2->SpeedButton1->click();
    });
    Form2->ShowModal(); // ended by the completed installation
    ProgramFolder = savedFolder;
    InstallSettings = saved;
    QVERIFY(QFileInfo(dest + "/data/world03.dat").isFile());
    QCOMPARE(rec_->entries.size(), std::size_t{2});
    QCOMPARE(rec_->entries[0].text, QStringLiteral("Install Completed!"));
    QCOMPARE(rec_->entries[1].kind, desktop::Recorder::Entry::Kind::Open);
    QCOMPARE(rec_->entries[1].text, dest); // the destination, and no follow-up file
    Form2->DirectoryListBox1->setDirectory(root_.path());
}

int main(int argc, char** argv) {
    desktop::Application app(argc, argv);
    ChooserTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "chooser_test.moc"
