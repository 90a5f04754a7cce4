// Stands in for the engine in setup's tests: records how it was started,
// waits for "finish.bin" beside itself and records what the body unpacked.
// The record goes to the file named by LARKSPUR_FAKE_ENGINE_LOG, one
// key=value line at a time, so a test can follow it while it runs.
// Switches: -fakeexit=N (exit code, default 1), -fakehold=PATH (wait until
// PATH exists before waiting for "finish.bin").
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/CmdLine.h"
#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "common/Handles.h"

namespace {

std::wstring g_log;

void Record(const std::wstring& line)
{
    if (g_log.empty())
        return;
    UniqueHandle file(::CreateFileW(g_log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, 0, nullptr));
    if (!file)
        return;
    std::string bytes = CCodeChange::StringUTF16toUTF8(line) + "\n";
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void List(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            List(folder + name + L"\\", prefix + name + L"\\", out);
        else
            out.push_back(prefix + name);
    } while (::FindNextFileW(find.get(), &data));
}

bool WaitForFile(const std::wstring& path, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        ::Sleep(100);
    }
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t log[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"LARKSPUR_FAKE_ENGINE_LOG", log, MAX_PATH) > 0)
        g_log = log;
    CCmdLine cmd;
    cmd.Parse(::GetCommandLineW());
    std::wstring folder = FileSystem::GetModuleDirectory();
    std::wstring workFolder = FileSystem::GetParentPath(folder.c_str());
    wchar_t cwd[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);

    Record(L"started");
    Record(L"cmdline=" + std::wstring(::GetCommandLineW()));
    Record(L"cwd=" + std::wstring(cwd));
    Record(L"folder=" + folder);
    Record(std::wstring(L"splash=") + (FileSystem::PathExists((workFolder + L"splash.png").c_str()) ? L"1" : L"0"));

    if (cmd.HasKey(L"fakehold"))
        WaitForFile(cmd.GetValue(L"fakehold"), 60);
    bool finished = false, failed = false;
    for (int i = 0; i < 600 && !finished && !failed; ++i) {
        finished = ::GetFileAttributesW((folder + L"finish.bin").c_str()) != INVALID_FILE_ATTRIBUTES;
        failed = ::GetFileAttributesW((folder + L"bodyfailed.bin").c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!finished && !failed)
            ::Sleep(100);
    }
    Record(std::wstring(L"finish=") + (finished ? L"1" : L"0"));
    Record(std::wstring(L"bodyfailed=") + (failed ? L"1" : L"0"));
    std::vector<std::wstring> files;
    List(folder + L"Assembly\\", L"", files);
    std::sort(files.begin(), files.end());
    std::wstring joined;
    for (const auto& f : files)
        joined += (joined.empty() ? L"" : L"|") + f;
    Record(L"files=" + joined);

    int code = cmd.HasKey(L"fakeexit") ? _wtoi(cmd.GetValue(L"fakeexit").c_str()) : 1;
    Record(L"exit=" + std::to_wstring(code));
    return code;
}
