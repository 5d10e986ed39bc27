// The exports and the analysis of a request, with the clipboard of the process.
#include "analysis.h"
#include "masks.h"

#include "hotmap/hotmap.h"
#include "imagelib/tv32base.h"
#include "imagelib/tv32qt.h"

#include <QApplication>
#include <QClipboard>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using testmask::Mask;

namespace {

QClipboard* clipboard() {
    EXPECT_NE(tv32::ensureApplication(), nullptr);
    return QGuiApplication::clipboard();
}

struct Call {
    int result = 0;
    int32_t format = 0;
    std::string text; // what the clipboard holds afterwards
};

// The first export on a mask, without the dialog.
Call generate(const Mask* m, int w, int h, int32_t format, const char* url = "http://example.com/",
              int32_t ox = 0, int32_t oy = 0, int32_t noDialog = 1) {
    clipboard()->setText("unchanged");
    char urlBuf[HM_URL_SIZE] = {};
    std::strncpy(urlBuf, url, HM_URL_SIZE - 1);
    const int32_t offset[2] = {ox, oy};
    Call c;
    c.format = format;
    c.result = hmGenImageTagFromAPSBuf(0, m ? m->px.data() : nullptr, w, h, w, offset, "Image Map Tag",
                                       urlBuf, &c.format, noDialog);
    c.text = clipboard()->text().toStdString();
    return c;
}

TEST(Exports, NullMaskIsTheWholeRectangleWithItsLastPixels) {
    const Call c = generate(nullptr, 200, 100, HM_FORMAT_INLINE, "http://example.com/", 10, 20);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(c.text, "<AREA SHAPE=\"RECT\" COORDS=\"10,20,209,119\" HREF=\"http://example.com/\">");
    EXPECT_EQ(generate(nullptr, 200, 100, HM_FORMAT_NCSA, "u", 10, 20).text, "rect u 10,20 209,119");
    EXPECT_EQ(generate(nullptr, 200, 100, HM_FORMAT_CERN, "u", 10, 20).text, "rectangle (10,20) (209,119) u");
}

TEST(Exports, ByteOf128IsNotSelected129Is) {
    Mask m(50, 40);
    testmask::rect(m, 5, 5, 10, 10, 129);
    testmask::rect(m, 0, 0, 50, 3, 128); // above it, not selected
    EXPECT_EQ(generate(&m, 50, 40, HM_FORMAT_NCSA, "u").text, "rect u 5,5 14,14");
    Mask none(10, 10);
    testmask::rect(none, 0, 0, 10, 10, 128);
    const Call c = generate(&none, 10, 10, HM_FORMAT_NCSA);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.text, "unchanged");
}

TEST(Exports, DiscsAndEllipsesBecomeCircles) {
    Mask d(80, 70);
    testmask::disc(d, 40, 30, 21); // box 40..60 x 30..50: centre (50, 40), radius 10
    EXPECT_EQ(generate(&d, 80, 70, HM_FORMAT_INLINE, "u").text,
              "<AREA SHAPE=\"CIRCLE\" COORDS=\"50,40,10\" HREF=\"u\">");
    EXPECT_EQ(generate(&d, 80, 70, HM_FORMAT_NCSA, "u").text, "circle u 50,40 50,30");
    EXPECT_EQ(generate(&d, 80, 70, HM_FORMAT_CERN, "u", 100, 1000).text, "circ 150,1040,10 u");
    Mask e(60, 40);
    testmask::ellipse(e, 3, 4, 40, 20); // box 3..42 x 4..23
    EXPECT_EQ(generate(&e, 60, 40, HM_FORMAT_CERN, "u").text, "circ 22,13,9 u");
}

TEST(Exports, TriangleIsAPolygonClosingOnItself) {
    Mask t(30, 30);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x <= y; ++x)
            t.at(x + 1, y + 1) = 255;
    EXPECT_EQ(generate(&t, 30, 30, 0, "u").text,
              "<AREA SHAPE=\"POLY\" COORDS=\"1,1,20,20,1,20,1,1\" HREF=\"u\">");
    EXPECT_EQ(generate(&t, 30, 30, 1, "u").text, "poly u 1,1 20,20 1,20 1,1");
    EXPECT_EQ(generate(&t, 30, 30, 2, "u", 5, 6).text, "polygon (6,7) (25,26) (6,26) (6,7) u");
}

TEST(Exports, TwoRegionsGiveTheFirstInRasterOrder) {
    Mask m(100, 100);
    testmask::rect(m, 10, 60, 80, 30); // large, lower
    testmask::rect(m, 70, 5, 10, 10);  // small, first in raster order
    EXPECT_EQ(generate(&m, 100, 100, HM_FORMAT_NCSA, "u").text, "rect u 70,5 79,14");
}

TEST(Exports, FailuresDeliverNothingAndKeepTheFormat) {
    Mask empty(20, 20);
    Call c = generate(&empty, 20, 20, HM_FORMAT_CERN);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.text, "unchanged");
    c = generate(nullptr, 20, 20, 3);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.format, 3);
    EXPECT_EQ(c.text, "unchanged");
    EXPECT_EQ(generate(nullptr, 0, 20, 0).result, 0);
}

TEST(Exports, RowDistanceAndLongTitleAndUrl) {
    // Rows 64 bytes apart, 20 wide; a long title and an unterminated URL buffer stay bounded.
    std::vector<uint8_t> rows(64 * 10, 0);
    for (int y = 2; y < 6; ++y)
        for (int x = 3; x < 9; ++x)
            rows[std::size_t(y) * 64 + x] = 255;
    rows[std::size_t(1) * 64 + 30] = 255; // beyond the width: not part of the mask
    const std::string title(300, 'T');
    char url[HM_URL_SIZE];
    std::memset(url, 'a', sizeof url);
    int32_t format = HM_FORMAT_NCSA;
    const int32_t offset[2] = {0, 0};
    clipboard()->setText("unchanged");
    ASSERT_EQ(hmGenImageTagFromAPSBuf(0, rows.data(), 20, 10, 64, offset, title.c_str(), url, &format, 1), 1);
    EXPECT_EQ(clipboard()->text().toStdString(), "rect " + std::string(259, 'a') + " 3,2 8,5");
}

TEST(Exports, ClipboardFailureIsNotSuccess) {
    std::string seen;
    hotmap::setClipboardSink([&](const std::string& t) {
        seen = t;
        return false;
    });
    EXPECT_EQ(generate(nullptr, 10, 10, HM_FORMAT_NCSA, "u").result, 0);
    EXPECT_EQ(seen, "rect u 0,0 9,9");
    hotmap::setClipboardSink({});
}

TEST(Request, AnalysisFillsShapeParametersAndGrowsTheText) {
    Mask m(420, 380);
    testmask::blob(m, 200, 190, 150, 4);
    TV32HBUF mask = 0;
    ASSERT_TRUE(buf32Alloc(&mask, 8, m.w, m.h, BUF32_FILL_ZERO, nullptr));
    ASSERT_TRUE(buf32MergeMem(mask, 0, 0, m.px.data(), m.w, m.h));
    int32_t offset[2] = {-5, 7};
    char url[HM_URL_SIZE] = "map.html";
    ImageMapRequest req;
    std::memset(&req, 0, sizeof req);
    req.text = static_cast<char*>(std::calloc(60, 1));
    req.textSize = 60;
    req.mask = mask;
    req.offset = offset;
    req.url = url;
    req.format = HM_FORMAT_CERN;
    ASSERT_TRUE(hotmap::analyseRequest(req, 1.0));
    EXPECT_EQ(req.shape, HM_SHAPE_POLY);
    EXPECT_GT(req.textSize, 1024);
    EXPECT_LT(std::strlen(req.text), std::size_t(req.textSize));
    const std::string text = req.text;
    EXPECT_EQ(text.rfind("polygon (", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 3), " %s");
    // The box is the mask's, moved by the offset.
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            if (m.at(x, y)) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    EXPECT_EQ(req.shapeParams[0], minX - 5);
    EXPECT_EQ(req.shapeParams[1], minY + 7);
    EXPECT_EQ(req.shapeParams[2], maxX - 5);
    EXPECT_EQ(req.shapeParams[3], maxY + 7);
    // The mask itself is left as it was, and no buffer is left locked.
    BUF32INFO info{};
    ASSERT_TRUE(buf32GetInfo(mask, &info));
    EXPECT_EQ(info.lockCount, 0);
    std::vector<uint8_t> back(m.px.size());
    ASSERT_TRUE(buf32GetMem(mask, 0, 0, m.w, m.h, back.data()));
    EXPECT_EQ(back, m.px);

    // Rectangle and circle refuse a buffer below 60 bytes.
    Mask r(10, 10);
    testmask::rect(r, 0, 0, 10, 10);
    std::free(req.text);
    req.text = static_cast<char*>(std::calloc(59, 1));
    req.textSize = 59;
    TV32HBUF small = 0;
    ASSERT_TRUE(buf32Alloc(&small, 8, 10, 10, BUF32_FILL_ZERO, nullptr));
    ASSERT_TRUE(buf32MergeMem(small, 0, 0, r.px.data(), 10, 10));
    req.mask = small;
    req.shape = 77;
    EXPECT_FALSE(hotmap::analyseRequest(req, 1.0));
    EXPECT_EQ(req.shape, 77);
    req.mask = 0;
    EXPECT_FALSE(hotmap::analyseRequest(req, 1.0));
    std::free(req.text);
    buf32Free(small);
    buf32Free(mask);
}

} // namespace
