// What a careless or hostile caller hands the image libraries: sizes beyond what can be
// addressed, rectangles at the ends of the 32-bit range, stale and doubled handles, files whose
// numbers would drive memory, exceptions inside exports, and environments without a display.
#include "imagelib/imagelib.h"
#include "imagelib/tv32guard.h"

#include "../src/displayprobe.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int32_t kEdges[] = {INT_MIN, INT_MIN + 1, -65536, -1, 0, 1, 7, 65536, INT_MAX - 1, INT_MAX};

std::vector<uint8_t> pixelsOf(TV32HBUF b) {
    BUF32INFO info{};
    EXPECT_TRUE(buf32GetInfo(b, &info));
    std::vector<uint8_t> v(std::size_t(info.dataSize));
    EXPECT_TRUE(buf32GetMem(b, 0, 0, info.width, info.height, v.data()));
    return v;
}

TEST(HostileBuffers, SizesBeyondThirtyTwoBitsAreRefused) {
    const int32_t live = buf32CountLive();
    TV32HBUF h = 0;
    // Products that overflow 32 bits (and, for INT_MAX x INT_MAX x 3, 64 bits).
    EXPECT_EQ(buf32Alloc(&h, 24, INT_MAX, INT_MAX, BUF32_FILL_ZERO, nullptr), 0);
    EXPECT_EQ(buf32Alloc(&h, 8, INT_MAX, INT_MAX, BUF32_FILL_NONE, nullptr), 0);
    EXPECT_EQ(buf32Alloc(&h, 24, 46341, 46341, BUF32_FILL_ZERO, nullptr), 0);
    EXPECT_EQ(buf32Alloc(&h, 8, 65536, 65536, BUF32_FILL_ZERO, nullptr), 0);
    EXPECT_EQ(buf32Alloc(&h, 24, 715827883, 1, BUF32_FILL_ZERO, nullptr), 0); // a row of 2^31 bytes
    for (int32_t bad : {INT_MIN, -5, 0})
        EXPECT_EQ(buf32Alloc(&h, 8, bad, 4, BUF32_FILL_ZERO, nullptr), 0);
    for (int32_t bits : {0, 1, 7, 16, 32, -24})
        EXPECT_EQ(buf32Alloc(&h, bits, 4, 4, BUF32_FILL_ZERO, nullptr), 0);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(buf32CountLive(), live);
}

// Which pixels of a 9 x 7 target a block copy from a zeroed 10 x 8 source at (fx, fy), w x h, to
// (tx, ty) turns to 0 (computed in 64 bits, the way no coordinate can wrap).
std::vector<uint8_t> expectedMerge(int64_t fx, int64_t fy, int64_t w, int64_t h, int64_t tx, int64_t ty,
                                   bool fromMemory) {
    std::vector<uint8_t> px(9 * 7 * 3, 77);
    for (int64_t y = 0; y < 7; ++y)
        for (int64_t x = 0; x < 9; ++x) {
            const int64_t bx = x - tx, by = y - ty, sx = fx + bx, sy = fy + by;
            const bool inBlock = bx >= 0 && by >= 0 && bx < w && by < h;
            const bool inSource = fromMemory || (sx >= 0 && sy >= 0 && sx < 10 && sy < 8);
            if (inBlock && inSource) std::memset(&px[std::size_t(y * 9 + x) * 3], 0, 3);
        }
    return px;
}

TEST(HostileBuffers, RectanglesAtTheEndsOfTheRangeTouchOnlyWhatTheyCover) {
    TV32HBUF a = 0, b = 0;
    ASSERT_TRUE(buf32Alloc(&a, 24, 10, 8, BUF32_FILL_ZERO, nullptr));
    const uint8_t grey[3] = {77, 77, 77};
    ASSERT_TRUE(buf32Alloc(&b, 24, 9, 7, BUF32_FILL_VALUE, grey));
    std::vector<uint8_t> mem(64 * 64 * 3, 0);
    for (int32_t x : kEdges)
        for (int32_t y : kEdges)
            for (int32_t w : {INT_MIN, -1, 0, 1, 5, 64, 65536, INT_MAX}) {
                SCOPED_TRACE(testing::Message() << x << "," << y << " " << w);
                EXPECT_EQ(buf32MergeBuf(a, 0, 0, w, w, b, x, y), w > 0 ? 1 : 0);
                EXPECT_EQ(pixelsOf(b), expectedMerge(0, 0, w, w, x, y, false));
                ASSERT_TRUE(buf32FillOneColor(b, grey));
                EXPECT_EQ(buf32MergeBuf(a, x, y, w, w, b, 1, 2), w > 0 ? 1 : 0);
                EXPECT_EQ(pixelsOf(b), expectedMerge(x, y, w, w, 1, 2, false));
                ASSERT_TRUE(buf32FillOneColor(b, grey));
                if (w > 0 && w <= 64) {
                    EXPECT_EQ(buf32MergeMem(b, x, y, mem.data(), w, w), 1);
                    EXPECT_EQ(pixelsOf(b), expectedMerge(0, 0, w, w, x, y, true));
                    ASSERT_TRUE(buf32FillOneColor(b, grey));
                    // Reading: only a block inside the buffer is given out; with a background,
                    // any block.
                    const bool in = x >= 0 && y >= 0 && int64_t(x) + w <= 10 && int64_t(y) + w <= 8;
                    EXPECT_EQ(buf32GetMem(a, x, y, w, w, mem.data()), in ? 1 : 0);
                    EXPECT_EQ(buf32GetMemWithBC(a, x, y, w, w, mem.data(), nullptr), 1);
                }
            }
    // A copy out of a far-away block: zeroed, of the size asked for.
    TV32HBUF c = 0;
    ASSERT_TRUE(buf32GetBuf(a, INT_MIN, INT_MAX - 3, 6, 5, &c));
    EXPECT_EQ(pixelsOf(c), std::vector<uint8_t>(6 * 5 * 3, 0));
    // Into an existing buffer: clipped to it.
    ASSERT_TRUE(buf32GetBuf(a, INT_MAX, INT_MAX, INT_MAX, INT_MAX, &c));
    EXPECT_EQ(buf32GetBuf(a, 0, 0, 100000, 100000, nullptr), 0);
    TV32HBUF huge = 0;
    EXPECT_EQ(buf32GetBuf(a, 0, 0, INT_MAX, INT_MAX, &huge), 0);
    EXPECT_EQ(huge, 0u);
    for (TV32HBUF h : {a, b, c})
        EXPECT_TRUE(buf32Free(h));
}

TEST(HostileBuffers, StaleAndDoubledHandlesFailClosed) {
    TV32HBUF a = 0;
    ASSERT_TRUE(buf32Alloc(&a, 8, 4, 4, BUF32_FILL_ZERO, nullptr));
    ASSERT_TRUE(buf32Free(a));
    EXPECT_EQ(buf32Free(a), 0);
    EXPECT_EQ(buf32Free(0), 0);
    EXPECT_EQ(buf32Free(0xFFFFFFFFu), 0);
    uint8_t mem[64];
    BUF32CELL cell{};
    TV32HBUF out = 0;
    EXPECT_EQ(buf32GetInfo(a, nullptr), 0);
    EXPECT_EQ(buf32Lock(a, BUF32_LOCK_READ, nullptr), 0);
    EXPECT_EQ(buf32Unlock(a), 0);
    EXPECT_EQ(buf32CellLock(a, 0, nullptr, &cell), 0);
    EXPECT_EQ(buf32PointAddr(a, 0, 0), nullptr);
    EXPECT_EQ(buf32GetMem(a, 0, 0, 2, 2, mem), 0);
    EXPECT_EQ(buf32GetBuf(a, 0, 0, 2, 2, &out), 0);
    EXPECT_EQ(buf32DupBuf(a, &out), 0);
    EXPECT_EQ(out, 0u);
    // A live buffer: cells and points outside it are refused, an unlock needs a lock.
    TV32HBUF b = 0;
    ASSERT_TRUE(buf32Alloc(&b, 24, 5, 5, BUF32_FILL_ZERO, nullptr));
    EXPECT_EQ(buf32Unlock(b), 0);
    EXPECT_EQ(buf32CellLock(b, 0, nullptr, &cell), 0) << "not locked";
    ASSERT_TRUE(buf32Lock(b, BUF32_LOCK_READ, nullptr));
    for (int32_t i : {INT_MIN, -1, 1 << 20, INT_MAX})
        EXPECT_EQ(buf32CellLock(b, i, nullptr, &cell), 0);
    for (int32_t v : {INT_MIN, -1, 5, INT_MAX})
        EXPECT_EQ(buf32PointAddr(b, v, 0), nullptr);
    EXPECT_TRUE(buf32Unlock(b));
    EXPECT_TRUE(buf32Free(b));
}

TEST(HostileImageLists, DestroyedAndUnknownListsFailClosed) {
    TV32HBUF picture = 0;
    ASSERT_TRUE(buf32Alloc(&picture, 24, 6, 4, BUF32_FILL_ZERO, nullptr));
    void* list = tv32CreateIIO(&picture, 1, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(tv32IIOAction(list, TV32_IIO_COUNT, 0, nullptr), 1);
    EXPECT_EQ(tv32DestroyIIO(list), 1);
    EXPECT_EQ(tv32DestroyIIO(list), 0) << "a second destroy finds nothing";
    EXPECT_EQ(tv32IIOAction(list, TV32_IIO_COUNT, 0, nullptr), -1);
    TV32IIINFO info{};
    EXPECT_EQ(tv32IIAction(list, TV32_II_GET_INFO, 1, &info), 0);
    EXPECT_EQ(tv32IIOItemData(list, 1, nullptr), 0);
    int notAList = 0;
    EXPECT_EQ(tv32DestroyIIO(&notAList), 0);
    EXPECT_EQ(tv32IIOAction(&notAList, TV32_IIO_COUNT, 0, nullptr), -1);
    EXPECT_EQ(tv32DestroyIIO(nullptr), 0);
    buf32Free(picture);
}

// A library file with one item whose number says 0x1FFFFFF0: whoever stores items by number
// would size a table of 2 GiB for a file of 140 bytes.
TEST(HostileLibraryFiles, ItemNumbersBeyondTheItemCountAreRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    void* t = nullptr;
    ASSERT_TRUE(tv32TextureDataAlloc(&t, 0, 0));
    ASSERT_TRUE(tv32TextureSetColorEntry(t, 0, nullptr));
    const std::string path = dir.filePath(QStringLiteral("lib.smp")).toStdString();
    const TV32TEXLIBITEM item{t, "x"};
    ASSERT_TRUE(tv32TextureLibraryWrite(path.c_str(), &item, 1, 1, 1));
    tv32TextureDataFree(t);
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    ASSERT_EQ(bytes.size(), 32 + 16 + 28 + 64 + 3); // header, item head, data, one thumbnail pixel
    EXPECT_EQ(tv32TextureLibraryRead(path.c_str(), nullptr, nullptr), 1);
    for (uint32_t number : {0x1FFFFFF0u, 0u, 2u, 0x80000000u}) {
        std::memcpy(bytes.data() + 32, &number, 4);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        EXPECT_EQ(tv32TextureLibraryRead(path.c_str(), nullptr, nullptr), -1) << number;
        EXPECT_EQ(tv32LoadIIO(path.c_str(), nullptr), nullptr) << number;
    }
}

TEST(ExportGuard, AnExceptionBecomesTheFailureResultWithErrorInformation) {
    c32ResetDLLErrInfo();
    int32_t info[6];
    EXPECT_EQ(tv32::guardLibrary(-1, []() -> int { throw std::bad_alloc(); }), -1);
    ASSERT_EQ(c32GetDLLErrInfo(info), 1);
    EXPECT_EQ(info[2], C32_ERR_NO_MEMORY);
    EXPECT_EQ(
        tv32::guardLibrary(static_cast<void*>(nullptr), []() -> void* { throw std::length_error("x"); }),
        nullptr);
    ASSERT_EQ(c32GetDLLErrInfo(info), 1);
    EXPECT_EQ(info[2], C32_ERR_FAILED);
    EXPECT_EQ(tv32::guardExport(0, 7, 8, [] { return 5; }), 5);
    char text[64];
    EXPECT_GT(c32GetString(C32_ERR_FAILED, text, sizeof text), 0);
}

// The display probe with the system replaced: which platform Qt would be started with.
struct FakeSystem {
    static inline std::vector<std::string> plugins;
    static inline bool x11 = false, wayland = false;
    static bool loads(const std::string& name) {
        for (const std::string& p : plugins)
            if (p == name) return true;
        return false;
    }
    static bool reachX(const std::string&) { return x11; }
    static bool reachWayland(const std::string&) { return wayland; }
    static tv32::DisplayServices services() { return {&loads, &reachX, &reachWayland}; }
};

TEST(DisplayProbe, QtStartsOnlyOnAPlatformThatAnswers) {
    using tv32::ChoosePlatform;
    FakeSystem::plugins = {"xcb", "offscreen", "minimal"};
    FakeSystem::x11 = false;
    FakeSystem::wayland = false;
    const auto s = FakeSystem::services();
    // No QT_QPA_PLATFORM: an X server that answers, else a compositor that answers, else nothing.
    EXPECT_EQ(ChoosePlatform({"", ":99", ""}, s), "");
    EXPECT_EQ(ChoosePlatform({"", "", ""}, s), "");
    FakeSystem::x11 = true;
    EXPECT_EQ(ChoosePlatform({"", ":0", "wayland-0"}, s), "xcb");
    EXPECT_EQ(ChoosePlatform({"", "", "wayland-0"}, s), "") << "no DISPLAY, no wayland plug-in";
    FakeSystem::plugins.push_back("wayland");
    FakeSystem::wayland = true;
    EXPECT_EQ(ChoosePlatform({"", "", "wayland-0"}, s), "wayland");
    // The host's list: the first entry that will start, with its options.
    FakeSystem::x11 = false;
    EXPECT_EQ(ChoosePlatform({"xcb", ":99", ""}, s), "");
    EXPECT_EQ(ChoosePlatform({"xcb;offscreen", ":99", ""}, s), "offscreen");
    EXPECT_EQ(ChoosePlatform({" eglfs ; minimal:enable_fonts ", "", ""}, s), "minimal:enable_fonts");
    EXPECT_EQ(ChoosePlatform({"bogus", ":0", ""}, s), "") << "a platform that cannot be checked";
    EXPECT_EQ(ChoosePlatform({";;", ":0", ""}, s), "") << "an empty list names no platform";
    FakeSystem::plugins = {"xcb"};
    EXPECT_EQ(ChoosePlatform({"offscreen", "", ""}, s), "") << "its plug-in does not load";
    const auto parts = tv32::ParsePlatformList("xcb:display=:1; ;wayland");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].name, "xcb");
    EXPECT_EQ(parts[0].options, "display=:1");
    EXPECT_EQ(parts[1].name, "wayland");
}

TEST(DisplayProbe, TheRealSystemAnswersWithoutQt) {
    const auto s = tv32::DisplayServices::ofSystem();
    EXPECT_TRUE(s.pluginLoads("offscreen"));
    EXPECT_FALSE(s.pluginLoads("no-such-platform"));
    EXPECT_FALSE(s.pluginLoads("../offscreen"));
    // A display number nobody serves.
    EXPECT_FALSE(s.x11Reachable(":65000"));
    EXPECT_FALSE(s.waylandReachable("no-such-wayland-display-65000"));
    EXPECT_FALSE(tv32::X11WindowGeometry(nullptr, 1, nullptr));
}

} // namespace
