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

// CP437 as the OEM screen font draws it (IBM PC graphics characters in the control range).
// clang-format off
constexpr char16_t kCp437[256] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x0009, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

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

char16_t oemToUnicode(unsigned char byte) {
    return kCp437[byte];
}

QString fromOem(std::string_view bytes) {
    QString text;
    text.resize(static_cast<qsizetype>(bytes.size()));
    QChar* out = text.data();
    for (unsigned char b : bytes)
        *out++ = QChar(kCp437[b]);
    return text;
}

std::vector<std::string> splitLines(std::string_view bytes) {
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
    return lines;
}

QString loadFailureLine(const std::string& infoFile) {
    QString line = QStringLiteral("Can`t load file ") + desktop::fromBytes(infoFile);
    // Cut by characters, never inside a surrogate pair.
    qsizetype units = 0;
    int chars = 0;
    while (units < line.size() && chars < 255) {
        units += (line[units].isHighSurrogate() && units + 1 < line.size()) ? 2 : 1;
        ++chars;
    }
    line.truncate(units);
    return line;
}

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
    const std::vector<std::string> lines = infotext::splitLines(bytes);
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += u'\n';
        text += infotext::fromOem(lines[i]);
    }
    Memo1->setPlainText(text);
    setWindowTitle(desktop::fromBytes(InstallSettings.InfoFile));
}
