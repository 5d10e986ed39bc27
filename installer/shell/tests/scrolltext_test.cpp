#include "shell/scrolltext.h"

#include "framework/forms.h"

#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using scrolltext::Layout;
using scrolltext::Point;

TEST(ScrollArithmetic, NearestRoundsHalvesToEven) {
    EXPECT_EQ(scrolltext::nearest(0.5), 0);
    EXPECT_EQ(scrolltext::nearest(1.5), 2);
    EXPECT_EQ(scrolltext::nearest(2.5), 2);
    EXPECT_EQ(scrolltext::nearest(-0.5), 0);
    EXPECT_EQ(scrolltext::nearest(-1.5), -2);
    EXPECT_EQ(scrolltext::nearest(-10.36), -10);
    EXPECT_EQ(scrolltext::nearest(2.4999), 2);
    EXPECT_EQ(scrolltext::nearest(2.5001), 3);
}

TEST(ScrollArithmetic, LayoutAddsDepthForRaisedLoweredAndShadowedText) {
    const Layout plain = scrolltext::computeLayout(15, 2, {100, 60}, tsNormal, 2, 418, 14);
    EXPECT_EQ(plain.LineHeight, 17);
    EXPECT_EQ(plain.MaxWidth, 100);
    EXPECT_EQ(plain.TotalHeight, 34);
    EXPECT_EQ(plain.LeftOffset, 159);
    EXPECT_EQ(plain.TopOffset, 0); // block taller than the control

    for (TTextStyle s : {tsRaised, tsLowered}) {
        const Layout l = scrolltext::computeLayout(15, 2, {100, 60}, s, 2, 418, 14);
        EXPECT_EQ(l.LineHeight, plain.LineHeight + 4);
        EXPECT_EQ(l.MaxWidth, plain.MaxWidth + 4);
        EXPECT_EQ(l.TotalHeight, 2 * 21);
        EXPECT_EQ(l.LeftOffset, (418 - 104) / 2);
    }
    const Layout shadow = scrolltext::computeLayout(15, 2, {100, 60}, tsShaddow, 3, 418, 100);
    EXPECT_EQ(shadow.LineHeight, 20);
    EXPECT_EQ(shadow.MaxWidth, 103);
    EXPECT_EQ(shadow.TopOffset, (100 - 40) / 2);

    const Layout none = scrolltext::computeLayout(15, 2, {}, tsRaised, 2, 419, 15);
    EXPECT_EQ(none.MaxWidth, 0);
    EXPECT_EQ(none.TotalHeight, 0);
    EXPECT_EQ(none.LeftOffset, 209);
    EXPECT_EQ(none.TopOffset, 7);

    // A line wider than the control stands at the left edge.
    EXPECT_EQ(scrolltext::computeLayout(15, 2, {500}, tsNormal, 1, 418, 14).LeftOffset, 0);
}

TEST(ScrollArithmetic, AlignmentOffsetsWithinTheWidestLine) {
    EXPECT_EQ(scrolltext::alignmentOffset(taLeftJustify, 104, 61), 0);
    EXPECT_EQ(scrolltext::alignmentOffset(taRightJustify, 104, 61), 43);
    EXPECT_EQ(scrolltext::alignmentOffset(taCenter, 104, 61), 22); // 21.5 -> 22
    EXPECT_EQ(scrolltext::alignmentOffset(taCenter, 100, 61), 20); // 19.5 -> 20
    EXPECT_EQ(scrolltext::alignmentOffset(taCenter, 100, 63), 18); // 18.5 -> 18
    EXPECT_EQ(scrolltext::alignmentOffset(taCenter, 100, 100), 0);
}

TEST(ScrollArithmetic, OriginByDirectionThroughAPass) {
    Layout l;
    l.MaxWidth = 100;
    l.TotalHeight = 17;
    l.LeftOffset = 159;
    l.TopOffset = 0;
    const int w = 418, h = 14, steps = 50;
    auto at = [&](TScrollDirection d, int position) {
        return scrolltext::origin(d, scrolltext::fraction(position, steps), l, w, h);
    };
    // Right to left: enters at the right edge, leaves past the left edge; the last frame is past it.
    EXPECT_EQ(at(sdRightToLeft, 0), (Point{418, 0}));
    EXPECT_EQ(at(sdRightToLeft, 25), (Point{159, 0}));
    EXPECT_EQ(at(sdRightToLeft, 50), (Point{-100, 0}));
    EXPECT_EQ(at(sdRightToLeft, 51), (Point{-110, 0})); // nearest(-10.36) - 100
    EXPECT_EQ(at(sdLeftToRight, 0), (Point{-100, 0}));
    EXPECT_EQ(at(sdLeftToRight, 25), (Point{159, 0}));
    EXPECT_EQ(at(sdLeftToRight, 50), (Point{418, 0}));
    EXPECT_EQ(at(sdLeftToRight, 51), (Point{428, 0}));
    EXPECT_EQ(at(sdTopToBottom, 0), (Point{159, -17}));
    EXPECT_EQ(at(sdTopToBottom, 25), (Point{159, -1})); // nearest(15.5) = 16
    EXPECT_EQ(at(sdTopToBottom, 50), (Point{159, 14}));
    EXPECT_EQ(at(sdTopToBottom, 51), (Point{159, 15})); // nearest(31.62) - 17
    EXPECT_EQ(at(sdBottomToTop, 0), (Point{159, 14}));
    EXPECT_EQ(at(sdBottomToTop, 25), (Point{159, -1})); // nearest(15.5) = 16
    EXPECT_EQ(at(sdBottomToTop, 50), (Point{159, -17}));
    EXPECT_EQ(at(sdBottomToTop, 51), (Point{159, -18}));
    EXPECT_EQ(at(sdStatic, 25), (Point{159, 0}));

    // Exactly halfway goes to the even neighbour: (1 - 0.5) * 519 = 259.5 -> 260.
    l.MaxWidth = 101;
    EXPECT_EQ(at(sdRightToLeft, 25), (Point{260 - 101, 0}));
    l.MaxWidth = 103; // 260.5 -> 260
    EXPECT_EQ(at(sdRightToLeft, 25), (Point{260 - 103, 0}));
}

TEST(ScrollArithmetic, SpeedIsKeptWithinOneToAThousand) {
    EXPECT_EQ(scrolltext::clampSpeed(5000), 1000);
    EXPECT_EQ(scrolltext::clampSpeed(1000), 1000);
    EXPECT_EQ(scrolltext::clampSpeed(280), 280);
    EXPECT_EQ(scrolltext::clampSpeed(1), 1);
    EXPECT_EQ(scrolltext::clampSpeed(0), 1);
    EXPECT_EQ(scrolltext::clampSpeed(-3), 1);
}

namespace {
// Records the hooks of each tick as letters: b(egin), p<position>, s(tep), e(nd).
struct Trace {
    scrolltext::ScrollMotion m;
    std::string log;
    scrolltext::ScrollMotion::Hooks hooks{[this] { log += 'b'; },
                                          [this] { log += 'p' + std::to_string(m.Position); },
                                          [this] { log += 's'; }, [this] { log += 'e'; }};
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            m.tick(hooks);
            log += '|';
        }
    }
};
} // namespace

TEST(ScrollMotion, APassPaintsStepsPlusOneFramesAndBeginFollowsEndOneTickLater) {
    Trace t;
    t.m.Steps = 3;
    t.m.start(0);
    t.ticks(6);
    EXPECT_EQ(t.log, "bp1s|p2s|p3s|p4se|bp1s|p2s|");
    EXPECT_TRUE(t.m.running());
}

TEST(ScrollMotion, WithoutContinuousThePassEndsIdleAtZero) {
    Trace t;
    t.m.Steps = 2;
    t.m.Continuous = false;
    t.m.start(0);
    t.ticks(5);
    EXPECT_EQ(t.log, "bp1s|p2s|p3se|||");
    EXPECT_FALSE(t.m.running());
    EXPECT_EQ(t.m.Position, 0);
}

TEST(ScrollMotion, StopKeepsThePositionAndStartResumesOrJumps) {
    Trace t;
    t.m.Steps = 10;
    t.m.start(0);
    t.ticks(4);
    t.m.stop();
    t.ticks(2); // ticks after a stop do nothing
    EXPECT_EQ(t.m.Position, 4);
    t.m.start(11); // out of range: the position stays
    EXPECT_EQ(t.m.Position, 4);
    t.m.start(0); // already running: nothing
    EXPECT_EQ(t.m.Position, 4);
    t.m.stop();
    t.m.start(7);
    EXPECT_EQ(t.m.Position, 7);
    t.log.clear();
    t.ticks(1);
    EXPECT_EQ(t.log, "p8s|");
}

TEST(ScrollMotion, ZeroOrNegativeStepsMakeOneFramePasses) {
    for (int steps : {0, -5}) {
        Trace t;
        t.m.Steps = steps;
        t.m.start(0);
        t.ticks(2);
        EXPECT_EQ(t.log, "bp1se|bp1se|") << steps;
        EXPECT_EQ(t.m.Position, 0);
    }
}

TEST(ScrollArithmetic, SplitLinesAtAnyLineBreak) {
    EXPECT_EQ(scrolltext::splitLines(""), QStringList{});
    EXPECT_EQ(scrolltext::splitLines("one line"), QStringList{"one line"});
    EXPECT_EQ(scrolltext::splitLines("a\r\nb\rc\nd\n"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(scrolltext::splitLines("\n"), QStringList{""});
}

// --- the widget ---

TEST(ScrollTextWidget, StartsScrollingWithItsInitialProperties) {
    TScrollText st;
    EXPECT_EQ(st.Items(), QStringList{"ScrollText"});
    EXPECT_EQ(st.Steps(), 80);
    EXPECT_EQ(st.Speed(), 100);
    EXPECT_TRUE(st.Continuous());
    EXPECT_EQ(st.ScrollDirection(), sdRightToLeft);
    EXPECT_EQ(st.TextStyle(), tsNormal);
    EXPECT_EQ(st.Alignment(), taCenter);
    EXPECT_EQ(st.Depth(), 1);
    EXPECT_EQ(st.size(), QSize(200, 20));
    EXPECT_TRUE(st.Running());

    st.setSpeed(5000);
    EXPECT_EQ(st.Speed(), 1000);
    st.setSpeed(-3);
    EXPECT_EQ(st.Speed(), 1);

    st.setScrollDirection(sdStatic);
    EXPECT_FALSE(st.Running());
    st.setContinuous(false); // a static control stays idle
    EXPECT_FALSE(st.Running());
    st.setScrollDirection(sdTopToBottom);
    EXPECT_TRUE(st.Running());
}

TEST(ScrollTextWidget, EventsFollowThePass) {
    TScrollText st;
    st.setSteps(2);
    std::string log;
    st.OnBegin = [&](TCustomScrollText*) { log += 'b'; };
    st.OnStep = [&](TCustomScrollText*) { log += 's'; };
    st.OnEnd = [&](TCustomScrollText*) { log += 'e'; };
    for (int i = 0; i < 5; ++i)
        st.Tick();
    EXPECT_EQ(log, "bsss"
                   "e"
                   "bss");
    EXPECT_TRUE(st.Running());
}

namespace {

QImage frameOf(TScrollText& st) {
    QImage img(st.size(), QImage::Format_RGB32);
    st.renderFrame(img);
    return img;
}

int leftmostLit(const QImage& img) {
    for (int x = 0; x < img.width(); ++x)
        for (int y = 0; y < img.height(); ++y)
            if (qGray(img.pixel(x, y)) > 96) return x;
    return -1;
}

} // namespace

TEST(ScrollTextWidget, FrameShowsTheTextAtTheComputedPlace) {
    TScrollText st;
    st.resize(418, 14);
    st.setColor(Qt::black);
    st.setFontColor(Qt::white);
    st.setSteps(50);
    st.setItems({"Welcome to the demo"});
    const Layout l = st.currentLayout();
    const int bearing = QFontMetrics(st.Font()).boundingRect(QStringLiteral("W")).left();

    for (int ticks : {5, 15, 25}) {
        TScrollText s2;
        s2.resize(418, 14);
        s2.setColor(Qt::black);
        s2.setFontColor(Qt::white);
        s2.setSteps(50);
        s2.setItems({"Welcome to the demo"});
        for (int i = 0; i < ticks; ++i)
            s2.Tick();
        const int x = scrolltext::origin(sdRightToLeft, scrolltext::fraction(ticks, 50), l, 418, 14).x;
        const QImage img = s2.grab().toImage();
        const int lit = leftmostLit(img);
        EXPECT_GE(lit, x + bearing - 1) << ticks;
        EXPECT_LE(lit, x + bearing + 1) << ticks;
    }

    // The frames near the end of a pass, and the last one, show only the background.
    std::vector<int> litAt(52, -2);
    st.OnStep = [&](TCustomScrollText* s) {
        auto* t = static_cast<TScrollText*>(s);
        litAt[static_cast<std::size_t>(t->Position())] = leftmostLit(frameOf(*t));
    };
    for (int i = 0; i < 51; ++i)
        st.Tick();
    EXPECT_EQ(st.Position(), 0); // the pass is over and a new one waits
    EXPECT_GT(litAt[25], 0);
    EXPECT_GE(litAt[40], 0);
    EXPECT_EQ(litAt[50], -1);
    EXPECT_EQ(litAt[51], -1);
}

TEST(ScrollTextWidget, NoLinesShowOnlyTheBackground) {
    TScrollText st;
    st.resize(100, 14);
    st.setColor(QColor(10, 20, 30));
    st.setItems({});
    st.Tick();
    const QImage img = frameOf(st);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ASSERT_EQ(img.pixel(x, y), qRgb(10, 20, 30));
}

TEST(ScrollTextWidget, WithoutStepsTheTextStandsCentred) {
    TScrollText st;
    st.resize(418, 14);
    st.setColor(Qt::black);
    st.setFontColor(Qt::white);
    st.setItems({"Static"});
    st.setSteps(0);
    int ends = 0;
    st.OnEnd = [&](TCustomScrollText*) { ++ends; };
    st.Tick();
    st.Tick();
    EXPECT_EQ(ends, 2);
    EXPECT_EQ(st.Speed(), 100); // the timer keeps its interval: no busy ticking
    const int bearing = QFontMetrics(st.Font()).boundingRect(QStringLiteral("S")).left();
    const int lit = leftmostLit(frameOf(st));
    EXPECT_NEAR(lit, st.currentLayout().LeftOffset + bearing, 1);
}

TEST(ScrollTextWidget, RaisedLoweredAndShadowedTextHaveTheirLightAndDarkSides) {
    // Highlight and shadow copies sit `Depth` pixels up-left and down-right of the text (raised),
    // or the other way round (lowered); a shadowed text has only the shadow, down-right. The text
    // itself is drawn over them.
    const QRgb light = qRgb(255, 0, 0), dark = qRgb(0, 0, 255), background = qRgb(0, 0, 0),
               white = qRgb(255, 255, 255);
    for (TTextStyle style : {tsRaised, tsLowered, tsShaddow}) {
        TScrollText st;
        QPalette pal = st.palette();
        pal.setColor(QPalette::Light, QColor(light));
        pal.setColor(QPalette::Dark, QColor(dark));
        st.setPalette(pal);
        st.resize(120, 70);
        st.setColor(QColor(background));
        st.setFontColor(Qt::white);
        st.setFont(forms::makeFont(QStringLiteral("Arial"), 48, true));
        st.setTextStyle(style);
        st.setDepth(4);
        st.setItems({"I"});
        st.setScrollDirection(sdStatic);
        const QImage img = frameOf(st);
        const int midY = img.height() / 2;
        int left = -1, right = -1;
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, midY) != background) {
                if (left < 0) left = x;
                right = x;
            }
        ASSERT_GE(left, 0);
        // The first and last rows that are not background, in a column of the strip left (right).
        auto topOf = [&](int x) {
            int y = 0;
            while (y < img.height() && img.pixel(x, y) == background)
                ++y;
            return y;
        };
        auto bottomOf = [&](int x) {
            int y = img.height() - 1;
            while (y >= 0 && img.pixel(x, y) == background)
                --y;
            return y;
        };
        const QRgb upLeft = style == tsRaised ? light : style == tsLowered ? dark : white;
        const QRgb downRight = style == tsLowered ? light : dark;
        EXPECT_EQ(img.pixel(left + 2, midY), upLeft) << style;
        EXPECT_EQ(img.pixel(left + 2, topOf(left + 2) + 2), upLeft) << style;
        EXPECT_EQ(img.pixel(right - 2, midY), downRight) << style;
        EXPECT_EQ(img.pixel(right - 2, bottomOf(right - 2) - 2), downRight) << style;
        EXPECT_EQ(img.pixel((left + right) / 2, midY), white) << style; // the text on top
    }
}

TEST(ScrollTextWidget, TheTimerDrivesThePassesAndTheFrames) {
    QWidget parent;
    parent.resize(200, 40);
    auto* st = new TScrollText(&parent);
    st->setColor(Qt::black);
    st->setFontColor(Qt::white);
    st->setItems({"tick"});
    st->setSteps(4);
    st->setSpeed(15);
    std::string log;
    std::vector<int> lit;
    st->OnBegin = [&](TCustomScrollText*) { log += 'b'; };
    st->OnStep = [&](TCustomScrollText* s) {
        log += 's';
        lit.push_back(leftmostLit(s->grab().toImage()));
    };
    st->OnEnd = [&](TCustomScrollText*) { log += 'e'; };
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    // Two whole passes come from the control's own timer, each of Steps + 1 frames.
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::count(log.begin(), log.end(), 'e') >= 2; }, 5000));
    EXPECT_EQ(log.substr(0, 14), "bsssss"
                                 "e"
                                 "bsssss"
                                 "e");
    // Right to left: each frame of a pass shows the text further left, the last one nothing.
    ASSERT_GE(lit.size(), 5u);
    EXPECT_GT(lit[0], lit[1]);
    EXPECT_GT(lit[1], lit[2]);
    EXPECT_EQ(lit[4], -1);
}

TEST(ScrollTextWidget, AlignKeepsTheControlAlongAnEdgeOfItsParent) {
    EXPECT_EQ(alignedRect(alNone, QRect(5, 6, 70, 14), QSize(300, 100)), QRect(5, 6, 70, 14));
    EXPECT_EQ(alignedRect(alTop, QRect(5, 6, 70, 14), QSize(300, 100)), QRect(0, 0, 300, 14));
    EXPECT_EQ(alignedRect(alBottom, QRect(5, 6, 70, 14), QSize(300, 100)), QRect(0, 86, 300, 14));
    EXPECT_EQ(alignedRect(alLeft, QRect(5, 6, 70, 14), QSize(300, 100)), QRect(0, 0, 70, 100));
    EXPECT_EQ(alignedRect(alRight, QRect(5, 6, 70, 14), QSize(300, 100)), QRect(230, 0, 70, 100));
    EXPECT_EQ(alignedRect(alClient, QRect(5, 6, 70, 14), QSize(300, 100)), QRect(0, 0, 300, 100));

    QWidget parent;
    parent.resize(300, 100);
    auto* st = new TScrollText(&parent);
    st->setGeometry(10, 10, 200, 20);
    parent.show();
    EXPECT_EQ(st->Align(), alNone);
    st->setAlign(alBottom);
    EXPECT_EQ(st->geometry(), QRect(0, 80, 300, 20));
    parent.resize(400, 150); // the control follows its parent
    EXPECT_EQ(st->geometry(), QRect(0, 130, 400, 20));
    EXPECT_EQ(st->currentLayout().LeftOffset, (400 - st->currentLayout().MaxWidth) / 2);
    st->setAlign(alClient);
    EXPECT_EQ(st->geometry(), QRect(0, 0, 400, 150));
    st->setAlign(alNone); // stays where it was, and no longer follows
    parent.resize(200, 50);
    EXPECT_EQ(st->geometry(), QRect(0, 0, 400, 150));
}
