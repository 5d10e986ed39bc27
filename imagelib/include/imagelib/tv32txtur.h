/* Texture generation: draws the picture of a texture data object into a true-colour buffer. */
#ifndef IMAGELIB_TV32TXTUR_H
#define IMAGELIB_TV32TXTUR_H

#include "imagelib/tv32types.h"

TV32_EXTERN_C_BEGIN

/* Draws the texture data object texture as a width x height picture into *slot: into the
 * 24-bit buffer held there (which must have that size), or into a new 24-bit buffer stored in
 * *slot when it holds 0. version is 2; mode, the reserved values and progress are not used.
 * Returns nonzero on success; on failure *slot and the buffer held there are unchanged.
 *
 * This build carries no texture library yet: no texture data object can be made, so every call
 * fails and changes nothing. */
TV32_API int TV32_CALL tv32GenerateTexture(int32_t version, int32_t mode, void* texture, int32_t width,
                                           int32_t height, int32_t r1, TV32HBUF* slot, int32_t r2, int32_t r3,
                                           void* progress);

/* Releases a texture data object (null is allowed and ignored). Returns nonzero when an object
 * was released. In this build no object can exist, so it releases nothing and returns 0. */
TV32_API int TV32_CALL tv32TextureDataFree(void* texture);

TV32_EXTERN_C_END

#endif
