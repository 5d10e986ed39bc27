// The image-map adapter's side of libhotmap, free of GIMP: the selection mask it hands over and
// the places where the library's exports are called (one area, or the whole selection).
#pragma once
#include "hotmap/hotmap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gimpadapter {

// The selection's mask inside its bounding box: one byte a pixel, rows without gaps; left and
// top place the box in the image.
struct SelectionMask {
    int32_t left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> bytes;
};

// How one value of a selection mask is stored: the component type of the image's precision
// (masks hold linear coverage, 0 unselected to the type's full value).
enum class MaskComponent { U8, U16, U32, Half, Float, Double };
// The component of a GIMP precision code (100 8-bit integer ... 700 64-bit float, linear or gamma);
// false for a code it does not know.
bool MaskComponentOf(int precision, MaskComponent* component);
int ComponentBytes(MaskComponent c);
// `count` values of `component` to coverage bytes 0 to 255, rounded to the nearest; out-of-range
// and not-a-number values are clamped (NaN as 0).
void MaskToBytes(const uint8_t* values, std::size_t count, MaskComponent component, uint8_t* bytes);

// True when some pixel is selected by more than half (above 128), the pixels the library
// describes; a selection without one gives no map area.
bool HasSelectedPixel(const SelectionMask& mask);

// Format and URL of the last run, kept by GIMP between runs.
struct ImageMapSettings {
    int32_t format = HM_FORMAT_INLINE;
    char url[HM_URL_SIZE] = {};
};

// One request: the settings to start from, whether the user sees the dialog, its owner window
// and title.
struct MapRequest {
    ImageMapSettings settings;
    bool dialog = false;
    uint32_t parent = 0;
    std::string title;
};

// What came back: 1 when the entry was delivered to the clipboard, else 0 (the dialog was
// cancelled, or the library failed); the settings the user ended with; the entry's text as the
// clipboard holds it.
struct MapEntry {
    int result = 0;
    ImageMapSettings settings;
    std::string text;
};

// Runs the library on the mask. Needs the Qt application of the plug-in libraries (it is made
// when missing); the text is read back from the clipboard of this process.
MapEntry MakeMapEntry(const SelectionMask& mask, const MapRequest& request);

// A map of the whole selection: every region, holes as areas without a link (inline format).
// Kept by GIMP between runs like ImageMapSettings. Caps of 0 stand for the library's defaults.
struct WholeMapSettings {
    int32_t format = HM_FORMAT_INLINE;
    char url[HM_URL_SIZE] = {};
    int32_t maxAreas = 0;  // areas written, those of holes included
    int32_t maxPoints = 0; // coordinate pairs written over all areas
};

// The caps the library works with: the default for 0, else the value.
int32_t EffectiveAreas(int32_t maxAreas);
int32_t EffectivePoints(int32_t maxPoints);

// Why the settings cannot be used (a format other than 0 to 2, a negative cap or one above the
// library's largest, a URL without its terminating zero); empty when they can.
std::string CheckWholeMapSettings(const WholeMapSettings& settings);

// What came back: HM_MAP_COMPLETE, HM_MAP_CAPPED or HM_MAP_FAILED, what the library found, and
// the map's text as the clipboard holds it (one entry a line).
struct WholeMap {
    int result = HM_MAP_FAILED;
    ImageMapSummary summary{};
    std::string text;
};

// Runs the whole-selection export on the mask. Needs the Qt application as MakeMapEntry does.
// Settings that CheckWholeMapSettings refuses are never handed over (status HM_STATUS_BAD_ARGUMENT).
WholeMap MakeWholeMap(const SelectionMask& mask, const WholeMapSettings& settings);

// What to tell the user when the caps cut the map: what the selection holds, what the map kept,
// and the caps it was cut to.
std::string CappedMessage(const ImageMapSummary& summary, const WholeMapSettings& settings);
// Why no map was delivered, from the summary's status.
std::string WholeMapFailure(const ImageMapSummary& summary);

} // namespace gimpadapter
