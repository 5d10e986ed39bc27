// Shape analysis of a selection mask: outline trace, shape tests, polygon simplification, and
// the writers of the map entries. Plain functions, no window needed.
#pragma once
#include "hotmap/hotmap.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace hotmap {

struct Point {
    int32_t x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// Bounding box, right and bottom inclusive (the last pixels).
struct BBox {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const BBox&) const = default;
};

// Moore-neighbourhood trace of the first selected region in raster order of a mask (rows of
// width bytes, no gaps; a byte above 128 is selected). The trace walks a two-valued copy of the
// mask packed to one bit per pixel. The outline starts at the first selected pixel and ends with
// it once more (a lone pixel gives two points); box is the outline's bounding box. Returns false
// when nothing is selected (or the trace does not come back, which a finite mask never does).
// Throws std::bad_alloc when memory runs out.
bool traceOutline(const uint8_t* plane, int32_t width, int32_t height, std::vector<Point>& outline,
                  BBox& box);

// Mean distance of the outline points to the nearest side of the box at most threshold.
bool isRectangle(const std::vector<Point>& outline, const BBox& box, double threshold);
// Mean deviation from the box's inscribed ellipse, scaled by the mean radius, at most threshold.
bool isEllipse(const std::vector<Point>& outline, const BBox& box, double threshold);
// Iterative Douglas-Peucker from the seeds at the box's right, bottom and left; starts and ends
// with the outline's first point. Throws std::bad_alloc.
std::vector<Point> simplifyPolygon(const std::vector<Point>& outline, const BBox& box, double tolerance);
// Which pixels along an outline (along pixel edges, the selected pixels on its right) keep their
// centres on their own side of every line that replaces a stretch of it: none (the tolerance
// alone decides), the unselected ones (the polygon of a region then holds no unselected pixel
// along it, and that of a hole all the hole's pixels along it), or all of them.
enum class Sides { any, unselected, all };

// The same on the points p[0] .. p[n - 1] followed by `last`; a line is also split where it would
// move the centre of a pixel that `keep` names to its other side.
std::vector<Point> simplifyPolyline(const Point* p, std::size_t n, Point last, const BBox& box,
                                    double tolerance, Sides keep);

// The template buffer of a request: C heap memory the writers may enlarge.
struct TextBuffer {
    char*& text;
    int32_t& size;
    // At least n bytes, grown in steps of 1,024; false when memory runs out.
    bool reserve(std::size_t n);
};

// The templates (with "%s" where the URL goes). Each returns false for a format other than 0, 1
// or 2, a buffer below 60 bytes (rectangle, circle) or when memory runs out.
bool writeRectTemplate(TextBuffer buf, int32_t format, const BBox& box);
bool writeCircleTemplate(TextBuffer buf, int32_t format, int32_t cx, int32_t cy, int32_t radius);
bool writePolygonTemplate(TextBuffer buf, int32_t format, const std::vector<Point>& points, Point offset);

// The final text: the template with its "%s" replaced by the URL (at most 259 characters of it).
std::string formatTag(const char* templ, const char* url);

// Analyses the request's mask with the polygon tolerance: fills shape, shape parameters and the
// template. False when the mask is not an 8-bit buffer, nothing is selected, the format is not
// 0 to 2, the buffer is too small or memory runs out; the request's shape and parameters are
// then unchanged, and *why (when given) says which as an HM_ERR_* code.
bool analyseRequest(ImageMapRequest& request, double tolerance, int32_t* why = nullptr);

// The wait cursor for the length of an analysis (nothing without a GUI application).
class WaitCursor {
  public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    bool on_;
};

// Where finished texts go: the clipboard, or a test's sink. Returns whether the text arrived.
using ClipboardSink = std::function<bool(const std::string& text)>;
void setClipboardSink(ClipboardSink sink); // empty: the clipboard
bool deliverText(const std::string& text);

} // namespace hotmap
