/* Texture picture services: pictures sized for the window that shows them. */
#ifndef IMAGELIB_TV32TX_H
#define IMAGELIB_TV32TX_H

#include "imagelib/tv32types.h"

TV32_EXTERN_C_BEGIN

/* A copy of source (8 or 24 bits) resized to fit the client area of window: the largest size
 * with the source's proportions that fits it, at least 1 x 1 (area averaging when it shrinks).
 * The new buffer goes to *result; the source stays the caller's. Returns 1, or 0 for an unknown
 * window, an invalid source or no memory (then *result is unchanged). */
TV32_API int TV32_CALL tv32TxBufResize(TV32HBUF source, TV32HWND window, TV32HBUF* result);

TV32_EXTERN_C_END

#endif
