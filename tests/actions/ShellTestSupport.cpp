#include "tests/actions/ShellTestSupport.h"

#include <shlobj.h>

#include <filesystem>

#include "common/FileSystem.h"
#include "common/Handles.h"

LinkInfo ReadLink(const std::wstring& path)
{
    LinkInfo info;
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
        return info;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) || FAILED(file->Load(path.c_str(), STGM_READ)))
        return info;
    info.loaded = true;
    wchar_t buffer[1024] = {};
    if (SUCCEEDED(link->GetPath(buffer, 1024, nullptr, SLGP_RAWPATH)))
        info.target = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetArguments(buffer, 1024)))
        info.arguments = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetWorkingDirectory(buffer, 1024)))
        info.workingFolder = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetDescription(buffer, 1024)))
        info.description = buffer;
    buffer[0] = 0;
    int index = -1;
    if (SUCCEEDED(link->GetIconLocation(buffer, 1024, &index))) {
        info.icon = buffer;
        info.iconIndex = index;
    }
    link->GetShowCmd(&info.showCmd);
    return info;
}

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Touch(const std::wstring& path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    FileSystem::WriteStringToFile(path, "x");
}

std::wstring UniqueName(const std::wstring& stem)
{
    return stem + std::to_wstring(::GetCurrentProcessId());
}
