#pragma once
// Small platform queries: file names of the running program and of a loaded library, and the
// conversion of stored byte texts for display.
#include <QString>

#include <string>
#include <string_view>

namespace desktop {

// Full file name of the running program.
std::string programFile();

// Full file name of the shared library (or program) that contains `address`; empty if unknown.
std::string moduleFileOf(const void* address);

// The folder part of `file`, ending in the path separator ("" when it has none).
std::string folderOf(const std::string& file);

// Texts that come as bytes (INI values, names stored in archives): UTF-8 when they are valid
// UTF-8, else Windows-1252.
QString fromBytes(std::string_view bytes);
// And back: UTF-8 bytes.
std::string toBytes(const QString& text);

} // namespace desktop
