// The plug-ins' dialogs over a window of another program, as a host that is not a Qt program
// hands it in (GIMP's adapters pass their X11 window id): the dialog's window is made transient
// for the host's window and opens centred over it. Runs on a real X server (xvfb-run), with the
// host's window made through xcb, unknown to Qt.
#include "borderfx/borderfx.h"
#include "hotmap/hotmap.h"
#include "imagelib/tv32base.h"
#include "imagelib/tv32qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

// A top-level window of "another program": its own X connection, made and mapped without Qt.
struct HostWindow {
    xcb_connection_t* c = nullptr;
    xcb_window_t id = 0;
    static constexpr int kX = 300, kY = 200, kW = 420, kH = 360;
    HostWindow() {
        c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c)) return;
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        id = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id, screen->root, kX, kY, kW, kH, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(c, id);
        std::free(xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr)); // the server has it now
    }
    ~HostWindow() {
        if (id) xcb_destroy_window(c, id);
        xcb_disconnect(c);
    }
};

void* plugin(const char* name) {
    void* lib = dlopen((std::string(KIT_BIN_DIR) + "/lib" + name + ".so").c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(lib, nullptr) << dlerror();
    return lib;
}

// What the dialog looked like when it showed, then it is cancelled.
struct Seen {
    bool shown = false;
    WId owner = 0;
    QPoint centre;
};

void whenDialogShows(Seen& seen) {
    QTimer::singleShot(50, qApp, [&seen] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return whenDialogShows(seen); // not yet
        seen.shown = true;
        QWindow* owner = dialog->windowHandle() ? dialog->windowHandle()->transientParent() : nullptr;
        seen.owner = owner ? owner->winId() : 0;
        seen.centre = dialog->geometry().center();
        dialog->findChild<QAbstractButton*>(QStringLiteral("2"))->click();
    });
}

class ForeignOwner : public testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (xvfb-run)";
        ASSERT_TRUE(host_.id) << "no X connection";
        ASSERT_NE(tv32::ensureApplication(), nullptr);
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }
    HostWindow host_;
    const QPoint hostCentre_{HostWindow::kX + HostWindow::kW / 2, HostWindow::kY + HostWindow::kH / 2};
};

TEST_F(ForeignOwner, ImageMapDialogIsOwnedByTheHostsWindowAndCentredOverIt) {
    void* lib = plugin("hotmap");
    using Gen = int (*)(TV32HWND, const uint8_t*, int32_t, int32_t, int32_t, const int32_t*, const char*,
                        char*, int32_t*, int32_t);
    auto gen = reinterpret_cast<Gen>(dlsym(lib, "hmGenImageTagFromAPSBuf"));
    ASSERT_NE(gen, nullptr);
    char url[HM_URL_SIZE] = "u";
    int32_t format = 0;
    for (const TV32HWND owner : {TV32HWND(host_.id), TV32HWND(0x7ffffff0u)}) {
        Seen seen;
        whenDialogShows(seen);
        EXPECT_EQ(gen(owner, nullptr, 20, 10, 20, nullptr, "Map", url, &format, 0), 0);
        ASSERT_TRUE(seen.shown);
        if (owner == host_.id) {
            EXPECT_EQ(seen.owner, WId(host_.id));
            EXPECT_LE((seen.centre - hostCentre_).manhattanLength(), 4)
                << seen.centre.x() << "," << seen.centre.y();
        } else {
            EXPECT_EQ(seen.owner, WId(0)) << "an id that names no window owns nothing";
        }
    }
    // A Qt host hands in its own widget's native window id: the widget is the dialog's parent.
    QWidget qtHost;
    qtHost.setGeometry(600, 500, 500, 400);
    qtHost.show();
    Seen seen;
    whenDialogShows(seen);
    EXPECT_EQ(gen(TV32HWND(qtHost.winId()), nullptr, 20, 10, 20, nullptr, "Map", url, &format, 0), 0);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.owner, qtHost.winId());
    EXPECT_LE((seen.centre - qtHost.frameGeometry().center()).manhattanLength(), 4);
    dlclose(lib);
}

TEST_F(ForeignOwner, FrameDialogIsOwnedByTheHostsWindowAndCentredOverIt) {
    void* lib = plugin("borderfx");
    auto action = reinterpret_cast<int (*)(TV32HWND, PlugInRecord*)>(dlsym(lib, "TalvorPlugInAction"));
    ASSERT_NE(action, nullptr);
    TV32HBUF image = 0, alpha = 0, resultImage = 0, resultAlpha = 0;
    ASSERT_TRUE(buf32Alloc(&image, 24, 200, 150, BUF32_FILL_ZERO, nullptr));
    ASSERT_TRUE(buf32Alloc(&alpha, 8, 200, 150, BUF32_FILL_ZERO, nullptr));
    PlugInRecord r;
    std::memset(&r, 0, sizeof r);
    r.selection = {50, 40, 150, 110};
    r.sourceImage = image;
    r.alphaSource = alpha;
    r.resultImage = &resultImage;
    r.resultAlpha = &resultAlpha;
    r.bitsPerPixel = 24;
    r.imageWidth = 200;
    r.imageHeight = 150;
    unsetenv(BFX_DIALOG_ANSWER_VARIABLE);
    unsetenv(BFX_DIALOG_SET_VARIABLE);
    Seen seen;
    whenDialogShows(seen);
    EXPECT_EQ(action(TV32HWND(host_.id), &r), 0);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.owner, WId(host_.id));
    EXPECT_LE((seen.centre - hostCentre_).manhattanLength(), 4) << seen.centre.x() << "," << seen.centre.y();
    EXPECT_EQ(resultImage, 0u);
    buf32Free(image);
    buf32Free(alpha);
    dlclose(lib);
}

} // namespace
