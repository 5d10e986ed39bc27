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

// A buffer handle freed when it goes out of scope.
class Owned {
  public:
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (h_) buf32Free(h_);
    }
    TV32HBUF* slot() { return &h_; }
    TV32HBUF get() const { return h_; }

  private:
    TV32HBUF h_ = 0;
};

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

bool AssembleLayer(const PlugInRecord& rec, TV32HBUF resultImage, TV32HBUF resultAlpha, const Rect& o,
                   LayerPixels* layer, std::string* error) {
    auto fail = [error](const char* why) {
        if (error) *error = why;
        return false;
    };
    BUF32INFO image, plane;
    if (!layer || !buf32GetInfo(resultImage, &image) || !buf32GetInfo(resultAlpha, &plane))
        return fail("the filter delivered no result");
    const Rect c = intersect(o, {0, 0, rec.imageWidth, rec.imageHeight});
    if (image.width != o.width() || image.height != o.height() || plane.bitsPerPixel != 8 ||
        plane.width != c.width() || plane.height != c.height())
        return fail("the filter's result does not fit its output area");
    const int channels = image.bytesPerPixel; // 3 or 1
    const int out = channels + 1;
    try {
        layer->bytes.assign(std::size_t(o.width()) * std::size_t(o.height()) * std::size_t(out), 0);
    } catch (const std::bad_alloc&) {
        return fail("not enough memory for the new layer");
    }
    layer->width = image.width;
    layer->height = image.height;
    layer->channels = out;

    // Colour of every pixel from the result image, opacity from the plane where it has one.
    std::vector<uint8_t> row(std::size_t(image.width) * std::size_t(channels));
    if (!buf32Lock(resultAlpha, BUF32_LOCK_READ, nullptr)) return fail("the opacity plane cannot be read");
    const uint8_t* alpha = c.width() > 0 && c.height() > 0 ? buf32PointAddr(resultAlpha, 0, 0) : nullptr;
    bool ok = true;
    for (int32_t y = 0; y < image.height && ok; ++y) {
        if (!buf32GetMem(resultImage, 0, y, image.width, 1, row.data())) {
            ok = false;
            break;
        }
        uint8_t* dst = layer->bytes.data() + std::size_t(y) * std::size_t(image.width) * std::size_t(out);
        for (int32_t x = 0; x < image.width; ++x)
            std::memcpy(dst + std::size_t(x) * out, row.data() + std::size_t(x) * channels,
                        std::size_t(channels));
        const int64_t iy = o.top + y;
        if (alpha && iy >= c.top && iy < c.bottom) {
            const uint8_t* arow = alpha + std::size_t(iy - c.top) * std::size_t(c.width());
            uint8_t* a = dst + std::size_t(c.left - o.left) * out + channels;
            for (int64_t k = 0; k < c.width(); ++k)
                a[k * out] = arow[k];
        }
    }
    buf32Unlock(resultAlpha);
    if (!ok) return fail("the result image cannot be read");
    if (c == o) return true;

    // Beyond the picture: the frame is opaque, the shadow falls as on transparent pixels.
    const FrameShadowParams& p = rec.params;
    const bool frameOn = p.frameWidth > 0, shadowOn = p.shadowOffsetX > 0 || p.shadowOffsetY > 0;
    const Rect s{rec.selection.left, rec.selection.top, rec.selection.right, rec.selection.bottom};
    const Rect f = grown(s, p.frameWidth);
    Rect d = grown(f, p.blendWidth);
    const int32_t dir = p.shadowDirection;
    const int64_t dx = (dir == 0 || dir == 2) ? -int64_t(p.shadowOffsetX) : p.shadowOffsetX;
    const int64_t dy = (dir == 0 || dir == 1) ? -int64_t(p.shadowOffsetY) : p.shadowOffsetY;
    d = {d.left + dx, d.top + dy, d.right + dx, d.bottom + dy};
    if (d.width() > INT_MAX || d.height() > INT_MAX) return fail("the shadow is too large");
    Owned mask;
    if (shadowOn && p.blendWidth > 0)
        *mask.slot() = softEdgeMask(int32_t(d.width()), int32_t(d.height()), p.blendWidth);
    const uint8_t* m = nullptr;
    if (mask.get()) {
        if (!buf32Lock(mask.get(), BUF32_LOCK_READ, nullptr)) return fail("the shadow's edge cannot be read");
        m = buf32PointAddr(mask.get(), 0, 0);
    }
    const uint32_t g0 = uint32_t((100 - p.transparency) * 255 / 100) & 0xFF;
    const uint32_t sc = p.shadowColor;
    uint8_t shade[3] = {uint8_t(sc & 0xFF), uint8_t((sc >> 8) & 0xFF), uint8_t((sc >> 16) & 0xFF)};
    if (channels == 1) shade[0] = uint8_t((299 * shade[0] + 587 * shade[1] + 114 * shade[2]) / 1000);
    for (int64_t y = o.top; y < o.bottom; ++y) {
        uint8_t* dst =
            layer->bytes.data() + std::size_t(y - o.top) * std::size_t(o.width()) * std::size_t(out);
        for (int64_t x = o.left; x < o.right; ++x) {
            if (inside(c, x, y)) {
                x = c.right - 1; // the plane's pixels are done
                continue;
            }
            uint8_t* px = dst + std::size_t(x - o.left) * out;
            if (frameOn && inside(f, x, y)) {
                px[channels] = 255;
            } else if (shadowOn && inside(d, x, y)) {
                const uint32_t g =
                    m ? m[std::size_t(y - d.top) * std::size_t(d.width()) + std::size_t(x - d.left)] * g0 /
                            255
                      : g0;
                std::memcpy(px, shade, std::size_t(channels));
                px[channels] = uint8_t(g);
            }
        }
    }
    if (m) buf32Unlock(mask.get());
    return true;
}

} // namespace gimpadapter
