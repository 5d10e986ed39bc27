#include "crc.h"

#include <zlib.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KIT_HAVE_CLMUL 1
#endif

namespace unrar_detail {

#ifdef KIT_HAVE_CLMUL
namespace {

// One folding step: the 128-bit remainder x, multiplied by the pair of constants in k, added to the
// next 16 bytes.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold16(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The reflected CRC-32 over len bytes (at least 64, a multiple of 16) by folding four 128-bit lanes,
// then one lane, then reducing 128 -> 64 -> 32 bits (Barrett). `state` is the CRC register, not
// inverted. The constants are powers of x modulo the CRC polynomial, bit-reflected.
__attribute__((target("pclmul,sse4.1"))) uint32_t foldClmul(uint32_t state, const unsigned char* p,
                                                            size_t len) {
    alignas(16) static const uint64_t fold512[2] = {0x154442bd4ull, 0x1c6e41596ull};
    alignas(16) static const uint64_t fold128[2] = {0x1751997d0ull, 0x0ccaa009eull};
    alignas(16) static const uint64_t fold64[2] = {0x163cd6124ull, 0};
    alignas(16) static const uint64_t barrett[2] = {0x1db710641ull, 0x1f7011641ull};

    __m128i a = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i b = load(p + 16);
    __m128i c = load(p + 32);
    __m128i d = load(p + 48);
    p += 64;
    len -= 64;
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(fold512));
    for (; len >= 64; p += 64, len -= 64) {
        a = fold16(a, k, load(p));
        b = fold16(b, k, load(p + 16));
        c = fold16(c, k, load(p + 32));
        d = fold16(d, k, load(p + 48));
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(fold128));
    a = fold16(a, k, b);
    a = fold16(a, k, c);
    a = fold16(a, k, d);
    for (; len >= 16; p += 16, len -= 16)
        a = fold16(a, k, load(p));

    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    __m128i t = _mm_clmulepi64_si128(a, k, 0x10);
    a = _mm_xor_si128(_mm_srli_si128(a, 8), t);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(fold64));
    t = _mm_srli_si128(a, 4);
    a = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(a, low32), k, 0x00), t);
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(barrett));
    t = _mm_clmulepi64_si128(_mm_and_si128(a, low32), k, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), k, 0x00);
    a = _mm_xor_si128(a, t);
    return static_cast<uint32_t>(_mm_extract_epi32(a, 1));
}

bool haveClmul() {
    static const bool yes = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return yes;
}

} // namespace
#endif

uint32_t dataCrc32(uint32_t crc, const void* data, size_t size) {
    auto* p = static_cast<const unsigned char*>(data);
#ifdef KIT_HAVE_CLMUL
    if (size >= 64 && haveClmul()) {
        const size_t bulk = size & ~static_cast<size_t>(15);
        crc = ~foldClmul(~crc, p, bulk);
        p += bulk;
        size -= bulk;
    }
#endif
    return static_cast<uint32_t>(::crc32_z(crc, p, size));
}

} // namespace unrar_detail
