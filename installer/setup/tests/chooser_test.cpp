// The destination chooser and the make-directory dialog, driven as a user would.
#include "desktop/application.h"
#include "desktop/services.h"
#include "framework/forms.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/chooserform.h"
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

  private:
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

int main(int argc, char** argv) {
    desktop::Application app(argc, argv);
    ChooserTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "chooser_test.moc"
