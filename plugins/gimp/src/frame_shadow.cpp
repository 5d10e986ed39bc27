// halcyon-frame-shadow: the frame-and-shadow filter (libborderfx) as a GIMP 2.10 plug-in,
// "Filters > Decor > Frame and Shadow...". The layer's pixels, its alpha and the selection's
// bounding box go to the filter; its result becomes a new layer "Frame and shadow" above the
// layer, the canvas growing when the result reaches past it, all in one undo step.
#include "adapter.h"
#include "framelayer.h"

#include "borderfx/borderfx.h"
#include "imagelib/tv32base.h"
#include "imagelib/tv32comm.h"

#include <climits>
#include <cstdlib>

using namespace gimpadapter;

namespace {

constexpr char kProcedure[] = "plug-in-halcyon-frame-shadow";
constexpr char kLayerName[] = "Frame and shadow";

const GimpParamDef kArgs[] = {
    {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"),
     const_cast<gchar*>(
         "The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), RUN-WITH-LAST-VALS (2) }")},
    {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
    {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Input layer")},
    {GIMP_PDB_INT32, const_cast<gchar*>("frame"),
     const_cast<gchar*>("Draw the frame { FALSE (0), TRUE (1) }")},
    {GIMP_PDB_INT32, const_cast<gchar*>("frame-width"),
     const_cast<gchar*>("Frame width in pixels, at most the selection's largest distance from a layer edge")},
    {GIMP_PDB_COLOR, const_cast<gchar*>("frame-color"), const_cast<gchar*>("Colour of a solid frame")},
    {GIMP_PDB_INT32, const_cast<gchar*>("frame-fill"),
     const_cast<gchar*>("Fill of the frame { COLOR (0), TEXTURE (1) }")},
    {GIMP_PDB_INT32, const_cast<gchar*>("texture-index"),
     const_cast<gchar*>("Texture of a textured frame: its number in the texture library, from 1")},
    {GIMP_PDB_INT32, const_cast<gchar*>("shadow"),
     const_cast<gchar*>("Cast the shadow { FALSE (0), TRUE (1) }")},
    {GIMP_PDB_INT32, const_cast<gchar*>("shadow-direction"),
     const_cast<gchar*>(
         "Where the shadow falls { UP-LEFT (0), UP-RIGHT (1), DOWN-LEFT (2), DOWN-RIGHT (3) }")},
    {GIMP_PDB_INT32, const_cast<gchar*>("shadow-offset-x"),
     const_cast<gchar*>("Horizontal shadow distance in pixels")},
    {GIMP_PDB_INT32, const_cast<gchar*>("shadow-offset-y"),
     const_cast<gchar*>("Vertical shadow distance in pixels")},
    {GIMP_PDB_COLOR, const_cast<gchar*>("shadow-color"), const_cast<gchar*>("Colour of the shadow")},
    {GIMP_PDB_INT32, const_cast<gchar*>("transparency"),
     const_cast<gchar*>("Shadow transparency in percent (0 - 99)")},
    {GIMP_PDB_INT32, const_cast<gchar*>("blending"),
     const_cast<gchar*>("Soften the shadow's edge { FALSE (0), TRUE (1) }")},
    {GIMP_PDB_INT32, const_cast<gchar*>("blend-width"),
     const_cast<gchar*>("Width of the shadow's soft edge in pixels (0 - 150)")},
};
constexpr int kArgCount = int(sizeof kArgs / sizeof kArgs[0]);
const GimpParamDef kReturns[] = {
    {GIMP_PDB_LAYER, const_cast<gchar*>("layer"), const_cast<gchar*>("The new layer \"Frame and shadow\"")},
};

void query() {
    gimp_install_procedure(
        kProcedure, "Draw a frame and a soft drop shadow around the selection",
        "Frames the selection's bounding box (the whole layer without a selection) with a solid colour or a "
        "texture and casts a soft drop shadow. The result goes to a new layer \"Frame and shadow\" above "
        "the layer; the canvas grows when frame or shadow reach past it. The frame width and the shadow "
        "offsets are limited by the distance between the selection and the layer's edges, as in the "
        "dialog. Non-interactive runs take every setting of the dialog as arguments.",
        "Halcyon distribution kit", "Halcyon distribution kit", "2024", "_Frame and Shadow...", "RGB*, GRAY*",
        GIMP_PLUGIN, kArgCount, 1, kArgs, kReturns);
    gimp_plugin_menu_register(kProcedure, "<Image>/Filters/Decor");
}

uint32_t colorOf(const GimpRGB& rgb) {
    guchar r = 0, g = 0, b = 0;
    gimp_rgb_get_uchar(&rgb, &r, &g, &b);
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

FrameShadowSettings settingsOf(const GimpParam* p) {
    FrameShadowSettings s;
    s.frame = p[3].data.d_int32;
    s.frameWidth = p[4].data.d_int32;
    s.frameColor = colorOf(p[5].data.d_color);
    s.frameFill = p[6].data.d_int32;
    s.textureIndex = p[7].data.d_int32;
    s.shadow = p[8].data.d_int32;
    s.shadowDirection = p[9].data.d_int32;
    s.shadowOffsetX = p[10].data.d_int32;
    s.shadowOffsetY = p[11].data.d_int32;
    s.shadowColor = colorOf(p[12].data.d_color);
    s.transparency = p[13].data.d_int32;
    s.blending = p[14].data.d_int32;
    s.blendWidth = p[15].data.d_int32;
    return s;
}

// The image buffers of one call, freed when it ends.
struct Buffers {
    TV32HBUF source = 0, alpha = 0, result = 0, resultAlpha = 0;
    Buffers() = default;
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;
    ~Buffers() {
        for (TV32HBUF h : {source, alpha, result, resultAlpha})
            if (h) buf32Free(h);
    }
};

// The pixels of a part of the layer into an image buffer (24 or 8 bits) and its opacity plane
// (255 without alpha).
bool readLayer(gint32 drawable, const Rect& part, bool grey, Buffers& b) {
    const int32_t width = int32_t(part.width()), height = int32_t(part.height());
    const int bpp = gimp_drawable_bpp(drawable);
    const int channels = grey ? 1 : 3;
    if (bpp != channels && bpp != channels + 1) return false;
    if (!buf32Alloc(&b.source, channels * 8, width, height, BUF32_FILL_NONE, nullptr) ||
        !buf32Alloc(&b.alpha, 8, width, height, BUF32_FILL_NONE, nullptr))
        return false;
    if (!buf32Lock(b.alpha, BUF32_LOCK_WRITE, nullptr)) return false;
    uint8_t* plane = buf32PointAddr(b.alpha, 0, 0);
    std::vector<uint8_t> colour;
    const bool ok =
        plane && ReadDrawable(drawable, int32_t(part.left), int32_t(part.top), width, height,
                              [&](int32_t y, int32_t rows, const uint8_t* px) {
                                  const std::size_t n = std::size_t(width) * std::size_t(rows);
                                  uint8_t* a = plane + std::size_t(y) * std::size_t(width);
                                  if (bpp == channels) {
                                      std::memset(a, 255, n);
                                      return buf32MergeMem(b.source, 0, y, px, width, rows) != 0;
                                  }
                                  colour.resize(n * std::size_t(channels));
                                  for (std::size_t i = 0; i < n; ++i) {
                                      std::memcpy(&colour[i * channels], px + i * std::size_t(bpp),
                                                  std::size_t(channels));
                                      a[i] = px[i * std::size_t(bpp) + std::size_t(channels)];
                                  }
                                  return buf32MergeMem(b.source, 0, y, colour.data(), width, rows) != 0;
                              });
    buf32Unlock(b.alpha);
    return ok;
}

// The reason the filter gave on standard error for refusing the settings, if any.
std::string refusal(const std::string& err) {
    const std::string tag = "borderfx: ";
    const std::size_t at = err.rfind(tag);
    if (at == std::string::npos) return {};
    std::string why = err.substr(at + tag.size());
    if (const std::size_t end = why.find('\n'); end != std::string::npos) why.resize(end);
    return why;
}

void run(const gchar*, gint nparams, const GimpParam* param, gint* nreturn, GimpParam** values) {
    static Reply reply;
    reply = Reply();
    reply.hand(nreturn, values);
    auto finish = [&] { reply.hand(nreturn, values); };

    const auto mode = GimpRunMode(nparams > 0 ? param[0].data.d_int32 : -1);
    if (nparams < 3 || (mode != GIMP_RUN_INTERACTIVE && mode != GIMP_RUN_NONINTERACTIVE &&
                        mode != GIMP_RUN_WITH_LAST_VALS)) {
        reply.fail(GIMP_PDB_CALLING_ERROR, "Frame and Shadow needs a run mode, an image and a layer.");
        return finish();
    }
    FrameShadowSettings settings;
    if (mode == GIMP_RUN_NONINTERACTIVE) {
        if (nparams != kArgCount) {
            reply.fail(GIMP_PDB_CALLING_ERROR,
                       "Frame and Shadow takes " + std::to_string(kArgCount) + " arguments.");
            return finish();
        }
        settings = settingsOf(param);
        if (const std::string bad = CheckSettings(settings); !bad.empty()) {
            reply.fail(GIMP_PDB_CALLING_ERROR, "Frame and Shadow: " + bad + ".");
            return finish();
        }
    } else if (mode == GIMP_RUN_WITH_LAST_VALS) {
        LoadStored(kProcedure, &settings);
        if (!CheckSettings(settings).empty()) settings = FrameShadowSettings{};
    }

    if (const std::string why = NoDialogHere(mode, "Frame and Shadow"); !why.empty()) {
        reply.fail(GIMP_PDB_EXECUTION_ERROR, why);
        return finish();
    }
    const gint32 drawable = param[2].data.d_drawable;
    if (!gimp_item_is_valid(drawable)) {
        reply.fail(GIMP_PDB_CALLING_ERROR, "Frame and Shadow was given no valid layer.");
        return finish();
    }
    const gint32 image = gimp_item_get_image(drawable);
    // GIMP shows the message of a refusal, to the user of an interactive run too; the image stays
    // as it was. Where GIMP has words of its own for a case, they are used.
    auto refuse = [&](const std::string& message) {
        reply.fail(GIMP_PDB_EXECUTION_ERROR, message);
        finish();
    };
    if (gimp_item_is_group(drawable)) return refuse("Cannot modify the pixels of layer groups.");
    if (!gimp_item_is_layer(drawable))
        return refuse(
            "Frame and Shadow works on layers. Select a layer instead of a channel or a layer mask.");
    if (gimp_layer_is_floating_sel(drawable) || gimp_image_get_floating_sel(image) != -1)
        return refuse(
            "Frame and Shadow cannot work while a floating selection exists. Anchor it or make it a "
            "new layer first.");
    if (gimp_drawable_is_indexed(drawable))
        return refuse("Frame and Shadow works on RGB and grayscale images only. Convert the image with "
                      "Image > Mode first.");
    gint sx = 0, sy = 0, sw = 0, sh = 0;
    if (!gimp_drawable_mask_intersect(drawable, &sx, &sy, &sw, &sh) || sw <= 0 || sh <= 0)
        return refuse("The selection does not intersect with the layer.");
    const int32_t width = gimp_drawable_width(drawable), height = gimp_drawable_height(drawable);
    const bool grey = gimp_drawable_is_gray(drawable);
    // The dialog shows the whole layer; a run without it needs only the part the filter reaches.
    const Rect selection{sx, sy, int64_t(sx) + sw, int64_t(sy) + sh};
    const Rect part = mode == GIMP_RUN_INTERACTIVE ? Rect{0, 0, width, height}
                                                   : ReachOf(selection, settings, width, height);
    if (part.width() * part.height() * (grey ? 1 : 3) > INT_MAX)
        return refuse("Frame and Shadow cannot hold a layer of " + std::to_string(width) + " x " +
                      std::to_string(height) + " pixels in memory.");

    gimp_progress_init("Frame and shadow");
    Buffers b;
    if (!readLayer(drawable, part, grey, b))
        return refuse("Not enough memory to read the layer of " + std::to_string(width) + " x " +
                      std::to_string(height) + " pixels.");

    // The record's picture is the part read: its coordinates start at the part's corner.
    PlugInRecord rec;
    std::memset(&rec, 0, sizeof rec);
    rec.selection = {int32_t(selection.left - part.left), int32_t(selection.top - part.top),
                     int32_t(selection.right - part.left), int32_t(selection.bottom - part.top)};
    rec.sourceImage = b.source;
    rec.alphaSource = b.alpha;
    rec.resultImage = &b.result;
    rec.resultAlpha = &b.resultAlpha;
    rec.bitsPerPixel = grey ? 8 : 24;
    rec.imageWidth = int32_t(part.width());
    rec.imageHeight = int32_t(part.height());
    GimpRGB foreground;
    gimp_context_get_foreground(&foreground);
    rec.hostColor = colorOf(foreground);

    ChooseQtPlatform(mode == GIMP_RUN_INTERACTIVE);
    unsetenv(BFX_DIALOG_ANSWER_VARIABLE);
    if (mode == GIMP_RUN_INTERACTIVE)
        unsetenv(BFX_DIALOG_SET_VARIABLE);
    else
        setenv(BFX_DIALOG_SET_VARIABLE, SettingsList(settings).c_str(), 1);
    c32ResetDLLErrInfo();
    int result = 0;
    std::string refused;
    BoxCollector boxes(mode == GIMP_RUN_INTERACTIVE);
    if (mode == GIMP_RUN_INTERACTIVE) {
        result = TalvorPlugInAction(HostWindow(mode), &rec);
    } else {
        refused = refusal(KeepingStandardError([&] { result = TalvorPlugInAction(0, &rec); }));
    }
    unsetenv(BFX_DIALOG_SET_VARIABLE);
    if (result != 1) {
        int32_t info[6] = {};
        const bool cancelled = c32GetDLLErrInfo(info) && info[2] == 5200;
        if (mode == GIMP_RUN_INTERACTIVE && cancelled)
            reply.cancel();
        else if (!refused.empty())
            reply.fail(GIMP_PDB_EXECUTION_ERROR, "Frame and Shadow refused the settings: " + refused + ".");
        else if (mode == GIMP_RUN_INTERACTIVE && boxes.any())
            reply.fail(GIMP_PDB_EXECUTION_ERROR, {}); // the user has read the filter's own message
        else
            reply.fail(GIMP_PDB_EXECUTION_ERROR,
                       boxes.text("Frame and Shadow ended without a result for this selection."));
        return finish();
    }
    gimp_progress_update(0.5);

    int32_t ow = 0, oh = 0;
    buf32GetWHU(b.result, &ow, &oh, 0);
    const Rect output{int64_t(rec.selection.left) + rec.originX, int64_t(rec.selection.top) + rec.originY,
                      int64_t(rec.selection.left) + rec.originX + ow,
                      int64_t(rec.selection.top) + rec.originY + oh};
    LayerAssembler pixels;
    std::string error;
    if (!pixels.start(rec, b.result, b.resultAlpha, output, &error))
        return refuse("Frame and Shadow: " + error + ".");

    gint ox = 0, oy = 0;
    gimp_drawable_offsets(drawable, &ox, &oy);
    const Rect inImage{output.left + part.left + ox, output.top + part.top + oy,
                       output.right + part.left + ox, output.bottom + part.top + oy};
    const Placement place = PlaceLayer(inImage, gimp_image_width(image), gimp_image_height(image));
    if (place.canvasWidth > GIMP_MAX_IMAGE_SIZE || place.canvasHeight > GIMP_MAX_IMAGE_SIZE)
        return refuse("Frame and shadow would make the image larger than GIMP allows.");

    // The layer goes in at its place on the present canvas; growing the canvas then moves it with
    // everything else. Whatever fails takes back what was done before it.
    const gint32 layer =
        gimp_layer_new(image, kLayerName, pixels.width(), pixels.height(),
                       grey ? GIMP_GRAYA_IMAGE : GIMP_RGBA_IMAGE, 100.0, GIMP_LAYER_MODE_NORMAL);
    if (layer <= 0) return refuse("Frame and Shadow could not make its layer.");
    gimp_image_undo_group_start(image);
    gimp_layer_set_offsets(layer, gint(inImage.left), gint(inImage.top));
    bool placed = gimp_image_insert_layer(image, layer, gimp_item_get_parent(drawable),
                                          gimp_image_get_item_position(image, drawable));
    if (!placed) {
        gimp_item_delete(layer);
    } else {
        placed =
            WriteDrawable(layer, pixels.width(), pixels.height(),
                          [&](int32_t y, int32_t rows, uint8_t* out) { return pixels.rows(y, rows, out); });
        if (!placed) {
            gimp_image_remove_layer(image, layer);
        } else if (place.grows && !gimp_image_resize(image, gint(place.canvasWidth), gint(place.canvasHeight),
                                                     gint(place.shiftX), gint(place.shiftY))) {
            gimp_image_remove_layer(image, layer);
            placed = false;
        }
    }
    gimp_image_undo_group_end(image);
    if (!placed) return refuse("Frame and Shadow could not add its layer to the image.");

    Store(kProcedure, mode == GIMP_RUN_INTERACTIVE ? SettingsFromRecord(rec) : settings);
    gimp_progress_update(1.0);
    if (mode == GIMP_RUN_INTERACTIVE) gimp_displays_flush();
    reply.succeed();
    reply.addLayer(layer);
    finish();
}

const GimpPlugInInfo kInfo = {nullptr, nullptr, query, run};

} // namespace

int main(int argc, char** argv) {
    return gimp_main(&kInfo, argc, argv);
}
