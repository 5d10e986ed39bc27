// Numbers taken from a fuzz input one after the other: each read consumes bytes from the front
// (zeros once the input is used up), so every input is a valid sequence of choices. Values at the
// ends of their ranges come up often: a byte picks between a small number and one of the edges.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fuzzinput {

class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
    bool empty() const { return left_ == 0; }
    std::uint8_t u8() {
        if (!left_) return 0;
        --left_;
        return *p_++;
    }
    std::int32_t i32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(u8()) << (8 * i);
        return std::int32_t(v);
    }
    // One of n choices.
    unsigned pick(unsigned n) { return n ? u8() % n : 0; }
    // A number below limit (a small one), or, one time in four, one at the edges of the range.
    std::int32_t number(std::int32_t limit) {
        static constexpr std::int32_t kEdges[] = {INT_MIN, INT_MIN + 1, -65536, -2,          -1,     0,
                                                  1,       65535,       65536,  INT_MAX - 1, INT_MAX};
        const std::uint8_t how = u8();
        if (how % 4 == 0) return kEdges[(how / 4) % (sizeof kEdges / sizeof kEdges[0])];
        return limit > 0 ? std::int32_t(std::uint32_t(i32()) % std::uint32_t(limit)) : 0;
    }

  private:
    const std::uint8_t* p_;
    std::size_t left_;
};

} // namespace fuzzinput
