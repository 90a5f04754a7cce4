#include "htmlengine/EngineWindow.h"

#include <windowsx.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "htmlengine/Fonts.h"
#include "htmlengine/HtmlParser.h"
#include "htmlengine/Layout.h"
#include "htmlengine/Painter.h"
#include "htmlengine/Url.h"

namespace he {

namespace {

// Pages and their resources read from disk are never larger.
constexpr unsigned long long kMaxLocalFileBytes = 64ULL * 1024 * 1024;

std::map<HWND, EngineWindow*>& Registry()
{
    static auto* m = new std::map<HWND, EngineWindow*>;
    return *m;
}

// Windows whose destruction waits until no entry of theirs is on the stack.
std::map<EngineWindow*, int>& BusyCount()
{
    static auto* m = new std::map<EngineWindow*, int>;
    return *m;
}
std::vector<EngineWindow*>& Doomed()
{
    static auto* v = new std::vector<EngineWindow*>;
    return *v;
}

struct Busy {
    explicit Busy(EngineWindow* w) : win(w) { ++BusyCount()[w]; }
    ~Busy()
    {
        auto& bc = BusyCount();
        if (--bc[win] == 0) {
            bc.erase(win);
            auto& d = Doomed();
            auto it = std::find(d.begin(), d.end(), win);
            if (it != d.end()) {
                d.erase(it);
                delete win;
            }
        }
    }
    EngineWindow* win;
};

double Now()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

}  // namespace

EngineWindow::EngineWindow(HWND hwnd) : m_hwnd(hwnd)
{
    EnsureGdiplus();
}

EngineWindow::~EngineWindow()
{
    Unload();
}

EngineWindow* EngineWindow::Find(HWND hwnd, bool create)
{
    auto& r = Registry();
    auto it = r.find(hwnd);
    if (it != r.end())
        return it->second;
    if (!create || !IsWindow(hwnd))
        return nullptr;
    auto* w = new EngineWindow(hwnd);
    r[hwnd] = w;
    return w;
}

void EngineWindow::Forget(HWND hwnd)
{
    auto& r = Registry();
    auto it = r.find(hwnd);
    if (it == r.end())
        return;
    EngineWindow* w = it->second;
    r.erase(it);
    if (BusyCount().count(w))
        Doomed().push_back(w);
    else
        delete w;
}

void EngineWindow::Unload()
{
    KillTimer(m_hwnd, kCaretTimer);
    if (m_doc) {
        // Native behaviours learn that their elements go away.
        std::vector<Element*> all;
        m_doc->root->CollectElements(all);
        for (Element* e : all)
            if (e->behaviorProc) {
                INITIALIZATION_PARAMS p {BEHAVIOR_DETACH};
                ElementEventProc proc = e->behaviorProc;
                e->behaviorProc = nullptr;
                proc(e->behaviorTag, static_cast<HELEMENT>(e), HANDLE_INITIALIZATION, &p);
            }
    }
    RetirePage(std::move(m_page));
    m_hover.reset();
    m_focus.reset();
    m_pressed.reset();
    m_doc.reset();
    m_styles.Clear();
    m_images.Clear();
}

// ---- handlers -----------------------------------------------------------------

bool EngineWindow::AttachHandler(ElementEventProc proc, LPVOID tag, UINT subscription)
{
    if (!proc)
        return false;
    for (auto& h : m_handlers)
        if (h.proc == proc && h.tag == tag) {
            h.subscription = subscription;
            return true;
        }
    m_handlers.push_back({proc, tag, subscription});
    Busy busy(this);
    INITIALIZATION_PARAMS p {BEHAVIOR_ATTACH};
    HELEMENT root = m_doc ? static_cast<HELEMENT>(m_doc->root.get()) : nullptr;
    proc(tag, root, HANDLE_INITIALIZATION, &p);
    return true;
}

bool EngineWindow::DetachHandler(ElementEventProc proc, LPVOID tag)
{
    for (auto it = m_handlers.begin(); it != m_handlers.end(); ++it)
        if (it->proc == proc && it->tag == tag) {
            m_handlers.erase(it);
            Busy busy(this);
            INITIALIZATION_PARAMS p {BEHAVIOR_DETACH};
            proc(tag, m_doc ? static_cast<HELEMENT>(m_doc->root.get()) : nullptr, HANDLE_INITIALIZATION, &p);
            return true;
        }
    return false;
}

bool EngineWindow::NotifyHandlers(UINT group, LPVOID params, HELEMENT he)
{
    std::vector<Handler> copy = m_handlers;
    for (auto& h : copy)
        if ((h.subscription & group) == group && h.proc(h.tag, he, group, params))
            return true;
    return false;
}

bool EngineWindow::NotifyBehavior(Element* e, UINT group, LPVOID params)
{
    for (Element* p = e; p; p = p->parent)
        if (p->behaviorProc && p->behaviorProc(p->behaviorTag, static_cast<HELEMENT>(p), group, params))
            return true;
    return false;
}

// ---- loading ----------------------------------------------------------------

bool EngineWindow::Request(const std::wstring& url, UINT type, std::string& bytes)
{
    bytes.clear();
    if (m_callback) {
        SCN_LOAD_DATA n {};
        n.code = SC_LOAD_DATA;
        n.hwnd = m_hwnd;
        n.uri = url.c_str();
        n.dataType = type;
        const std::wstring* savedUri = m_pendingUri;
        std::string* savedData = m_pendingData;
        bool savedAnswered = m_pendingAnswered;
        std::string answer;
        m_pendingUri = &url;
        m_pendingData = &answer;
        m_pendingAnswered = false;
        UINT rc;
        {
            Busy busy(this);
            rc = m_callback(reinterpret_cast<SCITER_CALLBACK_NOTIFICATION*>(&n), m_callbackParam);
        }
        bool answered = m_pendingAnswered;
        m_pendingUri = savedUri;
        m_pendingData = savedData;
        m_pendingAnswered = savedAnswered;
        if (rc == LOAD_DISCARD)
            return false;
        if (answered) {
            bytes.swap(answer);
            return true;
        }
        if (n.outData && n.outDataSize) {
            bytes.assign(reinterpret_cast<const char*>(n.outData), n.outDataSize);
            return true;
        }
    }
    std::wstring path = FilePathOfUrl(url);
    if (!path.empty())
        return FileSystem::ReadFileBytes(path, bytes, kMaxLocalFileBytes);
    return false;
}

bool EngineWindow::DataReady(const std::wstring& uri, const unsigned char* data, size_t size)
{
    if (m_pendingData && m_pendingUri && (uri.empty() || _wcsicmp(uri.c_str(), m_pendingUri->c_str()) == 0)) {
        m_pendingData->assign(reinterpret_cast<const char*>(data), data ? size : 0);
        m_pendingAnswered = true;
        return true;
    }
    return DataReadyAsync(uri, data, size, nullptr);
}

bool EngineWindow::DataReadyAsync(const std::wstring& uri, const unsigned char* data, size_t size, LPVOID)
{
    if (uri.empty())
        return false;
    m_images.Store(uri, data, data ? size : 0);
    m_layoutDirty = true;
    Invalidate();
    return true;
}

bool EngineWindow::LoadFile(const std::wstring& url)
{
    std::string bytes;
    if (!Request(url, RT_DATA_HTML, bytes))
        return false;
    return LoadHtml(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), url);
}

bool EngineWindow::LoadHtml(const unsigned char* html, size_t size, const std::wstring& baseUrl)
{
    Busy busy(this);
    std::wstring text = DecodeText(html, size);
    ParseAndRun(text, baseUrl);
    return true;
}

void EngineWindow::ParseAndRun(const std::wstring& html, const std::wstring& baseUrl)
{
    Unload();
    m_doc = std::make_unique<Document>();
    m_doc->url = baseUrl;
    m_doc->window = this;
    ParseHtml(*m_doc, html);
    // Style sheets in document order.
    std::vector<Element*> all;
    m_doc->root->CollectElements(all);
    for (Element* e : all) {
        if (e->tag == "style") {
            m_styles.AddSheet(e->TextContent(), baseUrl);
        } else if (e->tag == "link") {
            const std::wstring* rel = e->Attribute("rel");
            const std::wstring* href = e->Attribute("href");
            if (rel && href && _wcsicmp(rel->c_str(), L"stylesheet") == 0) {
                std::wstring url = ResolveUrl(baseUrl, *href);
                std::string bytes;
                if (Request(url, RT_DATA_STYLE, bytes))
                    m_styles.AddSheet(DecodeText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
                                      url);
            }
        }
    }
    m_styles.ComputeAll(m_doc->root.get(), baseUrl);
    m_doc->styleDirty = false;
    CollectResources();
    m_layoutDirty = true;
    m_page = std::make_unique<ScriptPage>(this);
    // Scripts in document order; a failing script does not stop the others.
    for (Element* e : all) {
        if (e->tag != "script" || !m_page)
            continue;
        const std::wstring* type = e->Attribute("type");
        if (type && !type->empty() && type->find(L"javascript") == std::wstring::npos &&
            type->find(L"ecmascript") == std::wstring::npos && _wcsicmp(type->c_str(), L"text/tiscript") != 0)
            continue;
        if (const std::wstring* src = e->Attribute("src")) {
            std::wstring url = ResolveUrl(baseUrl, *src);
            std::string bytes;
            if (Request(url, RT_DATA_SCRIPT, bytes))
                m_page->Execute(DecodeText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), url);
            else
                ReportScriptError(url, 0, L"script not found");
        } else {
            m_page->Execute(e->TextContent(), baseUrl);
        }
        if (!m_doc)
            return;  // a script replaced the page
    }
    if (m_page)
        m_page->FireLoaded();
    m_layoutDirty = true;
    Invalidate();
}

void EngineWindow::LoadImage(const std::wstring& url)
{
    if (url.empty() || m_images.Known(url))
        return;
    std::string bytes;
    if (Request(url, RT_DATA_IMAGE, bytes))
        m_images.Store(url, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    else
        m_images.Store(url, nullptr, 0);  // missing: the box stays empty
}

void EngineWindow::CollectResources()
{
    if (!m_doc)
        return;
    std::vector<Element*> all;
    m_doc->root->CollectElements(all);
    for (Element* e : all) {
        if (e->style.display == Display::None)
            continue;
        if (e->tag == "img")
            LoadImage(ImageUrl(e));
        if (!e->style.backgroundImage.empty())
            LoadImage(e->style.backgroundImage);
        if (!e->style.behavior.empty() && !e->behaviorAsked && m_callback) {
            e->behaviorAsked = true;
            SCN_ATTACH_BEHAVIOR n {};
            n.code = SC_ATTACH_BEHAVIOR;
            n.hwnd = m_hwnd;
            n.element = static_cast<HELEMENT>(e);
            n.behaviorName = e->style.behavior.c_str();
            auto keep = RefOf(e);
            Busy busy(this);
            if (m_callback(reinterpret_cast<SCITER_CALLBACK_NOTIFICATION*>(&n), m_callbackParam) && n.elementProc) {
                e->behaviorProc = n.elementProc;
                e->behaviorTag = n.elementTag;
                INITIALIZATION_PARAMS p {BEHAVIOR_ATTACH};
                n.elementProc(n.elementTag, static_cast<HELEMENT>(e), HANDLE_INITIALIZATION, &p);
            }
            if (!m_doc)
                return;
        }
    }
}

bool EngineWindow::SetOption(UINT option, UINT_PTR value)
{
    if (option != SCITER_TRANSPARENT_WINDOW)
        return false;
    m_transparent = value != 0;
    Invalidate();
    return true;
}

// ---- layout and painting --------------------------------------------------------

void EngineWindow::ElementChanged()
{
    if (m_doc)
        m_doc->styleDirty = true;
    m_layoutDirty = true;
    Invalidate();
}

void EngineWindow::Invalidate()
{
    if (!IsWindow(m_hwnd))
        return;
    if (GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) {
        // Layered windows get no WM_PAINT: present on the next turn of the loop.
        if (!m_paintPending) {
            m_paintPending = true;
            PostMessageW(m_hwnd, WM_NULL, 0x4C41, 0x5945);  // marker handled in Proc
        }
        return;
    }
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

void EngineWindow::UpdateLayout()
{
    if (!m_doc)
        return;
    RECT rc {};
    GetClientRect(m_hwnd, &rc);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w != m_lastWidth || h != m_lastHeight) {
        m_layoutDirty = true;
        m_lastWidth = w;
        m_lastHeight = h;
    }
    double t0 = Now();
    if (m_doc->styleDirty) {
        m_styles.ComputeAll(m_doc->root.get(), m_doc->url);
        m_doc->styleDirty = false;
        m_layoutDirty = true;
        CollectResources();
        if (!m_doc)
            return;
    }
    double t1 = Now();
    if (m_layoutDirty) {
        LayoutContext ctx;
        ctx.viewportWidth = static_cast<float>(w);
        ctx.viewportHeight = static_cast<float>(h);
        ctx.imageSize = [this](const std::wstring& url, int& iw, int& ih) {
            const Picture* b = m_images.Find(url);
            if (!b)
                return false;
            iw = b->width;
            ih = b->height;
            return true;
        };
        LayoutDocument(*m_doc, ctx);
        m_layoutDirty = false;
        SizeHostedWindows();
    }
    double t2 = Now();
    m_timing.style = t1 - t0;
    m_timing.layout = t2 - t1;
}

void EngineWindow::SizeHostedWindows()
{
    std::vector<Element*> all;
    m_doc->root->CollectElements(all);
    for (Element* e : all) {
        if (!e->hostedWindow)
            continue;
        if (!IsWindow(e->hostedWindow)) {
            e->hostedWindow = nullptr;
            continue;
        }
        bool shown = e->laidOut && e->style.display != Display::None && e->style.visible;
        SetWindowPos(e->hostedWindow, nullptr, static_cast<int>(e->content.x), static_cast<int>(e->content.y),
                     static_cast<int>(e->content.w), static_cast<int>(e->content.h),
                     SWP_NOZORDER | SWP_NOACTIVATE | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
}

bool EngineWindow::PaintToBuffer(int w, int h)
{
    if (w <= 0 || h <= 0)
        return false;
    if (!m_dib || w != m_dibW || h != m_dibH) {
        m_dib.reset();
        BITMAPINFO bi {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        m_dib.reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &m_bits, nullptr, 0));
        if (!m_dib) {
            m_bits = nullptr;
            return false;
        }
        m_dibW = w;
        m_dibH = h;
    }
    UpdateLayout();
    double t0 = Now();
    Gdiplus::Bitmap canvas(w, h, w * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(m_bits));
    Gdiplus::Graphics g(&canvas);
    uint32_t* px = static_cast<uint32_t*>(m_bits);
    bool layered = (GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    if (layered || m_transparent) {
        std::fill(px, px + static_cast<size_t>(w) * h, 0u);
    } else {
        Argb bg = 0xFFFFFFFF;
        if (m_doc) {
            Argb rootBg = m_doc->root->style.backgroundColor;
            Argb bodyBg = m_doc->Body()->style.backgroundColor;
            if (rootBg >> 24)
                bg = rootBg;
            else if (bodyBg >> 24)
                bg = bodyBg;
        }
        std::fill(px, px + static_cast<size_t>(w) * h, bg | 0xFF000000u);
    }
    if (m_doc) {
        PaintState st;
        st.images = &m_images;
        st.focused = m_focus.get();
        st.caretVisible = m_caretOn && GetFocus() == m_hwnd;
        Canvas c {px, w, h, 0, 0, {0, 0, w, h}};
        PaintDocument(g, c, *m_doc, st);
    }
    g.Flush(Gdiplus::FlushIntentionSync);
    m_timing.paint = Now() - t0;
    return true;
}

bool EngineWindow::Render(std::vector<uint32_t>& pixels, int& width, int& height)
{
    RECT rc {};
    GetClientRect(m_hwnd, &rc);
    width = rc.right;
    height = rc.bottom;
    if (!PaintToBuffer(width, height))
        return false;
    pixels.assign(static_cast<uint32_t*>(m_bits), static_cast<uint32_t*>(m_bits) + static_cast<size_t>(width) * height);
    return true;
}

void EngineWindow::Paint(HDC hdc)
{
    RECT rc {};
    GetClientRect(m_hwnd, &rc);
    if (!PaintToBuffer(rc.right, rc.bottom))
        return;
    UniqueMemoryDC mem(CreateCompatibleDC(hdc));
    HGDIOBJ old = SelectObject(mem.get(), m_dib.get());
    BitBlt(hdc, 0, 0, rc.right, rc.bottom, mem.get(), 0, 0, SRCCOPY);
    SelectObject(mem.get(), old);
}

void EngineWindow::PresentLayered()
{
    m_paintPending = false;
    RECT rc {}, wr {};
    GetClientRect(m_hwnd, &rc);
    GetWindowRect(m_hwnd, &wr);
    if (!PaintToBuffer(rc.right, rc.bottom))
        return;
    HDC screen = GetDC(nullptr);
    ScopeExit releaseScreen([screen] { ReleaseDC(nullptr, screen); });
    UniqueMemoryDC mem(CreateCompatibleDC(screen));
    HGDIOBJ old = SelectObject(mem.get(), m_dib.get());
    POINT src {0, 0}, dst {wr.left, wr.top};
    SIZE size {rc.right, rc.bottom};
    BLENDFUNCTION blend {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(m_hwnd, screen, &dst, &size, mem.get(), &src, 0, &blend, ULW_ALPHA);
    SelectObject(mem.get(), old);
}

// ---- view calls -----------------------------------------------------------------

bool EngineWindow::ViewCall(const std::string& name, const std::vector<Value>& args, Value& result)
{
    Busy busy(this);
    std::vector<VALUE> argv;
    for (auto& a : args)
        argv.push_back(*a.get());
    SCRIPTING_METHOD_PARAMS p {};
    p.name = name.c_str();
    p.argv = argv.empty() ? nullptr : argv.data();
    p.argc = static_cast<UINT>(argv.size());
    ValueInit(&p.result);
    HELEMENT root = m_doc ? static_cast<HELEMENT>(m_doc->root.get()) : nullptr;
    if (NotifyHandlers(HANDLE_SCRIPTING_METHOD_CALL, &p, root)) {
        ValueCopy(result.get(), &p.result);
        ValueClear(&p.result);
        return true;
    }
    ValueClear(&p.result);
    return BuiltinView(name, args, result);
}

bool EngineWindow::BuiltinView(const std::string& name, const std::vector<Value>& args, Value& result)
{
    auto intArg = [&](size_t i, int def) {
        if (i >= args.size())
            return def;
        INT v = 0;
        double d = 0;
        if (ValueIntData(args[i].get(), &v) == HV_OK)
            return static_cast<int>(v);
        if (ValueFloatData(args[i].get(), &d) == HV_OK)
            return static_cast<int>(std::lround(d));
        return def;
    };
    auto rectValue = [&](const RECT& r) {
        VALUE* v = result.get();
        ValueClear(v);
        int parts[4] = {r.left, r.top, r.right, r.bottom};
        for (int i = 0; i < 4; ++i) {
            Value item;
            SetInt(item.get(), parts[i]);
            ValueNthElementValueSet(v, i, item.get());
        }
    };
    if (name == "move") {
        if (args.size() < 2)
            return false;
        RECT wr {};
        GetWindowRect(m_hwnd, &wr);
        int w = intArg(2, wr.right - wr.left), h = intArg(3, wr.bottom - wr.top);
        SetWindowPos(m_hwnd, nullptr, intArg(0, wr.left), intArg(1, wr.top), w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        if (GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_LAYERED)
            PresentLayered();
        SetBool(result.get(), true);
        return true;
    }
    if (name == "windowRect") {
        RECT r {};
        GetWindowRect(m_hwnd, &r);
        rectValue(r);
        return true;
    }
    if (name == "clientRect") {
        RECT r {};
        GetClientRect(m_hwnd, &r);
        MapWindowPoints(m_hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
        rectValue(r);
        return true;
    }
    if (name == "screenRect") {
        MONITORINFO mi {sizeof(mi)};
        GetMonitorInfoW(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY), &mi);
        rectValue(intArg(0, 0) ? mi.rcWork : mi.rcMonitor);
        return true;
    }
    int show = name == "minimize"   ? SW_MINIMIZE
               : name == "maximize" ? SW_MAXIMIZE
               : name == "restore"  ? SW_RESTORE
               : name == "show"     ? SW_SHOW
               : name == "hide"     ? SW_HIDE
                                    : -1;
    if (show >= 0) {
        ShowWindow(m_hwnd, show);
        SetBool(result.get(), true);
        return true;
    }
    if (name == "activate") {
        SetForegroundWindow(m_hwnd);
        SetBool(result.get(), true);
        return true;
    }
    if (name == "close") {
        // Posted: the page's own code is still running.
        PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
        SetBool(result.get(), true);
        return true;
    }
    if (name == "log") {
        std::wstring line;
        for (auto& a : args) {
            if (!line.empty())
                line += L' ';
            line += a.get()->t == T_STRING ? ValueText(a.get()) : ValueJson(a.get());
        }
        DebugLine(L"sciter32.dll=>" + line);
        SetBool(result.get(), true);
        return true;
    }
    return false;
}

// ---- window procedure -----------------------------------------------------------

LRESULT EngineWindow::Proc(UINT msg, WPARAM wParam, LPARAM lParam, BOOL* handled)
{
    Busy busy(this);
    *handled = FALSE;
    switch (msg) {
    case WM_NULL:
        if (wParam == 0x4C41 && lParam == 0x5945) {
            PresentLayered();
            *handled = TRUE;
        }
        return 0;
    case WM_ERASEBKGND:
        *handled = TRUE;
        return 1;
    case WM_PAINT: {
        if (GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) {
            ValidateRect(m_hwnd, nullptr);
            PresentLayered();
        } else {
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(m_hwnd, &ps);
            Paint(hdc);
            EndPaint(m_hwnd, &ps);
        }
        *handled = TRUE;
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        *handled = TRUE;
        return 0;
    case WM_SIZE:
        m_layoutDirty = true;
        Invalidate();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam && (GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_LAYERED))
            Invalidate();
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        OnMouse(msg, wParam, lParam);
        *handled = TRUE;
        return 0;
    case WM_MOUSEWHEEL: {
        if (!m_doc)
            return 0;
        UpdateLayout();
        POINT pt {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(m_hwnd, &pt);
        Element* target = HitTest(m_doc->root.get(), static_cast<float>(pt.x), static_cast<float>(pt.y));
        for (Element* p = target; p; p = p->parent) {
            if (!p->style.overflowScroll || p->MaxScroll() <= 0)
                continue;
            float step = p->style.LineHeightPx() * 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
            float before = p->scrollTop;
            p->scrollTop = std::clamp(p->scrollTop - step, 0.0f, p->MaxScroll());
            if (p->scrollTop != before) {
                ElementChanged();
                if (m_page) {
                    EventInfo ev;
                    ev.type = "scroll";
                    ev.bubbles = false;
                    m_page->Dispatch(p, ev);
                }
            }
            *handled = TRUE;
            break;
        }
        return 0;
    }
    case WM_MOUSELEAVE:
        m_tracking = false;
        if (!m_pressed)
            SetHover(nullptr);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != m_hwnd) {
            m_pressed.reset();
            m_selecting = false;
        }
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && m_doc) {
            UpdateCursor();
            *handled = TRUE;
            return TRUE;
        }
        return 0;
    case WM_GETDLGCODE:
        *handled = TRUE;
        return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
        if (OnKey(msg, wParam, lParam))
            *handled = TRUE;
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        RestartCaret();
        Invalidate();
        return 0;
    case WM_TIMER:
        if (wParam == kCaretTimer) {
            m_caretOn = !m_caretOn;
            Invalidate();
            *handled = TRUE;
            return 0;
        }
        if (m_page && m_page->OnTimer(wParam))
            *handled = TRUE;
        return 0;
    case WM_CLOSE:
        if (m_page && !m_page->CloseRequest()) {
            *handled = TRUE;
            return 0;
        }
        return 0;
    case WM_DESTROY: {
        std::vector<Handler> handlers;
        handlers.swap(m_handlers);
        for (auto& h : handlers) {
            INITIALIZATION_PARAMS p {BEHAVIOR_DETACH};
            h.proc(h.tag, m_doc ? static_cast<HELEMENT>(m_doc->root.get()) : nullptr, HANDLE_INITIALIZATION, &p);
        }
        Unload();
        return 0;
    }
    case WM_NCDESTROY:
        Forget(m_hwnd);  // deletes this when no entry of it is running
        return 0;
    }
    return 0;
}

}  // namespace he
