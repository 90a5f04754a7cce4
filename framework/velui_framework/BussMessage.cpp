#include "framework/velui_framework/BussMessage.h"

#include <new>
#include <utility>

namespace velui {

namespace {
volatile LONG g_live = 0;
}  // namespace

BussMessage::BussMessage(std::string t, std::string b) : type(std::move(t)), body(std::move(b))
{
    ::InterlockedIncrement(&g_live);
}
BussMessage::~BussMessage()
{
    ::InterlockedDecrement(&g_live);
}

BussCallbackMessage::BussCallbackMessage(uint32_t i, std::string b) : id(i), body(std::move(b))
{
    ::InterlockedIncrement(&g_live);
}
BussCallbackMessage::~BussCallbackMessage()
{
    ::InterlockedDecrement(&g_live);
}

long LiveMessageRecords()
{
    return ::InterlockedCompareExchange(&g_live, 0, 0);
}

UINT MsgFromBussRoot()
{
    static const UINT id = ::RegisterWindowMessageW(L"MESSAGE_FROM_BUSS_1");
    return id;
}
UINT MsgFromBuss()
{
    static const UINT id = ::RegisterWindowMessageW(L"MESSAGE_FROM_BUSS");
    return id;
}
UINT MsgFromBussCallback()
{
    static const UINT id = ::RegisterWindowMessageW(L"MESSAGE_FROM_BUSS_CB");
    return id;
}

bool PostBussMessage(HWND window, UINT message, const std::string& type, const std::string& body)
{
    auto* record = new (std::nothrow) BussMessage(type, body);
    if (!record)
        return false;
    if (!::PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(record))) {
        delete record;
        return false;
    }
    return true;
}

void DropQueuedRecords(HWND window)
{
    // PeekMessage hands out a pending WM_QUIT whatever its filter; one taken
    // here is posted again, or the thread's message loop would never end.
    bool quit = false;
    WPARAM quitCode = 0;
    auto take = [&](UINT id, MSG& msg) {
        while (::PeekMessageW(&msg, window, id, id, PM_REMOVE | PM_NOYIELD)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            return true;
        }
        return false;
    };
    MSG msg;
    for (UINT id : {MsgFromBussRoot(), MsgFromBuss()}) {
        while (take(id, msg))
            delete reinterpret_cast<BussMessage*>(msg.lParam);
    }
    while (take(MsgFromBussCallback(), msg))
        delete reinterpret_cast<BussCallbackMessage*>(msg.lParam);
    if (quit)
        ::PostQuitMessage(static_cast<int>(quitCode));
}

}  // namespace velui
