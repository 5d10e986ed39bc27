#include "shell/officecaption.h"

#include "framework/forms.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QWindow>

#include <cstdlib>
#include <stdexcept>

namespace caption {

int muldiv(int a, int b, int c) {
    if (c == 0) return -1;
    const std::int64_t num = static_cast<std::int64_t>(a) * b;
    std::int64_t q = num / c;
    const std::int64_t r = num % c;
    // Halves away from zero: |2r| >= |c| moves one further from zero.
    if (2 * std::llabs(r) >= std::llabs(static_cast<std::int64_t>(c))) q += ((num < 0) != (c < 0)) ? -1 : 1;
    return static_cast<int>(q);
}

std::vector<Band> gradientBands(int left, int width, int numColors, QRgb from, QRgb to) {
    std::vector<Band> bands;
    if (numColors < 1) return bands;
    bands.reserve(static_cast<std::size_t>(numColors));
    auto channel = [&](int f, int t, int i) {
        return numColors == 1 ? f : f + muldiv(i, t - f, numColors - 1);
    };
    for (int i = 0; i < numColors; ++i) {
        Band b;
        b.left = left + muldiv(i, width, numColors);
        b.right = left + muldiv(i + 1, width, numColors);
        b.color = qRgb(channel(qRed(from), qRed(to), i), channel(qGreen(from), qGreen(to), i),
                       channel(qBlue(from), qBlue(to), i));
        bands.push_back(b);
    }
    return bands;
}

QString compose(const PartText& company, const PartText& appName, const PartText& captionPart) {
    QString s;
    if (company.visible) s += company.text;
    if (company.visible && !company.text.isEmpty() && (appName.visible || captionPart.visible)) s += u' ';
    if (appName.visible) s += appName.text;
    if (appName.visible && !appName.text.isEmpty() && captionPart.visible) s += u' ';
    if (captionPart.visible) s += captionPart.text;
    return s;
}

QString readCaption(const QString& windowCaption, const PartText& company, const PartText& appName) {
    QString s = windowCaption;
    for (const PartText* part : {&company, &appName}) {
        if (part->visible) {
            const qsizetype at = s.indexOf(part->text);
            if (at >= 0) s.remove(0, at + part->text.size());
        }
        if (s.startsWith(u' ')) s.remove(0, 1);
    }
    return s;
}

std::array<PartPlacement, 3> placeParts(const std::array<PartFit, 3>& parts, int areaLeft, int areaRight,
                                        TJustification justification) {
    const int areaWidth = areaRight - areaLeft;
    auto total = [&](int first) {
        int sum = 0;
        for (int i = first; i < 3; ++i)
            if (parts[static_cast<std::size_t>(i)].visible)
                sum += parts[static_cast<std::size_t>(i)].textWidth + 3;
        return sum;
    };
    int first = 2;
    if (total(0) < areaWidth)
        first = 0;
    else if (total(1) < areaWidth)
        first = 1;
    const int width = total(first);

    int left = areaLeft;
    if (justification == jCenter && width < areaWidth)
        left += (areaWidth - width) / 2;
    else if (justification == jRight && width < areaWidth)
        left = areaRight - width;

    std::array<PartPlacement, 3> out{};
    for (int i = first; i < 3; ++i) {
        const PartFit& p = parts[static_cast<std::size_t>(i)];
        const bool drawn = i < 2 ? p.visible && !p.empty : p.visible;
        if (!drawn) continue;
        left += 3;
        out[static_cast<std::size_t>(i)] = {true, left};
        left += p.textWidth;
    }
    return out;
}

QString elide(const QString& text, int width, const std::function<int(const QString&)>& measure) {
    if (measure(text) <= width) return text;
    const QString dots = QStringLiteral("...");
    // Longest prefix that fits with the dots; binary search (widths grow with the prefix).
    qsizetype lo = 0, hi = text.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (measure(text.left(mid) + dots) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && text[lo - 1].isHighSurrogate()) --lo;
    if (lo == 0 && measure(dots) > width) {
        QString d = dots;
        while (!d.isEmpty() && measure(d) > width)
            d.chop(1);
        return d;
    }
    return text.left(lo) + dots;
}

bool gradientDrawn(TGradEnabled enabled, bool active, int displayDepth) {
    switch (enabled) {
    case geAlways:
        return true;
    case geNever:
        return false;
    case geWhenActive:
        return active;
    case geSmart:
        return active ? displayDepth >= 8 : displayDepth > 8;
    }
    return false;
}

} // namespace caption

// --- system colours and font ---

QColor CaptionSystem::activeCaption() {
    return QApplication::palette().color(QPalette::Active, QPalette::Highlight);
}
QColor CaptionSystem::inactiveCaption() {
    return QApplication::palette().color(QPalette::Active, QPalette::Dark);
}
QColor CaptionSystem::captionText() {
    return QApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
}
QColor CaptionSystem::inactiveCaptionText() {
    return QApplication::palette().color(QPalette::Active, QPalette::Light);
}
QFont CaptionSystem::captionFont() {
    return QFontDatabase::systemFont(QFontDatabase::TitleFont);
}

// --- caption parts ---

TCompanyText::TCompanyText(TMSOfficeCaption* owner)
    : owner_(owner), colorActive_(CaptionSystem::captionText()),
      colorInactive_(CaptionSystem::inactiveCaptionText()),
      font_(owner ? owner->systemCaptionFont() : CaptionSystem::captionFont()) {}

void TCompanyText::setCaption(const QString& text) {
    if (text == caption_) return;
    caption_ = text;
    if (owner_) {
        owner_->composeCaption();
        owner_->redraw();
    }
}

void TCompanyText::setColorActive(const QColor& c) {
    colorActive_ = c;
    if (owner_) owner_->redraw();
}

void TCompanyText::setColorInactive(const QColor& c) {
    colorInactive_ = c;
    if (owner_) owner_->redraw();
}

void TCompanyText::setFont(const QFont& font) {
    font_ = font;
    if (fontKind_ == fkAutoHeight)
        applyFontKind();
    else
        fontKind_ = fkCustom;
    if (owner_) owner_->redraw();
}

void TCompanyText::setFontKind(TFontKind kind) {
    fontKind_ = kind;
    applyFontKind();
    if (owner_) owner_->redraw();
}

void TCompanyText::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (owner_) {
        owner_->composeCaption();
        owner_->redraw();
    }
}

void TCompanyText::applyFontKind() {
    const QFont system = owner_ ? owner_->systemCaptionFont() : CaptionSystem::captionFont();
    switch (fontKind_) {
    case fkCustom:
        break;
    case fkSystem:
    case fkSystemI:
    case fkSystemB:
    case fkSystemBI:
        font_ = system;
        if (fontKind_ == fkSystemI || fontKind_ == fkSystemBI) font_.setItalic(true);
        if (fontKind_ == fkSystemB || fontKind_ == fkSystemBI) font_.setBold(true);
        break;
    case fkAutoHeight: {
        // Character height (cell height less internal leading) equal to the system caption font's.
        const int target = QFontInfo(system).pixelSize();
        font_.setPixelSize(std::max(1, target));
        if (QFontInfo(font_).pixelSize() > target && target > 1) font_.setPixelSize(target - 1);
        break;
    }
    }
}

void TCaptionText::setCaption(const QString& text) {
    if (text == Caption()) return;
    caption_ = text;
    if (owner_) {
        owner_->composeCaption();
        owner_->redraw();
    }
}

QString TCaptionText::Caption() const {
    if (!owner_ || !owner_->owner()) return caption_;
    return caption::readCaption(owner_->owner()->windowTitle(), owner_->partText(owner_->CompanyText()),
                                owner_->partText(owner_->AppNameText()));
}

// --- the bar ---

TMSOfficeCaption::TMSOfficeCaption(QWidget* owner) : QWidget(owner), owner_(owner) {
    if (!owner || !owner->isWindow()) throw std::invalid_argument("Invalid class typecast");
    setObjectName(QStringLiteral("MSOfficeCaption1"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    systemFont_ = CaptionSystem::captionFont();
    rightActive_ = CaptionSystem::activeCaption();
    rightInactive_ = CaptionSystem::inactiveCaption();
    company_ = std::make_unique<TCompanyText>(this);
    appName_ = std::make_unique<TAppNameText>(this);
    caption_ = std::make_unique<TCaptionText>(this);
    caption_->storeCaption(owner->windowTitle());
    owner->installEventFilter(this);
    fitToOwner();
    raise();
}

TMSOfficeCaption::~TMSOfficeCaption() {
    if (!owner_) return;
    owner_->removeEventFilter(this);
    // A window that is itself being destroyed has taken this component out of its children
    // already; one that lives on gets its own caption back and the window system's title bar.
    if (!owner_->children().contains(this)) return;
    const QString caption = caption_->Caption();
    owner_->setWindowTitle(caption);
    if (owner_->windowFlags() & Qt::FramelessWindowHint) {
        const bool shown = owner_->isVisible();
        owner_->setWindowFlags(owner_->windowFlags() & ~Qt::FramelessWindowHint);
        if (shown) owner_->show();
    }
}

caption::PartText TMSOfficeCaption::partText(const TCompanyText* part) const {
    return {part->storedCaption(), part->Visible()};
}

void TMSOfficeCaption::composeCaption() {
    if (!owner_) return;
    const QString s =
        caption::compose(partText(company_.get()), partText(appName_.get()), partText(caption_.get()));
    owner_->setWindowTitle(s);
}

void TMSOfficeCaption::setColorLeftActive(const QColor& c) {
    if (c == leftActive_) return;
    leftActive_ = c;
    redraw();
}
void TMSOfficeCaption::setColorLeftInActive(const QColor& c) {
    if (c == leftInactive_) return;
    leftInactive_ = c;
    redraw();
}
void TMSOfficeCaption::setColorRightActive(const QColor& c) {
    if (c == rightActive_) return;
    rightActive_ = c;
    redraw();
}
void TMSOfficeCaption::setColorRightInActive(const QColor& c) {
    if (c == rightInactive_) return;
    rightInactive_ = c;
    redraw();
}
void TMSOfficeCaption::setEnabled(TGradEnabled e) {
    if (e == enabled_) return;
    enabled_ = e;
    redraw();
}
void TMSOfficeCaption::setJustification(TJustification j) {
    if (j == justification_) return;
    justification_ = j;
    redraw();
}

void TMSOfficeCaption::setNumColors(int n) {
    if (n < 1) return; // no designer here to complain to: the value is ignored
    if (n > 256) n = 256;
    if (n == numColors_) return;
    numColors_ = n;
    redraw();
}

bool TMSOfficeCaption::Active() const {
    return owner_ && owner_->isActiveWindow();
}

void TMSOfficeCaption::fitToOwner() {
    if (owner_) setGeometry(0, 0, owner_->width(), captionHeight());
}

void TMSOfficeCaption::systemSettingsChanged() {
    systemFont_ = CaptionSystem::captionFont();
    for (TCompanyText* part : {company_.get(), static_cast<TCompanyText*>(appName_.get()),
                               static_cast<TCompanyText*>(caption_.get())})
        part->applyFontKind();
    redraw();
}

bool TMSOfficeCaption::eventFilter(QObject* watched, QEvent* e) {
    if (watched == owner_) {
        switch (e->type()) {
        case QEvent::ActivationChange:
            redraw();
            break;
        case QEvent::WindowTitleChange:
            caption_->storeCaption(caption_->Caption());
            redraw();
            break;
        case QEvent::Resize:
            fitToOwner();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TMSOfficeCaption::changeEvent(QEvent* e) {
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange) systemSettingsChanged();
    QWidget::changeEvent(e);
}

void TMSOfficeCaption::paintBar(QImage& target) {
    const bool active = Active();
    const QRect bar(0, 0, width(), captionHeight());
    QRect area = bar;
    if (area.width() < 2) area.setWidth(2);

    const QScreen* scr = screen();
    const int depth = scr ? scr->depth() : 24;
    const bool gradient = caption::gradientDrawn(enabled_, active, depth);
    const QColor plain = active ? CaptionSystem::activeCaption() : CaptionSystem::inactiveCaption();
    const QColor leftColor = active ? leftActive_ : leftInactive_;
    const QColor rightColor = active ? rightActive_ : rightInactive_;

    QPainter p(&target);
    p.fillRect(bar, gradient ? rightColor : plain);
    if (gradient) {
        for (const caption::Band& b :
             caption::gradientBands(area.left(), area.width(), numColors_, leftColor.rgb(), rightColor.rgb()))
            p.fillRect(QRect(b.left, area.top(), b.right - b.left, area.height()), QColor(b.color));
    } else {
        p.fillRect(area, plain);
    }

    // No system menu on our frameless windows: no icon and no title-bar buttons.
    if (OnDrawCaption) {
        p.save();
        p.setFont(systemFont_);
        OnDrawCaption(this, p, area);
        p.restore();
    }

    caption_->storeCaption(caption_->Caption());
    const std::array<const TCompanyText*, 3> parts{company_.get(), appName_.get(), caption_.get()};
    std::array<caption::PartFit, 3> fits{};
    for (std::size_t i = 0; i < 3; ++i) {
        const QString& text = parts[i]->storedCaption();
        fits[i] = {parts[i]->Visible(), QFontMetrics(parts[i]->Font()).horizontalAdvance(text),
                   text.isEmpty()};
    }
    const auto placed = caption::placeParts(fits, area.left(), area.left() + area.width(), justification_);
    const int right = area.left() + area.width();
    for (std::size_t i = 0; i < 3; ++i) {
        if (!placed[i].drawn) continue;
        const QFontMetrics fm(parts[i]->Font());
        const int room = right - placed[i].x;
        if (room <= 0) continue;
        const QString shown = caption::elide(parts[i]->storedCaption(), room,
                                             [&fm](const QString& s) { return fm.horizontalAdvance(s); });
        p.setFont(parts[i]->Font());
        p.setPen(active ? parts[i]->ColorActive() : parts[i]->ColorInactive());
        p.drawText(QRect(placed[i].x, area.top(), room, area.height()),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
}

void TMSOfficeCaption::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    const QSize px = size() * dpr;
    if (frame_.size() != px) {
        frame_ = QImage(px, QImage::Format_RGB32);
        frame_.setDevicePixelRatio(dpr);
    }
    paintBar(frame_);
    QPainter p(this);
    p.drawImage(0, 0, frame_);
}

void TMSOfficeCaption::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !owner_) return QWidget::mousePressEvent(e);
    QWindow* handle = owner_->windowHandle();
    if (handle && handle->startSystemMove()) return;
    // The window system does not move windows for us: follow the mouse ourselves.
    dragging_ = true;
    dragOffset_ = e->globalPosition().toPoint() - owner_->pos();
}

void TMSOfficeCaption::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_ && owner_)
        owner_->move(e->globalPosition().toPoint() - dragOffset_);
    else
        QWidget::mouseMoveEvent(e);
}

void TMSOfficeCaption::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) dragging_ = false;
    QWidget::mouseReleaseEvent(e);
}
