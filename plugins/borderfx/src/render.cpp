// Frame and shadow rendering.
#include "render.h"

#include "guards.h"

#include "imagelib/tv32cvt.h"
#include "imagelib/tv32sel.h"
#include "imagelib/tv32txtur.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace borderfx {

namespace {

bool isEmpty(const TV32RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// A painted area: [left, right) x [top, bottom), in 64 bits so that no sum overflows.
struct Area {
    int64_t left, top, right, bottom;
};

// Whether a pass visits the cell (inclusive rectangle c): it must meet the painted area and
// must not lie wholly inside the excluded rectangle.
bool visitCell(const TV32RECT& c, const Area& a, const TV32RECT* ex) {
    if (c.right < a.left || c.left > a.right - 1 || c.top > a.bottom - 1 || c.bottom < a.top) return false;
    if (ex && c.left >= ex->left && c.right < ex->right && c.top >= ex->top && c.bottom < ex->bottom)
        return false;
    return true;
}

// Calls f(y, x0, x1) for each row piece of the locked cell that lies in the area and outside
// the excluded rectangle; x0 < x1, image coordinates.
template <class F> void forEachSpan(const BUF32CELL& cell, const Area& a, const TV32RECT* ex, F&& f) {
    const int64_t y0 = std::max<int64_t>(cell.y, a.top),
                  y1 = std::min<int64_t>(int64_t(cell.y) + cell.height, a.bottom);
    const int64_t x0 = std::max<int64_t>(cell.x, a.left),
                  x1 = std::min<int64_t>(int64_t(cell.x) + cell.width, a.right);
    if (x0 >= x1) return;
    for (int64_t y = y0; y < y1; ++y) {
        if (ex && y >= ex->top && y < ex->bottom && ex->left < ex->right) {
            const int64_t e0 = std::max<int64_t>(x0, ex->left), e1 = std::min<int64_t>(x1, ex->right);
            if (e0 < e1) {
                if (x0 < e0) f(int32_t(y), int32_t(x0), int32_t(e0));
                if (e1 < x1) f(int32_t(y), int32_t(e1), int32_t(x1));
                continue;
            }
        }
        f(int32_t(y), int32_t(x0), int32_t(x1));
    }
}

inline uint8_t* pixelAt(const BUF32CELL& cell, int32_t x, int32_t y, int bpp) {
    return cell.pixels +
           (std::size_t(y - cell.y) * std::size_t(cell.width) + std::size_t(x - cell.x)) * std::size_t(bpp);
}

// Per channel: the value of p after a full-strength blend with colour byte c at transparency T,
// (p T + c (100 - T)) / 100, for every p.
struct BlendTable {
    uint8_t v[3][256];
    BlendTable(const PixelColor& color, int32_t t, int channels) {
        for (int ch = 0; ch < channels; ++ch)
            for (uint32_t p = 0; p < 256; ++p)
                v[ch][p] = uint8_t((p * uint32_t(t) + uint32_t(color.c[ch]) * uint32_t(100 - t)) / 100);
    }
};

// The opaque frame: the frame rectangle less the image rectangle, as up to four opaque strips.
// The image is copied over its own rectangle right afterwards, so the result is that of one
// opaque fill of the whole frame rectangle, without filling and copying the (large) inner part.
int paintFrameRing(TV32HBUF buffer, const PixelColor& color, const TV32RECT& frame, const TV32RECT& image) {
    const TV32RECT strips[4] = {
        {frame.left, frame.top, frame.right, image.top},       // above
        {frame.left, image.bottom, frame.right, frame.bottom}, // below
        {frame.left, image.top, image.left, image.bottom},     // left
        {image.right, image.top, frame.right, image.bottom},   // right
    };
    for (const TV32RECT& r : strips)
        if (!isEmpty(r) &&
            !PaintSolidRect(buffer, &color, 0, 0, r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr))
            return 0;
    return 1;
}

} // namespace

uint8_t GreyOf(uint32_t color) {
    const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    return uint8_t((299 * r + 587 * g + 114 * b) / 1000);
}

PixelColor MakePixelColor(uint32_t color, bool grey) {
    PixelColor p{{uint8_t(color & 0xFF), uint8_t((color >> 8) & 0xFF), uint8_t((color >> 16) & 0xFF)}};
    if (grey) p.c[0] = GreyOf(color);
    return p;
}

TV32RECT CellRect(const BUF32INFO& info, int32_t index) {
    const int32_t across = std::max(info.cellsAcross, 1);
    const int32_t column = index % across, row = index / across;
    TV32RECT r;
    r.left = column * info.cellWidth;
    r.top = row * info.cellHeight;
    r.right = r.left + (column == across - 1 ? info.lastCellWidth : info.cellWidth) - 1;
    r.bottom = r.top + (row == info.cellsDown - 1 ? info.lastCellHeight : info.cellHeight) - 1;
    return r;
}

ShadowShift ShadowOffset(const FrameShadowParams& p) {
    const bool left = p.shadowDirection == BFX_SHADOW_UP_LEFT || p.shadowDirection == BFX_SHADOW_DOWN_LEFT;
    const bool up = p.shadowDirection == BFX_SHADOW_UP_LEFT || p.shadowDirection == BFX_SHADOW_UP_RIGHT;
    return {left ? -int64_t(p.shadowOffsetX) : int64_t(p.shadowOffsetX),
            up ? -int64_t(p.shadowOffsetY) : int64_t(p.shadowOffsetY)};
}

namespace {

// A rectangle in 64 bits, so that no parameter can make a coordinate wrap.
struct Rect64 {
    int64_t left, top, right, bottom;
};

bool isEmpty64(const Rect64& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

Rect64 moved(const Rect64& r, int64_t dx, int64_t dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

bool narrow(const Rect64& r, TV32RECT& out) {
    for (const int64_t v : {r.left, r.top, r.right, r.bottom})
        if (v < INT32_MIN || v > INT32_MAX) return false;
    out = {int32_t(r.left), int32_t(r.top), int32_t(r.right), int32_t(r.bottom)};
    return true;
}

// The layout computed in 64 bits; false when a coordinate or the canvas size does not fit in 32.
bool layoutChecked(int32_t width, int32_t height, const FrameShadowParams& p, FrameLayout& l) {
    const Rect64 image{0, 0, width, height};
    const int64_t f = p.frameWidth, e = p.blendWidth;
    const Rect64 frame{-f, -f, width + f, height + f};
    const ShadowShift shift = ShadowOffset(p);
    const Rect64 shadow =
        moved({frame.left - e, frame.top - e, frame.right + e, frame.bottom + e}, shift.dx, shift.dy);
    Rect64 canvas = isEmpty64(frame) ? shadow
                    : isEmpty64(shadow)
                        ? frame
                        : Rect64{std::min(frame.left, shadow.left), std::min(frame.top, shadow.top),
                                 std::max(frame.right, shadow.right), std::max(frame.bottom, shadow.bottom)};
    const int64_t ox = -canvas.left, oy = -canvas.top;
    canvas = moved(canvas, ox, oy);
    return narrow(moved(image, ox, oy), l.image) && narrow(moved(frame, ox, oy), l.frame) &&
           narrow(moved(shadow, ox, oy), l.shadow) && narrow(canvas, l.canvas);
}

} // namespace

bool LayoutFits(int32_t width, int32_t height, const FrameShadowParams& params) {
    FrameLayout l;
    return layoutChecked(width, height, params, l);
}

FrameLayout LayoutForSize(int32_t width, int32_t height, const FrameShadowParams& p) {
    FrameLayout l{};
    if (!layoutChecked(width, height, p, l)) l = FrameLayout{};
    return l;
}

int ComputeFrameLayout(TV32HBUF source, const FrameShadowParams* params, FrameLayout* layout) {
    int32_t w = 0, h = 0;
    if (!params || !layout || !buf32GetWHU(source, &w, &h, 0)) return 0;
    return layoutChecked(w, h, *params, *layout) ? 1 : 0;
}

int GetImageRect(TV32HBUF source, const FrameShadowParams* params, TV32RECT* rect) {
    FrameLayout l;
    if (!rect || !ComputeFrameLayout(source, params, &l)) return 0;
    *rect = l.image;
    return 1;
}

int GetCanvasRect(TV32HBUF source, const FrameShadowParams* params, TV32RECT* rect) {
    FrameLayout l;
    if (!rect || !ComputeFrameLayout(source, params, &l)) return 0;
    *rect = {0, 0, l.canvas.right - l.canvas.left, l.canvas.bottom - l.canvas.top};
    return 1;
}

int32_t SoftEdgeUsed(int32_t width, int32_t height, int32_t edge) {
    if (edge <= 0) return 0;
    if (int64_t(width) - 2 * int64_t(edge) > 0 && int64_t(height) - 2 * int64_t(edge) > 0) return edge;
    const int32_t e = std::min(width / 2 - 1, height / 2 - 1);
    return e <= 0 ? 0 : e;
}

int BuildSoftEdgeMask(TV32HBUF* slot, int32_t width, int32_t height, int32_t edge, void* progress) {
    if (!slot) return 0;
    if (edge <= 0) {
        *slot = 0;
        return 1;
    }
    const int32_t e = SoftEdgeUsed(width, height, edge);
    const int32_t iw = width - 2 * e, ih = height - 2 * e;
    SEL32RECORD rec;
    std::memset(&rec, 0, sizeof rec);
    const uint8_t full = 255;
    const bool allocated = buf32Alloc(&rec.mask, 8, iw, ih, BUF32_FILL_VALUE, &full) != 0;
    rec.x = e;
    rec.y = e;
    rec.width = iw;
    rec.height = ih;
    rec.kind = 1;
    rec.flags = 0;
    const int32_t r[4] = {e, e, iw, ih};
    std::memcpy(rec.bounds, r, sizeof r);
    std::memcpy(rec.inner, r, sizeof r);
    if (allocated && sel32SoftEdgeMakeMask(&rec, 1, e, 0, 0, 0, progress)) {
        *slot = rec.mask;
        return 1;
    }
    if (rec.mask) buf32Free(rec.mask);
    *slot = 0;
    return 0;
}

int BlendThroughMask(TV32HBUF buffer, TV32HBUF mask, const PixelColor* color, int32_t t, int32_t left,
                     int32_t top, const TV32RECT* excluded) {
    BUF32INFO info;
    int32_t mw = 0, mh = 0;
    if (!color || !buf32GetInfo(buffer, &info) || !buf32GetWHU(mask, &mw, &mh, 0)) return 0;
    auto scratch = makeScratch(std::size_t(info.cellWidth) * std::size_t(info.cellHeight));
    if (!scratch) return 0;
    BufferLock lock(buffer, BUF32_LOCK_READWRITE);
    if (!lock) return 0;
    const int channels = info.bytesPerPixel;
    if (channels != 1 && channels != 3) return 1; // another channel count stays unchanged
    const Area area{left, top, int64_t(left) + mw, int64_t(top) + mh};
    const BlendTable full(*color, t, channels);
    const uint32_t keep = uint32_t(t), share = uint32_t(100 - t);
    static const uint8_t zero[4] = {0, 0, 0, 0};
    for (int32_t i = 0; i < info.cellCount; ++i) {
        if (!visitCell(CellRect(info, i), area, excluded)) continue;
        CellLock cl(buffer, i);
        if (!cl) return 0;
        const BUF32CELL& cell = cl.cell();
        if (!buf32GetMemWithBC(mask, cell.x - left, cell.y - top, cell.width, cell.height, scratch.get(),
                               zero))
            return 0;
        forEachSpan(cell, area, excluded, [&](int32_t y, int32_t x0, int32_t x1) {
            const uint8_t* m =
                scratch.get() + std::size_t(y - cell.y) * std::size_t(cell.width) + std::size_t(x0 - cell.x);
            uint8_t* px = pixelAt(cell, x0, y, channels);
            const int32_t n = x1 - x0;
            if (channels == 3) {
                for (int32_t k = 0; k < n; ++k, px += 3) {
                    const uint32_t mv = m[k];
                    if (mv == 0) continue;
                    if (mv == 255) {
                        px[0] = full.v[0][px[0]];
                        px[1] = full.v[1][px[1]];
                        px[2] = full.v[2][px[2]];
                        continue;
                    }
                    for (int ch = 0; ch < 3; ++ch) {
                        const uint32_t p = px[ch];
                        const uint32_t q = (uint32_t(color->c[ch]) * mv + p * (255 - mv)) / 255;
                        px[ch] = uint8_t((q * share + p * keep) / 100);
                    }
                }
            } else {
                const uint32_t c = color->c[0];
                for (int32_t k = 0; k < n; ++k, ++px) {
                    const uint32_t mv = m[k];
                    if (mv == 0) continue;
                    if (mv == 255) {
                        *px = full.v[0][*px];
                        continue;
                    }
                    const uint32_t p = *px;
                    const uint32_t q = (c * mv + p * (255 - mv)) / 255;
                    *px = uint8_t((q * share + p * keep) / 100);
                }
            }
        });
    }
    return 1;
}

namespace {

// The soft-edged way of PaintSolidRect. With keepMask, the mask is handed to the caller in
// *keepMask when the blend succeeded (the caller frees it) instead of being freed here.
int paintSoftEdge(TV32HBUF buffer, const PixelColor& color, int32_t t, int32_t edge, int32_t left,
                  int32_t top, int32_t width, int32_t height, const TV32RECT* excluded, TV32HBUF* keepMask) {
    BUF32INFO info;
    BufferLock lock(buffer, BUF32_LOCK_READWRITE);
    if (!lock || !buf32GetInfo(buffer, &info)) return 0;
    OwnedBuffer mask;
    if (!BuildSoftEdgeMask(mask.slot(), width, height, edge, nullptr)) return 0;
    if (!BlendThroughMask(buffer, mask.get(), &color, t, left, top, excluded)) return 0;
    if (keepMask) *keepMask = mask.release();
    return 1;
}

} // namespace

int PaintSolidRect(TV32HBUF buffer, const PixelColor* color, int32_t t, int32_t edge, int32_t left,
                   int32_t top, int32_t width, int32_t height, const TV32RECT* excluded) {
    BUF32INFO info;
    if (!color || !buf32GetInfo(buffer, &info)) return 0;
    if (edge != 0) return paintSoftEdge(buffer, *color, t, edge, left, top, width, height, excluded, nullptr);
    if (t == 0) {
        if (left == 0 && top == 0 && width == info.width && height == info.height)
            return buf32FillOneColor(buffer, color->c) ? 1 : 0;
        OwnedBuffer block;
        if (!buf32Alloc(block.slot(), info.bitsPerPixel, width, height, BUF32_FILL_VALUE, color->c)) return 0;
        return buf32MergeBuf(block.get(), 0, 0, width, height, buffer, left, top) ? 1 : 0;
    }
    BufferLock lock(buffer, BUF32_LOCK_READWRITE);
    if (!lock) return 0;
    const int channels = info.bytesPerPixel;
    if (channels != 1 && channels != 3) return 1;
    const Area area{left, top, int64_t(left) + width, int64_t(top) + height};
    const BlendTable table(*color, t, channels);
    for (int32_t i = 0; i < info.cellCount; ++i) {
        if (!visitCell(CellRect(info, i), area, excluded)) continue;
        CellLock cl(buffer, i);
        if (!cl) return 0;
        const BUF32CELL& cell = cl.cell();
        forEachSpan(cell, area, excluded, [&](int32_t y, int32_t x0, int32_t x1) {
            uint8_t* px = pixelAt(cell, x0, y, channels);
            const int32_t n = x1 - x0;
            if (channels == 3) {
                for (int32_t k = 0; k < n; ++k, px += 3) {
                    px[0] = table.v[0][px[0]];
                    px[1] = table.v[1][px[1]];
                    px[2] = table.v[2][px[2]];
                }
            } else {
                for (int32_t k = 0; k < n; ++k, ++px)
                    *px = table.v[0][*px];
            }
        });
    }
    return 1;
}

int PaintTextureRect(TV32HBUF buffer, void* texture, int32_t left, int32_t top, int32_t width,
                     int32_t height) {
    if (!texture) return 0;
    BUF32INFO info;
    if (!buf32GetInfo(buffer, &info)) return 0;
    const bool grey = info.bytesPerPixel == 1;
    if (left == 0 && top == 0 && width == info.width && height == info.height) {
        if (!grey) {
            TV32HBUF slot = buffer;
            return tv32GenerateTexture(2, 0, texture, width, height, 0, &slot, 0, 0, nullptr) ? 1 : 0;
        }
        OwnedBuffer colour;
        if (!tv32GenerateTexture(2, 0, texture, width, height, 0, colour.slot(), 0, 0, nullptr)) return 0;
        TV32HBUF target = buffer;
        return cvt32BufType(2, 0, CVT32_TRUECOLOR, CVT32_GREY, colour.get(), &target, nullptr, 0, 0, nullptr,
                            0)
                   ? 1
                   : 0;
    }
    OwnedBuffer colour;
    if (!tv32GenerateTexture(2, 0, texture, width, height, 0, colour.slot(), 0, 0, nullptr)) return 0;
    if (!grey) return buf32MergeBuf(colour.get(), 0, 0, width, height, buffer, left, top) ? 1 : 0;
    OwnedBuffer converted;
    if (!cvt32BufType(2, 0, CVT32_TRUECOLOR, CVT32_GREY, colour.get(), converted.slot(), nullptr, 0, 0,
                      nullptr, 0))
        return 0;
    colour.reset();
    return buf32MergeBuf(converted.get(), 0, 0, width, height, buffer, left, top) ? 1 : 0;
}

int FillRectWithTexture(TV32HBUF buffer, int32_t kind, void* texture, int32_t left, int32_t top,
                        int32_t width, int32_t height, const TV32RECT*, void*) {
    if (!buf32GetInfo(buffer, nullptr)) return 0;
    if (kind != BFX_FILL_TEXTURE) return 0;
    return PaintTextureRect(buffer, texture, left, top, width, height);
}

int CopyImageAt(TV32HBUF source, TV32HBUF destination, int32_t x, int32_t y) {
    BUF32INFO s, d;
    if (!buf32GetInfo(source, &s) || !buf32GetInfo(destination, &d) || s.bytesPerPixel != d.bytesPerPixel)
        return 0;
    // A locked cell's rows follow each other without gaps, which is the packed layout that
    // buf32MergeMem takes: the cell is written from where it lies. Only a copy of a buffer onto
    // itself, where the two blocks may overlap, goes through scratch memory.
    std::unique_ptr<uint8_t[]> scratch;
    if (source == destination) {
        scratch =
            makeScratch(std::size_t(s.bytesPerPixel) * std::size_t(s.cellWidth) * std::size_t(s.cellHeight));
        if (!scratch) return 0;
    }
    BufferLock lock(source, BUF32_LOCK_READ);
    if (!lock) return 0;
    for (int32_t i = 0; i < s.cellCount; ++i) {
        CellLock cl(source, i);
        if (!cl) return 0;
        const BUF32CELL& cell = cl.cell();
        const uint8_t* pixels = cell.pixels;
        if (scratch) {
            if (!buf32GetMem(source, cell.x, cell.y, cell.width, cell.height, scratch.get())) return 0;
            pixels = scratch.get();
        }
        if (!buf32MergeMem(destination, x + cell.x, y + cell.y, pixels, cell.width, cell.height)) return 0;
    }
    return 1;
}

namespace {

// The working copy of background: a new buffer of its format and size holding its pixels
// everywhere except in image, the rectangle the source image is copied over last (the shadow
// never paints there, as image lies inside the excluded frame rectangle, and the frame is
// painted under the image at most). Those pixels are left as they come and CopyImageAt writes
// every one of them, so the finished copy is the same as that of a full duplicate.
int makeWorkingCopy(TV32HBUF background, const TV32RECT& image, TV32HBUF* slot) {
    BUF32INFO info;
    if (!buf32GetInfo(background, &info)) return 0;
    const TV32RECT all{0, 0, info.width, info.height};
    const TV32RECT hole{std::max(image.left, all.left), std::max(image.top, all.top),
                        std::min(image.right, all.right), std::min(image.bottom, all.bottom)};
    if (isEmpty(hole)) return buf32DupBuf(background, slot) ? 1 : 0;
    OwnedBuffer copy;
    if (!buf32Alloc(copy.slot(), info.bitsPerPixel, info.width, info.height, BUF32_FILL_NONE, nullptr))
        return 0;
    const TV32RECT strips[4] = {
        {all.left, all.top, all.right, hole.top},       // above
        {all.left, hole.bottom, all.right, all.bottom}, // below
        {all.left, hole.top, hole.left, hole.bottom},   // left
        {hole.right, hole.top, all.right, hole.bottom}, // right
    };
    for (const TV32RECT& r : strips)
        if (!isEmpty(r) && !buf32MergeBuf(background, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                          copy.get(), r.left, r.top))
            return 0;
    *slot = copy.release();
    return 1;
}

} // namespace

int RenderFrameAndShadow(TV32HBUF source, TV32HBUF background, const void*, int32_t,
                         const FrameShadowParams* params, TV32HBUF* resultSlot, int32_t, void*) {
    return RenderFrameAndShadowKeepingMask(source, background, params, resultSlot, nullptr);
}

int RenderFrameAndShadowKeepingMask(TV32HBUF source, TV32HBUF background, const FrameShadowParams* params,
                                    TV32HBUF* resultSlot, TV32HBUF* shadowMask) {
    BUF32INFO info;
    if (!params || !resultSlot || !buf32GetInfo(source, &info)) return 0;
    // The blending divides by 100 with the transparency as a share: nothing else is a share.
    if (params->transparency < 0 || params->transparency > 100) return 0;
    const bool grey = info.bytesPerPixel == 1;
    const PixelColor frameColor = MakePixelColor(params->frameColor, grey);
    const PixelColor shadowColor = MakePixelColor(params->shadowColor, grey);
    FrameLayout l;
    if (!layoutChecked(info.width, info.height, *params, l)) return 0;
    if (params->placement.left != 0 || params->placement.top != 0) {
        const int64_t dx = int64_t(params->placement.left) - l.image.left,
                      dy = int64_t(params->placement.top) - l.image.top;
        auto place = [dx, dy](TV32RECT& r) {
            return narrow(moved({r.left, r.top, r.right, r.bottom}, dx, dy), r);
        };
        if (!place(l.image) || !place(l.frame) || !place(l.shadow)) return 0;
    }
    OwnedBuffer copy;
    if (!makeWorkingCopy(background, l.image, copy.slot())) return 0;

    OwnedBuffer mask;
    const bool shadow = params->shadowOffsetX > 0 || params->shadowOffsetY > 0 || params->blendWidth != 0;
    if (shadow) {
        const int32_t sw = l.shadow.right - l.shadow.left, sh = l.shadow.bottom - l.shadow.top;
        const int ok = params->blendWidth != 0
                           ? paintSoftEdge(copy.get(), shadowColor, params->transparency, params->blendWidth,
                                           l.shadow.left, l.shadow.top, sw, sh, &l.frame,
                                           shadowMask ? mask.slot() : nullptr)
                           : PaintSolidRect(copy.get(), &shadowColor, params->transparency, 0, l.shadow.left,
                                            l.shadow.top, sw, sh, &l.frame);
        if (!ok) return 0;
    }
    if (params->frameWidth > 0) {
        const int32_t fw = l.frame.right - l.frame.left, fh = l.frame.bottom - l.frame.top;
        if (params->frameFill == BFX_FILL_COLOR) {
            if (!paintFrameRing(copy.get(), frameColor, l.frame, l.image)) return 0;
        } else if (params->frameFill == BFX_FILL_TEXTURE) {
            if (!PaintTextureRect(copy.get(), params->textureData, l.frame.left, l.frame.top, fw, fh))
                return 0;
        }
    }
    if (!CopyImageAt(source, copy.get(), l.image.left, l.image.top)) return 0;

    if (*resultSlot == 0) {
        *resultSlot = copy.release();
    } else if (!buf32GetBuf(copy.get(), 0, 0, l.canvas.right - l.canvas.left, l.canvas.bottom - l.canvas.top,
                            resultSlot)) {
        return 0;
    }
    if (shadowMask) *shadowMask = mask.release();
    return 1;
}

} // namespace borderfx
