// The export that maps a whole selection: arguments checked, every failure with its reason in the
// error information and in the summary, no exception out of the C function.
#include "fence.h"
#include "wholemap.h"

#include "imagelib/tv32qt.h"

#include <algorithm>
#include <climits>

namespace {

int32_t clamped(std::size_t v) {
    return int32_t(std::min<std::size_t>(v, INT32_MAX));
}

// The error information for a status of the summary.
int32_t reasonOf(int32_t status) {
    switch (status) {
    case HM_STATUS_NOTHING_SELECTED:
        return HM_ERR_NOTHING_SELECTED;
    case HM_STATUS_BAD_ARGUMENT:
    case HM_STATUS_OUT_OF_RANGE:
        return HM_ERR_BAD_ARGUMENT;
    case HM_STATUS_NO_MEMORY:
        return HM_ERR_NO_MEMORY;
    case HM_STATUS_NO_CLIPBOARD:
        return HM_ERR_CLIPBOARD;
    case HM_STATUS_CAPS_TOO_SMALL:
        return HM_ERR_CAPS_TOO_SMALL;
    default:
        return HM_ERR_FAILED;
    }
}

int failWith(ImageMapSummary& s, int32_t status) {
    s.status = status;
    return hotmap::fail(reasonOf(status));
}

int mapToClipboard(const uint8_t* mask, int32_t width, int32_t height, int32_t rowBytes,
                   const int32_t* offset, const char* url, int32_t format, int32_t maxAreas,
                   int32_t maxPoints, ImageMapSummary& s) {
    // Rows must not overlap: a row distance of at least the width, either way.
    if (width <= 0 || height <= 0 || (mask && (rowBytes < width && rowBytes > -int64_t(width))) ||
        format < HM_FORMAT_INLINE || format > HM_FORMAT_CERN)
        return failWith(s, HM_STATUS_BAD_ARGUMENT);
    const hotmap::Point origin = offset ? hotmap::Point{offset[0], offset[1]} : hotmap::Point{};
    if (int64_t(origin.x) + width > INT32_MAX || int64_t(origin.y) + height > INT32_MAX)
        return failWith(s, HM_STATUS_OUT_OF_RANGE);
    hotmap::MapCaps caps;
    if (maxAreas > 0) caps.areas = std::size_t(maxAreas);
    if (maxPoints > 0) caps.points = std::size_t(maxPoints);

    // The clipboard, the cursor: a host need not be a Qt program.
    if (!tv32::ensureApplication()) {
        s.status = HM_STATUS_NO_CLIPBOARD;
        return hotmap::fail(HM_ERR_NO_DISPLAY);
    }
    hotmap::WholeMap map;
    {
        hotmap::WaitCursor wait;
        if (mask) {
            const hotmap::SelectionBits bits(mask, width, height, rowBytes);
            map = hotmap::mapWholeSelection(bits, origin, format, url, caps);
        } else { // every pixel selected: no mask to read, no trace
            map = hotmap::mapWholeRectangle(width, height, origin, format, url, caps);
        }
    }
    s.regions = clamped(map.regions);
    s.holes = clamped(map.holes);
    if (map.status != HM_STATUS_OK) return failWith(s, map.status);
    s.bounds[0] = map.box.left;
    s.bounds[1] = map.box.top;
    s.bounds[2] = map.box.right;
    s.bounds[3] = map.box.bottom;
    if (!hotmap::deliverText(map.text)) return failWith(s, HM_STATUS_NO_CLIPBOARD);
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
    bool answered = false;
    const int result = hotmap::guarded([&] {
        const int r =
            mapToClipboard(mask, width, height, rowBytes, offset, url, format, maxAreas, maxPoints, s);
        answered = true;
        return r;
    });
    if (!answered) { // an exception: what was filled in is no answer
        int32_t values[6] = {};
        c32GetDLLErrInfo(values);
        s = ImageMapSummary{};
        s.status = values[2] == HM_ERR_NO_MEMORY ? HM_STATUS_NO_MEMORY : HM_STATUS_FAILED;
    }
    if (summary) *summary = s;
    return result;
}

} // extern "C"
