#include "crc.h"

#include <zlib.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KIT_HAVE_CLMUL 1
#endif

namespace unrar_detail {

#ifdef KIT_HAVE_CLMUL
namespace {

// The CRC is computed by folding: a 128-bit remainder multiplied (carry-less) by x^(D+32) and
// x^(D-32) modulo the polynomial moves D bits further along the message. The constants below are
// those powers, bit-reflected, for D = 2048, 1024, 512 and 128 bits, then the 64 -> 32 bit fold and
// the Barrett constants (the polynomial and its quotient).
alignas(16) const uint64_t fold2048[2] = {0x11542778aull, 0x1322d1430ull};
alignas(16) const uint64_t fold1024[2] = {0x1e88ef372ull, 0x14a7fe880ull};
alignas(16) const uint64_t fold512[2] = {0x154442bd4ull, 0x1c6e41596ull};
alignas(16) const uint64_t fold128[2] = {0x1751997d0ull, 0x0ccaa009eull};
alignas(16) const uint64_t fold64[2] = {0x163cd6124ull, 0};
alignas(16) const uint64_t barrett[2] = {0x1db710641ull, 0x1f7011641ull};

#define KIT_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))
#define KIT_VCLMUL_TARGET __attribute__((target("avx512f,avx512vl,vpclmulqdq,pclmul,sse4.1")))

KIT_CLMUL_TARGET inline __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

KIT_CLMUL_TARGET inline __m128i constants(const uint64_t* k) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(k));
}

// One step: the remainder x moved along by the constants k, added to the next 16 bytes.
KIT_CLMUL_TARGET inline __m128i fold16(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

// Folds the remaining 16-byte blocks into the remainder a and reduces it to the 32-bit CRC register.
KIT_CLMUL_TARGET uint32_t finish(__m128i a, const unsigned char* p, size_t len) {
    __m128i k = constants(fold128);
    for (; len >= 16; p += 16, len -= 16)
        a = fold16(a, k, load(p));
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    __m128i t = _mm_clmulepi64_si128(a, k, 0x10);
    a = _mm_xor_si128(_mm_srli_si128(a, 8), t);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(fold64));
    t = _mm_srli_si128(a, 4);
    a = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(a, low32), k, 0x00), t);
    k = constants(barrett);
    t = _mm_clmulepi64_si128(_mm_and_si128(a, low32), k, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), k, 0x00);
    a = _mm_xor_si128(a, t);
    return static_cast<uint32_t>(_mm_extract_epi32(a, 1));
}

// len at least 64, a multiple of 16; state is the CRC register (not inverted). Eight lanes of 128 bits
// while there is room for them (more multiplications in flight), then four, then one.
KIT_CLMUL_TARGET uint32_t foldClmul(uint32_t state, const unsigned char* p, size_t len) {
    __m128i a = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i b = load(p + 16);
    __m128i c = load(p + 32);
    __m128i d = load(p + 48);
    p += 64;
    len -= 64;
    const __m128i k4 = constants(fold512);
    if (len >= 64) {
        __m128i e = load(p), f = load(p + 16), g = load(p + 32), h = load(p + 48);
        p += 64;
        len -= 64;
        const __m128i k8 = constants(fold1024);
        for (; len >= 128; p += 128, len -= 128) {
            a = fold16(a, k8, load(p));
            b = fold16(b, k8, load(p + 16));
            c = fold16(c, k8, load(p + 32));
            d = fold16(d, k8, load(p + 48));
            e = fold16(e, k8, load(p + 64));
            f = fold16(f, k8, load(p + 80));
            g = fold16(g, k8, load(p + 96));
            h = fold16(h, k8, load(p + 112));
        }
        a = fold16(a, k4, e);
        b = fold16(b, k4, f);
        c = fold16(c, k4, g);
        d = fold16(d, k4, h);
    }
    for (; len >= 64; p += 64, len -= 64) {
        a = fold16(a, k4, load(p));
        b = fold16(b, k4, load(p + 16));
        c = fold16(c, k4, load(p + 32));
        d = fold16(d, k4, load(p + 48));
    }
    const __m128i k1 = constants(fold128);
    a = fold16(a, k1, b);
    a = fold16(a, k1, c);
    a = fold16(a, k1, d);
    return finish(a, p, len);
}

KIT_VCLMUL_TARGET inline __m512i load4(const unsigned char* p) {
    return _mm512_loadu_si512(p);
}

KIT_VCLMUL_TARGET inline __m512i fold64x4(__m512i x, __m512i k, __m512i next) {
    const __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96); // lo ^ hi ^ next
}

// The same with 512-bit registers, four lanes each: sixteen lanes in flight. len at least 256.
KIT_VCLMUL_TARGET uint32_t foldVclmul(uint32_t state, const unsigned char* p, size_t len) {
    __m512i a = _mm512_xor_si512(
        load4(p), _mm512_inserti32x4(_mm512_setzero_si512(), _mm_cvtsi32_si128(static_cast<int>(state)), 0));
    __m512i b = load4(p + 64), c = load4(p + 128), d = load4(p + 192);
    p += 256;
    len -= 256;
    const __m512i k16 = _mm512_maskz_broadcast_i32x4(0xFFFF, constants(fold2048));
    for (; len >= 256; p += 256, len -= 256) {
        a = fold64x4(a, k16, load4(p));
        b = fold64x4(b, k16, load4(p + 64));
        c = fold64x4(c, k16, load4(p + 128));
        d = fold64x4(d, k16, load4(p + 192));
    }
    const __m512i k4 = _mm512_maskz_broadcast_i32x4(0xFFFF, constants(fold512));
    a = fold64x4(a, k4, b);
    a = fold64x4(a, k4, c);
    a = fold64x4(a, k4, d);
    const __m128i k1 = constants(fold128);
    __m128i x = _mm512_maskz_extracti32x4_epi32(0xF, a, 0);
    x = fold16(x, k1, _mm512_maskz_extracti32x4_epi32(0xF, a, 1));
    x = fold16(x, k1, _mm512_maskz_extracti32x4_epi32(0xF, a, 2));
    x = fold16(x, k1, _mm512_maskz_extracti32x4_epi32(0xF, a, 3));
    return finish(x, p, len);
}

CrcEngine bestEngine() {
    static const CrcEngine e = [] {
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("pclmul") || !__builtin_cpu_supports("sse4.1")) return CrcEngine::table;
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
            __builtin_cpu_supports("vpclmulqdq"))
            return CrcEngine::vclmul;
        return CrcEngine::clmul;
    }();
    return e;
}

} // namespace
#endif

bool crcEngineAvailable(CrcEngine e) {
#ifdef KIT_HAVE_CLMUL
    return static_cast<int>(e) <= static_cast<int>(bestEngine());
#else
    return e == CrcEngine::table;
#endif
}

uint32_t dataCrc32(uint32_t crc, const void* data, size_t size, CrcEngine e) {
    if (size == 0) return crc; // zlib would start afresh on an empty block without an address
    auto* p = static_cast<const unsigned char*>(data);
#ifdef KIT_HAVE_CLMUL
    if (size >= 64 && e != CrcEngine::table && crcEngineAvailable(e)) {
        const size_t bulk = size & ~static_cast<size_t>(15);
        crc = ~(e == CrcEngine::vclmul && bulk >= 256 ? foldVclmul(~crc, p, bulk) : foldClmul(~crc, p, bulk));
        p += bulk;
        size -= bulk;
    }
#else
    (void)e;
#endif
    return static_cast<uint32_t>(::crc32_z(crc, p, size));
}

uint32_t dataCrc32(uint32_t crc, const void* data, size_t size) {
#ifdef KIT_HAVE_CLMUL
    return dataCrc32(crc, data, size, bestEngine());
#else
    return dataCrc32(crc, data, size, CrcEngine::table);
#endif
}

} // namespace unrar_detail
