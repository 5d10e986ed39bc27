// The fonts a kit carries: fontconfig is pointed at the kit's configuration unless the user chose one,
// and otherwise every font file of the kit becomes an application font, which the toolkit lists with
// the system's fonts.
#include "framework/kitfonts.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <fontconfig/fontconfig.h>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

class KitFontsTest : public QObject {
    Q_OBJECT
  private slots:
    // First: it needs a process in which nothing has used fontconfig yet.
    void theConfigurationIsReadAsFontconfigWouldReadIt();
    void fontconfigIsPointedAtTheKitUnlessTheUserChoseAConfiguration();
    void fontFilesOfTheKitBecomeApplicationFonts();
};

namespace {

// What `config` makes of a font request, as the toolkit asks for it: the chosen font with every
// property, rendering settings included.
QString matchOf(FcConfig* config, const char* request) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(request));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return QStringLiteral("no match");
    FcChar8* text = FcNameUnparse(match);
    const QString s = QString::fromUtf8(reinterpret_cast<const char*>(text));
    FcStrFree(text);
    FcPatternDestroy(match);
    return s;
}

QStringList listOf(FcStrList* list) {
    QStringList out;
    while (FcChar8* s = FcStrListNext(list))
        out << QString::fromUtf8(reinterpret_cast<const char*>(s));
    FcStrListDone(list);
    return out;
}

int systemFaces(FcConfig* config) {
    const FcFontSet* set = FcConfigGetFonts(config, FcSetSystem);
    return set ? set->nfont : 0;
}

// Runs `check` in a child process, where fontconfig starts afresh; whether it returned true.
bool inFreshProcess(const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) _exit(check() ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

void KitFontsTest::theConfigurationIsReadAsFontconfigWouldReadIt() {
    if (!QFile::exists(QStringLiteral("/etc/fonts/fonts.conf"))) QSKIP("no system font configuration");
    const QByteArray savedFile = qgetenv("FONTCONFIG_FILE");
    const auto restore = qScopeGuard([&] {
        if (savedFile.isEmpty())
            qunsetenv("FONTCONFIG_FILE");
        else
            qputenv("FONTCONFIG_FILE", savedFile);
    });

    // A configuration file that cannot be read: fontconfig's own fallback, with the fonts of its
    // default folders.
    qputenv("FONTCONFIG_FILE", "/nowhere/fonts.conf");
    QVERIFY(inFreshProcess([] { return ReadFontConfiguration() && systemFaces(nullptr) > 0; }));

    // A kit's configuration (the system's with a folder of the kit's own), then the system's: the
    // fonts, the folders and what every kind of request gets are those of fontconfig's own reading.
    QTemporaryDir kit;
    const QString liberation = QStringLiteral("/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf");
    if (QFile::exists(liberation)) QVERIFY(QFile::copy(liberation, kit.filePath("KitSans.ttf")));
    QFile conf(kit.filePath("fonts.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig>\n"
        "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n  <dir>" +
        kit.path().toUtf8() + "</dir>\n</fontconfig>\n");
    conf.close();
    const char* requests[] = {"Arial-15",
                              "Arial-16:bold",
                              "MS Sans Serif-11:bold:italic",
                              "sans-serif",
                              "serif",
                              "monospace",
                              "Helvetica:italic",
                              ":lang=el",
                              ":lang=tr",
                              "Liberation Sans:bold"};
    const auto sameAsFontconfig = [&] {
        if (!ReadFontConfiguration()) return false;
        FcConfig* own = FcInitLoadConfigAndFonts();
        if (!own) return false;
        const auto release = qScopeGuard([own] { FcConfigDestroy(own); });
        bool same = systemFaces(nullptr) > 0 && systemFaces(nullptr) == systemFaces(own) &&
                    listOf(FcConfigGetCacheDirs(nullptr)) == listOf(FcConfigGetCacheDirs(own)) &&
                    listOf(FcConfigGetFontDirs(nullptr)) == listOf(FcConfigGetFontDirs(own));
        for (const char* request : requests)
            if (matchOf(nullptr, request) != matchOf(own, request)) {
                qWarning("%s: %s against %s", request, qPrintable(matchOf(nullptr, request)),
                         qPrintable(matchOf(own, request)));
                same = false;
            }
        return same;
    };
    qputenv("FONTCONFIG_FILE", conf.fileName().toUtf8());
    QVERIFY(inFreshProcess(sameAsFontconfig));

    // Configurations fontconfig mends on its own reading: one that names no cache folder (it adds
    // its default ones) and one cut off in the middle of its XML (its fallback). The outcome is
    // fontconfig's, not an empty or half-read configuration.
    const auto writeConfiguration = [&](const QString& name, const QByteArray& text) {
        QFile file(kit.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return QString();
        return file.fileName();
    };
    const QString noCache = writeConfiguration(
        QStringLiteral("nocache.conf"),
        "<?xml version=\"1.0\"?>\n<fontconfig>\n  <dir>/usr/share/fonts</dir>\n</fontconfig>\n");
    const QString cutOff = writeConfiguration(
        QStringLiteral("cutoff.conf"),
        "<?xml version=\"1.0\"?>\n<fontconfig>\n  <include ignore_missing=\"yes\">/etc/fon");
    QVERIFY(!noCache.isEmpty() && !cutOff.isEmpty());
    for (const QString& file : {noCache, cutOff}) {
        qputenv("FONTCONFIG_FILE", file.toUtf8());
        QVERIFY2(inFreshProcess(sameAsFontconfig), qPrintable(file));
    }

    qunsetenv("FONTCONFIG_FILE");
    QVERIFY(sameAsFontconfig());
}

void KitFontsTest::fontconfigIsPointedAtTheKitUnlessTheUserChoseAConfiguration() {
    QTemporaryDir kit;
    const std::string folder = kit.path().toStdString() + "/";
    const QByteArray savedFile = qgetenv("FONTCONFIG_FILE"), savedPath = qgetenv("FONTCONFIG_PATH");
    qunsetenv("FONTCONFIG_FILE");
    qunsetenv("FONTCONFIG_PATH");
    QVERIFY(!PrepareKitFonts(folder)); // not a kit: nothing to point at
    QVERIFY(qgetenv("FONTCONFIG_FILE").isEmpty());

    QVERIFY(QDir().mkpath(kit.filePath("runtime/fonts")));
    QFile conf(kit.filePath("runtime/fonts/fonts.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.close();
    qputenv("FONTCONFIG_PATH", "/somewhere/else");
    QVERIFY(!PrepareKitFonts(folder)); // the user's configuration folder stays
    QVERIFY(qgetenv("FONTCONFIG_FILE").isEmpty());
    qunsetenv("FONTCONFIG_PATH");
    QVERIFY(PrepareKitFonts(folder));
    QCOMPARE(qgetenv("FONTCONFIG_FILE"), conf.fileName().toUtf8());
    qputenv("FONTCONFIG_FILE", "/chosen/fonts.conf");
    QVERIFY(!PrepareKitFonts(folder)); // a configuration file chosen by the user stays
    QCOMPARE(qgetenv("FONTCONFIG_FILE"), QByteArray("/chosen/fonts.conf"));

    for (const auto& [name, saved] :
         {std::pair{"FONTCONFIG_FILE", savedFile}, {"FONTCONFIG_PATH", savedPath}}) {
        if (saved.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, saved);
    }
}

namespace {
// Whether fontconfig's application fonts include `file`.
bool isApplicationFont(const QString& file) {
    const FcFontSet* set = FcConfigGetFonts(nullptr, FcSetApplication);
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &path) == FcResultMatch &&
            QString::fromUtf8(reinterpret_cast<const char*>(path)) == file)
            return true;
    }
    return false;
}
} // namespace

void KitFontsTest::fontFilesOfTheKitBecomeApplicationFonts() {
    const QString liberation = QStringLiteral("/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf");
    if (!QFile::exists(liberation)) QSKIP("fonts-liberation is not installed");
    QTemporaryDir kit;
    QVERIFY(QDir().mkpath(kit.filePath("runtime/fonts")));
    const QString font = kit.filePath("runtime/fonts/LiberationSans-Bold.ttf");
    QVERIFY(QFile::copy(liberation, font));
    QFile broken(kit.filePath("runtime/fonts/broken.ttf"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a font");
    broken.close();
    QVERIFY(QDir().mkpath(kit.filePath("runtime/fonts/folder.ttf"))); // a folder with a font's name
    QVERIFY(!isApplicationFont(font));

    // Only the file that holds a face is added, as an application font: the toolkit lists those
    // with the system's fonts when it reads the configuration.
    QCOMPARE(AddKitFonts(kit.path().toStdString() + "/"), 1);
    QVERIFY(isApplicationFont(font));
    QVERIFY(!isApplicationFont(broken.fileName()));
    QVERIFY(QFontDatabase::families().contains(QStringLiteral("Liberation Sans")));
    QCOMPARE(AddKitFonts(kit.path().toStdString() + "/nowhere/"), 0);
}

QTEST_MAIN(KitFontsTest)
#include "kitfonts_test.moc"
