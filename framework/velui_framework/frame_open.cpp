// open_frame with its modes, the modal loop of a "parent" frame and the
// shake a modal frame gives when the user clicks its disabled parent.
#include <cstdlib>
#include <ctime>
#include <thread>

#include "common/CodeChange.h"
#include "common/XLog.h"
#include "framework/velui_framework/frame.h"
#include "framework/velui_framework/view.h"
#include "ui/SciterBinding.h"

namespace velui {

namespace {

constexpr UINT kFlashRequest = 0x118;  // sent to a window whose modal child holds the input
constexpr DWORD kFlashGapMs = 1500;
constexpr DWORD kFlashLengthMs = 500;

void ReadBool(const VALUE& mode, const char* key, bool& out)
{
    value v = Member(mode, key);
    if (IsBool(*v.get()))
        out = BoolOf(*v.get());
}

void ReadInt(const VALUE& mode, const char* key, int& out)
{
    value v = Member(mode, key);
    if (IsInteger(*v.get()))
        out = IntOf(*v.get());
}

bool ReadString(const VALUE& mode, const char* key, std::string& out)
{
    value v = Member(mode, key);
    if (!IsString(*v.get()))
        return false;
    out = CCodeChange::StringUTF16toUTF8(StringOf(*v.get()));
    return true;
}

}  // namespace

open_frame_mode ReadOpenFrameMode(const VALUE& mode, const std::string& name)
{
    open_frame_mode m;
    ReadBool(mode, "appwindow", m.appwindow);
    if (m.appwindow)
        m.toolwindow = false;
    ReadBool(mode, "toolwindow", m.toolwindow);
    ReadBool(mode, "transparent", m.transparent);
    ReadBool(mode, "disable", m.disable);
    ReadBool(mode, "noactivate", m.noactivate);
    ReadBool(mode, "topmost", m.topmost);
    ReadBool(mode, "shadow", m.shadow);
    ReadBool(mode, "allowshake", m.allowshake);
    if (!ReadString(mode, "id", m.id) || m.id.empty())
        m.id = name;
    ReadBool(mode, "single", m.single);
    m.hasParent = ReadString(mode, "parent", m.parent);
    m.hasOwner = ReadString(mode, "owner", m.owner);
    ReadBool(mode, "resize", m.resize);
    ReadInt(mode, "minWidth", m.minWidth);
    ReadInt(mode, "minHeight", m.minHeight);
    ReadInt(mode, "maxWidth", m.maxWidth);
    ReadInt(mode, "maxHeight", m.maxHeight);
    m.hasParams = Member(mode, "params").type() == T_OBJECT || Member(mode, "params").type() == T_MAP;
    int shadowParam = 0xFFFF;
    ReadInt(mode, "shadow_param", shadowParam);
    m.shadowParam = static_cast<UINT>(shadowParam);
    return m;
}

void frame::open_frame(const std::string& name, const std::wstring& url, const VALUE& modeValue, VALUE* result)
{
    const std::string modeText = CCodeChange::StringUTF16toUTF8(JsonTextOf(modeValue));
    XLog(XLOG_FUNC, L"func", L"FUNCTION: %s(mode.to_string(CVT_JSON_LITERAL).c_str()=%S)", L"velui::frame::open_frame",
         modeText.c_str());
    open_frame_mode mode = ReadOpenFrameMode(modeValue, name);
    if (!m_pView) {
        SetBool(result, false);
        return;
    }
    if (mode.single) {
        if (auto existing = m_pView->find_frame(mode.id)) {
            BringWindowToFront(existing->m_hWnd);
            SetBool(result, false);
            return;
        }
    }
    HWND owner = nullptr;
    HWND modalParent = nullptr;
    if (mode.hasParent) {
        if (auto parent = m_pView->find_frame(mode.parent)) {
            owner = modalParent = parent->m_hWnd;
            mode.toolwindow = false;
        }
    }
    if (!owner && mode.hasOwner) {
        if (auto o = m_pView->find_frame(mode.owner))
            owner = o->m_hWnd;
    }
    DWORD exStyle = 0;
    DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX;
    if (mode.appwindow) {
        exStyle |= WS_EX_APPWINDOW;
        style |= WS_SYSMENU;
    }
    if (mode.toolwindow)
        exStyle |= WS_EX_TOOLWINDOW;
    if (mode.transparent)
        exStyle |= WS_EX_LAYERED;
    if (mode.disable)
        style |= WS_DISABLED;
    if (mode.noactivate)
        exStyle |= WS_EX_NOACTIVATE;
    if (mode.topmost)
        exStyle |= WS_EX_TOPMOST;
    const std::wstring title = CCodeChange::StringUTF8toUTF16(name);
    HWND window = ::CreateWindowExW(exStyle, m_pView->m_className, title.c_str(), style, 0, 0, 0, 0, owner, nullptr,
                                    m_pView->m_hInstance, nullptr);
    if (!window) {
        SetBool(result, false);
        return;
    }
    std::shared_ptr<frame> created;
    value params = Member(modeValue, "params");
    if (mode.hasParams) {
        created = std::make_shared<frame>();
        created->m_strName = mode.id;
        created->m_params = params;
        created->m_pView = m_pView;
        created->attach_and_load(url, window);
    } else {
        created = m_pView->create_frame(url, window, mode.id);
    }
    if (mode.toolwindow)
        ::SetWindowLongPtrW(window, GWL_EXSTYLE, ::GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    if (created) {
        created->SetShadow(window, mode.shadow, mode.shadowParam);
        created->m_bAllowShake = mode.allowshake;
        created->enable_resize(window, mode.resize);
        created->set_limits(mode.minWidth, mode.minHeight, mode.maxWidth, mode.maxHeight);
    } else {
        XASSERT_TEXT_AT(false, L"pFrame", L"velui_frame", 336);
    }
    ::ShowWindow(window, mode.disable ? SW_SHOWNOACTIVATE : SW_SHOW);
    if (::IsWindow(window))
        BringWindowToFront(window);
    if (!modalParent || !created) {
        SetBool(result, true);
        return;
    }
    value code = created->run_modal(modalParent);
    CSciterBinding::Api()->ValueCopy(result, code.get());
}

value frame::run_modal(HWND parent)
{
    std::shared_ptr<frame> keep = shared_from_this();
    ::SetFocus(m_hWnd);
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::UpdateWindow(parent);
    ::EnableWindow(parent, FALSE);
    MSG msg {};
    bool quit = false;
    for (;;) {
        if (!::IsWindow(m_hWnd) || !::IsWindowVisible(m_hWnd))
            break;
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            break;
        }
        if (got == -1)
            break;
        if (msg.hwnd == m_hWnd && msg.message == WM_CLOSE) {
            ::EnableWindow(parent, TRUE);
            ::DestroyWindow(m_hWnd);
            ::SetActiveWindow(parent);
            ::SetFocus(parent);
            ::BringWindowToTop(parent);
        }
        if (msg.hwnd == m_hWnd && msg.message == kFlashRequest && m_bAllowShake) {
            const DWORD now = m_clock();
            XLogUntagged(XLOG_FUNC, L"flash 280 %d", static_cast<int>(now));
            request_flash(now);
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        if (!::IsWindow(m_hWnd))
            break;
    }
    ::EnableWindow(parent, TRUE);
    if (quit)
        ::PostQuitMessage(static_cast<int>(msg.wParam));
    return m_retCode;
}

bool frame::request_flash(DWORD now)
{
    bool start = false;
    {
        std::lock_guard<std::mutex> guard(m_flashLock);
        m_lastFlashRequest = now;
        // A flash never started counts as long ago.
        if (!m_bFlashing && (!m_bFlashStartedOnce || now - m_lastFlashStart > kFlashGapMs)) {
            ::GetWindowRect(m_hWnd, &m_flashRect);
            m_bFlashing = true;
            m_lastFlashStart = now;
            m_bFlashStartedOnce = true;
            ++m_flashesStarted;
            start = true;
        }
    }
    if (start) {
        std::shared_ptr<frame> self = shared_from_this();
        std::thread([self] { self->flash(); }).detach();
    }
    return start;
}

bool frame::is_flashing()
{
    std::lock_guard<std::mutex> guard(m_flashLock);
    return m_bFlashing;
}

int frame::flashes_started()
{
    std::lock_guard<std::mutex> guard(m_flashLock);
    return m_flashesStarted;
}

void frame::flash()
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    DWORD start = 0;
    RECT saved {};
    {
        // The start was taken with the request, so that the gap between two
        // flashes does not depend on when this thread first runs.
        std::lock_guard<std::mutex> guard(m_flashLock);
        start = m_lastFlashStart;
        saved = m_flashRect;
    }
    XLogUntagged(XLOG_FUNC, L"flash start %d", static_cast<int>(start));
    const int width = saved.right - saved.left, height = saved.bottom - saved.top;
    for (;;) {
        const DWORD now = m_clock();
        DWORD elapsed = 0;
        {
            std::lock_guard<std::mutex> guard(m_flashLock);
            elapsed = now - start;
            if (elapsed > kFlashLengthMs) {
                m_bFlashing = false;
                break;
            }
        }
        // Never moved while holding the flash lock: moving waits for the UI thread.
        const double f = (kFlashLengthMs - static_cast<double>(elapsed)) / kFlashLengthMs;
        const int a = static_cast<int>(40.0 * f * f * f * f);
        const int dx = a * std::rand() / 32767 - a / 2;
        const int dy = a * std::rand() / 32767 - a / 2;
        ::MoveWindow(m_hWnd, saved.left + dx, saved.top + dy, width, height, TRUE);
        ::Sleep(30);
    }
    ::MoveWindow(m_hWnd, saved.left, saved.top, width, height, TRUE);
    XLogUntagged(XLOG_FUNC, L"flash end %d", static_cast<int>(m_clock()));
}

}  // namespace velui
