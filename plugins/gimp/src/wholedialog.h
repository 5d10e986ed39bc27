// The small dialog of "Image Map from Whole Selection...": the format, the URL and the caps of a
// map of the whole selection. It only edits WholeMapSettings; MakeWholeMap makes the map.
#pragma once
#include "imagemap.h"

#include <QDialog>

#include <cstdint>

class QButtonGroup;
class QLineEdit;
class QSpinBox;

namespace gimpadapter {

class WholeMapDialog final : public QDialog {
  public:
    explicit WholeMapDialog(const WholeMapSettings& start, QWidget* parent = nullptr);
    // The settings as the controls show them; the URL without blanks at either end.
    WholeMapSettings settings() const;

  private:
    QButtonGroup* formats_;
    QLineEdit* url_;
    QSpinBox* areas_;
    QSpinBox* points_;
};

// Shows the dialog modally with `title`, as a transient window of hostWindow (an X11 window of
// GIMP; 0 for none). True with *settings replaced when the user pressed "To Clipboard"; false
// when the user cancelled or no dialog could be shown.
bool EditWholeMapSettings(WholeMapSettings* settings, const char* title, uint32_t hostWindow);

} // namespace gimpadapter
