#pragma once
// Simple window-less controls of the installer's windows: a picture drawn unscaled from its top-left
// corner and clipped, and a transparent one-line text label. Both report mouse moves and clicks.
#include <QImage>

#include <cstdint>
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

// A progress bar whose range and position are 64-bit and whose position always stays within its
// range (a value outside it is clamped, not ignored). Large ranges are scaled down for display.
class TProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit TProgressBar(QWidget* parent);
    void setMin(std::int64_t v);
    void setMax(std::int64_t v);
    void setPosition(std::int64_t v);
    std::int64_t Min() const { return min_; }
    std::int64_t Max() const { return max_; }
    std::int64_t Position() const { return position_; }
    // What the bar shows, as a fraction 0..1 of its length.
    double fraction() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::int64_t min_ = 0, max_ = 100, position_ = 0;
};
