// Texture library: texture data objects, colour tables and the generator that draws a texture
// record as a true-colour picture.
//
// Pictures are computed from integer-hashed gradient noise (no global random state), so a record
// always gives the same pixels. Per pixel the work is a handful of noise lookups and table reads:
// the colour lookup (colour table, offset, strength and brightness) is folded into one table per
// call, and waves use a sine table.
#include "imagelib/tv32guard.h"
#include "imagelib/tv32txtur.h"

#include "colortables.h"
#include "store.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tv32 {
namespace {

// References of the predefined tables; custom tables get references below this range.
constexpr uint32_t kPredefinedBase = 0xFFFF0000u;

struct TextureObject {
    TV32TEXTURERECORD rec{};
    uint32_t held = 0; // custom colour table this object keeps alive, 0 for none
};

struct CustomTable {
    std::vector<uint8_t> rgb; // 3 bytes per entry
    int refs = 0;
};

struct Library {
    std::mutex mutex;
    std::unordered_set<const void*> objects;
    std::unordered_map<uint32_t, CustomTable> tables;
    uint32_t next = 1;
};

Library& library() {
    static Library* l = new Library; // never destroyed: objects may be freed during exit
    return *l;
}

bool isObject(const Library& l, const void* p) {
    return p && l.objects.count(p);
}

bool isPredefined(uint32_t ref) {
    return ref >= kPredefinedBase && ref < kPredefinedBase + TV32_PREDEFINED_TABLES;
}

void addRef(Library& l, uint32_t ref) {
    auto it = l.tables.find(ref);
    if (it != l.tables.end()) ++it->second.refs;
}

void release(Library& l, uint32_t ref) {
    auto it = l.tables.find(ref);
    if (it != l.tables.end() && --it->second.refs <= 0) l.tables.erase(it);
}

// Keeps 'ref' alive for obj (when it is a live custom table) instead of what obj held before.
void hold(Library& l, TextureObject& obj, uint32_t ref) {
    const uint32_t keep = l.tables.count(ref) ? ref : 0;
    if (keep) addRef(l, keep);
    if (obj.held) release(l, obj.held);
    obj.held = keep;
}

// A new custom table reference, never 0, never predefined, not in use.
uint32_t newReference(Library& l) {
    for (;;) {
        const uint32_t r = l.next++;
        if (l.next >= kPredefinedBase) l.next = 1;
        if (r != 0 && !l.tables.count(r)) return r;
    }
}

TV32TEXTURERECORD defaultRecord() {
    TV32TEXTURERECORD r{};
    r.kind = 0;
    r.frequencyX = r.frequencyY = 12;
    r.octaves = 3;
    r.turbulence = 30;
    r.distortion = 40;
    r.pattern = 1;
    r.contrast = r.brightness = 50;
    r.colorAmount = 75;
    r.colorOffset = 1;
    r.angle = 0;
    r.repetitions = 1;
    r.colorCount = 256;
    r.colorTable = kPredefinedBase;
    return r;
}

// ---- noise ----------------------------------------------------------------------------------

// Lattice hashing through a fixed permutation of 0..255 (repeated, so two lookups never need a
// wrap). The permutation comes from a fixed linear congruential shuffle: the same in every run.
struct Permutation {
    uint8_t p[512];
    Permutation() {
        uint32_t state = 0x2545F491u;
        uint8_t v[256];
        for (int i = 0; i < 256; ++i)
            v[i] = uint8_t(i);
        for (int i = 255; i > 0; --i) {
            state = state * 1664525u + 1013904223u;
            const int j = int((state >> 8) % uint32_t(i + 1));
            std::swap(v[i], v[j]);
        }
        for (int i = 0; i < 512; ++i)
            p[i] = v[i & 255];
    }
};
const Permutation& permutation() {
    static const Permutation p;
    return p;
}

// A noise field: its lattice is shifted by (dx, dy) cells against the others.
struct Field {
    int32_t dx, dy;
};

struct Gradients {
    float x[16], y[16];
    Gradients() {
        for (int i = 0; i < 16; ++i) {
            const double a = (i + 0.5) * 6.283185307179586 / 16.0;
            x[i] = float(std::cos(a));
            y[i] = float(std::sin(a));
        }
    }
};
const Gradients& gradients() {
    static const Gradients g;
    return g;
}

inline float fade(float t) {
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

// Gradient noise, about -1..1. Coordinates are kept positive by the caller's offset, so the
// integer conversion is a floor. The lattice repeats every 256 cells.
[[gnu::always_inline]] inline float noise(const Gradients& g, const uint8_t* perm, float x, float y,
                                          Field f) {
    const int32_t ix = int32_t(x), iy = int32_t(y);
    const float dx = x - float(ix), dy = y - float(iy);
    const int xi = (ix + f.dx) & 255, yi = (iy + f.dy) & 255;
    const int a = perm[xi] + yi, b = perm[xi + 1] + yi;
    const int h00 = perm[a] & 15, h01 = perm[a + 1] & 15, h10 = perm[b] & 15, h11 = perm[b + 1] & 15;
    const float n00 = g.x[h00] * dx + g.y[h00] * dy;
    const float n10 = g.x[h10] * (dx - 1.0f) + g.y[h10] * dy;
    const float n01 = g.x[h01] * dx + g.y[h01] * (dy - 1.0f);
    const float n11 = g.x[h11] * (dx - 1.0f) + g.y[h11] * (dy - 1.0f);
    const float u = fade(dx), v = fade(dy);
    const float a0 = n00 + (n10 - n00) * u, b0 = n01 + (n11 - n01) * u;
    return (a0 + (b0 - a0) * v) * 1.414f;
}

constexpr int kSineSize = 4096;
struct Sine {
    float v[kSineSize];
    Sine() {
        for (int i = 0; i < kSineSize; ++i)
            v[i] = float(0.5 + 0.5 * std::sin(i * 6.283185307179586 / kSineSize));
    }
};
const Sine& sine() {
    static const Sine s;
    return s;
}
// 0.5 + 0.5 sin(2 pi phase)
inline float wave(const Sine& s, float phase) {
    return s.v[int32_t(phase * kSineSize + 1048576.0f) & (kSineSize - 1)];
}

inline float frac(float v) {
    return v - std::floor(v);
}

int clampField(int32_t v, int lo, int hi) {
    return std::clamp(int(v), lo, hi);
}

// ---- drawing --------------------------------------------------------------------------------

struct Params {
    int kind, octaves, profile, reps, count;
    float freqX, freqY, turbulence, warp, contrast;
    float cosA, sinA;
};

Params paramsOf(const TV32TEXTURERECORD& r) {
    Params p{};
    p.kind = clampField(r.kind, 0, 3);
    p.freqX = 0.75f + float(clampField(r.frequencyX, 1, 64)) / 4.0f;
    p.freqY = 0.75f + float(clampField(r.frequencyY, 1, 64)) / 4.0f;
    p.octaves = clampField(r.octaves, 1, 4);
    p.turbulence = float(clampField(r.turbulence, 0, 100)) / 100.0f;
    p.warp = float(clampField(r.distortion, 0, 200)) / 100.0f * 0.12f;
    if (p.kind == 3) {
        p.count = clampField(r.pattern, 1, 100);
        p.profile = 1;
    } else {
        p.count = 1;
        p.profile = clampField(r.pattern, 1, 3);
    }
    p.contrast = float(std::exp2((clampField(r.contrast, 0, 100) - 50) / 33.0));
    p.reps = clampField(r.repetitions, 1, 16);
    const double a = clampField(((r.angle % 360) + 360) % 360, 0, 359) * 3.141592653589793 / 180.0;
    p.cosA = float(std::cos(a));
    p.sinA = float(std::sin(a));
    return p;
}

// Applies the profile to a value 0..1 (kind 0) or to a wave phase already turned into 0..1.
inline float profileOf(int profile, float g) {
    switch (profile) {
    case 2:
        return 1.0f - std::fabs(2.0f * g - 1.0f);
    case 3: {
        const float s = g * 5.0f, f = s - std::floor(s);
        return (std::floor(s) + f * f * f * 1.0f) / 5.0f;
    }
    default:
        return g;
    }
}

// Colour lookup for values 0..kLevels-1: the table cycled by the offset, then colour strength
// and brightness applied.
constexpr int kLevels = 1024;

struct Lookup {
    std::vector<uint8_t> rgb; // kLevels entries
};

bool buildLookup(const TV32TEXTURERECORD& r, const uint8_t* table, int entries, Lookup& out) {
    try {
        out.rgb.assign(std::size_t(kLevels) * 3, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const float strength = float(clampField(r.colorAmount, 0, 100)) / 75.0f;
    const int bright = (clampField(r.brightness, 0, 100) - 50) * 2;
    const int offset = clampField(r.colorOffset, 1, 256) - 1;
    for (int i = 0; i < kLevels; ++i) {
        int c[3];
        if (entries > 0) {
            // Position in the table, in 1/256 of an entry; the table is cyclic, neighbours blended.
            const int64_t pos =
                (int64_t(i) * (entries - 1) * 256) / (kLevels - 1) + int64_t(offset) * entries;
            const int e0 = int((pos >> 8) % entries), e1 = (e0 + 1) % entries, w = int(pos & 255);
            for (int k = 0; k < 3; ++k)
                c[k] = (table[e0 * 3 + k] * (256 - w) + table[e1 * 3 + k] * w) >> 8;
        } else {
            c[0] = c[1] = c[2] = (i * 255) / (kLevels - 1);
        }
        const float grey = 0.299f * float(c[0]) + 0.587f * float(c[1]) + 0.114f * float(c[2]);
        for (int k = 0; k < 3; ++k) {
            const float v = grey + (float(c[k]) - grey) * strength + float(bright);
            out.rgb[std::size_t(i) * 3 + k] = uint8_t(std::clamp(int(std::lround(v)), 0, 255));
        }
    }
    return true;
}

constexpr Field kOctaveFields[4] = {{0, 0}, {91, 37}, {173, 211}, {59, 149}};
constexpr Field kWarpU = {17, 233}, kWarpV = {199, 83};
constexpr float kOrigin = 4096.0f; // keeps noise coordinates positive

// Warp field samples are taken every kWarpStep pixels of a row and blended between: the field is
// smooth on that scale (at most 17 features across the picture).
constexpr int kWarpStep = 4;

// One row of the picture, packed RGB. warp: scratch of width / kWarpStep + 2 pairs.
void drawRow(const Params& p, const Lookup& lut, int width, int height, int y, uint8_t* out, float* warp) {
    const Gradients& gr = gradients();
    const Sine& sn = sine();
    const uint8_t* perm = permutation().p;
    const float scale = 1.0f / float(std::max(width, height));
    const float t = (float(y) + 0.5f - float(height) * 0.5f) * scale;
    const float warpFreqX = std::max(1.0f, p.freqX * 0.5f), warpFreqY = std::max(1.0f, p.freqY * 0.5f);
    if (p.warp > 0.0f) {
        for (int k = 0; k <= width / kWarpStep + 1; ++k) {
            const float s = (float(k * kWarpStep) + 0.5f - float(width) * 0.5f) * scale;
            const float u = p.cosA * s - p.sinA * t, v = p.sinA * s + p.cosA * t;
            warp[2 * k] = p.warp * noise(gr, perm, u * warpFreqX + kOrigin + 0.3f,
                                         v * warpFreqY + kOrigin + 0.1f, kWarpU);
            warp[2 * k + 1] = p.warp * noise(gr, perm, u * warpFreqX + kOrigin + 0.7f,
                                             v * warpFreqY + kOrigin + 0.9f, kWarpV);
        }
    }
    for (int x = 0; x < width; ++x) {
        const float s = (float(x) + 0.5f - float(width) * 0.5f) * scale;
        // Rotated coordinates, centred on the picture.
        float u = p.cosA * s - p.sinA * t;
        float v = p.sinA * s + p.cosA * t;
        if (p.warp > 0.0f) {
            const int k = x / kWarpStep;
            const float w = float(x % kWarpStep) / float(kWarpStep);
            const float* a = warp + 2 * k;
            u += a[0] + (a[2] - a[0]) * w;
            v += a[1] + (a[3] - a[1]) * w;
        }
        float sum = 0.0f, absSum = 0.0f, norm = 0.0f, amp = 1.0f, f = 1.0f;
        for (int o = 0; o < p.octaves; ++o) {
            const float n =
                noise(gr, perm, u * p.freqX * f + kOrigin, v * p.freqY * f + kOrigin, kOctaveFields[o]);
            sum += amp * n;
            absSum += amp * std::fabs(n);
            norm += amp;
            amp *= 0.5f;
            f *= 2.0f;
        }
        const float smooth = sum / norm, billow = absSum / norm * 2.2f - 0.7f;
        const float n = smooth + (billow - smooth) * p.turbulence;
        float g;
        switch (p.kind) {
        case 0: {
            g = std::clamp(0.5f + 0.6f * n, 0.0f, 1.0f);
            if (p.reps > 1) {
                const float c = g * float(p.reps), fl = std::floor(c);
                g = (int(fl) & 1) ? 1.0f - (c - fl) : c - fl;
            }
            g = profileOf(p.profile, g);
            break;
        }
        case 1: {
            const float phase = u * float(p.reps) + n * 0.75f;
            g = p.profile == 1 ? wave(sn, phase) : profileOf(p.profile, frac(phase));
            break;
        }
        case 2: {
            const float du = u + 0.2f, dv = v * 0.3f;
            const float phase = std::sqrt(du * du + dv * dv) * float(p.reps) * 2.0f + n * 0.35f;
            g = p.profile == 1 ? wave(sn, phase) : profileOf(p.profile, frac(phase));
            break;
        }
        default: {
            const float crests = 1.0f + float(p.count - 1) * 0.25f;
            g = 0.5f * (wave(sn, u * crests + n * 0.4f) + wave(sn, v * float(p.reps) + n * 0.4f));
            break;
        }
        }
        g = std::clamp(0.5f + (g - 0.5f) * p.contrast, 0.0f, 1.0f);
        const uint8_t* c = &lut.rgb[std::size_t(int(g * float(kLevels - 1) + 0.5f)) * 3];
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
        out += 3;
    }
}

} // namespace
} // namespace tv32

using namespace tv32;

extern "C" {

TV32_API int TV32_CALL tv32TextureDataAlloc(void** object, int32_t, int32_t) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (!object) return 0;
        auto* obj = new (std::nothrow) TextureObject;
        if (!obj) return 0;
        obj->rec = defaultRecord();
        Library& l = library();
        std::lock_guard lock(l.mutex);
        try {
            l.objects.insert(obj);
        } catch (const std::bad_alloc&) {
            delete obj;
            return 0;
        }
        *object = obj;
        return 1;
    });
}

TV32_API int TV32_CALL tv32TextureDataDuplicate(const void* from, void** to) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (!from || !to) return 0;
        Library& l = library();
        std::lock_guard lock(l.mutex);
        if (!isObject(l, from) || (*to && !isObject(l, *to))) return 0;
        const auto* src = static_cast<const TextureObject*>(from);
        TextureObject* dst = static_cast<TextureObject*>(*to);
        if (dst == src) return 1;
        bool made = false;
        if (!dst) {
            dst = new (std::nothrow) TextureObject;
            if (!dst) return 0;
            try {
                l.objects.insert(dst);
            } catch (const std::bad_alloc&) {
                delete dst;
                return 0;
            }
            made = true;
        }
        hold(l, *dst, src->rec.colorTable);
        dst->rec = src->rec;
        if (made) *to = dst;
        return 1;
    });
}

TV32_API int TV32_CALL tv32TextureDataFree(void* texture) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (!texture) return 0;
        Library& l = library();
        std::lock_guard lock(l.mutex);
        if (!isObject(l, texture)) return 0;
        auto* obj = static_cast<TextureObject*>(texture);
        if (obj->held) release(l, obj->held);
        l.objects.erase(texture);
        delete obj;
        return 1;
    });
}

TV32_API int TV32_CALL tv32TextureSetColorEntry(void* texture, int32_t count, const void* entries) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (!texture || count < 0 || count > TV32_MAX_COLOR_ENTRIES || (count > 0 && !entries)) return 0;
        Library& l = library();
        std::lock_guard lock(l.mutex);
        if (!isObject(l, texture)) return 0;
        auto* obj = static_cast<TextureObject*>(texture);
        uint32_t ref = 0;
        if (count > 0) {
            CustomTable table;
            try {
                table.rgb.resize(std::size_t(count) * 3);
                const auto* in = static_cast<const uint8_t*>(entries);
                for (int i = 0; i < count; ++i)
                    for (int k = 0; k < 3; ++k)
                        table.rgb[std::size_t(i) * 3 + k] = in[i * 4 + k];
                ref = newReference(l);
                l.tables.emplace(ref, std::move(table));
            } catch (const std::bad_alloc&) {
                return 0;
            }
        }
        hold(l, *obj, ref);
        obj->rec.colorCount = count;
        obj->rec.colorTable = ref;
        return 1;
    });
}

TV32_API int TV32_CALL tv32GetPredefined256ColorTable(int32_t tableNumber, int32_t, int32_t* count,
                                                      uint32_t* reference, int32_t) {
    if (tableNumber < 0 || tableNumber >= TV32_PREDEFINED_TABLES || !count || !reference) return 0;
    *count = 256;
    *reference = kPredefinedBase + uint32_t(tableNumber);
    return 1;
}

TV32_API const char* TV32_CALL tv32PredefinedColorTableName(int32_t tableNumber) {
    if (tableNumber < 0 || tableNumber >= TV32_PREDEFINED_TABLES) return nullptr;
    return predefinedTableName(tableNumber);
}

TV32_API int32_t TV32_CALL tv32TextureGetColorEntries(const void* texture, void* entries,
                                                      int32_t maxEntries) {
    return tv32::guardLibrary(int32_t(0), [&]() -> int32_t {
        Library& l = library();
        std::lock_guard lock(l.mutex);
        if (!isObject(l, texture)) return 0;
        const auto& rec = static_cast<const TextureObject*>(texture)->rec;
        const uint8_t* rgb = nullptr;
        int n = 0;
        if (isPredefined(rec.colorTable)) {
            rgb = predefinedTable(int(rec.colorTable - kPredefinedBase));
            n = 256;
        } else if (auto it = l.tables.find(rec.colorTable); it != l.tables.end()) {
            rgb = it->second.rgb.data();
            n = int(it->second.rgb.size() / 3);
        }
        if (rec.colorCount <= 0) n = 0;
        n = std::min(n, int(rec.colorCount));
        auto* out = static_cast<uint8_t*>(entries);
        for (int i = 0; out && i < std::min(n, int(maxEntries)); ++i) {
            std::memcpy(out + i * 4, rgb + i * 3, 3);
            out[i * 4 + 3] = 0;
        }
        return n;
    });
}

TV32_API int TV32_CALL tv32GenerateTexture(int32_t version, int32_t, void* texture, int32_t width,
                                           int32_t height, int32_t, TV32HBUF* slot, int32_t, int32_t, void*) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (version != 2 || !texture || !slot || width <= 0 || height <= 0) return 0;
        TV32TEXTURERECORD rec;
        Lookup lut;
        {
            Library& l = library();
            std::lock_guard lock(l.mutex);
            if (!isObject(l, texture)) return 0;
            rec = static_cast<const TextureObject*>(texture)->rec;
            const uint8_t* table = nullptr;
            int entries = 0;
            if (rec.colorCount > 0 && rec.colorTable != 0) {
                if (isPredefined(rec.colorTable)) {
                    table = predefinedTable(int(rec.colorTable - kPredefinedBase));
                    entries = 256;
                } else if (auto it = l.tables.find(rec.colorTable); it != l.tables.end()) {
                    table = it->second.rgb.data();
                    entries = int(it->second.rgb.size() / 3);
                } else {
                    return 0; // a reference this library never gave out, or one already released
                }
                entries = std::min(entries, int(rec.colorCount));
            }
            if (!buildLookup(rec, table, entries, lut)) return 0;
        }

        Buffer* target = nullptr;
        std::unique_ptr<Buffer> made;
        if (*slot) {
            target = lookup(*slot);
            if (!target || target->bits != 24 || target->width != width || target->height != height) return 0;
        } else {
            made = makeBuffer(24, width, height, false);
            if (!made) return 0;
            target = made.get();
        }
        std::vector<uint8_t> row;
        std::vector<float> warp;
        try {
            row.resize(std::size_t(width) * 3);
            warp.resize((std::size_t(width) / kWarpStep + 2) * 2);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        const Params p = paramsOf(rec);
        for (int y = 0; y < height; ++y) {
            drawRow(p, lut, width, height, y, row.data(), warp.data());
            writeBlock(*target, 0, y, width, 1, row.data(), row.size());
        }
        if (made) {
            const TV32HBUF h = insert(std::move(made));
            if (!h) return 0;
            *slot = h;
        }
        return 1;
    });
}

TV32_API int32_t TV32_CALL tv32TextureCountLive(void) {
    return tv32::guardLibrary(int32_t(-1), [] {
        Library& l = library();
        std::lock_guard lock(l.mutex);
        return int32_t(l.objects.size() + l.tables.size());
    });
}

} // extern "C"
