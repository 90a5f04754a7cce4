#include "tests/support/TestSupport.h"

#include <atomic>

#include "common/FileSystem.h"
#include "common/Handles.h"

DebugCapture::DebugCapture() : m_previous(SetDebugSink(this)) { }

DebugCapture::~DebugCapture()
{
    SetDebugSink(m_previous);
}

void DebugCapture::WriteWide(const std::wstring& line)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines.push_back(line);
}

void DebugCapture::WriteNarrow(const std::string& line)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines.push_back(WidenAscii(line));
}

std::vector<std::wstring> DebugCapture::Lines() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}

bool DebugCapture::Contains(const std::wstring& line) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const auto& l : m_lines) {
        if (l == line)
            return true;
    }
    return false;
}

ScratchFolder::ScratchFolder()
{
    static std::atomic<unsigned> counter {0};
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + L"lkt" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
             std::to_wstring(counter++) + L"\\";
    FileSystem::DeleteDirectoryTree(m_path);
    FileSystem::CreateDirectoryTree(m_path);
}

ScratchFolder::~ScratchFolder()
{
    FileSystem::DeleteDirectoryTree(m_path, FileSystem::TreeDelete::ClearReadOnly);
    // Under Wine a planted link can only be removed from the host side; rm
    // removes links without following them.
    if (FileSystem::PathExists(m_path.c_str()))
        RemoveFromHost(m_path);
}

std::wstring WidenAscii(const std::string& text)
{
    std::wstring result;
    for (unsigned char c : text)
        result += static_cast<wchar_t>(c);
    return result;
}

std::string NarrowAscii(const std::wstring& text)
{
    std::string result;
    for (wchar_t c : text)
        result += static_cast<char>(c);
    return result;
}

namespace {

void ListTree(const std::wstring& folder, const std::wstring& prefix, std::set<std::wstring>& out)
{
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.insert(prefix + name + L"\\");
            ListTree(folder + name + L"\\", prefix + name + L"\\", out);
        } else {
            out.insert(prefix + name);
        }
    } while (::FindNextFileW(find.get(), &data));
}

}  // namespace

std::set<std::wstring> ListFolderTree(const std::wstring& folder)
{
    std::set<std::wstring> out;
    ListTree(folder, L"", out);
    return out;
}

std::wstring TestExeDirectory()
{
    return FileSystem::GetModuleDirectory();
}

ProcessHandles StartProgram(const std::wstring& commandLine, DWORD flags)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi))
        return {};
    return ProcessHandles(pi);
}

int RunAndWait(const std::wstring& commandLine, DWORD timeoutMs)
{
    ProcessHandles started = StartProgram(commandLine);
    return started.process ? WaitForExitCode(started.process.get(), timeoutMs) : -1;
}

int WaitForExitCode(HANDLE process, DWORD timeoutMs)
{
    if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process, 99);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

bool StartHostCommand(const std::wstring& commandLine)
{
    // Wine starts a host program without a waitable process handle: the
    // start itself is the only result.
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ProcessHandles started(pi);
    return true;
}

bool RemoveFromHost(const std::wstring& path)
{
    std::string host = HostPath(path);
    if (host.empty() || !StartHostCommand(L"Z:\\bin\\rm -rf \"" + WidenAscii(host) + L"\""))
        return false;
    return WaitUntil([&path] { return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; },
                     std::chrono::seconds(10), std::chrono::milliseconds(50));
}

std::string HostPath(const std::wstring& path)
{
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto unixName =
        kernel
            ? reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(::GetProcAddress(kernel, "wine_get_unix_file_name")))
            : nullptr;
    if (!unixName)
        return std::string();
    char* name = unixName(path.c_str());
    if (!name)
        return std::string();
    std::string result = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}

bool PlantHostLink(const std::wstring& link, const std::wstring& target)
{
    std::wstring trimmed = link;
    while (!trimmed.empty() && trimmed.back() == L'\\')
        trimmed.pop_back();
    size_t cut = trimmed.rfind(L'\\');
    if (cut == std::wstring::npos)
        return false;
    std::string parent = HostPath(trimmed.substr(0, cut));
    std::string to = HostPath(target);
    if (parent.empty() || to.empty())
        return false;
    std::string hostLink = parent + "/" + NarrowAscii(trimmed.substr(cut + 1));
    // Wine starts host programs by their drive Z: path.
    std::wstring line = L"Z:\\bin\\ln -s \"" + WidenAscii(to) + L"\" \"" + WidenAscii(hostLink) + L"\"";
    if (!StartHostCommand(line))
        return false;
    if (!WaitUntil([&link] { return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   std::chrono::seconds(10), std::chrono::milliseconds(50)))
        return false;
    return (::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        ::Sleep(static_cast<DWORD>(interval.count()));
    }
    return true;
}

std::wstring DecoyProgram()
{
    return TestExeDirectory() + L"..\\decoy.exe";
}

DecoyWatch::DecoyWatch()
{
    ::SetEnvironmentVariableW(L"LARKSPUR_DECOY_LOG", (m_folder / L"decoy.log").c_str());
}

DecoyWatch::~DecoyWatch()
{
    ::SetEnvironmentVariableW(L"LARKSPUR_DECOY_LOG", nullptr);
}

std::string DecoyWatch::Runs() const
{
    return FileSystem::ReadFileToString(m_folder / L"decoy.log", true);
}
