#include <windows.h>
#include <shellapi.h>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/PrivateFiles.h"
#include "common/SecureFolders.h"
#include "common/XLog.h"
#include "engine/InstallEngine.h"
#include "engine/SetupListFile.h"
#include "engine/SetupManager.h"
#include "engine/UninstallCleanUp.h"
#include "ui/SetupUI.h"

const wchar_t kInstallMutexName[] = L"Global\\LarkspurInstall-{F062DC53-4A45-46f0-83F4-E24376952F94}";

namespace {

void Connect(const SetupManagerPtr& manager, const SetupUIPtr& ui)
{
    std::weak_ptr<iSetupUI> weakUi = ui;
    manager->UiSignal().connect([weakUi](MessagePtr message) {
        if (auto target = weakUi.lock())
            target->OnEngineMessage(message);
    });
    std::weak_ptr<SetupManager> weakManager = manager;
    ui->m_pMessageSignal->connect([weakManager](MessagePtr message) {
        if (auto target = weakManager.lock())
            target->OnCommand(message);
    });
}

// Wires the run to its UI, shows the first page, sends the start command and
// lends this thread to the UI until the run has ended; the UI's verdict.
bool RunWithUI(const SetupManagerPtr& manager, const SetupUIPtr& ui, const wchar_t* page, const MessagePtr& start)
{
    Connect(manager, ui);
    ui->ShowPage(page, L"");
    ui->StartWhenReady(start);
    ui->Run();
    return ui->m_bResult;
}

// Takes the single-instance mutex; false when another engine holds it.
bool TakeMutex(UniqueHandle& mutex)
{
    HANDLE created = ::CreateMutexW(nullptr, FALSE, kInstallMutexName);
    const DWORD error = ::GetLastError();
    mutex.reset(created);
    if (mutex && error == ERROR_ALREADY_EXISTS) {
        mutex.reset();
        return false;
    }
    return true;
}

}  // namespace

void CInstallEngine::ReadMode(const std::string& listText)
{
    Json::Value root;
    if (!ParseListText(listText, root) || !root.isObject())
        return;
    const Json::Value& mode = root["mode"];
    if (mode.isString() && (mode.asString() == "silent" || mode.asString() == "srf_silent"))
        m_bSilent = true;
}

void CInstallEngine::ShowNoticePage(const std::wstring& page)
{
    SetupUIPtr ui = CreateSetupUI(false, m_hInstance, FileSystem::GetModuleDirectory() + L"\\setupui", L"install");
    if (!ui)
        return;
    ui->ShowPage(page, m_wstrLanguage);
    ui->Run();
}

bool CInstallEngine::Install(const std::wstring& cmdLine)
{
    ParseCmd(cmdLine);
    if (!TakeMutex(m_hMutex)) {
        if (!m_bSilent)
            ShowNoticePage(L"existmutex");
        xlog_detail::ReportAssert(L"CheckMutex()", ::GetLastError(), __FILE__, __LINE__);
        return false;
    }
    ScopeExit releaseMutex([this] { m_hMutex.reset(); });
    const std::wstring setupDir = FileSystem::GetModuleDirectory();
    std::string listText;
    if (!ReadListFile(setupDir + L"\\setup.ini", false, listText) && !m_bSilent) {
        ShowNoticePage(L"noini");
        return false;
    }
    ReadMode(listText);

    SetupRun run;
    run.strSetupList = listText;
    run.pInstallParam->strSetupDir = CCodeChange::StringUTF16toUTF8(setupDir);
    auto manager = std::make_shared<SetupManager>(std::move(run));

    SetupUIPtr ui = CreateSetupUI(m_bSilent, m_hInstance, setupDir + L"\\setupui", L"install");
    if (!ui)
        return false;
    auto start = MakeMessage("startinstall");
    (*start)["silent"] = m_bSilent;
    (*start)["nosc"] = m_bNoSc;
    bool result = RunWithUI(manager, ui, L"install", start);

    // The data migration starts after the mutex is free.
    m_hMutex.reset();
    if (result)
        LaunchDataMigration(setupDir);
    return result;
}

bool CInstallEngine::Uninstall(const std::wstring& cmdLine)
{
    ParseCmd(cmdLine);
    // Silent or not, an uninstall never runs beside an install or another uninstall.
    if (!TakeMutex(m_hMutex)) {
        if (!m_bSilent)
            ShowNoticePage(L"existmutex");
        DebugLine(L"stagehand.exe=>another setup is running, the uninstall does not start");
        return false;
    }
    ScopeExit releaseMutex([this] { m_hMutex.reset(); });
    const std::wstring setupDir = FileSystem::GetModuleDirectory();
    std::string listText;
    if (!ReadListFile(setupDir + L"\\uninst.ini", true, listText))
        ReadEmbeddedList(m_hInstance, listText);

    SetupRun run;
    run.strSetupList = listText;
    auto manager = std::make_shared<SetupManager>(std::move(run));

    SetupUIPtr ui = CreateSetupUI(m_bSilent, m_hInstance, setupDir + L"\\uninstui", L"uninstall");
    if (!ui)
        return false;
    auto start = MakeMessage("startuninstall");
    (*start)["silent"] = m_bSilent;
    (*start)["un_type"] = "";
    (*start)["nosc"] = m_bNoSc;
    bool result = RunWithUI(manager, ui, L"uninstall", start);

    if (result) {
        DebugLine(L"stagehand.exe=>Successfully uninstalled, putting the finishing touches to the");
        CleanUpAfterUninstall(setupDir, m_hInstance);
    }
    return result;
}

void CInstallEngine::LaunchDataMigration(const std::wstring& setupDir)
{
    // The copy runs elevated: it goes into an administrator-only base of its
    // own (SecureFolders.h, held until this process ends), into a file created
    // new, and is held against writers until it has started.
    std::string program = FileSystem::ReadFileToString(setupDir + L"datamigration.exe", true);
    if (program.empty())
        return;
    static SecureFolders::AdminBase base;
    std::wstring why;
    if (!base.Held() && !SecureFolders::CreateTemporaryBase(base, L"datamigration", &why) && !why.empty())
        DebugLine(L"stagehand.exe=>datamigration folder: " + why);
    if (!base.Held())
        return;
    std::wstring target = base.Path();
    std::wstring copy = target + L"datamigration.exe";
    UniqueHandle pinned = PrivateFiles::WritePinnedFile(copy, program);
    if (!pinned) {
        DebugLine(L"stagehand.exe=>datamigration copy could not be written:" + copy);
        return;
    }
    ::ShellExecuteW(nullptr, L"open", copy.c_str(), m_bSilent ? L" /silent" : nullptr, target.c_str(), SW_HIDE);
}
