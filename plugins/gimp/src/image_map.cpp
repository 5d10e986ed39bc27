// halcyon-image-map: the image-map tag generator (libhotmap) as a GIMP 2.10 plug-in,
// "Filters > Web > Image Map from Selection...". The selection's mask goes to the library, which
// describes its first region as an HTML image-map area (inline AREA element, NCSA or CERN map
// line) and puts the entry on the clipboard; the procedure returns the entry too. The copied text
// stays pasteable after the plug-in ends (see clipboard.h).
#include "adapter.h"
#include "clipboard.h"
#include "imagemap.h"

#include <QGuiApplication>

#include <climits>
#include <cstring>

using namespace gimpadapter;

namespace {

constexpr char kProcedure[] = "plug-in-halcyon-image-map";
constexpr char kTitle[] = "Image Map from Selection";

const GimpParamDef kArgs[] = {
    {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"),
     const_cast<gchar*>(
         "The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), RUN-WITH-LAST-VALS (2) }")},
    {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
    {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Input drawable (unused)")},
    {GIMP_PDB_INT32, const_cast<gchar*>("format"),
     const_cast<gchar*>("Format of the entry { INLINE-AREA (0), NCSA (1), CERN (2) }")},
    {GIMP_PDB_STRING, const_cast<gchar*>("url"),
     const_cast<gchar*>("URL to activate when the area is clicked, at most 259 bytes")},
};
constexpr int kArgCount = int(sizeof kArgs / sizeof kArgs[0]);
const GimpParamDef kReturns[] = {
    {GIMP_PDB_STRING, const_cast<gchar*>("entry"),
     const_cast<gchar*>("The image-map entry, as put on the clipboard")},
};

void query() {
    gimp_install_procedure(
        kProcedure, "Describe the selection as an HTML image-map area",
        "Traces the selection (pixels selected by more than half), classifies it as a rectangle, a circle or "
        "a "
        "polygon and writes one image-map entry with the URL: an AREA element for a client-side map, or a "
        "line of an NCSA or CERN server-side map. The entry goes to the clipboard and stays pasteable after "
        "the plug-in ends; it is also returned. Only the first region (in reading order) of a selection "
        "made of several is described.",
        "Halcyon distribution kit", "Halcyon distribution kit", "2024", "_Image Map from Selection...", "*",
        GIMP_PLUGIN, kArgCount, 1, kArgs, kReturns);
    gimp_plugin_menu_register(kProcedure, "<Image>/Filters/Web");
}

// The selection inside its bounding box; false with a message when there is none to describe.
bool readSelection(gint32 image, SelectionMask* mask, std::string* why) {
    gboolean nonEmpty = FALSE;
    gint x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (!gimp_selection_bounds(image, &nonEmpty, &x1, &y1, &x2, &y2) || !nonEmpty || x2 <= x1 || y2 <= y1) {
        *why = "There is no selection to make an image map area from.";
        return false;
    }
    const int64_t size = int64_t(x2 - x1) * (y2 - y1);
    if (size > INT_MAX) {
        *why = "The selection is too large for an image map area (" + std::to_string(x2 - x1) + " x " +
               std::to_string(y2 - y1) + " pixels).";
        return false;
    }
    mask->left = x1;
    mask->top = y1;
    mask->width = x2 - x1;
    mask->height = y2 - y1;
    // The mask in its own precision (the plug-in asked for it): linear coverage, which 8-bit
    // pixel regions would hand over gamma-encoded.
    const gint32 selection = gimp_image_get_selection(image);
    MaskComponent component;
    if (!MaskComponentOf(int(gimp_image_get_precision(image)), &component) ||
        gimp_drawable_bpp(selection) != ComponentBytes(component)) {
        *why = "The selection is stored in a way Image Map from Selection does not know.";
        return false;
    }
    try {
        mask->bytes.assign(std::size_t(size), 0);
    } catch (const std::bad_alloc&) {
        *why = "Not enough memory to read the selection.";
        return false;
    }
    if (!ReadDrawable(selection, x1, y1, mask->width, mask->height,
                      [&](int32_t y, int32_t rows, const uint8_t* px) {
                          MaskToBytes(px, std::size_t(rows) * std::size_t(mask->width), component,
                                      mask->bytes.data() + std::size_t(y) * std::size_t(mask->width));
                          return true;
                      })) {
        *why = "The selection could not be read.";
        return false;
    }
    if (!HasSelectedPixel(*mask)) {
        *why = "The selection has no pixel selected by more than half; there is no area to describe.";
        return false;
    }
    return true;
}

void run(const gchar*, gint nparams, const GimpParam* param, gint* nreturn, GimpParam** values) {
    static Reply reply;
    reply = Reply();
    auto finish = [&] { reply.hand(nreturn, values); };

    const auto mode = GimpRunMode(nparams > 0 ? param[0].data.d_int32 : -1);
    if (nparams < 2 || (mode != GIMP_RUN_INTERACTIVE && mode != GIMP_RUN_NONINTERACTIVE &&
                        mode != GIMP_RUN_WITH_LAST_VALS)) {
        reply.fail(GIMP_PDB_CALLING_ERROR, "Image Map from Selection needs a run mode and an image.");
        return finish();
    }
    gimp_plugin_enable_precision();
    MapRequest request;
    request.title = kTitle;
    if (mode == GIMP_RUN_NONINTERACTIVE) {
        if (nparams != kArgCount) {
            reply.fail(GIMP_PDB_CALLING_ERROR,
                       "Image Map from Selection takes " + std::to_string(kArgCount) + " arguments.");
            return finish();
        }
        const int32_t format = param[3].data.d_int32;
        const char* url = param[4].data.d_string ? param[4].data.d_string : "";
        if (format < HM_FORMAT_INLINE || format > HM_FORMAT_CERN) {
            reply.fail(GIMP_PDB_CALLING_ERROR, "Image Map from Selection: format must be 0 (inline AREA "
                                               "element), 1 (NCSA) or 2 (CERN).");
            return finish();
        }
        if (std::strlen(url) >= HM_URL_SIZE) {
            reply.fail(GIMP_PDB_CALLING_ERROR, "Image Map from Selection: the URL is longer than " +
                                                   std::to_string(HM_URL_SIZE - 1) + " bytes.");
            return finish();
        }
        request.settings.format = format;
        std::strncpy(request.settings.url, url, HM_URL_SIZE - 1);
    } else {
        LoadStored(kProcedure, &request.settings);
        request.settings.url[HM_URL_SIZE - 1] = 0;
        if (request.settings.format < HM_FORMAT_INLINE || request.settings.format > HM_FORMAT_CERN)
            request.settings.format = HM_FORMAT_INLINE;
    }
    if (const std::string why = NoDialogHere(mode, "Image Map from Selection"); !why.empty()) {
        reply.fail(GIMP_PDB_EXECUTION_ERROR, why);
        return finish();
    }
    const gint32 image = param[1].data.d_image;
    if (!gimp_image_is_valid(image)) {
        reply.fail(GIMP_PDB_CALLING_ERROR, "Image Map from Selection was given no valid image.");
        return finish();
    }
    SelectionMask mask;
    std::string why;
    if (!readSelection(image, &mask, &why)) {
        reply.fail(GIMP_PDB_EXECUTION_ERROR, why);
        return finish();
    }

    // Every run serves the clipboard.
    ChooseQtPlatform(true);
    request.dialog = mode == GIMP_RUN_INTERACTIVE;
    request.parent = HostWindow(mode);
    const MapEntry entry = MakeMapEntry(mask, request);
    if (entry.result != 1) {
        if (mode == GIMP_RUN_INTERACTIVE)
            reply.cancel();
        else
            reply.fail(GIMP_PDB_EXECUTION_ERROR,
                       "Image Map from Selection could not put the entry on the clipboard.");
        return finish();
    }
    Store(kProcedure, entry.settings);
    if (ClipboardIsShared()) {
        std::string error;
        if (!HandOverClipboard(ProgramFile(), QGuiApplication::platformName(),
                               QByteArray::fromStdString(entry.text), &error))
            g_printerr("%s: the entry stays on the clipboard only while this plug-in runs: %s\n", kProcedure,
                       error.c_str());
    }
    reply.succeed();
    reply.addString(entry.text);
    finish();
}

const GimpPlugInInfo kInfo = {nullptr, nullptr, query, run};

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kServeClipboardArgument) == 0) return ServeClipboard(argc, argv);
    return gimp_main(&kInfo, argc, argv);
}
