// Synthetic masks for the tests.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

namespace testmask {

struct Mask {
    int w, h;
    std::vector<uint8_t> px;
    Mask(int w_, int h_) : w(w_), h(h_), px(std::size_t(w_) * h_, 0) {}
    uint8_t& at(int x, int y) { return px[std::size_t(y) * w + x]; }
};

// Filled disc of the given diameter with its bounding box at (x0, y0).
inline void disc(Mask& m, int x0, int y0, int d, uint8_t v = 255) {
    const double r = d / 2.0, c = (d - 1) / 2.0;
    for (int y = 0; y < d; ++y)
        for (int x = 0; x < d; ++x)
            if ((x - c) * (x - c) + (y - c) * (y - c) <= r * r) m.at(x0 + x, y0 + y) = v;
}

// Filled axis-aligned ellipse of w x h pixels at (x0, y0).
inline void ellipse(Mask& m, int x0, int y0, int w, int h) {
    const double a = w / 2.0, b = h / 2.0, cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x - cx) * (x - cx) / (a * a) + (y - cy) * (y - cy) / (b * b) <= 1.0)
                m.at(x0 + x, y0 + y) = 255;
}

inline void rect(Mask& m, int x0, int y0, int w, int h, uint8_t v = 255) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            m.at(x, y) = v;
}

// An irregular blob: a disc whose radius wobbles with the angle.
inline void blob(Mask& m, double cx, double cy, double r0, int seed) {
    const double k1 = 3 + seed % 5, k2 = 11 + seed % 7, k3 = 29 + seed % 11;
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            const double dx = x - cx, dy = y - cy;
            const double t = std::atan2(dy, dx);
            const double r = r0 * (1 + 0.25 * std::sin(k1 * t + seed) + 0.1 * std::sin(k2 * t) +
                                   0.04 * std::sin(k3 * t + 1));
            if (dx * dx + dy * dy <= r * r) m.at(x, y) = 255;
        }
}

} // namespace testmask
