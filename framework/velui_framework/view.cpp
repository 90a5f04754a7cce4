#include "framework/velui_framework/view.h"

#include "framework/velui_framework/behavior_mini_window.h"
#include "framework/velui_framework/frame.h"

namespace velui {

const wchar_t kWindowClassName[] = L"DeskTopInstall";

view::view(HINSTANCE module) : m_hInstance(module), m_className(kWindowClassName)
{
    behavior_mini_window::register_factory();
}

view::~view() = default;

std::shared_ptr<frame> view::create_frame(const std::wstring& url, HWND window, const std::string& name)
{
    auto f = std::make_shared<frame>();
    f->m_strName = name;
    f->m_pView = this;
    f->attach_and_load(url, window);
    return f;
}

void BringWindowToFront(HWND window)
{
    if (::IsIconic(window)) {
        ::ShowWindow(window, SW_RESTORE);
    } else {
        ::ShowWindow(window, SW_SHOW);
        ::UpdateWindow(window);
    }
    HWND foreground = ::GetForegroundWindow();
    DWORD foreignThread = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
    DWORD ownThread = ::GetCurrentThreadId();
    BOOL attached = FALSE;
    if (foreignThread && foreignThread != ownThread)
        attached = ::AttachThreadInput(ownThread, foreignThread, TRUE);
    ::SetFocus(window);
    ::AllowSetForegroundWindow(::GetCurrentProcessId());
    ::SetForegroundWindow(window);
    ::BringWindowToTop(window);
    if (attached)
        ::AttachThreadInput(ownThread, foreignThread, FALSE);
}

}  // namespace velui
