#include "bootstrap/BootstrapFlow.h"

#include <cstdlib>

#include "bootstrap/LanguageStrings.h"
#include "bootstrap/ResourceIds.h"
#include "bootstrap/Resources.h"
#include "common/CmdLine.h"
#include "common/BodyMarkers.h"
#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/PrivateFiles.h"
#include "common/ProcessOperation.h"

const wchar_t kSetupMutexName[] = L"LarkspurSetup-{B8EA9F43-B8F5-C616-FB4D-1C4272F31A5C}";

namespace {

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

}  // namespace

std::wstring WorkFolderParent(const std::wstring& tempFolder)
{
    return tempFolder + L"Setup\\";
}

std::wstring EngineFolderPath(const std::wstring& workFolder)
{
    return workFolder + L"\\Setup\\";
}

bool MakeWorkFolder(SecureFolders::AdminBase& base, const std::wstring& tempFolder)
{
    // Any program of the user can write the temporary folder: the work folder
    // gets a random name, is created only when nothing is there yet, keeps the
    // unelevated user from writing into it, and is held with every folder
    // above it, so that no link can take its path elsewhere during the run. A
    // folder found in its place is never re-used and never deleted.
    std::wstring why;
    if (base.Create(WorkFolderParent(tempFolder), L"", &why))
        return true;
    DebugLine(L"Setup.exe=>work folder: " + why);
    if (base.Create(tempFolder, L"Setup-", &why))
        return true;
    DebugLine(L"Setup.exe=>work folder: " + why);
    return false;
}

bool MakeWorkFolder(SecureFolders::AdminBase& base)
{
    const std::wstring root = SecureFolders::TemporaryRoot();
    return !root.empty() && MakeWorkFolder(base, root);
}

std::wstring BuildEngineCommandLine(const std::wstring& workFolder, const std::wstring& language,
                                    const std::wstring& channelId, const std::wstring& passThrough)
{
    std::wstring line = Quoted(workFolder + L"Setup\\stagehand.exe") + L" -install -language=" + language;
    if (!channelId.empty())
        line += L" -channelid=" + channelId;
    line += L" " + passThrough;
    return line;
}

long RunHiddenAndWait(const std::wstring& exePath, const std::wstring& folder, UniqueHandle pinned)
{
    ProcessHandles started = StartHiddenProcess(Quoted(exePath), folder.c_str());
    pinned.reset();
    if (!started.process)
        return -1;
    ::WaitForSingleObject(started.process.get(), INFINITE);
    DWORD code = 0;
    if (!::GetExitCodeProcess(started.process.get(), &code))
        return -1;
    return static_cast<long>(code);
}

int CBootstrap::Run(const wchar_t* cmdLine)
{
    ReadSwitches(cmdLine);
    TakeMutex();
    std::wstring workFolder = MakeWorkFolder(m_workBase) ? m_workBase.Path() : std::wstring();
    if (workFolder.empty()) {
        DebugLine(L"Setup.exe=>no private work folder could be made");
        DebugLine(L"Setup.exe=>main result is 0");
        return 0;
    }
    RunHead(workFolder);
    RunBody(workFolder);
    DWORD exitCode = WaitForEngine();
    if (IsFolder(workFolder))
        RemoveWorkFolder(workFolder);
    DebugLine(exitCode == 1 ? L"Setup.exe=>main result is 1" : L"Setup.exe=>main result is 0");
    return static_cast<int>(exitCode);
}

void CBootstrap::ReadSwitches(const wchar_t* cmdLine)
{
    m_wstrPassThrough = cmdLine ? cmdLine : L"";
    DebugLine(L"Setup.exe=>lpCmdLine=" + m_wstrPassThrough);
    CCmdLine switches;
    switches.Parse(m_wstrPassThrough);
    m_wstrLanguage = L"zh_CN";
    LoadLanguageStrings(m_hResources, m_wstrLanguage);
    if (switches.HasKey(L"silent") || switches.HasKey(L"verysilent"))
        m_bSilent = true;
    if (switches.HasKey(L"channelid"))
        m_wstrChannelId = switches.GetValue(L"channelid");
    const std::wstring logPath = switches.GetValue(L"log");
    if (!logPath.empty()) {
        wchar_t full[MAX_PATH * 2] = {};
        const DWORD length = ::GetFullPathNameW(logPath.c_str(), MAX_PATH * 2, full, nullptr);
        if (length > 0 && length < MAX_PATH * 2 && logPath != full)
            m_wstrLogPath = full;
    }
}

void CBootstrap::TakeMutex()
{
    m_hMutex.reset(::CreateMutexW(nullptr, TRUE, kSetupMutexName));
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
        CheckMutex();
}

void CBootstrap::CheckMutex()
{
    ReportSecondInstance();
    std::exit(0);
}

void CBootstrap::ReportSecondInstance()
{
    m_hMutex.reset();
    std::wstring text = GetLanguageString(L"PROMPT");
    if (text.empty())
        text = L"Quayside setup wizard is still running. Please quit and retry.";
    std::wstring caption = GetLanguageString(L"TITLE");
    if (caption.empty())
        caption = L"Quayside";
    ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
    DebugLine(L"Setup.exe=>CheckMutex\uFF1AERROR_ALREADY_EXISTS\uFF0Cexit");
}

std::wstring CBootstrap::EngineCommandLine(const std::wstring& workFolder)
{
    if (m_wstrChannelId.empty())
        m_wstrChannelId = CCodeChange::StringUTF8toUTF16(ReadResourceText(m_hResources, L"BINARY"));
    std::wstring line = BuildEngineCommandLine(workFolder, m_wstrLanguage, m_wstrChannelId, m_wstrPassThrough);
    // Later switches win: the engine writes the log the user named.
    if (!m_wstrLogPath.empty())
        line += L" " + Quoted(L"-log=" + m_wstrLogPath);
    return line;
}

void CBootstrap::RunHead(const std::wstring& workFolder)
{
    std::wstring headPath = workFolder + L"head.exe";
    if (!m_bSilent)
        m_bSplashShown = m_splash.ShowSplash(workFolder);
    // The engine starts only from a completely unpacked head; a damaged head
    // archive leaves no engine to start.
    // The archive runs from the file written just now, held against writers until it has started.
    UniqueHandle head = WritePinnedResource(m_hResources, headPath, L"BINARY", IDR_HEAD_ARCHIVE);
    if (head && RunHiddenAndWait(headPath, workFolder, std::move(head)) == 0) {
        m_hEngine = StartEngine(workFolder).process;
    }
    if (m_bSplashShown) {
        m_splash.CloseSplash();
        m_bSplashShown = false;
    }
}

void CBootstrap::RunBody(const std::wstring& workFolder)
{
    std::wstring engineFolder = EngineFolderPath(workFolder);
    std::wstring bodyPath = engineFolder + L"body.exe";
    UniqueHandle body = WritePinnedResource(m_hResources, bodyPath, L"BINARY", IDR_BODY_ARCHIVE);
    long bodyCode = body ? RunHiddenAndWait(bodyPath, engineFolder, std::move(body)) : -1;
    // "finish.bin" tells the engine that every product file is there; a body
    // that was not written or did not unpack completely is reported instead,
    // so that the engine ends in its error status rather than install half.
    if (bodyCode == 0) {
        WriteResourceToFile(m_hResources, engineFolder + kBodyFinishedMarker, L"BINARY", IDR_FINISH_MARKER);
    } else {
        DebugLine(L"Setup.exe=>body failed:" + std::to_wstring(bodyCode));
        WriteResourceToFile(m_hResources, engineFolder + kBodyFailedMarker, L"BINARY", IDR_FINISH_MARKER);
    }
}

DWORD CBootstrap::WaitForEngine()
{
    DWORD exitCode = 0;
    if (m_hEngine) {
        ::WaitForSingleObject(m_hEngine.get(), INFINITE);
        if (!::GetExitCodeProcess(m_hEngine.get(), &exitCode))
            exitCode = 0;
    }
    return exitCode;
}

ProcessHandles CBootstrap::StartEngine(const std::wstring& workFolder)
{
    return StartProcess(EngineCommandLine(workFolder), workFolder.c_str(), SW_SHOW, false);
}

void CBootstrap::RemoveWorkFolder(const std::wstring& workFolder)
{
    if (m_workBase.Held() && m_workBase.Path() == workFolder)
        m_workBase.Remove();
    else
        FileSystem::DeleteDirectoryTree(workFolder);
}
