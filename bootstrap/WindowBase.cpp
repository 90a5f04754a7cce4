#include "bootstrap/WindowBase.h"

#include <cstdio>
#include <typeinfo>

CWindowBase::~CWindowBase()
{
    Destroy();
}

std::wstring CWindowBase::ClassName() const
{
    // One class per derived type, named after its type information.
    wchar_t name[64];
    std::swprintf(name, 64, L"Larkspur:%p", static_cast<const void*>(&typeid(*this)));
    return name;
}

HWND CWindowBase::Create(HINSTANCE instance, HWND parent, const RECT& rect, const wchar_t* title, DWORD style,
                         DWORD exStyle)
{
    if (m_hWnd)
        return nullptr;
    std::wstring className = ClassName();
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (!::GetClassInfoExW(instance, className.c_str(), &existing)) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        FillClass(wc);
        wc.lpfnWndProc = &CWindowBase::WindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = className.c_str();
        if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return nullptr;
    }
    return ::CreateWindowExW(exStyle, className.c_str(), title, style, rect.left, rect.top, rect.right - rect.left,
                             rect.bottom - rect.top, parent, nullptr, instance, this);
}

void CWindowBase::Destroy()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CWindowBase::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowBase* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<CWindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CWindowBase*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    bool handled = self->ProcessWindowMessage(hwnd, message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        if (!handled)
            result = ::DefWindowProcW(hwnd, message, wParam, lParam);
        self->OnFinalMessage(hwnd);
        return result;
    }
    return handled ? result : ::DefWindowProcW(hwnd, message, wParam, lParam);
}
