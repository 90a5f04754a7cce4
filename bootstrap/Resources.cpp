#include "bootstrap/Resources.h"

#include <cstring>

#include "bootstrap/ResourceIds.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/PrivateFiles.h"

namespace {

struct ResourceBytes {
    const char* data = nullptr;
    DWORD size = 0;
};

ResourceBytes FindBytes(HMODULE module, const wchar_t* type, int id)
{
    ResourceBytes bytes;
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!info)
        return bytes;
    HGLOBAL loaded = ::LoadResource(module, info);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return bytes;
    bytes.data = static_cast<const char*>(data);
    bytes.size = ::SizeofResource(module, info);
    return bytes;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool WriteResourceToFile(HMODULE module, const std::wstring& path, const wchar_t* type, int id)
{
    std::wstring parent = FileSystem::GetParentPath(path.c_str());
    if (!parent.empty() && !IsFolder(parent))
        FileSystem::CreateDirectoryTree(parent);
    UniqueHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return false;
    ResourceBytes bytes = FindBytes(module, type, id);
    if (bytes.size == 0)
        return true;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data, bytes.size, &written, nullptr) && written == bytes.size;
}

UniqueHandle WritePinnedResource(HMODULE module, const std::wstring& path, const wchar_t* type, int id)
{
    std::wstring parent = FileSystem::GetParentPath(path.c_str());
    if (!parent.empty() && !IsFolder(parent))
        FileSystem::CreateDirectoryTree(parent);
    // A missing resource leaves an empty file, which then fails to start.
    ResourceBytes bytes = FindBytes(module, type, id);
    return PrivateFiles::WritePinnedFile(path, bytes.size ? std::string(bytes.data, bytes.size) : std::string());
}

std::string ReadResourceText(HMODULE module, const wchar_t* type)
{
    ResourceBytes bytes = FindBytes(module, type, IDR_CHANNEL_TEXT);
    if (!bytes.data)
        return std::string();
    const void* zero = std::memchr(bytes.data, 0, bytes.size);
    size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes.data) : bytes.size;
    return std::string(bytes.data, length);
}
