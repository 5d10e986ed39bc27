// The library as a host sees it: loaded with dlopen from a program that is not a Qt program,
// called through its exports only, the dialog answered through the environment.
#include "borderfx/borderfx.h"

#include "imagelib/scabout.h"
#include "imagelib/tv32base.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Action = int (*)(TV32HWND, PlugInRecord*);

class Library : public testing::Test {
  protected:
    void SetUp() override {
        const int before = scAboutInitCount();
        lib_ = dlopen((std::string(KIT_BIN_DIR) + "/libborderfx.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib_, nullptr) << dlerror();
        EXPECT_EQ(scAboutInitCount(), before + 1) << "the about-box library is started at load";
        action_ = reinterpret_cast<Action>(dlsym(lib_, "TalvorPlugInAction"));
        ASSERT_NE(action_, nullptr);
    }
    void TearDown() override {
        if (lib_) dlclose(lib_);
        unsetenv(BFX_DIALOG_ANSWER_VARIABLE);
    }
    void* lib_ = nullptr;
    Action action_ = nullptr;
};

// A 24-bit image with a grey gradient and a fully opaque plane.
struct Picture {
    TV32HBUF image = 0, alpha = 0;
    Picture(int w, int h) {
        std::vector<uint8_t> px(std::size_t(w) * h * 3);
        for (std::size_t i = 0; i < px.size(); ++i)
            px[i] = uint8_t(i / 3 % 251);
        const uint8_t opaque = 255;
        EXPECT_TRUE(buf32Alloc(&image, 24, w, h, BUF32_FILL_ZERO, nullptr));
        EXPECT_TRUE(buf32MergeMem(image, 0, 0, px.data(), w, h));
        EXPECT_TRUE(buf32Alloc(&alpha, 8, w, h, BUF32_FILL_VALUE, &opaque));
    }
    ~Picture() {
        buf32Free(image);
        buf32Free(alpha);
    }
};

PlugInRecord recordFor(const Picture& p, int w, int h, TV32HBUF* resultImage, TV32HBUF* resultAlpha) {
    PlugInRecord r;
    std::memset(&r, 0, sizeof r);
    r.selection = {w / 4, h / 4, w * 3 / 4, h * 3 / 4};
    r.sourceImage = p.image;
    r.alphaSource = p.alpha;
    r.resultImage = resultImage;
    r.resultAlpha = resultAlpha;
    r.bitsPerPixel = 24;
    r.imageWidth = w;
    r.imageHeight = h;
    r.hostColor = 0x00FFFFFF;
    return r;
}

} // namespace

TEST_F(Library, ExportsOnlyTheEntryAndTheResourceLookups) {
    EXPECT_NE(dlsym(lib_, "BorderfxLoadString"), nullptr);
    EXPECT_NE(dlsym(lib_, "BorderfxFilterOutside"), nullptr);
    EXPECT_EQ(dlsym(lib_, "_ZN8borderfx20RenderFrameAndShadowEjjPKviPK17FrameShadowParamsPjiPv"), nullptr);
    EXPECT_EQ(dlsym(lib_, "_ZN8borderfx19ComposeOutsideAlphaEPK12PlugInRecordRK8TV32RECTj"), nullptr);
    auto outside = reinterpret_cast<int32_t (*)()>(dlsym(lib_, "BorderfxFilterOutside"));
    EXPECT_EQ(outside(), 1);
}

TEST_F(Library, RepeatedCallsDeliverAndLeaveNothingBehind) {
    setenv(BFX_DIALOG_ANSWER_VARIABLE, "ok", 1);
    Picture pic(120, 90);
    const int32_t live = buf32CountLive();
    for (int k = 0; k < 4; ++k) {
        TV32HBUF img = 0, alpha = 0;
        PlugInRecord r = recordFor(pic, 120, 90, &img, &alpha);
        ASSERT_EQ(action_(0, &r), 1);
        int32_t w = 0, h = 0;
        ASSERT_TRUE(buf32GetWHU(img, &w, &h, 0));
        EXPECT_EQ(w, 100); // 60 + 2 x frame + 2 x blend; the 10-pixel offset stays inside
        EXPECT_EQ(h, 85);
        EXPECT_EQ(r.originX, -30);
        EXPECT_EQ(r.originY, -10);
        EXPECT_EQ(r.params.backColor, 0x00FFFFFFu);
        buf32Free(img);
        buf32Free(alpha);
    }
    EXPECT_EQ(buf32CountLive(), live);
}

TEST_F(Library, CancelDeliversNothing) {
    setenv(BFX_DIALOG_ANSWER_VARIABLE, "cancel", 1);
    Picture pic(40, 30);
    TV32HBUF img = 0, alpha = 0;
    PlugInRecord r = recordFor(pic, 40, 30, &img, &alpha);
    EXPECT_EQ(action_(0, &r), 0);
    EXPECT_EQ(img, 0u);
    EXPECT_EQ(alpha, 0u);
    EXPECT_EQ(r.originX, 0);
    EXPECT_EQ(action_(0, nullptr), 0);
    r.resultAlpha = nullptr;
    EXPECT_EQ(action_(0, &r), 0) << "a record without a result slot is refused";
}
