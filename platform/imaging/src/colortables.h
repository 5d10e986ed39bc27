// The predefined 256-colour tables of the texture library.
#pragma once
#include <cstdint>

namespace tv32 {
// Name of table n (0 <= n < TV32_PREDEFINED_TABLES).
const char* predefinedTableName(int n);
// 256 entries of 3 bytes (red, green, blue) of table n.
const uint8_t* predefinedTable(int n);
} // namespace tv32
