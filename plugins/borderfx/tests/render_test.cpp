// Frame and shadow rendering: layout, the three painting ways, the mask, and whole renderings
// against a plain per-pixel model of the painting order.
#include "render.h"

#include "testbuffers.h"

#include "imagelib/tv32cvt.h"
#include "imagelib/tv32txtur.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace borderfx;
using namespace bfxtest;

namespace {

FrameShadowParams params(int frame, int dir, int x, int y, int blend, int transparency) {
    FrameShadowParams p;
    std::memset(&p, 0, sizeof p);
    p.frameWidth = frame;
    p.shadowDirection = dir;
    p.shadowOffsetX = x;
    p.shadowOffsetY = y;
    p.blendWidth = blend;
    p.transparency = transparency;
    p.frameColor = 0x00FF0000;
    p.shadowColor = 0x00204060;
    return p;
}

void expectRect(const TV32RECT& r, int l, int t, int rr, int b) {
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rr);
    EXPECT_EQ(r.bottom, b);
}

bool inRect(const TV32RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// The rendering as a plain loop over every pixel, in the painting order: shadow (outside the
// frame), frame, image.
Image model(const Image& src, const Image& bg, const FrameShadowParams& p, const Image* mask) {
    const FrameLayout l = LayoutForSize(src.w, src.h, p);
    Image out = bg;
    const bool grey = src.ch == 1;
    const PixelColor sc = MakePixelColor(p.shadowColor, grey), fc = MakePixelColor(p.frameColor, grey);
    const int T = p.transparency;
    if (p.shadowOffsetX > 0 || p.shadowOffsetY > 0 || p.blendWidth != 0) {
        for (int y = 0; y < out.h; ++y)
            for (int x = 0; x < out.w; ++x) {
                if (!inRect(l.shadow, x, y)) continue;
                if (p.blendWidth == 0 && T == 0) {
                    std::memcpy(out.at(x, y), sc.c, std::size_t(out.ch));
                    continue;
                }
                if (inRect(l.frame, x, y)) continue;
                for (int c = 0; c < out.ch; ++c) {
                    const unsigned pv = out.at(x, y)[c], cv = sc.c[c];
                    if (p.blendWidth == 0) {
                        out.at(x, y)[c] = uint8_t((pv * T + cv * (100 - T)) / 100);
                    } else {
                        const unsigned m = mask->at(x - l.shadow.left, y - l.shadow.top)[0];
                        const unsigned q = (cv * m + pv * (255 - m)) / 255;
                        out.at(x, y)[c] = uint8_t((q * (100 - T) + pv * T) / 100);
                    }
                }
            }
    }
    if (p.frameWidth > 0 && p.frameFill == BFX_FILL_COLOR)
        for (int y = l.frame.top; y < l.frame.bottom; ++y)
            for (int x = l.frame.left; x < l.frame.right; ++x)
                std::memcpy(out.at(x, y), fc.c, std::size_t(out.ch));
    for (int y = 0; y < src.h; ++y)
        std::memcpy(out.at(l.image.left, l.image.top + y), src.at(0, y), std::size_t(src.w) * src.ch);
    return out;
}

// Renders src on a patterned background with p into a new result and checks it against the model.
void renderMatchesModel(const Image& src, const FrameShadowParams& p) {
    Buffers bufs;
    const FrameLayout l = LayoutForSize(src.w, src.h, p);
    const Image bg = pattern(l.canvas.right, l.canvas.bottom, src.ch, 99);
    const TV32HBUF s = bufs.make(src), b = bufs.make(bg);
    TV32HBUF result = 0;
    ASSERT_EQ(RenderFrameAndShadow(s, b, nullptr, kTargetTrueColor, &p, &result, 0, nullptr), 1);
    bufs.adopt(result);
    Image mask;
    if (p.blendWidth > 0) {
        TV32HBUF m = 0;
        ASSERT_EQ(BuildSoftEdgeMask(&m, l.shadow.right - l.shadow.left, l.shadow.bottom - l.shadow.top,
                                    p.blendWidth, nullptr),
                  1);
        mask = read(bufs.adopt(m));
    }
    EXPECT_TRUE(read(result) == model(src, bg, p, &mask));
    EXPECT_TRUE(read(b) == bg) << "the background is never changed";
}

} // namespace

TEST(Layout, HundredByEightyForBothDirectionsAndWithoutShadow) {
    FrameShadowParams p = params(10, 3, 10, 10, 10, 20);
    FrameLayout l = LayoutForSize(100, 80, p);
    expectRect(l.image, 10, 10, 110, 90);
    expectRect(l.frame, 0, 0, 120, 100);
    expectRect(l.shadow, 0, 0, 140, 120);
    expectRect(l.canvas, 0, 0, 140, 120);
    p.shadowDirection = 0;
    l = LayoutForSize(100, 80, p);
    expectRect(l.image, 30, 30, 130, 110);
    expectRect(l.frame, 20, 20, 140, 120);
    expectRect(l.shadow, 0, 0, 140, 120);
    expectRect(l.canvas, 0, 0, 140, 120);
    p = params(10, 2, 0, 0, 0, 20);
    l = LayoutForSize(100, 80, p);
    expectRect(l.shadow, 0, 0, 120, 100);
    expectRect(l.canvas, 0, 0, 120, 100);

    // The same through the buffer: image rectangle and canvas rectangle.
    Buffers bufs;
    const TV32HBUF s = bufs.make(plain(100, 80, 3, 0));
    p = params(10, 0, 10, 10, 10, 20);
    TV32RECT r;
    ASSERT_EQ(GetImageRect(s, &p, &r), 1);
    expectRect(r, 30, 30, 130, 110);
    ASSERT_EQ(GetCanvasRect(s, &p, &r), 1);
    expectRect(r, 0, 0, 140, 120);
    EXPECT_EQ(GetCanvasRect(0, &p, &r), 0);
}

TEST(Layout, DirectionOutsideTheRangeBehavesLikeDownRight) {
    const FrameLayout a = LayoutForSize(30, 20, params(4, 3, 7, 5, 2, 0));
    const FrameLayout b = LayoutForSize(30, 20, params(4, 9, 7, 5, 2, 0));
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

TEST(SoftEdgeMask, ClampsTheEdgeAndFallsTowardTheBorder) {
    EXPECT_EQ(SoftEdgeUsed(100, 100, 60), 49);
    EXPECT_EQ(SoftEdgeUsed(2, 2, 5), 0);
    EXPECT_EQ(SoftEdgeUsed(140, 120, 10), 10);
    Buffers bufs;
    TV32HBUF m = 0;
    ASSERT_EQ(BuildSoftEdgeMask(&m, 100, 100, 60, nullptr), 1);
    const Image mask = read(bufs.adopt(m));
    ASSERT_EQ(mask.w, 100);
    ASSERT_EQ(mask.h, 100);
    // Full strength over the 2 x 2 inner rectangle at (49, 49) only, growing toward it.
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool inner = x >= 49 && x <= 50 && y >= 49 && y <= 50;
            if (inner)
                EXPECT_EQ(mask.at(x, y)[0], 255);
            else
                EXPECT_LT(mask.at(x, y)[0], 255) << x << "," << y;
        }
    EXPECT_LT(mask.at(0, 50)[0], mask.at(25, 50)[0]);
    EXPECT_LT(mask.at(25, 50)[0], mask.at(48, 50)[0]);

    ASSERT_EQ(BuildSoftEdgeMask(&m, 2, 2, 3, nullptr), 1);
    const Image tiny = read(bufs.adopt(m));
    EXPECT_TRUE(tiny == plain(2, 2, 1, 255));

    m = 77;
    EXPECT_EQ(BuildSoftEdgeMask(&m, 50, 50, 0, nullptr), 1);
    EXPECT_EQ(m, 0u);
}

TEST(Render, ZeroParametersGiveTheSourceItself) {
    const Image src = pattern(37, 23, 3, 1);
    const FrameShadowParams p = params(0, 2, 0, 0, 0, 20);
    Buffers bufs;
    const TV32HBUF s = bufs.make(src), b = bufs.make(pattern(37, 23, 3, 2));
    TV32HBUF result = 0;
    ASSERT_EQ(RenderFrameAndShadow(s, b, nullptr, kTargetTrueColor, &p, &result, 0, nullptr), 1);
    EXPECT_TRUE(read(bufs.adopt(result)) == src);
}

TEST(Render, MatchesThePaintingOrderForManyParameterSets) {
    const Image rgb = pattern(41, 29, 3, 5), grey = pattern(41, 29, 1, 6);
    const FrameShadowParams sets[] = {
        params(10, 3, 10, 10, 10, 20), // the usual
        params(10, 0, 10, 10, 10, 20), // up and left
        params(0, 2, 6, 4, 5, 30),     // no frame, shadow under the image
        params(5, 1, 0, 0, 10, 0),     // halo all around the frame
        params(4, 2, 7, 3, 0, 0),      // plain shadow colour
        params(4, 3, 7, 3, 0, 99),     // almost see-through shadow
        params(3, 1, 12, 0, 2, 50),    // shadow only sideways
        params(2, 3, 30, 25, 40, 10),  // edge wider than the frame rectangle allows
    };
    for (const FrameShadowParams& p : sets) {
        SCOPED_TRACE(testing::Message()
                     << "frame " << p.frameWidth << " dir " << p.shadowDirection << " x " << p.shadowOffsetX
                     << " y " << p.shadowOffsetY << " blend " << p.blendWidth << " T " << p.transparency);
        renderMatchesModel(rgb, p);
        renderMatchesModel(grey, p);
    }
}

TEST(Render, TransparencyArithmeticWithoutBlending) {
    // One pixel of the shadow outside the frame: (p T + c (100 - T)) / 100 per channel.
    const Image src = plain(10, 10, 3, 0);
    for (int T : {0, 99}) {
        const FrameShadowParams p = params(2, 3, 5, 5, 0, T);
        Buffers bufs;
        const FrameLayout l = LayoutForSize(10, 10, p);
        const Image bg = plain(l.canvas.right, l.canvas.bottom, 3, 200);
        TV32HBUF result = 0;
        ASSERT_EQ(RenderFrameAndShadow(bufs.make(src), bufs.make(bg), nullptr, 2, &p, &result, 0, nullptr),
                  1);
        const Image out = read(bufs.adopt(result));
        const uint8_t* px = out.at(l.canvas.right - 1, l.canvas.bottom - 1);
        const int c[3] = {0x60, 0x40, 0x20};
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(px[k], (200 * T + c[k] * (100 - T)) / 100) << "T " << T;
    }
}

TEST(Render, GreySourceWithBlueFrameGivesTwentyNine) {
    FrameShadowParams p = params(3, 3, 0, 0, 0, 0);
    p.frameColor = 0x00FF0000;
    Buffers bufs;
    TV32HBUF result = 0;
    ASSERT_EQ(RenderFrameAndShadow(bufs.make(plain(8, 8, 1, 200)), bufs.make(plain(14, 14, 1, 0)), nullptr, 2,
                                   &p, &result, 0, nullptr),
              1);
    const Image out = read(bufs.adopt(result));
    EXPECT_EQ(out.at(0, 0)[0], 29);
    EXPECT_EQ(out.at(13, 6)[0], 29);
    EXPECT_EQ(out.at(5, 5)[0], 200);
}

// A textured frame shows the texture's picture drawn at the frame's size (in grey for a grey
// image), with the image over it.
TEST(Render, TexturedFrameShowsTheTexturePicture) {
    void* texture = nullptr;
    ASSERT_TRUE(tv32TextureDataAlloc(&texture, 0, 0));
    auto* rec = static_cast<TV32TEXTURERECORD*>(texture);
    rec->kind = 1;
    rec->repetitions = 4;
    ASSERT_TRUE(tv32GetPredefined256ColorTable(19, 0, &rec->colorCount, &rec->colorTable, 0));
    for (int ch : {3, 1}) {
        FrameShadowParams p = params(4, 3, 0, 0, 0, 0);
        p.frameFill = BFX_FILL_TEXTURE;
        p.textureData = texture;
        const Image src = pattern(9, 7, ch, 3);
        const FrameLayout l = LayoutForSize(9, 7, p);
        const int fw = l.frame.right - l.frame.left, fh = l.frame.bottom - l.frame.top;
        Buffers bufs;
        TV32HBUF result = 0;
        ASSERT_EQ(RenderFrameAndShadow(bufs.make(src),
                                       bufs.make(plain(l.canvas.right, l.canvas.bottom, ch, 0)), nullptr, 2,
                                       &p, &result, 0, nullptr),
                  1);
        const Image out = read(bufs.adopt(result));
        TV32HBUF picture = 0;
        ASSERT_TRUE(tv32GenerateTexture(2, 0, texture, fw, fh, 0, &picture, 0, 0, nullptr));
        bufs.adopt(picture);
        if (ch == 1) {
            TV32HBUF grey = 0;
            ASSERT_TRUE(cvt32BufType(2, 0, 2, 32, picture, &grey, 0, 0, 0, nullptr, 0));
            picture = bufs.adopt(grey);
        }
        const Image expected = read(picture);
        int differing = 0;
        for (int y = l.frame.top; y < l.frame.bottom; ++y)
            for (int x = l.frame.left; x < l.frame.right; ++x) {
                const bool inImage = inRect(l.image, x, y);
                const uint8_t* want = inImage ? src.at(x - l.image.left, y - l.image.top)
                                              : expected.at(x - l.frame.left, y - l.frame.top);
                differing += std::memcmp(out.at(x, y), want, std::size_t(ch)) != 0;
            }
        EXPECT_EQ(differing, 0) << ch << " channels";
    }
    EXPECT_TRUE(tv32TextureDataFree(texture));
}

TEST(Render, GivenResultSlotReceivesTheCanvasBlock) {
    const Image src = pattern(20, 15, 3, 8);
    const FrameShadowParams p = params(4, 2, 5, 5, 3, 20);
    const FrameLayout l = LayoutForSize(20, 15, p);
    const Image bg = pattern(l.canvas.right, l.canvas.bottom, 3, 9);
    Buffers bufs;
    TV32HBUF fresh = 0;
    ASSERT_EQ(RenderFrameAndShadow(bufs.make(src), bufs.make(bg), nullptr, 2, &p, &fresh, 0, nullptr), 1);
    bufs.adopt(fresh);
    TV32HBUF given = bufs.make(plain(l.canvas.right, l.canvas.bottom, 3, 1));
    const TV32HBUF before = given;
    const int32_t live = buf32CountLive();
    ASSERT_EQ(RenderFrameAndShadow(bufs.make(src), bufs.make(bg), nullptr, 2, &p, &given, 0, nullptr), 1);
    EXPECT_EQ(given, before);
    EXPECT_EQ(buf32CountLive(), live + 2) << "only the two inputs made here; the working copy is freed";
    EXPECT_TRUE(read(given) == read(fresh));
}

TEST(Render, FailuresLeaveTheSlotAndNothingAllocated) {
    Buffers bufs;
    const TV32HBUF rgb = bufs.make(pattern(10, 10, 3, 1));
    FrameShadowParams p = params(2, 3, 2, 2, 2, 20);
    const TV32HBUF greyBg = bufs.make(plain(18, 18, 1, 0)), rgbBg = bufs.make(plain(18, 18, 3, 0));
    const int32_t live = buf32CountLive();
    TV32HBUF slot = 0;
    EXPECT_EQ(RenderFrameAndShadow(rgb, greyBg, nullptr, 2, &p, &slot, 0, nullptr), 0)
        << "channel counts differ";
    EXPECT_EQ(slot, 0u);
    p.frameFill = BFX_FILL_TEXTURE; // without a texture data object
    EXPECT_EQ(RenderFrameAndShadow(rgb, rgbBg, nullptr, 2, &p, &slot, 0, nullptr), 0);
    EXPECT_EQ(slot, 0u);
    EXPECT_EQ(buf32CountLive(), live);
    // An unknown fill is no error: the frame is simply not painted.
    p.frameFill = 3;
    ASSERT_EQ(RenderFrameAndShadow(rgb, rgbBg, nullptr, 2, &p, &slot, 0, nullptr), 1);
    const Image out = read(bufs.adopt(slot));
    EXPECT_EQ(out.at(1, 1)[0], 0);
    EXPECT_EQ(FillRectWithTexture(rgbBg, 0, reinterpret_cast<void*>(1), 0, 0, 4, 4, nullptr, nullptr), 0);
    EXPECT_EQ(PaintTextureRect(rgbBg, nullptr, 0, 0, 4, 4), 0);
}

TEST(Painting, MaskZeroAndExcludedPixelsStayBitForBit) {
    for (int ch : {1, 3}) {
        const Image before = pattern(53, 47, ch, 4);
        Buffers bufs;
        const TV32HBUF b = bufs.make(before);
        // A mask with a zero column and a zero row, placed partly outside the buffer.
        Image m = pattern(30, 25, 1, 5);
        for (int y = 0; y < 25; ++y)
            m.at(7, y)[0] = 0;
        for (int x = 0; x < 30; ++x)
            m.at(x, 11)[0] = 0;
        const TV32HBUF mask = bufs.make(m);
        const TV32RECT ex{20, 10, 33, 24};
        const PixelColor c{{10, 200, 90}};
        ASSERT_EQ(BlendThroughMask(b, mask, &c, 30, 5, -3, &ex), 1);
        const Image after = read(b);
        for (int y = 0; y < 47; ++y)
            for (int x = 0; x < 53; ++x) {
                const int mx = x - 5, my = y + 3;
                const bool inMask = mx >= 0 && mx < 30 && my >= 0 && my < 25;
                const bool keep = !inMask || m.at(mx, my)[0] == 0 || inRect(ex, x, y);
                if (keep) {
                    EXPECT_EQ(std::memcmp(after.at(x, y), before.at(x, y), std::size_t(ch)), 0)
                        << x << "," << y;
                } else {
                    for (int k = 0; k < ch; ++k) {
                        const unsigned p = before.at(x, y)[k], mv = m.at(mx, my)[0];
                        const unsigned q = (c.c[k] * mv + p * (255 - mv)) / 255;
                        EXPECT_EQ(after.at(x, y)[k], (q * 70 + p * 30) / 100);
                    }
                }
            }
        // The uniform way keeps out of the excluded rectangle too.
        ASSERT_EQ(PaintSolidRect(b, &c, 40, 0, 0, 0, 53, 47, &ex), 1);
        const Image again = read(b);
        for (int y = ex.top; y < ex.bottom; ++y)
            EXPECT_EQ(std::memcmp(again.at(ex.left, y), before.at(ex.left, y), std::size_t(13 * ch)), 0);
        EXPECT_EQ(again.at(0, 0)[0], (after.at(0, 0)[0] * 40 + c.c[0] * 60) / 100);
    }
}

TEST(Painting, OpaqueFillOfWholeBufferAndOfARectangle) {
    Buffers bufs;
    const TV32HBUF b = bufs.make(pattern(9, 7, 3, 3));
    const PixelColor c{{1, 2, 3}};
    ASSERT_EQ(PaintSolidRect(b, &c, 0, 0, 2, 1, 4, 3, nullptr), 1);
    Image out = read(b);
    EXPECT_EQ(out.at(2, 1)[2], 3);
    EXPECT_EQ(out.at(5, 3)[1], 2);
    EXPECT_NE(std::memcmp(out.at(6, 3), c.c, 3), 0);
    ASSERT_EQ(PaintSolidRect(b, &c, 0, 0, 0, 0, 9, 7, nullptr), 1);
    Image all{9, 7, 3, {}};
    for (int i = 0; i < 63; ++i)
        all.px.insert(all.px.end(), {1, 2, 3});
    EXPECT_TRUE(read(b) == all);
}

TEST(Cells, CellRectIsInclusiveWithShortLastColumnAndRow) {
    BUF32INFO info;
    std::memset(&info, 0, sizeof info);
    info.cellsAcross = 3;
    info.cellsDown = 2;
    info.cellCount = 6;
    info.cellWidth = 7;
    info.cellHeight = 5;
    info.lastCellWidth = 2;
    info.lastCellHeight = 4;
    expectRect(CellRect(info, 0), 0, 0, 6, 4);
    expectRect(CellRect(info, 2), 14, 0, 15, 4);
    expectRect(CellRect(info, 4), 7, 5, 13, 8);
    expectRect(CellRect(info, 5), 14, 5, 15, 8);
}

TEST(Cells, ResultsDoNotDependOnTheCellSize) {
    const FrameShadowParams sets[] = {params(10, 3, 10, 10, 10, 20), params(0, 0, 9, 4, 6, 35),
                                      params(6, 1, 0, 0, 8, 0)};
    for (int ch : {1, 3}) {
        const Image src = pattern(61, 45, ch, 11);
        for (const FrameShadowParams& p : sets) {
            const FrameLayout l = LayoutForSize(src.w, src.h, p);
            const Image bg = pattern(l.canvas.right, l.canvas.bottom, ch, 12);
            Image results[2];
            const int sizes[2][2] = {{0, 0}, {7, 5}};
            for (int k = 0; k < 2; ++k) {
                ASSERT_TRUE(buf32SetCellSize(sizes[k][0], sizes[k][1]));
                Buffers bufs;
                TV32HBUF r = 0;
                ASSERT_EQ(RenderFrameAndShadow(bufs.make(src), bufs.make(bg), nullptr, 2, &p, &r, 0, nullptr),
                          1);
                results[k] = read(bufs.adopt(r));
            }
            buf32SetCellSize(0, 0);
            EXPECT_TRUE(results[0] == results[1]) << "channels " << ch << " frame " << p.frameWidth;
        }
    }
}

TEST(Render, PlacementMovesTheDrawingButNotTheCanvas) {
    // As the preview draws around a selection inside a larger picture.
    FrameShadowParams p = params(2, 3, 3, 3, 0, 0);
    p.placement = {20, 15, 0, 0};
    const Image src = pattern(10, 8, 3, 2);
    Buffers bufs;
    const Image bg = plain(50, 40, 3, 7);
    TV32HBUF fresh = 0;
    ASSERT_EQ(RenderFrameAndShadow(bufs.make(src), bufs.make(bg), nullptr, 2, &p, &fresh, 0, nullptr), 1);
    const Image out = read(bufs.adopt(fresh));
    ASSERT_EQ(out.w, 50) << "a null slot receives the whole working copy";
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(std::memcmp(out.at(20, 15 + y), src.at(0, y), 30), 0);
    EXPECT_EQ(out.at(18, 13)[2], 255) << "frame corner";
    EXPECT_EQ(out.at(33, 26)[0], 0x60) << "plain shadow beyond the frame's corner";
    EXPECT_EQ(out.at(45, 35)[0], 7) << "the background elsewhere";
}

// The entry's way of rendering keeps the shadow's mask for the opacity plane: the picture is the
// same as RenderFrameAndShadow's, and the mask is the one BuildSoftEdgeMask makes for the shadow
// rectangle (none when the shadow has no soft edge).
TEST(Render, KeptShadowMaskIsTheShadowsMaskAndChangesNothing) {
    const FrameShadowParams sets[] = {params(10, 3, 10, 10, 10, 20), params(0, 0, 9, 4, 6, 35),
                                      params(3, 1, 0, 0, 7, 0), params(4, 2, 7, 3, 0, 40)};
    for (int ch : {1, 3}) {
        const Image src = pattern(37, 19, ch, 13);
        for (const FrameShadowParams& p : sets) {
            SCOPED_TRACE(testing::Message() << ch << " channels, blend " << p.blendWidth);
            const FrameLayout l = LayoutForSize(src.w, src.h, p);
            const Image bg = pattern(l.canvas.right, l.canvas.bottom, ch, 14);
            Buffers bufs;
            TV32HBUF direct = 0, kept = 0, mask = 0;
            ASSERT_EQ(
                RenderFrameAndShadow(bufs.make(src), bufs.make(bg), nullptr, 2, &p, &direct, 0, nullptr), 1);
            ASSERT_EQ(RenderFrameAndShadowKeepingMask(bufs.make(src), bufs.make(bg), &p, &kept, &mask), 1);
            bufs.adopt(direct);
            bufs.adopt(kept);
            bufs.adopt(mask);
            EXPECT_TRUE(read(kept) == read(direct));
            if (p.blendWidth == 0) {
                EXPECT_EQ(mask, 0u);
                continue;
            }
            TV32HBUF own = 0;
            ASSERT_EQ(BuildSoftEdgeMask(&own, l.shadow.right - l.shadow.left, l.shadow.bottom - l.shadow.top,
                                        p.blendWidth, nullptr),
                      1);
            EXPECT_TRUE(read(mask) == read(bufs.adopt(own)));
        }
    }
    // A failed rendering leaves the mask slot as it was and nothing allocated.
    Buffers bufs;
    const TV32HBUF rgb = bufs.make(pattern(10, 10, 3, 1)), greyBg = bufs.make(plain(30, 30, 1, 0));
    const FrameShadowParams p = params(2, 3, 2, 2, 5, 20);
    const int32_t live = buf32CountLive();
    TV32HBUF slot = 0, mask = 0;
    EXPECT_EQ(RenderFrameAndShadowKeepingMask(rgb, greyBg, &p, &slot, &mask), 0);
    EXPECT_EQ(slot, 0u);
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(buf32CountLive(), live);
}

// Placed so that the image reaches past the right and bottom of the background (as a preview
// may be): the part inside shows the image, the frame and the background around it as painted.
TEST(Render, ImageReachingPastTheBackgroundIsClipped) {
    for (int cell : {0, 5}) {
        ASSERT_TRUE(buf32SetCellSize(cell, cell));
        for (int ch : {1, 3}) {
            FrameShadowParams p = params(2, 3, 0, 0, 0, 0);
            p.placement = {31, 22, 0, 0};
            const Image src = pattern(13, 11, ch, 4), bg = pattern(40, 30, ch, 6);
            const PixelColor fc = MakePixelColor(p.frameColor, ch == 1);
            Buffers bufs;
            TV32HBUF result = 0;
            ASSERT_EQ(
                RenderFrameAndShadow(bufs.make(src), bufs.make(bg), nullptr, 2, &p, &result, 0, nullptr), 1);
            const Image out = read(bufs.adopt(result));
            ASSERT_EQ(out.w, 40);
            ASSERT_EQ(out.h, 30);
            int wrong = 0;
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) {
                    const bool inImage = x >= 31 && y >= 22, inFrame = x >= 29 && y >= 20;
                    const uint8_t* want = inImage ? src.at(x - 31, y - 22) : inFrame ? fc.c : bg.at(x, y);
                    wrong += std::memcmp(out.at(x, y), want, std::size_t(ch)) != 0;
                }
            EXPECT_EQ(wrong, 0) << ch << " channels, cell size " << cell;
        }
    }
    buf32SetCellSize(0, 0);
}
