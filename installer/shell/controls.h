#pragma once
// Simple window-less controls of the installer's windows: a picture drawn unscaled from its top-left
// corner and clipped, and a transparent one-line text label. Both report mouse moves and clicks.
#include <QImage>
#include <QToolButton>
#include <QWidget>

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

signals:
    void mouseMoved();
    void clicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QImage picture_;
};

class TLabel : public QWidget {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent);
    void setCaption(const QString& text);
    QString caption() const { return caption_; }
    void setFontColor(const QColor& color);
    QColor fontColor() const { return color_; }

signals:
    void mouseMoved();
    void clicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QString caption_;
    QColor color_ = Qt::black;
};

// A flat push button: no frame until the mouse is over it.
class TSpeedButton : public QToolButton {
    Q_OBJECT
public:
    TSpeedButton(QWidget* parent, const QString& caption);
};
