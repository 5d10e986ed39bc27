// plughost hotmap: a mask picture to an image-map entry through libhotmap.
#include "commands.h"

#include "hotmap/hotmap.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstring>

namespace plughost {

namespace {

int fail(const char* message, const QString& detail = {}) {
    std::fprintf(stderr, "plughost hotmap: %s%s\n", message, detail.toLocal8Bit().constData());
    return 2;
}

const char* const kFormats[] = {"inline", "ncsa", "cern"};

} // namespace

int runHotmap(const QStringList& arguments) {
    QString maskFile, title = QStringLiteral("Image Map Tag"), url;
    int32_t offset[2] = {0, 0};
    int32_t format = HM_FORMAT_INLINE;
    bool dialog = false, serve = false;
    DialogScript script;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&]() -> QString { return i + 1 < arguments.size() ? arguments[++i] : QString(); };
        if (a == "--offset") {
            const QStringList xy = value().split(',');
            bool okX = false, okY = false;
            if (xy.size() == 2) {
                offset[0] = xy[0].toInt(&okX);
                offset[1] = xy[1].toInt(&okY);
            }
            if (!okX || !okY) return fail("--offset needs X,Y");
        } else if (a == "--url") {
            url = value();
        } else if (a == "--title") {
            title = value();
        } else if (a == "--format") {
            const QString f = value();
            format = -1;
            for (int k = 0; k < 3; ++k)
                if (f == QLatin1String(kFormats[k])) format = k;
            if (format < 0) return fail("--format is inline, ncsa or cern, not ", f);
        } else if (a == "--dialog") {
            dialog = true;
        } else if (a == "--serve") {
            serve = true;
        } else if (a == "--grab" || a == "--type" || a == "--press") {
            script.take(a, value());
        } else if (a.startsWith("--") || !maskFile.isEmpty()) {
            return fail("unexpected argument ", a);
        } else {
            maskFile = a;
        }
    }
    if (maskFile.isEmpty()) return fail("no mask picture given");
    QImage mask(maskFile);
    if (mask.isNull()) return fail("cannot read ", maskFile);
    mask = mask.convertToFormat(QImage::Format_Grayscale8); // the grey value of each pixel

    void* lib = loadPlugin("hotmap");
    if (!lib) return 2;
    using Gen = int (*)(TV32HWND, const uint8_t*, int32_t, int32_t, int32_t, const int32_t*, const char*,
                        char*, int32_t*, int32_t);
    auto gen = reinterpret_cast<Gen>(findExport(lib, "hmGenImageTagFromAPSBuf"));
    if (!gen) return 2;

    if (dialog) driveNextDialog(script);

    char urlBuffer[HM_URL_SIZE] = {};
    const QByteArray urlBytes = url.toUtf8();
    std::memcpy(urlBuffer, urlBytes.constData(), std::min<std::size_t>(urlBytes.size(), HM_URL_SIZE - 1));
    const QByteArray titleBytes = title.toUtf8();
    const int result = gen(0, mask.constBits(), mask.width(), mask.height(), int32_t(mask.bytesPerLine()),
                           offset, titleBytes.constData(), urlBuffer, &format, dialog ? 0 : 1);
    if (result) {
        const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
        std::printf("%s\n", text.constData());
    }
    std::printf("result: %d\n", result);
    if (result && format >= 0 && format <= 2) std::printf("format: %s\n", kFormats[format]);
    std::fflush(stdout);
    if (result && serve) serveClipboard();
    return result ? 0 : 1;
}

} // namespace plughost
