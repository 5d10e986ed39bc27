// Analysis of a request's mask buffer, and delivery of the finished text.
#include "analysis.h"

#include "imagelib/tv32base.h"

#include "desktop/system.h"

#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>

#include <new>

namespace hotmap {
namespace {

// Holds a lock on a buffer until the scope ends.
class Locked {
  public:
    Locked(TV32HBUF h, int mode) : h_(h), locked_(buf32Lock(h, mode, nullptr) != 0) {}
    ~Locked() {
        if (locked_) buf32Unlock(h_);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    bool ok() const { return locked_; }

  private:
    TV32HBUF h_;
    bool locked_;
};

ClipboardSink& sink() {
    static ClipboardSink s;
    return s;
}

} // namespace

bool analyseRequest(ImageMapRequest& req, double tolerance, int32_t* why) {
    int32_t unused = 0;
    int32_t& reason = why ? *why : unused;
    reason = HM_ERR_BAD_ARGUMENT;
    if (req.format < HM_FORMAT_INLINE || req.format > HM_FORMAT_CERN) return false;
    BUF32INFO info{};
    if (!buf32GetInfo(req.mask, &info) || info.bytesPerPixel != 1) return false;
    Locked maskLock(req.mask, BUF32_LOCK_READ);
    if (!maskLock.ok()) return false;
    // An 8-bit plane's rows follow each other without gaps.
    const uint8_t* plane = buf32PointAddr(req.mask, 0, 0);
    if (!plane) return false;
    if (!req.text || req.textSize < 0) return false;

    const int32_t ox = req.offset ? req.offset[0] : 0, oy = req.offset ? req.offset[1] : 0;
    auto add = [](int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); };
    TextBuffer text{req.text, req.textSize};
    try {
        std::vector<Point> outline;
        BBox box;
        reason = HM_ERR_NOTHING_SELECTED;
        if (!traceOutline(plane, info.width, info.height, outline, box)) return false;
        // From here on only the template buffer (below 60 bytes) or memory can fail.
        reason = req.textSize < HM_MIN_TEXT ? HM_ERR_BAD_ARGUMENT : HM_ERR_NO_MEMORY;
        const int32_t params[4] = {add(box.left, ox), add(box.top, oy), add(box.right, ox),
                                   add(box.bottom, oy)};
        int32_t shape;
        if (isRectangle(outline, box, 0.5)) {
            shape = HM_SHAPE_RECT;
            if (!writeRectTemplate(text, req.format, {params[0], params[1], params[2], params[3]}))
                return false;
            std::copy(params, params + 4, req.shapeParams);
        } else if (isEllipse(outline, box, 1.0)) {
            shape = HM_SHAPE_CIRCLE;
            const int32_t cx = add(ox, (box.left + box.right) / 2), cy = add(oy, (box.top + box.bottom) / 2);
            const int32_t r = std::min(box.right - box.left, box.bottom - box.top) / 2;
            if (!writeCircleTemplate(text, req.format, cx, cy, r)) return false;
            req.shapeParams[0] = cx;
            req.shapeParams[1] = cy;
            req.shapeParams[2] = r;
            req.shapeParams[3] = 0;
        } else {
            shape = HM_SHAPE_POLY;
            const std::vector<Point> poly = simplifyPolygon(outline, box, tolerance);
            if (!writePolygonTemplate(text, req.format, poly, {ox, oy})) return false;
            std::copy(params, params + 4, req.shapeParams);
        }
        req.shape = shape;
        return true;
    } catch (const std::bad_alloc&) {
        reason = HM_ERR_NO_MEMORY;
        return false;
    }
}

WaitCursor::WaitCursor() : on_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (on_) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    if (on_) QGuiApplication::restoreOverrideCursor();
}

void setClipboardSink(ClipboardSink s) {
    sink() = std::move(s);
}

bool deliverText(const std::string& text) {
    if (sink()) return sink()(text);
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    const QString s = desktop::fromBytes(text);
    clipboard->setText(s, QClipboard::Clipboard);
    // Only a text that is really there counts as delivered.
    return clipboard->text(QClipboard::Clipboard) == s;
}

} // namespace hotmap
