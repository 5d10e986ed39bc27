#pragma once
// The set-up the filter's resource-template dialogs share: caption, modal frame, the dialog font,
// size and control places in dialog units, and the row of command buttons.
#include "imagelib/tv32qt.h"

#include <QDialog>
#include <QPushButton>
#include <QRect>

#include <functional>
#include <vector>

namespace borderfx {

// Places in dialog units of the filter's dialogs, in pixels (the dialog font's base units).
using TemplateLayout = tv32::DialogUnits;

// Gives `dialog` its caption, the modal frame without a help button and the dialog font, and sizes
// it to `width` x `height` dialog units. Returns the layout of its dialog units.
TemplateLayout SetUpTemplateDialog(QDialog* dialog, const QString& caption, int width, int height);

struct CommandButton {
    int id;
    const char* text;
    QRect at;
};

// Creates the push buttons (objectName = id, button 1 the default one); a click calls `command`
// with the button's id. Returns them in the given order.
std::vector<QPushButton*> AddCommandButtons(QDialog* dialog, const std::vector<CommandButton>& buttons,
                                            const std::function<void(int)>& command);

} // namespace borderfx
