#include "htmlengine/Value.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "htmlengine/ExportGuard.h"

namespace he {
namespace {

iObjectAccess* g_objects = nullptr;

struct Payload {
    std::atomic<int> refs {1};
    virtual ~Payload() = default;
    virtual Payload* Clone() const = 0;
};

struct StringPayload : Payload {
    std::wstring text;
    Payload* Clone() const override
    {
        auto* p = new StringPayload;
        p->text = text;
        return p;
    }
};

struct ArrayPayload : Payload {
    std::vector<VALUE> items;
    ~ArrayPayload() override
    {
        for (auto& v : items)
            ValueClear(&v);
    }
    Payload* Clone() const override
    {
        auto* p = new ArrayPayload;
        p->items.resize(items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            ValueInit(&p->items[i]);
            ValueCopy(&p->items[i], &items[i]);
        }
        return p;
    }
};

struct MapPayload : Payload {
    std::vector<std::pair<VALUE, VALUE>> items;
    ~MapPayload() override
    {
        for (auto& kv : items) {
            ValueClear(&kv.first);
            ValueClear(&kv.second);
        }
    }
    Payload* Clone() const override
    {
        auto* p = new MapPayload;
        p->items.resize(items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            ValueInit(&p->items[i].first);
            ValueCopy(&p->items[i].first, &items[i].first);
            ValueInit(&p->items[i].second);
            ValueCopy(&p->items[i].second, &items[i].second);
        }
        return p;
    }
};

struct ObjectPayload : Payload {
    unsigned refId = 0;
    ~ObjectPayload() override
    {
        if (g_objects)
            g_objects->Release(refId);
    }
    Payload* Clone() const override { return nullptr; }  // never cloned: references are shared
};

bool HasPayload(UINT t)
{
    return t == T_STRING || t == T_ARRAY || t == T_MAP || t == T_OBJECT;
}

Payload* PayloadOf(const VALUE* v)
{
    return HasPayload(v->t) ? reinterpret_cast<Payload*>(static_cast<uintptr_t>(v->d)) : nullptr;
}

void SetPayload(VALUE* v, UINT t, UINT u, Payload* p)
{
    v->t = t;
    v->u = u;
    v->d = static_cast<UINT64>(reinterpret_cast<uintptr_t>(p));
}

// Copy-on-write: gives a payload that this value alone owns.
template <typename P> P* Exclusive(VALUE* v)
{
    Payload* p = PayloadOf(v);
    if (p->refs.load() > 1) {
        Payload* copy = p->Clone();
        if (--p->refs == 0)
            delete p;
        v->d = static_cast<UINT64>(reinterpret_cast<uintptr_t>(copy));
        p = copy;
    }
    return static_cast<P*>(p);
}

bool KeyEquals(const VALUE& a, const VALUE& b)
{
    if (a.t != b.t)
        return false;
    if (a.t == T_STRING)
        return static_cast<StringPayload*>(PayloadOf(&a))->text == static_cast<StringPayload*>(PayloadOf(&b))->text;
    if (HasPayload(a.t))
        return PayloadOf(&a) == PayloadOf(&b);
    return a.d == b.d;
}

void JsonQuote(const std::wstring& s, std::wstring& out)
{
    out += L'"';
    for (wchar_t c : s) {
        switch (c) {
        case L'"':
            out += L"\\\"";
            break;
        case L'\\':
            out += L"\\\\";
            break;
        case L'\n':
            out += L"\\n";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\t':
            out += L"\\t";
            break;
        case L'\b':
            out += L"\\b";
            break;
        case L'\f':
            out += L"\\f";
            break;
        default:
            if (c < 0x20) {
                wchar_t buf[8];
                swprintf(buf, 8, L"\\u%04x", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    out += L'"';
}

std::wstring NumberText(double d)
{
    if (!std::isfinite(d))
        return L"null";
    wchar_t buf[64];
    swprintf(buf, 64, L"%.17g", d);
    // Prefer the shortest text that reads back the same.
    for (int prec = 1; prec <= 17; ++prec) {
        wchar_t b2[64];
        swprintf(b2, 64, L"%.*g", prec, d);
        if (wcstod(b2, nullptr) == d)
            return b2;
    }
    return buf;
}

void WriteJson(const VALUE* v, std::wstring& out)
{
    switch (v->t) {
    case T_UNDEFINED:
        out += L"undefined";
        break;
    case T_NULL:
        out += L"null";
        break;
    case T_BOOL:
        out += v->d ? L"true" : L"false";
        break;
    case T_INT:
        out += std::to_wstring(static_cast<INT>(static_cast<UINT>(v->d)));
        break;
    case T_FLOAT: {
        double d;
        std::memcpy(&d, &v->d, 8);
        out += NumberText(d);
        break;
    }
    case T_STRING:
        JsonQuote(static_cast<StringPayload*>(PayloadOf(v))->text, out);
        break;
    case T_ARRAY: {
        out += L'[';
        auto* p = static_cast<ArrayPayload*>(PayloadOf(v));
        for (size_t i = 0; i < p->items.size(); ++i) {
            if (i)
                out += L',';
            WriteJson(&p->items[i], out);
        }
        out += L']';
        break;
    }
    case T_MAP: {
        out += L'{';
        auto* p = static_cast<MapPayload*>(PayloadOf(v));
        for (size_t i = 0; i < p->items.size(); ++i) {
            if (i)
                out += L',';
            const VALUE& k = p->items[i].first;
            if (k.t == T_STRING)
                JsonQuote(static_cast<StringPayload*>(PayloadOf(&k))->text, out);
            else {
                std::wstring kt;
                WriteJson(&k, kt);
                JsonQuote(kt, out);
            }
            out += L':';
            WriteJson(&p->items[i].second, out);
        }
        out += L'}';
        break;
    }
    case T_OBJECT: {
        std::wstring text;
        auto* p = static_cast<ObjectPayload*>(PayloadOf(v));
        if (v->u != UT_OBJECT_FUNCTION && g_objects && g_objects->ToJson(p->refId, text))
            out += text;
        else
            out += L"null";
        break;
    }
    default:
        out += L"null";
    }
}

struct JsonReader {
    const wchar_t* p;
    const wchar_t* end;
    void Skip()
    {
        while (p < end && (*p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n'))
            ++p;
    }
    bool Lit(const wchar_t* w)
    {
        size_t n = wcslen(w);
        if (static_cast<size_t>(end - p) >= n && wcsncmp(p, w, n) == 0) {
            p += n;
            return true;
        }
        return false;
    }
    bool String(std::wstring& s)
    {
        if (p >= end || *p != L'"')
            return false;
        ++p;
        while (p < end && *p != L'"') {
            if (*p == L'\\') {
                if (++p >= end)
                    return false;
                switch (*p) {
                case L'n':
                    s += L'\n';
                    break;
                case L'r':
                    s += L'\r';
                    break;
                case L't':
                    s += L'\t';
                    break;
                case L'b':
                    s += L'\b';
                    break;
                case L'f':
                    s += L'\f';
                    break;
                case L'u': {
                    if (end - p < 5)
                        return false;
                    unsigned code = 0;
                    for (int i = 1; i <= 4; ++i) {
                        wchar_t c = p[i];
                        code <<= 4;
                        if (c >= L'0' && c <= L'9')
                            code |= c - L'0';
                        else if (c >= L'a' && c <= L'f')
                            code |= c - L'a' + 10;
                        else if (c >= L'A' && c <= L'F')
                            code |= c - L'A' + 10;
                        else
                            return false;
                    }
                    s += static_cast<wchar_t>(code);
                    p += 4;
                    break;
                }
                default:
                    s += *p;
                }
                ++p;
            } else {
                s += *p++;
            }
        }
        if (p >= end)
            return false;
        ++p;
        return true;
    }
    bool Parse(VALUE* out, int depth)
    {
        if (depth > 200)
            return false;
        Skip();
        if (p >= end)
            return false;
        if (*p == L'{') {
            ++p;
            VALUE m;
            ValueInit(&m);
            SetPayload(&m, T_MAP, 0, new MapPayload);
            Skip();
            if (p < end && *p == L'}') {
                ++p;
                ValueCopy(out, &m);
                ValueClear(&m);
                return true;
            }
            for (;;) {
                Skip();
                std::wstring key;
                if (!String(key)) {
                    ValueClear(&m);
                    return false;
                }
                Skip();
                if (p >= end || *p != L':') {
                    ValueClear(&m);
                    return false;
                }
                ++p;
                VALUE k, val;
                ValueInit(&k);
                ValueInit(&val);
                SetString(&k, key);
                if (!Parse(&val, depth + 1)) {
                    ValueClear(&k);
                    ValueClear(&m);
                    return false;
                }
                ValueSetValueToKey(&m, &k, &val);
                ValueClear(&k);
                ValueClear(&val);
                Skip();
                if (p < end && *p == L',') {
                    ++p;
                    continue;
                }
                if (p < end && *p == L'}') {
                    ++p;
                    break;
                }
                ValueClear(&m);
                return false;
            }
            ValueCopy(out, &m);
            ValueClear(&m);
            return true;
        }
        if (*p == L'[') {
            ++p;
            VALUE a;
            ValueInit(&a);
            SetPayload(&a, T_ARRAY, 0, new ArrayPayload);
            Skip();
            if (p < end && *p == L']') {
                ++p;
                ValueCopy(out, &a);
                ValueClear(&a);
                return true;
            }
            for (int i = 0;; ++i) {
                VALUE val;
                ValueInit(&val);
                if (!Parse(&val, depth + 1)) {
                    ValueClear(&a);
                    return false;
                }
                ValueNthElementValueSet(&a, i, &val);
                ValueClear(&val);
                Skip();
                if (p < end && *p == L',') {
                    ++p;
                    continue;
                }
                if (p < end && *p == L']') {
                    ++p;
                    break;
                }
                ValueClear(&a);
                return false;
            }
            ValueCopy(out, &a);
            ValueClear(&a);
            return true;
        }
        if (*p == L'"') {
            std::wstring s;
            if (!String(s))
                return false;
            SetString(out, s);
            return true;
        }
        if (Lit(L"true")) {
            SetBool(out, true);
            return true;
        }
        if (Lit(L"false")) {
            SetBool(out, false);
            return true;
        }
        if (Lit(L"null")) {
            ValueClear(out);
            out->t = T_NULL;
            return true;
        }
        if (Lit(L"undefined")) {
            ValueClear(out);
            return true;
        }
        const wchar_t* start = p;
        if (p < end && (*p == L'-' || *p == L'+'))
            ++p;
        bool isFloat = false;
        while (p < end && ((*p >= L'0' && *p <= L'9') || *p == L'.' || *p == L'e' || *p == L'E' ||
                           ((*p == L'-' || *p == L'+') && (p[-1] == L'e' || p[-1] == L'E')))) {
            if (*p == L'.' || *p == L'e' || *p == L'E')
                isFloat = true;
            ++p;
        }
        if (p == start)
            return false;
        std::wstring num(start, p);
        wchar_t* stop = nullptr;
        double d = wcstod(num.c_str(), &stop);
        if (stop == num.c_str())
            return false;
        if (!isFloat && d >= -2147483648.0 && d <= 2147483647.0)
            SetInt(out, static_cast<int>(d));
        else
            SetFloat(out, d);
        return true;
    }
};

}  // namespace

void SetObjectAccess(iObjectAccess* access)
{
    g_objects = access;
}

void MakeObjectValue(VALUE* v, unsigned refId, UINT units)
{
    ValueClear(v);
    auto* p = new ObjectPayload;
    p->refId = refId;
    SetPayload(v, T_OBJECT, units, p);
}

bool ObjectRefId(const VALUE* v, unsigned& refId)
{
    if (!v || v->t != T_OBJECT)
        return false;
    refId = static_cast<ObjectPayload*>(PayloadOf(v))->refId;
    return true;
}

UINT WINAPI ValueInit(VALUE* pval)
{
    if (!pval)
        return HV_BAD_PARAMETER;
    pval->t = T_UNDEFINED;
    pval->u = 0;
    pval->d = 0;
    return HV_OK;
}

UINT WINAPI ValueClear(VALUE* pval)
{
    if (!pval)
        return HV_BAD_PARAMETER;
    if (Payload* p = PayloadOf(pval)) {
        if (--p->refs == 0)
            delete p;
    }
    return ValueInit(pval);
}

UINT WINAPI ValueCopy(VALUE* pdst, const VALUE* psrc)
{
    if (!pdst || !psrc)
        return HV_BAD_PARAMETER;
    if (pdst == psrc)
        return HV_OK;
    if (Payload* p = PayloadOf(psrc))
        ++p->refs;
    ValueClear(pdst);
    *pdst = *psrc;
    return HV_OK;
}

UINT WINAPI ValueType(const VALUE* pval, UINT* pType, UINT* pUnits)
{
    if (!pval)
        return HV_BAD_PARAMETER;
    if (pType)
        *pType = pval->t;
    if (pUnits)
        *pUnits = pval->u;
    return HV_OK;
}

UINT WINAPI ValueStringData(const VALUE* pval, LPCWSTR* pChars, UINT* pNumChars)
{
    if (!pval || !pChars)
        return HV_BAD_PARAMETER;
    if (pval->t != T_STRING)
        return HV_INCOMPATIBLE_TYPE;
    auto* p = static_cast<StringPayload*>(PayloadOf(pval));
    *pChars = p->text.c_str();
    if (pNumChars)
        *pNumChars = static_cast<UINT>(p->text.size());
    return HV_OK;
}

UINT WINAPI ValueStringDataSet(VALUE* pval, LPCWSTR chars, UINT numChars, UINT units)
{
    return Guarded<UINT>(HV_BAD_PARAMETER, [&]() -> UINT {
        if (!pval || (!chars && numChars))
            return HV_BAD_PARAMETER;
        auto* p = new StringPayload;
        if (chars)
            p->text.assign(chars, numChars);
        ValueClear(pval);
        SetPayload(pval, T_STRING, units, p);
        return HV_OK;
    });
}

UINT WINAPI ValueIntData(const VALUE* pval, INT* pData)
{
    if (!pval || !pData)
        return HV_BAD_PARAMETER;
    if (pval->t != T_INT && pval->t != T_BOOL)
        return HV_INCOMPATIBLE_TYPE;
    *pData = static_cast<INT>(static_cast<UINT>(pval->d));
    return HV_OK;
}

UINT WINAPI ValueIntDataSet(VALUE* pval, INT data, UINT type, UINT units)
{
    if (!pval)
        return HV_BAD_PARAMETER;
    if (type != T_INT && type != T_BOOL && type != T_NULL && type != T_UNDEFINED)
        return HV_INCOMPATIBLE_TYPE;
    ValueClear(pval);
    pval->t = type;
    pval->u = units;
    pval->d = type == T_BOOL ? (data ? 1 : 0) : static_cast<UINT64>(static_cast<UINT>(data));
    if (type == T_NULL || type == T_UNDEFINED)
        pval->d = 0;
    return HV_OK;
}

UINT WINAPI ValueFloatData(const VALUE* pval, double* pData)
{
    if (!pval || !pData)
        return HV_BAD_PARAMETER;
    if (pval->t == T_FLOAT) {
        std::memcpy(pData, &pval->d, 8);
        return HV_OK;
    }
    if (pval->t == T_INT) {
        *pData = static_cast<INT>(static_cast<UINT>(pval->d));
        return HV_OK;
    }
    return HV_INCOMPATIBLE_TYPE;
}

UINT WINAPI ValueFloatDataSet(VALUE* pval, double data, UINT type, UINT units)
{
    if (!pval)
        return HV_BAD_PARAMETER;
    if (type != T_FLOAT)
        return HV_INCOMPATIBLE_TYPE;
    ValueClear(pval);
    pval->t = T_FLOAT;
    pval->u = units;
    std::memcpy(&pval->d, &data, 8);
    return HV_OK;
}

UINT WINAPI ValueElementsCount(const VALUE* pval, INT* pN)
{
    if (!pval || !pN)
        return HV_BAD_PARAMETER;
    switch (pval->t) {
    case T_ARRAY:
        *pN = static_cast<INT>(static_cast<ArrayPayload*>(PayloadOf(pval))->items.size());
        return HV_OK;
    case T_MAP:
        *pN = static_cast<INT>(static_cast<MapPayload*>(PayloadOf(pval))->items.size());
        return HV_OK;
    case T_OBJECT: {
        int n = 0;
        if (!g_objects || !g_objects->Count(static_cast<ObjectPayload*>(PayloadOf(pval))->refId, n))
            return HV_INCOMPATIBLE_TYPE;
        *pN = n;
        return HV_OK;
    }
    default:
        return HV_INCOMPATIBLE_TYPE;
    }
}

UINT WINAPI ValueNthElementValue(const VALUE* pval, INT n, VALUE* pRetval)
{
    return Guarded<UINT>(HV_BAD_PARAMETER, [&]() -> UINT {
        if (!pval || !pRetval)
            return HV_BAD_PARAMETER;
        if (pval->t == T_ARRAY) {
            auto* p = static_cast<ArrayPayload*>(PayloadOf(pval));
            if (n < 0 || static_cast<size_t>(n) >= p->items.size())
                return HV_BAD_PARAMETER;
            return ValueCopy(pRetval, &p->items[n]);
        }
        if (pval->t == T_MAP) {
            auto* p = static_cast<MapPayload*>(PayloadOf(pval));
            if (n < 0 || static_cast<size_t>(n) >= p->items.size())
                return HV_BAD_PARAMETER;
            return ValueCopy(pRetval, &p->items[n].second);
        }
        if (pval->t == T_OBJECT) {
            if (!g_objects)
                return HV_INCOMPATIBLE_TYPE;
            return g_objects->NthElement(static_cast<ObjectPayload*>(PayloadOf(pval))->refId, n, pRetval)
                       ? HV_OK
                       : HV_BAD_PARAMETER;
        }
        return HV_INCOMPATIBLE_TYPE;
    });
}

UINT WINAPI ValueNthElementValueSet(VALUE* pval, INT n, const VALUE* pValToSet)
{
    return Guarded<UINT>(HV_BAD_PARAMETER, [&]() -> UINT {
        if (!pval || !pValToSet || n < 0)
            return HV_BAD_PARAMETER;
        if (pval->t == T_UNDEFINED || pval->t == T_NULL) {
            ValueClear(pval);
            SetPayload(pval, T_ARRAY, 0, new ArrayPayload);
        }
        if (pval->t == T_ARRAY) {
            auto* p = Exclusive<ArrayPayload>(pval);
            while (p->items.size() <= static_cast<size_t>(n)) {
                p->items.emplace_back();
                ValueInit(&p->items.back());
            }
            return ValueCopy(&p->items[n], pValToSet);
        }
        if (pval->t == T_MAP) {
            auto* p = Exclusive<MapPayload>(pval);
            if (static_cast<size_t>(n) >= p->items.size())
                return HV_BAD_PARAMETER;
            return ValueCopy(&p->items[n].second, pValToSet);
        }
        if (pval->t == T_OBJECT) {
            if (!g_objects)
                return HV_INCOMPATIBLE_TYPE;
            return g_objects->SetNth(static_cast<ObjectPayload*>(PayloadOf(pval))->refId, n, pValToSet)
                       ? HV_OK
                       : HV_INCOMPATIBLE_TYPE;
        }
        return HV_INCOMPATIBLE_TYPE;
    });
}

UINT WINAPI ValueNthElementKey(const VALUE* pval, INT n, VALUE* pRetval)
{
    return Guarded<UINT>(HV_BAD_PARAMETER, [&]() -> UINT {
        if (!pval || !pRetval)
            return HV_BAD_PARAMETER;
        if (pval->t == T_MAP) {
            auto* p = static_cast<MapPayload*>(PayloadOf(pval));
            if (n < 0 || static_cast<size_t>(n) >= p->items.size())
                return HV_BAD_PARAMETER;
            return ValueCopy(pRetval, &p->items[n].first);
        }
        if (pval->t == T_OBJECT && pval->u == UT_OBJECT_OBJECT) {
            if (!g_objects)
                return HV_INCOMPATIBLE_TYPE;
            return g_objects->NthKey(static_cast<ObjectPayload*>(PayloadOf(pval))->refId, n, pRetval)
                       ? HV_OK
                       : HV_BAD_PARAMETER;
        }
        return HV_INCOMPATIBLE_TYPE;
    });
}

UINT WINAPI ValueSetValueToKey(VALUE* pval, const VALUE* pKey, const VALUE* pValToSet)
{
    return Guarded<UINT>(HV_BAD_PARAMETER, [&]() -> UINT {
        if (!pval || !pKey || !pValToSet)
            return HV_BAD_PARAMETER;
        if (pval->t == T_UNDEFINED || pval->t == T_NULL) {
            ValueClear(pval);
            SetPayload(pval, T_MAP, 0, new MapPayload);
        }
        if (pval->t == T_MAP) {
            auto* p = Exclusive<MapPayload>(pval);
            for (auto& kv : p->items)
                if (KeyEquals(kv.first, *pKey))
                    return ValueCopy(&kv.second, pValToSet);
            p->items.emplace_back();
            ValueInit(&p->items.back().first);
            ValueInit(&p->items.back().second);
            ValueCopy(&p->items.back().first, pKey);
            return ValueCopy(&p->items.back().second, pValToSet);
        }
        if (pval->t == T_OBJECT) {
            if (pKey->t != T_STRING || !g_objects)
                return HV_INCOMPATIBLE_TYPE;
            return g_objects->SetKey(static_cast<ObjectPayload*>(PayloadOf(pval))->refId, ValueText(pKey), pValToSet)
                       ? HV_OK
                       : HV_INCOMPATIBLE_TYPE;
        }
        return HV_INCOMPATIBLE_TYPE;
    });
}

UINT WINAPI ValueGetValueOfKey(const VALUE* pval, const VALUE* pKey, VALUE* pRetval)
{
    return Guarded<UINT>(HV_BAD_PARAMETER, [&]() -> UINT {
        if (!pval || !pKey || !pRetval)
            return HV_BAD_PARAMETER;
        if (pval->t == T_MAP) {
            auto* p = static_cast<MapPayload*>(PayloadOf(pval));
            for (auto& kv : p->items)
                if (KeyEquals(kv.first, *pKey))
                    return ValueCopy(pRetval, &kv.second);
            ValueClear(pRetval);
            return HV_OK;
        }
        if (pval->t == T_OBJECT) {
            if (pKey->t != T_STRING || !g_objects)
                return HV_INCOMPATIBLE_TYPE;
            ValueClear(pRetval);
            return g_objects->GetKey(static_cast<ObjectPayload*>(PayloadOf(pval))->refId, ValueText(pKey), pRetval)
                       ? HV_OK
                       : HV_INCOMPATIBLE_TYPE;
        }
        return HV_INCOMPATIBLE_TYPE;
    });
}

UINT WINAPI ValueToString(VALUE* pval, UINT how)
{
    return Guarded<UINT>(HV_BAD_PARAMETER, [&]() -> UINT {
        if (!pval)
            return HV_BAD_PARAMETER;
        if (how == CVT_SIMPLE) {
            if (pval->t == T_STRING)
                return HV_OK;
            if (pval->t == T_ARRAY || pval->t == T_MAP || pval->t == T_OBJECT)
                return HV_INCOMPATIBLE_TYPE;
            std::wstring text;
            if (pval->t != T_UNDEFINED)
                WriteJson(pval, text);
            if (pval->t == T_NULL)
                text = L"null";
            SetString(pval, text);
            return HV_OK;
        }
        if (how == CVT_JSON_LITERAL) {
            std::wstring text;
            WriteJson(pval, text);
            SetString(pval, text);
            return HV_OK;
        }
        return HV_BAD_PARAMETER;
    });
}

UINT WINAPI ValueFromString(VALUE* pval, LPCWSTR str, UINT strLength, UINT how)
{
    return Guarded<UINT>(strLength ? strLength : 1u, [&]() -> UINT {
        if (!pval || (!str && strLength))
            return static_cast<UINT>(-1);
        if (how == CVT_SIMPLE) {
            ValueStringDataSet(pval, str, strLength, 0);
            return 0;
        }
        if (how != CVT_JSON_LITERAL)
            return strLength ? strLength : 1;
        return static_cast<UINT>(ParseJsonValue(str, strLength, pval));
    });
}

UINT WINAPI ValueInvoke(const VALUE* pval, VALUE* pThis, UINT argc, const VALUE* argv, VALUE* pRetval, LPCWSTR url)
{
    return Guarded<UINT>(HV_BAD_PARAMETER, [&]() -> UINT {
        if (!pval || !pRetval || (argc && !argv))
            return HV_BAD_PARAMETER;
        if (pval->t != T_OBJECT || pval->u != UT_OBJECT_FUNCTION || !g_objects)
            return HV_INCOMPATIBLE_TYPE;
        return g_objects->Invoke(static_cast<ObjectPayload*>(PayloadOf(pval))->refId, pThis, argc, argv, pRetval,
                                 url ? url : L"");
    });
}

std::wstring ValueText(const VALUE* v)
{
    if (!v || v->t != T_STRING)
        return std::wstring();
    return static_cast<StringPayload*>(PayloadOf(v))->text;
}

void SetString(VALUE* v, const std::wstring& s)
{
    ValueStringDataSet(v, s.c_str(), static_cast<UINT>(s.size()), 0);
}
void SetInt(VALUE* v, int i)
{
    ValueIntDataSet(v, i, T_INT, 0);
}
void SetBool(VALUE* v, bool b)
{
    ValueIntDataSet(v, b ? 1 : 0, T_BOOL, 0);
}
void SetFloat(VALUE* v, double d)
{
    ValueFloatDataSet(v, d, T_FLOAT, 0);
}

std::wstring ValueJson(const VALUE* v)
{
    std::wstring out;
    WriteJson(v, out);
    return out;
}

size_t ParseJsonValue(const wchar_t* text, size_t length, VALUE* out)
{
    JsonReader r {text, text + length};
    VALUE tmp;
    ValueInit(&tmp);
    if (!r.Parse(&tmp, 0)) {
        ValueClear(&tmp);
        size_t left = length - static_cast<size_t>(r.p - text);
        return left ? left : 1;
    }
    r.Skip();
    ValueCopy(out, &tmp);
    ValueClear(&tmp);
    return static_cast<size_t>(r.end - r.p);
}

}  // namespace he
