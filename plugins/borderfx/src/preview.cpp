// The preview pane: set-up, scaled parameters, rendering and painting.
#include "preview.h"

#include "messages.h"
#include "render.h"

#include "imagelib/tv32cvt.h"

#include <QApplication>
#include <QColor>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPen>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace borderfx {

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    const int64_t p = int64_t(a) * b;
    int64_t q = p / c, r = p % c;
    // Halves and more away from zero.
    if (2 * std::llabs(r) >= std::llabs(int64_t(c))) q += ((p < 0) != (c < 0)) ? -1 : 1;
    return int32_t(q);
}

TV32RECT CenterRect(const TV32RECT& area, int32_t w, int32_t h) {
    const int32_t dx = (area.left + area.right) / 2 - w / 2;
    const int32_t dy = (area.top + area.bottom) / 2 - h / 2;
    return TV32RECT{dx, dy, dx + w, dy + h};
}

TV32RECT FitRect(const TV32RECT& area, int32_t w, int32_t h) {
    const int32_t aw = RectWidth(area), ah = RectHeight(area);
    int32_t width = 0, height = 0;
    if (h > w || (h == w && ah <= aw)) {
        height = ah;
        width = MulDiv(ah, w, h);
        if (width > aw) {
            width = aw;
            height = MulDiv(aw, h, w);
        }
    } else {
        width = aw;
        height = MulDiv(aw, h, w);
        if (height > ah) {
            height = ah;
            width = MulDiv(ah, w, h);
        }
    }
    if (width == 0) width = 2;
    if (height == 0) height = 2;
    const int32_t mx = (aw - width) / 2, my = (ah - height) / 2;
    return TV32RECT{area.left + mx, area.top + my, area.right - mx, area.bottom - my};
}

int32_t ScaleToPreview(int32_t a, float s) {
    const int32_t v = int32_t(double(a) / double(s) + 0.5);
    return (v == 0 && a != 0) ? 1 : v;
}

TV32RECT AdjustedSelection(const TV32RECT& selection) {
    TV32RECT s = selection;
    if (s.left == 0 && s.top == 0) s.left = 1;
    return s;
}

TV32RECT InnerArea(const TV32RECT& pane) {
    const int32_t dx = RectWidth(pane) / 20, dy = RectHeight(pane) / 20;
    return TV32RECT{pane.left + dx, pane.top + dy, pane.right - dx, pane.bottom - dy};
}

PreviewState::~PreviewState() {
    release();
}

void PreviewState::release() {
    if (result) buf32Free(result);
    if (selectionImage) buf32Free(selectionImage);
    if (ownsImage && image) buf32Free(image);
    result = selectionImage = 0;
    image = 0;
    ownsImage = false;
}

int MakePreviewImage(TV32HBUF source, TV32HBUF* slot, const TV32RECT& r, const void* palette,
                     int32_t quality) {
    if (*slot && buf32GetInfo(*slot, nullptr)) buf32Free(*slot);
    *slot = 0;
    const TV32SIZE size{RectWidth(r), RectHeight(r)};
    const bool wait = int64_t(size.cx) * size.cy > 10000 && qApp;
    if (wait) QApplication::setOverrideCursor(Qt::WaitCursor);
    const int ok = tv32BufferResampleEx(&size, source, slot, 0, palette, quality);
    if (wait) QApplication::restoreOverrideCursor();
    if (!ok) ShowLibraryMessage(1001, 80003, 1, 1, 0);
    return ok;
}

SetupResult SetupPreview(PreviewState& state, const TV32RECT& pane, const PlugInRecord& record,
                         bool scalePicture) {
    state.release();
    state.frame = pane;
    state.inner = InnerArea(pane);
    state.view = pane;
    buf32GetWHU(record.sourceImage, &state.imageWidth, &state.imageHeight, 0);
    const int32_t w = state.imageWidth, h = state.imageHeight;
    state.selection = AdjustedSelection(record.selection);
    if (w <= RectWidth(state.inner) && h <= RectHeight(state.inner)) {
        state.image = record.sourceImage;
        state.ownsImage = false;
        state.sx = state.sy = 1.0f;
        state.view = CenterRect(state.inner, w, h);
        state.previewSelection = state.selection;
    } else {
        state.view = FitRect(state.inner, w, h);
        TV32HBUF scaled = 0;
        if (scalePicture ? !MakePreviewImage(record.sourceImage, &scaled, state.view, nullptr, 1)
                         : !buf32Alloc(&scaled, record.bitsPerPixel, RectWidth(state.view),
                                       RectHeight(state.view), BUF32_FILL_ZERO, nullptr))
            return SetupResult::ImageFailed;
        state.image = scaled;
        state.ownsImage = true;
        state.sx = float(w) / float(RectWidth(state.view));
        state.sy = float(h) / float(RectHeight(state.view));
        const TV32RECT& s = state.selection;
        TV32RECT q{ScaleToPreview(s.left, state.sx), ScaleToPreview(s.top, state.sy),
                   ScaleToPreview(s.right, state.sx), ScaleToPreview(s.bottom, state.sy)};
        if (q.left == q.right) ++q.right;
        if (q.top == q.bottom) ++q.bottom;
        state.previewSelection = q;
    }
    const TV32RECT& q = state.previewSelection;
    if (!buf32GetBuf(state.image, q.left, q.top, RectWidth(q), RectHeight(q), &state.selectionImage))
        return SetupResult::SelectionFailed;
    return SetupResult::Ok;
}

void ScalePreviewParams(PreviewState& state, const FrameShadowParams& params) {
    FrameShadowParams& p = state.working;
    p = params;
    const float smaller = std::min(state.sx, state.sy);
    p.frameWidth = ScaleToPreview(params.frameWidth, smaller);
    for (int32_t& side : p.frameSides)
        side = p.frameWidth;
    p.shadowOffsetX = ScaleToPreview(params.shadowOffsetX, state.sx);
    p.shadowOffsetY = ScaleToPreview(params.shadowOffsetY, state.sy);
    p.blendWidth = ScaleToPreview(params.blendWidth, smaller);
    p.placement.left = int16_t(state.previewSelection.left);
    p.placement.top = int16_t(state.previewSelection.top);
}

int RenderPreview(PreviewState& state, const PlugInRecord& record, const PreviewSwitches& switches) {
    ScalePreviewParams(state, record.params);
    FrameShadowParams& p = state.working;
    if (!switches.frameOn) p.frameWidth = 0;
    if (!switches.shadowOn) p.blendWidth = p.shadowOffsetY = p.shadowOffsetX = 0;
    if (!switches.blendOn) p.blendWidth = 0;
    // Without a texture (the texture library could not be loaded) the frame is previewed
    // unfilled rather than failing the preview and with it the dialog.
    if (p.frameFill == BFX_FILL_TEXTURE && !p.textureData) p.frameFill = kFillNone;
    if (state.result) buf32Free(state.result);
    state.result = 0;
    if (!RenderFrameAndShadow(state.selectionImage, state.image, nullptr, kTargetTrueColor, &p, &state.result,
                              0, nullptr))
        return 0;
    if (record.bitsPerPixel < 24) {
        TV32HBUF colour = 0;
        if (!cvt32BufType(2, 0, CVT32_GREY, CVT32_TRUECOLOR, state.result, &colour, nullptr, 0, 0, nullptr,
                          0))
            return 0;
        if (colour) {
            buf32Free(state.result);
            state.result = colour;
        }
    }
    return 1;
}

void DrawSunkenBorder(QPainter* dc, const TV32RECT& r) {
    const QPalette pal = QGuiApplication::palette();
    dc->save();
    QPen pen(pal.color(QPalette::Dark), 1);
    pen.setCapStyle(Qt::FlatCap);
    // Lines without their end points, on whole pixels.
    auto line = [dc](int x1, int y1, int x2, int y2) {
        if (x1 == x2) {
            if (y1 == y2) return;
            const int step = y2 > y1 ? 1 : -1;
            dc->drawLine(x1, y1, x1, y2 - step);
        } else {
            const int step = x2 > x1 ? 1 : -1;
            dc->drawLine(x1, y1, x2 - step, y1);
        }
    };
    dc->setRenderHint(QPainter::Antialiasing, false);
    dc->setPen(pen);
    line(r.left, r.bottom - 1, r.left, r.top);
    line(r.left, r.top, r.right, r.top);
    pen.setColor(pal.color(QPalette::Light));
    dc->setPen(pen);
    line(r.right - 1, r.top + 1, r.right - 1, r.bottom - 1);
    line(r.right - 1, r.bottom - 1, r.left, r.bottom - 1);
    dc->restore();
}

void ShowBuffer(QPainter* dc, TV32HBUF buffer, const void* palette, const TV32RECT& r) {
    int32_t w = 0, h = 0;
    if (!buf32GetWHU(buffer, &w, &h, 0) || w == 0 || h == 0) return;
    BUF32INFO info;
    if (!buf32GetInfo(buffer, &info) || !buf32Lock(buffer, BUF32_LOCK_READWRITE, nullptr)) return;
    DISP32H display = 0;
    if (disp32ShowInit(&display, dc, info.bitsPerPixel, &r, palette, 1, 0)) {
        const std::size_t total = std::size_t(w) * h * info.bytesPerPixel;
        std::vector<uint8_t> block(total, 0);
        if (buf32GetMem(buffer, 0, 0, w, h, block.data()))
            disp32ShowData(display, block.data(), 0, 0, h, int32_t(total / std::size_t(h)));
        disp32ShowEnd(display);
    }
    buf32Unlock(buffer);
}

void PaintSwatchOn(QPainter* dc, const ColorSwatch& swatch) {
    const int32_t w = RectWidth(swatch.rect), h = RectHeight(swatch.rect);
    if (w > 0 && h > 0) {
        std::vector<uint8_t> block(std::size_t(w) * h * 3);
        for (std::size_t i = 0; i < block.size(); i += 3) {
            block[i] = uint8_t(swatch.color);
            block[i + 1] = uint8_t(swatch.color >> 8);
            block[i + 2] = uint8_t(swatch.color >> 16);
        }
        DISP32H display = 0;
        if (disp32ShowInitEx(&display, dc, 24, &swatch.rect, 0, 0, 0, 0, 0)) {
            disp32ShowData(display, block.data(), 0, 0, h, w * 3);
            disp32ShowEnd(display);
        }
    }
    DrawSunkenBorder(dc, swatch.rect);
}

void DrawTextureSwatch(const ColorSwatch& swatch, QPainter* dc, void* textureData) {
    const int32_t w = RectWidth(swatch.rect), h = RectHeight(swatch.rect);
    TV32HBUF sample = 0;
    if (w > 0 && h > 0 && buf32Alloc(&sample, 24, w, h, BUF32_FILL_ZERO, nullptr)) {
        if (FillRectWithTexture(sample, BFX_FILL_TEXTURE, textureData, 0, 0, w, h, nullptr, nullptr))
            ShowBuffer(dc, sample, nullptr, swatch.rect);
        buf32Free(sample);
    }
    DrawSunkenBorder(dc, swatch.rect);
}

} // namespace borderfx
