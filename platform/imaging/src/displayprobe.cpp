// The display probe: platform plug-ins and display servers checked without Qt.
#include "displayprobe.h"

#include <QByteArray>
#include <QLibraryInfo>
#include <QString>

#include <dlfcn.h>

#include <cstdlib>

namespace tv32 {

namespace {

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::string variable(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Folders holding the platform plug-ins: those of QT_PLUGIN_PATH, then Qt's own.
std::vector<std::string> pluginFolders() {
    std::vector<std::string> folders;
    const std::string extra = variable("QT_PLUGIN_PATH");
    std::size_t at = 0;
    while (at <= extra.size()) {
        const std::size_t end = std::min(extra.find(':', at), extra.size());
        if (end > at) folders.push_back(extra.substr(at, end - at) + "/platforms");
        at = end + 1;
    }
    folders.push_back(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms");
    return folders;
}

// A plug-in that loads stays loaded: Qt loads it next anyway, and a library taken out again
// would leave behind what its dependencies (fontconfig, say) set up when they came in.
bool loads(const std::string& path) {
    void* lib = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
    if (!lib) return false;
    dlclose(lib);
    return true;
}

bool systemPluginLoads(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return false;
    std::vector<std::string> files{"libq" + name + ".so"};
    if (name == "wayland") files = {"libqwayland-generic.so", "libqwayland-egl.so"};
    for (const std::string& folder : pluginFolders())
        for (const std::string& file : files)
            if (loads(folder + "/" + file)) return true;
    return false;
}

// A library of the display system, looked up at run time: the platform plug-ins need the same
// libraries, so a system without them has no such display for Qt either.
void* systemLibrary(const char* soname) {
    return dlopen(soname, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
}

bool systemX11Reachable(const std::string& display) {
    void* lib = systemLibrary("libxcb.so.1");
    if (!lib) return false;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(lib, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(lib, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(lib, "xcb_disconnect"));
    bool ok = false;
    if (connect && hasError && disconnect) {
        // xcb_connect always gives a connection object, an erroneous one when the server cannot
        // be reached or refuses us (authorisation included); both are released the same way.
        void* c = connect(display.empty() ? nullptr : display.c_str(), nullptr);
        if (c) {
            ok = hasError(c) == 0;
            disconnect(c);
        }
    }
    dlclose(lib);
    return ok;
}

bool systemWaylandReachable(const std::string& display) {
    void* lib = systemLibrary("libwayland-client.so.0");
    if (!lib) return false;
    using Connect = void* (*)(const char*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(lib, "wl_display_connect"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(lib, "wl_display_disconnect"));
    bool ok = false;
    if (connect && disconnect) {
        if (void* d = connect(display.empty() ? nullptr : display.c_str())) {
            ok = true;
            disconnect(d);
        }
    }
    dlclose(lib);
    return ok;
}

} // namespace

bool X11WindowGeometry(void* connection, uint32_t window, X11Geometry* out) {
    if (!connection || window == 0) return false;
    void* lib = systemLibrary("libxcb.so.1");
    if (!lib) return false;
    // The few requests needed, as the X protocol library declares them.
    struct Cookie {
        unsigned int sequence;
    };
    struct GeometryReply {
        uint8_t responseType, depth;
        uint16_t sequence;
        uint32_t length, root;
        int16_t x, y;
        uint16_t width, height, borderWidth;
        uint8_t pad[2];
    };
    struct TranslateReply {
        uint8_t responseType, sameScreen;
        uint16_t sequence;
        uint32_t length, child;
        int16_t x, y;
    };
    using GetGeometry = Cookie (*)(void*, uint32_t);
    using GetGeometryReply = GeometryReply* (*)(void*, Cookie, void**);
    using Translate = Cookie (*)(void*, uint32_t, uint32_t, int16_t, int16_t);
    using TranslateReplyFn = TranslateReply* (*)(void*, Cookie, void**);
    auto getGeometry = reinterpret_cast<GetGeometry>(dlsym(lib, "xcb_get_geometry"));
    auto geometryReply = reinterpret_cast<GetGeometryReply>(dlsym(lib, "xcb_get_geometry_reply"));
    auto translate = reinterpret_cast<Translate>(dlsym(lib, "xcb_translate_coordinates"));
    auto translateReply = reinterpret_cast<TranslateReplyFn>(dlsym(lib, "xcb_translate_coordinates_reply"));
    bool found = false;
    if (getGeometry && geometryReply && translate && translateReply) {
        void* error = nullptr;
        GeometryReply* g = geometryReply(connection, getGeometry(connection, window), &error);
        std::free(error);
        error = nullptr;
        if (g) {
            // The window's own origin in the root window's coordinates (a window manager may have
            // put it into a frame of its own).
            TranslateReply* t =
                translateReply(connection, translate(connection, window, g->root, 0, 0), &error);
            std::free(error);
            if (t) {
                found = true;
                if (out) *out = {t->x, t->y, g->width, g->height};
            }
            std::free(t);
        }
        std::free(g);
    }
    dlclose(lib);
    return found;
}

std::vector<PlatformEntry> ParsePlatformList(const std::string& text) {
    std::vector<PlatformEntry> entries;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(';', at), text.size());
        const std::string item = trimmed(text.substr(at, end - at));
        if (!item.empty()) {
            const std::size_t colon = item.find(':');
            PlatformEntry e{trimmed(item.substr(0, colon)),
                            colon == std::string::npos ? std::string() : item.substr(colon + 1)};
            if (!e.name.empty()) entries.push_back(e);
        }
        at = end + 1;
    }
    return entries;
}

DisplayEnvironment DisplayEnvironment::ofProcess() {
    return {variable("QT_QPA_PLATFORM"), variable("DISPLAY"), variable("WAYLAND_DISPLAY")};
}

DisplayServices DisplayServices::ofSystem() {
    return {&systemPluginLoads, &systemX11Reachable, &systemWaylandReachable};
}

std::string ChoosePlatform(const DisplayEnvironment& env, const DisplayServices& services) {
    auto starts = [&](const std::string& name) {
        if (name == "offscreen" || name == "minimal") return services.pluginLoads(name);
        if (name == "xcb") return services.pluginLoads(name) && services.x11Reachable(env.x11Display);
        if (name.rfind("wayland", 0) == 0)
            return services.pluginLoads(name) && services.waylandReachable(env.waylandDisplay);
        return false;
    };
    const std::vector<PlatformEntry> entries = ParsePlatformList(env.qpaPlatform);
    for (const PlatformEntry& e : entries)
        if (starts(e.name)) return e.options.empty() ? e.name : e.name + ":" + e.options;
    if (!entries.empty()) return {};
    // The host names no platform: an X server first (the host's own windows are X11 windows
    // then, which the dialogs can be owned by), else a Wayland compositor.
    if (!env.x11Display.empty() && starts("xcb")) return "xcb";
    if (!env.waylandDisplay.empty() && starts("wayland")) return "wayland";
    return {};
}

} // namespace tv32
