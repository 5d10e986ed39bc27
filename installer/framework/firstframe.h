#pragma once
// Running something once a window's first frame is on the screen. Header-only and Qt-only, so a bare
// Qt program can use the same measure as the installer.
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace forms {

namespace detail {

// Watches the application's paint events until one reaches `window` or a widget inside it, then
// runs its action on the next turn of the event loop: by then the whole frame has been painted and
// handed to the window system.
class FirstFrameWatch : public QObject {
  public:
    FirstFrameWatch(QWidget* window, std::function<void()> then, int fallbackMs)
        : QObject(window), window_(window), then_(std::move(then)) {
        qApp->installEventFilter(this);
        if (fallbackMs >= 0) QTimer::singleShot(fallbackMs, this, [this] { painted(); });
    }
    ~FirstFrameWatch() override {
        if (qApp) qApp->removeEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window_)
            painted();
        return false;
    }

  private:
    void painted() {
        if (done_) return;
        done_ = true;
        qApp->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] {
            const std::function<void()> then = std::move(then_);
            deleteLater();
            then();
        });
    }
    QPointer<QWidget> window_;
    std::function<void()> then_;
    bool done_ = false;
};

} // namespace detail

// Runs `then` once, on the user-interface thread, right after the first frame of `window` has been
// painted; or `fallbackMs` milliseconds from now if no frame came by then (a negative value waits
// for the frame however long it takes). Nothing runs if the window is destroyed first.
inline void AfterFirstFrame(QWidget* window, std::function<void()> then, int fallbackMs = -1) {
    new detail::FirstFrameWatch(window, std::move(then), fallbackMs);
}

} // namespace forms
