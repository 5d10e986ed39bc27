// What both GIMP adapters share.
#include "adapter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include <unistd.h>

namespace gimpadapter {

Reply::Reply() {
    std::memset(values_, 0, sizeof values_);
    set(GIMP_PDB_SUCCESS);
}

void Reply::set(GimpPDBStatusType status) {
    values_[0].type = GIMP_PDB_STATUS;
    values_[0].data.d_status = status;
    count_ = 1;
}

void Reply::fail(GimpPDBStatusType status, const std::string& message) {
    set(status);
    if (!message.empty()) addString(message);
}

void Reply::addString(const std::string& text) {
    if (count_ >= kMax) return;
    texts_[count_] = text;
    values_[count_].type = GIMP_PDB_STRING;
    values_[count_].data.d_string = texts_[count_].data();
    ++count_;
}

void Reply::addInt32(int32_t value) {
    if (count_ >= kMax) return;
    values_[count_].type = GIMP_PDB_INT32;
    values_[count_].data.d_int32 = value;
    ++count_;
}

void Reply::addLayer(gint32 layer) {
    if (count_ >= kMax) return;
    values_[count_].type = GIMP_PDB_LAYER;
    values_[count_].data.d_layer = layer;
    ++count_;
}

void Reply::hand(gint* count, GimpParam** values) {
    *count = count_;
    *values = values_;
}

bool HasDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

void ChooseQtPlatform(bool shows) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!shows || ((!platform || !*platform) && !HasDisplay())) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

std::string NoDialogHere(GimpRunMode mode, const char* procedure) {
    if (mode != GIMP_RUN_INTERACTIVE || HasDisplay()) return {};
    return std::string(procedure) + " needs a display for its dialog. Without one, run it non-interactively.";
}

uint32_t HostWindow(GimpRunMode mode) {
    if (mode != GIMP_RUN_INTERACTIVE || !HasDisplay()) return 0;
    const gint32 display = gimp_default_display();
    if (display <= 0 || !gimp_display_is_valid(display)) return 0;
    return uint32_t(gimp_display_get_window_handle(display));
}

BoxCollector::BoxCollector(bool show) : previous_(&desktop::messageBoxes()), show_(show) {
    desktop::setMessageBoxes(this);
}

BoxCollector::~BoxCollector() {
    desktop::setMessageBoxes(previous_);
}

void BoxCollector::show(QWidget* owner, const desktop::Box& box) {
    texts_ << box.text.simplified();
    if (show_) previous_->show(owner, box);
}

std::string BoxCollector::text(const std::string& otherwise) const {
    if (texts_.isEmpty()) return otherwise;
    return texts_.join(QLatin1Char('\n')).toStdString();
}

namespace {

// Runs `each` over the rows [y, y + height) of columns [x, x + width) of a drawable, a strip of the
// tile height at a time, with a pixel region over them (for writing or reading) and a buffer of
// one strip. False when the buffer cannot be had or `each` stops.
template <class Each>
bool forEachStrip(gint32 drawable, int32_t x, int32_t y, int32_t width, int32_t height, bool write,
                  Each&& each) {
    const int bpp = gimp_drawable_bpp(drawable);
    if (bpp <= 0 || width <= 0 || height <= 0) return false;
    const int32_t step = std::max<int32_t>(1, int32_t(gimp_tile_height()));
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(std::size_t(width) * std::size_t(std::min(step, height)) * std::size_t(bpp));
    } catch (const std::bad_alloc&) {
        return false;
    }
    GimpDrawable* d = gimp_drawable_get(drawable);
    if (!d) return false;
    GimpPixelRgn region;
    gimp_pixel_rgn_init(&region, d, x, y, width, height, write, FALSE);
    bool ok = true;
    for (int32_t row = 0; row < height && ok; row += step)
        ok = each(region, row, std::min(step, height - row), pixels.data());
    if (write) gimp_drawable_flush(d);
    gimp_drawable_detach(d);
    return ok;
}

} // namespace

bool ReadDrawable(gint32 drawable, int32_t x, int32_t y, int32_t width, int32_t height,
                  const std::function<bool(int32_t, int32_t, const uint8_t*)>& strip) {
    return forEachStrip(drawable, x, y, width, height, false,
                        [&](GimpPixelRgn& region, int32_t row, int32_t rows, uint8_t* pixels) {
                            gimp_pixel_rgn_get_rect(&region, pixels, x, y + row, width, rows);
                            return strip(row, rows, pixels);
                        });
}

bool WriteDrawable(gint32 drawable, int32_t width, int32_t height,
                   const std::function<bool(int32_t, int32_t, uint8_t*)>& strip) {
    int32_t done = 0;
    const bool ok = forEachStrip(drawable, 0, 0, width, height, true,
                                 [&](GimpPixelRgn& region, int32_t row, int32_t rows, uint8_t* pixels) {
                                     if (!strip(row, rows, pixels)) return false;
                                     gimp_pixel_rgn_set_rect(&region, pixels, 0, row, width, rows);
                                     done = row + rows;
                                     return true;
                                 });
    if (done > 0) gimp_drawable_update(drawable, 0, 0, width, done);
    return ok;
}

bool WriteDrawable(gint32 drawable, int32_t width, int32_t height, const uint8_t* pixels) {
    const std::size_t rowBytes = std::size_t(width) * std::size_t(std::max(0, gimp_drawable_bpp(drawable)));
    return WriteDrawable(drawable, width, height, [&](int32_t y, int32_t rows, uint8_t* out) {
        std::memcpy(out, pixels + std::size_t(y) * rowBytes, std::size_t(rows) * rowBytes);
        return true;
    });
}

std::string KeepingStandardError(const std::function<void()>& call) {
    std::fflush(stderr);
    FILE* file = std::tmpfile();
    const int saved = file ? dup(STDERR_FILENO) : -1;
    if (!file || saved < 0 || dup2(fileno(file), STDERR_FILENO) < 0) {
        if (saved >= 0) close(saved);
        if (file) std::fclose(file);
        call();
        return {};
    }
    call();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string text;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, n);
    std::fclose(file);
    std::fwrite(text.data(), 1, text.size(), stderr);
    return text;
}

} // namespace gimpadapter
