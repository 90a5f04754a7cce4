// Style sheets, selectors, declarations and colours of the HTML engine on any
// text: everything that parses is applied to a style, nothing crashes, hangs
// or reaches undefined behaviour (a number that is no number included).
#include "FuzzText.h"
#include "htmlengine/Css.h"
#include "htmlengine/Style.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text = Utf16Units(data, size);
    he::StyleSheet sheet;
    unsigned order = 0;
    he::ParseStyleSheet(text, L"file://app/installer/", sheet, order);
    he::ComputedStyle parent;
    for (const he::Rule& rule : sheet.rules) {
        he::ComputedStyle style;
        for (const he::Declaration& d : rule.declarations)
            he::ApplyDeclaration(style, &parent, d, rule.baseUrl);
    }
    he::ComputedStyle inlineStyle;
    for (const he::Declaration& d : he::ParseDeclarations(text))
        he::ApplyDeclaration(inlineStyle, &parent, d, L"");
    std::vector<he::Selector> selectors;
    he::ParseSelectorGroup(text, selectors);
    he::Argb colour = 0;
    he::ParseColor(text, colour);
    return 0;
}
