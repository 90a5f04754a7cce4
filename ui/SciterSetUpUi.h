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
    void StartWhenReady(MessagePtr start) override;
    void OnPageReady() override;

    HWND RootWindow() const { return m_hRootWnd; }
    // Whether the page failed (and the user was told); the UI then ends.
    bool PageFailed() const { return m_bPageFailed; }
    // Fails the page unless it has said it is ready (the ready timer's end).
    void CheckPageReady();

private:
    // Tells the user (PageFailure.h), hides the page and ends the UI without success.
    void FailPage(const std::wstring& reason);

    std::shared_ptr<void> m_unused;
    HWND m_hRootWnd = nullptr;
    HINSTANCE m_hInstance;
    std::wstring m_page;
    std::wstring m_language;
    MessagePtr m_pendingStart;  // held until the page is ready
    bool m_bPageFailed = false;
};

// Process-wide state of the page UI.
extern HWND g_root_hwnd;
extern SciterView* g_view;

// The window procedure of class "DeskTopInstall".
LRESULT CALLBACK root_wndproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
