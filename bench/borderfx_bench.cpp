// Frame and soft shadow around a 6000 x 4000 true-colour selection (frame 20, offsets 20, blend
// 50, transparency 20): the rendering and the opacity plane as the plug-in entry runs them
// (RenderAndComposeAlpha: RenderFrameAndShadow + ComposeOutsideAlpha, one soft-edge mask for
// both) against
//  - ImageMagick composing the same border and soft drop shadow from raw RGB to raw RGBA
//    (convert ... -border ... -shadow ... -layers merge), run as a child process on a smaller
//    picture and scaled linearly to the full canvas by pixel count (a full-size run takes
//    minutes; pass --magick-full to run it at full size instead);
//  - one memcpy of the canvas, the floor.
// Prints every time and both ratios.
//   borderfx_bench [WIDTH HEIGHT [ROUNDS [MAGICK_WIDTH MAGICK_HEIGHT]]] [--magick-full]
#include "benchtime.h"

#include "entry.h"
#include "render.h"

#include "imagelib/tv32base.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <malloc.h>
#include <unistd.h>

namespace {

using bench::Clock;
using bench::median;
using bench::ms;

// A photo-like picture: smooth gradients with some structure.
void fill(std::vector<uint8_t>& px, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = px.data() + (std::size_t(y) * w + x) * 3;
            p[0] = uint8_t(x * 255 / w);
            p[1] = uint8_t(y * 255 / h);
            p[2] = uint8_t(((x / 64) ^ (y / 64)) & 1 ? 200 : 60);
        }
}

FrameShadowParams benchParams() {
    FrameShadowParams p;
    std::memset(&p, 0, sizeof p);
    p.frameWidth = 20;
    p.shadowDirection = BFX_SHADOW_DOWN_RIGHT;
    p.shadowOffsetX = 20;
    p.shadowOffsetY = 20;
    p.blendWidth = 50;
    p.transparency = 20;
    p.frameColor = 0x00FF0000;
    p.shadowColor = 0;
    return p;
}

// ImageMagick: raw RGB in, framed picture with a soft shadow as raw RGBA out. Milliseconds of the
// whole child process, or a negative value when it failed.
double runMagick(int w, int h) {
    const std::string dir = "/tmp/borderfx_bench_" + std::to_string(getpid());
    const std::string in = dir + "/in.rgb", out = dir + "/out.rgba";
    if (std::system(("mkdir -p " + dir).c_str()) != 0) return -1;
    std::vector<uint8_t> px(std::size_t(w) * h * 3);
    fill(px, w, h);
    FILE* f = std::fopen(in.c_str(), "wb");
    if (!f) return -1;
    std::fwrite(px.data(), 1, px.size(), f);
    std::fclose(f);
    // Border 20 in blue; shadow of 80 % opacity (transparency 20), soft edge of 50 pixels
    // (sigma 25), offset 20 down and to the right; layered and flattened onto transparency.
    const std::string cmd =
        "/usr/bin/convert -size " + std::to_string(w) + "x" + std::to_string(h) + " -depth 8 rgb:" + in +
        " -bordercolor blue -border 20 \\( +clone -background black -shadow 80x25+20+20 \\)"
        " +swap -background none -layers merge +repage -depth 8 rgba:" +
        out;
    const auto t0 = Clock::now();
    const int rc = std::system(cmd.c_str());
    const auto t1 = Clock::now();
    std::system(("rm -rf " + dir).c_str());
    return rc == 0 ? ms(t0, t1) : -1;
}

} // namespace

int main(int argc, char** argv) {
    bool magickFull = false;
    std::vector<int> nums;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--magick-full") == 0)
            magickFull = true;
        else
            nums.push_back(std::atoi(argv[i]));
    }
    const int w = nums.size() > 1 ? nums[0] : 6000, h = nums.size() > 1 ? nums[1] : 4000;
    const int rounds = nums.size() > 2 ? nums[2] : 5;
    int mw = nums.size() > 4 ? nums[3] : 1500, mh = nums.size() > 4 ? nums[4] : 1000;
    if (magickFull) {
        mw = w;
        mh = h;
    }
    const FrameShadowParams params = benchParams();
    const borderfx::FrameLayout l = borderfx::LayoutForSize(w, h, params);
    const int cw = l.canvas.right, ch = l.canvas.bottom;
    std::printf("selection %d x %d, canvas %d x %d, frame 20, offsets 20, blend 50, transparency 20\n", w, h,
                cw, ch);

    // The host's image is the canvas: the selection inside it at the image rectangle, the rest
    // transparent, so the shadow is laid into the result where it falls.
    std::vector<uint8_t> px(std::size_t(w) * h * 3);
    fill(px, w, h);
    TV32HBUF source = 0, background = 0, alpha = 0;
    const uint8_t white[3] = {255, 255, 255};
    if (!buf32Alloc(&source, 24, w, h, BUF32_FILL_NONE, nullptr) ||
        !buf32MergeMem(source, 0, 0, px.data(), w, h) ||
        !buf32Alloc(&background, 24, cw, ch, BUF32_FILL_VALUE, white) ||
        !buf32Alloc(&alpha, 8, cw, ch, BUF32_FILL_ZERO, nullptr)) {
        std::fprintf(stderr, "cannot allocate the pictures\n");
        return 1;
    }
    PlugInRecord rec;
    std::memset(&rec, 0, sizeof rec);
    rec.params = params;
    rec.selection = {l.image.left, l.image.top, l.image.right, l.image.bottom};
    rec.alphaSource = alpha;
    rec.imageWidth = cw;
    rec.imageHeight = ch;
    rec.bitsPerPixel = 24;
    const TV32RECT output{0, 0, cw, ch};

    // One round: render into a new result and compose its opacity plane into a new plane, as
    // the entry does; then the rendering alone (as the preview runs it) for comparison.
    auto measure = [&](std::vector<double>& ours, std::vector<double>& renders) {
        for (int r = 0; r < rounds; ++r) {
            TV32HBUF result = 0, plane = 0;
            rec.resultImage = &result;
            rec.resultAlpha = &plane;
            const auto t0 = Clock::now();
            const int ok = borderfx::RenderAndComposeAlpha(&rec, source, background, output);
            const auto t1 = Clock::now();
            buf32Free(result);
            buf32Free(plane);
            if (ok != 1) return false;
            ours.push_back(ms(t0, t1));
            result = 0;
            const auto t2 = Clock::now();
            const int rendered = borderfx::RenderFrameAndShadow(
                source, background, nullptr, borderfx::kTargetTrueColor, &rec.params, &result, 0, nullptr);
            const auto t3 = Clock::now();
            buf32Free(result);
            if (!rendered) return false;
            renders.push_back(ms(t2, t3));
        }
        return true;
    };
    // First as the process's allocator comes, then with the C heap tuned to keep freed memory,
    // as a host that processes many images might. The image library takes the pixels of large
    // buffers from the system itself and keeps a few freed ones for the next call, so the two
    // differ little; the first call of the first round pays for pages fresh from the system
    // (printed as "first call").
    std::vector<double> ours, renders, oursWarm, rendersWarm;
    if (!measure(ours, renders)) {
        std::fprintf(stderr, "rendering failed\n");
        return 1;
    }
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    if (!measure(oursWarm, rendersWarm)) return 1;

    // The floor: one copy of the canvas's bytes between two buffers already in memory.
    const std::size_t bytes = std::size_t(cw) * ch * 3;
    std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
    std::vector<double> copies;
    for (int r = 0; r < rounds; ++r) {
        a[std::size_t(r)] = uint8_t(r);
        const auto t0 = Clock::now();
        std::memcpy(b.data(), a.data(), bytes);
        const auto t1 = Clock::now();
        copies.push_back(ms(t0, t1));
    }
    volatile uint8_t sink = b[bytes / 2];
    // The same copy into memory fresh from the system each time (page faults included).
    std::vector<double> freshCopies;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = Clock::now();
        auto* fresh = static_cast<uint8_t*>(std::malloc(bytes));
        if (!fresh) return 1;
        std::memcpy(fresh, a.data(), bytes);
        const auto t1 = Clock::now();
        sink = fresh[bytes / 3];
        std::free(fresh);
        freshCopies.push_back(ms(t0, t1));
    }
    (void)sink;

    const double magick = runMagick(mw, mh);
    const double ourMs = median(ours), copyMs = median(copies);
    const double warmMs = median(oursWarm), freshMs = median(freshCopies);
    std::printf("borderfx render + opacity plane: %.1f ms (median of %d; first call %.1f ms; rendering alone "
                "%.1f ms)\n",
                ourMs, rounds, ours.front(), median(renders));
    std::printf("  the same, freed memory kept:   %.1f ms (rendering alone %.1f ms)\n", warmMs,
                median(rendersWarm));
    std::printf("memcpy of the canvas (%.1f MB):  %.1f ms (median of %d); into fresh memory %.1f ms\n",
                bytes / 1e6, copyMs, rounds, freshMs);
    std::printf("borderfx / memcpy:               %.2fx (freed memory kept: %.2fx; target at most 6x)\n",
                ourMs / copyMs, warmMs / copyMs);
    if (magick < 0) {
        std::printf("ImageMagick: failed or not installed (/usr/bin/convert; scripts/setup-deps --bench)\n");
        return 0;
    }
    const double canvasPixels = double(cw) * ch;
    const double magickPixels = double(mw + 40 + 45) * (mh + 40 + 45); // about its canvas
    const double magickScaled = magick * canvasPixels / magickPixels;
    std::printf("ImageMagick at %d x %d:         %.1f ms (one run)%s\n", mw, mh, magick,
                mw == w && mh == h ? "" : ", scaled linearly by canvas pixels:");
    if (mw != w || mh != h) std::printf("ImageMagick scaled to full size:  %.1f ms\n", magickScaled);
    std::printf("ImageMagick / borderfx:           %.1fx (target at least 100x)\n", magickScaled / ourMs);
    buf32Free(source);
    buf32Free(background);
    buf32Free(alpha);
    return 0;
}
