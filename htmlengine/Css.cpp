#include "htmlengine/Css.h"

#include <algorithm>
#include <cwctype>
#include <unordered_map>

#include "htmlengine/Url.h"

namespace he {

namespace {

std::wstring Trim(const std::wstring& s)
{
    size_t b = 0, e = s.size();
    while (b < e && iswspace(s[b])) ++b;
    while (e > b && iswspace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string Lower(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s) out += static_cast<char>(c < 128 ? towlower(c) : '_');
    return out;
}

std::wstring StripComments(const std::wstring& s)
{
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'/' && i + 1 < s.size() && s[i + 1] == L'*') {
            size_t e = s.find(L"*/", i + 2);
            if (e == std::wstring::npos) break;
            i = e + 1;
            continue;
        }
        out += s[i];
    }
    return out;
}

bool IsIdentChar(wchar_t c) { return iswalnum(c) || c == L'-' || c == L'_' || c > 127; }

bool ParseCompound(const std::wstring& s, size_t& i, SimpleSelector& out)
{
    size_t start = i;
    if (i < s.size() && s[i] == L'*') { out.tag = "*"; ++i; }
    else {
        std::wstring tag;
        while (i < s.size() && IsIdentChar(s[i])) tag += s[i++];
        out.tag = Lower(tag);
    }
    while (i < s.size()) {
        wchar_t c = s[i];
        if (c == L'.' || c == L'#') {
            ++i;
            std::wstring name;
            while (i < s.size() && IsIdentChar(s[i])) name += s[i++];
            if (name.empty()) return false;
            if (c == L'.') out.classes.push_back(name);
            else out.id = name;
        } else if (c == L':') {
            ++i;
            if (i < s.size() && s[i] == L':') ++i;
            std::wstring name;
            while (i < s.size() && IsIdentChar(s[i])) name += s[i++];
            std::string n = Lower(name);
            if (i < s.size() && s[i] == L'(') {  // functional pseudo-classes are not supported
                size_t e = s.find(L')', i);
                i = e == std::wstring::npos ? s.size() : e + 1;
                out.unsupported = true;
                continue;
            }
            if (n == "hover") out.hover = true;
            else if (n == "focus") out.focus = true;
            else if (n == "disabled") out.disabled = true;
            else if (n == "enabled") out.enabled = true;
            else if (n == "checked") out.checked = true;
            else if (n == "active") out.active = true;
            else if (n == "first-child") out.firstChild = true;
            else if (n == "last-child") out.lastChild = true;
            else if (n == "link" || n == "visited") {}
            else out.unsupported = true;
        } else if (c == L'[') {
            size_t e = s.find(L']', i);
            if (e == std::wstring::npos) return false;
            std::wstring body = s.substr(i + 1, e - i - 1);
            i = e + 1;
            size_t eq = body.find(L'=');
            std::string name = Lower(Trim(eq == std::wstring::npos ? body : body.substr(0, eq)));
            std::wstring value;
            if (eq != std::wstring::npos) {
                if (eq > 0 && wcschr(L"~|^$*", body[eq - 1])) { out.unsupported = true; name = Lower(Trim(body.substr(0, eq - 1))); }
                value = Trim(body.substr(eq + 1));
                if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'')) value = value.substr(1, value.size() - 2);
                if (value.empty()) value = L"\x01";  // [a=""] means an empty value, not presence
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
        if (comma == std::wstring::npos) comma = text.size();
        std::wstring one = Trim(text.substr(pos, comma - pos));
        pos = comma + 1;
        if (one.empty()) { if (comma >= text.size()) break; continue; }
        Selector sel;
        size_t i = 0;
        bool ok = true;
        char pending = 0;
        while (i < one.size()) {
            bool ws = false;
            while (i < one.size() && iswspace(one[i])) { ++i; ws = true; }
            if (i >= one.size()) break;
            if (one[i] == L'>' || one[i] == L'+' || one[i] == L'~') {
                pending = one[i] == L'~' ? '~' : static_cast<char>(one[i]);
                ++i;
                continue;
            }
            if (!sel.parts.empty()) sel.combinators.push_back(pending ? pending : (ws ? ' ' : ' '));
            pending = 0;
            SimpleSelector simple;
            if (!ParseCompound(one, i, simple)) { ok = false; break; }
            sel.parts.push_back(std::move(simple));
        }
        if (!ok || sel.parts.empty() || pending) { if (comma >= text.size()) break; continue; }
        for (auto& p : sel.parts) {
            if (!p.id.empty()) sel.specificity += 10000;
            sel.specificity += 100 * static_cast<int>(p.classes.size() + p.attributes.size());
            sel.specificity += 100 * (p.hover + p.focus + p.disabled + p.checked + p.active + p.firstChild + p.lastChild + p.enabled);
            if (!p.tag.empty() && p.tag != "*") sel.specificity += 1;
        }
        for (char c : sel.combinators) if (c == '~') ok = false;  // general sibling: unsupported
        if (ok) { out.push_back(std::move(sel)); any = true; }
        if (comma >= text.size()) break;
    }
    return any;
}

namespace {

bool MatchSimple(const SimpleSelector& s, const Element* e)
{
    if (s.unsupported) return false;
    if (!s.tag.empty() && s.tag != "*" && s.tag != e->tag) return false;
    if (!s.id.empty() && e->Id() != s.id) return false;
    for (auto& c : s.classes) if (!e->HasClass(c)) return false;
    for (auto& a : s.attributes) {
        const std::wstring* v = e->Attribute(a.first);
        if (!v) return false;
        if (!a.second.empty() && !(a.second == L"\x01" ? v->empty() : *v == a.second)) return false;
    }
    if (s.hover && !e->hover) return false;
    if (s.focus && !e->focused) return false;
    if (s.active && !e->active) return false;
    if (s.disabled && !e->Disabled()) return false;
    if (s.enabled && e->Disabled()) return false;
    if (s.checked && !e->checked) return false;
    if (s.firstChild || s.lastChild) {
        if (!e->parent) return false;
        auto kids = e->parent->ElementChildren();
        if (s.firstChild && kids.front() != e) return false;
        if (s.lastChild && kids.back() != e) return false;
    }
    return true;
}

const Element* PreviousElement(const Element* e)
{
    if (!e->parent) return nullptr;
    const Element* prev = nullptr;
    for (auto& c : e->parent->children) {
        if (c.get() == e) return prev;
        if (c->IsElement()) prev = static_cast<const Element*>(c.get());
    }
    return nullptr;
}

bool MatchFrom(const Selector& sel, int idx, const Element* e)
{
    if (!MatchSimple(sel.parts[idx], e)) return false;
    if (idx == 0) return true;
    char comb = sel.combinators[idx - 1];
    if (comb == '>') return e->parent && MatchFrom(sel, idx - 1, e->parent);
    if (comb == '+') { const Element* p = PreviousElement(e); return p && MatchFrom(sel, idx - 1, p); }
    for (const Element* p = e->parent; p; p = p->parent)
        if (MatchFrom(sel, idx - 1, p)) return true;
    return false;
}

}  // namespace

bool Matches(const Selector& sel, const Element* e)
{
    return !sel.parts.empty() && MatchFrom(sel, static_cast<int>(sel.parts.size()) - 1, e);
}

std::vector<Declaration> ParseDeclarations(const std::wstring& textIn)
{
    std::vector<Declaration> out;
    std::wstring text = StripComments(textIn);
    size_t i = 0;
    while (i < text.size()) {
        // A semicolon inside quotes or parentheses does not end the value.
        size_t j = i;
        int paren = 0;
        wchar_t quote = 0;
        for (; j < text.size(); ++j) {
            wchar_t c = text[j];
            if (quote) { if (c == quote) quote = 0; continue; }
            if (c == L'"' || c == L'\'') quote = c;
            else if (c == L'(') ++paren;
            else if (c == L')') --paren;
            else if (c == L';' && paren <= 0) break;
        }
        std::wstring one = text.substr(i, j - i);
        i = j + 1;
        size_t colon = one.find(L':');
        if (colon == std::wstring::npos) continue;
        Declaration d;
        d.property = Lower(Trim(one.substr(0, colon)));
        d.value = Trim(one.substr(colon + 1));
        size_t bang = d.value.find(L"!important");
        if (bang != std::wstring::npos) { d.important = true; d.value = Trim(d.value.substr(0, bang)); }
        if (!d.property.empty() && !d.value.empty()) out.push_back(std::move(d));
    }
    return out;
}

void ParseStyleSheet(const std::wstring& textIn, const std::wstring& baseUrl, StyleSheet& out, unsigned& order)
{
    std::wstring text = StripComments(textIn);
    size_t i = 0;
    while (i < text.size()) {
        size_t open = text.find(L'{', i);
        if (open == std::wstring::npos) break;
        std::wstring prelude = Trim(text.substr(i, open - i));
        // Find the matching close brace.
        int depth = 0;
        size_t close = open;
        for (; close < text.size(); ++close) {
            if (text[close] == L'{') ++depth;
            else if (text[close] == L'}' && --depth == 0) break;
        }
        std::wstring body = text.substr(open + 1, (close < text.size() ? close : text.size()) - open - 1);
        i = close + 1;
        // Drop a stray "}" or ";" prefix left by broken text.
        while (!prelude.empty() && (prelude[0] == L'}' || prelude[0] == L';')) prelude = Trim(prelude.substr(1));
        if (prelude.empty()) continue;
        if (prelude[0] == L'@') {
            // @media blocks: their rules apply (a screen is the only medium).
            if (prelude.compare(0, 6, L"@media") == 0) ParseStyleSheet(body, baseUrl, out, order);
            continue;
        }
        Rule r;
        if (!ParseSelectorGroup(prelude, r.selectors)) continue;
        r.declarations = ParseDeclarations(body);
        r.baseUrl = baseUrl;
        r.order = order++;
        out.rules.push_back(std::move(r));
    }
}

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
            L"input,textarea{border:1px solid #999;background-color:#fff;padding:2px;width:150px;height:18px;cursor:text}"
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
    for (auto& s : m_sheets) n += s->rules.size();
    return n;
}

// ---- values ----------------------------------------------------------------

namespace {

std::vector<std::wstring> SplitSpaces(const std::wstring& v)
{
    std::vector<std::wstring> out;
    size_t i = 0;
    while (i < v.size()) {
        while (i < v.size() && iswspace(v[i])) ++i;
        if (i >= v.size()) break;
        size_t j = i;
        int paren = 0;
        while (j < v.size() && (paren > 0 || !iswspace(v[j]))) {
            if (v[j] == L'(') ++paren;
            if (v[j] == L')') --paren;
            ++j;
        }
        out.push_back(v.substr(i, j - i));
        i = j;
    }
    return out;
}

bool ParseLength(const std::wstring& vIn, Length& out, float fontSize = 13)
{
    std::wstring v = Trim(vIn);
    std::string lv = Lower(v);
    if (lv == "auto") { out = Length(); return true; }
    if (v.empty()) return false;
    wchar_t* end = nullptr;
    double n = wcstod(v.c_str(), &end);
    if (end == v.c_str()) return false;
    std::wstring unit = end;
    std::string u = Lower(unit);
    if (u.empty() || u == "px") out = {Length::Px, static_cast<float>(n)};
    else if (u == "%") out = {Length::Percent, static_cast<float>(n)};
    else if (u == "em" || u == "rem") out = {Length::Px, static_cast<float>(n * fontSize)};
    else if (u == "pt") out = {Length::Px, static_cast<float>(n * 96.0 / 72.0)};
    else return false;
    if (u.empty() && n != 0) {
        // Unitless non-zero lengths are accepted as pixels for hand-written pages.
    }
    return true;
}

bool ParsePx(const std::wstring& v, float& out, float fontSize = 13)
{
    Length l;
    if (!ParseLength(v, l, fontSize) || l.unit != Length::Px) return false;
    out = l.value;
    return true;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    c = towlower(c);
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

}  // namespace

bool ParseColor(const std::wstring& textIn, Argb& out)
{
    std::wstring t = Trim(textIn);
    std::string l = Lower(t);
    if (l.empty()) return false;
    if (l[0] == '#') {
        std::string h = l.substr(1);
        for (char c : h) if (HexDigit(c) < 0) return false;
        unsigned r, g, b, a = 255;
        if (h.size() == 3 || h.size() == 4) {
            r = HexDigit(h[0]) * 17; g = HexDigit(h[1]) * 17; b = HexDigit(h[2]) * 17;
            if (h.size() == 4) a = HexDigit(h[3]) * 17;
        } else if (h.size() == 6 || h.size() == 8) {
            r = HexDigit(h[0]) * 16 + HexDigit(h[1]); g = HexDigit(h[2]) * 16 + HexDigit(h[3]);
            b = HexDigit(h[4]) * 16 + HexDigit(h[5]);
            if (h.size() == 8) a = HexDigit(h[6]) * 16 + HexDigit(h[7]);
        } else {
            return false;
        }
        out = (a << 24) | (r << 16) | (g << 8) | b;
        return true;
    }
    if (l.compare(0, 4, "rgb(") == 0 || l.compare(0, 5, "rgba(") == 0) {
        size_t open = l.find('('), close = l.find(')');
        if (close == std::string::npos) return false;
        std::string inner = l.substr(open + 1, close - open - 1);
        double v[4] = {0, 0, 0, 1};
        int n = 0;
        size_t i = 0;
        while (i < inner.size() && n < 4) {
            while (i < inner.size() && (inner[i] == ' ' || inner[i] == ',')) ++i;
            if (i >= inner.size()) break;
            char* end = nullptr;
            v[n] = strtod(inner.c_str() + i, &end);
            size_t used = end - (inner.c_str() + i);
            if (!used) return false;
            i += used;
            if (i < inner.size() && inner[i] == '%') { v[n] = n < 3 ? v[n] * 2.55 : v[n] / 100; ++i; }
            ++n;
        }
        if (n < 3) return false;
        auto clamp = [](double x, double hi) { return x < 0 ? 0 : x > hi ? hi : x; };
        unsigned r = static_cast<unsigned>(clamp(v[0], 255) + 0.5), g = static_cast<unsigned>(clamp(v[1], 255) + 0.5),
                 b = static_cast<unsigned>(clamp(v[2], 255) + 0.5), a = static_cast<unsigned>(clamp(v[3], 1) * 255 + 0.5);
        out = (a << 24) | (r << 16) | (g << 8) | b;
        return true;
    }
    static const std::unordered_map<std::string, Argb> kNames = {
        {"transparent", 0x00000000}, {"black", 0xFF000000}, {"white", 0xFFFFFFFF}, {"red", 0xFFFF0000},
        {"green", 0xFF008000}, {"lime", 0xFF00FF00}, {"blue", 0xFF0000FF}, {"yellow", 0xFFFFFF00},
        {"gray", 0xFF808080}, {"grey", 0xFF808080}, {"silver", 0xFFC0C0C0}, {"orange", 0xFFFFA500},
        {"purple", 0xFF800080}, {"navy", 0xFF000080}, {"teal", 0xFF008080}, {"maroon", 0xFF800000},
        {"olive", 0xFF808000}, {"aqua", 0xFF00FFFF}, {"cyan", 0xFF00FFFF}, {"fuchsia", 0xFFFF00FF},
        {"magenta", 0xFFFF00FF}, {"darkgray", 0xFFA9A9A9}, {"lightgray", 0xFFD3D3D3}, {"pink", 0xFFFFC0CB},
        {"brown", 0xFFA52A2A}, {"gold", 0xFFFFD700}, {"whitesmoke", 0xFFF5F5F5}};
    auto it = kNames.find(l);
    if (it == kNames.end()) return false;
    out = it->second;
    return true;
}

namespace {

void SetBox(float (&box)[4], const std::vector<float>& v)
{
    if (v.size() == 1) box[0] = box[1] = box[2] = box[3] = v[0];
    else if (v.size() == 2) { box[0] = box[2] = v[0]; box[1] = box[3] = v[1]; }
    else if (v.size() == 3) { box[0] = v[0]; box[1] = box[3] = v[1]; box[2] = v[2]; }
    else if (v.size() >= 4) { box[0] = v[0]; box[1] = v[1]; box[2] = v[2]; box[3] = v[3]; }
}

void ApplyBorder(ComputedStyle& s, const std::wstring& value, int side /* -1 all */)
{
    float width = -1;
    Argb color = 0;
    bool hasColor = false, none = false;
    for (auto& part : SplitSpaces(value)) {
        std::string p = Lower(part);
        float w;
        Argb c;
        if (p == "none" || p == "hidden") none = true;
        else if (p == "solid" || p == "dashed" || p == "dotted" || p == "double" || p == "groove" || p == "ridge" ||
                 p == "inset" || p == "outset") {}
        else if (p == "thin") width = 1;
        else if (p == "medium") width = 3;
        else if (p == "thick") width = 5;
        else if (ParsePx(part, w)) width = w;
        else if (ParseColor(part, c)) { color = c; hasColor = true; }
    }
    for (int i = 0; i < 4; ++i) {
        if (side >= 0 && i != side) continue;
        s.borderWidth[i] = none ? 0 : width >= 0 ? width : 3;
        if (hasColor) s.borderColor[i] = color;
        else s.borderColor[i] = s.color;
    }
}

std::wstring UrlOf(const std::wstring& v)
{
    size_t b = v.find(L"url(");
    if (b == std::wstring::npos) return std::wstring();
    size_t e = v.find(L')', b);
    if (e == std::wstring::npos) return std::wstring();
    std::wstring u = Trim(v.substr(b + 4, e - b - 4));
    if (u.size() >= 2 && (u[0] == L'"' || u[0] == L'\'')) u = u.substr(1, u.size() - 2);
    return u;
}

void ApplyBackgroundPosition(ComputedStyle& s, const std::vector<std::wstring>& parts)
{
    std::vector<Length> ls;
    bool xSet = false, ySet = false;
    for (auto& p : parts) {
        std::string l = Lower(p);
        if (l == "left") { s.backgroundX = Length::Pixels(0); xSet = true; }
        else if (l == "right") { s.backgroundX = {Length::Percent, 100}; xSet = true; }
        else if (l == "top") { s.backgroundY = Length::Pixels(0); ySet = true; }
        else if (l == "bottom") { s.backgroundY = {Length::Percent, 100}; ySet = true; }
        else if (l == "center") ls.push_back({Length::Percent, 50});
        else { Length len; if (ParseLength(p, len)) ls.push_back(len); }
    }
    size_t k = 0;
    if (!xSet && k < ls.size()) s.backgroundX = ls[k++];
    if (!ySet && k < ls.size()) s.backgroundY = ls[k++];
    else if (!ySet && ls.size() == 1 && !xSet) s.backgroundY = {Length::Percent, 50};
}

}  // namespace

void ApplyDeclaration(ComputedStyle& s, const ComputedStyle* parent, const Declaration& d, const std::wstring& baseUrl)
{
    const std::string& p = d.property;
    const std::wstring& v = d.value;
    std::string lv = Lower(v);
    if (lv == "inherit") {
        if (!parent) return;
        if (p == "color") s.color = parent->color;
        else if (p == "font-size") s.fontSize = parent->fontSize;
        else if (p == "font-family") s.fontFamily = parent->fontFamily;
        else if (p == "font-weight") s.fontWeight = parent->fontWeight;
        else if (p == "background-color") s.backgroundColor = parent->backgroundColor;
        else if (p == "cursor") s.cursor = parent->cursor;
        return;
    }
    Length len;
    float px;
    Argb color;
    if (p == "display") {
        if (lv == "block" || lv == "flex" || lv == "table" || lv == "table-row" || lv == "table-cell") s.display = Display::Block;
        else if (lv == "inline") s.display = Display::Inline;
        else if (lv == "inline-block" || lv == "inline-flex" || lv == "inline-table") s.display = Display::InlineBlock;
        else if (lv == "none") s.display = Display::None;
        else if (lv == "list-item") s.display = Display::ListItem;
    } else if (p == "visibility") {
        if (lv == "hidden" || lv == "collapse") s.visible = false;
        else if (lv == "visible") s.visible = true;
    } else if (p == "position") {
        if (lv == "static") s.position = Position::Static;
        else if (lv == "relative") s.position = Position::Relative;
        else if (lv == "absolute") s.position = Position::Absolute;
        else if (lv == "fixed") s.position = Position::Fixed;
    } else if (p == "left" || p == "top" || p == "right" || p == "bottom" || p == "width" || p == "height" ||
               p == "min-width" || p == "min-height" || p == "max-width" || p == "max-height") {
        if (lv == "none" && p.compare(0, 4, "max-") == 0) len = Length();
        else if (!ParseLength(v, len, s.fontSize)) return;
        Length* target = p == "left" ? &s.left : p == "top" ? &s.top : p == "right" ? &s.right : p == "bottom" ? &s.bottom
                       : p == "width" ? &s.width : p == "height" ? &s.height : p == "min-width" ? &s.minWidth
                       : p == "min-height" ? &s.minHeight : p == "max-width" ? &s.maxWidth : &s.maxHeight;
        *target = len;
    } else if (p == "margin") {
        std::vector<Length> vals;
        for (auto& part : SplitSpaces(v)) { if (!ParseLength(part, len, s.fontSize)) return; vals.push_back(len); }
        if (vals.empty()) return;
        if (vals.size() == 1) s.margin[0] = s.margin[1] = s.margin[2] = s.margin[3] = vals[0];
        else if (vals.size() == 2) { s.margin[0] = s.margin[2] = vals[0]; s.margin[1] = s.margin[3] = vals[1]; }
        else if (vals.size() == 3) { s.margin[0] = vals[0]; s.margin[1] = s.margin[3] = vals[1]; s.margin[2] = vals[2]; }
        else { for (int i = 0; i < 4; ++i) s.margin[i] = vals[i]; }
    } else if (p == "margin-top" || p == "margin-right" || p == "margin-bottom" || p == "margin-left") {
        if (!ParseLength(v, len, s.fontSize)) return;
        s.margin[p == "margin-top" ? 0 : p == "margin-right" ? 1 : p == "margin-bottom" ? 2 : 3] = len;
    } else if (p == "padding") {
        std::vector<float> vals;
        for (auto& part : SplitSpaces(v)) { if (!ParsePx(part, px, s.fontSize)) return; vals.push_back(px); }
        SetBox(s.padding, vals);
    } else if (p == "padding-top" || p == "padding-right" || p == "padding-bottom" || p == "padding-left") {
        if (!ParsePx(v, px, s.fontSize)) return;
        s.padding[p == "padding-top" ? 0 : p == "padding-right" ? 1 : p == "padding-bottom" ? 2 : 3] = px;
    } else if (p == "border") {
        ApplyBorder(s, v, -1);
    } else if (p == "border-top" || p == "border-right" || p == "border-bottom" || p == "border-left") {
        ApplyBorder(s, v, p == "border-top" ? 0 : p == "border-right" ? 1 : p == "border-bottom" ? 2 : 3);
    } else if (p == "border-width") {
        std::vector<float> vals;
        for (auto& part : SplitSpaces(v)) { if (!ParsePx(part, px)) return; vals.push_back(px); }
        SetBox(s.borderWidth, vals);
    } else if (p == "border-color") {
        auto parts = SplitSpaces(v);
        std::vector<Argb> cs;
        for (auto& part : parts) { if (!ParseColor(part, color)) return; cs.push_back(color); }
        if (cs.empty()) return;
        for (int i = 0; i < 4; ++i) s.borderColor[i] = cs[cs.size() == 1 ? 0 : cs.size() == 2 ? i % 2 : std::min<size_t>(i, cs.size() - 1)];
    } else if (p == "border-style") {
        if (lv == "none" || lv == "hidden") for (float& w : s.borderWidth) w = 0;
    } else if (p == "border-radius") {
        auto parts = SplitSpaces(v);
        if (!parts.empty() && ParsePx(parts[0], px)) s.borderRadius = px;
    } else if (p == "background-color") {
        if (ParseColor(v, color)) s.backgroundColor = color;
    } else if (p == "background") {
        std::vector<std::wstring> pos;
        for (auto& part : SplitSpaces(v)) {
            std::string lp = Lower(part);
            if (lp.compare(0, 4, "url(") == 0) { std::wstring u = UrlOf(part); s.backgroundImage = u.empty() ? L"" : ResolveUrl(baseUrl, u); }
            else if (lp == "none") s.backgroundImage.clear();
            else if (lp == "repeat") s.backgroundRepeat = Repeat::Repeat;
            else if (lp == "repeat-x") s.backgroundRepeat = Repeat::RepeatX;
            else if (lp == "repeat-y") s.backgroundRepeat = Repeat::RepeatY;
            else if (lp == "no-repeat") s.backgroundRepeat = Repeat::NoRepeat;
            else if (ParseColor(part, color)) s.backgroundColor = color;
            else pos.push_back(part);
        }
        if (!pos.empty()) ApplyBackgroundPosition(s, pos);
    } else if (p == "background-image") {
        if (lv == "none") s.backgroundImage.clear();
        else { std::wstring u = UrlOf(v); if (!u.empty()) s.backgroundImage = ResolveUrl(baseUrl, u); }
    } else if (p == "background-position") {
        ApplyBackgroundPosition(s, SplitSpaces(v));
    } else if (p == "background-repeat") {
        if (lv == "repeat") s.backgroundRepeat = Repeat::Repeat;
        else if (lv == "repeat-x") s.backgroundRepeat = Repeat::RepeatX;
        else if (lv == "repeat-y") s.backgroundRepeat = Repeat::RepeatY;
        else if (lv == "no-repeat") s.backgroundRepeat = Repeat::NoRepeat;
    } else if (p == "color") {
        if (ParseColor(v, color)) s.color = color;
    } else if (p == "font-family") {
        std::wstring first = v;
        size_t comma = first.find(L',');
        if (comma != std::wstring::npos) first = first.substr(0, comma);
        first = Trim(first);
        if (first.size() >= 2 && (first[0] == L'"' || first[0] == L'\'')) first = first.substr(1, first.size() - 2);
        std::string lf = Lower(first);
        if (lf == "sans-serif" || lf == "system-ui") first = L"Arial";
        else if (lf == "serif") first = L"Times New Roman";
        else if (lf == "monospace") first = L"Courier New";
        if (!first.empty()) s.fontFamily = first;
    } else if (p == "font-size") {
        if (lv == "small") s.fontSize = 12;
        else if (lv == "medium") s.fontSize = 14;
        else if (lv == "large") s.fontSize = 17;
        else if (ParseLength(v, len, parent ? parent->fontSize : 13)) {
            if (len.unit == Length::Px) s.fontSize = len.value;
            else if (len.unit == Length::Percent) s.fontSize = (parent ? parent->fontSize : 13) * len.value / 100;
        }
    } else if (p == "font-weight") {
        if (lv == "bold" || lv == "bolder") s.fontWeight = 700;
        else if (lv == "normal" || lv == "lighter") s.fontWeight = 400;
        else { int w = _wtoi(v.c_str()); if (w >= 100 && w <= 900) s.fontWeight = w; }
    } else if (p == "font-style") {
        s.italic = lv == "italic" || lv == "oblique";
    } else if (p == "font") {
        // "bold 14px Arial": weight, size and family.
        auto parts = SplitSpaces(v);
        for (size_t i = 0; i < parts.size(); ++i) {
            std::string lp = Lower(parts[i]);
            if (lp == "bold") s.fontWeight = 700;
            else if (lp == "italic") s.italic = true;
            else if (ParseLength(parts[i].substr(0, parts[i].find(L'/')), len, s.fontSize) && len.unit == Length::Px) {
                s.fontSize = len.value;
                std::wstring fam;
                for (size_t k = i + 1; k < parts.size(); ++k) fam += (fam.empty() ? L"" : L" ") + parts[k];
                if (!fam.empty()) ApplyDeclaration(s, parent, {"font-family", fam, false}, baseUrl);
                break;
            }
        }
    } else if (p == "text-decoration") {
        s.underline = lv.find("underline") != std::string::npos;
    } else if (p == "text-align") {
        if (lv == "left" || lv == "start" || lv == "justify") s.textAlign = TextAlign::Left;
        else if (lv == "center") s.textAlign = TextAlign::Center;
        else if (lv == "right" || lv == "end") s.textAlign = TextAlign::Right;
    } else if (p == "line-height") {
        if (lv == "normal") s.lineHeight = -1;
        else if (ParseLength(v, len, s.fontSize)) {
            std::wstring t = Trim(v);
            bool unitless = !t.empty() && (iswdigit(t.back()) || t.back() == L'.');
            if (unitless) s.lineHeight = len.value * s.fontSize;
            else if (len.unit == Length::Px) s.lineHeight = len.value;
            else if (len.unit == Length::Percent) s.lineHeight = s.fontSize * len.value / 100;
        }
    } else if (p == "opacity") {
        wchar_t* end = nullptr;
        double o = wcstod(v.c_str(), &end);
        if (end != v.c_str()) s.opacity = static_cast<float>(o < 0 ? 0 : o > 1 ? 1 : o);
    } else if (p == "overflow" || p == "overflow-x" || p == "overflow-y") {
        s.overflowHidden = lv == "hidden" || lv == "scroll" || lv == "auto" || lv == "clip";
        s.overflowScroll = lv == "scroll" || lv == "auto";
    } else if (p == "z-index") {
        if (lv == "auto") { s.zIndexAuto = true; s.zIndex = 0; }
        else { wchar_t* end = nullptr; long z = wcstol(v.c_str(), &end, 10); if (end != v.c_str()) { s.zIndex = static_cast<int>(z); s.zIndexAuto = false; } }
    } else if (p == "cursor") {
        if (lv == "pointer" || lv == "hand") s.cursor = Cursor::Pointer;
        else if (lv == "default") s.cursor = Cursor::Default;
        else if (lv == "text") s.cursor = Cursor::Text;
        else if (lv == "move") s.cursor = Cursor::Move;
        else if (lv == "not-allowed") s.cursor = Cursor::NotAllowed;
        else if (lv == "auto") s.cursor = Cursor::Auto;
    } else if (p == "white-space") {
        s.noWrap = lv == "nowrap" || lv == "pre";
        s.preWrap = lv == "pre" || lv == "pre-wrap" || lv == "pre-line";
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
    s.visible = p.visible;
    s.cursor = p.cursor;
    s.noWrap = p.noWrap;
    s.preWrap = p.preWrap;
}

}  // namespace

void StyleResolver::Compute(Element* e, const ComputedStyle* parent, const std::wstring& documentUrl)
{
    ComputedStyle s;
    if (parent) InheritFrom(s, *parent);
    std::vector<MatchedDecl> matched;
    auto collect = [&](const StyleSheet& sheet, int originBoost) {
        for (auto& r : sheet.rules) {
            int best = -1;
            for (auto& sel : r.selectors)
                if (sel.specificity > best && Matches(sel, e)) best = sel.specificity;
            if (best < 0) continue;
            for (auto& d : r.declarations)
                matched.push_back({&d, &r.baseUrl, best + originBoost, r.order, d.important});
        }
    };
    collect(UserAgentSheet(), -1000000);
    for (auto& sh : m_sheets) collect(*sh, 0);
    std::vector<Declaration> inlineDecls;
    for (auto& kv : e->inlineStyle) inlineDecls.push_back({kv.first, kv.second, false});
    if (const std::wstring* st = e->Attribute("style"))
        for (auto& d : ParseDeclarations(*st)) {
            bool overridden = false;
            for (auto& kv : e->inlineStyle) if (kv.first == d.property) overridden = true;
            if (!overridden) inlineDecls.push_back(d);
        }
    for (auto& d : inlineDecls) matched.push_back({&d, &documentUrl, 1000000, 0, d.important});
    std::stable_sort(matched.begin(), matched.end(), [](const MatchedDecl& a, const MatchedDecl& b) {
        if (a.important != b.important) return !a.important;
        if (a.specificity != b.specificity) return a.specificity < b.specificity;
        return a.order < b.order;
    });
    // font-size first so that em lengths and border colours see final values.
    for (auto& m : matched) if (m.decl->property == "font-size" || m.decl->property == "font") ApplyDeclaration(s, parent, *m.decl, *m.baseUrl);
    for (auto& m : matched) if (m.decl->property == "color") ApplyDeclaration(s, parent, *m.decl, *m.baseUrl);
    for (auto& m : matched) ApplyDeclaration(s, parent, *m.decl, *m.baseUrl);
    // An image element's intrinsic attributes.
    if (e->tag == "img" || e->tag == "input" || e->tag == "textarea") {
        if (s.width.IsAuto()) if (const std::wstring* w = e->Attribute("width")) { Length l; if (ParseLength(*w, l)) s.width = l; }
        if (s.height.IsAuto()) if (const std::wstring* h = e->Attribute("height")) { Length l; if (ParseLength(*h, l)) s.height = l; }
    }
    if (e->HasAttribute("hidden")) s.display = Display::None;
    e->style = std::move(s);
    for (auto& c : e->children)
        if (c->IsElement()) Compute(static_cast<Element*>(c.get()), &e->style, documentUrl);
}

void StyleResolver::ComputeAll(Element* root, const std::wstring& documentUrl)
{
    Compute(root, nullptr, documentUrl);
}

}  // namespace he
