// Draws a contact sheet of varied textures into a PNG, to look at the generator's pictures:
//   texture_sheet out.png [cell size]
// 48 records: the four kinds in turn, with many colour tables and a spread of the other fields.
#include "imagelib/imagelib.h"

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: texture_sheet out.png [cell size]\n");
        return 2;
    }
    const int cell = argc > 2 ? std::atoi(argv[2]) : 128;
    const int across = 8, down = 6, gap = 4;
    QImage sheet(across * (cell + gap) + gap, down * (cell + gap) + gap, QImage::Format_RGB888);
    sheet.fill(Qt::darkGray);
    void* tex = nullptr;
    if (!tv32TextureDataAlloc(&tex, 0, 0)) return 1;
    auto* r = static_cast<TV32TEXTURERECORD*>(tex);
    for (int i = 0; i < across * down; ++i) {
        // A spread of values from a small fixed sequence.
        const auto pick = [i](int k, int lo, int hi) {
            return lo + (i * k * 7919 + k * 104729) % (hi - lo + 1);
        };
        r->kind = i % 4;
        r->frequencyX = pick(3, 1, 24);
        r->frequencyY = r->kind == 2 ? pick(5, 1, 12) : pick(5, 1, 24);
        r->octaves = 1 + (i / 4) % 4;
        r->turbulence = pick(7, 0, 100);
        r->distortion = pick(11, 0, 200);
        r->pattern = r->kind == 3 ? pick(13, 1, 40) : 1 + (i / 8) % 3;
        r->contrast = pick(17, 30, 80);
        r->brightness = pick(19, 35, 65);
        r->colorAmount = pick(23, 55, 100);
        r->colorOffset = pick(29, 1, 256);
        r->angle = pick(31, 0, 359);
        r->repetitions = pick(37, 1, 8);
        int32_t count = 0;
        uint32_t ref = 0;
        tv32GetPredefined256ColorTable(i % TV32_PREDEFINED_TABLES, 0, &count, &ref, 0);
        r->colorCount = count;
        r->colorTable = ref;
        TV32HBUF b = 0;
        if (!tv32GenerateTexture(2, 0, tex, cell, cell, 0, &b, 0, 0, nullptr)) return 1;
        std::vector<uint8_t> px(std::size_t(cell) * cell * 3);
        buf32GetMem(b, 0, 0, cell, cell, px.data());
        buf32Free(b);
        const int ox = gap + (i % across) * (cell + gap), oy = gap + (i / across) * (cell + gap);
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x) {
                const uint8_t* p = &px[(std::size_t(y) * cell + x) * 3];
                sheet.setPixel(ox + x, oy + y, qRgb(p[0], p[1], p[2]));
            }
    }
    tv32TextureDataFree(tex);
    return sheet.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
