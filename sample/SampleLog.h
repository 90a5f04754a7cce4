#pragma once
// The sample programs record what they did in %TEMP%\LarkspurSample\<name>.log,
// one line per event, so tests can tell what ran and with which arguments.
#include <windows.h>

#include <string>

#include "common/CodeChange.h"
#include "common/Handles.h"

inline void SampleRecord(const wchar_t* logName, const std::wstring& line)
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"LarkspurSample";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring path = folder + L"\\" + logName + L".log";
    UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    const std::string bytes = CCodeChange::StringUTF16toUTF8(line + L"\r\n");
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The framework protocol text carried by a WM_COPYDATA message.
inline std::string CopyDataText(LPARAM lParam)
{
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!data || !data->lpData)
        return std::string();
    return std::string(static_cast<const char*>(data->lpData), data->cbData);
}
