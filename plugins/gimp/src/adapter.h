// What both GIMP adapters share: the values a run hands back, the host window, the Qt platform,
// the plug-ins' messages during unattended runs, stored last values, and pixels of drawables.
//
// The adapters read and write pixels through libgimp's pixel regions: GIMP hands them 8-bit
// pixels whatever the image's precision, which is what the plug-in libraries work in, and a
// plug-in that does not start GEGL starts several times faster.
#pragma once
#define GIMP_DISABLE_DEPRECATION_WARNINGS
#include <libgimp/gimp.h>

#include "desktop/services.h"

#include <QStringList>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>

namespace gimpadapter {

// The values a run hands back to GIMP: the status, then either the procedure's own values or,
// for a failure, the error message GIMP shows. They outlive run(), as GIMP reads them after it.
class Reply {
  public:
    Reply();
    // GIMP shows the message to the user of an interactive run; without one it shows nothing.
    void fail(GimpPDBStatusType status, const std::string& message);
    void cancel() { set(GIMP_PDB_CANCEL); }
    void succeed() { set(GIMP_PDB_SUCCESS); }
    void addString(const std::string& text);
    void addInt32(int32_t value);
    void addLayer(gint32 layer);
    GimpPDBStatusType status() const { return values_[0].data.d_status; }
    void hand(gint* count, GimpParam** values);

  private:
    void set(GimpPDBStatusType status);
    static constexpr int kMax = 4;
    GimpParam values_[kMax];
    std::string texts_[kMax];
    int count_ = 1;
};

// Before Qt starts: a run that shows nothing, and any run without a display (gimp-console,
// batch runs on a server), puts the plug-in libraries on Qt's offscreen platform, where the
// clipboard lives in this process only. A run that shows windows or serves the clipboard keeps
// the platform Qt finds.
void ChooseQtPlatform(bool shows);
bool HasDisplay();

// The message for an interactive run where no dialog can be shown (no display: gimp-console, a
// batch run on a server); empty when it can. Such a run would wait for a user who cannot see it.
std::string NoDialogHere(GimpRunMode mode, const char* procedure);

// The window of the image display the user called the procedure from, as the plug-in libraries
// take their parent window (an X11 window id); 0 when there is none (unattended runs).
uint32_t HostWindow(GimpRunMode mode);

// While it lives, message boxes of the plug-in libraries are recorded: kept instead of shown for
// runs without a user (whose failures go back to GIMP as the error message), shown as usual and
// counted for interactive runs (GIMP need not repeat what the user has read).
class BoxCollector final : public desktop::MessageBoxService {
  public:
    explicit BoxCollector(bool show);
    ~BoxCollector() override;
    BoxCollector(const BoxCollector&) = delete;
    BoxCollector& operator=(const BoxCollector&) = delete;
    void show(QWidget* owner, const desktop::Box& box) override;
    bool any() const { return !texts_.isEmpty(); }
    // The texts so far, one line each, or `otherwise` when there were none.
    std::string text(const std::string& otherwise) const;

  private:
    desktop::MessageBoxService* previous_;
    bool show_;
    QStringList texts_;
};

// Last values kept by GIMP between runs of a procedure (gimp_set_data). Load fails, leaving
// `value` alone, when nothing is stored or what is stored has another size (an older version).
template <class T> bool LoadStored(const char* procedure, T* value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (gimp_get_data_size(procedure) != gint(sizeof(T))) return false;
    unsigned char raw[sizeof(T)] = {};
    if (!gimp_get_data(procedure, raw)) return false;
    std::memcpy(static_cast<void*>(value), raw, sizeof(T));
    return true;
}
template <class T> void Store(const char* procedure, const T& value) {
    gimp_set_data(procedure, &value, sizeof(T));
}

// Reads rows [y, y + height) of columns [x, x + width) of a drawable in strips of the tile
// height: `strip` gets the first row of each strip, its row count and its pixels (width x rows x
// bpp bytes, rows without gaps) and returns false to stop. Returns false when a strip could not
// be held in memory or `strip` stopped.
bool ReadDrawable(gint32 drawable, int32_t x, int32_t y, int32_t width, int32_t height,
                  const std::function<bool(int32_t y, int32_t rows, const uint8_t* pixels)>& strip);
// Runs `call` with the process's standard error going to a file, then passes what was written
// on to the real standard error and returns it: the plug-in libraries tell why they refused
// scripted settings there.
std::string KeepingStandardError(const std::function<void()>& call);

// Writes width x height pixels into the drawable at (0, 0), a strip of the tile height at a time:
// `strip` fills rows [y, y + rows) (bpp bytes a pixel, rows without gaps) and returns false to
// stop. Marks what was written for redrawing; false when a strip failed or memory ran out.
bool WriteDrawable(gint32 drawable, int32_t width, int32_t height,
                   const std::function<bool(int32_t y, int32_t rows, uint8_t* pixels)>& strip);
// The same from pixels already in memory.
bool WriteDrawable(gint32 drawable, int32_t width, int32_t height, const uint8_t* pixels);

} // namespace gimpadapter
