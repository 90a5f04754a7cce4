#pragma once
// Host-visible script values (VALUE): scalars inline, strings, arrays and
// maps behind a reference-counted payload, script objects by reference.
#include <string>
#include <vector>

#include "htmlengine/include/htmlengine/SciterApi.h"

namespace he {

// Live script objects are reached through this hook, which the script host
// installs; without it object values only report their type.
class iObjectAccess {
public:
    virtual ~iObjectAccess() = default;
    virtual void Release(unsigned refId) = 0;
    virtual bool Count(unsigned refId, int& n) = 0;
    virtual bool NthElement(unsigned refId, int n, VALUE* out) = 0;
    virtual bool NthKey(unsigned refId, int n, VALUE* out) = 0;
    virtual bool GetKey(unsigned refId, const std::wstring& key, VALUE* out) = 0;
    virtual bool SetKey(unsigned refId, const std::wstring& key, const VALUE* val) = 0;
    virtual bool SetNth(unsigned refId, int n, const VALUE* val) = 0;
    virtual bool ToJson(unsigned refId, std::wstring& out) = 0;
    virtual UINT Invoke(unsigned refId, const VALUE* self, UINT argc, const VALUE* argv, VALUE* ret,
                        const std::wstring& url) = 0;
};
void SetObjectAccess(iObjectAccess* access);

// Builds an object value that refers to script object `refId`; the value's
// last release calls iObjectAccess::Release.
void MakeObjectValue(VALUE* v, unsigned refId, UINT units);
bool ObjectRefId(const VALUE* v, unsigned& refId);

// The entries of the table.
UINT WINAPI ValueInit(VALUE* pval);
UINT WINAPI ValueClear(VALUE* pval);
UINT WINAPI ValueCopy(VALUE* pdst, const VALUE* psrc);
UINT WINAPI ValueType(const VALUE* pval, UINT* pType, UINT* pUnits);
UINT WINAPI ValueStringData(const VALUE* pval, LPCWSTR* pChars, UINT* pNumChars);
UINT WINAPI ValueStringDataSet(VALUE* pval, LPCWSTR chars, UINT numChars, UINT units);
UINT WINAPI ValueIntData(const VALUE* pval, INT* pData);
UINT WINAPI ValueIntDataSet(VALUE* pval, INT data, UINT type, UINT units);
UINT WINAPI ValueFloatData(const VALUE* pval, double* pData);
UINT WINAPI ValueFloatDataSet(VALUE* pval, double data, UINT type, UINT units);
UINT WINAPI ValueElementsCount(const VALUE* pval, INT* pN);
UINT WINAPI ValueNthElementValue(const VALUE* pval, INT n, VALUE* pRetval);
UINT WINAPI ValueNthElementValueSet(VALUE* pval, INT n, const VALUE* pValToSet);
UINT WINAPI ValueNthElementKey(const VALUE* pval, INT n, VALUE* pRetval);
UINT WINAPI ValueSetValueToKey(VALUE* pval, const VALUE* pKey, const VALUE* pValToSet);
UINT WINAPI ValueGetValueOfKey(const VALUE* pval, const VALUE* pKey, VALUE* pRetval);
UINT WINAPI ValueToString(VALUE* pval, UINT how);
UINT WINAPI ValueFromString(VALUE* pval, LPCWSTR str, UINT strLength, UINT how);
UINT WINAPI ValueInvoke(const VALUE* pval, VALUE* pThis, UINT argc, const VALUE* argv, VALUE* pRetval, LPCWSTR url);

// Helpers for engine code.
std::wstring ValueText(const VALUE* v);  // string content, or "" for other types
void SetString(VALUE* v, const std::wstring& s);
void SetInt(VALUE* v, int i);
void SetBool(VALUE* v, bool b);
void SetFloat(VALUE* v, double d);
std::wstring ValueJson(const VALUE* v);
// Parses JSON text; returns the number of characters not consumed (0 on success).
size_t ParseJsonValue(const wchar_t* text, size_t length, VALUE* out);

// RAII owner for engine code.
class Value {
public:
    Value() { ValueInit(&m_v); }
    Value(const Value& o)
    {
        ValueInit(&m_v);
        ValueCopy(&m_v, &o.m_v);
    }
    Value& operator=(const Value& o)
    {
        if (this != &o)
            ValueCopy(&m_v, &o.m_v);
        return *this;
    }
    explicit Value(const VALUE& v)
    {
        ValueInit(&m_v);
        ValueCopy(&m_v, &v);
    }
    ~Value() { ValueClear(&m_v); }
    VALUE* get() { return &m_v; }
    const VALUE* get() const { return &m_v; }

private:
    VALUE m_v;
};

}  // namespace he
