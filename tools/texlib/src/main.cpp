// texlib: writes the texture library file (qxmagic.smp) of the frame filter from the textures
// listed below, and optionally a contact sheet of them for looking at; or, for the fuzz target of
// the library reader, a few small library files made from the same textures.
//   texlib OUTPUT.smp [--sheet SHEET.png]
//   texlib --fuzz-seeds FOLDER
#include "imagelib/imagelib.h"

#include <QImage>
#include <QString>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Entry {
    const char* name;
    int kind, freqX, freqY, octaves, turbulence, distortion, pattern, contrast, brightness, colour, offset,
        angle, repetitions, table;
};

// name, kind, frequency across/down, octaves, turbulence, distortion, pattern, contrast,
// brightness, colour strength, colour offset, angle, repetitions, colour table
const Entry kTextures[] = {
    {"Oak Plank", 2, 6, 3, 3, 20, 30, 2, 55, 50, 80, 1, 90, 4, 0},
    {"Walnut", 2, 8, 4, 3, 30, 40, 1, 60, 50, 75, 40, 85, 5, 1},
    {"Cherry", 2, 5, 3, 2, 10, 25, 2, 50, 52, 80, 1, 95, 3, 2},
    {"Pine Board", 2, 4, 2, 3, 20, 35, 2, 60, 55, 75, 1, 90, 6, 3},
    {"Mahogany", 2, 10, 4, 4, 40, 50, 1, 55, 50, 80, 60, 80, 4, 4},
    {"Birch", 2, 6, 3, 2, 20, 20, 3, 45, 55, 70, 1, 0, 3, 5},
    {"Ebony", 2, 8, 4, 3, 20, 30, 2, 70, 55, 60, 1, 90, 7, 6},
    {"Burl", 2, 16, 16, 4, 60, 120, 1, 55, 50, 80, 1, 0, 3, 1},
    {"Granite", 0, 24, 24, 3, 60, 30, 1, 65, 50, 75, 1, 0, 2, 7},
    {"Sandstone", 0, 6, 20, 3, 30, 60, 3, 55, 52, 80, 1, 10, 3, 8},
    {"Slate", 0, 4, 24, 4, 20, 40, 3, 60, 45, 75, 30, 0, 2, 9},
    {"Basalt", 0, 30, 30, 4, 80, 20, 1, 65, 50, 60, 1, 0, 1, 10},
    {"Terracotta", 0, 12, 12, 3, 40, 30, 1, 50, 50, 80, 1, 0, 1, 11},
    {"Cobbles", 0, 10, 10, 2, 100, 40, 2, 70, 50, 75, 1, 0, 1, 12},
    {"White Marble", 1, 6, 6, 4, 70, 60, 1, 55, 55, 75, 1, 30, 2, 13},
    {"Black Marble", 1, 5, 5, 4, 90, 80, 2, 60, 50, 75, 1, 120, 2, 14},
    {"Green Marble", 1, 8, 8, 4, 60, 100, 1, 60, 50, 80, 1, 60, 3, 15},
    {"Rose Marble", 1, 6, 6, 3, 50, 70, 1, 50, 55, 75, 1, 20, 2, 16},
    {"Malachite", 2, 8, 8, 3, 40, 120, 1, 60, 50, 85, 1, 0, 4, 17},
    {"Lapis", 0, 14, 14, 4, 70, 60, 1, 65, 50, 80, 1, 0, 2, 18},
    {"Brushed Gold", 0, 64, 2, 2, 10, 5, 1, 60, 52, 80, 1, 0, 2, 19},
    {"Brushed Silver", 0, 64, 2, 2, 10, 5, 1, 55, 52, 50, 1, 0, 1, 20},
    {"Hammered Copper", 0, 16, 16, 2, 100, 20, 2, 60, 50, 80, 1, 0, 1, 21},
    {"Bronze Ripple", 3, 6, 6, 2, 30, 40, 20, 55, 50, 75, 1, 30, 6, 22},
    {"Steel Plate", 3, 8, 8, 1, 0, 0, 20, 60, 50, 60, 1, 45, 8, 23},
    {"Rust", 0, 20, 20, 4, 60, 80, 1, 65, 48, 85, 1, 0, 2, 24},
    {"Verdigris", 0, 12, 12, 4, 80, 100, 3, 60, 50, 75, 1, 0, 1, 25},
    {"Clouds", 0, 4, 4, 4, 30, 40, 1, 50, 55, 75, 1, 0, 1, 26},
    {"Sunset", 1, 3, 6, 3, 20, 60, 1, 45, 50, 85, 1, 0, 1, 27},
    {"Dawn Haze", 0, 3, 6, 3, 20, 80, 1, 45, 55, 75, 1, 0, 1, 28},
    {"Starry Night", 0, 50, 50, 4, 100, 10, 2, 80, 45, 75, 1, 0, 1, 29},
    {"Storm", 0, 5, 5, 4, 70, 120, 1, 60, 45, 60, 1, 0, 2, 30},
    {"Flames", 1, 10, 3, 4, 80, 140, 2, 60, 50, 90, 1, 90, 3, 31},
    {"Embers", 0, 20, 20, 4, 100, 60, 2, 70, 50, 85, 1, 0, 1, 32},
    {"Lava Flow", 1, 8, 8, 4, 80, 180, 2, 65, 50, 90, 1, 20, 3, 33},
    {"Ice Crystal", 0, 18, 18, 3, 100, 40, 2, 60, 55, 75, 1, 0, 1, 34},
    {"Glacier", 1, 4, 8, 4, 40, 90, 3, 55, 50, 75, 1, 160, 2, 35},
    {"Frost", 0, 30, 30, 4, 90, 60, 2, 55, 55, 70, 1, 0, 2, 36},
    {"Ocean Waves", 3, 6, 6, 3, 30, 80, 8, 50, 50, 80, 1, 10, 3, 37},
    {"Lagoon", 3, 8, 8, 2, 20, 60, 12, 50, 55, 80, 1, 30, 10, 38},
    {"Forest Floor", 0, 16, 16, 4, 70, 50, 1, 60, 50, 80, 1, 0, 2, 39},
    {"Moss", 0, 24, 24, 4, 50, 40, 3, 55, 50, 80, 1, 0, 1, 40},
    {"Autumn Leaves", 0, 12, 12, 3, 90, 90, 2, 60, 50, 90, 1, 0, 2, 41},
    {"Dunes", 3, 4, 4, 3, 20, 120, 6, 50, 52, 75, 1, 20, 1, 42},
    {"Pastel Swirl", 1, 4, 4, 3, 30, 160, 1, 45, 55, 80, 1, 0, 4, 43},
    {"Candy Bubbles", 3, 2, 2, 1, 0, 30, 8, 55, 52, 85, 1, 45, 1, 44},
    {"Lavender Silk", 1, 3, 12, 3, 20, 80, 1, 50, 52, 75, 1, 80, 6, 45},
    {"Ruby Weave", 3, 8, 8, 2, 20, 10, 16, 60, 50, 85, 1, 0, 16, 46},
    {"Emerald Facets", 0, 8, 8, 1, 100, 0, 3, 65, 50, 85, 1, 0, 3, 47},
    {"Sapphire Deep", 1, 6, 6, 4, 60, 100, 1, 60, 50, 85, 1, 40, 2, 48},
    {"Amethyst Geode", 2, 10, 10, 3, 60, 80, 3, 60, 50, 85, 1, 0, 6, 49},
    {"Topaz Glow", 0, 6, 6, 3, 40, 60, 1, 55, 55, 85, 1, 0, 3, 50},
    {"Rainbow Waves", 3, 4, 4, 2, 20, 90, 6, 40, 55, 55, 1, 30, 2, 51},
};

constexpr int kThumb = 64;

bool sheet(const std::vector<void*>& textures, const char* path) {
    const int cell = 96, gap = 4, across = 8;
    const int down = int((textures.size() + across - 1) / across);
    QImage image(across * (cell + gap) + gap, down * (cell + gap) + gap, QImage::Format_RGB888);
    image.fill(Qt::darkGray);
    std::vector<uint8_t> px(std::size_t(cell) * cell * 3);
    for (std::size_t i = 0; i < textures.size(); ++i) {
        TV32HBUF b = 0;
        if (!tv32GenerateTexture(2, 0, textures[i], cell, cell, 0, &b, 0, 0, nullptr)) return false;
        buf32GetMem(b, 0, 0, cell, cell, px.data());
        buf32Free(b);
        const int ox = gap + int(i % across) * (cell + gap), oy = gap + int(i / across) * (cell + gap);
        for (int y = 0; y < cell; ++y)
            std::memcpy(image.scanLine(oy + y) + ox * 3, px.data() + std::size_t(y) * cell * 3,
                        std::size_t(cell) * 3);
    }
    return image.save(QString::fromLocal8Bit(path));
}

// The textures of the list as texture data objects (the caller frees them); empty on failure.
std::vector<void*> makeTextures() {
    std::vector<void*> textures;
    for (const Entry& e : kTextures) {
        void* t = nullptr;
        if (!tv32TextureDataAlloc(&t, 0, 0)) {
            for (void* made : textures)
                tv32TextureDataFree(made);
            return {};
        }
        textures.push_back(t);
        auto* r = static_cast<TV32TEXTURERECORD*>(t);
        r->kind = e.kind;
        r->frequencyX = e.freqX;
        r->frequencyY = e.freqY;
        r->octaves = e.octaves;
        r->turbulence = e.turbulence;
        r->distortion = e.distortion;
        r->pattern = e.pattern;
        r->contrast = e.contrast;
        r->brightness = e.brightness;
        r->colorAmount = e.colour;
        r->colorOffset = e.offset;
        r->angle = e.angle;
        r->repetitions = e.repetitions;
        tv32GetPredefined256ColorTable(e.table, 0, &r->colorCount, &r->colorTable, 0);
    }
    return textures;
}

bool writeLibrary(const std::string& path, const std::vector<void*>& textures, const std::vector<int>& picks,
                  int thumbW, int thumbH) {
    std::vector<TV32TEXLIBITEM> items;
    for (int i : picks)
        items.push_back({textures[std::size_t(i)], kTextures[i].name});
    return tv32TextureLibraryWrite(path.c_str(), items.data(), int32_t(items.size()), thumbW, thumbH) != 0;
}

// Small library files for the reader's fuzz target: one texture, a few, a few with small colour
// tables of their own, and all of them; tiny thumbnails keep the files short.
bool writeSeeds(const std::string& folder, const std::vector<void*>& textures) {
    std::vector<int> all;
    for (std::size_t i = 0; i < textures.size(); ++i)
        all.push_back(int(i));
    bool ok = writeLibrary(folder + "/one.smp", textures, {0}, 2, 2) &&
              writeLibrary(folder + "/three.smp", textures, {0, 8, 23}, 3, 2) &&
              writeLibrary(folder + "/all.smp", textures, all, 1, 1);
    const uint8_t colours[3][4] = {{200, 30, 30, 0}, {30, 200, 30, 0}, {30, 30, 200, 0}};
    std::vector<void*> own;
    for (int i : {2, 14, 26, 40}) {
        void* t = nullptr;
        if (!tv32TextureDataDuplicate(textures[std::size_t(i)], &t)) return false;
        tv32TextureSetColorEntry(t, 1 + i % 3, colours);
        own.push_back(t);
    }
    ok = ok && writeLibrary(folder + "/own-colours.smp", own, {0, 1, 2, 3}, 1, 1);
    for (void* t : own)
        tv32TextureDataFree(t);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const char* out = nullptr;
    const char* sheetPath = nullptr;
    const char* seeds = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sheet") == 0 && i + 1 < argc)
            sheetPath = argv[++i];
        else if (std::strcmp(argv[i], "--fuzz-seeds") == 0 && i + 1 < argc)
            seeds = argv[++i];
        else if (!out)
            out = argv[i];
        else
            out = nullptr, i = argc;
    }
    if (!out && !seeds) {
        std::fprintf(stderr, "usage: texlib OUTPUT.smp [--sheet SHEET.png] | texlib --fuzz-seeds FOLDER\n");
        return 2;
    }
    const std::vector<void*> textures = makeTextures();
    int status = textures.empty() ? 1 : 0;
    if (!status && seeds && !writeSeeds(seeds, textures)) {
        std::fprintf(stderr, "texlib: cannot write the seeds into %s\n", seeds);
        status = 1;
    }
    std::vector<int> all;
    for (std::size_t i = 0; i < textures.size(); ++i)
        all.push_back(int(i));
    if (!status && out && !writeLibrary(out, textures, all, kThumb, kThumb)) {
        std::fprintf(stderr, "texlib: cannot write %s\n", out);
        status = 1;
    }
    if (!status && sheetPath && !sheet(textures, sheetPath)) {
        std::fprintf(stderr, "texlib: cannot write %s\n", sheetPath);
        status = 1;
    }
    for (void* t : textures)
        tv32TextureDataFree(t);
    return status;
}
