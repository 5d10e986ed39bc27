// Common services: window handles, the Qt application, strings and message boxes, error
// information, colour choice, window placement, path helpers.
#include "imagelib/stringtable.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32guard.h"
#include "imagelib/tv32qt.h"

#include "displayprobe.h"

#include "desktop/services.h"
#include "desktop/system.h"

#include <QApplication>
#include <QColorDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace tv32 {
namespace {

// Handles given to widgets of this process. They start high so they do not meet the small
// numbers some platforms use as native window ids.
struct WindowRegistry {
    std::map<TV32HWND, QPointer<QWidget>> byHandle;
    TV32HWND next = 0x7f000001u;
};
WindowRegistry& registry() {
    static auto* r = new WindowRegistry;
    return *r;
}

} // namespace

QWidget* widgetFromHandle(TV32HWND handle) {
    if (handle == 0 || handle == TV32_PARENT_OF_WINDOW) return nullptr;
    auto& r = registry();
    auto it = r.byHandle.find(handle);
    if (it != r.byHandle.end()) {
        if (it->second) return it->second.data();
        r.byHandle.erase(it);
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
    return QWidget::find(WId(handle));
}

TV32HWND handleOfWidget(QWidget* widget) {
    if (!widget) return 0;
    auto& r = registry();
    for (auto it = r.byHandle.begin(); it != r.byHandle.end();) {
        if (!it->second) {
            it = r.byHandle.erase(it);
        } else if (it->second.data() == widget) {
            return it->first;
        } else {
            ++it;
        }
    }
    TV32HWND h = r.next++;
    if (r.next == 0 || r.next == TV32_PARENT_OF_WINDOW) r.next = 0x7f000001u;
    r.byHandle[h] = widget;
    return h;
}

QApplication* ensureApplication() {
    if (QCoreApplication* app = QCoreApplication::instance()) return qobject_cast<QApplication*>(app);
    // Qt ends the whole process when its platform cannot start; a host must never be ended for
    // a window it asked for. So the platform is chosen here, after its display has answered,
    // and handed to Qt, and without one no application is made.
    static std::string platform;
    platform = ChoosePlatform(DisplayEnvironment::ofProcess(), DisplayServices::ofSystem());
    if (platform.empty()) return nullptr;
    // Created once for a host that is not a Qt program, and never destroyed: the host may call
    // again at any time, and tearing Qt down while a host still runs is not safe.
    static std::string program = desktop::programFile();
    static char platformOption[] = "-platform";
    static int argc = 3;
    static char* argv[] = {program.data(), platformOption, platform.data(), nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

namespace {

// The native window of another program behind handle, on the xcb platform; nullptr otherwise.
QWindow* foreignWindow(TV32HWND handle) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !X11WindowGeometry(x11->connection(), handle, nullptr)) return nullptr;
    return QWindow::fromWinId(WId(handle));
}

// Where the other program's window lies on the screen, in Qt's coordinates: asked of the X
// server (Qt does not follow a foreign window); empty when it cannot be told.
QRect foreignGeometry(QWindow* foreign) {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    X11Geometry g;
    if (!x11 || !X11WindowGeometry(x11->connection(), uint32_t(foreign->winId()), &g)) return {};
    const qreal ratio = foreign->screen() ? foreign->screen()->devicePixelRatio() : 1.0;
    return QRect(QPointF(g.x / ratio, g.y / ratio).toPoint(),
                 QSizeF(g.width / ratio, g.height / ratio).toSize());
}

// The window of another program that owns w's window (attachForeignOwner), or nullptr.
QWindow* foreignOwnerOf(QWidget* w) {
    QWindow* own = w->window()->windowHandle();
    QWindow* owner = own ? own->transientParent() : nullptr;
    return owner && owner->type() == Qt::ForeignWindow ? owner : nullptr;
}

} // namespace

bool attachForeignOwner(QWidget* dialog, TV32HWND owner) {
    if (!dialog || owner == 0 || owner == TV32_PARENT_OF_WINDOW || widgetFromHandle(owner)) return false;
    QWindow* foreign = foreignWindow(owner);
    if (!foreign) return false;
    // The object standing for the foreign window lives as long as the dialog (deleting it
    // leaves the other program's window alone).
    static_cast<QObject*>(foreign)->setParent(dialog);
    dialog->window()->winId(); // the dialog's own native window, to be made transient
    QWindow* own = dialog->window()->windowHandle();
    if (!own) return false;
    own->setTransientParent(foreign);
    return true;
}

} // namespace tv32

using namespace tv32;

namespace {

// The common library's string table.
constexpr tv32::StringEntry kStrings[] = {
    {1000, "Not enough memory to complete the operation."},
    {1001, "The image could not be resampled.\n\rPlease close some programs and try again."},
    {1002, "The image could not be converted."},
    {1003, "The image buffer is not valid."},
    {1004, "The operation failed unexpectedly."},
};

std::mutex errMutex;
std::array<int32_t, 6> errInfo{};
bool errSet = false;

TV32CHOOSECOLORHOOK colorHook = nullptr;

bool isSep(char c) {
    return c == '/' || c == '\\';
}

// "\n\r" and "\r\n" as one line break; lone CRs dropped.
QString boxText(const char* text) {
    std::string s;
    for (const char* p = text; *p; ++p) {
        if ((p[0] == '\n' && p[1] == '\r') || (p[0] == '\r' && p[1] == '\n')) {
            s += '\n';
            ++p;
        } else if (*p != '\r') {
            s += *p;
        }
    }
    return desktop::fromBytes(s);
}

} // namespace

extern "C" {

TV32_API int TV32_CALL c32GetString(int32_t id, char* buffer, int32_t size) {
    return tv32::CopyTableText(tv32::TableText(kStrings, id), buffer, size);
}

TV32_API int TV32_CALL c32ShowMb(const C32MSGBOX* box) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (!box || !box->text) return 0;
        if (box->keepErrorInfo == 0) c32ResetDLLErrInfo();
        desktop::Box b;
        b.title = box->caption ? boxText(box->caption) : QString();
        b.text = boxText(box->text);
        switch (box->style & 0xF0u) {
        case 0x10:
            b.icon = desktop::BoxIcon::Error;
            break;
        case 0x30:
            b.icon = desktop::BoxIcon::Warning;
            break;
        case 0x20:
        case 0x40:
            b.icon = desktop::BoxIcon::Information;
            break;
        default:
            b.icon = desktop::BoxIcon::None;
            break;
        }
        if (!ensureApplication()) return 0;
        desktop::messageBoxes().show(widgetFromHandle(box->owner), b);
        return 1;
    });
}

TV32_API int TV32_CALL c32SetDLLErrInfo(int32_t v1, int32_t v2, int32_t v3, int32_t v4, int32_t v5,
                                        int32_t v6) {
    // Called by the export guards themselves: it must not throw either.
    try {
        std::lock_guard lock(errMutex);
        errInfo = {v1, v2, v3, v4, v5, v6};
        errSet = true;
        return 1;
    } catch (...) {
        return 0;
    }
}

TV32_API int TV32_CALL c32ResetDLLErrInfo(void) {
    try {
        std::lock_guard lock(errMutex);
        errInfo = {};
        errSet = false;
        return 1;
    } catch (...) {
        return 0;
    }
}

TV32_API int TV32_CALL c32GetDLLErrInfo(int32_t values[6]) {
    try {
        std::lock_guard lock(errMutex);
        if (values) std::copy(errInfo.begin(), errInfo.end(), values);
        return errSet ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

TV32_API TV32CHOOSECOLORHOOK TV32_CALL tv32SetChooseColorHook(TV32CHOOSECOLORHOOK hook) {
    TV32CHOOSECOLORHOOK old = colorHook;
    colorHook = hook;
    return old;
}

TV32_API int TV32_CALL tv32ChooseColorEx(TV32HWND owner, uint32_t* color, int32_t, int32_t) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (!color) return 0;
        if (colorHook) {
            uint32_t chosen = *color;
            if (!colorHook(owner, *color, &chosen)) return 0;
            *color = chosen & 0x00FFFFFFu;
            return 1;
        }
        if (!ensureApplication()) return 0;
        const uint32_t c = *color;
        const QColor start(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
        QColorDialog dlg(start, widgetFromHandle(owner));
        dlg.setWindowTitle(QStringLiteral("Color"));
        if (dlg.exec() != QDialog::Accepted) return 0;
        const QColor q = dlg.selectedColor();
        if (!q.isValid()) return 0;
        *color = uint32_t(q.red()) | (uint32_t(q.green()) << 8) | (uint32_t(q.blue()) << 16);
        return 1;
    });
}

TV32_API int TV32_CALL tv32MoveWindow(TV32HWND window, TV32HWND parent, int32_t) {
    return tv32::guardLibrary(0, [&]() -> int {
        QWidget* w = widgetFromHandle(window);
        if (!w) return 0;
        QWidget* over = parent == TV32_PARENT_OF_WINDOW ? w->parentWidget() : widgetFromHandle(parent);
        if (over) over = over->window();
        // Without a widget to go by, the other program's window that owns this one.
        QWindow* foreign = nullptr;
        if (!over) {
            foreign = foreignOwnerOf(w);
            if (foreign && parent != TV32_PARENT_OF_WINDOW && foreign->winId() != WId(parent))
                foreign = nullptr;
        }
        QRect frame = w->frameGeometry();
        if (frame.isEmpty()) frame = QRect(w->pos(), w->sizeHint().expandedTo(w->size()));
        QScreen* screen = over ? over->screen() : foreign ? foreign->screen() : w->screen();
        if (!screen) screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        QRect target = over ? over->frameGeometry() : foreign ? foreignGeometry(foreign) : area;
        if (target.isEmpty()) target = area;
        QPoint topLeft = target.center() - QPoint(frame.width() / 2, frame.height() / 2);
        if (!area.isEmpty()) { // keep it on the screen
            topLeft.setX(std::max(area.left(), std::min(topLeft.x(), area.right() + 1 - frame.width())));
            topLeft.setY(std::max(area.top(), std::min(topLeft.y(), area.bottom() + 1 - frame.height())));
        }
        if (w->parentWidget() && !w->isWindow()) topLeft = w->parentWidget()->mapFromGlobal(topLeft);
        w->move(topLeft);
        return 1;
    });
}

TV32_API int TV32_CALL tvfdSplitPathname(const char* path, int32_t part, char* result) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (!path || !result) return 0;
        const std::size_t len = strnlen(path, 4096);
        std::size_t cut = len;
        while (cut > 0 && !isSep(path[cut - 1]))
            --cut; // cut: start of the file name
        std::string out;
        if (part == TVFD_FOLDER) {
            std::size_t end = cut;
            while (end > 0 && isSep(path[end - 1]))
                --end;                        // separators before the name
            if (end == 0 && cut > 0) end = 1; // the root keeps its separator
            out.assign(path, end);
        } else if (part == TVFD_NAME) {
            out.assign(path + cut, len - cut);
        } else {
            result[0] = 0;
            return 0;
        }
        const std::size_t n = std::min(out.size(), std::size_t(TVFD_MAX_PATH - 1));
        std::memcpy(result, out.data(), n);
        result[n] = 0;
        return int(n);
    });
}

TV32_API char* TV32_CALL tvfdAddSlash(char* path) {
    if (!path) return path;
    const std::size_t len = strnlen(path, TVFD_MAX_PATH);
    if (len == 0 || len >= TVFD_MAX_PATH - 1 || isSep(path[len - 1])) return path;
    path[len] = '/';
    path[len + 1] = 0;
    return path;
}

TV32_API char* TV32_CALL tvfdRemoveBlanks(char* text) {
    if (!text) return text;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t len = std::strlen(text);
    while (len > 0 && blank(text[len - 1]))
        --len;
    std::size_t start = 0;
    while (start < len && blank(text[start]))
        ++start;
    std::memmove(text, text + start, len - start);
    text[len - start] = 0;
    return text;
}

} // extern "C"
