// The destination chooser across disks: file systems mounted for the test (tmpfs) in a mount
// namespace of the test's own, so nothing is seen outside it and everything goes with the process.
// Skips when the process may not make one (not root, or no CAP_SYS_ADMIN in a container).
//
// With KIT_SCREENSHOT_DIR set, screenshots of the chooser in the second disk are written there
// (scripts/chooser-screenshots runs this under xvfb-run for real ones).
#include "desktop/application.h"
#include "desktop/services.h"
#include "framework/forms.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/chooserform.h"
#include "setup/extractform.h"
#include "setup/freespace.h"
#include "setup/makedirform.h"

#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <sched.h>
#include <sys/mount.h>

namespace {

bool gPrivateMounts = false;

// A mount namespace of this process's own, with nothing propagated back to the system's.
bool enterPrivateMountNamespace() {
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A tmpfs mounted at `path` for one test, and taken away when the test ends, whatever happened
// (a lazy unmount: the chooser may still be in it).
struct TestDisk {
    QString path;
    bool mounted = false;
    TestDisk(const QString& at, const char* options) : path(at) {
        QDir().mkpath(at);
        mounted = ::mount("tmpfs", QFile::encodeName(at).constData(), "tmpfs", 0, options) == 0;
    }
    ~TestDisk() {
        if (mounted) ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
    }
    TestDisk(const TestDisk&) = delete;
    TestDisk& operator=(const TestDisk&) = delete;
};

QString freeText(const QString& path) {
    return QString::fromStdString(
        FormatSize(static_cast<double>(*desktop::freeSpace().bytesAvailable(path))));
}

// Whether the free-space text `shown` is that of the disk holding `path`. The test's own disk is
// shared with whatever else runs on the machine, so its free space may move a little meanwhile.
bool showsFreeSpaceOf(const QString& shown, const QString& path) {
    const QString now = freeText(path);
    if (shown == now) return true;
    const QStringList a = shown.split(' '), b = now.split(' ');
    if (a.size() != 2 || b.size() != 2 || a[1] != b[1]) return false;
    const double x = a[0].toDouble(), y = b[0].toDouble();
    return std::abs(x - y) <= std::max(16.0, y / 50);
}

} // namespace

class MountTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void theChooserFollowsTheFolderIntoAnotherDisk();
    void choosingADiskInTheListOpensTheFolderLastVisitedOnIt();
    void aDiskThatDisappearsLeavesTheChooserOnWhatIsLeft();
    void aReadOnlyDiskIsRefusedBeforeAnythingStarts();

  private:
    // Runs the chooser modally; `inside` runs within the run, then the chooser is cancelled.
    void runChooser(const std::function<void()>& inside);
    // Picks `root` in the drive list as a user does: opens the list and clicks the entry.
    void pickDisk(const QString& root);
    // With `popup`, the drive list is opened for the picture.
    void screenshot(const QString& name, bool popup = false);
    QTemporaryDir top_;
    QString base_; // the folder the disks are mounted in, on the test's own disk
    desktop::Recorder* rec_ = nullptr;
};

void MountTest::initTestCase() {
    if (!gPrivateMounts) QSKIP("no mount namespace of our own (needs root and CAP_SYS_ADMIN)");
    QVERIFY(top_.isValid());
    base_ = top_.path();
    QDir::setCurrent(base_);
    forms::SetProgramFileOverride(top_.filePath("install").toStdString());
    rec_ = new desktop::Recorder;
    CreateForms();
    InstallSettings.RequiredSize = "12";
    InstallSettings.DefaultDir = "NewGame";
}

void MountTest::cleanupTestCase() {
    if (!gPrivateMounts) return;
    DestroyForms();
    delete rec_;
}

void MountTest::init() {
    if (rec_) rec_->clear();
}

void MountTest::runChooser(const std::function<void()>& inside) {
    QTimer::singleShot(0, [&] {
        QVERIFY(QTest::qWaitForWindowActive(Form2));
        inside();
        Form2->SpeedButton3->click();
    });
    Form2->ShowModal();
    // Off the test's disks again, whatever happened inside.
    if (Form3->isVisible()) Form3->Hide();
    Form2->DirectoryListBox1->setDirectory(base_);
}

void MountTest::pickDisk(const QString& root) {
    Form2->DriveComboBox1->showPopup(); // the list is read again as it opens
    QAbstractItemView* view = Form2->DriveComboBox1->view();
    QTRY_VERIFY(view->isVisible());
    const int row = Form2->DriveComboBox1->findData(root);
    QVERIFY2(row >= 0, qPrintable(root));
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QTRY_VERIFY(!view->isVisible());
}

void MountTest::screenshot(const QString& name, bool popup) {
    const QString dir = qEnvironmentVariable("KIT_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    if (popup) Form2->DriveComboBox1->showPopup();
    QTest::qWait(300); // let the window system show the last change
    // A grab of the screen where the platform has one (xcb), else of the window itself.
    QPixmap shot;
    if (QScreen* screen = Form2->screen();
        screen && QGuiApplication::platformName() == QLatin1String("xcb")) {
        QRect area = Form2->frameGeometry();
        if (popup) area = area.united(Form2->DriveComboBox1->view()->window()->frameGeometry());
        shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    }
    if (shot.isNull()) shot = Form2->grab();
    if (popup) Form2->DriveComboBox1->hidePopup();
    QVERIFY(shot.save(dir + '/' + name + ".png"));
}

void MountTest::theChooserFollowsTheFolderIntoAnotherDisk() {
    const TestDisk disk(base_ + "/usb", "size=4m");
    QVERIFY(disk.mounted);
    const QString usb = disk.path;
    QVERIFY(QDir().mkpath(usb + "/games"));
    const QString home = TDriveComboBox::rootOf(base_);
    runChooser([&] {
        QVERIFY(Form2->DirectoryListBox1->setDirectory(base_));
        // Into the second disk, by opening its folder in the list as a user does.
        QListWidgetItem* item = nullptr;
        for (int i = 0; i < Form2->DirectoryListBox1->count(); ++i)
            if (Form2->DirectoryListBox1->item(i)->text().trimmed() == QLatin1String("usb"))
                item = Form2->DirectoryListBox1->item(i);
        QVERIFY(item);
        emit Form2->DirectoryListBox1->itemActivated(item);
        QCOMPARE(Form2->DirectoryListBox1->Directory(), usb);
        QCOMPARE(Form2->DriveComboBox1->Drive(), usb);
        QCOMPARE(Form2->Label3->caption(), QStringLiteral("4 Mb"));
        QCOMPARE(Form2->Label3->fontColor(), QColor(255, 0, 0)); // 4 Mb free, 12 needed
        QCOMPARE(Form2->windowTitle(), QStringLiteral("Insufficient space on this disk!"));
        screenshot("chooser-in-second-disk");
        screenshot("chooser-drive-list-open", true);
        // Deeper in the same disk: the same verdict, no new check needed.
        QVERIFY(Form2->DirectoryListBox1->setDirectory(usb + "/games"));
        QCOMPARE(Form2->DriveComboBox1->Drive(), usb);
        QCOMPARE(Form2->Label3->caption(), QStringLiteral("4 Mb"));
        screenshot("chooser-deeper-in-second-disk");
        // Back on the first disk, its own free space again.
        QVERIFY(Form2->DirectoryListBox1->setDirectory(base_));
        QCOMPARE(Form2->DriveComboBox1->Drive(), home);
        QVERIFY(showsFreeSpaceOf(Form2->Label3->caption(), base_));
        QCOMPARE(Form2->windowTitle(), QStringLiteral("Select a Directory"));
        screenshot("chooser-back-on-first-disk");
    });
}

void MountTest::choosingADiskInTheListOpensTheFolderLastVisitedOnIt() {
    const TestDisk disk(base_ + "/stick", "size=2m");
    QVERIFY(disk.mounted);
    const QString stick = disk.path;
    QVERIFY(QDir().mkpath(stick + "/a/b"));
    QVERIFY(QDir().mkpath(base_ + "/work"));
    const QString home = TDriveComboBox::rootOf(base_);
    runChooser([&] {
        QVERIFY(Form2->DirectoryListBox1->setDirectory(base_ + "/work"));
        // Mounted after the chooser came up: the list shows it once it is opened.
        pickDisk(stick);
        QCOMPARE(Form2->DirectoryListBox1->Directory(), stick); // never visited: its root
        QCOMPARE(Form2->Label3->caption(), QStringLiteral("2 Mb"));
        QVERIFY(Form2->DirectoryListBox1->setDirectory(stick + "/a/b"));
        pickDisk(home);
        QCOMPARE(Form2->DirectoryListBox1->Directory(), base_ + "/work"); // where the user left it
        QVERIFY(showsFreeSpaceOf(Form2->Label3->caption(), base_));
        pickDisk(stick);
        QCOMPARE(Form2->DirectoryListBox1->Directory(), stick + "/a/b");
        QCOMPARE(Form2->Label3->caption(), QStringLiteral("2 Mb"));
        // The folder last visited has gone since: the nearest one above it opens.
        pickDisk(home);
        QVERIFY(QDir(stick + "/a").removeRecursively());
        pickDisk(stick);
        QCOMPARE(Form2->DirectoryListBox1->Directory(), stick);
        QCOMPARE(rec_->boxes().size(), std::size_t{0});
        pickDisk(home);
    });
}

void MountTest::aDiskThatDisappearsLeavesTheChooserOnWhatIsLeft() {
    TestDisk disk(base_ + "/gone", "size=1m");
    QVERIFY(disk.mounted);
    const QString gone = disk.path;
    QVERIFY(QDir().mkpath(gone + "/inside"));
    const QString home = TDriveComboBox::rootOf(base_);
    runChooser([&] {
        QVERIFY(Form2->DirectoryListBox1->setDirectory(gone + "/inside"));
        QCOMPARE(Form2->DriveComboBox1->Drive(), gone);
        QCOMPARE(Form2->Label3->caption(), QStringLiteral("1024 Kb"));
        // Taken away under the chooser (a lazy unmount works even while it is the current
        // directory): the folder it was mounted on is all that is left.
        QVERIFY(::umount2(QFile::encodeName(gone).constData(), MNT_DETACH) == 0);
        disk.mounted = false;
        QTRY_COMPARE_WITH_TIMEOUT(rec_->boxes().size(), std::size_t{1}, 3 * TForm2::kWatchIntervalMs);
        QCOMPARE(rec_->boxes()[0].text, "The directory " + gone +
                                            "/inside is no longer available; the list shows " + gone +
                                            " now.");
        QCOMPARE(Form2->DirectoryListBox1->Directory(), gone);
        QCOMPARE(QDir::currentPath(), gone);
        QCOMPARE(Form2->DriveComboBox1->Drive(), home);
        QVERIFY(showsFreeSpaceOf(Form2->Label3->caption(), base_));
        // Still usable: another folder opens, the list offers no disk that is gone.
        QVERIFY(Form2->DirectoryListBox1->setDirectory(base_));
        Form2->DriveComboBox1->showPopup();
        QCOMPARE(Form2->DriveComboBox1->findData(gone), -1);
        Form2->DriveComboBox1->hidePopup();
    });
}

void MountTest::aReadOnlyDiskIsRefusedBeforeAnythingStarts() {
    const TestDisk disk(base_ + "/ro", "size=1m");
    QVERIFY(disk.mounted);
    const QString ro = disk.path;
    QVERIFY(QDir().mkpath(ro + "/folder"));
    QVERIFY(::mount(nullptr, QFile::encodeName(ro).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) ==
            0);
    runChooser([&] {
        QVERIFY(Form2->DirectoryListBox1->setDirectory(ro + "/folder"));
        Form2->SpeedButton1->click(); // "&Install"
        QCOMPARE(rec_->boxes().size(), std::size_t{1});
        QCOMPARE(rec_->boxes()[0].title, QStringLiteral("Warning"));
        QCOMPARE(rec_->boxes()[0].text,
                 "Cannot install into " + ro +
                     "/folder: Read-only file system. Please choose another directory!");
        QVERIFY(Form2->isVisible() && !Form5->isVisible());

        Form2->SpeedButton2->click(); // "&Make Dir"
        QVERIFY(QTest::qWaitForWindowActive(Form3));
        Form3->SpeedButton1->click();
        QCOMPARE(rec_->boxes().size(), std::size_t{2});
        QCOMPARE(rec_->boxes()[1].text,
                 QStringLiteral("Cannot create the directory \"NewGame\": Read-only file system."));
        QVERIFY(Form3->isVisible());
        Form3->SpeedButton2->click();
        QVERIFY(Form2->isVisible());
        QCOMPARE(QDir(ro + "/folder").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    });
}

int main(int argc, char** argv) {
    // Before any thread exists: the namespace is the process's, not one thread's.
    gPrivateMounts = enterPrivateMountNamespace();
    desktop::Application app(argc, argv);
    MountTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "mount_test.moc"
