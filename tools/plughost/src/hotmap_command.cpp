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

bool anyAbove128(const QImage& plane) {
    for (int y = 0; y < plane.height(); ++y) {
        const uchar* row = plane.constScanLine(y);
        for (int x = 0; x < plane.width(); ++x)
            if (row[x] > 128) return true;
    }
    return false;
}

// Why the whole-selection export delivered nothing.
const char* statusText(int32_t status) {
    switch (status) {
    case HM_STATUS_NOTHING_SELECTED:
        return "nothing is selected";
    case HM_STATUS_BAD_ARGUMENT:
        return "the library refused the mask";
    case HM_STATUS_OUT_OF_RANGE:
        return "the offset puts coordinates past 32 bits";
    case HM_STATUS_NO_MEMORY:
        return "not enough memory";
    case HM_STATUS_NO_CLIPBOARD:
        return "the clipboard did not take the text";
    case HM_STATUS_CAPS_TOO_SMALL:
        return "not even one area fits the caps (--max-points)";
    default:
        return "the map could not be made";
    }
}

} // namespace

QImage selectionPlane(const QImage& picture, const QString& channel, QString* error) {
    bool alpha = channel == QLatin1String("alpha");
    if (channel.isEmpty() && picture.hasAlphaChannel()) {
        // An alpha channel that is opaque everywhere carries no selection: then the grey values do.
        const QImage a = picture.convertToFormat(QImage::Format_Alpha8);
        for (int y = 0; y < a.height() && !alpha; ++y) {
            const uchar* row = a.constScanLine(y);
            for (int x = 0; x < a.width(); ++x)
                if (row[x] != 255) {
                    alpha = true;
                    break;
                }
        }
    }
    if (alpha && !picture.hasAlphaChannel()) {
        if (error) *error = QStringLiteral("the picture has no alpha channel");
        return {};
    }
    return picture.convertToFormat(alpha ? QImage::Format_Alpha8 : QImage::Format_Grayscale8);
}

int runHotmap(const QStringList& arguments) {
    QString maskFile, title = QStringLiteral("Image Map Tag"), url, channel;
    int32_t offset[2] = {0, 0};
    int32_t format = HM_FORMAT_INLINE;
    int32_t maxAreas = 0, maxPoints = 0;
    bool dialog = false, serve = false, whole = false;
    DialogScript script;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&]() -> QString { return i + 1 < arguments.size() ? arguments[++i] : QString(); };
        auto count = [&](int32_t& into) {
            bool ok = false;
            into = value().toInt(&ok);
            return ok && into > 0;
        };
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
        } else if (a == "--mask-channel") {
            channel = value();
            if (channel != "grey" && channel != "alpha")
                return fail("--mask-channel is grey or alpha, not ", channel);
        } else if (a == "--whole") {
            whole = true;
        } else if (a == "--max-areas") {
            if (!count(maxAreas)) return fail("--max-areas needs a number above 0");
        } else if (a == "--max-points") {
            if (!count(maxPoints)) return fail("--max-points needs a number above 0");
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
    if (whole && dialog) return fail("--whole makes the map without a dialog");
    if (!whole && (maxAreas || maxPoints)) return fail("--max-areas and --max-points go with --whole");
    const QImage picture(maskFile);
    if (picture.isNull()) return fail("cannot read ", maskFile);
    QString why;
    const QImage mask = selectionPlane(picture, channel, &why);
    if (mask.isNull()) return fail(qPrintable(why + ": "), maskFile);
    const bool alpha = mask.format() == QImage::Format_Alpha8;
    auto sayNothingSelected = [&] {
        std::fprintf(stderr, "plughost hotmap: nothing is selected in %s: no pixel's %s is above 128\n",
                     maskFile.toLocal8Bit().constData(), alpha ? "alpha" : "grey value");
    };

    void* lib = loadPlugin("hotmap");
    if (!lib) return 2;
    char urlBuffer[HM_URL_SIZE] = {};
    const QByteArray urlBytes = url.toUtf8();
    std::memcpy(urlBuffer, urlBytes.constData(), std::min<std::size_t>(urlBytes.size(), HM_URL_SIZE - 1));

    if (whole) {
        using Map = int (*)(TV32HWND, const uint8_t*, int32_t, int32_t, int32_t, const int32_t*, const char*,
                            int32_t, int32_t, int32_t, ImageMapSummary*);
        auto map = reinterpret_cast<Map>(findExport(lib, "hmGenImageMapFromAPSBuf"));
        if (!map) return 2;
        ImageMapSummary s{};
        const int result = map(0, mask.constBits(), mask.width(), mask.height(), int32_t(mask.bytesPerLine()),
                               offset, urlBuffer, format, maxAreas, maxPoints, &s);
        if (result) {
            const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
            std::printf("%s\n", text.constData());
        } else if (s.status == HM_STATUS_NOTHING_SELECTED) {
            sayNothingSelected();
        } else {
            std::fprintf(stderr, "plughost hotmap: %s\n", statusText(s.status));
        }
        std::printf("result: %d\n", result);
        if (result) {
            std::printf("format: %s\n", kFormats[format]);
            std::printf("regions: %d\nholes: %d\nareas: %d\npoints: %d\ncapped: %s\n", s.regions, s.holes,
                        s.areas, s.points, s.capped ? "yes" : "no");
            if (s.capped)
                std::fprintf(stderr,
                             "plughost hotmap: the map was cut to fit %d areas and %d points "
                             "(--max-areas, --max-points)\n",
                             maxAreas > 0 ? std::min(maxAreas, HM_MAP_MAX_AREAS) : HM_MAP_DEFAULT_AREAS,
                             maxPoints > 0 ? std::min(maxPoints, HM_MAP_MAX_POINTS) : HM_MAP_DEFAULT_POINTS);
        }
        std::fflush(stdout);
        if (result && serve) serveClipboard();
        return result ? 0 : 1;
    }

    using Gen = int (*)(TV32HWND, const uint8_t*, int32_t, int32_t, int32_t, const int32_t*, const char*,
                        char*, int32_t*, int32_t);
    auto gen = reinterpret_cast<Gen>(findExport(lib, "hmGenImageTagFromAPSBuf"));
    if (!gen) return 2;

    if (dialog) driveNextDialog(script);

    const QByteArray titleBytes = title.toUtf8();
    const int result = gen(0, mask.constBits(), mask.width(), mask.height(), int32_t(mask.bytesPerLine()),
                           offset, titleBytes.constData(), urlBuffer, &format, dialog ? 0 : 1);
    if (result) {
        const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
        std::printf("%s\n", text.constData());
    } else if (!anyAbove128(mask)) {
        sayNothingSelected();
    }
    std::printf("result: %d\n", result);
    if (result && format >= 0 && format <= 2) std::printf("format: %s\n", kFormats[format]);
    std::fflush(stdout);
    if (result && serve) serveClipboard();
    return result ? 0 : 1;
}

} // namespace plughost
