#include "framework/velui_framework/Values.h"

#include <cmath>

namespace velui {

namespace {
ISciterAPI* Api()
{
    return CSciterBinding::Api();
}
}  // namespace

value::value()
{
    Api()->ValueInit(&m_v);
}
value::value(const value& other)
{
    Api()->ValueInit(&m_v);
    Api()->ValueCopy(&m_v, &other.m_v);
}
value::value(const VALUE& raw)
{
    Api()->ValueInit(&m_v);
    Api()->ValueCopy(&m_v, &raw);
}
value& value::operator=(const value& other)
{
    if (this != &other)
        Api()->ValueCopy(&m_v, &other.m_v);
    return *this;
}
value::~value()
{
    Api()->ValueClear(&m_v);
}
void value::clear()
{
    Api()->ValueClear(&m_v);
}

value value::string(const std::wstring& text)
{
    value v;
    SetString(v.get(), text);
    return v;
}
value value::integer(int number)
{
    value v;
    SetInt(v.get(), number);
    return v;
}
value value::boolean(bool flag)
{
    value v;
    SetBool(v.get(), flag);
    return v;
}

bool IsString(const VALUE& v)
{
    return v.t == T_STRING;
}
bool IsFunction(const VALUE& v)
{
    return v.t == T_OBJECT && v.u == UT_OBJECT_FUNCTION;
}
bool IsScriptObject(const VALUE& v)
{
    return v.t == T_OBJECT || v.t == T_MAP;
}
bool IsBool(const VALUE& v)
{
    return v.t == T_BOOL;
}

bool IsInteger(const VALUE& v)
{
    if (v.t == T_INT)
        return true;
    if (v.t != T_FLOAT)
        return false;
    double d = 0;
    return Api()->ValueFloatData(&v, &d) == HV_OK && std::isfinite(d) && d == std::floor(d) && d >= -2147483648.0 &&
           d <= 2147483647.0;
}

std::wstring StringOf(const VALUE& v)
{
    if (v.t != T_STRING)
        return std::wstring();
    LPCWSTR chars = nullptr;
    UINT count = 0;
    if (Api()->ValueStringData(&v, &chars, &count) != HV_OK || !chars)
        return std::wstring();
    return std::wstring(chars, count);
}

int IntOf(const VALUE& v)
{
    if (v.t == T_FLOAT) {
        double d = 0;
        Api()->ValueFloatData(&v, &d);
        return IsInteger(v) ? static_cast<int>(d) : 0;
    }
    INT n = 0;
    return Api()->ValueIntData(&v, &n) == HV_OK ? n : 0;
}

bool BoolOf(const VALUE& v)
{
    INT n = 0;
    return v.t == T_BOOL && Api()->ValueIntData(&v, &n) == HV_OK && n != 0;
}

value Member(const VALUE& object, const char* key)
{
    value result;
    if (object.t != T_MAP && object.t != T_OBJECT)
        return result;
    std::wstring wide(key, key + strlen(key));
    value k = value::string(wide);
    if (Api()->ValueGetValueOfKey(&object, k.get(), result.get()) != HV_OK)
        result.clear();
    return result;
}

int ElementCount(const VALUE& v)
{
    INT n = 0;
    return Api()->ValueElementsCount(&v, &n) == HV_OK ? n : 0;
}

value Element(const VALUE& v, int index)
{
    value result;
    if (Api()->ValueNthElementValue(&v, index, result.get()) != HV_OK)
        result.clear();
    return result;
}

std::wstring JsonTextOf(const VALUE& v)
{
    value copy(v);
    if (Api()->ValueToString(copy.get(), CVT_JSON_LITERAL) != HV_OK)
        return std::wstring();
    return StringOf(*copy.get());
}

void SetString(VALUE* v, const std::wstring& text)
{
    Api()->ValueStringDataSet(v, text.c_str(), static_cast<UINT>(text.size()), 0);
}
void SetInt(VALUE* v, int number)
{
    Api()->ValueIntDataSet(v, number, T_INT, 0);
}
void SetBool(VALUE* v, bool flag)
{
    Api()->ValueIntDataSet(v, flag ? 1 : 0, T_BOOL, 0);
}
void SetUndefined(VALUE* v)
{
    Api()->ValueClear(v);
}

}  // namespace velui
