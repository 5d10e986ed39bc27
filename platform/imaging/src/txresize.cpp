// Pictures resized to fit the window that shows them.
#include "imagelib/tv32base.h"
#include "imagelib/tv32guard.h"
#include "imagelib/tv32qt.h"
#include "imagelib/tv32tx.h"

#include <QWidget>

#include <algorithm>
#include <cstdint>

extern "C" {

TV32_API int TV32_CALL tv32TxBufResize(TV32HBUF source, TV32HWND window, TV32HBUF* result) {
    return tv32::guardLibrary(0, [&]() -> int {
        QWidget* w = tv32::widgetFromHandle(window);
        int32_t sw = 0, sh = 0;
        if (!w || !result || !buf32GetWHU(source, &sw, &sh, 0) || sw <= 0 || sh <= 0) return 0;
        const QRect area = w->contentsRect();
        const int64_t aw = std::max(1, area.width()), ah = std::max(1, area.height());
        // The largest size with the source's proportions: full width when the source is the wider.
        TV32SIZE size{};
        if (int64_t(sw) * ah >= int64_t(sh) * aw) {
            size.cx = int32_t(aw);
            size.cy = int32_t(std::max<int64_t>(1, int64_t(sh) * aw / sw));
        } else {
            size.cy = int32_t(ah);
            size.cx = int32_t(std::max<int64_t>(1, int64_t(sw) * ah / sh));
        }
        TV32HBUF resized = 0;
        if (!tv32BufferResampleEx(&size, source, &resized, 0, nullptr, 0)) return 0;
        *result = resized;
        return 1;
    });
}

} // extern "C"
