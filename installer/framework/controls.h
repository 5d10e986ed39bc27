#pragma once
// Simple window-less controls of the installer's windows: a picture drawn unscaled from its top-left
// corner and clipped, and a transparent one-line text label. Both report mouse moves and clicks.
#include <QImage>
#include <QToolButton>
#include <QWidget>

#include <cstdint>

// Where a control keeps itself within its parent: nowhere in particular (it stays where it is put),
// along one edge (the full width or height of the parent, its own height or width), or over the
// whole parent. It keeps there when the parent is resized.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// The place of a control with rectangle `current` aligned by `align` in a parent of size `parent`.
QRect alignedRect(TAlign align, const QRect& current, const QSize& parent);

// A control painted on its parent's surface that reports mouse moves (without a button held) and
// left clicks released inside it.
class TGraphicControl : public QWidget {
    Q_OBJECT
  public:
    explicit TGraphicControl(QWidget* parent);

  signals:
    void mouseMoved();
    void clicked();

  protected:
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
};

class TImage : public TGraphicControl {
    Q_OBJECT
  public:
    explicit TImage(QWidget* parent) : TGraphicControl(parent) {}
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage picture_;
};

class TLabel : public TGraphicControl {
    Q_OBJECT
  public:
    explicit TLabel(QWidget* parent) : TGraphicControl(parent) {}
    void setCaption(const QString& text);
    QString caption() const { return caption_; }
    void setFontColor(const QColor& color);
    QColor fontColor() const { return color_; }

  protected:
    void paintEvent(QPaintEvent*) override;

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
