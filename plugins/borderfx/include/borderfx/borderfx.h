/* The frame-and-shadow filter: the call record shared with the host and the library's exports.
 *
 * A host loads libborderfx and calls TalvorPlugInAction once each time the user applies the
 * filter. The record is a fixed layout of 32-bit little-endian fields: 160 bytes on 32 bits, whose
 * first 80 bytes are the parameter block. On 64 bits the pointer fields widen; the order of the
 * fields never changes. */
#ifndef BORDERFX_BORDERFX_H
#define BORDERFX_BORDERFX_H

#include "imagelib/tv32types.h"

#ifdef __cplusplus
#include <cstddef>
#else
#include <stddef.h>
#endif

/* Frame fills. */
#define BFX_FILL_COLOR 0   /* FillColor: solid frame colour */
#define BFX_FILL_TEXTURE 5 /* FillTexture: the texture in textureData */

/* Shadow directions: where the shadow falls (y grows downwards). */
#define BFX_SHADOW_UP_LEFT 0
#define BFX_SHADOW_UP_RIGHT 1
#define BFX_SHADOW_DOWN_LEFT 2
#define BFX_SHADOW_DOWN_RIGHT 3

/* The parameter block: the first 80 bytes of the record (on 32 bits). Colours are 0x00BBGGRR. */
typedef struct FrameShadowParams {
    int32_t frameWidth;      /* 0x00: frame width in pixels; the frame is on when > 0 */
    int32_t shadowDirection; /* 0x04: 0 to 3 (BFX_SHADOW_*) */
    int32_t shadowOffsetX;   /* 0x08: horizontal shadow distance */
    int32_t shadowOffsetY;   /* 0x0C: vertical shadow distance; the shadow is on when X or Y > 0 */
    int32_t frameSides[4];   /* 0x10: reserved side values (no effect on the rendering) */
    TV32RECT placement;      /* 0x20: left/top: where the image goes in the destination */
    uint32_t frameColor;     /* 0x30: colour of a solid frame */
    uint32_t shadowColor;    /* 0x34 */
    uint32_t backColor;      /* 0x38: the host's background colour */
    int32_t transparency;    /* 0x3C: shadow transparency in percent, 0 to 99 */
    int32_t blendWidth;      /* 0x40: width of the shadow's soft edge; blending is on when > 0 */
    int32_t frameFill;       /* 0x44: BFX_FILL_COLOR or BFX_FILL_TEXTURE */
    int32_t reserved48;      /* 0x48 */
    void* textureData;       /* 0x4C: texture data object of the texture library, or null */
} FrameShadowParams;

/* The call record. Buffer handles are the image library's 32-bit handles. */
typedef struct PlugInRecord {
    FrameShadowParams params; /* 0x00: written by the library (defaults, then the dialog) */
    TV32RECT selection;       /* 0x50: host: bounding rectangle of the selection, image pixels */
    TV32HBUF sourceImage;     /* 0x60: host: the whole image (24 or 8 bits) */
    int32_t reserved64;       /* 0x64 */
    TV32HBUF alphaSource;     /* 0x68: host: 8-bit opacity plane of the whole image */
    int32_t reserved6C;       /* 0x6C */
    TV32HBUF* resultImage;    /* 0x70: host: address of the handle receiving the output area */
    TV32HBUF* resultAlpha;    /* 0x74: host: address of the handle receiving its opacity plane */
    int32_t reserved78;       /* 0x78 */
    int32_t textureIndex;     /* 0x7C: index of the texture in the texture library file */
    int32_t bitsPerPixel;     /* 0x80: host: 24 (true colour) or 8 (grey) */
    int32_t originX;          /* 0x84: host; the library subtracts the growth on the left */
    int32_t originY;          /* 0x88: host; the library subtracts the growth on the top */
    int32_t imageWidth;       /* 0x8C: host: clips the opacity plane */
    int32_t imageHeight;      /* 0x90 */
    int32_t reserved94;       /* 0x94 */
    int32_t reserved98;       /* 0x98 */
    uint32_t hostColor;       /* 0x9C: host: copied into backColor at every call */
} PlugInRecord;

#if UINTPTR_MAX == 0xFFFFFFFFu
#ifdef __cplusplus
#define BFX_STATIC_ASSERT static_assert
#else
#define BFX_STATIC_ASSERT _Static_assert
#endif
BFX_STATIC_ASSERT(sizeof(FrameShadowParams) == 80, "parameter block is 80 bytes");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, shadowDirection) == 0x04, "shadowDirection");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, shadowOffsetX) == 0x08, "shadowOffsetX");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, shadowOffsetY) == 0x0C, "shadowOffsetY");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, frameSides) == 0x10, "frameSides");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, placement) == 0x20, "placement");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, frameColor) == 0x30, "frameColor");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, shadowColor) == 0x34, "shadowColor");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, backColor) == 0x38, "backColor");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, transparency) == 0x3C, "transparency");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, blendWidth) == 0x40, "blendWidth");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, frameFill) == 0x44, "frameFill");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, reserved48) == 0x48, "reserved word");
BFX_STATIC_ASSERT(offsetof(FrameShadowParams, textureData) == 0x4C, "textureData");
BFX_STATIC_ASSERT(sizeof(PlugInRecord) == 160, "record is 160 bytes");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, selection) == 0x50, "selection");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, sourceImage) == 0x60, "sourceImage");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, reserved64) == 0x64, "reserved 0x64");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, alphaSource) == 0x68, "alphaSource");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, reserved6C) == 0x6C, "reserved 0x6C");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, resultImage) == 0x70, "resultImage");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, resultAlpha) == 0x74, "resultAlpha");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, reserved78) == 0x78, "reserved 0x78");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, textureIndex) == 0x7C, "textureIndex");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, bitsPerPixel) == 0x80, "bitsPerPixel");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, originX) == 0x84, "originX");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, originY) == 0x88, "originY");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, imageWidth) == 0x8C, "imageWidth");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, imageHeight) == 0x90, "imageHeight");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, reserved94) == 0x94, "reserved 0x94");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, reserved98) == 0x98, "reserved 0x98");
BFX_STATIC_ASSERT(offsetof(PlugInRecord, hostColor) == 0x9C, "hostColor");
#undef BFX_STATIC_ASSERT
#endif

/* Value of the library's FILTEROUTSIDE resource (type FILTEROUTSIDE, id 1, language 1033). */
#define BFX_FILTEROUTSIDE_VALUE 1

/* Why a call returned 0: the error information of the image library (c32GetDLLErrInfo in
 * libtv32, which the plug-in loads; c32ResetDLLErrInfo is called at the start of every call)
 * holds (0, 0, code, detail, 0, 0) with one of these codes; detail is the id of the message the
 * library showed to the user (505, 508), 0 when it showed none. */
#define BFX_ERR_CANCELLED 5200    /* the user cancelled the dialog */
#define BFX_ERR_NO_DISPLAY 5201   /* the dialog could not be shown: no display answered */
#define BFX_ERR_BAD_RECORD 5202   /* no record or result slot, an invalid handle, a bad image size */
#define BFX_ERR_NO_SELECTION 5203 /* the selection is empty or not inside the image */
#define BFX_ERR_IMAGE_KIND 5204   /* bitsPerPixel not 24 or 8, or the buffers are not of that kind */
#define BFX_ERR_RESULT_BUFFER                                                                                \
    5205                            /* a result buffer handed in that is not of the result's size and        \
                                       depth (it is left untouched) */
#define BFX_ERR_BAD_PARAMETERS 5206 /* a parameter out of range, or a result too large to address */
#define BFX_ERR_NO_TEXTURE 5207     /* a textured frame without a texture library (message 505) */
#define BFX_ERR_NO_MEMORY 5208      /* memory ran out (message 508) */
#define BFX_ERR_FAILED 5209         /* an unexpected failure inside the library */

/* Test seam of the parameter dialog: when this environment variable is "ok" or "cancel", the
 * dialog answers so at once without showing (Cancel still restores the parameter block). */
#define BFX_DIALOG_ANSWER_VARIABLE "BORDERFX_DIALOG_ANSWER"
/* When this variable is set, the dialog is built without showing, its controls are set from
 * "name=value,..." as the user would set them (the names are those of the parameter block, plus
 * frame, shadow and blending for the three check boxes and textureIndex for a texture of the
 * texture library, taken as the library picker takes it), and OK is pressed; a bad setting
 * cancels. It takes precedence over BFX_DIALOG_ANSWER_VARIABLE. */
#define BFX_DIALOG_SET_VARIABLE "BORDERFX_DIALOG_SET"

TV32_EXTERN_C_BEGIN

/* The filter. parent: the host's window, owner of the dialog: 0 for none, a handle of a widget
 * of the calling process (tv32HandleOfWidget) or the native window id of another program's
 * window (an X11 window id). Returns 1 when the result image and its opacity plane have been
 * delivered through the record, 0 when the user cancelled or the call failed (BFX_ERR_*).
 *
 * What the record must hold: resultImage and resultAlpha, two different slots; sourceImage, a
 * buffer of bitsPerPixel (24 or 8) bits; alphaSource, an 8-bit buffer; imageWidth and
 * imageHeight above 0; a selection with left < right, top < bottom inside both the source image
 * and imageWidth x imageHeight. Where a slot holds 0, the library stores a new buffer there,
 * which belongs to the host. Where it holds a buffer, the result is copied into it, and only
 * when that buffer is of the result's size and depth (resultImage: the output area in
 * bitsPerPixel bits; resultAlpha: the output area clipped to the image, 8 bits); otherwise the
 * call fails and the buffer is left untouched. A call that fails stores nothing in the slots,
 * leaves originX and originY as they were and leaves no buffer behind. */
TV32_API int TV32_CALL TalvorPlugInAction(TV32HWND parent, PlugInRecord* record);

/* The library's string table, as the host reads it: text of id into buffer (at most size - 1
 * bytes and a zero); returns the length, 0 for an id that the table does not hold (buffer "").
 * The texts are stored exactly, "\n\r" pairs included. */
TV32_API int TV32_CALL BorderfxLoadString(int32_t id, char* buffer, int32_t size);

/* The 16-bit value of the FILTEROUTSIDE resource: BFX_FILTEROUTSIDE_VALUE. */
TV32_API int32_t TV32_CALL BorderfxFilterOutside(void);

TV32_EXTERN_C_END

#endif
