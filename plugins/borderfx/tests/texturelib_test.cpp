// The texture library: the item store, loading the library file, textures from its items.
#include "texturelib.h"

#include "desktop/services.h"
#include "imagelib/imagelib.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace borderfx;

namespace {

int32_t entryOffset(const ItemStore& s, int32_t n) {
    return s.table[n];
}

TEST(ItemStore, FreshStoreStartsAtOneAndGrows) {
    ItemStore s;
    ASSERT_EQ(1, StoreBegin(s));
    EXPECT_EQ(0, s.count);
    EXPECT_EQ(1, s.used) << "offset 0 is never an item's";
    EXPECT_EQ(10, s.tableCapacity);
    EXPECT_EQ(512, s.dataCapacity);
    const uint8_t bytes[600] = {1, 2, 3};
    ASSERT_EQ(1, StoreItem(s, 1, 3, 77, bytes));
    EXPECT_EQ(1, entryOffset(s, 1));
    EXPECT_EQ(12, s.used);
    EXPECT_EQ(1, s.count);
    // The table grows to n + 5 entries, the data block by L + 520 bytes.
    ASSERT_EQ(1, StoreItem(s, 12, 600, 0, bytes));
    EXPECT_EQ(17, s.tableCapacity);
    EXPECT_EQ(512 + 600 + 520, s.dataCapacity);
    EXPECT_EQ(12, s.count);
    EXPECT_EQ(0, FetchItem(s, 5, nullptr)) << "never stored";
    EXPECT_EQ(0, FetchItem(s, 13, nullptr)) << "beyond the count";
    EXPECT_EQ(0, FetchItem(s, -1, nullptr));
    // Storing an item again appends and points the table at the new entry.
    const int32_t usedBefore = s.used;
    const uint8_t again[2] = {9, 8};
    ASSERT_EQ(1, StoreItem(s, 1, 2, 5, again));
    EXPECT_EQ(usedBefore, entryOffset(s, 1));
    EXPECT_EQ(usedBefore + 10, s.used);
    uint8_t out[10] = {};
    ASSERT_EQ(10, FetchItem(s, 1, out));
    int32_t l = 0, v = 0;
    std::memcpy(&l, out, 4);
    std::memcpy(&v, out + 4, 4);
    EXPECT_EQ(2, l);
    EXPECT_EQ(5, v);
    EXPECT_EQ(9, out[8]);
    // A reused store forgets the old entries and starts at offset 1 again.
    ASSERT_EQ(1, StoreBegin(s));
    EXPECT_EQ(1, s.used);
    EXPECT_EQ(0, FetchItem(s, 1, nullptr));
    EXPECT_EQ(0, StoreItem(s, -2, 1, 0, bytes));
    StoreFree(s);
    EXPECT_EQ(nullptr, s.table);
    EXPECT_EQ(0, s.dataCapacity);
}

// A library file of count textures (texture i has angle 10 * i) in dir.
std::string writeLibrary(const QTemporaryDir& dir, int count) {
    std::vector<void*> t(std::size_t(count), nullptr);
    std::vector<TV32TEXLIBITEM> items;
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(tv32TextureDataAlloc(&t[std::size_t(i)], 0, 0));
        static_cast<TV32TEXTURERECORD*>(t[std::size_t(i)])->angle = 10 * (i + 1);
        items.push_back({t[std::size_t(i)], "T"});
    }
    const std::string path = dir.filePath("qxmagic.smp").toStdString();
    EXPECT_TRUE(tv32TextureLibraryWrite(path.c_str(), items.data(), count, 16, 12));
    for (void* x : t)
        tv32TextureDataFree(x);
    return path;
}

int32_t angleOf(void* t) {
    return static_cast<TV32TEXTURERECORD*>(t)->angle;
}

TEST(TextureLibrary, ItemsBecomeTextureObjects) {
    QTemporaryDir dir;
    const std::string path = writeLibrary(dir, 8);
    ReleaseTextureLibrary();
    void* list = LoadTextureLibrary(path);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(list, LoadedLibrary());
    EXPECT_EQ(list, LoadTextureLibrary(path)) << "loaded once";
    EXPECT_EQ(8, TheItemStore().count);
    TV32IIOSETTINGS settings{};
    tv32IIOAction(list, TV32_IIO_GET_SETTINGS, 0, &settings);
    EXPECT_EQ(&TheItemStore(), settings.store);
    TV32IIINFO info{};
    ASSERT_EQ(1, tv32IIAction(list, TV32_II_GET_INFO, 3, &info));
    EXPECT_EQ(28 + 64 + 256 * 4, info.dataLength);
    // The fetch event hands out the stored entry.
    EXPECT_EQ(info.dataLength + 8, LibraryItemCallback(list, 4, 3, nullptr));
    int32_t sizes[2] = {};
    EXPECT_EQ(0, LibraryItemCallback(list, 1, 0, sizes));
    EXPECT_EQ(8, sizes[0]);

    EXPECT_EQ(64 + 256 * 4, ReadLibraryItem(list, 8, nullptr));
    EXPECT_EQ(0, ReadLibraryItem(list, 9, nullptr)) << "beyond the count";
    EXPECT_EQ(0, ReadLibraryItem(list, 0, nullptr)) << "numbers start at 1";
    EXPECT_EQ(0, ReadLibraryItem(list, -1, nullptr));

    const int live = tv32TextureCountLive();
    void* t = nullptr;
    ASSERT_EQ(1, LoadLibraryTexture(list, 7, &t));
    EXPECT_EQ(70, angleOf(t));
    EXPECT_EQ(256, tv32TextureGetColorEntries(t, nullptr, 0));
    EXPECT_EQ(0, LoadLibraryTexture(list, 9, &t));
    tv32TextureDataFree(t);
    EXPECT_EQ(live, tv32TextureCountLive());
    ReleaseTextureLibrary();
    EXPECT_EQ(nullptr, LoadedLibrary());
}

TEST(TextureLibrary, EnsureTextureFillsOnlyAnEmptySlot) {
    QTemporaryDir dir;
    writeLibrary(dir, 4);
    SetLibraryFolder(dir.path().toStdString() + "/");
    ReleaseTextureLibrary();
    const int live = tv32TextureCountLive();
    void* slot = nullptr;
    EnsureTexture(1, &slot);
    ASSERT_NE(nullptr, slot);
    EXPECT_EQ(10, angleOf(slot));
    // One object and its colour table: the new object was released after duplicating.
    EXPECT_EQ(live + 2, tv32TextureCountLive());
    void* kept = slot;
    EnsureTexture(3, &slot);
    EXPECT_EQ(kept, slot);
    EXPECT_EQ(10, angleOf(slot));
    tv32TextureDataFree(slot);
    slot = nullptr;
    EnsureTexture(5, &slot);
    EXPECT_EQ(nullptr, slot) << "no texture 5";
    EXPECT_EQ(dir.path().toStdString() + "/qxmagic.smp", LibraryPath());
    ReleaseTextureLibrary();
    SetLibraryFolder({});
    EXPECT_EQ(live, tv32TextureCountLive());
}

TEST(TextureLibrary, MissingFileShowsItsPath) {
    QTemporaryDir dir;
    desktop::Recorder rec;
    ReleaseTextureLibrary();
    SetLibraryFolder(dir.path().toStdString() + "/");
    void* slot = nullptr;
    EnsureTexture(1, &slot);
    EXPECT_EQ(nullptr, slot);
    EXPECT_EQ(nullptr, LoadedLibrary());
    ASSERT_EQ(1u, rec.boxes().size());
    EXPECT_EQ(QStringLiteral("Unable to load texture file.\n") + dir.filePath("qxmagic.smp"),
              rec.boxes()[0].text);
    // A damaged file: no message of its own, nothing loaded, the store emptied.
    {
        QFile f(dir.filePath("qxmagic.smp"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a library");
    }
    EnsureTexture(1, &slot);
    EXPECT_EQ(nullptr, slot);
    EXPECT_EQ(1u, rec.boxes().size());
    EXPECT_EQ(0, TheItemStore().dataCapacity);
    SetLibraryFolder({});
}

} // namespace
