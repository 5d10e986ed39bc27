#pragma once
// A window-less control that moves a block of text lines across its rectangle, one timer step at a
// time: right to left, left to right, top to bottom, bottom to top, or not at all. Text is drawn
// flat, raised, lowered or with a drop shadow.
//
// The arithmetic (layout, origin of the block, alignment of a line, the step state machine) lives in
// plain functions and in ScrollMotion, so it can be checked without a window; the widget only calls
// them and paints.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include "framework/controls.h"

#include <functional>
#include <optional>
#include <vector>

class QTimer;
class QPainter;

enum TTextStyle { tsNormal, tsRaised, tsLowered, tsShaddow };
enum TScrollDirection { sdStatic, sdRightToLeft, sdLeftToRight, sdTopToBottom, sdBottomToTop };
// The control's own alignment type (note the order: centre first).
enum TAlignment { taCenter, taLeftJustify, taRightJustify };

namespace scrolltext {

// Round to the nearest integer, a value exactly halfway going to the even neighbour.
int nearest(double v);

struct Layout {
    int LineHeight = 0;
    int MaxWidth = 0;
    int TotalHeight = 0;
    int LeftOffset = 0;
    int TopOffset = 0;
};

// Layout of the block. `cellHeight` and `internalLeading` are the font's metrics, `lineWidths` the
// text width of each line; `width`, `height` the control's size.
Layout computeLayout(int cellHeight, int internalLeading, const std::vector<int>& lineWidths,
                     TTextStyle style, int depth, int width, int height);

// Horizontal offset of a line of width `lineWidth` within the widest line.
int alignmentOffset(TAlignment alignment, int maxWidth, int lineWidth);

// Fraction of the pass at `position`: position / steps. Without steps (steps <= 0) there is no
// fraction; the block then stands where sdStatic puts it (see origin).
std::optional<double> fraction(int position, int steps);

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// Origin of the text block for a direction and fraction. Without a fraction the block stands still
// at the layout's offsets, as with sdStatic.
Point origin(TScrollDirection direction, std::optional<double> f, const Layout& layout, int width,
             int height);

// Speed kept within 1..1000 milliseconds.
int clampSpeed(int speed);

// The step state machine: the position within a pass, whether the timer runs, and what one tick does.
// The hooks are called in this order within a tick: begin (only at position 0), paint, step, and at
// the end of a pass end; with Continuous a new pass starts from 0 at once (its begin comes with the
// next tick).
class ScrollMotion {
  public:
    struct Hooks {
        std::function<void()> begin;
        std::function<void()> paint;
        std::function<void()> step;
        std::function<void()> end;
    };

    int Position = 0;
    int Steps = 80;
    bool Continuous = true;

    bool running() const { return running_; }
    // Start(p): nothing while running; else the position becomes p when 0 <= p <= Steps, and the
    // timer runs.
    void start(int p);
    // Stop: the timer stops; the position stays.
    void stop() { running_ = false; }
    // One timer tick. A tick that arrives after a stop does nothing.
    void tick(const Hooks& hooks);

  private:
    bool running_ = false;
};

// Lines of a text split at line breaks (CR, LF or CRLF); a final line break adds no empty line, and
// an empty text gives no lines.
QStringList splitLines(const QString& text);

} // namespace scrolltext

// The control. A new control scrolls at once (right to left). Each timer tick paints one frame; a
// pass paints Steps + 1 frames. With Steps 0 or below a pass is a single tick (the events still
// come, once per Speed milliseconds) and the text stands where sdStatic puts it. There is no form
// designer here, so the control is never in design mode.
class TCustomScrollText : public QWidget {
    Q_OBJECT
  public:
    using Notify = std::function<void(TCustomScrollText*)>;

    explicit TCustomScrollText(QWidget* parent = nullptr);
    ~TCustomScrollText() override;

    // Renders the frame at the current position into `target` (the control's size), as a paint does.
    void renderFrame(QImage& target);
    // The layout as the next paint computes it.
    scrolltext::Layout currentLayout() const;

  protected:
    // Properties; TScrollText makes them public.
    const QStringList& Items() const { return items_; }
    void setItems(const QStringList& lines);
    const QFont& Font() const { return font_; }
    QColor FontColor() const { return fontColor_; }
    void setFont(const QFont& font);
    void setFontColor(const QColor& color);
    QColor Color() const { return color_; }
    void setColor(const QColor& color);
    int Steps() const { return motion_.Steps; }
    void setSteps(int steps);
    int Speed() const { return speed_; }
    void setSpeed(int speed);
    bool Continuous() const { return motion_.Continuous; }
    void setContinuous(bool continuous);
    TScrollDirection ScrollDirection() const { return direction_; }
    void setScrollDirection(TScrollDirection direction);
    TTextStyle TextStyle() const { return style_; }
    void setTextStyle(TTextStyle style);
    int Depth() const { return depth_; }
    void setDepth(int depth);
    TAlignment Alignment() const { return alignment_; }
    void setAlignment(TAlignment alignment);
    // Where the control keeps itself in its parent (alNone: where it is put).
    TAlign Align() const { return align_; }
    void setAlign(TAlign align);

    int Position() const { return motion_.Position; }
    bool Running() const { return motion_.running(); }
    // Runs one timer tick now (the timer's own ticks call this).
    void Tick();

    Notify OnBegin;
    Notify OnStep;
    Notify OnEnd;

    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void applyAlign();
    void Start(int p);
    void Stop();
    void changed();
    void drawLine(QPainter& p, const QString& line, int lineWidth, int x, int y,
                  const scrolltext::Layout& layout) const;

    QStringList items_;
    QFont font_;
    QColor fontColor_;
    QColor color_;
    int speed_ = 100;
    TScrollDirection direction_ = sdRightToLeft;
    TTextStyle style_ = tsNormal;
    int depth_ = 1;
    TAlignment alignment_ = taCenter;
    TAlign align_ = alNone;
    scrolltext::ScrollMotion motion_;
    QTimer* Timer = nullptr;
    QImage frame_; // off-screen frame, kept between paints

    // Font metrics and line widths, measured again whenever the lines or the font change.
    struct Metrics {
        QFont font;
        QStringList items;
        int cellHeight = 0;
        int internalLeading = 0;
        int ascent = 0;
        std::vector<int> widths;
        bool valid = false;
    };
    const Metrics& metrics() const;
    mutable Metrics metrics_;
};

class TScrollText : public TCustomScrollText {
    Q_OBJECT
  public:
    explicit TScrollText(QWidget* parent = nullptr) : TCustomScrollText(parent) {}

    using TCustomScrollText::Align;
    using TCustomScrollText::Alignment;
    using TCustomScrollText::Color;
    using TCustomScrollText::Continuous;
    using TCustomScrollText::Depth;
    using TCustomScrollText::Font;
    using TCustomScrollText::FontColor;
    using TCustomScrollText::Items;
    using TCustomScrollText::OnBegin;
    using TCustomScrollText::OnEnd;
    using TCustomScrollText::OnStep;
    using TCustomScrollText::Position;
    using TCustomScrollText::Running;
    using TCustomScrollText::ScrollDirection;
    using TCustomScrollText::setAlign;
    using TCustomScrollText::setAlignment;
    using TCustomScrollText::setColor;
    using TCustomScrollText::setContinuous;
    using TCustomScrollText::setDepth;
    using TCustomScrollText::setFont;
    using TCustomScrollText::setFontColor;
    using TCustomScrollText::setItems;
    using TCustomScrollText::setScrollDirection;
    using TCustomScrollText::setSpeed;
    using TCustomScrollText::setSteps;
    using TCustomScrollText::setTextStyle;
    using TCustomScrollText::Speed;
    using TCustomScrollText::Steps;
    using TCustomScrollText::TextStyle;
    using TCustomScrollText::Tick;
};
