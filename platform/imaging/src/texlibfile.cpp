// Texture library files: writing a list of textures with thumbnails, reading it back checked.
#include "imagelib/tv32base.h"
#include "imagelib/tv32guard.h"
#include "imagelib/tv32txlib.h"
#include "imagelib/tv32txtur.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr char kMagic[8] = {'T', 'V', '3', '2', 'S', 'M', 'P', 0};
constexpr int32_t kVersion = 1;
constexpr int32_t kMaxThumbSide = 1024;

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}
void set32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The record and colour entries of a texture, as stored: N bytes.
bool textureData(const void* texture, std::vector<uint8_t>& out) {
    const int32_t entries = tv32TextureGetColorEntries(texture, nullptr, 0);
    out.assign(64 + std::size_t(entries) * 4, 0);
    TV32TEXTURERECORD rec;
    std::memcpy(&rec, texture, 64);
    rec.colorCount = entries;
    rec.colorTable = 0;
    const auto* fields = reinterpret_cast<const int32_t*>(&rec);
    for (int i = 0; i < 16; ++i)
        set32(out.data() + i * 4, uint32_t(fields[i]));
    if (entries > 0 && tv32TextureGetColorEntries(texture, out.data() + 64, entries) != entries) return false;
    return true;
}

int32_t itemData(const void* texture, const char* name, void* data, int32_t capacity) {
    std::vector<uint8_t> tex;
    // Duplicating an object into itself changes nothing and succeeds only for a live object.
    void* self = const_cast<void*>(texture);
    if (!texture || !tv32TextureDataDuplicate(texture, &self)) return 0;
    if (!textureData(texture, tex)) return 0;
    const int32_t size = int32_t(TV32_TEXLIB_ITEM_HEADER_SIZE + tex.size());
    if (!data) return size;
    if (capacity < size) return 0;
    auto* out = static_cast<uint8_t*>(data);
    std::memset(out, 0, TV32_TEXLIB_ITEM_HEADER_SIZE);
    set32(out, TV32_TEXLIB_ITEM_HEADER_SIZE);
    set32(out + 4, uint32_t(tex.size()));
    set32(out + 8, 1);
    if (name) std::memcpy(out + 12, name, std::min<std::size_t>(std::strlen(name), TV32_TEXLIB_NAME_SIZE));
    std::memcpy(out + TV32_TEXLIB_ITEM_HEADER_SIZE, tex.data(), tex.size());
    return size;
}

int writeLibrary(const char* path, const TV32TEXLIBITEM* items, int32_t count, int32_t width,
                 int32_t height) {
    if (!path || !items || count <= 0 || width <= 0 || height <= 0 || width > kMaxThumbSide ||
        height > kMaxThumbSide)
        return 0;
    std::vector<uint8_t> out;
    try {
        out.insert(out.end(), kMagic, kMagic + 8);
        put32(out, kVersion);
        put32(out, uint32_t(count));
        put32(out, uint32_t(width));
        put32(out, uint32_t(height));
        put32(out, TV32_TEXLIB_HEADER_SIZE);
        put32(out, 0);
        const std::size_t thumbSize = std::size_t(width) * std::size_t(height) * 3;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t size = tv32TextureItemData(items[i].texture, items[i].name, nullptr, 0);
            if (size <= 0) return 0;
            put32(out, uint32_t(i + 1));
            put32(out, 0);
            put32(out, uint32_t(size));
            put32(out, uint32_t(thumbSize));
            const std::size_t at = out.size();
            out.resize(at + std::size_t(size) + thumbSize);
            if (tv32TextureItemData(items[i].texture, items[i].name, out.data() + at, size) != size) return 0;
            TV32HBUF thumb = 0;
            if (!tv32GenerateTexture(2, 0, const_cast<void*>(items[i].texture), width, height, 0, &thumb, 0,
                                     0, nullptr))
                return 0;
            const int ok = buf32GetMem(thumb, 0, 0, width, height, out.data() + at + std::size_t(size));
            buf32Free(thumb);
            if (!ok) return 0;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    QSaveFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::WriteOnly)) return 0;
    if (file.write(reinterpret_cast<const char*>(out.data()), qint64(out.size())) != qint64(out.size())) {
        file.cancelWriting();
        return 0;
    }
    return file.commit() ? 1 : 0;
}

int32_t readLibrary(const char* path, TV32TEXLIBITEMPROC proc, void* context) {
    if (!path) return -1;
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return -1;
    const auto* d = reinterpret_cast<const uint8_t*>(bytes.constData());
    const std::size_t size = std::size_t(bytes.size());
    if (size < TV32_TEXLIB_HEADER_SIZE || std::memcmp(d, kMagic, 8) != 0 ||
        get32(d + 8) != uint32_t(kVersion))
        return -1;
    const uint32_t count = get32(d + 12), w = get32(d + 16), h = get32(d + 20), first = get32(d + 24);
    if (count > 0x7FFFFFFFu || w == 0 || h == 0 || w > kMaxThumbSide || h > kMaxThumbSide ||
        first < TV32_TEXLIB_HEADER_SIZE || first > size)
        return -1;
    const uint64_t thumbSize = uint64_t(w) * h * 3;
    struct Item {
        uint32_t number, value, length;
        std::size_t data;
    };
    std::vector<Item> items;
    std::size_t at = first;
    for (uint32_t i = 0; i < count; ++i) {
        if (size - at < 16) return -1;
        const Item it{get32(d + at), get32(d + at + 4), get32(d + at + 8), at + 16};
        // Item numbers run from 1 to the number of items: a number is never larger than what
        // the file can hold, so no reader sizes anything by it beyond that.
        if (get32(d + at + 12) != thumbSize || it.number == 0 || it.number > count ||
            it.value > 0x7FFFFFFFu || uint64_t(it.length) + thumbSize > size - it.data ||
            it.length > 0x7FFFFFFFu)
            return -1;
        // A texture item: its header's N must fit in the item and match the colour entries.
        if (it.length >= TV32_TEXLIB_ITEM_HEADER_SIZE && get32(d + it.data + 8) == 1) {
            const uint64_t n = get32(d + it.data + 4);
            if (n < 64 || n > it.length - TV32_TEXLIB_ITEM_HEADER_SIZE) return -1;
            const uint32_t entries = get32(d + it.data + TV32_TEXLIB_ITEM_HEADER_SIZE + 56);
            if (entries > TV32_MAX_COLOR_ENTRIES || 64 + uint64_t(entries) * 4 > n) return -1;
        }
        try {
            items.push_back(it);
        } catch (const std::bad_alloc&) {
            return -1;
        }
        at = it.data + it.length + std::size_t(thumbSize);
    }
    if (proc)
        for (const Item& it : items)
            if (!proc(context, int32_t(it.number), int32_t(it.value), d + it.data, int32_t(it.length),
                      d + it.data + it.length, int32_t(w), int32_t(h)))
                break;
    return int32_t(count);
}

} // namespace

extern "C" {

TV32_API int32_t TV32_CALL tv32TextureItemData(const void* texture, const char* name, void* data,
                                               int32_t capacity) {
    return tv32::guardLibrary(int32_t(0), [&] { return itemData(texture, name, data, capacity); });
}

TV32_API int TV32_CALL tv32TextureLibraryWrite(const char* path, const TV32TEXLIBITEM* items, int32_t count,
                                               int32_t width, int32_t height) {
    return tv32::guardLibrary(0, [&] { return writeLibrary(path, items, count, width, height); });
}

TV32_API int32_t TV32_CALL tv32TextureLibraryRead(const char* path, TV32TEXLIBITEMPROC proc, void* context) {
    return tv32::guardLibrary(int32_t(-1), [&] { return readLibrary(path, proc, context); });
}

} // extern "C"
