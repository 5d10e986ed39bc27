// Checks of whole-selection maps without a browser: the regions and holes of a mask found by
// flood fill, and the inline map text read back and hit-tested at every pixel's centre the way
// browsers do (the first area in document order that holds the point).
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace mapcheck {

// Regions (8-connected selected pixels) and background patches (4-connected unselected pixels;
// patch 0 is the open ground around the mask, the others are holes) of a mask.
struct Labels {
    int w = 0, h = 0;
    std::vector<int> region; // per pixel: region number from 1, 0 for unselected
    std::vector<int> patch;  // per pixel: background patch, -1 for selected
    int regions = 0, holes = 0;
};

inline Labels label(const std::vector<uint8_t>& px, int w, int h) {
    Labels l;
    l.w = w;
    l.h = h;
    l.region.assign(px.size(), 0);
    l.patch.assign(px.size(), -1);
    auto sel = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h && px[std::size_t(y) * w + x] > 128;
    };
    std::vector<std::pair<int, int>> todo;
    // Background: patch 0 grows from the border.
    int patches = 0;
    auto fillBackground = [&](int x0, int y0, int id) {
        todo.assign(1, {x0, y0});
        l.patch[std::size_t(y0) * w + x0] = id;
        while (!todo.empty()) {
            auto [x, y] = todo.back();
            todo.pop_back();
            const int d[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
            for (auto& s : d) {
                const int nx = x + s[0], ny = y + s[1];
                if (nx < 0 || ny < 0 || nx >= w || ny >= h || sel(nx, ny)) continue;
                int& p = l.patch[std::size_t(ny) * w + nx];
                if (p >= 0) continue;
                p = id;
                todo.push_back({nx, ny});
            }
        }
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x == 0 || y == 0 || x == w - 1 || y == h - 1) && !sel(x, y) &&
                l.patch[std::size_t(y) * w + x] < 0)
                fillBackground(x, y, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!sel(x, y) && l.patch[std::size_t(y) * w + x] < 0) fillBackground(x, y, ++patches);
    l.holes = patches;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (!sel(x, y) || l.region[std::size_t(y) * w + x]) continue;
            const int id = ++l.regions;
            todo.assign(1, {x, y});
            l.region[std::size_t(y) * w + x] = id;
            while (!todo.empty()) {
                auto [cx, cy] = todo.back();
                todo.pop_back();
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = cx + dx, ny = cy + dy;
                        if (!sel(nx, ny) || l.region[std::size_t(ny) * w + nx]) continue;
                        l.region[std::size_t(ny) * w + nx] = id;
                        todo.push_back({nx, ny});
                    }
            }
        }
    return l;
}

struct Area {
    std::string shape; // RECT, CIRCLE, POLY
    std::vector<double> coords;
    bool link = false;
    std::string href;
};

// The AREA elements of an inline map text, in order: each
// <AREA SHAPE="RECT|CIRCLE|POLY" COORDS="numbers" HREF="link"> or ... NOHREF>; anything else is
// skipped. (A plain scan: std::regex recurses once per character and overflows the stack of a
// sanitized build on a long COORDS list.)
inline std::vector<Area> parseInline(const std::string& text) {
    std::vector<Area> out;
    static const std::string open = "<AREA SHAPE=\"";
    // Whether `word` is at `p`, moving `p` past it when it is.
    auto take = [&](std::size_t& p, const std::string& word) {
        if (text.compare(p, word.size(), word) != 0) return false;
        p += word.size();
        return true;
    };
    for (std::size_t start = text.find(open); start != std::string::npos;
         start = text.find(open, start + 1)) {
        std::size_t p = start + open.size();
        Area a;
        for (const char* shape : {"RECT", "CIRCLE", "POLY"})
            if (take(p, std::string(shape) + "\" COORDS=\"")) {
                a.shape = shape;
                break;
            }
        if (a.shape.empty()) continue;
        const std::size_t end = text.find_first_not_of("-0123456789,", p);
        if (end == std::string::npos) continue;
        const std::string c = text.substr(p, end - p);
        p = end;
        if (!take(p, "\" ")) continue;
        if (take(p, "HREF=\"")) {
            const std::size_t q = text.find('"', p);
            if (q == std::string::npos || text.compare(q, 2, "\">") != 0) continue;
            a.link = true;
            a.href = text.substr(p, q - p);
        } else if (!take(p, "NOHREF>")) {
            continue;
        }
        for (std::size_t i = 0; i < c.size();) {
            std::size_t q = c.find(',', i);
            if (q == std::string::npos) q = c.size();
            a.coords.push_back(std::stod(c.substr(i, q - i)));
            i = q + 1;
        }
        out.push_back(a);
    }
    return out;
}

// Whether the area holds the point: rectangles from corner to corner, circles within the
// radius, polygons by the non-zero winding rule.
inline bool holds(const Area& a, double x, double y) {
    const auto& c = a.coords;
    if (a.shape == "RECT")
        return c.size() == 4 && x >= std::min(c[0], c[2]) && x < std::max(c[0], c[2]) &&
               y >= std::min(c[1], c[3]) && y < std::max(c[1], c[3]);
    if (a.shape == "CIRCLE")
        return c.size() == 3 && (x - c[0]) * (x - c[0]) + (y - c[1]) * (y - c[1]) < c[2] * c[2];
    int winding = 0;
    const std::size_t n = c.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const double x0 = c[2 * i], y0 = c[2 * i + 1], x1 = c[2 * ((i + 1) % n)],
                     y1 = c[2 * ((i + 1) % n) + 1];
        const double cross = (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
        if (y0 <= y && y1 > y && cross > 0) ++winding;
        if (y0 > y && y1 <= y && cross < 0) --winding;
    }
    return winding != 0;
}

// For every pixel, the index of the first area holding its centre (offset subtracted), or -1.
inline std::vector<int> hits(const std::vector<Area>& areas, int w, int h, int ox = 0, int oy = 0) {
    std::vector<int> out(std::size_t(w) * h, -1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (std::size_t i = 0; i < areas.size(); ++i)
                if (holds(areas[i], x + ox + 0.5, y + oy + 0.5)) {
                    out[std::size_t(y) * w + x] = int(i);
                    break;
                }
    return out;
}

// How well a map's hits match the mask: selected pixels that reach a link whose area belongs to
// their region (the region most of the area's pixels are in), and unselected pixels that reach
// any link.
struct Score {
    long selected = 0, selectedHit = 0, others = 0, othersHit = 0;
    double selectedShare() const { return selected ? double(selectedHit) / double(selected) : 1; }
    double othersShare() const { return others ? double(othersHit) / double(others) : 0; }
};

inline Score score(const Labels& l, const std::vector<int>& hit, const std::vector<bool>& link) {
    Score s;
    // The region of each linked area: the one most of its selected pixels belong to.
    std::vector<std::vector<long>> count(link.size(), std::vector<long>(std::size_t(l.regions) + 1, 0));
    for (std::size_t i = 0; i < hit.size(); ++i)
        if (hit[i] >= 0 && l.region[i] > 0) ++count[std::size_t(hit[i])][std::size_t(l.region[i])];
    std::vector<int> owner(link.size(), 0);
    for (std::size_t a = 0; a < link.size(); ++a)
        for (std::size_t r = 1; r < count[a].size(); ++r)
            if (count[a][r] > count[a][std::size_t(owner[a])]) owner[a] = int(r);
    for (std::size_t i = 0; i < hit.size(); ++i) {
        const bool linked = hit[i] >= 0 && link[std::size_t(hit[i])];
        if (l.region[i] > 0) {
            ++s.selected;
            if (linked && owner[std::size_t(hit[i])] == l.region[i]) ++s.selectedHit;
        } else {
            ++s.others;
            if (linked) ++s.othersHit;
        }
    }
    return s;
}

// The region around each background patch (index: patch number; 0 for the open ground): the left
// neighbour of a hole's first pixel in raster order belongs to the region whose outline bounds it
// (anything lying in the hole starts on a later row).
inline std::vector<int> regionAround(const Labels& l) {
    std::vector<int> out(std::size_t(l.holes) + 1, 0);
    for (std::size_t i = 0; i < l.patch.size(); ++i) {
        const int p = l.patch[i];
        if (p > 0 && out[std::size_t(p)] == 0) out[std::size_t(p)] = l.region[i - 1];
    }
    return out;
}

// What a map that the caps may have cut must still get right; an empty string when all of it holds.
// - no unselected pixel reaches a link, wherever it is;
// - every area without a link stands for a hole (most of the unselected pixels it holds are in one)
//   whose region is written (some of its pixels reach a link), and every hole of a written region
//   has such an area;
// - with `exact`, every pixel of a written region reaches the link of an area of its own region.
// (ox, oy): the map's offset.
inline std::string cutMapFaults(const Labels& l, const std::vector<Area>& areas, bool exact, int ox = 0,
                                int oy = 0) {
    std::string faults;
    auto fault = [&](const std::string& what) { faults += what + "\n"; };
    const std::vector<int> hit = hits(areas, l.w, l.h, ox, oy);
    std::vector<bool> link;
    for (const Area& a : areas)
        link.push_back(a.link);
    std::vector<bool> written(std::size_t(l.regions) + 1, false);
    std::vector<long> pixels(std::size_t(l.regions) + 1, 0);
    for (std::size_t i = 0; i < hit.size(); ++i) {
        const bool linked = hit[i] >= 0 && link[std::size_t(hit[i])];
        if (l.region[i] > 0) {
            ++pixels[std::size_t(l.region[i])];
            if (linked) written[std::size_t(l.region[i])] = true;
        } else if (linked) {
            fault("unselected pixel " + std::to_string(i % std::size_t(l.w)) + "," +
                  std::to_string(i / std::size_t(l.w)) + " reaches a link");
        }
    }
    const std::vector<int> around = regionAround(l);
    std::vector<int> holeAreas(std::size_t(l.holes) + 1, 0);
    for (std::size_t a = 0; a < areas.size(); ++a) {
        if (areas[a].link) continue;
        std::vector<long> count(std::size_t(l.holes) + 1, 0);
        for (int y = 0; y < l.h; ++y)
            for (int x = 0; x < l.w; ++x) {
                const int p = l.patch[std::size_t(y) * std::size_t(l.w) + std::size_t(x)];
                if (p >= 0 && holds(areas[a], x + ox + 0.5, y + oy + 0.5)) ++count[std::size_t(p)];
            }
        const std::size_t patch = std::size_t(std::max_element(count.begin(), count.end()) - count.begin());
        if (patch == 0 || count[patch] == 0) {
            fault("area " + std::to_string(a) + " without a link holds no hole");
            continue;
        }
        ++holeAreas[patch];
        if (!written[std::size_t(around[patch])])
            fault("hole " + std::to_string(patch) + " written without its region " +
                  std::to_string(around[patch]));
    }
    for (std::size_t p = 1; p < holeAreas.size(); ++p)
        if (written[std::size_t(around[p])] && holeAreas[p] != 1)
            fault("region " + std::to_string(around[p]) + " written with " + std::to_string(holeAreas[p]) +
                  " areas for its hole " + std::to_string(p));
    if (exact) {
        const Score s = score(l, hit, link);
        long expected = 0;
        for (std::size_t r = 1; r < written.size(); ++r)
            if (written[r]) expected += pixels[r];
        if (s.selectedHit != expected)
            fault(std::to_string(expected - s.selectedHit) + " pixels of written regions miss their link");
    }
    return faults;
}

} // namespace mapcheck
