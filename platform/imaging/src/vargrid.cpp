// The 3 x 3 variation grid: nine pictures drawn in a child widget of the given window.
#include "imagelib/tv32base.h"
#include "imagelib/tv32guard.h"
#include "imagelib/tv32qt.h"
#include "imagelib/tv32vargrid.h"

#include "clipsgrid.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <vector>

namespace tv32 {

QImage imageOfBuffer(TV32HBUF buffer) {
    BUF32INFO info{};
    info.recordSize = sizeof info;
    if (!buffer || !buf32GetInfo(buffer, &info) || info.width <= 0 || info.height <= 0) return {};
    QImage img(info.width, info.height,
               info.bytesPerPixel == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    std::vector<uint8_t> mem(std::size_t(info.width) * std::size_t(info.height) *
                             std::size_t(info.bytesPerPixel));
    if (!buf32GetMem(buffer, 0, 0, info.width, info.height, mem.data())) return {};
    const int row = info.width * info.bytesPerPixel;
    for (int y = 0; y < info.height; ++y)
        std::copy_n(mem.data() + std::size_t(y) * std::size_t(row), row, img.scanLine(y));
    return img;
}

namespace {

class VarGridWidget : public QWidget {
  public:
    VarGridWidget(QWidget* parent, int cw, int ch, TV32IIOPROC proc, void* handle)
        : QWidget(parent), cw_(cw), ch_(ch), proc_(proc), handle_(handle) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(parent->contentsRect());
        show();
    }
    std::array<QImage, 9> images;
    int selected = 4;

    QRect cellRect(int cell) const {
        const int x0 = (width() - 3 * cw_) / 2, y0 = (height() - 3 * ch_) / 2;
        return {x0 + (cell % 3) * cw_, y0 + (cell / 3) * ch_, cw_, ch_};
    }
    void reportCells() {
        if (!proc_) return;
        for (int i = 0; i < 9; ++i) {
            // Rectangles in the window's coordinates: the grid fills it from its contents origin.
            const QRect r = cellRect(i).translated(pos());
            TV32VARCELLINFO info{0, 0, 4, r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
            proc_(handle_, TV32_VAR_CELL_RECT, i, &info);
        }
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        for (int i = 0; i < 9; ++i) {
            const QImage& img = images[std::size_t(i)];
            if (img.isNull()) continue;
            // A picture at least as large as its cell shows unscaled, cut to the cell, so that
            // its pixels stay sharp; a smaller one is stretched to fill it.
            const QRect cell = cellRect(i);
            if (img.width() >= cell.width() && img.height() >= cell.height())
                p.drawImage(cell.topLeft(), img, QRect(QPoint(0, 0), cell.size()));
            else
                p.drawImage(cell, img);
        }
    }
    void resizeEvent(QResizeEvent*) override { reportCells(); }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton || !proc_) return;
        for (int i = 0; i < 9; ++i) {
            if (cellRect(i).contains(e->position().toPoint())) {
                proc_(handle_, TV32_VAR_CELL_CLICK, i, nullptr);
                return;
            }
        }
    }

  private:
    int cw_, ch_;
    TV32IIOPROC proc_;
    void* handle_;
};

struct VarGrid {
    QPointer<VarGridWidget> widget;
};

std::set<void*>& grids() {
    static std::set<void*> s;
    return s;
}

VarGrid* asGrid(void* h) {
    return grids().count(h) ? static_cast<VarGrid*>(h) : nullptr;
}

} // namespace

bool varGridAction(void* handle, int32_t command, int32_t value, void* data, int32_t* result) {
    VarGrid* g = asGrid(handle);
    if (!g) return false;
    int32_t r = -1;
    switch (command) {
    case TV32_IIO_SELECT: {
        auto* sel = static_cast<TV32IIOSELECTION*>(data);
        r = 0;
        if (sel && sel->count == 1 && sel->items && sel->items[0] >= 0 && sel->items[0] < 9 && g->widget) {
            g->widget->selected = sel->items[0];
            r = 1;
        }
        break;
    }
    case TV32_IIO_SHOW:
        if (value == 0) {
            delete g->widget.data();
            r = 1;
        } else {
            r = 0; // a grid is shown in the window it was made for
        }
        break;
    case TV32_IIO_COUNT:
        r = 9;
        break;
    default:
        break;
    }
    if (result) *result = r;
    return true;
}

bool varGridDestroy(void* handle) {
    VarGrid* g = asGrid(handle);
    if (!g) return false;
    grids().erase(handle);
    delete g->widget.data();
    delete g;
    return true;
}

QWidget* varGridWidget(void* handle) {
    VarGrid* g = asGrid(handle);
    return g ? g->widget.data() : nullptr;
}

} // namespace tv32

extern "C" {

TV32_API int TV32_CALL tv32IIOGetWH(TV32HWND window, int32_t mode, int32_t columns, int32_t rows,
                                    int32_t* width, int32_t* height, int32_t maxSide) {
    return tv32::guardLibrary(0, [&]() -> int {
        QWidget* w = tv32::widgetFromHandle(window);
        if (!w || mode != 1 || columns <= 0 || rows <= 0 || !width || !height) return 0;
        const QRect r = w->contentsRect();
        *width = std::clamp(r.width() / columns, 1, std::max(1, maxSide));
        *height = std::clamp(r.height() / rows, 1, std::max(1, maxSide));
        return 1;
    });
}

TV32_API void* TV32_CALL tv32VarCreateIIO(TV32HWND window, TV32HBUF* pictures, void** palettes,
                                          int32_t cellWidth, int32_t cellHeight, TV32IIOPROC callback) {
    return tv32::guardLibrary(static_cast<void*>(nullptr), [&]() -> void* {
        QWidget* w = tv32::widgetFromHandle(window);
        if (!w || !pictures || cellWidth <= 0 || cellHeight <= 0) return nullptr;
        auto made = std::make_unique<tv32::VarGrid>();
        tv32::VarGrid* g = made.get();
        tv32::grids().insert(g);
        made.release(); // known to the grid set now: varGridDestroy releases it
        g->widget = new tv32::VarGridWidget(w, cellWidth, cellHeight, callback, g);
        if (!tv32VarSetII(g, pictures, palettes)) {
            tv32::varGridDestroy(g);
            return nullptr;
        }
        g->widget->reportCells();
        return g;
    });
}

TV32_API int TV32_CALL tv32VarSetII(void* grid, TV32HBUF* pictures, void** /*palettes*/) {
    return tv32::guardLibrary(0, [&]() -> int {
        tv32::VarGrid* g = tv32::asGrid(grid);
        if (!g || !g->widget || !pictures) return 0;
        std::array<QImage, 9> images;
        for (std::size_t i = 0; i < 9; ++i) {
            images[i] = tv32::imageOfBuffer(pictures[i]);
            if (images[i].isNull()) return 0;
        }
        g->widget->images = std::move(images);
        g->widget->update();
        return 1;
    });
}

} // extern "C"
