/* Variation grid: a 3 x 3 grid of pictures shown in a window, each cell clickable.
 *
 * The grid tells its owner through the cell callback proc(grid, event, cell, data):
 *   22  where cell `cell` is drawn: data is a TV32VARCELLINFO (what = 4, the cell's rectangle
 *       in the window's coordinates, right and bottom exclusive); sent for every cell when the
 *       grid is created and whenever its window changes size
 *   11  cell `cell` was clicked (data null)
 * The grid handle also takes tv32IIOAction commands 9 (select: {1, address of the cell}),
 * 12 with 0 (take it out of its window), 24 (number of cells: 9) and tv32DestroyIIO. */
#ifndef IMAGELIB_TV32VARGRID_H
#define IMAGELIB_TV32VARGRID_H

#include "imagelib/tv32clips.h"
#include "imagelib/tv32types.h"

typedef struct TV32VARCELLINFO {
    int32_t reserved0, reserved1;
    int32_t what;                     /* 8: 4, the cell rectangle */
    int32_t left, top, right, bottom; /* 12..27 */
} TV32VARCELLINFO;

#define TV32_VAR_CELL_RECT 22
#define TV32_VAR_CELL_CLICK 11

TV32_EXTERN_C_BEGIN

/* Cell size of a columns x rows grid in window: the client size divided among the cells, each
 * side at most maxSide. mode is 1. Returns 1, or 0 for a window that is not known. */
TV32_API int TV32_CALL tv32IIOGetWH(TV32HWND window, int32_t mode, int32_t columns, int32_t rows,
                                    int32_t* width, int32_t* height, int32_t maxSide);

/* A grid over the nine pictures (24-bit buffers; palettes are not used and may be null) shown in
 * window, each cell cellWidth x cellHeight; the pictures stay the caller's. Returns the grid or
 * null. */
TV32_API void* TV32_CALL tv32VarCreateIIO(TV32HWND window, TV32HBUF* pictures, void** palettes,
                                          int32_t cellWidth, int32_t cellHeight, TV32IIOPROC callback);

/* Shows nine new pictures (the caller's; the grid keeps copies of their pixels). Returns 1, or 0
 * for a handle that is not a grid. */
TV32_API int TV32_CALL tv32VarSetII(void* grid, TV32HBUF* pictures, void** palettes);

TV32_EXTERN_C_END

#ifdef __cplusplus
class QWidget;
namespace tv32 {
/* The grid commands of tv32IIOAction and tv32DestroyIIO: true when handle is a variation grid
 * (the result in *result), false when the handle is something else. */
TV32_API bool varGridAction(void* handle, int32_t command, int32_t value, void* data, int32_t* result);
TV32_API bool varGridDestroy(void* handle);
/* The widget a grid draws in (for tests), or null. */
TV32_API QWidget* varGridWidget(void* handle);
} // namespace tv32
#endif

#endif
