// The parameter dialog driven from a script, through its controls.
#include "dialogscript.h"

#include "dialogmodel.h"
#include "dialogwindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStringList>

#include <map>

namespace borderfx {

QString ApplyDialogSettings(FrameShadowDialog& d, const QString& settings) {
    const QStringList items = settings.split(QLatin1Char(','), Qt::SkipEmptyParts);
    const std::map<QString, int> editIds = {{"frameWidth", kIdFrameWidth},
                                            {"shadowOffsetX", kIdXOffset},
                                            {"shadowOffsetY", kIdYOffset},
                                            {"transparency", kIdTransparency},
                                            {"blendWidth", kIdBlendWidth}};
    const std::map<QString, int> checkIds = {
        {"frame", kIdFrame}, {"shadow", kIdShadow}, {"blending", kIdBlending}};
    for (const QString& item : items) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0) return QStringLiteral("expected name=value: ") + item;
        const QString name = item.left(eq).trimmed(), value = item.mid(eq + 1).trimmed();
        bool ok = false;
        auto number = [&]() -> int32_t {
            const int32_t v = value.toInt(&ok);
            ok = ok && v >= 0;
            return v;
        };
        auto color = [&]() -> uint32_t {
            // "#RRGGBB" or a 0x00BBGGRR number (decimal or 0x...).
            if (value.startsWith(QLatin1Char('#')) && value.size() == 7) {
                const uint32_t rgb = value.mid(1).toUInt(&ok, 16);
                return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
            }
            const uint32_t v = value.toUInt(&ok, 0);
            ok = ok && v <= 0xFFFFFF;
            return v;
        };
        auto click = [&](int id) { static_cast<QAbstractButton*>(d.control(id))->click(); };
        if (auto it = editIds.find(name); it != editIds.end()) {
            const int32_t v = number();
            if (ok && v > d.maximumOf(it->second))
                return QStringLiteral("%1 is out of range %2")
                    .arg(name, RangeText(0, d.maximumOf(it->second)));
            if (ok) d.edit(it->second)->setText(FormatEditInt(v));
        } else if (auto check = checkIds.find(name); check != checkIds.end()) {
            const bool on = value == QLatin1String("1") || value == QLatin1String("on");
            ok = on || value == QLatin1String("0") || value == QLatin1String("off");
            if (ok && static_cast<QCheckBox*>(d.control(check->second))->isChecked() != on)
                click(check->second);
        } else if (name == QLatin1String("shadowDirection")) {
            const int32_t direction = number();
            ok = ok && direction < 4;
            if (ok && !static_cast<QRadioButton*>(d.control(kIdDirection + direction))->isChecked())
                click(kIdDirection + direction);
        } else if (name == QLatin1String("frameFill")) {
            ok = true;
            if (value == QLatin1String("color") || value == QLatin1String("0"))
                click(kIdFillColor);
            else if (value == QLatin1String("texture") || value == QLatin1String("5"))
                click(kIdFillTexture);
            else
                ok = false;
        } else if (name == QLatin1String("textureIndex")) {
            const int32_t n = number();
            ok = ok && d.takeLibraryTexture(n);
        } else if (name == QLatin1String("frameColor")) {
            const uint32_t c = color();
            if (ok) d.pickFrameColor(&c);
        } else if (name == QLatin1String("shadowColor")) {
            const uint32_t c = color();
            if (ok) d.pickShadowColor(&c);
        } else {
            return QStringLiteral("unknown name: ") + name;
        }
        if (!ok) return QStringLiteral("bad value: ") + item;
        if (d.failed()) return QStringLiteral("the preview failed");
    }
    return {};
}

} // namespace borderfx
