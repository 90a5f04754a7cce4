#include <windows.h>

#include "common/CmdLine.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "engine/FolderName.h"
#include "engine/InstallEngine.h"

std::wstring CInstallEngine::m_wstrCmdLine;
std::wstring CInstallEngine::m_wstrFrom;
std::wstring CInstallEngine::m_wstrLanguage;
std::wstring CInstallEngine::m_wstrChannelId;
std::wstring CInstallEngine::m_wstrUnloadType;
std::wstring CInstallEngine::m_wstrInstallDir;
bool CInstallEngine::m_bSkipSelect = false;
bool CInstallEngine::m_bNoShortcut = false;
bool CInstallEngine::m_bNoStart = false;

void CInstallEngine::ResetSettings()
{
    m_wstrCmdLine.clear();
    m_wstrFrom.clear();
    m_wstrLanguage.clear();
    m_wstrChannelId.clear();
    m_wstrUnloadType.clear();
    m_wstrInstallDir.clear();
    m_bSkipSelect = false;
    m_bNoShortcut = false;
    m_bNoStart = false;
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
        if (!m_wstrInstallDir.empty() && !IsSameFolderName(LastPathComponent(m_wstrInstallDir), kCompanyFolder)) {
            if (m_wstrInstallDir.back() == L'\\')
                m_wstrInstallDir += kCompanyFolder;
            else
                m_wstrInstallDir += std::wstring(L"\\") + kCompanyFolder;
        }
        DebugLine(L"stagehand.exe=>install dir=" + m_wstrInstallDir);
    }
}
