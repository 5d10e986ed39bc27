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

// The part of a layer of width x height that the filter can read or draw on with these settings
// for this selection: the selection grown by the frame, the soft edge and the larger shadow
// offset (and a pixel more), within the layer. Handing the filter only this part gives the same
// result and the same limits in the dialog (each limit is the smaller of the layer's and the
// part's, and the part's is never below a value the settings use), but spares reading and
// scaling the rest of a large layer.
Rect ReachOf(const Rect& selection, const FrameShadowSettings& s, int64_t width, int64_t height);

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

// The new layer's pixels, made from the filter's result image and opacity plane, a strip of rows
// at a time (the plug-in hands each strip to GIMP; a whole copy of a large layer would only cost
// memory). The record holds the parameters the dialog ended with, the selection and the
// picture's size; the output area is `output` (in the picture's coordinates), the plane covers
// its part inside the picture. Pixels of the output area beyond the picture count as fully
// transparent pixels of the picture: the frame covers them, the shadow falls on them as it falls
// on transparent pixels, and elsewhere they stay transparent.
class LayerAssembler {
  public:
    LayerAssembler() = default;
    ~LayerAssembler();
    LayerAssembler(const LayerAssembler&) = delete;
    LayerAssembler& operator=(const LayerAssembler&) = delete;
    // False, with `error` set, when the buffers do not fit the output area or memory runs out.
    bool start(const PlugInRecord& record, TV32HBUF resultImage, TV32HBUF resultAlpha, const Rect& output,
               std::string* error);
    int32_t width() const { return int32_t(o_.width()); }
    int32_t height() const { return int32_t(o_.height()); }
    int channels() const { return channels_ + 1; } // RGBA or grey+alpha
    // Rows [y, y + count) into `out`: width() x channels() bytes a row, rows without gaps.
    bool rows(int32_t y, int32_t count, uint8_t* out);

  private:
    void beyond(int64_t iy, int64_t x0, int64_t x1, uint8_t* out) const;
    TV32HBUF image_ = 0, plane_ = 0, mask_ = 0;
    bool planeLocked_ = false, maskLocked_ = false;
    const uint8_t* alpha_ = nullptr; // the plane's rows, back to back
    const uint8_t* m_ = nullptr;     // the shadow's soft edge over D, or null
    Rect o_, c_, f_, d_;             // output area, its part in the picture, frame, shadow
    int channels_ = 3;
    bool frameOn_ = false, shadowOn_ = false;
    uint32_t g0_ = 0;
    uint8_t shade_[3] = {};
    std::vector<uint8_t> row_;
};

// The whole layer at once (for tests and small layers).
struct LayerPixels {
    int32_t width = 0, height = 0, channels = 0;
    std::vector<uint8_t> bytes;
};
bool AssembleLayer(const PlugInRecord& record, TV32HBUF resultImage, TV32HBUF resultAlpha, const Rect& output,
                   LayerPixels* layer, std::string* error);

} // namespace gimpadapter
