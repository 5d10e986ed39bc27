// The two exports for one area: arguments checked, every failure with its reason, no exception
// out of a C function.
#include "analysis.h"
#include "dialog.h"
#include "fence.h"

#include "imagelib/scabout.h"
#include "imagelib/tv32base.h"
#include "imagelib/tv32qt.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The library starts the about-box library when it is loaded.
__attribute__((constructor)) void onLoad() {
    InitAboutDll();
}

using hotmap::fail;
using hotmap::guarded;

int tagFromRequest(TV32HWND parent, ImageMapRequest* request, int32_t noDialog) {
    if (!request || !request->text || request->textSize < 0) return fail(HM_ERR_BAD_ARGUMENT);
    if (request->format < HM_FORMAT_INLINE || request->format > HM_FORMAT_CERN)
        return fail(HM_ERR_BAD_ARGUMENT);
    BUF32INFO mask;
    if (!buf32GetInfo(request->mask, &mask) || mask.bitsPerPixel != 8) return fail(HM_ERR_BAD_ARGUMENT);
    // Hosts need not be Qt programs: the clipboard, the cursor and the dialog need an application.
    if (!tv32::ensureApplication()) return fail(HM_ERR_NO_DISPLAY);
    {
        hotmap::WaitCursor wait;
        int32_t why = 0;
        if (!hotmap::analyseRequest(*request, 1.0, &why)) return fail(why);
    }
    if (noDialog) {
        if (!hotmap::deliverText(hotmap::formatTag(request->text, request->url)))
            return fail(HM_ERR_CLIPBOARD);
        return 1;
    }
    if (!hotmap::runImageMapDialog(parent, request)) return fail(HM_ERR_CANCELLED);
    return 1;
}

int tagFromMask(TV32HWND parent, const uint8_t* mask, int32_t width, int32_t height, int32_t rowBytes,
                const int32_t* offset, const char* title, char* url, int32_t* format, int32_t noDialog) {
    if (width <= 0 || height <= 0) return fail(HM_ERR_BAD_ARGUMENT);
    // Rows that overlap each other are no mask of width x height.
    if (mask && (rowBytes < 0 ? -int64_t(rowBytes) : int64_t(rowBytes)) < width)
        return fail(HM_ERR_BAD_ARGUMENT);
    const int32_t code = format ? *format : HM_FORMAT_INLINE;
    if (code < HM_FORMAT_INLINE || code > HM_FORMAT_CERN) return fail(HM_ERR_BAD_ARGUMENT);
    TV32HBUF buffer = 0;
    if (!buf32Alloc(&buffer, 8, width, height, BUF32_FILL_NONE, nullptr)) return fail(HM_ERR_NO_MEMORY);
    const std::unique_ptr<TV32HBUF, void (*)(TV32HBUF*)> release(&buffer, [](TV32HBUF* b) { buf32Free(*b); });
    if (!buf32Lock(buffer, BUF32_LOCK_READWRITE, nullptr)) return fail(HM_ERR_NO_MEMORY);
    uint8_t* plane = buf32PointAddr(buffer, 0, 0); // rows follow without gaps
    if (!mask) {
        std::memset(plane, 255, std::size_t(width) * std::size_t(height));
    } else {
        const uint8_t* row = mask;
        for (int32_t y = 0; y < height; ++y, row += std::ptrdiff_t(rowBytes))
            std::memcpy(plane + std::size_t(y) * std::size_t(width), row, std::size_t(width));
    }
    buf32Unlock(buffer);

    ImageMapRequest req;
    std::memset(&req, 0, sizeof req);
    if (title) std::memcpy(req.title, title, strnlen(title, HM_TITLE_SIZE - 1));
    req.text = static_cast<char*>(std::calloc(1024, 1));
    if (!req.text) return fail(HM_ERR_NO_MEMORY);
    const std::unique_ptr<char*, void (*)(char**)> text(&req.text, [](char** t) { std::free(*t); });
    req.textSize = 1024;
    req.mask = buffer;
    req.format = code;
    req.offset = const_cast<int32_t*>(offset);
    req.url = url;
    const int result = tagFromRequest(parent, &req, noDialog);
    if (result && format) *format = req.format;
    return result;
}

} // namespace

extern "C" {

TV32_API int TV32_CALL hmGetImageTagFromAikBuf(TV32HWND parent, ImageMapRequest* request, int32_t noDialog) {
    return guarded([&] { return tagFromRequest(parent, request, noDialog); });
}

TV32_API int TV32_CALL hmGenImageTagFromAPSBuf(TV32HWND parent, const uint8_t* mask, int32_t width,
                                               int32_t height, int32_t rowBytes, const int32_t* offset,
                                               const char* title, char* url, int32_t* format,
                                               int32_t noDialog) {
    return guarded([&] {
        return tagFromMask(parent, mask, width, height, rowBytes, offset, title, url, format, noDialog);
    });
}

} // extern "C"
