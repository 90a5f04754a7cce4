#pragma once
// setup's flow: single instance, work folder, head archive, engine start,
// body archive, "finish.bin", wait, clean-up, the engine's exit code.
#include <windows.h>

#include <string>

#include "bootstrap/Splash.h"
#include "common/Handles.h"
#include "common/SecureFolders.h"

extern const wchar_t kSetupMutexName[];

// <temp>Setup\ ; `tempFolder` ends with a backslash. Work folders are made inside.
std::wstring WorkFolderParent(const std::wstring& tempFolder);
// <work folder>\Setup\ : the folder the head archive creates.
std::wstring EngineFolderPath(const std::wstring& workFolder);
// <temp>Setup\<32 random hex digits>\ , the administrator-only base of the run
// (SecureFolders::AdminBase: created exclusively with an access list that keeps
// the unelevated user from writing, verified on its handle and held with every
// folder above it); false when it cannot be made. When <temp>Setup cannot be
// held (a link, a file), the base is <temp>Setup-<32 random hex digits>\ .
bool MakeWorkFolder(SecureFolders::AdminBase& base, const std::wstring& tempFolder);
// The same in SecureFolders::TemporaryRoot() (the user's temporary folder, or
// <Windows>\SystemTemp for LocalSystem where it exists).
bool MakeWorkFolder(SecureFolders::AdminBase& base);

// "<work>Setup\stagehand.exe" -install -language=<language>[ -channelid=<channel>] <pass-through>
// The engine path is quoted, so that a temporary folder with spaces can
// neither split it nor start another program.
std::wstring BuildEngineCommandLine(const std::wstring& workFolder, const std::wstring& language,
                                    const std::wstring& channelId, const std::wstring& passThrough);

class CBootstrap {
public:
    // Resources (archives, channel text, language table) come from `resources`.
    CBootstrap(HMODULE resources, iSplash& splash) : m_hResources(resources), m_splash(splash) { }
    virtual ~CBootstrap() = default;
    CBootstrap(const CBootstrap&) = delete;
    CBootstrap& operator=(const CBootstrap&) = delete;

    // The whole run for the process's command-line text; returns the exit code.
    int Run(const wchar_t* cmdLine);

    // Step by step, as Run calls them.
    void ReadSwitches(const wchar_t* cmdLine);
    void TakeMutex();
    void RunHead(const std::wstring& workFolder);
    void RunBody(const std::wstring& workFolder);
    DWORD WaitForEngine();
    // The engine's command line; an empty channel takes the built-in text.
    std::wstring EngineCommandLine(const std::wstring& workFolder);

    // The second-instance report: releases the mutex, shows the message box
    // in the loaded language and writes the debug line.
    void ReportSecondInstance();

    bool IsSilent() const { return m_bSilent; }
    const std::wstring& ChannelId() const { return m_wstrChannelId; }
    bool EngineStarted() const { return static_cast<bool>(m_hEngine); }
    // The run's work folder while it is held.
    const SecureFolders::AdminBase& WorkBase() const { return m_workBase; }

protected:
    // Shows the second-instance message box and ends the process with 0.
    [[noreturn]] virtual void CheckMutex();
    // Removes the work folder (the held base) with everything in it.
    virtual void RemoveWorkFolder(const std::wstring& workFolder);
    // Starts the unpacked engine of the work folder; empty handles when it did not start.
    virtual ProcessHandles StartEngine(const std::wstring& workFolder);

private:
    HMODULE m_hResources;
    iSplash& m_splash;
    std::wstring m_wstrPassThrough;
    std::wstring m_wstrLanguage = L"zh_CN";
    std::wstring m_wstrChannelId;
    // The log switch's file as a full path, when it was given relative: the
    // engine runs in the work folder and must write the same file.
    std::wstring m_wstrLogPath;
    bool m_bSilent = false;
    bool m_bSplashShown = false;
    UniqueHandle m_hMutex;
    UniqueHandle m_hEngine;
    // The work folder, held for the whole run.
    SecureFolders::AdminBase m_workBase;
};

// Starts a program hidden with `folder` as its working folder, waits for it
// and returns its exit code, or -1 when it could not be started. `pinned`
// (the program file's held handle) is released once the program has started.
long RunHiddenAndWait(const std::wstring& exePath, const std::wstring& folder, UniqueHandle pinned = UniqueHandle());
