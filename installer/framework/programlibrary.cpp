#include "framework/programlibrary.h"

#include "desktop/system.h"

#include <dlfcn.h>

ProgramLibrary::ProgramLibrary(const char* file, const char* what) : file_(file), what_(what) {
    const std::string beside = desktop::folderOf(desktop::programFile()) + file;
    handle_ = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) handle_ = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        problem_ = std::string("Cannot load the ") + what + ": " + (why ? why : file);
    }
}

void* ProgramLibrary::entry(const char* name) {
    if (!handle_) return nullptr;
    void* found = dlsym(handle_, name);
    if (!found && problem_.empty()) problem_ = std::string("The ") + what_ + " " + file_ + " has no " + name;
    return found;
}
