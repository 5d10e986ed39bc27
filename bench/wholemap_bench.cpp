// Maps of whole selections: hotmap's whole-selection mode (every outline along pixel edges with
// regions and holes, shapes, exact simplification, the text) against OpenCV's findContours with
// the full hierarchy + approxPolyDP over every contour, same masks, same process.
//
//   wholemap_bench [SIZE [ROUNDS]]     default 8000 5
//
// Masks: the 8000 x 8000 flower of hotmap_bench (one region), cells of rings with islands (many
// regions and holes), and a 2000 x 2000 random noise mask with the default caps.
#include "benchtime.h"
#include "blobmask.h"

#include "edges.h"
#include "wholemap.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using bench::Clock;
using bench::median;
using bench::ms;

struct Ours {
    double pack = 0, trace = 0, total = 0, cpu = 0;
    std::size_t regions = 0, holes = 0, areas = 0, points = 0, textBytes = 0;
    bool capped = false;
};

Ours runOurs(const std::vector<uint8_t>& px, int n, hotmap::MapCaps caps) {
    Ours o;
    const double cpu0 = bench::threadCpuMs();
    const auto a = Clock::now();
    const hotmap::SelectionBits bits(px.data(), n, n, n);
    const auto b = Clock::now();
    const hotmap::WholeMap map =
        hotmap::mapWholeSelection(bits, {}, HM_FORMAT_INLINE, "http://example.com/", caps);
    const auto c = Clock::now();
    o.cpu = bench::threadCpuMs() - cpu0;
    o.pack = ms(a, b);
    o.total = ms(a, c);
    o.regions = map.regions;
    o.holes = map.holes;
    o.areas = map.areas.size();
    o.points = map.points;
    o.textBytes = map.text.size();
    o.capped = map.capped;
    // The trace alone (outlines, hierarchy) on the same bits.
    const auto d = Clock::now();
    const hotmap::Outlines outlines = hotmap::traceOutlines(bits, caps.areas, true);
    o.trace = ms(d, Clock::now());
    if (outlines.regions != map.regions) std::fprintf(stderr, "trace differs\n");
    return o;
}

struct Theirs {
    double total = 0;
    std::size_t contours = 0, points = 0, vertices = 0;
};

Theirs runOpenCV(std::vector<uint8_t>& px, int n, int approx) {
    Theirs t;
    const cv::Mat src(n, n, CV_8UC1, px.data());
    const auto a = Clock::now();
    cv::Mat bin;
    cv::threshold(src, bin, 128, 255, cv::THRESH_BINARY);
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(bin, contours, hierarchy, cv::RETR_TREE, approx);
    std::vector<cv::Point> poly;
    for (const auto& c : contours) {
        cv::approxPolyDP(c, poly, 1.0, true);
        t.points += c.size();
        t.vertices += poly.size();
    }
    t.total = ms(a, Clock::now());
    t.contours = contours.size();
    return t;
}

void compare(const char* name, std::vector<uint8_t>& px, int n, int rounds) {
    const hotmap::MapCaps unlimited{HM_MAP_MAX_AREAS, HM_MAP_MAX_POINTS};
    std::vector<double> ours, simple, none, pack, trace;
    Ours o;
    Theirs ts, tn;
    for (int r = 0; r < rounds; ++r) {
        o = runOurs(px, n, unlimited);
        ours.push_back(o.total);
        pack.push_back(o.pack);
        trace.push_back(o.trace);
        ts = runOpenCV(px, n, cv::CHAIN_APPROX_SIMPLE);
        simple.push_back(ts.total);
        tn = runOpenCV(px, n, cv::CHAIN_APPROX_NONE);
        none.push_back(tn.total);
    }
    std::printf("%s, %d x %d (OpenCV threads: %d)\n", name, n, n, cv::getNumThreads());
    std::printf("  hotmap whole map       median %8.1f ms, min %8.1f  (packing %.1f, trace alone %.1f)\n",
                median(ours), *std::min_element(ours.begin(), ours.end()), median(pack), median(trace));
    std::printf("    %zu regions, %zu holes -> %zu areas, %zu points, %zu bytes of text%s\n", o.regions,
                o.holes, o.areas, o.points, o.textBytes, o.capped ? ", capped" : "");
    std::printf(
        "  OpenCV TREE + SIMPLE   median %8.1f ms, min %8.1f  %zu contours, %zu points -> %zu vertices\n",
        median(simple), *std::min_element(simple.begin(), simple.end()), ts.contours, ts.points, ts.vertices);
    std::printf(
        "  OpenCV TREE + NONE     median %8.1f ms, min %8.1f  %zu contours, %zu points -> %zu vertices\n",
        median(none), *std::min_element(none.begin(), none.end()), tn.contours, tn.points, tn.vertices);
    std::printf("  ratio hotmap / OpenCV, medians (SIMPLE): %.2f   (NONE): %.2f\n",
                median(ours) / median(simple), median(ours) / median(none));
}

} // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 8000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (n < 16 || rounds < 1) {
        std::fprintf(stderr, "usage: wholemap_bench [SIZE >= 16 [ROUNDS >= 1]]\n");
        return 2;
    }
    std::vector<uint8_t> px(std::size_t(n) * n);
    bench::makeBlob(px.data(), n);
    compare("flower (the benchmark mask)", px, n, rounds);
    bench::makeRings(px.data(), n, 200);
    compare("rings with islands, 200-pixel cells", px, n, rounds);

    // Noise under the default caps: how long until the capped map is there.
    const int noise = 2000;
    std::vector<uint8_t> np(std::size_t(noise) * noise);
    bench::makeNoise(np.data(), np.size(), 0.5, 7);
    std::vector<double> times, cpu;
    Ours o;
    for (int r = 0; r < rounds; ++r) {
        o = runOurs(np, noise, {});
        times.push_back(o.total);
        cpu.push_back(o.cpu);
    }
    std::printf("noise 50%%, %d x %d, default caps (%d areas, %d points)\n", noise, noise,
                HM_MAP_DEFAULT_AREAS, HM_MAP_DEFAULT_POINTS);
    std::printf(
        "  hotmap whole map       median %8.1f ms (CPU %.1f ms): %zu regions, %zu holes -> %zu areas, "
        "%zu points, %zu bytes%s\n",
        median(times), median(cpu), o.regions, o.holes, o.areas, o.points, o.textBytes,
        o.capped ? ", capped" : "");
    return 0;
}
