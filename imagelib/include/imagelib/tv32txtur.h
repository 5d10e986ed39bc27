/* Texture library: texture data objects, predefined colour tables and the texture generator.
 *
 * A texture data object is a small description from which the generator computes a picture of
 * any size. Its first 64 bytes are a TV32TEXTURERECORD (sixteen 32-bit little-endian signed
 * fields); the rest of the object is private to the library. Callers may read and write the
 * record's fields directly (copying all 64 bytes but the colour fields from one object to another
 * is allowed); values outside the ranges below are clamped when the texture is drawn.
 *
 * Colour tables. Bytes 56 and 60 are the number of colour entries and the library's own 32-bit
 * reference to them (a pointer would not fit in 32 bits): either one of the 53 predefined tables
 * (tv32GetPredefined256ColorTable, immutable, never released) or a table made for one object by
 * tv32TextureSetColorEntry, counted by reference and shared by duplicates. 0 means no colours:
 * the texture is drawn in greys. An object keeps the custom table it was given alive until it is
 * freed or given another one, so overwriting bytes 56 and 60 never leaks and never frees a table
 * that a duplicate still uses. A reference the library does not know makes drawing fail.
 *
 * Meaning of the fields (u, v: picture coordinates after rotation, 0..1 across the picture):
 *   0  not used by the library (kept as it is)
 *   4  kind: 0 clouds (fractal noise), 1 marble (veins bent by noise), 2 wood (rings bent by
 *      noise), 3 waves (two crossing wave trains bent by noise)
 *   8  noise frequency across, 1..64 (1 = one noise feature over the picture, 64 = fine grain)
 *  12  noise frequency down, 1..64
 *  16  octaves of noise, 1..4 (more octaves: more fine detail)
 *  20  turbulence, 0..100: blend from smooth signed noise (0) to billowy absolute noise (100)
 *  24  distortion, 0..200: how far a second noise field pushes the coordinates (domain warp)
 *  28  kinds 0..2: profile 1 smooth, 2 ridged, 3 terraced; kind 3: crests across, 1..100
 *  32  contrast, 0..100 (50 = as computed)
 *  36  brightness, 0..100 (50 = as computed)
 *  40  colour strength, 0..100 (0 = greys of the colours, 75 = the table's own colours)
 *  44  colour-table offset, 1..256: where in the (cyclic) colour table the values start
 *  48  angle of the pattern, 0..359 degrees
 *  52  repetitions, 1..16: kind 0 colour cycles, kind 1 veins, kind 2 rings, kind 3 crests down
 *  56  number of colour entries (set by the library)
 *  60  colour-table reference (set by the library)
 *
 * Drawing is deterministic: the same record, colours and size give the same pixels. */
#ifndef IMAGELIB_TV32TXTUR_H
#define IMAGELIB_TV32TXTUR_H

#include "imagelib/tv32types.h"

typedef struct TV32TEXTURERECORD {
    int32_t reserved;    /*  0 */
    int32_t kind;        /*  4 */
    int32_t frequencyX;  /*  8 */
    int32_t frequencyY;  /* 12 */
    int32_t octaves;     /* 16 */
    int32_t turbulence;  /* 20 */
    int32_t distortion;  /* 24 */
    int32_t pattern;     /* 28 */
    int32_t contrast;    /* 32 */
    int32_t brightness;  /* 36 */
    int32_t colorAmount; /* 40 */
    int32_t colorOffset; /* 44 */
    int32_t angle;       /* 48 */
    int32_t repetitions; /* 52 */
    int32_t colorCount;  /* 56 */
    uint32_t colorTable; /* 60 */
} TV32TEXTURERECORD;

#ifdef __cplusplus
static_assert(sizeof(TV32TEXTURERECORD) == 64, "texture record is 64 bytes");
#else
_Static_assert(sizeof(TV32TEXTURERECORD) == 64, "texture record is 64 bytes");
#endif

/* Number of predefined colour tables (numbers 0 .. TV32_PREDEFINED_TABLES - 1). */
#define TV32_PREDEFINED_TABLES 53
/* Most entries a custom colour table may have. */
#define TV32_MAX_COLOR_ENTRIES 4096

TV32_EXTERN_C_BEGIN

/* All operations return nonzero on success and 0 on failure; a failure changes nothing. */

/* New texture data object in *object: kind 0 clouds with middle values and predefined table 0.
 * The two further arguments are not used (pass 0). */
TV32_API int TV32_CALL tv32TextureDataAlloc(void** object, int32_t r1, int32_t r2);

/* Makes the object at *to describe the same texture as from (record and colours; a custom
 * colour table is shared). When *to is null a new object is made and stored there. */
TV32_API int TV32_CALL tv32TextureDataDuplicate(const void* from, void** to);

/* Releases a texture data object (null is allowed and ignored). Returns nonzero when an object
 * was released; an address that is not a live object is left alone and gives 0. */
TV32_API int TV32_CALL tv32TextureDataFree(void* texture);

/* Gives the object a colour table of count entries, each 4 bytes: red, green, blue, unused.
 * count 0 (entries may then be null) removes the colours. Sets the record's bytes 56 and 60. */
TV32_API int TV32_CALL tv32TextureSetColorEntry(void* texture, int32_t count, const void* entries);

/* Writes the entry count (256) of predefined table tableNumber (0..52) to *count and its
 * reference to *reference (normally the record's bytes 56 and 60). The other arguments are not
 * used. */
TV32_API int TV32_CALL tv32GetPredefined256ColorTable(int32_t tableNumber, int32_t r1, int32_t* count,
                                                      uint32_t* reference, int32_t r2);

/* Name of predefined table tableNumber ("Oak", "Granite", ...), or null when out of range. */
TV32_API const char* TV32_CALL tv32PredefinedColorTableName(int32_t tableNumber);

/* Copies up to maxEntries entries (4 bytes each, as above) of the colours of the object to
 * entries; returns the number of entries the object has (0 when it has none or on failure). */
TV32_API int32_t TV32_CALL tv32TextureGetColorEntries(const void* texture, void* entries, int32_t maxEntries);

/* Draws the texture data object texture as a width x height picture into *slot: into the
 * 24-bit buffer held there (which must have that size), or into a new 24-bit buffer stored in
 * *slot when it holds 0. version is 2; mode, the reserved values and progress are not used.
 * Returns nonzero on success; on failure *slot and the buffer held there are unchanged. */
TV32_API int TV32_CALL tv32GenerateTexture(int32_t version, int32_t mode, void* texture, int32_t width,
                                           int32_t height, int32_t r1, TV32HBUF* slot, int32_t r2, int32_t r3,
                                           void* progress);

/* Number of live texture data objects plus live custom colour tables. Meant for leak tests. */
TV32_API int32_t TV32_CALL tv32TextureCountLive(void);

TV32_EXTERN_C_END

#endif
