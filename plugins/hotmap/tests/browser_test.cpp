// Whole-selection maps in a real browser: headless Chromium loads a page with each shape's
// picture and its inline map and asks, for the centre of every pixel, which element is there
// (document.elementFromPoint: on a picture with a map that is the AREA hit, the element a click
// there goes to). Selected pixels must reach the link of their own region, the others no link.
#include "mapcheck.h"
#include "wholemap.h"

#include "imagelib/tv32qt.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>

namespace {

struct Shape {
    const char* name;
    QImage picture; // white on black, grey values; antialiased edges, so the threshold matters
};

QImage canvas(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::black);
    return img;
}

std::vector<Shape> shapes() {
    std::vector<Shape> out;
    auto paint = [&](const char* name, int w, int h, auto&& draw) {
        QImage img = canvas(w, h);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        draw(p);
        p.end();
        out.push_back({name, img.convertToFormat(QImage::Format_Grayscale8)});
    };
    paint("rectangle", 200, 140, [](QPainter& p) { p.drawRect(QRectF(23.3, 17.6, 151.2, 97.5)); });
    {
        // The pixels whose centres lie within 60 of the corner (80, 79): an area that is a circle.
        QImage disc(160, 160, QImage::Format_Grayscale8);
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 160; ++x)
                disc.scanLine(y)[x] = std::hypot(x + 0.5 - 80, y + 0.5 - 79) < 60 ? 255 : 0;
        out.push_back({"disc", disc});
    }
    paint("ellipse", 220, 140, [](QPainter& p) { p.drawEllipse(QPointF(110, 70), 95.5, 48.2); });
    paint("triangle", 200, 160, [](QPainter& p) {
        p.drawPolygon(QPolygonF({{10.5, 150.2}, {120.7, 8.3}, {190.1, 131.9}}));
    });
    paint("L", 160, 160, [](QPainter& p) {
        p.drawRect(QRectF(20, 15, 40, 130));
        p.drawRect(QRectF(20, 105, 125, 40));
    });
    paint("star", 200, 200, [](QPainter& p) {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double a = -M_PI / 2 + i * M_PI / 5, r = i % 2 ? 38 : 92;
            star << QPointF(100 + r * std::cos(a), 102 + r * std::sin(a));
        }
        p.drawPolygon(star);
    });
    paint("ring", 180, 180, [](QPainter& p) {
        QPainterPath ring;
        ring.addEllipse(QPointF(90, 90), 80, 80);
        ring.addEllipse(QPointF(95, 86), 45, 45);
        p.drawPath(ring); // odd-even fill: the inner disc is a hole
    });
    paint("two blobs", 240, 140, [](QPainter& p) {
        QPainterPath a, b;
        a.moveTo(20, 70);
        a.cubicTo(20, 0, 120, 10, 100, 70);
        a.cubicTo(90, 130, 20, 130, 20, 70);
        b.addEllipse(QPointF(180, 80), 45, 30);
        p.drawPath(a);
        p.drawPath(b);
    });
    paint("bold text", 360, 90, [](QPainter& p) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(52);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, 360, 90), Qt::AlignCenter, QStringLiteral("Maps & 8"));
    });
    return out;
}

QString dataUrl(const QImage& img) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}

// Per pixel, row by row: the map's area hit, as a letter of this alphabet by its place among the
// map's areas, "." for no area and "?" for an area of another map.
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

QString page(const std::vector<Shape>& shapes, const std::vector<std::string>& maps) {
    QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
                                  "<body style=\"margin:0\">\n");
    int x = 0, y = 0, rowHeight = 0;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const QImage& img = shapes[i].picture;
        if (x + img.width() > 1200) {
            x = 0;
            y += rowHeight + 10;
            rowHeight = 0;
        }
        html += QStringLiteral(
                    "<img id=\"i%1\" src=\"%2\" width=\"%3\" height=\"%4\" usemap=\"#m%1\" "
                    "style=\"position:absolute;left:%5px;top:%6px\">\n<map name=\"m%1\">\n%7\n</map>\n")
                    .arg(i)
                    .arg(dataUrl(img))
                    .arg(img.width())
                    .arg(img.height())
                    .arg(x)
                    .arg(y)
                    .arg(QString::fromStdString(maps[i]));
        x += img.width() + 10;
        rowHeight = std::max(rowHeight, img.height());
    }
    html +=
        QStringLiteral("<pre id=\"out\" style=\"position:absolute;top:2000px\"></pre>\n<script>\n"
                       "const alphabet = '%1';\n"
                       "window.onload = function () {\n"
                       "  let out = '';\n"
                       "  for (let i = 0; i < %2; ++i) {\n"
                       "    const img = document.getElementById('i' + i), r = img.getBoundingClientRect();\n"
                       "    const areas = Array.from(document.getElementsByName('m' + i)[0].areas);\n"
                       "    let line = '';\n"
                       "    for (let y = 0; y < img.height; ++y)\n"
                       "      for (let x = 0; x < img.width; ++x) {\n"
                       "        const e = document.elementFromPoint(r.left + x + 0.5, r.top + y + 0.5);\n"
                       "        if (!e || e.tagName !== 'AREA') { line += '.'; continue; }\n"
                       "        const k = areas.indexOf(e);\n"
                       "        line += k < 0 ? '?' : alphabet[k];\n"
                       "      }\n"
                       "    out += 'shape ' + i + ' ' + line + '\\n';\n"
                       "  }\n"
                       "  document.getElementById('out').textContent = out;\n"
                       "};\n</script></body></html>\n")
            .arg(QLatin1String(kAlphabet))
            .arg(shapes.size());
    return html;
}

TEST(Browser, EveryPixelOfEveryShapeReachesTheRightLink) {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        GTEST_SKIP()
            << "chromium is not installed (scripts/setup-deps installs it): the browser check is skipped";
    ASSERT_NE(tv32::ensureApplication(), nullptr); // fonts for the text
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    const std::vector<Shape> all = shapes();
    std::vector<std::string> maps;
    for (const Shape& s : all) {
        const hotmap::SelectionBits bits(s.picture.constBits(), s.picture.width(), s.picture.height(),
                                         s.picture.bytesPerLine());
        const hotmap::WholeMap map = hotmap::mapWholeSelection(bits, {}, HM_FORMAT_INLINE, "#hit", {});
        ASSERT_EQ(map.status, HM_STATUS_OK) << s.name;
        ASSERT_FALSE(map.capped) << s.name;
        ASSERT_LE(map.areas.size(), sizeof kAlphabet - 1) << s.name;
        maps.push_back(map.text);
    }
    const QString file = dir.filePath(QStringLiteral("maps.html"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(page(all, maps).toUtf8());
    }

    QProcess browser;
    browser.start(chromium,
                  {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                   "--disable-background-networking", "--disable-component-update", "--disable-sync",
                   "--user-data-dir=" + dir.filePath("profile"), "--window-size=1300,1000",
                   "--force-device-scale-factor=1", "--dump-dom", "file://" + file});
    ASSERT_TRUE(browser.waitForFinished(90000)) << "chromium did not finish";
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    const int from = dom.indexOf(QLatin1String("<pre id=\"out\"")),
              to = dom.indexOf(QLatin1String("</pre>"), from);
    ASSERT_GE(from, 0) << "no results in the page: " << browser.readAllStandardError().toStdString();
    const QStringList lines = dom.mid(from, to - from).section('>', 1).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), qsizetype(all.size()));

    std::printf("%-10s %9s %8s   %9s %8s   %s\n", "shape", "selected", "reached", "others", "reached",
                "areas");
    for (std::size_t i = 0; i < all.size(); ++i) {
        const QImage& img = all[i].picture;
        const QString pixels = lines[qsizetype(i)].section(' ', 2);
        ASSERT_EQ(pixels.size(), qsizetype(img.width()) * img.height()) << all[i].name;
        std::vector<uint8_t> px(std::size_t(img.width()) * img.height());
        for (int y = 0; y < img.height(); ++y)
            std::memcpy(&px[std::size_t(y) * img.width()], img.constScanLine(y), std::size_t(img.width()));
        const mapcheck::Labels labels = mapcheck::label(px, img.width(), img.height());
        const std::vector<mapcheck::Area> areas = mapcheck::parseInline(maps[i]);
        std::vector<int> hit(pixels.size());
        std::vector<bool> link;
        std::string kinds;
        for (const auto& a : areas) {
            link.push_back(a.link);
            kinds += (kinds.empty() ? "" : " ") + std::string(a.link ? "" : "no-link ") + a.shape;
        }
        for (qsizetype k = 0; k < pixels.size(); ++k) {
            const char c = pixels[k].toLatin1();
            ASSERT_NE(c, '?') << all[i].name << ": an area of another map";
            hit[std::size_t(k)] = c == '.' ? -1 : int(std::strchr(kAlphabet, c) - kAlphabet);
        }
        // The browser and the model of its hit test agree.
        const std::vector<int> model = mapcheck::hits(areas, img.width(), img.height());
        const long differ = long(std::inner_product(hit.begin(), hit.end(), model.begin(), 0L, std::plus<>(),
                                                    [](int a, int b) { return a != b ? 1L : 0L; }));
        const mapcheck::Score s = mapcheck::score(labels, hit, link);
        if (kinds.size() > 40) kinds = kinds.substr(0, 37) + "...";
        std::printf("%-10s %9ld %7.2f%%   %9ld %7.2f%%   %zu: %s (the model differs at %ld pixels)\n",
                    all[i].name, s.selected, 100 * s.selectedShare(), s.others, 100 * s.othersShare(),
                    areas.size(), kinds.c_str(), differ);
        EXPECT_GE(s.selectedShare(), 0.99) << all[i].name;
        EXPECT_LE(s.othersShare(), 0.005) << all[i].name;
    }
}

} // namespace
