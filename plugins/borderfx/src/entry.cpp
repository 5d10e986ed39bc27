// TalvorPlugInAction: one call sizes the output area, renders frame and shadow around the
// selection, composes the opacity plane and hands both images to the host.
#include "entry.h"
#include "texturelib.h"

#include "dialog.h"
#include "guards.h"
#include "messages.h"
#include "render.h"

#include "imagelib/scabout.h"
#include "imagelib/tv32qt.h"
#include "imagelib/tv32txtur.h"

#include <algorithm>
#include <cstring>

namespace borderfx {

namespace {

// Module-wide state: one call at a time on the host's user-interface thread.
struct ModuleState {
    TV32HWND parent = 0;
    PlugInRecord* record = nullptr;
    TV32RECT selection{};
    TV32RECT output{};
    // The texture data object left in the record's textureData after the last call: released
    // at the next call or when the library is unloaded, so repeated calls do not leak. Only an
    // object that the library itself put there is remembered (the defaults clear the field at
    // the start of every call, so whatever it holds at the end came from the library).
    void* pendingTexture = nullptr;
    TextureRelease releaseTexture = &tv32TextureDataFree;
};

ModuleState& state() {
    static ModuleState s;
    return s;
}

void releasePendingTexture() {
    ModuleState& s = state();
    if (s.pendingTexture && s.releaseTexture) s.releaseTexture(s.pendingTexture);
    s.pendingTexture = nullptr;
}

// The library starts the about-box library when it is loaded and releases what it still holds
// when it is unloaded.
__attribute__((constructor)) void onLoad() {
    InitAboutDll();
}

__attribute__((destructor)) void onUnload() {
    releasePendingTexture();
}

TV32RECT intersect(const TV32RECT& a, const TV32RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// Asks for the cache lines of n bytes from p to be fetched; a hint only.
inline void prefetchBytes(const uint8_t* p, int32_t n) {
#if defined(__GNUC__) || defined(__clang__)
    for (int32_t k = 0; k < n; k += 64)
        __builtin_prefetch(p + k);
    if (n > 0) __builtin_prefetch(p + n - 1);
#else
    (void)p;
    (void)n;
#endif
}

// How many rows ahead the opacity loop asks for plane and mask rows.
constexpr int32_t kRowsAhead = 6;

// The shadow laid into one run [x0, x1) of a row: px is the first pixel of the run (N channels),
// arow and mrow the opacity plane's and the mask's rows indexed by x (mrow null: no mask), gOf
// the shadow opacity of each mask value, g0 the one without a mask.
template <int N>
void shadeRun(uint8_t* px, uint8_t* arow, const uint8_t* mrow, int32_t x0, int32_t x1, const uint8_t* gOf,
              uint32_t g0, const uint8_t* shade) {
    for (int32_t x = x0; x < x1; ++x, px += N) {
        const uint32_t av = arow[x];
        if (av == 255) continue;
        const uint32_t g = mrow ? gOf[mrow[x]] : g0;
        if (av == 0) {
            for (int k = 0; k < N; ++k)
                px[k] = shade[k];
            arow[x] = uint8_t(g);
            continue;
        }
        for (int k = 0; k < N; ++k)
            px[k] = uint8_t((shade[k] * g + px[k] * av) / (g + av));
        arow[x] = uint8_t(255 - (255 - av) * (255 - g) / 255);
    }
}

TV32RECT grown(const TV32RECT& r, int32_t by) {
    return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}

// Runs the steps after the dialog; the two work images are freed by their guards on every path.
int renderAndDeliver(PlugInRecord* rec) {
    ModuleState& s = state();
    s.selection = rec->selection;
    const int32_t sw = s.selection.right - s.selection.left, sh = s.selection.bottom - s.selection.top;
    OwnedBuffer selectionImage, outputImage;
    if (!buf32Alloc(selectionImage.slot(), rec->bitsPerPixel, sw, sh, BUF32_FILL_NONE, nullptr)) {
        ShowError(kInsufficientMemoryId, nullptr, s.parent);
        return 0;
    }
    OutputArea out;
    if (!ComputeOutputArea(rec, selectionImage.get(), &out)) {
        ShowError(kInsufficientMemoryId, nullptr, s.parent);
        return 0;
    }
    s.output = out.area;
    rec->originX -= out.growLeft;
    rec->originY -= out.growTop;
    const int32_t ow = out.area.right - out.area.left, oh = out.area.bottom - out.area.top;
    if (!buf32GetBuf(rec->sourceImage, out.area.left, out.area.top, ow, oh, outputImage.slot()) ||
        !buf32GetBuf(outputImage.get(), out.growLeft, out.growTop, sw, sh, selectionImage.slot()) ||
        RenderAndComposeAlpha(rec, selectionImage.get(), outputImage.get(), out.area) != 1) {
        ShowError(kInsufficientMemoryId, nullptr, s.parent);
        return 0;
    }
    return 1;
}

} // namespace

void SetDefaultParams(PlugInRecord* r) {
    FrameShadowParams& p = r->params;
    p.frameWidth = 10;
    p.shadowDirection = BFX_SHADOW_DOWN_LEFT;
    p.shadowOffsetX = 10;
    p.shadowOffsetY = 10;
    for (int32_t& side : p.frameSides)
        side = 10;
    p.frameColor = 0x00FF0000;
    p.shadowColor = 0;
    p.backColor = r->hostColor;
    p.transparency = 20;
    p.blendWidth = 10;
    p.frameFill = BFX_FILL_COLOR;
    p.textureData = nullptr;
    r->textureIndex = 1;
}

int ComputeOutputArea(PlugInRecord* r, TV32HBUF selectionImage, OutputArea* out) {
    TV32RECT image, canvas;
    if (!out || !GetImageRect(selectionImage, &r->params, &image) ||
        !GetCanvasRect(selectionImage, &r->params, &canvas))
        return 0;
    const int32_t w = canvas.right, h = canvas.bottom;
    r->params.placement = {0, 0, w, h};
    out->growLeft = image.left;
    out->growTop = image.top;
    const int32_t left = r->selection.left - image.left, top = r->selection.top - image.top;
    out->area = {left, top, left + w, top + h};
    return 1;
}

int RenderAndComposeAlpha(PlugInRecord* rec, TV32HBUF selectionImage, TV32HBUF outputImage,
                          const TV32RECT& output) {
    OwnedBuffer mask;
    if (!RenderFrameAndShadowKeepingMask(selectionImage, outputImage, &rec->params, rec->resultImage,
                                         mask.slot()))
        return 0;
    // The texture library loaded while the dialog was open: the next call loads it again.
    ReleaseTextureLibrary();
    return ComposeOutsideAlpha(rec, output, mask.get()) ? 1 : -1;
}

int ComposeOutsideAlpha(const PlugInRecord* r, const TV32RECT& o, TV32HBUF shadowMask) {
    if (!r || !r->resultAlpha || !r->resultImage) return 0;
    const TV32RECT c = intersect(o, {0, 0, r->imageWidth, r->imageHeight});
    const int32_t cw = c.right - c.left, ch = c.bottom - c.top;
    if (!buf32GetBuf(r->alphaSource, c.left, c.top, cw, ch, r->resultAlpha)) return 0;
    const FrameShadowParams& p = r->params;
    const bool frameOn = p.frameWidth > 0;
    const bool shadowOn = p.shadowOffsetX > 0 || p.shadowOffsetY > 0;
    const bool blendOn = p.blendWidth > 0;
    if (!frameOn && !shadowOn) return 1;

    const TV32RECT s = r->selection;
    const TV32RECT f = grown(s, p.frameWidth);
    TV32RECT d = grown(f, p.blendWidth);
    {
        const int32_t dir = p.shadowDirection;
        const int32_t dx = (dir == 0 || dir == 2) ? -p.shadowOffsetX : p.shadowOffsetX;
        const int32_t dy = (dir == 0 || dir == 1) ? -p.shadowOffsetY : p.shadowOffsetY;
        d = {d.left + dx, d.top + dy, d.right + dx, d.bottom + dy};
    }
    const int32_t dw = d.right - d.left, dh = d.bottom - d.top;
    OwnedBuffer built;
    TV32HBUF mask = 0;
    if (blendOn) {
        int32_t mw = 0, mh = 0;
        if (shadowMask && buf32GetWHU(shadowMask, &mw, &mh, 0) && mw == dw && mh == dh)
            mask = shadowMask;
        else if (BuildSoftEdgeMask(built.slot(), dw, dh, p.blendWidth, nullptr))
            mask = built.get();
        else
            built.reset();
    }

    const TV32HBUF result = *r->resultImage;
    const TV32HBUF plane = *r->resultAlpha;
    BUF32INFO info;
    if (!buf32GetInfo(result, &info)) return 0;
    BufferLock resultLock(result, BUF32_LOCK_READWRITE);
    BufferLock planeLock(plane, BUF32_LOCK_READWRITE);
    if (!resultLock || !planeLock) return 0;
    uint8_t* const alpha = buf32PointAddr(plane, 0, 0);
    if (!alpha) return 0;
    const uint8_t* maskBits = nullptr;
    BufferLock maskLock(mask, BUF32_LOCK_READ);
    if (mask) {
        if (!maskLock) return 0;
        maskBits = buf32PointAddr(mask, 0, 0);
        if (!maskBits) return 0;
    }
    const int channels = info.bytesPerPixel;
    const uint8_t g0 = uint8_t((100 - p.transparency) * 255 / 100);
    uint8_t shade[3] = {uint8_t(p.shadowColor & 0xFF), uint8_t((p.shadowColor >> 8) & 0xFF),
                        uint8_t((p.shadowColor >> 16) & 0xFF)};
    if (channels == 1) shade[0] = GreyOf(p.shadowColor);

    // The shadow's opacity g for each mask value m: m g0 / 255 (g0 itself without a mask).
    uint8_t gOf[256];
    for (uint32_t m = 0; m < 256; ++m)
        gOf[m] = maskBits ? uint8_t(m * g0 / 255) : g0;

    // The shadow over [x0, x1) of row y, pixel by pixel, outside the frame.
    auto shadowPiece = [&](const BUF32CELL& cell, int32_t y, int32_t x0, int32_t x1) {
        x0 = std::max(x0, d.left);
        x1 = std::min(x1, d.right);
        if (x0 >= x1) return;
        uint8_t* arow = alpha + std::ptrdiff_t(y - c.top) * cw - c.left;
        const uint8_t* mrow = maskBits ? maskBits + std::ptrdiff_t(y - d.top) * dw - d.left : nullptr;
        uint8_t* px = cell.pixels + (std::size_t(y - o.top - cell.y) * std::size_t(cell.width) +
                                     std::size_t(x0 - o.left - cell.x)) *
                                        std::size_t(channels);
        if (channels == 3)
            shadeRun<3>(px, arow, mrow, x0, x1, gOf, g0, shade);
        else
            shadeRun<1>(px, arow, mrow, x0, x1, gOf, g0, shade);
    };
    // A piece [u, v) of row y outside the selection: opaque where the frame lies, shadowed where
    // the shadow falls, unchanged elsewhere.
    auto piece = [&](const BUF32CELL& cell, int32_t y, int32_t u, int32_t v) {
        if (u >= v) return;
        // The rows of the plane and the mask lie far apart: ask for the ones a few rows on early.
        const int32_t ahead = y + kRowsAhead;
        if (ahead < c.bottom) prefetchBytes(alpha + std::ptrdiff_t(ahead - c.top) * cw + (u - c.left), v - u);
        if (maskBits && ahead < d.bottom && ahead >= d.top && u < d.right && v > d.left) {
            const int32_t mu = std::max(u, d.left), mv = std::min(v, d.right);
            prefetchBytes(maskBits + std::ptrdiff_t(ahead - d.top) * dw + (mu - d.left), mv - mu);
        }
        int32_t fu = v, fv = v;
        if (frameOn && y >= f.top && y < f.bottom) {
            fu = std::max(u, f.left);
            fv = std::min(v, f.right);
            if (fu < fv)
                std::memset(alpha + std::ptrdiff_t(y - c.top) * cw + (fu - c.left), 255,
                            std::size_t(fv - fu));
            else
                fu = fv = v;
        }
        if (!shadowOn || y < d.top || y >= d.bottom) return;
        shadowPiece(cell, y, u, fu);
        shadowPiece(cell, y, fv, v);
    };

    if (channels != 1 && channels != 3) return 1;
    for (int32_t i = 0; i < info.cellCount; ++i) {
        // The part of the cell inside C, in image coordinates; a cell outside C or wholly inside
        // the selection has nothing to change and is not visited.
        const TV32RECT r = CellRect(info, i);
        const int32_t xa = std::max(c.left, o.left + r.left), xb = std::min(c.right, o.left + r.right + 1);
        const int32_t ya = std::max(c.top, o.top + r.top), yb = std::min(c.bottom, o.top + r.bottom + 1);
        if (xa >= xb || ya >= yb) continue;
        if (xa >= s.left && xb <= s.right && ya >= s.top && yb <= s.bottom) continue;
        CellLock cl(result, i);
        if (!cl) return 0;
        const BUF32CELL& cell = cl.cell();
        for (int32_t y = ya; y < yb; ++y) {
            // The selection itself is left alone: only the pieces of the row beside it are visited.
            if (y >= s.top && y < s.bottom) {
                piece(cell, y, xa, std::min(xb, s.left));
                piece(cell, y, std::max(xa, s.right), xb);
            } else {
                piece(cell, y, xa, xb);
            }
        }
    }
    return 1;
}

TextureRelease SetTextureRelease(TextureRelease release) {
    TextureRelease previous = state().releaseTexture;
    state().releaseTexture = release;
    return previous;
}

void* PendingTexture() {
    return state().pendingTexture;
}

} // namespace borderfx

extern "C" {

TV32_API int TV32_CALL TalvorPlugInAction(TV32HWND parent, PlugInRecord* record) {
    using namespace borderfx;
    if (!record || !record->resultImage || !record->resultAlpha) return 0;
    ModuleState& s = state();
    releasePendingTexture();
    s.parent = parent;
    s.record = record;
    SetDefaultParams(record);
    tv32::ensureApplication();
    int result = 0;
    if (RunFrameShadowDialog(parent, record)) result = renderAndDeliver(record);
    s.pendingTexture = record->params.textureData;
    s.record = nullptr;
    return result;
}

} // extern "C"
