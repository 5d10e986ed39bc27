#pragma once
#include <string>

// A sentence for an archive library result code, for messages to the user.
std::string RarErrorText(int code);
