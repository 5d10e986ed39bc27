#include "variations.h"

#include "texturelib.h"

#include "imagelib/tv32clips.h"
#include "imagelib/tv32txtur.h"

#include <cstring>

namespace borderfx {

namespace {

thread_local uint32_t randState = 1;

TV32TEXTURERECORD& record(void* object) {
    return *static_cast<TV32TEXTURERECORD*>(object);
}

// r * k / 32767, reaching k only for r = 32767.
int32_t scaled(int32_t k) {
    return int32_t(int64_t(RuntimeRand()) * k / 32767);
}

// Modulo m, a result of 0 becoming 1.
int32_t modNonZero(int32_t v, int32_t m) {
    v %= m;
    return v == 0 ? 1 : v;
}

void applyCellRule(int cell, TV32TEXTURERECORD& r, int32_t& table) {
    switch (cell) {
    case 0:
        table += 1;
        r.angle += 35;
        r.octaves += 1;
        if (r.octaves == 5) r.octaves = 1;
        break;
    case 1: {
        table += 3;
        r.angle += 45;
        r.kind = 3;
        r.frequencyX = modNonZero(r.frequencyX, 17);
        r.frequencyY = modNonZero(r.frequencyY, 17);
        int32_t v = r.distortion + 50;
        if (v > 200) v = 200 - v;
        v += 50;
        if (v > 200) v = 250 - v;
        r.distortion = v;
        break;
    }
    case 2:
        table += 2;
        r.angle += 70;
        break;
    case 3:
        table += 4;
        r.angle += 80;
        r.kind = r.kind == 0 ? 2 : 0;
        break;
    case 5:
        table += 4;
        r.angle += 115;
        r.kind = r.kind == 3 ? 2 : 3;
        if (r.kind == 3) {
            r.frequencyX = modNonZero(r.frequencyX, 11);
            r.frequencyY = modNonZero(r.frequencyY, 11);
        }
        break;
    case 6:
        table += 5;
        r.angle += 150;
        r.repetitions = (r.repetitions + 2) % 17;
        break;
    case 7:
        table += 6;
        r.angle += 160;
        r.repetitions = (r.repetitions + 1) % 17;
        break;
    case 8:
        table += 7;
        r.angle += 188;
        break;
    default:
        break;
    }
}

} // namespace

int32_t RuntimeRand() {
    randState = randState * 214013u + 2531011u;
    return int32_t((randState >> 16) & 0x7FFF);
}

void RuntimeRandReset() {
    randState = 1;
}

void CopyTextureParams(void* to, const void* from) {
    if (!to || !from || to == from) return;
    auto& dst = record(to);
    const int32_t count = dst.colorCount;
    const uint32_t table = dst.colorTable;
    std::memcpy(&dst, from, sizeof(TV32TEXTURERECORD));
    dst.colorCount = count;
    dst.colorTable = table;
}

int MakeVariations(VariationSet& set) {
    void* middle = set.objects[4];
    if (!middle) return 0;
    int ok = 1;
    for (int i = 0; i < 9; ++i) {
        if (i == 4) continue;
        if (!set.objects[i]) {
            ok = 0;
            continue;
        }
        set.tables[i] = set.tables[4];
        CopyTextureParams(set.objects[i], middle);
        auto& r = record(set.objects[i]);
        applyCellRule(i, r, set.tables[i]);
        set.tables[i] %= TV32_PREDEFINED_TABLES;
        r.angle %= 360;
        if (!tv32GetPredefined256ColorTable(set.tables[i], 0, &r.colorCount, &r.colorTable, 0)) ok = 0;
    }
    return ok;
}

void RandomTextureParams(void* object) {
    auto& r = record(object);
    r.kind = scaled(3);
    r.frequencyX = scaled(63) + 1;
    r.frequencyY = scaled(63) + 1;
    r.octaves = scaled(3) + 1;
    r.turbulence = scaled(100);
    r.distortion = scaled(200);
    r.pattern = r.kind == 3 ? scaled(99) + 1 : scaled(2) + 1;
    r.contrast = scaled(100);
    r.brightness = scaled(100);
    r.colorAmount = scaled(100);
    r.colorOffset = scaled(255) + 1;
    r.angle = scaled(359);
    r.repetitions = scaled(15) + 1;
}

int RandomizeTexture(void** middle) {
    if (!middle || !*middle) return 0;
    if (!LoadedLibrary()) {
        // The path last built; a process that never built one builds it now.
        LoadTextureLibrary(LibraryPath().empty() ? BuildLibraryPath() : LibraryPath());
    }
    if (void* list = LoadedLibrary()) {
        const int32_t k = tv32IIOAction(list, TV32_IIO_COUNT, 0, nullptr);
        const int32_t n = scaled(k - 1);
        void* texture = nullptr;
        if (LoadLibraryTexture(list, n, &texture)) {
            const int duplicated = tv32TextureDataDuplicate(texture, middle);
            tv32TextureDataFree(texture);
            if (duplicated) return 1;
        }
    }
    RandomTextureParams(*middle);
    return 1;
}

} // namespace borderfx
