// The templates of the three formats, buffer growth and the final text.
#include "analysis.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

using hotmap::BBox;
using hotmap::Point;

namespace {

// A template buffer from the C heap, as the library's callers make it.
struct Text {
    char* text;
    int32_t size;
    explicit Text(int32_t n) : text(static_cast<char*>(std::calloc(std::size_t(n), 1))), size(n) {}
    ~Text() { std::free(text); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    hotmap::TextBuffer buf() { return {text, size}; }
    std::string str() const { return text; }
};

TEST(Templates, RectangleAndCircleInAllFormats) {
    Text t(1024);
    const BBox b{10, 20, 209, 119};
    ASSERT_TRUE(hotmap::writeRectTemplate(t.buf(), 0, b));
    EXPECT_EQ(t.str(), "<AREA SHAPE=\"RECT\" COORDS=\"10,20,209,119\" HREF=\"%s\">");
    ASSERT_TRUE(hotmap::writeRectTemplate(t.buf(), 1, b));
    EXPECT_EQ(t.str(), "rect %s 10,20 209,119");
    ASSERT_TRUE(hotmap::writeRectTemplate(t.buf(), 2, b));
    EXPECT_EQ(t.str(), "rectangle (10,20) (209,119) %s");
    ASSERT_TRUE(hotmap::writeCircleTemplate(t.buf(), 0, 50, 40, 10));
    EXPECT_EQ(t.str(), "<AREA SHAPE=\"CIRCLE\" COORDS=\"50,40,10\" HREF=\"%s\">");
    ASSERT_TRUE(hotmap::writeCircleTemplate(t.buf(), 1, 50, 40, 10));
    EXPECT_EQ(t.str(), "circle %s 50,40 50,30");
    ASSERT_TRUE(hotmap::writeCircleTemplate(t.buf(), 2, 50, 40, 10));
    EXPECT_EQ(t.str(), "circ 50,40,10 %s");
    EXPECT_FALSE(hotmap::writeRectTemplate(t.buf(), 3, b));
    EXPECT_FALSE(hotmap::writeCircleTemplate(t.buf(), -1, 1, 1, 1));
    EXPECT_FALSE(hotmap::writePolygonTemplate(t.buf(), 3, {{0, 0}, {0, 0}}, {0, 0}));
    EXPECT_EQ(t.size, 1024);
}

TEST(Templates, SmallBuffersFailForRectanglesAndCirclesAndGrowForLongNumbers) {
    Text small(59);
    EXPECT_FALSE(hotmap::writeRectTemplate(small.buf(), 0, {0, 0, 1, 1}));
    EXPECT_FALSE(hotmap::writeCircleTemplate(small.buf(), 2, 5, 5, 1));
    Text sixty(60);
    ASSERT_TRUE(hotmap::writeRectTemplate(sixty.buf(), 0, {0, 0, 1, 1}));
    EXPECT_EQ(sixty.size, 60);
    // Numbers that do not fit into 60 bytes enlarge the buffer instead of running past it.
    ASSERT_TRUE(
        hotmap::writeRectTemplate(sixty.buf(), 0, {-2000000000, -2000000000, 2000000000, 2000000000}));
    EXPECT_EQ(sixty.size, 1084);
    EXPECT_EQ(sixty.str(),
              "<AREA SHAPE=\"RECT\" COORDS=\"-2000000000,-2000000000,2000000000,2000000000\" HREF=\"%s\">");
}

TEST(Templates, PolygonHeadPointsAndTail) {
    const std::vector<Point> tri{{1, 1}, {20, 20}, {1, 20}, {1, 1}};
    Text t(1024);
    ASSERT_TRUE(hotmap::writePolygonTemplate(t.buf(), 0, tri, {100, 200}));
    EXPECT_EQ(t.str(), "<AREA SHAPE=\"POLY\" COORDS=\"101,201,120,220,101,220,101,201\" HREF=\"%s\">");
    ASSERT_TRUE(hotmap::writePolygonTemplate(t.buf(), 1, tri, {0, 0}));
    EXPECT_EQ(t.str(), "poly %s 1,1 20,20 1,20 1,1");
    ASSERT_TRUE(hotmap::writePolygonTemplate(t.buf(), 2, tri, {0, 0}));
    EXPECT_EQ(t.str(), "polygon (1,1) (20,20) (1,20) (1,1) %s");
}

// Reference: the text written piece by piece into a string, and the buffer size the growth rule
// gives (1,024 more whenever fewer than max(20, point + tail + 1) bytes remain).
std::pair<std::string, int32_t> refPolygon(int format, const std::vector<Point>& pts, int32_t size) {
    const char* heads[] = {"<AREA SHAPE=\"POLY\" COORDS=\"", "poly %s ", "polygon "};
    const char* tails[] = {"\" HREF=\"%s\">", "", " %s"};
    std::string s = heads[format];
    for (const Point& p : pts) {
        const std::string piece = format == 0 ? std::to_string(p.x) + "," + std::to_string(p.y) + ","
                                  : format == 1
                                      ? std::to_string(p.x) + "," + std::to_string(p.y) + " "
                                      : "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ") ";
        const std::size_t need = std::max<std::size_t>(20, piece.size() + std::strlen(tails[format]) + 1);
        while (std::size_t(size) - s.size() < need)
            size += 1024;
        s += piece;
    }
    s.pop_back();
    return {s + tails[format], size};
}

TEST(Templates, LongPolygonsGrowTheBufferLikeTheReference) {
    std::vector<Point> pts;
    for (int i = 0; i < 700; ++i)
        pts.push_back({i * 13 % 4001 - 7, (i * i) % 9973});
    pts.push_back(pts.front());
    for (int format = 0; format < 3; ++format) {
        for (int32_t start : {60, 1024, 5000}) {
            Text t(start);
            ASSERT_TRUE(hotmap::writePolygonTemplate(t.buf(), format, pts, {0, 0}));
            const auto [want, size] = refPolygon(format, pts, start);
            EXPECT_EQ(t.str(), want);
            EXPECT_EQ(t.size, size) << format << " " << start;
            EXPECT_LT(want.size(), std::size_t(t.size));
        }
    }
    // Extreme coordinates still fit (each point up to 26 characters).
    const std::vector<Point> far{{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MIN}};
    for (int format = 0; format < 3; ++format) {
        Text t(60);
        ASSERT_TRUE(hotmap::writePolygonTemplate(t.buf(), format, far, {0, 0}));
        EXPECT_EQ(t.str(), refPolygon(format, far, 60).first);
    }
}

TEST(FinalText, UrlTakesThePlaceOfPercentSAndIsBounded) {
    EXPECT_EQ(hotmap::formatTag("rect %s 1,2 3,4", "http://x/%d%s"), "rect http://x/%d%s 1,2 3,4");
    EXPECT_EQ(hotmap::formatTag("circ 1,2,3 %s", ""), "circ 1,2,3 ");
    EXPECT_EQ(hotmap::formatTag("circ 1,2,3 %s", nullptr), "circ 1,2,3 ");
    // A URL buffer of 260 bytes without a zero: 259 characters are used.
    std::string url(260, 'u');
    EXPECT_EQ(hotmap::formatTag("%s", url.data()), std::string(259, 'u'));
}

} // namespace
