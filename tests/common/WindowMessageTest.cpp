#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "common/WindowMessage.h"
#include "tests/support/TestSupport.h"

namespace {

struct Received {
    WPARAM wParam = 0;
    ULONG_PTR dwData = 1;
    std::string bytes;
};
Received g_received;

LRESULT CALLBACK CopyDataProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        g_received.wParam = wParam;
        g_received.dwData = data->dwData;
        g_received.bytes.assign(static_cast<const char*>(data->lpData), data->cbData);
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A window on its own thread; with `pump` false the thread never reads its
// messages again, as a hung program would.
class ReceiverThread {
public:
    explicit ReceiverThread(bool pump)
    {
        m_thread = std::thread([this, pump] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = CopyDataProc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"LarkspurCopyDataTestWindow";
            ::RegisterClassW(&wc);
            HWND window = ::CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                          wc.hInstance, nullptr);
            m_window = window;
            while (!m_stop) {
                if (pump) {
                    MSG msg;
                    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                        ::DispatchMessageW(&msg);
                }
                ::Sleep(10);
            }
            ::DestroyWindow(window);
        });
        WaitUntil([this] { return m_window != nullptr; });
    }
    ~ReceiverThread()
    {
        m_stop = true;
        m_thread.join();
    }
    HWND Window() const { return m_window; }

private:
    std::atomic<HWND> m_window {nullptr};
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

}  // namespace

TEST(SendCopyData, DeliversTheBytesWithoutTerminatorAndDataZero)
{
    ReceiverThread receiver(true);
    g_received = Received();
    EXPECT_TRUE(SendCopyData(receiver.Window(), 999, "{\"op\":\"quit\"}"));
    EXPECT_EQ(g_received.wParam, 999u);
    EXPECT_EQ(g_received.dwData, 0u);
    EXPECT_EQ(g_received.bytes, "{\"op\":\"quit\"}");
    EXPECT_FALSE(SendCopyData(nullptr, 999, "x"));
}

TEST(SendCopyData, AReceiverThatNeverAnswersDoesNotHoldTheSender)
{
    ReceiverThread hung(false);
    // Without the time-out this call would never return and the test would hang.
    EXPECT_FALSE(SendCopyData(hung.Window(), 999, "quit", 300));
}

TEST(SystemProgramPath, NamesTheProgramInTheSystemFolder)
{
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    std::wstring path = SystemProgramPath(L"cmd.exe");
    EXPECT_EQ(path, std::wstring(system) + L"\\cmd.exe");
    EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}
