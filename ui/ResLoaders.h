#pragma once
// The loaders behind the page windows' "file://" requests: the UI package
// loader, a folder loader, and the chain that asks them in turn.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/velui_framework/iResLoader.h"
#include "ui/MemFiles.h"

class CResLoader {
public:
    virtual const wchar_t* GetRootPath() = 0;
    // The bytes for a path; they stay valid until FreeFile of the same path.
    virtual bool LoadFile(const std::wstring& path, const BYTE** data, UINT* size) = 0;
    virtual bool FreeFile(const std::wstring& path) = 0;
    virtual ~CResLoader();

protected:
    struct Cached {
        BYTE* data;
        UINT size;
    };
    bool FromCache(const std::wstring& path, const BYTE** data, UINT* size) const;
    void Cache(const std::wstring& path, BYTE* data, UINT size);
    bool Uncache(const std::wstring& path);
    std::map<std::wstring, Cached> m_cache;  // keyed by the path exactly as requested
};

// Serves the files of the UI package, by case-insensitive name.
class CUidatLoader : public CResLoader {
public:
    explicit CUidatLoader(const std::string& image);
    const wchar_t* GetRootPath() override { return L""; }
    bool LoadFile(const std::wstring& path, const BYTE** data, UINT* size) override;
    bool FreeFile(const std::wstring& path) override { return Uncache(path); }

private:
    MemFiles m_files;
};

// Serves files from a folder on disk (1 byte to 1 MiB each).
class CFileResLoader : public CResLoader {
public:
    explicit CFileResLoader(const std::wstring& root);
    const wchar_t* GetRootPath() override { return m_root.c_str(); }
    bool LoadFile(const std::wstring& path, const BYTE** data, UINT* size) override;
    bool FreeFile(const std::wstring& path) override { return Uncache(path); }

private:
    std::wstring m_root;
};

class MyResLoader : public velui::iResLoader {
public:
    explicit MyResLoader(HMODULE module);
    ~MyResLoader() override;
    MyResLoader(const MyResLoader&) = delete;
    MyResLoader& operator=(const MyResLoader&) = delete;

    bool LoadRes(velui::ResRequest& request) override;
    void FreeRes(velui::ResRequest& request) override;
    // Registers the package loader ("filemap").
    bool Init() override;
    // "filemap": the module's "BIN" 173; "file": the folder, when it exists.
    void AddLoader(const std::string& kind, const std::wstring& path);
    size_t LoaderCount() const { return m_chain.size(); }

private:
    std::map<std::wstring, CResLoader*> m_served;
    std::vector<CResLoader*> m_chain;  // owned, in registration order
    HMODULE m_module;
};

// The bytes of a module resource of type "BIN" (empty when missing).
std::string ReadBinResource(HMODULE module, int id);
