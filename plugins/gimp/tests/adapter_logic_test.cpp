// The adapters' arithmetic without GIMP: settings for the filter's dialog, where the new layer
// goes, the layer's pixels beyond the picture against the filter itself on a padded picture, the
// image-map call, and the detached clipboard server.
#include "clipboard.h"
#include "framelayer.h"
#include "gimpsession.h"
#include "imagemap.h"
#include "wholedialog.h"

#include "imagelib/tv32base.h"
#include "imagelib/tv32qt.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace gimpadapter;

namespace {

TEST(Settings, OnlyChangedValuesInTheOrderAUserSetsThem) {
    EXPECT_EQ(SettingsList(FrameShadowSettings{}), "");
    FrameShadowSettings s;
    s.frameWidth = 4;
    s.frameColor = 0x0000FF; // red
    s.frameFill = 1;
    s.textureIndex = 7;
    s.shadowDirection = 3;
    s.shadowOffsetX = 12;
    s.shadowOffsetY = 0;
    s.shadowColor = 0x804020;
    s.transparency = 99;
    s.blendWidth = 150;
    EXPECT_EQ(SettingsList(s),
              "frameWidth=4,shadowDirection=3,shadowOffsetX=12,shadowOffsetY=0,transparency=99,"
              "blendWidth=150,shadowColor=0x804020,frameFill=texture,textureIndex=7,"
              "frameColor=0x0000FF");
    // A part switched off takes none of its values (a width beyond the dialog's range must not
    // refuse a frame that is off).
    s.frame = 0;
    s.blending = 0;
    EXPECT_EQ(SettingsList(s), "frame=off,shadowDirection=3,shadowOffsetX=12,shadowOffsetY=0,transparency=99,"
                               "blending=off,shadowColor=0x804020");
    s.shadow = 0;
    EXPECT_EQ(SettingsList(s), "frame=off,shadow=off");
}

TEST(Settings, RangesAreChecked) {
    EXPECT_EQ(CheckSettings(FrameShadowSettings{}), "");
    auto bad = [](auto change) {
        FrameShadowSettings s;
        change(s);
        return !CheckSettings(s).empty();
    };
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.frame = 2; }));
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.blending = -1; }));
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.frameWidth = -1; }));
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.frameFill = 5; }));
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.textureIndex = 0; }));
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.shadowDirection = 4; }));
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.shadowOffsetY = -3; }));
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.transparency = 100; }));
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.blendWidth = 151; }));
    EXPECT_TRUE(bad([](FrameShadowSettings& s) { s.shadowColor = 0x1000000; }));
    EXPECT_FALSE(
        bad([](FrameShadowSettings& s) { s.transparency = 99, s.blendWidth = 150, s.shadowDirection = 0; }));
}

TEST(Settings, WhatTheDialogLeftIsRepeatedTheSameWay) {
    PlugInRecord r;
    std::memset(&r, 0, sizeof r);
    r.params.frameWidth = 0; // frame off
    r.params.shadowDirection = 1;
    r.params.shadowOffsetX = 0;
    r.params.shadowOffsetY = 7;
    r.params.blendWidth = 0;
    r.params.frameFill = BFX_FILL_TEXTURE;
    r.params.shadowColor = 0x123456;
    r.params.frameColor = 0xFF00FF;
    r.params.transparency = 5;
    r.textureIndex = 9;
    const FrameShadowSettings s = SettingsFromRecord(r);
    EXPECT_EQ(s.frame, 0);
    EXPECT_EQ(s.shadow, 1);
    EXPECT_EQ(s.blending, 0);
    EXPECT_EQ(s.frameFill, 1);
    EXPECT_EQ(s.textureIndex, 9);
    EXPECT_EQ(CheckSettings(s), "");
    EXPECT_EQ(SettingsList(s), "frame=off,shadowDirection=1,shadowOffsetX=0,shadowOffsetY=7,transparency=5,"
                               "blending=off,shadowColor=0x123456");
}

TEST(Placement, TheCanvasGrowsToHoldTheOutputArea) {
    Placement p = PlaceLayer({10, 20, 90, 70}, 100, 80);
    EXPECT_FALSE(p.grows);
    EXPECT_EQ(p.layer, (Rect{10, 20, 90, 70}));
    p = PlaceLayer({-25, -5, 60, 50}, 100, 80); // past the left and top
    EXPECT_TRUE(p.grows);
    EXPECT_EQ(p.canvasWidth, 125);
    EXPECT_EQ(p.canvasHeight, 85);
    EXPECT_EQ(p.shiftX, 25);
    EXPECT_EQ(p.shiftY, 5);
    EXPECT_EQ(p.layer, (Rect{0, 0, 85, 55}));
    p = PlaceLayer({50, 60, 130, 95}, 100, 80); // past the right and bottom: nothing moves
    EXPECT_EQ(p.canvasWidth, 130);
    EXPECT_EQ(p.canvasHeight, 95);
    EXPECT_EQ(p.shiftX, 0);
    EXPECT_EQ(p.layer, (Rect{50, 60, 130, 95}));
    p = PlaceLayer({-3, -4, 110, 90}, 100, 80); // all sides
    EXPECT_EQ(p.canvasWidth, 113);
    EXPECT_EQ(p.canvasHeight, 94);
    EXPECT_EQ(p.layer, (Rect{0, 0, 113, 94}));
}

// A picture (colour and opacity plane) in the image library's buffers.
struct Picture {
    TV32HBUF colour = 0, alpha = 0;
    int width = 0, height = 0, channels = 0;
    ~Picture() {
        if (colour) buf32Free(colour);
        if (alpha) buf32Free(alpha);
    }
};

// A test picture of width x height, with `margin` transparent black pixels around it.
void makePicture(Picture& p, int width, int height, int channels, int margin) {
    p.width = width + 2 * margin;
    p.height = height + 2 * margin;
    p.channels = channels;
    ASSERT_TRUE(buf32Alloc(&p.colour, channels * 8, p.width, p.height, BUF32_FILL_ZERO, nullptr));
    ASSERT_TRUE(buf32Alloc(&p.alpha, 8, p.width, p.height, BUF32_FILL_ZERO, nullptr));
    std::vector<uint8_t> row(std::size_t(width) * channels), arow(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < channels; ++k)
                row[std::size_t(x) * channels + k] = uint8_t(x * 3 + y * 5 + k * 70);
            arow[std::size_t(x)] = uint8_t(x < width / 2 ? 255 : (x * 11 + y * 7) % 256); // opaque and soft
        }
        ASSERT_TRUE(buf32MergeMem(p.colour, margin, y + margin, row.data(), width, 1));
        ASSERT_TRUE(buf32MergeMem(p.alpha, margin, y + margin, arow.data(), width, 1));
    }
}

struct Delivered {
    int result = 0;
    PlugInRecord record{};
    TV32HBUF image = 0, plane = 0;
    ~Delivered() {
        if (image) buf32Free(image);
        if (plane) buf32Free(plane);
    }
};

void runFilter(const Picture& p, TV32RECT selection, const char* settings, Delivered& d) {
    std::memset(&d.record, 0, sizeof d.record);
    d.record.selection = selection;
    d.record.sourceImage = p.colour;
    d.record.alphaSource = p.alpha;
    d.record.resultImage = &d.image;
    d.record.resultAlpha = &d.plane;
    d.record.bitsPerPixel = p.channels * 8;
    d.record.imageWidth = p.width;
    d.record.imageHeight = p.height;
    setenv(BFX_DIALOG_SET_VARIABLE, settings, 1);
    d.result = TalvorPlugInAction(0, &d.record);
    unsetenv(BFX_DIALOG_SET_VARIABLE);
}

// The layer of a selection at the picture's corner, beyond the picture, is what the filter itself
// makes of the same picture with a transparent margin around it.
TEST(Layer, BeyondThePictureAsTheFilterComposesTransparentPixels) {
    const char* const settings[] = {
        "frameWidth=3,shadowOffsetX=6,shadowOffsetY=4,blendWidth=5,transparency=10,shadowColor=#336699",
        "frameWidth=2,shadowDirection=1,shadowOffsetX=9,shadowOffsetY=3,blending=off,shadowColor=#FF0000",
        "frame=off,shadowDirection=0,shadowOffsetX=2,shadowOffsetY=8,blendWidth=12",
        "frameWidth=4,shadow=off",
    };
    const int margin = 30;
    for (const int channels : {3, 1})
        for (const char* s : settings) {
            SCOPED_TRACE(std::string(s) + (channels == 1 ? " grey" : " colour"));
            Picture plain, padded;
            makePicture(plain, 60, 40, channels, 0);
            makePicture(padded, 60, 40, channels, margin);
            Delivered a, b;
            runFilter(plain, {0, 0, 30, 20}, s, a);
            runFilter(padded, {margin, margin, 30 + margin, 20 + margin}, s, b);
            ASSERT_EQ(a.result, 1);
            ASSERT_EQ(b.result, 1);
            int32_t w = 0, h = 0;
            ASSERT_TRUE(buf32GetWHU(a.image, &w, &h, 0));
            const Rect output{a.record.originX, a.record.originY, int64_t(a.record.originX) + w,
                              int64_t(a.record.originY) + h};
            LayerPixels layer;
            std::string error;
            ASSERT_TRUE(AssembleLayer(a.record, a.image, a.plane, output, &layer, &error)) << error;
            ASSERT_EQ(layer.width, w);
            ASSERT_EQ(layer.channels, channels + 1);
            // The padded run's output area is the same one, wholly inside its picture.
            int32_t pw = 0, ph = 0, aw = 0, ah = 0;
            ASSERT_TRUE(buf32GetWHU(b.image, &pw, &ph, 0));
            ASSERT_TRUE(buf32GetWHU(b.plane, &aw, &ah, 0));
            ASSERT_EQ(pw, w);
            ASSERT_EQ(aw, w);
            ASSERT_EQ(ah, h);
            std::vector<uint8_t> row(std::size_t(w) * channels), arow(static_cast<std::size_t>(w));
            int bad = 0, beyond = 0;
            for (int y = 0; y < h; ++y) {
                ASSERT_TRUE(buf32GetMem(b.image, 0, y, w, 1, row.data()));
                ASSERT_TRUE(buf32GetMem(b.plane, 0, y, w, 1, arow.data()));
                for (int x = 0; x < w; ++x) {
                    const uint8_t* px = &layer.bytes[(std::size_t(y) * w + x) * layer.channels];
                    const int a8 = arow[std::size_t(x)];
                    beyond += (output.left + x < 0 || output.top + y < 0) && a8 > 0;
                    bool same = px[channels] == a8;
                    for (int k = 0; k < channels && a8 > 0; ++k)
                        same = same && px[k] == row[std::size_t(x) * channels + k];
                    bad += !same;
                }
            }
            EXPECT_EQ(bad, 0);
            EXPECT_GT(beyond, 0) << "frame or shadow reach past the picture";
        }
}

// A run without the dialog hands the filter only the part of the layer it reaches: the result
// and what the dialog accepts are those of the whole layer.
TEST(Layer, ThePartTheFilterReachesGivesTheWholeLayersResult) {
    auto settings = [](auto change) {
        FrameShadowSettings s;
        change(s);
        return s;
    };
    const FrameShadowSettings cases[] = {
        FrameShadowSettings{},
        settings([](FrameShadowSettings& s) {
            s.frameWidth = 12, s.shadowDirection = 0, s.shadowOffsetX = 20, s.shadowOffsetY = 3,
            s.blendWidth = 30;
        }),
        settings([](FrameShadowSettings& s) { s.frame = 0, s.shadowDirection = 1, s.shadowOffsetY = 25; }),
        settings([](FrameShadowSettings& s) { s.frameWidth = 70; }), // beyond some layers' limit
        settings([](FrameShadowSettings& s) {
            s.shadowDirection = 3, s.shadowOffsetX = 90, s.shadowOffsetY = 60, s.blending = 0;
        }),
    };
    const TV32RECT selections[] = {{60, 40, 140, 110}, {3, 50, 60, 90}, {0, 0, 50, 40}, {150, 100, 198, 148}};
    Picture whole;
    makePicture(whole, 200, 150, 3, 0);
    int delivered = 0, refused = 0;
    for (const FrameShadowSettings& s : cases)
        for (const TV32RECT& sel : selections) {
            const std::string list = SettingsList(s);
            SCOPED_TRACE(list + " at " + std::to_string(sel.left) + "," + std::to_string(sel.top));
            const Rect reach = ReachOf({sel.left, sel.top, sel.right, sel.bottom}, s, 200, 150);
            Picture part;
            part.width = int(reach.width());
            part.height = int(reach.height());
            part.channels = 3;
            ASSERT_TRUE(buf32GetBuf(whole.colour, int32_t(reach.left), int32_t(reach.top), part.width,
                                    part.height, &part.colour));
            ASSERT_TRUE(buf32GetBuf(whole.alpha, int32_t(reach.left), int32_t(reach.top), part.width,
                                    part.height, &part.alpha));
            Delivered a, b;
            runFilter(whole, sel, list.c_str(), a);
            runFilter(part,
                      {int32_t(sel.left - reach.left), int32_t(sel.top - reach.top),
                       int32_t(sel.right - reach.left), int32_t(sel.bottom - reach.top)},
                      list.c_str(), b);
            ASSERT_EQ(a.result, b.result);
            if (a.result != 1) {
                ++refused;
                continue;
            }
            ++delivered;
            EXPECT_EQ(a.record.originX, b.record.originX);
            EXPECT_EQ(a.record.originY, b.record.originY);
            for (const auto& [x, y] : {std::pair{a.image, b.image}, std::pair{a.plane, b.plane}}) {
                BUF32INFO ix, iy;
                ASSERT_TRUE(buf32GetInfo(x, &ix) && buf32GetInfo(y, &iy));
                ASSERT_EQ(ix.width, iy.width);
                ASSERT_EQ(ix.height, iy.height);
                std::vector<uint8_t> px(std::size_t(ix.width) * ix.bytesPerPixel * ix.height), py(px.size());
                ASSERT_TRUE(buf32GetMem(x, 0, 0, ix.width, ix.height, px.data()));
                ASSERT_TRUE(buf32GetMem(y, 0, 0, iy.width, iy.height, py.data()));
                EXPECT_EQ(px, py);
            }
        }
    EXPECT_GT(delivered, 10);
    EXPECT_GT(refused, 0) << "some settings lie beyond some layers' limits";
}

TEST(Layer, ABufferThatDoesNotFitIsRefused) {
    Picture p;
    makePicture(p, 20, 10, 3, 0);
    PlugInRecord r;
    std::memset(&r, 0, sizeof r);
    r.imageWidth = 20;
    r.imageHeight = 10;
    LayerPixels layer;
    std::string error;
    // The plane must cover the output area's part inside the picture: here the whole picture.
    EXPECT_FALSE(AssembleLayer(r, p.colour, p.alpha, {-2, 0, 18, 10}, &layer, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(AssembleLayer(r, p.colour, 0, {0, 0, 20, 10}, &layer, &error));
    EXPECT_TRUE(AssembleLayer(r, p.colour, p.alpha, {0, 0, 20, 10}, &layer, &error)) << error;
}

TEST(ImageMap, OnlyPixelsAboveHalfCount) {
    SelectionMask m;
    m.width = 3;
    m.height = 1;
    m.bytes = {0, 128, 100};
    EXPECT_FALSE(HasSelectedPixel(m));
    m.bytes[2] = 129;
    EXPECT_TRUE(HasSelectedPixel(m));
    EXPECT_FALSE(HasSelectedPixel(SelectionMask{}));
}

TEST(ImageMap, MasksOfEveryPrecisionBecomeCoverageBytes) {
    MaskComponent c;
    ASSERT_TRUE(MaskComponentOf(150, &c));
    EXPECT_EQ(c, MaskComponent::U8);
    ASSERT_TRUE(MaskComponentOf(700, &c));
    EXPECT_EQ(c, MaskComponent::Double);
    EXPECT_FALSE(MaskComponentOf(400, &c));
    EXPECT_FALSE(MaskComponentOf(0, &c));
    uint8_t out[6];
    const uint16_t u16[] = {0, 33153, 32639, 65535}; // 129.0 and 126.998 in 8 bits
    MaskToBytes(reinterpret_cast<const uint8_t*>(u16), 4, MaskComponent::U16, out);
    EXPECT_EQ(std::vector<int>(out, out + 4), (std::vector<int>{0, 129, 127, 255}));
    const uint32_t u32[] = {0, 0xFFFFFFFFu, 0x80000000u};
    MaskToBytes(reinterpret_cast<const uint8_t*>(u32), 3, MaskComponent::U32, out);
    EXPECT_EQ(std::vector<int>(out, out + 3), (std::vector<int>{0, 255, 128}));
    const float f[] = {0.5f, 0.51f, -1.f, 2.f, NAN, 1.f};
    MaskToBytes(reinterpret_cast<const uint8_t*>(f), 6, MaskComponent::Float, out);
    EXPECT_EQ(std::vector<int>(out, out + 6), (std::vector<int>{128, 130, 0, 255, 0, 255}));
    const double d[] = {0.25, 1e300};
    MaskToBytes(reinterpret_cast<const uint8_t*>(d), 2, MaskComponent::Double, out);
    EXPECT_EQ(std::vector<int>(out, out + 2), (std::vector<int>{64, 255}));
    const uint16_t half[] = {0x3800, 0x3C00, 0x7E00, 0x0001, 0xBC00}; // 0.5, 1, NaN, tiny, -1
    MaskToBytes(reinterpret_cast<const uint8_t*>(half), 5, MaskComponent::Half, out);
    EXPECT_EQ(std::vector<int>(out, out + 5), (std::vector<int>{128, 255, 0, 0, 0}));
}

TEST(ImageMap, TheEntryComesBackWithTheFormat) {
    SelectionMask m;
    m.left = 3;
    m.top = 4;
    m.width = 10;
    m.height = 5;
    m.bytes.assign(50, 255);
    MapRequest request;
    request.settings.format = HM_FORMAT_NCSA;
    std::strcpy(request.settings.url, "u.html");
    MapEntry e = MakeMapEntry(m, request);
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.text, "rect u.html 3,4 12,8");
    EXPECT_EQ(e.settings.format, HM_FORMAT_NCSA);
    m.bytes.assign(50, 0); // nothing selected: no entry
    EXPECT_EQ(MakeMapEntry(m, request).result, 0);
    m.bytes.resize(49); // a mask that does not fit its box is never handed over
    EXPECT_EQ(MakeMapEntry(m, request).result, 0);
}

// A 40 x 30 mask at (100, 200): a ring (a hole in it) and a separate 3 x 2 blob.
SelectionMask ringAndBlob() {
    SelectionMask m;
    m.left = 100;
    m.top = 200;
    m.width = 40;
    m.height = 30;
    m.bytes.assign(std::size_t(40 * 30), 0);
    for (int y = 2; y < 22; ++y)
        for (int x = 2; x < 22; ++x)
            if (x < 7 || x >= 17 || y < 7 || y >= 17) m.bytes[std::size_t(y * 40 + x)] = 255;
    for (int y = 25; y < 27; ++y)
        for (int x = 30; x < 33; ++x)
            m.bytes[std::size_t(y * 40 + x)] = 200;
    return m;
}

TEST(WholeMap, EveryRegionAndHoleInImageCoordinates) {
    WholeMapSettings s;
    std::strcpy(s.url, "a.html");
    const WholeMap map = MakeWholeMap(ringAndBlob(), s);
    ASSERT_EQ(map.result, HM_MAP_COMPLETE) << map.summary.status;
    EXPECT_EQ(map.summary.regions, 2);
    EXPECT_EQ(map.summary.holes, 1);
    EXPECT_EQ(map.text, "<AREA SHAPE=\"RECT\" COORDS=\"107,207,117,217\" NOHREF>\n"
                        "<AREA SHAPE=\"RECT\" COORDS=\"102,202,122,222\" HREF=\"a.html\">\n"
                        "<AREA SHAPE=\"RECT\" COORDS=\"130,225,133,227\" HREF=\"a.html\">");
    // Cut to one area: the larger region is kept, the cut is reported with the numbers.
    s.maxAreas = 1;
    s.format = HM_FORMAT_CERN;
    const WholeMap cut = MakeWholeMap(ringAndBlob(), s);
    ASSERT_EQ(cut.result, HM_MAP_CAPPED);
    EXPECT_EQ(cut.text, "rectangle (102,202) (122,222) a.html");
    EXPECT_EQ(CappedMessage(cut.summary, s),
              "The image map was cut to fit its caps of 1 area and 10000 points: the selection has 2 regions "
              "and 1 hole, the map holds 1 area with 2 points. Smaller regions were left out, each with its "
              "holes, or outlines simplified at the cost of some of their pixels; higher caps keep more.");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), cut.text);
}

TEST(WholeMap, BadSettingsAndMasksAreNeverHandedOver) {
    auto refused = [](auto change) {
        WholeMapSettings s;
        change(s);
        return !CheckWholeMapSettings(s).empty();
    };
    EXPECT_FALSE(refused([](WholeMapSettings&) {}));
    EXPECT_FALSE(
        refused([](WholeMapSettings& s) { s.maxAreas = HM_MAP_MAX_AREAS, s.maxPoints = HM_MAP_MAX_POINTS; }));
    EXPECT_TRUE(refused([](WholeMapSettings& s) { s.format = 3; }));
    EXPECT_TRUE(refused([](WholeMapSettings& s) { s.format = -1; }));
    EXPECT_TRUE(refused([](WholeMapSettings& s) { s.maxAreas = -1; }));
    EXPECT_TRUE(refused([](WholeMapSettings& s) { s.maxAreas = HM_MAP_MAX_AREAS + 1; }));
    EXPECT_TRUE(refused([](WholeMapSettings& s) { s.maxPoints = INT32_MIN; }));
    EXPECT_TRUE(refused([](WholeMapSettings& s) { std::memset(s.url, 'a', sizeof s.url); })); // no zero

    // The application the image library makes for a host (this case may run in a process of its own).
    ASSERT_TRUE(tv32::ensureApplication());
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    WholeMapSettings bad;
    bad.maxPoints = -5;
    EXPECT_EQ(MakeWholeMap(ringAndBlob(), bad).summary.status, HM_STATUS_BAD_ARGUMENT);
    SelectionMask m = ringAndBlob();
    m.bytes.pop_back();
    EXPECT_EQ(MakeWholeMap(m, WholeMapSettings{}).result, HM_MAP_FAILED);
    m.bytes.assign(std::size_t(40 * 30), 128); // nothing above half
    const WholeMap none = MakeWholeMap(m, WholeMapSettings{});
    EXPECT_EQ(none.result, HM_MAP_FAILED);
    EXPECT_EQ(none.summary.status, HM_STATUS_NOTHING_SELECTED);
    EXPECT_NE(WholeMapFailure(none.summary).find("nothing to map"), std::string::npos);
    // Not even one area fits two points: a failure with its reason, not an empty map.
    WholeMapSettings tiny;
    tiny.maxPoints = 1;
    const WholeMap small = MakeWholeMap(ringAndBlob(), tiny);
    EXPECT_EQ(small.result, HM_MAP_FAILED);
    EXPECT_EQ(small.summary.status, HM_STATUS_CAPS_TOO_SMALL);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
}

TEST(WholeMap, TheDialogShowsAndReturnsTheSettings) {
    ASSERT_TRUE(tv32::ensureApplication());
    WholeMapSettings start;
    start.format = HM_FORMAT_NCSA;
    std::strcpy(start.url, "old.html");
    WholeMapDialog d(start);
    auto* url = d.findChild<QLineEdit*>(QStringLiteral("url"));
    auto* areas = d.findChild<QSpinBox*>(QStringLiteral("maxAreas"));
    auto* points = d.findChild<QSpinBox*>(QStringLiteral("maxPoints"));
    ASSERT_TRUE(url && areas && points);
    EXPECT_TRUE(d.findChild<QRadioButton*>(QStringLiteral("format1"))->isChecked());
    EXPECT_EQ(url->text(), QStringLiteral("old.html"));
    EXPECT_EQ(areas->value(), HM_MAP_DEFAULT_AREAS) << "caps of 0 show the defaults";
    EXPECT_EQ(points->value(), HM_MAP_DEFAULT_POINTS);

    d.findChild<QRadioButton*>(QStringLiteral("format2"))->click();
    url->clear();
    QTest::keyClicks(url, QStringLiteral("  new page.html "));
    areas->setValue(3);
    WholeMapSettings s = d.settings();
    EXPECT_EQ(s.format, HM_FORMAT_CERN);
    EXPECT_STREQ(s.url, "new page.html") << "blanks at the ends go";
    EXPECT_EQ(s.maxAreas, 3);
    EXPECT_EQ(s.maxPoints, HM_MAP_DEFAULT_POINTS);
    EXPECT_TRUE(CheckWholeMapSettings(s).empty());

    // Typing stops at 259 bytes of UTF-8, also with characters of several bytes.
    url->clear();
    for (int i = 0; i < 300; ++i)
        url->insert(QString(QChar(0x00E9)));
    EXPECT_EQ(url->text().toUtf8().size(), 258);
    QTest::keyClicks(url, QStringLiteral("xyz"));
    EXPECT_EQ(url->text().toUtf8().size(), HM_URL_SIZE - 1);
    s = d.settings();
    EXPECT_EQ(std::strlen(s.url), std::size_t(HM_URL_SIZE - 1));
}

// The detached server: the text outlives the program that handed it over, and the server ends
// when another program takes the clipboard over.
TEST(Clipboard, ServedUntilTakenOver) {
    gimptest::VirtualDisplay display;
    if (!display.running()) GTEST_SKIP() << "Xvfb is not installed";
    std::string error;
    EXPECT_FALSE(HandOverClipboard("/nonexistent/program", "xcb", "x", &error, 3000));
    EXPECT_FALSE(error.empty());
    // Large enough that X hands it over in pieces.
    QByteArray text = "<AREA SHAPE=\"POLY\" COORDS=\"";
    while (text.size() < 300000)
        text += "123,456,";
    text += "\" HREF=\"x.html\">";
    ASSERT_TRUE(HandOverClipboard(KIT_IMAGE_MAP_PROGRAM, "xcb", text, &error)) << error;
    EXPECT_EQ(gimptest::ClipboardServers(), 1) << gimptest::DescribeProcessesOfThisRun().toStdString();
    const gimptest::Result r = gimptest::ReadClipboardElsewhere(QStringLiteral(KIT_TEST_PROGRAM));
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.output.trimmed().toUtf8(), text);
    EXPECT_TRUE(gimptest::WaitForNoClipboardServer());
}

} // namespace

int main(int argc, char** argv) {
    return gimptest::TestMain(argc, argv);
}
