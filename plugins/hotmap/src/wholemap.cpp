// A whole selection as an image map: shapes of the outlines, the caps, the order of the areas
// and their text.
#include "wholemap.h"

#include "wide.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>

namespace hotmap {

namespace {

// A path of points p(0) .. p(n): p[0] .. p[n - 1], then `last` (for a closed outline p[0] again).
struct Ring {
    const Point* p;
    std::size_t n;
    Point last;
    Point at(std::size_t i) const { return i == n ? last : p[i]; }
};

int sign(int64_t v) {
    return (v > 0) - (v < 0);
}

// Walks the unit edges of the outline from corner a to corner e (a < e <= n) run by run: f(P, ux,
// uy, length) for each straight run from corner P in direction (ux, uy).
template <class F> bool eachRun(const Ring& r, std::size_t a, std::size_t e, F&& f) {
    for (std::size_t i = a; i < e; ++i) {
        const Point p = r.at(i), q = r.at(i + 1);
        const int64_t dx = int64_t(q.x) - p.x, dy = int64_t(q.y) - p.y;
        if (!f(p, sign(dx), sign(dy), std::abs(dx) + std::abs(dy))) return false; // one of them is 0
    }
    return true;
}

// Whether the straight line from corner a to corner e leaves the centre of every pixel along the
// outline between them that `keep` names on its side: the selected pixels (on the right of the
// walk) strictly on the right of the line, the others strictly on its left. Along a straight run
// the side changes linearly, so its first and last pixels stand for all of it. Doubled
// coordinates keep the centres whole; T holds the products (64 bits when the outline is small
// enough).
template <class T> bool keepsSides(const Ring& r, std::size_t a, std::size_t e, Sides keep) {
    const Point A = r.at(a), E = r.at(e);
    const int64_t vx = 2 * (int64_t(E.x) - A.x), vy = 2 * (int64_t(E.y) - A.y);
    auto side = [&](int64_t cx, int64_t cy) {
        return product<T>(vx, cy) - product<T>(vy, cx);
    }; // relative to A
    return eachRun(r, a, e, [&](Point p, int ux, int uy, int64_t length) {
        const int nx = -uy, ny = ux; // towards the selected pixels
        for (const int64_t m : {int64_t(0), length - 1}) {
            const int64_t cx = 2 * (int64_t(p.x) - A.x) + (2 * m + 1) * ux;
            const int64_t cy = 2 * (int64_t(p.y) - A.y) + (2 * m + 1) * uy;
            if ((keep == Sides::all && side(cx + nx, cy + ny) <= T(0)) || side(cx - nx, cy - ny) >= T(0))
                return false;
        }
        return true;
    });
}

// The point strictly between a and e (e - a >= 2) farthest from the line through them (from a
// when they coincide), the first on ties, and whether it lies farther than the tolerance.
template <class T>
std::pair<std::size_t, bool> farthest(const Ring& r, std::size_t a, std::size_t e, long double tol2) {
    const Point A = r.p[a], E = r.at(e);
    const int64_t dx = int64_t(E.x) - A.x, dy = int64_t(E.y) - A.y;
    std::size_t best = a + 1;
    T bestValue = -1;
    if (dx == 0 && dy == 0) {
        for (std::size_t i = a + 1; i < e; ++i) {
            const int64_t px = int64_t(r.p[i].x) - A.x, py = int64_t(r.p[i].y) - A.y;
            const T v = product<T>(px, px) + product<T>(py, py);
            if (v > bestValue) {
                bestValue = v;
                best = i;
            }
        }
        return {best, (long double)bestValue > tol2};
    }
    // |cross| is the distance times the segment's length, the same for every point.
    for (std::size_t i = a + 1; i < e; ++i) {
        T v = product<T>(dx, int64_t(r.p[i].y) - A.y) - product<T>(dy, int64_t(r.p[i].x) - A.x);
        if (v < T(0)) v = -v;
        if (v > bestValue) {
            bestValue = v;
            best = i;
        }
    }
    return {best, (long double)bestValue * (long double)bestValue >
                      tol2 * ((long double)dx * dx + (long double)dy * dy)};
}

template <class T>
std::vector<Point> simplifyWith(const Ring& r, const BBox& box, double tolerance, Sides keep) {
    const std::size_t n = r.n;
    std::ptrdiff_t R = -1, B = -1, L = -1;
    for (std::size_t i = 0; i < n && R < 0; ++i)
        if (r.p[i].x == box.right) R = std::ptrdiff_t(i);
    for (std::size_t i = R < 0 ? n : std::size_t(R); i < n && B < 0; ++i)
        if (r.p[i].y == box.bottom) B = std::ptrdiff_t(i);
    for (std::size_t i = B < 0 ? n : std::size_t(B); i < n && L < 0; ++i)
        if (r.p[i].x == box.left) L = std::ptrdiff_t(i);
    std::vector<std::size_t> stack{n};
    for (const std::ptrdiff_t seed : {L, B, R})
        if (seed >= 0) stack.push_back(std::size_t(seed));

    std::vector<Point> result;
    const long double tol2 = (long double)tolerance * tolerance;
    std::size_t anchor = 0;
    while (!stack.empty()) {
        const std::size_t end = stack.back();
        stack.pop_back();
        if (end == anchor) continue; // a seed on the anchor adds nothing
        if (end > anchor + 1) {
            auto [best, far] = farthest<T>(r, anchor, end, tol2);
            if (far || (keep != Sides::any && !keepsSides<T>(r, anchor, end, keep))) {
                stack.push_back(end);
                stack.push_back(best);
                continue;
            }
        }
        result.push_back(r.p[anchor]);
        anchor = end;
    }
    result.push_back(r.at(n));
    return result;
}

// A circle for the outline: the test of the single-area analysis (mean deviation from the box's
// inscribed ellipse, scaled by the mean radius, at most 1) on every grid corner along the
// outline, and then the circle that is written (whole centre and radius) must hold exactly the
// pixels inside the outline: every pixel along it on its side.
template <class T>
bool circleFits(const Ring& r, const BBox& box, bool hole, Point& centre, int32_t& radius) {
    const int64_t w = int64_t(box.right) - box.left, h = int64_t(box.bottom) - box.top;
    if (w < 2 || h < 2 || w - h > 1 || h - w > 1) return false; // a circle's box is square
    const double rx = double(w) / 2, ry = double(h) / 2;
    const double cx = (double(box.left) + box.right) / 2, cy = (double(box.top) + box.bottom) / 2;
    auto deviation = [&](double x, double y) {
        const double u = (x - cx) / rx, v = (y - cy) / ry;
        return std::fabs(u * u + v * v - 1);
    };
    int64_t corners = 1; // the first again at the end
    eachRun(r, 0, r.n, [&](Point, int, int, int64_t length) {
        corners += length;
        return true;
    });
    const double limit = double(corners) * 2 / (rx + ry);
    double sum = deviation(r.p[0].x, r.p[0].y);
    const bool ellipse = eachRun(r, 0, r.n, [&](Point p, int ux, int uy, int64_t length) {
        for (int64_t m = 0; m < length && sum <= limit; ++m)
            sum += deviation(double(p.x) + double(m * ux), double(p.y) + double(m * uy));
        return sum <= limit;
    });
    if (!ellipse) return false;

    const int64_t icx = (int64_t(box.left) + box.right) / 2, icy = (int64_t(box.top) + box.bottom) / 2;
    const int64_t ir = std::min(w, h) / 2;
    const T r2 = product<T>(2 * ir, 2 * ir);
    auto inside = [&](int64_t x2, int64_t y2) -> int { // doubled coordinates; 0 on the circle
        const T d = product<T>(x2 - 2 * icx, x2 - 2 * icx) + product<T>(y2 - 2 * icy, y2 - 2 * icy);
        return d < r2 ? 1 : d > r2 ? -1 : 0;
    };
    const int want = hole ? -1 : 1; // where the selected pixels must be
    const bool exact = eachRun(r, 0, r.n, [&](Point p, int ux, int uy, int64_t length) {
        const int nx = -uy, ny = ux;
        for (int64_t m = 0; m < length; ++m) {
            const int64_t x2 = 2 * int64_t(p.x) + (2 * m + 1) * ux, y2 = 2 * int64_t(p.y) + (2 * m + 1) * uy;
            if (inside(x2 + nx, y2 + ny) != want || inside(x2 - nx, y2 - ny) != -want) return false;
        }
        return true;
    });
    if (!exact) return false;
    centre = {int32_t(icx), int32_t(icy)};
    radius = int32_t(ir);
    return true;
}

// Adds with the wrap-around of 32-bit numbers (callers check the range first).
int32_t add(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}

// The template buffer the entry writers fill, owned here.
class Scratch {
  public:
    Scratch() : text_(static_cast<char*>(std::malloc(1024))), size_(text_ ? 1024 : 0) {
        if (!text_) throw std::bad_alloc();
    }
    ~Scratch() { std::free(text_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    TextBuffer buffer() { return TextBuffer{text_, size_}; }
    const char* text() const { return text_; }

  private:
    char* text_;
    int32_t size_;
};

// One entry of the map: the template of the area's shape with the URL in place, or for a hole
// (inline format) the same area without a link.
std::string entry(Scratch& scratch, const MapArea& a, int32_t format, const std::string& url) {
    bool ok = false;
    const std::vector<Point>& p = a.points;
    switch (a.shape) {
    case HM_SHAPE_RECT:
        ok = writeRectTemplate(scratch.buffer(), format, {p[0].x, p[0].y, p[1].x, p[1].y});
        break;
    case HM_SHAPE_CIRCLE:
        ok = writeCircleTemplate(scratch.buffer(), format, p[0].x, p[0].y, p[1].x);
        break;
    default:
        // Room for every point at once: the writer then never grows the buffer piece by piece.
        ok = scratch.buffer().reserve(p.size() * 24 + 64) &&
             writePolygonTemplate(scratch.buffer(), format, p, {});
        break;
    }
    if (!ok) throw std::bad_alloc(); // the format was checked: only memory can fail
    std::string t(scratch.text());
    static constexpr char kLink[] = "HREF=\"%s\">";
    if (a.hole) {
        t.replace(t.size() - (sizeof kLink - 1), sizeof kLink - 1, "NOHREF>");
        return t;
    }
    const std::size_t at = t.find("%s");
    if (at != std::string::npos) t.replace(at, 2, url);
    return t;
}

// Whether doubled coordinates within the box stay below 2^31, so that the sums of two of their
// products fit 64 bits.
bool small(const BBox& box) {
    constexpr int64_t kSmall = int64_t(1) << 29;
    return int64_t(box.right) - box.left < kSmall && int64_t(box.bottom) - box.top < kSmall;
}

} // namespace

std::vector<Point> simplifyPolyline(const Point* p, std::size_t n, Point last, const BBox& box,
                                    double tolerance, Sides keep) {
    const Ring r{p, n, last};
    if (small(box)) return simplifyWith<int64_t>(r, box, tolerance, keep);
    return simplifyWith<Wide>(r, box, tolerance, keep);
}

MapArea shapeOfOutline(const Point* corners, std::size_t count, const BBox& box, bool hole, double tolerance,
                       Sides keep) {
    MapArea a;
    a.hole = hole;
    const Ring r{corners, count, corners[0]};
    Point centre;
    int32_t radius = 0;
    if (count == 4) { // four corners along pixel edges: a rectangle
        a.shape = HM_SHAPE_RECT;
        a.points = {{box.left, box.top}, {box.right, box.bottom}};
    } else if (small(box) ? circleFits<int64_t>(r, box, hole, centre, radius)
                          : circleFits<Wide>(r, box, hole, centre, radius)) {
        a.shape = HM_SHAPE_CIRCLE;
        a.points = {centre, {radius, 0}};
    } else {
        a.shape = HM_SHAPE_POLY;
        a.points = simplifyPolyline(corners, count, corners[0], box, tolerance, keep);
    }
    return a;
}

std::string escapedUrl(const char* url, int32_t format) {
    std::string out;
    if (!url) return out;
    const std::size_t n = strnlen(url, HM_URL_SIZE - 1);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (c <= 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (format == HM_FORMAT_INLINE && c == '&') {
            out += "&amp;";
        } else if (format == HM_FORMAT_INLINE && c == '"') {
            out += "&quot;";
        } else if (format == HM_FORMAT_INLINE && c == '<') {
            out += "&lt;";
        } else if (format == HM_FORMAT_INLINE && c == '>') {
            out += "&gt;";
        } else {
            out += char(c);
        }
    }
    return out;
}

// Rows are scanned at the pixels' centres, with the crossing of every line found in doubled
// coordinates relative to the box, exactly, in 64 bits.
bool reachesMore(const std::vector<Loop>& coarse, const std::vector<Loop>& exact, const BBox& box) {
    struct Edge {
        int64_t x0, y0, x1, y1; // doubled, y0 < y1
        uint32_t loop;          // coarse loops first, then the exact ones
        int dir;
    };
    std::vector<Edge> edges;
    std::vector<Loop> loops(coarse);
    loops.insert(loops.end(), exact.begin(), exact.end());
    for (uint32_t k = 0; k < loops.size(); ++k) {
        const Loop& l = loops[k];
        for (std::size_t i = 0; i < l.n; ++i) {
            const Point a = l.p[i], b = l.p[i + 1 == l.n ? 0 : i + 1];
            if (a.y == b.y) continue; // never crosses a row of centres
            Edge e{2 * (int64_t(a.x) - box.left),
                   2 * (int64_t(a.y) - box.top),
                   2 * (int64_t(b.x) - box.left),
                   2 * (int64_t(b.y) - box.top),
                   k,
                   1};
            if (e.y0 > e.y1) {
                std::swap(e.x0, e.x1);
                std::swap(e.y0, e.y1);
                e.dir = -1;
            }
            edges.push_back(e);
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });

    struct Event {
        int64_t c; // the first pixel column whose centre is at or right of the crossing
        bool on;   // the crossing is that centre
        uint32_t loop;
        int dir;
    };
    std::vector<Event> events;
    std::vector<int64_t> winding(loops.size(), 0);
    std::vector<std::size_t> active;
    std::size_t next = 0;
    const std::size_t coarseLoops = coarse.size();
    const int64_t rows = int64_t(box.bottom) - box.top;
    for (int64_t row = 0; row < rows; ++row) {
        const int64_t y = 2 * row + 1; // odd: never a corner's row
        while (next < edges.size() && edges[next].y0 < y)
            active.push_back(next++);
        std::erase_if(active, [&](std::size_t i) { return edges[i].y1 < y; });
        events.clear();
        for (const std::size_t i : active) {
            const Edge& e = edges[i];
            const int64_t d = e.y1 - e.y0, n = e.x0 * d + (e.x1 - e.x0) * (y - e.y0); // crossing: n / d
            // The smallest c with (2c + 1) d >= n.
            const int64_t num = n - d, den = 2 * d;
            const int64_t c = num >= 0 ? (num + den - 1) / den : -((-num) / den);
            events.push_back({c, (2 * c + 1) * d == n, e.loop, e.dir});
        }
        std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.c < b.c; });
        // Per drawing: the region's winding and how many hole loops hold the point.
        int64_t inCoarse = 0, inExact = 0, coarseHoles = 0, exactHoles = 0;
        // Reached by the coarse drawing and not by the exact one, or under a coarse hole outside
        // the exact region's outer outline (where the hole's area would hide someone else's).
        auto more = [&] {
            const bool exactLink = inExact != 0 && exactHoles == 0;
            return (inCoarse != 0 && coarseHoles == 0 && !exactLink) || (coarseHoles != 0 && inExact == 0);
        };
        int64_t from = 0;
        for (std::size_t i = 0; i < events.size();) {
            const int64_t c = events[i].c;
            if (c > from && more()) return true; // centres from .. c - 1
            bool on = false;
            for (; i < events.size() && events[i].c == c; ++i) {
                const Event& ev = events[i];
                const bool isCoarse = ev.loop < coarseLoops;
                on |= isCoarse && ev.on;
                int64_t& w = winding[ev.loop];
                const bool was = w != 0;
                w += ev.dir;
                if (loops[ev.loop].hole) {
                    (isCoarse ? coarseHoles : exactHoles) += int64_t(w != 0) - int64_t(was);
                } else {
                    (isCoarse ? inCoarse : inExact) += ev.dir;
                }
            }
            if (on && (inExact == 0 || exactHoles != 0)) return true;
            from = c;
        }
    }
    return false;
}

namespace {

// A selection's outlines with the corners of the `keep` largest kept, or with only null, of those
// named in *only.
using Tracer = std::function<Outlines(std::size_t keep, const std::vector<bool>* only)>;

// What the caps keep or leave out as one: a region with the outlines of all its holes (in maps
// that have holes), so that no hole of a region written is ever left clickable.
struct Units {
    std::vector<uint32_t> regions;  // the largest outline first (ties: the earlier one)
    std::vector<std::size_t> start; // per contour: its holes are holes[start[c], start[c + 1])
    std::vector<uint32_t> holes;

    Units(const Outlines& o, bool withHoles) : start(o.contours.size() + 1, 0) {
        const std::vector<Contour>& c = o.contours;
        for (uint32_t id = 0; id < c.size(); ++id)
            if (!c[id].hole)
                regions.push_back(id);
            else if (withHoles)
                ++start[std::size_t(c[id].parent) + 1];
        for (std::size_t i = 1; i < start.size(); ++i)
            start[i] += start[i - 1];
        holes.resize(start.back());
        std::vector<std::size_t> next(start.begin(), start.end() - 1);
        if (withHoles)
            for (uint32_t id = 0; id < c.size(); ++id)
                if (c[id].hole) holes[next[std::size_t(c[id].parent)]++] = id;
        std::sort(regions.begin(), regions.end(), [&](uint32_t a, uint32_t b) {
            return c[a].area != c[b].area ? c[a].area > c[b].area : a < b;
        });
    }
    std::size_t holeCount(uint32_t region) const { return start[region + 1] - start[region]; }
    const uint32_t* holesOf(uint32_t region) const { return holes.data() + start[region]; }
};

// The areas chosen within the caps.
struct Choice {
    std::vector<uint32_t> regions; // the regions written (with their holes)
    std::vector<MapArea> areas;    // of the regions and holes written
    std::vector<uint32_t> ids;     // the contour of each area
    bool cut = false;              // a region was left out
    bool coarsened = false;        // a polygon was simplified past exactness
    bool trusted = false;          // a region without kept corners was taken on trust
};

bool allKept(const Outlines& o, const Units& u, uint32_t region) {
    if (o.contours[region].kept < 0) return false;
    const uint32_t* h = u.holesOf(region);
    return std::all_of(h, h + u.holeCount(region), [&](uint32_t id) { return o.contours[id].kept >= 0; });
}

// The areas of a region and its holes (holes first) within `points` coordinate pairs: exact when
// they fit, else simplified further with the same coarser tolerance for all, and taken only when
// the coarser drawing reaches no pixel that the exact one does not (the region may lose some of
// its own). False when nothing coarser fits and passes.
bool shapeUnit(const Outlines& o, const Units& u, uint32_t region, std::size_t points,
               std::vector<MapArea>& out, bool& coarsened) {
    const KeptOutline& whole = o.kept[std::size_t(o.contours[region].kept)];
    std::vector<uint32_t> ids(u.holesOf(region), u.holesOf(region) + u.holeCount(region));
    ids.push_back(region);
    auto build = [&](double tolerance, Sides keep) {
        out.clear();
        std::size_t cost = 0;
        for (const uint32_t id : ids) {
            const KeptOutline& k = o.kept[std::size_t(o.contours[id].kept)];
            out.push_back(shapeOfOutline(o.corners.data() + k.first, k.count, k.box, o.contours[id].hole,
                                         tolerance, keep));
            cost += out.back().cost();
        }
        return cost;
    };
    coarsened = false;
    if (build(1.0, Sides::all) <= points) return true;
    if (std::none_of(out.begin(), out.end(), [](const MapArea& a) { return a.shape == HM_SHAPE_POLY; }))
        return false;                    // rectangles and circles do not shrink
    if (!small(whole.box)) return false; // no exact check of coarser drawings that large
    std::vector<Loop> exact;
    for (const uint32_t id : ids) {
        const KeptOutline& k = o.kept[std::size_t(o.contours[id].kept)];
        exact.push_back({o.corners.data() + k.first, k.count, o.contours[id].hole});
    }
    // Past this tolerance no line is too far from its outline: only the pixels split lines.
    const double extent = 2 * (double(whole.box.right) - whole.box.left + whole.box.bottom - whole.box.top);
    std::vector<Loop> drawn;
    for (double tolerance = 1.0; tolerance <= 2 * extent; tolerance *= 2) {
        if (build(tolerance, Sides::unselected) > points) continue;
        drawn.clear();
        for (std::size_t i = 0; i < out.size(); ++i)
            drawn.push_back(out[i].shape == HM_SHAPE_POLY
                                ? Loop{out[i].points.data(), out[i].points.size(), out[i].hole}
                                : exact[i]); // rectangles and circles are exact
        if (!reachesMore(drawn, exact, whole.box)) {
            coarsened = true;
            return true;
        }
    }
    return false;
}

// The regions with their holes, largest first, each written whole or not at all: within the caps
// on areas and points, those whose corners were kept. With `trust`, a region whose corners were
// not kept is taken as if it fitted any number of points (the caller traces again for it).
Choice choose(const Outlines& o, const Units& u, MapCaps caps, bool trust) {
    Choice c;
    std::size_t areasLeft = caps.areas, pointsLeft = caps.points;
    std::vector<MapArea> shapes;
    for (const uint32_t region : u.regions) {
        if (areasLeft == 0) {
            c.cut = true;
            break;
        }
        const std::size_t size = 1 + u.holeCount(region);
        if (size > areasLeft) {
            c.cut = true;
            continue;
        }
        if (!allKept(o, u, region)) {
            c.cut = true;
            if (trust) {
                c.trusted = true;
                c.regions.push_back(region);
                areasLeft -= size;
            }
            continue;
        }
        bool coarser = false;
        if (!shapeUnit(o, u, region, pointsLeft, shapes, coarser)) {
            c.cut = true;
            continue;
        }
        c.coarsened |= coarser;
        c.regions.push_back(region);
        areasLeft -= size;
        const uint32_t* h = u.holesOf(region);
        c.ids.insert(c.ids.end(), h, h + u.holeCount(region));
        c.ids.push_back(region);
        for (MapArea& a : shapes) {
            pointsLeft -= a.cost();
            c.areas.push_back(std::move(a));
        }
    }
    return c;
}

WholeMap mapOutlines(int32_t width, int32_t height, bool empty, const Tracer& trace, Point offset,
                     int32_t format, const char* url, MapCaps caps) {
    WholeMap m;
    if (format < HM_FORMAT_INLINE || format > HM_FORMAT_CERN || width <= 0 || height <= 0) {
        m.status = HM_STATUS_BAD_ARGUMENT;
        return m;
    }
    if (int64_t(offset.x) + width > INT32_MAX || int64_t(offset.y) + height > INT32_MAX) {
        m.status = HM_STATUS_OUT_OF_RANGE;
        return m;
    }
    if (empty) {
        m.status = HM_STATUS_NOTHING_SELECTED;
        return m;
    }
    caps.areas = std::clamp<std::size_t>(caps.areas, 1, HM_MAP_MAX_AREAS);
    caps.points = std::clamp<std::size_t>(caps.points, 1, HM_MAP_MAX_POINTS);
    const bool inlineMap = format == HM_FORMAT_INLINE; // the only format with holes

    Outlines o = trace(caps.areas, nullptr);
    m.regions = o.regions;
    m.holes = o.holes;
    m.box = {add(o.box.left, offset.x), add(o.box.top, offset.y), add(o.box.right, offset.x),
             add(o.box.bottom, offset.y)};
    const Units units(o, inlineMap);
    Choice chosen = choose(o, units, caps, true);
    if (chosen.trusted) {
        // The first trace kept the largest outlines, not those of the regions that fit: once more
        // with the corners of exactly those.
        std::vector<bool> only(o.contours.size(), false);
        for (const uint32_t region : chosen.regions) {
            only[region] = true;
            const uint32_t* h = units.holesOf(region);
            for (std::size_t i = 0; i < units.holeCount(region); ++i)
                only[h[i]] = true;
        }
        const std::size_t contours = o.contours.size();
        o = trace(caps.areas, &only);
        if (o.contours.size() != contours) throw std::logic_error("the second trace differs");
        chosen = choose(o, units, caps, false);
    }
    m.capped = chosen.cut || chosen.coarsened;
    if (chosen.areas.empty()) {
        m.status = HM_STATUS_CAPS_TOO_SMALL;
        return m;
    }

    // The order written: regions in the open by size, each after what lies in it; a hole right
    // after the regions in it and before its own region, so the first area a point meets is the
    // right one. A region lies in the nearest hole written around it (in maps without holes: the
    // nearest region written around it); an outline's region or hole always has a lower number.
    const std::vector<Contour>& cs = o.contours;
    std::vector<int32_t> areaOf(cs.size(), -1);
    for (std::size_t i = 0; i < chosen.ids.size(); ++i)
        areaOf[chosen.ids[i]] = int32_t(i);
    std::vector<int32_t> around(cs.size(), -1); // per region: the contour it is written in, or -1
    for (uint32_t id = 0; id < cs.size(); ++id) {
        if (cs[id].hole || cs[id].parent < 0) continue;
        const std::size_t hole = std::size_t(cs[id].parent), outer = std::size_t(cs[hole].parent);
        around[id] = areaOf[outer] >= 0 ? int32_t(inlineMap ? hole : outer) : around[outer];
    }
    std::vector<int64_t> pixels(cs.size()); // a region's own pixels: its area less its holes'
    for (std::size_t i = 0; i < cs.size(); ++i)
        if (!cs[i].hole)
            pixels[i] += cs[i].area;
        else
            pixels[std::size_t(cs[i].parent)] -= cs[i].area;
    const std::size_t count = chosen.areas.size();
    std::vector<std::vector<std::size_t>> inside(count);
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < count; ++i) {
        const Contour& c = cs[chosen.ids[i]];
        const int32_t in = c.hole ? c.parent : around[chosen.ids[i]];
        (in < 0 ? open : inside[std::size_t(areaOf[std::size_t(in)])]).push_back(i);
    }
    auto larger = [&](std::size_t a, std::size_t b) {
        const uint32_t ia = chosen.ids[a], ib = chosen.ids[b];
        const int64_t sa = cs[ia].hole ? cs[ia].area : pixels[ia],
                      sb = cs[ib].hole ? cs[ib].area : pixels[ib];
        return sa != sb ? sa > sb : ia < ib;
    };
    std::sort(open.begin(), open.end(), larger);
    for (auto& list : inside)
        std::sort(list.begin(), list.end(), larger);
    std::vector<std::size_t> order;
    order.reserve(count);
    std::vector<std::pair<std::size_t, std::size_t>> stack; // area, next of what lies in it
    for (const std::size_t top : open) {
        stack.push_back({top, 0});
        while (!stack.empty()) {
            auto& [area, next] = stack.back();
            if (next < inside[area].size()) {
                const std::size_t child = inside[area][next++];
                stack.push_back({child, 0});
            } else {
                order.push_back(area);
                stack.pop_back();
            }
        }
    }

    const std::string link = escapedUrl(url, format);
    Scratch scratch;
    m.areas.reserve(count);
    for (const std::size_t i : order) {
        MapArea& a = chosen.areas[i];
        const std::size_t moved = a.shape == HM_SHAPE_CIRCLE ? 1 : a.points.size(); // not the radius
        for (std::size_t k = 0; k < moved; ++k)
            a.points[k] = {add(a.points[k].x, offset.x), add(a.points[k].y, offset.y)};
        if (!m.text.empty()) m.text += '\n';
        m.text += entry(scratch, a, format, link);
        m.points += a.cost();
        m.areas.push_back(std::move(a));
    }
    return m;
}

} // namespace

WholeMap mapWholeSelection(const SelectionBits& bits, Point offset, int32_t format, const char* url,
                           MapCaps caps) {
    const bool holes = format == HM_FORMAT_INLINE;
    const Tracer trace = [&](std::size_t keep, const std::vector<bool>* only) {
        return only ? traceOutlines(bits, *only) : traceOutlines(bits, keep, holes);
    };
    return mapOutlines(bits.width(), bits.height(), bits.empty(), trace, offset, format, url, caps);
}

WholeMap mapWholeRectangle(int32_t width, int32_t height, Point offset, int32_t format, const char* url,
                           MapCaps caps) {
    const Tracer trace = [&](std::size_t, const std::vector<bool>*) {
        return rectangleOutlines(width, height);
    };
    return mapOutlines(width, height, false, trace, offset, format, url, caps);
}

} // namespace hotmap
