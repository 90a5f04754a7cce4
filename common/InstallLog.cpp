#include "common/InstallLog.h"

#include <windows.h>

#include <cstdio>

#include "common/CmdLine.h"
#include "common/CodeChange.h"

namespace {

bool IsValidUtf8(const std::string& text)
{
    if (text.empty())
        return true;
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr,
                                 0) > 0;
}

}  // namespace

InstallLogSink::InstallLogSink(UniqueHandle file, iDebugSink* next) : m_file(std::move(file)), m_next(next) { }

std::string InstallLogSink::FormatLine(const std::string& utf8Text, unsigned long threadId)
{
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, threadId);
    size_t end = utf8Text.size();
    while (end > 0 && (utf8Text[end - 1] == '\n' || utf8Text[end - 1] == '\r'))
        --end;
    return stamp + utf8Text.substr(0, end) + "\r\n";
}

void InstallLogSink::Append(const std::string& utf8Text)
{
    const std::string line = FormatLine(utf8Text, ::GetCurrentThreadId());
    std::lock_guard<std::mutex> guard(m_lock);
    // Appends through several handles (setup.exe and the engine) are not
    // atomic everywhere: a lock on a byte far past any log's end orders them.
    OVERLAPPED range = {};
    range.Offset = 0xFFFFFFF0;
    range.OffsetHigh = 0x7FFFFFFF;
    const bool locked = ::LockFileEx(m_file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &range) != FALSE;
    DWORD written = 0;
    ::WriteFile(m_file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    if (locked)
        ::UnlockFileEx(m_file.get(), 0, 1, 0, &range);
}

void InstallLogSink::WriteWide(const std::wstring& line)
{
    Append(Utf8Units(line));
    if (m_next)
        m_next->WriteWide(line);
    else
        ::OutputDebugStringW(line.c_str());
}

void InstallLogSink::WriteNarrow(const std::string& line)
{
    // Narrow lines mostly carry UTF-8 list texts; system messages among
    // them are in the ANSI code page.
    Append(IsValidUtf8(line) ? line : Utf8Units(CCodeChange::StringANSItoUTF16(line)));
    if (m_next)
        m_next->WriteNarrow(line);
    else
        ::OutputDebugStringA(line.c_str());
}

bool StartInstallLog(const std::wstring& path, const wchar_t* linePrefix)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        DebugLine(std::wstring(linePrefix) + L"install log: cannot open \"" + path + L"\", error " +
                  std::to_wstring(error) + L"; the run goes on without a log");
        return false;
    }
    // Lives until the process ends: detached threads may write their last
    // lines while static objects are being destroyed. Installed while the
    // process has one thread, so the sink it replaces (a test's capture) can
    // be chained behind it.
    auto* sink = new InstallLogSink(std::move(file), nullptr);
    sink->SetNext(SetDebugSink(sink));
    return true;
}

bool StartInstallLogFromCommandLine(const wchar_t* cmdLine, const wchar_t* linePrefix)
{
    CCmdLine switches;
    if (!cmdLine || !switches.Parse(cmdLine) || !switches.HasKey(L"log"))
        return false;
    const std::wstring path = switches.GetValue(L"log");
    if (path.empty()) {
        DebugLine(std::wstring(linePrefix) +
                  L"install log: the log switch names no file; the run goes on without a log");
        return false;
    }
    return StartInstallLog(path, linePrefix);
}
