#include "tests/htmlengine/EngineTestSupport.h"

#include <gdiplus.h>
#include <shlwapi.h>

#include "common/FileSystem.h"
#include "htmlengine/Fonts.h"
#include "htmlengine/HtmlParser.h"
#include "tests/support/PngEncoder.h"
#include "tests/support/TestSupport.h"

namespace {

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    BOOL handled = FALSE;
    LRESULT r = he::EngineApi()->SciterProcND(hwnd, msg, wp, lp, &handled);
    if (handled)
        return r;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

const wchar_t* ClassName()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc {sizeof(wc)};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = TestWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"HtmlEngineTestView";
        RegisterClassExW(&wc);
        registered = true;
    }
    return L"HtmlEngineTestView";
}

}  // namespace

TestView::TestView(int w, int h, DWORD exStyle, bool visible)
{
    api = he::EngineApi();
    hwnd = CreateWindowExW(exStyle, ClassName(), L"test", WS_POPUP | (visible ? WS_VISIBLE : 0), 40, 40, w, h, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
    api->SciterSetCallback(hwnd, HostCallback, this);
}

TestView::~TestView()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

UINT CALLBACK TestView::HostCallback(SCITER_CALLBACK_NOTIFICATION* pns, LPVOID param)
{
    auto* self = static_cast<TestView*>(param);
    if (pns->code != SC_LOAD_DATA)
        return 0;
    auto* ld = reinterpret_cast<SCN_LOAD_DATA*>(pns);
    self->requested.push_back(ld->uri);
    auto it = self->files.find(ld->uri);
    if (it != self->files.end())
        self->api->SciterDataReady(pns->hwnd, ld->uri, reinterpret_cast<LPCBYTE>(it->second.data()),
                                   static_cast<UINT>(it->second.size()));
    return LOAD_OK;
}

void TestView::Load(const std::string& html, const std::wstring& url)
{
    api->SciterLoadHtml(hwnd, reinterpret_cast<LPCBYTE>(html.data()), static_cast<UINT>(html.size()), url.c_str());
}

void TestView::Pump(int ms)
{
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

bool TestView::Eval(const std::string& js, VALUE* out)
{
    he::EngineWindow* w = Engine();
    if (!w || !w->Page())
        return false;
    std::wstring code = he::DecodeText(reinterpret_cast<const unsigned char*>(js.data()), js.size());
    return w->Page()->Evaluate(code, out);
}

std::wstring TestView::EvalString(const std::string& js)
{
    he::Value v;
    if (!Eval(js, v.get()))
        return L"<error>";
    return v.get()->t == T_STRING ? he::ValueText(v.get()) : he::ValueJson(v.get());
}

int TestView::EvalInt(const std::string& js)
{
    he::Value v;
    INT i = -99999;
    if (Eval(js, v.get()))
        he::ValueIntData(v.get(), &i);
    return i;
}

bool TestView::EvalBool(const std::string& js)
{
    he::Value v;
    return Eval(js, v.get()) && v.get()->t == T_BOOL && v.get()->d;
}

void TestView::Click(int x, int y)
{
    LPARAM lp = MAKELPARAM(x, y);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, lp);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, lp);
    SendMessageW(hwnd, WM_LBUTTONUP, 0, lp);
}

void TestView::Render()
{
    pixels.clear();
    if (he::EngineWindow* w = Engine())
        w->Render(pixels, width, height);
}

uint32_t TestView::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    // Un-premultiply for comparisons.
    int a = Alpha(p);
    if (a == 0 || a == 255)
        return p;
    auto un = [a](int c) { return std::min(255, c * 255 / a); };
    return (static_cast<uint32_t>(a) << 24) | (un(Red(p)) << 16) | (un(Green(p)) << 8) | un(Blue(p));
}

void TestView::SavePng(const std::wstring& name) const
{
    if (pixels.empty())
        return;
    std::wstring dir = TestExeDirectory() + L"shots\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    Gdiplus::Bitmap bmp(width, height, width * 4, PixelFormat32bppPARGB,
                        reinterpret_cast<BYTE*>(const_cast<uint32_t*>(pixels.data())));
    CLSID png;
    if (EncoderClsid(L"image/png", &png) >= 0)
        bmp.Save((dir + name).c_str(), &png, nullptr);
}

std::string ReadTestFile(const std::wstring& relative)
{
    return FileSystem::ReadFileToString(TestExeDirectory() + relative, true);
}

std::string MakePng(int w, int h, uint32_t argb)
{
    he::EnsureGdiplus();
    Gdiplus::Bitmap bmp(w, h, PixelFormat32bppARGB);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp.SetPixel(x, y, Gdiplus::Color(argb));
    IStream* s = SHCreateMemStream(nullptr, 0);
    CLSID png;
    EncoderClsid(L"image/png", &png);
    bmp.Save(s, &png, nullptr);
    STATSTG st {};
    s->Stat(&st, STATFLAG_NONAME);
    std::string out(static_cast<size_t>(st.cbSize.QuadPart), '\0');
    LARGE_INTEGER zero {};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    s->Read(out.data(), static_cast<ULONG>(out.size()), &read);
    s->Release();
    return out;
}
