#pragma once
// The document tree: elements and text nodes, owned by their parents.
#include <windows.h>

#include <memory>
#include <unordered_set>
#include <string>
#include <utility>
#include <vector>

#include "htmlengine/Style.h"
#include "htmlengine/include/htmlengine/SciterApi.h"

namespace he {

class Document;
class Element;

struct RectF {
    float x = 0, y = 0, w = 0, h = 0;
    bool Contains(float px, float py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

// One laid-out piece of a line: a run of text or an inline-block element.
struct Fragment {
    Element* owner = nullptr;  // innermost element the text belongs to
    Element* atom = nullptr;   // inline-block element placed on the line, or null for text
    std::wstring text;
    float x = 0, y = 0, w = 0, h = 0;  // document coordinates
    float baseline = 0;
};

class Node : public std::enable_shared_from_this<Node> {
public:
    enum class Type { Element, Text, Comment };
    explicit Node(Type t) : type(t) { }
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    const Type type;
    Element* parent = nullptr;
    Document* document = nullptr;
    unsigned scriptId = 0;  // key of its script wrapper, 0 if none yet
    std::wstring text;      // text and comment nodes

    bool IsElement() const { return type == Type::Element; }
    Element* AsElement();
    // True while the node is part of its document's tree.
    bool InDocument() const;
};

// Editing state of a text field.
struct FieldState {
    std::wstring value;
    size_t caret = 0;
    size_t anchor = 0;  // selection is [min(anchor, caret), max)
    float scrollX = 0;
    float scrollY = 0;  // multi-line fields
    std::vector<std::pair<std::wstring, size_t>> undo;
};

class Element : public Node {
public:
    explicit Element(std::string tagName);
    ~Element() override;

    std::string tag;                                               // lower case
    std::vector<std::pair<std::string, std::wstring>> attributes;  // names lower case
    std::vector<std::shared_ptr<Node>> children;

    // Inline style declarations from the style attribute and script (name, value).
    std::vector<std::pair<std::string, std::wstring>> inlineStyle;

    // Pseudo-class state.
    bool hover = false;
    bool focused = false;
    bool active = false;
    bool checked = false;

    ComputedStyle style;

    // Layout results, document coordinates.
    RectF border;                 // border box
    RectF content;                // content box
    std::vector<Fragment> lines;  // inline content of a block container
    bool laidOut = false;
    // Scrolling content (overflow auto / scroll).
    float scrollTop = 0;
    float scrollHeight = 0;  // height of the content, padding included
    float MaxScroll() const;

    // Controls.
    FieldState field;
    bool isTextField = false;

    // A child window hosted in the element.
    HWND hostedWindow = nullptr;
    // A native behaviour given by the host.
    ElementEventProc behaviorProc = nullptr;
    LPVOID behaviorTag = nullptr;
    bool behaviorAsked = false;

    // References handed out through Sciter_UseElement.
    int externalRefs = 0;

    const std::wstring* Attribute(const std::string& name) const;
    bool HasAttribute(const std::string& name) const { return Attribute(name) != nullptr; }
    void SetAttribute(const std::string& name, const std::wstring& value);
    void RemoveAttribute(const std::string& name);
    std::wstring Id() const;
    bool HasClass(const std::wstring& cls) const;
    bool Disabled() const;

    void AppendChild(std::shared_ptr<Node> child);
    void InsertBefore(std::shared_ptr<Node> child, Node* reference);
    std::shared_ptr<Node> RemoveChild(Node* child);
    std::vector<Element*> ElementChildren() const;

    std::wstring TextContent() const;
    void SetTextContent(const std::wstring& text);
    std::wstring OuterHtml() const;
    std::wstring InnerHtml() const;

    bool IsAncestorOf(const Node* n) const;
    // Elements of the subtree in document order (this one included).
    void CollectElements(std::vector<Element*>& out);
};

class EngineWindow;

class Document {
public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    std::wstring url;
    std::shared_ptr<Element> root;  // <html>
    EngineWindow* window = nullptr;

    std::shared_ptr<Element> CreateElement(const std::string& tag);
    std::shared_ptr<Node> CreateText(const std::wstring& text);
    Element* Body() const;
    Element* Head() const;
    Element* GetElementById(const std::wstring& id) const;
    // Sets document pointers of a subtree (after insertion or creation).
    void Adopt(Node* n);

    bool styleDirty = true;
    // Every node created for this document; nulls their document links at the end.
    std::unordered_set<Node*> nodes;
    void Register(Node* n);
    void Unregister(Node* n);
};

inline std::shared_ptr<Element> RefOf(Element* e)
{
    return e ? std::static_pointer_cast<Element>(e->shared_from_this()) : nullptr;
}

// Deepest nesting the engine builds: layout and styles recurse per level.
constexpr int kMaxTreeDepth = 200;
int DepthOf(const Node* n);       // levels above n
int SubtreeDepth(const Node* n);  // levels of n and below

// True for an element that exists now (element handles given to hosts are checked).
bool IsLiveElement(const void* he);

// Serialisation helpers.
std::wstring EscapeHtml(const std::wstring& s, bool attribute);
bool IsVoidElement(const std::string& tag);

}  // namespace he
