// The host protocol: the steps of one call of TalvorPlugInAction, as plain functions.
#pragma once
#include "borderfx/borderfx.h"

#include <cstdint>

namespace borderfx {

// Writes the defaults into the parameter block and textureIndex; backColor = hostColor.
// placement, the reserved words and the host's fields are left alone.
void SetDefaultParams(PlugInRecord* record);

// What is wrong with the host's part of a record, as a BFX_ERR_* code; 0 when nothing is:
// result slots, source image and opacity plane, image size, selection, result buffers handed in.
int32_t CheckHostRecord(const PlugInRecord& record);
// What is wrong with a parameter block before it is rendered (a code, or 0): widths and offsets
// below 0, a transparency outside 0 .. 100.
int32_t CheckParams(const FrameShadowParams& params);

// Output area of a selection image of the record's selection size: the canvas placed in image
// coordinates, O = (S.left - gL, S.top - gT, S.left - gL + W', S.top - gT + H'), with gL, gT
// the growth on the left and on the top. Writes placement = (0, 0, W', H'). Coordinates keep
// 32 bits; 0 when the area does not fit in them.
struct OutputArea {
    TV32RECT area;
    int32_t growLeft, growTop;
};
int ComputeOutputArea(PlugInRecord* record, TV32HBUF selectionImage, OutputArea* out);

// Copies the opacity plane of the output area (clipped to the image) into *resultAlpha and lays
// the shadow into *resultImage where it falls on transparent or partly transparent pixels
// outside the selection. output is the output area in image coordinates; *resultImage must be a
// buffer of its size. shadowMask, when not 0, is the soft-edge mask the rendering kept
// (RenderFrameAndShadowKeepingMask): it is the mask of the shadow rectangle this step needs, so
// it is used instead of building it again (only if its size is that of the shadow rectangle); it
// stays the caller's. A buffer already in *resultAlpha is written only when it is an 8-bit plane
// of the clipped area's size. Returns 1 or 0 and shows nothing; on failure *resultAlpha is as it
// was.
int ComposeOutsideAlpha(const PlugInRecord* record, const TV32RECT& output, TV32HBUF shadowMask = 0);

// Steps 10 and 11 of a call without the messages: renders selectionImage over outputImage into a
// new result image (RenderFrameAndShadow), then releases the texture library and composes the
// opacity plane into a new plane (ComposeOutsideAlpha), the shadow's soft-edge mask built once
// for both, and last delivers both through resultImage and resultAlpha (into the buffers held
// there, when there are any, which the caller has checked). Returns 1, or 0 when the rendering
// failed, or -1 when the opacity plane failed; nothing is delivered then.
int RenderAndComposeAlpha(PlugInRecord* record, TV32HBUF selectionImage, TV32HBUF outputImage,
                          const TV32RECT& output);

// Releaser of texture data objects left in textureData (tv32TextureDataFree unless a test
// replaces it); returns the previous one.
using TextureRelease = int (*)(void*);
TextureRelease SetTextureRelease(TextureRelease release);
// The texture object the library left in a record at its last call and will release at its
// next call or when it is unloaded; null when there is none.
void* PendingTexture();

} // namespace borderfx
