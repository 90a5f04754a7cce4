#include "tests/ui/PageWindowFixture.h"

#include "tests/support/TestSupport.h"

PageWindow::PageWindow(const wchar_t* title, const wchar_t* page, RECT at, DWORD exStyle)
{
    m_ui = std::make_shared<CSciterSetUpUi>(::GetModuleHandleW(nullptr), L"install", L"");
    window = ::CreateWindowExW(exStyle, L"DeskTopInstall", title, WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX, at.left,
                               at.top, at.right - at.left, at.bottom - at.top, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    if (window && g_view)
        frame = g_view->create_frame(page, window, "page");
}

PageWindow::~PageWindow()
{
    frame.reset();
    if (::IsWindow(window))
        ::DestroyWindow(window);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    m_ui.reset();
}

std::wstring PageWindow::PageLineAfter(const std::function<void()>& action, const std::wstring& prefix)
{
    static const std::wstring kPagePrefix = L"stagehand.exe=>EventOutputDebugStringAAHandler:";
    DebugCapture capture;
    action();
    std::wstring found = L"<none>";
    for (const auto& line : capture.Lines())
        if (line.compare(0, kPagePrefix.size() + prefix.size(), kPagePrefix + prefix) == 0)
            found = line.substr(kPagePrefix.size() + prefix.size());
    return found;
}

RECT WindowRect(HWND window)
{
    RECT r {};
    ::GetWindowRect(window, &r);
    return r;
}

RECT Grown(RECT r, int size, int dx, int dy)
{
    return RECT {r.left - size + dx, r.top - size + dy, r.right + size + dx, r.bottom + size + dy};
}
