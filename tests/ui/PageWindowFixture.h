#pragma once
// One real page window on the display, bound to a frame of the test's view
// (whose pages come from the test package), for the frame-part tests.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/velui_framework/frame.h"
#include "ui/SciterSetUpUi.h"

class PageWindow {
public:
    PageWindow(const wchar_t* title, const wchar_t* page, RECT at, DWORD exStyle = 0);
    ~PageWindow();
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    HWND window = nullptr;
    std::shared_ptr<velui::frame> frame;
    // What the page said through OutputDebugStringAA while `action` ran.
    std::wstring PageLineAfter(const std::function<void()>& action, const std::wstring& prefix);

private:
    std::shared_ptr<CSciterSetUpUi> m_ui;
};

RECT WindowRect(HWND window);
// The rectangle grown by `size` and moved by the offsets.
RECT Grown(RECT r, int size, int dx, int dy);
