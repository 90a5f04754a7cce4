// Larkspur.exe of the sample product: holds the application mutex, shows a main
// window whose class is the component id, and quits on WM_CLOSE or on a
// framework "quit" passed on by the device service.
#include <windows.h>

#include <string>

#include "sample/SampleLog.h"
#include "sample/SampleNames.h"

namespace {

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COPYDATA: {
        std::string text = CopyDataText(lParam);
        SampleRecord(L"app", L"copydata " + std::wstring(text.begin(), text.end()));
        if (text.find("\"op_type\":\"quit\"") != std::string::npos ||
            text.find("\"op_type\":\"exit\"") != std::string::npos)
            ::DestroyWindow(hwnd);
        return TRUE;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmdLine, int)
{
    SampleRecord(L"app", std::wstring(L"start ") + cmdLine);
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kAppMutex));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.lpszClassName = kAppWindowClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassW(&wc);
    HWND hwnd = ::CreateWindowExW(0, kAppWindowClass, L"Larkspur", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  480, 320, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    SampleRecord(L"app", L"quit");
    return 0;
}
