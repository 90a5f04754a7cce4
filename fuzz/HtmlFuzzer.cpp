// Pages of the HTML engine: any bytes decode, parse into a document and get
// their styles computed (the page's own style sheets included) without a
// crash, a hang or undefined behaviour.
#include "FuzzText.h"
#include "htmlengine/Css.h"
#include "htmlengine/Dom.h"
#include "htmlengine/HtmlParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A UTF-16 page is taken as wchar_t units in place, which are 16 bits only
    // on Windows: such pages are fed to the parser as units instead.
    std::wstring html =
        size >= 2 && data[0] == 0xFF && data[1] == 0xFE ? Utf16Units(data + 2, size - 2) : he::DecodeText(data, size);
    he::Document doc;
    doc.url = L"file://app/installer/install.htm";
    he::ParseHtml(doc, html);
    he::StyleResolver styles;
    std::vector<he::Element*> elements;
    doc.root->CollectElements(elements);
    for (he::Element* e : elements) {
        if (e->tag == "style")
            styles.AddSheet(e->TextContent(), doc.url);
        if (const std::wstring* style = e->Attribute("style"))
            he::ParseDeclarations(*style);
    }
    styles.ComputeAll(doc.root.get(), doc.url);
    doc.root->OuterHtml();
    he::DecodeEntities(html.substr(0, 4096));
    return 0;
}
