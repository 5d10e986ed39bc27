#pragma once
// Stored names as UTF-8, whatever the process locale: RAR 4's Unicode name field decoded, 8-bit names
// that are not UTF-8 read in the OEM code page (CP437) that RAR archivers store them in.
#include <cstddef>
#include <string>
#include <string_view>

namespace unrar_detail {

bool isUtf8(std::string_view s);

// Bytes in the OEM code page, as UTF-8 (control bytes stay as they are).
std::string oemToUtf8(std::string_view s);

// A name stored as 8-bit text: kept when it is UTF-8 already, else read as CP437.
std::string eightBitName(std::string_view s);

// A RAR 4 name field with the Unicode flag: either UTF-8 (no zero byte in it), or an 8-bit name, a
// zero byte and the compressed UTF-16 form of the name. Never empty when the field is not.
std::string rar4UnicodeName(std::string_view field);

// The longest start of a UTF-8 text of at most maxBytes bytes that ends on a character boundary.
size_t utf8Prefix(std::string_view s, size_t maxBytes);

} // namespace unrar_detail
