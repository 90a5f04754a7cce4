#pragma once
// The few Windows types and calls that pure parsing code needs, for native
// fuzzing on Linux. wchar_t is 32 bits here; the fuzzers only ever feed
// UTF-16 code units, as Windows would.
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

using DWORD = uint32_t;
using UINT = unsigned int;
using BOOL = int;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using HMODULE = void*;
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
