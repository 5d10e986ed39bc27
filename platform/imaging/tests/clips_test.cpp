// Image lists: loading a library file through the data callback, the list commands, the grid.
#include "imagelib/imagelib.h"
#include "imagelib/tv32qt.h"

#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Event {
    void* list;
    int32_t event, item;
    std::vector<uint8_t> data;
};
std::vector<Event> g_events;

int32_t TV32_CALL record(void* list, int32_t event, int32_t item, void* data) {
    Event e{list, event, item, {}};
    if (event == 5) {
        int32_t l = 0;
        std::memcpy(&l, data, 4);
        const auto* d = static_cast<const uint8_t*>(data);
        e.data.assign(d, d + 8 + l);
    }
    g_events.push_back(std::move(e));
    if (event == 4) return data ? 99 : 42;
    return 0;
}

// A library of count textures with 20 x 12 thumbnails.
std::string writeLibrary(const QTemporaryDir& dir, int count) {
    std::vector<void*> t(std::size_t(count), nullptr);
    std::vector<TV32TEXLIBITEM> items;
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(tv32TextureDataAlloc(&t[std::size_t(i)], 0, 0));
        static_cast<TV32TEXTURERECORD*>(t[std::size_t(i)])->angle = i * 10;
        items.push_back({t[std::size_t(i)], "Name"});
    }
    const std::string path = dir.filePath("lib.smp").toStdString();
    EXPECT_TRUE(tv32TextureLibraryWrite(path.c_str(), items.data(), count, 20, 12));
    for (void* x : t)
        tv32TextureDataFree(x);
    return path;
}

TEST(ImageList, LoadingHandsEveryItemToTheCallback) {
    QTemporaryDir dir;
    const std::string path = writeLibrary(dir, 3);
    g_events.clear();
    void* list = tv32LoadIIO(path.c_str(), record);
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(4u, g_events.size());
    EXPECT_EQ(2, g_events[0].event);
    EXPECT_EQ(list, g_events[0].list);
    for (int i = 1; i <= 3; ++i) {
        const Event& e = g_events[std::size_t(i)];
        EXPECT_EQ(5, e.event);
        EXPECT_EQ(i, e.item) << "item numbers start at 1";
        int32_t l = 0, n = 0;
        std::memcpy(&l, e.data.data(), 4);
        std::memcpy(&n, e.data.data() + 8 + 4, 4);
        EXPECT_EQ(28 + n, l);
        EXPECT_EQ(0, std::memcmp(e.data.data() + 8 + 12, "Name", 4));
    }
    EXPECT_EQ(3, tv32IIOAction(list, TV32_IIO_COUNT, 0, nullptr));
    TV32IIOTHUMBSIZE size{};
    EXPECT_EQ(1, tv32IIOAction(list, TV32_IIO_THUMB_SIZE, 0, &size));
    EXPECT_EQ(20, size.width);
    EXPECT_EQ(12, size.height);

    // Item information: the data length written back is read again; no item 0 or 4.
    TV32IIINFO info{};
    EXPECT_EQ(1, tv32IIAction(list, TV32_II_GET_INFO, 2, &info));
    EXPECT_EQ(2, info.number);
    EXPECT_STREQ("Name", info.name);
    info.dataLength = 123;
    EXPECT_EQ(1, tv32IIAction(list, TV32_II_SET_INFO, 2, &info));
    TV32IIINFO again{};
    tv32IIAction(list, TV32_II_GET_INFO, 2, &again);
    EXPECT_EQ(123, again.dataLength);
    EXPECT_EQ(0, tv32IIAction(list, TV32_II_GET_INFO, 0, &info));
    EXPECT_EQ(0, tv32IIAction(list, TV32_II_GET_INFO, 4, &info));

    // Fetching goes through the callback only while it is active.
    g_events.clear();
    EXPECT_EQ(42, tv32IIOItemData(list, 1, nullptr));
    TV32IIOSETTINGS s{};
    tv32IIOAction(list, TV32_IIO_GET_SETTINGS, 0, &s);
    EXPECT_EQ(1, s.callbackActive);
    s.callbackActive = 0;
    tv32IIOAction(list, TV32_IIO_SET_SETTINGS, 0, &s);
    EXPECT_EQ(0, tv32IIOItemData(list, 1, nullptr));
    EXPECT_EQ(1u, g_events.size());
    EXPECT_EQ(1, tv32DestroyIIO(list));
}

TEST(ImageList, SettingsAndSelection) {
    static_assert(offsetof(TV32IIOSETTINGS, columns) == 4 && offsetof(TV32IIOSETTINGS, columnsPage) == 8 &&
                  offsetof(TV32IIOSETTINGS, callbackActive) == 44);
    static_assert(offsetof(TV32IIOSETTINGS, store) == (sizeof(void*) == 4 ? 68 : 72));
    static_assert(offsetof(TV32IIINFO, dataLength) == 268);
    QTemporaryDir dir;
    void* list = tv32LoadIIO(writeLibrary(dir, 5).c_str(), nullptr);
    ASSERT_NE(nullptr, list);
    TV32IIOSETTINGS s{};
    ASSERT_EQ(1, tv32IIOAction(list, TV32_IIO_GET_SETTINGS, 0, &s));
    int marker = 0;
    s.store = &marker;
    s.columns = s.columnsPage = 3;
    tv32IIOAction(list, TV32_IIO_SET_SETTINGS, 0, &s);
    TV32IIOSETTINGS back{};
    tv32IIOAction(list, TV32_IIO_GET_SETTINGS, 0, &back);
    EXPECT_EQ(&marker, back.store);
    EXPECT_EQ(3, back.columns);

    EXPECT_EQ(0, tv32IIOAction(list, TV32_IIO_SELECTED, 0, nullptr));
    int32_t n = 4;
    TV32IIOSELECTION sel{1, &n};
    EXPECT_EQ(1, tv32IIOAction(list, TV32_IIO_SELECT, 0, &sel));
    EXPECT_EQ(1, tv32IIOAction(list, TV32_IIO_SELECTED, 0, nullptr));
    int32_t out = 0;
    TV32IIOSELECTION read{1, &out};
    EXPECT_EQ(1, tv32IIOAction(list, TV32_IIO_SELECTED, 0, &read));
    EXPECT_EQ(4, out);
    n = 9; // not an item: nothing selected
    tv32IIOAction(list, TV32_IIO_SELECT, 0, &sel);
    EXPECT_EQ(0, tv32IIOAction(list, TV32_IIO_SELECTED, 0, nullptr));
    EXPECT_EQ(-1, tv32IIOAction(list, 99, 0, nullptr));
    tv32DestroyIIO(list);
}

TEST(ImageList, DamagedOrMissingFilesGiveNoList) {
    QTemporaryDir dir;
    g_events.clear();
    EXPECT_EQ(nullptr, tv32LoadIIO(dir.filePath("none.smp").toUtf8().constData(), record));
    EXPECT_TRUE(g_events.empty()) << "the callback hears nothing of a file that cannot be read";
}

TEST(ImageList, GridSelectsByKeysAndClicksAndScrollsByRows) {
    tv32::ensureApplication();
    QTemporaryDir dir;
    void* list = tv32LoadIIO(writeLibrary(dir, 10).c_str(), nullptr);
    ASSERT_NE(nullptr, list);
    TV32IIOSETTINGS s{};
    tv32IIOAction(list, TV32_IIO_GET_SETTINGS, 0, &s);
    s.columns = s.columnsPage = 3;
    tv32IIOAction(list, TV32_IIO_SET_SETTINGS, 0, &s);
    QAbstractScrollArea* grid = tv32::createImageListControl(nullptr);
    EXPECT_EQ(QStringLiteral(TV32IIO_CLASS), grid->objectName());
    grid->viewport()->resize(60, 24); // two rows of 20 x 12 visible
    grid->resize(60 + grid->verticalScrollBar()->sizeHint().width() + 2, 26);
    ASSERT_EQ(1, tv32IIOAction(list, TV32_IIO_SHOW, 1,
                               reinterpret_cast<void*>(uintptr_t(tv32::handleOfWidget(grid)))));
    int32_t first = 1;
    TV32IIOSELECTION sel{1, &first};
    tv32IIOAction(list, TV32_IIO_SELECT, 0, &sel);
    auto selected = [&] {
        int32_t n = -1;
        TV32IIOSELECTION r{1, &n};
        tv32IIOAction(list, TV32_IIO_SELECTED, 0, &r);
        return n;
    };
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(2, selected());
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(5, selected());
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(8, selected()) << "no row below the last item";
    EXPECT_EQ(1, grid->verticalScrollBar()->value()) << "the row of the selection scrolled into view";
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(25, 5));
    EXPECT_EQ(5, selected()) << "second column of the first row shown (row 1)";
    tv32IIOAction(list, TV32_IIO_SHOW, 0, nullptr);
    delete grid;
    tv32DestroyIIO(list);
}

} // namespace

namespace {

// A 24-bit picture filled with one colour.
TV32HBUF solid(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    TV32HBUF pic = 0;
    const uint8_t colour[3] = {r, g, b};
    EXPECT_EQ(1, buf32Alloc(&pic, 24, w, h, BUF32_FILL_VALUE, colour));
    return pic;
}

TEST(ImageList, MadeFromPicturesAndShownInAControl) {
    tv32::ensureApplication();
    const int live = buf32CountLive();
    TV32HBUF pics[2] = {solid(30, 20, 200, 10, 10), solid(15, 10, 10, 200, 10)};
    void* list = tv32CreateIIO(pics, 2, nullptr);
    ASSERT_TRUE(list);
    // The pictures stay the caller's: freeing them leaves the list whole.
    buf32Free(pics[0]);
    buf32Free(pics[1]);
    EXPECT_EQ(2, tv32IIOAction(list, TV32_IIO_COUNT, 0, nullptr));
    TV32IIOTHUMBSIZE size{};
    ASSERT_EQ(1, tv32IIOAction(list, TV32_IIO_THUMB_SIZE, 0, &size));
    EXPECT_EQ(30, size.width);
    EXPECT_EQ(20, size.height);
    TV32IIINFO info{};
    ASSERT_EQ(1, tv32IIAction(list, TV32_II_GET_INFO, 2, &info));
    EXPECT_EQ(30, info.width) << "later pictures take the first one's size";
    EXPECT_EQ(0, tv32IIAction(list, TV32_II_GET_INFO, 3, &info));

    QWidget window;
    QAbstractScrollArea* control = tv32::createImageListControl(&window);
    control->setGeometry(0, 0, 120, 60);
    window.resize(120, 60);
    window.show();
    ASSERT_EQ(1, tv32IIOAction(list, TV32_IIO_SHOW, 1,
                               reinterpret_cast<void*>(uintptr_t(tv32::handleOfWidget(control)))));
    const QImage shot = control->viewport()->grab().toImage();
    EXPECT_EQ(QColor(200, 10, 10), shot.pixelColor(5, 5));
    EXPECT_EQ(QColor(10, 200, 10), shot.pixelColor(35, 5)) << "the second item beside the first";
    EXPECT_EQ(1, tv32DestroyIIO(list));
    EXPECT_EQ(live, buf32CountLive());

    TV32HBUF none = 0;
    EXPECT_FALSE(tv32CreateIIO(&none, 1, nullptr));
    EXPECT_FALSE(tv32CreateIIO(nullptr, 1, nullptr));
    EXPECT_FALSE(tv32CreateIIO(pics, 0, nullptr));
}

TEST(TexturePictures, ResizedToFitTheWindowKeepingProportions) {
    tv32::ensureApplication();
    QWidget window;
    window.resize(60, 40);
    const TV32HWND handle = tv32::handleOfWidget(&window);
    const int live = buf32CountLive();
    struct Case {
        int w, h, expectW, expectH;
    } cases[] = {{30, 30, 40, 40}, {120, 40, 60, 20}, {10, 40, 10, 40}, {60, 40, 60, 40}, {6000, 1, 60, 1}};
    for (const Case& c : cases) {
        TV32HBUF pic = solid(c.w, c.h, 90, 120, 150), out = 0;
        ASSERT_EQ(1, tv32TxBufResize(pic, handle, &out)) << c.w << "x" << c.h;
        int32_t w = 0, h = 0;
        buf32GetWHU(out, &w, &h, 0);
        EXPECT_EQ(c.expectW, w) << c.w << "x" << c.h;
        EXPECT_EQ(c.expectH, h) << c.w << "x" << c.h;
        uint8_t px[3] = {};
        ASSERT_EQ(1, buf32GetMem(out, w / 2, h / 2, 1, 1, px));
        EXPECT_EQ(90, px[0]);
        EXPECT_EQ(150, px[2]);
        buf32Free(pic);
        buf32Free(out);
    }
    TV32HBUF pic = solid(4, 4, 0, 0, 0), out = 0;
    EXPECT_EQ(0, tv32TxBufResize(pic, TV32HWND(0), &out));
    EXPECT_EQ(0, tv32TxBufResize(0, handle, &out));
    EXPECT_EQ(TV32HBUF(0), out);
    buf32Free(pic);
    EXPECT_EQ(live, buf32CountLive());
}

} // namespace
