#include "actions/InstallTools.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "common/DebugOutput.h"
#include "common/Handles.h"
#include "common/SecureFolders.h"

namespace {

bool EqualsNoCase(const std::wstring& a, const wchar_t* b)
{
    return ::lstrcmpiW(a.c_str(), b) == 0;
}

bool IsPinningVerb(const std::wstring& verb)
{
    return EqualsNoCase(verb, L"TaskbarPin") || EqualsNoCase(verb, L"taskbarunpin") ||
           EqualsNoCase(verb, L"StartPin") || EqualsNoCase(verb, L"startunpin");
}

// Whether the item's context menu offers the verb. Pinning comes from a shell
// extension of the context menu; where none offers it, ShellExecuteEx would
// fall back to running the program instead of pinning it.
bool ContextMenuOffersVerb(const std::wstring& verb, const std::wstring& file)
{
    UniqueCoTaskMem<ITEMIDLIST> item;
    if (FAILED(::SHParseDisplayName(file.c_str(), nullptr, item.put(), 0, nullptr)) || !item)
        return false;
    bool offered = false;
    ComPtr<IShellFolder> parent;
    PCUITEMID_CHILD child = nullptr;
    if (SUCCEEDED(::SHBindToParent(item.get(), IID_IShellFolder, parent.put_void(), &child))) {
        ComPtr<IContextMenu> menu;
        if (SUCCEEDED(parent->GetUIObjectOf(nullptr, 1, &child, IID_IContextMenu, nullptr, menu.put_void()))) {
            UniqueMenu popup(::CreatePopupMenu());
            constexpr UINT kFirst = 1;
            if (popup &&
                SUCCEEDED(menu->QueryContextMenu(popup.get(), 0, kFirst, 0x7FFF, CMF_NORMAL | CMF_EXTENDEDVERBS))) {
                for (int index = 0, count = ::GetMenuItemCount(popup.get()); index < count && !offered; ++index) {
                    UINT id = ::GetMenuItemID(popup.get(), index);
                    if (id == static_cast<UINT>(-1) || id < kFirst)
                        continue;
                    wchar_t name[128] = {};
                    if (SUCCEEDED(menu->GetCommandString(id - kFirst, GCS_VERBW, nullptr, reinterpret_cast<char*>(name),
                                                         128)))
                        offered = EqualsNoCase(verb, name);
                }
            }
        }
    }
    return offered;
}

// The version Windows really runs: GetVersionExW reports what the manifest
// declares support for, so Windows 10 shows itself as 6.2 there.
DWORD RealMajorVersion()
{
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto get =
        ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (get && get(&version) == 0)
        return version.dwMajorVersion;
    return 6;
}

}  // namespace

bool InstallTools::CreateFileShortcut(const std::wstring& target, const wchar_t* folder, const std::wstring& linkName,
                                      const std::wstring& icon, const std::wstring& arguments)
{
    if (folder == nullptr || folder[0] == L'\0')
        return false;
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) ||
        !link)
        return false;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) || !file)
        return false;

    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    size_t slash = target.rfind(L'\\');
    if (slash != std::wstring::npos)
        link->SetWorkingDirectory(target.substr(0, slash).c_str());
    link->SetIconLocation(icon.c_str(), 0);
    link->SetDescription(target.c_str());
    link->SetShowCmd(SW_SHOWNORMAL);

    std::wstring path = std::wstring(folder) + L"\\" + linkName;
    return SUCCEEDED(file->Save(path.c_str(), TRUE));
}

bool InstallTools::DeleteShortCut(const std::wstring& file)
{
    ::SetLastError(0);
    if (!::DeleteFileW(file.c_str())) {
        DWORD error = ::GetLastError();
        if (error != 0) {
            DebugLineA("stagehand.exe=>InstallTools::DeleteShortCut :%ld", static_cast<long>(error));
            DebugLine(L",file=" + file + L"\n");
        }
    }
    return true;
}

void InstallTools::NotifyShellChange(LONG event, const std::wstring& path)
{
    ::SHChangeNotify(event, SHCNF_PATHW | SHCNF_FLUSH, path.c_str(), nullptr);
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) {
        std::wstring folder = path.substr(0, slash);
        ::SHChangeNotify(SHCNE_UPDATEDIR | SHCNE_INTERRUPT, SHCNF_PATHW | SHCNF_FLUSH, folder.c_str(), nullptr);
    }
}

SpecialFolder InstallTools::GetSpecialFolder(int requested) const
{
    SpecialFolder result;
    int csidl = requested;
    // Run as LocalSystem (deployment systems), per-user folders would be the
    // SYSTEM profile's, which nobody sees: the all-users folders stand in
    // where Windows has them, the others are skipped (issue 29).
    if (SecureFolders::ProcessIsLocalSystem()) {
        switch (requested & ~CSIDL_FLAG_MASK) {
        case CSIDL_PROGRAMS:
            csidl = CSIDL_COMMON_PROGRAMS;
            break;
        case CSIDL_STARTMENU:
            csidl = CSIDL_COMMON_STARTMENU;
            break;
        case CSIDL_DESKTOP:
        case CSIDL_DESKTOPDIRECTORY:
            csidl = CSIDL_COMMON_DESKTOPDIRECTORY;
            break;
        case CSIDL_APPDATA:
        case CSIDL_LOCAL_APPDATA:
        case CSIDL_PERSONAL:
            DebugLine(L"stagehand.exe=>per-user folder " + std::to_wstring(requested) +
                      L" skipped: the run is LocalSystem");
            result.hr = E_ACCESSDENIED;
            result.status = SpecialFolder::LocationFailed;
            return result;
        default:
            break;
        }
    }
    UniqueCoTaskMem<ITEMIDLIST> items;
    result.hr = ::SHGetSpecialFolderLocation(nullptr, csidl, items.put());
    if (FAILED(result.hr) || !items) {
        if (SUCCEEDED(result.hr))
            result.hr = E_FAIL;
        result.status = SpecialFolder::LocationFailed;
        return result;
    }
    wchar_t path[MAX_PATH] = {};
    BOOL found = ::SHGetPathFromIDListW(items.get(), path);
    if (!found) {
        result.status = SpecialFolder::PathFailed;
        return result;
    }
    result.status = SpecialFolder::Found;
    result.path = path;
    return result;
}

bool InstallTools::PinningVerbsOffered()
{
    return RealMajorVersion() < 10;
}

void InstallTools::RunShellVerb(const std::wstring& verb, const std::wstring& file) const
{
    // Windows 10 dropped the pinning verbs; the shell would only fail them.
    if (IsPinningVerb(verb) && (!PinningVerbsOffered() || !ContextMenuOffersVerb(verb, file)))
        return;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = verb.c_str();
    info.lpFile = file.c_str();
    info.nShow = SW_SHOW;
    ::ShellExecuteExW(&info);
}
