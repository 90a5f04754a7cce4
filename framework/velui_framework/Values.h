#pragma once
// Script values of the HTML engine, held and read through the binding's table.
#include <windows.h>

#include <string>

#include "ui/SciterBinding.h"

namespace velui {

// One engine value owned by the host: initialised on construction, cleared
// on destruction, copied through the engine.
class value {
public:
    value();
    value(const value& other);
    explicit value(const VALUE& raw);
    value& operator=(const value& other);
    ~value();

    VALUE* get() { return &m_v; }
    const VALUE* get() const { return &m_v; }
    UINT type() const { return m_v.t; }
    UINT units() const { return m_v.u; }
    void clear();

    static value string(const std::wstring& text);
    static value integer(int number);
    static value boolean(bool flag);

private:
    VALUE m_v;
};

bool IsString(const VALUE& v);
bool IsFunction(const VALUE& v);
bool IsScriptObject(const VALUE& v);
bool IsBool(const VALUE& v);
// An integer; a float with an integral value counts too (script numbers).
bool IsInteger(const VALUE& v);
std::wstring StringOf(const VALUE& v);
int IntOf(const VALUE& v);
bool BoolOf(const VALUE& v);
// Member `key` of a map or script object (undefined when absent).
value Member(const VALUE& object, const char* key);
int ElementCount(const VALUE& v);
value Element(const VALUE& v, int index);
// The JSON text of a value (CVT_JSON_LITERAL) without changing it.
std::wstring JsonTextOf(const VALUE& v);

void SetString(VALUE* v, const std::wstring& text);
void SetInt(VALUE* v, int number);
void SetBool(VALUE* v, bool flag);
void SetUndefined(VALUE* v);

}  // namespace velui
