#include "shell/infoform.h"

#include "desktop/system.h"
#include "framework/settings.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace infotext {
namespace {

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

} // namespace

bool readFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return false;
    struct stat st {};
    // Only regular files: a folder cannot be read as text, and a device or pipe might never end.
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int code = errno;
            bytes.clear();
            throw forms::EInOutError(std::string("Read error: ") + std::strerror(code), code);
        }
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace infotext

TInfoMemo::TInfoMemo(QWidget* parent) : QPlainTextEdit(parent) {}

void TInfoMemo::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) &&
        !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        e->accept(); // read-only: the key does nothing, but the focus stays here
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

TForm4::TForm4(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("NFO"));
    setBorderIcons(forms::BorderIcons::CloseOnly);
    setClientSize(514, 422);
    setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));

    Memo1 = new TInfoMemo(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 0, 515, 422);
    Memo1->setReadOnly(true);
    Memo1->setTabChangesFocus(false);
    Memo1->setFrameShape(QFrame::NoFrame);
    // The OEM screen font is a bitmap font: draw its stand-in hinted to whole pixels and without
    // antialiasing, so character cells have whole-pixel widths (7 x 13 at this size) and the
    // box-drawing strokes, which reach a fraction of a pixel into the neighbouring cells, meet
    // without seams.
    QFont oem = forms::makeFont(QStringLiteral("Terminal"), 11);
    oem.setHintingPreference(QFont::PreferFullHinting);
    oem.setStyleStrategy(QFont::NoAntialias);
    Memo1->setFont(oem);
    Memo1->setTabStopDistance(8 * QFontMetrics(oem).horizontalAdvance(QLatin1Char(' ')));
    QPalette pal = Memo1->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, Qt::black);
        pal.setColor(group, QPalette::Text, Qt::white);
    }
    Memo1->setPalette(pal);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Box-drawing and block characters fill the whole line cell: no margin around the text.
    Memo1->document()->setDocumentMargin(0);
    Memo1->setFocus();
    setFocusProxy(Memo1);
}

void TForm4::FormActivate() {
    const std::string path = ProgramFolder + InstallSettings.InfoFile;
    Memo1->clear();
    std::string bytes;
    if (!infotext::readFile(path, bytes)) {
        Memo1->setPlainText(infotext::loadFailureLine(InstallSettings.InfoFile));
        return;
    }
    Memo1->setPlainText(infotext::memoText(bytes));
    setWindowTitle(desktop::fromBytes(InstallSettings.InfoFile));
}
