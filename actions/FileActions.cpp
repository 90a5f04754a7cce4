// Folder creation and file copies (install), file, folder and user-data
// removal (uninstall).
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <filesystem>
#include <system_error>

#include "actions/ActionFields.h"
#include "actions/Installer.h"
#include "actions/Placeholders.h"
#include "actions/Uninstaller.h"
#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/ProgramFolders.h"
#include "common/SecureFolders.h"
#include "engine/model/FolderName.h"
#include "common/DebugOutput.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kWildcard[] = L"*.*";

std::string SystemMessage(DWORD code)
{
    return std::system_category().message(static_cast<int>(code));
}

// Copies over an existing destination; the destination folder must exist.
bool CopyOneFile(const std::wstring& src, const std::wstring& dst, std::string& message)
{
    if (::CopyFileW(src.c_str(), dst.c_str(), FALSE))
        return true;
    message = SystemMessage(::GetLastError());
    return false;
}

bool EndsWithBackslash(const std::wstring& text)
{
    return !text.empty() && text.back() == L'\\';
}

std::wstring AfterLastBackslash(const std::wstring& text)
{
    size_t pos = text.rfind(L'\\');
    return pos == std::wstring::npos ? text : text.substr(pos + 1);
}

}  // namespace

bool Installer::MakeDir(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring raw = ActionText(*action, "dirname");
    std::wstring dirname = ExpandKey(*action, "mkdir", "dirname", raw);
    std::error_code createError;
    // Outside Program Files the company folder (or else the topmost new
    // folder) gets the private access list, whether it existed or not.
    bool created = ProgramFolders::Create(dirname, createError, kCompanyFolder).any;
    std::error_code existError;
    bool exists = fs::exists(fs::path(dirname), existError);
    if (!(created && !exists)) {
        DebugLineA("stagehand.exe=>mkdir createdir:%d %s %d %s%s", created ? 1 : 0, createError.message().c_str(),
                   exists ? 1 : 0, existError.message().c_str(), (",dir=" + Utf8(raw) + "\n").c_str());
    }
    return true;
}

bool Installer::CopyFiles(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring rawSrc = ActionText(*action, "src");
    std::wstring rawDst = ActionText(*action, "dst");
    std::wstring src = ExpandKey(*action, "copyfile", "src", rawSrc);
    std::wstring dst = ExpandKey(*action, "copyfile", "dst", rawDst);
    const std::string names = ",src_path=" + Utf8(rawSrc) + ",dst_path=" + Utf8(rawDst) + "\n";

    if (!ReplaceFirst(src, kWildcard, L"")) {
        std::wstring target = dst;
        if (EndsWithBackslash(target))
            target += AfterLastBackslash(src);
        std::string message;
        if (!CopyOneFile(src, target, message))
            DebugLineA("stagehand.exe=>copy_file :%s%s", message.c_str(), names.c_str());
        return true;
    }

    std::error_code ec;
    if (!fs::exists(fs::path(src), ec))
        return true;
    try {
        for (fs::directory_iterator it {fs::path(src)}, end; it != end; ++it) {
            try {
                std::error_code statusError;
                if (it->is_directory(statusError))
                    continue;
                std::wstring from = it->path().wstring();
                std::wstring target = dst;
                if (EndsWithBackslash(target))
                    target += AfterLastBackslash(from);
                std::string message;
                if (!CopyOneFile(from, target, message))
                    DebugLineA("stagehand.exe=>copyfile copy_file :%s%s", message.c_str(), names.c_str());
            } catch (const std::exception&) {
                // This entry is passed over; the next one is copied.
            }
        }
    } catch (const std::exception& e) {
        DebugLineA("stagehand.exe=>copyfile directory_iterator :%s%s", e.what(), names.c_str());
    }
    return true;
}

bool Uninstaller::DeleteFiles(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring path = ExpandedText(*action, "delfile", "path");
    auto reportRemoval = [&path](const std::error_code& ec) {
        DebugLine(L"stagehand.exe=>delfile remove:" + CCodeChange::StringANSItoUTF16(ec.message()) + L",filepath=" +
                  path + L"\n");
    };

    if (!ReplaceFirst(path, kWildcard, L"")) {
        std::error_code ec;
        if (!fs::remove(fs::path(path), ec))
            reportRemoval(ec);
        return true;
    }

    std::error_code ec;
    if (!fs::exists(fs::path(path), ec))
        return true;
    try {
        for (fs::directory_iterator it {fs::path(path)}, end; it != end; ++it) {
            try {
                if (it->is_directory())
                    continue;
                std::error_code removeError;
                if (!fs::remove(it->path(), removeError))
                    reportRemoval(removeError);
            } catch (const std::exception&) {
                DebugLine(L"stagehand.exe=>delfile exception,filepath=" + path + L"\n");
            }
        }
    } catch (const std::exception& e) {
        DebugLine(L"stagehand.exe=>delfile directory_iterator :" + CCodeChange::StringANSItoUTF16(e.what()) +
                  L",filepath=" + path + L"\n");
    }
    return true;
}

bool Uninstaller::DeleteDir(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring path = ExpandedText(*action, "deldir", "path");
    std::error_code ec;
    if (path.empty() || !fs::is_directory(fs::path(path), ec) || !fs::is_empty(fs::path(path), ec) || ec)
        return true;
    // The folder was empty a moment ago: removing it as an empty folder never
    // takes along whatever was put into it since (a recursive "rd /s" would).
    ::RemoveDirectoryW(path.c_str());
    return true;
}

namespace {

// The user's profile folder (from the system's profile list, never from the
// environment), normalised; "" when it cannot be told.
std::wstring ProfileFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return std::wstring();
    return SecureFolders::NormalFolderPath(buffer);
}

bool IsInside(const std::wstring& path, const std::wstring& folder)
{
    return !folder.empty() && path.size() > folder.size() &&
           ::lstrcmpiW(path.substr(0, folder.size()).c_str(), folder.c_str()) == 0;
}

}  // namespace

std::wstring UserDataTarget(const std::wstring& path, const std::wstring& profile, std::wstring& why)
{
    std::wstring target = SecureFolders::NormalFolderPath(path);
    if (target.empty()) {
        why = L"not a full path";
        return std::wstring();
    }
    if (!IsInside(target, profile)) {
        why = L"not inside the user's profile " + profile;
        return std::wstring();
    }
    target.pop_back();
    return target;
}

bool Uninstaller::DeleteUserData(std::shared_ptr<Json::Value> action, std::string&)
{
    if (!m_pUninstallParam || !m_pUninstallParam->bDeleteAll)
        return true;
    std::wstring location = ActionText(*action, "location");
    std::wstring path = ActionText(*action, "path");
    if (SecureFolders::ProcessIsLocalSystem()) {
        // LocalSystem has no user whose data this is (issue 29: per-user targets).
        DebugLine(L"stagehand.exe=>deluser skipped: the run is LocalSystem, no user's data is removed,path=" + path +
                  L"\n");
        return true;
    }
    std::wstring base;
    if (location == L"MyDocument") {
        UniqueCoTaskMem<ITEMIDLIST> pidl;
        HRESULT hr = ::SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, pidl.put());
        if (FAILED(hr)) {
            DebugLineA("stagehand.exe=>deluser SHGetSpecialFolderLocation:%ld%s", static_cast<long>(hr),
                       (",strLocation=" + Utf8(location) + "\n").c_str());
        }
        wchar_t buffer[1024] = {};
        BOOL ok = pidl && ::SHGetPathFromIDListW(pidl.get(), buffer);
        if (!ok) {
            DebugLine(L"stagehand.exe=>deluser SHGetPathFromIDList error,strLocation=" + location + L"\n");
            return true;
        }
        base = buffer;
        path = ExpandKey(*action, "deluser", "path", path, {{PlaceholderSource::MyDocuments, base}});
    } else {
        wchar_t buffer[512] = {};
        DWORD length = ::GetTempPathW(512, buffer);
        if (length == 0 || length >= 512) {
            wchar_t system[MAX_PATH] = {};
            ::GetSystemDirectoryW(system, MAX_PATH);
            base = std::wstring(1, system[0]) + L":\\temp\\";
        } else {
            base = buffer;
        }
        path = ExpandKey(*action, "deluser", "path", path, {{PlaceholderSource::TempDir, base}});
    }
    // The folders named come from the user's own registry and environment
    // (User Shell Folders, TEMP), which any program of the user can change:
    // the target must lie inside the user's profile, and every folder above
    // it is checked on its handle to be a plain folder (no link, junction or
    // mount point) and held while the target goes, so nothing can aim the
    // removal elsewhere.
    std::wstring why;
    const std::wstring target = UserDataTarget(path, ProfileFolder(), why);
    SecureFolders::HeldPath parent;
    if (target.empty() || !parent.Open(FileSystem::GetParentPath(target.c_str()), false, &why)) {
        DebugLine(L"stagehand.exe=>deluser refused: " + why + L",path=" + path + L"\n");
        return true;
    }
    // A folder is removed with its content; a link (the folder itself or one
    // inside it) is removed as a link, and what it points to stays untouched.
    DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        FileSystem::DeleteDirectoryTree(target);
    } else {
        std::error_code ec;
        fs::remove(fs::path(target), ec);
    }
    return true;
}
