#pragma once
// Listing programs with the Windows Firewall (authorised applications of its
// profiles). Failures are printed on standard output and returned; the
// firewall verbs never stop a component.
#include <windows.h>

#include <netfw.h>

#include <functional>
#include <string>
#include <vector>

namespace FirewallTools {

// Where the firewall's COM objects come from; tests substitute their own.
class iFirewallComFactory {
public:
    virtual ~iFirewallComFactory() = default;
    virtual HRESULT CreateManager(INetFwMgr** manager) = 0;
    virtual HRESULT CreateAuthorizedApplication(INetFwAuthorizedApplication** application) = 0;
};

// Installs a factory for the process and returns the previous one; nullptr
// restores the firewall's own classes.
iFirewallComFactory* SetComFactory(iFirewallComFactory* factory);

// Receives each printed message instead of standard output; an empty
// function restores standard output.
void SetOutputSink(std::function<void(const std::string&)> sink);

// Profile selectors: 0 the profile in effect, 1 domain, 2 standard.
// "Current", "Domain", "Standard" select one; any other text all three.
std::vector<int> ProfileSelectors(const std::wstring& type);

// The selected profile of the local policy; the caller releases it.
HRESULT WindowsFirewallInitialize(INetFwProfile** profile, int selector);
// *enabled = 1 when the program is listed and enabled in the profile.
HRESULT WindowsFirewallAppIsEnabled(INetFwProfile* profile, const wchar_t* path, int* enabled);
// Lists the program in the profile unless it is enabled there already.
HRESULT WindowsFirewallAddApp(INetFwProfile* profile, const wchar_t* path, const wchar_t* name);
// WindowsFirewallAddApp, then a check that the program is now enabled.
bool AddAppToProfile(INetFwProfile* profile, const wchar_t* name, const wchar_t* path);
// Takes the program out of the profile's list.
bool WindowsFirewallRemoveApp(INetFwProfile* profile, const wchar_t* path);

// Adds the program to the profiles that type selects; stops at the first failure.
bool AddFirewall(const std::wstring& name, const std::wstring& path, const std::wstring& type);
// Removes the program from all three profiles; stops at the first failure.
bool RemoveFirewall(const std::wstring& path);

}  // namespace FirewallTools
