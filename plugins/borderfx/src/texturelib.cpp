// The texture library: loading qxmagic.smp, the item store, texture objects from items.
#include "texturelib.h"

#include "messages.h"

#include "imagelib/tv32txtur.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace borderfx {

namespace {

constexpr const char* kLibraryFile = "qxmagic.smp";
constexpr int32_t kItemHeader = 28;

struct LibraryState {
    void* list = nullptr;
    std::string path;
    std::string folder;
};
LibraryState& library() {
    static LibraryState s;
    return s;
}

// Grows a block from oldSize to newSize bytes, the new bytes zeroed; null on failure (the old
// block is then kept).
template <typename T> T* grow(T* block, std::size_t oldSize, std::size_t newSize) {
    void* p = std::realloc(block, newSize);
    if (!p) return nullptr;
    if (newSize > oldSize) std::memset(static_cast<uint8_t*>(p) + oldSize, 0, newSize - oldSize);
    return static_cast<T*>(p);
}

int32_t get32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

} // namespace

ItemStore& TheItemStore() {
    static ItemStore s;
    return s;
}

int StoreBegin(ItemStore& s) {
    s.count = 0;
    s.used = 0;
    if (!s.table || !s.data) {
        std::free(s.table);
        std::free(s.data);
        s.table = static_cast<int32_t*>(std::calloc(std::size_t(s.count) + 10, sizeof(int32_t)));
        s.data = static_cast<uint8_t*>(std::calloc(std::size_t(s.used) + 512, 1));
        if (!s.table || !s.data) {
            StoreFree(s);
            return 0;
        }
        s.tableCapacity = s.count + 10;
        s.dataCapacity = s.used + 512;
    } else {
        // A store reused by a new load: forget the old entries, so that an item the new file
        // lacks reads as missing rather than as the old file's data.
        std::memset(s.table, 0, std::size_t(s.tableCapacity) * sizeof(int32_t));
    }
    s.used = 1;
    return 1;
}

int StoreItem(ItemStore& s, int32_t n, int32_t length, int32_t value, const void* bytes) {
    if (!s.table || !s.data || n < 0 || length < 0 || n > std::numeric_limits<int32_t>::max() - 5 ||
        length > std::numeric_limits<int32_t>::max() - 520 - s.used)
        return 0;
    if (n >= s.tableCapacity) {
        int32_t* t = grow(s.table, std::size_t(s.tableCapacity) * 4, (std::size_t(n) + 5) * 4);
        if (!t) return 0;
        s.table = t;
        s.tableCapacity = n + 5;
    }
    if (int64_t(s.used) + length + 8 >= s.dataCapacity) {
        const int64_t capacity = int64_t(s.dataCapacity) + length + 520;
        if (capacity > std::numeric_limits<int32_t>::max()) return 0;
        uint8_t* d = grow(s.data, std::size_t(s.dataCapacity), std::size_t(capacity));
        if (!d) return 0;
        s.data = d;
        s.dataCapacity = int32_t(capacity);
    }
    uint8_t* at = s.data + s.used;
    std::memcpy(at, &length, 4);
    std::memcpy(at + 4, &value, 4);
    if (length > 0) std::memcpy(at + 8, bytes, std::size_t(length));
    s.table[n] = s.used;
    s.used += length + 8;
    if (n > s.count) s.count = n;
    return 1;
}

int32_t FetchItem(const ItemStore& s, int32_t n, void* data) {
    if (!s.table || !s.data || n < 0 || n > s.count || n >= s.tableCapacity) return 0;
    const int32_t offset = s.table[n];
    if (offset <= 0) return 0;
    const int32_t size = get32(s.data + offset) + 8;
    if (data) std::memcpy(data, s.data + offset, std::size_t(size));
    return size;
}

void StoreFree(ItemStore& s) {
    std::free(s.table);
    std::free(s.data);
    s = ItemStore{};
}

int32_t TV32_CALL LibraryItemCallback(void* list, int32_t event, int32_t itemNumber, void* data) {
    ItemStore& s = TheItemStore();
    switch (event) {
    case 1:
        if (!data) return 8;
        std::memcpy(data, &s.count, 4);
        std::memcpy(static_cast<uint8_t*>(data) + 4, &s.used, 4);
        return 0;
    case 2: {
        library().list = list;
        TV32IIOSETTINGS settings{};
        if (tv32IIOAction(list, TV32_IIO_GET_SETTINGS, 0, &settings) == 1) {
            settings.store = &s;
            tv32IIOAction(list, TV32_IIO_SET_SETTINGS, 0, &settings);
        }
        StoreBegin(s);
        return 0;
    }
    case 4:
        return FetchItem(s, itemNumber, data);
    case 5: {
        if (!data) return 0;
        const auto* d = static_cast<const uint8_t*>(data);
        const int32_t length = get32(d);
        if (!StoreItem(s, itemNumber, length, get32(d + 4), d + 8)) return 0;
        TV32IIINFO info{};
        if (tv32IIAction(list, TV32_II_GET_INFO, itemNumber, &info)) {
            info.dataLength = length;
            tv32IIAction(list, TV32_II_SET_INFO, itemNumber, &info);
        }
        return 0;
    }
    default:
        return 0;
    }
}

const std::string& BuildLibraryPath() {
    const std::string& folder = library().folder;
    library().path = (folder.empty() ? ModuleDir() : folder) + kLibraryFile;
    return library().path;
}

void SetLibraryFolder(const std::string& folder) {
    library().folder = folder;
}

const std::string& LibraryPath() {
    return library().path;
}

void* LoadedLibrary() {
    return library().list;
}

void* LoadTextureLibrary(const std::string& path) {
    LibraryState& lib = library();
    if (lib.list) return lib.list;
    if (!QFileInfo(QString::fromStdString(path)).isFile()) {
        ShowError(kTextureMissingId, path.c_str());
        return nullptr;
    }
    const bool cursor = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    if (cursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    void* list = tv32LoadIIO(path.c_str(), LibraryItemCallback);
    if (cursor) QApplication::restoreOverrideCursor();
    if (!list) {
        lib.list = nullptr; // the list named at loading start is gone
        StoreFree(TheItemStore());
        return nullptr;
    }
    lib.list = list;
    tv32IIOAction(list, TV32_IIO_BACKGROUND, 0x00C0C0C0, nullptr);
    return list;
}

void ReleaseTextureLibrary() {
    LibraryState& lib = library();
    if (lib.list) tv32DestroyIIO(lib.list);
    lib.list = nullptr;
}

int ShowTextureMissing(TV32HWND owner) {
    const std::string& path = LibraryPath().empty() ? BuildLibraryPath() : LibraryPath();
    return ShowError(kTextureMissingId, path.c_str(), owner);
}

int32_t ReadLibraryItem(void* list, int32_t n, void* destination) {
    const ItemStore& s = TheItemStore();
    if (!list || n < 0 || n > s.count || n >= s.tableCapacity || !s.table) return 0;
    TV32IIINFO info{};
    if (!tv32IIAction(list, TV32_II_GET_INFO, n, &info)) return 0;
    const int32_t offset = s.table[n];
    if (offset <= 0) return 0;
    const uint8_t* entry = s.data + offset;
    const int32_t length = get32(entry);
    if (length < kItemHeader) return 0;
    const int32_t size = get32(entry + 8 + 4);
    // A texture needs its record; the size must lie inside the stored item.
    if (size < 64 || size > length - kItemHeader) return 0;
    if (destination) std::memcpy(destination, entry + 8 + kItemHeader, std::size_t(size));
    return size;
}

int LoadLibraryTexture(void* list, int32_t n, void** object) {
    if (!object) return 0;
    const int32_t size = ReadLibraryItem(list, n, nullptr);
    if (size <= 0) return 0;
    std::vector<uint8_t> copy;
    try {
        copy.assign(std::size_t(size), 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    ReadLibraryItem(list, n, copy.data());
    void* texture = nullptr;
    if (!tv32TextureDataAlloc(&texture, 0, 0) || !texture) return 0;
    std::memcpy(texture, copy.data(), 64);
    auto* record = static_cast<TV32TEXTURERECORD*>(texture);
    record->colorCount = 0;
    record->colorTable = 0;
    const int32_t entries = get32(copy.data() + 56);
    if (entries < 0 || 64 + int64_t(entries) * 4 > size ||
        !tv32TextureSetColorEntry(texture, entries, copy.data() + 64)) {
        tv32TextureDataFree(texture);
        return 0;
    }
    *object = texture;
    return 1;
}

void EnsureTexture(int32_t n, void** textureData) {
    if (!LoadedLibrary()) LoadTextureLibrary(BuildLibraryPath());
    void* list = LoadedLibrary();
    if (!list || !textureData || *textureData) return;
    void* texture = nullptr;
    if (!LoadLibraryTexture(list, n, &texture)) return;
    tv32TextureDataDuplicate(texture, textureData);
    tv32TextureDataFree(texture);
}

} // namespace borderfx
