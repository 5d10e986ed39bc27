/* Image buffers (buf32*), display of pixel rows (disp32*) and resampling.
 *
 * A buffer has a width, a height and 8 or 24 bits per pixel (24: bytes red, green, blue in that
 * order; 8: one grey or mask byte). It is stored as a grid of cells:
 *  - 24-bit buffers in rectangular cells of the library's cell size (one memory block per cell);
 *  - 8-bit buffers in bands as wide as the image (cell height = the library's cell height), all
 *    bands in one block, so the rows of an 8-bit plane follow each other without gaps.
 * Within a cell the rows follow each other without gaps, each row being the cell's width.
 * Results never depend on the cell size. */
#ifndef IMAGELIB_TV32BASE_H
#define IMAGELIB_TV32BASE_H

#include "imagelib/tv32types.h"

#ifdef __cplusplus
#include <cstddef>
#define TV32_STATIC_ASSERT static_assert
#else
#include <stddef.h>
#define TV32_STATIC_ASSERT _Static_assert
#endif

/* Information record filled by buf32GetInfo; all fields 32 bits. */
typedef struct BUF32INFO {
    int32_t recordSize;     /*  0: size of this record (80) */
    uint32_t handle;        /*  4: the buffer described */
    int32_t bitsPerPixel;   /*  8: 8 or 24 */
    int32_t bytesPerPixel;  /* 12: 1 or 3 */
    int32_t width;          /* 16 */
    int32_t height;         /* 20 */
    int32_t bytesPerRow;    /* 24: width * bytesPerPixel */
    int32_t dataSize;       /* 28: bytesPerRow * height */
    int32_t lockCount;      /* 32: nesting depth of buf32Lock */
    int32_t lockMode;       /* 36: mode of the outermost lock, 0 when unlocked */
    int32_t reserved[3];    /* 40..48 */
    int32_t cellCount;      /* 52 */
    int32_t cellsAcross;    /* 56 */
    int32_t cellsDown;      /* 60 */
    int32_t cellWidth;      /* 64: width of a full cell */
    int32_t cellHeight;     /* 68: height of a full cell */
    int32_t lastCellWidth;  /* 72: width of the cells in the last column */
    int32_t lastCellHeight; /* 76: height of the cells in the last row */
} BUF32INFO;

/* Lock record filled by buf32Lock (optional). */
typedef struct BUF32LOCK {
    int32_t mode; /* 1 read, 2 write, 3 read and write (or display) */
    int32_t width;
    int32_t height;
    int32_t bytesPerPixel;
    int32_t cellCount;
} BUF32LOCK;

/* A locked cell (buf32CellLock). Fields 2 to 5 are the cell's x, y, width and height. */
typedef struct BUF32CELL {
    int32_t index;         /* 0 */
    int32_t bytesPerPixel; /* 1 */
    int32_t x;             /* 2 */
    int32_t y;             /* 3 */
    int32_t width;         /* 4 */
    int32_t height;        /* 5 */
    int32_t pixelCount;    /* 6: width * height */
    uint8_t* pixels;       /* 7: first pixel; rows of width pixels, no gaps */
} BUF32CELL;

/* Handle of a display operation (disp32*). */
typedef uint32_t DISP32H;

TV32_STATIC_ASSERT(sizeof(BUF32INFO) == 80, "information record is 80 bytes");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, bitsPerPixel) == 8, "bits per pixel at 8");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, bytesPerPixel) == 12, "bytes per pixel at 12");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, width) == 16, "width at 16");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, height) == 20, "height at 20");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, dataSize) == 28, "data size at 28");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, cellCount) == 52, "cell count at 52");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, cellsAcross) == 56, "cells across at 56");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, cellsDown) == 60, "cells down at 60");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, cellWidth) == 64, "cell width at 64");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, cellHeight) == 68, "cell height at 68");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, lastCellWidth) == 72, "last column width at 72");
TV32_STATIC_ASSERT(offsetof(BUF32INFO, lastCellHeight) == 76, "last row height at 76");
TV32_STATIC_ASSERT(offsetof(BUF32CELL, x) == 8, "cell x is field 2");
TV32_STATIC_ASSERT(offsetof(BUF32CELL, height) == 20, "cell height is field 5");

/* Fill modes of buf32Alloc. */
/* BUF32_FILL_NONE gives no value: the pixels are left as they come, for a caller that writes
 * every pixel before it reads one. */
#define BUF32_FILL_ZERO 0  /* every byte 0 */
#define BUF32_FILL_VALUE 1 /* every pixel the colour at the fill address (1 or 3 bytes) */
#define BUF32_FILL_NONE 2  /* no value given; the pixels are left as they come */

/* Lock modes. */
#define BUF32_LOCK_READ 1
#define BUF32_LOCK_WRITE 2
#define BUF32_LOCK_READWRITE 3

TV32_EXTERN_C_BEGIN

/* All operations return nonzero on success and 0 on failure (an invalid or freed handle, a
 * missing address, a size out of range, memory exhausted); a failure changes nothing. */

/* New buffer of width x height pixels with 8 or 24 bits; its handle goes to *slot. */
TV32_API int TV32_CALL buf32Alloc(TV32HBUF* slot, int32_t bitsPerPixel, int32_t width, int32_t height,
                                  int32_t fillMode, const void* fillValue);
TV32_API int TV32_CALL buf32Free(TV32HBUF buffer);
/* Width and height; either address may be 0. */
TV32_API int TV32_CALL buf32GetWHU(TV32HBUF buffer, int32_t* width, int32_t* height, int32_t unused);
/* Fails for an invalid handle; info may be 0 to test a handle. */
TV32_API int TV32_CALL buf32GetInfo(TV32HBUF buffer, BUF32INFO* info);

/* Locks nest; every lock needs its unlock. buf32PointAddr and buf32CellLock need a lock. */
TV32_API int TV32_CALL buf32Lock(TV32HBUF buffer, int32_t mode, BUF32LOCK* lock);
TV32_API int TV32_CALL buf32Unlock(TV32HBUF buffer);
/* Cell of index (row-major, 0 .. cellCount-1) of a locked buffer; lock may be 0. */
TV32_API int TV32_CALL buf32CellLock(TV32HBUF buffer, int32_t index, BUF32LOCK* lock, BUF32CELL* cell);
TV32_API int TV32_CALL buf32CellUnlock(TV32HBUF buffer, int32_t index);
/* Address of pixel (x, y) of a locked buffer, 0 when outside or not locked. For an 8-bit buffer
 * the whole plane follows from there (rows of width bytes, no gaps); for a 24-bit buffer the
 * address is good for the rest of the pixel's row inside its cell. */
TV32_API uint8_t* TV32_CALL buf32PointAddr(TV32HBUF buffer, int32_t x, int32_t y);

/* Copies the width x height block at (x, y) of source into the buffer held in *slot (at its
 * (0, 0), clipped to it; same bits per pixel), or into a new buffer when *slot is 0. Parts of the
 * block outside the source read as 0. */
TV32_API int TV32_CALL buf32GetBuf(TV32HBUF source, int32_t x, int32_t y, int32_t width, int32_t height,
                                   TV32HBUF* slot);
/* A new buffer with the same format and pixels. */
TV32_API int TV32_CALL buf32DupBuf(TV32HBUF source, TV32HBUF* slot);
/* Block at (x, y) to packed memory (rows of width * bytesPerPixel bytes); the block must lie
 * inside the buffer. */
TV32_API int TV32_CALL buf32GetMem(TV32HBUF buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                                   void* memory);
/* Like buf32GetMem; the parts outside the buffer are filled with the pixel value at background
 * (bytesPerPixel bytes; 0 means zero bytes). */
TV32_API int TV32_CALL buf32GetMemWithBC(TV32HBUF buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                                         void* memory, const void* background);
/* Packed memory into the buffer at (x, y); parts outside the buffer are left out. */
TV32_API int TV32_CALL buf32MergeMem(TV32HBUF buffer, int32_t x, int32_t y, const void* memory, int32_t width,
                                     int32_t height);
/* Copies a width x height block at (fromX, fromY) of one buffer to (toX, toY) of another of the
 * same bits per pixel, clipped to both. */
TV32_API int TV32_CALL buf32MergeBuf(TV32HBUF from, int32_t fromX, int32_t fromY, int32_t width,
                                     int32_t height, TV32HBUF to, int32_t toX, int32_t toY);
/* Every pixel set to the colour at color (1 or 3 bytes). */
TV32_API int TV32_CALL buf32FillOneColor(TV32HBUF buffer, const void* color);

/* Cell size for buffers allocated from now on (width and height of a full 24-bit cell; the
 * band height of 8-bit buffers); 0, 0 restores the starting value, which the environment
 * variable TV32_CELL_SIZE ("W" or "WxH") sets (default 128 x 128). Meant for tests. */
TV32_API int TV32_CALL buf32SetCellSize(int32_t width, int32_t height);
/* Number of buffers allocated and not yet freed in this process (-1 when it cannot be told).
 * Meant for leak tests. */
TV32_API int32_t TV32_CALL buf32CountLive(void);
/* After count more buffers have been made, making a buffer fails (as when memory is exhausted)
 * until this is called again; a negative count lifts the limit. Meant for tests of failure paths. */
TV32_API int TV32_CALL buf32FailAfter(int32_t count);

/* A copy of source scaled to size->cx x size->cy (area averaging) into *slot: a new buffer when
 * *slot is 0, else the buffer held there, which must have that size and the source's format. */
TV32_API int TV32_CALL tv32BufferResampleEx(const TV32SIZE* size, TV32HBUF source, TV32HBUF* slot,
                                            int32_t reserved, const void* palette, int32_t quality);

/* Display of pixel rows. The device context dc is a QPainter* that is active on the target; the
 * rows given to disp32ShowData (packed, bytesPerRow = image width * bytes per pixel, 8-bit rows
 * shown as grey) are collected and drawn into rect, scaled to it when the sizes differ, by
 * disp32ShowEnd, which also releases the handle. The palette is not used. */
TV32_API int TV32_CALL disp32ShowInit(DISP32H* display, void* dc, int32_t bitsPerPixel, const TV32RECT* rect,
                                      const void* palette, int32_t mode, int32_t flags);
TV32_API int TV32_CALL disp32ShowInitEx(DISP32H* display, void* dc, int32_t bitsPerPixel,
                                        const TV32RECT* rect, int32_t r1, int32_t r2, int32_t r3, int32_t r4,
                                        int32_t r5);
TV32_API int TV32_CALL disp32ShowData(DISP32H display, const void* memory, int32_t r1, int32_t r2,
                                      int32_t rows, int32_t bytesPerRow);
TV32_API int TV32_CALL disp32ShowEnd(DISP32H display);

TV32_EXTERN_C_END

#endif
