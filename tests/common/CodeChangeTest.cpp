#include <gtest/gtest.h>

#include <string>

#include "common/CodeChange.h"

TEST(CodeChange, EmptyInputsGiveEmptyOutputs)
{
    EXPECT_EQ(CCodeChange::UTF8toUTF16("", -1), L"");
    EXPECT_EQ(CCodeChange::UTF8toUTF16("abc", 0), L"");
    EXPECT_EQ(CCodeChange::UTF16toUTF8(L"", -1), "");
    EXPECT_EQ(CCodeChange::StringUTF8toUTF16(""), L"");
    EXPECT_EQ(CCodeChange::StringUTF16toUTF8(L""), "");
    EXPECT_EQ(CCodeChange::StringANSItoUTF16(""), L"");
    EXPECT_EQ(CCodeChange::StringUTF16toANSI(L""), "");
}

TEST(CodeChange, Utf8AndUtf16RoundTripIncludingSurrogatePairs)
{
    const std::string utf8 = "Larkspur \xE5\xAE\x89\xE8\xA3\x85 \xF0\x9F\x98\x80 \xC3\xA9";
    const std::wstring utf16 = L"Larkspur \x5B89\x88C5 \xD83D\xDE00 \x00E9";
    EXPECT_EQ(CCodeChange::StringUTF8toUTF16(utf8), utf16);
    EXPECT_EQ(CCodeChange::StringUTF16toUTF8(utf16), utf8);
    EXPECT_EQ(CCodeChange::UTF8toUTF16(utf8.c_str(), -1), utf16);
    EXPECT_EQ(CCodeChange::UTF16toUTF8(utf16.c_str(), static_cast<int>(utf16.size())), utf8);
    // Counted input without terminator stops at the count.
    EXPECT_EQ(CCodeChange::UTF8toUTF16("abcdef", 3), L"abc");
}

TEST(CodeChange, InvalidUtf8BecomesReplacementCharacters)
{
    std::wstring result = CCodeChange::StringUTF8toUTF16("a\xFF"
                                                         "b\xC3");
    ASSERT_FALSE(result.empty());
    EXPECT_EQ(result.front(), L'a');
    EXPECT_NE(result.find(L'b'), std::wstring::npos);
    EXPECT_NE(result.find(L'\xFFFD'), std::wstring::npos);
    // A lone surrogate does not end the conversion.
    EXPECT_FALSE(CCodeChange::StringUTF16toUTF8(std::wstring(L"x\xD800y")).empty());
}

TEST(CodeChange, StackAndHeapPathsAgreeAtTheBoundary)
{
    // 2046 counted units is the largest stack result; 2048 is the stack
    // buffer's size, which would leave no room for the terminator.
    for (size_t n : {2045u, 2046u, 2047u, 2048u, 2049u, 5000u}) {
        std::string text(n, 'x');
        text[n / 2] = 'y';
        std::wstring wide(text.begin(), text.end());
        // Counted: n units; -1: n + 1 units including the terminator.
        EXPECT_EQ(CCodeChange::UTF8toUTF16(text.c_str(), static_cast<int>(n)), wide) << n;
        EXPECT_EQ(CCodeChange::UTF8toUTF16(text.c_str(), -1), wide) << n;
        EXPECT_EQ(CCodeChange::UTF16toUTF8(wide.c_str(), static_cast<int>(n)), text) << n;
        EXPECT_EQ(CCodeChange::UTF16toUTF8(wide.c_str(), -1), text) << n;
    }
}

TEST(CodeChange, EmbeddedZeroCutsTheResult)
{
    const char bytes[] = {'a', 'b', '\0', 'c', 'd'};
    EXPECT_EQ(CCodeChange::UTF8toUTF16(bytes, 5), L"ab");
    EXPECT_EQ(CCodeChange::StringUTF8toUTF16(std::string(bytes, 5)), L"ab");
}

TEST(CodeChange, AnsiRoundTripOfAsciiAndCodePageText)
{
    EXPECT_EQ(CCodeChange::StringANSItoUTF16("C:\\Program Files"), L"C:\\Program Files");
    EXPECT_EQ(CCodeChange::StringUTF16toANSI(L"C:\\Program Files"), "C:\\Program Files");
    std::wstring latin = L"caf\x00E9";
    std::string ansi = CCodeChange::StringUTF16toANSI(latin);
    EXPECT_EQ(CCodeChange::StringANSItoUTF16(ansi), latin);
}
