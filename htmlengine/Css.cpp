#include "htmlengine/Css.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <unordered_map>

#include "htmlengine/Url.h"

namespace he {

namespace {

std::wstring Trim(const std::wstring& s)
{
    size_t b = 0, e = s.size();
    while (b < e && iswspace(s[b]))
        ++b;
    while (e > b && iswspace(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string Lower(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s)
        out += static_cast<char>(c < 128 ? towlower(c) : '_');
    return out;
}

std::wstring StripComments(const std::wstring& s)
{
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'/' && i + 1 < s.size() && s[i + 1] == L'*') {
            size_t e = s.find(L"*/", i + 2);
            if (e == std::wstring::npos)
                break;
            i = e + 1;
            out += L' ';  // a comment separates tokens
            continue;
        }
        out += s[i];
    }
    return out;
}

bool IsIdentChar(wchar_t c)
{
    return iswalnum(c) || c == L'-' || c == L'_' || c > 127;
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Reads one escape after the backslash at s[i]: up to six hex digits and one
// following white space, or the next character itself. Appends the result.
void ReadEscape(const std::wstring& s, size_t& i, std::wstring& out)
{
    ++i;  // the backslash
    if (i >= s.size()) {
        out += 0xFFFD;
        return;
    }
    if (HexValue(s[i]) < 0) {
        if (s[i] != L'\n')
            out += s[i];
        ++i;
        return;
    }
    unsigned long cp = 0;
    int n = 0;
    while (i < s.size() && n < 6 && HexValue(s[i]) >= 0) {
        cp = cp * 16 + static_cast<unsigned long>(HexValue(s[i]));
        ++i;
        ++n;
    }
    if (i < s.size() && iswspace(s[i]))
        ++i;
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp > 0xFFFF) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

// An identifier starting at s[i], escapes resolved.
std::wstring ReadIdent(const std::wstring& s, size_t& i)
{
    std::wstring out;
    while (i < s.size()) {
        if (s[i] == L'\\')
            ReadEscape(s, i, out);
        else if (IsIdentChar(s[i]))
            out += s[i++];
        else
            break;
    }
    return out;
}

// Resolves escapes outside strings; url() and quoted text keep theirs.
std::wstring Unescape(const std::wstring& s)
{
    if (s.find(L'\\') == std::wstring::npos)
        return s;
    std::wstring out;
    wchar_t quote = 0;
    size_t i = 0;
    while (i < s.size()) {
        wchar_t c = s[i];
        if (quote) {
            out += c;
            ++i;
            if (c == quote)
                quote = 0;
            else if (c == L'\\' && i < s.size())
                out += s[i++];
            continue;
        }
        if (c == L'"' || c == L'\'') {
            quote = c;
            out += c;
            ++i;
            continue;
        }
        if (c == L'\\') {
            ReadEscape(s, i, out);
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

bool ParseCompound(const std::wstring& s, size_t& i, SimpleSelector& out)
{
    size_t start = i;
    if (i < s.size() && s[i] == L'*') {
        out.tag = "*";
        ++i;
    } else {
        out.tag = Lower(ReadIdent(s, i));
    }
    while (i < s.size()) {
        wchar_t c = s[i];
        if (c == L'.' || c == L'#') {
            ++i;
            std::wstring name = ReadIdent(s, i);
            if (name.empty())
                return false;
            if (c == L'.')
                out.classes.push_back(name);
            else
                out.id = name;
        } else if (c == L':') {
            ++i;
            if (i < s.size() && s[i] == L':')
                ++i;
            std::string n = Lower(ReadIdent(s, i));
            if (i < s.size() && s[i] == L'(') {  // functional pseudo-classes are not supported
                size_t e = s.find(L')', i);
                i = e == std::wstring::npos ? s.size() : e + 1;
                out.unsupported = true;
                continue;
            }
            if (n == "hover")
                out.hover = true;
            else if (n == "focus")
                out.focus = true;
            else if (n == "disabled")
                out.disabled = true;
            else if (n == "enabled")
                out.enabled = true;
            else if (n == "checked")
                out.checked = true;
            else if (n == "active")
                out.active = true;
            else if (n == "first-child")
                out.firstChild = true;
            else if (n == "last-child")
                out.lastChild = true;
            else if (n == "link" || n == "visited") {
            } else
                out.unsupported = true;
        } else if (c == L'[') {
            size_t e = s.find(L']', i);
            if (e == std::wstring::npos)
                return false;
            std::wstring body = s.substr(i + 1, e - i - 1);
            i = e + 1;
            size_t eq = body.find(L'=');
            std::string name = Lower(Trim(eq == std::wstring::npos ? body : body.substr(0, eq)));
            std::wstring value;
            if (eq != std::wstring::npos) {
                if (eq > 0 && wcschr(L"~|^$*", body[eq - 1])) {
                    out.unsupported = true;
                    name = Lower(Trim(body.substr(0, eq - 1)));
                }
                value = Trim(body.substr(eq + 1));
                if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\''))
                    value = value.substr(1, value.size() - 2);
                if (value.empty())
                    value = L"\x01";  // [a=""] means an empty value, not presence
            }
            out.attributes.emplace_back(name, value);
        } else {
            break;
        }
    }
    return i > start;
}

}  // namespace

bool ParseSelectorGroup(const std::wstring& textIn, std::vector<Selector>& out)
{
    std::wstring text = Trim(textIn);
    size_t pos = 0;
    bool any = false;
    while (pos <= text.size()) {
        size_t comma = text.find(L',', pos);
        if (comma == std::wstring::npos)
            comma = text.size();
        std::wstring one = Trim(text.substr(pos, comma - pos));
        pos = comma + 1;
        if (one.empty()) {
            out.clear();
            return false;
        }
        Selector sel;
        size_t i = 0;
        bool ok = true;
        char pending = 0;
        while (i < one.size()) {
            bool ws = false;
            while (i < one.size() && iswspace(one[i])) {
                ++i;
                ws = true;
            }
            if (i >= one.size())
                break;
            if (one[i] == L'>' || one[i] == L'+' || one[i] == L'~') {
                pending = one[i] == L'~' ? '~' : static_cast<char>(one[i]);
                ++i;
                continue;
            }
            if (!sel.parts.empty())
                sel.combinators.push_back(pending ? pending : (ws ? ' ' : ' '));
            pending = 0;
            SimpleSelector simple;
            if (!ParseCompound(one, i, simple)) {
                ok = false;
                break;
            }
            sel.parts.push_back(std::move(simple));
        }
        if (!ok || sel.parts.empty() || pending) {
            out.clear();
            return false;
        }  // one bad selector drops the rule
        for (auto& p : sel.parts) {
            if (!p.id.empty())
                sel.specificity += 10000;
            sel.specificity += 100 * static_cast<int>(p.classes.size() + p.attributes.size());
            sel.specificity +=
                100 * (p.hover + p.focus + p.disabled + p.checked + p.active + p.firstChild + p.lastChild + p.enabled);
            if (!p.tag.empty() && p.tag != "*")
                sel.specificity += 1;
        }
        for (char c : sel.combinators)
            if (c == '~')
                ok = false;  // general sibling: never matches
        if (ok) {
            out.push_back(std::move(sel));
            any = true;
        }
        if (comma >= text.size())
            break;
    }
    return any;
}

namespace {

bool MatchSimple(const SimpleSelector& s, const Element* e)
{
    if (s.unsupported)
        return false;
    if (!s.tag.empty() && s.tag != "*" && s.tag != e->tag)
        return false;
    if (!s.id.empty() && e->Id() != s.id)
        return false;
    for (auto& c : s.classes)
        if (!e->HasClass(c))
            return false;
    for (auto& a : s.attributes) {
        const std::wstring* v = e->Attribute(a.first);
        if (!v)
            return false;
        if (!a.second.empty() && !(a.second == L"\x01" ? v->empty() : *v == a.second))
            return false;
    }
    if (s.hover && !e->hover)
        return false;
    if (s.focus && !e->focused)
        return false;
    if (s.active && !e->active)
        return false;
    if (s.disabled && !e->Disabled())
        return false;
    if (s.enabled && e->Disabled())
        return false;
    if (s.checked && !e->checked)
        return false;
    if (s.firstChild || s.lastChild) {
        if (!e->parent)
            return false;
        auto kids = e->parent->ElementChildren();
        if (s.firstChild && kids.front() != e)
            return false;
        if (s.lastChild && kids.back() != e)
            return false;
    }
    return true;
}

const Element* PreviousElement(const Element* e)
{
    if (!e->parent)
        return nullptr;
    const Element* prev = nullptr;
    for (auto& c : e->parent->children) {
        if (c.get() == e)
            return prev;
        if (c->IsElement())
            prev = static_cast<const Element*>(c.get());
    }
    return nullptr;
}

bool MatchFrom(const Selector& sel, int idx, const Element* e)
{
    if (!MatchSimple(sel.parts[idx], e))
        return false;
    if (idx == 0)
        return true;
    char comb = sel.combinators[idx - 1];
    if (comb == '>')
        return e->parent && MatchFrom(sel, idx - 1, e->parent);
    if (comb == '+') {
        const Element* p = PreviousElement(e);
        return p && MatchFrom(sel, idx - 1, p);
    }
    for (const Element* p = e->parent; p; p = p->parent)
        if (MatchFrom(sel, idx - 1, p))
            return true;
    return false;
}

}  // namespace

bool Matches(const Selector& sel, const Element* e)
{
    return !sel.parts.empty() && MatchFrom(sel, static_cast<int>(sel.parts.size()) - 1, e);
}

namespace {

// Index of the first `stop` character at nesting depth zero from i, skipping
// strings, escapes and bracketed blocks; text.size() when there is none.
size_t FindTopLevel(const std::wstring& text, size_t i, const wchar_t* stops)
{
    std::vector<wchar_t> closers;
    while (i < text.size()) {
        wchar_t c = text[i];
        if (c == L'\\') {
            i += 2;
            continue;
        }
        if (c == L'"' || c == L'\'') {
            for (++i; i < text.size() && text[i] != c && text[i] != L'\n'; ++i)
                if (text[i] == L'\\')
                    ++i;
            ++i;
            continue;
        }
        if (c && closers.empty() && wcschr(stops, c))
            return i;
        if (c == L'(')
            closers.push_back(L')');
        else if (c == L'[')
            closers.push_back(L']');
        else if (c == L'{')
            closers.push_back(L'}');
        else if (!closers.empty() && c == closers.back())
            closers.pop_back();
        ++i;
    }
    return text.size();
}

// The end of the block whose "{" is at `open`: the index of its "}", or
// text.size() when the sheet ends first (the block is then closed there).
size_t BlockEnd(const std::wstring& text, size_t open)
{
    return FindTopLevel(text, open + 1, L"}");
}

}  // namespace

std::vector<Declaration> ParseDeclarations(const std::wstring& textIn)
{
    std::vector<Declaration> out;
    std::wstring text = StripComments(textIn);
    size_t i = 0;
    while (i < text.size()) {
        // A semicolon inside strings, parentheses or blocks does not end the value.
        size_t j = FindTopLevel(text, i, L";");
        std::wstring one = text.substr(i, j - i);
        i = j + 1;
        size_t colon = one.find(L':');
        if (colon == std::wstring::npos)
            continue;
        std::wstring name = Trim(one.substr(0, colon));
        if (name.find(L'\\') != std::wstring::npos)
            name = Unescape(name);
        bool identifier = !name.empty();
        for (wchar_t c : name)
            if (!IsIdentChar(c))
                identifier = false;
        if (!identifier)
            continue;  // "<!-- color", "{x} color" and the like are not declarations
        Declaration d;
        d.property = Lower(name);
        d.value = Trim(one.substr(colon + 1));
        // "! important" may carry spaces and any case.
        size_t bang = FindTopLevel(d.value, 0, L"!");
        if (bang < d.value.size()) {
            if (Lower(Trim(d.value.substr(bang + 1))) != "important")
                continue;
            d.important = true;
            d.value = Trim(d.value.substr(0, bang));
        }
        if (d.value.find(L'{') != std::wstring::npos || d.value.find(L'}') != std::wstring::npos)
            continue;
        if (d.value.find(L'\\') != std::wstring::npos && d.value.find(L"url(") == std::wstring::npos)
            d.value = Unescape(d.value);
        if (!d.value.empty())
            out.push_back(std::move(d));
    }
    return out;
}

namespace {

// Nested @media blocks deeper than this are dropped: each level copies its
// body, so unbounded nesting costs memory quadratic in the sheet's size.
constexpr int kMaxMediaNesting = 8;

void ParseStyleSheetAt(const std::wstring& textIn, const std::wstring& baseUrl, StyleSheet& out, unsigned& order,
                       int depth);

}  // namespace

void ParseStyleSheet(const std::wstring& textIn, const std::wstring& baseUrl, StyleSheet& out, unsigned& order)
{
    ParseStyleSheetAt(textIn, baseUrl, out, order, 0);
}

namespace {

void ParseStyleSheetAt(const std::wstring& textIn, const std::wstring& baseUrl, StyleSheet& out, unsigned& order,
                       int depth)
{
    std::wstring text = depth == 0 ? StripComments(textIn) : textIn;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && iswspace(text[i]))
            ++i;
        // "<!--" and "-->" are allowed (and ignored) between rules.
        if (text.compare(i, 4, L"<!--") == 0) {
            i += 4;
            continue;
        }
        if (text.compare(i, 3, L"-->") == 0) {
            i += 3;
            continue;
        }
        if (i >= text.size())
            break;
        if (text[i] == L'@') {
            // An at-rule ends at its ";" or with its block.
            size_t stop = FindTopLevel(text, i, L";{");
            std::wstring prelude = Trim(text.substr(i, stop - i));
            if (stop < text.size() && text[stop] == L'{') {
                size_t close = BlockEnd(text, stop);
                std::wstring body = text.substr(stop + 1, close - stop - 1);
                // @media blocks: their rules apply (a screen is the only medium).
                if (Lower(prelude.substr(0, 6)) == "@media" && depth < kMaxMediaNesting)
                    ParseStyleSheetAt(body, baseUrl, out, order, depth + 1);
                i = close + 1;
            } else {
                i = stop + 1;
            }
            continue;
        }
        size_t open = FindTopLevel(text, i, L"{");
        if (open >= text.size())
            break;  // a prelude without a block is dropped
        std::wstring prelude = Trim(text.substr(i, open - i));
        size_t close = BlockEnd(text, open);
        std::wstring body = text.substr(open + 1, std::min(close, text.size()) - open - 1);
        i = close + 1;
        // A stray "}" or ";" makes the prelude invalid: the whole rule is dropped.
        if (prelude.empty() || prelude.find_first_of(L"};") != std::wstring::npos)
            continue;
        Rule r;
        if (!ParseSelectorGroup(prelude, r.selectors))
            continue;
        r.declarations = ParseDeclarations(body);
        r.baseUrl = baseUrl;
        r.order = order++;
        out.rules.push_back(std::move(r));
    }
}

}  // namespace

const StyleSheet& UserAgentSheet()
{
    static StyleSheet sheet = [] {
        StyleSheet s;
        unsigned order = 0;
        ParseStyleSheet(
            L"html,body,div,p,ul,ol,li,h1,h2,h3,h4,h5,h6,form,header,footer,section,table,tr,pre,blockquote,"
            L"center,dl,dt,dd,nav,article,aside,main,fieldset,hr{display:block}"
            L"li{display:list-item}"
            L"head,script,style,link,meta,title,template{display:none}"
            L"body{margin:8px}"
            L"p{margin-top:13px;margin-bottom:13px}"
            L"h1{font-size:26px;font-weight:bold;margin-top:17px;margin-bottom:17px}"
            L"h2{font-size:19px;font-weight:bold;margin-top:16px;margin-bottom:16px}"
            L"h3{font-size:15px;font-weight:bold;margin-top:13px;margin-bottom:13px}"
            L"b,strong,th{font-weight:bold} i,em{font-style:italic} center{text-align:center}"
            L"ul,ol{padding-left:40px;margin-top:13px;margin-bottom:13px}"
            L"a{color:#0645ad;text-decoration:underline;cursor:pointer}"
            L"img,input,button,textarea,select{display:inline-block}"
            L"input,textarea{border:1px solid "
            L"#999;background-color:#fff;padding:2px;width:150px;height:18px;cursor:text}"
            L"textarea{height:40px;white-space:pre-wrap}"
            L"input[type=checkbox],input[type=radio]{width:13px;height:13px;padding:0;cursor:default;margin:3px}"
            L"button,input[type=button],input[type=submit]{border:1px solid #888;background-color:#e8e8e8;"
            L"padding:2px 8px;cursor:default;width:auto;height:auto;text-align:center}"
            L"hr{border-top:1px solid #aaa;margin-top:6px;margin-bottom:6px}"
            L"pre{white-space:pre}",
            L"", s, order);
        return s;
    }();
    return sheet;
}

void StyleResolver::AddSheet(const std::wstring& text, const std::wstring& baseUrl)
{
    auto sheet = std::make_shared<StyleSheet>();
    ParseStyleSheet(text, baseUrl, *sheet, m_order);
    m_sheets.push_back(sheet);
}

size_t StyleResolver::RuleCount() const
{
    size_t n = 0;
    for (auto& s : m_sheets)
        n += s->rules.size();
    return n;
}

// ---- values ----------------------------------------------------------------

namespace {

std::vector<std::wstring> SplitSpaces(const std::wstring& v)
{
    std::vector<std::wstring> out;
    size_t i = 0;
    while (i < v.size()) {
        while (i < v.size() && iswspace(v[i]))
            ++i;
        if (i >= v.size())
            break;
        size_t j = i;
        int paren = 0;
        while (j < v.size() && (paren > 0 || !iswspace(v[j]))) {
            if (v[j] == L'(')
                ++paren;
            if (v[j] == L')')
                --paren;
            ++j;
        }
        out.push_back(v.substr(i, j - i));
        i = j;
    }
    return out;
}

// Lengths beyond this many pixels are clamped: layout stays finite.
constexpr double kMaxLength = 1e7;

// The root element's font size while a tree is styled (rem lengths).
thread_local float t_rootFontSize = 13;

// A CSS number at the start of `v` ([+-] digits [. digits] [e[+-]digits]);
// returns the characters used, 0 when there is no number.
size_t ReadNumber(const std::wstring& v, double& out)
{
    size_t i = 0;
    if (i < v.size() && (v[i] == L'+' || v[i] == L'-'))
        ++i;
    size_t digits = 0;
    while (i < v.size() && iswdigit(v[i])) {
        ++i;
        ++digits;
    }
    if (i < v.size() && v[i] == L'.' && i + 1 < v.size() && iswdigit(v[i + 1])) {
        ++i;
        while (i < v.size() && iswdigit(v[i])) {
            ++i;
            ++digits;
        }
    }
    if (!digits)
        return 0;
    if (i < v.size() && (v[i] == L'e' || v[i] == L'E')) {
        size_t k = i + 1;
        if (k < v.size() && (v[k] == L'+' || v[k] == L'-'))
            ++k;
        if (k < v.size() && iswdigit(v[k])) {
            while (k < v.size() && iswdigit(v[k]))
                ++k;
            i = k;
        }
    }
    std::string ascii;
    for (size_t k = 0; k < i; ++k)
        ascii += static_cast<char>(v[k]);
    out = strtod(ascii.c_str(), nullptr);
    if (!std::isfinite(out))
        out = out < 0 ? -kMaxLength : kMaxLength;
    return i;
}

struct LengthOptions {
    float fontSize = 13;
    bool unitless = false;  // HTML attributes: plain numbers are pixels
    bool negative = true;   // false: negative values make the declaration invalid
};

bool ParseLength(const std::wstring& vIn, Length& out, const LengthOptions& o)
{
    std::wstring v = Trim(vIn);
    std::string lv = Lower(v);
    if (lv == "auto") {
        out = Length();
        return true;
    }
    double n = 0;
    size_t used = ReadNumber(v, n);
    if (!used)
        return false;
    std::string u = Lower(v.substr(used));
    double px;
    if (u == "px")
        px = n;
    else if (u == "%")
        px = n;
    else if (u == "em")
        px = n * o.fontSize;
    else if (u == "rem")
        px = n * t_rootFontSize;
    else if (u == "ex" || u == "ch")
        px = n * o.fontSize / 2;  // half an em: the usual x-height and digit width
    else if (u == "in")
        px = n * 96;
    else if (u == "cm")
        px = n * 96 / 2.54;
    else if (u == "mm")
        px = n * 96 / 25.4;
    else if (u == "q")
        px = n * 96 / 101.6;
    else if (u == "pt")
        px = n * 96 / 72;
    else if (u == "pc")
        px = n * 16;
    else if (u.empty() && (n == 0 || o.unitless))
        px = n;
    else
        return false;
    if (n < 0 && !o.negative)
        return false;
    px = std::clamp(px, -kMaxLength, kMaxLength);
    out = {u == "%" ? Length::Percent : Length::Px, static_cast<float>(px)};
    return true;
}

bool ParseLength(const std::wstring& v, Length& out, float fontSize = 13)
{
    LengthOptions o;
    o.fontSize = fontSize;
    return ParseLength(v, out, o);
}

bool ParseSize(const std::wstring& v, Length& out, float fontSize)
{
    LengthOptions o;
    o.fontSize = fontSize;
    o.negative = false;
    return ParseLength(v, out, o);
}

// A non-negative pixel length (padding, border widths, radii).
bool ParsePx(const std::wstring& v, float& out, float fontSize = 13)
{
    Length l;
    if (!ParseSize(v, l, fontSize) || l.unit != Length::Px)
        return false;
    out = l.value;
    return true;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    c = towlower(c);
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

}  // namespace

bool ParseColor(const std::wstring& textIn, Argb& out)
{
    std::wstring t = Trim(textIn);
    std::string l = Lower(t);
    if (l.empty())
        return false;
    if (l[0] == '#') {
        std::string h = l.substr(1);
        for (char c : h)
            if (HexDigit(c) < 0)
                return false;
        unsigned r, g, b, a = 255;
        if (h.size() == 3 || h.size() == 4) {
            r = HexDigit(h[0]) * 17;
            g = HexDigit(h[1]) * 17;
            b = HexDigit(h[2]) * 17;
            if (h.size() == 4)
                a = HexDigit(h[3]) * 17;
        } else if (h.size() == 6 || h.size() == 8) {
            r = HexDigit(h[0]) * 16 + HexDigit(h[1]);
            g = HexDigit(h[2]) * 16 + HexDigit(h[3]);
            b = HexDigit(h[4]) * 16 + HexDigit(h[5]);
            if (h.size() == 8)
                a = HexDigit(h[6]) * 16 + HexDigit(h[7]);
        } else {
            return false;
        }
        out = (a << 24) | (r << 16) | (g << 8) | b;
        return true;
    }
    if (l.compare(0, 4, "rgb(") == 0 || l.compare(0, 5, "rgba(") == 0) {
        size_t open = l.find('('), close = l.find(')');
        if (close == std::string::npos)
            return false;
        std::string inner = l.substr(open + 1, close - open - 1);
        double v[4] = {0, 0, 0, 1};
        int n = 0;
        size_t i = 0;
        while (i < inner.size() && n < 4) {
            while (i < inner.size() && (inner[i] == ' ' || inner[i] == ','))
                ++i;
            if (i >= inner.size())
                break;
            char* end = nullptr;
            v[n] = strtod(inner.c_str() + i, &end);
            size_t used = end - (inner.c_str() + i);
            if (!used || !std::isfinite(v[n]))
                return false;  // "nan", "inf": not a colour
            i += used;
            if (i < inner.size() && inner[i] == '%') {
                v[n] = n < 3 ? v[n] * 2.55 : v[n] / 100;
                ++i;
            }
            ++n;
        }
        if (n < 3)
            return false;
        auto clamp = [](double x, double hi) { return x < 0 ? 0 : x > hi ? hi : x; };
        unsigned r = static_cast<unsigned>(clamp(v[0], 255) + 0.5), g = static_cast<unsigned>(clamp(v[1], 255) + 0.5),
                 b = static_cast<unsigned>(clamp(v[2], 255) + 0.5),
                 a = static_cast<unsigned>(clamp(v[3], 1) * 255 + 0.5);
        out = (a << 24) | (r << 16) | (g << 8) | b;
        return true;
    }
    static const std::unordered_map<std::string, Argb> kNames = {
        {"transparent", 0x00000000}, {"black", 0xFF000000},    {"white", 0xFFFFFFFF},     {"red", 0xFFFF0000},
        {"green", 0xFF008000},       {"lime", 0xFF00FF00},     {"blue", 0xFF0000FF},      {"yellow", 0xFFFFFF00},
        {"gray", 0xFF808080},        {"grey", 0xFF808080},     {"silver", 0xFFC0C0C0},    {"orange", 0xFFFFA500},
        {"purple", 0xFF800080},      {"navy", 0xFF000080},     {"teal", 0xFF008080},      {"maroon", 0xFF800000},
        {"olive", 0xFF808000},       {"aqua", 0xFF00FFFF},     {"cyan", 0xFF00FFFF},      {"fuchsia", 0xFFFF00FF},
        {"magenta", 0xFFFF00FF},     {"darkgray", 0xFFA9A9A9}, {"lightgray", 0xFFD3D3D3}, {"pink", 0xFFFFC0CB},
        {"brown", 0xFFA52A2A},       {"gold", 0xFFFFD700},     {"whitesmoke", 0xFFF5F5F5}};
    auto it = kNames.find(l);
    if (it == kNames.end())
        return false;
    out = it->second;
    return true;
}

namespace {

bool ParseBorderStyle(const std::string& p, BorderStyle& out)
{
    if (p == "none" || p == "hidden")
        out = BorderStyle::None;
    else if (p == "solid" || p == "groove" || p == "ridge" || p == "inset" || p == "outset")
        out = BorderStyle::Solid;
    else if (p == "dashed")
        out = BorderStyle::Dashed;
    else if (p == "dotted")
        out = BorderStyle::Dotted;
    else if (p == "double")
        out = BorderStyle::Double;
    else
        return false;
    return true;
}

bool ParseBorderWidth(const std::wstring& part, float& out)
{
    std::string p = Lower(Trim(part));
    if (p == "thin")
        out = 1;
    else if (p == "medium")
        out = 3;
    else if (p == "thick")
        out = 5;
    else
        return ParsePx(part, out);
    return true;
}

// The border shorthands: width, style and colour in any order, each at most
// once; what is left out takes its initial value. Anything else drops it.
void ApplyBorder(ComputedStyle& s, const std::wstring& value, int side /* -1 all */)
{
    float width = 3;
    BorderStyle style = BorderStyle::None;
    Argb color = 0;
    bool hasWidth = false, hasStyle = false, hasColor = false;
    for (auto& part : SplitSpaces(value)) {
        std::string p = Lower(part);
        float w;
        Argb c;
        BorderStyle bs;
        if (!hasStyle && ParseBorderStyle(p, bs)) {
            style = bs;
            hasStyle = true;
        } else if (!hasWidth && ParseBorderWidth(part, w)) {
            width = w;
            hasWidth = true;
        } else if (!hasColor && ParseColor(part, c)) {
            color = c;
            hasColor = true;
        } else
            return;
    }
    if (!hasWidth && !hasStyle && !hasColor)
        return;
    for (int i = 0; i < 4; ++i) {
        if (side >= 0 && i != side)
            continue;
        s.borderWidth[i] = width;
        s.borderStyle[i] = style;
        s.borderColor[i] = color;
        s.borderColorSet[i] = hasColor;
    }
}

// One to four values for the four sides (top, right, bottom, left).
template <typename T, typename Parse> bool ApplySides(T (&sides)[4], const std::wstring& value, Parse parse)
{
    std::vector<T> vals;
    for (auto& part : SplitSpaces(value)) {
        T v;
        if (!parse(part, v))
            return false;
        vals.push_back(v);
    }
    if (vals.empty() || vals.size() > 4)
        return false;
    if (vals.size() == 1)
        sides[0] = sides[1] = sides[2] = sides[3] = vals[0];
    else if (vals.size() == 2) {
        sides[0] = sides[2] = vals[0];
        sides[1] = sides[3] = vals[1];
    } else if (vals.size() == 3) {
        sides[0] = vals[0];
        sides[1] = sides[3] = vals[1];
        sides[2] = vals[2];
    } else
        for (int i = 0; i < 4; ++i)
            sides[i] = vals[i];
    return true;
}

int SideIndex(const std::string& name)
{
    if (name == "top")
        return 0;
    if (name == "right")
        return 1;
    if (name == "bottom")
        return 2;
    if (name == "left")
        return 3;
    return -1;
}

FlexAlign ParseFlexAlign(const std::string& v, bool& ok)
{
    ok = true;
    if (v == "flex-start" || v == "start" || v == "left" || v == "self-start")
        return FlexAlign::Start;
    if (v == "flex-end" || v == "end" || v == "right" || v == "self-end")
        return FlexAlign::End;
    if (v == "center")
        return FlexAlign::Center;
    if (v == "stretch" || v == "normal")
        return FlexAlign::Stretch;
    if (v == "baseline" || v == "first baseline")
        return FlexAlign::Baseline;
    if (v == "space-between")
        return FlexAlign::SpaceBetween;
    if (v == "space-around")
        return FlexAlign::SpaceAround;
    if (v == "space-evenly")
        return FlexAlign::SpaceEvenly;
    if (v == "auto")
        return FlexAlign::Auto;
    ok = false;
    return FlexAlign::Auto;
}

bool ParseNonNegativeNumber(const std::wstring& v, float& out)
{
    double n = 0;
    std::wstring t = Trim(v);
    size_t used = ReadNumber(t, n);
    if (!used || used != t.size() || n < 0)
        return false;
    out = static_cast<float>(std::min(n, kMaxLength));
    return true;
}

std::wstring UrlOf(const std::wstring& v)
{
    size_t b = v.find(L"url(");
    if (b == std::wstring::npos)
        return std::wstring();
    size_t e = v.find(L')', b);
    if (e == std::wstring::npos)
        return std::wstring();
    std::wstring u = Trim(v.substr(b + 4, e - b - 4));
    if (u.size() >= 2 && (u[0] == L'"' || u[0] == L'\''))
        u = u.substr(1, u.size() - 2);
    return u;
}

void ApplyBackgroundPosition(ComputedStyle& s, const std::vector<std::wstring>& parts)
{
    std::vector<Length> ls;
    bool xSet = false, ySet = false;
    for (auto& p : parts) {
        std::string l = Lower(p);
        if (l == "left") {
            s.backgroundX = Length::Pixels(0);
            xSet = true;
        } else if (l == "right") {
            s.backgroundX = {Length::Percent, 100};
            xSet = true;
        } else if (l == "top") {
            s.backgroundY = Length::Pixels(0);
            ySet = true;
        } else if (l == "bottom") {
            s.backgroundY = {Length::Percent, 100};
            ySet = true;
        } else if (l == "center")
            ls.push_back({Length::Percent, 50});
        else {
            Length len;
            if (ParseLength(p, len))
                ls.push_back(len);
        }
    }
    size_t k = 0;
    if (!xSet && k < ls.size())
        s.backgroundX = ls[k++];
    if (!ySet && k < ls.size())
        s.backgroundY = ls[k++];
    else if (!ySet && ls.size() == 1 && !xSet)
        s.backgroundY = {Length::Percent, 50};
}

}  // namespace

void ApplyDeclaration(ComputedStyle& s, const ComputedStyle* parent, const Declaration& d, const std::wstring& baseUrl)
{
    const std::string& p = d.property;
    const std::wstring& v = d.value;
    std::string lv = Lower(v);
    if (lv == "inherit") {
        if (!parent)
            return;
        if (p == "color")
            s.color = parent->color;
        else if (p == "font-size")
            s.fontSize = parent->fontSize;
        else if (p == "font-family")
            s.fontFamily = parent->fontFamily;
        else if (p == "font-weight")
            s.fontWeight = parent->fontWeight;
        else if (p == "background-color")
            s.backgroundColor = parent->backgroundColor;
        else if (p == "cursor")
            s.cursor = parent->cursor;
        return;
    }
    Length len;
    float px;
    Argb color;
    if (p == "display") {
        if (lv == "block" || lv == "table" || lv == "table-row" || lv == "table-cell")
            s.display = Display::Block;
        else if (lv == "flex")
            s.display = Display::Flex;
        else if (lv == "inline-flex")
            s.display = Display::InlineFlex;
        else if (lv == "inline")
            s.display = Display::Inline;
        else if (lv == "inline-block" || lv == "inline-table")
            s.display = Display::InlineBlock;
        else if (lv == "none")
            s.display = Display::None;
        else if (lv == "list-item")
            s.display = Display::ListItem;
    } else if (p == "visibility") {
        if (lv == "hidden" || lv == "collapse")
            s.visible = false;
        else if (lv == "visible")
            s.visible = true;
    } else if (p == "position") {
        if (lv == "static")
            s.position = Position::Static;
        else if (lv == "relative")
            s.position = Position::Relative;
        else if (lv == "absolute")
            s.position = Position::Absolute;
        else if (lv == "fixed")
            s.position = Position::Fixed;
    } else if (p == "left" || p == "top" || p == "right" || p == "bottom" || p == "width" || p == "height" ||
               p == "min-width" || p == "min-height" || p == "max-width" || p == "max-height") {
        bool offset = p == "left" || p == "top" || p == "right" || p == "bottom";
        bool isMax = p.compare(0, 4, "max-") == 0, isMin = p.compare(0, 4, "min-") == 0;
        if (lv == "none" && isMax)
            len = Length();
        else if (lv == "auto" && isMax)
            return;
        else if (!(offset ? ParseLength(v, len, s.fontSize) : ParseSize(v, len, s.fontSize)))
            return;
        if (isMin && len.IsAuto())
            len = Length::Pixels(0);
        Length* target = p == "left"         ? &s.left
                         : p == "top"        ? &s.top
                         : p == "right"      ? &s.right
                         : p == "bottom"     ? &s.bottom
                         : p == "width"      ? &s.width
                         : p == "height"     ? &s.height
                         : p == "min-width"  ? &s.minWidth
                         : p == "min-height" ? &s.minHeight
                         : p == "max-width"  ? &s.maxWidth
                                             : &s.maxHeight;
        *target = len;
    } else if (p == "margin") {
        float fs = s.fontSize;
        ApplySides(s.margin, v, [fs](const std::wstring& part, Length& out) { return ParseLength(part, out, fs); });
    } else if (p == "margin-top" || p == "margin-right" || p == "margin-bottom" || p == "margin-left") {
        if (!ParseLength(v, len, s.fontSize))
            return;
        s.margin[p == "margin-top" ? 0 : p == "margin-right" ? 1 : p == "margin-bottom" ? 2 : 3] = len;
    } else if (p == "padding") {
        float fs = s.fontSize;
        Length sides[4];
        if (!ApplySides(sides, v, [fs](const std::wstring& part, Length& out) {
                return ParseSize(part, out, fs) && !out.IsAuto();
            }))
            return;
        for (int i = 0; i < 4; ++i) {
            s.padding[i] = sides[i].unit == Length::Px ? sides[i].value : 0;
            s.paddingPercent[i] = sides[i].unit == Length::Percent ? sides[i].value : -1;
        }
    } else if (p == "padding-top" || p == "padding-right" || p == "padding-bottom" || p == "padding-left") {
        if (!ParseSize(v, len, s.fontSize) || len.IsAuto())
            return;
        int i = SideIndex(p.substr(8));
        s.padding[i] = len.unit == Length::Px ? len.value : 0;
        s.paddingPercent[i] = len.unit == Length::Percent ? len.value : -1;
    } else if (p == "border") {
        ApplyBorder(s, v, -1);
    } else if (p == "border-top" || p == "border-right" || p == "border-bottom" || p == "border-left") {
        ApplyBorder(s, v, SideIndex(p.substr(7)));
    } else if (p == "border-width") {
        ApplySides(s.borderWidth, v, ParseBorderWidth);
    } else if (p == "border-color") {
        if (ApplySides(s.borderColor, v, [](const std::wstring& part, Argb& out) { return ParseColor(part, out); }))
            for (bool& set : s.borderColorSet)
                set = true;
    } else if (p == "border-style") {
        ApplySides(s.borderStyle, v,
                   [](const std::wstring& part, BorderStyle& out) { return ParseBorderStyle(Lower(Trim(part)), out); });
    } else if (p.compare(0, 7, "border-") == 0 && p.find('-', 7) != std::string::npos &&
               SideIndex(p.substr(7, p.find('-', 7) - 7)) >= 0) {
        // border-<side>-width / -style / -color
        size_t dash = p.find('-', 7);
        int i = SideIndex(p.substr(7, dash - 7));
        std::string what = p.substr(dash + 1);
        BorderStyle bs;
        if (what == "width") {
            if (ParseBorderWidth(v, px))
                s.borderWidth[i] = px;
        } else if (what == "style") {
            if (ParseBorderStyle(lv, bs))
                s.borderStyle[i] = bs;
        } else if (what == "color") {
            if (ParseColor(v, color)) {
                s.borderColor[i] = color;
                s.borderColorSet[i] = true;
            }
        }
    } else if (p == "border-radius") {
        auto parts = SplitSpaces(v);
        if (!parts.empty() && parts.size() <= 4 && ParsePx(parts[0], px))
            s.borderRadius = px;
    } else if (p == "background-color") {
        if (ParseColor(v, color))
            s.backgroundColor = color;
    } else if (p == "background") {
        // The shorthand sets every part; what it leaves out is reset. A part
        // it cannot read drops the whole declaration.
        ComputedStyle t;
        std::vector<std::wstring> pos;
        for (auto& part : SplitSpaces(v)) {
            std::string lp = Lower(part);
            Length l;
            if (lp.compare(0, 4, "url(") == 0) {
                std::wstring u = UrlOf(part);
                t.backgroundImage = u.empty() ? L"" : ResolveUrl(baseUrl, u);
            } else if (lp == "none")
                t.backgroundImage.clear();
            else if (lp == "repeat")
                t.backgroundRepeat = Repeat::Repeat;
            else if (lp == "repeat-x")
                t.backgroundRepeat = Repeat::RepeatX;
            else if (lp == "repeat-y")
                t.backgroundRepeat = Repeat::RepeatY;
            else if (lp == "no-repeat")
                t.backgroundRepeat = Repeat::NoRepeat;
            else if (lp == "scroll" || lp == "fixed" || lp == "local") {
            } else if (ParseColor(part, color))
                t.backgroundColor = color;
            else if (lp == "left" || lp == "right" || lp == "top" || lp == "bottom" || lp == "center" ||
                     (ParseLength(part, l, s.fontSize) && !l.IsAuto()))
                pos.push_back(part);
            else
                return;
        }
        if (!pos.empty())
            ApplyBackgroundPosition(t, pos);
        s.backgroundColor = t.backgroundColor;
        s.backgroundImage = t.backgroundImage;
        s.backgroundRepeat = t.backgroundRepeat;
        s.backgroundX = t.backgroundX;
        s.backgroundY = t.backgroundY;
    } else if (p == "background-image") {
        if (lv == "none")
            s.backgroundImage.clear();
        else {
            std::wstring u = UrlOf(v);
            if (!u.empty())
                s.backgroundImage = ResolveUrl(baseUrl, u);
        }
    } else if (p == "background-position") {
        ApplyBackgroundPosition(s, SplitSpaces(v));
    } else if (p == "background-repeat") {
        if (lv == "repeat")
            s.backgroundRepeat = Repeat::Repeat;
        else if (lv == "repeat-x")
            s.backgroundRepeat = Repeat::RepeatX;
        else if (lv == "repeat-y")
            s.backgroundRepeat = Repeat::RepeatY;
        else if (lv == "no-repeat")
            s.backgroundRepeat = Repeat::NoRepeat;
    } else if (p == "color") {
        if (ParseColor(v, color))
            s.color = color;
    } else if (p == "font-family") {
        std::wstring first = v;
        size_t comma = first.find(L',');
        if (comma != std::wstring::npos)
            first = first.substr(0, comma);
        first = Trim(first);
        if (first.size() >= 2 && (first[0] == L'"' || first[0] == L'\''))
            first = first.substr(1, first.size() - 2);
        std::string lf = Lower(first);
        if (lf == "sans-serif" || lf == "system-ui")
            first = L"Arial";
        else if (lf == "serif")
            first = L"Times New Roman";
        else if (lf == "monospace")
            first = L"Courier New";
        if (!first.empty())
            s.fontFamily = first;
    } else if (p == "font-size") {
        if (lv == "small")
            s.fontSize = 12;
        else if (lv == "medium")
            s.fontSize = 14;
        else if (lv == "large")
            s.fontSize = 17;
        else if (lv == "x-small")
            s.fontSize = 10;
        else if (lv == "x-large")
            s.fontSize = 24;
        else if (ParseSize(v, len, parent ? parent->fontSize : 13)) {
            if (len.unit == Length::Px)
                s.fontSize = len.value;
            else if (len.unit == Length::Percent)
                s.fontSize = (parent ? parent->fontSize : 13) * len.value / 100;
        }
    } else if (p == "font-weight") {
        if (lv == "bold" || lv == "bolder")
            s.fontWeight = 700;
        else if (lv == "normal" || lv == "lighter")
            s.fontWeight = 400;
        else {
            int w = _wtoi(v.c_str());
            if (w >= 100 && w <= 900)
                s.fontWeight = w;
        }
    } else if (p == "font-style") {
        s.italic = lv == "italic" || lv == "oblique";
    } else if (p == "font") {
        // "bold 14px Arial": weight, size and family.
        auto parts = SplitSpaces(v);
        for (size_t i = 0; i < parts.size(); ++i) {
            std::string lp = Lower(parts[i]);
            if (lp == "bold")
                s.fontWeight = 700;
            else if (lp == "italic")
                s.italic = true;
            else if (ParseLength(parts[i].substr(0, parts[i].find(L'/')), len, s.fontSize) && len.unit == Length::Px) {
                s.fontSize = len.value;
                std::wstring fam;
                for (size_t k = i + 1; k < parts.size(); ++k)
                    fam += (fam.empty() ? L"" : L" ") + parts[k];
                if (!fam.empty())
                    ApplyDeclaration(s, parent, {"font-family", fam, false}, baseUrl);
                break;
            }
        }
    } else if (p == "text-decoration") {
        s.underline = lv.find("underline") != std::string::npos;
    } else if (p == "text-align") {
        if (lv == "left" || lv == "start")
            s.textAlign = TextAlign::Left;
        else if (lv == "justify")
            s.textAlign = TextAlign::Justify;
        else if (lv == "center")
            s.textAlign = TextAlign::Center;
        else if (lv == "right" || lv == "end")
            s.textAlign = TextAlign::Right;
    } else if (p == "line-height") {
        if (lv == "normal") {
            s.lineHeight = -1;
            s.lineHeightFactor = -1;
        } else if (ParseNonNegativeNumber(v, px)) {
            s.lineHeight = px * s.fontSize;
            s.lineHeightFactor = px;
        } else if (ParseSize(v, len, s.fontSize)) {
            if (len.IsAuto())
                return;
            s.lineHeightFactor = -1;
            if (len.unit == Length::Px)
                s.lineHeight = len.value;
            else if (len.unit == Length::Percent)
                s.lineHeight = s.fontSize * len.value / 100;
        }
    } else if (p == "opacity") {
        wchar_t* end = nullptr;
        double o = wcstod(v.c_str(), &end);
        if (end != v.c_str())
            s.opacity = static_cast<float>(o < 0 ? 0 : o > 1 ? 1 : o);
    } else if (p == "overflow" || p == "overflow-x" || p == "overflow-y") {
        s.overflowHidden = lv == "hidden" || lv == "scroll" || lv == "auto" || lv == "clip";
        s.overflowScroll = lv == "scroll" || lv == "auto";
    } else if (p == "z-index") {
        if (lv == "auto") {
            s.zIndexAuto = true;
            s.zIndex = 0;
        } else {
            wchar_t* end = nullptr;
            long z = wcstol(v.c_str(), &end, 10);
            if (end != v.c_str()) {
                s.zIndex = static_cast<int>(z);
                s.zIndexAuto = false;
            }
        }
    } else if (p == "cursor") {
        if (lv == "pointer" || lv == "hand")
            s.cursor = Cursor::Pointer;
        else if (lv == "default")
            s.cursor = Cursor::Default;
        else if (lv == "text")
            s.cursor = Cursor::Text;
        else if (lv == "move")
            s.cursor = Cursor::Move;
        else if (lv == "not-allowed")
            s.cursor = Cursor::NotAllowed;
        else if (lv == "auto")
            s.cursor = Cursor::Auto;
    } else if (p == "white-space") {
        s.noWrap = lv == "nowrap" || lv == "pre";
        s.preWrap = lv == "pre" || lv == "pre-wrap" || lv == "pre-line";
    } else if (p == "float") {
        if (lv == "left")
            s.floating = Float::Left;
        else if (lv == "right")
            s.floating = Float::Right;
        else if (lv == "none")
            s.floating = Float::None;
    } else if (p == "clear") {
        if (lv == "left")
            s.clear = Clear::Left;
        else if (lv == "right")
            s.clear = Clear::Right;
        else if (lv == "both")
            s.clear = Clear::Both;
        else if (lv == "none")
            s.clear = Clear::None;
    } else if (p == "vertical-align") {
        static const std::unordered_map<std::string, VerticalAlign> kAligns = {
            {"baseline", VerticalAlign::Baseline}, {"top", VerticalAlign::Top},
            {"bottom", VerticalAlign::Bottom},     {"middle", VerticalAlign::Middle},
            {"text-top", VerticalAlign::TextTop},  {"text-bottom", VerticalAlign::TextBottom},
            {"sub", VerticalAlign::Sub},           {"super", VerticalAlign::Super}};
        auto it = kAligns.find(lv);
        if (it != kAligns.end()) {
            s.verticalAlign = it->second;
            s.verticalShift = 0;
        } else if (ParseLength(v, len, s.fontSize) && !len.IsAuto()) {
            s.verticalAlign = VerticalAlign::Length;
            s.verticalShift = len.unit == Length::Percent ? s.LineHeightPx() * len.value / 100 : len.value;
        }
    } else if (p == "flex-direction") {
        if (lv == "row" || lv == "row-reverse" || lv == "column" || lv == "column-reverse") {
            s.flexColumn = lv.compare(0, 6, "column") == 0;
            s.flexReverse = lv.find("reverse") != std::string::npos;
        }
    } else if (p == "flex-wrap") {
        if (lv == "wrap" || lv == "nowrap" || lv == "wrap-reverse")
            s.flexWrap = lv != "nowrap";
    } else if (p == "flex-flow") {
        for (auto& part : SplitSpaces(v)) {
            std::string lp = Lower(part);
            if (lp.compare(0, 3, "row") == 0 || lp.compare(0, 6, "column") == 0)
                ApplyDeclaration(s, parent, {"flex-direction", part, false}, baseUrl);
            else
                ApplyDeclaration(s, parent, {"flex-wrap", part, false}, baseUrl);
        }
    } else if (p == "justify-content" || p == "align-items" || p == "align-self" || p == "align-content") {
        bool ok;
        FlexAlign a = ParseFlexAlign(lv, ok);
        if (!ok)
            return;
        if (p == "justify-content") {
            if (a != FlexAlign::Auto && a != FlexAlign::Stretch && a != FlexAlign::Baseline)
                s.justifyContent = a;
        } else if (p == "align-items") {
            if (a != FlexAlign::Auto)
                s.alignItems = a;
        } else if (p == "align-self")
            s.alignSelf = a;
        else if (a != FlexAlign::Auto && a != FlexAlign::Baseline)
            s.alignContent = a;
    } else if (p == "flex-grow") {
        ParseNonNegativeNumber(v, s.flexGrow);
    } else if (p == "flex-shrink") {
        ParseNonNegativeNumber(v, s.flexShrink);
    } else if (p == "flex-basis") {
        if (lv == "content")
            s.flexBasis = Length();
        else if (ParseSize(v, len, s.fontSize))
            s.flexBasis = len;
    } else if (p == "flex") {
        // none | auto | <grow> [<shrink>] [<basis>]
        if (lv == "none") {
            s.flexGrow = 0;
            s.flexShrink = 0;
            s.flexBasis = Length();
            return;
        }
        if (lv == "auto") {
            s.flexGrow = 1;
            s.flexShrink = 1;
            s.flexBasis = Length();
            return;
        }
        auto parts = SplitSpaces(v);
        float grow = 1, shrink = 1, number;
        Length basis = Length::Pixels(0);
        int numbers = 0;
        bool hasBasis = false;
        for (auto& part : parts) {
            if (numbers < 2 && !hasBasis && ParseNonNegativeNumber(part, number) && Lower(Trim(part)) != "0px") {
                (numbers++ == 0 ? grow : shrink) = number;
            } else if (!hasBasis && ParseSize(part, len, s.fontSize)) {
                basis = len;
                hasBasis = true;
            } else {
                return;
            }
        }
        if (parts.empty())
            return;
        s.flexGrow = grow;
        s.flexShrink = shrink;
        s.flexBasis = basis;
    } else if (p == "order") {
        std::wstring t = Trim(v);
        wchar_t* end = nullptr;
        long o = wcstol(t.c_str(), &end, 10);
        if (!t.empty() && end == t.c_str() + t.size())
            s.order = static_cast<int>(std::clamp(o, -1000000L, 1000000L));
    } else if (p == "gap" || p == "row-gap" || p == "column-gap" || p == "grid-gap") {
        auto parts = SplitSpaces(v);
        std::vector<float> gaps;
        for (auto& part : parts) {
            if (Lower(part) == "normal") {
                gaps.push_back(0);
                continue;
            }
            if (!ParseSize(part, len, s.fontSize) || len.unit != Length::Px)
                return;
            gaps.push_back(len.value);
        }
        if (gaps.empty() || gaps.size() > 2)
            return;
        if (p == "row-gap")
            s.rowGap = gaps[0];
        else if (p == "column-gap")
            s.columnGap = gaps[0];
        else {
            s.rowGap = gaps[0];
            s.columnGap = gaps.size() > 1 ? gaps[1] : gaps[0];
        }
    } else if (p == "behavior") {
        s.behavior = Lower(Trim(v));
    }
    // Anything else is not part of the subset and is ignored.
}

namespace {

struct MatchedDecl {
    const Declaration* decl;
    const std::wstring* baseUrl;
    int specificity;
    unsigned order;
    bool important;
};

void InheritFrom(ComputedStyle& s, const ComputedStyle& p)
{
    s.color = p.color;
    s.fontFamily = p.fontFamily;
    s.fontSize = p.fontSize;
    s.fontWeight = p.fontWeight;
    s.italic = p.italic;
    s.textAlign = p.textAlign;
    s.lineHeight = p.lineHeight;
    s.lineHeightFactor = p.lineHeightFactor;
    s.visible = p.visible;
    s.cursor = p.cursor;
    s.noWrap = p.noWrap;
    s.preWrap = p.preWrap;
}

}  // namespace

void FinishStyle(ComputedStyle& s, const ComputedStyle* parent)
{
    if (s.lineHeightFactor > 0)
        s.lineHeight = s.lineHeightFactor * s.fontSize;
    for (int i = 0; i < 4; ++i) {
        if (s.borderStyle[i] == BorderStyle::None)
            s.borderWidth[i] = 0;
        if (!s.borderColorSet[i])
            s.borderColor[i] = s.color;
    }
    // Floated, absolutely positioned and root boxes are blocks.
    bool blockify = s.IsOutOfFlow() || s.floating != Float::None || !parent;
    if (blockify) {
        if (s.display == Display::Inline || s.display == Display::InlineBlock)
            s.display = Display::Block;
        else if (s.display == Display::InlineFlex)
            s.display = Display::Flex;
    }
    if (s.IsOutOfFlow())
        s.floating = Float::None;
}

void StyleResolver::Compute(Element* e, const ComputedStyle* parent, const std::wstring& documentUrl)
{
    ComputedStyle s;
    if (parent)
        InheritFrom(s, *parent);
    std::vector<MatchedDecl> matched;
    auto collect = [&](const StyleSheet& sheet, int originBoost) {
        for (auto& r : sheet.rules) {
            int best = -1;
            for (auto& sel : r.selectors)
                if (sel.specificity > best && Matches(sel, e))
                    best = sel.specificity;
            if (best < 0)
                continue;
            for (auto& d : r.declarations)
                matched.push_back({&d, &r.baseUrl, best + originBoost, r.order, d.important});
        }
    };
    collect(UserAgentSheet(), -1000000);
    for (auto& sh : m_sheets)
        collect(*sh, 0);
    std::vector<Declaration> inlineDecls;
    for (auto& kv : e->inlineStyle)
        inlineDecls.push_back({kv.first, kv.second, false});
    if (const std::wstring* st = e->Attribute("style"))
        for (auto& d : ParseDeclarations(*st)) {
            bool overridden = false;
            for (auto& kv : e->inlineStyle)
                if (kv.first == d.property)
                    overridden = true;
            if (!overridden)
                inlineDecls.push_back(d);
        }
    for (auto& d : inlineDecls)
        matched.push_back({&d, &documentUrl, 1000000, 0, d.important});
    std::stable_sort(matched.begin(), matched.end(), [](const MatchedDecl& a, const MatchedDecl& b) {
        if (a.important != b.important)
            return !a.important;
        if (a.specificity != b.specificity)
            return a.specificity < b.specificity;
        return a.order < b.order;
    });
    // font-size first so that em lengths and border colours see final values.
    for (auto& m : matched)
        if (m.decl->property == "font-size" || m.decl->property == "font")
            ApplyDeclaration(s, parent, *m.decl, *m.baseUrl);
    for (auto& m : matched)
        if (m.decl->property == "color")
            ApplyDeclaration(s, parent, *m.decl, *m.baseUrl);
    for (auto& m : matched)
        ApplyDeclaration(s, parent, *m.decl, *m.baseUrl);
    // An image element's intrinsic attributes.
    if (e->tag == "img" || e->tag == "input" || e->tag == "textarea") {
        if (s.width.IsAuto())
            if (const std::wstring* w = e->Attribute("width")) {
                Length l;
                if (ParseLength(*w, l))
                    s.width = l;
            }
        if (s.height.IsAuto())
            if (const std::wstring* h = e->Attribute("height")) {
                Length l;
                if (ParseLength(*h, l))
                    s.height = l;
            }
    }
    if (e->HasAttribute("hidden"))
        s.display = Display::None;
    FinishStyle(s, parent);
    if (!parent)
        t_rootFontSize = s.fontSize;
    e->style = std::move(s);
    for (auto& c : e->children)
        if (c->IsElement())
            Compute(static_cast<Element*>(c.get()), &e->style, documentUrl);
}

void StyleResolver::ComputeAll(Element* root, const std::wstring& documentUrl)
{
    t_rootFontSize = 13;
    Compute(root, nullptr, documentUrl);
}

}  // namespace he
