#include "common/SecureFolders.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <mutex>

#include "common/FileSystem.h"
#include "common/PrivateFiles.h"

namespace SecureFolders {

namespace {

constexpr int kNameAttempts = 8;

std::mutex& RulesLock()
{
    static std::mutex lock;
    return lock;
}

Rules& Installed()
{
    static Rules rules = SystemRules();
    return rules;
}

bool SidIs(PSID sid, const wchar_t* text)
{
    if (!sid || !::IsValidSid(sid))
        return false;
    UniqueLocal known;
    if (!::ConvertStringSidToSidW(text, known.put()) || !known)
        return false;
    return ::EqualSid(sid, known.get()) != FALSE;
}

// The process token's user SID, copied; empty on failure.
std::vector<BYTE> TokenUser()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token.get(), ::TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), ::TokenUser, buffer.data(), size, &size))
        return {};
    return buffer;
}

bool SystemIsLocalSystem()
{
    std::vector<BYTE> user = TokenUser();
    return !user.empty() && IsLocalSystemSid(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
}

bool SystemOwnerIsAdministrative(HANDLE folder)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    UniqueLocal freeDescriptor(descriptor);
    if (IsAdministrativeOwner(owner))
        return true;
    // Wine records the creating user as the owner of everything, whatever was
    // asked for; there the run's own user stands for the administrators.
    if (RunningOnWine()) {
        std::vector<BYTE> user = TokenUser();
        return !user.empty() && ::EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
    }
    return false;
}

std::wstring SystemWindowsFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    UINT length = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring folder(buffer, length);
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

bool IsPlainFolder(HANDLE handle, BY_HANDLE_FILE_INFORMATION* out = nullptr)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(handle, &info))
        return false;
    if (out)
        *out = info;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Opens a folder as itself (a link is opened as the link), for reading its
// attributes and security, shared for reading and writing but never for
// deletion: while open it cannot be renamed or deleted.
UniqueHandle OpenHeld(const std::wstring& path, DWORD extraAccess = 0)
{
    return UniqueHandle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE | extraAccess,
                                      kHeldSharing, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::wstring WithoutBackslash(std::wstring path)
{
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring ErrorText(const wchar_t* what, const std::wstring& path, DWORD error)
{
    return std::wstring(what) + L" " + path + L" (error " + std::to_wstring(error) + L")";
}

void SetWhy(std::wstring* why, const std::wstring& text)
{
    if (why)
        *why = text;
}

}  // namespace

Rules SystemRules()
{
    Rules rules;
    rules.isLocalSystem = SystemIsLocalSystem;
    rules.ownerIsAdministrative = SystemOwnerIsAdministrative;
    rules.windowsFolder = SystemWindowsFolder;
    return rules;
}

const Rules& CurrentRules()
{
    return Installed();
}

ScopedRules::ScopedRules(Rules rules)
{
    std::lock_guard<std::mutex> hold(RulesLock());
    m_previous = Installed();
    Rules system = SystemRules();
    Installed().isLocalSystem = rules.isLocalSystem ? rules.isLocalSystem : system.isLocalSystem;
    Installed().ownerIsAdministrative =
        rules.ownerIsAdministrative ? rules.ownerIsAdministrative : system.ownerIsAdministrative;
    Installed().windowsFolder = rules.windowsFolder ? rules.windowsFolder : system.windowsFolder;
}

ScopedRules::~ScopedRules()
{
    std::lock_guard<std::mutex> hold(RulesLock());
    Installed() = m_previous;
}

bool IsAdministrativeOwner(PSID owner)
{
    return SidIs(owner, L"S-1-5-32-544") || SidIs(owner, L"S-1-5-18");
}

bool IsLocalSystemSid(PSID sid)
{
    return SidIs(sid, L"S-1-5-18");
}

bool ProcessIsLocalSystem()
{
    return CurrentRules().isLocalSystem();
}

bool RunningOnWine()
{
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring NormalFolderPath(const std::wstring& path)
{
    if (path.empty())
        return std::wstring();
    std::vector<wchar_t> full(MAX_PATH * 2);
    DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length + 1);
        length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size())
        return std::wstring();
    std::wstring result(full.data(), length);
    // Only plain drive paths: no "\\?\", no device or network names.
    if (result.size() < 3 || result[1] != L':' || result[2] != L'\\' || !iswalpha(result[0]))
        return std::wstring();
    result[0] = towupper(result[0]);
    if (result.back() != L'\\')
        result += L'\\';
    // Short (8.3) names of the parts that exist become their long names.
    std::vector<wchar_t> longName(result.size() + MAX_PATH);
    DWORD longLength = ::GetLongPathNameW(result.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
    if (longLength > 0 && longLength < longName.size()) {
        result.assign(longName.data(), longLength);
    } else {
        // The path does not exist as a whole: convert the part that does.
        size_t cut = result.size() - 1;
        while ((cut = result.rfind(L'\\', cut - 1)) != std::wstring::npos && cut > 2) {
            std::wstring head = result.substr(0, cut + 1);
            longLength = ::GetLongPathNameW(head.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
            if (longLength > 0 && longLength < longName.size()) {
                std::wstring converted(longName.data(), longLength);
                if (converted.back() != L'\\')
                    converted += L'\\';
                result = converted + result.substr(cut + 1);
                break;
            }
        }
    }
    if (result.back() != L'\\')
        result += L'\\';
    return result;
}

bool FinalPathIs(HANDLE file, const std::wstring& expected)
{
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto finalPath = kernel ? reinterpret_cast<FinalPathFn>(
                                  reinterpret_cast<void*>(::GetProcAddress(kernel, "GetFinalPathNameByHandleW")))
                            : nullptr;
    if (!finalPath)
        return true;
    std::vector<wchar_t> buffer(MAX_PATH * 2);
    DWORD length = finalPath(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = finalPath(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    }
    if (length == 0 || length >= buffer.size())
        return false;
    std::wstring actual(buffer.data(), length);
    if (actual.compare(0, 4, L"\\\\?\\") == 0)
        actual.erase(0, 4);
    std::wstring wanted = expected;
    if (wanted.compare(0, 4, L"\\\\?\\") == 0)
        wanted.erase(0, 4);
    return ::lstrcmpiW(WithoutBackslash(actual).c_str(), WithoutBackslash(wanted).c_str()) == 0;
}

bool HeldPath::Open(const std::wstring& folder, bool create, std::wstring* why)
{
    Release();
    std::wstring path = NormalFolderPath(folder);
    if (path.empty()) {
        SetWhy(why, L"not a full path on a drive: " + folder);
        return false;
    }
    std::vector<UniqueHandle> handles;
    std::vector<std::wstring> folders;
    for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        // "C:\" for the root, then each folder without its backslash.
        std::wstring part = at == 2 ? path.substr(0, 3) : path.substr(0, at);
        UniqueHandle handle = OpenHeld(part);
        if (!handle && create &&
            (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND)) {
            if (!::CreateDirectoryW(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
                SetWhy(why, ErrorText(L"cannot create", part, ::GetLastError()));
                return false;
            }
            handle = OpenHeld(part);
        }
        if (!handle) {
            SetWhy(why, ErrorText(L"cannot hold", part, ::GetLastError()));
            return false;
        }
        BY_HANDLE_FILE_INFORMATION info = {};
        // The handle's attributes tell a link on Windows; Wine shows a link
        // only in the path's attributes and in the handle's final path.
        const DWORD byPath = ::GetFileAttributesW(part.c_str());
        if ((byPath != INVALID_FILE_ATTRIBUTES && (byPath & FILE_ATTRIBUTE_REPARSE_POINT)) ||
            (part.size() > 3 && !FinalPathIs(handle.get(), part))) {
            SetWhy(why, L"a reparse point (link) at " + part);
            return false;
        }
        if (!IsPlainFolder(handle.get(), &info)) {
            SetWhy(why, (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? L"a reparse point (link) at "
                                                                              : L"not a folder: ") +
                            part);
            return false;
        }
        handles.push_back(std::move(handle));
        folders.push_back(part);
    }
    if (handles.empty() || !FinalPathIs(handles.back().get(), path)) {
        SetWhy(why, L"the folder ends elsewhere than its path says: " + path);
        return false;
    }
    m_handles = std::move(handles);
    m_folders = std::move(folders);
    m_path = path;
    return true;
}

void HeldPath::Release()
{
    // Deepest first, the way they were taken.
    while (!m_handles.empty())
        m_handles.pop_back();
    m_folders.clear();
    m_path.clear();
}

std::vector<std::wstring> AdminBase::HeldFolders() const
{
    std::vector<std::wstring> folders = m_parent.Folders();
    if (m_base)
        folders.push_back(WithoutBackslash(m_path));
    return folders;
}

AdminBase::~AdminBase()
{
    Release();
}

bool AdminBase::Create(const std::wstring& parent, const std::wstring& prefix, std::wstring* why)
{
    Release();
    if (parent.empty() || parent.back() != L'\\') {
        SetWhy(why, L"not a folder path: " + parent);
        return false;
    }
    HeldPath held;
    if (!held.Open(parent, true, why))
        return false;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::wstring name = PrivateFiles::RandomName();
        if (name.empty()) {
            SetWhy(why, L"no random name");
            return false;
        }
        const std::wstring folder = held.Path() + prefix + name;
        // Exclusively: anything already there, folder or link, is never used.
        if (!PrivateFiles::CreateExclusiveFolder(folder))
            continue;
        UniqueHandle base = OpenHeld(folder);
        if (!base) {
            SetWhy(why, ErrorText(L"cannot hold", folder, ::GetLastError()));
            return false;
        }
        if (!IsPlainFolder(base.get())) {
            SetWhy(why, L"not a plain folder: " + folder);
            return false;
        }
        if (!CurrentRules().ownerIsAdministrative(base.get())) {
            SetWhy(why, L"owner is neither Administrators nor SYSTEM: " + folder);
            return false;
        }
        if (!FinalPathIs(base.get(), folder)) {
            SetWhy(why, L"the folder ends elsewhere than its path says: " + folder);
            return false;
        }
        m_parent = std::move(held);
        m_base = std::move(base);
        m_path = folder + L"\\";
        return true;
    }
    SetWhy(why, L"no new folder could be created in " + held.Path());
    return false;
}

bool AdminBase::Remove()
{
    if (!m_base)
        return false;
    const std::wstring folder = WithoutBackslash(m_path);
    // Everything inside, while the base is held: links are removed as links.
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((m_path + L"*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring entry = m_path + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                FileSystem::DeleteDirectoryTree(entry);
            else
                ::DeleteFileW(entry.c_str());
        } while (::FindNextFileW(find.get(), &data));
        find.reset();
    }
    // Then the base itself: the folders above stay held, so its name still
    // names the folder that was made; the same file is checked before it goes.
    BY_HANDLE_FILE_INFORMATION before = {};
    ::GetFileInformationByHandle(m_base.get(), &before);
    m_base.reset();
    bool removed = false;
    if (UniqueHandle again = OpenHeld(folder, DELETE)) {
        BY_HANDLE_FILE_INFORMATION now = {};
        if (IsPlainFolder(again.get(), &now) && now.nFileIndexHigh == before.nFileIndexHigh &&
            now.nFileIndexLow == before.nFileIndexLow && now.dwVolumeSerialNumber == before.dwVolumeSerialNumber) {
            using SetInfoFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
            HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
            auto setInfo = kernel ? reinterpret_cast<SetInfoFn>(
                                        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetFileInformationByHandle")))
                                  : nullptr;
            if (setInfo) {
                FILE_DISPOSITION_INFO dispose = {TRUE};
                removed = setInfo(again.get(), FileDispositionInfo, &dispose, sizeof(dispose)) != FALSE;
                again.reset();
            } else {
                // Windows XP: by name, with the folders above still held.
                again.reset();
                removed = ::RemoveDirectoryW(folder.c_str()) != FALSE;
            }
        }
    }
    if (removed)
        removed = ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
    m_parent.Release();
    m_path.clear();
    return removed;
}

void AdminBase::Release()
{
    m_base.reset();
    m_parent.Release();
    m_path.clear();
}

std::wstring TemporaryRoot()
{
    if (ProcessIsLocalSystem()) {
        const std::wstring windows = CurrentRules().windowsFolder();
        if (!windows.empty()) {
            const std::wstring systemTemp = windows + L"\\SystemTemp";
            DWORD attributes = ::GetFileAttributesW(systemTemp.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                return systemTemp + L"\\";
        }
    }
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring root(temp, length);
    if (root.back() != L'\\')
        root += L'\\';
    return root;
}

bool CreateTemporaryBase(AdminBase& base, const std::wstring& folder, std::wstring* why)
{
    const std::wstring root = TemporaryRoot();
    if (root.empty()) {
        SetWhy(why, L"no temporary folder");
        return false;
    }
    std::wstring first;
    if (base.Create(root + folder + L"\\", L"", &first))
        return true;
    std::wstring second;
    if (base.Create(root, folder + L"-", &second)) {
        SetWhy(why, first);
        return true;
    }
    SetWhy(why, first + L"; " + second);
    return false;
}

}  // namespace SecureFolders
