// Texture variations: the generator, the per-cell rules and random textures.
#include "texturelib.h"
#include "variations.h"

#include "desktop/services.h"
#include "imagelib/imagelib.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

using namespace borderfx;

namespace {

TV32TEXTURERECORD& rec(void* t) {
    return *static_cast<TV32TEXTURERECORD*>(t);
}

// Runs f in a new thread, whose generator starts at 1.
template <class F> void inFreshThread(F f) {
    std::thread(f).join();
}

struct Grid {
    VariationSet set;
    Grid() {
        for (void*& o : set.objects)
            EXPECT_TRUE(tv32TextureDataAlloc(&o, 0, 0));
    }
    ~Grid() {
        for (void* o : set.objects)
            tv32TextureDataFree(o);
    }
    TV32TEXTURERECORD& operator[](int i) { return rec(set.objects[i]); }
};

TEST(Variations, GeneratorIsTheRuntimesAndPerThread) {
    std::vector<int32_t> first;
    inFreshThread([&] {
        for (int i = 0; i < 5; ++i)
            first.push_back(RuntimeRand());
    });
    EXPECT_EQ((std::vector<int32_t>{41, 18467, 6334, 26500, 19169}), first);
    std::vector<int32_t> again;
    inFreshThread([&] { again.push_back(RuntimeRand()); });
    EXPECT_EQ(41, again[0]) << "every thread starts from state 1";
}

TEST(Variations, EveryCellFollowsItsRule) {
    const int live = tv32TextureCountLive();
    {
        Grid g;
        auto& m = g[4];
        m.kind = 0;
        m.frequencyX = 34;
        m.frequencyY = 22;
        m.octaves = 4;
        m.distortion = 180;
        m.angle = 350;
        m.repetitions = 16;
        m.pattern = 2;
        m.contrast = 61;
        g.set.tables[4] = 50;
        const TV32TEXTURERECORD before = m;
        ASSERT_EQ(1, MakeVariations(g.set));
        EXPECT_EQ(0, std::memcmp(&before, &m, sizeof m)) << "the middle is never changed";
        EXPECT_EQ(50, g.set.tables[4]);
        const int32_t tables[9] = {51, 0, 52, 1, 50, 1, 2, 3, 4};
        const int32_t angles[9] = {25, 35, 60, 70, 350, 105, 140, 150, 178};
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(tables[i], g.set.tables[i]) << "cell " << i;
            EXPECT_EQ(angles[i], g[i].angle) << "cell " << i;
            EXPECT_EQ(61, g[i].contrast) << "cell " << i;
            int32_t count = 0;
            uint32_t ref = 0;
            tv32GetPredefined256ColorTable(tables[i], 0, &count, &ref, 0);
            if (i != 4) {
                EXPECT_EQ(ref, g[i].colorTable) << "cell " << i;
            }
        }
        EXPECT_EQ(1, g[0].octaves) << "4 + 1 reaches 5 and becomes 1";
        // Cell 1: waves, frequencies modulo 17 (34 -> 0 -> 1), distortion 180 -> -30 -> 20.
        EXPECT_EQ(3, g[1].kind);
        EXPECT_EQ(1, g[1].frequencyX);
        EXPECT_EQ(5, g[1].frequencyY);
        EXPECT_EQ(20, g[1].distortion);
        EXPECT_EQ(180, g[2].distortion);
        EXPECT_EQ(2, g[3].kind) << "0 becomes 2";
        EXPECT_EQ(3, g[5].kind) << "anything but 3 becomes 3";
        EXPECT_EQ(1, g[5].frequencyX) << "34 mod 11";
        EXPECT_EQ(1, g[5].frequencyY) << "22 mod 11 = 0 becomes 1";
        EXPECT_EQ(1, g[6].repetitions) << "(16 + 2) mod 17";
        EXPECT_EQ(0, g[7].repetitions) << "(16 + 1) mod 17";
        EXPECT_EQ(16, g[8].repetitions);

        // The other branches of cells 0, 1, 3 and 5.
        m.kind = 3;
        m.octaves = 1;
        m.distortion = 100;
        m.frequencyX = 12;
        ASSERT_EQ(1, MakeVariations(g.set));
        EXPECT_EQ(2, g[0].octaves);
        EXPECT_EQ(200, g[1].distortion) << "150, then 200 stays";
        EXPECT_EQ(0, g[3].kind) << "anything but 0 becomes 0";
        EXPECT_EQ(2, g[5].kind) << "3 becomes 2";
        EXPECT_EQ(12, g[5].frequencyX) << "no modulo when the new kind is 2";
        m.distortion = 160;
        ASSERT_EQ(1, MakeVariations(g.set));
        EXPECT_EQ(40, g[1].distortion) << "210 -> -10 -> 40";
        m.distortion = 200;
        ASSERT_EQ(1, MakeVariations(g.set));
        EXPECT_EQ(0, g[1].distortion) << "250 -> -50 -> 0";
    }
    EXPECT_EQ(live, tv32TextureCountLive());
}

TEST(Variations, CopyKeepsTheTargetsColours) {
    Grid g;
    ASSERT_TRUE(tv32GetPredefined256ColorTable(7, 0, &g[0].colorCount, &g[0].colorTable, 0));
    const uint32_t own = g[0].colorTable;
    g[1].angle = 123;
    g[1].kind = 2;
    CopyTextureParams(g.set.objects[0], g.set.objects[1]);
    EXPECT_EQ(123, g[0].angle);
    EXPECT_EQ(2, g[0].kind);
    EXPECT_EQ(own, g[0].colorTable);
}

// The reference generator, to know which number each draw used.
struct Lcg {
    uint32_t s = 1;
    int32_t next() {
        s = s * 214013u + 2531011u;
        return int32_t((s >> 16) & 0x7FFF);
    }
};

TEST(Variations, RandomParametersFollowTheirRanges) {
    inFreshThread([] {
        Grid g;
        Lcg ref;
        bool sawWaves = false;
        for (int call = 0; call < 3000; ++call) {
            const int32_t firstDraw = ref.next();
            for (int i = 1; i < 13; ++i)
                ref.next();
            RandomTextureParams(g.set.objects[0]);
            const auto& r = g[0];
            EXPECT_EQ(firstDraw == 32767, r.kind == 3) << "kind 3 only for the draw 32767";
            if (r.kind == 3) {
                sawWaves = true;
                EXPECT_GE(r.pattern, 1);
                EXPECT_LE(r.pattern, 100);
            } else {
                EXPECT_GE(r.pattern, 1);
                EXPECT_LE(r.pattern, 3);
            }
            EXPECT_GE(r.frequencyX, 1);
            EXPECT_LE(r.frequencyX, 64);
            EXPECT_GE(r.angle, 0);
            EXPECT_LE(r.angle, 359);
            EXPECT_GE(r.repetitions, 1);
            EXPECT_LE(r.repetitions, 16);
            EXPECT_GE(r.colorOffset, 1);
            EXPECT_LE(r.colorOffset, 256);
            if (HasFailure()) return;
        }
        EXPECT_FALSE(sawWaves) << "no 32767 among these first draws";
    });
    // Kind 3 needs the draw 32767: find where it comes and start a texture there.
    inFreshThread([] {
        Lcg ref;
        int skip = 0;
        while (ref.next() != 32767)
            ++skip;
        for (int i = 0; i < skip; ++i)
            RuntimeRand();
        Grid g;
        RandomTextureParams(g.set.objects[0]);
        EXPECT_EQ(3, g[0].kind);
        EXPECT_GE(g[0].pattern, 1);
        EXPECT_LE(g[0].pattern, 100);
    });
}

TEST(Variations, RandomTextureFromParametersWithoutALibrary) {
    QTemporaryDir dir;
    desktop::Recorder boxes;
    ReleaseTextureLibrary();
    SetLibraryFolder(dir.path().toStdString() + "/");
    BuildLibraryPath();
    TV32TEXTURERECORD a{}, b{};
    const int live = tv32TextureCountLive();
    inFreshThread([&] {
        Grid g;
        ASSERT_EQ(1, RandomizeTexture(&g.set.objects[4]));
        a = g[4];
        EXPECT_EQ(41 * 3 / 32767, a.kind);
        EXPECT_EQ(18467 * 63 / 32767 + 1, a.frequencyX);
    });
    inFreshThread([&] {
        Grid g;
        RandomTextureParams(g.set.objects[4]);
        b = g[4];
    });
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));
    EXPECT_EQ(live, tv32TextureCountLive());
    EXPECT_EQ(1u, boxes.boxes().size()) << "the load attempt reports the missing file";
    SetLibraryFolder({});
}

TEST(Variations, RandomTextureFromTheLoadedLibrary) {
    QTemporaryDir dir;
    std::vector<void*> t(8, nullptr);
    std::vector<TV32TEXLIBITEM> items;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(tv32TextureDataAlloc(&t[std::size_t(i)], 0, 0));
        rec(t[std::size_t(i)]).angle = 10 * (i + 1);
        items.push_back({t[std::size_t(i)], "T"});
    }
    const std::string path = dir.filePath("qxmagic.smp").toStdString();
    ASSERT_TRUE(tv32TextureLibraryWrite(path.c_str(), items.data(), 8, 16, 12));
    for (void* x : t)
        tv32TextureDataFree(x);
    ReleaseTextureLibrary();
    SetLibraryFolder(dir.path().toStdString() + "/");
    BuildLibraryPath();
    const int live = tv32TextureCountLive();
    inFreshThread([&] {
        RuntimeRand(); // 41
        RuntimeRand(); // 18467
        Grid g;
        ASSERT_EQ(1, RandomizeTexture(&g.set.objects[4])); // 6334 * 7 / 32767 = 1
        EXPECT_EQ(10, g[4].angle);
        EXPECT_EQ(26500, RuntimeRand()) << "one number drawn";
    });
    EXPECT_EQ(live, tv32TextureCountLive());
    ReleaseTextureLibrary();
    SetLibraryFolder({});
}

} // namespace
