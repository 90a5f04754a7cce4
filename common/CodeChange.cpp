#include "common/CodeChange.h"

#include <windows.h>

#include <memory>
#include <new>

#include "common/XLog.h"

namespace {

constexpr int kStackUnits = 2048;
constexpr int kStackLimit = 2046;

std::wstring MultiToWide(UINT codePage, const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int size = ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[size]());
    ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, buffer.get(), size);
    buffer[size - 1] = L'\0';
    return std::wstring(buffer.get());
}

std::string WideToMulti(UINT codePage, const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int size = ::WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::unique_ptr<char[]> buffer(new char[size]());
    ::WideCharToMultiByte(codePage, 0, text.c_str(), -1, buffer.get(), size, nullptr, nullptr);
    buffer[size - 1] = '\0';
    return std::string(buffer.get());
}

}  // namespace

std::wstring CCodeChange::UTF8toUTF16(const char* text, int length)
{
    if (!text || length == 0)
        return std::wstring();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
    if (n == 0)
        return std::wstring();
    if (n <= kStackLimit) {
        wchar_t buffer[kStackUnits] = {};
        ::MultiByteToWideChar(CP_UTF8, 0, text, length, buffer, kStackUnits);
        return std::wstring(buffer);
    }
    wchar_t* pwStr = new (std::nothrow) wchar_t[n + 1]();
    XASSERT(pwStr);
    if (!pwStr)
        return std::wstring();
    ::MultiByteToWideChar(CP_UTF8, 0, text, length, pwStr, n);
    std::wstring result(pwStr);
    delete[] pwStr;
    return result;
}

std::string CCodeChange::UTF16toUTF8(const wchar_t* text, int length)
{
    if (!text || length == 0)
        return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n == 0)
        return std::string();
    if (n <= kStackLimit) {
        char buffer[kStackUnits] = {};
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, buffer, kStackUnits, nullptr, nullptr);
        return std::string(buffer);
    }
    char* pstr = new (std::nothrow) char[n + 1]();
    XASSERT(pstr);
    if (!pstr)
        return std::string();
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, pstr, n, nullptr, nullptr);
    std::string result(pstr);
    delete[] pstr;
    return result;
}

std::wstring CCodeChange::StringUTF8toUTF16(const std::string& text)
{
    return MultiToWide(CP_UTF8, text);
}

std::string CCodeChange::StringUTF16toUTF8(const std::wstring& text)
{
    return WideToMulti(CP_UTF8, text);
}

std::wstring CCodeChange::StringANSItoUTF16(const std::string& text)
{
    return MultiToWide(CP_ACP, text);
}

std::string CCodeChange::StringUTF16toANSI(const std::wstring& text)
{
    return WideToMulti(CP_ACP, text);
}

std::wstring Utf16Units(const char* text, size_t length)
{
    if (!text || length == 0)
        return std::wstring();
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring result(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), result.data(), units);
    return result;
}

std::string Utf8Units(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size, result.data(), bytes, nullptr, nullptr);
    return result;
}
