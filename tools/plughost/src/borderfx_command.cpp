// plughost borderfx: frames a selection of a picture through libborderfx, as an image editor's
// adapter would call it, and writes the result image and its opacity plane as PNG files.
#include "commands.h"

#include "borderfx/borderfx.h"
#include "imagelib/tv32base.h"

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace plughost {

namespace {

int fail(const char* message, const QString& detail = {}) {
    std::fprintf(stderr, "plughost borderfx: %s%s\n", message, detail.toLocal8Bit().constData());
    return 2;
}

struct Options {
    QString image, alpha, out, outAlpha;
    TV32RECT select{0, 0, 0, 0};
    bool haveSelect = false, dialog = false, grey = false;
};

// One option: its name, whether it takes a value, and what it does with it (false: bad value).
struct Option {
    const char* name;
    bool takesValue;
    std::function<bool(Options&, const QString&)> apply;
};

bool parseRect(const QString& text, TV32RECT& r) {
    const QStringList v = text.split(',');
    if (v.size() != 4) return false;
    bool ok[4];
    r = {v[0].toInt(&ok[0]), v[1].toInt(&ok[1]), v[2].toInt(&ok[2]), v[3].toInt(&ok[3])};
    return ok[0] && ok[1] && ok[2] && ok[3];
}

const std::vector<Option>& options() {
    static const std::vector<Option> table = {
        {"--select", true, [](Options& o, const QString& v) { return o.haveSelect = parseRect(v, o.select); }},
        {"--alpha", true, [](Options& o, const QString& v) { o.alpha = v; return true; }},
        {"--out", true, [](Options& o, const QString& v) { o.out = v; return true; }},
        {"--out-alpha", true, [](Options& o, const QString& v) { o.outAlpha = v; return true; }},
        {"--dialog", false, [](Options& o, const QString&) { return o.dialog = true; }},
        {"--grey", false, [](Options& o, const QString&) { return o.grey = true; }},
    };
    return table;
}

// A buffer of the picture's pixels (Format_RGB888 or Format_Grayscale8); 0 on failure.
TV32HBUF bufferOf(const QImage& im) {
    const int bpp = im.format() == QImage::Format_Grayscale8 ? 1 : 3;
    TV32HBUF h = 0;
    if (!buf32Alloc(&h, bpp * 8, im.width(), im.height(), BUF32_FILL_ZERO, nullptr)) return 0;
    for (int y = 0; y < im.height(); ++y)
        if (!buf32MergeMem(h, 0, y, im.constScanLine(y), im.width(), 1)) {
            buf32Free(h);
            return 0;
        }
    return h;
}

bool save(TV32HBUF h, const QString& file) {
    BUF32INFO info;
    if (!buf32GetInfo(h, &info)) return false;
    QImage im(info.width, info.height, info.bytesPerPixel == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    for (int y = 0; y < info.height; ++y)
        if (!buf32GetMem(h, 0, y, info.width, 1, im.scanLine(y))) return false;
    return im.save(file, "PNG");
}

} // namespace

int runBorderfx(const QStringList& arguments) {
    Options o;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const Option* found = nullptr;
        for (const Option& opt : options())
            if (a == QLatin1String(opt.name)) found = &opt;
        if (found) {
            QString value;
            if (found->takesValue) {
                if (i + 1 >= arguments.size()) return fail("missing value of ", a);
                value = arguments[++i];
            }
            if (!found->apply(o, value)) return fail("bad value of ", a + QLatin1Char(' ') + value);
        } else if (a.startsWith("--") || !o.image.isEmpty()) {
            return fail("unexpected argument ", a);
        } else {
            o.image = a;
        }
    }
    if (o.image.isEmpty() || !o.haveSelect || o.out.isEmpty() || o.outAlpha.isEmpty())
        return fail("IMAGE.png, --select, --out and --out-alpha are needed");
    QImage picture(o.image);
    if (picture.isNull()) return fail("cannot read ", o.image);
    const bool grey = o.grey || picture.isGrayscale();
    picture = picture.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    QImage plane(picture.size(), QImage::Format_Grayscale8);
    if (o.alpha.isEmpty()) {
        plane.fill(255);
    } else {
        plane = QImage(o.alpha);
        if (plane.isNull()) return fail("cannot read ", o.alpha);
        if (plane.size() != picture.size()) return fail("the opacity picture differs in size: ", o.alpha);
        plane = plane.convertToFormat(QImage::Format_Grayscale8);
    }
    const TV32RECT& s = o.select;
    if (s.left < 0 || s.top < 0 || s.right > picture.width() || s.bottom > picture.height() || s.left >= s.right ||
        s.top >= s.bottom)
        return fail("the selection must lie inside the picture");

    void* lib = loadPlugin("borderfx");
    if (!lib) return 2;
    using Action = int (*)(TV32HWND, PlugInRecord*);
    auto action = reinterpret_cast<Action>(findExport(lib, "TalvorPlugInAction"));
    if (!action) return 2;

    const TV32HBUF source = bufferOf(picture), alpha = bufferOf(plane);
    if (!source || !alpha) return fail("out of memory");
    TV32HBUF resultImage = 0, resultAlpha = 0;
    PlugInRecord rec;
    std::memset(&rec, 0, sizeof rec);
    rec.selection = s;
    rec.sourceImage = source;
    rec.alphaSource = alpha;
    rec.resultImage = &resultImage;
    rec.resultAlpha = &resultAlpha;
    rec.bitsPerPixel = grey ? 8 : 24;
    rec.imageWidth = picture.width();
    rec.imageHeight = picture.height();
    rec.hostColor = 0x00FFFFFF;
    if (o.dialog) unsetenv(BFX_DIALOG_ANSWER_VARIABLE);
    else setenv(BFX_DIALOG_ANSWER_VARIABLE, "ok", 1);

    const int result = action(0, &rec);
    bool written = true;
    if (result) {
        written = save(resultImage, o.out) && save(resultAlpha, o.outAlpha);
        if (!written) std::fprintf(stderr, "plughost borderfx: cannot write the result pictures\n");
    }
    std::printf("originX: %d\noriginY: %d\nresult: %d\n", rec.originX, rec.originY, result);
    std::fflush(stdout);
    buf32Free(resultImage);
    buf32Free(resultAlpha);
    buf32Free(source);
    buf32Free(alpha);
    return result && written ? 0 : 1;
}

} // namespace plughost
