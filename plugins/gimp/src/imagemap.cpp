// The image-map adapter's calls of libhotmap.
#include "imagemap.h"

#include "imagelib/tv32qt.h"

#include <QApplication>
#include <QClipboard>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace gimpadapter {

namespace {

uint8_t coverage(double v) {
    if (!(v > 0)) return 0; // NaN too
    if (v >= 1) return 255;
    return uint8_t(v * 255 + 0.5);
}

// IEEE half precision to double.
double halfValue(uint16_t h) {
    const int sign = h >> 15, exponent = (h >> 10) & 0x1F, mantissa = h & 0x3FF;
    double v;
    if (exponent == 0)
        v = std::ldexp(mantissa, -24);
    else if (exponent == 31)
        v = mantissa ? std::nan("") : INFINITY;
    else
        v = std::ldexp(mantissa | 0x400, exponent - 25);
    return sign ? -v : v;
}

} // namespace

bool MaskComponentOf(int precision, MaskComponent* component) {
    switch (precision / 100) {
    case 1:
        *component = MaskComponent::U8;
        return true;
    case 2:
        *component = MaskComponent::U16;
        return true;
    case 3:
        *component = MaskComponent::U32;
        return true;
    case 5:
        *component = MaskComponent::Half;
        return true;
    case 6:
        *component = MaskComponent::Float;
        return true;
    case 7:
        *component = MaskComponent::Double;
        return true;
    default:
        return false;
    }
}

int ComponentBytes(MaskComponent c) {
    switch (c) {
    case MaskComponent::U8:
        return 1;
    case MaskComponent::U16:
    case MaskComponent::Half:
        return 2;
    case MaskComponent::U32:
    case MaskComponent::Float:
        return 4;
    case MaskComponent::Double:
        return 8;
    }
    return 0;
}

void MaskToBytes(const uint8_t* values, std::size_t count, MaskComponent component, uint8_t* bytes) {
    const std::size_t size = std::size_t(ComponentBytes(component));
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* v = values + i * size;
        switch (component) {
        case MaskComponent::U8:
            bytes[i] = *v;
            break;
        case MaskComponent::U16: {
            uint16_t u;
            std::memcpy(&u, v, 2);
            bytes[i] = uint8_t((uint32_t(u) * 255 + 32767) / 65535);
            break;
        }
        case MaskComponent::U32: {
            uint32_t u;
            std::memcpy(&u, v, 4);
            bytes[i] = uint8_t((uint64_t(u) * 255 + 0x7FFFFFFFu) / 0xFFFFFFFFu);
            break;
        }
        case MaskComponent::Half: {
            uint16_t u;
            std::memcpy(&u, v, 2);
            bytes[i] = coverage(halfValue(u));
            break;
        }
        case MaskComponent::Float: {
            float f;
            std::memcpy(&f, v, 4);
            bytes[i] = coverage(f);
            break;
        }
        case MaskComponent::Double: {
            double d;
            std::memcpy(&d, v, 8);
            bytes[i] = coverage(d);
            break;
        }
        }
    }
}

bool HasSelectedPixel(const SelectionMask& mask) {
    return std::any_of(mask.bytes.begin(), mask.bytes.end(), [](uint8_t v) { return v > 128; });
}

MapEntry MakeMapEntry(const SelectionMask& mask, const MapRequest& request) {
    MapEntry entry;
    entry.settings = request.settings;
    entry.settings.url[HM_URL_SIZE - 1] = 0;
    if (mask.width <= 0 || mask.height <= 0 ||
        mask.bytes.size() != std::size_t(mask.width) * std::size_t(mask.height) || !tv32::ensureApplication())
        return entry;
    const int32_t offset[2] = {mask.left, mask.top};
    int32_t format = entry.settings.format;
    entry.result = hmGenImageTagFromAPSBuf(request.parent, mask.bytes.data(), mask.width, mask.height,
                                           mask.width, offset, request.title.c_str(), entry.settings.url,
                                           &format, request.dialog ? 0 : 1);
    if (entry.result != 1) {
        entry.result = 0;
        entry.settings = request.settings;
        return entry;
    }
    entry.settings.format = format;
    entry.text = QGuiApplication::clipboard()->text().toStdString();
    return entry;
}

int32_t EffectiveAreas(int32_t maxAreas) {
    return maxAreas > 0 ? std::min(maxAreas, int32_t(HM_MAP_MAX_AREAS)) : HM_MAP_DEFAULT_AREAS;
}

int32_t EffectivePoints(int32_t maxPoints) {
    return maxPoints > 0 ? std::min(maxPoints, int32_t(HM_MAP_MAX_POINTS)) : HM_MAP_DEFAULT_POINTS;
}

std::string CheckWholeMapSettings(const WholeMapSettings& s) {
    if (s.format < HM_FORMAT_INLINE || s.format > HM_FORMAT_CERN)
        return "format must be 0 (inline AREA elements), 1 (NCSA) or 2 (CERN).";
    if (s.maxAreas < 0 || s.maxAreas > HM_MAP_MAX_AREAS)
        return "max-areas must lie between 0 (the default, " + std::to_string(HM_MAP_DEFAULT_AREAS) +
               ") and " + std::to_string(HM_MAP_MAX_AREAS) + ".";
    if (s.maxPoints < 0 || s.maxPoints > HM_MAP_MAX_POINTS)
        return "max-points must lie between 0 (the default, " + std::to_string(HM_MAP_DEFAULT_POINTS) +
               ") and " + std::to_string(HM_MAP_MAX_POINTS) + ".";
    if (!std::memchr(s.url, 0, sizeof s.url))
        return "the URL is longer than " + std::to_string(HM_URL_SIZE - 1) + " bytes.";
    return {};
}

WholeMap MakeWholeMap(const SelectionMask& mask, const WholeMapSettings& settings) {
    WholeMap map;
    if (mask.width <= 0 || mask.height <= 0 ||
        mask.bytes.size() != std::size_t(mask.width) * std::size_t(mask.height) ||
        !CheckWholeMapSettings(settings).empty()) {
        map.summary.status = HM_STATUS_BAD_ARGUMENT;
        return map;
    }
    if (!tv32::ensureApplication()) {
        map.summary.status = HM_STATUS_NO_CLIPBOARD;
        return map;
    }
    const int32_t offset[2] = {mask.left, mask.top};
    map.result = hmGenImageMapFromAPSBuf(0, mask.bytes.data(), mask.width, mask.height, mask.width, offset,
                                         settings.url, settings.format, settings.maxAreas, settings.maxPoints,
                                         &map.summary);
    if (map.result != HM_MAP_COMPLETE && map.result != HM_MAP_CAPPED) {
        map.result = HM_MAP_FAILED;
        return map;
    }
    map.text = QGuiApplication::clipboard()->text().toStdString();
    return map;
}

std::string CappedMessage(const ImageMapSummary& s, const WholeMapSettings& settings) {
    auto count = [](int32_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return "The image map was cut to fit its caps of " +
           count(EffectiveAreas(settings.maxAreas), "area", "areas") + " and " +
           count(EffectivePoints(settings.maxPoints), "point", "points") + ": the selection has " +
           count(s.regions, "region", "regions") + " and " + count(s.holes, "hole", "holes") +
           ", the map holds " + count(s.areas, "area", "areas") + " with " +
           count(s.points, "point", "points") +
           ". Smaller regions were left out, each with its holes, or outlines simplified at the cost of "
           "some of their pixels; higher caps keep more.";
}

std::string WholeMapFailure(const ImageMapSummary& s) {
    switch (s.status) {
    case HM_STATUS_NOTHING_SELECTED:
        return "The selection has no pixel selected by more than half; there is nothing to map.";
    case HM_STATUS_BAD_ARGUMENT:
        return "The image map library refused the selection or the settings.";
    case HM_STATUS_OUT_OF_RANGE:
        return "The selection lies too far out for image-map coordinates.";
    case HM_STATUS_NO_MEMORY:
        return "Not enough memory to map the whole selection.";
    case HM_STATUS_NO_CLIPBOARD:
        return "The clipboard did not take the image map.";
    case HM_STATUS_CAPS_TOO_SMALL:
        return "Not even one region with its holes fits the caps: raise the largest number of areas or "
               "of points.";
    default:
        return "The image map of the whole selection could not be made.";
    }
}

} // namespace gimpadapter
