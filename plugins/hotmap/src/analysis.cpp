// Outline trace, shape tests and polygon simplification.
#include "analysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hotmap {

namespace {

// Directions 0 to 7: east, north-east, north, north-west, west, south-west, south, south-east.
constexpr int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDy[8] = {0, -1, -1, -1, 0, 1, 1, 1};

// The selection as one bit per pixel: the two-valued copy of the mask the trace walks on. Each
// row has a byte of zeros before its first pixel and slack after its last, and a row of zeros
// lies above and below the mask, so a pixel's 3 x 3 neighbourhood is read without bounds tests.
// At an eighth of the mask's size it stays in the caches while the trace wanders through it.
class BitPlane {
  public:
    // Selected: a byte above 128. Returns false when memory runs out (std::bad_alloc).
    void build(const uint8_t* mask, int32_t width, int32_t height) {
        width_ = width;
        rowBytes_ = 1 + (std::size_t(width) + 7) / 8 + 8;
        bits_.assign(rowBytes_ * (std::size_t(height) + 2), 0);
        firstX_ = firstY_ = -1;
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* in = mask + std::size_t(y) * std::size_t(width);
            uint8_t* out = bits_.data() + rowBytes_ * (std::size_t(y) + 1) + 1;
            bool any = false;
            int32_t x = 0;
#if defined(__SSE2__)
            const __m128i flip = _mm_set1_epi8(char(0x80)), zero = _mm_setzero_si128();
            for (; x + 16 <= width; x += 16) {
                // b > 128 unsigned is (b ^ 0x80) > 0 signed.
                const __m128i v =
                    _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)), flip);
                const unsigned m = unsigned(_mm_movemask_epi8(_mm_cmpgt_epi8(v, zero)));
                out[x / 8] = uint8_t(m);
                out[x / 8 + 1] = uint8_t(m >> 8);
                any |= m != 0;
            }
#endif
            for (; x < width; ++x)
                if (in[x] > 128) {
                    out[x / 8] = uint8_t(out[x / 8] | (1u << (x % 8)));
                    any = true;
                }
            if (any && firstY_ < 0) {
                firstY_ = y;
                for (int32_t i = 0; i < width; ++i)
                    if (in[i] > 128) {
                        firstX_ = i;
                        break;
                    }
            }
        }
    }
    int32_t firstX() const {
        return firstX_;
    }
    int32_t firstY() const {
        return firstY_;
    }
    // The pixels x - 1, x, x + 1 of row y (-1 <= y <= height) in bits 0, 1, 2.
    unsigned three(int32_t x, int32_t y) const {
        const std::size_t bit = std::size_t(x) + 7; // x - 1 after the byte of padding
        uint64_t word;
        std::memcpy(&word, bits_.data() + rowBytes_ * std::size_t(y + 1) + bit / 8, 8);
        return unsigned(word >> (bit % 8)) & 7u;
    }

  private:
    int32_t width_ = 0;
    std::size_t rowBytes_ = 0;
    std::vector<uint8_t> bits_;
    int32_t firstX_ = -1, firstY_ = -1;
};

// For each search start and each neighbourhood (bit d set: neighbour in direction d selected),
// the first direction tried d, d - 1, ... whose neighbour is selected; -1 for none.
struct NextTable {
    int8_t next[8][256];
    // Neighbourhood bits of the three pixels above, beside and below.
    uint8_t up[8], mid[8], down[8];
    constexpr NextTable() : next(), up(), mid(), down() {
        for (int dir = 0; dir < 8; ++dir)
            for (int code = 0; code < 256; ++code) {
                next[dir][code] = -1;
                for (int k = 0; k < 8; ++k) {
                    const int d = (dir - k + 8) % 8;
                    if (code & (1 << d)) {
                        next[dir][code] = int8_t(d);
                        break;
                    }
                }
            }
        for (unsigned b = 0; b < 8; ++b) { // bit 0: x - 1, bit 1: x, bit 2: x + 1
            up[b] = uint8_t(((b >> 2) & 1) << 1 | ((b >> 1) & 1) << 2 | (b & 1) << 3);
            mid[b] = uint8_t(((b >> 2) & 1) << 0 | (b & 1) << 4);
            down[b] = uint8_t((b & 1) << 5 | ((b >> 1) & 1) << 6 | ((b >> 2) & 1) << 7);
        }
    }
};
constexpr NextTable kNext;

} // namespace

bool traceOutline(const uint8_t* mask, int32_t width, int32_t height, std::vector<Point>& outline,
                  BBox& box) {
    outline.clear();
    if (!mask || width <= 0 || height <= 0) return false;
    BitPlane plane;
    plane.build(mask, width, height);
    if (plane.firstY() < 0) return false;
    const int32_t sx = plane.firstX(), sy = plane.firstY();
    outline.reserve(1024);
    outline.push_back({sx, sy});
    box = {sx, sy, sx, sy};

    int32_t x = sx, y = sy;
    int dir = 0; // where the next search starts
    // Every (pixel, search start) state occurs at most once before the trace closes.
    const uint64_t maxMoves = uint64_t(width) * uint64_t(height) * 8 + 8;
    for (uint64_t moves = 0; moves < maxMoves; ++moves) {
        const unsigned code = kNext.up[plane.three(x, y - 1)] | kNext.mid[plane.three(x, y)] |
                              kNext.down[plane.three(x, y + 1)];
        const int found = kNext.next[dir][code];
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
    if (pts.empty()) return {};
    return simplifyPolyline(pts.data(), pts.size() - 1, pts.back(), box, tolerance, Sides::any);
}

} // namespace hotmap
