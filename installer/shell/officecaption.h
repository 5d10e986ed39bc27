#pragma once
// A gradient caption bar: the window's title strip filled with a horizontal colour gradient and the
// caption written as three separately coloured and styled parts (company, application name, caption
// proper).
//
// Our window managers do not let a program paint their title bars, so the owner window is frameless
// and this component is its caption strip: a child widget across the top of the window, of height
// captionHeight(), that paints the bar and moves the window when dragged. The owner puts its client
// area below the strip. The window has no system menu, so neither icon nor title-bar buttons are
// drawn; the whole strip is the text area.
//
// The arithmetic (gradient bands, composing and reading the caption, which parts fit and where they
// go, the ellipsis) is in plain functions below.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class TMSOfficeCaption;

enum TGradEnabled { geAlways, geNever, geWhenActive, geSmart };
enum TJustification { jAuto, jLeft, jCenter, jRight };
enum TFontKind { fkCustom, fkSystem, fkSystemI, fkSystemB, fkSystemBI, fkAutoHeight };

namespace caption {

// a * b / c rounded to the nearest integer, halves away from zero, in 64-bit arithmetic; -1 when c
// is 0 (as the platform's MulDiv).
int muldiv(int a, int b, int c);

struct Band {
    int left = 0;  // first x of the band
    int right = 0; // one past the last x
    QRgb color = 0;
    bool operator==(const Band&) const = default;
};

// The N colour bands of a gradient from `from` to `to` over [left, left + width).
std::vector<Band> gradientBands(int left, int width, int numColors, QRgb from, QRgb to);

struct PartText {
    QString text;
    bool visible = true;
};

// The window caption made of the three parts.
QString compose(const PartText& company, const PartText& appName, const PartText& captionPart);
// The caption part's text read back from a window caption.
QString readCaption(const QString& windowCaption, const PartText& company, const PartText& appName);

// Placement of the parts in a text area [areaLeft, areaRight).
struct PartFit {
    bool visible = true;
    int textWidth = 0; // the part's text width in its font
    bool empty = true;
};
struct PartPlacement {
    bool drawn = false;
    int x = 0; // left of the text
};
// Index 0 company, 1 application name, 2 caption. Drops the company part first, then the
// application-name part, when the visible parts do not fit; places the rest by the justification.
std::array<PartPlacement, 3> placeParts(const std::array<PartFit, 3>& parts, int areaLeft, int areaRight,
                                        TJustification justification);

// `text` cut at the right so that it fits in `width`, ending in "..." when cut. `measure` gives the
// width of a text.
QString elide(const QString& text, int width, const std::function<int(const QString&)>& measure);

// Whether the gradient is drawn for a display depth and activation state.
bool gradientDrawn(TGradEnabled enabled, bool active, int displayDepth);

} // namespace caption

// System colours and the system caption font of the bar (the colours from the application palette,
// the font the desktop uses for window titles).
struct CaptionSystem {
    static QColor activeCaption();
    static QColor inactiveCaption();
    static QColor captionText();
    static QColor inactiveCaptionText();
    static QFont captionFont();
};

// One caption part.
class TCompanyText {
  public:
    explicit TCompanyText(TMSOfficeCaption* owner);
    virtual ~TCompanyText() = default;
    TCompanyText(const TCompanyText&) = delete;
    TCompanyText& operator=(const TCompanyText&) = delete;

    virtual void setCaption(const QString& text);
    virtual QString Caption() const { return caption_; }
    QColor ColorActive() const { return colorActive_; }
    void setColorActive(const QColor& c);
    QColor ColorInactive() const { return colorInactive_; }
    void setColorInactive(const QColor& c);
    const QFont& Font() const { return font_; }
    // Copies the font; its kind becomes fkCustom, unless it is fkAutoHeight (then the height is fitted).
    void setFont(const QFont& font);
    TFontKind FontKind() const { return fontKind_; }
    void setFontKind(TFontKind kind);
    bool Visible() const { return visible_; }
    void setVisible(bool visible);

    // Re-applies the font kind (after the system caption font changed).
    void applyFontKind();
    // The stored text (for the caption part: as last read from the window caption).
    const QString& storedCaption() const { return caption_; }
    void storeCaption(const QString& text) { caption_ = text; }

  protected:
    TMSOfficeCaption* owner_;
    QString caption_;

  private:
    QColor colorActive_;
    QColor colorInactive_;
    QFont font_;
    TFontKind fontKind_ = fkSystem;
    bool visible_ = true;
};

class TAppNameText : public TCompanyText {
  public:
    using TCompanyText::TCompanyText;
};

class TCaptionText : public TAppNameText {
  public:
    using TAppNameText::TAppNameText;
    void setCaption(const QString& text) override;
    // Read back from the window caption.
    QString Caption() const override;
};

class TMSOfficeCaption : public QWidget {
    Q_OBJECT
  public:
    // `owner` must be a window; anything else raises std::invalid_argument("Invalid class typecast").
    explicit TMSOfficeCaption(QWidget* owner);
    // Destroyed while its window lives on, the component gives the window its own caption (the
    // caption part's text) and the window system's title bar back.
    ~TMSOfficeCaption() override;

    // Height of the strip (the classic title bar's caption height).
    static constexpr int captionHeight() { return 18; }

    TCompanyText* CompanyText() const { return company_.get(); }
    TAppNameText* AppNameText() const { return appName_.get(); }
    TCaptionText* CaptionText() const { return caption_.get(); }

    QColor ColorLeftActive() const { return leftActive_; }
    void setColorLeftActive(const QColor& c);
    QColor ColorLeftInActive() const { return leftInactive_; }
    void setColorLeftInActive(const QColor& c);
    QColor ColorRightActive() const { return rightActive_; }
    void setColorRightActive(const QColor& c);
    QColor ColorRightInActive() const { return rightInactive_; }
    void setColorRightInActive(const QColor& c);
    TGradEnabled Enabled() const { return enabled_; }
    void setEnabled(TGradEnabled e);
    TJustification Justification() const { return justification_; }
    void setJustification(TJustification j);
    int NumColors() const { return numColors_; }
    // 1..256; below 1 is ignored, above 256 becomes 256.
    void setNumColors(int n);

    // Lets the owner draw on the bar before the caption parts; the rectangle is the text area and
    // may be narrowed.
    std::function<void(TMSOfficeCaption* sender, QPainter& canvas, QRect& r)> OnDrawCaption;

    bool Active() const;
    QWidget* owner() const { return owner_; }
    // The system caption font as last read.
    const QFont& systemCaptionFont() const { return systemFont_; }

    // Paints the bar into `target` (the strip's size).
    void paintBar(QImage& target);

    // Called by the parts: sets the window caption from the three parts.
    void composeCaption();
    // The parts as the composition and the reader see them.
    caption::PartText partText(const TCompanyText* part) const;
    void redraw() { update(); }

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    void systemSettingsChanged();
    void fitToOwner();

    QPointer<QWidget> owner_;
    std::unique_ptr<TCompanyText> company_;
    std::unique_ptr<TAppNameText> appName_;
    std::unique_ptr<TCaptionText> caption_;
    QColor leftActive_ = Qt::black;
    QColor leftInactive_ = Qt::black;
    QColor rightActive_;
    QColor rightInactive_;
    TGradEnabled enabled_ = geSmart;
    TJustification justification_ = jAuto;
    int numColors_ = 64;
    QFont systemFont_;
    QImage frame_;
    bool dragging_ = false;
    QPoint dragOffset_;
};
