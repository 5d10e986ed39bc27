// Exact products of 64-bit coordinates: a signed 128-bit number with what the outline geometry
// needs (products, sums, comparisons), in plain C++ for every compiler and word size.
#pragma once
#include <cstdint>

namespace hotmap {

class Wide {
  public:
    Wide(int64_t v = 0) : lo_(uint64_t(v)), hi_(v < 0 ? ~uint64_t(0) : 0) {}

    static Wide product(int64_t a, int64_t b) {
        const uint64_t ua = a < 0 ? 0 - uint64_t(a) : uint64_t(a), ub = b < 0 ? 0 - uint64_t(b) : uint64_t(b);
        const uint64_t a0 = ua & 0xFFFFFFFFu, a1 = ua >> 32, b0 = ub & 0xFFFFFFFFu, b1 = ub >> 32;
        const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
        const uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
        Wide w;
        w.lo_ = (p00 & 0xFFFFFFFFu) | (mid << 32);
        w.hi_ = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
        return (a < 0) != (b < 0) ? -w : w;
    }

    Wide operator-() const {
        Wide w;
        w.lo_ = 0 - lo_;
        w.hi_ = ~hi_ + (lo_ == 0 ? 1 : 0);
        return w;
    }
    friend Wide operator+(Wide a, Wide b) {
        Wide w;
        w.lo_ = a.lo_ + b.lo_;
        w.hi_ = a.hi_ + b.hi_ + (w.lo_ < a.lo_ ? 1 : 0);
        return w;
    }
    friend Wide operator-(Wide a, Wide b) { return a + -b; }
    friend bool operator==(Wide a, Wide b) { return a.lo_ == b.lo_ && a.hi_ == b.hi_; }
    friend bool operator<(Wide a, Wide b) {
        return a.hi_ != b.hi_ ? int64_t(a.hi_) < int64_t(b.hi_) : a.lo_ < b.lo_;
    }
    friend bool operator>(Wide a, Wide b) { return b < a; }
    friend bool operator<=(Wide a, Wide b) { return !(b < a); }
    friend bool operator>=(Wide a, Wide b) { return !(a < b); }
    explicit operator long double() const {
        return (long double)int64_t(hi_) * 18446744073709551616.0L + (long double)lo_;
    }
    uint64_t low() const { return lo_; }
    int64_t high() const { return int64_t(hi_); }

  private:
    uint64_t lo_;
    uint64_t hi_; // two's complement with lo_
};

// a * b in T: 64 bits where the caller knows it fits, else exact.
template <class T> T product(int64_t a, int64_t b);
template <> inline int64_t product<int64_t>(int64_t a, int64_t b) {
    return a * b;
}
template <> inline Wide product<Wide>(int64_t a, int64_t b) {
    return Wide::product(a, b);
}

} // namespace hotmap
