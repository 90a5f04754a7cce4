#pragma once
// Helpers for tests that run under Wine: debug-line capture and scratch folders.
#include <windows.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/DebugOutput.h"
#include "common/Handles.h"

// Captures every debug line while it lives; narrow lines are widened.
class DebugCapture : public iDebugSink {
public:
    DebugCapture();
    ~DebugCapture() override;
    void WriteWide(const std::wstring& line) override;
    void WriteNarrow(const std::string& line) override;
    std::vector<std::wstring> Lines() const;
    bool Contains(const std::wstring& line) const;

private:
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_lines;
    iDebugSink* m_previous;
};

// A fresh folder under the temporary folder, removed with its content at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    // The folder with a trailing backslash.
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + name; }

private:
    std::wstring m_path;
};

std::wstring WidenAscii(const std::string& text);
std::string NarrowAscii(const std::wstring& text);
std::wstring TestExeDirectory();
// Every file and folder below folder (which ends with a backslash), as
// relative paths; folders end with a backslash.
std::set<std::wstring> ListFolderTree(const std::wstring& folder);
// Runs a program and waits for it; returns its exit code or -1.
int RunAndWait(const std::wstring& commandLine, DWORD timeoutMs = 60000);
// Starts the command line with the given creation flags; empty handles when it
// did not start.
ProcessHandles StartProgram(const std::wstring& commandLine, DWORD flags = 0);
// The process's exit code once it has ended; -1 (and the process ended with
// 99) when it runs past the timeout.
int WaitForExitCode(HANDLE process, DWORD timeoutMs = 60000);
// Starts a program without waiting (Wine gives no waitable handle for host
// programs such as Z:\bin\ln); false when it cannot be started.
bool StartHostCommand(const std::wstring& commandLine);
// Removes a file, folder or link from the host side (rm -rf, which never
// follows links) and waits until Windows no longer sees it.
bool RemoveFromHost(const std::wstring& path);
// The host path of a Windows path under Wine ("" elsewhere).
std::string HostPath(const std::wstring& path);
// Makes `link` a directory link to `target` from the host side (Wine's own
// CreateSymbolicLinkW makes nothing); true when Windows now sees a reparse point.
bool PlantHostLink(const std::wstring& link, const std::wstring& target);

// The planted program of the attack tests (tests/support/Decoy.cpp): while a
// DecoyWatch lives, every start of a copy of it is recorded in a file.
std::wstring DecoyProgram();
class DecoyWatch {
public:
    DecoyWatch();
    ~DecoyWatch();
    DecoyWatch(const DecoyWatch&) = delete;
    DecoyWatch& operator=(const DecoyWatch&) = delete;
    // "decoy ran: <program> | <command line>" lines, one per start ("" when none).
    std::string Runs() const;

private:
    ScratchFolder m_folder;
};

// Polls the condition until it holds (true) or the time is up (false).
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(20),
               std::chrono::milliseconds interval = std::chrono::milliseconds(10));
