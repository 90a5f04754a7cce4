// A program an attacker plants (a decoy): it records that it ran, with its
// command line, in the file named by LARKSPUR_DECOY_LOG, and in
// "<its own path>.ran" when that file exists (a start by another process,
// such as the desktop shell, does not carry the test's environment); it ends
// with 7. Tests put it where only a mistake of the code under test would
// start it, or as the program that must start.
#include <windows.h>

#include <string>

namespace {

void Append(const std::wstring& log, DWORD disposition, const std::string& bytes)
{
    HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = std::wstring(L"decoy ran: ") + self + L" | " + ::GetCommandLineW() + L"\n";
    int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    wchar_t log[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"LARKSPUR_DECOY_LOG", log, MAX_PATH) > 0)
        Append(log, OPEN_ALWAYS, bytes);
    Append(std::wstring(self) + L".ran", OPEN_EXISTING, bytes);
    return 7;
}
