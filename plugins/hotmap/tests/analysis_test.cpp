// Outline trace, shape tests and polygon simplification, checked against a slow reference.
#include "analysis.h"
#include "masks.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

using hmref::refSimplify;
using hmref::refTrace;
using hotmap::BBox;
using hotmap::Point;
using testmask::Mask;

namespace {

std::vector<Point> trace(const Mask& m, BBox* boxOut = nullptr) {
    std::vector<Point> out;
    BBox box;
    EXPECT_TRUE(hotmap::traceOutline(m.px.data(), m.w, m.h, out, box));
    if (boxOut) *boxOut = box;
    return out;
}

TEST(Trace, FollowsTheBorderClockwiseAndEndsWithOneRepeatOfTheStart) {
    Mask m(6, 5);
    testmask::rect(m, 1, 1, 3, 3);
    BBox box;
    const auto out = trace(m, &box);
    const std::vector<Point> want{{1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}, {1, 3}, {1, 2}, {1, 1}};
    EXPECT_EQ(out, want);
    EXPECT_EQ(box, (BBox{1, 1, 3, 3}));

    Mask lone(4, 4);
    lone.at(2, 1) = 129;
    lone.at(1, 1) = 128; // not selected
    lone.at(0, 0) = 100;
    EXPECT_EQ(trace(lone), (std::vector<Point>{{2, 1}, {2, 1}}));

    // A region touching every edge of the plane is traced along the edges.
    Mask full(3, 2);
    testmask::rect(full, 0, 0, 3, 2);
    EXPECT_EQ(trace(full), (std::vector<Point>{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {1, 1}, {0, 1}, {0, 0}}));

    Mask none(5, 5);
    testmask::rect(none, 0, 0, 5, 5, 128);
    std::vector<Point> out2;
    EXPECT_FALSE(hotmap::traceOutline(none.px.data(), 5, 5, out2, box));
    EXPECT_TRUE(out2.empty());
}

TEST(Trace, OnlyTheFirstRegionInRasterOrderCounts) {
    Mask m(40, 30);
    testmask::rect(m, 20, 2, 5, 5);    // first in raster order (row 2)
    testmask::rect(m, 2, 10, 15, 15);  // larger, but lower
    testmask::rect(m, 5, 13, 4, 4, 0); // a hole in it
    BBox box;
    trace(m, &box);
    EXPECT_EQ(box, (BBox{20, 2, 24, 6}));
    // A hole inside the region changes nothing.
    Mask h(20, 20);
    testmask::rect(h, 2, 2, 12, 12);
    const auto plain = trace(h);
    testmask::rect(h, 5, 5, 4, 4, 0);
    EXPECT_EQ(trace(h), plain);
}

TEST(Shapes, RectangleAndEllipseTests) {
    BBox box;
    Mask r(30, 20);
    testmask::rect(r, 3, 4, 20, 10);
    auto out = trace(r, &box);
    EXPECT_TRUE(hotmap::isRectangle(out, box, 0.5));

    Mask d(30, 30);
    testmask::disc(d, 2, 3, 21);
    out = trace(d, &box);
    EXPECT_FALSE(hotmap::isRectangle(out, box, 0.5));
    EXPECT_TRUE(hotmap::isEllipse(out, box, 1.0));
    EXPECT_EQ(box, (BBox{2, 3, 22, 23}));

    Mask e(50, 30);
    testmask::ellipse(e, 5, 5, 40, 20);
    out = trace(e, &box);
    EXPECT_FALSE(hotmap::isRectangle(out, box, 0.5));
    EXPECT_TRUE(hotmap::isEllipse(out, box, 1.0));
    EXPECT_EQ(box.right - box.left, 39);
    EXPECT_EQ(box.bottom - box.top, 19);

    Mask t(30, 30);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x <= y; ++x)
            t.at(x + 1, y + 1) = 255;
    out = trace(t, &box);
    EXPECT_FALSE(hotmap::isRectangle(out, box, 0.5));
    EXPECT_FALSE(hotmap::isEllipse(out, box, 1.0));
}

TEST(Simplify, TriangleGivesItsThreeCornersAndTheStartAgain) {
    Mask t(30, 30);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x <= y; ++x)
            t.at(x + 1, y + 1) = 255;
    BBox box;
    const auto out = trace(t, &box);
    EXPECT_EQ(hotmap::simplifyPolygon(out, box, 1.0),
              (std::vector<Point>{{1, 1}, {20, 20}, {1, 20}, {1, 1}}));
    // A lone pixel keeps its two points.
    EXPECT_EQ(hotmap::simplifyPolygon({{4, 4}, {4, 4}}, {4, 4, 4, 4}, 1.0),
              (std::vector<Point>{{4, 4}, {4, 4}}));
}

// Masks of every width around the 16-pixel steps of the packed copy, with random content that
// touches every edge: the trace equals the reference.
TEST(Trace, MatchesTheReferenceAtEveryWidthAndEdge) {
    std::srand(7);
    for (int w = 1; w <= 50; ++w)
        for (int h : {1, 2, 5, 17}) {
            for (int round = 0; round < 4; ++round) {
                Mask m(w, h);
                for (auto& v : m.px)
                    v = uint8_t(std::rand() % 3 == 0 ? 100 : 120 + std::rand() % 136);
                BBox refBox, box;
                const auto ref = refTrace(m, refBox);
                std::vector<Point> out;
                ASSERT_EQ(hotmap::traceOutline(m.px.data(), w, h, out, box), !ref.empty());
                ASSERT_EQ(out, ref) << w << "x" << h;
                if (!ref.empty()) {
                    ASSERT_EQ(box, refBox);
                }
            }
        }
}

TEST(Simplify, MatchesTheSlowReferenceOnIrregularBlobs) {
    for (int seed = 0; seed < 6; ++seed) {
        Mask m(420, 380);
        testmask::blob(m, 200 + seed, 190 - seed, 120 + 10 * seed, seed);
        BBox refBox;
        const auto ref = refTrace(m, refBox);
        BBox box;
        const auto out = trace(m, &box);
        ASSERT_EQ(out, ref) << seed;
        ASSERT_EQ(box, refBox);
        const auto poly = hotmap::simplifyPolygon(out, box, 1.0);
        EXPECT_EQ(poly, refSimplify(ref, refBox, 1.0)) << seed;
        EXPECT_GT(poly.size(), 100u) << seed;
        EXPECT_EQ(poly.front(), poly.back());
        EXPECT_FALSE(hotmap::isRectangle(out, box, 0.5));
        EXPECT_FALSE(hotmap::isEllipse(out, box, 1.0));
    }
}

} // namespace
