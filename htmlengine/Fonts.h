#pragma once
// Fonts and text measurement with GDI+, with a per-run fallback for
// scripts that the page's Latin font may have no glyphs for (CJK, Thai,
// the Vietnamese letters and diacritics).
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

// The family a run is drawn with: the style's own, or a fallback per script.
enum class FontScript { Main, Cjk, Thai, Vietnamese };

struct TextRun {
    size_t start = 0, length = 0;
    FontScript script = FontScript::Main;
};

// CJK ideographs, kana, hangul and full-width forms: each one is a line-break
// opportunity and needs the CJK family.
bool IsCjk(wchar_t c);
// Marks that are drawn on the character before them (Latin diacritics as
// used by decomposed Vietnamese, Thai vowel and tone marks).
bool IsCombiningMark(wchar_t c);
// The fallback a character needs; a combining mark follows its base instead.
FontScript ScriptOf(wchar_t c);
// Runs of one script each; combining marks stay in the run of their base,
// and a Latin letter carrying Latin marks is drawn as Vietnamese with them.
std::vector<TextRun> SplitRuns(const std::wstring& text);

class FontCache {
public:
    static FontCache& Instance();
    // The font for a style, in the fallback family of `script` unless Main.
    Gdiplus::Font* Get(const ComputedStyle& s, FontScript script);
    // Advance width of the text in pixels, fallback runs included.
    float Width(const ComputedStyle& s, const std::wstring& text);
    // Ascent and full height (ascent + descent) of the style's main font.
    void Metrics(const ComputedStyle& s, float& ascent, float& height);
    const Gdiplus::StringFormat* Format();
    // The installed family used for a script ("" when none has its glyphs).
    const std::wstring& FallbackFamily(FontScript script);

private:
    FontCache();
    float RunWidth(Gdiplus::Font* f, const wchar_t* text, int length);
    std::map<std::wstring, std::unique_ptr<Gdiplus::Font>> m_fonts;
    std::map<std::pair<Gdiplus::Font*, std::wstring>, float> m_widths;
    std::map<Gdiplus::Font*, std::pair<float, float>> m_metrics;
    std::unique_ptr<Gdiplus::Bitmap> m_bitmap;
    std::unique_ptr<Gdiplus::Graphics> m_graphics;
    std::unique_ptr<Gdiplus::StringFormat> m_format;
    std::wstring m_cjkFamily;
    std::wstring m_thaiFamily;
    std::wstring m_vietnameseFamily;
};

}  // namespace he
