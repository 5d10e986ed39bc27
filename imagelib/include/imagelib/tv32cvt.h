/* Conversion between pixel types. */
#ifndef IMAGELIB_TV32CVT_H
#define IMAGELIB_TV32CVT_H

#include "imagelib/tv32types.h"

/* Pixel types (kinds) of cvt32BufType. */
#define CVT32_TRUECOLOR 2 /* 24 bits: red, green, blue */
#define CVT32_GREY 32     /* 8 bits: grey value (299 R + 587 G + 114 B) / 1000 */

TV32_EXTERN_C_BEGIN

/* Converts source (of kind fromKind, which must match its format) to toKind into *slot: a new
 * buffer when *slot is 0, else the buffer held there (same size, the target's format). version is
 * 2; window, options, progress and the reserved values are not used. */
TV32_API int TV32_CALL cvt32BufType(int32_t version, TV32HWND window, int32_t fromKind, int32_t toKind,
                                    TV32HBUF source, TV32HBUF* slot, const void* options, int32_t r1,
                                    int32_t r2, void* progress, int32_t r3);

TV32_EXTERN_C_END

#endif
