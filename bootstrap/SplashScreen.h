#pragma once
// The splash picture: its own thread and message loop, a message-only
// request window the main thread posts to, and the picture window.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "bootstrap/Splash.h"
#include "bootstrap/SplashPicture.h"
#include "bootstrap/WindowBase.h"
#include "common/Handles.h"

// Private requests, posted only to the request window (wParam, lParam 0).
const UINT WM_SPLASH_QUIT = WM_USER + 1000;   // 2024: close, then end the loop
const UINT WM_SPLASH_SHOW = WM_USER + 1001;   // 2025: create and show the window
const UINT WM_SPLASH_CLOSE = WM_USER + 1002;  // 2026: close the window

extern const wchar_t kSplashRequestClass[];

// Where a window of `width` x `height` goes when centred in `workArea`,
// kept inside it and at its left and top edges when it does not fit.
POINT CentreInWorkArea(const RECT& workArea, int width, int height);

// The picture window: a disabled, non-activating tool window showing the
// picture opaque, or grey without one.
class CSimpleFrame : public CWindowBase {
public:
    CSimpleFrame(CSplashPicture& picture, std::wstring picturePath)
        : m_picture(picture), m_wstrPicturePath(std::move(picturePath))
    {
    }

protected:
    void FillClass(WNDCLASSEXW& wc) const override;
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnCreate(HWND hwnd);
    void OnPaint(HWND hwnd);

    CSplashPicture& m_picture;
    std::wstring m_wstrPicturePath;
};

class CSplashScreen : public iSplash {
public:
    // The picture is resource "PNG" 141 of `resources`.
    explicit CSplashScreen(HMODULE resources) : m_hResources(resources) { }
    ~CSplashScreen() override;
    CSplashScreen(const CSplashScreen&) = delete;
    CSplashScreen& operator=(const CSplashScreen&) = delete;

    bool ShowSplash(const std::wstring& workFolder) override;
    void CloseSplash() override;

    bool IsShown() const { return m_bShown; }
    bool IsRunning() const { return m_bRunning; }
    HWND RequestWindow() const { return m_hRequest; }
    HWND SplashWindow() const { return m_hSplash; }

private:
    static DWORD WINAPI ThreadProc(void* param);
    void ThreadMain();
    void OnRequest(HWND hwnd, UINT message);
    bool StartThread();

    HMODULE m_hResources;
    std::wstring m_wstrPicturePath;
    std::atomic<bool> m_bShown {false};
    std::atomic<bool> m_bRunning {false};
    UniqueHandle m_hReady;
    UniqueHandle m_hThread;
    DWORD m_dwThreadId = 0;
    std::atomic<HWND> m_hRequest {nullptr};
    std::atomic<HWND> m_hSplash {nullptr};
    // Created and used on the splash thread only.
    CSplashPicture m_picture;
    std::unique_ptr<CSimpleFrame> m_frame;
    std::function<void(HWND, UINT)> m_handler;
};
