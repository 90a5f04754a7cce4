#pragma once
// Waiting for the programs a step started: the positive signal that a test
// of "nothing happens later" can wait for instead of sleeping.
#include <windows.h>

#include <chrono>
#include <set>

class ChildProcessWatch {
public:
    // Remembers the descendants of this process that already run.
    ChildProcessWatch();
    // Waits until every descendant started since then has ended; false when
    // one still runs after the timeout.
    bool WaitForNewOnesToEnd(std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

private:
    std::set<DWORD> m_before;
};

// The ids of the running descendants of this process.
std::set<DWORD> RunningDescendants();
