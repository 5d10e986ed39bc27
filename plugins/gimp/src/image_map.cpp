// halcyon-image-map: the image-map tag generator (libhotmap) as a GIMP 2.10 plug-in.
// "Filters > Web > Image Map from Selection..." hands the selection's mask to the library, which
// describes its first region as an HTML image-map area (inline AREA element, NCSA or CERN map
// line) in its own dialog. "Filters > Web > Image Map from Whole Selection..." asks for format,
// URL and caps in a small dialog of ours and maps every region, holes included, one entry a
// line. Either way the text goes to the clipboard and the procedure returns it too; the copied
// text stays pasteable after the plug-in ends (see clipboard.h).
#include "adapter.h"
#include "clipboard.h"
#include "imagemap.h"
#include "wholedialog.h"

#include <QGuiApplication>

#include <climits>
#include <cstring>

using namespace gimpadapter;

namespace {

constexpr char kProcedure[] = "plug-in-halcyon-image-map";
constexpr char kTitle[] = "Image Map from Selection";
// The menu entry of whole selections; scripts reach the same through kProcedure's `whole`.
constexpr char kWholeProcedure[] = "plug-in-halcyon-image-map-whole";
constexpr char kWholeTitle[] = "Image Map from Whole Selection";

GimpParamDef arg(GimpPDBArgType type, const char* name, const char* text) {
    return {type, const_cast<gchar*>(name), const_cast<gchar*>(text)};
}

const GimpParamDef kArgs[] = {
    arg(GIMP_PDB_INT32, "run-mode",
        "The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), RUN-WITH-LAST-VALS (2) }"),
    arg(GIMP_PDB_IMAGE, "image", "Input image"),
    arg(GIMP_PDB_DRAWABLE, "drawable", "Input drawable (unused)"),
    arg(GIMP_PDB_INT32, "format", "Format of the entry { INLINE-AREA (0), NCSA (1), CERN (2) }"),
    arg(GIMP_PDB_STRING, "url", "URL to activate when the area is clicked, at most 259 bytes"),
    arg(GIMP_PDB_INT32, "whole",
        "Map the whole selection { FIRST-REGION (0), WHOLE (1) }: every region, larger first, one entry "
        "a line, holes as areas without a link (inline format only). Interactive runs show the "
        "whole-selection dialog for 1"),
    arg(GIMP_PDB_INT32, "max-areas",
        "Whole selection only: the most areas written, holes included (0: the default, 256; at most 65536)"),
    arg(GIMP_PDB_INT32, "max-points",
        "Whole selection only: the most coordinate pairs written over all areas (0: the default, 10000; at "
        "most 4000000)"),
};
constexpr int kArgCount = int(sizeof kArgs / sizeof kArgs[0]);
// Scripts written before the whole-selection arguments pass five.
constexpr int kFirstRegionArgCount = 5;
const GimpParamDef kReturns[] = {
    arg(GIMP_PDB_STRING, "entry",
        "The image-map entry (whole selection: the entries, one a line), as put on the clipboard"),
    arg(GIMP_PDB_INT32, "capped",
        "1 when the caps cut a whole-selection map (areas left out or outlines simplified further), else 0"),
};
constexpr int kReturnCount = int(sizeof kReturns / sizeof kReturns[0]);
const GimpParamDef kWholeArgs[] = {kArgs[0], kArgs[1], kArgs[2]};

void query() {
    gimp_install_procedure(
        kProcedure, "Describe the selection as an HTML image map",
        "Traces the selection (pixels selected by more than half), classifies it as a rectangle, a circle "
        "or a polygon and writes one image-map entry with the URL: an AREA element for a client-side map, or "
        "a "
        "line of an NCSA or CERN server-side map. The entry goes to the clipboard and stays pasteable after "
        "the plug-in ends; it is also returned. Only the first region (in reading order) of a selection "
        "made of several is described. With whole = 1 every region is mapped instead, outlines along pixel "
        "edges so that the areas cover exactly the selected pixels, larger regions first, one entry a line; "
        "in the inline format every hole is an area without a link written before the area around it. "
        "max-areas and max-points keep a noisy selection from making megabytes of text: when they cut the "
        "map, capped is 1 and GIMP shows a message.",
        "Halcyon distribution kit", "Halcyon distribution kit", "2024", "_Image Map from Selection...", "*",
        GIMP_PLUGIN, kArgCount, kReturnCount, kArgs, kReturns);
    gimp_plugin_menu_register(kProcedure, "<Image>/Filters/Web");
    gimp_install_procedure(
        kWholeProcedure, "Map every region of the selection, holes included",
        "The menu entry of plug-in-halcyon-image-map with whole = 1: asks for the format, the URL and the "
        "caps, maps every region of the selection (holes as areas without a link in the inline format) and "
        "puts the entries on the clipboard, one a line. Run non-interactively it uses the last values; "
        "scripts that pass their own call plug-in-halcyon-image-map.",
        "Halcyon distribution kit", "Halcyon distribution kit", "2024", "Image Map from _Whole Selection...",
        "*", GIMP_PLUGIN, int(sizeof kWholeArgs / sizeof kWholeArgs[0]), kReturnCount, kWholeArgs, kReturns);
    gimp_plugin_menu_register(kWholeProcedure, "<Image>/Filters/Web");
}

// The selection inside its bounding box; false with a message when there is none to describe.
// `whole`: the messages speak of the whole map rather than of one area.
bool readSelection(gint32 image, bool whole, SelectionMask* mask, std::string* why) {
    const std::string made = whole ? "an image map" : "an image map area";
    gboolean nonEmpty = FALSE;
    gint x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (!gimp_selection_bounds(image, &nonEmpty, &x1, &y1, &x2, &y2) || !nonEmpty || x2 <= x1 || y2 <= y1) {
        *why = "There is no selection to make " + made + " from.";
        return false;
    }
    const int64_t size = int64_t(x2 - x1) * (y2 - y1);
    if (size > INT_MAX) {
        *why = "The selection is too large for " + made + " (" + std::to_string(x2 - x1) + " x " +
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
        *why = std::string("The selection is stored in a way ") + (whole ? kWholeTitle : kTitle) +
               " does not know.";
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
        *why = "The selection has no pixel selected by more than half; there is nothing to map.";
        return false;
    }
    return true;
}

// What one run does, from the procedure called, the run mode and the arguments.
struct Call {
    GimpRunMode mode = GIMP_RUN_INTERACTIVE;
    bool whole = false;
    ImageMapSettings first;    // one area
    WholeMapSettings settings; // the whole selection
};

// Settings of whole maps: the last ones, else the format and URL of the last one-area run.
WholeMapSettings storedWholeSettings() {
    WholeMapSettings s;
    if (!LoadStored(kWholeProcedure, &s)) {
        ImageMapSettings first;
        if (LoadStored(kProcedure, &first)) {
            s.format = first.format;
            std::memcpy(s.url, first.url, sizeof s.url);
        }
    }
    s.url[HM_URL_SIZE - 1] = 0;
    if (!CheckWholeMapSettings(s).empty()) s = WholeMapSettings{};
    return s;
}

// The call's settings; an empty string, or why the arguments are refused.
std::string readCall(const gchar* name, gint nparams, const GimpParam* param, Call* call) {
    call->mode = GimpRunMode(param[0].data.d_int32);
    if (std::strcmp(name, kWholeProcedure) == 0) {
        // Its only arguments are run mode, image and drawable: the last values unless the user
        // changes them in the dialog.
        call->whole = true;
        call->settings = storedWholeSettings();
        return {};
    }
    if (call->mode != GIMP_RUN_NONINTERACTIVE) {
        // Interactive and repeated runs start from the last values; of the arguments only
        // `whole` counts.
        call->whole = nparams == kArgCount && param[5].data.d_int32 == 1;
        if (call->whole) {
            call->settings = storedWholeSettings();
        } else {
            LoadStored(kProcedure, &call->first);
            call->first.url[HM_URL_SIZE - 1] = 0;
            if (call->first.format < HM_FORMAT_INLINE || call->first.format > HM_FORMAT_CERN)
                call->first.format = HM_FORMAT_INLINE;
        }
        return {};
    }
    if (nparams != kArgCount && nparams != kFirstRegionArgCount)
        return "the procedure takes " + std::to_string(kArgCount) + " arguments (or the first " +
               std::to_string(kFirstRegionArgCount) + ").";
    const int32_t format = param[3].data.d_int32;
    const char* url = param[4].data.d_string ? param[4].data.d_string : "";
    if (format < HM_FORMAT_INLINE || format > HM_FORMAT_CERN)
        return "format must be 0 (inline AREA element), 1 (NCSA) or 2 (CERN).";
    if (std::strlen(url) >= HM_URL_SIZE)
        return "the URL is longer than " + std::to_string(HM_URL_SIZE - 1) + " bytes.";
    if (nparams == kArgCount) {
        const int32_t whole = param[5].data.d_int32;
        if (whole != 0 && whole != 1) return "whole must be 0 (the first region) or 1 (the whole selection).";
        call->whole = whole == 1;
        call->settings.maxAreas = param[6].data.d_int32;
        call->settings.maxPoints = param[7].data.d_int32;
    }
    call->first.format = call->settings.format = format;
    std::strncpy(call->first.url, url, HM_URL_SIZE - 1);
    std::memcpy(call->settings.url, call->first.url, HM_URL_SIZE);
    // The caps are checked even when they are not used, so a script learns of a bad one at once.
    return CheckWholeMapSettings(call->settings);
}

// Hands the text to a detached clipboard server when other programs read this clipboard. The
// user of an interactive run is told when that failed: the text goes when the plug-in ends.
void keepOnClipboard(const std::string& text, GimpRunMode mode) {
    if (!ClipboardIsShared()) return;
    std::string error;
    if (HandOverClipboard(ProgramFile(), QGuiApplication::platformName(), QByteArray::fromStdString(text),
                          &error))
        return;
    g_printerr("%s: the text stays on the clipboard only while this plug-in runs: %s\n", kProcedure,
               error.c_str());
    if (mode == GIMP_RUN_INTERACTIVE)
        gimp_message(
            ("The image map could not be kept on the clipboard after the plug-in ends: " + error).c_str());
}

// One area, in the library's dialog or without it.
void firstRegion(const Call& call, const SelectionMask& mask, Reply& reply) {
    MapRequest request;
    request.title = kTitle;
    request.settings = call.first;
    request.dialog = call.mode == GIMP_RUN_INTERACTIVE;
    request.parent = HostWindow(call.mode);
    const MapEntry entry = MakeMapEntry(mask, request);
    if (entry.result != 1) {
        if (call.mode == GIMP_RUN_INTERACTIVE)
            reply.cancel();
        else
            reply.fail(GIMP_PDB_EXECUTION_ERROR,
                       "Image Map from Selection could not put the entry on the clipboard.");
        return;
    }
    Store(kProcedure, entry.settings);
    keepOnClipboard(entry.text, call.mode);
    reply.succeed();
    reply.addString(entry.text);
    reply.addInt32(0);
}

// Every region, after our dialog for interactive runs. A map the caps cut is delivered and the
// user told so.
void wholeSelection(Call call, const SelectionMask& mask, Reply& reply) {
    if (call.mode == GIMP_RUN_INTERACTIVE &&
        !EditWholeMapSettings(&call.settings, kWholeTitle, HostWindow(call.mode))) {
        reply.cancel();
        return;
    }
    const WholeMap map = MakeWholeMap(mask, call.settings);
    if (map.result == HM_MAP_FAILED) {
        reply.fail(GIMP_PDB_EXECUTION_ERROR, std::string(kWholeTitle) + ": " + WholeMapFailure(map.summary));
        return;
    }
    Store(kWholeProcedure, call.settings);
    keepOnClipboard(map.text, call.mode);
    if (map.result == HM_MAP_CAPPED) gimp_message(CappedMessage(map.summary, call.settings).c_str());
    reply.succeed();
    reply.addString(map.text);
    reply.addInt32(map.result == HM_MAP_CAPPED ? 1 : 0);
}

void run(const gchar* name, gint nparams, const GimpParam* param, gint* nreturn, GimpParam** values) {
    static Reply reply;
    reply = Reply();
    auto finish = [&] { reply.hand(nreturn, values); };

    const auto mode = GimpRunMode(nparams > 0 ? param[0].data.d_int32 : -1);
    if (nparams < 3 || (mode != GIMP_RUN_INTERACTIVE && mode != GIMP_RUN_NONINTERACTIVE &&
                        mode != GIMP_RUN_WITH_LAST_VALS)) {
        reply.fail(GIMP_PDB_CALLING_ERROR, "Image Map from Selection needs a run mode and an image.");
        return finish();
    }
    gimp_plugin_enable_precision();
    Call call;
    if (const std::string why = readCall(name, nparams, param, &call); !why.empty()) {
        reply.fail(GIMP_PDB_CALLING_ERROR, std::string(kTitle) + ": " + why);
        return finish();
    }
    const char* title = call.whole ? kWholeTitle : kTitle;
    if (const std::string why = NoDialogHere(mode, title); !why.empty()) {
        reply.fail(GIMP_PDB_EXECUTION_ERROR, why);
        return finish();
    }
    const gint32 image = param[1].data.d_image;
    if (!gimp_image_is_valid(image)) {
        reply.fail(GIMP_PDB_CALLING_ERROR, std::string(title) + " was given no valid image.");
        return finish();
    }
    SelectionMask mask;
    std::string why;
    if (!readSelection(image, call.whole, &mask, &why)) {
        reply.fail(GIMP_PDB_EXECUTION_ERROR, why);
        return finish();
    }

    // Every run serves the clipboard.
    ChooseQtPlatform(true);
    if (call.whole)
        wholeSelection(call, mask, reply);
    else
        firstRegion(call, mask, reply);
    finish();
}

const GimpPlugInInfo kInfo = {nullptr, nullptr, query, run};

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kServeClipboardArgument) == 0) return ServeClipboard(argc, argv);
    return gimp_main(&kInfo, argc, argv);
}
