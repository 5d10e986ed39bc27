// Shape analysis of an 8000 x 8000 mask holding one large irregular blob (an outline of about a
// million points): hotmap's analysis against OpenCV's findContours + approxPolyDP, same mask,
// same process. Prints both times and the ratio.
#include "benchtime.h"
#include "blobmask.h"

#include "analysis.h"

#include "imagelib/tv32base.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using bench::Clock;
using bench::makeBlob;
using bench::ms;

} // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 8000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    std::vector<uint8_t> px(std::size_t(n) * n);
    makeBlob(px.data(), n);

    // Ours: the whole analysis of a request (two-valued packed copy, trace, shape tests,
    // simplification, template), on the mask buffer a host call would make.
    TV32HBUF mask = 0;
    if (!buf32Alloc(&mask, 8, n, n, BUF32_FILL_NONE, nullptr) ||
        !buf32MergeMem(mask, 0, 0, px.data(), n, n)) {
        std::fprintf(stderr, "cannot allocate the mask\n");
        return 1;
    }
    int32_t offset[2] = {0, 0};
    char url[HM_URL_SIZE] = "http://example.com/";
    std::vector<double> ours, theirs;
    std::size_t outlinePoints = 0, ourVertices = 0, cvPoints = 0, cvVertices = 0, cvContours = 0;
    for (int r = 0; r < rounds; ++r) {
        ImageMapRequest req;
        std::memset(&req, 0, sizeof req);
        req.text = static_cast<char*>(std::calloc(1024, 1));
        req.textSize = 1024;
        req.mask = mask;
        req.offset = offset;
        req.url = url;
        const auto a = Clock::now();
        const bool ok = hotmap::analyseRequest(req, 1.0);
        const auto b = Clock::now();
        if (!ok) {
            std::fprintf(stderr, "analysis failed\n");
            return 1;
        }
        ours.push_back(ms(a, b));
        ourVertices = std::size_t(std::count(req.text, req.text + std::strlen(req.text), ',')) / 2;
        std::free(req.text);
    }
    // Where our time goes (one round, the steps of the analysis one by one).
    double tTrace = 0, tTests = 0, tSimplify = 0;
    {
        buf32Lock(mask, BUF32_LOCK_READ, nullptr);
        const uint8_t* plane = buf32PointAddr(mask, 0, 0);
        auto a = Clock::now();
        std::vector<hotmap::Point> outline;
        hotmap::BBox box;
        hotmap::traceOutline(plane, n, n, outline, box);
        auto b = Clock::now();
        tTrace = ms(a, b);
        const bool shapes = hotmap::isRectangle(outline, box, 0.5) || hotmap::isEllipse(outline, box, 1.0);
        a = Clock::now();
        tTests = ms(b, a);
        const auto poly = hotmap::simplifyPolygon(outline, box, 1.0);
        b = Clock::now();
        tSimplify = ms(a, b);
        outlinePoints = outline.size();
        if (shapes || poly.empty()) std::fprintf(stderr, "unexpected shape\n");
        buf32Unlock(mask);
    }

    // OpenCV: threshold above 128, outer contours with every point, polygon approximation.
    const cv::Mat src(n, n, CV_8UC1, px.data());
    for (int r = 0; r < rounds; ++r) {
        const auto a = Clock::now();
        cv::Mat bin;
        cv::threshold(src, bin, 128, 255, cv::THRESH_BINARY);
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(bin, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
        // The large blob (our trace takes the first region in raster order, which is that blob).
        std::size_t largest = 0;
        for (std::size_t i = 1; i < contours.size(); ++i)
            if (contours[i].size() > contours[largest].size()) largest = i;
        std::vector<cv::Point> poly;
        if (!contours.empty()) cv::approxPolyDP(contours[largest], poly, 1.0, true);
        const auto b = Clock::now();
        theirs.push_back(ms(a, b));
        cvPoints = contours.empty() ? 0 : contours[largest].size();
        cvContours = contours.size();
        cvVertices = poly.size();
    }
    buf32Free(mask);

    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    const double o = ours[ours.size() / 2], t = theirs[theirs.size() / 2];
    std::printf("mask %d x %d, outline %zu points (OpenCV: %zu contours, largest %zu points)\n", n, n,
                outlinePoints, cvContours, cvPoints);
    std::printf("hotmap steps: packed copy + trace %.1f, shape tests %.1f, simplify %.1f ms\n", tTrace,
                tTests, tSimplify);
    std::printf("hotmap analysis            median %8.1f ms (min %.1f), %zu polygon points\n", o,
                ours.front(), ourVertices);
    std::printf("OpenCV findContours+approx median %8.1f ms (min %.1f), %zu polygon points\n", t,
                theirs.front(), cvVertices);
    std::printf("ratio hotmap / OpenCV: %.2f\n", o / t);
    return 0;
}
