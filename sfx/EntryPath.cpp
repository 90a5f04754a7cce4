#include "sfx/EntryPath.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <vector>

namespace sfx {

namespace {

bool IsForbiddenChar(wchar_t c)
{
    if (c < 0x20)
        return true;
    switch (c) {
    case L'<':
    case L'>':
    case L':':
    case L'"':
    case L'|':
    case L'?':
    case L'*':
        return true;
    default:
        return false;
    }
}

std::wstring Upper(const std::wstring& text)
{
    std::wstring result = text;
    for (wchar_t& c : result)
        c = static_cast<wchar_t>(std::towupper(c));
    return result;
}

bool IsDeviceName(const std::wstring& component)
{
    std::wstring base = Upper(component.substr(0, component.find(L'.')));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" || base == L"CONOUT$")
        return true;
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0))
        return base[3] >= L'1' && base[3] <= L'9';
    return false;
}

bool IsSafeComponent(const std::wstring& component)
{
    if (component.empty() || component == L"." || component == L"..")
        return false;
    wchar_t last = component.back();
    if (last == L'.' || last == L' ')
        return false;
    return !IsDeviceName(component);
}

std::wstring FullPath(const std::wstring& path)
{
    DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return std::wstring();
    std::vector<wchar_t> buffer(needed + 1);
    DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size())
        return std::wstring();
    return std::wstring(buffer.data(), length);
}

}  // namespace

bool MakeSafeRelativePath(const std::wstring& name, std::wstring& relative)
{
    relative.clear();
    if (name.empty() || name.size() > 32000)
        return false;
    std::wstring result;
    std::wstring component;
    for (size_t i = 0; i <= name.size(); ++i) {
        wchar_t c = i < name.size() ? name[i] : L'\0';
        if (c == L'/' || c == L'\\' || c == L'\0') {
            if (!IsSafeComponent(component))
                return false;
            if (!result.empty())
                result += L'\\';
            result += component;
            component.clear();
            continue;
        }
        if (IsForbiddenChar(c))
            return false;
        component += c;
    }
    relative = result;
    return true;
}

bool IsInsideFolder(const std::wstring& folder, const std::wstring& path)
{
    std::wstring base = FullPath(folder);
    std::wstring full = FullPath(path);
    if (base.empty() || full.empty())
        return false;
    if (base.back() != L'\\')
        base += L'\\';
    if (full.size() <= base.size())
        return false;
    return _wcsnicmp(full.c_str(), base.c_str(), base.size()) == 0;
}

}  // namespace sfx
