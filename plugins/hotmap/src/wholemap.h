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
// units), else a polygon simplified with the tolerance, keeping what vertices it needs so that
// the centres of the pixels `keep` names stay on their sides. Throws std::bad_alloc.
MapArea shapeOfOutline(const Point* corners, std::size_t count, const BBox& box, bool hole, double tolerance,
                       Sides keep);

// A closed loop of points (the last joined to the first) drawn as an area: a region's or a hole's.
struct Loop {
    const Point* p;
    std::size_t n;
    bool hole;
};

// Whether a coarser drawing of a region and its holes does more than the exact one (`exact`: the
// outlines along pixel edges of the region and its holes, all within `box`, below 2^29 pixels a
// side): whether it reaches a pixel the exact one does not (its centre inside the coarse region's
// loop by the non-zero rule and inside none of the coarse holes' loops, or on a coarse line), or
// covers with a hole's loop a pixel outside the exact region's outer outline, where that area
// without a link would hide another region's. The exact outlines hold just the region's own
// pixels (in maps without holes, everything its outer outline encloses), so a drawing that passes
// touches nothing the region does not own, whatever its lines do: cross each other, turn back or
// cut across another outline. It may lose some of the region's own pixels.
bool reachesMore(const std::vector<Loop>& coarse, const std::vector<Loop>& exact, const BBox& box);

struct MapCaps {
    std::size_t areas = HM_MAP_DEFAULT_AREAS;   // areas written, those of holes included
    std::size_t points = HM_MAP_DEFAULT_POINTS; // coordinate pairs written over all areas
};

struct WholeMap {
    int32_t status = HM_STATUS_OK; // HM_STATUS_*
    std::size_t regions = 0, holes = 0, points = 0;
    bool capped = false;        // the caps left regions out or simplified a polygon past exactness
    BBox box;                   // of the selection, in corners, offset applied
    std::vector<MapArea> areas; // in the order written
    std::string text;           // the entries, one a line
};

// The map of the selection. url: at most HM_URL_SIZE - 1 bytes of it are used. Nothing selected,
// a bad format or coordinates past 32 bits give a status and no areas.
//
// The caps take or leave a region together with its holes (in the inline format): a region is
// written with an area without a link for every one of its holes, or not at all, so a hole is
// never clickable. The regions are taken largest first, each that fits what is left of the caps;
// one whose exact areas need too many points is simplified further, and taken only when that
// drawing (its holes' areas included) reaches no pixel the exact one does not; regions wider or
// taller than 2^29 pixels are never simplified past exactness. Nothing fitting at all is
// HM_STATUS_CAPS_TOO_SMALL. Throws std::bad_alloc.
WholeMap mapWholeSelection(const SelectionBits& bits, Point offset, int32_t format, const char* url,
                           MapCaps caps);

// The same for a width x height selection with every pixel selected, without a mask: time and
// memory do not grow with the size.
WholeMap mapWholeRectangle(int32_t width, int32_t height, Point offset, int32_t format, const char* url,
                           MapCaps caps);

// The URL as it goes into an entry: blanks and control bytes as %XX in every format, and in the
// inline format &, ", < and > as character references.
std::string escapedUrl(const char* url, int32_t format);

} // namespace hotmap
