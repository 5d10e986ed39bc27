// Whole-selection maps: outlines along pixel edges, regions and holes, exact areas, caps, text.
#include "edges.h"
#include "mapcheck.h"
#include "masks.h"
#include "wholemap.h"
#include "wide.h"

#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdio>
#include <random>

using hotmap::Point;
using testmask::Mask;

namespace {

hotmap::WholeMap mapOf(const Mask& m, int32_t format = HM_FORMAT_INLINE, hotmap::MapCaps caps = {},
                       Point offset = {}, const char* url = "u") {
    const hotmap::SelectionBits bits(m.px.data(), m.w, m.h, m.w);
    return hotmap::mapWholeSelection(bits, offset, format, url, caps);
}

// Every pixel of the mask is hit exactly as selected, through the area of its own region.
void expectExact(const Mask& m, const std::string& what) {
    const hotmap::WholeMap map = mapOf(m, HM_FORMAT_INLINE, {HM_MAP_MAX_AREAS, HM_MAP_MAX_POINTS});
    const mapcheck::Labels l = mapcheck::label(m.px, m.w, m.h);
    ASSERT_EQ(map.status, HM_STATUS_OK) << what;
    EXPECT_EQ(map.regions, std::size_t(l.regions)) << what;
    EXPECT_EQ(map.holes, std::size_t(l.holes)) << what;
    EXPECT_FALSE(map.capped) << what;
    const auto areas = mapcheck::parseInline(map.text);
    ASSERT_EQ(areas.size(), map.areas.size()) << what;
    ASSERT_EQ(areas.size(), std::size_t(l.regions + l.holes)) << what;
    std::vector<bool> link;
    for (const auto& a : areas)
        link.push_back(a.link);
    const auto hit = mapcheck::hits(areas, m.w, m.h);
    const mapcheck::Score s = mapcheck::score(l, hit, link);
    EXPECT_EQ(s.selectedHit, s.selected) << what << "\n" << map.text;
    EXPECT_EQ(s.othersHit, 0) << what << "\n" << map.text;
}

Mask randomNoise(int w, int h, double density, unsigned seed) {
    Mask m(w, h);
    std::mt19937 rng(seed);
    std::bernoulli_distribution on(density);
    for (auto& p : m.px)
        p = on(rng) ? 255 : 0;
    return m;
}

// Noise smoothed and thresholded: organic blobs with holes, islands, pinches and stairs.
Mask randomBlobs(int w, int h, unsigned seed) {
    Mask noise = randomNoise(w, h, 0.5, seed);
    Mask m(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int sum = 0, n = 0;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    if (x + dx >= 0 && y + dy >= 0 && x + dx < w && y + dy < h) {
                        sum += noise.at(x + dx, y + dy) ? 1 : 0;
                        ++n;
                    }
            m.at(x, y) = sum * 2 > n ? 200 : 20;
        }
    return m;
}

TEST(WholeMap, EveryPixelOfRandomMasksIsHitExactly) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        expectExact(randomNoise(23, 17, 0.3 + 0.01 * seed, seed), "noise " + std::to_string(seed));
        expectExact(randomBlobs(61, 47, seed), "blobs " + std::to_string(seed));
    }
}

TEST(WholeMap, RegionsAreEightConnectedAndHolesFourConnected) {
    // Two pixels touching at a corner are one region; two unselected ones are two holes.
    Mask diagonal(5, 5);
    diagonal.at(0, 0) = diagonal.at(1, 1) = diagonal.at(3, 3) = 255;
    hotmap::WholeMap m = mapOf(diagonal);
    EXPECT_EQ(m.regions, 2u);
    EXPECT_EQ(m.holes, 0u);
    // The pair becomes a parallelogram that holds both centres and neither other one.
    EXPECT_EQ(m.text, "<AREA SHAPE=\"POLY\" COORDS=\"0,0,2,1,2,2,0,1,0,0\" HREF=\"u\">\n"
                      "<AREA SHAPE=\"RECT\" COORDS=\"3,3,4,4\" HREF=\"u\">");

    Mask pinched(4, 4);
    testmask::rect(pinched, 0, 0, 4, 4);
    pinched.at(1, 1) = pinched.at(2, 2) = 0;
    m = mapOf(pinched);
    EXPECT_EQ(m.regions, 1u);
    EXPECT_EQ(m.holes, 2u);
    EXPECT_EQ(m.text, "<AREA SHAPE=\"RECT\" COORDS=\"1,1,2,2\" NOHREF>\n"
                      "<AREA SHAPE=\"RECT\" COORDS=\"2,2,3,3\" NOHREF>\n"
                      "<AREA SHAPE=\"RECT\" COORDS=\"0,0,4,4\" HREF=\"u\">");

    // Unselected pixels open to the border are no hole.
    Mask cup(5, 5);
    testmask::rect(cup, 0, 0, 5, 5);
    testmask::rect(cup, 2, 0, 1, 3, 0);
    m = mapOf(cup);
    EXPECT_EQ(m.holes, 0u);
    EXPECT_EQ(m.areas.size(), 1u);
}

TEST(WholeMap, WhatLiesInAHoleComesBeforeTheHoleAndTheHoleBeforeItsRegion) {
    Mask m(30, 30);
    testmask::rect(m, 0, 0, 30, 30);
    testmask::rect(m, 3, 3, 24, 24, 0);
    testmask::rect(m, 6, 6, 18, 18);
    testmask::rect(m, 9, 9, 12, 12, 0);
    testmask::disc(m, 11, 11, 8);
    testmask::rect(m, 28, 0, 2, 2, 0); // a notch: the outer region is a polygon
    const hotmap::WholeMap map = mapOf(m, HM_FORMAT_INLINE, {}, {100, 200}, "a.html");
    EXPECT_EQ(map.text, "<AREA SHAPE=\"CIRCLE\" COORDS=\"115,215,4\" HREF=\"a.html\">\n"
                        "<AREA SHAPE=\"RECT\" COORDS=\"109,209,121,221\" NOHREF>\n"
                        "<AREA SHAPE=\"RECT\" COORDS=\"106,206,124,224\" HREF=\"a.html\">\n"
                        "<AREA SHAPE=\"RECT\" COORDS=\"103,203,127,227\" NOHREF>\n"
                        "<AREA SHAPE=\"POLY\" COORDS=\"100,200,128,200,128,202,130,202,130,230,100,230,100,"
                        "200\" HREF=\"a.html\">");
    EXPECT_EQ(map.box, (hotmap::BBox{100, 200, 130, 230}));
    expectExact(m, "nested");

    // Maps without holes leave them out; what lies in a hole still comes before its region.
    EXPECT_EQ(mapOf(m, HM_FORMAT_NCSA, {}, {100, 200}, "a.html").text,
              "circle a.html 115,215 115,211\n"
              "rect a.html 106,206 124,224\n"
              "poly a.html 100,200 128,200 128,202 130,202 130,230 100,230 100,200");
    EXPECT_EQ(mapOf(m, HM_FORMAT_CERN).text, "circ 15,15,4 u\n"
                                             "rectangle (6,6) (24,24) u\n"
                                             "polygon (0,0) (28,0) (28,2) (30,2) (30,30) (0,30) (0,0) u");

    // Separate regions: the larger first.
    Mask two(40, 20);
    testmask::rect(two, 1, 1, 5, 5);
    testmask::rect(two, 20, 2, 10, 10);
    EXPECT_EQ(mapOf(two, HM_FORMAT_NCSA).text, "rect u 20,2 30,12\nrect u 1,1 6,6");
}

TEST(WholeMap, RectanglesAndCirclesOnlyWhereTheyAreExact) {
    // A disc of even diameter has a whole centre and radius in corners; an odd one, an ellipse or
    // a rectangle short of a corner pixel become polygons that hold exactly their pixels.
    Mask even(30, 30);
    testmask::disc(even, 2, 2, 20);
    EXPECT_EQ(mapOf(even).text, "<AREA SHAPE=\"CIRCLE\" COORDS=\"12,12,10\" HREF=\"u\">");
    Mask odd(30, 30);
    testmask::disc(odd, 2, 2, 21);
    Mask ellipse(60, 40);
    testmask::ellipse(ellipse, 3, 4, 40, 20);
    Mask notched(20, 20);
    testmask::rect(notched, 2, 2, 10, 8);
    notched.at(2, 2) = 0;
    for (const Mask* m : {&odd, &ellipse, &notched}) {
        const hotmap::WholeMap map = mapOf(*m);
        ASSERT_EQ(map.areas.size(), 1u);
        EXPECT_EQ(map.areas[0].shape, HM_SHAPE_POLY);
    }
    expectExact(odd, "odd disc");
    expectExact(ellipse, "ellipse");
    expectExact(notched, "notched rectangle");
    // An L keeps its six corners, the first one again at the end.
    Mask l(6, 6);
    testmask::rect(l, 0, 0, 2, 4);
    testmask::rect(l, 0, 2, 4, 2);
    EXPECT_EQ(mapOf(l, HM_FORMAT_CERN).text, "polygon (0,0) (2,0) (2,2) (4,2) (4,4) (0,4) (0,0) u");
}

TEST(WholeMap, CapsBoundAreasPointsAndTextAndSayWhenTheyCut) {
    const Mask noise = randomNoise(200, 150, 0.45, 5);
    const hotmap::WholeMap all = mapOf(noise, HM_FORMAT_INLINE, {HM_MAP_MAX_AREAS, HM_MAP_MAX_POINTS});
    EXPECT_FALSE(all.capped);
    ASSERT_GT(all.areas.size(), 1000u);
    for (const auto& caps : {hotmap::MapCaps{10, 100000}, hotmap::MapCaps{1000, 300}, hotmap::MapCaps{}}) {
        const hotmap::WholeMap m = mapOf(noise, HM_FORMAT_INLINE, caps, {}, "http://example.com/page.html");
        EXPECT_EQ(m.status, HM_STATUS_OK);
        EXPECT_TRUE(m.capped);
        EXPECT_EQ(m.regions, all.regions);
        EXPECT_LE(m.areas.size(), caps.areas);
        EXPECT_LE(m.points, caps.points);
        std::size_t points = 0;
        for (const auto& a : m.areas)
            points += a.cost();
        EXPECT_EQ(points, m.points);
        // Each area at most its fixed text, the URL and 24 bytes a point.
        EXPECT_LE(m.text.size(), m.areas.size() * (60 + 28) + m.points * 24);
        EXPECT_EQ(std::count(m.text.begin(), m.text.end(), '\n') + 1, std::ptrdiff_t(m.areas.size()));
        // The text holds exactly the areas counted.
        EXPECT_EQ(mapcheck::parseInline(m.text).size(), m.areas.size());
    }
    // One large region over a tight cap on points: a coarser polygon, still there, within the
    // region. Below what its concave stretches need without taking in the ground around it, and
    // for a cap no area meets, nothing.
    Mask blob(300, 300);
    testmask::blob(blob, 150, 150, 100, 3);
    const hotmap::WholeMap exact = mapOf(blob);
    EXPECT_FALSE(exact.capped);
    const hotmap::WholeMap coarse = mapOf(blob, HM_FORMAT_INLINE, {10, 250});
    ASSERT_EQ(coarse.areas.size(), 1u);
    EXPECT_TRUE(coarse.capped);
    EXPECT_LE(coarse.points, 250u);
    EXPECT_LT(coarse.points, exact.points);
    EXPECT_EQ(mapcheck::cutMapFaults(mapcheck::label(blob.px, blob.w, blob.h),
                                     mapcheck::parseInline(coarse.text), false),
              "");
    for (const std::size_t points : {std::size_t(1), std::size_t(40)}) {
        const hotmap::WholeMap none = mapOf(blob, HM_FORMAT_INLINE, {10, points});
        EXPECT_EQ(none.status, HM_STATUS_CAPS_TOO_SMALL);
        EXPECT_TRUE(none.areas.empty() && none.text.empty());
    }
}

// Regions inside holes inside regions, several deep, next to a region with two holes, rings of
// discs (circles and polygons) and loose pieces: 9 regions, 6 holes.
Mask nestedRings() {
    Mask m(150, 90);
    // A frame with two holes; the left one holds rings three deep, the right one an island.
    testmask::rect(m, 1, 1, 90, 62);
    testmask::rect(m, 4, 4, 52, 52, 0);
    testmask::rect(m, 60, 4, 28, 28, 0);
    testmask::rect(m, 8, 8, 44, 44);
    testmask::rect(m, 12, 12, 36, 36, 0);
    testmask::disc(m, 14, 14, 32);
    testmask::disc(m, 18, 18, 24, 0);
    testmask::rect(m, 24, 24, 12, 12);
    testmask::rect(m, 26, 26, 8, 8, 0);
    m.at(29, 29) = 255;
    testmask::blob(m, 74, 18, 8, 2);
    // A ring of an odd disc (a polygon with a polygon hole), an L and a lone pixel.
    testmask::disc(m, 100, 5, 41);
    testmask::disc(m, 108, 13, 25, 0);
    testmask::rect(m, 100, 60, 30, 6);
    testmask::rect(m, 100, 60, 6, 25);
    m.at(148, 88) = 255;
    return m;
}

// A map that the caps cut, checked against the mask.
void expectSoundCut(const Mask& m, const hotmap::MapCaps& caps, const mapcheck::Labels& l,
                    const std::string& what) {
    const hotmap::WholeMap map = mapOf(m, HM_FORMAT_INLINE, caps);
    if (map.status == HM_STATUS_CAPS_TOO_SMALL) {
        EXPECT_TRUE(map.areas.empty() && map.text.empty()) << what;
        return;
    }
    ASSERT_EQ(map.status, HM_STATUS_OK) << what;
    EXPECT_LE(map.areas.size(), caps.areas) << what;
    EXPECT_LE(map.points, caps.points) << what;
    const auto areas = mapcheck::parseInline(map.text);
    ASSERT_EQ(areas.size(), map.areas.size()) << what;
    bool coarse = false; // exact areas hold exactly their region's pixels; coarser ones may lose some
    if (map.capped) {
        const hotmap::WholeMap all = mapOf(m, HM_FORMAT_INLINE, {HM_MAP_MAX_AREAS, HM_MAP_MAX_POINTS});
        for (const hotmap::MapArea& a : map.areas)
            coarse |= std::none_of(all.areas.begin(), all.areas.end(), [&](const hotmap::MapArea& b) {
                return a.shape == b.shape && a.hole == b.hole && a.points == b.points;
            });
    }
    EXPECT_EQ(mapcheck::cutMapFaults(l, areas, !coarse), "") << what << "\n" << map.text;
}

TEST(WholeMap, CapsKeepOrLeaveARegionTogetherWithItsHoles) {
    const Mask m = nestedRings();
    const mapcheck::Labels l = mapcheck::label(m.px, m.w, m.h);
    ASSERT_EQ(l.regions, 9);
    ASSERT_EQ(l.holes, 6);
    const hotmap::WholeMap all = mapOf(m, HM_FORMAT_INLINE, {HM_MAP_MAX_AREAS, HM_MAP_MAX_POINTS});
    ASSERT_EQ(all.areas.size(), 15u);
    EXPECT_EQ(mapcheck::cutMapFaults(l, mapcheck::parseInline(all.text), true), "");
    // Every cap on areas, points unbounded: whole regions with all their holes, exact.
    for (std::size_t areas = 1; areas <= all.areas.size() + 1; ++areas)
        expectSoundCut(m, {areas, HM_MAP_MAX_POINTS}, l, "areas " + std::to_string(areas));
    // Every cap on points, and the two together: coarser polygons never take in an unselected pixel
    // nor give up one of a hole.
    for (std::size_t points = 1; points <= all.points + 1; ++points)
        expectSoundCut(m, {HM_MAP_MAX_AREAS, points}, l, "points " + std::to_string(points));
    for (std::size_t areas = 1; areas <= all.areas.size(); areas += 3)
        for (std::size_t points = 4; points <= all.points; points += 17)
            expectSoundCut(m, {areas, points}, l,
                           "areas " + std::to_string(areas) + ", points " + std::to_string(points));
    // The frame with two holes needs three areas: with two, the next ring takes them, and with
    // one the largest region without a hole.
    EXPECT_EQ(mapOf(m, HM_FORMAT_INLINE, {2, HM_MAP_MAX_POINTS}).text,
              "<AREA SHAPE=\"RECT\" COORDS=\"12,12,48,48\" NOHREF>\n"
              "<AREA SHAPE=\"RECT\" COORDS=\"8,8,52,52\" HREF=\"u\">");
    EXPECT_EQ(mapOf(m, HM_FORMAT_CERN, {1, HM_MAP_MAX_POINTS}).text, "rectangle (1,1) (91,63) u");
    EXPECT_EQ(mapOf(m, HM_FORMAT_INLINE, {1, HM_MAP_MAX_POINTS}).areas.at(0).hole, false);
}

TEST(WholeMap, CoarserDrawingsAreCheckedAgainstTheExactOutlines) {
    // An L-shaped ring: its outer outline and its L-shaped hole, along pixel edges.
    const std::vector<Point> outer{{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 30}, {0, 30}};
    const std::vector<Point> hole{{2, 2}, {2, 28}, {8, 28}, {8, 8}, {28, 8}, {28, 2}};
    const hotmap::BBox box{0, 0, 30, 30};
    const std::vector<hotmap::Loop> exact{{hole.data(), hole.size(), true},
                                          {outer.data(), outer.size(), false}};
    auto reaches = [&](const std::vector<Point>& h, const std::vector<Point>& r) {
        return hotmap::reachesMore({{h.data(), h.size(), true}, {r.data(), r.size(), false}}, exact, box);
    };
    EXPECT_FALSE(reaches(hole, outer));
    // Cutting into the region's own pixels loses them, which is allowed.
    EXPECT_FALSE(reaches(hole, {{0, 0}, {30, 0}, {29, 10}, {10, 10}, {10, 30}, {0, 30}}));
    EXPECT_FALSE(reaches({{2, 2}, {2, 28}, {8, 28}, {9, 9}, {28, 8}, {28, 2}}, outer));
    // The region's corner cut off takes in the ground in the crook of the L.
    EXPECT_TRUE(reaches(hole, {{0, 0}, {30, 0}, {30, 10}, {10, 30}, {0, 30}}));
    // Crossing lines: the bow tie holds the ground at the far corner.
    EXPECT_TRUE(reaches(hole, {{0, 0}, {30, 0}, {0, 30}, {30, 30}}));
    // The hole's inner corner cut off keeps every hole pixel, but its area, without a link, would
    // reach past the region into the crook of the L and hide whatever lies there.
    EXPECT_TRUE(reaches({{2, 2}, {2, 28}, {8, 28}, {28, 8}, {28, 2}}, outer));
    // A line through a pixel's centre: browsers may count it in either way, so it counts as reached.
    const std::vector<Point> pixel{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, triangle{{0, 0}, {2, 0}, {0, 2}};
    EXPECT_TRUE(hotmap::reachesMore({{triangle.data(), 3, false}}, {{pixel.data(), 4, false}}, {0, 0, 2, 2}));
    const std::vector<Point> square{{0, 0}, {2, 0}, {2, 2}, {0, 2}};
    EXPECT_FALSE(
        hotmap::reachesMore({{triangle.data(), 3, false}}, {{square.data(), 4, false}}, {0, 0, 2, 2}));
}

TEST(WholeMap, CoarserPolygonsNeverTakeInAnUnselectedPixel) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const Mask m = randomBlobs(61, 47, seed);
        const mapcheck::Labels l = mapcheck::label(m.px, m.w, m.h);
        const hotmap::WholeMap all = mapOf(m, HM_FORMAT_INLINE, {HM_MAP_MAX_AREAS, HM_MAP_MAX_POINTS});
        for (std::size_t points = 4; points <= all.points; points += 1 + all.points / 40)
            expectSoundCut(m, {HM_MAP_MAX_AREAS, points}, l,
                           "blobs " + std::to_string(seed) + ", points " + std::to_string(points));
    }
}

TEST(WholeMap, BadInputGivesAClearStatus) {
    Mask empty(7, 5);
    EXPECT_EQ(mapOf(empty).status, HM_STATUS_NOTHING_SELECTED);
    Mask one(1, 1);
    one.at(0, 0) = 129;
    EXPECT_EQ(mapOf(one, HM_FORMAT_NCSA, {}, {-5, 7}).text, "rect u -5,7 -4,8");
    one.at(0, 0) = 128;
    EXPECT_EQ(mapOf(one).status, HM_STATUS_NOTHING_SELECTED);
    Mask all(5, 3);
    testmask::rect(all, 0, 0, 5, 3);
    EXPECT_EQ(mapOf(all, HM_FORMAT_CERN).text, "rectangle (0,0) (5,3) u");
    EXPECT_EQ(mapOf(all, 3).status, HM_STATUS_BAD_ARGUMENT);
    EXPECT_EQ(mapOf(all, -1).status, HM_STATUS_BAD_ARGUMENT);

    // Coordinates up to INT_MAX, not past it.
    EXPECT_EQ(mapOf(all, HM_FORMAT_NCSA, {}, {INT_MAX - 5, INT_MAX - 3}).text,
              "rect u 2147483642,2147483644 2147483647,2147483647");
    EXPECT_EQ(mapOf(all, HM_FORMAT_NCSA, {}, {INT_MAX - 4, 0}).status, HM_STATUS_OUT_OF_RANGE);
    EXPECT_EQ(mapOf(all, HM_FORMAT_NCSA, {}, {0, INT_MAX - 2}).status, HM_STATUS_OUT_OF_RANGE);
    EXPECT_EQ(mapOf(all, HM_FORMAT_NCSA, {}, {INT_MIN, INT_MIN}).text,
              "rect u -2147483648,-2147483648 -2147483643,-2147483645");

    // Wider and taller than 16-bit coordinates hold.
    Mask wide(40000, 2);
    wide.at(39999, 1) = wide.at(0, 0) = 255;
    EXPECT_EQ(mapOf(wide, HM_FORMAT_NCSA).text, "rect u 0,0 1,1\nrect u 39999,1 40000,2");
    Mask tall(3, 40000);
    testmask::rect(tall, 1, 100, 1, 39900);
    EXPECT_EQ(mapOf(tall, HM_FORMAT_NCSA).text, "rect u 1,100 2,40000");

    // The URL escaped for where it goes.
    const char* url = "a b\"<c>&d'\x01";
    EXPECT_EQ(mapOf(all, HM_FORMAT_INLINE, {}, {}, url).text,
              "<AREA SHAPE=\"RECT\" COORDS=\"0,0,5,3\" HREF=\"a%20b&quot;&lt;c&gt;&amp;d'%01\">");
    EXPECT_EQ(mapOf(all, HM_FORMAT_NCSA, {}, {}, url).text, "rect a%20b\"<c>&d'%01 0,0 5,3");
    EXPECT_EQ(mapOf(all, HM_FORMAT_NCSA, {}, {}, nullptr).text, "rect  0,0 5,3");
    std::string longUrl(400, 'x');
    EXPECT_EQ(mapOf(all, HM_FORMAT_NCSA, {}, {}, longUrl.c_str()).text,
              "rect " + std::string(HM_URL_SIZE - 1, 'x') + " 0,0 5,3");
}

TEST(WholeMap, PolygonPointsAreWrittenAsPrintfWritesThem) {
    // Shared with the single-area entries, whose bytes must not change.
    const std::vector<Point> points{{0, 0}, {-1, 7}, {INT_MAX, INT_MIN}, {123456, -98765}, {0, 0}};
    const char* heads[] = {"<AREA SHAPE=\"POLY\" COORDS=\"", "poly %s ", "polygon "};
    const char* each[] = {"%d,%d,", "%d,%d ", "(%d,%d) "};
    const char* tails[] = {"\" HREF=\"%s\">", "", " %s"};
    for (int32_t format = 0; format < 3; ++format) {
        std::string want = heads[format];
        for (const Point& p : points) {
            char piece[64];
            std::snprintf(piece, sizeof piece, each[format], p.x, p.y);
            want += piece;
        }
        want.pop_back();
        want += tails[format];
        char* text = static_cast<char*>(std::malloc(64));
        int32_t size = 64;
        ASSERT_TRUE(hotmap::writePolygonTemplate({text, size}, format, points, {}));
        EXPECT_EQ(std::string(text), want);
        std::free(text);
    }
}

TEST(WholeMap, WideProductsAreExact) {
#if defined(__SIZEOF_INT128__)
    // Checked against the compiler's own 128-bit numbers where there are any.
    std::mt19937_64 rng(11);
    const int64_t edges[] = {0,         1, -1, INT64_MAX, INT64_MIN, int64_t(1) << 32, -(int64_t(1) << 32),
                             0xFFFFFFFF};
    auto value = [&](std::size_t i) { return i < 8 ? edges[i] : int64_t(rng()) >> (rng() % 64); };
    auto same = [](hotmap::Wide w, __int128 v) {
        return w.low() == uint64_t(v) && w.high() == int64_t(v >> 64) && (long double)w == (long double)v;
    };
    for (std::size_t i = 0; i < 2000; ++i) {
        const int64_t a = value(i % 8), b = value(i / 8 % 8 + (i >= 64 ? 8 : 0)), c = value(8), d = value(8);
        const __int128 p = __int128(a) * b, q = __int128(c) * d;
        const hotmap::Wide wp = hotmap::Wide::product(a, b), wq = hotmap::Wide::product(c, d);
        ASSERT_TRUE(same(wp, p)) << a << " * " << b;
        ASSERT_TRUE(same(wp - wq, p - q)) << a << " " << b << " " << c << " " << d;
        ASSERT_TRUE(same(wp + wq, p + q));
        ASSERT_TRUE(same(-wp, -p));
        EXPECT_EQ(wp < wq, p < q);
        EXPECT_EQ(wp > wq, p > q);
        EXPECT_EQ(wp <= hotmap::Wide(0), p <= 0);
        EXPECT_EQ(wp == wq, p == q);
    }
#endif
    // Outlines wider than 2^29 pixels take the exact products: an L keeps its corners; a
    // staircase of six steps down and five across becomes one line, which leaves every pixel's
    // centre on its side, as it does at any size.
    const int32_t big = int32_t(1) << 30;
    const std::vector<Point> l{{0, 0}, {big, 0}, {big, 2}, {2, 2}, {2, big}, {0, big}};
    const hotmap::MapArea a =
        hotmap::shapeOfOutline(l.data(), l.size(), {0, 0, big, big}, false, 1.0, hotmap::Sides::all);
    EXPECT_EQ(a.shape, HM_SHAPE_POLY);
    EXPECT_EQ(a.points, (std::vector<Point>{{0, 0}, {big, 0}, {big, 2}, {2, 2}, {2, big}, {0, big}, {0, 0}}));
    for (const int32_t right : {100, big}) {
        std::vector<Point> stairs{{0, 0}, {right, 0}};
        for (int i = 0; i < 5; ++i)
            stairs.insert(stairs.end(), {{right - i, i + 1}, {right - i - 1, i + 1}});
        stairs.insert(stairs.end(), {{right - 5, 6}, {0, 6}});
        EXPECT_EQ(hotmap::shapeOfOutline(stairs.data(), stairs.size(), {0, 0, right, 6}, false, 1.0,
                                         hotmap::Sides::all)
                      .points,
                  (std::vector<Point>{{0, 0}, {right, 0}, {right - 5, 6}, {0, 6}, {0, 0}}));
    }
}

// The export, through the clipboard of the process.
struct Delivered {
    int result;
    ImageMapSummary summary;
    std::string text;
};

Delivered exportMap(const uint8_t* px, int32_t w, int32_t h, int32_t rowBytes,
                    int32_t format = HM_FORMAT_INLINE, int32_t maxAreas = 0, int32_t maxPoints = 0,
                    const int32_t* offset = nullptr) {
    Delivered d{};
    d.text = "unchanged";
    hotmap::setClipboardSink([&](const std::string& t) {
        d.text = t;
        return true;
    });
    std::memset(&d.summary, 0x55, sizeof d.summary);
    d.result =
        hmGenImageMapFromAPSBuf(0, px, w, h, rowBytes, offset, "u", format, maxAreas, maxPoints, &d.summary);
    hotmap::setClipboardSink({});
    return d;
}

TEST(WholeMapExport, DeliversTheMapAndSaysWhatItFoundAndWrote) {
    ASSERT_NE(tv32::ensureApplication(), nullptr);
    Mask ring(12, 10);
    testmask::rect(ring, 1, 1, 8, 8);
    testmask::rect(ring, 3, 3, 3, 3, 0);
    ring.at(11, 9) = 255;
    const int32_t offset[2] = {10, 20};
    Delivered d = exportMap(ring.px.data(), 12, 10, 12, HM_FORMAT_INLINE, 0, 0, offset);
    EXPECT_EQ(d.result, HM_MAP_COMPLETE);
    EXPECT_EQ(d.text, "<AREA SHAPE=\"RECT\" COORDS=\"13,23,16,26\" NOHREF>\n"
                      "<AREA SHAPE=\"RECT\" COORDS=\"11,21,19,29\" HREF=\"u\">\n"
                      "<AREA SHAPE=\"RECT\" COORDS=\"21,29,22,30\" HREF=\"u\">");
    EXPECT_EQ(d.summary.status, HM_STATUS_OK);
    EXPECT_EQ(d.summary.regions, 2);
    EXPECT_EQ(d.summary.holes, 1);
    EXPECT_EQ(d.summary.areas, 3);
    EXPECT_EQ(d.summary.points, 6);
    EXPECT_EQ(d.summary.capped, 0);
    EXPECT_EQ(d.summary.bounds[0], 11);
    EXPECT_EQ(d.summary.bounds[1], 21);
    EXPECT_EQ(d.summary.bounds[2], 22);
    EXPECT_EQ(d.summary.bounds[3], 30);
    EXPECT_EQ(d.summary.textBytes, int32_t(d.text.size()));

    // Capped: the largest area only, and the result says so.
    d = exportMap(ring.px.data(), 12, 10, 12, HM_FORMAT_NCSA, 1, 0);
    EXPECT_EQ(d.result, HM_MAP_CAPPED);
    EXPECT_EQ(d.text, "rect u 1,1 9,9");
    EXPECT_EQ(d.summary.capped, 1);
    EXPECT_EQ(d.summary.areas, 1);

    // Rows stored bottom-up, and rows with slack between them, give the same map.
    std::vector<uint8_t> wide(std::size_t(20) * 10, 0);
    for (int y = 0; y < 10; ++y)
        std::memcpy(&wide[std::size_t(9 - y) * 20], &ring.px[std::size_t(y) * 12], 12);
    const Delivered up = exportMap(&wide[std::size_t(9) * 20], 12, 10, -20, HM_FORMAT_INLINE, 0, 0, offset);
    EXPECT_EQ(up.result, HM_MAP_COMPLETE);
    EXPECT_EQ(up.text, exportMap(ring.px.data(), 12, 10, 12, HM_FORMAT_INLINE, 0, 0, offset).text);

    // No mask: the whole rectangle.
    EXPECT_EQ(exportMap(nullptr, 7, 5, 0, HM_FORMAT_CERN).text, "rectangle (0,0) (7,5) u");
}

// The reason the last call left in the error information (0: none).
int32_t lastReason() {
    int32_t values[6] = {};
    return c32GetDLLErrInfo(values) ? values[2] : 0;
}

TEST(WholeMapExport, RefusesBadCallsWithTheirReasonWithoutTouchingTheClipboard) {
    ASSERT_NE(tv32::ensureApplication(), nullptr);
    auto refused = [](const Delivered& d, int32_t status, int32_t reason, const std::string& what) {
        EXPECT_EQ(d.result, HM_MAP_FAILED) << what;
        EXPECT_EQ(d.summary.status, status) << what;
        EXPECT_EQ(lastReason(), reason) << what;
        EXPECT_EQ(d.text, "unchanged") << what;
        EXPECT_EQ(d.summary.areas, 0) << what;
        EXPECT_EQ(d.summary.textBytes, 0) << what;
    };
    Mask empty(8, 8);
    Delivered d = exportMap(empty.px.data(), 8, 8, 8);
    refused(d, HM_STATUS_NOTHING_SELECTED, HM_ERR_NOTHING_SELECTED, "empty");
    EXPECT_EQ(d.summary.regions, 0);
    Mask m(8, 8);
    testmask::rect(m, 2, 2, 3, 3);
    for (const auto& [w, h, row, format] :
         {std::tuple{0, 8, 8, 0}, std::tuple{8, -1, 8, 0}, std::tuple{INT_MIN, INT_MIN, 8, 0},
          std::tuple{8, 8, 7, 0}, std::tuple{8, 8, -7, 0}, std::tuple{8, 8, 0, 0}, std::tuple{8, 8, 8, 3},
          std::tuple{8, 8, 8, -1}, std::tuple{8, 8, 8, INT_MAX}})
        refused(exportMap(m.px.data(), w, h, row, format), HM_STATUS_BAD_ARGUMENT, HM_ERR_BAD_ARGUMENT,
                std::to_string(w) + " x " + std::to_string(h) + ", row " + std::to_string(row) + ", format " +
                    std::to_string(format));
    refused(exportMap(nullptr, -3, 5, 0), HM_STATUS_BAD_ARGUMENT, HM_ERR_BAD_ARGUMENT,
            "no mask, negative width");
    for (const auto& far : {std::array<int32_t, 2>{INT_MAX - 7, 0}, std::array<int32_t, 2>{0, INT_MAX}})
        refused(exportMap(m.px.data(), 8, 8, 8, HM_FORMAT_INLINE, 0, 0, far.data()), HM_STATUS_OUT_OF_RANGE,
                HM_ERR_BAD_ARGUMENT, "offset " + std::to_string(far[0]) + ", " + std::to_string(far[1]));
    // A mask of 2^31 x 2^31 pixels cannot be held: a clear failure, nothing thrown, the mask not
    // read. Without a mask the same size is one rectangle up to the last coordinate.
    const uint8_t one = 255;
    refused(exportMap(&one, INT_MAX, INT_MAX, INT_MAX), HM_STATUS_NO_MEMORY, HM_ERR_NO_MEMORY, "huge mask");
    d = exportMap(nullptr, INT_MAX, INT_MAX, 0, HM_FORMAT_NCSA);
    EXPECT_EQ(d.result, HM_MAP_COMPLETE);
    EXPECT_EQ(lastReason(), 0);
    EXPECT_EQ(d.text, "rect u 0,0 2147483647,2147483647");
    // Caps no area fits: a region with its hole needs two areas and at least six points.
    Mask ring(6, 6);
    testmask::rect(ring, 0, 0, 6, 6);
    ring.at(2, 2) = 0;
    refused(exportMap(ring.px.data(), 6, 6, 6, HM_FORMAT_INLINE, 1, 0), HM_STATUS_CAPS_TOO_SMALL,
            HM_ERR_CAPS_TOO_SMALL, "one area");
    refused(exportMap(ring.px.data(), 6, 6, 6, HM_FORMAT_INLINE, 0, 3), HM_STATUS_CAPS_TOO_SMALL,
            HM_ERR_CAPS_TOO_SMALL, "three points");
    // Caps of nothing or less are the defaults; absurd ones the largest there are.
    for (const int32_t cap : {INT_MIN, -1, 0, INT_MAX}) {
        d = exportMap(ring.px.data(), 6, 6, 6, HM_FORMAT_INLINE, cap, cap);
        EXPECT_EQ(d.result, HM_MAP_COMPLETE) << cap;
        EXPECT_EQ(d.summary.areas, 2) << cap;
    }
    // A clipboard that does not take the text.
    hotmap::setClipboardSink([](const std::string&) { return false; });
    ImageMapSummary s{};
    EXPECT_EQ(hmGenImageMapFromAPSBuf(0, m.px.data(), 8, 8, 8, nullptr, "u", 0, 0, 0, &s), HM_MAP_FAILED);
    EXPECT_EQ(s.status, HM_STATUS_NO_CLIPBOARD);
    EXPECT_EQ(lastReason(), HM_ERR_CLIPBOARD);
    hotmap::setClipboardSink({});
    // Success clears what an earlier failure left; no summary is needed.
    EXPECT_EQ(hmGenImageMapFromAPSBuf(0, m.px.data(), 8, 8, 8, nullptr, "u", 0, 0, 0, nullptr),
              HM_MAP_COMPLETE);
    EXPECT_EQ(lastReason(), 0);
}

} // namespace
