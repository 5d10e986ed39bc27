// halcyon-test-io: a GIMP plug-in for the adapters' tests only. It moves pictures between GIMP and
// the tests as raw files ("HTIO width height channels\n" and the rows of 8-bit pixels without
// gaps), so the tests need no file plug-in: those start GEGL, which costs most of a second per
// call on a busy machine.
//   halcyon-test-load (run-mode, file) -> image: a new image with one layer "bg" of the picture
//     (1 grey, 2 grey+alpha, 3 RGB, 4 RGBA channels).
//   halcyon-test-dump (run-mode, image, drawable, file): the drawable's pixels as they are stored
//     (8-bit images only: selections and channels come out as linear coverage).
//   halcyon-test-map-5 (run-mode, image, drawable, format, url) -> entry: calls the image-map
//     procedure as a C plug-in written before its whole-selection arguments did, with five.
#include "adapter.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const GimpParamDef kLoadArgs[] = {
    {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("run mode")},
    {GIMP_PDB_STRING, const_cast<gchar*>("file"), const_cast<gchar*>("raw picture")},
};
const GimpParamDef kLoadReturns[] = {
    {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("image")}};
const GimpParamDef kDumpArgs[] = {
    {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("run mode")},
    {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("image")},
    {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("drawable")},
    {GIMP_PDB_STRING, const_cast<gchar*>("file"), const_cast<gchar*>("raw picture")},
};
const GimpParamDef kMapArgs[] = {
    kDumpArgs[0],
    kDumpArgs[1],
    kDumpArgs[2],
    {GIMP_PDB_INT32, const_cast<gchar*>("format"), const_cast<gchar*>("format")},
    {GIMP_PDB_STRING, const_cast<gchar*>("url"), const_cast<gchar*>("url")},
};
const GimpParamDef kMapReturns[] = {
    {GIMP_PDB_STRING, const_cast<gchar*>("entry"), const_cast<gchar*>("entry")}};

void query() {
    gimp_install_procedure("halcyon-test-load", "Test picture in", "", "", "", "", nullptr, nullptr,
                           GIMP_PLUGIN, 2, 1, kLoadArgs, kLoadReturns);
    gimp_install_procedure("halcyon-test-dump", "Test picture out", "", "", "", "", nullptr, "*", GIMP_PLUGIN,
                           4, 0, kDumpArgs, nullptr);
    gimp_install_procedure("halcyon-test-map-5", "Image map with five arguments", "", "", "", "", nullptr,
                           "*", GIMP_PLUGIN, 5, 1, kMapArgs, kMapReturns);
}

gint32 load(const char* file) {
    FILE* f = std::fopen(file, "rb");
    if (!f) return -1;
    int w = 0, h = 0, c = 0;
    std::vector<uint8_t> pixels;
    if (std::fscanf(f, "HTIO %d %d %d", &w, &h, &c) == 3 && std::fgetc(f) == '\n' && w > 0 && h > 0 &&
        c >= 1 && c <= 4 && int64_t(w) * h <= (int64_t(1) << 26)) {
        pixels.resize(std::size_t(w) * std::size_t(h) * std::size_t(c));
        if (std::fread(pixels.data(), 1, pixels.size(), f) != pixels.size()) pixels.clear();
    }
    std::fclose(f);
    if (pixels.empty()) return -1;
    const bool grey = c <= 2;
    const GimpImageType types[] = {GIMP_GRAY_IMAGE, GIMP_GRAYA_IMAGE, GIMP_RGB_IMAGE, GIMP_RGBA_IMAGE};
    const gint32 image = gimp_image_new(w, h, grey ? GIMP_GRAY : GIMP_RGB);
    const gint32 layer = gimp_layer_new(image, "bg", w, h, types[c - 1], 100.0, GIMP_LAYER_MODE_NORMAL);
    gimp_image_insert_layer(image, layer, -1, 0);
    gimpadapter::WriteDrawable(layer, w, h, pixels.data());
    return image;
}

bool dump(gint32 drawable, const char* file) {
    const int w = gimp_drawable_width(drawable), h = gimp_drawable_height(drawable),
              c = gimp_drawable_bpp(drawable);
    FILE* f = std::fopen(file, "wb");
    if (!f) return false;
    std::fprintf(f, "HTIO %d %d %d\n", w, h, c);
    const bool ok =
        gimpadapter::ReadDrawable(drawable, 0, 0, w, h, [&](int32_t, int32_t rows, const uint8_t* px) {
            const std::size_t n = std::size_t(w) * std::size_t(rows) * std::size_t(c);
            return std::fwrite(px, 1, n, f) == n;
        });
    return std::fclose(f) == 0 && ok;
}

void run(const gchar* name, gint nparams, const GimpParam* param, gint* nreturn, GimpParam** values) {
    static GimpParam v[2];
    static std::string text;
    v[0].type = GIMP_PDB_STATUS;
    v[0].data.d_status = GIMP_PDB_EXECUTION_ERROR;
    *nreturn = 1;
    *values = v;
    gimp_plugin_enable_precision();
    if (g_strcmp0(name, "halcyon-test-load") == 0 && nparams == 2) {
        const gint32 image = load(param[1].data.d_string);
        if (image > 0) {
            v[0].data.d_status = GIMP_PDB_SUCCESS;
            v[1].type = GIMP_PDB_IMAGE;
            v[1].data.d_image = image;
            *nreturn = 2;
        }
    } else if (g_strcmp0(name, "halcyon-test-dump") == 0 && nparams == 4) {
        const bool eightBit = gimp_image_get_precision(param[1].data.d_image) / 100 == 1;
        if (eightBit && dump(param[2].data.d_drawable, param[3].data.d_string))
            v[0].data.d_status = GIMP_PDB_SUCCESS;
    } else if (g_strcmp0(name, "halcyon-test-map-5") == 0 && nparams == 5) {
        GimpParam args[5];
        std::copy(param, param + 5, args);
        args[0].data.d_int32 = GIMP_RUN_NONINTERACTIVE;
        gint count = 0;
        GimpParam* r = gimp_run_procedure2("plug-in-halcyon-image-map", &count, 5, args);
        if (count >= 2 && r[0].data.d_status == GIMP_PDB_SUCCESS && r[1].type == GIMP_PDB_STRING) {
            text = r[1].data.d_string;
            v[0].data.d_status = GIMP_PDB_SUCCESS;
            v[1].type = GIMP_PDB_STRING;
            v[1].data.d_string = text.data();
            *nreturn = 2;
        }
        gimp_destroy_params(r, count);
    }
}

const GimpPlugInInfo kInfo = {nullptr, nullptr, query, run};

} // namespace

int main(int argc, char** argv) {
    return gimp_main(&kInfo, argc, argv);
}
