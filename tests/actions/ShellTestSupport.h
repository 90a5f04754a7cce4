#pragma once
// Helpers for the shell-integration tests: COM for the test, executors whose
// folder lookups can fail and whose shell verbs are recorded, link reading.
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "actions/CreateInstaller.h"

class ComScope {
public:
    ComScope() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComScope() { ::CoUninitialize(); }
};

using VerbCall = std::pair<std::wstring, std::wstring>;

// An executor variant whose verbs are recorded instead of run (unless
// runVerbs) and whose lookups fail as configured.
template <typename Base> class Probed : public Base {
public:
    using Base::Base;
    SpecialFolder GetSpecialFolder(int csidl) const override
    {
        if (failLocation.count(csidl)) {
            SpecialFolder failed;
            failed.status = SpecialFolder::LocationFailed;
            failed.hr = E_INVALIDARG;
            return failed;
        }
        if (failPath.count(csidl)) {
            SpecialFolder failed;
            failed.status = SpecialFolder::PathFailed;
            failed.hr = S_OK;
            return failed;
        }
        auto replaced = replace.find(csidl);
        if (replaced != replace.end()) {
            SpecialFolder found;
            found.status = SpecialFolder::Found;
            found.hr = S_OK;
            found.path = replaced->second;
            return found;
        }
        return Base::GetSpecialFolder(csidl);
    }
    void RunShellVerb(const std::wstring& verb, const std::wstring& file) const override
    {
        verbs.emplace_back(verb, file);
        if (runVerbs)
            Base::RunShellVerb(verb, file);
    }

    std::set<int> failLocation;
    std::set<int> failPath;
    std::map<int, std::wstring> replace;
    bool runVerbs = false;
    mutable std::vector<VerbCall> verbs;
};

struct LinkInfo {
    bool loaded = false;
    std::wstring target;
    std::wstring arguments;
    std::wstring workingFolder;
    std::wstring description;
    std::wstring icon;
    int iconIndex = -1;
    int showCmd = 0;
};

LinkInfo ReadLink(const std::wstring& path);
// The shell folder of csidl as the system reports it.
std::wstring ShellFolder(int csidl);
bool Exists(const std::wstring& path);
// Writes a small file (creating its folder).
void Touch(const std::wstring& path);
// A name unique to this test process.
std::wstring UniqueName(const std::wstring& stem);
