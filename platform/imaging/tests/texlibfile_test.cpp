// Texture library files: round trip of textures and thumbnails, damaged files, safe writing.
#include "imagelib/imagelib.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Item {
    int32_t number, value;
    std::vector<uint8_t> data, thumb;
    int32_t w, h;
};

int collect(void* context, int32_t number, int32_t value, const void* data, int32_t length,
            const uint8_t* thumb, int32_t w, int32_t h) {
    auto* items = static_cast<std::vector<Item>*>(context);
    const auto* d = static_cast<const uint8_t*>(data);
    items->push_back({number, value, std::vector<uint8_t>(d, d + length),
                      std::vector<uint8_t>(thumb, thumb + std::size_t(w) * h * 3), w, h});
    return 1;
}

uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::vector<uint8_t> draw(void* t, int w, int h) {
    TV32HBUF b = 0;
    EXPECT_TRUE(tv32GenerateTexture(2, 0, t, w, h, 0, &b, 0, 0, nullptr));
    std::vector<uint8_t> px(std::size_t(w) * h * 3);
    EXPECT_TRUE(buf32GetMem(b, 0, 0, w, h, px.data()));
    buf32Free(b);
    return px;
}

// A texture object from an item's texture data, as the frame filter makes it: record copied,
// colour fields cleared, the stored entries given.
void* fromItem(const Item& it) {
    const uint32_t n = get32(it.data.data() + 4);
    const uint8_t* tex = it.data.data() + TV32_TEXLIB_ITEM_HEADER_SIZE;
    void* t = nullptr;
    EXPECT_TRUE(tv32TextureDataAlloc(&t, 0, 0));
    std::memcpy(t, tex, 64);
    auto* r = static_cast<TV32TEXTURERECORD*>(t);
    r->colorCount = 0;
    r->colorTable = 0;
    int32_t entries = 0;
    std::memcpy(&entries, tex + 56, 4);
    EXPECT_EQ(n, 64u + uint32_t(entries) * 4);
    EXPECT_TRUE(tv32TextureSetColorEntry(t, entries, tex + 64));
    return t;
}

std::string path(const QTemporaryDir& dir, const char* name) {
    return dir.filePath(name).toStdString();
}

TEST(TextureLibraryFile, TexturesAndThumbnailsComeBackAsWritten) {
    const int live = tv32TextureCountLive();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    void* t[3] = {};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(tv32TextureDataAlloc(&t[i], 0, 0));
        auto* r = static_cast<TV32TEXTURERECORD*>(t[i]);
        r->kind = i + 1;
        r->angle = 40 * i;
        r->pattern = i == 2 ? 33 : 2;
    }
    tv32GetPredefined256ColorTable(31, 0, &static_cast<TV32TEXTURERECORD*>(t[1])->colorCount,
                                   &static_cast<TV32TEXTURERECORD*>(t[1])->colorTable, 0);
    const uint8_t custom[] = {10, 200, 30, 0, 250, 250, 0, 0, 0, 0, 90, 0};
    ASSERT_TRUE(tv32TextureSetColorEntry(t[2], 3, custom));
    const TV32TEXLIBITEM items[3] = {{t[0], "First"}, {t[1], "A name longer than sixteen"}, {t[2], nullptr}};
    const std::string file = path(dir, "qxmagic.smp");
    ASSERT_TRUE(tv32TextureLibraryWrite(file.c_str(), items, 3, 20, 12));

    std::vector<Item> read;
    ASSERT_EQ(3, tv32TextureLibraryRead(file.c_str(), collect, &read));
    ASSERT_EQ(3u, read.size());
    const char* names[3] = {"First", "A name longer th", ""};
    const uint32_t entries[3] = {256, 256, 3};
    for (int i = 0; i < 3; ++i) {
        const Item& it = read[std::size_t(i)];
        EXPECT_EQ(i + 1, it.number);
        EXPECT_EQ(0, it.value);
        EXPECT_EQ(20, it.w);
        EXPECT_EQ(12, it.h);
        ASSERT_GE(it.data.size(), 28u + 64u);
        EXPECT_EQ(28u, get32(it.data.data()));
        EXPECT_EQ(it.data.size() - 28, get32(it.data.data() + 4));
        EXPECT_EQ(1u, get32(it.data.data() + 8));
        EXPECT_EQ(std::string(names[i]),
                  std::string(reinterpret_cast<const char*>(it.data.data() + 12),
                              strnlen(reinterpret_cast<const char*>(it.data.data() + 12), 16)));
        EXPECT_EQ(entries[i], get32(it.data.data() + 28 + 56));
        EXPECT_EQ(0u, get32(it.data.data() + 28 + 60)) << "no library reference stored";
        EXPECT_EQ(0, std::memcmp(it.data.data() + 28, t[i], 56)) << "record fields";
        EXPECT_EQ(draw(t[i], 20, 12), it.thumb);
        void* back = fromItem(it);
        EXPECT_EQ(draw(t[i], 33, 21), draw(back, 33, 21)) << "item " << i;
        tv32TextureDataFree(back);
    }
    for (void* p : t)
        tv32TextureDataFree(p);
    EXPECT_EQ(live, tv32TextureCountLive());
}

TEST(TextureLibraryFile, DamagedFilesAreRefusedWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    void* t = nullptr;
    ASSERT_TRUE(tv32TextureDataAlloc(&t, 0, 0));
    const TV32TEXLIBITEM items[2] = {{t, "One"}, {t, "Two"}};
    const std::string good = path(dir, "good.smp");
    ASSERT_TRUE(tv32TextureLibraryWrite(good.c_str(), items, 2, 8, 8));
    tv32TextureDataFree(t);
    QFile f(QString::fromStdString(good));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();

    int calls = 0;
    const auto count = [](void* c, int32_t, int32_t, const void*, int32_t, const uint8_t*, int32_t, int32_t) {
        ++*static_cast<int*>(c);
        return 1;
    };
    const std::string bad = path(dir, "bad.smp");
    const auto tryBytes = [&](const QByteArray& b) {
        QFile out(QString::fromStdString(bad));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(b);
        out.close();
        return tv32TextureLibraryRead(bad.c_str(), count, &calls);
    };
    // Cut anywhere: nothing is handed on.
    for (int cut : {0, 7, 31, 32, 40, int(bytes.size()) / 2, int(bytes.size()) - 1})
        EXPECT_EQ(-1, tryBytes(bytes.left(cut))) << "cut at " << cut;
    QByteArray b = bytes;
    b[0] = 'X';
    EXPECT_EQ(-1, tryBytes(b)) << "magic";
    b = bytes;
    b[12] = 3; // three items announced, two present
    EXPECT_EQ(-1, tryBytes(b));
    b = bytes;
    b[32 + 16 + 4] = char(0xFF); // texture data size larger than the item
    EXPECT_EQ(-1, tryBytes(b));
    b = bytes;
    b[32 + 16 + 28 + 56 + 1] = 0x70; // colour entries beyond the texture data
    EXPECT_EQ(-1, tryBytes(b));
    EXPECT_EQ(0, calls);
    EXPECT_EQ(-1, tv32TextureLibraryRead(path(dir, "missing.smp").c_str(), count, &calls));
    EXPECT_EQ(2, tv32TextureLibraryRead(good.c_str(), count, &calls));
    EXPECT_EQ(2, calls);
}

TEST(TextureLibraryFile, FailedWriteLeavesTheOldFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string file = path(dir, "qxmagic.smp");
    {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    int notAnObject[16] = {};
    const TV32TEXLIBITEM items[1] = {{notAnObject, "x"}};
    EXPECT_FALSE(tv32TextureLibraryWrite(file.c_str(), items, 1, 8, 8));
    EXPECT_FALSE(tv32TextureLibraryWrite(file.c_str(), items, 0, 8, 8));
    EXPECT_FALSE(tv32TextureLibraryWrite(path(dir, "no/such/dir.smp").c_str(), items, 1, 8, 8));
    QFile f(QString::fromStdString(file));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QByteArray("old"), f.readAll());
    EXPECT_EQ(0, tv32TextureItemData(notAnObject, "x", nullptr, 0));
}

// The library written by the build (tools/texlib) beside the plug-ins.
TEST(TextureLibraryFile, BuiltLibraryHoldsDrawableTextures) {
    const std::string file = std::string(KIT_BIN_DIR) + "/qxmagic.smp";
    if (!QFile::exists(QString::fromStdString(file))) GTEST_SKIP() << "no " << file << " (texlib not built)";
    std::vector<Item> read;
    ASSERT_GE(tv32TextureLibraryRead(file.c_str(), collect, &read), 48);
    for (const Item& it : read) {
        void* t = fromItem(it);
        EXPECT_EQ(draw(t, 64, 64), it.thumb) << "item " << it.number;
        tv32TextureDataFree(t);
    }
}

} // namespace
