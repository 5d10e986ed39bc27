#pragma once
// Names of product files as a kit stores them: what an installed copy can hold, and how a name is
// shown in messages.
#include <string>
#include <string_view>

namespace kitmaker {

// Why one name (a single component, no '/') cannot travel in a kit, or "" when it can. Names must be
// valid UTF-8 (the installer shows and creates them as such), hold no control characters (a newline
// in a name breaks every listing of it), no backslash (archive readers split names at it) and fit a
// file system's 255-byte limit; "." and ".." are not names.
std::string nameProblem(std::string_view name);

// Why a stored path ('/' between names) cannot be installed, or "": absolute paths and any name that
// nameProblem refuses.
std::string pathProblem(std::string_view path);

// `bytes` for a message: control characters and bytes that are not UTF-8 appear as escapes
// ("\n", "\x7f", "\xff"), the rest as it is.
std::string printableName(std::string_view bytes);

} // namespace kitmaker
