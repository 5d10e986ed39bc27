#include "shell/controls.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }

void TImage::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

void TImage::mouseMoveEvent(QMouseEvent*) { emit mouseMoved(); }

void TImage::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

TLabel::TLabel(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }

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

void TLabel::mouseMoveEvent(QMouseEvent*) { emit mouseMoved(); }

void TLabel::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

TSpeedButton::TSpeedButton(QWidget* parent, const QString& caption) : QToolButton(parent) {
    setText(caption);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setFocusPolicy(Qt::NoFocus);
}
