// The shadow outside the selection: opacity plane and result image, pixel by pixel.
#include "opacity.h"

#include "guards.h"
#include "render.h"

#include <algorithm>
#include <cstring>

namespace borderfx {

namespace {

// Asks for the cache lines of n bytes from p to be fetched; a hint only.
inline void prefetchBytes(const uint8_t* p, int32_t n) {
#if defined(__GNUC__) || defined(__clang__)
    for (int32_t k = 0; k < n; k += 64)
        __builtin_prefetch(p + k);
    if (n > 0) __builtin_prefetch(p + n - 1);
#else
    (void)p;
    (void)n;
#endif
}

// How many rows ahead the opacity loop asks for plane and mask rows.
constexpr int32_t kRowsAhead = 6;

// The shadow laid into one run [x0, x1) of a row: px is the first pixel of the run (N channels),
// arow and mrow the opacity plane's and the mask's rows indexed by x (mrow null: no mask), gOf
// the shadow opacity of each mask value, g0 the one without a mask.
template <int N>
void shadeRun(uint8_t* px, uint8_t* arow, const uint8_t* mrow, int32_t x0, int32_t x1, const uint8_t* gOf,
              uint32_t g0, const uint8_t* shade) {
    for (int32_t x = x0; x < x1; ++x, px += N) {
        const uint32_t av = arow[x];
        if (av == 255) continue;
        const uint32_t g = mrow ? gOf[mrow[x]] : g0;
        if (av == 0) {
            for (int k = 0; k < N; ++k)
                px[k] = shade[k];
            arow[x] = uint8_t(g);
            continue;
        }
        for (int k = 0; k < N; ++k)
            px[k] = uint8_t((shade[k] * g + px[k] * av) / (g + av));
        arow[x] = uint8_t(255 - (255 - av) * (255 - g) / 255);
    }
}

} // namespace

int ShadeOutsideSelection(const FrameShadowParams& p, const OutsideAlphaAreas& a, TV32HBUF result,
                          TV32HBUF plane, TV32HBUF mask) {
    const TV32RECT &s = a.selection, &o = a.output, &c = a.clip, &f = a.frame, &d = a.shadow;
    const int32_t cw = c.right - c.left, dw = d.right - d.left;
    const bool frameOn = p.frameWidth > 0;
    const bool shadowOn = p.shadowOffsetX > 0 || p.shadowOffsetY > 0;

    BUF32INFO info;
    if (!buf32GetInfo(result, &info)) return 0;
    BufferLock resultLock(result, BUF32_LOCK_READWRITE);
    BufferLock planeLock(plane, BUF32_LOCK_READWRITE);
    if (!resultLock || !planeLock) return 0;
    uint8_t* const alpha = buf32PointAddr(plane, 0, 0);
    if (!alpha) return 0;
    const uint8_t* maskBits = nullptr;
    BufferLock maskLock(mask, BUF32_LOCK_READ);
    if (mask) {
        if (!maskLock) return 0;
        maskBits = buf32PointAddr(mask, 0, 0);
        if (!maskBits) return 0;
    }
    const int channels = info.bytesPerPixel;
    if (channels != 1 && channels != 3) return 1;
    const uint8_t g0 = uint8_t((100 - p.transparency) * 255 / 100);
    uint8_t shade[3] = {uint8_t(p.shadowColor & 0xFF), uint8_t((p.shadowColor >> 8) & 0xFF),
                        uint8_t((p.shadowColor >> 16) & 0xFF)};
    if (channels == 1) shade[0] = GreyOf(p.shadowColor);

    // The shadow's opacity g for each mask value m: m g0 / 255 (g0 itself without a mask).
    uint8_t gOf[256];
    for (uint32_t m = 0; m < 256; ++m)
        gOf[m] = maskBits ? uint8_t(m * g0 / 255) : g0;

    // The shadow over [x0, x1) of row y, pixel by pixel, outside the frame.
    auto shadowPiece = [&](const BUF32CELL& cell, int32_t y, int32_t x0, int32_t x1) {
        x0 = std::max(x0, d.left);
        x1 = std::min(x1, d.right);
        if (x0 >= x1) return;
        uint8_t* arow = alpha + std::ptrdiff_t(y - c.top) * cw - c.left;
        const uint8_t* mrow = maskBits ? maskBits + std::ptrdiff_t(y - d.top) * dw - d.left : nullptr;
        uint8_t* px = cell.pixels + (std::size_t(y - o.top - cell.y) * std::size_t(cell.width) +
                                     std::size_t(x0 - o.left - cell.x)) *
                                        std::size_t(channels);
        if (channels == 3)
            shadeRun<3>(px, arow, mrow, x0, x1, gOf, g0, shade);
        else
            shadeRun<1>(px, arow, mrow, x0, x1, gOf, g0, shade);
    };
    // A piece [u, v) of row y outside the selection: opaque where the frame lies, shadowed where
    // the shadow falls, unchanged elsewhere.
    auto piece = [&](const BUF32CELL& cell, int32_t y, int32_t u, int32_t v) {
        if (u >= v) return;
        // The rows of the plane and the mask lie far apart: ask for the ones a few rows on early.
        const int32_t ahead = y + kRowsAhead;
        if (ahead < c.bottom) prefetchBytes(alpha + std::ptrdiff_t(ahead - c.top) * cw + (u - c.left), v - u);
        if (maskBits && ahead < d.bottom && ahead >= d.top && u < d.right && v > d.left) {
            const int32_t mu = std::max(u, d.left), mv = std::min(v, d.right);
            prefetchBytes(maskBits + std::ptrdiff_t(ahead - d.top) * dw + (mu - d.left), mv - mu);
        }
        int32_t fu = v, fv = v;
        if (frameOn && y >= f.top && y < f.bottom) {
            fu = std::max(u, f.left);
            fv = std::min(v, f.right);
            if (fu < fv)
                std::memset(alpha + std::ptrdiff_t(y - c.top) * cw + (fu - c.left), 255,
                            std::size_t(fv - fu));
            else
                fu = fv = v;
        }
        if (!shadowOn || y < d.top || y >= d.bottom) return;
        shadowPiece(cell, y, u, fu);
        shadowPiece(cell, y, fv, v);
    };

    for (int32_t i = 0; i < info.cellCount; ++i) {
        // The part of the cell inside C, in image coordinates; a cell outside C or wholly inside
        // the selection has nothing to change and is not visited.
        const TV32RECT r = CellRect(info, i);
        const int32_t xa = std::max(c.left, o.left + r.left), xb = std::min(c.right, o.left + r.right + 1);
        const int32_t ya = std::max(c.top, o.top + r.top), yb = std::min(c.bottom, o.top + r.bottom + 1);
        if (xa >= xb || ya >= yb) continue;
        if (xa >= s.left && xb <= s.right && ya >= s.top && yb <= s.bottom) continue;
        CellLock cl(result, i);
        if (!cl) return 0;
        const BUF32CELL& cell = cl.cell();
        for (int32_t y = ya; y < yb; ++y) {
            // The selection itself is left alone: only the pieces of the row beside it are visited.
            if (y >= s.top && y < s.bottom) {
                piece(cell, y, xa, std::min(xb, s.left));
                piece(cell, y, std::max(xa, s.right), xb);
            } else {
                piece(cell, y, xa, xb);
            }
        }
    }
    return 1;
}

} // namespace borderfx
