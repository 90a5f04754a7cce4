#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "htmlengine/Value.h"

using namespace he;

namespace {

std::wstring Str(const VALUE* v)
{
    LPCWSTR chars = nullptr;
    UINT n = 0;
    if (ValueStringData(v, &chars, &n) != HV_OK)
        return L"<not a string>";
    return std::wstring(chars, n);
}

}  // namespace

TEST(Value, ScalarsRoundTripWithTheirTypes)
{
    Value v;
    UINT t = 99, u = 99;
    ValueType(v.get(), &t, &u);
    EXPECT_EQ(t, static_cast<UINT>(T_UNDEFINED));

    ASSERT_EQ(ValueIntDataSet(v.get(), -42, T_INT, 0), static_cast<UINT>(HV_OK));
    INT i = 0;
    ASSERT_EQ(ValueIntData(v.get(), &i), static_cast<UINT>(HV_OK));
    EXPECT_EQ(i, -42);
    ValueType(v.get(), &t, nullptr);
    EXPECT_EQ(t, 3u);

    ASSERT_EQ(ValueIntDataSet(v.get(), 7, T_BOOL, 0), static_cast<UINT>(HV_OK));
    ValueIntData(v.get(), &i);
    EXPECT_EQ(i, 1);  // bools are normalised
    ValueType(v.get(), &t, nullptr);
    EXPECT_EQ(t, 2u);

    ASSERT_EQ(ValueFloatDataSet(v.get(), 2.5, T_FLOAT, 0), static_cast<UINT>(HV_OK));
    double d = 0;
    ASSERT_EQ(ValueFloatData(v.get(), &d), static_cast<UINT>(HV_OK));
    EXPECT_DOUBLE_EQ(d, 2.5);
    ValueType(v.get(), &t, nullptr);
    EXPECT_EQ(t, 4u);

    ASSERT_EQ(ValueIntDataSet(v.get(), 0, T_NULL, 0), static_cast<UINT>(HV_OK));
    ValueType(v.get(), &t, nullptr);
    EXPECT_EQ(t, 1u);

    const wchar_t text[] = L"安装 \"path\"";
    ASSERT_EQ(ValueStringDataSet(v.get(), text, static_cast<UINT>(wcslen(text)), 0), static_cast<UINT>(HV_OK));
    EXPECT_EQ(Str(v.get()), text);
    ValueType(v.get(), &t, nullptr);
    EXPECT_EQ(t, 5u);
}

TEST(Value, WrongTypesAndBadArgumentsReturnErrorCodes)
{
    Value s;
    SetString(s.get(), L"x");
    INT i = 5;
    double d = 0;
    EXPECT_EQ(ValueIntData(s.get(), &i), static_cast<UINT>(HV_INCOMPATIBLE_TYPE));
    EXPECT_EQ(i, 5);
    EXPECT_EQ(ValueFloatData(s.get(), &d), static_cast<UINT>(HV_INCOMPATIBLE_TYPE));
    INT n = 0;
    EXPECT_EQ(ValueElementsCount(s.get(), &n), static_cast<UINT>(HV_INCOMPATIBLE_TYPE));
    Value num;
    SetInt(num.get(), 3);
    LPCWSTR chars = nullptr;
    EXPECT_EQ(ValueStringData(num.get(), &chars, nullptr), static_cast<UINT>(HV_INCOMPATIBLE_TYPE));
    EXPECT_EQ(ValueIntDataSet(num.get(), 1, T_STRING, 0), static_cast<UINT>(HV_INCOMPATIBLE_TYPE));
    EXPECT_EQ(ValueFloatDataSet(num.get(), 1.0, T_INT, 0), static_cast<UINT>(HV_INCOMPATIBLE_TYPE));
    EXPECT_EQ(ValueIntData(nullptr, &i), static_cast<UINT>(HV_BAD_PARAMETER));
    EXPECT_EQ(ValueStringDataSet(num.get(), nullptr, 3, 0), static_cast<UINT>(HV_BAD_PARAMETER));
    Value out;
    EXPECT_EQ(ValueNthElementValue(num.get(), 0, out.get()), static_cast<UINT>(HV_INCOMPATIBLE_TYPE));
    // A number is not callable; nor is a host-built array.
    EXPECT_EQ(ValueInvoke(num.get(), nullptr, 0, nullptr, out.get(), nullptr), static_cast<UINT>(HV_INCOMPATIBLE_TYPE));
}

TEST(Value, ArraysAndMapsCopyOnWrite)
{
    Value a;
    Value item;
    for (int k = 0; k < 3; ++k) {
        SetInt(item.get(), k * 10);
        ASSERT_EQ(ValueNthElementValueSet(a.get(), k, item.get()), static_cast<UINT>(HV_OK));
    }
    Value copy(*a.get());
    SetString(item.get(), L"changed");
    ValueNthElementValueSet(copy.get(), 1, item.get());
    INT n = 0;
    ValueElementsCount(a.get(), &n);
    EXPECT_EQ(n, 3);
    Value got;
    ValueNthElementValue(a.get(), 1, got.get());
    INT i = 0;
    ValueIntData(got.get(), &i);
    EXPECT_EQ(i, 10);  // the original is untouched
    ValueNthElementValue(copy.get(), 1, got.get());
    EXPECT_EQ(Str(got.get()), L"changed");
    EXPECT_EQ(ValueNthElementValue(a.get(), 3, got.get()), static_cast<UINT>(HV_BAD_PARAMETER));

    Value m, key, val;
    SetString(key.get(), L"b");
    SetInt(val.get(), 1);
    ValueSetValueToKey(m.get(), key.get(), val.get());
    SetString(key.get(), L"a");
    SetBool(val.get(), true);
    ValueSetValueToKey(m.get(), key.get(), val.get());
    SetString(key.get(), L"b");
    SetInt(val.get(), 2);
    ValueSetValueToKey(m.get(), key.get(), val.get());  // replaces, keeps the order
    ValueElementsCount(m.get(), &n);
    EXPECT_EQ(n, 2);
    ValueNthElementKey(m.get(), 0, got.get());
    EXPECT_EQ(Str(got.get()), L"b");
    ValueGetValueOfKey(m.get(), key.get(), got.get());
    ValueIntData(got.get(), &i);
    EXPECT_EQ(i, 2);
    SetString(key.get(), L"missing");
    ValueGetValueOfKey(m.get(), key.get(), got.get());
    UINT t = 0;
    ValueType(got.get(), &t, nullptr);
    EXPECT_EQ(t, static_cast<UINT>(T_UNDEFINED));
}

TEST(Value, JsonTextRoundTrips)
{
    const std::wstring text =
        L"{\"path\":\"C:\\\\Program Files\\\\Orbisoft\",\"n\":[1,2.5,true,null,\"\\u4e2d\"],\"e\":{}}";
    Value v;
    ASSERT_EQ(ValueFromString(v.get(), text.c_str(), static_cast<UINT>(text.size()), CVT_JSON_LITERAL), 0u);
    UINT t = 0;
    ValueType(v.get(), &t, nullptr);
    EXPECT_EQ(t, static_cast<UINT>(T_MAP));
    Value key, got;
    SetString(key.get(), L"path");
    ValueGetValueOfKey(v.get(), key.get(), got.get());
    EXPECT_EQ(Str(got.get()), L"C:\\Program Files\\Orbisoft");
    ASSERT_EQ(ValueToString(v.get(), CVT_JSON_LITERAL), static_cast<UINT>(HV_OK));
    EXPECT_EQ(Str(v.get()), L"{\"path\":\"C:\\\\Program Files\\\\Orbisoft\",\"n\":[1,2.5,true,null,\"中\"],\"e\":{}}");

    // Broken or truncated text is refused, never half-accepted.
    const std::wstring bad[] = {L"{\"a\":", L"[1,2", L"{\"a\" 1}", L"nul", L"\"open"};
    for (auto& b : bad) {
        Value w;
        EXPECT_NE(ValueFromString(w.get(), b.c_str(), static_cast<UINT>(b.size()), CVT_JSON_LITERAL), 0u)
            << std::string(b.begin(), b.end());
    }
    Value simple;
    SetFloat(simple.get(), 0.1);
    ValueToString(simple.get(), CVT_SIMPLE);
    EXPECT_EQ(Str(simple.get()), L"0.1");
}
