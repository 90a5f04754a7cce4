#include "framework/velui_framework/behavior_mini_window.h"

#include <algorithm>
#include <atomic>

#include "framework/velui_framework/frame.h"
#include "framework/velui_framework/view.h"

namespace velui {

namespace {

std::atomic<bool> g_registered {false};

void CALLBACK ReceiveText(LPCWSTR text, UINT count, LPVOID param)
{
    if (text)
        static_cast<std::wstring*>(param)->assign(text, count);
}

std::wstring Attribute(HELEMENT he, const char* name)
{
    std::wstring text;
    CSciterBinding::Api()->SciterGetAttributeByNameCB(he, name, &ReceiveText, &text);
    return text;
}

}  // namespace

void behavior_mini_window::register_factory()
{
    g_registered.store(true);
}

bool behavior_mini_window::create(const char* name, view* owner, SCN_ATTACH_BEHAVIOR* request)
{
    if (!g_registered.load() || !owner || std::string(name) != "mini-window")
        return false;
    auto* behaviour = new behavior_mini_window(owner);
    request->elementProc = &behavior_mini_window::element_proc;
    request->elementTag = behaviour;
    return true;
}

BOOL CALLBACK behavior_mini_window::element_proc(LPVOID tag, HELEMENT he, UINT group, LPVOID params)
{
    auto* self = static_cast<behavior_mini_window*>(tag);
    if (!self || group != HANDLE_INITIALIZATION || !params)
        return FALSE;
    if (static_cast<INITIALIZATION_PARAMS*>(params)->cmd == BEHAVIOR_ATTACH) {
        self->attached(he);
    } else {
        self->detached();
        delete self;  // the engine drops the handler with its element
    }
    return FALSE;
}

void behavior_mini_window::attached(HELEMENT he)
{
    ISciterAPI* api = CSciterBinding::Api();
    const std::wstring name = Attribute(he, "name");
    const std::wstring src = Attribute(he, "src");
    const std::wstring type = Attribute(he, "type");
    HWND top = nullptr;
    api->SciterGetElementHwnd(he, &top, TRUE);
    m_hTop = top;
    if (type.empty()) {
        m_hWnd = ::CreateWindowExW(0, m_pView->m_className, name.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, top,
                                   nullptr, m_pView->m_hInstance, nullptr);
        if (!m_hWnd)
            return;
        m_pView->create_frame(src, m_hWnd, "");
        api->SciterAttachHwndToElement(he, m_hWnd);
    } else if (type == L"mask") {
        m_bMask = true;
        m_hWnd = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_APPWINDOW, m_pView->m_className, name.c_str(),
                                   WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, top, nullptr, m_pView->m_hInstance, nullptr);
        if (!m_hWnd)
            return;
        m_pView->create_frame(src, m_hWnd, "");
        if (auto owner = m_pView->find_frame_by_hwnd(top))
            owner->m_followers.push_back(m_hWnd);
    } else {
        HWND made = m_pView->create_mini_window(name, type, src, top);
        if (made)
            api->SciterAttachHwndToElement(he, made);
    }
}

void behavior_mini_window::detached()
{
    if (!m_hWnd)
        return;
    if (m_bMask) {
        if (auto owner = m_pView->find_frame_by_hwnd(m_hTop)) {
            auto& list = owner->m_followers;
            list.erase(std::remove(list.begin(), list.end(), m_hWnd), list.end());
        }
    }
    m_pView->remove_frame(m_hWnd);
    if (::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

}  // namespace velui
