#include "common/InstallLog.h"

#include <windows.h>

#include <cstdio>

#include "common/CmdLine.h"
#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "common/SecureFolders.h"

namespace {

bool IsValidUtf8(const std::string& text)
{
    if (text.empty())
        return true;
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr,
                                 0) > 0;
}

constexpr int kLockAttempts = 100;
constexpr DWORD kLockPauseMs = 10;

// The log is written by an elevated run into a file an ordinary user may
// have prepared: its folder must be a plain folder at its path (no link in
// any part, held while the file is opened), and the file itself a plain file
// with no other name (not a link, not a hard link of another file).
UniqueHandle OpenLogFile(const std::wstring& path, DWORD& error)
{
    wchar_t full[MAX_PATH * 2] = {};
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    SecureFolders::HeldPath folder;
    if (length == 0 || length >= MAX_PATH * 2) {
        error = ::GetLastError();
        return UniqueHandle();
    }
    const std::wstring parent = FileSystem::GetParentPath(full);
    if (!folder.Open(parent, false)) {
        error = ERROR_PATH_NOT_FOUND;
        // Tell a missing folder from one reached through a link.
        const DWORD attributes = ::GetFileAttributesW(parent.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            error = ERROR_CANT_ACCESS_FILE;
        return UniqueHandle();
    }
    UniqueHandle file(::CreateFileW(
        full, GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        error = ::GetLastError();
        return UniqueHandle();
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || info.nNumberOfLinks > 1) {
        error = ERROR_CANT_ACCESS_FILE;
        return UniqueHandle();
    }
    return file;
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
    // Never an unbounded wait: any process that can open the file can hold
    // the byte. After about a second without it the lock is given up for the
    // rest of the run.
    bool locked = false;
    for (int attempt = 0; !m_lockGivenUp && !locked; ++attempt) {
        locked =
            ::LockFileEx(m_file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range) != FALSE;
        if (!locked && attempt >= kLockAttempts)
            m_lockGivenUp = true;
        else if (!locked)
            ::Sleep(kLockPauseMs);
    }
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
    DWORD error = 0;
    UniqueHandle file = OpenLogFile(path, error);
    if (!file) {
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
