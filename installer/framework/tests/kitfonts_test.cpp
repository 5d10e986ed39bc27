// The fonts a kit carries: fontconfig is pointed at them only on a system without a configuration of
// its own, and every font file of the kit becomes an application font.
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
    void fontconfigIsPointedAtTheKitOnlyWhereTheSystemHasNoConfiguration();
    void fontFilesOfTheKitBecomeApplicationFonts();
};

void KitFontsTest::fontconfigIsPointedAtTheKitOnlyWhereTheSystemHasNoConfiguration() {
    QTemporaryDir kit;
    const std::string folder = kit.path().toStdString() + "/";
    const QByteArray saved = qgetenv("FONTCONFIG_FILE");
    qunsetenv("FONTCONFIG_FILE");
    qunsetenv("FONTCONFIG_PATH");
    const std::string missing = folder + "no-system-config.conf";
    QVERIFY(!PrepareKitFonts(folder, missing)); // not a kit: nothing to point at

    QVERIFY(QDir().mkpath(kit.filePath("runtime/fonts")));
    QFile conf(kit.filePath("runtime/fonts/fonts.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.close();
    QVERIFY(!PrepareKitFonts(folder, conf.fileName().toStdString())); // the system has its own
    QVERIFY(PrepareKitFonts(folder, missing));
    QCOMPARE(qgetenv("FONTCONFIG_FILE"), conf.fileName().toUtf8());
    QVERIFY(!PrepareKitFonts(folder, missing)); // a configuration chosen by the user stays

    if (saved.isEmpty())
        qunsetenv("FONTCONFIG_FILE");
    else
        qputenv("FONTCONFIG_FILE", saved);
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
