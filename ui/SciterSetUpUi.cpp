#include "ui/SciterSetUpUi.h"

#include <new>

#include "common/CodeChange.h"
#include "common/XLog.h"
#include "engine/model/EngineSettings.h"
#include "framework/velui_framework/BussMessage.h"
#include "framework/velui_framework/frame.h"
#include "ui/PageFailure.h"

HWND g_root_hwnd = nullptr;
SciterView* g_view = nullptr;

namespace {

ATOM g_classAtom = 0;
constexpr UINT_PTR kPageReadyTimer = 0x5052;
CSciterSetUpUi* g_pageUi = nullptr;  // the UI whose page is being shown

void CALLBACK PageReadyTick(HWND window, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(window, id);
    if (g_pageUi)
        g_pageUi->CheckPageReady();
}

void RegisterWindowClass(HINSTANCE module, const std::wstring& mode)
{
    if (g_classAtom)
        return;
    const int icon = mode == L"install" ? 170 : 107;
    WNDCLASSEXW wc {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &root_wndproc;
    wc.hInstance = module;
    wc.hIcon = ::LoadIconW(module, MAKEINTRESOURCEW(icon));
    wc.hIconSm = ::LoadIconW(module, MAKEINTRESOURCEW(icon));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = velui::kWindowClassName;
    g_classAtom = ::RegisterClassExW(&wc);
}

}  // namespace

CSciterSetUpUi::CSciterSetUpUi(HINSTANCE module, const std::wstring& mode, const std::wstring& uiFolder)
    : iSetupUI(uiFolder), m_hInstance(module)
{
    RegisterWindowClass(module, mode);
    g_view = new SciterView(module, this);
}

CSciterSetUpUi::~CSciterSetUpUi()
{
    if (g_pageUi == this)
        g_pageUi = nullptr;
    // Run normally deletes the view; a UI that never ran leaves it here.
    if (g_view && g_view->m_pSetupUI == this) {
        delete g_view;
        g_view = nullptr;
    }
}

void CSciterSetUpUi::ShowPage(const std::wstring& page, const std::wstring& params)
{
    m_page = page;
    m_language = params;
    g_pageUi = this;
    HWND root = ::CreateWindowExW(WS_EX_APPWINDOW, velui::kWindowClassName, L"Larkspur\x5B89\x88C5\x5305",
                                  WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0,
                                  0, nullptr, nullptr, m_hInstance, nullptr);
    const DWORD createError = ::GetLastError();
    g_root_hwnd = root;
    m_hRootWnd = root;
    if (!g_view) {
        FailPage(L"no view");
        return;
    }
    g_view->m_hRootWnd = root;
    if (!root) {
        FailPage(L"its window could not be created (error " + std::to_wstring(createError) + L")");
        return;
    }
    const wchar_t* url = nullptr;
    const char* name = "";
    bool notice = false;
    if (page == L"install") {
        url = L"file://app/installer/install.htm";
        name = "install";
    } else if (page == L"uninstall") {
        url = L"file://app/installer/uninstall.htm";
        name = "uninstall";
    } else if (page == L"existmutex") {
        url = L"file://app/installer/existmutex.htm";
        notice = true;
    } else if (page == L"noini") {
        url = L"file://app/installer/noini.htm";
        notice = true;
    }
    if (!url) {
        FailPage(L"no such page");
        return;
    }
    g_view->m_bPageReady = false;
    std::shared_ptr<velui::frame> f = g_view->create_frame(url, root, name);
    if (!f) {
        FailPage(L"its file could not be loaded");
        return;
    }
    f->SetShadow(root, true, 0xFFFF);
    if (notice) {
        MessagePtr language = MakeMessage("setlanguage");
        (*language)["lan"] = CCodeChange::StringUTF16toUTF8(params);
        OnEngineMessage(language);
        ::ShowWindow(root, SW_SHOWNORMAL);
    }
    // A page's script normally ends while the page loads; one that has not
    // said so when the timer fires has stopped on an error.
    if (!g_view->m_bPageReady)
        ::SetTimer(root, kPageReadyTimer, kPageReadyWaitMs, &PageReadyTick);
}

void CSciterSetUpUi::StartWhenReady(MessagePtr start)
{
    if (m_bPageFailed)
        return;
    if (g_view && g_view->m_bPageReady) {
        SendToEngine(std::move(start));
        return;
    }
    m_pendingStart = std::move(start);
}

void CSciterSetUpUi::OnPageReady()
{
    if (m_bPageFailed)
        return;
    if (m_hRootWnd)
        ::KillTimer(m_hRootWnd, kPageReadyTimer);
    if (MessagePtr start = std::move(m_pendingStart))
        SendToEngine(std::move(start));
}

void CSciterSetUpUi::CheckPageReady()
{
    if (!m_bPageFailed && !(g_view && g_view->m_bPageReady))
        FailPage(L"its script did not run to its end");
}

void CSciterSetUpUi::FailPage(const std::wstring& reason)
{
    if (m_bPageFailed)
        return;
    m_bPageFailed = true;
    m_bResult.store(false);
    m_pendingStart.reset();
    if (HWND root = m_hRootWnd) {
        m_hRootWnd = nullptr;
        g_root_hwnd = nullptr;
        if (g_view)
            g_view->m_hRootWnd = nullptr;
        ::DestroyWindow(root);
    }
    ReportPageFailure(m_page, reason, m_language.empty() ? g_engineSettings.wstrLanguage : m_language);
    ::PostQuitMessage(0);
}

void CSciterSetUpUi::Run()
{
    HACCEL table = ::LoadAcceleratorsW(m_hInstance, MAKEINTRESOURCEW(109));
    MSG msg {};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!table || !::TranslateAcceleratorW(msg.hwnd, table, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    delete g_view;
    g_view = nullptr;
}

void CSciterSetUpUi::OnEngineMessage(MessagePtr message)
{
    if (!message)
        return;
    const std::string type =
        message->isObject() && (*message)["type"].isString() ? (*message)["type"].asString() : std::string();
    const std::string body = Json::StyledWriter().write(*message);
    auto* record = new (std::nothrow) velui::BussMessage(type, body);
    if (!record) {
        XASSERT_TEXT_AT(false, L"m", L"SciterSetUpUi", 171);
        return;
    }
    // Without a root window a post would go to the calling thread's own queue.
    const BOOL posted =
        g_root_hwnd && ::PostMessageW(g_root_hwnd, velui::MsgFromBussRoot(), 0, reinterpret_cast<LPARAM>(record));
    if (!posted) {
        XASSERT_TEXT_AT(false, L"PostMessage(g_root_hwnd, sMsg, 0 ,(long)m)", L"SciterSetUpUi", 175);
        delete record;  // nobody else will free it
    }
}

LRESULT CALLBACK root_wndproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == velui::MsgFromBussRoot()) {
        auto* record = reinterpret_cast<velui::BussMessage*>(lParam);
        if (window == g_root_hwnd && g_view) {
            XASSERT_TEXT_AT(record, L"ui_msg", L"SciterView", 382);
            if (record)
                g_view->broadcast(record->type, record->body);
        }
        // A record that reaches no view is dropped here as well.
        delete record;
        lParam = 0;
    }
    bool handled = false;
    LRESULT result =
        velui::frame::frame_wndproc(window, message, message == WM_CREATE ? 0x8000 : wParam, lParam, handled);
    if (handled)
        return result;
    if (message == WM_DESTROY || message == WM_WINDOWPOSCHANGING)
        return 0;
    return ::DefWindowProcW(window, message, wParam, lParam);
}
