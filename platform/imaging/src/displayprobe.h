// Whether a Qt application can start in this process, found out before one is made: Qt ends the
// whole process when no platform plug-in can start, and a host that is not a Qt program must
// never be ended by a plug-in that wanted to show a window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tv32 {

// One entry of a platform list such as "wayland;xcb": the plug-in's name and its options.
struct PlatformEntry {
    std::string name;    // "xcb", "wayland", "offscreen", ...
    std::string options; // what followed the first ':' (empty for none)
};
// QT_QPA_PLATFORM's text split at ';' and each entry at its first ':'; blanks around entries
// dropped, empty entries left out.
std::vector<PlatformEntry> ParsePlatformList(const std::string& text);

// The environment the probe looks at (the process's own by default; tests pass their own).
struct DisplayEnvironment {
    std::string qpaPlatform;    // QT_QPA_PLATFORM
    std::string x11Display;     // DISPLAY
    std::string waylandDisplay; // WAYLAND_DISPLAY
    static DisplayEnvironment ofProcess();
};

// What can be reached from here; each answers without Qt.
struct DisplayServices {
    bool (*pluginLoads)(const std::string& name);     // the platform plug-in exists and loads
    bool (*x11Reachable)(const std::string& display); // an X server takes a connection
    bool (*waylandReachable)(const std::string& display);
    static DisplayServices ofSystem();
};

// The platform to start Qt with, "-platform" argument form ("xcb", "offscreen", "wayland:opt"):
// the first entry of the host's QT_QPA_PLATFORM that will start, or, without one, X11 when its
// server answers, else Wayland. Empty when nothing will start: then no application may be made.
// Names whose display cannot be checked (other than xcb, wayland*, offscreen and minimal) are
// never chosen.
std::string ChoosePlatform(const DisplayEnvironment& env, const DisplayServices& services);

// Where window, a window of the X server behind connection (an xcb_connection_t*), lies on its
// screen: its top-left corner in root-window coordinates and its size, in the server's pixels.
// False when the server knows no such window.
struct X11Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};
bool X11WindowGeometry(void* connection, uint32_t window, X11Geometry* geometry);

} // namespace tv32
