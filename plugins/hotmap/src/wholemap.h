// A whole selection as an image map: one area per region, larger regions first, holes as areas
// without a link ahead of the area around them, within caps on areas and points. Plain
// functions, no window needed.
#pragma once
#include "analysis.h"
#include "edges.h"

#include <cstddef>
#include <string>
#include <vector>

namespace hotmap {

// One area of the map, in corner coordinates with the offset applied.
struct MapArea {
    int32_t shape = HM_SHAPE_POLY; // HM_SHAPE_*
    bool hole = false;             // an area without a link (inline format only)
    // Rectangle: (left, top), (right, bottom), right and bottom one past the last pixel.
    // Circle: (centre x, centre y), (radius, 0). Polygon: the vertices, the first repeated last.
    std::vector<Point> points;
    // Coordinate pairs this area counts against the cap on points.
    std::size_t cost() const { return shape == HM_SHAPE_POLY ? points.size() : 2; }
};

// An outline's area (offset not applied): a rectangle or a circle when one covers exactly the
// pixels the outline encloses and passes the shape tests of the single-area analysis (in corner
// units), else a polygon simplified with the tolerance. With `exact`, no pixel's centre changes
// sides: the polygon keeps what vertices it needs for that. Throws std::bad_alloc.
MapArea shapeOfOutline(const Point* corners, std::size_t count, const BBox& box, bool hole, double tolerance,
                       bool exact);

struct MapCaps {
    std::size_t areas = HM_MAP_DEFAULT_AREAS;   // areas written, those of holes included
    std::size_t points = HM_MAP_DEFAULT_POINTS; // coordinate pairs written over all areas
};

struct WholeMap {
    int32_t status = HM_STATUS_OK; // HM_STATUS_*
    std::size_t regions = 0, holes = 0, points = 0;
    bool capped = false;        // the caps left areas out or simplified a polygon past exactness
    BBox box;                   // of the selection, in corners, offset applied
    std::vector<MapArea> areas; // in the order written
    std::string text;           // the entries, one a line
};

// The map of the selection. url: at most HM_URL_SIZE - 1 bytes of it are used. Nothing selected,
// a bad format or coordinates past 32 bits give a status and no areas. Throws std::bad_alloc.
WholeMap mapWholeSelection(const SelectionBits& bits, Point offset, int32_t format, const char* url,
                           MapCaps caps);

// The URL as it goes into an entry: blanks and control bytes as %XX in every format, and in the
// inline format &, ", < and > as character references.
std::string escapedUrl(const char* url, int32_t format);

} // namespace hotmap
