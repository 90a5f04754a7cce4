#include "common/WindowMessage.h"

bool SendCopyData(HWND window, WPARAM wParam, const std::string& bytes, UINT timeoutMs)
{
    if (!window)
        return false;
    COPYDATASTRUCT data = {0, static_cast<DWORD>(bytes.size()), const_cast<char*>(bytes.data())};
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&data),
                                 SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs, &result) != 0;
}

std::wstring SystemProgramPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring(name);
    std::wstring path(folder, length);
    if (path.back() != L'\\')
        path += L'\\';
    return path + name;
}
