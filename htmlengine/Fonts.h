#pragma once
// Fonts and text measurement with GDI+, with a per-run fallback for
// characters that the page's Latin font has no glyphs for (CJK).
#include <windows.h>

#include <gdiplus.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "htmlengine/Style.h"

namespace he {

// Starts GDI+ once per process (never from DllMain).
bool EnsureGdiplus();

struct TextRun {
    size_t start = 0, length = 0;
    bool fallback = false;  // drawn with the CJK fallback family
};

bool NeedsFallback(wchar_t c);
std::vector<TextRun> SplitRuns(const std::wstring& text);

class FontCache {
public:
    static FontCache& Instance();
    // The font for a style; `fallback` selects the CJK family.
    Gdiplus::Font* Get(const ComputedStyle& s, bool fallback);
    // Advance width of the text in pixels, fallback runs included.
    float Width(const ComputedStyle& s, const std::wstring& text);
    // Ascent and full height (ascent + descent) of the style's main font.
    void Metrics(const ComputedStyle& s, float& ascent, float& height);
    const Gdiplus::StringFormat* Format();
    const std::wstring& FallbackFamily();

private:
    FontCache();
    float RunWidth(Gdiplus::Font* f, const wchar_t* text, int length);
    std::map<std::wstring, std::unique_ptr<Gdiplus::Font>> m_fonts;
    std::map<std::pair<Gdiplus::Font*, std::wstring>, float> m_widths;
    std::map<Gdiplus::Font*, std::pair<float, float>> m_metrics;
    std::unique_ptr<Gdiplus::Bitmap> m_bitmap;
    std::unique_ptr<Gdiplus::Graphics> m_graphics;
    std::unique_ptr<Gdiplus::StringFormat> m_format;
    std::wstring m_fallbackFamily;
};

}  // namespace he
