// artgen: draws the installer's pictures (the main window's background with its title logo and unlit
// button words, the three lit buttons, the chooser's banner), encodes them as JPEG with libjpeg and
// writes a C++ source that embeds them.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

const QColor kLine(58, 160, 224);

QFont face(int px, bool bold, qreal spacing = 0) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(px);
    f.setBold(bold);
    f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// A path of `text` centred horizontally on cx with its baseline at `baseline`.
QPainterPath textPath(const QString& text, const QFont& font, qreal cx, qreal baseline) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF b = path.boundingRect();
    path.translate(cx - b.center().x(), baseline);
    return path;
}

void stars(QPainter& p, const QRect& area, int count, unsigned seed) {
    unsigned s = seed;
    auto next = [&s]() {
        s = s * 1664525u + 1013904223u;
        return s >> 8;
    };
    p.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        const int x = area.left() + static_cast<int>(next() % static_cast<unsigned>(area.width()));
        const int y = area.top() + static_cast<int>(next() % static_cast<unsigned>(area.height()));
        const int bright = 60 + static_cast<int>(next() % 170);
        const bool blue = next() % 3 == 0;
        QColor c(blue ? bright * 3 / 4 : bright, blue ? bright * 7 / 8 : bright, bright);
        if (next() % 23 == 0) {
            p.setBrush(QColor(c.red(), c.green(), c.blue(), 70));
            p.drawEllipse(QPointF(x + 0.5, y + 0.5), 1.6, 1.6);
        }
        p.setBrush(c);
        p.drawRect(x, y, 1, 1);
    }
}

// The chrome title lettering with its glow, outline and faded reflection.
void chromeLogo(QPainter& p, const QString& text, int px, qreal cx, qreal baseline, bool reflection) {
    const QFont font = face(px, true, px / 18.0);
    const QPainterPath path = textPath(text, font, cx, baseline);
    const QRectF b = path.boundingRect();
    p.setBrush(Qt::NoBrush);
    for (int w : {18, 12, 7}) {
        p.setPen(QPen(QColor(40, 150, 255, 16), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }
    QLinearGradient g(0, b.top(), 0, b.bottom());
    g.setColorAt(0.0, QColor(255, 255, 255));
    g.setColorAt(0.42, QColor(170, 230, 255));
    g.setColorAt(0.50, QColor(40, 140, 215));
    g.setColorAt(0.78, QColor(20, 70, 150));
    g.setColorAt(1.0, QColor(120, 200, 255));
    p.setPen(QPen(QColor(210, 240, 255, 200), px / 60.0 + 0.6));
    p.setBrush(g);
    p.drawPath(path);
    if (reflection) {
        QImage refl(p.device()->width(), p.device()->height(), QImage::Format_ARGB32_Premultiplied);
        refl.fill(Qt::transparent);
        {
            QPainter r(&refl);
            r.setRenderHint(QPainter::Antialiasing);
            QTransform flip;
            flip.translate(0, 2 * b.bottom() + 3);
            flip.scale(1, -1);
            r.setTransform(flip);
            r.setPen(Qt::NoPen);
            r.setBrush(g);
            r.drawPath(path);
            r.resetTransform();
            r.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            QLinearGradient fade(0, b.bottom() + 3, 0, b.bottom() + 3 + b.height() * 0.55);
            fade.setColorAt(0, QColor(0, 0, 0, 90));
            fade.setColorAt(1, QColor(0, 0, 0, 0));
            r.fillRect(refl.rect(), fade);
        }
        p.drawImage(0, 0, refl);
    }
}

// A thin horizontal line fading out at both ends, with small diamonds at its ends.
void fadingLine(QPainter& p, int x0, int x1, int y) {
    QLinearGradient g(x0, 0, x1, 0);
    g.setColorAt(0.0, QColor(kLine.red(), kLine.green(), kLine.blue(), 0));
    g.setColorAt(0.15, kLine);
    g.setColorAt(0.5, QColor(150, 215, 255));
    g.setColorAt(0.85, kLine);
    g.setColorAt(1.0, QColor(kLine.red(), kLine.green(), kLine.blue(), 0));
    p.fillRect(QRect(x0, y, x1 - x0, 1), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 200, 255));
    for (int x : {x0 + 18, x1 - 18}) {
        QPolygonF d;
        d << QPointF(x, y - 2.5) << QPointF(x + 2.5, y + 0.5) << QPointF(x, y + 3.5)
          << QPointF(x - 2.5, y + 0.5);
        p.drawPolygon(d);
    }
}

// A button word in its box, unlit (dim steel) or lit (bright, with a glow).
void buttonWord(QPainter& p, const QRect& box, const QString& word, bool lit) {
    const QFont font = face(17, true, 2.5);
    const QPainterPath path = textPath(word, font, box.center().x() + 0.5, box.top() + 20.5);
    p.setRenderHint(QPainter::Antialiasing);
    if (lit) {
        p.setBrush(Qt::NoBrush);
        for (int w : {9, 6, 3}) {
            p.setPen(QPen(QColor(60, 170, 255, 45), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPath(path);
        }
        QLinearGradient g(0, box.top() + 6, 0, box.top() + 22);
        g.setColorAt(0, QColor(255, 255, 255));
        g.setColorAt(0.55, QColor(190, 240, 255));
        g.setColorAt(1, QColor(90, 190, 255));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawPath(path);
        p.fillRect(QRect(box.left() + 8, box.top() + 25, box.width() - 16, 1), QColor(120, 210, 255, 200));
    } else {
        QLinearGradient g(0, box.top() + 6, 0, box.top() + 22);
        g.setColorAt(0, QColor(120, 140, 165));
        g.setColorAt(1, QColor(60, 80, 110));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawPath(path);
    }
}

struct ButtonArt {
    const char* word;
    QRect box; // place on the background; the lit picture has the box's size
};
const ButtonArt kButtons[] = {
    {"INSTALL", QRect(30, 315, 117, 33)},
    {"INFO", QRect(220, 315, 72, 33)},
    {"EXIT", QRect(378, 315, 68, 31)},
};

QImage background() {
    QImage img(492, 361, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(246, 105, 250);
    glow.setColorAt(0, QColor(18, 52, 120, 170));
    glow.setColorAt(0.55, QColor(10, 24, 60, 90));
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(img.rect(), glow);
    QRadialGradient glow2(360, 60, 140);
    glow2.setColorAt(0, QColor(70, 30, 110, 70));
    glow2.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(img.rect(), glow2);
    stars(p, QRect(0, 0, 492, 225), 240, 7u);
    stars(p, QRect(0, 225, 492, 136), 40, 99u);

    // Horizon glow beneath the logo.
    QLinearGradient horizon(0, 196, 0, 212);
    horizon.setColorAt(0, QColor(60, 160, 255, 0));
    horizon.setColorAt(0.5, QColor(60, 160, 255, 14));
    horizon.setColorAt(1, QColor(60, 160, 255, 0));
    p.fillRect(QRect(40, 196, 412, 16), horizon);

    chromeLogo(p, QStringLiteral("HALCYON"), 76, 246, 128, true);
    p.setPen(QColor(130, 185, 230));
    p.setFont(face(13, false, 9));
    p.drawText(QRect(0, 180, 492, 18), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("INSTALLER"));

    // Frames of the scrolling line (39,237 418x14) and of the product name (28,277 439x18).
    fadingLine(p, 26, 466, 231);
    fadingLine(p, 26, 466, 257);
    fadingLine(p, 14, 478, 271);
    fadingLine(p, 14, 478, 300);
    p.fillRect(QRect(39, 237, 418, 14), Qt::black);

    // The unlit button words along the bottom edge, with a faint plinth line.
    QLinearGradient plinth(0, 0, 492, 0);
    plinth.setColorAt(0, QColor(40, 90, 140, 0));
    plinth.setColorAt(0.5, QColor(40, 90, 140, 160));
    plinth.setColorAt(1, QColor(40, 90, 140, 0));
    p.fillRect(QRect(0, 352, 492, 1), plinth);
    for (const ButtonArt& b : kButtons)
        buttonWord(p, b.box, QString::fromLatin1(b.word), false);
    return img;
}

QImage litButton(const ButtonArt& b, const QImage& back) {
    QImage img(b.box.size(), QImage::Format_RGB32);
    QPainter p(&img);
    p.drawImage(QPoint(0, 0), back, b.box); // same backdrop as the background under it
    p.fillRect(img.rect(), QColor(0, 0, 0, 150));
    QRadialGradient halo(b.box.width() / 2.0, 14, b.box.width() / 1.6);
    halo.setColorAt(0, QColor(30, 110, 200, 120));
    halo.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(img.rect(), halo);
    buttonWord(p, QRect(QPoint(0, 0), b.box.size()), QString::fromLatin1(b.word), true);
    return img;
}

QImage banner() {
    QImage img(316, 58, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 316, 0);
    g.setColorAt(0, QColor(4, 10, 26));
    g.setColorAt(1, QColor(10, 34, 80));
    p.fillRect(img.rect(), g);
    stars(p, img.rect(), 70, 3u);
    chromeLogo(p, QStringLiteral("HALCYON"), 30, 88, 37, false);
    p.setPen(QColor(150, 200, 240));
    p.setFont(face(11, false, 1));
    p.drawText(QRect(176, 14, 136, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Choose a folder,"));
    p.setPen(QColor(100, 145, 190));
    p.drawText(QRect(176, 30, 136, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("then press Install"));
    fadingLine(p, 0, 316, 55);
    return img;
}

// Adds a faint deterministic noise so dark gradients neither band nor show JPEG blocks.
QImage dithered(const QImage& source) {
    QImage img = source.convertToFormat(QImage::Format_RGB888);
    unsigned s = 12345u;
    for (int y = 0; y < img.height(); ++y) {
        unsigned char* row = img.scanLine(y);
        for (int x = 0; x < img.width() * 3; ++x) {
            s = s * 1103515245u + 12345u;
            const int n = static_cast<int>((s >> 16) % 3) - 1;
            row[x] = static_cast<unsigned char>(std::clamp(row[x] + n, 0, 255));
        }
    }
    return img;
}

std::vector<unsigned char> encodeJpeg(const QImage& source, int quality) {
    const QImage img = dithered(source);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(img.width());
    cinfo.image_height = static_cast<JDIMENSION>(img.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    for (int c = 0; c < 3; ++c) { // no chroma subsampling: thin coloured lines stay crisp
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(img.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<unsigned char> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    std::string cppPath, jpegDir;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--cpp") == 0)
            cppPath = argv[i + 1];
        else if (std::strcmp(argv[i], "--jpeg-dir") == 0)
            jpegDir = argv[i + 1];
    }
    if (cppPath.empty()) {
        std::cerr << "usage: artgen --cpp OUT.cpp [--jpeg-dir DIR]\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QImage back = background();
    struct Item {
        const char* name;
        const char* art;
        QImage image;
    };
    const Item items[] = {
        {"background", "Art::Background", back},
        {"install_lit", "Art::InstallLit", litButton(kButtons[0], back)},
        {"info_lit", "Art::InfoLit", litButton(kButtons[1], back)},
        {"exit_lit", "Art::ExitLit", litButton(kButtons[2], back)},
        {"banner", "Art::Banner", banner()},
    };

    std::string cpp = "// Generated by artgen: the installer's pictures as JPEG data.\n#include "
                      "\"framework/artwork.h\"\n\nnamespace {\n";
    std::string cases;
    if (!jpegDir.empty()) QDir().mkpath(QString::fromStdString(jpegDir));
    for (const Item& it : items) {
        const std::vector<unsigned char> jpeg = encodeJpeg(it.image, 94);
        if (!jpegDir.empty() && !writeBytes(jpegDir + "/" + it.name + ".jpg", jpeg)) {
            std::cerr << "artgen: cannot write " << it.name << ".jpg\n";
            return 1;
        }
        cpp += "const unsigned char k_" + std::string(it.name) + "[] = {";
        for (std::size_t i = 0; i < jpeg.size(); ++i) {
            if (i % 24 == 0) cpp += "\n";
            cpp += std::to_string(jpeg[i]) + ",";
        }
        cpp += "\n};\n";
        cases +=
            "    case " + std::string(it.art) + ": return {k_" + it.name + ", sizeof k_" + it.name + "};\n";
    }
    cpp += "} // namespace\n\nArtworkBlob ArtworkJpeg(Art art) {\n    switch (art) {\n" + cases +
           "    }\n    return {nullptr, 0};\n}\n";
    std::ofstream out(cppPath, std::ios::binary);
    out << cpp;
    if (!out) {
        std::cerr << "artgen: cannot write " << cppPath << "\n";
        return 1;
    }
    return 0;
}
