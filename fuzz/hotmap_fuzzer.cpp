// The image-map entry of a mask, through the first export without the dialog (the clipboard
// replaced by a sink), checked against the slow reference of the image-map tests (the outline
// traced pixel by pixel with bounds tests, the simplification in floating point), the rectangle
// and ellipse tests from their formulas, and the entry text taken apart again.
//
// Input: options byte (bits 0-1 format, 3 meaning an unknown one; bit 2 no mask, the whole
// rectangle selected; bits 4-7 padding bytes after each mask row), the URL as a NUL-ended field,
// then width - 1 (one byte), offset x and y (four bytes each, little-endian), then the mask rows.
#include "fields.h"

#include "analysis.h"
#include "reference.h"

#include "hotmap/hotmap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using hotmap::BBox;
using hotmap::Point;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

double rectangleMeasure(const std::vector<Point>& pts, const BBox& b) {
    double sum = 0;
    for (const Point& p : pts)
        sum += std::min({p.x - b.left, b.right - p.x, p.y - b.top, b.bottom - p.y});
    return sum / double(pts.size());
}

// NaN when the box has no extent in one direction.
double ellipseMeasure(const std::vector<Point>& pts, const BBox& b) {
    const double rx = (double(b.right) - b.left) / 2, ry = (double(b.bottom) - b.top) / 2;
    if (rx <= 0 || ry <= 0) return NAN;
    const double cx = (double(b.left) + b.right) / 2, cy = (double(b.top) + b.bottom) / 2;
    double sum = 0;
    for (const Point& p : pts)
        sum += std::fabs(std::pow((p.x - cx) / rx, 2) + std::pow((p.y - cy) / ry, 2) - 1);
    return sum / double(pts.size()) * (rx + ry) / 2;
}

// Whether `value` is at most `threshold`; nullopt when rounding could decide it.
std::optional<bool> atMost(double value, double threshold) {
    if (std::isnan(value)) return false;
    if (std::fabs(value - threshold) < 1e-9) return std::nullopt;
    return value <= threshold;
}

// The numbers of an entry's coordinate text, which must be exactly those numbers written with
// the given separators: `open` before each pair, `mid` inside it, `close` after it, `between`
// between two items.
std::vector<int32_t> numbers(const std::string& s) {
    std::vector<int32_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '-' || (s[i] >= '0' && s[i] <= '9')) {
            char* end = nullptr;
            const long long v = std::strtoll(s.c_str() + i, &end, 10);
            check(end != s.c_str() + i && v >= INT32_MIN && v <= INT32_MAX, "a number of 32 bits");
            out.push_back(int32_t(v));
            i = std::size_t(end - s.c_str());
        } else {
            ++i;
        }
    }
    return out;
}

std::string pairs(const std::vector<int32_t>& v, const char* fmt, const char* between) {
    std::string out;
    for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
        char piece[64];
        std::snprintf(piece, sizeof piece, fmt, v[i], v[i + 1]);
        if (i) out += between;
        out += piece;
    }
    return out;
}

struct Entry {
    int shape = -1;
    std::vector<int32_t> nums;
};

bool startsWith(const std::string& s, const std::string& p) {
    return s.compare(0, p.size(), p) == 0;
}

// Takes the entry apart for its format; every byte of it must be accounted for.
Entry parse(const std::string& text, int format, const std::string& url) {
    Entry e;
    std::string coords;
    if (format == HM_FORMAT_INLINE) {
        const std::string tail = "\" HREF=\"" + url + "\">";
        check(text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0,
              "inline entry ends with the URL");
        const std::string head = text.substr(0, text.size() - tail.size());
        for (auto [shape, name] :
             {std::pair{HM_SHAPE_RECT, "RECT"}, {HM_SHAPE_CIRCLE, "CIRCLE"}, {HM_SHAPE_POLY, "POLY"}}) {
            const std::string prefix = std::string("<AREA SHAPE=\"") + name + "\" COORDS=\"";
            if (startsWith(head, prefix)) e.shape = shape, coords = head.substr(prefix.size());
        }
        check(e.shape >= 0, "inline entry names its shape");
        e.nums = numbers(coords);
        if (e.shape != HM_SHAPE_CIRCLE) {
            check(coords == pairs(e.nums, "%d,%d", ","), "inline numbers");
        } else {
            check(e.nums.size() == 3, "circle of three numbers");
            check(coords == std::to_string(e.nums[0]) + "," + std::to_string(e.nums[1]) + "," +
                                std::to_string(e.nums[2]),
                  "inline circle");
        }
    } else if (format == HM_FORMAT_NCSA) {
        for (auto [shape, name] :
             {std::pair{HM_SHAPE_RECT, "rect "}, {HM_SHAPE_CIRCLE, "circle "}, {HM_SHAPE_POLY, "poly "}})
            if (startsWith(text, name + url + " "))
                e.shape = shape, coords = text.substr(std::strlen(name) + url.size() + 1);
        check(e.shape >= 0, "NCSA line names its shape and then the URL");
        e.nums = numbers(coords);
        check(coords == pairs(e.nums, "%d,%d", " "), "NCSA numbers");
    } else {
        check(text.size() > url.size() &&
                  text.compare(text.size() - url.size() - 1, url.size() + 1, " " + url) == 0,
              "CERN line ends with the URL");
        const std::string head = text.substr(0, text.size() - url.size() - 1);
        if (startsWith(head, "rectangle ")) {
            e.shape = HM_SHAPE_RECT, coords = head.substr(10);
            e.nums = numbers(coords);
            check(coords == pairs(e.nums, "(%d,%d)", " "), "CERN rectangle");
        } else if (startsWith(head, "circ ")) {
            e.shape = HM_SHAPE_CIRCLE, coords = head.substr(5);
            e.nums = numbers(coords);
            check(e.nums.size() == 3 && coords == std::to_string(e.nums[0]) + "," +
                                                      std::to_string(e.nums[1]) + "," +
                                                      std::to_string(e.nums[2]),
                  "CERN circle");
        } else {
            check(startsWith(head, "polygon "), "CERN line names its shape");
            e.shape = HM_SHAPE_POLY, coords = head.substr(8);
            e.nums = numbers(coords);
            check(coords == pairs(e.nums, "(%d,%d)", " "), "CERN polygon");
        }
    }
    return e;
}

std::string delivered;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    hotmap::setClipboardSink([](const std::string& text) {
        delivered = text;
        return true;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzzinput::Split in = fuzzinput::split(data, size, 1);
    const int32_t format = in.options & 3;
    const bool wholeRect = in.options & 4;
    const int32_t pad = in.options >> 4;
    std::string head(in.rest.substr(0, 9));
    head.resize(9, '\0');
    const std::string_view rows = in.rest.substr(std::min<std::size_t>(9, in.rest.size()));
    const auto u8 = [&](int i) { return uint32_t(uint8_t(head[std::size_t(i)])); };
    const int32_t width = int32_t(u8(0)) + 1;
    const int32_t offset[2] = {int32_t(u8(1) | u8(2) << 8 | u8(3) << 16 | u8(4) << 24),
                               int32_t(u8(5) | u8(6) << 8 | u8(7) << 16 | u8(8) << 24)};
    const int32_t rowBytes = width + pad;
    testmask::Mask m(width, wholeRect ? int(rows.size() % 300) : int(rows.size() / std::size_t(rowBytes)));
    std::fill(m.px.begin(), m.px.end(), uint8_t(255));
    if (!wholeRect)
        for (int32_t y = 0; y < m.h; ++y)
            std::memcpy(&m.px[std::size_t(y) * std::size_t(m.w)],
                        rows.data() + std::size_t(y) * std::size_t(rowBytes), std::size_t(m.w));

    // The URL buffer holds 259 characters and the zero.
    char url[HM_URL_SIZE] = {};
    const std::string urlText(in.fields[0].substr(0, HM_URL_SIZE - 1));
    std::memcpy(url, urlText.data(), urlText.size());

    // The trace itself, against the reference.
    BBox refBox, box;
    const std::vector<Point> pts = hmref::refTrace(m, refBox);
    std::vector<Point> outline;
    const bool traced = hotmap::traceOutline(m.px.data(), m.w, m.h, outline, box);
    check(traced == !pts.empty(), "trace succeeds exactly when something is selected");
    if (traced) check(outline == pts && box == refBox, "trace equals the reference");

    // The export, as a host without the dialog calls it. The mask memory is the host's: exactly
    // the rows it claims (the last row without its padding).
    std::vector<uint8_t> hostMask;
    if (!wholeRect && m.h > 0)
        hostMask.assign(rows.begin(), rows.begin() + std::ptrdiff_t(rowBytes) * (m.h - 1) + m.w);
    int32_t fmt = format;
    delivered.clear();
    const int result = hmGenImageTagFromAPSBuf(0, wholeRect ? nullptr : hostMask.data(), m.w, m.h, rowBytes,
                                               offset, "Image Map Tag", url, &fmt, 1);
    const bool expected = !pts.empty() && format <= HM_FORMAT_CERN;
    check(result == (expected ? 1 : 0),
          "the export delivers exactly when something is selected and the format is known");
    check(fmt == format, "the format comes back as it went in");
    check(std::strlen(url) == urlText.size() && urlText == url, "the URL buffer is left alone");
    if (!result) {
        check(delivered.empty(), "nothing delivered on failure");
        return 0;
    }

    const BBox& b = refBox;
    const Entry e = parse(delivered, format, urlText);
    const std::optional<bool> rect = atMost(rectangleMeasure(pts, b), 0.5);
    const std::optional<bool> ellipse = atMost(ellipseMeasure(pts, b), 1.0);
    const int32_t ox = offset[0], oy = offset[1];
    const std::vector<int32_t> boxNums = {wrapAdd(b.left, ox), wrapAdd(b.top, oy), wrapAdd(b.right, ox),
                                          wrapAdd(b.bottom, oy)};
    if (e.shape == HM_SHAPE_RECT) {
        check(rect != false, "a rectangle passes the rectangle test");
        check(e.nums == boxNums, "a rectangle is the outline's box");
    } else if (e.shape == HM_SHAPE_CIRCLE) {
        check(rect != true && ellipse != false,
              "a circle fails the rectangle test and passes the ellipse test");
        const int32_t cx = wrapAdd(ox, (b.left + b.right) / 2), cy = wrapAdd(oy, (b.top + b.bottom) / 2);
        const int32_t r = std::min(b.right - b.left, b.bottom - b.top) / 2;
        const std::vector<int32_t> want = format == HM_FORMAT_NCSA
                                              ? std::vector<int32_t>{cx, cy, cx, wrapAdd(cy, -r)}
                                              : std::vector<int32_t>{cx, cy, r};
        check(e.nums == want, "a circle's centre and radius come from the box");
    } else {
        check(rect != true && ellipse != true, "a polygon fails both tests");
        std::vector<int32_t> want;
        for (const Point& p : hmref::refSimplify(pts, b, 1.0)) {
            want.push_back(wrapAdd(p.x, ox));
            want.push_back(wrapAdd(p.y, oy));
        }
        check(e.nums == want, "a polygon is the reference's simplified outline");
    }
    return 0;
}
