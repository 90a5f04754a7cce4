#include "htmlengine/ScriptInternal.h"

#include <cstring>

#include "common/CodeChange.h"

namespace he::script {

namespace {

void FatalHandler(void*, const char* msg)
{
    ReportScriptError(L"(engine)", 0, L"fatal: " + Utf16Units(msg, msg ? strlen(msg) : 0));
    // Duktape cannot continue after a fatal error; end with a clear code instead of a crash dialog.
    ExitProcess(0xE5C0);
}

}  // namespace

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

Host& Host::Get()
{
    static Host* h = new Host;  // lives as long as the process: values may outlive windows
    return *h;
}

unsigned Host::Ref(duk_context* ctx, duk_idx_t idx)
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

void Host::PushRef(duk_context* ctx, unsigned id)
{
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "refs");
    duk_get_prop_index(ctx, -1, id);
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
}

void Host::Release(unsigned id)
{
    duk_context* ctx = CallCtx(nullptr);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "refs");
    duk_del_prop_index(ctx, -1, id);
    duk_pop_2(ctx);
}

bool Host::Count(unsigned id, int& n)
{
    duk_context* ctx = CallCtx(nullptr);
    PushRef(ctx, id);
    bool ok = duk_is_object(ctx, -1);
    if (ok) {
        if (duk_is_array(ctx, -1))
            n = static_cast<int>(duk_get_length(ctx, -1));
        else {
            n = 0;
            duk_enum(ctx, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
            while (duk_next(ctx, -1, 0)) {
                ++n;
                duk_pop(ctx);
            }
            duk_pop(ctx);
        }
    }
    duk_pop(ctx);
    return ok;
}

bool Host::NthElement(unsigned id, int n, VALUE* out)
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

bool Host::NthKey(unsigned id, int n, VALUE* out)
{
    duk_context* ctx = CallCtx(nullptr);
    PushRef(ctx, id);
    bool ok = duk_is_object(ctx, -1) && NthOwn(ctx, n, out, true);
    duk_pop(ctx);
    return ok;
}

bool Host::GetKey(unsigned id, const std::wstring& key, VALUE* out)
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

bool Host::SetKey(unsigned id, const std::wstring& key, const VALUE* val)
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

bool Host::SetNth(unsigned id, int n, const VALUE* val)
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

bool Host::ToJson(unsigned id, std::wstring& out)
{
    duk_context* ctx = CallCtx(nullptr);
    PushRef(ctx, id);
    bool ok = duk_pcall_prop_json(ctx, out);
    duk_pop(ctx);
    return ok;
}

UINT Host::Invoke(unsigned id, const VALUE* self, UINT argc, const VALUE* argv, VALUE* ret, const std::wstring& url)
{
    duk_context* ctx = CallCtx(nullptr);
    Active scope(ctx);  // a call from the host is an entry into script code like any other
    PushRef(ctx, id);
    if (!duk_is_function(ctx, -1)) {
        duk_pop(ctx);
        return HV_INCOMPATIBLE_TYPE;
    }
    if (self)
        PushValue(ctx, self);
    else
        duk_push_undefined(ctx);
    for (UINT i = 0; i < argc; ++i)
        PushValue(ctx, &argv[i]);
    UINT rc = HV_OK;
    if (duk_pcall_method(ctx, static_cast<duk_idx_t>(argc)) != DUK_EXEC_SUCCESS) {
        ReportError(ctx, -1, url);
        ValueClear(ret);
        rc = HV_SCRIPT_ERROR;
    } else {
        ToValue(ctx, -1, ret);
    }
    duk_pop(ctx);
    return rc;
}

void Host::ToValue(duk_context* ctx, duk_idx_t idx, VALUE* out)
{
    switch (duk_get_type(ctx, idx)) {
    case DUK_TYPE_NULL:
        ValueClear(out);
        out->t = T_NULL;
        break;
    case DUK_TYPE_BOOLEAN:
        SetBool(out, duk_get_boolean(ctx, idx) != 0);
        break;
    case DUK_TYPE_NUMBER: {
        double d = duk_get_number(ctx, idx);
        if (d == static_cast<double>(static_cast<int>(d)) && d >= -2147483648.0 && d <= 2147483647.0 &&
            !(d == 0 && std::signbit(d)))
            SetInt(out, static_cast<int>(d));
        else
            SetFloat(out, d);
        break;
    }
    case DUK_TYPE_STRING:
        SetString(out, GetW(ctx, idx));
        break;
    case DUK_TYPE_OBJECT: {
        UINT units = duk_is_function(ctx, idx) ? UT_OBJECT_FUNCTION
                     : duk_is_array(ctx, idx)  ? UT_OBJECT_ARRAY
                                               : UT_OBJECT_OBJECT;
        MakeObjectValue(out, Ref(ctx, idx), units);
        break;
    }
    default:
        ValueClear(out);
    }
}

void Host::PushValue(duk_context* ctx, const VALUE* v)
{
    switch (v->t) {
    case T_NULL:
        duk_push_null(ctx);
        break;
    case T_BOOL:
        duk_push_boolean(ctx, v->d != 0);
        break;
    case T_INT:
        duk_push_int(ctx, static_cast<INT>(static_cast<UINT>(v->d)));
        break;
    case T_FLOAT: {
        double d;
        ValueFloatData(v, &d);
        duk_push_number(ctx, d);
        break;
    }
    case T_STRING:
        PushW(ctx, ValueText(v));
        break;
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
            if (key.get()->t == T_STRING)
                PushW(ctx, ValueText(key.get()));
            else
                PushW(ctx, ValueJson(key.get()));
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
    default:
        duk_push_undefined(ctx);
    }
}

void Host::ReportError(duk_context* ctx, duk_idx_t idx, const std::wstring& fallbackFile)
{
    idx = duk_normalize_index(ctx, idx);
    std::wstring file = fallbackFile;
    int line = 0;
    std::wstring message;
    if (duk_is_error(ctx, idx) || duk_is_object(ctx, idx)) {
        if (duk_get_prop_string(ctx, idx, "fileName") && duk_is_string(ctx, -1))
            file = GetW(ctx, -1);
        duk_pop(ctx);
        if (duk_get_prop_string(ctx, idx, "lineNumber"))
            line = duk_to_int(ctx, -1);
        duk_pop(ctx);
    }
    message = GetW(ctx, idx);
    ReportScriptError(file, line, message);
}

Host::Host()
{
    main = duk_create_heap(nullptr, nullptr, nullptr, nullptr, FatalHandler);
    duk_push_heap_stash(main);
    duk_push_object(main);
    duk_put_prop_string(main, -2, "refs");
    duk_pop(main);
    SetObjectAccess(this);
}

bool Host::NthOwn(duk_context* ctx, int n, VALUE* out, bool key)
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

duk_ret_t Host::JsonSafe(duk_context* ctx, void*)
{
    duk_json_encode(ctx, -1);
    return 1;
}

bool Host::duk_pcall_prop_json(duk_context* ctx, std::wstring& out)
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

std::vector<std::unique_ptr<ScriptPage>>& Graveyard()
{
    static auto* g = new std::vector<std::unique_ptr<ScriptPage>>;
    return *g;
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

std::map<unsigned, ScriptPage*>& Pages()
{
    return Host::Get().pages;
}

}  // namespace he::script
