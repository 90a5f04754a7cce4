#pragma once
// The interactive UI: page windows run by the HTML engine on the UI thread,
// fed with the workflow's messages through the root window's queue.
#include <windows.h>

#include <memory>

#include "ui/SciterView.h"
#include "ui/SetupUI.h"

class CSciterSetUpUi : public iSetupUI, public std::enable_shared_from_this<CSciterSetUpUi> {
public:
    // mode "install" gives the window class icon 170, anything else 107.
    CSciterSetUpUi(HINSTANCE module, const std::wstring& mode, const std::wstring& uiFolder);
    ~CSciterSetUpUi() override;

    void ShowPage(const std::wstring& page, const std::wstring& params) override;
    // Dispatches the UI thread's messages until WM_QUIT, then drops the view.
    void Run() override;
    // Any thread: copies the message and posts it to the root window.
    void OnEngineMessage(MessagePtr message) override;

    HWND RootWindow() const { return m_hRootWnd; }

private:
    std::shared_ptr<void> m_unused;
    HWND m_hRootWnd = nullptr;
    HINSTANCE m_hInstance;
};

// Process-wide state of the page UI.
extern HWND g_root_hwnd;
extern SciterView* g_view;

// The window procedure of class "DeskTopInstall".
LRESULT CALLBACK root_wndproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
