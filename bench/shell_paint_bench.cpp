// Time per frame of the scrolling text (418 x 14, the main window's settings) and of the caption
// strip (492 wide, the main window's settings), each against the floor: a QPainter fillRect of the
// same area into the same kind of image. Run with QT_QPA_PLATFORM=offscreen.
#include "framework/forms.h"
#include "shell/officecaption.h"
#include "shell/scrolltext.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Median over `rounds` of the mean time of `iterations` calls, in microseconds.
double timePerCall(const std::function<void()>& f, int iterations = 2000, int rounds = 9) {
    for (int i = 0; i < iterations / 10; ++i)
        f(); // warm up
    std::vector<double> samples;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < iterations; ++i)
            f();
        const auto t1 = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count() / iterations);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void report(const char* what, double us, const char* floorName, double floorUs) {
    std::printf("%-34s %8.2f us/frame   %-30s %6.2f us   ratio %5.1fx\n", what, us, floorName, floorUs,
                us / floorUs);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);

    // Scrolling text with the main window's settings.
    TScrollText st;
    st.resize(418, 14);
    st.setSteps(50);
    st.setSpeed(280);
    st.setColor(Qt::black);
    st.setFont(forms::makeFont(QStringLiteral("Arial"), 13));
    st.setFontColor(Qt::white);
    st.setItems({QStringLiteral(
        "Welcome to the Halcyon demo kit ... music, archives and text art made by kitmaker")});
    QImage scrollFrame(418, 14, QImage::Format_RGB32);
    const double floorScroll = timePerCall([&] {
        QPainter p(&scrollFrame);
        p.fillRect(scrollFrame.rect(), Qt::black);
    });
    int tick = 0;
    const double scroll = timePerCall([&] {
        if (++tick % 2 == 0) st.Tick(); // the block moves: no two frames alike
        st.renderFrame(scrollFrame);
    });
    report("scroll text frame 418x14", scroll, "fillRect 418x14 (floor)", floorScroll);
    st.setTextStyle(tsRaised);
    const double raised = timePerCall([&] {
        st.Tick();
        st.renderFrame(scrollFrame);
    });
    report("scroll text frame, tsRaised", raised, "fillRect 418x14 (floor)", floorScroll);

    // Caption strip with the main window's settings (black bar, white bold caption, 64 bands).
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.resize(492, 379);
    window.setWindowTitle(QStringLiteral("Halcyon Installer..."));
    TMSOfficeCaption bar(&window);
    bar.setColorRightActive(Qt::black);
    bar.setColorRightInActive(Qt::black);
    bar.CaptionText()->setColorActive(Qt::white);
    bar.CaptionText()->setColorInactive(Qt::white);
    bar.CaptionText()->setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11, true));
    const int h = TMSOfficeCaption::captionHeight();
    QImage strip(492, h, QImage::Format_RGB32);
    const double floorStrip = timePerCall([&] {
        QPainter p(&strip);
        p.fillRect(strip.rect(), Qt::black);
    });
    const double caption = timePerCall([&] { bar.paintBar(strip); });
    report("caption strip 492x18, 64 bands", caption, "fillRect 492x18 (floor)", floorStrip);
    bar.setNumColors(256);
    bar.setColorRightActive(QColor(0, 0, 128));
    bar.setColorRightInActive(QColor(128, 128, 128));
    const double caption256 = timePerCall([&] { bar.paintBar(strip); });
    report("caption strip, 256-band gradient", caption256, "fillRect 492x18 (floor)", floorStrip);
    return 0;
}
