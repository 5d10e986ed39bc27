// Buffers for the tests: made from and read back into plain byte vectors.
#pragma once
#include "imagelib/tv32base.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace bfxtest {

// Packed pixels, rows of width * channels bytes.
struct Image {
    int w = 0, h = 0, ch = 3;
    std::vector<uint8_t> px;
    uint8_t* at(int x, int y) { return px.data() + (std::size_t(y) * w + x) * ch; }
    const uint8_t* at(int x, int y) const { return px.data() + (std::size_t(y) * w + x) * ch; }
    bool operator==(const Image& o) const { return w == o.w && h == o.h && ch == o.ch && px == o.px; }
};

// A pseudo-random picture, different for each seed.
inline Image pattern(int w, int h, int ch, uint32_t seed) {
    Image im{w, h, ch, std::vector<uint8_t>(std::size_t(w) * h * ch)};
    uint32_t s = seed * 2654435761u + 12345u;
    for (auto& b : im.px) {
        s = s * 1664525u + 1013904223u;
        b = uint8_t(s >> 24);
    }
    return im;
}

inline Image plain(int w, int h, int ch, uint8_t v) {
    return Image{w, h, ch, std::vector<uint8_t>(std::size_t(w) * h * ch, v)};
}

// The buffers a test made; all freed at its end.
class Buffers {
  public:
    ~Buffers() {
        for (TV32HBUF b : owned_) buf32Free(b);
    }
    TV32HBUF make(const Image& im) {
        TV32HBUF h = 0;
        EXPECT_TRUE(buf32Alloc(&h, im.ch * 8, im.w, im.h, BUF32_FILL_ZERO, nullptr));
        EXPECT_TRUE(buf32MergeMem(h, 0, 0, im.px.data(), im.w, im.h));
        owned_.push_back(h);
        return h;
    }
    // Takes over a handle that a function delivered.
    TV32HBUF adopt(TV32HBUF h) {
        if (h) owned_.push_back(h);
        return h;
    }

  private:
    std::vector<TV32HBUF> owned_;
};

inline Image read(TV32HBUF h) {
    BUF32INFO info;
    if (!buf32GetInfo(h, &info)) return {};
    Image im{info.width, info.height, info.bytesPerPixel,
             std::vector<uint8_t>(std::size_t(info.width) * info.height * info.bytesPerPixel)};
    EXPECT_TRUE(buf32GetMem(h, 0, 0, im.w, im.h, im.px.data()));
    return im;
}

} // namespace bfxtest
