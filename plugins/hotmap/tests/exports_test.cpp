// The exports and the analysis of a request, with the clipboard of the process.
#include "analysis.h"
#include "masks.h"

#include "hotmap/hotmap.h"
#include "imagelib/tv32base.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"

#include <QApplication>
#include <QClipboard>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
    int32_t info[6] = {};
    EXPECT_EQ(c32GetDLLErrInfo(info), 1);
    EXPECT_EQ(info[2], HM_ERR_CLIPBOARD);
    hotmap::setClipboardSink({});
}

int32_t errorCode() {
    int32_t info[6] = {};
    return c32GetDLLErrInfo(info) ? info[2] : 0;
}

// Arguments a careless host passes: every call fails with its reason, leaves the clipboard and
// the format alone and no buffer behind.
TEST(Exports, HostileArgumentsFailWithTheirReason) {
    clipboard()->setText("unchanged");
    const int32_t live = buf32CountLive();
    char url[HM_URL_SIZE] = "u";
    const int32_t offset[2] = {INT_MAX, INT_MIN};
    std::vector<uint8_t> mask(64, 255);
    struct Case {
        const uint8_t* mask;
        int32_t w, h, rowBytes, format;
        int32_t code;
    };
    const Case cases[] = {
        {nullptr, 0, 5, 0, 0, HM_ERR_BAD_ARGUMENT},
        {nullptr, -5, 5, 0, 0, HM_ERR_BAD_ARGUMENT},
        {nullptr, 5, INT_MIN, 0, 0, HM_ERR_BAD_ARGUMENT},
        {mask.data(), 8, 8, 7, 0, HM_ERR_BAD_ARGUMENT}, // rows overlap
        {mask.data(), 8, 8, 0, 0, HM_ERR_BAD_ARGUMENT},
        {mask.data(), 8, 8, -7, 0, HM_ERR_BAD_ARGUMENT},
        {mask.data(), 8, 8, 8, 3, HM_ERR_BAD_ARGUMENT},
        {mask.data(), 8, 8, 8, -1, HM_ERR_BAD_ARGUMENT},
        {nullptr, INT_MAX, INT_MAX, 0, 0, HM_ERR_NO_MEMORY}, // beyond what can be addressed
        {nullptr, 65536, 65536, 0, 0, HM_ERR_NO_MEMORY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.w << " x " << c.h << " rows " << c.rowBytes << " format " << c.format);
        int32_t format = c.format;
        c32ResetDLLErrInfo();
        EXPECT_EQ(hmGenImageTagFromAPSBuf(0, c.mask, c.w, c.h, c.rowBytes, offset, nullptr, url, &format, 1),
                  0);
        EXPECT_EQ(errorCode(), c.code);
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(buf32CountLive(), live);
    }
    // Rows stored bottom to top: the mask pointer at the top row, a negative distance.
    std::vector<uint8_t> flipped(8 * 4, 0);
    flipped[std::size_t(3) * 8 + 2] = 255; // the bottom row in memory is the top row of the mask
    int32_t format = HM_FORMAT_NCSA;
    EXPECT_EQ(
        hmGenImageTagFromAPSBuf(0, flipped.data() + 3 * 8, 8, 4, -8, nullptr, nullptr, nullptr, &format, 1),
        1);
    EXPECT_EQ(clipboard()->text().toStdString(), "rect  2,0 2,0");
    // No format, offset, title or URL: inline, at (0, 0), an empty URL.
    EXPECT_EQ(hmGenImageTagFromAPSBuf(0, nullptr, 3, 2, 0, nullptr, nullptr, nullptr, nullptr, 1), 1);
    EXPECT_EQ(clipboard()->text().toStdString(), "<AREA SHAPE=\"RECT\" COORDS=\"0,0,2,1\" HREF=\"\">");
    Mask empty(6, 6);
    EXPECT_EQ(generate(&empty, 6, 6, HM_FORMAT_CERN).result, 0);
    EXPECT_EQ(errorCode(), HM_ERR_NOTHING_SELECTED);
    EXPECT_EQ(buf32CountLive(), live);
}

TEST(Exports, HostileRequestsFailWithTheirReason) {
    const int32_t live = buf32CountLive();
    TV32HBUF mask8 = 0, mask24 = 0, stale = 0;
    const uint8_t on = 255;
    ASSERT_TRUE(buf32Alloc(&mask8, 8, 4, 4, BUF32_FILL_VALUE, &on));
    ASSERT_TRUE(buf32Alloc(&mask24, 24, 4, 4, BUF32_FILL_ZERO, nullptr));
    ASSERT_TRUE(buf32Alloc(&stale, 8, 4, 4, BUF32_FILL_ZERO, nullptr));
    buf32Free(stale);
    auto request = [&](TV32HBUF mask, int32_t format, int32_t textSize) {
        ImageMapRequest r;
        std::memset(&r, 0, sizeof r);
        r.text = static_cast<char*>(std::calloc(std::size_t(std::max(textSize, 1)), 1));
        r.textSize = textSize;
        r.mask = mask;
        r.format = format;
        std::memset(r.title, 'T', sizeof r.title); // no terminating zero
        return r;
    };
    const struct {
        TV32HBUF mask;
        int32_t format, textSize;
        int32_t code;
    } cases[] = {{stale, 0, 1024, HM_ERR_BAD_ARGUMENT}, {mask24, 0, 1024, HM_ERR_BAD_ARGUMENT},
                 {0, 0, 1024, HM_ERR_BAD_ARGUMENT},     {mask8, 7, 1024, HM_ERR_BAD_ARGUMENT},
                 {mask8, 0, -1, HM_ERR_BAD_ARGUMENT},   {mask8, 0, 59, HM_ERR_BAD_ARGUMENT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mask << " " << c.format << " " << c.textSize);
        ImageMapRequest r = request(c.mask, c.format, c.textSize);
        EXPECT_EQ(hmGetImageTagFromAikBuf(0, &r, 1), 0);
        EXPECT_EQ(errorCode(), c.code);
        std::free(r.text);
    }
    ImageMapRequest r = request(mask8, 0, 1024);
    std::free(r.text);
    r.text = nullptr;
    EXPECT_EQ(hmGetImageTagFromAikBuf(0, &r, 1), 0);
    EXPECT_EQ(errorCode(), HM_ERR_BAD_ARGUMENT);
    EXPECT_EQ(hmGetImageTagFromAikBuf(0, nullptr, 1), 0);
    EXPECT_EQ(errorCode(), HM_ERR_BAD_ARGUMENT);
    buf32Free(mask8);
    buf32Free(mask24);
    EXPECT_EQ(buf32CountLive(), live);
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
