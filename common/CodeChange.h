#pragma once
// Conversions between UTF-8, UTF-16 and the system ANSI code page.
#include <string>

class CCodeChange {
public:
    // length counts input units; -1 means up to and including the terminator.
    // Results up to 2046 units are built on the stack without allocating.
    static std::wstring UTF8toUTF16(const char* text, int length);
    static std::string UTF16toUTF8(const wchar_t* text, int length);

    static std::wstring StringUTF8toUTF16(const std::string& text);
    static std::string StringUTF16toUTF8(const std::wstring& text);
    static std::wstring StringANSItoUTF16(const std::string& text);
    static std::string StringUTF16toANSI(const std::wstring& text);
};

// UTF-8 <-> UTF-16 of whole texts, as the String forms above (a text ends
// at its first null character).
inline std::wstring Utf16(const std::string& text)
{
    return CCodeChange::StringUTF8toUTF16(text);
}
inline std::string Utf8(const std::wstring& text)
{
    return CCodeChange::StringUTF16toUTF8(text);
}

// Every unit converted, null characters included (script strings); invalid
// sequences become U+FFFD.
std::wstring Utf16Units(const char* text, size_t length);
std::string Utf8Units(const std::wstring& text);
