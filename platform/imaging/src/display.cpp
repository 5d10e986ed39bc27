// Display of pixel rows into a QPainter.
#include "imagelib/tv32base.h"
#include "imagelib/tv32guard.h"

#include <QImage>
#include <QPainter>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct Display {
    QPainter* painter = nullptr;
    int bpp = 3;
    QRect rect;
    int width = 0;
    int rows = 0;
    std::vector<uint8_t> data;
};

std::mutex mutex;
std::map<DISP32H, std::unique_ptr<Display>>& displays() {
    static auto* m = new std::map<DISP32H, std::unique_ptr<Display>>;
    return *m;
}
DISP32H nextHandle = 1;

int start(DISP32H* handle, void* dc, int bits, const TV32RECT* r) {
    if (!handle || !dc || !r || (bits != 8 && bits != 24)) return 0;
    if (r->right <= r->left || r->bottom <= r->top) return 0;
    auto d = std::make_unique<Display>();
    d->painter = static_cast<QPainter*>(dc);
    d->bpp = bits / 8;
    d->rect = QRect(QPoint(r->left, r->top), QPoint(r->right - 1, r->bottom - 1));
    std::lock_guard lock(mutex);
    DISP32H h = nextHandle++;
    if (h == 0) h = nextHandle++;
    displays()[h] = std::move(d);
    *handle = h;
    return 1;
}

} // namespace

extern "C" {

TV32_API int TV32_CALL disp32ShowInit(DISP32H* display, void* dc, int32_t bitsPerPixel, const TV32RECT* rect,
                                      const void*, int32_t, int32_t) {
    return tv32::guardLibrary(0, [&]() -> int { return start(display, dc, bitsPerPixel, rect); });
}

TV32_API int TV32_CALL disp32ShowInitEx(DISP32H* display, void* dc, int32_t bitsPerPixel,
                                        const TV32RECT* rect, int32_t, int32_t, int32_t, int32_t, int32_t) {
    return tv32::guardLibrary(0, [&]() -> int { return start(display, dc, bitsPerPixel, rect); });
}

TV32_API int TV32_CALL disp32ShowData(DISP32H display, const void* memory, int32_t, int32_t, int32_t rows,
                                      int32_t bytesPerRow) {
    return tv32::guardLibrary(0, [&]() -> int {
        std::lock_guard lock(mutex);
        auto it = displays().find(display);
        if (it == displays().end() || !memory || rows <= 0 || bytesPerRow <= 0) return 0;
        Display& d = *it->second;
        const int width = bytesPerRow / d.bpp;
        if (width <= 0 || (d.width != 0 && width != d.width)) return 0;
        d.width = width;
        const std::size_t rowBytes = std::size_t(width) * d.bpp;
        const std::size_t old = d.data.size();
        try {
            d.data.resize(old + rowBytes * std::size_t(rows));
        } catch (const std::bad_alloc&) {
            return 0;
        }
        for (int r = 0; r < rows; ++r)
            std::memcpy(d.data.data() + old + rowBytes * r,
                        static_cast<const uint8_t*>(memory) + std::size_t(bytesPerRow) * r, rowBytes);
        d.rows += rows;
        return 1;
    });
}

TV32_API int TV32_CALL disp32ShowEnd(DISP32H display) {
    return tv32::guardLibrary(0, [&]() -> int {
        std::unique_ptr<Display> d;
        {
            std::lock_guard lock(mutex);
            auto it = displays().find(display);
            if (it == displays().end()) return 0;
            d = std::move(it->second);
            displays().erase(it);
        }
        if (d->rows == 0) return 1;
        const QImage img(d->data.data(), d->width, d->rows, d->width * d->bpp,
                         d->bpp == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
        if (img.size() == d->rect.size()) {
            d->painter->drawImage(d->rect.topLeft(), img);
        } else {
            d->painter->save();
            d->painter->setRenderHint(QPainter::SmoothPixmapTransform);
            d->painter->drawImage(d->rect, img);
            d->painter->restore();
        }
        return 1;
    });
}

} // extern "C"
