#include "actions/FirewallTools.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "common/CodeChange.h"
#include "common/Handles.h"
#include "common/XLog.h"

// Assertion reports name this file with fixed line numbers, so the records
// stay the same whatever the layout of the source.
namespace {

// Assertion records name this file and the lines of the checks they stand for.
constexpr wchar_t kRecordFile[] = L"FirewallTools.cpp";

const CLSID kClsidNetFwMgr = {0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
const IID kIidNetFwMgr = {0xF7898AF5, 0xCAC4, 0x4632, {0xA2, 0xEC, 0xDA, 0x06, 0xE5, 0x11, 0x1A, 0xF2}};
const CLSID kClsidNetFwAuthorizedApplication = {0xEC9846B3,
                                                0x2762,
                                                0x4A6B,
                                                {0xA2, 0x14, 0x6A, 0xCB, 0x60, 0x34, 0x62, 0xD2}};
const IID kIidNetFwAuthorizedApplication = {0xB5E64FFA,
                                            0xC2C5,
                                            0x444E,
                                            {0xA3, 0x01, 0xFB, 0x5E, 0x00, 0x01, 0x80, 0x50}};

class SystemFactory : public FirewallTools::iFirewallComFactory {
public:
    HRESULT CreateManager(INetFwMgr** manager) override
    {
        return ::CoCreateInstance(kClsidNetFwMgr, nullptr, CLSCTX_INPROC_SERVER, kIidNetFwMgr,
                                  reinterpret_cast<void**>(manager));
    }
    HRESULT CreateAuthorizedApplication(INetFwAuthorizedApplication** application) override
    {
        return ::CoCreateInstance(kClsidNetFwAuthorizedApplication, nullptr, CLSCTX_INPROC_SERVER,
                                  kIidNetFwAuthorizedApplication, reinterpret_cast<void**>(application));
    }
};

SystemFactory g_systemFactory;
FirewallTools::iFirewallComFactory* g_factory = &g_systemFactory;
std::mutex g_outputLock;
std::function<void(const std::string&)> g_output;

void Print(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;

void Print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    char buffer[1024];
    int length = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (length < 0)
        return;
    std::string text(buffer, length < static_cast<int>(sizeof(buffer)) ? length : sizeof(buffer) - 1);
    std::lock_guard<std::mutex> guard(g_outputLock);
    if (g_output) {
        g_output(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    // The process may be ended from outside; keep nothing in the buffer.
    std::fflush(stdout);
}

std::string Narrow(const wchar_t* path)
{
    return CCodeChange::StringUTF16toANSI(path ? path : L"");
}

}  // namespace

namespace FirewallTools {

iFirewallComFactory* SetComFactory(iFirewallComFactory* factory)
{
    iFirewallComFactory* previous = g_factory == &g_systemFactory ? nullptr : g_factory;
    g_factory = factory ? factory : &g_systemFactory;
    return previous;
}

void SetOutputSink(std::function<void(const std::string&)> sink)
{
    std::lock_guard<std::mutex> guard(g_outputLock);
    g_output = std::move(sink);
}

std::vector<int> ProfileSelectors(const std::wstring& type)
{
    if (type == L"Current")
        return {0};
    if (type == L"Domain")
        return {1};
    if (type == L"Standard")
        return {2};
    return {0, 1, 2};
}

HRESULT WindowsFirewallInitialize(INetFwProfile** profile, int selector)
{
    if (profile == nullptr)
        return E_POINTER;
    *profile = nullptr;
    ComPtr<INetFwMgr> fwMgr;
    HRESULT hr = g_factory->CreateManager(fwMgr.put());
    if (FAILED(hr)) {
        Print("CoCreateInstance failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return hr;
    }
    if (!fwMgr) {
        XASSERT_AT(fwMgr, kRecordFile, 44);
        return E_FAIL;
    }
    ComPtr<INetFwPolicy> fwPolicy;
    hr = fwMgr->get_LocalPolicy(fwPolicy.put());
    if (FAILED(hr)) {
        Print("get_localPolicy failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return hr;
    }
    if (!fwPolicy) {
        XASSERT_AT(fwPolicy, kRecordFile, 51);
        // A success without a policy is no profile either.
        return E_FAIL;
    }
    ComPtr<INetFwProfile> found;
    if (selector == 1)
        hr = fwPolicy->GetProfileByType(NET_FW_PROFILE_DOMAIN, found.put());
    else if (selector == 2)
        hr = fwPolicy->GetProfileByType(NET_FW_PROFILE_STANDARD, found.put());
    else
        hr = fwPolicy->get_CurrentProfile(found.put());
    if (FAILED(hr)) {
        Print("get_CurrentProfile failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return hr;
    }
    *profile = found.release();
    return hr;
}

HRESULT WindowsFirewallAppIsEnabled(INetFwProfile* fwProfile, const wchar_t* fwProcessImageFileName, int* fwAppEnabled)
{
    if (!fwProfile) {
        XASSERT_AT(fwProfile, kRecordFile, 187);
        return E_INVALIDARG;
    }
    if (!fwProcessImageFileName) {
        XASSERT_AT(fwProcessImageFileName, kRecordFile, 188);
        return E_INVALIDARG;
    }
    if (!fwAppEnabled) {
        XASSERT_AT(fwAppEnabled, kRecordFile, 189);
        return E_INVALIDARG;
    }
    *fwAppEnabled = 0;
    ComPtr<INetFwAuthorizedApplications> fwApps;
    HRESULT hr = fwProfile->get_AuthorizedApplications(fwApps.put());
    if (FAILED(hr)) {
        ::xlog_detail::ReportAssertHr(L"(hr = fwProfile->get_AuthorizedApplications(&fwApps))", ::GetLastError(),
                                      "FirewallTools.cpp", 204, hr);
        return E_FAIL;
    }
    if (!fwApps) {
        XASSERT_AT(fwApps, kRecordFile, 205);
        return E_FAIL;
    }
    UniqueBstr path(::SysAllocString(fwProcessImageFileName));
    if (!path.get()) {
        Print("SysAllocString failed: 0x%08lx\n", static_cast<unsigned long>(E_OUTOFMEMORY));
        return E_OUTOFMEMORY;
    }
    ComPtr<INetFwAuthorizedApplication> fwApp;
    hr = fwApps->Item(path.get(), fwApp.put());
    VARIANT_BOOL enabled = VARIANT_FALSE;
    if (SUCCEEDED(hr) && fwApp) {
        hr = fwApp->get_Enabled(&enabled);
        if (FAILED(hr)) {
            Print("get_Enabled failed: 0x%08lx\n", static_cast<unsigned long>(hr));
            return hr;
        }
    }
    const std::string shown = Narrow(fwProcessImageFileName);
    if (enabled != VARIANT_FALSE) {
        *fwAppEnabled = 1;
        Print("Authorized application %s is enabled in the firewall.\n", shown.c_str());
    } else {
        Print("Authorized application %s is disabled in the firewall.\n", shown.c_str());
    }
    return S_OK;
}

HRESULT WindowsFirewallAddApp(INetFwProfile* fwProfile, const wchar_t* fwProcessImageFileName, const wchar_t* fwName)
{
    if (!fwProfile) {
        XASSERT_AT(fwProfile, kRecordFile, 269);
        return E_INVALIDARG;
    }
    if (!fwProcessImageFileName) {
        XASSERT_AT(fwProcessImageFileName, kRecordFile, 270);
        return E_INVALIDARG;
    }
    if (!fwName) {
        XASSERT_AT(fwName, kRecordFile, 271);
        return E_INVALIDARG;
    }
    int enabled = 0;
    HRESULT hr = WindowsFirewallAppIsEnabled(fwProfile, fwProcessImageFileName, &enabled);
    if (FAILED(hr)) {
        Print("WindowsFirewallAppIsEnabled failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return hr;
    }
    if (enabled)
        return S_OK;

    ComPtr<INetFwAuthorizedApplications> fwApps;
    hr = fwProfile->get_AuthorizedApplications(fwApps.put());
    if (FAILED(hr)) {
        Print("get_AuthorizedApplications failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return hr;
    }
    if (!fwApps) {
        XASSERT_AT(fwApps, kRecordFile, 302);
        return E_FAIL;
    }
    ComPtr<INetFwAuthorizedApplication> fwApp;
    hr = g_factory->CreateAuthorizedApplication(fwApp.put());
    if (FAILED(hr)) {
        Print("CoCreateInstance failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return hr;
    }
    if (!fwApp) {
        XASSERT_AT(fwApp, kRecordFile, 315);
        return E_FAIL;
    }
    UniqueBstr path(::SysAllocString(fwProcessImageFileName));
    if (!path.get()) {
        Print("SysAllocString failed: 0x%08lx\n", static_cast<unsigned long>(E_OUTOFMEMORY));
        return E_OUTOFMEMORY;
    }
    hr = fwApp->put_ProcessImageFileName(path.get());
    if (FAILED(hr)) {
        Print("put_ProcessImageFileName failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return hr;
    }
    UniqueBstr fwBstrName(::SysAllocString(fwName));
    if (!fwBstrName.get()) {
        XASSERT_TEXT_AT(false, L"fwBstrName", kRecordFile, 332);
        return E_OUTOFMEMORY;
    }
    if (::SysStringLen(fwBstrName.get()) == 0) {
        Print("SysAllocString failed: 0x%08lx\n", static_cast<unsigned long>(E_OUTOFMEMORY));
        return E_OUTOFMEMORY;
    }
    hr = fwApp->put_Name(fwBstrName.get());
    if (FAILED(hr)) {
        Print("put_Name failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return hr;
    }
    hr = fwApps->Add(fwApp.get());
    if (FAILED(hr)) {
        Print("Add failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return hr;
    }
    Print("Authorized application %s is now enabled in the firewall.\n", Narrow(fwProcessImageFileName).c_str());
    return S_OK;
}

bool AddAppToProfile(INetFwProfile* profile, const wchar_t* name, const wchar_t* path)
{
    HRESULT hr = WindowsFirewallAddApp(profile, path, name);
    if (FAILED(hr)) {
        Print("WindowsFirewallAddApp failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return false;
    }
    int enabled = 0;
    hr = WindowsFirewallAppIsEnabled(profile, path, &enabled);
    if (FAILED(hr)) {
        Print("WindowsFirewallAppIsEnabled failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        Print("WindowsFirewallAddApp failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return false;
    }
    if (!enabled) {
        Print("WindowsFirewallAddApp failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

bool WindowsFirewallRemoveApp(INetFwProfile* profile, const wchar_t* path)
{
    if (!profile)
        return false;
    ComPtr<INetFwAuthorizedApplications> fwApps;
    HRESULT hr = profile->get_AuthorizedApplications(fwApps.put());
    if (FAILED(hr) || !fwApps) {
        Print("get_AuthorizedApplications failed: 0x%08lx\n", static_cast<unsigned long>(FAILED(hr) ? hr : E_FAIL));
        return false;
    }
    UniqueBstr bstrProcessImageFileName(::SysAllocString(path ? path : L""));
    if (!bstrProcessImageFileName.get() || ::SysStringLen(bstrProcessImageFileName.get()) == 0) {
        // "length is 0", in the GBK code page.
        Print("RemoveFirewall bstrProcessImageFileName\xB3\xA4\xB6\xC8\xCE\xAA"
              "0");
        return false;
    }
    hr = fwApps->Remove(bstrProcessImageFileName.get());
    if (FAILED(hr)) {
        Print("RemoveFirewall Remove failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

bool AddFirewall(const std::wstring& name, const std::wstring& path, const std::wstring& type)
{
    for (int selector : ProfileSelectors(type)) {
        ComPtr<INetFwProfile> profile;
        HRESULT hr = WindowsFirewallInitialize(profile.put(), selector);
        if (FAILED(hr)) {
            Print("WindowsFirewallInitialize failed: 0x%08lx\n", static_cast<unsigned long>(hr));
            return false;
        }
        if (!AddAppToProfile(profile.get(), name.c_str(), path.c_str()))
            return false;
    }
    return true;
}

bool RemoveFirewall(const std::wstring& path)
{
    if (path.empty()) {
        Print("RemoveFirewall strExePath is null");
        return false;
    }
    for (int selector : {0, 1, 2}) {
        ComPtr<INetFwProfile> profile;
        HRESULT hr = WindowsFirewallInitialize(profile.put(), selector);
        if (FAILED(hr)) {
            Print("WindowsFirewallInitialize failed: 0x%08lx\n", static_cast<unsigned long>(hr));
            return false;
        }
        if (!WindowsFirewallRemoveApp(profile.get(), path.c_str()))
            return false;
    }
    return true;
}

}  // namespace FirewallTools
