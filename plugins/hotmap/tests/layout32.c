/* The request as a 32-bit compiler lays it out. */
#include "hotmap/hotmap.h"

_Static_assert(sizeof(void*) == 4, "checked as a 32-bit build");
_Static_assert(sizeof(ImageMapRequest) == 124, "request is 124 bytes");
_Static_assert(offsetof(ImageMapRequest, textSize) == 4, "text size at 4");
_Static_assert(offsetof(ImageMapRequest, shape) == 8, "shape at 8");
_Static_assert(offsetof(ImageMapRequest, format) == 12, "format at 12");
_Static_assert(offsetof(ImageMapRequest, offset) == 20, "offset at 20");
