// Prints the version resource of each program named on the command line as
// Windows reads it: "name=value" lines per file, "FixedVersion=a.b.c.d" from
// the fixed part. Exit code 1 when a file has no version resource.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/CodeChange.h"

namespace {

void Print(const std::wstring& text)
{
    std::string utf8 = CCodeChange::StringUTF16toUTF8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

bool ProbeFile(const std::wstring& path)
{
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> data(size);
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) {
        Print(L"file=" + path + L"\nno version resource\n");
        return false;
    }
    Print(L"file=" + path + L"\n");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        wchar_t text[64];
        std::swprintf(text, 64, L"FixedVersion=%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
                      LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
        Print(text);
    }
    for (const wchar_t* name : {L"ProductName", L"CompanyName", L"FileVersion", L"FileDescription"}) {
        wchar_t* value = nullptr;
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value)
            Print(std::wstring(name) + L"=" + value + L"\n");
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    bool all = true;
    for (int i = 1; i < argc; ++i)
        all = ProbeFile(argv[i]) && all;
    return all ? 0 : 1;
}
