// The fonts a kit carries: fontconfig is pointed at the kit's configuration unless the user chose one,
// and otherwise every font file of the kit becomes an application font.
#include "framework/kitfonts.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

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

void KitFontsTest::fontFilesOfTheKitBecomeApplicationFonts() {
    const QString liberation = QStringLiteral("/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf");
    if (!QFile::exists(liberation)) QSKIP("fonts-liberation is not installed");
    QTemporaryDir kit;
    QVERIFY(QDir().mkpath(kit.filePath("runtime/fonts")));
    QVERIFY(QFile::copy(liberation, kit.filePath("runtime/fonts/LiberationSans-Bold.ttf")));
    QFile broken(kit.filePath("runtime/fonts/broken.ttf"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a font");
    broken.close();
    QCOMPARE(LoadKitFonts(kit.path().toStdString() + "/"), 1);
    QVERIFY(QFontDatabase::families().contains(QStringLiteral("Liberation Sans")));
    QCOMPARE(LoadKitFonts(kit.path().toStdString() + "/nowhere/"), 0);
}

QTEST_MAIN(KitFontsTest)
#include "kitfonts_test.moc"
