// The fence around every C export of the image libraries and the plug-ins: no C++ exception ever
// leaves a C function. An exception becomes the export's failure result and leaves error
// information for the host (c32SetDLLErrInfo). C++ only.
#ifndef IMAGELIB_TV32GUARD_H
#define IMAGELIB_TV32GUARD_H

#include "imagelib/tv32comm.h"

#include <new>
#include <utility>

namespace tv32 {

// Runs body() and returns its result. When it throws, records (0, 0, code, 0, 0, 0) as error
// information, with code = noMemory for std::bad_alloc and failed for anything else, and returns
// failure.
template <class R, class F> R guardExport(R failure, int32_t noMemory, int32_t failed, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (const std::bad_alloc&) {
        c32SetDLLErrInfo(0, 0, noMemory, 0, 0, 0);
    } catch (...) {
        c32SetDLLErrInfo(0, 0, failed, 0, 0, 0);
    }
    return failure;
}

// The image libraries' own exports: the common library's codes.
template <class R, class F> R guardLibrary(R failure, F&& body) noexcept {
    return guardExport(failure, C32_ERR_NO_MEMORY, C32_ERR_FAILED, std::forward<F>(body));
}

} // namespace tv32

#endif
