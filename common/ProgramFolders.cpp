#include "common/ProgramFolders.h"

#include <windows.h>
#include <shlobj.h>

#include <aclapi.h>

#include <filesystem>
#include <functional>
#include <set>

#include "common/PrivateFiles.h"
#include "common/SecureFolders.h"

namespace ProgramFolders {

namespace {

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring WithBackslash(std::wstring path)
{
    for (auto& c : path)
        if (c == L'/')
            c = L'\\';
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path;
}

std::wstring KnownFolder(int csidl)
{
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return std::wstring();
    return buffer;
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& folder)
{
    if (folder.empty())
        return false;
    std::wstring p = SecureFolders::NormalFolderPath(path), f = SecureFolders::NormalFolderPath(folder);
    if (p.empty() || f.empty())
        return false;
    // lstrcmpiW rather than CompareStringOrdinal, which XP does not have.
    return p.size() > f.size() && ::lstrcmpiW(p.substr(0, f.size()).c_str(), f.c_str()) == 0;
}

}  // namespace

std::wstring TopmostMissingFolder(const std::wstring& path)
{
    std::wstring full = WithBackslash(path);
    // Skip the root ("C:\" or "\\server\share\").
    size_t start = 0;
    if (full.compare(0, 2, L"\\\\") == 0) {
        start = full.find(L'\\', 2);
        start = start == std::wstring::npos ? full.size() : full.find(L'\\', start + 1);
    } else {
        start = full.find(L'\\');
    }
    if (start == std::wstring::npos)
        return std::wstring();
    for (size_t at = full.find(L'\\', start + 1); at != std::wstring::npos; at = full.find(L'\\', at + 1)) {
        std::wstring folder = full.substr(0, at);
        if (!Exists(folder))
            return folder;
    }
    return std::wstring();
}

bool IsUnderProgramFiles(const std::wstring& path)
{
    return StartsWithFolder(path, KnownFolder(CSIDL_PROGRAM_FILES)) ||
           StartsWithFolder(path, KnownFolder(CSIDL_PROGRAM_FILESX86));
}

std::wstring ProtectedFolder(const std::wstring& path, const std::wstring& ownFolder)
{
    const std::wstring missing = TopmostMissingFolder(path);
    std::wstring full = WithBackslash(path);
    std::wstring company;
    if (!ownFolder.empty()) {
        size_t start = full.find(L'\\');
        for (size_t at = start; at != std::wstring::npos;) {
            size_t next = full.find(L'\\', at + 1);
            if (next == std::wstring::npos)
                break;
            if (::lstrcmpiW(full.substr(at + 1, next - at - 1).c_str(), ownFolder.c_str()) == 0) {
                company = full.substr(0, next);
                break;
            }
            at = next;
        }
    }
    // A folder the engine creates above the company folder would otherwise
    // take the list of the folder above it, which may let every user rename
    // it and put another path in its place: the topmost new folder gets the
    // private list, and the company folder inherits it.
    if (company.empty() || (!missing.empty() && missing.size() <= company.size()))
        return missing;
    return company;
}

namespace {

struct ProtectRights {
    UniqueLocal descriptor = PrivateFiles::NewPrivateDescriptor();
    PSID owner = nullptr;
    PACL dacl = nullptr;
    bool Ready()
    {
        if (!descriptor)
            return false;
        BOOL present = FALSE, defaulted = FALSE;
        return ::GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) && owner &&
               ::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) && present && dacl;
    }
};

// Administrators may take ownership of what they cannot open otherwise.
void EnableOwnershipPrivileges()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()))
        return;
    for (const wchar_t* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
            ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
}

UniqueHandle OpenForSecurity(const std::wstring& path)
{
    const DWORD access = READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    UniqueHandle handle(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle && ::GetLastError() == ERROR_ACCESS_DENIED) {
        EnableOwnershipPrivileges();
        handle.reset(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    }
    return handle;
}

std::function<void(const std::wstring&)>& PrivateListObserver()
{
    static std::function<void(const std::wstring&)> observer;
    return observer;
}

bool SetPrivate(HANDLE handle, ProtectRights& rights, const std::wstring& path)
{
    if (PrivateListObserver())
        PrivateListObserver()(path);
    return ::SetSecurityInfo(handle, SE_FILE_OBJECT,
                             OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                 PROTECTED_DACL_SECURITY_INFORMATION,
                             rights.owner, nullptr, rights.dacl, nullptr) == ERROR_SUCCESS;
}

bool IsLinkAttributes(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The folder (already given the private list) has its entries changed one
// by one, each on its own handle opened as itself.
void ProtectEntries(const std::wstring& folder, ProtectRights& rights, int depth)
{
    if (depth > 64)
        return;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring entry = folder + L"\\" + name;
        UniqueHandle handle = OpenForSecurity(entry);
        BY_HANDLE_FILE_INFORMATION info = {};
        if (!handle || !::GetFileInformationByHandle(handle.get(), &info))
            continue;
        if (IsLinkAttributes(info.dwFileAttributes | data.dwFileAttributes)) {
            // A link in the product's folder is taken away as a link.
            handle.reset();
            if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ::RemoveDirectoryW(entry.c_str());
            else
                ::DeleteFileW(entry.c_str());
            continue;
        }
        SetPrivate(handle.get(), rights, entry);
        if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ProtectEntries(entry, rights, depth + 1);
    } while (::FindNextFileW(find.get(), &data));
}

}  // namespace

std::wstring FolderOwnedByAUser(const std::wstring& path, const std::wstring& ownFolder)
{
    const std::wstring normal = SecureFolders::NormalFolderPath(path);
    if (normal.empty() || IsUnderProgramFiles(normal))
        return std::wstring();
    for (size_t at = normal.find(L'\\', 3); at != std::wstring::npos; at = normal.find(L'\\', at + 1)) {
        const std::wstring folder = normal.substr(0, at);
        const size_t name = folder.rfind(L'\\') + 1;
        if (!ownFolder.empty() && ::lstrcmpiW(folder.c_str() + name, ownFolder.c_str()) == 0)
            break;
        UniqueHandle handle(::CreateFileW(
            folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!handle)
            break;  // the rest does not exist yet: the engine creates it
        if (!SecureFolders::CurrentRules().ownerIsAdministrative(handle.get()))
            return folder;
    }
    return std::wstring();
}

void ObservePrivateLists(std::function<void(const std::wstring& path)> observer)
{
    PrivateListObserver() = std::move(observer);
}

bool ProtectExistingFolder(const std::wstring& folder)
{
    ProtectRights rights;
    if (!rights.Ready())
        return false;
    const std::wstring normal = SecureFolders::NormalFolderPath(folder);
    if (normal.empty())
        return false;
    // Every folder above it plain and held while it changes.
    SecureFolders::HeldPath above;
    if (!above.Open(std::filesystem::path(normal.substr(0, normal.size() - 1)).parent_path().wstring(), false))
        return false;
    const std::wstring path = normal.substr(0, normal.size() - 1);
    UniqueHandle handle = OpenForSecurity(path);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!handle || !::GetFileInformationByHandle(handle.get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsLinkAttributes(info.dwFileAttributes) ||
        !SecureFolders::FinalPathIs(handle.get(), path))
        return false;
    if (!SetPrivate(handle.get(), rights, path))
        return false;
    ProtectEntries(path, rights, 0);
    return true;
}

Created Create(const std::wstring& input, std::error_code& error, const std::wstring& ownFolder)
{
    error.clear();
    Created result;
    const std::wstring normal = SecureFolders::NormalFolderPath(input);
    if (normal.empty()) {
        error = std::make_error_code(std::errc::invalid_argument);
        return result;
    }
    const std::wstring path = normal.substr(0, normal.size() - 1);
    const bool inProgramFiles = IsUnderProgramFiles(path);
    std::wstring top = inProgramFiles ? TopmostMissingFolder(path) : ProtectedFolder(path, ownFolder);
    bool madeTop = false;
    if (!top.empty() && !inProgramFiles) {
        // Once per process and folder: later folders inside inherit the list.
        static std::set<std::wstring> protectedFolders;
        std::wstring key = top;
        ::CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
        const bool existed = ::GetFileAttributesW(top.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!existed) {
            // The folders above it, plainly, each checked to be no link.
            SecureFolders::HeldPath above;
            const std::wstring parent = std::filesystem::path(top).parent_path().wstring();
            if (above.Open(parent, true) && PrivateFiles::CreateExclusiveFolder(top)) {
                result.privateFolder = top;
                madeTop = true;
                protectedFolders.insert(key);
            }
        } else if (!protectedFolders.count(key) && ProtectExistingFolder(top)) {
            result.privateFolder = top;
            protectedFolders.insert(key);
        }
    }
    // What exists of the path must be plain folders before anything is
    // created below it (a link would take the new folders elsewhere).
    const std::wstring missing = TopmostMissingFolder(path);
    const std::wstring existing = missing.empty() ? path : std::filesystem::path(missing).parent_path().wstring();
    SecureFolders::HeldPath existingPart;
    if (!existingPart.Open(existing, false)) {
        error = std::make_error_code(std::errc::permission_denied);
        return result;
    }
    bool created = std::filesystem::create_directories(std::filesystem::path(path), error);
    if (madeTop && error)
        error.clear();
    // No part of the finished path may be a link, and it ends where it says.
    SecureFolders::HeldPath finished;
    if (!finished.Open(path, false)) {
        error = std::make_error_code(std::errc::permission_denied);
        return result;
    }
    result.any = created || madeTop;
    return result;
}

}  // namespace ProgramFolders
