/* Selection masks: soft edges. */
#ifndef IMAGELIB_TV32SEL_H
#define IMAGELIB_TV32SEL_H

#include "imagelib/tv32types.h"

#ifdef __cplusplus
#include <cstddef>
#else
#include <stddef.h>
#endif

/* Selection record, 60 bytes of 32-bit fields. */
typedef struct SEL32RECORD {
    int32_t x;         /*  0: where the mask's inner part lies in the softened mask */
    int32_t y;         /*  4 */
    int32_t width;     /*  8: size of the inner part (the mask in the record) */
    int32_t height;    /* 12 */
    TV32HBUF mask;     /* 16: in: 8-bit mask of the inner part; out: the softened mask */
    int32_t kind;      /* 20: 1 */
    int32_t flags;     /* 24: 0 */
    int32_t bounds[4]; /* 28..40: x, y, width, height again */
    int32_t inner[4];  /* 44..56: x, y, width, height again */
} SEL32RECORD;

#ifdef __cplusplus
static_assert(sizeof(SEL32RECORD) == 60, "selection record is 60 bytes");
static_assert(offsetof(SEL32RECORD, mask) == 16, "mask handle at 16");
static_assert(offsetof(SEL32RECORD, bounds) == 28, "bounds at 28");
static_assert(offsetof(SEL32RECORD, inner) == 44, "inner rectangle at 44");
#else
_Static_assert(sizeof(SEL32RECORD) == 60, "selection record is 60 bytes");
_Static_assert(offsetof(SEL32RECORD, mask) == 16, "mask handle at 16");
#endif

TV32_EXTERN_C_BEGIN

/* Softens the edge of the selection by edge pixels: the new mask is
 * (x + width + edge) x (y + height + edge) pixels, holds the record's mask at (x, y) and, around
 * it, values that fall from 255 toward 0 with the distance from the inner part (a linear ramp over
 * edge pixels: a pixel at distance d, measured between pixel centres, gets 255 (edge + 1 - d) /
 * (edge + 1), rounded, 0 beyond). The record's mask is freed and replaced by the new one. An edge
 * of 0 or less leaves the mask as it is and succeeds. */
TV32_API int TV32_CALL sel32SoftEdgeMakeMask(SEL32RECORD* selection, int32_t mode, int32_t edge, int32_t r1,
                                             int32_t r2, int32_t r3, void* progress);

TV32_EXTERN_C_END

#endif
