// The 3 x 3 variation grid: cell sizes, cell rectangles, clicks, new pictures, destruction.
#include "imagelib/imagelib.h"
#include "imagelib/tv32qt.h"

#include <QPointer>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct CellEvent {
    int32_t event, cell;
    TV32VARCELLINFO info;
};
std::vector<CellEvent> g_cells;

int32_t TV32_CALL onCell(void*, int32_t event, int32_t cell, void* data) {
    CellEvent e{event, cell, {}};
    if (data) e.info = *static_cast<TV32VARCELLINFO*>(data);
    g_cells.push_back(e);
    return event == TV32_VAR_CELL_CLICK ? 1 : 0;
}

struct Pictures {
    TV32HBUF p[9] = {};
    Pictures(int w, int h) {
        for (int i = 0; i < 9; ++i) {
            const uint8_t rgb[3] = {uint8_t(i * 20), 0, 0};
            EXPECT_TRUE(buf32Alloc(&p[i], 24, w, h, BUF32_FILL_VALUE, rgb));
        }
    }
    ~Pictures() {
        for (TV32HBUF b : p)
            buf32Free(b);
    }
};

TEST(VarGrid, CellsReportTheirPlaceAndClicks) {
    tv32::ensureApplication();
    QWidget window;
    window.resize(200, 200);
    const TV32HWND h = tv32::handleOfWidget(&window);
    int32_t cw = 0, ch = 0;
    ASSERT_EQ(1, tv32IIOGetWH(h, 1, 3, 3, &cw, &ch, 320));
    EXPECT_EQ(66, cw);
    EXPECT_EQ(66, ch);
    int32_t small = 0;
    ASSERT_EQ(1, tv32IIOGetWH(h, 1, 3, 3, &small, &ch, 50));
    EXPECT_EQ(50, small) << "limited to the largest side";
    ch = 66;

    Pictures pics(cw, ch);
    g_cells.clear();
    void* grid = tv32VarCreateIIO(h, pics.p, nullptr, cw, ch, onCell);
    ASSERT_NE(nullptr, grid);
    ASSERT_EQ(9u, g_cells.size());
    for (int i = 0; i < 9; ++i) {
        const auto& e = g_cells[std::size_t(i)];
        EXPECT_EQ(TV32_VAR_CELL_RECT, e.event);
        EXPECT_EQ(i, e.cell);
        EXPECT_EQ(4, e.info.what);
        EXPECT_EQ(1 + (i % 3) * 66, e.info.left) << "centred in the window";
        EXPECT_EQ(1 + (i / 3) * 66, e.info.top);
        EXPECT_EQ(e.info.left + 66, e.info.right);
        EXPECT_EQ(e.info.top + 66, e.info.bottom);
    }
    EXPECT_EQ(9, tv32IIOAction(grid, TV32_IIO_COUNT, 0, nullptr));
    int32_t middle = 4;
    TV32IIOSELECTION sel{1, &middle};
    EXPECT_EQ(1, tv32IIOAction(grid, TV32_IIO_SELECT, 0, &sel));

    QPointer<QWidget> w = tv32::varGridWidget(grid);
    ASSERT_TRUE(w);
    g_cells.clear();
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(1 + 2 * 66 + 5, 1 + 2 * 66 + 5));
    ASSERT_EQ(1u, g_cells.size());
    EXPECT_EQ(TV32_VAR_CELL_CLICK, g_cells[0].event);
    EXPECT_EQ(8, g_cells[0].cell);
    g_cells.clear();
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(199, 199));
    EXPECT_TRUE(g_cells.empty()) << "the border is no cell";

    // New pictures are shown; a missing one is refused and changes nothing.
    Pictures other(cw, ch);
    EXPECT_EQ(1, tv32VarSetII(grid, other.p, nullptr));
    TV32HBUF keep = other.p[3];
    other.p[3] = 0;
    EXPECT_EQ(0, tv32VarSetII(grid, other.p, nullptr));
    other.p[3] = keep;
    const QImage shot = w->grab().toImage();
    EXPECT_EQ(qRgb(160, 0, 0), shot.pixel(1 + 2 * 66 + 3, 1 + 2 * 66 + 3));

    EXPECT_EQ(1, tv32IIOAction(grid, TV32_IIO_SHOW, 0, nullptr));
    EXPECT_FALSE(w) << "taken out of the window";
    EXPECT_EQ(1, tv32DestroyIIO(grid));
    EXPECT_EQ(-1, tv32IIOAction(nullptr, TV32_IIO_COUNT, 0, nullptr));
    EXPECT_EQ(nullptr, tv32VarCreateIIO(0, pics.p, nullptr, cw, ch, onCell)) << "no window";
}

} // namespace
