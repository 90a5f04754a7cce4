#include "framework/velui_framework/WndShadow.h"

#include <algorithm>
#include <cstring>

#include "common/XLog.h"
#include "framework/velui_framework/ShadowDrawing.h"

namespace {

const wchar_t kShadowClass[] = L"VELDA_CLASS_49979B14-DA6A-4E80-A1DA-7F4E8E9FAF88";

HMODULE CodeModule()
{
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&CodeModule), &module))
        module = ::GetModuleHandleW(nullptr);
    return module;
}

}  // namespace

CWndShadow::CWndShadow() = default;

CWndShadow::~CWndShadow()
{
    Destroy();
}

bool CWndShadow::Create(HWND host)
{
    HMODULE module = CodeModule();
    // Registered once per module; the object travels in the creation parameter
    // and lives in the window's extra bytes (a pointer's worth of them).
    WNDCLASSEXW info {};
    info.cbSize = sizeof(info);
    if (!::GetClassInfoExW(module, kShadowClass, &info)) {
        info = WNDCLASSEXW {};
        info.cbSize = sizeof(info);
        info.style = 0x10000;
        info.lpfnWndProc = &CWndShadow::WndProc;
        info.cbWndExtra = sizeof(LONG_PTR);
        info.hInstance = module;
        info.lpszClassName = kShadowClass;
        if (!::RegisterClassExW(&info) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return false;
    }
    XLogUntagged(XLOG_FUNC, L"parent %08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(host)));
    m_hHost = host;
    m_hWnd =
        ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kShadowClass,
                          nullptr, WS_POPUP | WS_DISABLED | WS_CLIPSIBLINGS, 0, 0, 0, 0, host, nullptr, module, this);
    if (!m_hWnd) {
        m_hHost = nullptr;
        return false;
    }
    m_Status = kEnabled;
    const LONG_PTR style = ::GetWindowLongPtrW(host, GWL_STYLE);
    if (style & WS_VISIBLE) {
        m_Status |= kHostVisible;
        if (!(style & (WS_MAXIMIZE | WS_MINIMIZE)) && !m_bHiddenByPage)
            m_Status |= kVisible;
    }
    if (m_Status & kVisible) {
        Update(host);
        ShowNoActivate();
    } else {
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
    return true;
}

void CWndShadow::Destroy()
{
    if (m_hWnd) {
        HWND window = m_hWnd;
        m_hWnd = nullptr;
        ::SetWindowLongPtrW(window, 0, 0);
        ::DestroyWindow(window);
    }
    m_Status = 0;
    m_bitmap.reset();
    m_drawnWidth = m_drawnHeight = 0;
}

LRESULT CALLBACK CWndShadow::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        ::SetTimer(window, kFollowTimer, kFollowMs, nullptr);
        return 0;
    }
    auto* self = reinterpret_cast<CWndShadow*>(::GetWindowLongPtrW(window, 0));
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_SHOWWINDOW:
        if (wParam && self && self->m_hHost)
            ::SetWindowPos(window, self->m_hHost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        break;
    case WM_TIMER:
        if (wParam == kFollowTimer) {
            if (self)
                self->OnTimer();
            return 0;
        }
        break;
    case WM_NCDESTROY:
        ::KillTimer(window, kFollowTimer);
        ::SetWindowLongPtrW(window, 0, 0);
        break;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool CWndShadow::HostShowsShadow() const
{
    return m_hHost && (m_Status & kEnabled) && !m_bHiddenByPage && ::IsWindowVisible(m_hHost) && !::IsIconic(m_hHost) &&
           !::IsZoomed(m_hHost);
}

// The timer also hides the shadow of a minimised or maximised host and keeps
// a shadow the page hid hidden: otherwise it would bring it back within 200 ms.
void CWndShadow::OnTimer()
{
    if (!m_hWnd)
        return;
    if (!HostShowsShadow()) {
        if (m_Status & kVisible)
            Hide();
        return;
    }
    RECT host {}, shadow {};
    ::GetWindowRect(m_hHost, &host);
    ::GetWindowRect(m_hWnd, &shadow);
    const RECT expected = {host.left - m_nSize + m_nxOffset, host.top - m_nSize + m_nyOffset,
                           host.right + m_nSize + m_nxOffset, host.bottom + m_nSize + m_nyOffset};
    if (m_bUpdate || !::EqualRect(&expected, &shadow) || !(m_Status & kVisible)) {
        m_bUpdate = false;
        Update(m_hHost);
    }
    if (!(m_Status & kVisible) || !::IsWindowVisible(m_hWnd))
        ShowNoActivate();
}

void CWndShadow::Hide()
{
    m_Status &= static_cast<BYTE>(~kVisible);
    if (m_hWnd)
        ::ShowWindow(m_hWnd, SW_HIDE);
}

void CWndShadow::ShowNoActivate()
{
    m_Status |= kVisible;
    if (m_hWnd)
        ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
}

void CWndShadow::ParentProc(HWND host, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_hWnd || host != m_hHost)
        return;
    switch (message) {
    case WM_MOVE:
        if (m_lastCommand == SC_MAXIMIZE)
            break;
        if (m_lastCommand == SC_MINIMIZE || m_lastCommand == SC_RESTORE)
            m_lastCommand = 0;
        if (m_Status & kVisible)
            Update(host);
        break;
    case WM_SIZE:
        if (wParam == SIZE_MAXIMIZED || wParam == SIZE_MINIMIZED) {
            Hide();
        } else if (HostShowsShadow()) {
            const bool grew = LOWORD(lParam) > LOWORD(m_WndSize) || HIWORD(lParam) > HIWORD(m_WndSize);
            m_Status |= kHostVisible;
            // A host that grew has not painted its new area yet: the timer redraws.
            if (grew && (m_Status & kVisible))
                m_bUpdate = true;
            else
                Update(host);
            ShowNoActivate();
        }
        m_WndSize = lParam;
        break;
    case WM_ACTIVATE:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
        if (m_uPictureMode && m_lastCommand != SC_MAXIMIZE && (m_Status & kVisible))
            Update(host);
        break;
    case WM_SHOWWINDOW:
        if (wParam) {
            m_Status |= kHostVisible;
            if ((m_Status & kEnabled) && !m_bHiddenByPage && !::IsIconic(host) && !::IsZoomed(host)) {
                m_Status |= kVisible;  // drawn against the host's rectangle below
                Update(host);
                ShowNoActivate();
            }
        } else {
            m_Status &= static_cast<BYTE>(~kHostVisible);
            Hide();
        }
        break;
    case WM_SYSCOMMAND:
        m_lastCommandCopy = m_lastCommand;
        m_lastCommand = wParam & 0xFFF0;
        if (m_lastCommand == SC_MAXIMIZE) {
            Hide();
        } else if (m_lastCommand == SC_RESTORE && (m_Status & kEnabled) && !m_bHiddenByPage &&
                   ::IsWindowVisible(host)) {
            Update(host);
            ShowNoActivate();
        }
        break;
    case WM_EXITSIZEMOVE:
        if (m_Status & kVisible)
            Update(host);
        break;
    case WM_DESTROY:
    case WM_CLOSE:
        Hide();
        Destroy();
        break;
    default:
        break;
    }
}

void CWndShadow::Redraw()
{
    m_drawnWidth = m_drawnHeight = 0;
    if (m_hWnd && m_hHost && (m_Status & kVisible))
        Update(m_hHost);
}

void CWndShadow::SetSize(int size)
{
    m_nSize = static_cast<signed char>(size);
    Redraw();
}

void CWndShadow::SetSharpness(unsigned sharpness)
{
    m_nSharpness = static_cast<unsigned char>(sharpness);
    Redraw();
}

void CWndShadow::SetDarkness(unsigned darkness)
{
    m_nDarkness = static_cast<unsigned char>(darkness);
    Redraw();
}

void CWndShadow::SetPosition(int x, int y)
{
    m_nxOffset = static_cast<signed char>(x);
    m_nyOffset = static_cast<signed char>(y);
    Redraw();
}

void CWndShadow::SetColor(COLORREF color)
{
    m_Color = color;
    Redraw();
}

void CWndShadow::SetFlag(UINT sideMask)
{
    XTRACE_FUNC_ARGS(L"FUNCTION: %s(uFlag=%08X)", L"CWndShadow::SetFlag", sideMask);
    m_uFlag = sideMask;
    Redraw();
}

void CWndShadow::SetMargins(int left, int top, int right, int bottom)
{
    m_margins = RECT {left, top, right, bottom};
}

HRESULT CWndShadow::LoadShadowImage()
{
    return velui::LoadShadowImage(m_picture);
}

void CWndShadow::UsePicture(const velui::PremultipliedImage& picture)
{
    m_picture = picture;
    Redraw();
}

void CWndShadow::Show(bool visible)
{
    m_bHiddenByPage = !visible;
    if (!m_hWnd)
        return;
    if (!visible) {
        Hide();
        return;
    }
    if (m_hHost && ::IsWindowVisible(m_hHost) && !::IsIconic(m_hHost) && !::IsZoomed(m_hHost)) {
        m_Status |= kVisible;
        Update(m_hHost);
        ::ShowWindow(m_hWnd, SW_SHOW);
    }
}

void CWndShadow::Update(HWND host)
{
    if (!m_hWnd || m_bInUpdate)
        return;
    m_bInUpdate = true;
    RECT r {};
    ::GetWindowRect(host, &r);
    const int size = m_nSize;
    const int width = r.right - r.left + 2 * size, height = r.bottom - r.top + 2 * size;
    const int x = r.left - size + m_nxOffset, y = r.top - size + m_nyOffset;
    if (width > 0 && height > 0 && width == m_drawnWidth && height == m_drawnHeight && m_bitmap) {
        ::SetWindowPos(m_hWnd, host, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        m_bInUpdate = false;
        return;
    }
    velui::ShadowCanvas canvas;
    canvas.Reset(width, height);
    const int hostWidth = r.right - r.left, hostHeight = r.bottom - r.top;
    if (canvas.width > 0 && canvas.height > 0) {
        if (m_uPictureMode && m_picture.loaded) {
            velui::DrawNineGrid(m_picture, m_margins, canvas);
        } else {
            std::vector<RECT> shape;
            // The host's own shape when it has a window region, else its rectangle.
            UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
            const int kind = region ? ::GetWindowRgn(host, region.get()) : ERROR;
            if (kind == SIMPLEREGION || kind == COMPLEXREGION) {
                const DWORD bytes = ::GetRegionData(region.get(), 0, nullptr);
                std::vector<BYTE> data(bytes);
                if (bytes && ::GetRegionData(region.get(), bytes, reinterpret_cast<RGNDATA*>(data.data()))) {
                    auto* header = reinterpret_cast<RGNDATA*>(data.data());
                    const RECT* rects = reinterpret_cast<const RECT*>(header->Buffer);
                    for (DWORD i = 0; i < header->rdh.nCount; ++i)
                        shape.push_back(RECT {rects[i].left + size, rects[i].top + size, rects[i].right + size,
                                              rects[i].bottom + size});
                }
            }
            if (shape.empty())
                shape.push_back(RECT {size, size, size + hostWidth, size + hostHeight});
            velui::DrawSoftShadow(shape, velui::SoftShadowParams {size, m_nDarkness, m_nSharpness, m_Color}, canvas);
        }
        const RECT under = {size - m_nxOffset, size - m_nyOffset, size - m_nxOffset + hostWidth,
                            size - m_nyOffset + hostHeight};
        velui::ClearUnderHost(under, m_uFlag, canvas);
    }
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = std::max(canvas.width, 1);
    info.bmiHeader.biHeight = -std::max(canvas.height, 1);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) {
        m_bInUpdate = false;
        return;
    }
    if (!canvas.pixels.empty())
        memcpy(bits, canvas.pixels.data(), canvas.pixels.size() * sizeof(uint32_t));
    UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    HGDIOBJ old = ::SelectObject(dc.get(), bitmap.get());
    POINT to = {x, y}, from = {0, 0};
    SIZE extent = {std::max(canvas.width, 1), std::max(canvas.height, 1)};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(m_hWnd, nullptr, &to, &extent, dc.get(), &from, 0, &blend, ULW_ALPHA);
    ::SelectObject(dc.get(), old);
    m_bitmap = std::move(bitmap);
    m_drawnWidth = width;
    m_drawnHeight = height;
    ::SetWindowPos(m_hWnd, host, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_bInUpdate = false;
}

bool CWndShadow::ReadBitmap(std::vector<uint32_t>& pixels, int& width, int& height) const
{
    pixels.clear();
    width = height = 0;
    if (!m_bitmap)
        return false;
    BITMAP header {};
    if (!::GetObjectW(m_bitmap.get(), sizeof(header), &header))
        return false;
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = header.bmWidth;
    info.bmiHeader.biHeight = -header.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels.resize(static_cast<size_t>(header.bmWidth) * header.bmHeight);
    UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    if (::GetDIBits(dc.get(), m_bitmap.get(), 0, static_cast<UINT>(header.bmHeight), pixels.data(), &info,
                    DIB_RGB_COLORS) != header.bmHeight) {
        pixels.clear();
        return false;
    }
    width = header.bmWidth;
    height = header.bmHeight;
    return true;
}
