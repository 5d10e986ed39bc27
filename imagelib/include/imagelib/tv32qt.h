// Qt side of the image libraries, for hosts and libraries written with Qt.
#pragma once
#include "imagelib/tv32types.h"

#include <QString>

class QApplication;
class QDialog;
class QWidget;

namespace tv32 {

// The widget behind a window handle (registered widget, or a native window of this process);
// nullptr when there is none.
TV32_API QWidget* widgetFromHandle(TV32HWND handle);
// A 32-bit handle for widget (registered on first use, 0 for nullptr); the same widget always
// gets the same handle while it lives.
TV32_API TV32HWND handleOfWidget(QWidget* widget);

// The process's QApplication. When the process has no Qt application (the host is not a Qt
// program), one is created on first use on the calling thread, with the program's name as its
// only argument, and kept until the process ends. Returns nullptr when the process holds a
// non-widget Qt application or no display can be reached (QT_QPA_PLATFORM unset and neither
// DISPLAY nor WAYLAND_DISPLAY set).
TV32_API QApplication* ensureApplication();

// The about box, built but not shown (ShowAboutBox runs it modally).
TV32_API QDialog* createAboutBox(QWidget* owner);
// Its text.
TV32_API QString aboutText();

} // namespace tv32
