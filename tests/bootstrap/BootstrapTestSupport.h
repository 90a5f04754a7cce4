#pragma once
// Shared pieces of setup's tests: the test builds of setup loaded for their
// resources, a private temporary folder, and the fake engine's record.
#include <windows.h>

#include <map>
#include <set>
#include <string>

#include "common/CodeChange.h"
#include "common/Handles.h"
#include "tests/support/TestSupport.h"

extern const char kDefaultChannel[];

// A test build of setup (setup_fake, setup_nohead, setup_badhead), loaded
// as a data file so that its resources can be used in-process.
class SetupResources {
public:
    explicit SetupResources(const std::wstring& name);
    HMODULE Module() const { return m_module.get(); }
    std::wstring Path() const { return m_path; }

private:
    std::wstring m_path;
    UniqueModule m_module;
};

// Points TMP and TEMP at a scratch folder while it lives, and the fake
// engine's record at a file in it.
class PrivateTemp {
public:
    PrivateTemp();
    ~PrivateTemp();
    // The temporary folder, with a trailing backslash.
    const std::wstring& Temp() const { return m_temp; }
    std::wstring LogPath() const { return m_scratch / L"engine.log"; }
    std::wstring Scratch(const std::wstring& name) const { return m_scratch / name; }
    // The fake engine's record (empty when it never ran).
    std::map<std::string, std::string> EngineRecord() const;
    // Names of the folders under <temp>\Setup.
    std::set<std::wstring> WorkFolders() const;

private:
    ScratchFolder m_scratch;
    std::wstring m_temp;
    std::wstring m_oldTmp;
    std::wstring m_oldTemp;
};

std::set<std::wstring> TreeOf(const std::wstring& folder);
