// TalvorPlugInAction: one call checks the host's record, runs the dialog, sizes the output area,
// renders frame and shadow around the selection, composes the opacity plane and hands both
// images to the host. The pixel loops are in render.cpp and opacity.cpp.
#include "entry.h"

#include "dialog.h"
#include "guards.h"
#include "messages.h"
#include "opacity.h"
#include "render.h"
#include "texturelib.h"

#include "imagelib/scabout.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32guard.h"
#include "imagelib/tv32qt.h"
#include "imagelib/tv32txtur.h"

#include <algorithm>
#include <cstring>

namespace borderfx {

namespace {

// Module-wide state: one call at a time on the host's user-interface thread.
struct ModuleState {
    TV32HWND parent = 0;
    PlugInRecord* record = nullptr;
    TV32RECT selection{};
    TV32RECT output{};
    // The texture data object left in the record's textureData after the last call: released
    // at the next call or when the library is unloaded, so repeated calls do not leak. Only an
    // object that the library itself put there is remembered (the defaults clear the field at
    // the start of every call, so whatever it holds at the end came from the library).
    void* pendingTexture = nullptr;
    TextureRelease releaseTexture = &tv32TextureDataFree;
};

ModuleState& state() {
    static ModuleState s;
    return s;
}

void releasePendingTexture() {
    ModuleState& s = state();
    if (s.pendingTexture && s.releaseTexture) s.releaseTexture(s.pendingTexture);
    s.pendingTexture = nullptr;
}

// The library starts the about-box library when it is loaded and releases what it still holds
// when it is unloaded.
__attribute__((constructor)) void onLoad() {
    InitAboutDll();
}

__attribute__((destructor)) void onUnload() {
    releasePendingTexture();
    ReleaseTextureLibrary();
    StoreFree(TheItemStore());
}

// Records why the call fails and gives its result, 0.
int fail(int32_t code, int32_t shownMessage = 0) {
    return RecordError(code, shownMessage);
}

// A step that ran out of memory: message 508, and the call fails.
int outOfMemory() {
    ShowError(kInsufficientMemoryId, nullptr, state().parent);
    return fail(BFX_ERR_NO_MEMORY, kInsufficientMemoryId);
}

// Rectangles in 64 bits, so that no host value or parameter can make a coordinate wrap.
struct Rect64 {
    int64_t left, top, right, bottom;
};

Rect64 wide(const TV32RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

Rect64 grown(const Rect64& r, int64_t by) {
    return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}

bool fits(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

bool narrow(const Rect64& r, TV32RECT& out) {
    if (!fits(r.left) || !fits(r.top) || !fits(r.right) || !fits(r.bottom)) return false;
    out = {int32_t(r.left), int32_t(r.top), int32_t(r.right), int32_t(r.bottom)};
    return true;
}

// The rectangles of the opacity step for the record and the output area o; false when they do
// not fit in 32 bits or nothing of o lies in the image.
bool outsideAlphaAreas(const PlugInRecord& r, const TV32RECT& o, OutsideAlphaAreas& a) {
    const FrameShadowParams& p = r.params;
    a.selection = r.selection;
    a.output = o;
    a.clip = {std::max(o.left, 0), std::max(o.top, 0), std::min(o.right, r.imageWidth),
              std::min(o.bottom, r.imageHeight)};
    if (a.clip.left >= a.clip.right || a.clip.top >= a.clip.bottom) return false;
    const Rect64 f = grown(wide(r.selection), p.frameWidth);
    const ShadowShift shift = ShadowOffset(p);
    const Rect64 d = grown(f, p.blendWidth);
    return narrow(f, a.frame) &&
           narrow({d.left + shift.dx, d.top + shift.dy, d.right + shift.dx, d.bottom + shift.dy}, a.shadow);
}

int32_t widthOf(const TV32RECT& r) {
    return r.right - r.left;
}
int32_t heightOf(const TV32RECT& r) {
    return r.bottom - r.top;
}

bool isBuffer(TV32HBUF b, int32_t bits, int32_t w, int32_t h) {
    BUF32INFO info;
    return buf32GetInfo(b, &info) && info.bitsPerPixel == bits && info.width == w && info.height == h;
}

// The opacity step into a new plane: alphaSource's values over C, then the shading of result (a
// buffer of o's size). plane receives the new plane.
int composeInto(const PlugInRecord& r, const TV32RECT& o, TV32HBUF result, OwnedBuffer& plane,
                TV32HBUF shadowMask) {
    OutsideAlphaAreas a;
    BUF32INFO info;
    if (!outsideAlphaAreas(r, o, a) || !buf32GetInfo(result, &info) || info.width != widthOf(o) ||
        info.height != heightOf(o))
        return 0;
    const FrameShadowParams& p = r.params;
    if (p.transparency < 0 || p.transparency > 100) return 0;
    if (!buf32GetBuf(r.alphaSource, a.clip.left, a.clip.top, widthOf(a.clip), heightOf(a.clip), plane.slot()))
        return 0;
    const bool frameOn = p.frameWidth > 0;
    const bool shadowOn = p.shadowOffsetX > 0 || p.shadowOffsetY > 0;
    if (!frameOn && !shadowOn) return 1; // the plane stays a plain copy

    // The soft edge of the shadow: the rendering's mask when it has D's size, else one built here;
    // without it the shadow has hard edges.
    OwnedBuffer built;
    TV32HBUF mask = 0;
    if (p.blendWidth > 0) {
        if (shadowMask && isBuffer(shadowMask, 8, widthOf(a.shadow), heightOf(a.shadow)))
            mask = shadowMask;
        else if (BuildSoftEdgeMask(built.slot(), widthOf(a.shadow), heightOf(a.shadow), p.blendWidth,
                                   nullptr))
            mask = built.get();
        else
            built.reset();
    }
    return ShadeOutsideSelection(p, a, result, plane.get(), mask);
}

// Hands a buffer the call made to the host through slot: the buffer itself when the slot is
// empty, else a copy into the buffer held there (of the same size and depth, checked before).
int deliver(OwnedBuffer& made, TV32HBUF* slot) {
    if (*slot == 0) {
        *slot = made.release();
        return 1;
    }
    BUF32INFO info;
    return buf32GetInfo(made.get(), &info) && buf32GetBuf(made.get(), 0, 0, info.width, info.height, slot);
}

// Runs the steps after the dialog; the work images are freed by their guards on every path.
int renderAndDeliver(PlugInRecord* rec) {
    ModuleState& s = state();
    if (const int32_t why = CheckParams(rec->params)) return fail(why);
    const FrameShadowParams& p = rec->params;
    if (p.frameWidth > 0 && p.frameFill == BFX_FILL_TEXTURE && !p.textureData) {
        ShowTextureMissing(s.parent);
        return fail(BFX_ERR_NO_TEXTURE, kTextureMissingId);
    }
    s.selection = rec->selection;
    const int32_t sw = widthOf(s.selection), sh = heightOf(s.selection);
    OwnedBuffer selectionImage, outputImage;
    if (!buf32Alloc(selectionImage.slot(), rec->bitsPerPixel, sw, sh, BUF32_FILL_NONE, nullptr))
        return outOfMemory();
    OutputArea out;
    if (!ComputeOutputArea(rec, selectionImage.get(), &out)) return fail(BFX_ERR_BAD_PARAMETERS);
    s.output = out.area;
    const int64_t originX = int64_t(rec->originX) - out.growLeft,
                  originY = int64_t(rec->originY) - out.growTop;
    if (!fits(originX) || !fits(originY)) return fail(BFX_ERR_BAD_RECORD);
    // Buffers the host handed in take the results only when they are of the results' size and
    // depth; otherwise nothing is written into them.
    OutsideAlphaAreas areas;
    if (!outsideAlphaAreas(*rec, out.area, areas)) return fail(BFX_ERR_BAD_PARAMETERS);
    const int32_t ow = widthOf(out.area), oh = heightOf(out.area);
    if ((*rec->resultImage && !isBuffer(*rec->resultImage, rec->bitsPerPixel, ow, oh)) ||
        (*rec->resultAlpha && !isBuffer(*rec->resultAlpha, 8, widthOf(areas.clip), heightOf(areas.clip))))
        return fail(BFX_ERR_RESULT_BUFFER);
    if (!buf32GetBuf(rec->sourceImage, out.area.left, out.area.top, ow, oh, outputImage.slot()) ||
        !buf32GetBuf(outputImage.get(), out.growLeft, out.growTop, sw, sh, selectionImage.slot()))
        return outOfMemory();
    const int32_t hostX = rec->originX, hostY = rec->originY;
    rec->originX = int32_t(originX);
    rec->originY = int32_t(originY);
    if (RenderAndComposeAlpha(rec, selectionImage.get(), outputImage.get(), out.area) != 1) {
        rec->originX = hostX;
        rec->originY = hostY;
        return outOfMemory();
    }
    return 1;
}

// One call, behind the export's fence.
int runFilter(TV32HWND parent, PlugInRecord* record) {
    c32ResetDLLErrInfo();
    releasePendingTexture();
    if (!record) return fail(BFX_ERR_BAD_RECORD);
    if (const int32_t why = CheckHostRecord(*record)) return fail(why);
    ModuleState& s = state();
    s.parent = parent;
    s.record = record;
    // Whatever the call ends with, the texture object in the record is the library's to release.
    struct CallEnd {
        PlugInRecord* record;
        ~CallEnd() {
            state().pendingTexture = record->params.textureData;
            state().record = nullptr;
            ReleaseTextureLibrary(); // nothing of the library stays loaded between calls
        }
    } end{record};
    SetDefaultParams(record);
    tv32::ensureApplication();
    if (!RunFrameShadowDialog(parent, record)) return 0; // the dialog recorded why
    return renderAndDeliver(record);
}

} // namespace

void SetDefaultParams(PlugInRecord* r) {
    FrameShadowParams& p = r->params;
    p.frameWidth = 10;
    p.shadowDirection = BFX_SHADOW_DOWN_LEFT;
    p.shadowOffsetX = 10;
    p.shadowOffsetY = 10;
    for (int32_t& side : p.frameSides)
        side = 10;
    p.frameColor = 0x00FF0000;
    p.shadowColor = 0;
    p.backColor = r->hostColor;
    p.transparency = 20;
    p.blendWidth = 10;
    p.frameFill = BFX_FILL_COLOR;
    p.textureData = nullptr;
    r->textureIndex = 1;
}

int32_t CheckHostRecord(const PlugInRecord& r) {
    if (!r.resultImage || !r.resultAlpha || r.resultImage == r.resultAlpha) return BFX_ERR_BAD_RECORD;
    if (r.bitsPerPixel != 8 && r.bitsPerPixel != 24) return BFX_ERR_IMAGE_KIND;
    BUF32INFO source, alpha;
    if (!buf32GetInfo(r.sourceImage, &source) || !buf32GetInfo(r.alphaSource, &alpha))
        return BFX_ERR_BAD_RECORD;
    if (source.bitsPerPixel != r.bitsPerPixel || alpha.bitsPerPixel != 8) return BFX_ERR_IMAGE_KIND;
    if (r.imageWidth <= 0 || r.imageHeight <= 0) return BFX_ERR_BAD_RECORD;
    const TV32RECT& s = r.selection;
    if (s.left < 0 || s.top < 0 || s.left >= s.right || s.top >= s.bottom ||
        s.right > std::min(source.width, r.imageWidth) || s.bottom > std::min(source.height, r.imageHeight))
        return BFX_ERR_NO_SELECTION;
    const TV32HBUF image = *r.resultImage, plane = *r.resultAlpha;
    if ((image && !buf32GetInfo(image, nullptr)) || (plane && !buf32GetInfo(plane, nullptr)) ||
        (image && image == plane))
        return BFX_ERR_RESULT_BUFFER;
    return 0;
}

int32_t CheckParams(const FrameShadowParams& p) {
    if (p.frameWidth < 0 || p.shadowOffsetX < 0 || p.shadowOffsetY < 0 || p.blendWidth < 0 ||
        p.transparency < 0 || p.transparency > 100)
        return BFX_ERR_BAD_PARAMETERS;
    return 0;
}

int ComputeOutputArea(PlugInRecord* r, TV32HBUF selectionImage, OutputArea* out) {
    TV32RECT image, canvas;
    if (!out || !GetImageRect(selectionImage, &r->params, &image) ||
        !GetCanvasRect(selectionImage, &r->params, &canvas))
        return 0;
    const int32_t w = canvas.right, h = canvas.bottom;
    const int64_t left = int64_t(r->selection.left) - image.left, top = int64_t(r->selection.top) - image.top;
    TV32RECT area;
    if (!narrow({left, top, left + w, top + h}, area)) return 0;
    r->params.placement = {0, 0, w, h};
    out->growLeft = image.left;
    out->growTop = image.top;
    out->area = area;
    return 1;
}

int ComposeOutsideAlpha(const PlugInRecord* r, const TV32RECT& o, TV32HBUF shadowMask) {
    if (!r || !r->resultAlpha || !r->resultImage) return 0;
    OutsideAlphaAreas a;
    if (!outsideAlphaAreas(*r, o, a)) return 0;
    if (*r->resultAlpha && !isBuffer(*r->resultAlpha, 8, widthOf(a.clip), heightOf(a.clip))) return 0;
    OwnedBuffer plane;
    return composeInto(*r, o, *r->resultImage, plane, shadowMask) && deliver(plane, r->resultAlpha);
}

int RenderAndComposeAlpha(PlugInRecord* rec, TV32HBUF selectionImage, TV32HBUF outputImage,
                          const TV32RECT& output) {
    OwnedBuffer image, plane, mask;
    if (!RenderFrameAndShadowKeepingMask(selectionImage, outputImage, &rec->params, image.slot(),
                                         mask.slot()))
        return 0;
    // The texture library loaded while the dialog was open: the next call loads it again.
    ReleaseTextureLibrary();
    if (!composeInto(*rec, output, image.get(), plane, mask.get())) return -1;
    // Both results go to the host only now that both are made.
    if (!deliver(image, rec->resultImage) || !deliver(plane, rec->resultAlpha)) return -1;
    return 1;
}

TextureRelease SetTextureRelease(TextureRelease release) {
    TextureRelease previous = state().releaseTexture;
    state().releaseTexture = release;
    return previous;
}

void* PendingTexture() {
    return state().pendingTexture;
}

} // namespace borderfx

extern "C" {

TV32_API int TV32_CALL TalvorPlugInAction(TV32HWND parent, PlugInRecord* record) {
    using namespace borderfx;
    const int result =
        tv32::guardExport(0, BFX_ERR_NO_MEMORY, BFX_ERR_FAILED, [&] { return runFilter(parent, record); });
    // Every failure says why; one that did not say it itself is an unexpected one.
    if (result == 0 && !c32GetDLLErrInfo(nullptr)) fail(BFX_ERR_FAILED);
    return result;
}

} // extern "C"
