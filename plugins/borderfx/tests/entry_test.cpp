// The host protocol: defaults, the dialog's OK and Cancel, the output area, the opacity plane,
// messages, the string table and what a call leaves behind.
#include "dialog.h"
#include "entry.h"
#include "messages.h"
#include "render.h"
#include "texturelib.h"

#include "testbuffers.h"

#include "desktop/services.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32txlib.h"
#include "imagelib/tv32txtur.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using namespace borderfx;
using namespace bfxtest;

namespace {

// A host: an image, its opacity plane, a selection and the two result handles.
struct Host {
    Buffers bufs;
    Image image, alpha;
    TV32HBUF resultImage = 0, resultAlpha = 0;
    PlugInRecord rec;

    Host(const Image& im, const Image& a, TV32RECT selection) : image(im), alpha(a) {
        std::memset(&rec, 0xA5, sizeof rec); // the library must not rely on zeroed fields
        rec.selection = selection;
        rec.sourceImage = bufs.make(image);
        rec.alphaSource = bufs.make(alpha);
        rec.resultImage = &resultImage;
        rec.resultAlpha = &resultAlpha;
        rec.bitsPerPixel = im.ch * 8;
        rec.originX = 100;
        rec.originY = 200;
        rec.imageWidth = im.w;
        rec.imageHeight = im.h;
        rec.hostColor = 0x00FFFFFF;
    }
    ~Host() {
        bufs.adopt(resultImage);
        bufs.adopt(resultAlpha);
    }
};

// Answers the dialog: sets the parameters a test wants, then OK.
struct DialogAnswer {
    explicit DialogAnswer(DialogHook h) { SetDialogHook(std::move(h)); }
    ~DialogAnswer() { SetDialogHook({}); }
};

void setParams(FrameShadowParams& p, int frame, int dir, int x, int y, int blend, int t) {
    p.frameWidth = frame;
    p.shadowDirection = dir;
    p.shadowOffsetX = x;
    p.shadowOffsetY = y;
    p.blendWidth = blend;
    p.transparency = t;
}

// A record for ComposeOutsideAlpha alone: a result image already rendered (here: a plain one).
struct ComposeCase {
    Buffers bufs;
    TV32HBUF result = 0, plane = 0;
    PlugInRecord rec;
    ComposeCase(int ch, const Image& alpha, TV32RECT sel, TV32RECT out, uint8_t pixel) {
        std::memset(&rec, 0, sizeof rec);
        rec.selection = sel;
        rec.alphaSource = bufs.make(alpha);
        rec.imageWidth = alpha.w;
        rec.imageHeight = alpha.h;
        result = bufs.make(plain(out.right - out.left, out.bottom - out.top, ch, pixel));
        rec.resultImage = &result;
        rec.resultAlpha = &plane;
        rec.params.shadowColor = 0x00306090;
    }
    ~ComposeCase() { bufs.adopt(plane); }
};

} // namespace

TEST(Defaults, WrittenWhateverTheHostPutAndHostFieldsKept) {
    PlugInRecord r;
    std::memset(&r, 0x5A, sizeof r);
    r.hostColor = 0x00123456;
    const PlugInRecord before = r;
    SetDefaultParams(&r);
    EXPECT_EQ(r.params.frameWidth, 10);
    EXPECT_EQ(r.params.shadowDirection, 2);
    EXPECT_EQ(r.params.shadowOffsetX, 10);
    EXPECT_EQ(r.params.shadowOffsetY, 10);
    for (int side : r.params.frameSides)
        EXPECT_EQ(side, 10);
    EXPECT_EQ(r.params.frameColor, 0x00FF0000u);
    EXPECT_EQ(r.params.shadowColor, 0u);
    EXPECT_EQ(r.params.backColor, 0x00123456u);
    EXPECT_EQ(r.params.transparency, 20);
    EXPECT_EQ(r.params.blendWidth, 10);
    EXPECT_EQ(r.params.frameFill, 0);
    EXPECT_EQ(r.params.textureData, nullptr);
    EXPECT_EQ(r.textureIndex, 1);
    EXPECT_EQ(std::memcmp(&r.params.placement, &before.params.placement, sizeof r.params.placement), 0);
    EXPECT_EQ(r.params.reserved48, before.params.reserved48);
    EXPECT_EQ(std::memcmp(&r.selection, &before.selection,
                          offsetof(PlugInRecord, textureIndex) - offsetof(PlugInRecord, selection)),
              0);
    EXPECT_EQ(
        std::memcmp(&r.bitsPerPixel, &before.bitsPerPixel, sizeof r - offsetof(PlugInRecord, bitsPerPixel)),
        0);
}

TEST(Entry, DeliversTheFramedSelectionAndItsOpacityPlane) {
    const Image im = pattern(80, 60, 3, 21);
    Host host(im, plain(80, 60, 1, 0), {30, 20, 50, 40});
    DialogAnswer ok([](PlugInRecord*) { return 1; });
    ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 1);
    // Defaults: frame 10, shadow 10, 10 down and to the left, blend 10: grows 30 left, 10 top.
    EXPECT_EQ(host.rec.originX, 100 - 30);
    EXPECT_EQ(host.rec.originY, 200 - 10);
    EXPECT_EQ(host.rec.params.placement.right, 60);
    EXPECT_EQ(host.rec.params.placement.bottom, 60);
    const Image out = read(host.resultImage), a = read(host.resultAlpha);
    ASSERT_EQ(out.w, 60);
    ASSERT_EQ(out.h, 60);
    // Output area (0, 10, 60, 70) clipped to the image: (0, 10, 60, 60).
    ASSERT_EQ(a.w, 60);
    ASSERT_EQ(a.h, 50);
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(std::memcmp(out.at(30, 10 + y), im.at(30, 20 + y), 60), 0) << "selection row " << y;
    EXPECT_EQ(out.at(20, 0)[2], 0xFF) << "blue frame";
    EXPECT_EQ(a.at(25, 5)[0], 255) << "frame opaque";
    EXPECT_EQ(a.at(35, 15)[0], 0) << "selection keeps its opacity";
    // Deep in the shadow, on a transparent pixel: plain shadow colour, opacity g = 204.
    EXPECT_EQ(a.at(15, 45)[0], 204);
    EXPECT_EQ(out.at(15, 45)[0], 0);
    // In its soft edge the opacity falls.
    EXPECT_LT(a.at(5, 45)[0], 204);
}

TEST(Entry, ZeroParametersGiveAPlainCopy) {
    const Image im = pattern(40, 30, 3, 3), al = pattern(40, 30, 1, 4);
    Host host(im, al, {5, 6, 25, 26});
    DialogAnswer ok([](PlugInRecord* r) {
        setParams(r->params, 0, 2, 0, 0, 0, 20);
        return 1;
    });
    ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 1);
    EXPECT_EQ(host.rec.originX, 100);
    EXPECT_EQ(host.rec.originY, 200);
    const Image out = read(host.resultImage), a = read(host.resultAlpha);
    ASSERT_EQ(out.w, 20);
    ASSERT_EQ(a.h, 20);
    for (int y = 0; y < 20; ++y) {
        EXPECT_EQ(std::memcmp(out.at(0, y), im.at(5, 6 + y), 60), 0);
        EXPECT_EQ(std::memcmp(a.at(0, y), al.at(5, 6 + y), 20), 0);
    }
}

TEST(Entry, SelectionAtTheTopLeftEdgeAndGivenResultBuffers) {
    const Image im = pattern(50, 40, 1, 7);
    Host host(im, plain(50, 40, 1, 255), {0, 0, 20, 10});
    DialogAnswer ok([](PlugInRecord* r) {
        setParams(r->params, 4, 0, 6, 6, 3, 20); // up and to the left: grows 13 on both sides
        return 1;
    });
    // The host hands in buffers of its own: the results are copied into them. Up and to the left
    // the shadow reaches 13 beyond the selection, the frame 4 on the other sides: 37 x 27.
    host.resultImage = host.bufs.make(plain(37, 27, 1, 9));
    host.resultAlpha = host.bufs.make(plain(24, 14, 1, 9));
    const TV32HBUF givenImage = host.resultImage, givenAlpha = host.resultAlpha;
    ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 1);
    EXPECT_EQ(host.resultImage, givenImage);
    EXPECT_EQ(host.resultAlpha, givenAlpha);
    host.resultImage = host.resultAlpha = 0; // owned by bufs already
    EXPECT_EQ(host.rec.originX, 100 - 13);
    const Image out = read(givenImage), a = read(givenAlpha);
    EXPECT_EQ(std::memcmp(out.at(13, 13), im.at(0, 0), 20), 0);
    // The plane covers only the part of the output area inside the image: (0, 0, 24, 14) here.
    EXPECT_EQ(a.at(0, 0)[0], 255);
}

TEST(Entry, CancelRestoresTheBlockAndRecordsTheCancellation) {
    Host host(pattern(30, 30, 3, 1), plain(30, 30, 1, 0), {5, 5, 15, 15});
    c32ResetDLLErrInfo();
    DialogAnswer cancel([](PlugInRecord* r) {
        setParams(r->params, 33, 1, 4, 4, 0, 50);
        r->params.frameColor = 0x123;
        return 0;
    });
    const int32_t live = buf32CountLive();
    ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 0);
    EXPECT_EQ(host.resultImage, 0u);
    EXPECT_EQ(host.resultAlpha, 0u);
    EXPECT_EQ(buf32CountLive(), live);
    EXPECT_EQ(host.rec.params.frameWidth, 10);
    EXPECT_EQ(host.rec.params.frameColor, 0x00FF0000u);
    int32_t info[6];
    ASSERT_EQ(c32GetDLLErrInfo(info), 1);
    const int32_t expected[6] = {0, 0, 5200, 0, 0, 0};
    EXPECT_EQ(std::memcmp(info, expected, sizeof info), 0);
}

TEST(Entry, EveryCallStartsFromTheDefaultsAndLeavesNoBuffers) {
    int calls = 0;
    DialogAnswer ok([&](PlugInRecord* r) {
        EXPECT_EQ(r->params.frameWidth, 10) << "call " << calls;
        EXPECT_EQ(r->params.shadowDirection, 2);
        EXPECT_EQ(r->params.transparency, 20);
        setParams(r->params, 3, 3, 2, 9, 4, 70);
        ++calls;
        return 1;
    });
    const int32_t live = buf32CountLive();
    for (int k = 0; k < 3; ++k) {
        Host host(pattern(30, 30, 3, uint32_t(k)), plain(30, 30, 1, 0), {5, 5, 15, 15});
        ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 1);
    }
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(buf32CountLive(), live) << "the work images are freed, the delivered ones released by the host";
}

TEST(Entry, TextureObjectLeftInTheRecordIsReleasedAtTheNextCall) {
    static int released = 0;
    static int object = 0;
    TextureRelease previous = SetTextureRelease([](void* t) {
        EXPECT_EQ(t, &object);
        ++released;
        return 1;
    });
    {
        DialogAnswer ok([](PlugInRecord* r) {
            setParams(r->params, 0, 2, 0, 0, 0, 20);
            r->params.textureData = &object; // as the texture picker leaves it
            return 1;
        });
        Host host(pattern(10, 10, 3, 1), plain(10, 10, 1, 0), {2, 2, 8, 8});
        ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 1);
        EXPECT_EQ(host.rec.params.textureData, &object) << "left for the host to look at";
        EXPECT_EQ(released, 0);
        EXPECT_EQ(PendingTexture(), &object);
    }
    {
        DialogAnswer cancel([](PlugInRecord*) { return 0; });
        Host host(pattern(10, 10, 3, 1), plain(10, 10, 1, 0), {2, 2, 8, 8});
        ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 0);
        EXPECT_EQ(released, 1);
        EXPECT_EQ(PendingTexture(), nullptr);
    }
    SetTextureRelease(previous);
}

TEST(Entry, AllocationFailureShowsInsufficientMemory) {
    desktop::Recorder recorder;
    Host host(pattern(10, 10, 3, 1), plain(10, 10, 1, 0), {2, 2, 8, 8});
    DialogAnswer ok([](PlugInRecord*) { return 1; });
    const int32_t live = buf32CountLive();
    buf32FailAfter(0); // the first buffer of the call cannot be made
    EXPECT_EQ(TalvorPlugInAction(0, &host.rec), 0);
    buf32FailAfter(-1);
    EXPECT_EQ(buf32CountLive(), live);
    const auto boxes = recorder.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Frame and Shadow - Talvor Sitecraft"));
    EXPECT_EQ(boxes[0].text,
              QStringLiteral("Insufficient memory. \nPlease close some programs and try again."));
    EXPECT_EQ(boxes[0].icon, desktop::BoxIcon::Error);
    int32_t info[6];
    ASSERT_EQ(c32GetDLLErrInfo(info), 1);
    EXPECT_EQ(info[2], BFX_ERR_NO_MEMORY);
    EXPECT_EQ(info[3], 508);
}

// Memory running out at any step after the dialog: the call fails with message 508 and leaves
// nothing behind: no buffer in the slots or anywhere else, the host's buffers and origin as they
// were.
TEST(Entry, FailureAtEveryStepLeavesNothingBehind) {
    desktop::Recorder recorder;
    for (bool given : {false, true}) {
        int succeededAt = -1;
        for (int allowed = 0; allowed < 40 && succeededAt < 0; ++allowed) {
            SCOPED_TRACE(testing::Message()
                         << (given ? "given buffers, " : "") << allowed << " buffers allowed");
            Host host(pattern(60, 50, 3, 2), plain(60, 50, 1, 0), {20, 15, 40, 35});
            DialogAnswer ok([](PlugInRecord* r) {
                setParams(r->params, 3, 3, 4, 5, 6, 30);
                return 1;
            });
            if (given) {
                // Frame 3, blend 6, shadow (4, 5) down-right: 38 x 38 at (15, 11), all in the image.
                host.resultImage = host.bufs.make(plain(38, 38, 3, 9));
                host.resultAlpha = host.bufs.make(plain(38, 38, 1, 9));
            }
            const TV32HBUF image = host.resultImage, plane = host.resultAlpha;
            const int32_t live = buf32CountLive();
            buf32FailAfter(allowed);
            const int result = TalvorPlugInAction(0, &host.rec);
            buf32FailAfter(-1);
            if (result == 1) {
                succeededAt = allowed;
                if (given) {
                    EXPECT_EQ(host.resultImage, image);
                    EXPECT_FALSE(read(image) == plain(38, 38, 3, 9));
                }
                break;
            }
            EXPECT_EQ(buf32CountLive(), live);
            EXPECT_EQ(host.resultImage, image);
            EXPECT_EQ(host.resultAlpha, plane);
            if (given) {
                EXPECT_TRUE(read(image) == plain(38, 38, 3, 9));
                EXPECT_TRUE(read(plane) == plain(38, 38, 1, 9));
            }
            EXPECT_EQ(host.rec.originX, 100);
            EXPECT_EQ(host.rec.originY, 200);
            int32_t info[6];
            ASSERT_EQ(c32GetDLLErrInfo(info), 1);
            EXPECT_EQ(info[2], BFX_ERR_NO_MEMORY);
        }
        EXPECT_GT(succeededAt, 3) << "several buffers are made on the way";
    }
}

// What the host puts in the record is checked before anything is shown or written.
TEST(Entry, HostRecordsThatCannotBeServedFailWithTheirReason) {
    struct Case {
        const char* what;
        void (*spoil)(Host&);
        int32_t code;
    };
    static TV32HBUF stale = 0;
    if (!stale) {
        buf32Alloc(&stale, 8, 1, 1, BUF32_FILL_ZERO, nullptr);
        buf32Free(stale);
    }
    const Case cases[] = {
        {"no image slot", [](Host& h) { h.rec.resultImage = nullptr; }, BFX_ERR_BAD_RECORD},
        {"one slot for both", [](Host& h) { h.rec.resultAlpha = h.rec.resultImage; }, BFX_ERR_BAD_RECORD},
        {"16 bits", [](Host& h) { h.rec.bitsPerPixel = 16; }, BFX_ERR_IMAGE_KIND},
        {"8 bits for a 24-bit image", [](Host& h) { h.rec.bitsPerPixel = 8; }, BFX_ERR_IMAGE_KIND},
        {"stale source", [](Host& h) { h.rec.sourceImage = stale; }, BFX_ERR_BAD_RECORD},
        {"stale plane", [](Host& h) { h.rec.alphaSource = stale; }, BFX_ERR_BAD_RECORD},
        {"24-bit plane", [](Host& h) { h.rec.alphaSource = h.rec.sourceImage; }, BFX_ERR_IMAGE_KIND},
        {"width -5", [](Host& h) { h.rec.imageWidth = -5; }, BFX_ERR_BAD_RECORD},
        {"height 0", [](Host& h) { h.rec.imageHeight = 0; }, BFX_ERR_BAD_RECORD},
        {"empty selection",
         [](Host& h) {
             h.rec.selection = {10, 10, 10, 20};
         },
         BFX_ERR_NO_SELECTION},
        {"inverted selection",
         [](Host& h) {
             h.rec.selection = {20, 10, 10, 20};
         },
         BFX_ERR_NO_SELECTION},
        {"selection past the image",
         [](Host& h) {
             h.rec.selection = {0, 0, INT_MAX, INT_MAX};
         },
         BFX_ERR_NO_SELECTION},
        {"selection past imageWidth", [](Host& h) { h.rec.imageWidth = 15; }, BFX_ERR_NO_SELECTION},
        {"stale result buffer", [](Host& h) { h.resultImage = stale; }, BFX_ERR_RESULT_BUFFER},
        {"origin at the end of the range", [](Host& h) { h.rec.originX = INT_MIN + 5; }, BFX_ERR_BAD_RECORD},
    };
    desktop::Recorder recorder;
    int dialogs = 0;
    DialogAnswer ok([&](PlugInRecord*) {
        ++dialogs;
        return 1;
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Host host(pattern(30, 30, 3, 1), plain(30, 30, 1, 0), {5, 5, 20, 20});
        c.spoil(host);
        const int32_t live = buf32CountLive();
        const PlugInRecord before = host.rec;
        c32ResetDLLErrInfo();
        EXPECT_EQ(TalvorPlugInAction(0, &host.rec), 0);
        int32_t info[6];
        ASSERT_EQ(c32GetDLLErrInfo(info), 1);
        EXPECT_EQ(info[2], c.code);
        EXPECT_EQ(buf32CountLive(), live);
        if (host.rec.originX != INT_MIN + 5) { // refused before the defaults are written
            EXPECT_EQ(std::memcmp(&host.rec.selection, &before.selection,
                                  sizeof host.rec - offsetof(PlugInRecord, selection)),
                      0)
                << "the host's fields are left alone";
        }
        if (host.resultImage == stale) host.resultImage = 0;
    }
    EXPECT_EQ(dialogs, 1) << "only the record whose origin cannot move gets as far as the dialog";
    EXPECT_TRUE(recorder.boxes().empty());
    EXPECT_EQ(TalvorPlugInAction(0, nullptr), 0);
}

// A result buffer of the wrong size or depth was written past its end, cropped into, or given
// half its values; now the call refuses it and leaves it as it was.
TEST(Entry, ResultBuffersOfAnotherSizeOrDepthAreRefusedUntouched) {
    // Defaults on a 40 x 30 selection of an 80 x 60 image: output area 60 x 60 at (0, 10),
    // its plane 60 x 50.
    struct Given {
        int w, h, ch;
        bool image; // the image slot, else the plane slot
    };
    const Given wrong[] = {{10, 10, 1, false}, {4, 4, 1, false},  {80, 60, 1, false}, {60, 50, 3, false},
                           {60, 60, 1, false}, {59, 60, 3, true}, {60, 60, 1, true},  {80, 60, 3, true}};
    DialogAnswer ok([](PlugInRecord*) { return 1; });
    for (const Given& g : wrong) {
        SCOPED_TRACE(testing::Message()
                     << g.w << " x " << g.h << " x " << g.ch << (g.image ? " image" : " plane"));
        Host host(pattern(80, 60, 3, 4), plain(80, 60, 1, 0), {30, 20, 50, 40});
        const Image filled = plain(g.w, g.h, g.ch, 0x5A);
        TV32HBUF& slot = g.image ? host.resultImage : host.resultAlpha;
        slot = host.bufs.make(filled);
        const TV32HBUF handed = slot;
        const int32_t live = buf32CountLive();
        EXPECT_EQ(TalvorPlugInAction(0, &host.rec), 0);
        int32_t info[6];
        ASSERT_EQ(c32GetDLLErrInfo(info), 1);
        EXPECT_EQ(info[2], BFX_ERR_RESULT_BUFFER);
        EXPECT_EQ(slot, handed);
        EXPECT_TRUE(read(handed) == filled);
        EXPECT_EQ(host.resultImage == handed ? 0u : host.resultImage, 0u);
        EXPECT_EQ(host.resultAlpha == handed ? 0u : host.resultAlpha, 0u);
        EXPECT_EQ(buf32CountLive(), live);
        EXPECT_EQ(host.rec.originX, 100);
        slot = 0; // owned by bufs
    }
}

// Parameters a dialog can never give (answered here by a hook) are refused before rendering.
TEST(Entry, ParametersOutOfRangeAreRefused) {
    const struct {
        int frame, x, y, blend, t;
    } bad[] = {{-1, 0, 0, 0, 20},     {0, -5, 0, 0, 20},      {0, 0, INT_MIN, 0, 20},
               {0, 0, 0, -3, 20},     {0, 0, 0, 0, -1},       {0, 0, 0, 0, 101},
               {0, 0, 0, 0, INT_MIN}, {INT_MAX, 0, 0, 0, 20}, {0, INT_MAX, 0, INT_MAX, 20}};
    for (const auto& b : bad) {
        SCOPED_TRACE(testing::Message()
                     << b.frame << " " << b.x << " " << b.y << " " << b.blend << " " << b.t);
        Host host(pattern(30, 30, 3, 1), plain(30, 30, 1, 0), {5, 5, 20, 20});
        DialogAnswer ok([&](PlugInRecord* r) {
            setParams(r->params, b.frame, 3, b.x, b.y, b.blend, b.t);
            return 1;
        });
        const int32_t live = buf32CountLive();
        EXPECT_EQ(TalvorPlugInAction(0, &host.rec), 0);
        int32_t info[6];
        ASSERT_EQ(c32GetDLLErrInfo(info), 1);
        EXPECT_TRUE(info[2] == BFX_ERR_BAD_PARAMETERS || info[2] == BFX_ERR_NO_MEMORY) << info[2];
        EXPECT_EQ(buf32CountLive(), live);
        EXPECT_EQ(host.resultImage, 0u);
        EXPECT_EQ(host.resultAlpha, 0u);
    }
}

TEST(Messages, OnlyMessageIdsAreShownAndExtraTextGoesOnANewLine) {
    desktop::Recorder recorder;
    EXPECT_EQ(ShowError(505, "/opt/kit/qxmagic.smp"), 1);
    EXPECT_EQ(ShowError(700, nullptr), 0);
    EXPECT_EQ(ShowError(11900, nullptr), 0);
    EXPECT_EQ(ShowError(500, nullptr), 0) << "no text for 500";
    const auto boxes = recorder.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Unable to load texture file.\n/opt/kit/qxmagic.smp"));
    char dir[4096];
    ASSERT_EQ(GetModuleDir(dir, sizeof dir), 1);
    EXPECT_EQ(dir[std::strlen(dir) - 1], '/');
    char small[2];
    EXPECT_EQ(GetModuleDir(small, sizeof small), 0);
    EXPECT_EQ(small[0], '\0');
}

TEST(Strings, TableAsTheHostReadsIt) {
    char buf[300];
    const char* dll = "Unable to load DLL. \n\rPlease re-install Talvor Sitecraft for Photoshop.";
    EXPECT_EQ(BorderfxLoadString(502, buf, sizeof buf), int(std::strlen(dll)));
    EXPECT_STREQ(buf, dll);
    BorderfxLoadString(510, buf, sizeof buf);
    EXPECT_STREQ(buf, "Please input a value between ");
    BorderfxLoadString(701, buf, sizeof buf);
    EXPECT_STREQ(buf, "Software\\Talvor Systems\\Netfold for APS\\1.0\\path");
    BorderfxLoadString(16999, buf, sizeof buf);
    EXPECT_STREQ(buf, "This plug-in requires Adobe Photoshop 2.5.2 or later to function properly");
    const char* libs[] = {"tv32brows", "tv32print", "tv32feui",  "tv32txtur", "tv32tu",
                          "tv32tx",    "tv32r2v",   "tv32cvt",   nullptr,     "tv32txtur",
                          "tv32base",  "tv32base",  "tv32base",  "tv32base",  "tv32base",
                          "tv32comm",  "tv32comm",  "tv32clips", "tv32clips", "tv32sel"};
    for (int i = 0; i < 20; ++i) {
        const int n = BorderfxLoadString(11900 + i, buf, sizeof buf);
        if (libs[i]) {
            EXPECT_STREQ(buf, libs[i]) << 11900 + i;
        } else {
            EXPECT_EQ(n, 0) << "11908 is absent";
        }
    }
    EXPECT_EQ(BorderfxLoadString(500, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(BorderfxLoadString(700, buf, 6), 5);
    EXPECT_STREQ(buf, "Frame");
    EXPECT_EQ(BorderfxFilterOutside(), 1);
}

TEST(OutsideAlpha, ShadowOnTransparentPartlyAndFullyOpaquePixels) {
    // Selection (10, 10, 20, 20) of a 40 x 40 image, no frame, shadow 5 down-right, no blending:
    // D = (15, 15, 25, 25); output O = (10, 10, 25, 25).
    for (int ch : {1, 3}) {
        Image al = plain(40, 40, 1, 0);
        al.at(22, 22)[0] = 255;
        al.at(23, 22)[0] = 100;
        for (int T : {0, 20, 99}) {
            ComposeCase cc(ch, al, {10, 10, 20, 20}, {10, 10, 25, 25}, 200);
            setParams(cc.rec.params, 0, 3, 5, 5, 0, T);
            ASSERT_EQ(ComposeOutsideAlpha(&cc.rec, {10, 10, 25, 25}), 1);
            const Image out = read(cc.result), a = read(cc.plane);
            const unsigned g = unsigned(uint8_t((100 - T) * 255 / 100));
            if (T == 99) {
                EXPECT_EQ(g, 2u);
            }
            if (T == 0) {
                EXPECT_EQ(g, 255u);
            }
            const uint8_t shade3[3] = {0x90, 0x60, 0x30};
            const uint8_t grey = uint8_t((0x90 * 299 + 0x60 * 587 + 0x30 * 114) / 1000);
            const uint8_t* s = ch == 3 ? shade3 : &grey;
            // a = 0: the plain shadow colour, opacity g.
            EXPECT_EQ(a.at(22 - 10, 21 - 10)[0], g);
            EXPECT_EQ(std::memcmp(out.at(12, 11), s, std::size_t(ch)), 0);
            // a = 255: unchanged.
            EXPECT_EQ(a.at(12, 12)[0], 255);
            EXPECT_EQ(out.at(12, 12)[0], 200);
            // Partly opaque: weighted colour, combined opacity.
            EXPECT_EQ(a.at(13, 12)[0], 255 - (255 - 100) * (255 - g) / 255);
            for (int k = 0; k < ch; ++k)
                EXPECT_EQ(out.at(13, 12)[k], (s[k] * g + 200 * 100) / (g + 100));
            // Inside the selection and outside D nothing changes.
            EXPECT_EQ(a.at(5, 5)[0], 0);
            EXPECT_EQ(out.at(5, 5)[0], 200);
            EXPECT_EQ(a.at(2, 12)[0], 0);
            EXPECT_EQ(out.at(2, 12)[0], 200);
        }
    }
}

TEST(OutsideAlpha, FrameIsOpaqueAndTheMaskScalesTheShadow) {
    const Image al = plain(60, 60, 1, 0);
    // Selection (20, 20, 30, 30), frame 2, blend 4, shadow 3 up-left: F = (18, 18, 32, 32),
    // D = (14, 14, 36, 36) moved by (-3, -3) = (11, 11, 33, 33); O = (11, 11, 32, 32).
    const TV32RECT o{11, 11, 32, 32};
    ComposeCase cc(3, al, {20, 20, 30, 30}, o, 50);
    setParams(cc.rec.params, 2, 0, 3, 3, 4, 20);
    ASSERT_EQ(ComposeOutsideAlpha(&cc.rec, o), 1);
    const Image a = read(cc.plane);
    TV32HBUF m = 0;
    ASSERT_EQ(BuildSoftEdgeMask(&m, 22, 22, 4, nullptr), 1);
    const Image mask = read(m);
    buf32Free(m);
    for (int y = 11; y < 32; ++y)
        for (int x = 11; x < 32; ++x) {
            const bool inS = x >= 20 && x < 30 && y >= 20 && y < 30;
            const bool inF = x >= 18 && x < 32 && y >= 18 && y < 32;
            const unsigned expected = inS ? 0 : inF ? 255 : mask.at(x - 11, y - 11)[0] * 204u / 255;
            EXPECT_EQ(a.at(x - 11, y - 11)[0], expected) << x << "," << y;
        }
}

TEST(Entry, OutputAreaBeyondSixteenBitsKeepsItsCoordinates) {
    // A selection right of x = 32767: cut to 16 bits the output area would wrap to negative x
    // and copy the wrong pixels.
    const Image im = pattern(40100, 12, 3, 31);
    Host host(im, plain(40100, 12, 1, 255), {40000, 2, 40050, 10});
    DialogAnswer ok([](PlugInRecord* r) {
        setParams(r->params, 2, 3, 0, 0, 0, 20);
        return 1;
    });
    ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 1);
    const Image out = read(host.resultImage);
    ASSERT_EQ(out.w, 54);
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(std::memcmp(out.at(2, 2 + y), im.at(40000, 2 + y), 150), 0);
    EXPECT_EQ(out.at(0, 0)[2], 255) << "blue frame";
}

// The texture library loaded while the dialog is open is released after rendering; the
// texture it gave stays in the record until the next call.
TEST(Entry, ReleasesTheLoadedTextureLibraryAfterRendering) {
    QTemporaryDir dir;
    void* t = nullptr;
    ASSERT_TRUE(tv32TextureDataAlloc(&t, 0, 0));
    const TV32TEXLIBITEM item{t, "One"};
    ASSERT_TRUE(tv32TextureLibraryWrite(dir.filePath("qxmagic.smp").toUtf8().constData(), &item, 1, 8, 8));
    tv32TextureDataFree(t);
    borderfx::SetLibraryFolder(dir.path().toStdString() + "/");
    {
        DialogAnswer ok([](PlugInRecord* r) {
            borderfx::EnsureTexture(r->textureIndex, &r->params.textureData);
            EXPECT_NE(borderfx::LoadedLibrary(), nullptr);
            r->params.frameFill = BFX_FILL_TEXTURE;
            return 1;
        });
        Host host(pattern(40, 40, 3, 1), plain(40, 40, 1, 0), {10, 10, 30, 30});
        ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 1);
        EXPECT_NE(host.rec.params.textureData, nullptr);
        EXPECT_EQ(borderfx::LoadedLibrary(), nullptr);
    }
    borderfx::SetLibraryFolder({});
}

// The opacity plane made with the mask the rendering kept is the one made with a mask built here;
// a mask of another size is not taken.
TEST(OutsideAlpha, SharedMaskGivesTheSamePlaneAsOneBuiltHere) {
    Image al = pattern(70, 50, 1, 3);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 70; x += 3)
            al.at(x, y)[0] = x % 2 ? 255 : 0;
    // Selection (21, 12, 44, 31), frame 3, blend 5, shadow 4 right, 6 down:
    // F = (18, 9, 47, 34), D = (13, 4, 52, 39) moved to (17, 10, 56, 45); O = (17, 9, 56, 45).
    const TV32RECT sel{21, 12, 44, 31}, o{17, 9, 56, 45};
    for (int ch : {1, 3}) {
        Image planes[3], results[3];
        for (int k = 0; k < 3; ++k) {
            ComposeCase cc(ch, al, sel, o, 77);
            setParams(cc.rec.params, 3, 3, 4, 6, 5, 30);
            TV32HBUF mask = 0;
            if (k > 0) {
                ASSERT_EQ(BuildSoftEdgeMask(&mask, k == 1 ? 39 : 38, 35, 5, nullptr), 1);
            }
            ASSERT_EQ(ComposeOutsideAlpha(&cc.rec, o, mask), 1);
            if (mask) {
                EXPECT_TRUE(buf32Free(mask)) << "the mask stays the caller's";
            }
            planes[k] = read(cc.plane);
            results[k] = read(cc.result);
        }
        EXPECT_TRUE(planes[1] == planes[0]) << ch;
        EXPECT_TRUE(results[1] == results[0]) << ch;
        EXPECT_TRUE(planes[2] == planes[0]) << ch;
        EXPECT_TRUE(results[2] == results[0]) << ch;
    }
}

// A whole call against its steps run one by one (rendering, then the opacity plane with a mask
// of its own), for odd sizes, selections touching each edge of the image and two cell sizes.
TEST(Entry, CallEqualsItsStepsRunSeparately) {
    const TV32RECT selections[] = {{0, 0, 23, 17}, {18, 9, 53, 41}, {30, 20, 53, 41}, {1, 40, 52, 41}};
    for (int cell : {0, 6}) {
        ASSERT_TRUE(buf32SetCellSize(cell, cell));
        for (int ch : {1, 3}) {
            const Image im = pattern(53, 41, ch, 9);
            Image al = pattern(53, 41, 1, 10);
            for (int i = 0; i < 53 * 41; i += 4)
                al.px[std::size_t(i)] = i % 8 ? 255 : 0;
            for (const TV32RECT& sel : selections) {
                SCOPED_TRACE(testing::Message()
                             << "cell " << cell << ", " << ch << " channels, selection " << sel.left << ","
                             << sel.top << "," << sel.right << "," << sel.bottom);
                auto choose = [](PlugInRecord* r) {
                    setParams(r->params, 3, 1, 5, 2, 6, 25);
                    r->params.shadowColor = 0x00405060;
                    return 1;
                };
                Host host(im, al, sel);
                {
                    DialogAnswer ok(choose);
                    ASSERT_EQ(TalvorPlugInAction(0, &host.rec), 1);
                }
                // The same steps by hand.
                Host steps(im, al, sel);
                SetDefaultParams(&steps.rec);
                choose(&steps.rec);
                Buffers work;
                TV32HBUF selection = 0, output = 0;
                const int sw = sel.right - sel.left, sh = sel.bottom - sel.top;
                ASSERT_TRUE(buf32Alloc(&selection, ch * 8, sw, sh, BUF32_FILL_ZERO, nullptr));
                work.adopt(selection);
                OutputArea out;
                ASSERT_EQ(ComputeOutputArea(&steps.rec, selection, &out), 1);
                const int ow = out.area.right - out.area.left, oh = out.area.bottom - out.area.top;
                ASSERT_TRUE(buf32GetBuf(steps.rec.sourceImage, out.area.left, out.area.top, ow, oh, &output));
                work.adopt(output);
                ASSERT_TRUE(buf32GetBuf(output, out.growLeft, out.growTop, sw, sh, &selection));
                ASSERT_EQ(RenderFrameAndShadow(selection, output, nullptr, 2, &steps.rec.params,
                                               steps.rec.resultImage, 0, nullptr),
                          1);
                ASSERT_EQ(ComposeOutsideAlpha(&steps.rec, out.area), 1);
                // The offset of 5 stays within the blend on the left.
                ASSERT_EQ(read(host.resultImage).w, sw + 2 * (3 + 6));
                EXPECT_TRUE(read(host.resultImage) == read(steps.resultImage));
                EXPECT_TRUE(read(host.resultAlpha) == read(steps.resultAlpha));
            }
        }
    }
    buf32SetCellSize(0, 0);
}
