#include "framework/forms.h"

#include "desktop/application.h"
#include "desktop/system.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QScreen>

#include <cctype>
#include <climits>

namespace forms {
namespace {
QPointer<TForm> gActiveForm;
QList<QPointer<TForm>> gActivationOrder; // most recently activated last
bool gTerminateRequested = false;
} // namespace

namespace {
std::string gProgramFileOverride;
}

std::string ProgramFile() {
    return gProgramFileOverride.empty() ? desktop::programFile() : gProgramFileOverride;
}
void SetProgramFileOverride(const std::string& file) {
    gProgramFileOverride = file;
}

void Terminate() {
    gTerminateRequested = true;
    QCoreApplication::exit(0);
}
bool TerminateRequested() {
    return gTerminateRequested;
}
void ResetTerminateRequest() {
    gTerminateRequested = false;
}

TForm::TForm(QWidget* parent) : QWidget(parent, Qt::Window) {}

TForm::~TForm() {
    if (loop_) loop_->exit();
}

TForm* TForm::activeForm() {
    return gActiveForm.data();
}

int TForm::ShowModal() {
    // A form already running modally is not entered again (its run, and a result set for it, stand).
    if (loop_) return mrNone;
    modalResult_ = mrNone;
    // Every other window shown now takes no input until the run ends, even while this form is
    // hidden in between (windows shown later, during the run, stay usable).
    QList<QPointer<QWidget>> disabled;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible() && w->isEnabled() && w->isWindow()) {
            w->setEnabled(false);
            disabled << w;
        }
    }
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    QEventLoop* outer = loop_;
    loop_ = &loop;
    Show();
    if (modalResult_ == mrNone) loop.exec(QEventLoop::DialogExec);
    loop_ = outer;
    hide();
    setWindowModality(Qt::NonModal);
    for (const auto& w : disabled)
        if (w) w->setEnabled(true);
    passActivation();
    return modalResult_;
}

void TForm::setModalResult(int result) {
    modalResult_ = result;
    if (loop_ && result != mrNone) loop_->exit();
}

void TForm::Close() {
    if (loop_) {
        setModalResult(mrCancel);
    } else if (mainForm_) {
        hide();
        Terminate();
    } else {
        Hide();
    }
}

void TForm::Show() {
    if (!shownOnce_) centreOnScreen();
    show();
    raise();
    activateWindow();
    // Showing a form makes it the active one, whatever the window manager does about focus.
    becomeActive();
}

void TForm::Hide() {
    hide();
    passActivation();
}

void TForm::becomeActive() {
    if (gActiveForm.data() == this) return;
    gActiveForm = this;
    gActivationOrder.removeAll(QPointer<TForm>(this));
    gActivationOrder.append(this);
    RunHandler([this] { FormActivate(); });
    emit activated();
}

void TForm::passActivation() {
    if (gActiveForm.data() != this) return;
    gActiveForm = nullptr;
    // The form that was active before it, if it can take input, becomes the active one again.
    for (auto it = gActivationOrder.crbegin(); it != gActivationOrder.crend(); ++it) {
        TForm* f = it->data();
        if (f && f != this && f->isVisible() && f->isEnabled()) {
            f->activateWindow();
            f->becomeActive();
            return;
        }
    }
}

void TForm::setClientSize(int width, int height) {
    setFixedSize(width, height);
}

void TForm::setBorderIcons(BorderIcons icons) {
    Qt::WindowFlags f = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (icons == BorderIcons::CloseOnly) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(f);
}

void TForm::centreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    const QSize frame = frameGeometry().size().expandedTo(size());
    move(avail.left() + (avail.width() - frame.width()) / 2,
         avail.top() + (avail.height() - frame.height()) / 2);
}

bool TForm::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::Show:
        if (!shownOnce_) {
            shownOnce_ = true;
            const bool r = QWidget::event(e);
            RunHandler([this] { FormShow(); });
            return r;
        }
        break;
    case QEvent::WindowActivate:
        if (gActiveForm.data() != this) {
            const bool r = QWidget::event(e);
            becomeActive();
            return r;
        }
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

void TForm::closeEvent(QCloseEvent* e) {
    // The frame's close box (or the system's close key) closes the form as Close does.
    if (loop_) {
        e->ignore();
        setModalResult(mrCancel);
        return;
    }
    if (mainForm_) Terminate();
    QWidget::closeEvent(e);
}

void RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        desktop::showException(error);
    }
}

int StrToInt(const std::string& text) {
    auto fail = [&]() -> int { throw EConvertError("'" + text + "' is not a valid integer value"); };
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return fail();
    long long value = 0;
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            return fail();
        value = value * base + digit;
        if (value > static_cast<long long>(INT_MAX) + 1) return fail();
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return fail();
    return static_cast<int>(value);
}

QFont makeFont(const QString& family, int pixelHeight, bool bold, bool italic) {
    QString face = family;
    if (family == QLatin1String("Arial") || family == QLatin1String("MS Sans Serif"))
        face = QStringLiteral("Liberation Sans");
    else if (family == QLatin1String("Terminal"))
        face = QStringLiteral("DejaVu Sans Mono");
    QFont f(face);
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    f.setItalic(italic);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

} // namespace forms
