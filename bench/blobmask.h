// Masks the image-map benchmarks share.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>

namespace bench {

// A flower with 300 long petals and a ragged edge; values 0 to 255 so the threshold matters.
inline void makeBlob(uint8_t* px, int n) {
    const double c = n / 2.0, r0 = n * 0.33;
    for (int y = 0; y < n; ++y) {
        uint8_t* row = px + std::size_t(y) * n;
        for (int x = 0; x < n; ++x) {
            const double dx = x - c, dy = y - c;
            const double t = std::atan2(dy, dx);
            const double r = r0 * (1 + 0.35 * std::sin(300 * t) + 0.05 * std::sin(37 * t + 1) +
                                   0.01 * std::sin(2311 * t + 2));
            const double d2 = dx * dx + dy * dy;
            row[x] = d2 <= r * r ? uint8_t(140 + (x * 7 + y) % 116) : uint8_t((x + 3 * y) % 129);
        }
    }
}

// Cells of `cell` pixels, each holding a wobbly ring with an island in its hole and a small
// blob in a corner: three regions and one hole per cell.
inline void makeRings(uint8_t* px, int n, int cell) {
    for (int y = 0; y < n; ++y) {
        uint8_t* row = px + std::size_t(y) * n;
        for (int x = 0; x < n; ++x) {
            const int i = x / cell, j = y / cell;
            const double c = cell / 2.0, dx = x % cell - c, dy = y % cell - c;
            const double t = std::atan2(dy, dx), d = std::sqrt(dx * dx + dy * dy);
            const double wob = 1 + 0.08 * std::sin(5 * t + i) + 0.03 * std::sin(17 * t + j);
            const bool ring = d <= 0.42 * cell * wob && d >= 0.27 * cell * wob;
            const bool island = d <= 0.15 * cell * wob;
            const double bx = x % cell - 0.1 * cell, by = y % cell - 0.1 * cell;
            const bool blob = bx * bx + by * by <= 0.0036 * cell * cell * wob;
            row[x] = ring || island || blob ? 255 : 0;
        }
    }
}

// Every pixel selected with the given chance.
inline void makeNoise(uint8_t* px, std::size_t count, double chance, unsigned seed) {
    std::mt19937 rng(seed);
    std::bernoulli_distribution on(chance);
    for (std::size_t i = 0; i < count; ++i)
        px[i] = on(rng) ? 255 : 0;
}

} // namespace bench
