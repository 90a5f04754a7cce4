#include "htmlengine/Dom.h"

#include <algorithm>
#include <cwctype>
#include <mutex>
#include <unordered_set>

namespace he {

namespace {
std::mutex g_liveLock;
std::unordered_set<const void*>& LiveElements()
{
    static auto* s = new std::unordered_set<const void*>;
    return *s;
}
}  // namespace

Element::Element(std::string tagName) : Node(Type::Element), tag(std::move(tagName))
{
    std::lock_guard<std::mutex> lock(g_liveLock);
    LiveElements().insert(this);
}

Element::~Element()
{
    std::lock_guard<std::mutex> lock(g_liveLock);
    LiveElements().erase(this);
}

float Element::MaxScroll() const
{
    float visible = border.h - style.borderWidth[0] - style.borderWidth[2];
    return std::max(0.0f, scrollHeight - visible);
}

bool IsLiveElement(const void* he)
{
    std::lock_guard<std::mutex> lock(g_liveLock);
    return he && LiveElements().count(he) != 0;
}

Node::~Node()
{
    if (document)
        document->Unregister(this);
}

bool Node::InDocument() const
{
    const Node* n = this;
    while (n->parent)
        n = n->parent;
    return document && document->root.get() == n;
}

Element* Node::AsElement()
{
    return IsElement() ? static_cast<Element*>(this) : nullptr;
}

const std::wstring* Element::Attribute(const std::string& name) const
{
    for (auto& a : attributes)
        if (a.first == name)
            return &a.second;
    return nullptr;
}

void Element::SetAttribute(const std::string& name, const std::wstring& value)
{
    for (auto& a : attributes)
        if (a.first == name) {
            a.second = value;
            if (document)
                document->styleDirty = true;
            return;
        }
    attributes.emplace_back(name, value);
    if (document)
        document->styleDirty = true;
}

void Element::RemoveAttribute(const std::string& name)
{
    attributes.erase(std::remove_if(attributes.begin(), attributes.end(), [&](auto& a) { return a.first == name; }),
                     attributes.end());
    if (document)
        document->styleDirty = true;
}

std::wstring Element::Id() const
{
    const std::wstring* id = Attribute("id");
    return id ? *id : std::wstring();
}

bool Element::HasClass(const std::wstring& cls) const
{
    const std::wstring* c = Attribute("class");
    if (!c || cls.empty())
        return false;
    size_t i = 0;
    const std::wstring& s = *c;
    while (i < s.size()) {
        while (i < s.size() && iswspace(s[i]))
            ++i;
        size_t j = i;
        while (j < s.size() && !iswspace(s[j]))
            ++j;
        if (j > i && s.compare(i, j - i, cls) == 0 && j - i == cls.size())
            return true;
        i = j;
    }
    return false;
}

bool Element::Disabled() const
{
    for (const Element* e = this; e; e = e->parent)
        if (e->HasAttribute("disabled") && (e->tag == "input" || e->tag == "button" || e->tag == "textarea" ||
                                            e->tag == "select" || e->tag == "fieldset" || e == this))
            return true;
    return false;
}

int DepthOf(const Node* n)
{
    int d = 0;
    for (const Element* p = n ? n->parent : nullptr; p; p = p->parent)
        ++d;
    return d;
}

int SubtreeDepth(const Node* n)
{
    if (!n || !n->IsElement())
        return 1;
    int best = 0;
    for (auto& c : static_cast<const Element*>(n)->children)
        best = std::max(best, SubtreeDepth(c.get()));
    return best + 1;
}

void Element::AppendChild(std::shared_ptr<Node> child)
{
    InsertBefore(std::move(child), nullptr);
}

void Element::InsertBefore(std::shared_ptr<Node> child, Node* reference)
{
    if (!child || child.get() == this)
        return;
    if (child->IsElement() && static_cast<Element*>(child.get())->IsAncestorOf(this))
        return;
    if (child->parent)
        child->parent->RemoveChild(child.get());
    child->parent = this;
    auto it = children.end();
    if (reference)
        it = std::find_if(children.begin(), children.end(), [&](auto& c) { return c.get() == reference; });
    children.insert(it, child);
    if (document) {
        document->Adopt(child.get());
        document->styleDirty = true;
    }
}

std::shared_ptr<Node> Element::RemoveChild(Node* child)
{
    auto it = std::find_if(children.begin(), children.end(), [&](auto& c) { return c.get() == child; });
    if (it == children.end())
        return nullptr;
    std::shared_ptr<Node> keep = *it;
    children.erase(it);
    keep->parent = nullptr;
    if (document)
        document->styleDirty = true;
    return keep;
}

std::vector<Element*> Element::ElementChildren() const
{
    std::vector<Element*> out;
    for (auto& c : children)
        if (c->IsElement())
            out.push_back(static_cast<Element*>(c.get()));
    return out;
}

std::wstring Element::TextContent() const
{
    std::wstring out;
    for (auto& c : children) {
        if (c->type == Type::Text)
            out += c->text;
        else if (c->IsElement())
            out += static_cast<Element*>(c.get())->TextContent();
    }
    return out;
}

void Element::SetTextContent(const std::wstring& text)
{
    for (auto& c : children)
        c->parent = nullptr;
    children.clear();
    if (!text.empty()) {
        std::shared_ptr<Node> t = document ? document->CreateText(text) : std::make_shared<Node>(Type::Text);
        t->text = text;
        AppendChild(t);
    }
    if (document)
        document->styleDirty = true;
}

bool IsVoidElement(const std::string& tag)
{
    static const char* const kVoid[] = {"area",  "base", "br",   "col",   "embed",  "hr",    "img",
                                        "input", "link", "meta", "param", "source", "track", "wbr"};
    for (const char* v : kVoid)
        if (tag == v)
            return true;
    return false;
}

std::wstring EscapeHtml(const std::wstring& s, bool attribute)
{
    std::wstring out;
    for (wchar_t c : s) {
        switch (c) {
        case L'&':
            out += L"&amp;";
            break;
        case L'<':
            out += L"&lt;";
            break;
        case L'>':
            out += L"&gt;";
            break;
        case L'"':
            out += attribute ? L"&quot;" : L"\"";
            break;
        default:
            out += c;
        }
    }
    return out;
}

static std::wstring Widen(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

std::wstring Element::InnerHtml() const
{
    std::wstring out;
    bool raw = tag == "script" || tag == "style";
    for (auto& c : children) {
        if (c->type == Type::Text)
            out += raw ? c->text : EscapeHtml(c->text, false);
        else if (c->type == Type::Comment)
            out += L"<!--" + c->text + L"-->";
        else
            out += static_cast<Element*>(c.get())->OuterHtml();
    }
    return out;
}

std::wstring Element::OuterHtml() const
{
    std::wstring out = L"<" + Widen(tag);
    for (auto& a : attributes)
        out += L" " + Widen(a.first) + L"=\"" + EscapeHtml(a.second, true) + L"\"";
    out += L">";
    if (IsVoidElement(tag))
        return out;
    out += InnerHtml();
    out += L"</" + Widen(tag) + L">";
    return out;
}

bool Element::IsAncestorOf(const Node* n) const
{
    for (const Element* p = n ? n->parent : nullptr; p; p = p->parent)
        if (p == this)
            return true;
    return false;
}

void Element::CollectElements(std::vector<Element*>& out)
{
    out.push_back(this);
    for (auto& c : children)
        if (c->IsElement())
            static_cast<Element*>(c.get())->CollectElements(out);
}

Document::Document()
{
    root = CreateElement("html");
}

Document::~Document()
{
    // Nodes held elsewhere (scripts) outlive the document: cut their links.
    for (Node* n : nodes)
        n->document = nullptr;
    nodes.clear();
}

void Document::Register(Node* n)
{
    nodes.insert(n);
}
void Document::Unregister(Node* n)
{
    nodes.erase(n);
}

std::shared_ptr<Element> Document::CreateElement(const std::string& tag)
{
    auto e = std::make_shared<Element>(tag);
    e->document = this;
    Register(e.get());
    e->isTextField = false;
    return e;
}

std::shared_ptr<Node> Document::CreateText(const std::wstring& text)
{
    auto t = std::make_shared<Node>(Node::Type::Text);
    t->text = text;
    t->document = this;
    Register(t.get());
    return t;
}

Element* Document::Body() const
{
    for (Element* e : root->ElementChildren())
        if (e->tag == "body")
            return e;
    return root.get();
}

Element* Document::Head() const
{
    for (Element* e : root->ElementChildren())
        if (e->tag == "head")
            return e;
    return nullptr;
}

static Element* FindById(Element* e, const std::wstring& id)
{
    const std::wstring* v = e->Attribute("id");
    if (v && *v == id)
        return e;
    for (auto& c : e->children)
        if (c->IsElement())
            if (Element* f = FindById(static_cast<Element*>(c.get()), id))
                return f;
    return nullptr;
}

Element* Document::GetElementById(const std::wstring& id) const
{
    return id.empty() ? nullptr : FindById(root.get(), id);
}

void Document::Adopt(Node* n)
{
    if (n->document != this) {
        if (n->document)
            n->document->Unregister(n);
        n->document = this;
        Register(n);
    }
    if (n->IsElement())
        for (auto& c : static_cast<Element*>(n)->children)
            Adopt(c.get());
}

}  // namespace he
