#pragma once
// Computed style of an element: the CSS subset the engine understands.
#include <cstdint>
#include <string>

namespace he {

struct Length {
    enum Unit : uint8_t { Auto, Px, Percent } unit = Auto;
    float value = 0;
    static Length Pixels(float v) { return {Px, v}; }
    bool IsAuto() const { return unit == Auto; }
    // Resolves against a reference length (for percentages); `fallback` for auto.
    float Resolve(float reference, float fallback = 0) const
    {
        return unit == Px ? value : unit == Percent ? reference * value / 100.0f : fallback;
    }
};

using Argb = uint32_t;  // 0xAARRGGBB

enum class Display : uint8_t { Block, Inline, InlineBlock, None, ListItem, Flex, InlineFlex };
enum class Position : uint8_t { Static, Relative, Absolute, Fixed };
enum class TextAlign : uint8_t { Left, Center, Right, Justify };
enum class BorderStyle : uint8_t { None, Solid, Dashed, Dotted, Double };
enum class Float : uint8_t { None, Left, Right };
enum class Clear : uint8_t { None, Left, Right, Both };
enum class VerticalAlign : uint8_t { Baseline, Top, Bottom, Middle, TextTop, TextBottom, Sub, Super, Length };
enum class FlexAlign : uint8_t { Auto, Start, End, Center, Stretch, Baseline, SpaceBetween, SpaceAround, SpaceEvenly };
enum class Cursor : uint8_t { Auto, Default, Pointer, Text, Move, NotAllowed };
enum class Repeat : uint8_t { Repeat, RepeatX, RepeatY, NoRepeat };

struct ComputedStyle {
    Display display = Display::Inline;
    bool visible = true;
    Position position = Position::Static;
    Length left, top, right, bottom;
    Length width, height;
    Length minWidth, minHeight, maxWidth, maxHeight;
    Length margin[4] = {Length::Pixels(0), Length::Pixels(0), Length::Pixels(0),
                        Length::Pixels(0)};  // top, right, bottom, left
    float padding[4] = {0, 0, 0, 0};
    float paddingPercent[4] = {-1, -1, -1, -1};  // >= 0: padding is this share of the containing block's width
    float borderWidth[4] = {3, 3, 3, 3};         // used width: zero once the style is none
    Argb borderColor[4] = {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000};
    bool borderColorSet[4] = {false, false, false, false};  // false: the text colour
    BorderStyle borderStyle[4] = {BorderStyle::None, BorderStyle::None, BorderStyle::None, BorderStyle::None};
    float borderRadius = 0;
    Argb backgroundColor = 0;         // transparent
    std::wstring backgroundImage;     // resolved URL, empty for none
    Length backgroundX, backgroundY;  // Auto means 0
    Repeat backgroundRepeat = Repeat::Repeat;
    Argb color = 0xFF000000;
    std::wstring fontFamily = L"Arial";
    float fontSize = 13;
    int fontWeight = 400;
    bool italic = false;
    bool underline = false;
    TextAlign textAlign = TextAlign::Left;
    float lineHeight = -1;        // -1: normal
    float lineHeightFactor = -1;  // > 0: a number, inherited as such and multiplied by the font size
    float opacity = 1;
    bool overflowHidden = false;
    bool overflowScroll = false;  // auto / scroll: the content scrolls inside the clip
    int zIndex = 0;
    bool zIndexAuto = true;
    Cursor cursor = Cursor::Auto;
    Float floating = Float::None;
    Clear clear = Clear::None;
    VerticalAlign verticalAlign = VerticalAlign::Baseline;
    float verticalShift = 0;  // VerticalAlign::Length: raise by this many pixels
    // Flex containers and items.
    bool flexColumn = false, flexReverse = false, flexWrap = false;
    FlexAlign justifyContent = FlexAlign::Start;
    FlexAlign alignItems = FlexAlign::Stretch;
    FlexAlign alignSelf = FlexAlign::Auto;
    FlexAlign alignContent = FlexAlign::Stretch;
    float flexGrow = 0, flexShrink = 1;
    Length flexBasis;  // auto: the width or height
    int order = 0;
    float rowGap = 0, columnGap = 0;
    bool noWrap = false;
    bool preWrap = false;  // white-space: pre / pre-wrap keeps line ends
    std::string behavior;  // native behaviour asked from the host

    bool IsPositioned() const { return position != Position::Static; }
    bool IsOutOfFlow() const { return position == Position::Absolute || position == Position::Fixed; }
    bool IsFlex() const { return display == Display::Flex || display == Display::InlineFlex; }
    bool IsFloat() const { return floating != Float::None && !IsOutOfFlow(); }
    float LineHeightPx() const { return lineHeight >= 0 ? lineHeight : fontSize * 1.2f; }
};

}  // namespace he
