// The installer's music: Playmod, the exit of the sound library, and the whole program playing its
// kit's module (or failing on a broken one), heard through SDL's disk driver.
#include "desktop/services.h"
#include "diskaudio.h"
#include "modwriter.h"
#include "shell/hooks.h"
#include "shell/mainform.h"
#include "shell/music.h"

#include <midas/midas.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

class MusicTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void playmodReplacesTheModuleOrRestartsTheLoadedOne();
    void exitStopsBackgroundPlayThenClosesTheLibrary();
    void installerPlaysItsMusicFromAnyCurrentDirectory();
    void installerEndsWithTheLibraryMessageWhenTheMusicIsMissingOrBroken();
    void installerPlayingMusicStillEndsOnTermination();
    void soundFailureAtStartOrExitShowsTheRealBoxAndEndsCleanly();

  private:
    std::string writeModule(const QString& name, const kitmaker::ModSong& song);
    // A kit folder written by kitmaker, with the installer and its libraries beside it.
    QString makeKit();
    // Runs the kit's installer from another current directory; returns its exit code (-1 if it
    // did not end in time).
    int runInstaller(const QString& kit, int quitAfterMs);
    QProcessEnvironment installerEnvironment(int quitAfterMs) const;

    QTemporaryDir tmp_;
    std::filesystem::path audio_;
    QString boxLog_;
};

void MusicTest::init() {
    QVERIFY(tmp_.isValid());
    audio_ = tmp_.filePath(QStringLiteral("audio-%1.raw").arg(QTest::currentTestFunction())).toStdString();
    boxLog_ = tmp_.filePath(QStringLiteral("boxes-%1.log").arg(QTest::currentTestFunction()));
}

std::string MusicTest::writeModule(const QString& name, const kitmaker::ModSong& song) {
    const std::string path = tmp_.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary) << kitmaker::modFileBytes(song);
    return path;
}

void MusicTest::playmodReplacesTheModuleOrRestartsTheLoadedOne() {
    disk_audio::use(audio_, true);
    const std::string blip = writeModule(QStringLiteral("blip.mod"), kitmaker::composeBlipSong());
    const std::string demo = writeModule(QStringLiteral("demo.mod"), kitmaker::composeDemoSong());
    StartSound();
    {
        TForm1 form;
        form.Playmod(blip);
        const auto firstModule = form.Module, firstPlay = form.PlayHandle;
        QVERIFY(firstModule != 0 && firstPlay != 0);

        // A new name: the playing module is stopped and freed, the new one loaded and played.
        form.Playmod(demo);
        QVERIFY(form.Module != 0 && form.PlayHandle != 0);
        QVERIFY(form.Module != firstModule);
        QCOMPARE(MIDASstopModule(firstPlay), FALSE);
        MIDASmoduleInfo info{};
        QCOMPARE(MIDASgetModuleInfo(firstModule, &info), FALSE);
        QCOMPARE(MIDASgetModuleInfo(form.Module, &info), TRUE);
        QCOMPARE(QByteArray(info.songName), QByteArray("halcyon breeze"));

        // An empty name: the loaded module is played again, nothing is loaded or freed.
        const auto module = form.Module, play = form.PlayHandle;
        form.Playmod("");
        QCOMPARE(form.Module, module);
        QVERIFY(form.PlayHandle != 0 && form.PlayHandle != play);
        QCOMPARE(MIDASgetModuleInfo(module, &info), TRUE);
    }
    QCOMPARE(StopSound(), 0);
}

void MusicTest::exitStopsBackgroundPlayThenClosesTheLibrary() {
    disk_audio::use(audio_, true);
    const std::string demo = writeModule(QStringLiteral("demo.mod"), kitmaker::composeDemoSong());
    StartSound();
    TForm1 form;
    form.Playmod(demo);
    const double t0 = disk_audio::waitForSound(audio_, 3.0);
    QVERIFY(t0 >= 0.0);
    const std::uint32_t module = form.Module;
    QCOMPARE(StopSound(), 0);
    const double stoppedAt =
        static_cast<double>(disk_audio::sizeOf(audio_) / disk_audio::kFrameBytes) / disk_audio::kRate;
    // The output ended with background play (past the blocks already on their way) ...
    const auto s = disk_audio::read(audio_);
    QVERIFY(disk_audio::rms(s, t0, t0 + 2.5) > 0.03);
    QCOMPARE(disk_audio::rms(s, stoppedAt + 0.15, 600.0), 0.0);
    // ... and the library is closed: the module went with it.
    MIDASmoduleInfo info{};
    QCOMPARE(MIDASgetModuleInfo(module, &info), FALSE);
    QCOMPARE(MIDASgetLastError(), int(MIDAS_ERR_NOT_STARTED_UP));
}

QString MusicTest::makeKit() {
    const QString kit = tmp_.filePath(QStringLiteral("kit-%1").arg(QTest::currentTestFunction()));
    const QString bin = QStringLiteral(KIT_BIN_DIR);
    QProcess maker;
    maker.start(bin + QStringLiteral("/kitmaker"), {QStringLiteral("--demo"), QStringLiteral("--out"), kit});
    if (!maker.waitForFinished(30000) || maker.exitCode() != 0) return {};
    // The program and every shared library it may load from its own folder.
    QStringList files = QDir(bin).entryList({QStringLiteral("*.so")}, QDir::Files);
    files << QStringLiteral("install");
    for (const QString& f : files) {
        QFile::remove(kit + QLatin1Char('/') + f);
        if (!QFile::copy(bin + QLatin1Char('/') + f, kit + QLatin1Char('/') + f)) return {};
    }
    QFile::setPermissions(kit + QStringLiteral("/install"),
                          QFile::permissions(bin + QStringLiteral("/install")));
    return kit;
}

QProcessEnvironment MusicTest::installerEnvironment(int quitAfterMs) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), QString::fromStdString(audio_.string()));
    env.remove(QStringLiteral("SDL_DISKAUDIODELAY")); // real time
    env.insert(QLatin1String(desktop::kDesktopLogVariable), boxLog_);
    env.insert(QLatin1String(kQuitAfterVariable), QString::number(quitAfterMs));
    return env;
}

int MusicTest::runInstaller(const QString& kit, int quitAfterMs) {
    QProcess p;
    p.setProcessEnvironment(installerEnvironment(quitAfterMs));
    p.setWorkingDirectory(tmp_.path()); // not the kit folder
    p.start(kit + QStringLiteral("/install"), {});
    if (!p.waitForFinished(quitAfterMs + 20000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

static QString readAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void MusicTest::installerPlaysItsMusicFromAnyCurrentDirectory() {
    const QString kit = makeKit();
    QVERIFY(!kit.isEmpty());
    QCOMPARE(runInstaller(kit, 1500), 0);
    QCOMPARE(readAll(boxLog_), QString()); // no box: the music was found
    const auto s = disk_audio::read(audio_);
    const double t0 = disk_audio::firstSound(s);
    QVERIFY2(t0 >= 0.0, "the installer played nothing");
    QVERIFY(disk_audio::rms(s, t0, t0 + 0.5) > 0.03);
}

void MusicTest::installerEndsWithTheLibraryMessageWhenTheMusicIsMissingOrBroken() {
    const QString kit = makeKit();
    QVERIFY(!kit.isEmpty());
    const QString music = kit + QStringLiteral("/install.dat");
    {
        QFile f(music);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("this is no music module\r\n");
    }
    // Without the fatal path it would run until the quit timer; it ends at once instead.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(runInstaller(kit, 15000), 0);
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(readAll(boxLog_), QStringLiteral("box\tMIDAS ERROR\tUnsupported module format\n"));

    QFile::remove(boxLog_);
    QVERIFY(QFile::remove(music));
    QCOMPARE(runInstaller(kit, 15000), 0);
    QCOMPARE(readAll(boxLog_), QStringLiteral("box\tMIDAS ERROR\tUnable to open file\n"));
}

void MusicTest::installerPlayingMusicStillEndsOnTermination() {
    // The sound library must not take the termination signal away from the program.
    const QString kit = makeKit();
    QVERIFY(!kit.isEmpty());
    QProcess p;
    p.setProcessEnvironment(installerEnvironment(60000));
    p.setWorkingDirectory(tmp_.path());
    p.start(kit + QStringLiteral("/install"), {});
    QVERIFY(p.waitForStarted());
    QVERIFY(disk_audio::waitForSound(audio_, 0.2) >= 0.0);
    p.terminate();
    const bool ended = p.waitForFinished(5000);
    if (!ended) {
        p.kill();
        p.waitForFinished();
    }
    QVERIFY(ended);
}

void MusicTest::soundFailureAtStartOrExitShowsTheRealBoxAndEndsCleanly() {
    // The real message box (no log file in place of the desktop), answered by the program's quit
    // hook, which names it on standard error. A box made before the application object would abort
    // the program instead (exit code 134, nothing shown).
    struct Case {
        const char* fault;
        int quitAfterMs;
        QString box;
    };
    const Case cases[] = {
        // MIDASinit fails at start-up.
        {"init", 3000, QStringLiteral("install: box\tMIDAS Error\tSound system already initialised\n")},
        // Background play cannot be stopped at exit.
        {"stop", 300, QStringLiteral("install: box\tMIDAS Error\tBackground play is not running\n")},
        // No sound library at all beside the program or where its libraries are.
        {"missing", 3000, QStringLiteral("install: box\tMIDAS Error\tCannot load the sound library: ")},
    };
    for (const Case& c : cases) {
        const QString kit = makeKit();
        QVERIFY(!kit.isEmpty());
        const QString library = kit + QLatin1Char('/') + QLatin1String(kSoundLibraryFile);
        QVERIFY(QFile::remove(library));
        if (QLatin1String(c.fault) != QLatin1String("missing"))
            QVERIFY(QFile::copy(QStringLiteral(SOUND_FAULT_LIBRARY), library));
        QProcessEnvironment env = installerEnvironment(c.quitAfterMs);
        env.remove(QLatin1String(desktop::kDesktopLogVariable));
        env.insert(QStringLiteral("KIT_REAL_SOUND_LIBRARY"), QStringLiteral(SOUND_LIBRARY));
        env.insert(QStringLiteral("KIT_SOUND_FAULT"), QLatin1String(c.fault));
        env.remove(QStringLiteral("LD_LIBRARY_PATH"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(tmp_.path());
        p.start(kit + QStringLiteral("/install"), {});
        const bool ended = p.waitForFinished(20000);
        if (!ended) p.kill();
        QVERIFY2(ended, c.fault);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(c.box), qPrintable(err));
        QCOMPARE(err.count(QStringLiteral("install: box")), 1); // one box, then the program ends
    }
}

QTEST_MAIN(MusicTest)
#include "music_test.moc"
