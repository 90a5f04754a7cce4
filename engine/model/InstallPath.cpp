#include "engine/model/InstallPath.h"

#include <filesystem>
#include <system_error>

#include "common/DebugOutput.h"
#include "common/PrivateFiles.h"
#include "common/ProgramFolders.h"
#include "engine/model/FolderName.h"

const wchar_t kProbeFolderName[] = L"8CE40F35C6D64a938D2DBF7555FBF48F";

namespace {

bool IsAsciiLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// "X:\..." : a drive letter, its colon and a separator. Anything else
// (a network path, a relative or drive-relative path, a colon elsewhere)
// names no folder that can be checked.
bool IsAbsoluteDrivePath(const std::wstring& path)
{
    return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

}  // namespace

bool QueryDriveFreeBytes(const std::wstring& drive, ULONGLONG& freeBytes)
{
    ULARGE_INTEGER available = {};
    ULARGE_INTEGER total = {};
    ULARGE_INTEGER totalFree = {};
    const std::wstring root = drive + L"\\";
    if (!::GetDiskFreeSpaceExW(root.c_str(), &available, &total, &totalFree))
        return false;
    freeBytes = totalFree.QuadPart;
    return true;
}

bool CheckInstallPath(const std::wstring& path, std::wstring& code)
{
    return CheckInstallPath(path, code, QueryDriveFreeBytes);
}

bool CheckInstallPath(const std::wstring& path, std::wstring& code, const FreeSpaceQuery& freeSpace)
{
    if (path.find(L':') == std::wstring::npos || !IsAbsoluteDrivePath(path)) {
        code = L"write";
        return false;
    }
    const size_t limit =
        IsSameFolderName(LastPathComponent(path), kCompanyFolder) ? kMaxCompanyPathUnits : kMaxPathUnits;
    if (path.size() > limit) {
        code = L"toolong";
        return false;
    }
    const std::wstring drive = path.substr(0, path.find(L':') + 1);
    ULONGLONG freeBytes = 0;
    if (!freeSpace || !freeSpace(drive, freeBytes))
        return false;
    if (freeBytes < kMinFreeBytes) {
        code = L"nospace";
        return false;
    }

    std::wstring folder = path;
    while (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    if (folder.back() != L'\\')
        folder += L'\\';
    // A probe name of its own for every check: a probe folder left behind by an
    // earlier check (a kill between creation and removal) proves nothing and
    // must not make every later check fail.
    const std::filesystem::path probe(folder + kProbeFolderName + L"-" + PrivateFiles::RandomName());
    std::error_code error;
    // Nothing created means the probe folder was there already: the folder
    // is not proven writable.
    if (!std::filesystem::create_directories(probe, error) || error) {
        code = L"write";
        return false;
    }
    if (!std::filesystem::remove(probe, error) || error) {
        code = L"write";
        return false;
    }
    // The elevated service must not run from below a folder whose owner, an
    // ordinary user, could rename the product's folders away.
    const std::wstring owned = ProgramFolders::FolderOwnedByAUser(path, kCompanyFolder);
    if (!owned.empty()) {
        DebugLine(L"stagehand.exe=>install folder refused: " + owned + L" is owned by a user, not the administrators");
        code = L"write";
        return false;
    }
    return true;
}
