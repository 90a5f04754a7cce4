// Shows the "noini" notice page with its drop shadow over a plain backdrop of
// a given colour for a while, so that the shadow can be looked at on light
// and dark desktops (tests/ui/shadow-shots.sh takes the pictures).
// With an output path it also writes the shadow's layered bitmap there
// (premultiplied BGRA rows) and "WIDTH HEIGHT LEFT TOP" to OUTPUT.txt, so the
// script can blend it as a compositing desktop would.
//   shadow_shot.exe MILLISECONDS RED GREEN BLUE [OUTPUT]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ui/SciterSetUpUi.h"
#include "framework/velui_framework/frame.h"
#include "ui/SciterView.h"

namespace {

std::wstring g_output;

void CALLBACK Done(HWND, UINT, UINT_PTR, DWORD)
{
    ::PostQuitMessage(0);
}

void CALLBACK Save(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    auto frame = g_view ? g_view->find_frame_by_hwnd(g_root_hwnd) : nullptr;
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    if (!frame || !frame->Shadow().ReadBitmap(pixels, width, height))
        return;
    RECT at {};
    ::GetWindowRect(frame->Shadow().Window(), &at);
    if (FILE* bits = _wfopen(g_output.c_str(), L"wb")) {
        fwrite(pixels.data(), sizeof(uint32_t), pixels.size(), bits);
        fclose(bits);
    }
    if (FILE* text = _wfopen((g_output + L".txt").c_str(), L"w")) {
        fprintf(text, "%d %d %ld %ld\n", width, height, at.left, at.top);
        fclose(text);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const UINT ms = argc > 1 ? static_cast<UINT>(_wtoi(argv[1])) : 5000;
    const COLORREF colour = argc > 4 ? RGB(_wtoi(argv[2]), _wtoi(argv[3]), _wtoi(argv[4])) : RGB(238, 242, 247);
    HINSTANCE module = ::GetModuleHandleW(nullptr);
    WNDCLASSW backdrop {};
    backdrop.lpfnWndProc = &::DefWindowProcW;
    backdrop.hInstance = module;
    backdrop.hbrBackground = ::CreateSolidBrush(colour);
    backdrop.lpszClassName = L"ShadowShotBackdrop";
    ::RegisterClassW(&backdrop);
    ::CreateWindowExW(WS_EX_TOOLWINDOW, backdrop.lpszClassName, L"backdrop", WS_POPUP | WS_VISIBLE, 0, 0,
                      ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, module,
                      nullptr);
    auto ui = std::make_shared<CSciterSetUpUi>(module, L"install", L"");
    ui->ShowPage(L"noini", L"en_US");
    ::SetTimer(nullptr, 0, ms, &Done);
    if (argc > 5) {
        g_output = argv[5];
        ::SetTimer(nullptr, 0, 1500, &Save);
    }
    ui->Run();
    return 0;
}
