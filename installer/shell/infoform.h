#pragma once
// The info-file viewer: shows the release's information text (bytes in the OEM code page, CP437) in
// a read-only black text box, so that text art drawn with box and block characters keeps its shape.
#include "framework/forms.h"
#include "shell/infotext.h"

#include <QChar>
#include <QPlainTextEdit>
#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace infotext {

// Reads the whole file. Returns false when it cannot be opened as a file (missing, unreadable, a
// folder, a device or pipe); a read error after opening raises forms::EInOutError.
bool readFile(const std::string& path, std::string& bytes);

} // namespace infotext

// The text box: read-only, and the Tab key stays in it.
class TInfoMemo : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit TInfoMemo(QWidget* parent);

  protected:
    bool focusNextPrevChild(bool) override { return false; }
    void keyPressEvent(QKeyEvent* e) override;
};

class TForm4 : public forms::TForm {
    Q_OBJECT
  public:
    explicit TForm4(QWidget* parent = nullptr);

    TInfoMemo* Memo1;

    // Loads the info file into the box (runs at every activation).
    void FormActivate() override;
};
