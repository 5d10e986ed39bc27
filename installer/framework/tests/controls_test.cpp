// The pictures of the main window: decoded ahead on another thread, and the picture control with an
// opaque widget above part of it, shown in a real (headless) window.
#include "framework/artwork.h"
#include "framework/controls.h"
#include "framework/jpeg.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QtTest>

#include <thread>

class ControlsTest : public QObject {
    Q_OBJECT
  private slots:
    void aPictureWithAWidgetAboveItIsCopiedWithoutStartingThreads();
    void picturesDecodedAheadOnAnotherThreadAreHandedOutAsDecoded();
};

namespace {

// Threads of this process that the toolkit started for its pools.
int pooledThreads() {
    int count = 0;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("Thread (pooled)")) ++count;
    }
    return count;
}

// An opaque strip, as the scrolling line lies over the background.
class Strip : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::red); }
};

} // namespace

void ControlsTest::aPictureWithAWidgetAboveItIsCopiedWithoutStartingThreads() {
    // Large enough that blending it through a clip with a hole would be split among pool threads.
    QImage picture(492, 361, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));

    QWidget window;
    window.setFixedSize(picture.size());
    auto* image = new TImage(&window);
    image->setGeometry(0, 0, 492, 361);
    image->setPicture(picture);
    auto* strip = new Strip(&window);
    strip->setAttribute(Qt::WA_OpaquePaintEvent);
    strip->setGeometry(39, 237, 418, 14);
    const int before = pooledThreads();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(pooledThreads(), before);

    // Around the strip the picture is there pixel for pixel; the strip covers its part.
    for (const QPoint& p : {QPoint(0, 0), QPoint(491, 360), QPoint(38, 240), QPoint(457, 240),
                            QPoint(200, 236), QPoint(200, 251), QPoint(300, 100)})
        QCOMPARE(shown.pixel(p), picture.pixel(p));
    QCOMPARE(shown.pixel(200, 240), qRgb(255, 0, 0));
    QCOMPARE(shown.copy(0, 0, 492, 237), picture.copy(0, 0, 492, 237));
    QCOMPARE(shown.copy(0, 251, 492, 110), picture.copy(0, 251, 492, 110));
}

void ControlsTest::picturesDecodedAheadOnAnotherThreadAreHandedOutAsDecoded() {
    const auto direct = [](Art art) {
        const ArtworkBlob blob = ArtworkJpeg(art);
        return DecodeJpeg(blob.data, blob.size);
    };
    // Not decoded ahead: a new decoding each time, of the same picture.
    QVERIFY(ArtworkImage(Art::ExitLit).cacheKey() != ArtworkImage(Art::ExitLit).cacheKey());
    QCOMPARE(ArtworkImage(Art::ExitLit), direct(Art::ExitLit));

    std::thread([] { DecodeArtwork({Art::Banner, Art::InfoLit}); }).join();
    for (const Art art : {Art::Banner, Art::InfoLit}) {
        const QImage handed = ArtworkImage(art);
        QVERIFY(!handed.isNull());
        QCOMPARE(handed, direct(art));
        QCOMPARE(ArtworkImage(art).cacheKey(), handed.cacheKey()); // the same pixels, not decoded again
    }
}

QTEST_MAIN(ControlsTest)
#include "controls_test.moc"
