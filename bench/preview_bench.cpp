// One preview refresh of the frame-and-shadow dialog: a 280 x 300 true-colour preview image with
// the default parameters (frame 10, offsets 10, blend 10, transparency 20) around a selection,
// against one memcpy of the preview image (the floor). Prints both medians and the ratio.
//   preview_bench [ROUNDS]
#include "benchtime.h"

#include "entry.h"
#include "preview.h"

#include "imagelib/tv32base.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using bench::Clock;
using bench::median;
using bench::ms;

} // namespace

int main(int argc, char** argv) {
    using namespace borderfx;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int w = 280, h = 300;
    std::vector<uint8_t> px(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = px.data() + (std::size_t(y) * w + x) * 3;
            p[0] = uint8_t(x * 255 / w);
            p[1] = uint8_t(y * 255 / h);
            p[2] = uint8_t(((x / 32) ^ (y / 32)) & 1 ? 200 : 60);
        }
    TV32HBUF image = 0;
    if (!buf32Alloc(&image, 24, w, h, BUF32_FILL_NONE, nullptr) ||
        !buf32MergeMem(image, 0, 0, px.data(), w, h)) {
        std::fprintf(stderr, "preview_bench: cannot make the image\n");
        return 1;
    }
    PlugInRecord rec{};
    rec.sourceImage = image;
    rec.selection = TV32RECT{30, 30, 250, 270};
    rec.bitsPerPixel = 24;
    rec.hostColor = 0x00FFFFFF;
    SetDefaultParams(&rec);
    {
        PreviewState state;
        // A pane whose inner area holds the image: previewed at full size.
        if (SetupPreview(state, TV32RECT{0, 0, 320, 340}, rec) != SetupResult::Ok || state.image != image) {
            std::fprintf(stderr, "preview_bench: set-up failed\n");
            return 1;
        }
        std::vector<double> refresh, copy;
        std::vector<uint8_t> dst(px.size());
        for (int i = 0; i < rounds; ++i) {
            const auto a = Clock::now();
            if (!RenderPreview(state, rec, PreviewSwitches{})) {
                std::fprintf(stderr, "preview_bench: refresh failed\n");
                return 1;
            }
            const auto b = Clock::now();
            std::memcpy(dst.data(), px.data(), px.size());
            const auto c = Clock::now();
            refresh.push_back(ms(a, b));
            copy.push_back(ms(b, c));
            px[std::size_t(i) % px.size()] ^= dst[std::size_t(i * 7) % dst.size()]; // keep the copy alive
        }
        const double r = median(refresh), m = median(copy);
        std::printf("preview refresh 280x300, default parameters: %.3f ms (median of %d)\n", r, rounds);
        std::printf("memcpy of the preview image (%zu bytes):     %.4f ms\n", px.size(), m);
        std::printf("ratio refresh / memcpy: %.1f; target under 5 ms: %s\n", r / m,
                    r < 5.0 ? "met" : "MISSED");
    }
    buf32Free(image);
    return 0;
}
