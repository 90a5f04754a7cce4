#include "engine/UninstallCleanUp.h"

#include <shellapi.h>

#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/PrivateFiles.h"
#include "common/SecureFolders.h"
#include "engine/model/FolderName.h"

bool g_bRemoveServiceDir = false;
std::wstring g_wstrServiceDir;

namespace {

std::string LoadRemover(HINSTANCE module)
{
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(kRemoverResourceId), L"BIN");
    if (!resource)
        return std::string();
    HGLOBAL loaded = ::LoadResource(module, resource);
    if (!loaded)
        return std::string();
    const void* data = ::LockResource(loaded);
    DWORD size = ::SizeofResource(module, resource);
    if (!data || size == 0)
        return std::string();
    return std::string(static_cast<const char*>(data), size);
}

// The text after the last backslash, or between the last two when the folder ends with one.
std::wstring LastPart(const std::wstring& folder)
{
    size_t last = folder.rfind(L'\\');
    if (last == std::wstring::npos)
        return std::wstring();
    if (last + 1 < folder.size())
        return folder.substr(last + 1);
    size_t before = last == 0 ? std::wstring::npos : folder.rfind(L'\\', last - 1);
    if (before == std::wstring::npos)
        return std::wstring();
    return folder.substr(before + 1, last - before - 1);
}

// The remover runs elevated: it is started only from the copy written just
// now into the private folder, held against writers until it has started.
void StartRemover(const std::wstring& folder, const wchar_t* name, const std::string& remover,
                  const std::wstring& parameters, const wchar_t* announcement)
{
    if (folder.empty()) {
        DebugLine(std::wstring(announcement) + L"no private folder for the remover");
        return;
    }
    std::wstring path = folder + name;
    UniqueHandle pinned = PrivateFiles::WritePinnedFile(path, remover);
    if (!pinned) {
        DebugLine(std::wstring(announcement) + L"the remover could not be written:" + path);
        return;
    }
    DebugLine(std::wstring(announcement) + path + L" " + parameters);
    ::ShellExecuteW(nullptr, L"open", path.c_str(), parameters.c_str(), folder.c_str(), SW_HIDE);
}

}  // namespace

std::wstring RemoverParameters(const std::wstring& folder)
{
    return L"\"" + folder + L"\\\"";
}

bool IsRemovableProductFolder(const std::wstring& setupDir)
{
    std::wstring folder = setupDir;
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    std::wstring parent = ParentFolderOf(folder);
    if (parent.size() <= 3)  // a product folder never sits in a drive root
        return false;
    return IsSameFolderName(LastPathComponent(parent), kCompanyFolder);
}

void CleanUpAfterUninstall(const std::wstring& setupDir, HINSTANCE module)
{
    const std::string remover = LoadRemover(module);
    if (remover.empty())
        return;
    // The removers' folder is an administrator-only base (SecureFolders.h),
    // held until this process ends: the removers are written and started
    // through paths nothing can re-point.
    static SecureFolders::AdminBase base;
    std::wstring why;
    const std::wstring root = SecureFolders::TemporaryRoot();
    if (!base.Held() && !root.empty() && !base.Create(root, L"", &why))
        DebugLine(L"stagehand.exe=>remover folder: " + why);
    const std::wstring folder = base.Path();

    if (g_bRemoveServiceDir && !g_wstrServiceDir.empty() && LastPart(g_wstrServiceDir) == kCompanyFolder) {
        g_wstrServiceDir += L"\\service\\";
        StartRemover(folder, L"LarkspurUninst.exe", remover, RemoverParameters(g_wstrServiceDir),
                     L"stagehand.exe=>Delete the Service path:");
    }
    if (!setupDir.empty()) {
        if (!IsRemovableProductFolder(setupDir)) {
            DebugLine(L"stagehand.exe=>The product path is not inside the company folder, left in place:" + setupDir);
            return;
        }
        StartRemover(folder, L"LarkspurUninst2.exe", remover, RemoverParameters(setupDir),
                     L"stagehand.exe=>Remove the product path:");
    }
}
