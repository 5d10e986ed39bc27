// The frame-and-shadow adapter's arithmetic: settings, placement of the new layer, its pixels.
#include "framelayer.h"

#include "imagelib/tv32base.h"
#include "imagelib/tv32sel.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace gimpadapter {

namespace {

bool isSwitch(int32_t v) {
    return v == 0 || v == 1;
}

std::string colorText(uint32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", unsigned(c & 0xFFFFFF));
    return text;
}

bool inside(const Rect& r, int64_t x, int64_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

Rect grown(const Rect& r, int64_t by) {
    return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}

Rect intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

// The shadow's soft edge over a rectangle of width x height, as the filter builds it for its own
// opacity plane: a ramp of `edge` pixels (less on a rectangle too small for it) around a full
// inner part. 0 when there is no edge or it cannot be built; the filter then goes on without one.
TV32HBUF softEdgeMask(int32_t width, int32_t height, int32_t edge) {
    if (edge <= 0) return 0;
    int32_t e = edge;
    if (!(int64_t(width) - 2 * int64_t(edge) > 0 && int64_t(height) - 2 * int64_t(edge) > 0))
        e = std::max(0, std::min(width / 2 - 1, height / 2 - 1));
    SEL32RECORD rec;
    std::memset(&rec, 0, sizeof rec);
    const uint8_t full = 255;
    const int32_t iw = width - 2 * e, ih = height - 2 * e;
    if (!buf32Alloc(&rec.mask, 8, iw, ih, BUF32_FILL_VALUE, &full)) return 0;
    rec.x = rec.y = e;
    rec.width = iw;
    rec.height = ih;
    rec.kind = 1;
    const int32_t r[4] = {e, e, iw, ih};
    std::memcpy(rec.bounds, r, sizeof r);
    std::memcpy(rec.inner, r, sizeof r);
    if (!sel32SoftEdgeMakeMask(&rec, 1, e, 0, 0, 0, nullptr)) {
        if (rec.mask) buf32Free(rec.mask);
        return 0;
    }
    return rec.mask;
}

} // namespace

std::string CheckSettings(const FrameShadowSettings& s) {
    if (!isSwitch(s.frame)) return "frame must be 0 (off) or 1 (on)";
    if (!isSwitch(s.shadow)) return "shadow must be 0 (off) or 1 (on)";
    if (!isSwitch(s.blending)) return "blending must be 0 (off) or 1 (on)";
    if (s.frameWidth < 0) return "frame-width must not be negative";
    if (s.frameFill != 0 && s.frameFill != 1) return "frame-fill must be 0 (colour) or 1 (texture)";
    if (s.textureIndex < 1) return "texture-index must be 1 or more";
    if (s.shadowDirection < 0 || s.shadowDirection > 3) return "shadow-direction must lie between 0 and 3";
    if (s.shadowOffsetX < 0 || s.shadowOffsetY < 0) return "shadow offsets must not be negative";
    if (s.transparency < 0 || s.transparency > 99) return "transparency must lie between 0 and 99";
    if (s.blendWidth < 0 || s.blendWidth > 150) return "blend-width must lie between 0 and 150";
    if (s.frameColor > 0xFFFFFF || s.shadowColor > 0xFFFFFF) return "colours are 0x00BBGGRR values";
    return {};
}

std::string SettingsList(const FrameShadowSettings& s) {
    const FrameShadowSettings d;
    std::string list;
    auto add = [&list](const char* name, const std::string& value) {
        if (!list.empty()) list += ',';
        list += name;
        list += '=';
        list += value;
    };
    auto number = [&](const char* name, int32_t v, int32_t start) {
        if (v != start) add(name, std::to_string(v));
    };
    if (!s.frame) {
        add("frame", "off");
    } else {
        number("frameWidth", s.frameWidth, d.frameWidth);
    }
    if (!s.shadow) {
        add("shadow", "off");
    } else {
        number("shadowDirection", s.shadowDirection, d.shadowDirection);
        number("shadowOffsetX", s.shadowOffsetX, d.shadowOffsetX);
        number("shadowOffsetY", s.shadowOffsetY, d.shadowOffsetY);
        number("transparency", s.transparency, d.transparency);
        if (!s.blending)
            add("blending", "off");
        else
            number("blendWidth", s.blendWidth, d.blendWidth);
        if (s.shadowColor != d.shadowColor) add("shadowColor", colorText(s.shadowColor));
    }
    if (s.frame) {
        if (s.frameFill != d.frameFill) add("frameFill", s.frameFill ? "texture" : "color");
        number("textureIndex", s.textureIndex, d.textureIndex);
        if (s.frameColor != d.frameColor) add("frameColor", colorText(s.frameColor));
    }
    return list;
}

FrameShadowSettings SettingsFromRecord(const PlugInRecord& r) {
    const FrameShadowParams& p = r.params;
    FrameShadowSettings s;
    s.frame = p.frameWidth > 0;
    if (s.frame) s.frameWidth = p.frameWidth;
    s.frameColor = p.frameColor & 0xFFFFFF;
    s.frameFill = p.frameFill == BFX_FILL_TEXTURE ? 1 : 0;
    s.textureIndex = r.textureIndex;
    s.shadow = p.shadowOffsetX > 0 || p.shadowOffsetY > 0;
    s.shadowDirection = p.shadowDirection;
    if (s.shadow) {
        s.shadowOffsetX = p.shadowOffsetX;
        s.shadowOffsetY = p.shadowOffsetY;
        s.blending = p.blendWidth > 0;
        if (s.blending) s.blendWidth = p.blendWidth;
    }
    s.shadowColor = p.shadowColor & 0xFFFFFF;
    s.transparency = p.transparency;
    return s;
}

Rect ReachOf(const Rect& selection, const FrameShadowSettings& s, int64_t width, int64_t height) {
    const int64_t m = int64_t(std::max(0, s.frameWidth)) + std::max(0, s.blendWidth) +
                      std::max({0, s.shadowOffsetX, s.shadowOffsetY}) + 1;
    return intersect(grown(selection, m), {0, 0, width, height});
}

Placement PlaceLayer(const Rect& output, int64_t canvasWidth, int64_t canvasHeight) {
    Placement p;
    const int64_t left = std::min<int64_t>(0, output.left), top = std::min<int64_t>(0, output.top);
    const int64_t right = std::max(canvasWidth, output.right), bottom = std::max(canvasHeight, output.bottom);
    p.shiftX = -left;
    p.shiftY = -top;
    p.canvasWidth = right - left;
    p.canvasHeight = bottom - top;
    p.grows = p.canvasWidth != canvasWidth || p.canvasHeight != canvasHeight;
    p.layer = {output.left + p.shiftX, output.top + p.shiftY, output.right + p.shiftX,
               output.bottom + p.shiftY};
    return p;
}

LayerAssembler::~LayerAssembler() {
    if (planeLocked_) buf32Unlock(plane_);
    if (maskLocked_) buf32Unlock(mask_);
    if (mask_) buf32Free(mask_);
}

bool LayerAssembler::start(const PlugInRecord& rec, TV32HBUF resultImage, TV32HBUF resultAlpha, const Rect& o,
                           std::string* error) {
    auto fail = [error](const char* why) {
        if (error) *error = why;
        return false;
    };
    BUF32INFO image, plane;
    if (image_ || !buf32GetInfo(resultImage, &image) || !buf32GetInfo(resultAlpha, &plane))
        return fail("the filter delivered no result");
    o_ = o;
    c_ = intersect(o, {0, 0, rec.imageWidth, rec.imageHeight});
    if (image.width != o.width() || image.height != o.height() || plane.bitsPerPixel != 8 ||
        plane.width != c_.width() || plane.height != c_.height())
        return fail("the filter's result does not fit its output area");
    image_ = resultImage;
    plane_ = resultAlpha;
    channels_ = image.bytesPerPixel; // 3 or 1
    try {
        row_.resize(std::size_t(image.width) * std::size_t(channels_));
    } catch (const std::bad_alloc&) {
        return fail("not enough memory for the new layer");
    }
    if (!buf32Lock(plane_, BUF32_LOCK_READ, nullptr)) return fail("the opacity plane cannot be read");
    planeLocked_ = true;
    alpha_ = c_.width() > 0 && c_.height() > 0 ? buf32PointAddr(plane_, 0, 0) : nullptr;
    if (c_ == o) return true;

    // Beyond the picture: the frame is opaque, the shadow falls as on transparent pixels.
    const FrameShadowParams& p = rec.params;
    frameOn_ = p.frameWidth > 0;
    shadowOn_ = p.shadowOffsetX > 0 || p.shadowOffsetY > 0;
    const Rect s{rec.selection.left, rec.selection.top, rec.selection.right, rec.selection.bottom};
    f_ = grown(s, p.frameWidth);
    d_ = grown(f_, p.blendWidth);
    const int32_t dir = p.shadowDirection;
    const int64_t dx = (dir == 0 || dir == 2) ? -int64_t(p.shadowOffsetX) : p.shadowOffsetX;
    const int64_t dy = (dir == 0 || dir == 1) ? -int64_t(p.shadowOffsetY) : p.shadowOffsetY;
    d_ = {d_.left + dx, d_.top + dy, d_.right + dx, d_.bottom + dy};
    if (d_.width() > INT_MAX || d_.height() > INT_MAX) return fail("the shadow is too large");
    if (shadowOn_ && p.blendWidth > 0)
        mask_ = softEdgeMask(int32_t(d_.width()), int32_t(d_.height()), p.blendWidth);
    if (mask_) {
        if (!buf32Lock(mask_, BUF32_LOCK_READ, nullptr)) return fail("the shadow's edge cannot be read");
        maskLocked_ = true;
        m_ = buf32PointAddr(mask_, 0, 0);
    }
    g0_ = uint32_t((100 - p.transparency) * 255 / 100) & 0xFF;
    const uint32_t sc = p.shadowColor;
    shade_[0] = uint8_t(sc & 0xFF);
    shade_[1] = uint8_t((sc >> 8) & 0xFF);
    shade_[2] = uint8_t((sc >> 16) & 0xFF);
    if (channels_ == 1) shade_[0] = uint8_t((299 * shade_[0] + 587 * shade_[1] + 114 * shade_[2]) / 1000);
    return true;
}

void LayerAssembler::beyond(int64_t iy, int64_t x0, int64_t x1, uint8_t* out) const {
    const int n = channels_ + 1;
    for (int64_t x = x0; x < x1; ++x) {
        uint8_t* px = out + std::size_t(x - o_.left) * std::size_t(n);
        if (frameOn_ && inside(f_, x, iy)) {
            px[channels_] = 255;
        } else if (shadowOn_ && inside(d_, x, iy)) {
            const uint32_t g =
                m_ ? m_[std::size_t(iy - d_.top) * std::size_t(d_.width()) + std::size_t(x - d_.left)] * g0_ /
                         255
                   : g0_;
            std::memcpy(px, shade_, std::size_t(channels_));
            px[channels_] = uint8_t(g);
        } else {
            px[channels_] = 0;
        }
    }
}

bool LayerAssembler::rows(int32_t y, int32_t count, uint8_t* out) {
    if (!image_ || y < 0 || count < 0 || int64_t(y) + count > o_.height()) return false;
    const int n = channels_ + 1;
    const std::size_t w = std::size_t(o_.width());
    for (int32_t r = 0; r < count; ++r, out += w * std::size_t(n)) {
        if (!buf32GetMem(image_, 0, y + r, int32_t(w), 1, row_.data())) return false;
        const uint8_t* src = row_.data();
        if (channels_ == 3) {
            for (std::size_t x = 0; x < w; ++x) {
                out[x * 4] = src[x * 3];
                out[x * 4 + 1] = src[x * 3 + 1];
                out[x * 4 + 2] = src[x * 3 + 2];
            }
        } else {
            for (std::size_t x = 0; x < w; ++x)
                out[x * 2] = src[x];
        }
        const int64_t iy = o_.top + y + r;
        if (alpha_ && iy >= c_.top && iy < c_.bottom) {
            const uint8_t* arow = alpha_ + std::size_t(iy - c_.top) * std::size_t(c_.width());
            uint8_t* a = out + std::size_t(c_.left - o_.left) * std::size_t(n) + std::size_t(channels_);
            for (int64_t k = 0; k < c_.width(); ++k)
                a[std::size_t(k) * std::size_t(n)] = arow[k];
            beyond(iy, o_.left, c_.left, out);
            beyond(iy, c_.right, o_.right, out);
        } else {
            beyond(iy, o_.left, o_.right, out);
        }
    }
    return true;
}

bool AssembleLayer(const PlugInRecord& rec, TV32HBUF resultImage, TV32HBUF resultAlpha, const Rect& o,
                   LayerPixels* layer, std::string* error) {
    LayerAssembler a;
    if (!layer || !a.start(rec, resultImage, resultAlpha, o, error)) return false;
    try {
        layer->bytes.assign(std::size_t(a.width()) * std::size_t(a.height()) * std::size_t(a.channels()), 0);
    } catch (const std::bad_alloc&) {
        if (error) *error = "not enough memory for the new layer";
        return false;
    }
    layer->width = a.width();
    layer->height = a.height();
    layer->channels = a.channels();
    if (!a.rows(0, a.height(), layer->bytes.data())) {
        if (error) *error = "the result image cannot be read";
        return false;
    }
    return true;
}

} // namespace gimpadapter
