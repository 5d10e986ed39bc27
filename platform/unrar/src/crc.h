#pragma once
// CRC-32 (the zlib polynomial, as RAR uses it for file data), fast enough to check data while it is
// extracted: carry-less multiplication where the processor has it, zlib's otherwise.
#include <cstddef>
#include <cstdint>

namespace unrar_detail {

// Continues `crc` (0 to start) over size bytes, like zlib's crc32().
uint32_t dataCrc32(uint32_t crc, const void* data, size_t size);

} // namespace unrar_detail
