// Texture generation: a 128 x 128 picture of each kind (worst case: four octaves, distortion on)
// drawn into an existing buffer, against a plain fill of the same buffer (buf32FillOneColor),
// the floor of writing those pixels. Prints the time per picture and the ratio to the fill.
#include "imagelib/imagelib.h"

#include <chrono>
#include <cstdio>

namespace {

template <class F> double perCallMs(int reps, F&& f) {
    f(); // warm-up: tables, caches
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < reps; ++i)
        f();
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(t1 - t0).count() / reps;
}

} // namespace

int main() {
    const int size = 128, reps = 300;
    TV32HBUF buf = 0;
    if (!buf32Alloc(&buf, 24, size, size, BUF32_FILL_ZERO, nullptr)) return 1;
    void* tex = nullptr;
    if (!tv32TextureDataAlloc(&tex, 0, 0)) return 1;
    auto* r = static_cast<TV32TEXTURERECORD*>(tex);

    const uint8_t colour[3] = {10, 20, 30};
    const double fill = perCallMs(reps * 10, [&] { buf32FillOneColor(buf, colour); });
    std::printf("texture_bench: %d x %d, %d pictures per kind\n", size, size, reps);
    std::printf("  %-28s %9.4f ms\n", "plain fill (floor)", fill);
    const char* names[4] = {"kind 0 clouds", "kind 1 marble", "kind 2 wood", "kind 3 waves"};
    int failures = 0;
    for (int kind = 0; kind < 4; ++kind) {
        r->kind = kind;
        r->frequencyX = r->frequencyY = 16;
        r->octaves = 4;
        r->turbulence = 50;
        r->distortion = 120;
        r->pattern = kind == 3 ? 30 : 2;
        r->repetitions = 5;
        r->angle = 33;
        const double ms = perCallMs(reps, [&] {
            if (!tv32GenerateTexture(2, 0, tex, size, size, 0, &buf, 0, 0, nullptr)) ++failures;
        });
        std::printf("  %-28s %9.4f ms  (%.0f x the fill)\n", names[kind], ms, ms / fill);
    }
    tv32TextureDataFree(tex);
    buf32Free(buf);
    return failures ? 1 : 0;
}
