// The dialog of "Image Map from Whole Selection...".
#include "wholedialog.h"

#include "imagelib/tv32qt.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QValidator>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace gimpadapter {

namespace {

// The URL must fit the library's buffer: HM_URL_SIZE - 1 bytes of UTF-8.
class UrlBytes final : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return input.toUtf8().size() < HM_URL_SIZE ? Acceptable : Invalid;
    }
};

// Where another program's window lies on the screen, in Qt's coordinates: asked of the X server,
// as Qt knows nothing of it. Empty when that fails (the window is gone, or this is not X11).
QRect hostGeometry(uint32_t window, qreal pixelRatio) {
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || pixelRatio <= 0) return {};
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> size(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
    if (!size) return {};
    std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> place(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, size->root, 0, 0), nullptr),
        &std::free);
    if (!place) return {};
    return QRect(QPoint(int(place->dst_x / pixelRatio), int(place->dst_y / pixelRatio)),
                 QSize(int(size->width / pixelRatio), int(size->height / pixelRatio)));
}

// Centres the dialog over `host` (screen coordinates), kept on the screen: Qt places a dialog over
// a parent widget of its own process only.
void placeOver(QDialog& dialog, const QRect& host) {
    if (host.isEmpty()) return;
    dialog.adjustSize();
    const QSize size = dialog.size();
    QPoint topLeft = host.center() - QPoint(size.width() / 2, size.height() / 2);
    if (const QScreen* screen = QGuiApplication::screenAt(host.center())) {
        const QRect area = screen->availableGeometry();
        topLeft.setX(
            std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
        topLeft.setY(
            std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    }
    dialog.move(topLeft);
}

} // namespace

WholeMapDialog::WholeMapDialog(const WholeMapSettings& start, QWidget* parent) : QDialog(parent) {
    auto* layout = new QVBoxLayout(this);

    auto* format = new QGroupBox(QStringLiteral("Format"), this);
    auto* formatLayout = new QVBoxLayout(format);
    formats_ = new QButtonGroup(this);
    const char* const names[] = {"&Inline in an HTML document (AREA elements)", "&NCSA map file",
                                 "CE&RN map file"};
    for (int f = HM_FORMAT_INLINE; f <= HM_FORMAT_CERN; ++f) {
        auto* b = new QRadioButton(QLatin1String(names[f]), format);
        b->setObjectName(QStringLiteral("format%1").arg(f));
        formats_->addButton(b, f);
        formatLayout->addWidget(b);
    }
    const int32_t f = std::clamp<int32_t>(start.format, HM_FORMAT_INLINE, HM_FORMAT_CERN);
    formats_->button(f)->setChecked(true);
    auto* holes =
        new QLabel(QStringLiteral("Holes become areas without a link in the inline format. NCSA and "
                                  "CERN map files have none: there a hole belongs to the region "
                                  "around it."),
                   format);
    holes->setWordWrap(true);
    formatLayout->addWidget(holes);
    layout->addWidget(format);

    auto* urlLabel = new QLabel(QStringLiteral("&URL (to activate when clicked):"), this);
    url_ = new QLineEdit(this);
    url_->setObjectName(QStringLiteral("url"));
    url_->setValidator(new UrlBytes(url_));
    url_->setText(QString::fromUtf8(start.url, qsizetype(strnlen(start.url, HM_URL_SIZE - 1))));
    urlLabel->setBuddy(url_);
    layout->addWidget(urlLabel);
    layout->addWidget(url_);

    auto* caps = new QGroupBox(QStringLiteral("At most"), this);
    auto* capsLayout = new QFormLayout(caps);
    areas_ = new QSpinBox(caps);
    areas_->setObjectName(QStringLiteral("maxAreas"));
    areas_->setRange(1, HM_MAP_MAX_AREAS);
    areas_->setValue(EffectiveAreas(start.maxAreas));
    points_ = new QSpinBox(caps);
    points_->setObjectName(QStringLiteral("maxPoints"));
    points_->setRange(1, HM_MAP_MAX_POINTS);
    points_->setValue(EffectivePoints(start.maxPoints));
    capsLayout->addRow(QStringLiteral("&Areas (holes included):"), areas_);
    capsLayout->addRow(QStringLiteral("&Points over all areas:"), points_);
    layout->addWidget(caps);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("To &Clipboard"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("toClipboard"));
    ok->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    url_->setFocus(Qt::OtherFocusReason);
}

WholeMapSettings WholeMapDialog::settings() const {
    WholeMapSettings s;
    s.format = formats_->checkedId();
    const QByteArray url = url_->text().trimmed().toUtf8();
    std::memcpy(s.url, url.constData(), std::min<std::size_t>(std::size_t(url.size()), HM_URL_SIZE - 1));
    s.maxAreas = areas_->value();
    s.maxPoints = points_->value();
    return s;
}

bool EditWholeMapSettings(WholeMapSettings* settings, const char* title, uint32_t hostWindow) {
    if (!tv32::ensureApplication()) return false;
    WholeMapDialog dialog(*settings);
    dialog.setWindowTitle(QString::fromUtf8(title));
    // Over GIMP's image window, kept above it by the window manager.
    std::unique_ptr<QWindow> host;
    if (hostWindow && QGuiApplication::platformName() == QLatin1String("xcb")) {
        host.reset(QWindow::fromWinId(WId(hostWindow)));
        dialog.winId();
        if (host && dialog.windowHandle()) {
            dialog.windowHandle()->setTransientParent(host.get());
            placeOver(dialog, hostGeometry(hostWindow, dialog.devicePixelRatioF()));
        }
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (dialog.windowHandle()) dialog.windowHandle()->setTransientParent(nullptr);
    if (!accepted) return false;
    *settings = dialog.settings();
    return true;
}

} // namespace gimpadapter
