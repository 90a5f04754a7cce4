#pragma once
// Style sheets: parsing, selector matching and the cascade into ComputedStyle.
#include <memory>
#include <string>
#include <vector>

#include "htmlengine/Dom.h"

namespace he {

struct SimpleSelector {
    std::string tag;  // empty or "*": any
    std::wstring id;
    std::vector<std::wstring> classes;
    std::vector<std::pair<std::string, std::wstring>> attributes;  // [name] or [name=value] (value empty = presence)
    bool hover = false, focus = false, disabled = false, checked = false, active = false, firstChild = false,
         lastChild = false, enabled = false;
    bool unsupported = false;  // an unknown pseudo-class: never matches
};

struct Selector {
    std::vector<SimpleSelector> parts;  // left to right
    std::vector<char> combinators;      // between parts: ' ' descendant, '>' child, '+' adjacent
    int specificity = 0;
};

struct Declaration {
    std::string property;  // lower case
    std::wstring value;
    bool important = false;
};

struct Rule {
    std::vector<Selector> selectors;
    std::vector<Declaration> declarations;
    std::wstring baseUrl;  // for url() values
    unsigned order = 0;
};

struct StyleSheet {
    std::vector<Rule> rules;
};

// Parses style sheet text; what cannot be read is skipped.
void ParseStyleSheet(const std::wstring& text, const std::wstring& baseUrl, StyleSheet& out, unsigned& order);
std::vector<Declaration> ParseDeclarations(const std::wstring& text);
// Parses a selector group ("a, b > c"); false when nothing could be read.
bool ParseSelectorGroup(const std::wstring& text, std::vector<Selector>& out);
bool Matches(const Selector& sel, const Element* e);

// The default sheet for HTML elements.
const StyleSheet& UserAgentSheet();

class StyleResolver {
public:
    void Clear()
    {
        m_sheets.clear();
        m_order = 0;
    }
    void AddSheet(const std::wstring& text, const std::wstring& baseUrl);
    // Computes the style of every element of the tree.
    void ComputeAll(Element* root, const std::wstring& documentUrl);
    size_t RuleCount() const;

private:
    void Compute(Element* e, const ComputedStyle* parent, const std::wstring& documentUrl);
    std::vector<std::shared_ptr<StyleSheet>> m_sheets;
    unsigned m_order = 0;
};

// Applies one declaration to a style (exposed for tests).
void ApplyDeclaration(ComputedStyle& s, const ComputedStyle* parent, const Declaration& d, const std::wstring& baseUrl);
bool ParseColor(const std::wstring& text, Argb& out);
// Values that depend on the whole cascade: used border widths and colours, blockified displays.
void FinishStyle(ComputedStyle& s, const ComputedStyle* parent);

}  // namespace he
