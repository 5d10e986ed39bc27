// Image buffers: the handle table, cell storage and the block operations.
#include "store.h"

#include "imagelib/tv32guard.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

namespace tv32 {
namespace {

constexpr int kDefaultCell = 128;

struct Table {
    std::mutex mutex;
    std::unordered_map<TV32HBUF, std::unique_ptr<Buffer>> buffers;
    TV32HBUF next = 1;
    int cellW = 0, cellH = 0;
};

Table& table() {
    static Table* t = new Table; // lives as long as the process; handles may be freed late
    return *t;
}

// Cell size from TV32_CELL_SIZE ("W" or "WxH"), read once.
void initialCellSize(int& w, int& h) {
    w = h = kDefaultCell;
    const char* env = std::getenv("TV32_CELL_SIZE");
    if (!env || !*env) return;
    char* end = nullptr;
    const long a = std::strtol(env, &end, 10);
    long b = a;
    if (end && (*end == 'x' || *end == 'X')) b = std::strtol(end + 1, nullptr, 10);
    if (a > 0 && a <= 65536 && b > 0 && b <= 65536) {
        w = int(a);
        h = int(b);
    }
}

void cellSize(int& w, int& h) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    if (t.cellW == 0) initialCellSize(t.cellW, t.cellH);
    w = t.cellW;
    h = t.cellH;
}

bool validBits(int bits) {
    return bits == 8 || bits == 24;
}

// Copies a w x h block between two buffers of the same pixel size; the blocks lie inside both.
// Goes piece by piece of the target's cells, each filled from the source like packed memory:
// the target's memory is then written in order, and a cache line that two source cells share
// is finished while it is still at hand.
void copyRegion(const Buffer& src, int sx, int sy, Buffer& dst, int dx, int dy, int w, int h) {
    forEachPiece(dst, dx, dy, w, h, [&](uint8_t* p, std::size_t stride, int ox, int oy, int n, int rows) {
        readBlock(src, sx + ox, sy + oy, n, rows, p, stride);
    });
}

// Sets every pixel of the block (inside the buffer) to the bpp bytes at pixel.
void fillRegion(Buffer& b, int x, int y, int w, int h, const uint8_t* pixel) {
    forEachPiece(b, x, y, w, h, [&](uint8_t* p, std::size_t stride, int, int, int n, int rows) {
        const std::size_t bytes = std::size_t(n) * std::size_t(b.bpp);
        if (b.bpp == 1 && bytes == stride) {
            std::memset(p, pixel[0], bytes * std::size_t(rows)); // whole rows: one run
            return;
        }
        if (b.bpp == 1) {
            for (int r = 0; r < rows; ++r, p += stride)
                std::memset(p, pixel[0], bytes);
            return;
        }
        for (int i = 0; i < n; ++i)
            std::memcpy(p + std::size_t(i) * 3, pixel, 3);
        for (int r = 1; r < rows; ++r)
            std::memcpy(p + std::size_t(r) * stride, p, bytes);
    });
}

// A block of pixels in 64 bits, so that no sum or difference of a caller's coordinates wraps.
struct Block {
    std::int64_t x, y, w, h;
};

// The part of block b inside [0, W) x [0, H), and how far it starts from b's own top-left corner
// (skipX, skipY); false when nothing is left. Every value of a non-empty result fits in an int.
bool clip(Block& b, std::int64_t W, std::int64_t H, std::int64_t* skipX = nullptr,
          std::int64_t* skipY = nullptr) {
    if (b.w <= 0 || b.h <= 0) return false;
    const std::int64_t x0 = std::max<std::int64_t>(b.x, 0), y0 = std::max<std::int64_t>(b.y, 0);
    const std::int64_t x1 = std::min<std::int64_t>(b.x + b.w, W), y1 = std::min<std::int64_t>(b.y + b.h, H);
    if (x1 <= x0 || y1 <= y0) return false;
    if (skipX) *skipX = x0 - b.x;
    if (skipY) *skipY = y0 - b.y;
    b = {x0, y0, x1 - x0, y1 - y0};
    return true;
}

bool inside(const Buffer& b, int x, int y, int w, int h) {
    return w > 0 && h > 0 && x >= 0 && y >= 0 && std::int64_t(x) + w <= b.width &&
           std::int64_t(y) + h <= b.height;
}

} // namespace

Buffer* lookup(TV32HBUF h) {
    if (h == 0) return nullptr;
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.buffers.find(h);
    return it == t.buffers.end() ? nullptr : it->second.get();
}

TV32HBUF insert(std::unique_ptr<Buffer> b) {
    if (!b) return 0;
    Table& t = table();
    std::lock_guard lock(t.mutex);
    // Handles are not reused until the counter wraps, so a stale handle finds nothing.
    for (std::uint64_t tries = 0; tries < 0x100000000ull; ++tries) {
        const TV32HBUF h = t.next++;
        if (t.next == 0) t.next = 1;
        if (h != 0 && !t.buffers.count(h)) {
            try {
                t.buffers.emplace(h, std::move(b));
            } catch (const std::bad_alloc&) {
                return 0;
            }
            return h;
        }
    }
    return 0;
}

// Buffers that may still be made before making fails (tests); negative: no limit.
std::atomic<int> g_failAfter{-1};

bool allowedByFailHook() {
    int left = g_failAfter.load();
    while (left >= 0) {
        if (left == 0) return false;
        if (g_failAfter.compare_exchange_weak(left, left - 1)) return true;
    }
    return true;
}

std::unique_ptr<Buffer> makeBuffer(int bits, int width, int height, bool zeroed) {
    if (!validBits(bits) || width <= 0 || height <= 0) return nullptr;
    if (!allowedByFailHook()) return nullptr;
    const int bpp = bits / 8;
    // The information record gives the bytes of a row and of the whole picture in 32 bits: a
    // buffer whose size does not fit is never made (the product is formed in 64 bits).
    const std::int64_t rowBytes = std::int64_t(width) * bpp;
    if (rowBytes > INT_MAX || rowBytes * height > INT_MAX) return nullptr;
    int cw = 0, ch = 0;
    cellSize(cw, ch);
    auto b = std::unique_ptr<Buffer>(new (std::nothrow) Buffer);
    if (!b) return nullptr;
    b->bits = bits;
    b->bpp = bpp;
    b->width = width;
    b->height = height;
    b->cellW = bpp == 1 ? width : std::min(cw, width);
    b->cellH = std::min(ch, height);
    b->across = (width + b->cellW - 1) / b->cellW;
    b->down = (height + b->cellH - 1) / b->cellH;
    b->lastW = width - (b->across - 1) * b->cellW;
    b->lastH = height - (b->down - 1) * b->cellH;
    try {
        std::size_t total = 0;
        if (bpp == 1) {
            total = std::size_t(width) * std::size_t(height);
        } else {
            for (int cy = 0; cy < b->down; ++cy)
                total += std::size_t(b->cellHeightAt(cy)) * std::size_t(width) * 3;
        }
        if (!b->slab.allocate(total, zeroed)) return nullptr;
        uint8_t* p = b->slab.data();
        if (bpp == 1) {
            b->blocks.push_back(p);
        } else {
            b->blocks.reserve(std::size_t(b->cellCount()));
            for (int cy = 0; cy < b->down; ++cy)
                for (int cx = 0; cx < b->across; ++cx) {
                    b->blocks.push_back(p);
                    p += std::size_t(b->cellWidthAt(cx)) * std::size_t(b->cellHeightAt(cy)) * 3;
                }
        }
    } catch (const std::exception&) {
        return nullptr;
    }
    return b;
}

void readBlock(const Buffer& b, int x, int y, int w, int h, uint8_t* mem, std::size_t memStride) {
    const std::size_t bpp = std::size_t(b.bpp);
    forEachPiece(b, x, y, w, h, [&](uint8_t* p, std::size_t stride, int ox, int oy, int n, int rows) {
        uint8_t* out = mem + std::size_t(oy) * memStride + std::size_t(ox) * bpp;
        for (int r = 0; r < rows; ++r, p += stride, out += memStride)
            std::memcpy(out, p, std::size_t(n) * bpp);
    });
}

void writeBlock(Buffer& b, int x, int y, int w, int h, const uint8_t* mem, std::size_t memStride) {
    const std::size_t bpp = std::size_t(b.bpp);
    forEachPiece(b, x, y, w, h, [&](uint8_t* p, std::size_t stride, int ox, int oy, int n, int rows) {
        const uint8_t* in = mem + std::size_t(oy) * memStride + std::size_t(ox) * bpp;
        for (int r = 0; r < rows; ++r, p += stride, in += memStride)
            std::memcpy(p, in, std::size_t(n) * bpp);
    });
}

} // namespace tv32

using namespace tv32;

namespace {

// The fence of every export below: an exception ends the call with failure (guardLibrary).
template <class F> int guarded(F&& body) noexcept {
    return guardLibrary(0, std::forward<F>(body));
}

} // namespace

extern "C" {

TV32_API int TV32_CALL buf32SetCellSize(int32_t width, int32_t height) {
    return guarded([&] {
        if (width < 0 || height < 0 || width > 65536 || height > 65536) return 0;
        Table& t = table();
        std::lock_guard lock(t.mutex);
        if (width == 0 || height == 0) {
            initialCellSize(t.cellW, t.cellH);
        } else {
            t.cellW = width;
            t.cellH = height;
        }
        return 1;
    });
}

TV32_API int32_t TV32_CALL buf32CountLive(void) {
    return guardLibrary(int32_t(-1), [] {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        return int32_t(t.buffers.size());
    });
}

TV32_API int TV32_CALL buf32FailAfter(int32_t count) {
    g_failAfter.store(count < 0 ? -1 : count);
    return 1;
}

TV32_API int TV32_CALL buf32Alloc(TV32HBUF* slot, int32_t bitsPerPixel, int32_t width, int32_t height,
                                  int32_t fillMode, const void* fillValue) {
    return guarded([&] {
        if (!slot) return 0;
        if (fillMode == BUF32_FILL_VALUE && !fillValue) return 0;
        if (fillMode < 0 || fillMode > 2) return 0;
        auto b = makeBuffer(bitsPerPixel, width, height, fillMode == BUF32_FILL_ZERO);
        if (!b) return 0;
        if (fillMode == BUF32_FILL_VALUE)
            fillRegion(*b, 0, 0, width, height, static_cast<const uint8_t*>(fillValue));
        const TV32HBUF h = insert(std::move(b));
        if (!h) return 0;
        *slot = h;
        return 1;
    });
}

TV32_API int TV32_CALL buf32Free(TV32HBUF buffer) {
    return guarded([&] {
        if (buffer == 0) return 0;
        std::unique_ptr<Buffer> doomed;
        Table& t = table();
        {
            std::lock_guard lock(t.mutex);
            auto it = t.buffers.find(buffer);
            if (it == t.buffers.end()) return 0;
            doomed = std::move(it->second);
            t.buffers.erase(it);
        }
        return 1;
    });
}

TV32_API int TV32_CALL buf32GetWHU(TV32HBUF buffer, int32_t* width, int32_t* height, int32_t) {
    return guarded([&] {
        const Buffer* b = lookup(buffer);
        if (!b) return 0;
        if (width) *width = b->width;
        if (height) *height = b->height;
        return 1;
    });
}

TV32_API int TV32_CALL buf32GetInfo(TV32HBUF buffer, BUF32INFO* info) {
    return guarded([&] {
        const Buffer* b = lookup(buffer);
        if (!b) return 0;
        if (!info) return 1;
        std::memset(info, 0, sizeof *info);
        info->recordSize = sizeof *info;
        info->handle = buffer;
        info->bitsPerPixel = b->bits;
        info->bytesPerPixel = b->bpp;
        info->width = b->width;
        info->height = b->height;
        info->bytesPerRow = b->width * b->bpp;
        info->dataSize = int32_t(b->dataSize());
        info->lockCount = b->lockCount;
        info->lockMode = b->lockMode;
        info->cellCount = b->cellCount();
        info->cellsAcross = b->across;
        info->cellsDown = b->down;
        info->cellWidth = b->cellW;
        info->cellHeight = b->cellH;
        info->lastCellWidth = b->lastW;
        info->lastCellHeight = b->lastH;
        return 1;
    });
}

TV32_API int TV32_CALL buf32Lock(TV32HBUF buffer, int32_t mode, BUF32LOCK* lock) {
    return guarded([&] {
        Buffer* b = lookup(buffer);
        if (!b || mode < 1 || mode > 3) return 0;
        if (b->lockCount == INT_MAX) return 0;
        if (b->lockCount++ == 0) b->lockMode = mode;
        if (lock) {
            lock->mode = mode;
            lock->width = b->width;
            lock->height = b->height;
            lock->bytesPerPixel = b->bpp;
            lock->cellCount = b->cellCount();
        }
        return 1;
    });
}

TV32_API int TV32_CALL buf32Unlock(TV32HBUF buffer) {
    return guarded([&] {
        Buffer* b = lookup(buffer);
        if (!b || b->lockCount == 0) return 0;
        if (--b->lockCount == 0) b->lockMode = 0;
        return 1;
    });
}

TV32_API int TV32_CALL buf32CellLock(TV32HBUF buffer, int32_t index, BUF32LOCK*, BUF32CELL* cell) {
    return guarded([&] {
        const Buffer* b = lookup(buffer);
        if (!b || !cell || b->lockCount == 0 || index < 0 || index >= b->cellCount()) return 0;
        const int column = index % b->across, row = index / b->across;
        cell->index = index;
        cell->bytesPerPixel = b->bpp;
        cell->x = column * b->cellW;
        cell->y = row * b->cellH;
        cell->width = b->cellWidthAt(column);
        cell->height = b->cellHeightAt(row);
        cell->pixelCount = cell->width * cell->height;
        cell->pixels = b->at(cell->x, cell->y);
        return 1;
    });
}

TV32_API int TV32_CALL buf32CellUnlock(TV32HBUF buffer, int32_t index) {
    return guarded([&] {
        const Buffer* b = lookup(buffer);
        return b && b->lockCount > 0 && index >= 0 && index < b->cellCount() ? 1 : 0;
    });
}

TV32_API uint8_t* TV32_CALL buf32PointAddr(TV32HBUF buffer, int32_t x, int32_t y) {
    return guardLibrary(static_cast<uint8_t*>(nullptr), [&]() -> uint8_t* {
        const Buffer* b = lookup(buffer);
        if (!b || b->lockCount == 0 || x < 0 || y < 0 || x >= b->width || y >= b->height) return nullptr;
        return b->at(x, y);
    });
}

TV32_API int TV32_CALL buf32GetMem(TV32HBUF buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                                   void* memory) {
    return guarded([&] {
        const Buffer* b = lookup(buffer);
        if (!b || !memory || !inside(*b, x, y, width, height)) return 0;
        readBlock(*b, x, y, width, height, static_cast<uint8_t*>(memory), std::size_t(width) * b->bpp);
        return 1;
    });
}

TV32_API int TV32_CALL buf32GetMemWithBC(TV32HBUF buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                                         void* memory, const void* background) {
    return guarded([&] {
        const Buffer* b = lookup(buffer);
        if (!b || !memory || width <= 0 || height <= 0) return 0;
        auto* mem = static_cast<uint8_t*>(memory);
        const std::size_t stride = std::size_t(width) * b->bpp;
        const auto* bg = static_cast<const uint8_t*>(background);
        if (!bg || b->bpp == 1 || (bg[0] == bg[1] && bg[1] == bg[2])) {
            std::memset(mem, bg ? bg[0] : 0, stride * std::size_t(height));
        } else {
            for (std::size_t i = 0; i < stride * std::size_t(height); i += 3)
                std::memcpy(mem + i, bg, 3);
        }
        Block c{x, y, width, height};
        std::int64_t sx = 0, sy = 0;
        if (clip(c, b->width, b->height, &sx, &sy))
            readBlock(*b, int(c.x), int(c.y), int(c.w), int(c.h),
                      mem + std::size_t(sy) * stride + std::size_t(sx) * b->bpp, stride);
        return 1;
    });
}

TV32_API int TV32_CALL buf32MergeMem(TV32HBUF buffer, int32_t x, int32_t y, const void* memory, int32_t width,
                                     int32_t height) {
    return guarded([&] {
        Buffer* b = lookup(buffer);
        if (!b || !memory || width <= 0 || height <= 0) return 0;
        const auto* mem = static_cast<const uint8_t*>(memory);
        const std::size_t stride = std::size_t(width) * b->bpp;
        Block c{x, y, width, height};
        std::int64_t sx = 0, sy = 0;
        if (clip(c, b->width, b->height, &sx, &sy))
            writeBlock(*b, int(c.x), int(c.y), int(c.w), int(c.h),
                       mem + std::size_t(sy) * stride + std::size_t(sx) * b->bpp, stride);
        return 1;
    });
}

TV32_API int TV32_CALL buf32MergeBuf(TV32HBUF from, int32_t fromX, int32_t fromY, int32_t width,
                                     int32_t height, TV32HBUF to, int32_t toX, int32_t toY) {
    return guarded([&] {
        Buffer* s = lookup(from);
        Buffer* d = lookup(to);
        if (!s || !d || s->bits != d->bits || width <= 0 || height <= 0) return 0;
        // Clip to the source, moving the target along, then to the target.
        Block src{fromX, fromY, width, height};
        std::int64_t offX = 0, offY = 0;
        if (!clip(src, s->width, s->height, &offX, &offY)) return 1;
        Block dst{std::int64_t(toX) + offX, std::int64_t(toY) + offY, src.w, src.h};
        std::int64_t off2X = 0, off2Y = 0;
        if (!clip(dst, d->width, d->height, &off2X, &off2Y)) return 1;
        const int sx = int(src.x + off2X), sy = int(src.y + off2Y);
        const int dx = int(dst.x), dy = int(dst.y), dw = int(dst.w), dh = int(dst.h);
        if (s == d) {
            // Overlapping blocks of one buffer go through memory.
            std::unique_ptr<uint8_t[]> tmp(new (std::nothrow) uint8_t[std::size_t(dw) * dh * s->bpp]);
            if (!tmp) return 0;
            readBlock(*s, sx, sy, dw, dh, tmp.get(), std::size_t(dw) * s->bpp);
            writeBlock(*d, dx, dy, dw, dh, tmp.get(), std::size_t(dw) * s->bpp);
            return 1;
        }
        copyRegion(*s, sx, sy, *d, dx, dy, dw, dh);
        return 1;
    });
}

TV32_API int TV32_CALL buf32GetBuf(TV32HBUF source, int32_t x, int32_t y, int32_t width, int32_t height,
                                   TV32HBUF* slot) {
    return guarded([&] {
        Buffer* s = lookup(source);
        if (!s || !slot || width <= 0 || height <= 0) return 0;
        static const uint8_t zero[3] = {0, 0, 0};
        if (*slot == 0) {
            // Zeroed only when part of the block lies outside the source.
            const bool inside = x >= 0 && y >= 0 && std::int64_t(x) + width <= s->width &&
                                std::int64_t(y) + height <= s->height;
            auto b = makeBuffer(s->bits, width, height, !inside);
            if (!b) return 0;
            Block c{x, y, width, height};
            std::int64_t offX = 0, offY = 0;
            if (clip(c, s->width, s->height, &offX, &offY))
                copyRegion(*s, int(c.x), int(c.y), *b, int(offX), int(offY), int(c.w), int(c.h));
            const TV32HBUF nh = insert(std::move(b));
            if (!nh) return 0;
            *slot = nh;
            return 1;
        }
        Buffer* d = lookup(*slot);
        if (!d || d->bits != s->bits) return 0;
        const int w = std::min(width, d->width), h = std::min(height, d->height);
        if (d == s) { // copying a buffer's block onto its own origin: take the block first
            TV32HBUF th = 0;
            if (!buf32GetBuf(source, x, y, w, h, &th)) return 0;
            buf32MergeBuf(th, 0, 0, w, h, *slot, 0, 0);
            buf32Free(th);
            return 1;
        }
        fillRegion(*d, 0, 0, w, h, zero);
        Block c{x, y, w, h};
        std::int64_t offX = 0, offY = 0;
        if (clip(c, s->width, s->height, &offX, &offY))
            copyRegion(*s, int(c.x), int(c.y), *d, int(offX), int(offY), int(c.w), int(c.h));
        return 1;
    });
}

TV32_API int TV32_CALL buf32DupBuf(TV32HBUF source, TV32HBUF* slot) {
    return guarded([&] {
        const Buffer* s = lookup(source);
        if (!s || !slot) return 0;
        auto b = makeBuffer(s->bits, s->width, s->height, false); // every pixel is copied below
        if (!b) return 0;
        // Same format and size means the same cell grid, unless the cell size changed in between.
        if (b->cellW == s->cellW && b->cellH == s->cellH) {
            // Same grid, same packing of the cells in the slab: one copy.
            std::memcpy(b->slab.data(), s->slab.data(), std::size_t(s->dataSize()));
        } else {
            copyRegion(*s, 0, 0, *b, 0, 0, s->width, s->height);
        }
        const TV32HBUF h = insert(std::move(b));
        if (!h) return 0;
        *slot = h;
        return 1;
    });
}

TV32_API int TV32_CALL buf32FillOneColor(TV32HBUF buffer, const void* color) {
    return guarded([&] {
        Buffer* b = lookup(buffer);
        if (!b || !color) return 0;
        fillRegion(*b, 0, 0, b->width, b->height, static_cast<const uint8_t*>(color));
        return 1;
    });
}

} // extern "C"
