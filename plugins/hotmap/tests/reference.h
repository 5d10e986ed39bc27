// A slow reference of the image-map analysis, written from its description: the outline trace
// pixel by pixel with bounds tests, and the polygon simplification with distances in floating
// point. The tests and the fuzz target check the fast code against it.
#pragma once
#include "analysis.h"
#include "masks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace hmref {

using hotmap::BBox;
using hotmap::Point;
using testmask::Mask;

// The outline of the first region in raster order and its box; empty when nothing is selected
// (or the trace would never come back to its start).
inline std::vector<Point> refTrace(const Mask& m, BBox& box) {
    auto set = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < m.w && y < m.h && m.px[std::size_t(y) * m.w + x] > 128;
    };
    const int dx[8] = {1, 1, 0, -1, -1, -1, 0, 1}, dy[8] = {0, -1, -1, -1, 0, 1, 1, 1};
    std::vector<Point> out;
    for (int y = 0; y < m.h && out.empty(); ++y)
        for (int x = 0; x < m.w; ++x)
            if (set(x, y)) {
                out.push_back({x, y});
                break;
            }
    if (out.empty()) return out;
    box = {out[0].x, out[0].y, out[0].x, out[0].y};
    Point c = out[0];
    int d = 0;
    // Each (pixel, search start) comes at most once before the trace is back; a trace that is
    // not back by then never will be.
    for (std::size_t moves = 0; moves <= std::size_t(m.w) * std::size_t(m.h) * 8; ++moves) {
        int f = -1;
        for (int k = 0, t = d; k < 8; ++k, t = (t + 7) % 8)
            if (set(c.x + dx[t], c.y + dy[t])) {
                f = t;
                break;
            }
        if (f < 0) {
            out.push_back(c);
            return out;
        }
        c = {c.x + dx[f], c.y + dy[f]};
        out.push_back(c);
        box = {std::min(box.left, c.x), std::min(box.top, c.y), std::max(box.right, c.x),
               std::max(box.bottom, c.y)};
        if (c == out[0]) return out;
        d = (f + 2) % 8;
    }
    out.clear();
    return out;
}

inline double refDist(Point p, Point a, Point e) {
    if (a == e) return std::hypot(double(p.x - a.x), double(p.y - a.y));
    const double cross = double(e.x - a.x) * (p.y - a.y) - double(e.y - a.y) * (p.x - a.x);
    return std::fabs(cross) / std::hypot(double(e.x - a.x), double(e.y - a.y));
}

inline std::vector<Point> refSimplify(const std::vector<Point>& p, const BBox& box, double tol) {
    const int N = int(p.size()) - 1;
    int R = -1, B = -1, L = -1;
    for (int i = 0; i < N && R < 0; ++i)
        if (p[std::size_t(i)].x == box.right) R = i;
    for (int i = R; R >= 0 && i < N && B < 0; ++i)
        if (p[std::size_t(i)].y == box.bottom) B = i;
    for (int i = B; B >= 0 && i < N && L < 0; ++i)
        if (p[std::size_t(i)].x == box.left) L = i;
    std::vector<int> stack{N};
    for (int s : {L, B, R})
        if (s >= 0) stack.push_back(s);
    std::vector<Point> out;
    int anchor = 0;
    while (!stack.empty()) {
        const int end = stack.back();
        stack.pop_back();
        if (end == anchor) continue;
        double best = -1;
        int bi = -1;
        for (int i = anchor + 1; i < end; ++i) {
            const double dd = refDist(p[std::size_t(i)], p[std::size_t(anchor)], p[std::size_t(end)]);
            if (dd > best) {
                best = dd;
                bi = i;
            }
        }
        if (bi >= 0 && best > tol) {
            stack.push_back(end);
            stack.push_back(bi);
        } else {
            out.push_back(p[std::size_t(anchor)]);
            anchor = end;
        }
    }
    out.push_back(p[std::size_t(N)]);
    return out;
}

} // namespace hmref
