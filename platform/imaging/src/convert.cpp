// Conversions that make new pixels: pixel types, resampling, soft-edged masks.
#include "imagelib/tv32cvt.h"
#include "imagelib/tv32guard.h"
#include "imagelib/tv32sel.h"
#include "store.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

using namespace tv32;

namespace {

// Puts b into *slot, or copies its pixels into the buffer held there when that one has the same
// format and size.
int deliver(std::unique_ptr<Buffer> b, TV32HBUF* slot) {
    if (*slot == 0) {
        const TV32HBUF h = insert(std::move(b));
        if (!h) return 0;
        *slot = h;
        return 1;
    }
    Buffer* d = lookup(*slot);
    if (!d || d->bits != b->bits || d->width != b->width || d->height != b->height) return 0;
    std::vector<uint8_t> row(std::size_t(b->width) * b->bpp);
    for (int y = 0; y < b->height; ++y) {
        readBlock(*b, 0, y, b->width, 1, row.data(), row.size());
        writeBlock(*d, 0, y, b->width, 1, row.data(), row.size());
    }
    return 1;
}

// Source positions and weights of each target position when n source samples are averaged
// down (or spread up) onto m: the target sample j covers [j n / m, (j + 1) n / m) of the source.
struct Tap {
    int first = 0;
    std::vector<double> weights;
};

std::vector<Tap> areaTaps(int n, int m) {
    std::vector<Tap> taps(static_cast<std::size_t>(m));
    const double scale = double(n) / m;
    for (int j = 0; j < m; ++j) {
        const double a = j * scale, b = (j + 1) * scale;
        int first = int(std::floor(a));
        int last = std::min(n - 1, int(std::ceil(b)) - 1);
        if (last < first) last = first;
        Tap& t = taps[std::size_t(j)];
        t.first = first;
        double total = 0;
        for (int i = first; i <= last; ++i) {
            const double w = std::min(b, double(i + 1)) - std::max(a, double(i));
            t.weights.push_back(w > 0 ? w : 0);
            total += t.weights.back();
        }
        if (total <= 0) {
            t.weights.assign(1, 1.0);
            total = 1;
        }
        for (double& w : t.weights)
            w /= total;
    }
    return taps;
}

} // namespace

extern "C" {

TV32_API int TV32_CALL cvt32BufType(int32_t, TV32HWND, int32_t fromKind, int32_t toKind, TV32HBUF source,
                                    TV32HBUF* slot, const void*, int32_t, int32_t, void*, int32_t) {
    return tv32::guardLibrary(0, [&]() -> int {
        const Buffer* s = lookup(source);
        if (!s || !slot) return 0;
        auto bitsOf = [](int kind) { return kind == CVT32_TRUECOLOR ? 24 : kind == CVT32_GREY ? 8 : 0; };
        if (bitsOf(fromKind) != s->bits || bitsOf(toKind) == 0) return 0;
        auto b = makeBuffer(bitsOf(toKind), s->width, s->height);
        if (!b) return 0;
        std::vector<uint8_t> in(std::size_t(s->width) * s->bpp), out(std::size_t(s->width) * b->bpp);
        for (int y = 0; y < s->height; ++y) {
            readBlock(*s, 0, y, s->width, 1, in.data(), in.size());
            if (s->bpp == b->bpp) {
                out = in;
            } else if (s->bpp == 3) {
                for (int x = 0; x < s->width; ++x) {
                    const uint8_t* p = &in[std::size_t(x) * 3];
                    out[std::size_t(x)] = uint8_t((299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000);
                }
            } else {
                for (int x = 0; x < s->width; ++x)
                    std::memset(&out[std::size_t(x) * 3], in[std::size_t(x)], 3);
            }
            writeBlock(*b, 0, y, s->width, 1, out.data(), out.size());
        }
        return deliver(std::move(b), slot);
    });
}

TV32_API int TV32_CALL tv32BufferResampleEx(const TV32SIZE* size, TV32HBUF source, TV32HBUF* slot, int32_t,
                                            const void*, int32_t) {
    return tv32::guardLibrary(0, [&]() -> int {
        const Buffer* s = lookup(source);
        if (!s || !size || !slot || size->cx <= 0 || size->cy <= 0) return 0;
        const int W = size->cx, H = size->cy, bpp = s->bpp;
        auto b = makeBuffer(s->bits, W, H);
        if (!b) return 0;
        try {
            const auto xs = areaTaps(s->width, W), ys = areaTaps(s->height, H);
            // Rows of the source scaled horizontally, made on demand and kept while needed.
            std::vector<std::vector<double>> rows(std::size_t(s->height));
            std::vector<uint8_t> in(std::size_t(s->width) * bpp), out(std::size_t(W) * bpp);
            int released = 0;
            for (int y = 0; y < H; ++y) {
                const Tap& ty = ys[std::size_t(y)];
                std::vector<double> acc(std::size_t(W) * bpp, 0.0);
                for (std::size_t k = 0; k < ty.weights.size(); ++k) {
                    const int sy = ty.first + int(k);
                    std::vector<double>& row = rows[std::size_t(sy)];
                    if (row.empty()) {
                        readBlock(*s, 0, sy, s->width, 1, in.data(), in.size());
                        row.assign(std::size_t(W) * bpp, 0.0);
                        for (int x = 0; x < W; ++x) {
                            const Tap& tx = xs[std::size_t(x)];
                            for (std::size_t i = 0; i < tx.weights.size(); ++i)
                                for (int c = 0; c < bpp; ++c)
                                    row[std::size_t(x) * bpp + c] +=
                                        tx.weights[i] * in[std::size_t(tx.first + int(i)) * bpp + c];
                        }
                    }
                    for (std::size_t i = 0; i < acc.size(); ++i)
                        acc[i] += ty.weights[k] * row[i];
                }
                for (std::size_t i = 0; i < acc.size(); ++i) {
                    const double v = std::round(acc[i]);
                    out[i] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
                }
                writeBlock(*b, 0, y, W, 1, out.data(), out.size());
                // Rows above the next target row's first source row are done with.
                const int keepFrom = y + 1 < H ? ys[std::size_t(y) + 1].first : s->height;
                for (; released < keepFrom; ++released)
                    std::vector<double>().swap(rows[std::size_t(released)]);
            }
        } catch (const std::bad_alloc&) {
            return 0;
        }
        return deliver(std::move(b), slot);
    });
}

TV32_API int TV32_CALL sel32SoftEdgeMakeMask(SEL32RECORD* sel, int32_t, int32_t edge, int32_t, int32_t,
                                             int32_t, void*) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (!sel) return 0;
        const Buffer* in = lookup(sel->mask);
        if (!in || in->bits != 8) return 0;
        if (edge <= 0) return 1;
        const int ix = sel->x, iy = sel->y;
        if (ix < 0 || iy < 0) return 0;
        const std::int64_t W64 = std::int64_t(ix) + in->width + edge,
                           H64 = std::int64_t(iy) + in->height + edge;
        if (W64 > INT32_MAX || H64 > INT32_MAX) return 0;
        const int W = int(W64), H = int(H64);
        auto out = makeBuffer(8, W, H, false); // every row is written below
        if (!out) return 0;
        // Ramp values by squared distance: v(d) = 255 (e + 1 - d) / (e + 1), rounded.
        const int x0 = ix, y0 = iy, x1 = ix + in->width - 1, y1 = iy + in->height - 1;
        const double span = edge + 1.0;
        auto ramp = [span](int dx, int dy) {
            const double d = std::sqrt(double(dx) * dx + double(dy) * dy);
            const double v = d >= span ? 0.0 : 255.0 * (span - d) / span;
            return uint8_t(std::lround(v));
        };
        // The values depend only on (dx, dy), both at most edge where they are not 0: a table of them
        // for the usual edge widths, so the border costs a lookup a pixel.
        const bool tabled = edge <= 1024;
        const std::size_t side = tabled ? std::size_t(edge) + 1 : 0;
        std::vector<uint8_t> table(side * side);
        for (std::size_t dy = 0; dy < side; ++dy)
            for (std::size_t dx = 0; dx < side; ++dx)
                table[dy * side + dx] = ramp(int(dx), int(dy));
        auto value = [&](int dx, int dy) -> uint8_t {
            if (!tabled) return ramp(dx, dy);
            if (dx > edge || dy > edge) return 0; // beyond the ramp
            return table[std::size_t(dy) * side + std::size_t(dx)];
        };
        // Both masks are 8-bit planes whose rows follow each other without gaps: rows are written in
        // place. Beside the inner part (dy = 0) every row has the same values left and right of it.
        const std::size_t Wn = std::size_t(W);
        std::vector<uint8_t> beside(Wn);
        for (int x = 0; x < W; ++x)
            beside[std::size_t(x)] = x < x0 ? value(x0 - x, 0) : x > x1 ? value(x - x1, 0) : 0;
        uint8_t* const plane = out->at(0, 0);
        for (int y = 0; y < H; ++y) {
            uint8_t* row = plane + std::size_t(y) * Wn;
            if (y >= y0 && y <= y1) {
                std::memcpy(row, beside.data(), std::size_t(x0));
                std::memcpy(row + x0, in->at(0, y - y0), std::size_t(in->width));
                std::memcpy(row + x1 + 1, beside.data() + x1 + 1, Wn - std::size_t(x1) - 1);
                continue;
            }
            const int dy = y < y0 ? y0 - y : y - y1;
            for (int x = 0; x < W; ++x)
                row[std::size_t(x)] = value(x < x0 ? x0 - x : x > x1 ? x - x1 : 0, dy);
        }
        const TV32HBUF h = insert(std::move(out));
        if (!h) return 0;
        buf32Free(sel->mask);
        sel->mask = h;
        return 1;
    });
}

} // extern "C"
