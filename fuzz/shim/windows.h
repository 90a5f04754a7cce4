#pragma once
// The few Windows types and calls that pure parsing code needs, for native
// fuzzing on Linux. wchar_t is 32 bits here; the fuzzers only ever feed
// UTF-16 code units, as Windows would.
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <wctype.h>
#include <wchar.h>
#include <stdlib.h>
#include <string>
#include <vector>

using DWORD = uint32_t;
using UINT = unsigned int;
using BOOL = int;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using HMODULE = void*;
using HINSTANCE = void*;
using HRSRC = void*;
using HGLOBAL = void*;
using LPCSTR = const char*;
using LPSTR = char*;
using LPBOOL = BOOL*;
using ULONGLONG = unsigned long long;
using HRESULT = long;
using INT = int;
using UINT64 = uint64_t;
using BYTE = unsigned char;
using LPVOID = void*;
using HWND = struct HWND__*;
using UINT_PTR = uintptr_t;
using LPARAM = intptr_t;
using WPARAM = uintptr_t;
using LRESULT = intptr_t;
using LPCBYTE = const BYTE*;
using VOID = void;
struct POINT {
    long x, y;
};
#define CALLBACK
constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 8;
#define WINAPI
#define MAKEINTRESOURCEW(i) (reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(i)))

// No module carries resources here.
inline HMODULE GetModuleHandleW(const wchar_t*)
{
    return nullptr;
}
inline HRSRC FindResourceW(HMODULE, const wchar_t*, const wchar_t*)
{
    return nullptr;
}
inline HGLOBAL LoadResource(HMODULE, HRSRC)
{
    return nullptr;
}
inline void* LockResource(HGLOBAL)
{
    return nullptr;
}
inline DWORD SizeofResource(HMODULE, HRSRC)
{
    return 0;
}

// The conversions with Windows' contract: a length of -1 includes the
// terminating zero; a null or zero-sized output asks for the needed count; an
// output too small gives 0. UTF-8 is decoded strictly (anything invalid
// becomes U+FFFD); the ANSI page is taken as Latin-1.
namespace shim_detail {

inline std::u16string Decode(UINT codePage, const char* text, int length, bool* invalid = nullptr)
{
    size_t n = length < 0 ? std::char_traits<char>::length(text) + 1 : static_cast<size_t>(length);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    std::u16string out;
    for (size_t i = 0; i < n;) {
        unsigned c = p[i];
        if (codePage != CP_UTF8 || c < 0x80) {
            out += static_cast<char16_t>(c);
            ++i;
            continue;
        }
        int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        unsigned cp = extra == 3 ? c & 7 : extra == 2 ? c & 15 : c & 31;
        bool ok = extra > 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (ok && ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) ||
                   (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))))
            ok = false;
        if (!ok) {
            if (invalid)
                *invalid = true;
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += extra + 1;
    }
    return out;
}

inline std::string Encode(UINT codePage, const wchar_t* text, int length)
{
    size_t n = length < 0 ? std::wcslen(text) + 1 : static_cast<size_t>(length);
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        unsigned c = static_cast<unsigned>(text[i]) & 0xFFFF;
        if (codePage != CP_UTF8) {
            out += c < 0x100 ? static_cast<char>(c) : '?';
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && (text[i + 1] & 0xFC00) == 0xDC00) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((static_cast<unsigned>(text[++i]) & 0xFFFF) - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace shim_detail

inline int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int length, wchar_t* out, int size)
{
    if (!text || length == 0)
        return 0;
    bool invalid = false;
    std::u16string units = shim_detail::Decode(codePage, text, length, &invalid);
    if (invalid && (flags & MB_ERR_INVALID_CHARS))
        return 0;
    if (size == 0 || !out)
        return static_cast<int>(units.size());
    if (static_cast<size_t>(size) < units.size())
        return 0;
    for (size_t i = 0; i < units.size(); ++i)
        out[i] = static_cast<wchar_t>(units[i]);
    return static_cast<int>(units.size());
}

inline int WideCharToMultiByte(UINT codePage, DWORD, const wchar_t* text, int length, char* out, int size, const char*,
                               BOOL*)
{
    if (!text || length == 0)
        return 0;
    std::string bytes = shim_detail::Encode(codePage, text, length);
    if (size == 0 || !out)
        return static_cast<int>(bytes.size());
    if (static_cast<size_t>(size) < bytes.size())
        return 0;
    std::memcpy(out, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}
#ifndef FALSE
#define FALSE 0
#define TRUE 1
#endif

// Windows' rules for a full path, reduced to what the fuzzed code relies on:
// relative paths are taken from the folder "C:\w", "\" and "/" separate,
// "." components go, ".." removes the component before it but never the
// drive. Enough to check that a name stays inside a folder.
inline DWORD GetFullPathNameW(const wchar_t* path, DWORD size, wchar_t* buffer, wchar_t** filePart)
{
    std::wstring in = path ? path : L"";
    std::wstring drive = L"C:";
    if (in.size() >= 2 && in[1] == L':') {
        drive = in.substr(0, 2);
        in = in.substr(2);
    } else if (in.empty() || (in[0] != L'\\' && in[0] != L'/')) {
        in = L"\\w\\" + in;
    }
    std::vector<std::wstring> parts;
    std::wstring part;
    bool trailing = false;
    for (size_t i = 0; i <= in.size(); ++i) {
        wchar_t c = i < in.size() ? in[i] : L'\\';
        if (c == L'\\' || c == L'/') {
            trailing = i + 1 == in.size();
            if (part == L"..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != L".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    std::wstring full = drive;
    for (const auto& p : parts)
        full += L"\\" + p;
    if (parts.empty() || trailing)
        full += L"\\";
    if (filePart)
        *filePart = nullptr;
    if (size <= full.size())
        return static_cast<DWORD>(full.size() + 1);
    std::wmemcpy(buffer, full.c_str(), full.size() + 1);
    return static_cast<DWORD>(full.size());
}

inline int _wtoi(const wchar_t* text)
{
    return static_cast<int>(std::wcstol(text, nullptr, 10));
}

inline int _wcsnicmp(const wchar_t* a, const wchar_t* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        wint_t x = std::towlower(a[i]), y = std::towlower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
    return 0;
}
