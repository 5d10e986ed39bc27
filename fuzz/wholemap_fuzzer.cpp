// Whole-selection image maps of small masks against a reference: the regions and holes found by
// flood fill, and the inline map read back and hit-tested at every pixel's centre, which must give
// exactly the selected pixels, each through an area of its own region; a map the caps cut, whole
// regions with all their holes and no unselected pixel reaching a link. Input: options byte (bits
// 0-1: format, bit 2: tight caps), width and height bytes, then the mask bytes (repeated to fill).
#include "mapcheck.h"
#include "wholemap.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int32_t format = data[0] & 3; // 3 is no format: refused
    const bool tight = (data[0] & 4) != 0;
    const int w = 1 + data[1] % 48, h = 1 + data[2] % 48;
    std::vector<uint8_t> px(std::size_t(w) * h);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = data[3 + i % (size - 3)];

    const hotmap::SelectionBits bits(px.data(), w, h, w);
    const hotmap::MapCaps caps =
        tight ? hotmap::MapCaps{std::size_t(1 + data[1] % 7), std::size_t(2 + data[2] % 60)}
              : hotmap::MapCaps{HM_MAP_MAX_AREAS, HM_MAP_MAX_POINTS};
    const hotmap::WholeMap map = hotmap::mapWholeSelection(bits, {-3, 5}, format, "u", caps);
    const mapcheck::Labels labels = mapcheck::label(px, w, h);
    auto check = [&](bool ok, const char* what) {
        if (ok) return;
        std::fprintf(stderr, "whole map of %d x %d, format %d%s: %s\n%s\n", w, h, format,
                     tight ? ", tight caps" : "", what, map.text.c_str());
        std::abort();
    };
    if (format == 3) {
        check(map.status == HM_STATUS_BAD_ARGUMENT, "a bad format is not refused");
        return 0;
    }
    if (labels.regions == 0) {
        check(map.status == HM_STATUS_NOTHING_SELECTED, "an empty mask is not refused");
        return 0;
    }
    if (map.status == HM_STATUS_CAPS_TOO_SMALL) {
        check(tight && map.areas.empty(), "nothing fits without tight caps");
        return 0;
    }
    check(map.status == HM_STATUS_OK, "no map");
    check(map.regions == std::size_t(labels.regions) && map.holes == std::size_t(labels.holes),
          "regions or holes miscounted");
    check(map.areas.size() <= caps.areas && map.points <= caps.points, "past the caps");
    std::size_t lines = map.text.empty() ? 0 : 1;
    for (const char c : map.text)
        lines += c == '\n';
    check(lines == map.areas.size(), "lines and areas differ");
    if (format != HM_FORMAT_INLINE) {
        if (!map.capped) check(map.areas.size() == std::size_t(labels.regions), "not one area a region");
        return 0;
    }
    const std::vector<mapcheck::Area> areas = mapcheck::parseInline(map.text);
    check(areas.size() == map.areas.size(), "areas written and counted differ");
    if (map.capped) {
        // Cut: whole regions with all their holes, no unselected pixel reaching a link.
        const std::string faults = mapcheck::cutMapFaults(labels, areas, false, -3, 5);
        check(faults.empty(), faults.c_str());
        return 0;
    }
    check(areas.size() == std::size_t(labels.regions) + std::size_t(labels.holes),
          "not one area per region and hole");
    std::vector<bool> link;
    for (const mapcheck::Area& a : areas)
        link.push_back(a.link);
    const mapcheck::Score s = mapcheck::score(labels, mapcheck::hits(areas, w, h, -3, 5), link);
    check(s.selectedHit == s.selected, "a selected pixel misses its region's link");
    check(s.othersHit == 0, "an unselected pixel reaches a link");
    return 0;
}
