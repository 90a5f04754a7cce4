// First paint and animation-frame cost of the engine on the demo page
// (about 60 elements, 10 pictures, a 30 ms carousel timer).
//   htmlengine_bench.exe <demo.htm path> [frames]
//   htmlengine_bench.exe <demo.htm path> --show <seconds> [--layered]   (just shows the page in a window)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "htmlengine/Api.h"
#include "htmlengine/EngineWindow.h"

namespace {

double Now()
{
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER x;
        QueryPerformanceFrequency(&x);
        return x;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    BOOL handled = FALSE;
    LRESULT r = he::EngineApi()->SciterProcND(h, m, w, l, &handled);
    return handled ? r : DefWindowProcW(h, m, w, l);
}

BOOL CALLBACK Host(LPVOID, HELEMENT, UINT group, LPVOID prms)
{
    if (group != HANDLE_SCRIPTING_METHOD_CALL)
        return FALSE;
    auto* p = static_cast<SCRIPTING_METHOD_PARAMS*>(prms);
    he::SetString(&p->result, L"{\"statue\":true,\"path\":\"C:\\\\x\"}");
    return TRUE;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: htmlengine_bench <demo.htm> [frames]\n");
        return 2;
    }
    int frames = argc > 2 ? _wtoi(argv[2]) : 200;
    std::wstring url = std::wstring(L"file://") + argv[1];
    ISciterAPI* api = he::EngineApi();
    WNDCLASSW wc {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchView";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    if (argc > 3 && wcscmp(argv[2], L"--show") == 0) {
        DWORD ex = argc > 4 && wcscmp(argv[4], L"--layered") == 0 ? WS_EX_LAYERED : 0;
        HWND shown = CreateWindowExW(ex, L"BenchView", L"demo", WS_POPUP | WS_VISIBLE, 100, 100, 601, 401, nullptr,
                                     nullptr, wc.hInstance, nullptr);
        api->SciterWindowAttachEventHandler(shown, Host, nullptr, HANDLE_ALL);
        api->SciterLoadFile(shown, url.c_str());
        double until = Now() + 1000.0 * _wtoi(argv[3]);
        while (Now() < until && IsWindow(shown)) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(1);
        }
        return 0;
    }

    std::vector<double> firstPaint;
    he::EngineWindow* w = nullptr;
    HWND hwnd = nullptr;
    for (int run = 0; run < 7; ++run) {
        if (hwnd)
            DestroyWindow(hwnd);
        hwnd = CreateWindowExW(0, L"BenchView", L"bench", WS_POPUP | WS_VISIBLE, 50, 50, 601, 401, nullptr, nullptr,
                               wc.hInstance, nullptr);
        api->SciterWindowAttachEventHandler(hwnd, Host, nullptr, HANDLE_ALL);
        double t0 = Now();
        api->SciterLoadFile(hwnd, url.c_str());
        w = he::EngineWindow::Find(hwnd, false);
        std::vector<uint32_t> px;
        int pw, ph;
        w->Render(px, pw, ph);
        firstPaint.push_back(Now() - t0);
    }
    // Frames: one carousel step each, then style, layout and paint.
    std::vector<double> style, layout, paint, total, script;
    std::vector<uint32_t> px;
    int pw, ph;
    for (int i = 0; i < frames; ++i) {
        double t0 = Now();
        w->Page()->Evaluate(L"animate()", nullptr);
        double t1 = Now();
        w->Render(px, pw, ph);
        double t2 = Now();
        script.push_back(t1 - t0);
        style.push_back(w->LastTiming().style);
        layout.push_back(w->LastTiming().layout);
        paint.push_back(w->LastTiming().paint);
        total.push_back(t2 - t0);
    }
    // The real thing: the page's own timers for two seconds, painting through WM_PAINT.
    he::Value before;
    w->Page()->Evaluate(L"state.frames", before.get());
    double end = Now() + 2000;
    while (Now() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    }
    he::Value after;
    w->Page()->Evaluate(L"state.frames", after.get());
    INT f0 = 0, f1 = 0;
    he::ValueIntData(before.get(), &f0);
    he::ValueIntData(after.get(), &f1);
    wprintf(L"first paint (load, style, layout, paint), median of 7: %.1f ms (min %.1f)\n", Median(firstPaint),
            *std::min_element(firstPaint.begin(), firstPaint.end()));
    wprintf(L"animation frame, median of %d: total %.2f ms = script %.2f + style %.2f + layout %.2f + paint %.2f\n",
            frames, Median(total), Median(script), Median(style), Median(layout), Median(paint));
    wprintf(L"live carousel: %d frames of the 30 ms timer in 2 s (ideal 66)\n", f1 - f0);
    DestroyWindow(hwnd);
    return 0;
}
