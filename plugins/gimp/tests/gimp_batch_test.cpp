// Both adapters in gimp-console, in batch mode with a throw-away profile: the frame-and-shadow
// layer against plughost borderfx on the same picture and settings, the image-map entries against
// plughost hotmap on the same mask, the clipboard after GIMP has quit, and bad input. GIMP runs
// once for all cases; each test checks its part of what that run left.
#include "gimpsession.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>

using namespace gimptest;

namespace {

// One frame-and-shadow case: the picture GIMP loads, what the script does to the image before the
// call, the 13 settings, and the same picture and settings for plughost (layer coordinates).
struct FrameCase {
    const char* name;
    const char* picture;
    const char* prepare; // Scheme, with img and drw bound
    const char* settings;
    QStringList reference; // plughost borderfx arguments: picture, --alpha, --select, --set
    QStringList padded;    // the same on the picture padded with transparent pixels, or empty
    int padding = 0;       // their offset in the padded picture
    int left, top;         // the selection in the layer
    int layerX, layerY;    // the layer's offsets at the call
    int canvasW, canvasH;  // the canvas at the call
};

const char* const kUrl = "http://example.org/map.html";
// Blanks, quotes, an ampersand and angle brackets: escaped in the entries, as plughost does.
const char* const kWholeUrl = "http://example.org/a b.html?x=1&y=\"<2>\"";
const char* const kWholeUrlScheme = "http://example.org/a b.html?x=1&y=\\\"<2>\\\"";
const char* const kFormats[] = {"inline", "ncsa", "cern"};
const char* const kMasks[] = {"rect", "ellipse", "free"};

std::vector<FrameCase> frameCases(const QString& dir) {
    auto f = [&dir](const char* name) { return dir + QLatin1Char('/') + QLatin1String(name); };
    return {
        {"rgb",
         "rgb.raw",
         "(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 40 30 80 60)",
         "1 6 '(255 128 0) 0 1 1 3 8 5 '(32 48 64) 30 1 7",
         {f("rgb.png"), "--select", "40,30,120,90", "--set",
          "frameWidth=6,shadowDirection=3,shadowOffsetX=8,shadowOffsetY=5,transparency=30,blendWidth=7,"
          "shadowColor=#203040,frameColor=#FF8000"},
         {},
         0,
         40,
         30,
         0,
         0,
         160,
         120},
        // A layer with a soft alpha, placed at (15, 10) on a larger canvas; the shadow falls up-left
        // onto partly transparent pixels.
        {"rgba",
         "rgba.raw",
         "(gimp-image-resize img 180 130 15 10) (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 45 30 70 "
         "55)",
         "1 4 '(0 255 0) 0 1 1 0 6 9 '(0 0 128) 0 1 5",
         {f("rgba_rgb.png"), "--alpha", f("rgba_alpha.png"), "--select", "30,20,100,75", "--set",
          "frameWidth=4,shadowDirection=0,shadowOffsetX=6,shadowOffsetY=9,transparency=0,blendWidth=5,"
          "shadowColor=#000080,frameColor=#00FF00"},
         {},
         0,
         30,
         20,
         15,
         10,
         180,
         130},
        {"grey",
         "grey.raw",
         "(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 20 15 80 60)",
         "1 8 '(255 0 0) 1 3 0 2 10 10 '(0 0 0) 20 1 10",
         {f("grey.png"), "--select", "20,15,100,75", "--set",
          "frameWidth=8,shadow=off,frameFill=texture,textureIndex=3,frameColor=#FF0000"},
         {},
         0,
         20,
         15,
         0,
         0,
         120,
         90},
        // The selection touches the left and top edges: the output area reaches past the canvas,
        // which grows; beyond the layer the frame and shadow fall as on transparent pixels.
        {"edge",
         "rgb.raw",
         "(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 0 0 70 50)",
         "1 5 '(0 0 255) 0 1 1 2 10 10 '(90 20 20) 20 1 10",
         {f("rgb.png"), "--select", "0,0,70,50", "--set",
          "frameWidth=5,shadowColor=#5A1414,frameColor=#0000FF"},
         {f("padded_rgb.png"), "--alpha", f("padded_alpha.png"), "--select", "40,40,110,90", "--set",
          "frameWidth=5,shadowColor=#5A1414,frameColor=#0000FF"},
         40,
         0,
         0,
         0,
         0,
         160,
         120},
    };
}

const char* const kScriptHead = R"SCM(
(define out (open-output-file "%DIR%/results.txt"))
(define (say . items) (for-each (lambda (x) (display x out) (display " " out)) items) (newline out))
(define (mark name) (gimp-message (string-append "CASE " name)))
(define pictures '())
(define (load-picture name)
  ; Each picture is read once; the cases work on copies.
  (let ((known (assoc name pictures)))
    (if known
        (car (gimp-image-duplicate (cdr known)))
        (let ((img (car (halcyon-test-load RUN-NONINTERACTIVE (string-append "%DIR%/" name)))))
          (set! pictures (cons (cons name img) pictures))
          (car (gimp-image-duplicate img))))))
(define (export img drw name)
  (halcyon-test-dump RUN-NONINTERACTIVE img drw (string-append "%DIR%/" name)))
(define (state name img)
  (say name "canvas" (car (gimp-image-width img)) (car (gimp-image-height img)))
  (say name "layers" (car (gimp-image-get-layers img))))
(define (offsets name drw) (let ((o (gimp-drawable-offsets drw))) (say name "offsets" (car o) (cadr o))))
(define (now) (let ((t (gettimeofday))) (+ (* 1000 (car t)) (quotient (cadr t) 1000))))
(define started (now))
(define (try name thunk)
  (mark name)
  (let* ((t0 (now)) (r (catch 'failed (thunk))))
    (say name "result" (if (eq? r 'failed) "failed" "ok"))
    (say name "ms" (- (now) t0) "at" (- t0 started))
    r))
(define (frame mode img drw settings)
  (apply plug-in-halcyon-frame-shadow (append (list mode img drw) settings)))
(define (frame-case name picture prepare settings)
  (let* ((img (load-picture picture)) (drw (car (gimp-image-get-active-layer img))))
    (prepare img drw)
    (let ((r (try name (lambda () (frame RUN-NONINTERACTIVE img drw settings)))))
      (if (not (eq? r 'failed))
          (begin (export img (car r) (string-append "gimp-" name ".raw"))
                 (offsets name (car r)) (offsets (string-append name "-layer") drw) (state name img))))))
(define (refused name img drw settings)
  (state (string-append name "-before") img)
  (try name (lambda () (frame RUN-NONINTERACTIVE img drw settings)))
  (state (string-append name "-after") img))
(define defaults (list 1 10 '(0 0 255) 0 1 1 2 10 10 '(0 0 0) 20 1 10))
(define (new-image w h type)
  (let* ((img (car (gimp-image-new w h (if (= type INDEXED-IMAGE) INDEXED RGB))))
         (drw (car (gimp-layer-new img w h type "bg" 100 LAYER-MODE-NORMAL))))
    (gimp-image-insert-layer img drw 0 0)
    (list img drw)))
)SCM";

const char* const kScriptTail = R"SCM(
; Repeating the last values: those of the edge case, on the same picture and selection.
(let* ((img (load-picture "rgb.raw")) (drw (car (gimp-image-get-active-layer img))))
  (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 0 0 70 50)
  (let ((r (try "last" (lambda () (frame RUN-WITH-LAST-VALS img drw defaults)))))
    (if (not (eq? r 'failed)) (export img (car r) "gimp-last.raw"))))

; Bad input: GIMP's error, the image unchanged.
(let* ((i (new-image 40 30 INDEXED-IMAGE))) (refused "indexed" (car i) (cadr i) defaults))
(let* ((i (new-image 40 30 RGB-IMAGE)) (img (car i)) (group (car (gimp-layer-group-new img))))
  (gimp-image-insert-layer img group 0 0)
  (refused "group" img group defaults))
(let* ((i (new-image 1 1 RGB-IMAGE))) (refused "tiny" (car i) (cadr i) defaults))
(let* ((i (new-image 100 80 RGB-IMAGE)) (img (car i)) (drw (car (gimp-layer-new img 40 30 RGB-IMAGE "small" 100 LAYER-MODE-NORMAL))))
  (gimp-image-insert-layer img drw 0 0)
  (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 60 50 30 20)
  (refused "outside" img drw defaults))
(let* ((i (new-image 60 40 RGB-IMAGE)) (img (car i)) (drw (cadr i)))
  (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 10 10 20 10)
  (gimp-edit-copy drw)
  (gimp-edit-paste drw FALSE)
  (refused "floating" img drw defaults))
(let* ((i (new-image 30000 30000 RGB-IMAGE))) (refused "huge" (car i) (cadr i) defaults))
(let* ((i (new-image 160 120 RGB-IMAGE))) (refused "range" (car i) (cadr i) (list 1 50 '(0 0 255) 0 1 1 2 10 10 '(0 0 0) 20 1 10)))
(let* ((i (new-image 160 120 RGB-IMAGE))) (refused "argument" (car i) (cadr i) (list 1 10 '(0 0 255) 0 1 1 2 10 10 '(0 0 0) 150 1 10)))

; Image-map entries of three selections in three formats; the masks go to files for plughost.
(define (entries img drw name)
  (export img (car (gimp-selection-save img)) (string-append "mask-" name ".raw"))
  (for-each (lambda (f)
              (let ((r (try (string-append "map-" name) (lambda () (plug-in-halcyon-image-map RUN-NONINTERACTIVE img drw f "%URL%" 0 0 0)))))
                (if (not (eq? r 'failed)) (say (string-append "map-" name) f (car r)))))
            '(0 1 2)))
(let* ((img (load-picture "rgb.raw")) (drw (car (gimp-image-get-active-layer img))))
  (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 30 20 80 50)
  (entries img drw "rect")
  (gimp-image-select-ellipse img CHANNEL-OP-REPLACE 40 25 70 50)
  (entries img drw "ellipse")
  (gimp-image-select-polygon img CHANNEL-OP-REPLACE 10 #(20 100 140 30 90 110 60 95 30 90))
  (entries img drw "free")
  ; Failures leave the clipboard to the last entry.
  (gimp-selection-none img)
  (try "map-none" (lambda () (plug-in-halcyon-image-map RUN-NONINTERACTIVE img drw 0 "%URL%" 0 0 0)))
  (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 30 20 80 50)
  ; A C plug-in written before the whole-selection arguments passes five; GIMP lets it.
  (let ((r (try "map-5" (lambda () (halcyon-test-map-5 RUN-NONINTERACTIVE img drw 1 "%URL%")))))
    (if (not (eq? r 'failed)) (say "map-5" "entry" (car r))))
  (try "map-long" (lambda () (plug-in-halcyon-image-map RUN-NONINTERACTIVE img drw 0 (make-string 300 #\a) 0 0 0))))

; Maps of whole selections: a ring (its hole) and two separate blobs in three formats, with a URL
; that needs escaping; the text of each goes to a file of its own (it has several lines).
(define (write-text name text)
  (let ((port (open-output-file (string-append "%DIR%/" name))))
    (display text port)
    (close-output-port port)))
(define (whole-map name img drw f areas points)
  (let ((r (try name (lambda () (plug-in-halcyon-image-map RUN-NONINTERACTIVE img drw f "%WHOLEURL%" 1 areas points)))))
    (if (not (eq? r 'failed))
        (begin (write-text (string-append name ".txt") (car r)) (say name "capped" (cadr r))))))
(define (whole-maps img drw name)
  (export img (car (gimp-selection-save img)) (string-append "mask-" name ".raw"))
  (for-each (lambda (f) (whole-map (string-append "whole-" name "-" (number->string f)) img drw f 0 0)) '(0 1 2)))
(let* ((img (load-picture "rgb.raw")) (drw (car (gimp-image-get-active-layer img))))
  (gimp-image-select-ellipse img CHANNEL-OP-REPLACE 20 10 100 90)
  (gimp-image-select-ellipse img CHANNEL-OP-SUBTRACT 50 35 40 40)
  (whole-maps img drw "ring")
  (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 10 12 30 20)
  (gimp-image-select-ellipse img CHANNEL-OP-ADD 70 50 60 45)
  (whole-maps img drw "blobs")
  ; Caps: one area of the two, told through GIMP's message; then the menu entry's procedure
  ; repeats those last values.
  (whole-map "whole-capped" img drw 0 1 0)
  (let ((r (try "whole-last" (lambda () (plug-in-halcyon-image-map-whole RUN-NONINTERACTIVE img drw)))))
    (if (not (eq? r 'failed)) (write-text "whole-last.txt" (car r))))
  ; Refused: arguments out of range, and nothing selected.
  (try "whole-flag" (lambda () (plug-in-halcyon-image-map RUN-NONINTERACTIVE img drw 0 "u" 2 0 0)))
  (try "whole-areas" (lambda () (plug-in-halcyon-image-map RUN-NONINTERACTIVE img drw 0 "u" 1 -1 0)))
  (try "whole-points" (lambda () (plug-in-halcyon-image-map RUN-NONINTERACTIVE img drw 0 "u" 1 0 4000001)))
  (gimp-selection-none img)
  (try "whole-none" (lambda () (plug-in-halcyon-image-map RUN-NONINTERACTIVE img drw 0 "u" 1 0 0)))
  (try "whole-none-menu" (lambda () (plug-in-halcyon-image-map-whole RUN-NONINTERACTIVE img drw))))
(close-output-port out)
)SCM";

struct Shared {
    VirtualDisplay display; // first made, last ended: the clipboard servers end with it
    QTemporaryDir dir;
    Result gimp;
    std::map<QString, QString> results;
    QString clipboard; // read by a second program after GIMP quit
    bool clipboardRead = false;
    bool serverEnded = false; // the detached server ended once the clipboard was taken over
    QString skip;
};
Shared* shared = nullptr;

QString filePath(const QString& name) {
    return shared->dir.filePath(name);
}

void makePictures() {
    QImage rgb(160, 120, QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            rgb.setPixel(x, y, qRgb(x * 255 / 159, y * 255 / 119, (x * y) % 256));
    rgb.save(filePath("rgb.png"));
    WriteRaw(rgb, filePath("rgb.raw"));
    QImage rgba(140, 100, QImage::Format_ARGB32), colour(140, 100, QImage::Format_RGB888),
        alpha(140, 100, QImage::Format_Grayscale8);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 140; ++x) {
            const int dx = x - 70, dy = y - 50;
            const int a = std::max(0, 255 - (dx * dx + dy * dy) / 12);
            const QRgb c = qRgb((x * 7) % 256, (y * 5) % 256, 200 - x);
            rgba.setPixel(x, y, qRgba(qRed(c), qGreen(c), qBlue(c), a));
            colour.setPixel(x, y, c);
            alpha.setPixel(x, y, qRgb(a, a, a));
        }
    WriteRaw(rgba, filePath("rgba.raw"));
    colour.save(filePath("rgba_rgb.png"));
    alpha.save(filePath("rgba_alpha.png"));
    QImage grey(120, 90, QImage::Format_Grayscale8);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x)
            grey.setPixel(x, y, qRgb((x * 2 + y) % 256, (x * 2 + y) % 256, (x * 2 + y) % 256));
    grey.save(filePath("grey.png"));
    WriteRaw(grey, filePath("grey.raw"));
    // The RGB picture in a transparent margin of 40 pixels.
    QImage padded(240, 200, QImage::Format_RGB888), plane(240, 200, QImage::Format_Grayscale8);
    padded.fill(Qt::black);
    plane.fill(0);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
            padded.setPixel(x + 40, y + 40, rgb.pixel(x, y));
            plane.setPixel(x + 40, y + 40, qRgb(255, 255, 255));
        }
    padded.save(filePath("padded_rgb.png"));
    plane.save(filePath("padded_alpha.png"));
}

QString script() {
    QString s = QLatin1String(kScriptHead);
    for (const FrameCase& c : frameCases(shared->dir.path()))
        s += QStringLiteral("(frame-case \"%1\" \"%2\" (lambda (img drw) %3) (list %4))\n")
                 .arg(QLatin1String(c.name), QLatin1String(c.picture), QLatin1String(c.prepare),
                      QLatin1String(c.settings));
    s += QLatin1String(kScriptTail);
    return s.replace(QStringLiteral("%DIR%"), shared->dir.path())
        .replace(QStringLiteral("%URL%"), QLatin1String(kUrl))
        .replace(QStringLiteral("%WHOLEURL%"), QString::fromUtf8(kWholeUrlScheme));
}

class GimpBatch : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        shared = new Shared;
        shared->skip = MissingForBatch();
        if (!shared->skip.isEmpty()) return;
        makePictures();
        Profile profile;
        ASSERT_TRUE(profile.valid());
        QFile f(filePath("cases.scm"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Text));
        f.write(script().toUtf8());
        f.close();
        QElapsedTimer t;
        t.start();
        shared->gimp = RunBatch(profile, f.fileName(), 180000);
        std::printf("gimp-console ran the cases in %lld ms\n", (long long)t.elapsed());
        shared->results = ReadResults(filePath("results.txt"));
        for (const auto& [key, value] : shared->results)
            if (key.endsWith(QLatin1String(" ms")))
                std::printf("  %s: %s\n", qPrintable(key), qPrintable(value));
        // A second program reads the clipboard after GIMP has quit, then takes it over.
        if (shared->display.running()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
            const Result r = ReadClipboardElsewhere(QStringLiteral(KIT_TEST_PROGRAM));
            shared->clipboardRead = r.finished && r.exitCode == 0;
            shared->clipboard = r.output.trimmed();
            shared->serverEnded = WaitForNoClipboardServer();
        }
    }
    static void TearDownTestSuite() {
        delete shared;
        shared = nullptr;
    }
    void SetUp() override {
        if (!shared->skip.isEmpty()) GTEST_SKIP() << shared->skip.toStdString();
        ASSERT_TRUE(shared->gimp.finished) << shared->gimp.output.toStdString();
        ASSERT_FALSE(shared->results.empty()) << shared->gimp.output.toStdString();
    }
    static QString result(const QString& key) {
        auto it = shared->results.find(key);
        return it == shared->results.end() ? QString() : it->second.trimmed();
    }
    // GIMP's output between the marker of `name` and the next marker.
    static QString messagesOf(const QString& name) {
        const QString& out = shared->gimp.output;
        const QString marker = QStringLiteral("CASE ") + name + QLatin1Char('\n');
        const qsizetype at = out.indexOf(marker);
        if (at < 0) return {};
        const qsizetype next = out.indexOf(QStringLiteral("CASE "), at + marker.size());
        return out.mid(at, next < 0 ? -1 : next - at);
    }
};

struct Origin {
    int x = 0, y = 0;
    bool ok = false;
};

Origin originOf(const QString& plughostOutput) {
    const QRegularExpression re(QStringLiteral("originX: (-?\\d+)\\noriginY: (-?\\d+)\\nresult: 1"));
    const auto m = re.match(plughostOutput);
    return {m.captured(1).toInt(), m.captured(2).toInt(), m.hasMatch()};
}

// Pixels of the layer inside `region` that differ from the expected colour (read at the same
// place) and alpha (read `alphaAt` to the left and up); colours count only where the alpha is not 0.
int differences(const QImage& layer, const QImage& colour, const QImage& alpha, QPoint alphaAt, QRect region,
                bool grey, std::string* first) {
    int bad = 0;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x) {
            const QRgb l = layer.pixel(x, y);
            const QRgb c = colour.pixel(x, y);
            const int a = qGray(alpha.pixel(x - alphaAt.x(), y - alphaAt.y()));
            const bool sameColour =
                a == 0 || (grey ? qRed(l) == qGray(c)
                                : (qRed(l) == qRed(c) && qGreen(l) == qGreen(c) && qBlue(l) == qBlue(c)));
            if (qAlpha(l) != a || !sameColour) {
                if (bad++ == 0 && first)
                    *first = QStringLiteral("(%1,%2): layer %3 alpha %4, expected %5 alpha %6")
                                 .arg(x)
                                 .arg(y)
                                 .arg(l & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                 .arg(qAlpha(l))
                                 .arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                 .arg(a)
                                 .toStdString();
            }
        }
    return bad;
}

TEST_F(GimpBatch, FrameAndShadowLayerEqualsPlughost) {
    for (const FrameCase& c : frameCases(shared->dir.path())) {
        SCOPED_TRACE(c.name);
        const QString name = QLatin1String(c.name);
        ASSERT_EQ(result(name + " result"), "ok") << messagesOf(name).toStdString();
        const Result ref = RunPlughost(QStringList{"borderfx"} + c.reference +
                                       QStringList{"--out", filePath("ref-" + name + ".png"), "--out-alpha",
                                                   filePath("refa-" + name + ".png")});
        const Origin origin = originOf(ref.output);
        ASSERT_TRUE(origin.ok) << ref.output.toStdString() << ref.errors.toStdString();
        const QImage colour(filePath("ref-" + name + ".png")), plane(filePath("refa-" + name + ".png"));
        const QImage layer = ReadRaw(filePath("gimp-" + name + ".raw"));
        ASSERT_FALSE(layer.isNull());
        ASSERT_EQ(layer.size(), colour.size());
        // The output area in the layer's coordinates, and its part inside the layer.
        const QRect o(c.left + origin.x, c.top + origin.y, colour.width(), colour.height());
        const QImage source = ReadRaw(filePath(QLatin1String(c.picture)));
        const QRect inside = o.intersected(QRect(QPoint(0, 0), source.size()));
        ASSERT_EQ(plane.size(), inside.size());
        const bool grey = colour.format() == QImage::Format_Grayscale8;
        std::string first;
        const QRect part = inside.translated(-o.topLeft());
        EXPECT_EQ(differences(layer, colour, plane, part.topLeft(), part, grey, &first), 0) << first;
        // The canvas grows to hold the output area; everything moves with it.
        const QRect inImage = o.translated(c.layerX, c.layerY);
        const int left = std::min(0, inImage.left()), top = std::min(0, inImage.top());
        const int right = std::max(c.canvasW, inImage.right() + 1),
                  bottom = std::max(c.canvasH, inImage.bottom() + 1);
        EXPECT_EQ(result(name + " canvas"), QStringLiteral("%1 %2").arg(right - left).arg(bottom - top));
        EXPECT_EQ(result(name + " offsets"),
                  QStringLiteral("%1 %2").arg(inImage.left() - left).arg(inImage.top() - top));
        EXPECT_EQ(result(name + "-layer offsets"),
                  QStringLiteral("%1 %2").arg(c.layerX - left).arg(c.layerY - top));
        EXPECT_EQ(result(name + " layers"), "2");
        if (!c.padded.isEmpty()) {
            // Beyond the layer: as the filter composes transparent pixels of a larger picture.
            const Result pad = RunPlughost(QStringList{"borderfx"} + c.padded +
                                           QStringList{"--out", filePath("pad-" + name + ".png"),
                                                       "--out-alpha", filePath("pada-" + name + ".png")});
            ASSERT_TRUE(originOf(pad.output).ok) << pad.output.toStdString() << pad.errors.toStdString();
            const QImage pc(filePath("pad-" + name + ".png")), pa(filePath("pada-" + name + ".png"));
            ASSERT_EQ(pc.size(), layer.size());
            ASSERT_EQ(pa.size(), layer.size());
            EXPECT_NE(inside.size(), o.size()) << "the case must reach past the layer";
            EXPECT_EQ(differences(layer, pc, pa, QPoint(0, 0), layer.rect(), grey, &first), 0) << first;
        }
    }
}

TEST_F(GimpBatch, LastValuesRepeatTheLastRun) {
    ASSERT_EQ(result("last result"), "ok") << messagesOf("last").toStdString();
    const QImage last = ReadRaw(filePath("gimp-last.raw")), edge = ReadRaw(filePath("gimp-edge.raw"));
    ASSERT_FALSE(last.isNull());
    EXPECT_EQ(last, edge);
}

TEST_F(GimpBatch, BadInputLeavesTheImageAloneWithGimpsMessage) {
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"indexed", "works on RGB and grayscale images only"},
        {"group", "Cannot modify the pixels of layer groups."},
        {"tiny", "ended without a result"},
        {"outside", "The selection does not intersect with the layer."},
        {"floating", "while a floating selection exists"},
        {"huge", "cannot hold a layer of 30000 x 30000 pixels"},
        {"range", "refused the settings: frameWidth is out of range"},
        {"argument", "transparency must lie between 0 and 99"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QLatin1String(c.name);
        EXPECT_EQ(result(name + " result"), "failed");
        EXPECT_TRUE(messagesOf(name).contains(QLatin1String(c.message))) << messagesOf(name).toStdString();
        EXPECT_FALSE(result(name + "-before layers").isEmpty());
        EXPECT_EQ(result(name + "-before layers"), result(name + "-after layers"));
        EXPECT_EQ(result(name + "-before canvas"), result(name + "-after canvas"));
    }
    EXPECT_FALSE(shared->gimp.output.contains(QLatin1String("crashed"))) << shared->gimp.output.toStdString();
}

TEST_F(GimpBatch, ImageMapEntriesEqualPlughost) {
    for (const char* mask : kMasks)
        for (int f = 0; f < 3; ++f) {
            SCOPED_TRACE(std::string(mask) + " " + kFormats[f]);
            const QString key = QStringLiteral("map-%1 %2").arg(QLatin1String(mask)).arg(f);
            const QString png = filePath(QStringLiteral("mask-%1.png").arg(QLatin1String(mask)));
            ASSERT_TRUE(ReadRaw(filePath(QStringLiteral("mask-%1.raw").arg(QLatin1String(mask)))).save(png));
            const Result ref = RunPlughost(
                {"hotmap", png, "--format", QLatin1String(kFormats[f]), "--url", QLatin1String(kUrl)});
            ASSERT_EQ(ref.exitCode, 0) << ref.output.toStdString() << ref.errors.toStdString();
            const QString expected = ref.output.section(QLatin1Char('\n'), 0, 0);
            EXPECT_EQ(result(key), expected);
        }
    // The three selections are the three shapes.
    EXPECT_TRUE(result("map-rect 0").startsWith(QLatin1String("<AREA SHAPE=\"RECT\"")));
    EXPECT_TRUE(result("map-ellipse 0").startsWith(QLatin1String("<AREA SHAPE=\"CIRCLE\"")));
    EXPECT_TRUE(result("map-free 0").startsWith(QLatin1String("<AREA SHAPE=\"POLY\"")));
    EXPECT_TRUE(messagesOf("map-none").contains(QLatin1String("There is no selection")))
        << messagesOf("map-none").toStdString();
    EXPECT_TRUE(messagesOf("map-long").contains(QLatin1String("longer than 259 bytes")));
    EXPECT_EQ(result("map-5 entry"), result("map-rect 1"));
}

// The text a whole map case wrote, and plughost hotmap --whole's map of the same mask.
QString wholeText(const QString& name) {
    QFile f(filePath(name + QStringLiteral(".txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("(no file)");
}

QString plughostWhole(const QString& mask, int format, const QStringList& caps = {}) {
    const QString png = filePath(QStringLiteral("mask-%1.png").arg(mask));
    if (!QFile::exists(png)) {
        EXPECT_TRUE(ReadRaw(filePath(QStringLiteral("mask-%1.raw").arg(mask))).save(png));
    }
    const Result ref =
        RunPlughost(QStringList{"hotmap", png, "--whole", "--format", QLatin1String(kFormats[format]),
                                "--url", QString::fromUtf8(kWholeUrl)} +
                    caps);
    EXPECT_EQ(ref.exitCode, 0) << ref.output.toStdString() << ref.errors.toStdString();
    const qsizetype end = ref.output.indexOf(QStringLiteral("\nresult: "));
    return end < 0 ? ref.output : ref.output.left(end);
}

TEST_F(GimpBatch, WholeSelectionMapsEqualPlughost) {
    for (const char* mask : {"ring", "blobs"})
        for (int f = 0; f < 3; ++f) {
            SCOPED_TRACE(std::string(mask) + " " + kFormats[f]);
            const QString name = QStringLiteral("whole-%1-%2").arg(QLatin1String(mask)).arg(f);
            ASSERT_EQ(result(name + " result"), "ok") << messagesOf(name).toStdString();
            EXPECT_EQ(result(name + " capped"), "0");
            EXPECT_EQ(wholeText(name), plughostWhole(QLatin1String(mask), f));
        }
    // What the two selections are: a ring whose hole comes first as an area without a link (in the
    // inline format only), and two areas; the URL escaped for each format.
    const QStringList ring = wholeText("whole-ring-0").split(QLatin1Char('\n'));
    ASSERT_EQ(ring.size(), 2);
    EXPECT_TRUE(ring[0].contains(QLatin1String("NOHREF"))) << ring[0].toStdString();
    EXPECT_TRUE(
        ring[1].contains(QLatin1String("HREF=\"http://example.org/a%20b.html?x=1&amp;y=&quot;&lt;2&gt;"
                                       "&quot;\"")))
        << ring[1].toStdString();
    EXPECT_EQ(wholeText("whole-ring-1").count(QLatin1Char('\n')), 0) << "NCSA maps have no holes";
    EXPECT_EQ(wholeText("whole-blobs-0").count(QLatin1String("<AREA")), 2);
    EXPECT_EQ(wholeText("whole-blobs-2").count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(wholeText("whole-blobs-0").startsWith(QLatin1String("<AREA SHAPE=\"POLY\"")))
        << "the larger blob, the ellipse, comes first";
}

TEST_F(GimpBatch, WholeSelectionCutByTheCapsSaysSo) {
    ASSERT_EQ(result("whole-capped result"), "ok") << messagesOf("whole-capped").toStdString();
    EXPECT_EQ(result("whole-capped capped"), "1");
    EXPECT_EQ(wholeText("whole-capped"), plughostWhole("blobs", 0, {"--max-areas", "1"}));
    EXPECT_TRUE(
        messagesOf("whole-capped")
            .contains(QLatin1String("The image map was cut to fit its caps of 1 area and 10000 points: "
                                    "the selection has 2 regions and 0 holes, the map holds 1 area")))
        << messagesOf("whole-capped").toStdString();
    // The menu entry's procedure, run without its dialog, repeats the last settings.
    ASSERT_EQ(result("whole-last result"), "ok") << messagesOf("whole-last").toStdString();
    EXPECT_EQ(wholeText("whole-last"), wholeText("whole-capped"));
    EXPECT_TRUE(messagesOf("whole-last").contains(QLatin1String("was cut to fit")));
}

TEST_F(GimpBatch, WholeSelectionRefusals) {
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"whole-flag", "whole must be 0 (the first region) or 1 (the whole selection)"},
        {"whole-areas", "max-areas must lie between 0 (the default, 256) and 65536"},
        {"whole-points", "max-points must lie between 0 (the default, 10000) and 4000000"},
        {"whole-none", "There is no selection to make an image map from."},
        {"whole-none-menu", "There is no selection to make an image map from."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(result(QLatin1String(c.name) + " result"), "failed");
        EXPECT_TRUE(messagesOf(QLatin1String(c.name)).contains(QLatin1String(c.message)))
            << messagesOf(QLatin1String(c.name)).toStdString();
    }
}

TEST_F(GimpBatch, ClipboardOutlivesGimp) {
    if (!shared->display.running())
        GTEST_SKIP() << "no Xvfb: without a display the clipboard lives in the plug-in";
    ASSERT_TRUE(shared->clipboardRead);
    EXPECT_EQ(result("whole-last result"), "ok");
    EXPECT_EQ(shared->clipboard, wholeText("whole-last"))
        << "the last map (several lines), untouched by the failures after it";
    EXPECT_TRUE(shared->serverEnded) << "the server ends when another program takes the clipboard over";
}

// Interactive runs in a GIMP without a display end with GIMP's error instead of waiting for a user
// who cannot see the dialog.
TEST(GimpWithoutDisplay, InteractiveRunsFailInsteadOfWaiting) {
    if (const QString missing = MissingForBatch(); !missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
    Profile profile;
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("interactive.scm")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Text));
    f.write(R"SCM(
(let* ((img (car (gimp-image-new 60 40 RGB)))
       (drw (car (gimp-layer-new img 60 40 RGB-IMAGE "bg" 100 LAYER-MODE-NORMAL))))
  (gimp-image-insert-layer img drw 0 0)
  (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 10 10 20 10)
  (catch #f (plug-in-halcyon-frame-shadow RUN-INTERACTIVE img drw 1 10 '(0 0 255) 0 1 1 2 10 10 '(0 0 0) 20 1 10))
  (catch #f (plug-in-halcyon-image-map RUN-INTERACTIVE img drw 0 "u" 0 0 0))
  (catch #f (plug-in-halcyon-image-map-whole RUN-INTERACTIVE img drw))
  (gimp-message (string-append "layers " (number->string (car (gimp-image-get-layers img))))))
)SCM");
    f.close();
    const Result r = RunBatch(profile, f.fileName(), 60000, false);
    ASSERT_TRUE(r.finished) << r.output.toStdString();
    EXPECT_TRUE(r.output.contains(QLatin1String("Frame and Shadow needs a display for its dialog")))
        << r.output.toStdString();
    EXPECT_TRUE(r.output.contains(QLatin1String("Image Map from Selection needs a display for its dialog")));
    EXPECT_TRUE(
        r.output.contains(QLatin1String("Image Map from Whole Selection needs a display for its dialog")));
    EXPECT_TRUE(r.output.contains(QLatin1String("layers 1")));
}

} // namespace

int main(int argc, char** argv) {
    return gimptest::TestMain(argc, argv);
}
