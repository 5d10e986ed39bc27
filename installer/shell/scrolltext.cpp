#include "shell/scrolltext.h"

#include "framework/forms.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace scrolltext {

int nearest(double v) {
    // Round half to even, whatever rounding mode the process runs in.
    const double fl = std::floor(v);
    const double diff = v - fl;
    double r;
    if (diff < 0.5)
        r = fl;
    else if (diff > 0.5)
        r = fl + 1.0;
    else
        r = std::fmod(fl, 2.0) == 0.0 ? fl : fl + 1.0;
    return static_cast<int>(r);
}

Layout computeLayout(int cellHeight, int internalLeading, const std::vector<int>& lineWidths,
                     TTextStyle style, int depth, int width, int height) {
    Layout l;
    int extra = 0;
    if (style == tsRaised || style == tsLowered)
        extra = 2 * depth;
    else if (style == tsShaddow)
        extra = depth;
    l.LineHeight = cellHeight + internalLeading + extra;
    l.MaxWidth = 0;
    for (std::size_t i = 0; i < lineWidths.size(); ++i) {
        const int w = lineWidths[i] + extra;
        if (i == 0 || w > l.MaxWidth) l.MaxWidth = w;
    }
    l.TotalHeight = static_cast<int>(lineWidths.size()) * l.LineHeight;
    l.LeftOffset = l.MaxWidth < width ? (width - l.MaxWidth) / 2 : 0;
    l.TopOffset = l.TotalHeight < height ? (height - l.TotalHeight) / 2 : 0;
    return l;
}

int alignmentOffset(TAlignment alignment, int maxWidth, int lineWidth) {
    switch (alignment) {
    case taCenter:
        return nearest(maxWidth / 2.0 - lineWidth / 2.0);
    case taLeftJustify:
        return 0;
    case taRightJustify:
        return maxWidth - lineWidth;
    }
    return 0;
}

std::optional<double> fraction(int position, int steps) {
    if (steps <= 0) return std::nullopt;
    return static_cast<double>(position) / static_cast<double>(steps);
}

Point origin(TScrollDirection direction, std::optional<double> f, const Layout& l, int width, int height) {
    if (!f) return {l.LeftOffset, l.TopOffset};
    const double t = *f;
    switch (direction) {
    case sdRightToLeft:
        return {nearest((1.0 - t) * (l.MaxWidth + width)) - l.MaxWidth, l.TopOffset};
    case sdLeftToRight:
        return {nearest(t * (l.MaxWidth + width)) - l.MaxWidth, l.TopOffset};
    case sdTopToBottom:
        return {l.LeftOffset, nearest(t * (l.TotalHeight + height)) - l.TotalHeight};
    case sdBottomToTop:
        return {l.LeftOffset, nearest((1.0 - t) * (l.TotalHeight + height)) - l.TotalHeight};
    case sdStatic:
        break;
    }
    return {l.LeftOffset, l.TopOffset};
}

int clampSpeed(int speed) {
    if (speed > 1000) return 1000;
    if (speed <= 0) return 1;
    return speed;
}

void ScrollMotion::start(int p) {
    if (running_) return;
    if (p >= 0 && p <= Steps) Position = p;
    running_ = true;
}

void ScrollMotion::tick(const Hooks& hooks) {
    if (!running_) return;
    if (Position == 0 && hooks.begin) hooks.begin();
    Position += 1;
    if (hooks.paint) hooks.paint();
    if (hooks.step) hooks.step();
    if (Position <= Steps) return;
    running_ = false;
    if (hooks.end) hooks.end();
    Position = 0;
    if (Continuous) start(0);
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype startOfLine = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(startOfLine, i - startOfLine));
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
            startOfLine = ++i;
        } else {
            ++i;
        }
    }
    if (startOfLine < n) lines.append(text.mid(startOfLine));
    return lines;
}

} // namespace scrolltext

TCustomScrollText::TCustomScrollText(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    items_ = QStringList{QStringLiteral("ScrollText")};
    font_ = forms::makeFont(QStringLiteral("Arial"), 13); // Arial 10 pt
    fontColor_ = Qt::black;
    color_ = palette().color(QPalette::Button);
    resize(200, 20);
    Timer = new QTimer(this);
    Timer->setTimerType(Qt::PreciseTimer);
    Timer->setInterval(speed_);
    connect(Timer, &QTimer::timeout, this, &TCustomScrollText::Tick);
    setScrollDirection(sdRightToLeft);
}

TCustomScrollText::~TCustomScrollText() {
    Timer->stop();
}

void TCustomScrollText::changed() {
    update();
}

void TCustomScrollText::setItems(const QStringList& lines) {
    if (lines == items_) return;
    items_ = lines;
    changed();
}

void TCustomScrollText::setFont(const QFont& font) {
    if (font == font_) return;
    font_ = font;
    changed();
}

void TCustomScrollText::setFontColor(const QColor& color) {
    if (color == fontColor_) return;
    fontColor_ = color;
    changed();
}

void TCustomScrollText::setColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    changed();
}

void TCustomScrollText::setSteps(int steps) {
    // No repaint: the next step shows the new fraction.
    motion_.Steps = steps;
}

void TCustomScrollText::setSpeed(int speed) {
    speed = scrolltext::clampSpeed(speed);
    if (speed == speed_) return;
    speed_ = speed;
    Timer->setInterval(speed_);
}

void TCustomScrollText::setContinuous(bool continuous) {
    if (continuous == motion_.Continuous) return;
    motion_.Continuous = continuous;
    if (direction_ != sdStatic) Start(motion_.Position);
}

void TCustomScrollText::setScrollDirection(TScrollDirection direction) {
    direction_ = direction;
    if (direction_ != sdStatic)
        Start(motion_.Position);
    else
        Stop();
}

void TCustomScrollText::setTextStyle(TTextStyle style) {
    if (style == style_) return;
    style_ = style;
    changed();
}

void TCustomScrollText::setDepth(int depth) {
    if (depth == depth_) return;
    depth_ = depth;
    changed();
}

void TCustomScrollText::setAlignment(TAlignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    changed();
}

void TCustomScrollText::setAlign(TAlign align) {
    if (align == align_) return;
    if (QWidget* parent = parentWidget()) {
        // The parent's resizes are followed while the control is aligned.
        if (align_ == alNone) parent->installEventFilter(this);
        if (align == alNone) parent->removeEventFilter(this);
    }
    align_ = align;
    applyAlign();
}

void TCustomScrollText::applyAlign() {
    if (QWidget* parent = parentWidget(); parent && align_ != alNone)
        setGeometry(alignedRect(align_, geometry(), parent->size()));
}

bool TCustomScrollText::eventFilter(QObject* watched, QEvent* e) {
    if (watched == parentWidget() && e->type() == QEvent::Resize) applyAlign();
    return QWidget::eventFilter(watched, e);
}

void TCustomScrollText::Start(int p) {
    motion_.start(p);
    if (motion_.running() && !Timer->isActive()) Timer->start();
}

void TCustomScrollText::Stop() {
    motion_.stop();
    Timer->stop();
}

void TCustomScrollText::Tick() {
    scrolltext::ScrollMotion::Hooks hooks;
    if (OnBegin) hooks.begin = [this] { OnBegin(this); };
    // Drawn at once, not through a repaint request.
    hooks.paint = [this] {
        if (isVisible()) repaint();
    };
    if (OnStep) hooks.step = [this] { OnStep(this); };
    hooks.end = [this] {
        Timer->stop();
        if (OnEnd) OnEnd(this);
    };
    motion_.tick(hooks);
    // A pass that ended and started again (Continuous) keeps the timer running.
    if (motion_.running() && !Timer->isActive()) Timer->start();
}

const TCustomScrollText::Metrics& TCustomScrollText::metrics() const {
    if (!metrics_.valid || metrics_.font != font_ || metrics_.items != items_) {
        const QFontMetrics fm(font_);
        metrics_.font = font_;
        metrics_.items = items_;
        metrics_.cellHeight = fm.height();
        metrics_.internalLeading = std::max(0, fm.height() - QFontInfo(font_).pixelSize());
        metrics_.ascent = fm.ascent();
        metrics_.widths.clear();
        for (const QString& line : items_)
            metrics_.widths.push_back(fm.horizontalAdvance(line));
        metrics_.valid = true;
    }
    return metrics_;
}

scrolltext::Layout TCustomScrollText::currentLayout() const {
    const Metrics& m = metrics();
    return scrolltext::computeLayout(m.cellHeight, m.internalLeading, m.widths, style_, depth_, width(),
                                     height());
}

void TCustomScrollText::drawLine(QPainter& p, const QString& line, int lineWidth, int x, int y,
                                 const scrolltext::Layout& l) const {
    const int a = scrolltext::alignmentOffset(alignment_, l.MaxWidth, lineWidth);
    const int baseline = metrics().ascent;
    const int d = depth_;
    const QColor highlight = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    auto put = [&](const QColor& c, int px, int py) {
        p.setPen(c);
        p.drawText(px, py + baseline, line);
    };
    switch (style_) {
    case tsRaised:
        put(highlight, x + a - d, y - d);
        put(shadow, x + a + d, y + d);
        break;
    case tsLowered:
        put(shadow, x + a - d, y - d);
        put(highlight, x + a + d, y + d);
        break;
    case tsShaddow:
        put(shadow, x + a + d, y + d);
        break;
    case tsNormal:
        break;
    }
    put(fontColor_, x + a, y);
}

void TCustomScrollText::renderFrame(QImage& target) {
    const scrolltext::Layout l = currentLayout();
    target.fill(color_);
    if (items_.isEmpty()) return;
    QPainter p(&target);
    p.setFont(font_);
    const auto f = scrolltext::fraction(motion_.Position, motion_.Steps);
    scrolltext::Point o = scrolltext::origin(direction_, f, l, width(), height());
    const Metrics& m = metrics();
    for (qsizetype i = 0; i < items_.size(); ++i) {
        // Lines wholly outside the control are not drawn.
        if (o.y < height() && o.y + l.LineHeight > 0)
            drawLine(p, items_[i], m.widths[static_cast<std::size_t>(i)], o.x, o.y, l);
        o.y += l.LineHeight;
    }
}

void TCustomScrollText::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    frame_ = QImage();
}

void TCustomScrollText::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    const QSize px = size() * dpr;
    if (frame_.size() != px) {
        frame_ = QImage(px, QImage::Format_RGB32);
        frame_.setDevicePixelRatio(dpr);
    }
    renderFrame(frame_);
    QPainter p(this);
    p.drawImage(0, 0, frame_);
}
