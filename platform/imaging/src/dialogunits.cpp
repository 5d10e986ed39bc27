// Dialog units of the libraries' resource templates: the dialog font and its base units.
#include "imagelib/tv32qt.h"

#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QPainter>
#include <QStringList>

#include <cmath>

namespace tv32 {

QFont dialogFont() {
    // Liberation Sans is metric-compatible with Arial, the closest free face to "MS Sans Serif"
    // at this size; the others stand in where it is not installed.
    QFont font(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                           QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pointsToPixels(8));
    return font;
}

DialogUnits dialogUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int advance =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The height as Windows measures a scalable font: ascent and descent each rounded up (11-pixel
    // Arial and "MS Sans Serif" 8 point both come out 13 high; Qt's own height() rounds to 12).
    const QFontMetricsF exact(font);
    const int height = int(std::ceil(exact.ascent() - 1e-6)) + int(std::ceil(exact.descent() - 1e-6));
    return DialogUnits::fromMeasures(advance, height);
}

namespace {

class TemplateGroupBox final : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QFontMetrics fm(font());
        const int top = fm.height() / 2, textLeft = fm.averageCharWidth() + 2;
        const QRect frame = rect().adjusted(0, top, -2, -2);
        // An etched line: shadow, then light one pixel down and to the right.
        p.setPen(palette().color(QPalette::Light));
        p.drawRect(frame.translated(1, 1));
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(frame);
        const QString text = title();
        if (text.isEmpty()) return;
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextSingleLine;
        QRect textRect =
            fm.boundingRect(QRect(textLeft, 0, width() - 2 * textLeft, fm.height()), flags, text);
        textRect.adjust(-2, 0, 2, 0);
        p.fillRect(textRect, palette().color(QPalette::Window));
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        p.drawText(textRect.adjusted(2, 0, -2, 0), flags, text);
    }
};

} // namespace

QGroupBox* createTemplateGroupBox(const QString& title, QWidget* parent) {
    auto* box = new TemplateGroupBox(title, parent);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace tv32
