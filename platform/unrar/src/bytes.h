#pragma once
// Reading the little-endian numbers of archive headers: a cursor over a block of bytes that never
// reads past its end, and 64-bit arithmetic that says when it would wrap.
#include <cstddef>
#include <cstdint>
#include <string>

namespace unrar_detail {

inline uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// a + b, false when the sum does not fit in 64 bits.
inline bool addChecked(uint64_t a, uint64_t b, uint64_t& sum) {
    return !__builtin_add_overflow(a, b, &sum);
}

class ByteReader {
  public:
    ByteReader(const unsigned char* data, size_t size) : p_(data), end_(data + size), begin_(data) {}

    size_t offset() const { return static_cast<size_t>(p_ - begin_); }
    size_t left() const { return static_cast<size_t>(end_ - p_); }
    const unsigned char* here() const { return p_; }

    bool u8(uint32_t& v) {
        if (left() < 1) return false;
        v = *p_++;
        return true;
    }
    bool u16(uint32_t& v) {
        if (left() < 2) return false;
        v = le16(p_);
        p_ += 2;
        return true;
    }
    bool u32(uint32_t& v) {
        if (left() < 4) return false;
        v = le32(p_);
        p_ += 4;
        return true;
    }
    // A RAR 5 variable-length number: seven bits a byte, lowest first, the high bit saying that
    // another byte follows. At most ten bytes, and the value must fit in 64 bits.
    bool vint(uint64_t& v) {
        v = 0;
        for (unsigned i = 0; i < 10; ++i) {
            if (p_ + i >= end_) return false;
            const uint64_t bits = p_[i] & 0x7F;
            if (i == 9 && bits > 1) return false;
            v |= bits << (7 * i);
            if (!(p_[i] & 0x80)) {
                p_ += i + 1;
                return true;
            }
        }
        return false;
    }
    bool skip(uint64_t n) {
        if (n > left()) return false;
        p_ += n;
        return true;
    }
    bool bytes(uint64_t n, std::string& out) {
        if (n > left()) return false;
        out.assign(reinterpret_cast<const char*>(p_), static_cast<size_t>(n));
        p_ += n;
        return true;
    }

  private:
    const unsigned char* p_;
    const unsigned char* end_;
    const unsigned char* begin_;
};

} // namespace unrar_detail
