// Whole-selection maps: outlines along pixel edges, regions and holes, exact areas, caps, text.
#include "edges.h"
#include "mapcheck.h"
#include "masks.h"
#include "wholemap.h"

#include <gtest/gtest.h>

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

} // namespace
