// The preview pane of the parameter dialog: a scaled copy of the image on which frame and shadow
// are drawn with scaled parameters, the colour swatches and the texture sample. The arithmetic is
// plain functions; the painting takes an active QPainter as device context.
#pragma once
#include "borderfx/borderfx.h"

#include "imagelib/tv32base.h"

#include <cstdint>

class QPainter;

namespace borderfx {

// a * b / c exactly, rounded to the nearest integer with halves away from zero; -1 when c is 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

inline int32_t RectWidth(const TV32RECT& r) {
    return r.right - r.left;
}
inline int32_t RectHeight(const TV32RECT& r) {
    return r.bottom - r.top;
}

// A w x h rectangle centred in area (integer halves).
TV32RECT CenterRect(const TV32RECT& area, int32_t w, int32_t h);
// The largest rectangle of the proportions w : h inside area, centred; a side of 0 becomes 2.
TV32RECT FitRect(const TV32RECT& area, int32_t w, int32_t h);
// a / s + 0.5 truncated; at least 1 for a nonzero a.
int32_t ScaleToPreview(int32_t a, float s);
// The selection as the dialog uses it: left becomes 1 when left and top are both 0.
TV32RECT AdjustedSelection(const TV32RECT& selection);

// Preview state of one open dialog. Frees what it owns when destroyed.
struct PreviewState {
    TV32RECT frame{}; // P: the pane
    TV32RECT inner{}; // A: P less a twentieth on each side
    TV32RECT view{};  // V: where the preview image is drawn
    int32_t imageWidth = 0, imageHeight = 0;
    TV32HBUF image = 0; // the preview image (sourceImage itself when ownsImage is false)
    bool ownsImage = false;
    float sx = 1.0f, sy = 1.0f;
    TV32RECT selection{};        // adjusted selection, image coordinates
    TV32RECT previewSelection{}; // Q
    TV32HBUF selectionImage = 0;
    FrameShadowParams working{};
    TV32HBUF result = 0;

    PreviewState() = default;
    PreviewState(const PreviewState&) = delete;
    PreviewState& operator=(const PreviewState&) = delete;
    ~PreviewState();
    void release();
};

// The inner area of a pane: shrunk by width / 20 and height / 20 on each side.
TV32RECT InnerArea(const TV32RECT& pane);

// Outcome of SetupPreview.
enum class SetupResult { Ok, ImageFailed, SelectionFailed };
// Builds the preview state for the pane P (dialog client coordinates) and the record. When the
// scaled image cannot be made, the library's message has been shown. Without scalePicture, a
// picture larger than the pane is not scaled down: a blank one of the scaled size stands in (for a
// dialog that is never shown, whose preview then fails or succeeds exactly as the shown one's
// would, without reading the whole picture).
SetupResult SetupPreview(PreviewState& state, const TV32RECT& pane, const PlugInRecord& record,
                         bool scalePicture = true);

// The working block from the record's values: frame width, sides and blend width scaled by the
// smaller factor, X by sx, Y by sy, placement's left and top = Q's (cut to 16 bits).
void ScalePreviewParams(PreviewState& state, const FrameShadowParams& params);

// Switches of the dialog that the preview follows.
struct PreviewSwitches {
    bool frameOn = true, shadowOn = true, blendOn = true;
};
// A frame fill the renderer leaves unpainted.
constexpr int32_t kFillNone = -1;
// Renders a new preview result (converted to true colour for a grey image). Returns 1, or 0 on
// a rendering or conversion failure (nothing shown; the dialog reports).
int RenderPreview(PreviewState& state, const PlugInRecord& record, const PreviewSwitches& switches);

// A scaled copy of source, width x height of r, into *slot (a buffer held there is freed first).
// Above 10 000 pixels the wait cursor shows during the resampling. On failure the common
// library's message 1001 is shown. Returns nonzero on success.
int MakePreviewImage(TV32HBUF source, TV32HBUF* slot, const TV32RECT& r, const void* palette,
                     int32_t quality);

// Painting; dc is an active QPainter.
void DrawSunkenBorder(QPainter* dc, const TV32RECT& r);
void ShowBuffer(QPainter* dc, TV32HBUF buffer, const void* palette, const TV32RECT& r);

// A clickable colour sample painted in place of a removed placeholder control.
struct ColorSwatch {
    TV32HWND owner = 0;
    TV32RECT rect{};
    uint32_t color = 0;
};
void PaintSwatchOn(QPainter* dc, const ColorSwatch& swatch);
// The texture sample: the texture over the swatch (nothing inside the border when it cannot be
// generated).
void DrawTextureSwatch(const ColorSwatch& swatch, QPainter* dc, void* textureData);

} // namespace borderfx
