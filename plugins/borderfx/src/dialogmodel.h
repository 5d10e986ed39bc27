// The arithmetic of the parameter dialog, without windows: value limits, the range check, the
// rule applied when an edit changes, the refresh timer, up-down acceleration and dialog units.
#pragma once
#include "borderfx/borderfx.h"

#include <QString>

#include <cstdint>

namespace borderfx {

// X and Y maxima of the shadow offsets for a direction: from the (adjusted) selection and the
// image size, 0 at least, plus the frame width.
struct OffsetLimits {
    int32_t xMax = 0, yMax = 0;
};
OffsetLimits ComputeOffsetLimits(const TV32RECT& selection, int32_t width, int32_t height, int32_t direction,
                                 int32_t frameWidth);
// The largest of the room left of, above, right of and below the selection.
int32_t FrameMaximum(const TV32RECT& selection, int32_t width, int32_t height);

// An edit's number: at most 258 characters, leading decimal digits only; empty gives 0.
int32_t ParseEditInt(const QString& text);
// "%d" of the value.
QString FormatEditInt(int32_t value);
// "[min , max]".
QString RangeText(int32_t minimum, int32_t maximum);
// True when minimum <= value <= maximum; otherwise shows message 509 with string 510 and the
// range, and returns false.
bool CheckRange(int32_t value, int32_t minimum, int32_t maximum, TV32HWND owner = 0);

// What an edit's change does to its field.
enum class EditOutcome { Unchanged, Stored, PutMaximum };
EditOutcome ApplyEditValue(int32_t value, int32_t& field, int32_t maximum, TV32HWND owner = 0);

// The refresh timer: idle (id 0) or watching one field. The preview follows once the watched
// value has stayed the same for one whole tick.
class RefreshTimer {
  public:
    // Starts watching id unless a timer runs; true when it started.
    bool start(int32_t id);
    // One tick with the watched field's value; true when the preview is due (the timer stops).
    bool tick(int32_t value);
    int32_t id() const { return id_; }
    int32_t last() const { return last_; }
    bool running() const { return id_ != 0; }
    void stop() {
        id_ = 0;
        last_ = -1;
    }
    static constexpr int kIntervalMs = 250;

  private:
    int32_t id_ = 0;
    int32_t last_ = -1;
};

// Step of an up-down held for elapsed milliseconds: 1, after 2 s 10, after 3 s 50.
int32_t AccelStep(int64_t elapsedMs);
// A value moved by step, kept within 0 .. maximum.
int32_t StepValue(int32_t value, int32_t step, int32_t maximum);

// How long an up-down's arrow (a button under the mouse or an arrow key) has been held: the
// time since start(), in milliseconds, on a monotonic clock that a test may replace.
class HoldTimer {
  public:
    void start() { started_ = now(); }
    void stop() { started_ = -1; }
    bool running() const { return started_ >= 0; }
    int64_t elapsed() const { return running() ? now() - started_ : 0; }
    // The clock (milliseconds); nullptr puts the system's monotonic clock back.
    static void setClock(int64_t (*clock)());

  private:
    static int64_t now();
    int64_t started_ = -1;
};

} // namespace borderfx
