#pragma once
// Paints a laid-out document with GDI+.
#include <windows.h>

#include <gdiplus.h>

#include "htmlengine/Dom.h"
#include "htmlengine/Images.h"

namespace he {

struct PaintState {
    const ImageCache* images = nullptr;
    Element* focused = nullptr;
    bool caretVisible = false;
};

void PaintDocument(Gdiplus::Graphics& g, Document& doc, const PaintState& state);

// Argb helpers.
inline Gdiplus::Color ToColor(uint32_t argb, float opacity = 1)
{
    BYTE a = static_cast<BYTE>(((argb >> 24) & 0xFF) * opacity + 0.5f);
    return Gdiplus::Color(a, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// Text shown in a field (bullets for passwords).
std::wstring FieldDisplayText(const Element* e);

}  // namespace he
