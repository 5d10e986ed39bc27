// The fonts a kit carries: fontconfig is pointed at the kit's configuration unless the user chose one,
// and otherwise every font file of the kit becomes an application font, which the toolkit lists with
// the system's fonts.
#include "framework/kitfonts.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <fontconfig/fontconfig.h>

class KitFontsTest : public QObject {
    Q_OBJECT
  private slots:
    void fontconfigIsPointedAtTheKitUnlessTheUserChoseAConfiguration();
    void fontFilesOfTheKitBecomeApplicationFonts();
};

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
