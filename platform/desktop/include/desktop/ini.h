#pragma once
// Reading values from INI text the way the Windows profile API does it.
#include <string>
#include <string_view>

#include "desktop/utf8.h"

namespace desktop {

// Largest INI file read; a larger one (or one that is not a regular file) reads as empty.
inline constexpr std::size_t kIniFileMaxBytes = 4 << 20;

// Longest value the profile lookup hands back (its result buffer holds 2047 characters and a zero).
inline constexpr std::size_t kProfileValueMax = 2047;

// Looks up `key` in `section` of the INI text `content`:
//  - section and key names match without regard to case; blanks around them are ignored;
//  - blanks around the value are dropped, and a value enclosed in a pair of double or single quotes
//    loses that pair;
//  - only the first section of that name is searched, and the first occurrence of a key counts;
//  - lines end at CR, LF or CR LF; a NUL byte ends the text of its line;
//  - at most `maxChars` characters of the value are returned.
// Returns `fallback` when the section or key is absent.
std::string profileString(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view fallback = {}, std::size_t maxChars = kProfileValueMax);

// Same, reading the file at `path`; an absent or unreadable file, or one that is not a regular file of
// at most kIniFileMaxBytes, behaves as an empty one.
std::string profileStringFromFile(const std::string& path, std::string_view section, std::string_view key,
                                  std::string_view fallback = {}, std::size_t maxChars = kProfileValueMax);

// Cuts `text` to at most `maxChars` characters: characters of UTF-8 when the text is valid UTF-8
// (so a cut never splits one; a last character already cut short is dropped), single bytes
// otherwise.
std::string cutText(std::string text, std::size_t maxChars);

} // namespace desktop
