#include "common/ProgramFolders.h"

#include <windows.h>
#include <shlobj.h>

#include <filesystem>

#include "common/PrivateFiles.h"

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
    std::wstring p = WithBackslash(path), f = WithBackslash(folder);
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

Created Create(const std::wstring& path, std::error_code& error)
{
    error.clear();
    Created result;
    std::wstring top = TopmostMissingFolder(path);
    if (!top.empty() && !IsUnderProgramFiles(top) && PrivateFiles::CreateExclusiveFolder(top))
        result.privateFolder = top;
    bool created = std::filesystem::create_directories(std::filesystem::path(path), error);
    if (!result.privateFolder.empty() && error)
        error.clear();
    result.any = created || !result.privateFolder.empty();
    return result;
}

}  // namespace ProgramFolders
