#include "framework/controls.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

QRect alignedRect(TAlign align, const QRect& current, const QSize& parent) {
    const int w = parent.width(), h = parent.height();
    switch (align) {
    case alNone:
        break;
    case alTop:
        return {0, 0, w, current.height()};
    case alBottom:
        return {0, h - current.height(), w, current.height()};
    case alLeft:
        return {0, 0, current.width(), h};
    case alRight:
        return {w - current.width(), 0, current.width(), h};
    case alClient:
        return {0, 0, w, h};
    }
    return current;
}

TGraphicControl::TGraphicControl(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

void TGraphicControl::mouseMoveEvent(QMouseEvent*) {
    emit mouseMoved();
}

void TGraphicControl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

void TImage::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TImage::paintEvent(QPaintEvent* e) {
    // One rectangle of the region to paint at a time. A widget above the picture (the scrolling
    // line over the background) leaves a hole in that region; through a clip of that shape the
    // paint engine blends the picture row by row on a pool of threads it first has to start, which
    // made the background the slowest part of the main window's first frame. Through a rectangle
    // it copies the rows.
    QPainter p(this);
    for (const QRect& r : e->region()) {
        p.setClipRect(r);
        p.drawImage(r.topLeft(), picture_, r);
    }
}

void TLabel::setCaption(const QString& text) {
    caption_ = text;
    update();
}

void TLabel::setFontColor(const QColor& color) {
    color_ = color;
    update();
}

void TLabel::paintEvent(QPaintEvent*) {
    if (caption_.isEmpty()) return;
    QPainter p(this);
    p.setFont(font());
    p.setPen(color_);
    p.setClipRect(rect());
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption_);
}

TSpeedButton::TSpeedButton(QWidget* parent, const QString& caption) : QToolButton(parent) {
    setText(caption);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setFocusPolicy(Qt::NoFocus);
}

TProgressBar::TProgressBar(QWidget* parent) : QWidget(parent) {}

void TProgressBar::setMin(std::int64_t v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    setPosition(position_);
}

void TProgressBar::setMax(std::int64_t v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    setPosition(position_);
}

void TProgressBar::setPosition(std::int64_t v) {
    const std::int64_t clamped = v < min_ ? min_ : (v > max_ ? max_ : v);
    if (clamped == position_) return;
    position_ = clamped;
    update();
}

double TProgressBar::fraction() const {
    if (max_ <= min_) return 0.0;
    return static_cast<double>(position_ - min_) / static_cast<double>(max_ - min_);
}

void TProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Base));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    // Segmented blocks, as a classic progress bar draws them.
    const QRect inner = r.adjusted(2, 2, -2, -2);
    const int filled = static_cast<int>(inner.width() * fraction() + 0.5);
    const int block = std::max(4, inner.height() * 2 / 3), gap = 2;
    const QColor fill = palette().color(QPalette::Highlight);
    for (int x = 0; x < filled; x += block + gap)
        p.fillRect(QRect(inner.left() + x, inner.top(), std::min(block, filled - x), inner.height()), fill);
}
