// Outline trace, shape tests and polygon simplification.
#include "analysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hotmap {

void binarize(uint8_t* plane, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) plane[i] = plane[i] > 128 ? 255 : 0;
}

namespace {

// Index of the first nonzero byte, count when there is none.
std::size_t firstSet(const uint8_t* p, std::size_t count) {
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        uint64_t a, b, c, d;
        std::memcpy(&a, p + i, 8);
        std::memcpy(&b, p + i + 8, 8);
        std::memcpy(&c, p + i + 16, 8);
        std::memcpy(&d, p + i + 24, 8);
        if (a | b | c | d) break;
    }
    for (; i < count; ++i)
        if (p[i]) return i;
    return count;
}

// Directions 0 to 7: east, north-east, north, north-west, west, south-west, south, south-east.
constexpr int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDy[8] = {0, -1, -1, -1, 0, 1, 1, 1};

} // namespace

bool traceOutline(const uint8_t* plane, int32_t width, int32_t height, std::vector<Point>& outline, BBox& box) {
    outline.clear();
    if (!plane || width <= 0 || height <= 0) return false;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    const std::size_t first = firstSet(plane, count);
    if (first == count) return false;
    const int32_t sx = int32_t(first % std::size_t(width)), sy = int32_t(first / std::size_t(width));
    outline.reserve(1024);
    outline.push_back({sx, sy});
    box = {sx, sy, sx, sy};

    std::ptrdiff_t step[8];
    for (int d = 0; d < 8; ++d) step[d] = std::ptrdiff_t(kDy[d]) * width + kDx[d];

    int32_t x = sx, y = sy;
    int dir = 0; // where the next search starts
    // Every (pixel, search start) state occurs at most once before the trace closes.
    const uint64_t maxMoves = uint64_t(count) * 8 + 8;
    for (uint64_t moves = 0; moves < maxMoves; ++moves) {
        const uint8_t* here = plane + std::size_t(y) * std::size_t(width) + std::size_t(x);
        int found = -1;
        if (x > 0 && y > 0 && x < width - 1 && y < height - 1) {
            for (int k = 0; k < 8; ++k) {
                const int d = (dir - k) & 7;
                if (here[step[d]]) {
                    found = d;
                    break;
                }
            }
        } else {
            for (int k = 0; k < 8; ++k) {
                const int d = (dir - k) & 7;
                const int32_t nx = x + kDx[d], ny = y + kDy[d];
                if (nx >= 0 && ny >= 0 && nx < width && ny < height && here[step[d]]) {
                    found = d;
                    break;
                }
            }
        }
        if (found < 0) { // a lone pixel
            outline.push_back({x, y});
            return true;
        }
        x += kDx[found];
        y += kDy[found];
        outline.push_back({x, y});
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
        if (x == sx && y == sy) return true;
        dir = (found + 2) & 7;
    }
    outline.clear();
    return false;
}

bool isRectangle(const std::vector<Point>& outline, const BBox& box, double threshold) {
    if (outline.empty()) return false;
    int64_t sum = 0;
    for (const Point& p : outline)
        sum += std::min(std::min(p.x - box.left, box.right - p.x), std::min(p.y - box.top, box.bottom - p.y));
    return double(sum) / double(outline.size()) <= threshold;
}

bool isEllipse(const std::vector<Point>& outline, const BBox& box, double threshold) {
    if (outline.empty()) return false;
    const double rx = (double(box.right) - box.left) / 2, ry = (double(box.bottom) - box.top) / 2;
    if (rx <= 0 || ry <= 0) return false;
    const double cx = (double(box.left) + box.right) / 2, cy = (double(box.top) + box.bottom) / 2;
    double sum = 0;
    for (const Point& p : outline) {
        const double u = (p.x - cx) / rx, v = (p.y - cy) / ry;
        sum += std::fabs(u * u + v * v - 1);
    }
    return sum / double(outline.size()) * (rx + ry) / 2 <= threshold;
}

std::vector<Point> simplifyPolygon(const std::vector<Point>& pts, const BBox& box, double tolerance) {
    std::vector<Point> result;
    if (pts.empty()) return result;
    const std::size_t N = pts.size() - 1;
    // Seeds: the first points on the right, then the bottom, then the left side of the box.
    std::ptrdiff_t R = -1, B = -1, L = -1;
    for (std::size_t i = 0; i < N; ++i)
        if (pts[i].x == box.right) {
            R = std::ptrdiff_t(i);
            break;
        }
    if (R >= 0)
        for (std::size_t i = std::size_t(R); i < N; ++i)
            if (pts[i].y == box.bottom) {
                B = std::ptrdiff_t(i);
                break;
            }
    if (B >= 0)
        for (std::size_t i = std::size_t(B); i < N; ++i)
            if (pts[i].x == box.left) {
                L = std::ptrdiff_t(i);
                break;
            }
    std::vector<std::size_t> stack;
    stack.reserve(64);
    stack.push_back(N);
    if (L >= 0) stack.push_back(std::size_t(L));
    if (B >= 0) stack.push_back(std::size_t(B));
    if (R >= 0) stack.push_back(std::size_t(R));

    result.reserve(10);
    const long double tol2 = (long double)tolerance * tolerance;
    std::size_t anchor = 0;
    while (!stack.empty()) {
        const std::size_t end = stack.back();
        stack.pop_back();
        if (end == anchor) continue; // a seed on the anchor adds nothing
        const Point a = pts[anchor], e = pts[end];
        const int64_t dx = int64_t(e.x) - a.x, dy = int64_t(e.y) - a.y;
        std::size_t best = 0;
        bool far = false;
        if (end > anchor + 1) {
            // Distances compared through exact integers: |cross| is the distance times the
            // segment's length, the same for every point of the segment.
            int64_t bestValue = -1;
            if (dx == 0 && dy == 0) {
                for (std::size_t i = anchor + 1; i < end; ++i) {
                    const int64_t px = int64_t(pts[i].x) - a.x, py = int64_t(pts[i].y) - a.y;
                    const int64_t d2 = px * px + py * py;
                    if (d2 > bestValue) {
                        bestValue = d2;
                        best = i;
                    }
                }
                far = (long double)bestValue > tol2;
            } else {
                for (std::size_t i = anchor + 1; i < end; ++i) {
                    int64_t c = dx * (int64_t(pts[i].y) - a.y) - dy * (int64_t(pts[i].x) - a.x);
                    if (c < 0) c = -c;
                    if (c > bestValue) {
                        bestValue = c;
                        best = i;
                    }
                }
                far = (long double)bestValue * bestValue > tol2 * (long double)(dx * dx + dy * dy);
            }
        }
        if (far) {
            stack.push_back(end);
            stack.push_back(best);
        } else {
            result.push_back(a);
            anchor = end;
        }
    }
    result.push_back(pts[N]);
    return result;
}

} // namespace hotmap
