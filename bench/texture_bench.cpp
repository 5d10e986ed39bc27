// Texture generation: a 128 x 128 picture of each kind (worst case: four octaves, distortion on)
// drawn into an existing buffer, against a plain fill of the same buffer (buf32FillOneColor),
// the floor of writing those pixels. Prints the time per picture (wall clock and the thread's own
// CPU time, which other processes on a busy machine do not inflate) and the ratio to the fill.
#include "benchtime.h"

#include "imagelib/imagelib.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

using bench::perCall;
using bench::Times;

} // namespace

int main() {
    const int size = 128, reps = 300;
    TV32HBUF buf = 0;
    if (!buf32Alloc(&buf, 24, size, size, BUF32_FILL_ZERO, nullptr)) return 1;
    void* tex = nullptr;
    if (!tv32TextureDataAlloc(&tex, 0, 0)) return 1;
    auto* r = static_cast<TV32TEXTURERECORD*>(tex);

    const uint8_t colour[3] = {10, 20, 30};
    const Times fill = perCall(reps * 10, [&] { buf32FillOneColor(buf, colour); });
    std::printf("texture_bench: %d x %d, %d pictures per kind\n", size, size, reps);
    std::printf("  %-20s %9.4f ms wall %9.4f ms cpu\n", "plain fill (floor)", fill.wall, fill.cpu);
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
        const Times t = perCall(reps, [&] {
            if (!tv32GenerateTexture(2, 0, tex, size, size, 0, &buf, 0, 0, nullptr)) ++failures;
        });
        std::printf("  %-20s %9.4f ms wall %9.4f ms cpu  (%.0f x the fill, cpu)\n", names[kind], t.wall,
                    t.cpu, t.cpu / fill.cpu);
    }
    tv32TextureDataFree(tex);
    buf32Free(buf);
    return failures ? 1 : 0;
}
