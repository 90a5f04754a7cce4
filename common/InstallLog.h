#pragma once
// The install log ("-log=<file>"): every debug line of the run is also
// appended to a file, as UTF-8, one line per debug line, with a timestamp and
// the writing thread's id. Each line is written by one WriteFile call and
// reaches the file before the call returns, so a killed run leaves its log.
// The file handle needs read and append access (the lock needs read).
#include <mutex>
#include <string>

#include "common/DebugOutput.h"
#include "common/Handles.h"

class InstallLogSink : public iDebugSink {
public:
    // Lines go to file and on to next (the system debug output when null).
    InstallLogSink(UniqueHandle file, iDebugSink* next);
    void WriteWide(const std::wstring& line) override;
    void WriteNarrow(const std::string& line) override;
    void SetNext(iDebugSink* next) { m_next = next; }

    // The file's line for a debug line: "YYYY-MM-DD hh:mm:ss.mmm [tid] text\r\n",
    // text without its trailing line ends.
    static std::string FormatLine(const std::string& utf8Text, unsigned long threadId);

private:
    void Append(const std::string& utf8Text);

    std::mutex m_lock;
    UniqueHandle m_file;
    // Set once the ordering lock could not be had in time (another process
    // holds it): lines are then appended without it, never waited for.
    bool m_lockGivenUp = false;
    iDebugSink* m_next;
};

// Opens path for appending (created when missing, shared with other writers
// such as the engine that setup.exe starts) and installs the sink for the
// rest of the process. On failure a debug line says why, prefixed with
// linePrefix ("stagehand.exe=>"), and nothing changes.
bool StartInstallLog(const std::wstring& path, const wchar_t* linePrefix);
// The same, for the "log" switch of a command line; without it nothing happens.
bool StartInstallLogFromCommandLine(const wchar_t* cmdLine, const wchar_t* linePrefix);
