// Every outline of a selection, traced along pixel edges: the outer outline of each 8-connected
// region of selected pixels and the outline of each hole (a 4-connected patch of unselected
// pixels that a region encloses), with which hole each region lies in and which region each hole
// belongs to. Plain functions, no window needed.
//
// Coordinates are pixel corners: the pixel (x, y) is the square from corner (x, y) to corner
// (x + 1, y + 1), so a polygon through the corners covers exactly the squares of the pixels it
// outlines.
#pragma once
#include "analysis.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hotmap {

// The selection as one bit per pixel, surrounded by unselected pixels: rows -1 and height exist,
// and the bits of x = -1 and x = width are zero.
class SelectionBits {
  public:
    // A byte above 128 is selected; mask null: every pixel is. Row y starts at
    // mask + y * rowBytes (negative for rows stored bottom-up). Throws std::bad_alloc.
    SelectionBits(const uint8_t* mask, int32_t width, int32_t height, std::ptrdiff_t rowBytes);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool empty() const { return !any_; }
    std::size_t wordsPerRow() const { return words_; }
    // Row y, -1 <= y <= height: bit x + 1 is the pixel x (bits past width + 1 are zero).
    const uint64_t* row(int32_t y) const { return bits_.data() + (std::size_t(y) + 1) * words_; }
    // The pixels (x - 1, y) and (x, y) in bits 0 and 1; -1 <= y <= height, 0 <= x <= width.
    unsigned pair(int32_t x, int32_t y) const;
    bool at(int32_t x, int32_t y) const { return (pair(x + 1, y) & 1u) != 0; }

  private:
    int32_t width_, height_;
    std::size_t words_;
    bool any_ = false;
    std::vector<uint64_t> bits_;
};

// One outline: of a region (its outer border) or of a hole.
struct Contour {
    int64_t area = 0;    // pixels enclosed, holes and what lies in them included
    int32_t parent = -1; // region: the hole it lies in (-1: none); hole: the region around it
    bool hole = false;
    int32_t kept = -1; // index into Outlines::kept when its corners were kept
};

// The corners of an outline that was kept. Walking from corner to corner, the selected pixels
// are always on the right (x to the right, y downward): region outlines run clockwise as seen on
// the screen, hole outlines counter-clockwise.
struct KeptOutline {
    uint32_t contour = 0;
    std::size_t first = 0, count = 0; // Outlines::corners[first, first + count): no repeated end
    BBox box;                         // in corners: right and bottom one past the last pixel
};

struct Outlines {
    std::vector<Contour> contours; // in raster order of their topmost, leftmost edge
    std::vector<KeptOutline> kept; // in the order of contours
    std::vector<Point> corners;
    std::size_t regions = 0, holes = 0;
    BBox box; // of everything selected, in corners
};

// Traces every outline of the selection. Keeps the corners of the `keep` outlines with the
// largest areas (ties: the earlier one), counting hole outlines only when keepHoles; the others
// are counted and placed but their corners dropped, so a noisy mask needs memory for its
// outlines' count, not their length. Throws std::bad_alloc.
Outlines traceOutlines(const SelectionBits& bits, std::size_t keep, bool keepHoles);

// The same trace, keeping the corners of exactly the outlines whose numbers (indices into
// Outlines::contours, the same in every trace of the same selection) are set in `only`.
Outlines traceOutlines(const SelectionBits& bits, const std::vector<bool>& only);

// The outlines of a width x height selection with every pixel selected (width and height above
// 0), without a trace: one region, its four corners kept.
Outlines rectangleOutlines(int32_t width, int32_t height);

} // namespace hotmap
