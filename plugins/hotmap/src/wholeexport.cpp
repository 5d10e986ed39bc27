// The export that maps a whole selection.
#include "wholemap.h"

#include "imagelib/tv32qt.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <new>

namespace {

int32_t clamped(std::size_t v) {
    return int32_t(std::min<std::size_t>(v, INT32_MAX));
}

int mapToClipboard(const uint8_t* mask, int32_t width, int32_t height, int32_t rowBytes,
                   const int32_t* offset, const char* url, int32_t format, int32_t maxAreas,
                   int32_t maxPoints, ImageMapSummary& s) {
    // Rows must not overlap: a row distance of at least the width, either way.
    if (width <= 0 || height <= 0 || (mask && (rowBytes < width && rowBytes > -int64_t(width)))) {
        s.status = HM_STATUS_BAD_ARGUMENT;
        return HM_MAP_FAILED;
    }
    const hotmap::Point origin = offset ? hotmap::Point{offset[0], offset[1]} : hotmap::Point{};
    hotmap::MapCaps caps;
    if (maxAreas > 0) caps.areas = std::size_t(maxAreas);
    if (maxPoints > 0) caps.points = std::size_t(maxPoints);

    // The clipboard, the cursor: a host need not be a Qt program.
    const bool gui = tv32::ensureApplication() != nullptr;
    hotmap::WholeMap map;
    {
        hotmap::WaitCursor wait;
        const hotmap::SelectionBits bits(mask, width, height, rowBytes);
        map = hotmap::mapWholeSelection(bits, origin, format, url, caps);
    }
    s.status = map.status;
    s.regions = clamped(map.regions);
    s.holes = clamped(map.holes);
    if (map.status != HM_STATUS_OK) return HM_MAP_FAILED;
    s.bounds[0] = map.box.left;
    s.bounds[1] = map.box.top;
    s.bounds[2] = map.box.right;
    s.bounds[3] = map.box.bottom;
    if (!gui || !hotmap::deliverText(map.text)) {
        s.status = HM_STATUS_NO_CLIPBOARD;
        return HM_MAP_FAILED;
    }
    s.areas = clamped(map.areas.size());
    s.points = clamped(map.points);
    s.capped = map.capped ? 1 : 0;
    s.textBytes = clamped(map.text.size());
    return map.capped ? HM_MAP_CAPPED : HM_MAP_COMPLETE;
}

} // namespace

extern "C" {

TV32_API int TV32_CALL hmGenImageMapFromAPSBuf(TV32HWND parent, const uint8_t* mask, int32_t width,
                                               int32_t height, int32_t rowBytes, const int32_t* offset,
                                               const char* url, int32_t format, int32_t maxAreas,
                                               int32_t maxPoints, ImageMapSummary* summary) {
    (void)parent; // the clipboard has no owner window here
    ImageMapSummary s{};
    int result = HM_MAP_FAILED;
    // Nothing thrown inside may reach the host.
    try {
        result = mapToClipboard(mask, width, height, rowBytes, offset, url, format, maxAreas, maxPoints, s);
    } catch (const std::bad_alloc&) {
        s = ImageMapSummary{};
        s.status = HM_STATUS_NO_MEMORY;
        result = HM_MAP_FAILED;
    } catch (...) {
        s = ImageMapSummary{};
        s.status = HM_STATUS_FAILED;
        result = HM_MAP_FAILED;
    }
    if (summary) *summary = s;
    return result;
}

} // extern "C"
