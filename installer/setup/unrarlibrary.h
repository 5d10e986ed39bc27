#pragma once
// The archive library (libkitunrar.so, the RAR interface of unrar/unrar.h), loaded when the first
// archive is opened rather than with the program: it brings libarchive and its compression
// libraries, which the windows do not need before an extraction starts. Looked for beside the
// program first, then along the program's library search path, like the sound library.
#include "unrar/unrar.h"

#include <string>

inline constexpr const char* kUnrarLibraryFile = "libkitunrar.so";

struct UnrarLibrary {
    decltype(&RAROpenArchive) openArchive = nullptr;
    decltype(&RARCloseArchive) closeArchive = nullptr;
    decltype(&RARReadHeader) readHeader = nullptr;
    decltype(&RARProcessFile) processFile = nullptr;
    decltype(&RARSetChangeVolProc) setChangeVolProc = nullptr;
    decltype(&RARSetProcessDataProc) setProcessDataProc = nullptr;
    decltype(&RARSetPassword) setPassword = nullptr;
    decltype(&RARGetFileSize64) getFileSize64 = nullptr;
    std::string problem; // why it could not be loaded; empty when it was
};

// The library, loaded on the first call (from then on the same answer).
const UnrarLibrary& unrar();
