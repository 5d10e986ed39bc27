// The image-map dialog: shows the analysed selection, lets the user choose the format and the
// URL, and copies the entry to the clipboard. What the fields show, the tag string for a URL and
// the enabling rule are plain functions; the dialog only calls them.
#pragma once
#include "hotmap/hotmap.h"

#include <QDialog>
#include <QString>

#include <string>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace hotmap {

// Longest text the URL edit takes, in characters.
inline constexpr int kUrlEditLimit = 260;
// Context of the dialog in the help file.
inline constexpr int kHelpContext = 170;

// What the selection fields show for an analysed request.
struct SelectionFields {
    bool circle = false;
    std::string type;        // 1000: the shape name
    std::string position;    // 1003: "(l, t) - (r, b)", for a circle its bounding square
    std::string widthLabel;  // 1006: "Width:", or "Center point:"
    std::string heightLabel; // 1008: "Height:", or "Radius:"
    std::string width;       // 1004 (rectangle, polygon)
    std::string height;      // 1005 (rectangle, polygon)
    std::string centre;      // 1010 (circle): "x, y"
    std::string radius;      // 1011 (circle)
};
SelectionFields selectionFields(const ImageMapRequest& request);

// The format code of the checked radio button: inline, else NCSA, else CERN.
int32_t formatOfChecks(bool inlineChecked, bool ncsaChecked);

// The bytes of an edit's text, at most maxBytes of them, cut before a character that would not
// fit whole.
std::string boundedBytes(const QString& text, std::size_t maxBytes);
// The tag string for the URL edit's text: the URL (at most 259 bytes, blanks at both ends
// removed) put into the template.
std::string tagString(const char* templ, const QString& urlEditText);
// "To Clipboard" is enabled when the first line of the tag string is not empty.
bool canCopy(const QString& tagText);
// What goes to the clipboard for the tag string edit's content: blanks at both ends removed.
std::string clipboardText(const QString& tagText);
// The URL edit's text into the caller's buffer: at most 259 bytes and the zero.
void writeUrl(char* buffer, const QString& urlEditText);
// The help file of the library at modulePath: its folder, "nf4ps.hlp" and the window name ">d".
std::string helpFileFor(const std::string& modulePath);

// Template 11: the dialog over an analysed request. Accepted ("To Clipboard") once the entry is
// on the clipboard and the URL written back; rejected by Cancel or Esc, leaving the caller's URL
// as it was. A clipboard that does not take the text is reported and the dialog stays open.
class ImageMapDialog : public QDialog {
    Q_OBJECT
  public:
    ImageMapDialog(QWidget* parent, ImageMapRequest* request);
    ~ImageMapDialog() override;

    // Centres the dialog over the host's window: a widget of this process or the other program's
    // window that owns it (tv32::attachForeignOwner); 0: over the screen.
    void placeOver(TV32HWND parent);

    void setVisible(bool visible) override;

  private:
    void build();
    void start();
    void formatClicked();
    void refreshTag();
    void updateCopyButton();
    void copyToClipboard();
    void showAbout();
    void showHelp();
    void showMessage(const std::string& text);
    QLabel* label(const char* id) const;

    ImageMapRequest* request_;
    QButtonGroup* formats_ = nullptr;
    QLineEdit* url_ = nullptr;
    QPlainTextEdit* tag_ = nullptr;
    QPushButton* copy_ = nullptr;
    bool focusSet_ = false;
    bool helpOpened_ = false;
    QString helpFile_;
};

// Runs the dialog modally over parent for an analysed request. Returns 1 when the entry went to
// the clipboard ("To Clipboard"), 0 otherwise; then the request has its format (and the entry
// in that format) back.
int runImageMapDialog(TV32HWND parent, ImageMapRequest* request);

} // namespace hotmap
