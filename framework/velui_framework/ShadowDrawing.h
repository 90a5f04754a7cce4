#pragma once
// The pixels of a window shadow: a nine-grid picture stretched around the
// host, or a soft shadow computed from the host's shape; then the area under
// the host and the masked-off sides cleared. Pixels are 0xAARRGGBB with
// premultiplied alpha, rows top-down, as a layered window takes them.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "framework/velui_framework/ShadowImage.h"

namespace velui {

// Side bits of the shadow's mask: a clear bit leaves that side without shadow.
enum ShadowSide : UINT {
    kShadowLeft = 1,
    kShadowTop = 2,
    kShadowRight = 4,
    kShadowBottom = 8,
};

struct ShadowCanvas {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    void Reset(int w, int h);
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Corners unscaled, edges and centre stretched (bilinear, the picture's own
// pixels at the corners). The margins are the picture's corner sizes.
void DrawNineGrid(const PremultipliedImage& picture, const RECT& margins, ShadowCanvas& canvas);

struct SoftShadowParams {
    int size = 0;           // width of the band around the shape
    unsigned darkness = 0;  // alpha where the shadow is fullest
    unsigned sharpness = 0;
    COLORREF color = 0;
};

// The host's shape as rectangles in canvas coordinates.
void DrawSoftShadow(const std::vector<RECT>& shape, const SoftShadowParams& params, ShadowCanvas& canvas);

// Clears `host` (canvas coordinates), widened to the canvas edge on every
// side whose bit in `sideMask` is clear.
void ClearUnderHost(const RECT& host, UINT sideMask, ShadowCanvas& canvas);

}  // namespace velui
