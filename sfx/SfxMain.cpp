// The self-extracting stub: run without arguments, it extracts the 7z archive
// appended to its own file, with paths, into the working folder. Exit code 0
// once everything is written, 2 when the archive is missing, damaged or
// names a path outside the working folder.
#include <windows.h>

#include <string>
#include <vector>

#include "common/SafeDllSearch.h"
#include "sfx/SfxArchive.h"

namespace {

std::wstring OwnPath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring CurrentFolder()
{
    DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0)
        return std::wstring();
    std::vector<wchar_t> buffer(needed + 1);
    DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    return std::wstring(buffer.data(), length);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    RestrictDllSearchToSystem();
    std::wstring self = OwnPath();
    std::wstring folder = CurrentFolder();
    if (self.empty() || folder.empty())
        return 2;
    return sfx::ExitCodeFor(sfx::ExtractAppendedArchive(self, folder));
}
