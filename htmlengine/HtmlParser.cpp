#include "htmlengine/HtmlParser.h"

#include <cwctype>
#include <vector>

namespace he {

std::wstring DecodeText(const unsigned char* data, size_t size)
{
    if (!data || !size)
        return std::wstring();
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(data + 2), (size - 2) / 2);
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        data += 3;
        size -= 3;
    }
    if (!size)
        return std::wstring();
    UINT cp = CP_UTF8;
    int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(data), static_cast<int>(size),
                                nullptr, 0);
    if (n <= 0) {
        cp = CP_ACP;  // not UTF-8: read it in the system code page rather than lose it
        n = MultiByteToWideChar(cp, 0, reinterpret_cast<const char*>(data), static_cast<int>(size), nullptr, 0);
    }
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(cp, 0, reinterpret_cast<const char*>(data), static_cast<int>(size), out.data(), n);
    return out;
}

std::wstring DecodeEntities(const std::wstring& s)
{
    static const struct {
        const wchar_t* name;
        wchar_t ch;
    } kNamed[] = {{L"amp", L'&'},     {L"lt", L'<'},      {L"gt", L'>'},      {L"quot", L'"'},    {L"apos", L'\''},
                  {L"nbsp", 0xA0},    {L"copy", 0xA9},    {L"reg", 0xAE},     {L"trade", 0x2122}, {L"hellip", 0x2026},
                  {L"mdash", 0x2014}, {L"ndash", 0x2013}, {L"laquo", 0xAB},   {L"raquo", 0xBB},   {L"middot", 0xB7},
                  {L"times", 0xD7},   {L"bull", 0x2022},  {L"lsquo", 0x2018}, {L"rsquo", 0x2019}, {L"ldquo", 0x201C},
                  {L"rdquo", 0x201D}, {L"gt", L'>'},      {L"deg", 0xB0},     {L"yen", 0xA5},     {L"euro", 0x20AC}};
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != L'&') {
            out += s[i];
            continue;
        }
        size_t semi = s.find(L';', i + 1);
        if (semi == std::wstring::npos || semi - i > 10) {
            out += s[i];
            continue;
        }
        std::wstring name = s.substr(i + 1, semi - i - 1);
        bool done = false;
        if (!name.empty() && name[0] == L'#') {
            unsigned long code = 0;
            wchar_t* end = nullptr;
            if (name.size() > 1 && (name[1] == L'x' || name[1] == L'X'))
                code = wcstoul(name.c_str() + 2, &end, 16);
            else
                code = wcstoul(name.c_str() + 1, &end, 10);
            if (end && *end == 0 && code > 0 && code <= 0x10FFFF) {
                if (code >= 0x10000) {
                    code -= 0x10000;
                    out += static_cast<wchar_t>(0xD800 + (code >> 10));
                    out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
                } else {
                    out += static_cast<wchar_t>(code);
                }
                done = true;
            }
        } else {
            for (auto& e : kNamed)
                if (name == e.name) {
                    out += e.ch;
                    done = true;
                    break;
                }
        }
        if (done)
            i = semi;
        else
            out += s[i];
    }
    return out;
}

namespace {

bool IsRawText(const std::string& tag)
{
    return tag == "script" || tag == "style" || tag == "textarea" || tag == "title";
}

// Tags whose start closes an open element of these kinds.
bool ClosesP(const std::string& t)
{
    static const char* const k[] = {"p",  "div",     "ul",     "ol",     "table", "h1",  "h2",
                                    "h3", "h4",      "h5",     "h6",     "form",  "pre", "blockquote",
                                    "dl", "section", "header", "footer", "hr"};
    for (auto* s : k)
        if (t == s)
            return true;
    return false;
}

bool IsHeadTag(const std::string& t)
{
    return t == "meta" || t == "title" || t == "link" || t == "style" || t == "base";
}

class TreeBuilder {
public:
    TreeBuilder(Document& d, Element* root, bool fragment) : m_doc(d), m_fragment(fragment) { m_stack.push_back(root); }

    void Parse(const std::wstring& s)
    {
        size_t i = 0, n = s.size();
        std::wstring text;
        while (i < n) {
            wchar_t c = s[i];
            if (c == L'<' && i + 1 < n) {
                wchar_t d = s[i + 1];
                if (s.compare(i, 4, L"<!--") == 0) {
                    Flush(text);
                    size_t end = s.find(L"-->", i + 4);
                    if (end == std::wstring::npos)
                        end = n;
                    auto cm = std::make_shared<Node>(Node::Type::Comment);
                    cm->text = s.substr(i + 4, end - (i + 4));
                    Current()->AppendChild(cm);
                    i = end == n ? n : end + 3;
                    continue;
                }
                if (d == L'!' || d == L'?') {  // doctype, processing instruction
                    Flush(text);
                    size_t end = s.find(L'>', i);
                    i = end == std::wstring::npos ? n : end + 1;
                    continue;
                }
                if (d == L'/') {
                    size_t j = i + 2;
                    std::string name = ReadName(s, j);
                    if (name.empty()) {
                        text += c;
                        ++i;
                        continue;
                    }
                    Flush(text);
                    size_t end = s.find(L'>', j);
                    i = end == std::wstring::npos ? n : end + 1;
                    EndTag(name);
                    continue;
                }
                if (iswalpha(d)) {
                    Flush(text);
                    size_t j = i + 1;
                    std::string name = ReadName(s, j);
                    std::vector<std::pair<std::string, std::wstring>> attrs;
                    bool selfClose = false;
                    ReadAttributes(s, j, attrs, selfClose);
                    i = j;
                    Element* e = StartTag(name, attrs);
                    if (e && IsRawText(name) && !selfClose) {
                        std::wstring close = L"</" + std::wstring(name.begin(), name.end());
                        size_t end = FindCaseless(s, close, i);
                        std::wstring raw = s.substr(i, (end == std::wstring::npos ? n : end) - i);
                        if (!raw.empty()) {
                            auto t =
                                m_doc.CreateText(name == "textarea" || name == "title" ? DecodeEntities(raw) : raw);
                            e->AppendChild(t);
                        }
                        if (end == std::wstring::npos)
                            i = n;
                        else {
                            size_t gt = s.find(L'>', end);
                            i = gt == std::wstring::npos ? n : gt + 1;
                        }
                        Pop(e);
                    } else if (e && (selfClose || IsVoidElement(name))) {
                        Pop(e);
                    }
                    continue;
                }
            }
            text += c;
            ++i;
        }
        Flush(text);
    }

private:
    Element* Current() { return m_stack.back(); }

    static size_t FindCaseless(const std::wstring& s, const std::wstring& what, size_t from)
    {
        for (size_t i = from; i + what.size() <= s.size(); ++i) {
            size_t k = 0;
            while (k < what.size() && towlower(s[i + k]) == towlower(what[k]))
                ++k;
            if (k == what.size())
                return i;
        }
        return std::wstring::npos;
    }

    static std::string ReadName(const std::wstring& s, size_t& j)
    {
        std::string name;
        while (j < s.size() && (iswalnum(s[j]) || s[j] == L'-' || s[j] == L'_' || s[j] == L':' || s[j] == L'.')) {
            name += static_cast<char>(towlower(s[j]) < 128 ? towlower(s[j]) : '_');
            ++j;
        }
        return name;
    }

    static void ReadAttributes(const std::wstring& s, size_t& j,
                               std::vector<std::pair<std::string, std::wstring>>& attrs, bool& selfClose)
    {
        size_t n = s.size();
        while (j < n) {
            while (j < n && iswspace(s[j]))
                ++j;
            if (j >= n)
                return;
            if (s[j] == L'>') {
                ++j;
                return;
            }
            if (s[j] == L'/') {
                ++j;
                if (j < n && s[j] == L'>') {
                    selfClose = true;
                    ++j;
                    return;
                }
                continue;
            }
            std::string name;
            while (j < n && !iswspace(s[j]) && s[j] != L'=' && s[j] != L'>' && s[j] != L'/') {
                wchar_t c = towlower(s[j]);
                name += c < 128 ? static_cast<char>(c) : '_';
                ++j;
            }
            if (name.empty()) {
                ++j;
                continue;
            }
            while (j < n && iswspace(s[j]))
                ++j;
            std::wstring value;
            if (j < n && s[j] == L'=') {
                ++j;
                while (j < n && iswspace(s[j]))
                    ++j;
                if (j < n && (s[j] == L'"' || s[j] == L'\'')) {
                    wchar_t q = s[j++];
                    size_t end = s.find(q, j);
                    if (end == std::wstring::npos)
                        end = n;
                    value = s.substr(j, end - j);
                    j = end == n ? n : end + 1;
                } else {
                    size_t st = j;
                    while (j < n && !iswspace(s[j]) && s[j] != L'>')
                        ++j;
                    value = s.substr(st, j - st);
                }
            }
            bool dup = false;
            for (auto& a : attrs)
                if (a.first == name)
                    dup = true;
            if (!dup)
                attrs.emplace_back(name, DecodeEntities(value));
        }
    }

    void EnsureBody()
    {
        if (m_fragment)
            return;
        if (!m_body) {
            EnsureHead();
            auto b = m_doc.CreateElement("body");
            m_body = b.get();
            m_doc.root->AppendChild(b);
        }
        if (m_stack.size() == 1 || (m_stack.size() == 2 && m_stack[1] == m_head))
            m_stack = {m_doc.root.get(), m_body};
    }

    void EnsureHead()
    {
        if (m_fragment || m_head)
            return;
        auto h = m_doc.CreateElement("head");
        m_head = h.get();
        m_doc.root->InsertBefore(h, m_doc.root->children.empty() ? nullptr : m_doc.root->children.front().get());
    }

    void Flush(std::wstring& text)
    {
        if (text.empty())
            return;
        bool blank = true;
        for (wchar_t c : text)
            if (!iswspace(c)) {
                blank = false;
                break;
            }
        if (!m_fragment && blank && (m_stack.size() <= 1 || Current() == m_head)) {
            text.clear();
            return;
        }
        if (!blank)
            EnsureBody();
        auto t = m_doc.CreateText(DecodeEntities(text));
        Current()->AppendChild(t);
        text.clear();
    }

    Element* StartTag(const std::string& name, std::vector<std::pair<std::string, std::wstring>>& attrs)
    {
        if (!m_fragment) {
            if (name == "html") {
                for (auto& a : attrs)
                    if (!m_doc.root->HasAttribute(a.first))
                        m_doc.root->SetAttribute(a.first, a.second);
                return nullptr;
            }
            if (name == "head") {
                EnsureHead();
                if (!m_body)
                    m_stack = {m_doc.root.get(), m_head};
                return nullptr;
            }
            if (name == "body") {
                EnsureBody();
                for (auto& a : attrs)
                    if (!m_body->HasAttribute(a.first))
                        m_body->SetAttribute(a.first, a.second);
                return nullptr;
            }
            if (IsHeadTag(name) && !m_body) {
                EnsureHead();
                m_stack = {m_doc.root.get(), m_head};
            } else if (name == "script" && !m_body && (m_stack.size() <= 1 || Current() == m_head)) {
                EnsureHead();
                m_stack = {m_doc.root.get(), m_head};
            } else {
                EnsureBody();
            }
        }
        // Implied end tags.
        if (ClosesP(name))
            CloseIfOpen("p", true);
        if (name == "li")
            CloseIfOpen("li", false);
        if (name == "option")
            CloseIfOpen("option", false);
        if (name == "tr") {
            CloseIfOpen("td", false);
            CloseIfOpen("th", false);
            CloseIfOpen("tr", false);
        }
        if (name == "td" || name == "th") {
            CloseIfOpen("td", false);
            CloseIfOpen("th", false);
        }

        auto e = m_doc.CreateElement(name);
        e->attributes = std::move(attrs);
        if (name == "input") {
            const std::wstring* type = e->Attribute("type");
            std::wstring t = type ? *type : L"text";
            for (auto& ch : t)
                ch = towlower(ch);
            e->isTextField =
                t == L"text" || t == L"password" || t == L"" || t == L"search" || t == L"email" || t == L"number";
            if (const std::wstring* v = e->Attribute("value")) {
                e->field.value = *v;
                e->field.caret = e->field.anchor = v->size();
            }
            e->checked = e->HasAttribute("checked");
        } else if (name == "textarea") {
            e->isTextField = true;
        }
        Element* raw = e.get();
        if (DepthOf(Current()) + 1 >= kMaxTreeDepth) {
            // Too deep for a page: later content goes beside, not inside.
            Current()->AppendChild(e);
            return nullptr;
        }
        Current()->AppendChild(e);
        m_stack.push_back(raw);
        return raw;
    }

    void CloseIfOpen(const char* tag, bool stopAtBlock)
    {
        for (size_t k = m_stack.size(); k-- > 1;) {
            Element* e = m_stack[k];
            if (e->tag == tag) {
                m_stack.resize(k);
                return;
            }
            if (stopAtBlock && (e->tag == "div" || e->tag == "td" || e->tag == "li" || e->tag == "body"))
                return;
            if (!stopAtBlock &&
                (e->tag == "ul" || e->tag == "ol" || e->tag == "table" || e->tag == "select" || e->tag == "div"))
                return;
        }
    }

    void Pop(Element* e)
    {
        for (size_t k = m_stack.size(); k-- > 1;)
            if (m_stack[k] == e) {
                m_stack.resize(k);
                return;
            }
    }

    void EndTag(const std::string& name)
    {
        if (!m_fragment && (name == "html" || name == "body" || name == "head")) {
            if (name == "head" && !m_body)
                m_stack = {m_doc.root.get()};
            return;
        }
        // Close the nearest open element of that name; ignore stray end tags.
        for (size_t k = m_stack.size(); k-- > 1;) {
            if (m_stack[k]->tag == name) {
                if (textarea(m_stack[k])) { }
                m_stack.resize(k);
                return;
            }
        }
    }

    static bool textarea(Element* e)
    {
        if (e->tag == "textarea") {
            e->field.value = e->TextContent();
            e->field.caret = e->field.anchor = e->field.value.size();
            return true;
        }
        return false;
    }

    Document& m_doc;
    bool m_fragment;
    std::vector<Element*> m_stack;
    Element* m_head = nullptr;
    Element* m_body = nullptr;
};

void FixTextareas(Element* e)
{
    if (e->tag == "textarea" && e->field.value.empty()) {
        e->field.value = e->TextContent();
        e->field.caret = e->field.anchor = e->field.value.size();
    }
    for (auto& c : e->children)
        if (c->IsElement())
            FixTextareas(static_cast<Element*>(c.get()));
}

}  // namespace

void ParseHtml(Document& doc, const std::wstring& html)
{
    for (auto& c : doc.root->children)
        c->parent = nullptr;
    doc.root->children.clear();
    doc.root->attributes.clear();
    TreeBuilder b(doc, doc.root.get(), false);
    b.Parse(html);
    // Always offer head and body.
    if (!doc.Head())
        doc.root->InsertBefore(doc.CreateElement("head"),
                               doc.root->children.empty() ? nullptr : doc.root->children.front().get());
    bool hasBody = false;
    for (Element* e : doc.root->ElementChildren())
        if (e->tag == "body")
            hasBody = true;
    if (!hasBody)
        doc.root->AppendChild(doc.CreateElement("body"));
    FixTextareas(doc.root.get());
    doc.styleDirty = true;
}

void ParseHtmlFragment(Document& doc, Element* parent, const std::wstring& html)
{
    TreeBuilder b(doc, parent, true);
    b.Parse(html);
    FixTextareas(parent);
    doc.styleDirty = true;
}

}  // namespace he
