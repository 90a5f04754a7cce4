// The sample device-service program, standing in for a Windows service.
//   -i          record the registration, start the running service (itself
//               with -run, detached) and end
//   -u          record the removal, stop a running service and wait until it
//               has ended, then end
//   -run, none  the running service: hold the service mutex and the
//               device-service window, which passes framework messages on to
//               their target window and ends on the service's own "quit"
#include <windows.h>

#include <string>

#include "sample/SampleLog.h"
#include "sample/SampleNames.h"

namespace {

std::string JsonString(const std::string& text, const std::string& key)
{
    std::string marker = "\"" + key + "\":\"";
    size_t start = text.find(marker);
    if (start == std::string::npos)
        return std::string();
    start += marker.size();
    size_t end = text.find('"', start);
    return end == std::string::npos ? std::string() : text.substr(start, end - start);
}

LRESULT CALLBACK ProxyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COPYDATA) {
        std::string text = CopyDataText(lParam);
        SampleRecord(L"service",
                     L"copydata " + std::to_wstring(wParam) + L" " + std::wstring(text.begin(), text.end()));
        if (text.find("\"pass_message\":true") != std::string::npos) {
            std::string target = JsonString(text, "target_class_name");
            if (!target.empty()) {
                std::wstring cls(target.begin(), target.end());
                HWND targetWindow = ::FindWindowW(cls.c_str(), nullptr);
                if (targetWindow)
                    ::SendMessageW(targetWindow, WM_COPYDATA, wParam, lParam);
            }
        } else if (text.find("\"op_type\":\"quit\"") != std::string::npos) {
            ::DestroyWindow(hwnd);
        }
        return TRUE;
    }
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

int RunProxy(HINSTANCE instance)
{
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kServiceMutex));
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;  // the service runs already
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ProxyProc;
    wc.hInstance = instance;
    wc.lpszClassName = kDeviceServiceWindowClass;
    ::RegisterClassW(&wc);
    // A hidden top-level window, so FindWindow sees it.
    HWND hwnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, kDeviceServiceWindowClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&msg);
    SampleRecord(L"service", L"quit");
    return 0;
}

void StartRunningService()
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" -run";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si,
                         &pi))
        ProcessHandles started(pi);
}

void StopRunningService()
{
    HWND window = ::FindWindowW(kDeviceServiceWindowClass, nullptr);
    if (!window)
        return;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    const char quit[] = "{\"protocol_type\":\"framework\",\"protocol_content\":{\"op_type\":\"quit\"}}";
    COPYDATASTRUCT data = {0, sizeof(quit) - 1, const_cast<char*>(quit)};
    ::SendMessageW(window, WM_COPYDATA, 999, reinterpret_cast<LPARAM>(&data));
    if (process)
        ::WaitForSingleObject(process.get(), 10000);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmdLine, int)
{
    std::wstring args = cmdLine;
    SampleRecord(L"service", L"start " + args);
    if (args.empty() || args.find(L"-run") != std::wstring::npos)
        return RunProxy(instance);
    if (args.find(L"-i") != std::wstring::npos) {
        StartRunningService();
        SampleRecord(L"service", L"installed");
        return 0;
    }
    if (args.find(L"-u") != std::wstring::npos) {
        StopRunningService();
        SampleRecord(L"service", L"removed");
        return 0;
    }
    return 2;
}
