#include "bootstrap/SplashScreen.h"

#include <shlwapi.h>

#include "bootstrap/ResourceIds.h"
#include "bootstrap/Resources.h"
#include "common/SystemLibrary.h"

const wchar_t kSplashRequestClass[] = L"VELDA_CLASS_D471F2C1-0584-42D3-B4C3-1DA8CF56E614";

namespace {

LRESULT CALLBACK RequestWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    using Handler = std::function<void(HWND, UINT)>;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* handler = reinterpret_cast<Handler*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (handler && *handler)
        (*handler)(hwnd, message);
    if (message == WM_NCDESTROY)
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateRequestWindow(HINSTANCE instance, void* handler)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(instance, kSplashRequestClass, &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.style = CS_IME;
        wc.lpfnWndProc = RequestWindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = kSplashRequestClass;
        if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return nullptr;
    }
    return ::CreateWindowExW(WS_EX_NOACTIVATE, kSplashRequestClass, L"", WS_POPUP | WS_DISABLED, 0, 0, 0, 0,
                             HWND_MESSAGE, nullptr, instance, handler);
}

HINSTANCE OwnInstance()
{
    return ::GetModuleHandleW(nullptr);
}

}  // namespace

POINT CentreInWorkArea(const RECT& workArea, int width, int height)
{
    auto place = [](LONG low, LONG high, int size) {
        LONG pos = (low + high) / 2 - size / 2;
        if (pos + size > high)
            pos = high - size;
        if (pos < low)
            pos = low;
        return pos;
    };
    return POINT {place(workArea.left, workArea.right, width), place(workArea.top, workArea.bottom, height)};
}

void CSimpleFrame::FillClass(WNDCLASSEXW& wc) const
{
    wc.style = 0;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
}

bool CSimpleFrame::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(hwnd);
        result = 0;
        return true;
    case WM_PAINT:
        OnPaint(hwnd);
        result = 0;
        return true;
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_DESTROY:
        result = 0;
        return true;
    default:
        return false;
    }
}

void CSimpleFrame::OnCreate(HWND hwnd)
{
    if (::PathFileExistsW(m_wstrPicturePath.c_str()))
        m_picture.Load(m_wstrPicturePath);
    if (m_picture.IsLoaded())
        ::SetWindowPos(hwnd, nullptr, 0, 0, m_picture.Width(), m_picture.Height(),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
    RECT window = {};
    ::GetWindowRect(hwnd, &window);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    POINT at = CentreInWorkArea(monitor.rcWork, window.right - window.left, window.bottom - window.top);
    ::SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSimpleFrame::OnPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    RECT client = {};
    ::GetClientRect(hwnd, &client);
    bool drawn = false;
    if (m_picture.IsLoaded()) {
        UniqueMemoryDC memory(::CreateCompatibleDC(dc));
        if (memory) {
            HGDIOBJ old = ::SelectObject(memory.get(), m_picture.Bitmap());
            drawn = ::StretchBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, m_picture.Width(),
                                 m_picture.Height(), SRCCOPY) != FALSE;
            ::SelectObject(memory.get(), old);
        }
    }
    if (!drawn) {
        ::SetBkColor(dc, RGB(128, 128, 128));
        ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, L"", 0, nullptr);
    }
    ::EndPaint(hwnd, &ps);
}

CSplashScreen::~CSplashScreen()
{
    CloseSplash();
}

bool CSplashScreen::ShowSplash(const std::wstring& workFolder)
{
    std::wstring path = workFolder + L"splash.png";
    // Without the picture resource there is nothing worth showing.
    if (!::FindResourceW(m_hResources, MAKEINTRESOURCEW(IDR_SPLASH_PNG), L"PNG"))
        return false;
    if (!WriteResourceToFile(m_hResources, path, L"PNG", IDR_SPLASH_PNG) || !::PathFileExistsW(path.c_str()))
        return false;
    m_bShown = true;
    if (!m_bRunning && !m_hThread)
        m_wstrPicturePath = path;
    if (!StartThread())
        return true;
    if (HWND request = m_hRequest.load())
        ::PostMessageW(request, WM_SPLASH_SHOW, 0, 0);
    return true;
}

bool CSplashScreen::StartThread()
{
    if (m_bRunning)
        return true;
    if (m_hThread)
        return false;  // started once already; never restarted
    if (!m_hReady)
        m_hReady.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hReady)
        return false;
    m_hThread.reset(::CreateThread(nullptr, 0, &CSplashScreen::ThreadProc, this, 0, &m_dwThreadId));
    if (!m_hThread)
        return false;
    ::WaitForSingleObject(m_hReady.get(), INFINITE);
    return true;
}

DWORD WINAPI CSplashScreen::ThreadProc(void* param)
{
    static_cast<CSplashScreen*>(param)->ThreadMain();
    return 0;
}

void CSplashScreen::ThreadMain()
{
    // imm32.dll is not a KnownDLL on Windows XP: taken from the system folder
    // at run time rather than imported.
    using DisableImeFn = BOOL(WINAPI*)(DWORD);
    if (auto disableIme = SystemFunction<DisableImeFn>(L"imm32.dll", "ImmDisableIME"))
        disableIme(0);
    m_bRunning = true;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    m_handler = [this](HWND hwnd, UINT message) { OnRequest(hwnd, message); };
    if (!m_hRequest)
        m_hRequest = CreateRequestWindow(OwnInstance(), &m_handler);
    ::SetEvent(m_hReady.get());
    while (m_bRunning) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (m_frame)
        m_frame->Destroy();
    m_frame.reset();
    m_hSplash = nullptr;
    if (HWND request = m_hRequest.exchange(nullptr))
        ::DestroyWindow(request);
    m_bRunning = false;
}

void CSplashScreen::OnRequest(HWND, UINT message)
{
    switch (message) {
    case WM_SPLASH_QUIT:
        if (m_frame)
            m_frame->Destroy();
        m_frame.reset();
        m_hSplash = nullptr;
        ::PostQuitMessage(0);
        break;
    case WM_SPLASH_SHOW:
        if (!m_frame) {
            m_frame = std::make_unique<CSimpleFrame>(m_picture, m_wstrPicturePath);
            RECT rect = {0, 0, 1, 1};
            HWND hwnd = m_frame->Create(OwnInstance(), nullptr, rect, L"",
                                        WS_POPUP | WS_DISABLED | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                        WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
            if (!hwnd) {
                m_frame.reset();
                break;
            }
            m_hSplash = hwnd;
            // Shown without activation: the splash never takes the focus.
            ::ShowWindow(hwnd, SW_SHOWNA);
            ::UpdateWindow(hwnd);
        }
        break;
    case WM_SPLASH_CLOSE:
        if (m_frame)
            m_frame->Destroy();
        m_frame.reset();
        m_hSplash = nullptr;
        break;
    default:
        break;
    }
}

void CSplashScreen::CloseSplash()
{
    if (HWND request = m_hRequest.load())
        ::PostMessageW(request, WM_SPLASH_CLOSE, 0, 0);
    if (m_bRunning) {
        HWND request = m_hRequest.load();
        if (!request || !::PostMessageW(request, WM_SPLASH_QUIT, 0, 0))
            ::PostThreadMessageW(m_dwThreadId, WM_QUIT, 0, 0);
    }
    if (m_hThread)
        ::WaitForSingleObject(m_hThread.get(), INFINITE);
}
