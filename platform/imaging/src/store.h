// Buffers of the image library and the table of their handles.
#pragma once
#include "imagelib/tv32base.h"

#include "slab.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace tv32 {

struct Buffer {
    int bits = 0; // 8 or 24
    int bpp = 0;  // bytes per pixel, 1 or 3
    int width = 0, height = 0;
    int cellW = 0, cellH = 0; // full cell
    int across = 0, down = 0;
    int lastW = 0, lastH = 0; // last column / row
    int lockCount = 0, lockMode = 0;
    // All pixels in one slab. 8 bits: one block, bands of cellH rows as wide as the image;
    // 24 bits: one block per cell, the cells packed one after the other in index order.
    Slab slab;
    std::vector<uint8_t*> blocks;

    int cellCount() const { return across * down; }
    int cellWidthAt(int column) const { return column == across - 1 ? lastW : cellW; }
    int cellHeightAt(int row) const { return row == down - 1 ? lastH : cellH; }
    // Address of (x, y); good up to the end of its row inside its cell (rowEnd).
    uint8_t* at(int x, int y) const {
        if (bpp == 1) return blocks[0] + std::size_t(y) * std::size_t(width) + std::size_t(x);
        const int cx = x / cellW, cy = y / cellH;
        const int cw = cellWidthAt(cx);
        return blocks[std::size_t(cy) * std::size_t(across) + std::size_t(cx)] +
               (std::size_t(y - cy * cellH) * std::size_t(cw) + std::size_t(x - cx * cellW)) * 3;
    }
    // First x past the cell holding x.
    int rowEnd(int x) const { return bpp == 1 ? width : std::min(width, (x / cellW + 1) * cellW); }
    std::int64_t dataSize() const { return std::int64_t(width) * height * bpp; }
};

// The buffer of handle h, nullptr when there is none.
Buffer* lookup(TV32HBUF h);
// Puts a new buffer in the table; 0 when the table or memory is exhausted.
TV32HBUF insert(std::unique_ptr<Buffer> b);
// A new buffer of the given format with zero pixels; nullptr on bad size or no memory. With
// zeroed false the pixels are left as they come, for callers that write every pixel at once.
std::unique_ptr<Buffer> makeBuffer(int bits, int width, int height, bool zeroed = true);

// Calls f(first, stride, ox, oy, n, rows) for each piece of the block [x, x + w) x [y, y + h)
// (inside the buffer) that lies in one cell: first is the address of the piece's top-left pixel,
// stride the distance in bytes between its rows, (ox, oy) its offset in the block, n x rows its
// size. An 8-bit plane is one piece.
template <class F> void forEachPiece(const Buffer& b, int x, int y, int w, int h, F&& f) {
    if (w <= 0 || h <= 0) return;
    if (b.bpp == 1) {
        f(b.blocks[0] + std::size_t(y) * std::size_t(b.width) + std::size_t(x), std::size_t(b.width), 0, 0, w,
          h);
        return;
    }
    for (int yy = y; yy < y + h;) {
        const int cy = yy / b.cellH;
        const int yEnd = std::min(y + h, cy * b.cellH + b.cellHeightAt(cy));
        for (int xx = x; xx < x + w;) {
            const int cx = xx / b.cellW;
            const int cw = b.cellWidthAt(cx);
            const int xEnd = std::min(x + w, cx * b.cellW + cw);
            uint8_t* first =
                b.blocks[std::size_t(cy) * std::size_t(b.across) + std::size_t(cx)] +
                (std::size_t(yy - cy * b.cellH) * std::size_t(cw) + std::size_t(xx - cx * b.cellW)) * 3;
            f(first, std::size_t(cw) * 3, xx - x, yy - y, xEnd - xx, yEnd - yy);
            xx = xEnd;
        }
        yy = yEnd;
    }
}

// Packed copies between a buffer and memory; the block must lie inside the buffer.
void readBlock(const Buffer& b, int x, int y, int w, int h, uint8_t* mem, std::size_t memStride);
void writeBlock(Buffer& b, int x, int y, int w, int h, const uint8_t* mem, std::size_t memStride);

} // namespace tv32
