#pragma once
// Desktop services every window needs: message boxes, the shell's "open", the help viewer and the
// free space of a disk. Each sits behind an interface, so tests install a recorder instead.
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace desktop {

enum class BoxIcon { None, Information, Warning, Error };

struct Box {
    QString title;
    QString text;
    BoxIcon icon = BoxIcon::None;
};

// A message box with one OK button; show() returns when the user has closed it. ask() shows the box
// with OK and Cancel and returns whether OK was chosen (by default: shown as a plain box, OK).
class MessageBoxService {
  public:
    virtual ~MessageBoxService() = default;
    virtual void show(QWidget* owner, const Box& box) = 0;
    virtual bool ask(QWidget* owner, const Box& box) {
        show(owner, box);
        return true;
    }
};

// The shell's "open" action on a file or folder. Returns whether the request was accepted.
class ShellService {
  public:
    virtual ~ShellService() = default;
    virtual bool open(const QString& target) = 0;
};

// The help viewer: show a help file at a context number, and tell it to quit for a window.
// `helpFile` may carry a window name after '>' ("folder/nf4ps.hlp>d").
class HelpService {
  public:
    virtual ~HelpService() = default;
    virtual bool showContext(QWidget* owner, const QString& helpFile, int context) = 0;
    virtual bool quit(QWidget* owner, const QString& helpFile) = 0;
};

// Bytes available to the calling user on the file system holding `path`; empty when unknown.
class FreeSpaceService {
  public:
    virtual ~FreeSpaceService() = default;
    virtual std::optional<std::uint64_t> bytesAvailable(const QString& path) = 0;
};

// The services in force. Passing nullptr to a setter puts the default back.
MessageBoxService& messageBoxes();
void setMessageBoxes(MessageBoxService* service);
ShellService& shell();
void setShell(ShellService* service);
HelpService& help();
void setHelp(HelpService* service);
FreeSpaceService& freeSpace();
void setFreeSpace(FreeSpaceService* service);

// The installer's two kinds of message: title "Warning" or "Information", one OK button.
void showWarning(QWidget* owner, const QString& text);
void showInformation(QWidget* owner, const QString& text);
// An "Information" box with OK and Cancel; true for OK.
bool askInformation(QWidget* owner, const QString& text);

// Keeps every request made of the box, shell and help services, in order, and answers at once
// (boxes are "closed" with OK immediately). `onEntry` runs for each request before it returns, so a
// test can act while a box would be up.
class Recorder final : public MessageBoxService, public ShellService, public HelpService {
  public:
    struct Entry {
        enum class Kind { Box, Open, Help, HelpQuit } kind;
        QString title; // box title
        QString text;  // box text, opened target or help file
        BoxIcon icon = BoxIcon::None;
        int context = 0;
    };

    Recorder();           // installs itself as the box, shell and help service
    ~Recorder() override; // puts the previous services back
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    std::vector<Entry> entries;
    std::function<void(const Entry&)> onEntry;
    bool shellResult = true;
    bool helpResult = true;
    bool askResult = true; // the answer to boxes with OK and Cancel (recorded as boxes)

    std::vector<Entry> boxes() const;
    std::vector<QString> opened() const;
    void clear() { entries.clear(); }

    void show(QWidget* owner, const Box& box) override;
    bool ask(QWidget* owner, const Box& box) override;
    bool open(const QString& target) override;
    bool showContext(QWidget* owner, const QString& helpFile, int context) override;
    bool quit(QWidget* owner, const QString& helpFile) override;

  private:
    void add(Entry e);
    MessageBoxService* prevBoxes_;
    ShellService* prevShell_;
    HelpService* prevHelp_;
};

// When the environment variable KIT_DESKTOP_LOG names a file, the default services show nothing
// and append one line per request to that file instead:
//   box<TAB>title<TAB>text        open<TAB>target        help<TAB>file<TAB>context        helpquit<TAB>file
//   ask<TAB>title<TAB>text (a box with OK and Cancel, answered Cancel: nobody is there to act on it)
// This lets scripts and tests drive whole programs headless.
inline constexpr const char* kDesktopLogVariable = "KIT_DESKTOP_LOG";

} // namespace desktop
