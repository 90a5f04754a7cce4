#include "framework/velui_framework/ResizeFrameBase.h"

namespace velui {

namespace {

bool Inside(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace

void CResizeFrameBase::enable_resize(HWND window, bool on)
{
    m_bEnabled = on;
    if (!on || !::IsWindow(window))
        return;
    ::SetWindowLongPtrW(window, GWL_STYLE, ::GetWindowLongPtrW(window, GWL_STYLE) | WS_THICKFRAME);
    // The frame is recomputed at once: from now on all of the window is client area.
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CResizeFrameBase::HitTest(const RECT& client, POINT p) const
{
    const RECT inner = {client.left + m_borderLeft, client.top + m_borderTop, client.right - m_borderRight,
                        client.bottom - m_borderBottom};
    if (Inside(inner, p))
        return HTCLIENT;
    const int extra = m_corner + 1;
    const int left = m_borderLeft + extra, top = m_borderTop + extra;
    const int right = m_borderRight + extra, bottom = m_borderBottom + extra;
    const RECT bottomRight = {client.right - right, client.bottom - bottom, client.right, client.bottom};
    const RECT topLeft = {client.left, client.top, client.left + left, client.top + top};
    const RECT topRight = {client.right - right, client.top, client.right, client.top + top};
    const RECT bottomLeft = {client.left, client.bottom - bottom, client.left + left, client.bottom};
    if (Inside(bottomRight, p))
        return HTBOTTOMRIGHT;
    if (Inside(topLeft, p))
        return HTTOPLEFT;
    if (Inside(topRight, p))
        return HTTOPRIGHT;
    if (Inside(bottomLeft, p))
        return HTBOTTOMLEFT;
    if (Inside(RECT {client.right - m_borderRight, client.top, client.right, client.bottom}, p))
        return HTRIGHT;
    if (Inside(RECT {client.left, client.bottom - m_borderBottom, client.right, client.bottom}, p))
        return HTBOTTOM;
    if (Inside(RECT {client.left, client.top, client.right, client.top + m_borderTop}, p))
        return HTTOP;
    if (Inside(RECT {client.left, client.top, client.left + m_borderLeft, client.bottom}, p))
        return HTLEFT;
    return HTCLIENT;
}

bool CResizeFrameBase::resize_on_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_SIZE) {
        m_bMaximized = wParam == SIZE_MAXIMIZED;
        m_bMinimized = wParam == SIZE_MINIMIZED;
        return false;
    }
    if (!m_bEnabled)
        return false;
    switch (message) {
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
        result = 0;
        return true;
    case WM_NCHITTEST: {
        if (m_bMaximized || m_bMinimized || ::IsZoomed(window) || ::IsIconic(window)) {
            result = HTCLIENT;
            return true;
        }
        POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ScreenToClient(window, &p);
        RECT client {};
        ::GetClientRect(window, &client);
        result = HitTest(client, p);
        return true;
    }
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (!info)
            return false;
        MONITORINFO monitor {};
        monitor.cbSize = sizeof(monitor);
        if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
            m_workArea = monitor.rcWork;
        else
            ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &m_workArea, 0);
        if (minWidth > 0)
            info->ptMinTrackSize.x = minWidth;
        if (minHeight > 0)
            info->ptMinTrackSize.y = minHeight;
        // Maximised onto the work area of the window's monitor, not over the taskbar.
        info->ptMaxPosition.x = m_workArea.left - monitor.rcMonitor.left;
        info->ptMaxPosition.y = m_workArea.top - monitor.rcMonitor.top;
        info->ptMaxSize.x = m_workArea.right - m_workArea.left;
        info->ptMaxSize.y = m_workArea.bottom - m_workArea.top;
        const bool maximized = m_bMaximized || ::IsZoomed(window);
        if (maxWidth > 0)
            info->ptMaxTrackSize.x = maxWidth;
        else if (maximized)
            info->ptMaxTrackSize.x = info->ptMaxSize.x;
        if (maxHeight > 0)
            info->ptMaxTrackSize.y = maxHeight;
        else if (maximized)
            info->ptMaxTrackSize.y = info->ptMaxSize.y;
        result = 0;
        return true;
    }
    case WM_NCACTIVATE:
        if (m_bMinimized || ::IsIconic(window))
            return false;
        result = !wParam;
        return true;
    default:
        return false;
    }
}

}  // namespace velui
