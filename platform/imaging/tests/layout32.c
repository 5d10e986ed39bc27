/* The texture record as a 32-bit compiler lays it out: sixteen 32-bit fields, 64 bytes. */
#include "imagelib/tv32txtur.h"

#include <stddef.h>

_Static_assert(sizeof(void*) == 4, "checked as a 32-bit build");
_Static_assert(sizeof(TV32TEXTURERECORD) == 64, "texture record is 64 bytes");
_Static_assert(offsetof(TV32TEXTURERECORD, kind) == 4, "kind at 4");
_Static_assert(offsetof(TV32TEXTURERECORD, octaves) == 16, "octaves at 16");
_Static_assert(offsetof(TV32TEXTURERECORD, pattern) == 28, "pattern at 28");
_Static_assert(offsetof(TV32TEXTURERECORD, colorOffset) == 44, "colour offset at 44");
_Static_assert(offsetof(TV32TEXTURERECORD, angle) == 48, "angle at 48");
_Static_assert(offsetof(TV32TEXTURERECORD, repetitions) == 52, "repetitions at 52");
_Static_assert(offsetof(TV32TEXTURERECORD, colorCount) == 56, "colour count at 56");
_Static_assert(offsetof(TV32TEXTURERECORD, colorTable) == 60, "colour table at 60");

#include "imagelib/tv32clips.h"
_Static_assert(offsetof(TV32IIOSETTINGS, callbackActive) == 44, "callback switch at byte 44");
_Static_assert(offsetof(TV32IIOSETTINGS, store) == 68, "store address at byte 68");
_Static_assert(offsetof(TV32IIOSETTINGS, callback) == 72, "callback at byte 72");
_Static_assert(offsetof(TV32IIINFO, dataLength) == 268, "data length at byte 268");
_Static_assert(offsetof(TV32IIOTHUMBSIZE, width) == 8 && offsetof(TV32IIOTHUMBSIZE, height) == 12, "size");
