// The two exports of the library.
#include "analysis.h"
#include "dialog.h"

#include "imagelib/scabout.h"
#include "imagelib/tv32base.h"
#include "imagelib/tv32qt.h"

#include <cstdlib>
#include <cstring>

namespace {

// The library starts the about-box library when it is loaded.
__attribute__((constructor)) void onLoad() {
    InitAboutDll();
}

} // namespace

extern "C" {

TV32_API int TV32_CALL hmGetImageTagFromAikBuf(TV32HWND parent, ImageMapRequest* request, int32_t noDialog) {
    if (!request) return 0;
    // Hosts need not be Qt programs: the clipboard, the cursor and the dialog need an application.
    if (!tv32::ensureApplication()) return 0;
    {
        hotmap::WaitCursor wait;
        if (!hotmap::analyseRequest(*request, 1.0)) return 0;
    }
    if (noDialog) return hotmap::deliverText(hotmap::formatTag(request->text, request->url)) ? 1 : 0;
    return hotmap::runImageMapDialog(parent, request);
}

TV32_API int TV32_CALL hmGenImageTagFromAPSBuf(TV32HWND parent, const uint8_t* mask, int32_t width,
                                               int32_t height, int32_t rowBytes, const int32_t* offset,
                                               const char* title, char* url, int32_t* format,
                                               int32_t noDialog) {
    TV32HBUF buffer = 0;
    if (!buf32Alloc(&buffer, 8, width, height, BUF32_FILL_NONE, nullptr)) return 0;
    if (!buf32Lock(buffer, BUF32_LOCK_READWRITE, nullptr)) {
        buf32Free(buffer);
        return 0;
    }
    uint8_t* plane = buf32PointAddr(buffer, 0, 0); // rows follow without gaps
    if (!mask) {
        std::memset(plane, 255, std::size_t(width) * std::size_t(height));
    } else {
        const uint8_t* row = mask;
        for (int32_t y = 0; y < height; ++y, row += rowBytes)
            std::memcpy(plane + std::size_t(y) * std::size_t(width), row, std::size_t(width));
    }
    buf32Unlock(buffer);

    ImageMapRequest req;
    std::memset(&req, 0, sizeof req);
    if (title) std::memcpy(req.title, title, strnlen(title, HM_TITLE_SIZE - 1));
    req.text = static_cast<char*>(std::calloc(1024, 1));
    req.textSize = 1024;
    req.mask = buffer;
    req.format = format ? *format : HM_FORMAT_INLINE;
    req.offset = const_cast<int32_t*>(offset);
    req.url = url;
    int result = 0;
    if (req.text) result = hmGetImageTagFromAikBuf(parent, &req, noDialog);
    if (result && format) *format = req.format;
    std::free(req.text);
    buf32Free(buffer);
    return result;
}

} // extern "C"
