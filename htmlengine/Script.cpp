#include "htmlengine/Script.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "duktape.h"
#include "htmlengine/Css.h"
#include "htmlengine/EngineWindow.h"
#include "htmlengine/HtmlParser.h"

extern const char kScriptPrelude[];

namespace he {

namespace {

#define HIDDEN(name) "\xFF" name


std::wstring GetW(duk_context* ctx, duk_idx_t idx)
{
    duk_size_t n = 0;
    const char* s = duk_safe_to_lstring(ctx, idx, &n);
    return Utf16Units(s, n);
}

void PushW(duk_context* ctx, const std::wstring& s)
{
    std::string u = Utf8Units(s);
    duk_push_lstring(ctx, u.data(), u.size());
}

void FatalHandler(void*, const char* msg)
{
    ReportScriptError(L"(engine)", 0, L"fatal: " + Utf16Units(msg, msg ? strlen(msg) : 0));
    // Duktape cannot continue after a fatal error; end with a clear code instead of a crash dialog.
    ExitProcess(0xE5C0);
}

class Host : public iObjectAccess {
public:
    static Host& Get()
    {
        static Host* h = new Host;  // lives as long as the process: values may outlive windows
        return *h;
    }

    duk_context* main = nullptr;
    std::vector<duk_context*> active;
    std::map<unsigned, ScriptPage*> pages;
    unsigned nextPage = 1;

    duk_context* CallCtx(duk_context* fallback) { return active.empty() ? (fallback ? fallback : main) : active.back(); }

    unsigned Ref(duk_context* ctx, duk_idx_t idx)
    {
        idx = duk_normalize_index(ctx, idx);
        unsigned id = m_nextRef++;
        duk_push_heap_stash(ctx);
        duk_get_prop_string(ctx, -1, "refs");
        duk_dup(ctx, idx);
        duk_put_prop_index(ctx, -2, id);
        duk_pop_2(ctx);
        return id;
    }

    void PushRef(duk_context* ctx, unsigned id)
    {
        duk_push_heap_stash(ctx);
        duk_get_prop_string(ctx, -1, "refs");
        duk_get_prop_index(ctx, -1, id);
        duk_remove(ctx, -2);
        duk_remove(ctx, -2);
    }

    void Release(unsigned id) override
    {
        duk_context* ctx = CallCtx(nullptr);
        duk_push_heap_stash(ctx);
        duk_get_prop_string(ctx, -1, "refs");
        duk_del_prop_index(ctx, -1, id);
        duk_pop_2(ctx);
    }

    bool Count(unsigned id, int& n) override
    {
        duk_context* ctx = CallCtx(nullptr);
        PushRef(ctx, id);
        bool ok = duk_is_object(ctx, -1);
        if (ok) {
            if (duk_is_array(ctx, -1)) n = static_cast<int>(duk_get_length(ctx, -1));
            else {
                n = 0;
                duk_enum(ctx, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
                while (duk_next(ctx, -1, 0)) { ++n; duk_pop(ctx); }
                duk_pop(ctx);
            }
        }
        duk_pop(ctx);
        return ok;
    }

    bool NthElement(unsigned id, int n, VALUE* out) override
    {
        duk_context* ctx = CallCtx(nullptr);
        PushRef(ctx, id);
        bool ok = false;
        if (duk_is_array(ctx, -1)) {
            if (n >= 0 && static_cast<duk_size_t>(n) < duk_get_length(ctx, -1)) {
                duk_get_prop_index(ctx, -1, n);
                ToValue(ctx, -1, out);
                duk_pop(ctx);
                ok = true;
            }
        } else if (duk_is_object(ctx, -1)) {
            ok = NthOwn(ctx, n, out, false);
        }
        duk_pop(ctx);
        return ok;
    }

    bool NthKey(unsigned id, int n, VALUE* out) override
    {
        duk_context* ctx = CallCtx(nullptr);
        PushRef(ctx, id);
        bool ok = duk_is_object(ctx, -1) && NthOwn(ctx, n, out, true);
        duk_pop(ctx);
        return ok;
    }

    bool GetKey(unsigned id, const std::wstring& key, VALUE* out) override
    {
        duk_context* ctx = CallCtx(nullptr);
        PushRef(ctx, id);
        bool ok = duk_is_object(ctx, -1);
        if (ok) {
            PushW(ctx, key);
            duk_get_prop(ctx, -2);
            ToValue(ctx, -1, out);
            duk_pop(ctx);
        }
        duk_pop(ctx);
        return ok;
    }

    bool SetKey(unsigned id, const std::wstring& key, const VALUE* val) override
    {
        duk_context* ctx = CallCtx(nullptr);
        PushRef(ctx, id);
        bool ok = duk_is_object(ctx, -1);
        if (ok) {
            PushW(ctx, key);
            PushValue(ctx, val);
            ok = duk_put_prop(ctx, -3) != 0;
        }
        duk_pop(ctx);
        return ok;
    }

    bool SetNth(unsigned id, int n, const VALUE* val) override
    {
        duk_context* ctx = CallCtx(nullptr);
        PushRef(ctx, id);
        bool ok = duk_is_array(ctx, -1) && n >= 0;
        if (ok) {
            PushValue(ctx, val);
            duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(n));
        }
        duk_pop(ctx);
        return ok;
    }

    bool ToJson(unsigned id, std::wstring& out) override
    {
        duk_context* ctx = CallCtx(nullptr);
        PushRef(ctx, id);
        bool ok = duk_pcall_prop_json(ctx, out);
        duk_pop(ctx);
        return ok;
    }

    UINT Invoke(unsigned id, const VALUE* self, UINT argc, const VALUE* argv, VALUE* ret, const std::wstring& url) override
    {
        duk_context* ctx = CallCtx(nullptr);
        size_t depth = active.size();
        active.push_back(ctx);
        PushRef(ctx, id);
        if (!duk_is_function(ctx, -1)) {
            duk_pop(ctx);
            active.resize(depth);
            return HV_INCOMPATIBLE_TYPE;
        }
        if (self) PushValue(ctx, self); else duk_push_undefined(ctx);
        for (UINT i = 0; i < argc; ++i) PushValue(ctx, &argv[i]);
        UINT rc = HV_OK;
        if (duk_pcall_method(ctx, static_cast<duk_idx_t>(argc)) != DUK_EXEC_SUCCESS) {
            ReportError(ctx, -1, url);
            ValueClear(ret);
            rc = HV_SCRIPT_ERROR;
        } else {
            ToValue(ctx, -1, ret);
        }
        duk_pop(ctx);
        active.resize(depth);
        return rc;
    }

    void ToValue(duk_context* ctx, duk_idx_t idx, VALUE* out)
    {
        switch (duk_get_type(ctx, idx)) {
        case DUK_TYPE_NULL: ValueClear(out); out->t = T_NULL; break;
        case DUK_TYPE_BOOLEAN: SetBool(out, duk_get_boolean(ctx, idx) != 0); break;
        case DUK_TYPE_NUMBER: {
            double d = duk_get_number(ctx, idx);
            if (d == static_cast<double>(static_cast<int>(d)) && d >= -2147483648.0 && d <= 2147483647.0 && !(d == 0 && std::signbit(d)))
                SetInt(out, static_cast<int>(d));
            else
                SetFloat(out, d);
            break;
        }
        case DUK_TYPE_STRING: SetString(out, GetW(ctx, idx)); break;
        case DUK_TYPE_OBJECT: {
            UINT units = duk_is_function(ctx, idx) ? UT_OBJECT_FUNCTION : duk_is_array(ctx, idx) ? UT_OBJECT_ARRAY : UT_OBJECT_OBJECT;
            MakeObjectValue(out, Ref(ctx, idx), units);
            break;
        }
        default: ValueClear(out);
        }
    }

    void PushValue(duk_context* ctx, const VALUE* v)
    {
        switch (v->t) {
        case T_NULL: duk_push_null(ctx); break;
        case T_BOOL: duk_push_boolean(ctx, v->d != 0); break;
        case T_INT: duk_push_int(ctx, static_cast<INT>(static_cast<UINT>(v->d))); break;
        case T_FLOAT: { double d; ValueFloatData(v, &d); duk_push_number(ctx, d); break; }
        case T_STRING: PushW(ctx, ValueText(v)); break;
        case T_ARRAY: {
            duk_idx_t arr = duk_push_array(ctx);
            INT n = 0;
            ValueElementsCount(v, &n);
            for (INT i = 0; i < n; ++i) {
                Value item;
                ValueNthElementValue(v, i, item.get());
                PushValue(ctx, item.get());
                duk_put_prop_index(ctx, arr, static_cast<duk_uarridx_t>(i));
            }
            break;
        }
        case T_MAP: {
            duk_idx_t obj = duk_push_object(ctx);
            INT n = 0;
            ValueElementsCount(v, &n);
            for (INT i = 0; i < n; ++i) {
                Value key, item;
                ValueNthElementKey(v, i, key.get());
                ValueNthElementValue(v, i, item.get());
                if (key.get()->t == T_STRING) PushW(ctx, ValueText(key.get()));
                else PushW(ctx, ValueJson(key.get()));
                PushValue(ctx, item.get());
                duk_put_prop(ctx, obj);
            }
            break;
        }
        case T_OBJECT: {
            unsigned id = 0;
            ObjectRefId(v, id);
            PushRef(ctx, id);
            break;
        }
        default: duk_push_undefined(ctx);
        }
    }

    void ReportError(duk_context* ctx, duk_idx_t idx, const std::wstring& fallbackFile)
    {
        idx = duk_normalize_index(ctx, idx);
        std::wstring file = fallbackFile;
        int line = 0;
        std::wstring message;
        if (duk_is_error(ctx, idx) || duk_is_object(ctx, idx)) {
            if (duk_get_prop_string(ctx, idx, "fileName") && duk_is_string(ctx, -1)) file = GetW(ctx, -1);
            duk_pop(ctx);
            if (duk_get_prop_string(ctx, idx, "lineNumber")) line = duk_to_int(ctx, -1);
            duk_pop(ctx);
        }
        message = GetW(ctx, idx);
        ReportScriptError(file, line, message);
    }

private:
    Host()
    {
        main = duk_create_heap(nullptr, nullptr, nullptr, nullptr, FatalHandler);
        duk_push_heap_stash(main);
        duk_push_object(main);
        duk_put_prop_string(main, -2, "refs");
        duk_pop(main);
        SetObjectAccess(this);
    }

    bool NthOwn(duk_context* ctx, int n, VALUE* out, bool key)
    {
        int i = 0;
        bool ok = false;
        duk_enum(ctx, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
        while (duk_next(ctx, -1, 1)) {
            if (i++ == n) {
                ToValue(ctx, key ? -2 : -1, out);
                ok = true;
                duk_pop_2(ctx);
                break;
            }
            duk_pop_2(ctx);
        }
        duk_pop(ctx);
        return ok;
    }

    static duk_ret_t JsonSafe(duk_context* ctx, void*)
    {
        duk_json_encode(ctx, -1);
        return 1;
    }

    bool duk_pcall_prop_json(duk_context* ctx, std::wstring& out)
    {
        duk_dup(ctx, -1);
        if (duk_safe_call(ctx, JsonSafe, nullptr, 1, 1) != DUK_EXEC_SUCCESS || !duk_is_string(ctx, -1)) {
            duk_pop(ctx);
            return false;
        }
        out = GetW(ctx, -1);
        duk_pop(ctx);
        return true;
    }

    unsigned m_nextRef = 1;
};

std::vector<std::unique_ptr<ScriptPage>>& Graveyard()
{
    static auto* g = new std::vector<std::unique_ptr<ScriptPage>>;
    return *g;
}

// Marks script code running on `ctx`. Script errors leave natives by a long
// jump that skips this destructor; the enclosing protected call's Active then
// trims the stack back to its own depth, so no stale entry outlives it.
struct Active {
    explicit Active(duk_context* ctx) : depth(Host::Get().active.size()) { Host::Get().active.push_back(ctx); }
    Active(const Active&) = delete;
    Active& operator=(const Active&) = delete;
    size_t depth;
    ~Active()
    {
        Host& h = Host::Get();
        if (h.active.size() > depth) h.active.resize(depth);
        if (h.active.empty() && !Graveyard().empty()) {
            std::vector<std::unique_ptr<ScriptPage>> dead;
            dead.swap(Graveyard());
        }
    }
};

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

void PushNode(duk_context* ctx, Node* node);

Node* ThisNode(duk_context* ctx)
{
    duk_push_this(ctx);
    Node* n = nullptr;
    if (duk_is_object(ctx, -1) && duk_get_prop_string(ctx, -1, HIDDEN("p"))) {
        auto* p = static_cast<std::shared_ptr<Node>*>(duk_get_pointer(ctx, -1));
        n = p ? p->get() : nullptr;
    }
    duk_pop_2(ctx);
    if (!n) (void)duk_type_error(ctx, "not a node");
    return n;
}

Node* ArgNode(duk_context* ctx, duk_idx_t idx)
{
    if (!duk_is_object(ctx, idx)) return nullptr;
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
    if (!n->IsElement()) (void)duk_type_error(ctx, "not an element");
    return static_cast<Element*>(n);
}

ScriptPage* PageOfNode(Node* n)
{
    if (!n || !n->document || !n->document->window) return nullptr;
    return n->document->window->Page();
}

void Changed(Node* n)
{
    if (n && n->document && n->document->window) n->document->window->ElementChanged();
    else if (n && n->document) n->document->styleDirty = true;
}

void PushNode(duk_context* ctx, Node* node)
{
    ScriptPage* page = PageOfNode(node);
    if (!node || !page) { duk_push_null(ctx); return; }
    if (!node->scriptId) node->scriptId = g_nextNodeId++;
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
#define ENTER Active active_scope(ctx)

duk_ret_t N_nodeType(duk_context* ctx) { ENTER; Node* n = ThisNode(ctx); duk_push_int(ctx, n->IsElement() ? 1 : n->type == Node::Type::Text ? 3 : 8); return 1; }
duk_ret_t N_tag(duk_context* ctx) { ENTER; Node* n = ThisNode(ctx); duk_push_string(ctx, n->IsElement() ? static_cast<Element*>(n)->tag.c_str() : ""); return 1; }

duk_ret_t N_attr(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    std::string name = duk_safe_to_string(ctx, 0);
    const std::wstring* v = n->IsElement() ? static_cast<Element*>(n)->Attribute(name) : nullptr;
    if (!v) return 0;
    PushW(ctx, *v);
    return 1;
}

duk_ret_t N_attrNames(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    duk_idx_t arr = duk_push_array(ctx);
    duk_uarridx_t i = 0;
    for (auto& a : e->attributes) { duk_push_string(ctx, a.first.c_str()); duk_put_prop_index(ctx, arr, i++); }
    return 1;
}

duk_ret_t N_setAttr(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::string name = duk_safe_to_string(ctx, 0);
    std::wstring value = GetW(ctx, 1);
    e->SetAttribute(name, value);
    if (name == "value" && e->tag == "input") { e->field.value = value; e->field.caret = e->field.anchor = value.size(); }
    if (name == "checked") e->checked = true;
    if (name == "type" && e->tag == "input") {
        std::wstring t = value;
        for (auto& c : t) c = towlower(c);
        e->isTextField = t == L"text" || t == L"password" || t.empty() || t == L"search" || t == L"email" || t == L"number";
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
    if (name == "checked") e->checked = false;
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

duk_ret_t N_parent(duk_context* ctx) { ENTER; Node* n = ThisNode(ctx); PushNode(ctx, n->parent); return 1; }

duk_ret_t N_childNodes(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    std::vector<Node*> list;
    if (n->IsElement()) for (auto& c : static_cast<Element*>(n)->children) list.push_back(c.get());
    PushNodeArray(ctx, list);
    return 1;
}

duk_ret_t N_children(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    std::vector<Node*> list;
    if (n->IsElement()) for (Element* c : static_cast<Element*>(n)->ElementChildren()) list.push_back(c);
    PushNodeArray(ctx, list);
    return 1;
}

duk_ret_t N_insertBefore(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    Node* child = ArgNode(ctx, 0);
    if (!child) return duk_type_error(ctx, "insertBefore: not a node");
    Node* ref = ArgNode(ctx, 1);
    if (ref && ref->parent != e) return duk_error(ctx, DUK_ERR_ERROR, "insertBefore: the reference is not a child");
    if (child->IsElement() && static_cast<Element*>(child)->IsAncestorOf(e)) return duk_error(ctx, DUK_ERR_ERROR, "insertBefore: would create a cycle");
    if (child == e) return duk_error(ctx, DUK_ERR_ERROR, "insertBefore: a node cannot contain itself");
    if (DepthOf(e) + 1 + SubtreeDepth(child) > kMaxTreeDepth) return duk_error(ctx, DUK_ERR_RANGE_ERROR, "insertBefore: the tree would be too deep");
    e->InsertBefore(child->shared_from_this(), ref);
    Changed(e);
    return 0;
}

duk_ret_t N_remove(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    Node* child = ArgNode(ctx, 0);
    if (!child || child->parent != e) return duk_error(ctx, DUK_ERR_ERROR, "removeChild: not a child of this node");
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
        if (e->tag == "textarea") { e->field.value = t; e->field.caret = e->field.anchor = t.size(); }
    } else {
        n->text = t;
    }
    Changed(n);
    return 0;
}

duk_ret_t N_html(duk_context* ctx) { ENTER; PushW(ctx, ThisElement(ctx)->InnerHtml()); return 1; }
duk_ret_t N_outerHtml(duk_context* ctx) { ENTER; PushW(ctx, ThisElement(ctx)->OuterHtml()); return 1; }

duk_ret_t N_setHtml(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::wstring html = GetW(ctx, 0);
    for (auto& c : e->children) c->parent = nullptr;
    e->children.clear();
    if (e->document) ParseHtmlFragment(*e->document, e, html);
    Changed(e);
    return 0;
}

std::wstring CssText(const Element* e)
{
    std::wstring out;
    for (auto& kv : e->inlineStyle) out += std::wstring(kv.first.begin(), kv.first.end()) + L": " + kv.second + L"; ";
    if (!out.empty()) out.resize(out.size() - 1);
    return out;
}

duk_ret_t N_getStyle(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::string name = duk_safe_to_string(ctx, 0);
    if (name == "*") { PushW(ctx, CssText(e)); return 1; }
    for (auto& kv : e->inlineStyle) if (kv.first == name) { PushW(ctx, kv.second); return 1; }
    if (const std::wstring* st = e->Attribute("style"))
        for (auto& d : ParseDeclarations(*st)) if (d.property == name) { PushW(ctx, d.value); return 1; }
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
        for (auto& d : ParseDeclarations(value)) e->inlineStyle.emplace_back(d.property, d.value);
    } else {
        // Drop the value of the style attribute too, so the script's value wins or clears it.
        if (const std::wstring* st = e->Attribute("style")) {
            std::wstring rebuilt;
            bool had = false;
            for (auto& d : ParseDeclarations(*st)) {
                if (d.property == name) { had = true; continue; }
                rebuilt += std::wstring(d.property.begin(), d.property.end()) + L":" + d.value + L";";
            }
            if (had) e->SetAttribute("style", rebuilt);
        }
        auto it = std::find_if(e->inlineStyle.begin(), e->inlineStyle.end(), [&](auto& kv) { return kv.first == name; });
        if (value.empty()) { if (it != e->inlineStyle.end()) e->inlineStyle.erase(it); }
        else if (it != e->inlineStyle.end()) it->second = value;
        else e->inlineStyle.emplace_back(name, value);
    }
    if (e->document) e->document->styleDirty = true;
    Changed(e);
    return 0;
}

duk_ret_t N_value(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->isTextField) PushW(ctx, e->field.value);
    else if (const std::wstring* v = e->Attribute("value")) PushW(ctx, *v);
    else if (e->tag == "input") duk_push_string(ctx, e->checked || true ? "on" : "");
    else duk_push_string(ctx, "");
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

duk_ret_t N_checked(duk_context* ctx) { ENTER; duk_push_boolean(ctx, ThisElement(ctx)->checked); return 1; }
duk_ret_t N_setChecked(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    e->checked = duk_to_boolean(ctx, 0) != 0;
    if (e->document) e->document->styleDirty = true;
    Changed(e);
    return 0;
}

duk_ret_t N_rect(duk_context* ctx)
{
    ENTER;
    Node* n = ThisNode(ctx);
    if (n->document && n->document->window) n->document->window->UpdateLayout();
    RectF r = n->IsElement() ? static_cast<Element*>(n)->border : RectF();
    duk_idx_t arr = duk_push_array(ctx);
    duk_push_number(ctx, r.x); duk_put_prop_index(ctx, arr, 0);
    duk_push_number(ctx, r.y); duk_put_prop_index(ctx, arr, 1);
    duk_push_number(ctx, r.w); duk_put_prop_index(ctx, arr, 2);
    duk_push_number(ctx, r.h); duk_put_prop_index(ctx, arr, 3);
    return 1;
}

duk_ret_t N_scroll(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->document && e->document->window) e->document->window->UpdateLayout();
    if (duk_get_top(ctx) > 0 && !duk_is_undefined(ctx, 0)) {
        double v = duk_to_number(ctx, 0);
        e->scrollTop = static_cast<float>(v != v ? 0 : std::clamp(v, 0.0, static_cast<double>(e->MaxScroll())));
        Changed(e);
    }
    duk_idx_t arr = duk_push_array(ctx);
    duk_push_number(ctx, e->scrollTop); duk_put_prop_index(ctx, arr, 0);
    duk_push_number(ctx, e->scrollHeight > 0 ? e->scrollHeight : e->border.h); duk_put_prop_index(ctx, arr, 1);
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
            if (Matches(s, elems[i])) { found.push_back(elems[i]); break; }
        if (!all && !found.empty()) break;
    }
    if (all) PushNodeArray(ctx, found);
    else if (found.empty()) duk_push_null(ctx);
    else PushNode(ctx, found[0]);
    return 1;
}

duk_ret_t N_matches(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    std::vector<Selector> sels;
    ParseSelectorGroup(GetW(ctx, 0), sels);
    bool m = false;
    for (auto& s : sels) if (Matches(s, e)) m = true;
    duk_push_boolean(ctx, m);
    return 1;
}

duk_ret_t N_focus(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->document && e->document->window) e->document->window->SetFocus(e);
    return 0;
}

duk_ret_t N_blur(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->document && e->document->window && e->document->window->Focused() == e) e->document->window->SetFocus(nullptr);
    return 0;
}

duk_ret_t N_click(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->document && e->document->window) e->document->window->ClickElement(e);
    return 0;
}

duk_ret_t N_selectAll(duk_context* ctx)
{
    ENTER;
    Element* e = ThisElement(ctx);
    if (e->isTextField) { e->field.anchor = 0; e->field.caret = e->field.value.size(); Changed(e); }
    return 0;
}

// ---- page natives -----------------------------------------------------------

ScriptPage* ThisPage(duk_context* ctx)
{
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, HIDDEN("pg"));
    unsigned id = static_cast<unsigned>(duk_to_uint(ctx, -1));
    duk_pop_2(ctx);
    ScriptPage* p = FindPage(id);
    if (!p) (void)duk_error(ctx, DUK_ERR_ERROR, "the page of this function is closed");
    return p;
}

duk_ret_t P_report(duk_context* ctx)
{
    ENTER;
    Host::Get().ReportError(ctx, 0, L"");
    return 0;
}

duk_ret_t P_root(duk_context* ctx) { ENTER; ScriptPage* p = ThisPage(ctx); PushNode(ctx, p->Window()->Doc() ? p->Window()->Doc()->root.get() : nullptr); return 1; }
duk_ret_t P_body(duk_context* ctx) { ENTER; ScriptPage* p = ThisPage(ctx); PushNode(ctx, p->Window()->Doc() ? p->Window()->Doc()->Body() : nullptr); return 1; }
duk_ret_t P_head(duk_context* ctx) { ENTER; ScriptPage* p = ThisPage(ctx); PushNode(ctx, p->Window()->Doc() ? p->Window()->Doc()->Head() : nullptr); return 1; }
duk_ret_t P_active(duk_context* ctx) { ENTER; ScriptPage* p = ThisPage(ctx); PushNode(ctx, p->Window()->Focused()); return 1; }
duk_ret_t P_url(duk_context* ctx) { ENTER; ScriptPage* p = ThisPage(ctx); PushW(ctx, p->Window()->Doc() ? p->Window()->Doc()->url : L""); return 1; }

duk_ret_t P_byId(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    Document* d = p->Window()->Doc();
    PushNode(ctx, d ? d->GetElementById(GetW(ctx, 0)) : nullptr);
    return 1;
}

duk_ret_t P_create(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    Document* d = p->Window()->Doc();
    if (!d) return 0;
    std::string tag = duk_safe_to_string(ctx, 0);
    auto e = d->CreateElement(tag);
    if (tag == "input") e->isTextField = true;
    if (tag == "textarea") e->isTextField = true;
    // The wrapper keeps the new element alive until it is inserted.
    PushNode(ctx, e.get());
    return 1;
}

duk_ret_t P_createText(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    Document* d = p->Window()->Doc();
    if (!d) return 0;
    auto t = d->CreateText(GetW(ctx, 0));
    PushNode(ctx, t.get());
    return 1;
}

duk_ret_t P_timer(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    if (!duk_is_function(ctx, 0)) return duk_type_error(ctx, "timer: not a function");
    double ms = duk_to_number(ctx, 1);
    bool repeat = duk_to_boolean(ctx, 2) != 0;
    UINT interval = static_cast<UINT>(ms < 1 ? 1 : ms > 0x7FFFFFFF ? 0x7FFFFFFF : ms);
    UINT_PTR id = p->NextTimerId();
    unsigned ref = Host::Get().Ref(ctx, 0);
    p->Timers()[id] = {ref, interval, repeat};
    if (!::SetTimer(p->Hwnd(), id, interval, nullptr)) {
        Host::Get().Release(ref);
        p->Timers().erase(id);
        return duk_error(ctx, DUK_ERR_ERROR, "timer: no timer available");
    }
    duk_push_uint(ctx, static_cast<duk_uint_t>(id));
    return 1;
}

duk_ret_t P_clearTimer(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    UINT_PTR id = duk_to_uint(ctx, 0);
    auto it = p->Timers().find(id);
    if (it != p->Timers().end()) {
        ::KillTimer(p->Hwnd(), id);
        Host::Get().Release(it->second.fnRef);
        p->Timers().erase(it);
    }
    return 0;
}

duk_ret_t P_log(duk_context* ctx)
{
    ENTER;
    DebugLine(L"sciter32.dll=>" + GetW(ctx, 0));
    return 0;
}

duk_ret_t P_viewCall(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    std::string name = duk_safe_to_string(ctx, 0);
    std::vector<Value> args;
    duk_size_t n = duk_is_array(ctx, 1) ? duk_get_length(ctx, 1) : 0;
    Host& h = Host::Get();
    for (duk_size_t i = 0; i < n; ++i) {
        duk_get_prop_index(ctx, 1, static_cast<duk_uarridx_t>(i));
        Value v;
        h.ToValue(ctx, -1, v.get());
        args.push_back(v);
        duk_pop(ctx);
    }
    bool handled;
    {
        Value result;
        handled = p->Window()->ViewCall(name, args, result);
        if (handled) h.PushValue(ctx, result.get());
    }
    if (handled) return 1;
    // Free everything before the error jumps out of this function.
    static char message[160];
    snprintf(message, sizeof(message), "view.%s is not a function here", name.c_str());
    std::vector<Value>().swap(args);
    std::string().swap(name);
    return duk_error(ctx, DUK_ERR_TYPE_ERROR, "%s", message);
}

void PutNative(duk_context* ctx, duk_idx_t obj, const char* name, duk_c_function fn, duk_idx_t nargs, unsigned pageId)
{
    obj = duk_normalize_index(ctx, obj);
    duk_push_c_function(ctx, fn, nargs);
    if (pageId) {
        duk_push_uint(ctx, pageId);
        duk_put_prop_string(ctx, -2, HIDDEN("pg"));
    }
    duk_put_prop_string(ctx, obj, name);
}

std::map<unsigned, ScriptPage*>& Pages() { return Host::Get().pages; }

}  // namespace

void ReportScriptError(const std::wstring& file, int line, const std::wstring& message)
{
    DebugLine(L"sciter32.dll=>script error: " + file + L"(" + std::to_wstring(line) + L"): " + message);
}

void RetirePage(std::unique_ptr<ScriptPage> page)
{
    if (!page) return;
    Pages().erase(page->Id());  // its natives now report a closed page
    if (Host::Get().active.empty()) page.reset();
    else Graveyard().push_back(std::move(page));  // still on the script stack
}

bool ScriptRunning() { return !Host::Get().active.empty(); }

ScriptPage* FindPage(unsigned id)
{
    auto it = Pages().find(id);
    return it == Pages().end() ? nullptr : it->second;
}

ScriptPage::ScriptPage(EngineWindow* window) : m_window(window), m_hwnd(window->Hwnd())
{
    Host& h = Host::Get();
    m_id = h.nextPage++;
    h.pages[m_id] = this;
    duk_context* main = h.main;
    duk_push_thread_new_globalenv(main);
    m_ctx = duk_get_context(main, -1);
    m_threadRef = h.Ref(main, -1);
    duk_pop(main);

    duk_context* ctx = m_ctx;
    Active scope(ctx);
    duk_push_global_object(ctx);
    duk_idx_t global = duk_get_top_index(ctx);
    // Register the global under the page id so wrappers can find it from any thread.
    duk_push_heap_stash(ctx);
    if (!duk_get_prop_string(ctx, -1, "pages")) {
        duk_pop(ctx);
        duk_push_object(ctx);
        duk_dup(ctx, -1);
        duk_put_prop_string(ctx, -3, "pages");
    }
    duk_dup(ctx, global);
    duk_put_prop_index(ctx, -2, m_id);
    duk_pop_2(ctx);

    duk_push_object(ctx);
    duk_put_prop_string(ctx, global, HIDDEN("nodes"));

    duk_idx_t proto = duk_push_object(ctx);
    struct { const char* name; duk_c_function fn; duk_idx_t nargs; } nodeNatives[] = {
        {"__nodeType", N_nodeType, 0}, {"__tag", N_tag, 0}, {"__attr", N_attr, 1}, {"__attrNames", N_attrNames, 0},
        {"__setAttr", N_setAttr, 2}, {"__removeAttr", N_removeAttr, 1}, {"__hasAttr", N_hasAttr, 1},
        {"__parent", N_parent, 0}, {"__childNodes", N_childNodes, 0}, {"__children", N_children, 0},
        {"__insertBefore", N_insertBefore, 2}, {"__remove", N_remove, 1}, {"__text", N_text, 0},
        {"__setText", N_setText, 1}, {"__html", N_html, 0}, {"__setHtml", N_setHtml, 1},
        {"__outerHtml", N_outerHtml, 0}, {"__getStyle", N_getStyle, 1}, {"__setStyle", N_setStyle, 2},
        {"__value", N_value, 0}, {"__setValue", N_setValue, 1}, {"__checked", N_checked, 0},
        {"__setChecked", N_setChecked, 1}, {"__rect", N_rect, 0}, {"__query", N_query, 2},
        {"__matches", N_matches, 1}, {"__focus", N_focus, 0}, {"__blur", N_blur, 0}, {"__click", N_click, 0},
        {"__selectAll", N_selectAll, 0}, {"__scroll", N_scroll, DUK_VARARGS}};
    for (auto& n : nodeNatives) PutNative(ctx, proto, n.name, n.fn, n.nargs, 0);
    duk_dup(ctx, proto);
    duk_put_prop_string(ctx, global, HIDDEN("proto"));

    duk_idx_t natives = duk_push_object(ctx);
    struct { const char* name; duk_c_function fn; duk_idx_t nargs; } pageNatives[] = {
        {"report", P_report, 1}, {"root", P_root, 0}, {"body", P_body, 0}, {"head", P_head, 0},
        {"activeElement", P_active, 0}, {"url", P_url, 0}, {"byId", P_byId, 1}, {"create", P_create, 1},
        {"createText", P_createText, 1}, {"timer", P_timer, 3}, {"clearTimer", P_clearTimer, 1},
        {"log", P_log, 1}, {"viewCall", P_viewCall, 2}};
    for (auto& n : pageNatives) PutNative(ctx, natives, n.name, n.fn, n.nargs, m_id);

    if (duk_peval_string(ctx, kScriptPrelude) != 0) {
        h.ReportError(ctx, -1, L"(prelude)");
        duk_pop(ctx);
    } else {
        duk_dup(ctx, global);
        duk_dup(ctx, proto);
        duk_dup(ctx, natives);
        if (duk_pcall(ctx, 3) != DUK_EXEC_SUCCESS) h.ReportError(ctx, -1, L"(prelude)");
        duk_pop(ctx);
    }
    duk_set_top(ctx, 0);
}

ScriptPage::~ScriptPage()
{
    Host& h = Host::Get();
    for (auto& t : m_timers) {
        ::KillTimer(m_hwnd, t.first);
        h.Release(t.second.fnRef);
    }
    m_timers.clear();
    duk_context* ctx = h.CallCtx(nullptr);
    // Drop the page's global and wrappers; values that the host still holds stay valid.
    duk_push_heap_stash(ctx);
    if (duk_get_prop_string(ctx, -1, "pages")) duk_del_prop_index(ctx, -1, m_id);
    duk_pop_2(ctx);
    h.Release(m_threadRef);
    h.pages.erase(m_id);
}

bool ScriptPage::Execute(const std::wstring& code, const std::wstring& url)
{
    Host& h = Host::Get();
    duk_context* ctx = m_ctx;
    Active scope(ctx);
    std::string src = Utf8Units(code);
    PushW(ctx, url);
    bool ok = true;
    if (duk_pcompile_lstring_filename(ctx, 0, src.data(), src.size()) != 0) {
        h.ReportError(ctx, -1, url);
        ok = false;
    } else if (duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS) {
        h.ReportError(ctx, -1, url);
        ok = false;
    }
    duk_pop(ctx);
    return ok;
}

bool ScriptPage::Evaluate(const std::wstring& code, VALUE* result)
{
    Host& h = Host::Get();
    duk_context* ctx = m_ctx;
    Active scope(ctx);
    std::string src = Utf8Units(code);
    bool ok = duk_peval_lstring(ctx, src.data(), src.size()) == 0;
    if (!ok) h.ReportError(ctx, -1, L"(eval)");
    else if (result) h.ToValue(ctx, -1, result);
    duk_pop(ctx);
    return ok;
}

bool ScriptPage::Global(const std::string& name, VALUE* out)
{
    Host& h = Host::Get();
    duk_context* ctx = h.CallCtx(m_ctx);
    Active scope(ctx);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "pages");
    duk_get_prop_index(ctx, -1, m_id);
    bool ok = duk_get_prop_string(ctx, -1, name.c_str()) != 0;
    h.ToValue(ctx, -1, out);
    duk_pop_n(ctx, 4);
    return ok;
}

namespace {
// Pushes a named function of the page's global; false (nothing pushed) if missing.
bool PushPageFunction(duk_context* ctx, unsigned pageId, const char* name)
{
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "pages");
    duk_get_prop_index(ctx, -1, pageId);
    duk_get_prop_string(ctx, -1, name);
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
    if (!duk_is_function(ctx, -1)) { duk_pop(ctx); return false; }
    return true;
}
}  // namespace

bool ScriptPage::Dispatch(Element* target, const EventInfo& ev)
{
    Host& h = Host::Get();
    duk_context* ctx = h.CallCtx(m_ctx);
    Active scope(ctx);
    if (!PushPageFunction(ctx, m_id, "__dispatch")) return false;
    PushNode(ctx, target);
    duk_idx_t obj = duk_push_object(ctx);
    duk_push_string(ctx, ev.type.c_str()); duk_put_prop_string(ctx, obj, "type");
    duk_push_boolean(ctx, ev.bubbles); duk_put_prop_string(ctx, obj, "bubbles");
    duk_push_number(ctx, ev.clientX); duk_put_prop_string(ctx, obj, "clientX");
    duk_push_number(ctx, ev.clientY); duk_put_prop_string(ctx, obj, "clientY");
    duk_push_number(ctx, ev.clientX); duk_put_prop_string(ctx, obj, "x");
    duk_push_number(ctx, ev.clientY); duk_put_prop_string(ctx, obj, "y");
    duk_push_int(ctx, ev.screenX); duk_put_prop_string(ctx, obj, "screenX");
    duk_push_int(ctx, ev.screenY); duk_put_prop_string(ctx, obj, "screenY");
    duk_push_int(ctx, ev.button); duk_put_prop_string(ctx, obj, "button");
    duk_push_int(ctx, ev.keyCode); duk_put_prop_string(ctx, obj, "keyCode");
    duk_push_int(ctx, ev.keyCode); duk_put_prop_string(ctx, obj, "which");
    duk_push_int(ctx, ev.charCode); duk_put_prop_string(ctx, obj, "charCode");
    duk_push_boolean(ctx, ev.ctrl); duk_put_prop_string(ctx, obj, "ctrlKey");
    duk_push_boolean(ctx, ev.shift); duk_put_prop_string(ctx, obj, "shiftKey");
    duk_push_boolean(ctx, ev.alt); duk_put_prop_string(ctx, obj, "altKey");
    bool prevented = false;
    if (duk_pcall(ctx, 2) != DUK_EXEC_SUCCESS) h.ReportError(ctx, -1, m_window->Doc() ? m_window->Doc()->url : L"");
    else prevented = duk_to_boolean(ctx, -1) != 0;
    duk_pop(ctx);
    return prevented;
}

void ScriptPage::FireLoaded()
{
    Host& h = Host::Get();
    duk_context* ctx = h.CallCtx(m_ctx);
    Active scope(ctx);
    if (!PushPageFunction(ctx, m_id, "__fireLoaded")) return;
    if (duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS) h.ReportError(ctx, -1, m_window->Doc() ? m_window->Doc()->url : L"");
    duk_pop(ctx);
}

bool ScriptPage::CloseRequest()
{
    Host& h = Host::Get();
    duk_context* ctx = h.CallCtx(m_ctx);
    Active scope(ctx);
    if (!PushPageFunction(ctx, m_id, "__closeRequest")) return true;
    bool allowed = true;
    if (duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS) h.ReportError(ctx, -1, L"(close)");
    else allowed = duk_to_boolean(ctx, -1) != 0;
    duk_pop(ctx);
    return allowed;
}

bool ScriptPage::OnTimer(UINT_PTR id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return false;
    Timer t = it->second;
    if (!t.repeat) {
        ::KillTimer(m_hwnd, id);
        m_timers.erase(it);
    }
    Host& h = Host::Get();
    duk_context* ctx = h.CallCtx(m_ctx);
    {
        Active scope(ctx);
        h.PushRef(ctx, t.fnRef);
        if (!t.repeat) h.Release(t.fnRef);
        if (duk_is_function(ctx, -1)) {
            if (duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS) h.ReportError(ctx, -1, m_window->Doc() ? m_window->Doc()->url : L"");
        }
        duk_pop(ctx);
    }
    return true;
}

}  // namespace he
