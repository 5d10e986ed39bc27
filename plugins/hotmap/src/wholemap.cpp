// A whole selection as an image map: shapes of the outlines, the caps, the order of the areas
// and their text.
#include "wholemap.h"

#include "wide.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

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
// outline between them on its side: the selected pixels (on the right of the walk) strictly on
// the right of the line, the others strictly on its left. Along a straight run the side changes
// linearly, so its first and last pixels stand for all of it. Doubled coordinates keep the
// centres whole; T holds the products (64 bits when the outline is small enough).
template <class T> bool keepsSides(const Ring& r, std::size_t a, std::size_t e) {
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
            if (side(cx + nx, cy + ny) <= T(0) || side(cx - nx, cy - ny) >= T(0)) return false;
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
std::vector<Point> simplifyWith(const Ring& r, const BBox& box, double tolerance, bool exact) {
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
            if (far || (exact && !keepsSides<T>(r, anchor, end))) {
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
                                    double tolerance, bool exact) {
    const Ring r{p, n, last};
    if (small(box)) return simplifyWith<int64_t>(r, box, tolerance, exact);
    return simplifyWith<Wide>(r, box, tolerance, exact);
}

MapArea shapeOfOutline(const Point* corners, std::size_t count, const BBox& box, bool hole, double tolerance,
                       bool exact) {
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
        a.points = simplifyPolyline(corners, count, corners[0], box, tolerance, exact);
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

WholeMap mapWholeSelection(const SelectionBits& bits, Point offset, int32_t format, const char* url,
                           MapCaps caps) {
    WholeMap m;
    if (format < HM_FORMAT_INLINE || format > HM_FORMAT_CERN || bits.width() <= 0 || bits.height() <= 0) {
        m.status = HM_STATUS_BAD_ARGUMENT;
        return m;
    }
    if (int64_t(offset.x) + bits.width() > INT32_MAX || int64_t(offset.y) + bits.height() > INT32_MAX) {
        m.status = HM_STATUS_OUT_OF_RANGE;
        return m;
    }
    if (bits.empty()) {
        m.status = HM_STATUS_NOTHING_SELECTED;
        return m;
    }
    caps.areas = std::clamp<std::size_t>(caps.areas, 1, HM_MAP_MAX_AREAS);
    caps.points = std::clamp<std::size_t>(caps.points, 1, HM_MAP_MAX_POINTS);
    const bool inlineMap = format == HM_FORMAT_INLINE; // the only format with holes

    const Outlines o = traceOutlines(bits, caps.areas, inlineMap);
    m.regions = o.regions;
    m.holes = o.holes;
    m.box = {add(o.box.left, offset.x), add(o.box.top, offset.y), add(o.box.right, offset.x),
             add(o.box.bottom, offset.y)};
    if ((inlineMap ? o.regions + o.holes : o.regions) > o.kept.size()) m.capped = true;

    // A region's own pixels: its area less its holes'.
    std::vector<int64_t> pixels(o.contours.size());
    for (std::size_t i = 0; i < o.contours.size(); ++i)
        if (!o.contours[i].hole)
            pixels[i] += o.contours[i].area;
        else
            pixels[std::size_t(o.contours[i].parent)] -= o.contours[i].area;
    // What must be written for an area to make sense: for a hole its region, for a region the
    // hole it lies in (in maps without holes, the region around that hole).
    auto needs = [&](uint32_t id) -> int32_t {
        const Contour& c = o.contours[id];
        if (c.hole || c.parent < 0 || inlineMap) return c.parent;
        return o.contours[std::size_t(c.parent)].parent;
    };

    // The largest outlines first: a region's or hole's outline encloses more than anything in it,
    // so what an area needs comes before it.
    std::vector<std::size_t> byArea(o.kept.size());
    for (std::size_t i = 0; i < byArea.size(); ++i)
        byArea[i] = i;
    std::sort(byArea.begin(), byArea.end(), [&](std::size_t a, std::size_t b) {
        const int64_t aa = o.contours[o.kept[a].contour].area, ab = o.contours[o.kept[b].contour].area;
        return aa != ab ? aa > ab : o.kept[a].contour < o.kept[b].contour;
    });
    std::vector<int32_t> chosenOf(o.contours.size(), -1);
    std::vector<MapArea> chosen;
    std::vector<uint32_t> chosenId;
    std::size_t pointsLeft = caps.points;
    for (const std::size_t k : byArea) {
        if (chosen.size() == caps.areas) {
            m.capped = true;
            break;
        }
        const KeptOutline& kept = o.kept[k];
        const Contour& c = o.contours[kept.contour];
        const int32_t need = needs(kept.contour);
        if (need >= 0 && chosenOf[std::size_t(need)] < 0) {
            m.capped = true;
            continue;
        }
        const Point* corners = o.corners.data() + kept.first;
        MapArea a = shapeOfOutline(corners, kept.count, kept.box, c.hole, 1.0, true);
        if (a.cost() > pointsLeft) {
            // Too many points: the tolerance alone, then coarser, until it fits or can shrink no more
            // (the seeds and the start).
            m.capped = true;
            const double extent =
                2 * (double(kept.box.right) - kept.box.left + kept.box.bottom - kept.box.top);
            for (double tolerance = 1.0;; tolerance *= 2) {
                a = shapeOfOutline(corners, kept.count, kept.box, c.hole, tolerance, false);
                if (a.cost() <= pointsLeft || a.points.size() <= 5 || tolerance > extent) break;
            }
            if (a.cost() > pointsLeft) continue;
        }
        pointsLeft -= a.cost();
        const std::size_t moved = a.shape == HM_SHAPE_CIRCLE ? 1 : a.points.size(); // not the radius
        for (std::size_t i = 0; i < moved; ++i)
            a.points[i] = {add(a.points[i].x, offset.x), add(a.points[i].y, offset.y)};
        chosenOf[kept.contour] = int32_t(chosen.size());
        chosen.push_back(std::move(a));
        chosenId.push_back(kept.contour);
    }
    if (chosen.empty()) {
        m.status = HM_STATUS_CAPS_TOO_SMALL;
        return m;
    }

    // The order written: regions in the open by size, each after what lies in it; a hole right
    // after the regions in it and before its own region, so the first area a point meets is
    // the right one.
    std::vector<std::vector<std::size_t>> inside(chosen.size());
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const int32_t need = needs(chosenId[i]);
        (need < 0 ? open : inside[std::size_t(chosenOf[std::size_t(need)])]).push_back(i);
    }
    auto larger = [&](std::size_t a, std::size_t b) {
        const Contour &ca = o.contours[chosenId[a]], &cb = o.contours[chosenId[b]];
        const int64_t sa = ca.hole ? ca.area : pixels[chosenId[a]],
                      sb = cb.hole ? cb.area : pixels[chosenId[b]];
        return sa != sb ? sa > sb : chosenId[a] < chosenId[b];
    };
    std::sort(open.begin(), open.end(), larger);
    for (auto& list : inside)
        std::sort(list.begin(), list.end(), larger);
    std::vector<std::size_t> order;
    order.reserve(chosen.size());
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
    for (const std::size_t i : order) {
        if (!m.text.empty()) m.text += '\n';
        m.text += entry(scratch, chosen[i], format, link);
        m.points += chosen[i].cost();
    }
    m.areas.reserve(order.size());
    for (const std::size_t i : order)
        m.areas.push_back(std::move(chosen[i]));
    return m;
}

} // namespace hotmap
