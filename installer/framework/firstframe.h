#pragma once
// Running things once a window's first frame is on the screen. Header-only and Qt-only, so a bare
// Qt program can use the same measure as the installer.
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

namespace forms {

namespace detail {

// Watches the application's paint events until one reaches `window` or a widget inside it, then
// runs its actions, in the order they were given, on the next turn of the event loop: by then the
// whole frame has been painted and handed to the window system.
class FirstFrameWatch : public QObject {
  public:
    explicit FirstFrameWatch(QWidget* window) : QObject(window), window_(window) {
        qApp->installEventFilter(this);
    }
    ~FirstFrameWatch() override {
        if (qApp) qApp->removeEventFilter(this);
    }

    // The watch of `window` that has not fired yet, made if there is none.
    static FirstFrameWatch* of(QWidget* window) {
        for (QObject* child : window->children())
            if (auto* w = dynamic_cast<FirstFrameWatch*>(child); w && !w->done_) return w;
        return new FirstFrameWatch(window);
    }

    void add(std::function<void()> then, int fallbackMs) {
        actions_.push_back(std::move(then));
        if (fallbackMs >= 0) QTimer::singleShot(fallbackMs, this, [this] { painted(); });
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
            const std::vector<std::function<void()>> actions = std::move(actions_);
            deleteLater();
            for (const auto& action : actions)
                action();
        });
    }
    QPointer<QWidget> window_;
    std::vector<std::function<void()>> actions_;
    bool done_ = false;
};

} // namespace detail

// Runs `then` once, on the user-interface thread, right after the first frame of `window` has been
// painted (actions given for the same window run in the order given); or `fallbackMs` milliseconds
// from now if no frame came by then (a negative value waits for the frame however long it takes).
// Nothing runs if the window is destroyed first.
inline void AfterFirstFrame(QWidget* window, std::function<void()> then, int fallbackMs = -1) {
    detail::FirstFrameWatch::of(window)->add(std::move(then), fallbackMs);
}

} // namespace forms
