#include "ui/ResLoaders.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "common/CodeChange.h"
#include "common/Handles.h"

CResLoader::~CResLoader()
{
    for (auto& entry : m_cache)
        delete[] entry.second.data;
}

bool CResLoader::FromCache(const std::wstring& path, const BYTE** data, UINT* size) const
{
    auto it = m_cache.find(path);
    if (it == m_cache.end())
        return false;
    *data = it->second.data;
    *size = it->second.size;
    return true;
}

void CResLoader::Cache(const std::wstring& path, BYTE* data, UINT size)
{
    auto it = m_cache.find(path);
    if (it != m_cache.end())
        delete[] it->second.data;
    m_cache[path] = Cached {data, size};
}

bool CResLoader::Uncache(const std::wstring& path)
{
    auto it = m_cache.find(path);
    if (it == m_cache.end())
        return false;
    delete[] it->second.data;
    m_cache.erase(it);
    return true;
}

namespace {

bool IsHttp(const std::wstring& path)
{
    return path.size() > 7 && path.compare(0, 7, L"http://") == 0;
}

}  // namespace

CUidatLoader::CUidatLoader(const std::string& image)
{
    m_files.Parse(image);
}

bool CUidatLoader::LoadFile(const std::wstring& path, const BYTE** data, UINT* size)
{
    if (!data || !size || IsHttp(path))
        return false;
    if (FromCache(path, data, size))
        return true;
    if (path.find(L':') != std::wstring::npos)
        return false;
    std::string name = CCodeChange::StringUTF16toUTF8(path);
    if (name.empty())
        return false;
    if (name[0] != '/')
        name.insert(0, "/");
    std::replace(name.begin(), name.end(), '\\', '/');
    for (auto& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    const size_t first = name.find_first_not_of(' ');
    const size_t last = name.find_last_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    const std::string bytes = m_files.GetFile(name);
    if (bytes.empty())
        return false;
    auto* copy = new (std::nothrow) BYTE[bytes.size() + 1];
    if (!copy)
        return false;
    std::memcpy(copy, bytes.data(), bytes.size());
    copy[bytes.size()] = 0;
    Cache(path, copy, static_cast<UINT>(bytes.size()));
    *data = copy;
    *size = static_cast<UINT>(bytes.size());
    return true;
}

CFileResLoader::CFileResLoader(const std::wstring& root) : m_root(root.substr(0, MAX_PATH)) { }

bool CFileResLoader::LoadFile(const std::wstring& path, const BYTE** data, UINT* size)
{
    if (!data || !size || IsHttp(path))
        return false;
    if (FromCache(path, data, size))
        return true;
    std::wstring file;
    if (path.find(L':') != std::wstring::npos) {
        file = path.substr(0, MAX_PATH);
    } else {
        wchar_t buffer[MAX_PATH] = {};
        wcsncpy(buffer, m_root.c_str(), MAX_PATH - 1);
        if (!::PathAppendW(buffer, path.c_str()))
            return false;
        file = buffer;
    }
    HANDLE raw = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE)
        return false;
    UniqueHandle handle(raw);
    LARGE_INTEGER length {};
    if (!::GetFileSizeEx(raw, &length) || length.QuadPart < 1 || length.QuadPart > 1048576)
        return false;
    const DWORD bytes = static_cast<DWORD>(length.QuadPart);
    auto* buffer = new (std::nothrow) BYTE[bytes];
    if (!buffer)
        return false;
    DWORD read = 0;
    if (!::ReadFile(raw, buffer, bytes, &read, nullptr) || read != bytes) {
        delete[] buffer;
        return false;
    }
    Cache(path, buffer, bytes);
    *data = buffer;
    *size = bytes;
    return true;
}

std::string ReadBinResource(HMODULE module, int id)
{
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"BIN");
    if (!found)
        return std::string();
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return std::string();
    return std::string(static_cast<const char*>(bytes), ::SizeofResource(module, found));
}

MyResLoader::MyResLoader(HMODULE module) : m_module(module) { }

MyResLoader::~MyResLoader()
{
    for (CResLoader* loader : m_chain)
        delete loader;
}

bool MyResLoader::Init()
{
    AddLoader("filemap", L"");
    return true;
}

void MyResLoader::AddLoader(const std::string& kind, const std::wstring& path)
{
    if (kind == "filemap") {
        m_chain.push_back(new CUidatLoader(ReadBinResource(m_module, 173)));
    } else if (kind == "file") {
        const std::wstring root = path.substr(0, MAX_PATH);
        if (::PathFileExistsW(root.c_str()))
            m_chain.push_back(new CFileResLoader(root));
    }
}

bool MyResLoader::LoadRes(velui::ResRequest& request)
{
    if (m_chain.empty() || !request.url)
        return false;
    const std::wstring url = request.url;
    for (CResLoader* loader : m_chain) {
        const BYTE* data = nullptr;
        UINT size = 0;
        if (loader->LoadFile(url, &data, &size)) {
            request.data = data;
            request.size = size;
            m_served[url] = loader;
            return true;
        }
    }
    return false;
}

void MyResLoader::FreeRes(velui::ResRequest& request)
{
    if (!request.url)
        return;
    auto it = m_served.find(request.url);
    if (it == m_served.end())
        return;
    it->second->FreeFile(it->first);
    m_served.erase(it);
}
