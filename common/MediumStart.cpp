#include "common/MediumStart.h"

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <atomic>
#include <cstdio>

#include "common/DebugOutput.h"
#include "common/Handles.h"
#include "common/ProcessOperation.h"

namespace MediumStart {

namespace {

// COM on the calling thread for one start; undone only when this call did it.
class ComScope {
public:
    ComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) { }
    ~ComScope()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_hr;
};

class Variant {
public:
    Variant() { ::VariantInit(&value); }
    explicit Variant(const std::wstring& text) : Variant()
    {
        value.vt = VT_BSTR;
        value.bstrVal = ::SysAllocString(text.c_str());
    }
    explicit Variant(long number) : Variant()
    {
        value.vt = VT_I4;
        value.lVal = number;
    }
    ~Variant() { ::VariantClear(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT value;
};

// The shell's dispatch object of its desktop view; S_FALSE when no desktop
// shell runs.
HRESULT DesktopShellDispatch(ComPtr<IShellDispatch2>& out)
{
    ComPtr<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.put_void())) ||
        !windows)
        return S_FALSE;
    Variant desktop(static_cast<long>(CSIDL_DESKTOP));
    Variant empty;
    long window = 0;
    ComPtr<IDispatch> found;
    HRESULT hr =
        windows->FindWindowSW(&desktop.value, &empty.value, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.put());
    if (hr != S_OK || !found)
        return S_FALSE;
    ComPtr<IServiceProvider> provider;
    if (FAILED(hr = found->QueryInterface(IID_IServiceProvider, provider.put_void())))
        return hr;
    ComPtr<IShellBrowser> browser;
    if (FAILED(hr = provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void())))
        return hr;
    ComPtr<IShellView> view;
    if (FAILED(hr = browser->QueryActiveShellView(view.put())))
        return hr;
    ComPtr<IDispatch> background;
    if (FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())))
        return hr;
    ComPtr<IShellFolderViewDual> folderView;
    if (FAILED(hr = background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void())))
        return hr;
    ComPtr<IDispatch> application;
    if (FAILED(hr = folderView->get_Application(application.put())))
        return hr;
    if (FAILED(hr = application->QueryInterface(IID_IShellDispatch2, out.put_void())))
        return hr;
    return out ? S_OK : E_NOINTERFACE;
}

class SystemStarterImpl : public Starter {
public:
    HRESULT ThroughDesktopShell(const Program& program) override
    {
        ComScope com;
        ComPtr<IShellDispatch2> shell;
        HRESULT hr = DesktopShellDispatch(shell);
        if (hr != S_OK)
            return hr;
        UniqueBstr file(::SysAllocString(program.file.c_str()));
        Variant parameters(program.parameters);
        Variant folder(program.folder);
        Variant operation(std::wstring(L"open"));
        Variant show(static_cast<long>(SW_SHOWNORMAL));
        hr = shell->ShellExecute(file.get(), parameters.value, folder.value, operation.value, show.value);
        // The shell reports S_FALSE for a start it could not make.
        return hr == S_OK ? S_OK : FAILED(hr) ? hr : E_FAIL;
    }
    HRESULT WithLoweredToken(const std::wstring& commandLine, const std::wstring& folder) override
    {
        return ProcessOperation::CreateProcessWithIntegrityLevel(commandLine.c_str(),
                                                                 folder.empty() ? nullptr : folder.c_str());
    }
};

std::atomic<Starter*>& Installed()
{
    static std::atomic<Starter*> starter {&SystemStarter()};
    return starter;
}

}  // namespace

Starter& SystemStarter()
{
    static SystemStarterImpl starter;
    return starter;
}

Starter& CurrentStarter()
{
    return *Installed().load();
}

ScopedStarter::ScopedStarter(Starter& starter) : m_previous(Installed().exchange(&starter)) { }

ScopedStarter::~ScopedStarter()
{
    Installed().store(m_previous);
}

std::wstring CommandLine(const Program& program)
{
    std::wstring line = L"\"" + program.file + L"\"";
    if (!program.parameters.empty())
        line += L" " + program.parameters;
    return line;
}

Route Start(const Program& program)
{
    Starter& starter = CurrentStarter();
    const HRESULT shell = starter.ThroughDesktopShell(program);
    if (shell == S_OK)
        return Route::DesktopShell;
    if (shell != S_FALSE) {
        wchar_t code[16] = {};
        std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(shell));
        DebugLine(std::wstring(L"stagehand.exe=>the desktop shell did not start the program (") + code +
                  L"); it is not started with this run's token");
        return Route::NotStarted;
    }
    DebugLine(L"stagehand.exe=>no desktop shell runs: the program starts with this run's token at medium integrity");
    return starter.WithLoweredToken(CommandLine(program), program.folder) == S_OK ? Route::LoweredToken
                                                                                  : Route::NotStarted;
}

}  // namespace MediumStart
