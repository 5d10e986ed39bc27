// Buffers: storage in cells, block operations, conversions and masks.
#include "imagelib/imagelib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Pixel (x, y) channel c of a test pattern.
uint8_t pat(int x, int y, int c, int seed = 0) {
    return uint8_t((x * 7 + y * 13 + c * 101 + seed * 37) & 0xFF);
}

std::vector<uint8_t> pattern(int w, int h, int bpp, int seed = 0) {
    std::vector<uint8_t> v(std::size_t(w) * h * bpp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < bpp; ++c)
                v[(std::size_t(y) * w + x) * bpp + c] = pat(x, y, c, seed);
    return v;
}

// RAII holder of a buffer handle.
struct Buf {
    TV32HBUF h = 0;
    Buf() = default;
    Buf(int bits, int w, int h_, const std::vector<uint8_t>* pixels = nullptr) {
        EXPECT_TRUE(buf32Alloc(&h, bits, w, h_, BUF32_FILL_ZERO, nullptr));
        if (pixels) {
            EXPECT_TRUE(buf32MergeMem(h, 0, 0, pixels->data(), w, h_));
        }
    }
    ~Buf() {
        if (h) buf32Free(h);
    }
    Buf(const Buf&) = delete;
    Buf& operator=(const Buf&) = delete;
    std::vector<uint8_t> pixels() const {
        BUF32INFO info{};
        EXPECT_TRUE(buf32GetInfo(h, &info));
        std::vector<uint8_t> v(std::size_t(info.dataSize));
        EXPECT_TRUE(buf32GetMem(h, 0, 0, info.width, info.height, v.data()));
        return v;
    }
};

class Buffers : public ::testing::TestWithParam<int> {
  protected:
    int bits() const { return GetParam(); }
    int bpp() const { return GetParam() / 8; }
};

TEST_P(Buffers, CellGridCoversTheImageAndCellsShowTheSamePixels) {
    const int w = 37, h = 23;
    const auto src = pattern(w, h, bpp());
    Buf b(bits(), w, h, &src);
    BUF32INFO info{};
    ASSERT_TRUE(buf32GetInfo(b.h, &info));
    EXPECT_EQ(info.recordSize, 80);
    EXPECT_EQ(info.bitsPerPixel, bits());
    EXPECT_EQ(info.bytesPerPixel, bpp());
    EXPECT_EQ(info.width, w);
    EXPECT_EQ(info.height, h);
    EXPECT_EQ(info.dataSize, w * h * bpp());
    EXPECT_EQ(info.cellCount, info.cellsAcross * info.cellsDown);
    EXPECT_EQ((info.cellsAcross - 1) * info.cellWidth + info.lastCellWidth, w);
    EXPECT_EQ((info.cellsDown - 1) * info.cellHeight + info.lastCellHeight, h);
    if (bpp() == 1) {
        EXPECT_EQ(info.cellWidth, w); // bands as wide as the image
    }

    EXPECT_FALSE(buf32CellLock(b.h, 0, nullptr, nullptr)); // needs a cell record
    BUF32CELL cell{};
    EXPECT_FALSE(buf32CellLock(b.h, 0, nullptr, &cell)); // and a locked buffer
    BUF32LOCK lock{};
    ASSERT_TRUE(buf32Lock(b.h, BUF32_LOCK_READWRITE, &lock));
    EXPECT_EQ(lock.cellCount, info.cellCount);
    std::vector<uint8_t> seen(src.size(), 0);
    std::vector<int> hits(std::size_t(w) * h, 0);
    for (int i = 0; i < info.cellCount; ++i) {
        ASSERT_TRUE(buf32CellLock(b.h, i, &lock, &cell));
        EXPECT_EQ(cell.pixelCount, cell.width * cell.height);
        for (int y = 0; y < cell.height; ++y)
            for (int x = 0; x < cell.width; ++x) {
                const std::size_t p = std::size_t(cell.y + y) * w + std::size_t(cell.x + x);
                ++hits[p];
                std::memcpy(&seen[p * bpp()], cell.pixels + (std::size_t(y) * cell.width + x) * bpp(), bpp());
            }
        EXPECT_TRUE(buf32CellUnlock(b.h, i));
    }
    EXPECT_FALSE(buf32CellLock(b.h, info.cellCount, &lock, &cell));
    EXPECT_EQ(seen, src);
    EXPECT_EQ(std::count(hits.begin(), hits.end(), 1), w * h);

    // Every pixel's address holds that pixel; an 8-bit plane follows on without gaps.
    const uint8_t* origin = buf32PointAddr(b.h, 0, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = buf32PointAddr(b.h, x, y);
            ASSERT_NE(p, nullptr);
            ASSERT_EQ(std::memcmp(p, &src[(std::size_t(y) * w + x) * bpp()], bpp()), 0);
            if (bpp() == 1) {
                ASSERT_EQ(p, origin + std::size_t(y) * w + x);
            }
        }
    EXPECT_EQ(buf32PointAddr(b.h, w, 0), nullptr);
    EXPECT_EQ(buf32PointAddr(b.h, 0, -1), nullptr);
    EXPECT_TRUE(buf32Unlock(b.h));
    EXPECT_FALSE(buf32Unlock(b.h));
    EXPECT_EQ(buf32PointAddr(b.h, 0, 0), nullptr); // unlocked
}

TEST_P(Buffers, BlocksRoundTripAcrossCellBorders) {
    const int w = 41, h = 29, n = bpp();
    const auto src = pattern(w, h, n);
    Buf b(bits(), w, h, &src);
    EXPECT_EQ(b.pixels(), src);

    // A block inside, read and written back elsewhere.
    const int bx = 5, by = 3, bw = 19, bh = 17;
    std::vector<uint8_t> block(std::size_t(bw) * bh * n);
    ASSERT_TRUE(buf32GetMem(b.h, bx, by, bw, bh, block.data()));
    for (int y = 0; y < bh; ++y)
        ASSERT_EQ(std::memcmp(&block[std::size_t(y) * bw * n], &src[(std::size_t(by + y) * w + bx) * n],
                              std::size_t(bw) * n),
                  0);
    EXPECT_FALSE(buf32GetMem(b.h, w - 3, 0, 4, 1, block.data())); // not inside

    // Merge the pattern of another seed partly outside: only the inside part lands.
    const auto other = pattern(10, 10, n, 3);
    ASSERT_TRUE(buf32MergeMem(b.h, w - 4, -2, other.data(), 10, 10));
    auto now = b.pixels();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < n; ++c) {
                const bool in = x >= w - 4 && y < 8;
                const uint8_t want = in ? pat(x - (w - 4), y + 2, c, 3) : pat(x, y, c);
                ASSERT_EQ(now[(std::size_t(y) * w + x) * n + c], want) << x << "," << y;
            }
}

TEST_P(Buffers, GetMemWithBCFillsOutsideWithTheBackground) {
    const int w = 20, h = 12, n = bpp();
    const auto src = pattern(w, h, n);
    Buf b(bits(), w, h, &src);
    const uint8_t bg[4] = {9, 8, 7, 0};
    const int x0 = -3, y0 = 8, bw = 30, bh = 9;
    std::vector<uint8_t> mem(std::size_t(bw) * bh * n, 0xEE);
    ASSERT_TRUE(buf32GetMemWithBC(b.h, x0, y0, bw, bh, mem.data(), bg));
    for (int y = 0; y < bh; ++y)
        for (int x = 0; x < bw; ++x)
            for (int c = 0; c < n; ++c) {
                const int sx = x0 + x, sy = y0 + y;
                const bool in = sx >= 0 && sx < w && sy >= 0 && sy < h;
                ASSERT_EQ(mem[(std::size_t(y) * bw + x) * n + c], in ? pat(sx, sy, c) : bg[c]);
            }
    // No background address: zeros; a block wholly outside is all background.
    ASSERT_TRUE(buf32GetMemWithBC(b.h, 100, 100, 4, 4, mem.data(), nullptr));
    EXPECT_TRUE(std::all_of(mem.begin(), mem.begin() + 16 * n, [](uint8_t v) { return v == 0; }));
}

TEST_P(Buffers, GetBufDupBufMergeBufAndFill) {
    const int w = 33, h = 21, n = bpp();
    const auto src = pattern(w, h, n);
    Buf b(bits(), w, h, &src);

    Buf dup;
    ASSERT_TRUE(buf32DupBuf(b.h, &dup.h));
    EXPECT_NE(dup.h, b.h);
    EXPECT_EQ(dup.pixels(), src);

    // New buffer from a block reaching outside: outside reads 0.
    Buf part;
    ASSERT_TRUE(buf32GetBuf(b.h, 25, -4, 12, 10, &part.h));
    int32_t pw = 0, ph = 0;
    ASSERT_TRUE(buf32GetWHU(part.h, &pw, &ph, 0));
    EXPECT_EQ(pw, 12);
    EXPECT_EQ(ph, 10);
    auto pp = part.pixels();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            for (int c = 0; c < n; ++c) {
                const int sx = 25 + x, sy = -4 + y;
                const bool in = sx < w && sy >= 0;
                ASSERT_EQ(pp[(std::size_t(y) * 12 + x) * n + c], in ? pat(sx, sy, c) : 0);
            }

    // Into an existing buffer: the block lands at its origin.
    const std::vector<uint8_t> white(std::size_t(n), 0xFF);
    Buf target(bits(), 15, 15);
    ASSERT_TRUE(buf32FillOneColor(target.h, white.data()));
    ASSERT_TRUE(buf32GetBuf(b.h, 2, 3, 10, 10, &target.h));
    auto tp = target.pixels();
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 15; ++x)
            ASSERT_EQ(tp[(std::size_t(y) * 15 + x) * n], x < 10 && y < 10 ? pat(2 + x, 3 + y, 0) : 0xFF);

    // MergeBuf clips to both buffers.
    Buf dst(bits(), 16, 16);
    ASSERT_TRUE(buf32MergeBuf(b.h, 30, 18, 8, 8, dst.h, 10, 12));
    auto dp = dst.pixels();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int sx = 30 + x - 10, sy = 18 + y - 12;
            const bool in = x >= 10 && y >= 12 && sx < w && sy < h && x < 18 && y < 20;
            ASSERT_EQ(dp[(std::size_t(y) * 16 + x) * n], in ? pat(sx, sy, 0) : 0) << x << "," << y;
        }
    // Different formats do not mix.
    Buf otherKind(bits() == 8 ? 24 : 8, 4, 4);
    EXPECT_FALSE(buf32MergeBuf(b.h, 0, 0, 4, 4, otherKind.h, 0, 0));

    // Overlapping copy inside one buffer behaves like a copy through memory.
    ASSERT_TRUE(buf32MergeBuf(b.h, 0, 0, 20, 15, b.h, 3, 2));
    auto bp = b.pixels();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool in = x >= 3 && x < 23 && y >= 2 && y < 17;
            ASSERT_EQ(bp[(std::size_t(y) * w + x) * n], in ? pat(x - 3, y - 2, 0) : pat(x, y, 0));
        }

    // Alloc with a fill value.
    const uint8_t color[3] = {10, 20, 30};
    Buf filled;
    ASSERT_TRUE(buf32Alloc(&filled.h, bits(), 9, 9, BUF32_FILL_VALUE, color));
    auto fp = filled.pixels();
    for (std::size_t i = 0; i < fp.size(); ++i)
        ASSERT_EQ(fp[i], color[i % n]);
    TV32HBUF none = 0;
    EXPECT_FALSE(buf32Alloc(&none, bits(), 9, 9, BUF32_FILL_VALUE, nullptr));
    EXPECT_FALSE(buf32Alloc(&none, 16, 9, 9, BUF32_FILL_ZERO, nullptr));
    EXPECT_FALSE(buf32Alloc(&none, bits(), 0, 9, BUF32_FILL_ZERO, nullptr));
    EXPECT_FALSE(buf32Alloc(&none, bits(), 70000, 70000, BUF32_FILL_ZERO, nullptr));
    EXPECT_EQ(none, 0u);
}

INSTANTIATE_TEST_SUITE_P(Formats, Buffers, ::testing::Values(8, 24));

TEST(BufferHandles, InvalidAndFreedHandlesFailCleanly) {
    TV32HBUF h = 0;
    ASSERT_TRUE(buf32Alloc(&h, 24, 10, 10, BUF32_FILL_NONE, nullptr));
    const TV32HBUF freed = h;
    ASSERT_TRUE(buf32Free(h));
    EXPECT_FALSE(buf32Free(h));
    uint8_t mem[300] = {};
    BUF32INFO info{};
    BUF32CELL cell{};
    for (TV32HBUF bad : {TV32HBUF(0), freed, TV32HBUF(0xDEADBEEF)}) {
        TV32HBUF slot = 0;
        int32_t w = -1;
        EXPECT_FALSE(buf32GetInfo(bad, &info));
        EXPECT_FALSE(buf32GetWHU(bad, &w, &w, 0));
        EXPECT_EQ(w, -1);
        EXPECT_FALSE(buf32Lock(bad, 1, nullptr));
        EXPECT_FALSE(buf32Unlock(bad));
        EXPECT_FALSE(buf32CellLock(bad, 0, nullptr, &cell));
        EXPECT_FALSE(buf32CellUnlock(bad, 0));
        EXPECT_EQ(buf32PointAddr(bad, 0, 0), nullptr);
        EXPECT_FALSE(buf32GetMem(bad, 0, 0, 1, 1, mem));
        EXPECT_FALSE(buf32GetMemWithBC(bad, 0, 0, 1, 1, mem, nullptr));
        EXPECT_FALSE(buf32MergeMem(bad, 0, 0, mem, 1, 1));
        EXPECT_FALSE(buf32MergeBuf(bad, 0, 0, 1, 1, bad, 0, 0));
        EXPECT_FALSE(buf32GetBuf(bad, 0, 0, 1, 1, &slot));
        EXPECT_FALSE(buf32DupBuf(bad, &slot));
        EXPECT_FALSE(buf32FillOneColor(bad, mem));
        const TV32SIZE size{2, 2};
        EXPECT_FALSE(tv32BufferResampleEx(&size, bad, &slot, 0, nullptr, 1));
        EXPECT_FALSE(cvt32BufType(2, 0, 2, 32, bad, &slot, nullptr, 0, 0, nullptr, 0));
        SEL32RECORD sel{};
        sel.mask = bad;
        EXPECT_FALSE(sel32SoftEdgeMakeMask(&sel, 1, 3, 0, 0, 0, nullptr));
        EXPECT_EQ(slot, 0u);
    }
    // A new buffer never takes a freed buffer's handle.
    ASSERT_TRUE(buf32Alloc(&h, 8, 2, 2, BUF32_FILL_ZERO, nullptr));
    EXPECT_NE(h, freed);
    EXPECT_FALSE(buf32GetInfo(freed, nullptr));
    buf32Free(h);
}

TEST(Conversion, TrueColourToGreyAndBack) {
    const int w = 19, h = 11;
    const auto src = pattern(w, h, 3);
    Buf rgb(24, w, h, &src);
    Buf grey;
    ASSERT_TRUE(cvt32BufType(2, 0, CVT32_TRUECOLOR, CVT32_GREY, rgb.h, &grey.h, nullptr, 0, 0, nullptr, 0));
    auto g = grey.pixels();
    ASSERT_EQ(g.size(), std::size_t(w * h));
    for (std::size_t i = 0; i < g.size(); ++i)
        ASSERT_EQ(g[i], (299 * src[i * 3] + 587 * src[i * 3 + 1] + 114 * src[i * 3 + 2]) / 1000);
    Buf back;
    ASSERT_TRUE(cvt32BufType(2, 0, CVT32_GREY, CVT32_TRUECOLOR, grey.h, &back.h, nullptr, 0, 0, nullptr, 0));
    auto b = back.pixels();
    for (std::size_t i = 0; i < g.size(); ++i)
        ASSERT_TRUE(b[i * 3] == g[i] && b[i * 3 + 1] == g[i] && b[i * 3 + 2] == g[i]);
    // The source kind must match the buffer; an existing target must fit.
    TV32HBUF none = 0;
    EXPECT_FALSE(cvt32BufType(2, 0, CVT32_GREY, CVT32_TRUECOLOR, rgb.h, &none, nullptr, 0, 0, nullptr, 0));
    Buf wrongSize(8, 3, 3);
    EXPECT_FALSE(
        cvt32BufType(2, 0, CVT32_TRUECOLOR, CVT32_GREY, rgb.h, &wrongSize.h, nullptr, 0, 0, nullptr, 0));
    Buf target(8, w, h);
    ASSERT_TRUE(cvt32BufType(2, 0, CVT32_TRUECOLOR, CVT32_GREY, rgb.h, &target.h, nullptr, 0, 0, nullptr, 0));
    EXPECT_EQ(target.pixels(), g);
}

TEST(Resampling, AveragesAreasWhenShrinking) {
    // 8 x 6 checkerboard of 0 and 255 halved: every target pixel averages two of each.
    std::vector<uint8_t> checker(8 * 6 * 3);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            for (int c = 0; c < 3; ++c)
                checker[(std::size_t(y) * 8 + x) * 3 + c] = (x + y) % 2 ? 255 : 0;
    Buf src(24, 8, 6, &checker);
    Buf half;
    const TV32SIZE size{4, 3};
    ASSERT_TRUE(tv32BufferResampleEx(&size, src.h, &half.h, 0, nullptr, 1));
    for (uint8_t v : half.pixels())
        EXPECT_EQ(v, 128); // 127.5 rounded

    // Thirds of a gradient: each target pixel is the mean of its three source pixels.
    std::vector<uint8_t> ramp(9);
    for (int x = 0; x < 9; ++x)
        ramp[std::size_t(x)] = uint8_t(x * 30);
    Buf line(8, 9, 1, &ramp);
    Buf third;
    const TV32SIZE s3{3, 1};
    ASSERT_TRUE(tv32BufferResampleEx(&s3, line.h, &third.h, 0, nullptr, 1));
    EXPECT_EQ(third.pixels(), (std::vector<uint8_t>{30, 120, 210}));

    // A plain colour stays that colour at any size.
    const uint8_t c[3] = {12, 200, 77};
    Buf plain;
    ASSERT_TRUE(buf32Alloc(&plain.h, 24, 50, 31, BUF32_FILL_VALUE, c));
    Buf odd;
    const TV32SIZE so{17, 40};
    ASSERT_TRUE(tv32BufferResampleEx(&so, plain.h, &odd.h, 0, nullptr, 1));
    auto op = odd.pixels();
    for (std::size_t i = 0; i < op.size(); ++i)
        ASSERT_EQ(op[i], c[i % 3]);
}

TEST(SoftEdge, MaskIsFullInsideAndFallsOffTowardTheBorder) {
    const int W = 40, H = 30, e = 6;
    TV32HBUF inner = 0;
    const uint8_t full = 255;
    ASSERT_TRUE(buf32Alloc(&inner, 8, W - 2 * e, H - 2 * e, BUF32_FILL_VALUE, &full));
    SEL32RECORD sel{};
    sel.x = sel.y = e;
    sel.width = W - 2 * e;
    sel.height = H - 2 * e;
    sel.mask = inner;
    sel.kind = 1;
    ASSERT_TRUE(sel32SoftEdgeMakeMask(&sel, 1, e, 0, 0, 0, nullptr));
    EXPECT_NE(sel.mask, inner);
    EXPECT_FALSE(buf32GetInfo(inner, nullptr)); // the inner mask was replaced
    Buf out;
    out.h = sel.mask;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(buf32GetWHU(out.h, &w, &h, 0));
    ASSERT_EQ(w, W);
    ASSERT_EQ(h, H);
    auto m = out.pixels();
    auto at = [&](int x, int y) { return int(m[std::size_t(y) * W + x]); };
    for (int y = e; y < H - e; ++y)
        for (int x = e; x < W - e; ++x)
            ASSERT_EQ(at(x, y), 255);
    // Along a row through the middle the values grow toward the inside; corners reach 0.
    for (int x = 1; x <= e; ++x)
        EXPECT_GT(at(x, H / 2), at(x - 1, H / 2));
    for (int y = 1; y <= e; ++y)
        EXPECT_GT(at(W / 2, y), at(W / 2, y - 1));
    EXPECT_LT(at(0, H / 2), 64);
    EXPECT_EQ(at(0, 0), 0);
    EXPECT_EQ(at(W - 1, H - 1), 0);
    for (int x = 0; x < W; ++x)
        EXPECT_EQ(at(x, 3), at(W - 1 - x, H - 1 - 3)); // symmetric
}

// Around any inner mask (here not uniform, placed apart from the edge width) the softened mask
// holds the inner mask unchanged and, outside it, the ramp 255 (e + 1 - d) / (e + 1), rounded,
// of the distance d to the inner part.
TEST(SoftEdge, ValuesFollowTheRampAroundAnyInnerMask) {
    const int iw = 9, ih = 6, ix = 3, iy = 5, e = 4;
    const auto inside = pattern(iw, ih, 1, 2);
    Buf inner(8, iw, ih, &inside);
    SEL32RECORD sel{};
    sel.x = ix;
    sel.y = iy;
    sel.width = iw;
    sel.height = ih;
    sel.mask = inner.h;
    sel.kind = 1;
    ASSERT_TRUE(sel32SoftEdgeMakeMask(&sel, 1, e, 0, 0, 0, nullptr));
    inner.h = 0; // replaced and freed by the call
    Buf out;
    out.h = sel.mask;
    const int W = ix + iw + e, H = iy + ih + e;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(buf32GetWHU(out.h, &w, &h, 0));
    ASSERT_EQ(w, W);
    ASSERT_EQ(h, H);
    const auto m = out.pixels();
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int dx = x < ix ? ix - x : x >= ix + iw ? x - (ix + iw - 1) : 0;
            const int dy = y < iy ? iy - y : y >= iy + ih ? y - (iy + ih - 1) : 0;
            int want;
            if (dx == 0 && dy == 0) {
                want = inside[std::size_t(y - iy) * iw + std::size_t(x - ix)];
            } else {
                const double d = std::sqrt(double(dx * dx + dy * dy)), span = e + 1.0;
                want = d >= span ? 0 : int(std::lround(255.0 * (span - d) / span));
            }
            ASSERT_EQ(m[std::size_t(y) * W + x], want) << x << "," << y;
        }
}

// Buffers of a few megabytes take their memory straight from the system, and freed ones are kept
// for the next: memory that comes back must still start as asked (zero, or the fill colour), and
// the block operations must work across cell borders at any offset.
TEST(LargeBuffers, ReusedMemoryStartsCleanAndBlocksCopyExactly) {
    for (int cell : {0, 7}) {
        ASSERT_TRUE(buf32SetCellSize(cell, cell));
        for (int bits : {8, 24}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, cell size " << cell);
            const int n = bits / 8, w = 1500, h = 1000;
            const uint8_t dirt[3] = {0xA1, 0xB2, 0xC3};
            for (int k = 0; k < 2; ++k) {
                TV32HBUF d = 0;
                ASSERT_TRUE(buf32Alloc(&d, bits, w, h, BUF32_FILL_VALUE, dirt));
                ASSERT_TRUE(buf32Free(d));
            }
            Buf zero(bits, w, h);
            const auto zp = zero.pixels();
            EXPECT_TRUE(std::all_of(zp.begin(), zp.end(), [](uint8_t v) { return v == 0; }));
            const uint8_t colour[3] = {7, 8, 9};
            Buf filled;
            ASSERT_TRUE(buf32Alloc(&filled.h, bits, w, h, BUF32_FILL_VALUE, colour));
            const auto fp = filled.pixels();
            bool allColour = true;
            for (std::size_t i = 0; i < fp.size(); ++i)
                allColour = allColour && fp[i] == colour[i % std::size_t(n)];
            EXPECT_TRUE(allColour);

            const auto src = pattern(w, h, n, 5);
            Buf a(bits, w, h, &src);
            EXPECT_EQ(a.pixels(), src);
            Buf dup;
            ASSERT_TRUE(buf32DupBuf(a.h, &dup.h));
            EXPECT_EQ(dup.pixels(), src);
            // A block of a, partly outside it, into a new buffer: outside reads 0.
            const int bx = 333, by = -21, bw = 1201, bh = 999;
            Buf part;
            ASSERT_TRUE(buf32GetBuf(a.h, bx, by, bw, bh, &part.h));
            const auto pp = part.pixels();
            bool blockOk = true;
            for (int y = 0; y < bh && blockOk; ++y)
                for (int x = 0; x < bw; ++x) {
                    const int sx = bx + x, sy = by + y;
                    const bool in = sx < w && sy >= 0;
                    for (int c = 0; c < n; ++c)
                        blockOk = blockOk && pp[(std::size_t(y) * bw + x) * n + c] ==
                                                 (in ? src[(std::size_t(sy) * w + sx) * n + c] : 0);
                }
            EXPECT_TRUE(blockOk);
            // Merged back at an odd place, clipped to the target.
            ASSERT_TRUE(buf32MergeBuf(part.h, 0, 0, bw, bh, a.h, 701, 13));
            const auto ap = a.pixels();
            bool mergeOk = true;
            for (int y = 0; y < h && mergeOk; ++y)
                for (int x = 0; x < w; ++x) {
                    const bool in = x >= 701 && y >= 13 && x < 701 + bw && y < 13 + bh;
                    for (int c = 0; c < n; ++c) {
                        const uint8_t want = in ? pp[(std::size_t(y - 13) * bw + (x - 701)) * n + c]
                                                : src[(std::size_t(y) * w + x) * n + c];
                        mergeOk = mergeOk && ap[(std::size_t(y) * w + x) * n + c] == want;
                    }
                }
            EXPECT_TRUE(mergeOk);
        }
    }
    buf32SetCellSize(0, 0);
}

// The same operations with three cell sizes give the same pixels.
TEST(CellSize, ResultsDoNotDependOnIt) {
    auto run = [](int cw, int ch) {
        EXPECT_TRUE(buf32SetCellSize(cw, ch));
        const auto src = pattern(53, 37, 3);
        Buf a(24, 53, 37, &src);
        Buf b;
        EXPECT_TRUE(buf32GetBuf(a.h, 7, 5, 40, 30, &b.h));
        EXPECT_TRUE(buf32MergeBuf(a.h, 20, 10, 30, 25, b.h, 3, 4));
        Buf g;
        EXPECT_TRUE(cvt32BufType(2, 0, 2, 32, b.h, &g.h, nullptr, 0, 0, nullptr, 0));
        Buf s;
        const TV32SIZE size{13, 9};
        EXPECT_TRUE(tv32BufferResampleEx(&size, b.h, &s.h, 0, nullptr, 1));
        auto out = b.pixels();
        auto gp = g.pixels();
        auto sp = s.pixels();
        out.insert(out.end(), gp.begin(), gp.end());
        out.insert(out.end(), sp.begin(), sp.end());
        return out;
    };
    const auto big = run(512, 512);
    EXPECT_EQ(run(3, 2), big);
    EXPECT_EQ(run(16, 9), big);
    buf32SetCellSize(0, 0);
}

} // namespace
