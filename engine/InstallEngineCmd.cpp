#include <windows.h>

#include "common/CmdLine.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "engine/model/FolderName.h"
#include "engine/InstallEngine.h"
#include "engine/model/EngineSettings.h"

std::wstring& CInstallEngine::m_wstrCmdLine = g_engineSettings.wstrCmdLine;
std::wstring& CInstallEngine::m_wstrFrom = g_engineSettings.wstrFrom;
std::wstring& CInstallEngine::m_wstrLanguage = g_engineSettings.wstrLanguage;
std::wstring& CInstallEngine::m_wstrChannelId = g_engineSettings.wstrChannelId;
std::wstring& CInstallEngine::m_wstrUnloadType = g_engineSettings.wstrUnloadType;
std::wstring& CInstallEngine::m_wstrInstallDir = g_engineSettings.wstrInstallDir;
bool& CInstallEngine::m_bSkipSelect = g_engineSettings.bSkipSelect;
bool& CInstallEngine::m_bNoShortcut = g_engineSettings.bNoShortcut;
bool& CInstallEngine::m_bNoStart = g_engineSettings.bNoStart;

void CInstallEngine::ResetSettings()
{
    g_engineSettings = EngineSettings {};
}

namespace {

// Name of the folder that holds the running executable.
std::wstring ModuleFolderName()
{
    std::wstring folder = FileSystem::GetModuleDirectory();
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    while (!folder.empty() && folder.back() == L'/')
        folder.pop_back();
    size_t cut = folder.find_last_of(L"\\/");
    return cut == std::wstring::npos ? folder : folder.substr(cut + 1);
}

}  // namespace

void CInstallEngine::ParseCmd(const std::wstring& cmdLine)
{
    m_wstrCmdLine = cmdLine;
    CCmdLine cmd;
    cmd.Parse(cmdLine);

    if (cmd.HasKey(L"from"))
        m_wstrFrom = cmd.GetValue(L"from");
    if (cmd.HasKey(L"silent"))
        m_bSilent = true;
    if (cmd.HasKey(L"verysilent")) {
        m_bSilent = true;
        if (m_wstrFrom != L"v3update" && m_wstrFrom != L"v3onlineinstaller")
            m_bNoStart = true;
    }
    if (cmd.HasKey(L"nosc")) {
        m_bNoShortcut = true;
        m_bNoSc = true;
    }
    if (cmd.HasKey(L"nostart"))
        m_bNoStart = true;

    if (cmd.HasKey(L"language"))
        m_wstrLanguage = cmd.GetValue(L"language");
    if (m_wstrLanguage.empty())
        m_wstrLanguage = ReadLanguageOverride();
    if (m_wstrLanguage.empty())
        m_wstrLanguage = GetSystemLanguageCode();
    if (m_wstrLanguage.empty())
        m_wstrLanguage = L"zh_CN";

    if (cmd.HasKey(L"channelid")) {
        std::wstring channel = cmd.GetValue(L"channelid");
        if (!channel.empty())
            m_wstrChannelId = channel;
    }
    if (cmd.HasKey(L"skipselect"))
        m_bSkipSelect = true;

    if (cmd.HasKey(L"unloadtype"))
        m_wstrUnloadType = cmd.GetValue(L"unloadtype");
    if (m_wstrUnloadType.empty())
        m_wstrUnloadType = ModuleFolderName();
    DebugLine(L"stagehand.exe=>CInstallEngine::ParseCmd m_wstrUnloadType=" + m_wstrUnloadType);

    if (cmd.HasKey(L"dir")) {
        m_wstrInstallDir = cmd.GetValue(L"dir");
        if (m_wstrFrom == L"v3update")
            m_wstrInstallDir = ParentFolderOf(m_wstrInstallDir);
        m_wstrInstallDir = WithCompanyFolder(m_wstrInstallDir);
        DebugLine(L"stagehand.exe=>install dir=" + m_wstrInstallDir);
    }
}
