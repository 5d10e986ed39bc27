// Frame and shadow rendering on the image library's buffers: the layout of the output area, the
// order of painting (shadow, frame, image) and the blending arithmetic. No widgets here: the
// entry, the preview and the texture sample all call these functions.
//
// Every function returns 1 on success and 0 on failure and shows nothing; the callers report.
// Arithmetic is integer only, in the order written in each function.
#pragma once
#include "borderfx/borderfx.h"

#include "imagelib/tv32base.h"

#include <cstdint>

namespace borderfx {

// A colour as painted: red, green, blue; for a one-byte-per-pixel target byte 0 holds the grey
// value (299 red + 587 green + 114 blue) / 1000 and only byte 0 is used.
struct PixelColor {
    uint8_t c[3];
};
PixelColor MakePixelColor(uint32_t color, bool grey);
// The grey value of a 0x00BBGGRR colour.
uint8_t GreyOf(uint32_t color);

// Four rectangles in canvas coordinates (right and bottom exclusive).
struct FrameLayout {
    TV32RECT image;  // where the source goes
    TV32RECT frame;  // image grown by frameWidth
    TV32RECT shadow; // frame grown by blendWidth, moved by the shadow offset
    TV32RECT canvas; // smallest rectangle holding frame and shadow; starts at (0, 0)
};

// How far the shadow is moved from the frame: X and Y (shadowOffsetX, shadowOffsetY) to the left
// or right and up or down as the direction says (BFX_SHADOW_*; any other value moves it down
// and to the right). In 64 bits: any offset can be negated.
struct ShadowShift {
    int64_t dx, dy;
};
ShadowShift ShadowOffset(const FrameShadowParams& params);

// The layout for a source of width x height; all rectangles empty when the parameters put a
// coordinate or the canvas size beyond 32 bits (LayoutFits is then false). The rendering
// refuses such parameters.
FrameLayout LayoutForSize(int32_t width, int32_t height, const FrameShadowParams& params);
bool LayoutFits(int32_t width, int32_t height, const FrameShadowParams& params);
// The layout for the size of source (buf32GetWHU); 0 when it does not fit in 32 bits.
int ComputeFrameLayout(TV32HBUF source, const FrameShadowParams* params, FrameLayout* layout);
int GetImageRect(TV32HBUF source, const FrameShadowParams* params, TV32RECT* rect);
// Always (0, 0, canvas width, canvas height).
int GetCanvasRect(TV32HBUF source, const FrameShadowParams* params, TV32RECT* rect);

// Target type of RenderFrameAndShadow (the painted format follows the buffers).
constexpr int32_t kTargetTrueColor = 2;

// Paints shadow, frame and source on a copy of background (canvas-sized, same channel count as
// source). A null handle in *resultSlot receives the copy itself (it then belongs to the
// caller); otherwise the canvas block is copied into the buffer held there. palette, targetType,
// sizeLimit and progress are carried for the callers' sake and change nothing. Parameters whose
// layout does not fit in 32 bits, or a transparency outside 0 .. 100, fail. On failure
// *resultSlot is untouched and nothing is left allocated.
int RenderFrameAndShadow(TV32HBUF source, TV32HBUF background, const void* palette, int32_t targetType,
                         const FrameShadowParams* params, TV32HBUF* resultSlot, int32_t sizeLimit,
                         void* progress);

// RenderFrameAndShadow as the plug-in entry runs it: when shadowMask is not null it receives
// the soft-edge mask the shadow was painted through (0 when the shadow had no soft edge), for
// the opacity plane, which needs the same mask; the caller frees it. On failure *shadowMask is
// untouched.
int RenderFrameAndShadowKeepingMask(TV32HBUF source, TV32HBUF background, const FrameShadowParams* params,
                                    TV32HBUF* resultSlot, TV32HBUF* shadowMask);

// The soft-edge mask of a width x height rectangle with edge pixels of fall-off: an 8-bit buffer
// in *slot, 255 over the inner rectangle, falling toward the border. The edge is clamped so the
// inner rectangle keeps at least one pixel (or to 0 for very small rectangles). An edge <= 0
// stores 0 and succeeds. The caller frees the mask.
int BuildSoftEdgeMask(TV32HBUF* slot, int32_t width, int32_t height, int32_t edge, void* progress);
// The edge BuildSoftEdgeMask actually uses.
int32_t SoftEdgeUsed(int32_t width, int32_t height, int32_t edge);

// Paints color over [left, left + width) x [top, top + height) of buffer:
//  edge != 0: through a soft-edge mask of that size (BlendThroughMask);
//  edge == 0, transparency == 0: opaque (one whole-buffer fill or one block copy);
//  edge == 0, transparency != 0: new = (p T + c (100 - T)) / 100.
// The blending ways never change a pixel inside excluded (may be null) and skip the cells that
// lie wholly inside it; the opaque way paints the whole rectangle.
int PaintSolidRect(TV32HBUF buffer, const PixelColor* color, int32_t transparency, int32_t edge, int32_t left,
                   int32_t top, int32_t width, int32_t height, const TV32RECT* excluded);
// Blends color into buffer through mask placed at (left, top):
//   q = (c m + p (255 - m)) / 255;  new = (q (100 - T) + p T) / 100.
// Pixels under a mask value 0, outside the mask or inside excluded keep their value exactly.
int BlendThroughMask(TV32HBUF buffer, TV32HBUF mask, const PixelColor* color, int32_t transparency,
                     int32_t left, int32_t top, const TV32RECT* excluded);
// The picture of texture over the rectangle (converted to grey for an 8-bit buffer).
int PaintTextureRect(TV32HBUF buffer, void* texture, int32_t left, int32_t top, int32_t width,
                     int32_t height);
// kind BFX_FILL_TEXTURE: PaintTextureRect; other kinds paint nothing and fail.
int FillRectWithTexture(TV32HBUF buffer, int32_t kind, void* texture, int32_t left, int32_t top,
                        int32_t width, int32_t height, const TV32RECT* excluded, void* progress);
// Copies all of source into destination at (x, y), cell by cell; same channel count required.
int CopyImageAt(TV32HBUF source, TV32HBUF destination, int32_t x, int32_t y);

// Rectangle of cell index of a described buffer, right and bottom INCLUSIVE (its last pixel).
TV32RECT CellRect(const BUF32INFO& info, int32_t index);

} // namespace borderfx
