#pragma once
// An in-memory firewall behind the COM interfaces FirewallTools uses, with
// each call able to fail, answer without an object, or (like Wine's) accept
// an entry and then report it disabled. Counts live objects to find leaks.
#include <windows.h>

#include <netfw.h>

#include <map>
#include <string>
#include <vector>

#include "actions/FirewallTools.h"

class FakeFirewall : public FirewallTools::iFirewallComFactory {
public:
    struct Entry {
        std::wstring name;
        bool enabled = true;
    };
    // Profile stores by NET_FW_PROFILE_TYPE: 0 domain, 1 standard.
    std::map<std::wstring, Entry> profiles[2];
    int currentProfile = NET_FW_PROFILE_STANDARD;

    // Method name -> which call fails (1 = first, 0 = every call).
    std::map<std::string, int> failOn;
    // Method names that succeed without handing out an object.
    std::map<std::string, bool> nullOn;
    HRESULT failure = E_ACCESSDENIED;
    // Add stores the entry disabled, as Wine does.
    bool addLeavesDisabled = false;

    // Every call, as "Method" or "Method:profile".
    std::vector<std::string> calls;
    int live = 0;

    HRESULT CreateManager(INetFwMgr** manager) override;
    HRESULT CreateAuthorizedApplication(INetFwAuthorizedApplication** application) override;

    // Records the call; the failure to return, or S_OK.
    HRESULT Call(const std::string& method, const std::string& detail = std::string());
    bool Null(const std::string& method) const { return nullOn.count(method) != 0; }

private:
    std::map<std::string, int> m_counts;
};

// Installs the fake (and an output capture) for one test.
class FirewallScope {
public:
    explicit FirewallScope(FakeFirewall* fake);
    ~FirewallScope();
    std::string output;
};
