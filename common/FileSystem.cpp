#include "common/FileSystem.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "common/Handles.h"
#include "common/XLog.h"

namespace FileSystem {

namespace {

const wchar_t kLongPrefix[] = L"\\\\?\\";

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::wstring::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

bool IsExistingFolder(const std::wstring& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

size_t WriteStringToFile(const std::wstring& path, const std::string& bytes)
{
    FILE* file = nullptr;
    if (_wfopen_s(&file, path.c_str(), L"wb") != 0 || !file)
        return 0;
    size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return written;
}

HRESULT WriteBufferToFile(const wchar_t* pszFile, const void* pvData, DWORD uSize)
{
    if (!XCHECK(pszFile && pszFile[0]))
        return E_INVALIDARG;
    ::SetLastError(0);
    HANDLE hFile = ::CreateFileW(pszFile, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!XCHECK(hFile != INVALID_HANDLE_VALUE))
        return E_FAIL;
    UniqueHandle closer(hFile);
    ::SetLastError(0);
    DWORD uWrite = 0;
    if (!XCHECK(::WriteFile(hFile, pvData, uSize, &uWrite, 0) && uWrite == uSize))
        return E_FAIL;
    // OPEN_ALWAYS keeps an existing file's tail: cut it after the new bytes.
    ::SetEndOfFile(hFile);
    return S_OK;
}

std::string ReadFileToString(const std::wstring& path, bool binary)
{
    std::wstring openable = ToOpenablePath(path);
    std::ifstream stream(openable.c_str(), binary ? std::ios::in | std::ios::binary : std::ios::in);
    if (stream.fail())
        return std::string();
    std::ostringstream content;
    content << stream.rdbuf();
    return content.str();
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes, unsigned long long maxBytes)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size {};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() || (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                             read == bytes.size());
}

bool PathExists(const wchar_t* pszPath)
{
    if (!XCHECK(pszPath && pszPath[0]))
        return false;
    return ::PathFileExistsW(pszPath) != FALSE;
}

bool CreateDirectoryTree(const std::wstring& input)
{
    if (input.size() <= 3)
        return false;
    if (IsExistingFolder(input))
        return true;
    std::wstring path = ToLongPath(input);
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return true;
    DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS)
        return true;
    if (error != ERROR_PATH_NOT_FOUND)
        return false;
    size_t i = path.rfind(L'\\');
    if (i != std::wstring::npos && i == path.size() - 1)
        i = i == 0 ? std::wstring::npos : path.rfind(L'\\', i - 1);
    if (i == std::wstring::npos || i == 0)
        return false;
    if (!CreateDirectoryTree(path.substr(0, i)))
        return false;
    return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

namespace {

bool IsLink(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A link (symbolic link, junction, mount point) is removed as what it is:
// RemoveDirectoryW and DeleteFileW act on the link, never on its target.
bool RemoveLink(const std::wstring& path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ::RemoveDirectoryW(path.c_str()) != FALSE;
    return ::DeleteFileW(path.c_str()) != FALSE;
}

// A read-only file is deleted on its own handle: the read-only flag is
// cleared, the file marked for deletion and the flag set again, all on that
// handle. Attributes belong to the file, not to one of its names: a hard link
// of a file elsewhere keeps its read-only flag (clearing it by path would
// change every name of the file).
void DeleteReadOnlyFile(const std::wstring& path)
{
    // Vista and later; Windows XP has no way to do it on a handle.
    using GetInfoFn = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    using SetInfoFn = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto getInfo = kernel ? reinterpret_cast<GetInfoFn>(
                                reinterpret_cast<void*>(::GetProcAddress(kernel, "GetFileInformationByHandleEx")))
                          : nullptr;
    auto setInfo = kernel ? reinterpret_cast<SetInfoFn>(
                                reinterpret_cast<void*>(::GetProcAddress(kernel, "SetFileInformationByHandle")))
                          : nullptr;
    if (!getInfo || !setInfo) {
        // Windows XP: by path, and only a file with this one name.
        UniqueHandle probe(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        BY_HANDLE_FILE_INFORMATION info = {};
        if (!probe || !::GetFileInformationByHandle(probe.get(), &info) || info.nNumberOfLinks != 1 ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return;
        probe.reset();
        if (::SetFileAttributesW(path.c_str(), info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY))
            ::DeleteFileW(path.c_str());
        return;
    }
    UniqueHandle file(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return;
    FILE_BASIC_INFO basic = {};
    if (!getInfo(file.get(), FileBasicInfo, &basic, sizeof(basic)) ||
        (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return;
    FILE_BASIC_INFO writable = basic;
    writable.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (writable.FileAttributes == 0)
        writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!setInfo(file.get(), FileBasicInfo, &writable, sizeof(writable)))
        return;
    FILE_DISPOSITION_INFO dispose = {TRUE};
    setInfo(file.get(), FileDispositionInfo, &dispose, sizeof(dispose));
    // The other names of the file (if any) keep what they had.
    setInfo(file.get(), FileBasicInfo, &basic, sizeof(basic));
}

void DeleteEntryFile(const std::wstring& path, DWORD attributes, TreeDelete mode)
{
    if (::DeleteFileW(path.c_str()) || mode != TreeDelete::ClearReadOnly)
        return;
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !IsLink(attributes))
        DeleteReadOnlyFile(path);
}

// `path` is in long form without a trailing backslash and was seen as a plain folder.
bool DeleteFolder(const std::wstring& path, TreeDelete mode)
{
    // The open handle keeps the folder from being renamed or replaced by a link
    // while its entries are listed; a folder that turns out to be a link now is
    // removed as a link.
    UniqueHandle pin(::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!pin)
        return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(pin.get(), &info))
        return false;
    if (IsLink(info.dwFileAttributes)) {
        pin.reset();
        return RemoveLink(path, info.dwFileAttributes);
    }
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring entry = path + L"\\" + name;
            if (IsLink(data.dwFileAttributes))
                RemoveLink(entry, data.dwFileAttributes);
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteFolder(entry, mode);
            else
                DeleteEntryFile(entry, data.dwFileAttributes, mode);
        } while (::FindNextFileW(find.get(), &data));
        find.reset();
    }
    pin.reset();
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

}  // namespace

bool DeleteDirectoryTree(const std::wstring& input, TreeDelete mode)
{
    std::wstring path = ToLongPath(input);
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    if (IsLink(attributes))
        return RemoveLink(path, attributes);
    return DeleteFolder(path, mode);
}

std::wstring GetModuleDirectory()
{
    // The folder is handled in full, however long, rather than cut at a fixed buffer.
    std::vector<wchar_t> module(MAX_PATH);
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
        if (length == 0)
            return std::wstring();
        if (length < module.size())
            break;
        module.resize(module.size() * 2);
    }
    std::wstring path(module.data());
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::string GetProgramFilesPathA()
{
    UniqueCoTaskMem<ITEMIDLIST> list;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES, list.put())) || !list)
        return std::string();
    char buffer[270] = {};
    BOOL ok = ::SHGetPathFromIDListA(list.get(), buffer);
    return ok ? std::string(buffer) : std::string();
}

std::wstring GetSpecialFolderPath(int csidl)
{
    UniqueCoTaskMem<ITEMIDLIST> list;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, list.put())) || !list)
        return std::wstring();
    wchar_t buffer[270] = {};
    BOOL ok = ::SHGetPathFromIDListW(list.get(), buffer);
    return ok ? std::wstring(buffer) : std::wstring();
}

std::wstring GetFileNameFromPath(const wchar_t* pszFilePath)
{
    if (!XCHECK(pszFilePath && pszFilePath[0]))
        return std::wstring();
    std::wstring path(pszFilePath);
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring GetParentPath(const wchar_t* pszPath)
{
    if (!XCHECK(pszPath && pszPath[0]))
        return std::wstring();
    std::wstring path(pszPath);
    if (path.find_first_not_of(L"\\/") == std::wstring::npos)
        return path;
    while (!path.empty() && IsSeparator(path.back()))
        path.pop_back();
    size_t cut = path.find_last_of(L"\\/");
    if (cut != std::wstring::npos)
        path.erase(cut + 1);
    return path;
}

std::wstring ToLongPath(const std::wstring& input)
{
    std::wstring path = input;
    if (path.compare(0, 4, kLongPrefix) == 0)
        path.erase(0, 4);
    ReplaceAll(path, L"\\\\", L"\\");
    ReplaceAll(path, L"//", L"\\");
    return kLongPrefix + path;
}

std::wstring ToOpenablePath(const std::wstring& path)
{
    std::wstring p = ToLongPath(path);
    if (p.size() >= MAX_PATH) {
        DWORD size = ::GetShortPathNameW(p.c_str(), nullptr, 0);
        if (size != 0) {
            std::vector<wchar_t> buffer(size);
            DWORD got = ::GetShortPathNameW(p.c_str(), buffer.data(), size);
            if (got != 0 && got < size)
                p.assign(buffer.data(), got);
        }
    }
    return p;
}

std::wstring ReadIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key)
{
    wchar_t buffer[1048] = {};
    ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, 1048, file.c_str());
    return std::wstring(buffer);
}

bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value)
{
    return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()) == 1;
}

}  // namespace FileSystem
