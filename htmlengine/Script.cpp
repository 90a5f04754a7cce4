#include "htmlengine/Script.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "htmlengine/Css.h"
#include "htmlengine/EngineWindow.h"
#include "htmlengine/HtmlParser.h"
#include "htmlengine/ScriptInternal.h"

extern const char kScriptPrelude[];

namespace he {

using namespace script;

namespace {

// ---- page natives -----------------------------------------------------------

ScriptPage* ThisPage(duk_context* ctx)
{
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, HIDDEN("pg"));
    unsigned id = static_cast<unsigned>(duk_to_uint(ctx, -1));
    duk_pop_2(ctx);
    ScriptPage* p = FindPage(id);
    if (!p)
        (void)duk_error(ctx, DUK_ERR_ERROR, "the page of this function is closed");
    return p;
}

duk_ret_t P_report(duk_context* ctx)
{
    ENTER;
    Host::Get().ReportError(ctx, 0, L"");
    return 0;
}

duk_ret_t P_root(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    PushNode(ctx, p->Window()->Doc() ? p->Window()->Doc()->root.get() : nullptr);
    return 1;
}
duk_ret_t P_body(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    PushNode(ctx, p->Window()->Doc() ? p->Window()->Doc()->Body() : nullptr);
    return 1;
}
duk_ret_t P_head(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    PushNode(ctx, p->Window()->Doc() ? p->Window()->Doc()->Head() : nullptr);
    return 1;
}
duk_ret_t P_active(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    PushNode(ctx, p->Window()->Focused());
    return 1;
}
duk_ret_t P_url(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    PushW(ctx, p->Window()->Doc() ? p->Window()->Doc()->url : L"");
    return 1;
}

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
    if (!d)
        return 0;
    std::string tag = duk_safe_to_string(ctx, 0);
    auto e = d->CreateElement(tag);
    if (tag == "input")
        e->isTextField = true;
    if (tag == "textarea")
        e->isTextField = true;
    // The wrapper keeps the new element alive until it is inserted.
    PushNode(ctx, e.get());
    return 1;
}

duk_ret_t P_createText(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    Document* d = p->Window()->Doc();
    if (!d)
        return 0;
    auto t = d->CreateText(GetW(ctx, 0));
    PushNode(ctx, t.get());
    return 1;
}

duk_ret_t P_timer(duk_context* ctx)
{
    ENTER;
    ScriptPage* p = ThisPage(ctx);
    if (!duk_is_function(ctx, 0))
        return duk_type_error(ctx, "timer: not a function");
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
        if (handled)
            h.PushValue(ctx, result.get());
    }
    if (handled)
        return 1;
    // Free everything before the error jumps out of this function.
    static char message[160];
    snprintf(message, sizeof(message), "view.%s is not a function here", name.c_str());
    std::vector<Value>().swap(args);
    std::string().swap(name);
    return duk_error(ctx, DUK_ERR_TYPE_ERROR, "%s", message);
}

}  // namespace

void ReportScriptError(const std::wstring& file, int line, const std::wstring& message)
{
    DebugLine(L"sciter32.dll=>script error: " + file + L"(" + std::to_wstring(line) + L"): " + message);
}

void RetirePage(std::unique_ptr<ScriptPage> page)
{
    if (!page)
        return;
    Pages().erase(page->Id());  // its natives now report a closed page
    if (Host::Get().active.empty())
        page.reset();
    else
        Graveyard().push_back(std::move(page));  // still on the script stack
}

bool ScriptRunning()
{
    return !Host::Get().active.empty();
}

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
    PutNodeNatives(ctx, proto);
    duk_dup(ctx, proto);
    duk_put_prop_string(ctx, global, HIDDEN("proto"));

    duk_idx_t natives = duk_push_object(ctx);
    struct {
        const char* name;
        duk_c_function fn;
        duk_idx_t nargs;
    } pageNatives[] = {{"report", P_report, 1},
                       {"root", P_root, 0},
                       {"body", P_body, 0},
                       {"head", P_head, 0},
                       {"activeElement", P_active, 0},
                       {"url", P_url, 0},
                       {"byId", P_byId, 1},
                       {"create", P_create, 1},
                       {"createText", P_createText, 1},
                       {"timer", P_timer, 3},
                       {"clearTimer", P_clearTimer, 1},
                       {"log", P_log, 1},
                       {"viewCall", P_viewCall, 2}};
    for (auto& n : pageNatives)
        PutNative(ctx, natives, n.name, n.fn, n.nargs, m_id);

    if (duk_peval_string(ctx, kScriptPrelude) != 0) {
        h.ReportError(ctx, -1, L"(prelude)");
        duk_pop(ctx);
    } else {
        duk_dup(ctx, global);
        duk_dup(ctx, proto);
        duk_dup(ctx, natives);
        if (duk_pcall(ctx, 3) != DUK_EXEC_SUCCESS)
            h.ReportError(ctx, -1, L"(prelude)");
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
    if (duk_get_prop_string(ctx, -1, "pages"))
        duk_del_prop_index(ctx, -1, m_id);
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
    if (!ok)
        h.ReportError(ctx, -1, L"(eval)");
    else if (result)
        h.ToValue(ctx, -1, result);
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
    if (!duk_is_function(ctx, -1)) {
        duk_pop(ctx);
        return false;
    }
    return true;
}
}  // namespace

bool ScriptPage::Dispatch(Element* target, const EventInfo& ev)
{
    Host& h = Host::Get();
    duk_context* ctx = h.CallCtx(m_ctx);
    Active scope(ctx);
    if (!PushPageFunction(ctx, m_id, "__dispatch"))
        return false;
    PushNode(ctx, target);
    duk_idx_t obj = duk_push_object(ctx);
    duk_push_string(ctx, ev.type.c_str());
    duk_put_prop_string(ctx, obj, "type");
    duk_push_boolean(ctx, ev.bubbles);
    duk_put_prop_string(ctx, obj, "bubbles");
    duk_push_number(ctx, ev.clientX);
    duk_put_prop_string(ctx, obj, "clientX");
    duk_push_number(ctx, ev.clientY);
    duk_put_prop_string(ctx, obj, "clientY");
    duk_push_number(ctx, ev.clientX);
    duk_put_prop_string(ctx, obj, "x");
    duk_push_number(ctx, ev.clientY);
    duk_put_prop_string(ctx, obj, "y");
    duk_push_int(ctx, ev.screenX);
    duk_put_prop_string(ctx, obj, "screenX");
    duk_push_int(ctx, ev.screenY);
    duk_put_prop_string(ctx, obj, "screenY");
    duk_push_int(ctx, ev.button);
    duk_put_prop_string(ctx, obj, "button");
    duk_push_int(ctx, ev.keyCode);
    duk_put_prop_string(ctx, obj, "keyCode");
    duk_push_int(ctx, ev.keyCode);
    duk_put_prop_string(ctx, obj, "which");
    duk_push_int(ctx, ev.charCode);
    duk_put_prop_string(ctx, obj, "charCode");
    duk_push_boolean(ctx, ev.ctrl);
    duk_put_prop_string(ctx, obj, "ctrlKey");
    duk_push_boolean(ctx, ev.shift);
    duk_put_prop_string(ctx, obj, "shiftKey");
    duk_push_boolean(ctx, ev.alt);
    duk_put_prop_string(ctx, obj, "altKey");
    bool prevented = false;
    if (duk_pcall(ctx, 2) != DUK_EXEC_SUCCESS)
        h.ReportError(ctx, -1, m_window->Doc() ? m_window->Doc()->url : L"");
    else
        prevented = duk_to_boolean(ctx, -1) != 0;
    duk_pop(ctx);
    return prevented;
}

void ScriptPage::FireLoaded()
{
    Host& h = Host::Get();
    duk_context* ctx = h.CallCtx(m_ctx);
    Active scope(ctx);
    if (!PushPageFunction(ctx, m_id, "__fireLoaded"))
        return;
    if (duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS)
        h.ReportError(ctx, -1, m_window->Doc() ? m_window->Doc()->url : L"");
    duk_pop(ctx);
}

bool ScriptPage::CloseRequest()
{
    Host& h = Host::Get();
    duk_context* ctx = h.CallCtx(m_ctx);
    Active scope(ctx);
    if (!PushPageFunction(ctx, m_id, "__closeRequest"))
        return true;
    bool allowed = true;
    if (duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS)
        h.ReportError(ctx, -1, L"(close)");
    else
        allowed = duk_to_boolean(ctx, -1) != 0;
    duk_pop(ctx);
    return allowed;
}

bool ScriptPage::OnTimer(UINT_PTR id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return false;
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
        if (!t.repeat)
            h.Release(t.fnRef);
        if (duk_is_function(ctx, -1)) {
            if (duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS)
                h.ReportError(ctx, -1, m_window->Doc() ? m_window->Doc()->url : L"");
        }
        duk_pop(ctx);
    }
    return true;
}

}  // namespace he
