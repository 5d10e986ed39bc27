// Qt side of the image libraries, for hosts and libraries written with Qt.
#pragma once
#include "imagelib/tv32types.h"

#include <QRect>
#include <QString>

class QApplication;
class QDialog;
class QFont;
class QGroupBox;
class QWidget;

namespace tv32 {

// The widget behind a window handle (registered widget, or a native window of this process);
// nullptr when there is none.
TV32_API QWidget* widgetFromHandle(TV32HWND handle);
// A 32-bit handle for widget (registered on first use, 0 for nullptr); the same widget always
// gets the same handle while it lives.
TV32_API TV32HWND handleOfWidget(QWidget* widget);

// The process's QApplication. When the process has no Qt application (the host is not a Qt
// program), one is created on first use on the calling thread and kept until the process ends,
// but only after the display it would use has been found to answer: the first platform of
// QT_QPA_PLATFORM that will start (xcb when the X server of DISPLAY takes a connection, wayland
// when the compositor of WAYLAND_DISPLAY does, offscreen, minimal), or without QT_QPA_PLATFORM
// the X server of DISPLAY, else the Wayland compositor of WAYLAND_DISPLAY. Returns nullptr, and
// the process goes on, when the process holds a non-widget Qt application or nothing would start
// (where Qt itself would end the process).
TV32_API QApplication* ensureApplication();

// A host's window as the owner of a dialog of this process. A widget of this process is the
// dialog's parent already (widgetFromHandle); a native window of another program (an X11 window
// id, on the xcb platform) becomes the transient parent of the dialog's window, so that the
// window manager keeps the dialog above the host's window, and tv32MoveWindow centres it there.
// Returns true when a foreign window was made the owner; false for 0, a widget of this process,
// an id that names no window, or a platform without foreign windows.
TV32_API bool attachForeignOwner(QWidget* dialog, TV32HWND owner);

// Dialog units: the coordinates of the libraries' resource templates. One horizontal unit is a
// quarter of the dialog font's average character width, one vertical unit an eighth of its
// height (its "base units"). Conversions round halves away from zero, as the Windows dialog
// manager's MulDiv does; so a template laid out in units comes out at the same pixel places here.
//
//   tv32::DialogUnits du = tv32::dialogUnitsOf(tv32::dialogFont());
//   widget->setGeometry(du.rect(6, 6, 119, 65));
struct DialogUnits {
    int baseX = 0; // average character width in pixels
    int baseY = 0; // character height in pixels

    // Base units from measurements: the advance of the 52 letters "A".."Z" "a".."z" (averaged and
    // rounded) and the font height.
    static constexpr DialogUnits fromMeasures(int advanceOf52Letters, int height) {
        return {(advanceOf52Letters / 26 + 1) / 2, height};
    }
    // a * b / c rounded, halves away from zero (64-bit intermediate).
    static constexpr int mulDiv(int a, int b, int c) {
        const long long p = (long long)a * b;
        const long long q = (p < 0 ? -p : p) + c / 2;
        return int(p < 0 ? -(q / c) : q / c);
    }
    constexpr int x(int units) const { return mulDiv(units, baseX, 4); }
    constexpr int y(int units) const { return mulDiv(units, baseY, 8); }
    // A template rectangle (x, y, width, height in units) in pixels; position and size are
    // converted each on its own, as the dialog manager does when it creates a control.
    QRect rect(int left, int top, int width, int height) const {
        return QRect(x(left), y(top), x(width), y(height));
    }
    QSize size(int width, int height) const { return QSize(x(width), y(height)); }
};

// Pixel height of a font of `points` at `dpi` dots per inch (8 points at 96 dpi: 11 pixels).
constexpr int pointsToPixels(int points, int dpi = 96) {
    return DialogUnits::mulDiv(points, dpi, 72);
}
// The dialog font of the resource templates, "MS Sans Serif" 8 point: Liberation Sans (or a
// close sans-serif face when it is missing) at 11 pixels.
TV32_API QFont dialogFont();
// Base units of font, measured with its metrics.
TV32_API DialogUnits dialogUnitsOf(const QFont& font);

// A group box drawn as resource templates draw it: its frame fills the whole rectangle, with the
// top line through the middle of the title (template coordinates place the controls inside
// assuming so; a style's own group box may draw the frame below the title). Controls placed over
// it stay siblings, as in a template.
TV32_API QGroupBox* createTemplateGroupBox(const QString& title, QWidget* parent);

// The about box, built but not shown (ShowAboutBox runs it modally).
TV32_API QDialog* createAboutBox(QWidget* owner);
// Its text.
TV32_API QString aboutText();

} // namespace tv32
