// The frame-and-shadow adapter in GIMP against GIMP's own tools for the same look: in one
// gimp-console run on a 4000 x 3000 RGB image with a 2000 x 1400 selection, our filter (frame 40,
// shadow 30 x 30 down-right with a soft edge of 20) against the legacy drop shadow (offset 30 x 30,
// blur 20) followed by the add-border script (40 pixels). Each run works on a fresh copy of the
// image; the two alternate so that both see the same machine. Prints the medians and the ratio.
//   gimp_bench [REPETITIONS]   (default 5)
#include "gimpsession.h"

#include <QFile>
#include <QRegularExpression>

#include <cstdio>
#include <cstdlib>

#include "benchtime.h"

using namespace gimptest;

namespace {

const char* const kScript = R"SCM(
(define (now) (let ((t (gettimeofday))) (+ (* 1000.0 (car t)) (/ (cadr t) 1000.0))))
(define out (open-output-file "%OUT%"))
(define base (car (gimp-image-new 4000 3000 RGB)))
(define layer (car (gimp-layer-new base 4000 3000 RGB-IMAGE "bg" 100 LAYER-MODE-NORMAL)))
(gimp-image-insert-layer base layer 0 0)
(gimp-context-set-foreground '(200 100 50))
(gimp-context-set-background '(20 60 200))
(gimp-drawable-edit-gradient-fill layer GRADIENT-LINEAR 0 FALSE 1 0 TRUE 0 0 4000 3000)
(gimp-image-select-rectangle base CHANNEL-OP-REPLACE 1000 800 2000 1400)
(define (timed name run)
  (let* ((img (car (gimp-image-duplicate base))) (drw (car (gimp-image-get-active-layer img))) (t0 (now)))
    (run img drw)
    (let ((t (- (now) t0)))
      (display name out) (display " " out) (display t out) (newline out)
      (gimp-image-delete img))))
(define (ours img drw)
  (plug-in-halcyon-frame-shadow RUN-NONINTERACTIVE img drw 1 40 '(255 128 0) 0 1 1 3 30 30 '(0 0 0) 20 1 20))
(define (gimps img drw)
  (script-fu-drop-shadow img drw 30 30 20 '(0 0 0) 80 TRUE)
  (script-fu-addborder img drw 40 40 '(255 128 0) 25))
(define (repeat n)
  (if (> n 0) (begin (timed "ours" ours) (timed "gimp" gimps) (repeat (- n 1)))))
(timed "warm-ours" ours)
(timed "warm-gimp" gimps)
(repeat %N%)
(close-output-port out)
)SCM";

} // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QString missing = MissingForBatch();
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "gimp_bench: %s\n", qPrintable(missing));
        return 2;
    }
    Profile profile;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("times.txt")),
                  script = dir.filePath(QStringLiteral("bench.scm"));
    QFile f(script);
    if (!profile.valid() || !f.open(QIODevice::WriteOnly | QIODevice::Text)) return 2;
    f.write(QString::fromLatin1(kScript)
                .replace(QStringLiteral("%OUT%"), out)
                .replace(QStringLiteral("%N%"), QString::number(n))
                .toUtf8());
    f.close();
    const Result r = RunBatch(profile, script, 900000);
    std::map<QString, std::vector<double>> times;
    QFile t(out);
    if (t.open(QIODevice::ReadOnly | QIODevice::Text))
        while (!t.atEnd()) {
            const QStringList w = QString::fromUtf8(t.readLine()).simplified().split(QLatin1Char(' '));
            if (w.size() == 2) times[w[0]].push_back(w[1].toDouble());
        }
    if (times["ours"].size() != std::size_t(n) || times["gimp"].size() != std::size_t(n)) {
        std::fprintf(stderr, "gimp_bench: the run did not finish:\n%s\n", qPrintable(r.output));
        return 1;
    }
    const double ours = bench::median(times["ours"]), gimp = bench::median(times["gimp"]);
    const auto low = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    std::printf("4000 x 3000 RGB, selection 2000 x 1400, %d runs each, one gimp-console run\n", n);
    std::printf("  Frame and Shadow (adapter, libborderfx): median %8.1f ms  (best %.1f, first %.1f)\n", ours,
                low(times["ours"]), times["warm-ours"].front());
    std::printf("  GIMP legacy drop shadow + add border:    median %8.1f ms  (best %.1f, first %.1f)\n", gimp,
                low(times["gimp"]), times["warm-gimp"].front());
    std::printf("  ratio ours / GIMP: %.3f (target at most 0.100)\n", ours / gimp);
    return 0;
}
