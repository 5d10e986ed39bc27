// Dialog units of the libraries' resource templates: the dialog font and its base units.
#include "imagelib/tv32qt.h"

#include <QFont>
#include <QFontMetrics>
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

} // namespace tv32
