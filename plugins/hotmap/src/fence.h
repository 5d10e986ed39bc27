// The fence of every C export of the library: the error information reset at the start, an
// exception ends the call with its failure result, and every failure says why.
#pragma once
#include "hotmap/hotmap.h"

#include "imagelib/tv32comm.h"
#include "imagelib/tv32guard.h"

#include <utility>

namespace hotmap {

// Records why the call fails and gives its result, 0.
inline int fail(int32_t code) {
    c32SetDLLErrInfo(0, 0, code, 0, 0, 0);
    return 0;
}

// body() returns 0 for a failure (after fail()) or its result. An exception ends the call with 0
// and HM_ERR_NO_MEMORY or HM_ERR_FAILED; a 0 without a reason gets HM_ERR_FAILED.
template <class F> int guarded(F&& body) noexcept {
    c32ResetDLLErrInfo();
    const int result = tv32::guardExport(0, HM_ERR_NO_MEMORY, HM_ERR_FAILED, std::forward<F>(body));
    if (result == 0 && !c32GetDLLErrInfo(nullptr)) fail(HM_ERR_FAILED);
    return result;
}

} // namespace hotmap
