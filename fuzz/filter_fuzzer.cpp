// The frame filter's entry with a record made from the input: source image, opacity plane,
// selection, sizes, origin, bits per pixel and the result slots (empty, stale, shared, or holding
// buffers of the input's sizes, or of the result's own sizes as a first call learned them); the
// dialog answered OK with parameters from the input. Checks what a host relies on: a call that
// fails says why, writes nothing into the host's buffers or slots and leaves no buffer behind; a
// call that delivers hands over buffers of the result's depth.
#include "bytes.h"

#include "dialog.h"

#include "borderfx/borderfx.h"
#include "imagelib/tv32base.h"
#include "imagelib/tv32comm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using fuzzinput::Bytes;

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "filter fuzzer: %s\n", what);
    std::abort();
}

TV32HBUF made(Bytes& in, int bits, int32_t w, int32_t h) {
    TV32HBUF b = 0;
    if (!buf32Alloc(&b, bits, w, h, BUF32_FILL_ZERO, nullptr)) return 0;
    std::vector<uint8_t> px(std::size_t(w) * std::size_t(h) * std::size_t(bits / 8));
    const uint8_t seed = in.u8();
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = uint8_t(seed + i * 13 + (i >> 5));
    buf32MergeMem(b, 0, 0, px.data(), w, h);
    return b;
}

std::vector<uint8_t> pixelsOf(TV32HBUF b) {
    BUF32INFO info;
    if (!buf32GetInfo(b, &info)) return {};
    std::vector<uint8_t> px(std::size_t(info.dataSize));
    buf32GetMem(b, 0, 0, info.width, info.height, px.data());
    return px;
}

// The parameters the dialog is answered with: as the user set them, or any values at all.
struct Answer {
    bool ok = true, keep = true;
    FrameShadowParams params{};
};
Answer gAnswer;

int answerDialog(PlugInRecord* r) {
    if (!gAnswer.keep) {
        void* texture = r->params.textureData;
        r->params = gAnswer.params;
        r->params.textureData = texture;
    }
    return gAnswer.ok ? 1 : 0;
}

// One call with the slots as the input says; the checks after it.
void call(PlugInRecord& rec, TV32HBUF* image, TV32HBUF* alpha) {
    const int32_t live = buf32CountLive();
    const TV32HBUF givenImage = image ? *image : 0, givenAlpha = alpha ? *alpha : 0;
    const std::vector<uint8_t> imageBefore = pixelsOf(givenImage), alphaBefore = pixelsOf(givenAlpha);
    const int32_t originX = rec.originX, originY = rec.originY;
    const int result = TalvorPlugInAction(0, &rec);
    if (result == 1) {
        BUF32INFO info;
        if (!buf32GetInfo(*image, &info) || info.bitsPerPixel != rec.bitsPerPixel) finding("delivered image");
        if (!buf32GetInfo(*alpha, &info) || info.bitsPerPixel != 8) finding("delivered plane");
        if (!givenImage) buf32Free(*image);
        if (!givenAlpha) buf32Free(*alpha);
        *image = givenImage;
        *alpha = givenAlpha;
    } else {
        if (result != 0) finding("result neither 0 nor 1");
        int32_t info[6];
        if (!c32GetDLLErrInfo(info) || info[2] == 0) finding("failure without a reason");
        if ((image && *image != givenImage) || (alpha && *alpha != givenAlpha)) finding("slot written");
        if (pixelsOf(givenImage) != imageBefore || pixelsOf(givenAlpha) != alphaBefore)
            finding("host buffer written by a failing call");
        if (rec.originX != originX || rec.originY != originY) finding("origin moved by a failing call");
    }
    if (buf32CountLive() != live) finding("buffers left behind");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The dialog is answered here; boxes go to a log; no display is needed.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("KIT_DESKTOP_LOG", "/dev/null", 1);
    borderfx::SetDialogHook(answerDialog);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    static const int32_t cells[][2] = {{0, 0}, {5, 3}, {37, 11}};
    const auto& cell = cells[in.pick(3)];
    buf32SetCellSize(cell[0], cell[1]);

    const int bits = in.pick(4) == 0 ? 8 : 24;
    const int32_t w = 1 + in.pick(48), h = 1 + in.pick(48);
    const TV32HBUF stale = [] {
        TV32HBUF b = 0;
        buf32Alloc(&b, 8, 1, 1, BUF32_FILL_ZERO, nullptr);
        buf32Free(b);
        return b;
    }();
    std::vector<TV32HBUF> own;
    const TV32HBUF source = made(in, bits, w, h);
    own.push_back(source);
    TV32HBUF plane = 0;
    switch (in.pick(5)) {
    case 0:
        plane = stale;
        break;
    case 1:
        plane = source;
        break;
    case 2:
        plane = made(in, 8, 1 + in.pick(64), 1 + in.pick(64));
        break;
    default:
        plane = made(in, 8, w, h);
        break;
    }
    if (plane != stale && plane != source) own.push_back(plane);

    PlugInRecord rec;
    std::memset(&rec, in.u8(), sizeof rec);
    rec.sourceImage = in.pick(16) ? source : stale;
    rec.alphaSource = plane;
    rec.bitsPerPixel = in.pick(8) ? bits : in.number(64);
    const bool inside = in.pick(4) != 0;
    if (inside) {
        const int32_t l = in.pick(unsigned(w)), t = in.pick(unsigned(h));
        rec.selection = {l, t, l + 1 + int32_t(in.pick(unsigned(w - l))),
                         t + 1 + int32_t(in.pick(unsigned(h - t)))};
        rec.imageWidth = in.pick(8) ? w : in.number(1 << 20);
        rec.imageHeight = in.pick(8) ? h : in.number(1 << 20);
    } else {
        rec.selection = {in.number(64), in.number(64), in.number(64), in.number(64)};
        rec.imageWidth = in.number(128);
        rec.imageHeight = in.number(128);
    }
    rec.originX = in.pick(4) ? in.number(1000) : in.i32();
    rec.originY = in.pick(4) ? in.number(1000) : in.i32();

    gAnswer.ok = in.pick(8) != 0;
    gAnswer.keep = in.pick(3) == 0;
    if (!gAnswer.keep) {
        // Mostly what a dialog gives; now and then values at the ends of the range (which may
        // make results of many megabytes, or none at all).
        auto width = [&] { return in.pick(16) ? int32_t(in.pick(41)) : in.number(40); };
        FrameShadowParams& p = gAnswer.params;
        std::memset(&p, 0, sizeof p);
        p.frameWidth = width();
        p.shadowDirection = in.pick(8) ? int32_t(in.pick(4)) : in.i32();
        p.shadowOffsetX = width();
        p.shadowOffsetY = width();
        p.transparency = in.pick(8) ? int32_t(in.pick(100)) : in.number(1000);
        p.blendWidth = width();
        p.frameFill = in.pick(4) == 0 ? BFX_FILL_TEXTURE : in.pick(8) ? BFX_FILL_COLOR : in.i32();
        p.frameColor = uint32_t(in.i32());
        p.shadowColor = uint32_t(in.i32());
        p.placement = {in.number(8), in.number(8), in.number(8), in.number(8)};
    }

    // The slots: empty, a buffer of the input's making, a stale handle, the source; one slot for
    // both, or none.
    TV32HBUF image = 0, alpha = 0;
    auto slot = [&](TV32HBUF& s, int slotBits) {
        switch (in.pick(6)) {
        case 0:
            s = made(in, in.pick(2) ? slotBits : 32 - slotBits, 1 + in.pick(96), 1 + in.pick(96));
            if (s) own.push_back(s);
            break;
        case 1:
            s = in.pick(2) ? stale : source;
            break;
        default:
            s = 0;
        }
    };
    slot(image, bits);
    slot(alpha, 8);
    switch (in.pick(16)) {
    case 0:
        rec.resultImage = rec.resultAlpha = &image;
        break;
    case 1:
        rec.resultImage = nullptr;
        rec.resultAlpha = &alpha;
        break;
    default:
        rec.resultImage = &image;
        rec.resultAlpha = &alpha;
    }
    const PlugInRecord host = rec;
    call(rec, rec.resultImage, rec.resultAlpha);

    // Once more with buffers of the result's own sizes (as a first call delivered them), one of
    // them a pixel off when the input says so.
    if (rec.resultImage == &image && rec.resultAlpha == &alpha && !image && !alpha) {
        rec = host;
        if (TalvorPlugInAction(0, &rec) == 1) {
            BUF32INFO ii, ai;
            buf32GetInfo(image, &ii);
            buf32GetInfo(alpha, &ai);
            buf32Free(image);
            buf32Free(alpha);
            const int off = in.pick(4) == 0 ? 1 : 0;
            image = made(in, ii.bitsPerPixel, ii.width + off, ii.height);
            alpha = made(in, 8, ai.width, ai.height + (in.pick(4) == 0 ? 1 : 0));
            if (image) own.push_back(image);
            if (alpha) own.push_back(alpha);
            rec = host;
            call(rec, &image, &alpha);
        } else {
            image = alpha = 0;
        }
    }
    for (TV32HBUF b : own)
        buf32Free(b);
    buf32SetCellSize(0, 0);
    return 0;
}
