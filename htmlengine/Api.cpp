#include "htmlengine/Api.h"

#include <map>
#include <memory>

#include "htmlengine/EngineWindow.h"
#include "htmlengine/ExportGuard.h"
#include "htmlengine/Fonts.h"
#include "htmlengine/Value.h"

namespace he {

namespace {

// Handles given out through Sciter_UseElement keep their elements alive.
std::map<Element*, std::shared_ptr<Element>>& Used()
{
    static auto* m = new std::map<Element*, std::shared_ptr<Element>>;
    return *m;
}

Element* Elem(HELEMENT he)
{
    return IsLiveElement(he) ? static_cast<Element*>(he) : nullptr;
}

LRESULT WINAPI ProcND(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, BOOL* pbHandled)
{
    // No exception may leave the DLL.
    try {
        BOOL dummy = FALSE;
        if (!pbHandled)
            pbHandled = &dummy;
        *pbHandled = FALSE;
        if (msg == WM_NCCREATE)
            return 0;  // too early: the window is made an engine window on WM_CREATE
        EngineWindow* w = EngineWindow::Find(hwnd, msg != WM_NCDESTROY && msg != WM_DESTROY);
        if (!w)
            return 0;
        return w->Proc(msg, wParam, lParam, pbHandled);
    } catch (...) {
        return 0;
    }
}

VOID WINAPI SetCallback(HWND hwnd, SciterHostCallback cb, LPVOID param)
{
    // No exception may leave the DLL.
    try {
        if (EngineWindow* w = EngineWindow::Find(hwnd, true))
            w->SetCallback(cb, param);
    } catch (...) {
        return;
    }
}

BOOL WINAPI AttachEventHandler(HWND hwnd, ElementEventProc pep, LPVOID tag, UINT subscription)
{
    // No exception may leave the DLL.
    try {
        EngineWindow* w = EngineWindow::Find(hwnd, true);
        return w && w->AttachHandler(pep, tag, subscription);
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI DetachEventHandler(HWND hwnd, ElementEventProc pep, LPVOID tag)
{
    // No exception may leave the DLL.
    try {
        EngineWindow* w = EngineWindow::Find(hwnd, false);
        return w && w->DetachHandler(pep, tag);
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI LoadHtml(HWND hwnd, LPCBYTE html, UINT size, LPCWSTR baseUrl)
{
    // No exception may leave the DLL.
    try {
        if (!html && size)
            return FALSE;
        EngineWindow* w = EngineWindow::Find(hwnd, true);
        return w && w->LoadHtml(html, size, baseUrl ? baseUrl : L"");
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI LoadFile(HWND hwnd, LPCWSTR url)
{
    // No exception may leave the DLL.
    try {
        if (!url)
            return FALSE;
        EngineWindow* w = EngineWindow::Find(hwnd, true);
        return w && w->LoadFile(url);
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI DataReady(HWND hwnd, LPCWSTR uri, LPCBYTE data, UINT size)
{
    // No exception may leave the DLL.
    try {
        if (!data && size)
            return FALSE;
        EngineWindow* w = EngineWindow::Find(hwnd, false);
        return w && w->DataReady(uri ? uri : L"", data, size);
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI DataReadyAsync(HWND hwnd, LPCWSTR uri, LPCBYTE data, UINT size, LPVOID requestId)
{
    // No exception may leave the DLL.
    try {
        if (!data && size)
            return FALSE;
        EngineWindow* w = EngineWindow::Find(hwnd, false);
        return w && w->DataReadyAsync(uri ? uri : L"", data, size, requestId);
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI SetOption(HWND hwnd, UINT option, UINT_PTR value)
{
    // No exception may leave the DLL.
    try {
        EngineWindow* w = EngineWindow::Find(hwnd, true);
        return w && w->SetOption(option, value);
    } catch (...) {
        return FALSE;
    }
}

UINT WINAPI UseElement(HELEMENT he)
{
    return Guarded<UINT>(static_cast<UINT>(SCDOM_OPERATION_FAILED), [&]() -> UINT {
        Element* e = Elem(he);
        if (!e)
            return SCDOM_INVALID_HANDLE;
        if (e->externalRefs++ == 0)
            Used()[e] = RefOf(e);
        return SCDOM_OK;
    });
}

UINT WINAPI UnuseElement(HELEMENT he)
{
    return Guarded<UINT>(static_cast<UINT>(SCDOM_OPERATION_FAILED), [&]() -> UINT {
        Element* e = Elem(he);
        if (!e || e->externalRefs <= 0)
            return SCDOM_INVALID_HANDLE;
        if (--e->externalRefs == 0)
            Used().erase(e);  // may free the element
        return SCDOM_OK;
    });
}

UINT WINAPI GetRootElement(HWND hwnd, HELEMENT* phe)
{
    return Guarded<UINT>(static_cast<UINT>(SCDOM_OPERATION_FAILED), [&]() -> UINT {
        if (!phe)
            return SCDOM_INVALID_PARAMETER;
        *phe = nullptr;
        EngineWindow* w = EngineWindow::Find(hwnd, false);
        if (!w)
            return SCDOM_INVALID_HWND;
        if (!w->Doc())
            return SCDOM_OPERATION_FAILED;
        *phe = static_cast<HELEMENT>(w->Doc()->root.get());
        return SCDOM_OK;
    });
}

UINT WINAPI GetAttributeByNameCB(HELEMENT he, LPCSTR name, LPCWSTR_RECEIVER rcv, LPVOID param)
{
    return Guarded<UINT>(static_cast<UINT>(SCDOM_OPERATION_FAILED), [&]() -> UINT {
        Element* e = Elem(he);
        if (!e)
            return SCDOM_INVALID_HANDLE;
        if (!name || !rcv)
            return SCDOM_INVALID_PARAMETER;
        std::string n = name;
        for (auto& c : n)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        const std::wstring* v = e->Attribute(n);
        if (!v)
            return static_cast<UINT>(SCDOM_OK_NOT_HANDLED);
        rcv(v->c_str(), static_cast<UINT>(v->size()), param);
        return SCDOM_OK;
    });
}

UINT WINAPI GetElementHwnd(HELEMENT he, HWND* pHwnd, BOOL rootWindow)
{
    return Guarded<UINT>(static_cast<UINT>(SCDOM_OPERATION_FAILED), [&]() -> UINT {
        if (!pHwnd)
            return SCDOM_INVALID_PARAMETER;
        *pHwnd = nullptr;
        Element* e = Elem(he);
        if (!e)
            return SCDOM_INVALID_HANDLE;
        if (!e->document || !e->document->window)
            return SCDOM_PASSIVE_HANDLE;
        HWND hwnd = e->document->window->Hwnd();
        if (rootWindow) {
            HWND root = GetAncestor(hwnd, GA_ROOT);
            *pHwnd = root ? root : hwnd;
        } else {
            *pHwnd = e->hostedWindow && IsWindow(e->hostedWindow) ? e->hostedWindow : hwnd;
        }
        return SCDOM_OK;
    });
}

UINT WINAPI AttachHwndToElement(HELEMENT he, HWND hwnd)
{
    return Guarded<UINT>(static_cast<UINT>(SCDOM_OPERATION_FAILED), [&]() -> UINT {
        Element* e = Elem(he);
        if (!e)
            return SCDOM_INVALID_HANDLE;
        if (hwnd && !IsWindow(hwnd))
            return SCDOM_INVALID_PARAMETER;
        e->hostedWindow = hwnd;
        if (e->document && e->document->window)
            e->document->window->ElementChanged();
        return SCDOM_OK;
    });
}

BOOL WINAPI GetArchiveItem(HSARCHIVE harc, LPCWSTR path, LPCBYTE* pdata, UINT* pdataLength)
{
    // The engine opens no archives, so nothing is ever found.
    (void)harc;
    (void)path;
    if (pdata)
        *pdata = nullptr;
    if (pdataLength)
        *pdataLength = 0;
    return FALSE;
}

struct ScriptApiInfo {
    UINT version;
    const char* language;
};

LPVOID WINAPI ScriptApi()
{
    static ScriptApiInfo info {1, "ECMAScript 5.1"};
    return &info;
}

}  // namespace

ISciterAPI* EngineApi()
{
    EnsureGdiplus();
    static ISciterAPI api = {
        1,
        ProcND,
        SetCallback,
        AttachEventHandler,
        DetachEventHandler,
        LoadHtml,
        LoadFile,
        DataReady,
        DataReadyAsync,
        SetOption,
        UseElement,
        UnuseElement,
        GetRootElement,
        GetAttributeByNameCB,
        GetElementHwnd,
        AttachHwndToElement,
        GetArchiveItem,
        ValueInit,
        ValueClear,
        ValueCopy,
        ValueType,
        ValueStringData,
        ValueStringDataSet,
        ValueIntData,
        ValueIntDataSet,
        ValueFloatData,
        ValueFloatDataSet,
        ValueElementsCount,
        ValueNthElementValue,
        ValueNthElementValueSet,
        ValueNthElementKey,
        ValueSetValueToKey,
        ValueGetValueOfKey,
        ValueToString,
        ValueFromString,
        ValueInvoke,
        ScriptApi,
    };
    return &api;
}

}  // namespace he
