#include "setup/unrarlibrary.h"

#include "framework/programlibrary.h"

namespace {

UnrarLibrary load() {
    ProgramLibrary library(kUnrarLibraryFile, "archive library");
    UnrarLibrary lib;
    library.bind(lib.openArchive, "RAROpenArchive");
    library.bind(lib.closeArchive, "RARCloseArchive");
    library.bind(lib.readHeader, "RARReadHeader");
    library.bind(lib.processFile, "RARProcessFile");
    library.bind(lib.setChangeVolProc, "RARSetChangeVolProc");
    library.bind(lib.setProcessDataProc, "RARSetProcessDataProc");
    library.bind(lib.setPassword, "RARSetPassword");
    library.bind(lib.getFileSize64, "RARGetFileSize64");
    lib.problem = library.problem();
    return lib;
}

} // namespace

const UnrarLibrary& unrar() {
    static const UnrarLibrary lib = load();
    return lib;
}
