#include <gtest/gtest.h>

#include "bootstrap/LanguageStrings.h"

namespace {

// The test executable carries the shipped table as its resource 161.
CLanguageTable Shipped(const std::wstring& code)
{
    CLanguageTable table;
    table.LoadFromModule(::GetModuleHandleW(nullptr), code);
    return table;
}

}  // namespace

TEST(LanguageStrings, ShippedTableHasBothStringsForEachLanguage)
{
    const wchar_t* prompts[][2] = {
        {L"en_US", L"Larkspur setup wizard is still running. Please quit and retry."},
        {L"zh_CN", L"\u5b89\u88c5/\u5378\u8f7d\u7a0b\u5e8f\u5df2\u7ecf\u5728\u8fd0\u884c"},
        {L"vi_VN", L"H\u1ed7 tr\u1ee3 c\u00e0i \u0111\u1eb7t Quayside \u0111ang ch\u1ea1y. H\u00e3y tho\u00e1t v\u00e0 "
                   L"th\u1eed l\u1ea1i"},
        {L"id_ID", L"Install/Uninstallasi sedang berlangsung"},
        {L"zh_TW", L"\u5b89\u88dd/\u5378\u8f09\u7a0b\u5f0f\u5df2\u7d93\u5728\u904b\u884c"},
    };
    for (const auto& row : prompts) {
        CLanguageTable table = Shipped(row[0]);
        EXPECT_EQ(table.Strings().size(), 2u) << row[0];
        EXPECT_EQ(table.Get(L"TITLE"), L"Larkspur");
        EXPECT_EQ(table.Get(L"PROMPT"), row[1]);
    }
    CLanguageTable thai = Shipped(L"th_TH");
    EXPECT_EQ(thai.Get(L"PROMPT").substr(0, 3), L"\u0e1c\u0e39\u0e49");
    EXPECT_NE(thai.Get(L"PROMPT").find(L"Quayside"), std::wstring::npos);
}

TEST(LanguageStrings, CodesIgnoreCaseIdsDoNot)
{
    CLanguageTable upper = Shipped(L"ZH_CN");
    EXPECT_EQ(upper.Strings(), Shipped(L"zh_CN").Strings());
    EXPECT_EQ(upper.Get(L"title"), L"");
    EXPECT_EQ(upper.Get(L"Title"), L"");
    EXPECT_EQ(upper.Get(L"TITLE"), L"Larkspur");
}

TEST(LanguageStrings, UnknownOrPartialCodesLoadNothing)
{
    for (const wchar_t* code : {L"de_DE", L"zh", L"zh_CN ", L""}) {
        CLanguageTable table = Shipped(code);
        EXPECT_TRUE(table.Strings().empty()) << testing::PrintToString(std::wstring(code));
        EXPECT_EQ(table.Get(L"PROMPT"), L"");
    }
}

TEST(LanguageStrings, DuplicatesEmptyTextsAndOddSiblings)
{
    const char* xml =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<Strings>\n"
        "  <Other Lan=\"en_US\"><String id=\"EARLY\">before the first Type</String></Other>\n"
        "  <Type Lan=\"en_US\">\n"
        "    <String id=\"A\">first</String>\n"
        "    <String id=\"A\">second</String>\n"
        "    <String id=\"EMPTY\"></String>\n"
        "    <String>no id</String>\n"
        "    <Note id=\"N\">any child name &amp; entities</Note>\n"
        "  </Type>\n"
        "  <Type lan=\"en_US\"><String id=\"LOWER\">attribute name differs</String></Type>\n"
        "  <Type Lan=\"fr_FR\"><String id=\"A\">other language</String></Type>\n"
        "  <Anything Lan=\"EN_us\"><String id=\"A\">third</String><String id=\"B\">\xC3\xA9</String></Anything>\n"
        "</Strings>\n";
    CLanguageTable table;
    table.LoadFromXml(xml, L"en_US");
    std::map<std::wstring, std::wstring> expected = {{L"A", L"third"},
                                                     {L"B", L"\u00e9"},
                                                     {L"EMPTY", L""},
                                                     {L"N", L"any child name & entities"}};
    EXPECT_EQ(table.Strings(), expected);
}

TEST(LanguageStrings, MalformedOrTypelessDocumentsChangeNothing)
{
    CLanguageTable table;
    table.LoadFromXml("<L><Type Lan=\"x\"><String id=\"K\">kept</String></Type></L>", L"x");
    ASSERT_EQ(table.Get(L"K"), L"kept");
    table.LoadFromXml("<L><Type Lan=\"x\"><String id=\"K\">broken</String></Type>", L"x");
    table.LoadFromXml("<L><Types Lan=\"x\"><String id=\"K\">no Type element</String></Types></L>", L"x");
    table.LoadFromXml("", L"x");
    EXPECT_EQ(table.Get(L"K"), L"kept");
    EXPECT_EQ(table.Strings().size(), 1u);
}

TEST(LanguageStrings, ProcessTableReadsTheOwnResource)
{
    LoadLanguageStrings(L"en_US");
    EXPECT_EQ(GetLanguageString(L"PROMPT"), L"Larkspur setup wizard is still running. Please quit and retry.");
    EXPECT_EQ(GetLanguageString(L"MISSING"), L"");
}
