/* Texture library files (qxmagic.smp): a list of textures with thumbnails.
 *
 * Layout, all numbers 32-bit little-endian:
 *   file header, 32 bytes:
 *     0  "TV32SMP" and a 0 byte
 *     8  format version (1)
 *    12  number of items
 *    16  thumbnail width, 20 thumbnail height (every thumbnail has this size)
 *    24  offset of the first item (32)
 *    28  0
 *   then the items, one after the other:
 *     0  item number (1, 2, 3, ... in file order: the item number an image list reports for the
 *        item and the texture number a caller asks for, so texture number 1 is the first texture)
 *     4  item value (handed on with the item data; 0 for textures)
 *     8  L, the length of the item data
 *    12  T, the length of the thumbnail (width * height * 3)
 *    16  L bytes of item data, then T bytes of thumbnail (rows of red, green, blue, top row first)
 *
 * Item data of a texture:
 *     0  28, the size of this item header
 *     4  N, the size of the texture data that follows the header
 *     8  1 (a texture)
 *    12  name of the texture, 16 bytes, UTF-8, padded with 0 bytes (no 0 needed at the end)
 *    28  texture data: the 64-byte texture record, then its colour entries (4 bytes each: red,
 *        green, blue, 0; as many as the record's byte 56 says), so N = 64 + 4 x entries. The
 *        record's bytes 60 to 63 are stored as 0: a reader gives the entries to a new object with
 *        tv32TextureSetColorEntry. */
#ifndef IMAGELIB_TV32TXLIB_H
#define IMAGELIB_TV32TXLIB_H

#include "imagelib/tv32types.h"

#define TV32_TEXLIB_HEADER_SIZE 32
#define TV32_TEXLIB_ITEM_HEADER_SIZE 28
#define TV32_TEXLIB_NAME_SIZE 16

/* One texture to write: a texture data object and its name. */
typedef struct TV32TEXLIBITEM {
    const void* texture;
    const char* name;
} TV32TEXLIBITEM;

/* Called for every item read, in file order; returning 0 stops the reading. */
typedef int (*TV32TEXLIBITEMPROC)(void* context, int32_t itemNumber, int32_t value, const void* data,
                                  int32_t length, const uint8_t* thumbnail, int32_t width, int32_t height);

TV32_EXTERN_C_BEGIN

/* The item data block of a texture object (layout above) into data (capacity bytes; data may
 * be 0 to measure). Returns the size of the block, 0 on failure (not an object, or too small). */
TV32_API int32_t TV32_CALL tv32TextureItemData(const void* texture, const char* name, void* data,
                                               int32_t capacity);

/* Writes a library file of count textures with thumbnails of width x height drawn from them.
 * The file is written under a temporary name and renamed, so a failure leaves any existing file
 * as it was. Returns nonzero on success. */
TV32_API int TV32_CALL tv32TextureLibraryWrite(const char* path, const TV32TEXLIBITEM* items, int32_t count,
                                               int32_t width, int32_t height);

/* Reads a library file: checks the whole file first, then hands every item to proc. Returns the
 * number of items, or -1 when the file cannot be read or is not a well-formed library file (proc
 * is then never called). */
TV32_API int32_t TV32_CALL tv32TextureLibraryRead(const char* path, TV32TEXLIBITEMPROC proc, void* context);

TV32_EXTERN_C_END

#endif
