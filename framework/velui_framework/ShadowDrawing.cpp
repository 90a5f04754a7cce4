#include "framework/velui_framework/ShadowDrawing.h"

#include <algorithm>
#include <cmath>

namespace velui {

void ShadowCanvas::Reset(int w, int h)
{
    width = std::max(w, 0);
    height = std::max(h, 0);
    pixels.assign(static_cast<size_t>(width) * height, 0);
}

namespace {

struct Span {
    int from;
    int length;
};

// Splits a destination length into the two unscaled margins and the middle;
// a destination narrower than both margins shares itself between them.
void SplitSpans(int length, int first, int last, int source, Span dst[3], Span src[3])
{
    first = std::max(first, 0);
    last = std::max(last, 0);
    if (first + last > source) {  // margins larger than the picture: no middle in it
        first = std::min(first, source);
        last = std::max(0, source - first);
    }
    int d0 = first, d2 = last;
    if (d0 + d2 > length) {
        d0 = first + last > 0 ? length * first / (first + last) : 0;
        d2 = length - d0;
    }
    dst[0] = {0, d0};
    dst[1] = {d0, length - d0 - d2};
    dst[2] = {length - d2, d2};
    src[0] = {0, first};
    src[1] = {first, source - first - last};
    src[2] = {source - last, last};
}

uint32_t Lerp(uint32_t a, uint32_t b, int weight)  // weight of b in 1/256
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= static_cast<uint32_t>((ca * (256 - weight) + cb * weight) >> 8) << shift;
    }
    return out;
}

// Bilinear resampling of one source cell into one destination cell, sampled
// at pixel centres: a cell of equal size is copied exactly.
void StretchCell(const PremultipliedImage& picture, Span sx, Span sy, ShadowCanvas& canvas, Span dx, Span dy)
{
    if (sx.length <= 0 || sy.length <= 0 || dx.length <= 0 || dy.length <= 0)
        return;
    auto src = [&](int x, int y) {
        x = std::clamp(x, 0, sx.length - 1) + sx.from;
        y = std::clamp(y, 0, sy.length - 1) + sy.from;
        return picture.pixels[static_cast<size_t>(y) * picture.width + x];
    };
    for (int y = 0; y < dy.length; ++y) {
        const double fy = (y + 0.5) * sy.length / dy.length - 0.5;
        const int y0 = static_cast<int>(std::floor(fy));
        const int wy = static_cast<int>((fy - y0) * 256);
        uint32_t* row = &canvas.pixels[static_cast<size_t>(dy.from + y) * canvas.width + dx.from];
        for (int x = 0; x < dx.length; ++x) {
            const double fx = (x + 0.5) * sx.length / dx.length - 0.5;
            const int x0 = static_cast<int>(std::floor(fx));
            const int wx = static_cast<int>((fx - x0) * 256);
            const uint32_t top = Lerp(src(x0, y0), src(x0 + 1, y0), wx);
            const uint32_t bottom = Lerp(src(x0, y0 + 1), src(x0 + 1, y0 + 1), wx);
            row[x] = Lerp(top, bottom, wy);
        }
    }
}

// One pass of a box blur of radius r along rows (horizontal) or columns.
void BoxPass(std::vector<float>& values, int width, int height, int r, bool horizontal)
{
    const int lines = horizontal ? height : width;
    const int length = horizontal ? width : height;
    const size_t step = horizontal ? 1 : static_cast<size_t>(width);
    std::vector<float> line(static_cast<size_t>(length));
    const float scale = 1.0f / static_cast<float>(2 * r + 1);
    for (int l = 0; l < lines; ++l) {
        const size_t base = horizontal ? static_cast<size_t>(l) * width : static_cast<size_t>(l);
        for (int i = 0; i < length; ++i)
            line[i] = values[base + i * step];
        // Running sum; outside the canvas counts as empty.
        float sum = 0;
        for (int i = 0; i <= r && i < length; ++i)
            sum += line[i];
        for (int i = 0; i < length; ++i) {
            values[base + i * step] = sum * scale;
            const int add = i + r + 1, drop = i - r;
            if (add < length)
                sum += line[add];
            if (drop >= 0)
                sum -= line[drop];
        }
    }
}

}  // namespace

void DrawNineGrid(const PremultipliedImage& picture, const RECT& margins, ShadowCanvas& canvas)
{
    if (!picture.loaded || picture.width <= 0 || picture.height <= 0 || canvas.width <= 0 || canvas.height <= 0)
        return;
    Span dx[3], sx[3], dy[3], sy[3];
    SplitSpans(canvas.width, margins.left, margins.right, picture.width, dx, sx);
    SplitSpans(canvas.height, margins.top, margins.bottom, picture.height, dy, sy);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            StretchCell(picture, sx[col], sy[row], canvas, dx[col], dy[row]);
}

// The computed shadow. The shape is rasterised into a coverage map (1 inside,
// 0 outside) and blurred by three box passes in each direction, an
// approximation of a Gaussian whose reach is about `size` pixels past the
// shape's edge (box radius size / 3, at least 1). Sharpness bends the falloff:
// alpha = darkness * coverage^g with g = 8 / (sharpness + 4), so sharpness 4
// is the plain blur, larger values keep the shadow dark further out with a
// firmer rim, smaller ones thin it out. The colour is premultiplied by alpha.
void DrawSoftShadow(const std::vector<RECT>& shape, const SoftShadowParams& params, ShadowCanvas& canvas)
{
    const int w = canvas.width, h = canvas.height;
    if (w <= 0 || h <= 0)
        return;
    std::vector<float> coverage(static_cast<size_t>(w) * h, 0.0f);
    for (const RECT& r : shape) {
        const int left = std::max<int>(r.left, 0), right = std::min<int>(r.right, w);
        const int top = std::max<int>(r.top, 0), bottom = std::min<int>(r.bottom, h);
        for (int y = top; y < bottom; ++y)
            std::fill(&coverage[static_cast<size_t>(y) * w + left], &coverage[static_cast<size_t>(y) * w + right],
                      1.0f);
    }
    const int radius = std::max(1, params.size / 3);
    for (int pass = 0; pass < 3; ++pass) {
        BoxPass(coverage, w, h, radius, true);
        BoxPass(coverage, w, h, radius, false);
    }
    const double gamma = 8.0 / (static_cast<double>(params.sharpness) + 4.0);
    const unsigned darkness = std::min(params.darkness, 255u);
    const uint32_t red = GetRValue(params.color), green = GetGValue(params.color), blue = GetBValue(params.color);
    for (size_t i = 0; i < coverage.size(); ++i) {
        const double c = std::clamp(static_cast<double>(coverage[i]), 0.0, 1.0);
        const uint32_t a = static_cast<uint32_t>(darkness * std::pow(c, gamma) + 0.5);
        if (a == 0) {
            canvas.pixels[i] = 0;
            continue;
        }
        canvas.pixels[i] = a << 24 | (red * a / 255) << 16 | (green * a / 255) << 8 | (blue * a / 255);
    }
}

void ClearUnderHost(const RECT& host, UINT sideMask, ShadowCanvas& canvas)
{
    RECT clear = host;
    if (!(sideMask & kShadowLeft))
        clear.left = 0;
    if (!(sideMask & kShadowTop))
        clear.top = 0;
    if (!(sideMask & kShadowRight))
        clear.right = canvas.width;
    if (!(sideMask & kShadowBottom))
        clear.bottom = canvas.height;
    const int left = std::max<int>(clear.left, 0), right = std::min<int>(clear.right, canvas.width);
    const int top = std::max<int>(clear.top, 0), bottom = std::min<int>(clear.bottom, canvas.height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            canvas.pixels[static_cast<size_t>(y) * canvas.width + x] = 0;
}

}  // namespace velui
