#include "tests/support/ChildProcesses.h"

#include <tlhelp32.h>

#include <map>
#include <vector>

#include "common/Handles.h"
#include "tests/support/TestSupport.h"

std::set<DWORD> RunningDescendants()
{
    std::multimap<DWORD, DWORD> children;  // parent -> child
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return {};
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        children.emplace(entry.th32ParentProcessID, entry.th32ProcessID);
    std::set<DWORD> found;
    std::vector<DWORD> open {::GetCurrentProcessId()};
    while (!open.empty()) {
        const DWORD parent = open.back();
        open.pop_back();
        auto range = children.equal_range(parent);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second != parent && found.insert(it->second).second)
                open.push_back(it->second);
        }
    }
    return found;
}

ChildProcessWatch::ChildProcessWatch() : m_before(RunningDescendants()) { }

bool ChildProcessWatch::WaitForNewOnesToEnd(std::chrono::milliseconds timeout) const
{
    return WaitUntil(
        [this] {
            for (DWORD id : RunningDescendants()) {
                if (!m_before.count(id))
                    return false;
            }
            return true;
        },
        timeout, std::chrono::milliseconds(20));
}
