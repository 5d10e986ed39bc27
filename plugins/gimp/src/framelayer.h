// The frame-and-shadow adapter's arithmetic, free of GIMP: the procedure's parameters and the
// settings list that sets them in the filter's dialog, where the new layer goes and how far the
// canvas grows, and the layer's pixels made from what the filter delivers.
#pragma once
#include "borderfx/borderfx.h"

#include <cstdint>
#include <string>
#include <vector>

namespace gimpadapter {

// The parameters of the procedure: everything the filter's dialog lets the user set. Colours are
// 0x00BBGGRR. The defaults are the filter's own.
struct FrameShadowSettings {
    int32_t frame = 1; // 0 or 1
    int32_t frameWidth = 10;
    uint32_t frameColor = 0x00FF0000;
    int32_t frameFill = 0; // 0 solid colour, 1 texture
    int32_t textureIndex = 1;
    int32_t shadow = 1; // 0 or 1
    int32_t shadowDirection = BFX_SHADOW_DOWN_LEFT;
    int32_t shadowOffsetX = 10;
    int32_t shadowOffsetY = 10;
    uint32_t shadowColor = 0;
    int32_t transparency = 20;
    int32_t blending = 1; // 0 or 1
    int32_t blendWidth = 10;

    bool operator==(const FrameShadowSettings&) const = default;
};

// Empty when every value lies in its range, else a sentence naming the first one that does not.
// The limits that depend on the selection (frame width, shadow offsets) are the dialog's.
std::string CheckSettings(const FrameShadowSettings& s);

// The settings as the filter's dialog takes them ("name=value,..."): the values that differ from
// the dialog's own starting values, in the order a user sets them (the offset limits follow the
// frame width and the direction, so those come first), skipping the values of a part that is
// switched off.
std::string SettingsList(const FrameShadowSettings& s);

// What the dialog left in the record after OK, as settings (for repeating the last run).
FrameShadowSettings SettingsFromRecord(const PlugInRecord& record);

// Right and bottom exclusive.
struct Rect {
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    int64_t width() const { return right - left; }
    int64_t height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// Where the new layer goes: `output` is the filter's output area in image coordinates. When it
// reaches past the canvas (0, 0, width, height), the canvas grows to hold it: `canvas` is the new
// size, `shift` how far everything already in the image moves (gimp_image_resize's offsets), and
// `layer` the new layer's place on the grown canvas.
struct Placement {
    int64_t canvasWidth = 0, canvasHeight = 0;
    int64_t shiftX = 0, shiftY = 0;
    Rect layer;
    bool grows = false;
};
Placement PlaceLayer(const Rect& output, int64_t canvasWidth, int64_t canvasHeight);

// The new layer's pixels: rows of RGBA (true colour) or grey+alpha, top to bottom, no gaps.
struct LayerPixels {
    int32_t width = 0, height = 0, channels = 0;
    std::vector<uint8_t> bytes;
};

// Builds the layer of the output area from the filter's result image and opacity plane. The
// record holds the parameters the dialog ended with, the selection and the picture's size; the
// output area is `output` (in the picture's coordinates), the plane covers its part inside the
// picture. Pixels of the output area beyond the picture count as fully transparent pixels of the
// picture: the frame covers them, the shadow falls on them as it falls on transparent pixels, and
// elsewhere they stay transparent. Returns false, with `error` set, when memory runs out or a
// buffer does not fit.
bool AssembleLayer(const PlugInRecord& record, TV32HBUF resultImage, TV32HBUF resultAlpha, const Rect& output,
                   LayerPixels* layer, std::string* error);

} // namespace gimpadapter
