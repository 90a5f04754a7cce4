#pragma once
// Paints a laid-out document: plain rectangles, unscaled pictures and cached
// text are blended straight into the pixels; curves, scaled pictures and
// controls go through GDI+ on the same pixels.
#include <windows.h>

#include <gdiplus.h>

#include <cstdint>
#include <vector>

#include "htmlengine/Dom.h"
#include "htmlengine/Images.h"

namespace he {

// Premultiplied 32-bit pixels; document point (x, y) lands on pixel (x + ox, y + oy).
struct Canvas {
    uint32_t* pixels;
    int width, height;
    int ox, oy;
    RECT clip;  // device pixels
};

struct PaintState {
    const ImageCache* images = nullptr;
    Element* focused = nullptr;
    bool caretVisible = false;
};

// `g` draws on the same pixels as `canvas`.
void PaintDocument(Gdiplus::Graphics& g, Canvas& canvas, Document& doc, const PaintState& state);

inline Gdiplus::Color ToColor(uint32_t argb, float opacity = 1)
{
    BYTE a = static_cast<BYTE>(((argb >> 24) & 0xFF) * opacity + 0.5f);
    return Gdiplus::Color(a, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// Text shown in a field (bullets for passwords).
std::wstring FieldDisplayText(const Element* e);

// Visual lines of a field: one for single-line fields; a multi-line field
// breaks at line ends and wraps at its width.
struct FieldLine {
    size_t start = 0, length = 0;  // the line end itself is not part of it
};
std::vector<FieldLine> FieldLines(const Element* e, const std::wstring& text);
size_t FieldLineOf(const std::vector<FieldLine>& lines, size_t pos);

}  // namespace he
