// Texture library: objects and their colour tables, and the pictures of the generator.
#include "imagelib/imagelib.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

TV32TEXTURERECORD* rec(void* t) {
    return static_cast<TV32TEXTURERECORD*>(t);
}

// RAII holder of a texture data object.
struct Tex {
    void* p = nullptr;
    Tex() { EXPECT_TRUE(tv32TextureDataAlloc(&p, 0, 0)); }
    ~Tex() { tv32TextureDataFree(p); }
    Tex(const Tex&) = delete;
    Tex& operator=(const Tex&) = delete;
    TV32TEXTURERECORD* operator->() const { return rec(p); }
};

void usePredefined(void* t, int n) {
    ASSERT_TRUE(tv32GetPredefined256ColorTable(n, 0, &rec(t)->colorCount, &rec(t)->colorTable, 0));
}

// The pixels of the texture drawn at w x h into a new buffer.
std::vector<uint8_t> draw(void* t, int w = 64, int h = 48) {
    TV32HBUF b = 0;
    EXPECT_TRUE(tv32GenerateTexture(2, 0, t, w, h, 0, &b, 0, 0, nullptr));
    std::vector<uint8_t> px(std::size_t(w) * h * 3);
    EXPECT_TRUE(buf32GetMem(b, 0, 0, w, h, px.data()));
    EXPECT_TRUE(buf32Free(b));
    return px;
}

// A record with mid-range values of the given kind.
void setUp(void* t, int kind) {
    TV32TEXTURERECORD* r = rec(t);
    r->kind = kind;
    r->frequencyX = 10;
    r->frequencyY = 14;
    r->octaves = 2;
    r->turbulence = 40;
    r->distortion = 60;
    r->pattern = kind == 3 ? 20 : 1;
    r->contrast = 50;
    r->brightness = 50;
    r->colorAmount = 75;
    r->colorOffset = 30;
    r->angle = 20;
    r->repetitions = 3;
    usePredefined(t, 7);
}

TEST(Texture, SameRecordSamePixelsInNewAndExistingBuffers) {
    const int live = tv32TextureCountLive(), buffers = buf32CountLive();
    {
        Tex a, b;
        for (int kind = 0; kind < 4; ++kind) {
            setUp(a.p, kind);
            setUp(b.p, kind);
            const auto first = draw(a.p);
            EXPECT_EQ(first, draw(a.p));
            EXPECT_EQ(first, draw(b.p)) << "kind " << kind;

            // Into an existing buffer of the same size: same pixels, same handle.
            TV32HBUF target = 0;
            ASSERT_TRUE(buf32Alloc(&target, 24, 64, 48, BUF32_FILL_ZERO, nullptr));
            const TV32HBUF held = target;
            ASSERT_TRUE(tv32GenerateTexture(2, 0, a.p, 64, 48, 0, &target, 0, 0, nullptr));
            EXPECT_EQ(held, target);
            std::vector<uint8_t> px(first.size());
            ASSERT_TRUE(buf32GetMem(target, 0, 0, 64, 48, px.data()));
            EXPECT_EQ(first, px);
            buf32Free(target);
        }
    }
    EXPECT_EQ(live, tv32TextureCountLive());
    EXPECT_EQ(buffers, buf32CountLive());
}

TEST(Texture, PicturesDoNotDependOnTheCellSize) {
    Tex t;
    for (int kind = 0; kind < 4; ++kind) {
        setUp(t.p, kind);
        ASSERT_TRUE(buf32SetCellSize(0, 0));
        const auto reference = draw(t.p, 50, 37);
        ASSERT_TRUE(buf32SetCellSize(7, 5));
        EXPECT_EQ(reference, draw(t.p, 50, 37)) << "kind " << kind;
        ASSERT_TRUE(buf32SetCellSize(0, 0));
    }
}

// Every field, changed within its range, changes the picture; for every kind.
TEST(Texture, EveryFieldChangesThePicture) {
    struct Change {
        const char* name;
        std::size_t offset;
        int32_t value;
    };
    const std::array<Change, 12> changes = {{
        {"frequency across", 8, 11},
        {"frequency down", 12, 15},
        {"octaves", 16, 3},
        {"turbulence", 20, 41},
        {"distortion", 24, 61},
        {"pattern", 28, 2},
        {"contrast", 32, 60},
        {"brightness", 36, 55},
        {"colour strength", 40, 50},
        {"colour offset", 44, 31},
        {"angle", 48, 21},
        {"repetitions", 52, 4},
    }};
    Tex t;
    for (int kind = 0; kind < 4; ++kind) {
        setUp(t.p, kind);
        const auto base = draw(t.p);
        for (const Change& c : changes) {
            setUp(t.p, kind);
            int32_t v = c.value;
            if (kind == 3 && c.offset == 28) v = 21;
            std::memcpy(reinterpret_cast<uint8_t*>(t.p) + c.offset, &v, 4);
            EXPECT_NE(base, draw(t.p)) << "kind " << kind << ", " << c.name;
        }
        for (int other = 0; other < 4; ++other) {
            if (other == kind) continue;
            setUp(t.p, other);
            EXPECT_NE(base, draw(t.p)) << "kind " << kind << " against " << other;
        }
        setUp(t.p, kind);
        usePredefined(t.p, 8);
        EXPECT_NE(base, draw(t.p)) << "kind " << kind << ", colour table";
    }
}

TEST(Texture, PredefinedTablesAreDistinctAndNamed) {
    Tex t;
    std::vector<std::vector<uint8_t>> tables;
    for (int n = 0; n < TV32_PREDEFINED_TABLES; ++n) {
        usePredefined(t.p, n);
        EXPECT_EQ(256, t->colorCount);
        std::vector<uint8_t> e(256 * 4);
        ASSERT_EQ(256, tv32TextureGetColorEntries(t.p, e.data(), 256));
        for (const auto& other : tables)
            EXPECT_NE(other, e) << "table " << n;
        tables.push_back(e);
        ASSERT_NE(nullptr, tv32PredefinedColorTableName(n));
        EXPECT_GT(std::strlen(tv32PredefinedColorTableName(n)), 2u);
    }
    int32_t count = 7;
    uint32_t ref = 9;
    EXPECT_FALSE(tv32GetPredefined256ColorTable(-1, 0, &count, &ref, 0));
    EXPECT_FALSE(tv32GetPredefined256ColorTable(TV32_PREDEFINED_TABLES, 0, &count, &ref, 0));
    EXPECT_EQ(7, count);
    EXPECT_EQ(9u, ref);
    EXPECT_EQ(nullptr, tv32PredefinedColorTableName(TV32_PREDEFINED_TABLES));
}

TEST(Texture, CustomColoursAreSharedByDuplicatesAndFreedOnce) {
    const int live = tv32TextureCountLive();
    const uint8_t entries[] = {255, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0};
    void* a = nullptr;
    ASSERT_TRUE(tv32TextureDataAlloc(&a, 0, 0));
    setUp(a, 1);
    // As the library items are read: colour fields zeroed, then entries given.
    rec(a)->colorCount = 0;
    rec(a)->colorTable = 0;
    ASSERT_TRUE(tv32TextureSetColorEntry(a, 3, entries));
    EXPECT_EQ(3, rec(a)->colorCount);
    EXPECT_EQ(live + 2, tv32TextureCountLive()); // the object and its table
    const auto pictureA = draw(a);

    void* b = nullptr;
    ASSERT_TRUE(tv32TextureDataDuplicate(a, &b));
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(0, std::memcmp(a, b, 64));
    EXPECT_EQ(live + 3, tv32TextureCountLive()); // table shared
    // Duplicating into an existing object replaces what it had.
    void* c = nullptr;
    ASSERT_TRUE(tv32TextureDataAlloc(&c, 0, 0));
    void* const cWas = c;
    ASSERT_TRUE(tv32TextureDataDuplicate(b, &c));
    EXPECT_EQ(cWas, c);
    EXPECT_EQ(pictureA, draw(c));

    ASSERT_TRUE(tv32TextureDataFree(a));
    EXPECT_EQ(pictureA, draw(b)) << "the duplicate keeps the colours";
    // Overwriting the colour fields (a predefined table) keeps nothing dangling.
    usePredefined(b, 3);
    EXPECT_NE(pictureA, draw(b));
    ASSERT_TRUE(tv32TextureSetColorEntry(c, 0, nullptr));
    EXPECT_EQ(0, rec(c)->colorCount);
    draw(c); // greys
    // b still keeps the custom table it was given, until it is freed.
    EXPECT_EQ(live + 3, tv32TextureCountLive());
    ASSERT_TRUE(tv32TextureDataFree(b));
    ASSERT_TRUE(tv32TextureDataFree(c));
    EXPECT_EQ(live, tv32TextureCountLive());
    // Released objects are not objects any more.
    EXPECT_FALSE(tv32TextureDataFree(b));
    EXPECT_FALSE(tv32TextureDataFree(nullptr));
}

TEST(Texture, InvalidArgumentsFailAndChangeNothing) {
    const int buffers = buf32CountLive();
    Tex t;
    TV32HBUF slot = 0;
    EXPECT_FALSE(tv32GenerateTexture(1, 0, t.p, 8, 8, 0, &slot, 0, 0, nullptr));
    EXPECT_FALSE(tv32GenerateTexture(2, 0, nullptr, 8, 8, 0, &slot, 0, 0, nullptr));
    EXPECT_FALSE(tv32GenerateTexture(2, 0, t.p, 0, 8, 0, &slot, 0, 0, nullptr));
    EXPECT_FALSE(tv32GenerateTexture(2, 0, t.p, 8, -1, 0, &slot, 0, 0, nullptr));
    EXPECT_FALSE(tv32GenerateTexture(2, 0, t.p, 8, 8, 0, nullptr, 0, 0, nullptr));
    int notAnObject[16] = {};
    EXPECT_FALSE(tv32GenerateTexture(2, 0, notAnObject, 8, 8, 0, &slot, 0, 0, nullptr));
    EXPECT_EQ(0u, slot);

    // A buffer of another size or depth in the slot is left alone.
    const uint8_t grey = 77;
    ASSERT_TRUE(buf32Alloc(&slot, 8, 8, 8, BUF32_FILL_VALUE, &grey));
    EXPECT_FALSE(tv32GenerateTexture(2, 0, t.p, 8, 8, 0, &slot, 0, 0, nullptr));
    uint8_t px = 0;
    ASSERT_TRUE(buf32GetMem(slot, 3, 3, 1, 1, &px));
    EXPECT_EQ(77, px);
    buf32Free(slot);
    const TV32HBUF wrongSize = slot = 0;
    ASSERT_TRUE(buf32Alloc(&slot, 24, 9, 8, BUF32_FILL_ZERO, nullptr));
    const TV32HBUF held = slot;
    EXPECT_FALSE(tv32GenerateTexture(2, 0, t.p, 8, 8, 0, &slot, 0, 0, nullptr));
    EXPECT_EQ(held, slot);
    buf32Free(slot);
    (void)wrongSize;
    slot = 12345; // no such buffer
    EXPECT_FALSE(tv32GenerateTexture(2, 0, t.p, 8, 8, 0, &slot, 0, 0, nullptr));
    EXPECT_EQ(12345u, slot);

    // Unknown colour reference: drawing fails rather than reading freed colours.
    t->colorTable = 0x1234567u;
    slot = 0;
    EXPECT_FALSE(tv32GenerateTexture(2, 0, t.p, 8, 8, 0, &slot, 0, 0, nullptr));
    EXPECT_EQ(0u, slot);

    // Objects and colour entries.
    EXPECT_FALSE(tv32TextureDataAlloc(nullptr, 0, 0));
    EXPECT_FALSE(tv32TextureDataDuplicate(notAnObject, &t.p));
    void* none = notAnObject;
    EXPECT_FALSE(tv32TextureDataDuplicate(t.p, &none));
    EXPECT_EQ(static_cast<void*>(notAnObject), none);
    EXPECT_FALSE(tv32TextureSetColorEntry(t.p, 3, nullptr));
    EXPECT_FALSE(tv32TextureSetColorEntry(t.p, -1, nullptr));
    EXPECT_FALSE(tv32TextureSetColorEntry(t.p, TV32_MAX_COLOR_ENTRIES + 1, notAnObject));
    EXPECT_FALSE(tv32TextureSetColorEntry(notAnObject, 0, nullptr));
    EXPECT_EQ(buffers, buf32CountLive());
}

// Values outside the ranges are clamped, never a crash; large and odd sizes draw whole.
TEST(Texture, OutOfRangeFieldsAndOddSizes) {
    Tex t;
    for (int kind = -1; kind < 6; ++kind) {
        TV32TEXTURERECORD* r = t.operator->();
        r->kind = kind;
        r->frequencyX = kind * 1000;
        r->frequencyY = -5;
        r->octaves = 99;
        r->turbulence = -3;
        r->distortion = 100000;
        r->pattern = 1000;
        r->angle = -725;
        r->repetitions = 0;
        r->colorOffset = 9999;
        const auto a = draw(t.p, 1, 1);
        EXPECT_EQ(3u, a.size());
        draw(t.p, 301, 3);
    }
}

} // namespace
