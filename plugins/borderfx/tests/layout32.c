/* The record as a 32-bit compiler lays it out (the header's own asserts cover every offset). */
#include "borderfx/borderfx.h"

_Static_assert(sizeof(void*) == 4, "checked as a 32-bit build");
_Static_assert(sizeof(FrameShadowParams) == 80, "parameter block is 80 bytes");
_Static_assert(offsetof(PlugInRecord, params) == 0, "parameter block first");
_Static_assert(sizeof(PlugInRecord) == 160, "record is 160 bytes");
_Static_assert(offsetof(PlugInRecord, resultImage) == 0x70, "resultImage at 0x70");
_Static_assert(offsetof(PlugInRecord, hostColor) == 0x9C, "hostColor at 0x9C");
