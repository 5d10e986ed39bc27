/* The request as a 32-bit compiler lays it out. */
#include "hotmap/hotmap.h"

_Static_assert(sizeof(void*) == 4, "checked as a 32-bit build");
_Static_assert(sizeof(ImageMapRequest) == 124, "request is 124 bytes");
_Static_assert(offsetof(ImageMapRequest, textSize) == 4, "text size at 4");
_Static_assert(offsetof(ImageMapRequest, shape) == 8, "shape at 8");
_Static_assert(offsetof(ImageMapRequest, format) == 12, "format at 12");
_Static_assert(offsetof(ImageMapRequest, offset) == 20, "offset at 20");
_Static_assert(sizeof(ImageMapSummary) == 44, "summary is 44 bytes");
_Static_assert(offsetof(ImageMapSummary, capped) == 20, "capped at 20");
_Static_assert(offsetof(ImageMapSummary, bounds) == 24, "bounds at 24");
_Static_assert(offsetof(ImageMapSummary, textBytes) == 40, "text length at 40");
