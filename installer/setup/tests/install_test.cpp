// The installer's whole road, driven as a user would: main window, chooser, make a directory,
// Install, Extract; and the unattended mode of the program.
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
#include "testmusic.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Compares a folder with the demo archive's content; returns what differs ("" when equal).
QString compareWithArchive(const fs::path& dir) {
    for (const kitmaker::RarEntry& e : kitmaker::demoContent(kitmaker::DemoKit{})) {
        const fs::path p = dir / e.name;
        switch (e.kind) {
        case kitmaker::RarEntry::Kind::directory:
            if (!fs::is_directory(p)) return QString::fromStdString("missing folder " + e.name);
            break;
        case kitmaker::RarEntry::Kind::symlink:
            if (!fs::is_symlink(p) || fs::read_symlink(p) != e.data)
                return QString::fromStdString("wrong link " + e.name);
            break;
        case kitmaker::RarEntry::Kind::file:
            if (!fs::is_regular_file(p) || readAll(p) != e.data)
                return QString::fromStdString("wrong file " + e.name);
            break;
        }
    }
    return {};
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void wholeRoadInstallsAndOpensTheResults();
    void missingVolumeIsAskedForAndTheRunGoesOn();
    void cancelFinishesTheFileAndStartsNoOther();
    void cancelStaysFinalWhenTheDialogIsActivatedAgain_data();
    void cancelStaysFinalWhenTheDialogIsActivatedAgain();
    void cancelBeforeExtractingDoesNotSpoilTheNextRun();
    void missingFirstVolumeIsReportedNotCompleted();
    void nonNumericVolumeCountShowsTheConversionError();
    void unattendedModeInstallsOrNamesTheMissingVolume();

  private:
    // Opens the chooser from the main window, points it at `target` (created), presses Install,
    // then runs `inForm5` inside the extraction dialog's run and `afterForm5` back in the chooser
    // (which it must end, unless the installation completed).
    void road(const QString& target, const std::function<void()>& inForm5,
              const std::function<void()>& afterForm5 = {});
    void pressExtract() { Form5->SpeedButton1->click(); }
    void cancelInALargeFile(const QString& dest, const std::function<void()>& whileFinishing = {});
    QString volume(int n) const { return kit_.filePath(QStringLiteral("demo.part%1.rar").arg(n)); }

    QTemporaryDir kit_, targets_;
    desktop::Recorder* rec_ = nullptr;
};

void InstallTest::initTestCase() {
    QVERIFY(kit_.isValid() && targets_.isValid());
    kitmaker::writeDemoKit(kit_.path().toStdString(), kitmaker::DemoKit{});
    PrepareTestMusic(kit_.path().toStdString());
    forms::SetProgramFileOverride(kit_.filePath("install").toStdString());
    rec_ = new desktop::Recorder;
    CreateForms();
    Form1->Show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
}

void InstallTest::cleanupTestCase() {
    DestroyForms();
    StopSound();
    delete rec_;
}

void InstallTest::init() {
    rec_->clear();
    rec_->onEntry = nullptr;
}

void InstallTest::road(const QString& target, const std::function<void()>& inForm5,
                       const std::function<void()>& afterForm5) {
    QDir().mkpath(target);
    QTimer::singleShot(0, [&] {
        QVERIFY(QTest::qWaitForWindowActive(Form2));
        QVERIFY(Form2->DirectoryListBox1->setDirectory(target));
        QTimer::singleShot(0, [&] {
            QVERIFY(QTest::qWaitForWindowActive(Form5));
            inForm5();
        });
        Form2->SpeedButton1->click(); // "&Install": the chooser hides, the dialog runs modally
        if (afterForm5) afterForm5();
    });
    QTest::mouseClick(Form1->Label1, Qt::LeftButton);
    QVERIFY(!Form2->isVisible() && !Form5->isVisible());
    QVERIFY(Form1->isVisible()); // the main window stays open
}

void InstallTest::wholeRoadInstallsAndOpensTheResults() {
    const QString parent = targets_.filePath("road");
    QDir().mkpath(parent);
    QDir::setCurrent(parent);
    QTimer::singleShot(0, [&] {
        QVERIFY(QTest::qWaitForWindowActive(Form2));
        QVERIFY(Form2->Label3->caption() != QStringLiteral("Size A")); // free space shown at once
        QVERIFY(Form2->DirectoryListBox1->setDirectory(parent));
        Form2->SpeedButton2->click(); // make the default folder and open it
        QVERIFY(QTest::qWaitForWindowActive(Form3));
        Form3->SpeedButton1->click();
        QCOMPARE(Form2->DirectoryListBox1->Directory(), parent + "/HalcyonDemo");
        QTimer::singleShot(0, [&] {
            QVERIFY(QTest::qWaitForWindowActive(Form5));
            QCOMPARE(Form5->ProgressBar2->Max(), std::int64_t{2});
            pressExtract();
        });
        Form2->SpeedButton1->click();
    });
    QTest::mouseClick(Form1->Label1, Qt::LeftButton);

    const QString dest = parent + "/HalcyonDemo";
    QCOMPARE(compareWithArchive(dest.toStdString()), QString());
    QCOMPARE(Form5->ProgressBar2->Position(), std::int64_t{2}); // three volumes fill the bar exactly
    QCOMPARE(Form5->ProgressBar1->Position(), Form5->ProgressBar1->Max());
    QCOMPARE(Form5->Label2->caption(), QStringLiteral("Archive: demo.part3.rar"));
    QVERIFY(!Form2->isVisible() && !Form5->isVisible());
    QVERIFY(Form1->isVisible());
    // Completion box, then the follow-up file, then the destination, in that order.
    QCOMPARE(rec_->entries.size(), std::size_t{3});
    QCOMPARE(rec_->entries[0].title, QStringLiteral("Information"));
    QCOMPARE(rec_->entries[0].text, QStringLiteral("Install Completed!"));
    QCOMPARE(rec_->entries[1].text, kit_.filePath("readme.txt"));
    QCOMPARE(rec_->entries[2].text, dest);
}

void InstallTest::missingVolumeIsAskedForAndTheRunGoesOn() {
    QVERIFY(QFile::rename(volume(2), volume(2) + ".away"));
    int prompts = 0;
    rec_->onEntry = [&](const desktop::Recorder::Entry& e) {
        if (e.text.startsWith(QStringLiteral("Insert the disk with "))) {
            ++prompts;
            QCOMPARE(e.text, QStringLiteral("Insert the disk with ") + volume(2));
            QFile::rename(volume(2) + ".away", volume(2)); // the user inserts the disk
        }
    };
    const QString dest = targets_.filePath("volume");
    road(dest, [this] { pressExtract(); });
    QCOMPARE(prompts, 1);
    QCOMPARE(compareWithArchive(dest.toStdString()), QString());
    QCOMPARE(Form5->ProgressBar2->Position(), std::int64_t{2}); // the extra step stops at the maximum
    QVERIFY(!rec_->boxes().empty());
    QCOMPARE(rec_->boxes().back().text, QStringLiteral("Install Completed!"));
}

// Presses "&Cancel" while data/world02.dat is being unpacked; `whileFinishing` runs a few blocks later,
// while the file is still being finished. Then the file is complete, no other was started and
// nothing reports completion.
void InstallTest::cancelInALargeFile(const QString& dest, const std::function<void()>& whileFinishing) {
    auto original = Form5->RAR1.OnProcessData;
    int blocks = 0;
    bool pressed = false;
    Form5->RAR1.OnProcessData = [&](TRAR& r, unsigned char* a, int32_t size, int64_t pos) {
        const int32_t result = original(r, a, size, pos);
        if (!Form5->Label1->caption().endsWith(QStringLiteral("data/world02.dat"))) return result;
        if (!pressed) {
            pressed = true;
            Form5->SpeedButton2->click(); // "&Cancel" in the middle of a large file
        } else if (++blocks == 2 && whileFinishing) {
            whileFinishing();
        }
        return result;
    };
    road(
        dest, [this] { pressExtract(); },
        [] {
            QVERIFY(Form2->isVisible());
            QCOMPARE(Form2->windowTitle(), QStringLiteral("Install Aborted!"));
            Form2->SpeedButton3->click();
        });
    Form5->RAR1.OnProcessData = original;
    QVERIFY(pressed);
    const fs::path d = dest.toStdString();
    QCOMPARE(fs::file_size(d / "data/world02.dat"), std::uintmax_t{724998}); // the file was finished
    QVERIFY(!fs::exists(d / "data/world03.dat"));                            // no other was started
    for (const auto& b : rec_->boxes())
        QVERIFY2(b.text != QStringLiteral("Install Completed!"), qPrintable(b.text));
    QVERIFY(rec_->opened().empty());
}

void InstallTest::cancelFinishesTheFileAndStartsNoOther() {
    cancelInALargeFile(targets_.filePath("cancel"));
}

void InstallTest::cancelStaysFinalWhenTheDialogIsActivatedAgain_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("a click on the dialog") << 0;
    QTest::newRow("the chooser's Install") << 1;
    QTest::newRow("Make Dir, then Ok") << 2;
}

// While the cancelled file is being finished the dialog is still up, and the user may bring it back
// to the front: none of the ways may undo the Cancel or start a second extraction.
void InstallTest::cancelStaysFinalWhenTheDialogIsActivatedAgain() {
    QFETCH(int, way);
    bool reactivated = false, stateKept = false;
    cancelInALargeFile(targets_.filePath(QStringLiteral("reactivate%1").arg(way)), [&] {
        reactivated = true;
        switch (way) {
        case 0: { // the user clicks on the dialog, still shown while the file is finished
            QEvent activate(QEvent::WindowActivate);
            QCoreApplication::sendEvent(Form5, &activate);
            break;
        }
        case 1:
            Form2->SpeedButton1->click(); // "&Install" in the chooser shown by Cancel
            break;
        case 2:
            Form2->SpeedButton2->click(); // "&Make Dir" ...
            Form3->SpeedButton1->click(); // ... and "&Ok": the dialog is the active one again
            break;
        }
        stateKept = Form5->running() && Form5->aborted() && Form5->RAR1.Stop;
    });
    QVERIFY(reactivated);
    QVERIFY(stateKept); // still running, still aborted, Stop still set
}

void InstallTest::cancelBeforeExtractingDoesNotSpoilTheNextRun() {
    const QString dest = targets_.filePath("again");
    road(
        dest, [] { Form5->SpeedButton2->click(); },
        [this] {
            QCOMPARE(Form2->windowTitle(), QStringLiteral("Install Aborted!"));
            // Install again: the earlier cancel must not stop this run at its first file.
            QTimer::singleShot(0, [this] {
                QVERIFY(QTest::qWaitForWindowActive(Form5));
                QCOMPARE(Form5->ProgressBar2->Position(), std::int64_t{0});
                pressExtract();
            });
            Form2->SpeedButton1->click();
        });
    QCOMPARE(compareWithArchive(dest.toStdString()), QString());
    QCOMPARE(rec_->boxes().back().text, QStringLiteral("Install Completed!"));
}

void InstallTest::missingFirstVolumeIsReportedNotCompleted() {
    QVERIFY(QFile::rename(volume(1), volume(1) + ".away"));
    const QString dest = targets_.filePath("first");
    road(
        dest, [this] { pressExtract(); },
        [] {
            QVERIFY(Form2->isVisible()); // the chooser comes back for another try
            Form2->SpeedButton3->click();
        });
    QVERIFY(QFile::rename(volume(1) + ".away", volume(1)));
    QCOMPARE(rec_->boxes().size(), std::size_t{1});
    QCOMPARE(rec_->boxes()[0].title, QStringLiteral("Warning"));
    QVERIFY2(rec_->boxes()[0].text.contains(QStringLiteral("Can`t load file demo.part1.rar")),
             qPrintable(rec_->boxes()[0].text));
    QVERIFY(rec_->opened().empty());
}

void InstallTest::nonNumericVolumeCountShowsTheConversionError() {
    const std::string saved = InstallSettings.VolumeCount;
    InstallSettings.VolumeCount = "three";
    road(
        targets_.filePath("files"), [] { Form5->SpeedButton2->click(); },
        [] { Form2->SpeedButton3->click(); });
    InstallSettings.VolumeCount = saved;
    QCOMPARE(rec_->boxes().size(), std::size_t{1});
    QCOMPARE(rec_->boxes()[0].text, QStringLiteral("'three' is not a valid integer value."));
    QCOMPARE(rec_->boxes()[0].icon, desktop::BoxIcon::Error);
}

void InstallTest::unattendedModeInstallsOrNamesTheMissingVolume() {
    // A kit folder with the program beside it, as shipped.
    QTemporaryDir shipped;
    kitmaker::writeDemoKit(shipped.path().toStdString(), kitmaker::DemoKit{});
    const QString bin = QStringLiteral(KIT_BIN_DIR);
    for (const char* f : {"install", "libmidas.so", "libkitunrar.so", "libkitdesktop.so"})
        QVERIFY(QFile::copy(bin + '/' + f, shipped.filePath(f)));
    QFile::setPermissions(shipped.filePath("install"), QFile::permissions(bin + "/install"));

    auto run = [&](const QStringList& args, QString* out, QString* err) {
        QProcess p;
        p.start(shipped.filePath("install"), args);
        p.waitForFinished(60000);
        *out = QString::fromUtf8(p.readAllStandardOutput());
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString out, err;
    const QString dest = targets_.filePath("silent/nested");
    QCOMPARE(run({"--silent", "--dir", dest}, &out, &err), 0);
    QCOMPARE(compareWithArchive(dest.toStdString()), QString());
    QVERIFY(out.contains(QStringLiteral("data/world03.dat (729097 bytes) ... done")));

    QVERIFY(QFile::remove(shipped.filePath("demo.part2.rar")));
    QVERIFY(run({"--silent", "--dir", targets_.filePath("silent2")}, &out, &err) != 0);
    QVERIFY2(err.contains(shipped.filePath("demo.part2.rar")), qPrintable(err));
    QVERIFY(!QFile::exists(targets_.filePath("silent2/data/world02.dat"))); // no half-written file

    QCOMPARE(run({"--help"}, &out, &err), 0);
    QVERIFY(out.contains(QStringLiteral("--silent --dir DIR")));
    QCOMPARE(run({"--silent"}, &out, &err), 2);

    // The archive library is loaded only now; one that is not it fails the run and says why.
    QVERIFY(QFile::remove(shipped.filePath("libkitunrar.so")));
    QVERIFY(QFile::copy(bin + "/libmidas.so", shipped.filePath("libkitunrar.so")));
    QVERIFY(run({"--silent", "--dir", targets_.filePath("silent3")}, &out, &err) != 0);
    QVERIFY2(err.contains(QStringLiteral("has no RAROpenArchive")), qPrintable(err));
    QVERIFY(!QFile::exists(targets_.filePath("silent3/data")));
}

int main(int argc, char** argv) {
    desktop::Application app(argc, argv);
    InstallTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "install_test.moc"
