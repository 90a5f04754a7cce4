#include "htmlengine/ScriptInternal.h"

#include <algorithm>

#include "htmlengine/Css.h"
#include "htmlengine/EngineWindow.h"
#include "htmlengine/HtmlParser.h"

namespace he::script {

namespace {

// ---- node wrappers ----------------------------------------------------------

duk_ret_t NodeFinalizer(duk_context* ctx)
{
    if (duk_get_prop_string(ctx, 0, HIDDEN("p"))) {
        delete static_cast<std::shared_ptr<Node>*>(duk_get_pointer(ctx, -1));
        duk_pop(ctx);
        duk_push_pointer(ctx, nullptr);
        duk_put_prop_string(ctx, 0, HIDDEN("p"));
    } else {
        duk_pop(ctx);
    }
    return 0;
}

unsigned g_nextNodeId = 1;

Node* ThisNode(duk_context* ctx)
{
    duk_push_this(ctx);
    Node* n = nullptr;
    if (duk_is_object(ctx, -1) && duk_get_prop_string(ctx, -1, HIDDEN("p"))) {
        auto* p = static_cast<std::shared_ptr<Node>*>(duk_get_pointer(ctx, -1));
        n = p ? p->get() : nullptr;
    }
    duk_pop_2(ctx);
    if (!n)
        (void)duk_type_error(ctx, "not a node");
    return n;
}

Node* ArgNode(duk_context* ctx, duk_idx_t idx)
{
    if (!duk_is_object(ctx, idx))
        return nullptr;
    Node* n = nullptr;
    if (duk_get_prop_string(ctx, idx, HIDDEN("p"))) {
        auto* p = static_cast<std::shared_ptr<Node>*>(duk_get_pointer(ctx, -1));
        n = p ? p->get() : nullptr;
    }
    duk_pop(ctx);
    return n;
}

Element* ThisElement(duk_context* ctx)
{
    Node* n = ThisNode(ctx);
    if (!n->IsElement())
        (void)duk_type_error(ctx, "not an element");
    return static_cast<Element*>(n);
}

ScriptPage* PageOfNode(Node* n)
{
    if (!n || !n->document || !n->document->window)
        return nullptr;
    return n->document->window->Page();
}

void Changed(Node* n)
{
    if (n && n->document && n->document->window)
        n->document->window->ElementChanged();
    else if (n && n->document)
        n->document->styleDirty = true;
}

}  // namespace

void PushNode(duk_context* ctx, Node* node)
{
    ScriptPage* page = PageOfNode(node);
    if (!node || !page) {
        duk_push_null(ctx);
        return;
    }
    if (!node->scriptId)
        node->scriptId = g_nextNodeId++;
    // The page's global object holds its wrappers and the node prototype.
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "pages");
    duk_get_prop_index(ctx, -1, page->Id());  // the page's global
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
    duk_get_prop_string(ctx, -1, HIDDEN("nodes"));
    if (duk_get_prop_index(ctx, -1, node->scriptId)) {
        duk_remove(ctx, -2);
        duk_remove(ctx, -2);
        return;
    }
    duk_pop(ctx);
    duk_push_object(ctx);
    duk_get_prop_string(ctx, -3, HIDDEN("proto"));
    duk_set_prototype(ctx, -2);
    duk_push_pointer(ctx, new std::shared_ptr<Node>(node->shared_from_this()));
    duk_put_prop_string(ctx, -2, HIDDEN("p"));
    duk_push_c_function(ctx, NodeFinalizer, 1);
    duk_set_finalizer(ctx, -2);
    duk_dup(ctx, -1);
    duk_put_prop_index(ctx, -3, node->scriptId);
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
}

namespace {

void PushNodeArray(duk_context* ctx, const std::vector<Node*>& nodes)
{
    duk_idx_t arr = duk_push_array(ctx);
    duk_uarridx_t i = 0;
    for (Node* n : nodes) {
        PushNode(ctx, n);
        duk_put_prop_index(ctx, arr, i++);
    }
}

// ---- node natives -----------------------------------------------------------

duk_ret_t N_nodeType(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    duk_push_int(ctx, n->IsElement() ? 1 : n->type == Node::Type::Text ? 3 : 8);
    return 1;
}
duk_ret_t N_tag(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    duk_push_string(ctx, n->IsElement() ? static_cast<Element*>(n)->tag.c_str() : "");
    return 1;
}

duk_ret_t N_attr(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    std::string name = duk_safe_to_string(ctx, 0);
    const std::wstring* v = n->IsElement() ? static_cast<Element*>(n)->Attribute(name) : nullptr;
    if (!v)
        return 0;
    PushW(ctx, *v);
    return 1;
}

duk_ret_t N_attrNames(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    duk_idx_t arr = duk_push_array(ctx);
    duk_uarridx_t i = 0;
    for (auto& a : e->attributes) {
        duk_push_string(ctx, a.first.c_str());
        duk_put_prop_index(ctx, arr, i++);
    }
    return 1;
}

duk_ret_t N_setAttr(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::string name = duk_safe_to_string(ctx, 0);
    std::wstring value = GetW(ctx, 1);
    e->SetAttribute(name, value);
    if (name == "value" && e->tag == "input") {
        e->field.value = value;
        e->field.caret = e->field.anchor = value.size();
    }
    if (name == "checked")
        e->checked = true;
    if (name == "type" && e->tag == "input") {
        std::wstring t = value;
        for (auto& c : t)
            c = towlower(c);
        e->isTextField =
            t == L"text" || t == L"password" || t.empty() || t == L"search" || t == L"email" || t == L"number";
    }
    Changed(e);
    return 0;
}

duk_ret_t N_removeAttr(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::string name = duk_safe_to_string(ctx, 0);
    e->RemoveAttribute(name);
    if (name == "checked")
        e->checked = false;
    Changed(e);
    return 0;
}

duk_ret_t N_hasAttr(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    duk_push_boolean(ctx, n->IsElement() && static_cast<Element*>(n)->HasAttribute(duk_safe_to_string(ctx, 0)));
    return 1;
}

duk_ret_t N_parent(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    PushNode(ctx, n->parent);
    return 1;
}

duk_ret_t N_childNodes(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    std::vector<Node*> list;
    if (n->IsElement())
        for (auto& c : static_cast<Element*>(n)->children)
            list.push_back(c.get());
    PushNodeArray(ctx, list);
    return 1;
}

duk_ret_t N_children(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    std::vector<Node*> list;
    if (n->IsElement())
        for (Element* c : static_cast<Element*>(n)->ElementChildren())
            list.push_back(c);
    PushNodeArray(ctx, list);
    return 1;
}

duk_ret_t N_insertBefore(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    Node* child = ArgNode(ctx, 0);
    if (!child)
        return duk_type_error(ctx, "insertBefore: not a node");
    Node* ref = ArgNode(ctx, 1);
    if (ref && ref->parent != e)
        return duk_error(ctx, DUK_ERR_ERROR, "insertBefore: the reference is not a child");
    if (child->IsElement() && static_cast<Element*>(child)->IsAncestorOf(e))
        return duk_error(ctx, DUK_ERR_ERROR, "insertBefore: would create a cycle");
    if (child == e)
        return duk_error(ctx, DUK_ERR_ERROR, "insertBefore: a node cannot contain itself");
    if (DepthOf(e) + 1 + SubtreeDepth(child) > kMaxTreeDepth)
        return duk_error(ctx, DUK_ERR_RANGE_ERROR, "insertBefore: the tree would be too deep");
    e->InsertBefore(child->shared_from_this(), ref);
    Changed(e);
    return 0;
}

duk_ret_t N_remove(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    Node* child = ArgNode(ctx, 0);
    if (!child || child->parent != e)
        return duk_error(ctx, DUK_ERR_ERROR, "removeChild: not a child of this node");
    auto keep = e->RemoveChild(child);
    Changed(e);
    return 0;
}

duk_ret_t N_text(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    PushW(ctx, n->IsElement() ? static_cast<Element*>(n)->TextContent() : n->text);
    return 1;
}

duk_ret_t N_setText(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    std::wstring t = GetW(ctx, 0);
    if (n->IsElement()) {
        Element* e = static_cast<Element*>(n);
        e->SetTextContent(t);
        if (e->tag == "textarea") {
            e->field.value = t;
            e->field.caret = e->field.anchor = t.size();
        }
    } else {
        n->text = t;
    }
    Changed(n);
    return 0;
}

duk_ret_t N_html(duk_context* ctx)
{
    ENTER;
    PushW(ctx, ThisElement(ctx)->InnerHtml());
    return 1;
}
duk_ret_t N_outerHtml(duk_context* ctx)
{
    ENTER;
    PushW(ctx, ThisElement(ctx)->OuterHtml());
    return 1;
}

duk_ret_t N_setHtml(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::wstring html = GetW(ctx, 0);
    for (auto& c : e->children)
        c->parent = nullptr;
    e->children.clear();
    if (e->document)
        ParseHtmlFragment(*e->document, e, html);
    Changed(e);
    return 0;
}

std::wstring CssText(const Element* e)
{
    std::wstring out;
    for (auto& kv : e->inlineStyle)
        out += std::wstring(kv.first.begin(), kv.first.end()) + L": " + kv.second + L"; ";
    if (!out.empty())
        out.resize(out.size() - 1);
    return out;
}

duk_ret_t N_getStyle(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::string name = duk_safe_to_string(ctx, 0);
    if (name == "*") {
        PushW(ctx, CssText(e));
        return 1;
    }
    for (auto& kv : e->inlineStyle)
        if (kv.first == name) {
            PushW(ctx, kv.second);
            return 1;
        }
    if (const std::wstring* st = e->Attribute("style"))
        for (auto& d : ParseDeclarations(*st))
            if (d.property == name) {
                PushW(ctx, d.value);
                return 1;
            }
    duk_push_string(ctx, "");
    return 1;
}

duk_ret_t N_setStyle(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::string name = duk_safe_to_string(ctx, 0);
    std::wstring value = GetW(ctx, 1);
    if (name == "*") {
        e->inlineStyle.clear();
        e->RemoveAttribute("style");
        for (auto& d : ParseDeclarations(value))
            e->inlineStyle.emplace_back(d.property, d.value);
    } else {
        // Drop the value of the style attribute too, so the script's value wins or clears it.
        if (const std::wstring* st = e->Attribute("style")) {
            std::wstring rebuilt;
            bool had = false;
            for (auto& d : ParseDeclarations(*st)) {
                if (d.property == name) {
                    had = true;
                    continue;
                }
                rebuilt += std::wstring(d.property.begin(), d.property.end()) + L":" + d.value + L";";
            }
            if (had)
                e->SetAttribute("style", rebuilt);
        }
        auto it =
            std::find_if(e->inlineStyle.begin(), e->inlineStyle.end(), [&](auto& kv) { return kv.first == name; });
        if (value.empty()) {
            if (it != e->inlineStyle.end())
                e->inlineStyle.erase(it);
        } else if (it != e->inlineStyle.end())
            it->second = value;
        else
            e->inlineStyle.emplace_back(name, value);
    }
    if (e->document)
        e->document->styleDirty = true;
    Changed(e);
    return 0;
}

duk_ret_t N_value(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->isTextField)
        PushW(ctx, e->field.value);
    else if (const std::wstring* v = e->Attribute("value"))
        PushW(ctx, *v);
    else if (e->tag == "input")
        duk_push_string(ctx, e->checked || true ? "on" : "");
    else
        duk_push_string(ctx, "");
    return 1;
}

duk_ret_t N_setValue(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::wstring v = GetW(ctx, 0);
    if (e->isTextField) {
        e->field.value = v;
        e->field.caret = e->field.anchor = v.size();
        e->field.scrollX = 0;
    } else {
        e->SetAttribute("value", v);
    }
    Changed(e);
    return 0;
}

duk_ret_t N_checked(duk_context* ctx)
{
    ENTER;
    duk_push_boolean(ctx, ThisElement(ctx)->checked);
    return 1;
}
duk_ret_t N_setChecked(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    e->checked = duk_to_boolean(ctx, 0) != 0;
    if (e->document)
        e->document->styleDirty = true;
    Changed(e);
    return 0;
}

duk_ret_t N_rect(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    if (n->document && n->document->window)
        n->document->window->UpdateLayout();
    RectF r = n->IsElement() ? static_cast<Element*>(n)->border : RectF();
    duk_idx_t arr = duk_push_array(ctx);
    duk_push_number(ctx, r.x);
    duk_put_prop_index(ctx, arr, 0);
    duk_push_number(ctx, r.y);
    duk_put_prop_index(ctx, arr, 1);
    duk_push_number(ctx, r.w);
    duk_put_prop_index(ctx, arr, 2);
    duk_push_number(ctx, r.h);
    duk_put_prop_index(ctx, arr, 3);
    return 1;
}

duk_ret_t N_scroll(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->document && e->document->window)
        e->document->window->UpdateLayout();
    if (duk_get_top(ctx) > 0 && !duk_is_undefined(ctx, 0)) {
        double v = duk_to_number(ctx, 0);
        e->scrollTop = static_cast<float>(v != v ? 0 : std::clamp(v, 0.0, static_cast<double>(e->MaxScroll())));
        Changed(e);
    }
    duk_idx_t arr = duk_push_array(ctx);
    duk_push_number(ctx, e->scrollTop);
    duk_put_prop_index(ctx, arr, 0);
    duk_push_number(ctx, e->scrollHeight > 0 ? e->scrollHeight : e->border.h);
    duk_put_prop_index(ctx, arr, 1);
    return 1;
}

duk_ret_t N_query(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    bool all = duk_to_boolean(ctx, 1) != 0;
    std::vector<Selector> sels;
    bool parsed = ParseSelectorGroup(GetW(ctx, 0), sels);
    if (!parsed) {
        std::vector<Selector>().swap(sels);  // nothing may be left to free when the error jumps out
        return duk_error(ctx, DUK_ERR_SYNTAX_ERROR, "invalid selector");
    }
    std::vector<Element*> elems;
    e->CollectElements(elems);
    std::vector<Node*> found;
    for (size_t i = 1; i < elems.size(); ++i) {
        for (auto& s : sels)
            if (Matches(s, elems[i])) {
                found.push_back(elems[i]);
                break;
            }
        if (!all && !found.empty())
            break;
    }
    if (all)
        PushNodeArray(ctx, found);
    else if (found.empty())
        duk_push_null(ctx);
    else
        PushNode(ctx, found[0]);
    return 1;
}

duk_ret_t N_matches(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::vector<Selector> sels;
    ParseSelectorGroup(GetW(ctx, 0), sels);
    bool m = false;
    for (auto& s : sels)
        if (Matches(s, e))
            m = true;
    duk_push_boolean(ctx, m);
    return 1;
}

duk_ret_t N_focus(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->document && e->document->window)
        e->document->window->SetFocus(e);
    return 0;
}

duk_ret_t N_blur(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->document && e->document->window && e->document->window->Focused() == e)
        e->document->window->SetFocus(nullptr);
    return 0;
}

duk_ret_t N_click(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->document && e->document->window)
        e->document->window->ClickElement(e);
    return 0;
}

duk_ret_t N_selectAll(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->isTextField) {
        e->field.anchor = 0;
        e->field.caret = e->field.value.size();
        Changed(e);
    }
    return 0;
}

}  // namespace

void PutNodeNatives(duk_context* ctx, duk_idx_t proto)
{
    struct {
        const char* name;
        duk_c_function fn;
        duk_idx_t nargs;
    } natives[] = {{"__nodeType", N_nodeType, 0},
                   {"__tag", N_tag, 0},
                   {"__attr", N_attr, 1},
                   {"__attrNames", N_attrNames, 0},
                   {"__setAttr", N_setAttr, 2},
                   {"__removeAttr", N_removeAttr, 1},
                   {"__hasAttr", N_hasAttr, 1},
                   {"__parent", N_parent, 0},
                   {"__childNodes", N_childNodes, 0},
                   {"__children", N_children, 0},
                   {"__insertBefore", N_insertBefore, 2},
                   {"__remove", N_remove, 1},
                   {"__text", N_text, 0},
                   {"__setText", N_setText, 1},
                   {"__html", N_html, 0},
                   {"__setHtml", N_setHtml, 1},
                   {"__outerHtml", N_outerHtml, 0},
                   {"__getStyle", N_getStyle, 1},
                   {"__setStyle", N_setStyle, 2},
                   {"__value", N_value, 0},
                   {"__setValue", N_setValue, 1},
                   {"__checked", N_checked, 0},
                   {"__setChecked", N_setChecked, 1},
                   {"__rect", N_rect, 0},
                   {"__query", N_query, 2},
                   {"__matches", N_matches, 1},
                   {"__focus", N_focus, 0},
                   {"__blur", N_blur, 0},
                   {"__click", N_click, 0},
                   {"__selectAll", N_selectAll, 0},
                   {"__scroll", N_scroll, DUK_VARARGS}};
    for (auto& n : natives)
        PutNative(ctx, proto, n.name, n.fn, n.nargs, 0);
}

}  // namespace he::script
