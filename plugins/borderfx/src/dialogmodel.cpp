#include "dialogmodel.h"

#include "messages.h"
#include "preview.h"

#include <algorithm>
#include <chrono>

namespace borderfx {

OffsetLimits ComputeOffsetLimits(const TV32RECT& s, int32_t width, int32_t height, int32_t direction,
                                 int32_t frameWidth) {
    const bool right = direction == BFX_SHADOW_UP_RIGHT || direction == BFX_SHADOW_DOWN_RIGHT;
    const bool down = direction == BFX_SHADOW_DOWN_LEFT || direction == BFX_SHADOW_DOWN_RIGHT;
    OffsetLimits l;
    l.xMax = std::max(0, right ? width - s.left - 1 : s.right - 1) + frameWidth;
    l.yMax = std::max(0, down ? height - s.top - 1 : s.bottom - 1) + frameWidth;
    return l;
}

int32_t FrameMaximum(const TV32RECT& s, int32_t width, int32_t height) {
    return std::max({s.left, s.top, width - s.right, height - s.bottom});
}

int32_t ParseEditInt(const QString& text) {
    const QString t = text.left(258);
    int64_t v = 0;
    for (QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        v = v * 10 + (c.unicode() - '0');
        if (v > INT32_MAX) return INT32_MAX;
    }
    return int32_t(v);
}

QString FormatEditInt(int32_t value) {
    return QString::number(value);
}

QString RangeText(int32_t minimum, int32_t maximum) {
    return QStringLiteral("[%1 , %2]").arg(minimum).arg(maximum);
}

bool CheckRange(int32_t value, int32_t minimum, int32_t maximum, TV32HWND owner) {
    if (value >= minimum && value <= maximum) return true;
    const QString extra = QString::fromUtf8(StringText(510)) + RangeText(minimum, maximum);
    ShowError(509, extra.toUtf8().constData(), owner);
    return false;
}

EditOutcome ApplyEditValue(int32_t value, int32_t& field, int32_t maximum, TV32HWND owner) {
    if (value == field) return EditOutcome::Unchanged;
    if (!CheckRange(value, 0, maximum, owner)) return EditOutcome::PutMaximum;
    field = value;
    return EditOutcome::Stored;
}

bool RefreshTimer::start(int32_t id) {
    if (id_ != 0) return false;
    id_ = id;
    last_ = -1;
    return true;
}

bool RefreshTimer::tick(int32_t value) {
    if (id_ == 0) return false;
    if (value == last_) {
        stop();
        return true;
    }
    last_ = value;
    return false;
}

int32_t AccelStep(int64_t elapsedMs) {
    if (elapsedMs >= 3000) return 50;
    if (elapsedMs >= 2000) return 10;
    return 1;
}

int32_t StepValue(int32_t value, int32_t step, int32_t maximum) {
    return std::clamp<int64_t>(int64_t(value) + step, 0, std::max(0, maximum));
}

namespace {
int64_t (*gHoldClock)() = nullptr;
}

void HoldTimer::setClock(int64_t (*clock)()) {
    gHoldClock = clock;
}

int64_t HoldTimer::now() {
    if (gHoldClock) return gHoldClock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace borderfx
