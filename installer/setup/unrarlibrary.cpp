#include "setup/unrarlibrary.h"

#include "desktop/system.h"

#include <dlfcn.h>
#include <type_traits>

namespace {

UnrarLibrary load() {
    UnrarLibrary lib;
    const std::string beside = desktop::folderOf(desktop::programFile()) + kUnrarLibraryFile;
    void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) handle = dlopen(kUnrarLibraryFile, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        lib.problem = std::string("Cannot load the archive library: ") + (why ? why : kUnrarLibraryFile);
        return lib;
    }
    auto get = [&](auto& call, const char* name) {
        call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(dlsym(handle, name));
        if (!call && lib.problem.empty())
            lib.problem = std::string("The archive library ") + kUnrarLibraryFile + " has no " + name;
    };
    get(lib.openArchive, "RAROpenArchive");
    get(lib.closeArchive, "RARCloseArchive");
    get(lib.readHeader, "RARReadHeader");
    get(lib.processFile, "RARProcessFile");
    get(lib.setChangeVolProc, "RARSetChangeVolProc");
    get(lib.setProcessDataProc, "RARSetProcessDataProc");
    get(lib.setPassword, "RARSetPassword");
    get(lib.getFileSize64, "RARGetFileSize64");
    return lib;
}

} // namespace

const UnrarLibrary& unrar() {
    static const UnrarLibrary lib = load();
    return lib;
}
