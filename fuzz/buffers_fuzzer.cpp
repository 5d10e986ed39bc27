// Call sequences on the image buffers (buf32*, and the conversions that make buffers) as the input
// spells them: each step picks an operation, the handles it works on (live ones, freed ones, 0,
// made-up numbers) and its rectangles, sizes and cell sizes, with values at the ends of the
// 32-bit range coming up often. Checks against a model of which handles live: freed and unknown
// handles fail, live ones keep their size, the count of live buffers is the model's, and a copy
// into memory never writes past the block it was asked for.
#include "bytes.h"

#include "imagelib/tv32base.h"
#include "imagelib/tv32cvt.h"
#include "imagelib/tv32sel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <vector>

namespace {

using fuzzinput::Bytes;

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "buffers fuzzer: %s\n", what);
    std::abort();
}

struct Shape {
    int32_t bits, w, h;
};

// At most this many pixel bytes are asked for at once, so that an input cannot make the fuzzer
// itself run out of memory; sizes beyond what the library can address are still asked for.
constexpr int64_t kMostBytes = 1 << 18;

bool modest(int64_t w, int64_t h, int64_t bpp) {
    return w > 0 && h > 0 && w <= kMostBytes && h <= kMostBytes && w * h * bpp <= kMostBytes;
}

// A size the library can address (at most INT_MAX bytes) but the fuzzer will not ask for.
bool tooBigToTry(int64_t w, int64_t h, int64_t bpp) {
    return w > 0 && h > 0 && bpp > 0 && !modest(w, h, bpp) && w * h <= INT_MAX / bpp;
}

class Session {
  public:
    explicit Session(Bytes& in) : in_(in) {}
    ~Session() {
        for (const auto& [h, s] : live_)
            buf32Free(h);
    }

    TV32HBUF handle() {
        switch (in_.pick(8)) {
        case 0:
            return 0;
        case 1:
            return dead_.empty() ? 0xDEADBEEFu : dead_[in_.pick(unsigned(dead_.size()))];
        case 2:
            return TV32HBUF(in_.i32());
        default:
            if (live_.empty()) return 0;
            auto it = live_.begin();
            std::advance(it, in_.pick(unsigned(live_.size())));
            return it->first;
        }
    }

    int32_t bits() {
        static const int32_t kBits[] = {8, 24, 24, 8, 0, 16, 32, -24};
        return kBits[in_.pick(8)];
    }

    // A size: a small one, or one at the ends of the range.
    int32_t size() { return in_.number(70); }

    void made(TV32HBUF h, int32_t bits, int32_t w, int32_t h2) {
        if (live_.count(h)) finding("a new buffer got a live handle");
        live_[h] = {bits, w, h2};
    }

    void step() {
        const unsigned op = in_.pick(16);
        switch (op) {
        case 0: { // alloc
            TV32HBUF h = 0;
            const int32_t b = bits(), w = size(), ht = size();
            const int32_t fill = in_.pick(4);
            const uint8_t colour[3] = {in_.u8(), in_.u8(), in_.u8()};
            const bool allowed = (b == 8 || b == 24) && w > 0 && ht > 0 && fill <= 2;
            if (allowed && tooBigToTry(w, ht, b / 8)) return;
            const int ok = buf32Alloc(&h, b, w, ht, fill, fill == BUF32_FILL_VALUE ? colour : nullptr);
            if (ok && !allowed) finding("a buffer of a size or depth that cannot be was made");
            if (ok) made(h, b, w, ht);
            break;
        }
        case 1: { // free
            const TV32HBUF h = handle();
            const bool isLive = live_.count(h) != 0;
            if (buf32Free(h) != (isLive ? 1 : 0)) finding("free of a handle gave the wrong answer");
            if (isLive) {
                live_.erase(h);
                dead_.push_back(h);
            }
            break;
        }
        case 2: { // information
            const TV32HBUF h = handle();
            BUF32INFO info;
            const int ok = buf32GetInfo(h, &info);
            if (ok != (live_.count(h) ? 1 : 0)) finding("a handle's life is not what it was");
            if (ok) {
                const Shape& s = live_[h];
                if (info.bitsPerPixel != s.bits || info.width != s.w || info.height != s.h)
                    finding("a buffer changed its size");
            }
            break;
        }
        case 3: { // block into memory, with a guard after it
            const TV32HBUF h = handle();
            const int32_t x = in_.number(80), y = in_.number(80), w = size(), ht = size();
            const bool background = in_.pick(2);
            if (!modest(w, ht, 3)) {
                // Sizes beyond what memory could hold: only refusals are safe to ask for.
                if (w <= 0 || ht <= 0) buf32GetMem(h, x, y, w, ht, guard_);
                return;
            }
            const std::size_t need = std::size_t(w) * std::size_t(ht) * 3;
            std::vector<uint8_t> mem(need + 64, 0xA5);
            const uint8_t bg[3] = {1, 2, 3};
            if (background)
                buf32GetMemWithBC(h, x, y, w, ht, mem.data(), bg);
            else
                buf32GetMem(h, x, y, w, ht, mem.data());
            for (std::size_t i = need; i < mem.size(); ++i)
                if (mem[i] != 0xA5) finding("a block was written past its end");
            break;
        }
        case 4: { // memory into a block
            const TV32HBUF h = handle();
            const int32_t x = in_.number(80), y = in_.number(80), w = size(), ht = size();
            if (!modest(w, ht, 3)) return;
            std::vector<uint8_t> mem(std::size_t(w) * std::size_t(ht) * 3, in_.u8());
            buf32MergeMem(h, x, y, mem.data(), w, ht);
            break;
        }
        case 5: // block to block
            buf32MergeBuf(handle(), in_.number(80), in_.number(80), size(), size(), handle(), in_.number(80),
                          in_.number(80));
            break;
        case 6: { // block into a new buffer or a given one
            const TV32HBUF from = handle();
            TV32HBUF slot = in_.pick(2) ? handle() : 0;
            const TV32HBUF given = slot;
            const int32_t x = in_.number(80), y = in_.number(80), w = size(), ht = size();
            BUF32INFO info{};
            if (!given && buf32GetInfo(from, &info) && tooBigToTry(w, ht, info.bytesPerPixel)) return;
            const int ok = buf32GetBuf(from, x, y, w, ht, &slot);
            if (!given && ok) made(slot, info.bitsPerPixel, w, ht);
            if (given && slot != given) finding("a given buffer's slot was replaced");
            break;
        }
        case 7: { // duplicate
            TV32HBUF slot = 0;
            const TV32HBUF from = handle();
            if (buf32DupBuf(from, &slot)) made(slot, live_[from].bits, live_[from].w, live_[from].h);
            break;
        }
        case 8: { // locks and cells
            const TV32HBUF h = handle();
            const int locked = buf32Lock(h, int32_t(in_.pick(5)), nullptr);
            BUF32CELL cell;
            const int32_t index = in_.number(40);
            if (buf32CellLock(h, index, nullptr, &cell)) {
                const Shape& s = live_[h];
                if (cell.x < 0 || cell.y < 0 || cell.width <= 0 || cell.height <= 0 ||
                    cell.x + cell.width > s.w || cell.y + cell.height > s.h)
                    finding("a cell reaches outside its buffer");
                std::memset(cell.pixels, 0x3C,
                            std::size_t(cell.width) * std::size_t(cell.height) *
                                std::size_t(cell.bytesPerPixel));
                buf32CellUnlock(h, index);
            }
            if (uint8_t* p = buf32PointAddr(h, in_.number(80), in_.number(80))) *p ^= 1;
            if (locked) buf32Unlock(h);
            break;
        }
        case 9: { // fill
            const uint8_t colour[3] = {in_.u8(), in_.u8(), in_.u8()};
            buf32FillOneColor(handle(), colour);
            break;
        }
        case 10: { // resample
            const TV32HBUF from = handle();
            const TV32SIZE s{size(), size()};
            BUF32INFO info{};
            if (!buf32GetInfo(from, &info) || !modest(s.cx, s.cy, 3)) return;
            TV32HBUF slot = in_.pick(3) ? 0 : handle();
            const TV32HBUF given = slot;
            if (tv32BufferResampleEx(&s, from, &slot, 0, nullptr, 1) && !given)
                made(slot, info.bitsPerPixel, s.cx, s.cy);
            break;
        }
        case 11: { // pixel types
            const TV32HBUF from = handle();
            const int32_t kinds[] = {CVT32_TRUECOLOR, CVT32_GREY, 0, 7};
            const int32_t fromKind = kinds[in_.pick(4)], toKind = kinds[in_.pick(4)];
            BUF32INFO info;
            if (!buf32GetInfo(from, &info)) return;
            TV32HBUF slot = 0;
            if (cvt32BufType(2, 0, fromKind, toKind, from, &slot, nullptr, 0, 0, nullptr, 0))
                made(slot, toKind == CVT32_TRUECOLOR ? 24 : 8, info.width, info.height);
            break;
        }
        case 12: { // soft edges
            SEL32RECORD r;
            std::memset(&r, 0, sizeof r);
            r.mask = handle();
            r.x = in_.number(20);
            r.y = in_.number(20);
            const int32_t edge = in_.number(20);
            BUF32INFO info;
            if (!buf32GetInfo(r.mask, &info) ||
                !modest(int64_t(info.width) + r.x + edge, int64_t(info.height) + r.y + edge, 1))
                return;
            const TV32HBUF before = r.mask;
            const Shape shape = live_[before];
            if (sel32SoftEdgeMakeMask(&r, 1, edge, 0, 0, 0, nullptr) && r.mask != before) {
                live_.erase(before);
                dead_.push_back(before);
                made(r.mask, 8, int32_t(int64_t(shape.w) + r.x + edge),
                     int32_t(int64_t(shape.h) + r.y + edge));
            }
            break;
        }
        case 13: { // cell size of buffers made from now on
            const int32_t w = in_.number(40), h = in_.number(40);
            buf32SetCellSize(w, h);
            break;
        }
        default:
            break;
        }
    }

    void finish() {
        if (buf32CountLive() != base_ + int32_t(live_.size())) finding("the live count is not the model's");
    }
    int32_t base_ = buf32CountLive();

  private:
    Bytes& in_;
    std::map<TV32HBUF, Shape> live_;
    std::vector<TV32HBUF> dead_;
    uint8_t guard_[16] = {};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    {
        Session s(in);
        for (int steps = 0; steps < 64 && !in.empty(); ++steps) {
            s.step();
            s.finish();
        }
    }
    buf32SetCellSize(0, 0);
    return 0;
}
