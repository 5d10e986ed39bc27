#pragma once
// CRC-32 (the zlib polynomial, as RAR uses it for file data), fast enough to check data while it is
// extracted: carry-less multiplication where the processor has it, zlib's otherwise.
#include <cstddef>
#include <cstdint>

namespace unrar_detail {

// Continues `crc` (0 to start) over size bytes, like zlib's crc32().
uint32_t dataCrc32(uint32_t crc, const void* data, size_t size);

// The ways of computing it: zlib's tables, 128-bit and 512-bit carry-less multiplication. The best
// one the processor has is used; tests check each against the others.
enum class CrcEngine { table, clmul, vclmul };
bool crcEngineAvailable(CrcEngine e);
uint32_t dataCrc32(uint32_t crc, const void* data, size_t size, CrcEngine e);

} // namespace unrar_detail
