/* The image-map tag library: turns a selection mask into one area of an HTML image map and puts
 * the text on the clipboard. */
#ifndef HOTMAP_HOTMAP_H
#define HOTMAP_HOTMAP_H

#include "imagelib/tv32types.h"

#ifdef __cplusplus
#include <cstddef>
#else
#include <stddef.h>
#endif

/* Shapes. */
#define HM_SHAPE_CIRCLE 0
#define HM_SHAPE_RECT 1
#define HM_SHAPE_POLY 2

/* Formats of the entry. */
#define HM_FORMAT_INLINE 0 /* AREA element of a client-side map */
#define HM_FORMAT_NCSA 1   /* line of an NCSA server-side map */
#define HM_FORMAT_CERN 2   /* line of a CERN server-side map */

#define HM_TITLE_SIZE 80 /* title field: 79 characters and the zero */
#define HM_URL_SIZE 260  /* URL buffers: 259 characters and the zero */
#define HM_MIN_TEXT 60   /* smallest template buffer for rectangles and circles */

/* The request shared by the two exports and the dialog: 124 bytes on 32 bits, 32-bit fields
 * (pointers widen on 64 bits; the order stays). */
typedef struct ImageMapRequest {
    char* text;                /*   0: template buffer, from the C heap (malloc); grown with realloc */
    int32_t textSize;          /*   4: its size in bytes */
    int32_t shape;             /*   8: out: HM_SHAPE_* */
    int32_t format;            /*  12: HM_FORMAT_* */
    TV32HBUF mask;             /*  16: 8-bit mask buffer; a byte above 128 is selected */
    int32_t* offset;           /*  20: x, y of the mask's top-left pixel in the image */
    char title[HM_TITLE_SIZE]; /* 24: zero-terminated dialog title */
    char* url;                 /* 104: caller's URL buffer of HM_URL_SIZE bytes */
    int32_t shapeParams[4];    /* 108: out: left, top, right, bottom (offset applied), or for a
                                        circle centre x, centre y, radius, unused */
} ImageMapRequest;

#if UINTPTR_MAX == 0xFFFFFFFFu
#ifdef __cplusplus
static_assert(sizeof(ImageMapRequest) == 124, "request is 124 bytes");
static_assert(offsetof(ImageMapRequest, mask) == 16, "mask at 16");
static_assert(offsetof(ImageMapRequest, offset) == 20, "offset at 20");
static_assert(offsetof(ImageMapRequest, title) == 24, "title at 24");
static_assert(offsetof(ImageMapRequest, url) == 104, "URL at 104");
static_assert(offsetof(ImageMapRequest, shapeParams) == 108, "shape parameters at 108");
#else
_Static_assert(sizeof(ImageMapRequest) == 124, "request is 124 bytes");
_Static_assert(offsetof(ImageMapRequest, title) == 24, "title at 24");
_Static_assert(offsetof(ImageMapRequest, url) == 104, "URL at 104");
_Static_assert(offsetof(ImageMapRequest, shapeParams) == 108, "shape parameters at 108");
#endif
#endif

/* Why a call returned 0: the error information of the image library (c32GetDLLErrInfo in
 * libtv32, which the library loads; c32ResetDLLErrInfo is called at the start of every call)
 * holds (0, 0, code, 0, 0, 0) with one of these codes. */
#define HM_ERR_CANCELLED 5300        /* the user closed the dialog with Cancel */
#define HM_ERR_NO_DISPLAY 5301       /* no display answered (the clipboard and the dialog need one) */
#define HM_ERR_BAD_ARGUMENT 5302     /* a missing or invalid argument or request field */
#define HM_ERR_NOTHING_SELECTED 5303 /* no byte of the mask is above 128 */
#define HM_ERR_NO_MEMORY 5304        /* memory ran out, or the mask is too large to address */
#define HM_ERR_CLIPBOARD 5305        /* the clipboard did not take the text */
#define HM_ERR_FAILED 5306           /* an unexpected failure inside the library */
#define HM_ERR_CAPS_TOO_SMALL 5307   /* whole map: no region with its holes fits the caps */

/* Maps of a whole selection (hmGenImageMapFromAPSBuf). */
#define HM_MAP_DEFAULT_AREAS 256    /* areas written, those of holes included */
#define HM_MAP_DEFAULT_POINTS 10000 /* coordinate pairs written over all areas */
#define HM_MAP_MAX_AREAS 65536      /* larger caps are taken as these */
#define HM_MAP_MAX_POINTS 4000000

/* Results of hmGenImageMapFromAPSBuf. */
#define HM_MAP_FAILED 0   /* nothing delivered: the summary's status says why */
#define HM_MAP_COMPLETE 1 /* the whole selection is on the clipboard */
#define HM_MAP_CAPPED 2   /* delivered, but the caps left areas out or simplified one further */

/* Status in the summary. */
#define HM_STATUS_OK 0
#define HM_STATUS_NOTHING_SELECTED 1 /* no mask byte above 128 */
#define HM_STATUS_BAD_ARGUMENT 2     /* size, row distance or format */
#define HM_STATUS_OUT_OF_RANGE 3     /* offset + size past 32-bit coordinates */
#define HM_STATUS_NO_MEMORY 4
#define HM_STATUS_NO_CLIPBOARD 5   /* the clipboard did not take the text, or no display answered */
#define HM_STATUS_FAILED 6         /* anything else */
#define HM_STATUS_CAPS_TOO_SMALL 7 /* not even one region with its holes fits the caps */

/* What hmGenImageMapFromAPSBuf found and wrote; 44 bytes of 32-bit fields. */
typedef struct ImageMapSummary {
    int32_t status;    /* HM_STATUS_* */
    int32_t regions;   /* 8-connected regions of selected pixels */
    int32_t holes;     /* holes in them: unselected patches they enclose */
    int32_t areas;     /* areas written, those of holes included */
    int32_t points;    /* coordinate pairs written */
    int32_t capped;    /* nonzero when the result is HM_MAP_CAPPED */
    int32_t bounds[4]; /* the selection's left, top, right, bottom in pixel corners (right and
                          bottom one past the last pixel), offset applied */
    int32_t textBytes; /* length of the text put on the clipboard */
} ImageMapSummary;

#ifdef __cplusplus
static_assert(sizeof(ImageMapSummary) == 44, "summary is 44 bytes");
#else
_Static_assert(sizeof(ImageMapSummary) == 44, "summary is 44 bytes");
#endif

TV32_EXTERN_C_BEGIN

/* Mask bytes (rows top to bottom, rowBytes apart; 0: the whole width x height is selected) to
 * a map entry on the clipboard. parent: the host's window (0, a widget handle of this process or
 * another program's native window id, as for the frame filter). width and height above 0; with
 * a mask, rowBytes at least width in size (negative for rows stored bottom to top from mask);
 * offset: x, y, or 0 for (0, 0); title: at most 79 bytes are read; url: HM_URL_SIZE bytes or 0;
 * format: 0, 1 or 2, or 0 for inline (written back on success). Returns 1 when the text was
 * delivered, else 0 (HM_ERR_*). */
TV32_API int TV32_CALL hmGenImageTagFromAPSBuf(TV32HWND parent, const uint8_t* mask, int32_t width,
                                               int32_t height, int32_t rowBytes, const int32_t* offset,
                                               const char* title, char* url, int32_t* format,
                                               int32_t noDialog);

/* The request's mask to a map entry on the clipboard; without the dialog when noDialog is
 * nonzero. The request's text is a buffer from the C heap of textSize bytes (the library may
 * enlarge it with realloc), its mask an 8-bit buffer of the image library, its format 0 to 2.
 * Returns 1 when the text was delivered, else 0 (HM_ERR_*). */
TV32_API int TV32_CALL hmGetImageTagFromAikBuf(TV32HWND parent, ImageMapRequest* request, int32_t noDialog);

/* Mask bytes (as for hmGenImageTagFromAPSBuf; rowBytes may be negative for rows stored bottom-up)
 * to a map of the whole selection on the clipboard, without a dialog: one entry a line, one per
 * 8-connected region, larger regions first (a region lying in another's hole comes before that
 * hole), with outlines along pixel edges, so coordinates are pixel corners: the areas cover
 * exactly the selected pixels. In the inline format every hole is an area without a link, ahead
 * of the area around it; NCSA and CERN maps have no holes and leave them out. url: up to
 * HM_URL_SIZE - 1 bytes, escaped for the format. maxAreas, maxPoints: caps on the areas and on
 * the coordinate pairs written (0 or less: the defaults); they keep or leave out a region together
 * with the areas of all its holes, and a region simplified to fit them reaches no pixel that is
 * not its own (it may lose some). Caps above HM_MAP_MAX_* are taken as those. summary may be null. Returns
 * HM_MAP_COMPLETE, HM_MAP_CAPPED or HM_MAP_FAILED (the summary's status and the error information, HM_ERR_*,
 * say why). */
TV32_API int TV32_CALL hmGenImageMapFromAPSBuf(TV32HWND parent, const uint8_t* mask, int32_t width,
                                               int32_t height, int32_t rowBytes, const int32_t* offset,
                                               const char* url, int32_t format, int32_t maxAreas,
                                               int32_t maxPoints, ImageMapSummary* summary);

TV32_EXTERN_C_END

#endif
