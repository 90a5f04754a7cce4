#pragma once
// A small window base: registers a private class per derived type, routes
// the window's messages to a virtual handler and forgets the handle when the
// window is destroyed.
#include <windows.h>

#include <string>

class CWindowBase {
public:
    CWindowBase() = default;
    virtual ~CWindowBase();
    CWindowBase(const CWindowBase&) = delete;
    CWindowBase& operator=(const CWindowBase&) = delete;

    // Creates the window on the calling thread; null on failure.
    HWND Create(HINSTANCE instance, HWND parent, const RECT& rect, const wchar_t* title, DWORD style, DWORD exStyle);
    HWND Hwnd() const { return m_hWnd; }
    void Destroy();

protected:
    // Class style, cursor and background of the private class.
    virtual void FillClass(WNDCLASSEXW& wc) const = 0;
    // The message handler: true when it handled the message and set `result`.
    virtual bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // The last message the window receives; the handle is already cleared.
    virtual void OnFinalMessage(HWND) { }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    std::wstring ClassName() const;

    HWND m_hWnd = nullptr;
};
