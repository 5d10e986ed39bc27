#pragma once
// Texts about archives for the user: what a library result code means, and volume names.
#include <string>

// A sentence for an archive library result code.
std::string RarErrorText(int code);

// The part of a path after its last separator ('\\' or '/'), stopping at the first zero byte.
std::string fmtNome(const char* path);
