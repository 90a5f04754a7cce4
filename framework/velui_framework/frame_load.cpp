// Where a frame's page and the page's resources come from: "file://" URLs
// from the view's loader (the UI package), "res:" from the module's
// resources, "this://app/" from the engine's archive; anything else is left
// to the engine.
#include <algorithm>
#include <cwctype>

#include "framework/velui_framework/frame.h"
#include "framework/velui_framework/view.h"
#include "ui/SciterBinding.h"

namespace velui {

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

}  // namespace

bool FileUrlToLoaderPath(const std::wstring& url, std::wstring& path)
{
    if (!StartsWith(url, L"file://"))
        return false;
    path = url.substr(7);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return true;
}

void frame::load_url(const std::wstring& url)
{
    ISciterAPI* api = CSciterBinding::Api();
    std::wstring path;
    if (FileUrlToLoaderPath(url, path) && m_pView && m_pView->m_loader) {
        ResRequest request;
        request.url = path.c_str();
        if (m_pView->m_loader->LoadRes(request)) {
            api->SciterLoadHtml(m_hWnd, request.data, request.size, url.c_str());
            m_pView->m_loader->FreeRes(request);
            return;
        }
    }
    api->SciterLoadFile(m_hWnd, url.c_str());
}

UINT frame::on_load_data(SCN_LOAD_DATA* request)
{
    if (!request->uri)
        return LOAD_OK;
    const std::wstring url = request->uri;
    std::wstring path;
    if (FileUrlToLoaderPath(url, path) && m_pView && m_pView->m_loader) {
        ResRequest res;
        res.url = path.c_str();
        if (m_pView->m_loader->LoadRes(res)) {
            CSciterBinding::Api()->SciterDataReady(request->hwnd ? request->hwnd : m_hWnd, url.c_str(), res.data,
                                                   res.size);
            m_pView->m_loader->FreeRes(res);
            return LOAD_OK;
        }
    }
    ServeOtherUrl(request->hwnd ? request->hwnd : m_hWnd, m_pView ? m_pView->m_hInstance : nullptr, url);
    return LOAD_OK;
}

void ServeOtherUrl(HWND window, HINSTANCE module, const std::wstring& url)
{
    ISciterAPI* api = CSciterBinding::Api();
    if (StartsWith(url, L"res:")) {
        std::wstring name = url.substr(4);
        if (StartsWith(name, L"//"))
            name = name.substr(2);
        if (name.size() > 259)
            name.resize(259);
        std::wstring type;
        size_t dot = name.rfind(L'.');
        if (dot != std::wstring::npos) {
            type = name.substr(dot + 1);
            name.resize(dot);
        }
        std::wstring upper = type;
        for (auto& c : upper)
            c = static_cast<wchar_t>(std::towupper(c));
        const bool html = dot == std::wstring::npos || upper == L"HTML" || upper == L"HTM";
        HRSRC found = ::FindResourceW(module, name.c_str(), html ? MAKEINTRESOURCEW(23) : type.c_str());
        if (!found)
            return;
        HGLOBAL loaded = ::LoadResource(module, found);
        const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
        if (bytes)
            api->SciterDataReady(window, url.c_str(), static_cast<LPCBYTE>(bytes), ::SizeofResource(module, found));
        return;
    }
    if (StartsWith(url, L"this://app/")) {
        std::wstring name = url.substr(11);
        if (StartsWith(name, L"//"))
            name = name.substr(2);
        LPCBYTE data = nullptr;
        UINT size = 0;
        // No archive is ever opened: the lookup finds nothing.
        if (api->SciterGetArchiveItem(nullptr, name.c_str(), &data, &size) && data)
            api->SciterDataReady(window, url.c_str(), data, size);
    }
}

}  // namespace velui
