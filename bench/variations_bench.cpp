// Texture variations: one round of the variations dialog's work after a pick (deriving the eight
// neighbours and drawing them at the dialog's cell size) against drawing the middle texture eight
// times at that size, the floor of the drawing alone. Prints the time per round and the ratio.
#include "benchtime.h"

#include "variations.h"

#include "imagelib/imagelib.h"

#include <cstdio>

int main() {
    using namespace borderfx;
    const int cw = 66, ch = 66, reps = 40;
    VariationSet set;
    for (void*& o : set.objects) {
        if (!tv32TextureDataAlloc(&o, 0, 0)) return 1;
    }
    auto* middle = static_cast<TV32TEXTURERECORD*>(set.objects[4]);
    middle->octaves = 4;
    middle->distortion = 120;
    TV32HBUF pictures[9] = {};
    int failures = 0;
    const double round = bench::perCall(reps, [&] {
                             failures += !MakeVariations(set);
                             for (int i = 0; i < 9; ++i) {
                                 if (i == 4) continue;
                                 TV32HBUF p = 0;
                                 failures +=
                                     !tv32GenerateTexture(2, 0, set.objects[i], cw, ch, 0, &p, 0, 0, nullptr);
                                 if (pictures[i]) buf32Free(pictures[i]);
                                 pictures[i] = p;
                             }
                         }).wall;
    const double floor = bench::perCall(reps, [&] {
                             for (int i = 0; i < 8; ++i) {
                                 TV32HBUF p = 0;
                                 failures +=
                                     !tv32GenerateTexture(2, 0, set.objects[4], cw, ch, 0, &p, 0, 0, nullptr);
                                 buf32Free(p);
                             }
                         }).wall;
    std::printf("variations_bench: %d x %d cells, %d rounds\n", cw, ch, reps);
    std::printf("  eight variations derived and drawn  %8.3f ms\n", round);
    std::printf("  middle texture drawn 8 times        %8.3f ms\n", floor);
    std::printf("  ratio                               %8.2f\n", round / floor);
    for (TV32HBUF p : pictures) {
        if (p) buf32Free(p);
    }
    for (void* o : set.objects)
        tv32TextureDataFree(o);
    return failures ? 1 : 0;
}
