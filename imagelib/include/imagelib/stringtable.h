// String tables of the libraries (the resources a Windows library would carry): one lookup and
// copy rule for all of them. C++ only.
#ifndef IMAGELIB_STRINGTABLE_H
#define IMAGELIB_STRINGTABLE_H

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tv32 {

struct StringEntry {
    int32_t id;
    const char* text;
};

// The text of `id` in `table`, or nullptr when the table has none.
template <std::size_t N> const char* TableText(const StringEntry (&table)[N], int32_t id) {
    for (const StringEntry& e : table)
        if (e.id == id) return e.text;
    return nullptr;
}

// Copies `text` into `buffer` of `size` bytes, cut to size - 1 and always terminated (an empty
// string for a null text). Returns the number of characters copied; 0 without a usable buffer.
inline int CopyTableText(const char* text, char* buffer, int32_t size) {
    if (!buffer || size <= 0) return 0;
    const std::size_t n = text ? std::min(std::strlen(text), static_cast<std::size_t>(size - 1)) : 0;
    if (n) std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

} // namespace tv32

#endif
