#pragma once
// The small form framework the installer's windows share: top-level forms that can run modally
// until a modal result is set (independently of being shown or hidden, so a modal form may hide
// itself while another runs), an activation handler that runs when the form becomes the active one
// among the program's forms, and the standard conversions whose errors reach the error box.
#include <QFont>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <stdexcept>
#include <string>

class QEventLoop;

namespace forms {

enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

// How a form's frame looks: no title-bar buttons at all, or a close box only.
enum class BorderIcons { None, CloseOnly };

class TForm : public QWidget {
    Q_OBJECT
  public:
    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    // Shows the form modally and returns its modal result once one is set (by Close or
    // setModalResult). Hiding the form does not end the run. A form already running modally is not
    // run a second time: the call returns mrNone at once.
    int ShowModal();
    // A modal form gets the modal result mrCancel (its run ends); any other form is hidden.
    // The main form ends the program.
    virtual void Close();
    void Show();
    void Hide();

    int modalResult() const { return modalResult_; }
    void setModalResult(int result);
    bool inModalRun() const { return loop_ != nullptr; }

    // Fixed client size, frame without resizing; centred on the screen when first shown.
    void setClientSize(int width, int height);
    void setBorderIcons(BorderIcons icons);
    void setMainForm(bool main) { mainForm_ = main; }
    bool isMainForm() const { return mainForm_; }

    // The form that was last activated among the program's forms.
    static TForm* activeForm();

  signals:
    void activated();

  protected:
    // Runs each time this form becomes the active form of the program (after another form was).
    virtual void FormActivate() {}
    // Runs when the form is shown for the first time.
    virtual void FormShow() {}

    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void centreOnScreen();
    // This form becomes the program's active form: its activation handler runs.
    void becomeActive();
    // When this form was the active one, the one active before it (still shown and enabled) is
    // activated again.
    void passActivation();
    int modalResult_ = mrNone;
    QEventLoop* loop_ = nullptr;
    bool mainForm_ = false;
    bool shownOnce_ = false;
};

// Ends the program's message loop with exit code 0, as closing the main form does.
void Terminate();
// Whether Terminate has been called (tests observe this without a running loop).
bool TerminateRequested();
void ResetTerminateRequest();

// File name of the running program. Tests may put another in place, so that a window built in a
// test process reads its files from a folder of the test's choice.
std::string ProgramFile();
void SetProgramFileOverride(const std::string& file); // "" restores the real one

// Errors of the standard conversions; their text is what the error box shows.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
class EInOutError : public std::runtime_error {
  public:
    EInOutError(const std::string& what, int code) : std::runtime_error(what), code(code) {}
    int code;
};

// Runs an event handler; an error it raises and does not handle is shown in the application's
// standard error box, and the program goes on.
void RunHandler(const std::function<void()>& handler);

// A slot that runs `method` of `form` as an event handler (see RunHandler).
template <class T> auto Handler(T* form, void (T::*method)()) {
    return [form, method] { RunHandler([form, method] { (form->*method)(); }); };
}

// Decimal (or $/0x hexadecimal) 32-bit integer conversion; anything else raises EConvertError
// "'<text>' is not a valid integer value".
int StrToInt(const std::string& text);

// A font by the names the windows were designed with, drawn with the metric-compatible fonts we
// ship: "Arial" and "MS Sans Serif" with Liberation Sans, "Terminal" with DejaVu Sans Mono.
// `pixelHeight` is the character height (without internal leading).
QFont makeFont(const QString& family, int pixelHeight, bool bold = false, bool italic = false);

} // namespace forms
