#pragma once
// The engine process: its settings from the command line and the install
// and uninstall runs.
#include <windows.h>

#include <string>

#include "common/Handles.h"

class CInstallEngine {
public:
    // The process's settings record (engine/model/EngineSettings.h) under
    // the names the engine's steps use.
    static std::wstring& m_wstrCmdLine;
    static std::wstring& m_wstrFrom;
    static std::wstring& m_wstrLanguage;
    static std::wstring& m_wstrChannelId;
    static std::wstring& m_wstrUnloadType;
    static std::wstring& m_wstrInstallDir;
    static bool& m_bSkipSelect;
    static bool& m_bNoShortcut;
    static bool& m_bNoStart;

    explicit CInstallEngine(HINSTANCE hInstance = nullptr) : m_hInstance(hInstance) { }

    void ParseCmd(const std::wstring& cmdLine);

    // The install and uninstall runs: true when the UI reports success.
    bool Install(const std::wstring& cmdLine);
    bool Uninstall(const std::wstring& cmdLine);
    // The "existmutex" and "noini" notice pages.
    void ShowNoticePage(const std::wstring& page);
    // A list whose "mode" is "silent" or "srf_silent" makes the run silent.
    void ReadMode(const std::string& listText);
    // Copies datamigration.exe to the temporary folder and starts it there.
    void LaunchDataMigration(const std::wstring& setupDir);

    // Restores the settings' initial values (a fresh process's state).
    static void ResetSettings();

    UniqueHandle m_hMutex;  // the single-instance mutex while a run holds it
    HINSTANCE m_hInstance = nullptr;
    bool m_bSilent = false;
    bool m_bNoSc = false;
};

extern const wchar_t kInstallMutexName[];

// The language code from "D:\languageConfigure.ini" ([BaseSetting] lan), or "".
std::wstring ReadLanguageOverride();
std::wstring ReadLanguageOverride(const std::wstring& file);
// Letters with "_" or "-", at most 16 characters.
bool IsPlainLanguageCode(const std::wstring& code);
// The code for the system's default language.
std::wstring GetSystemLanguageCode();
std::wstring LanguageCodeFromLangId(LANGID id);

// Enables SeDebugPrivilege for the process.
bool UpPrivilege();
// Deletes the running executable through a hidden command interpreter and
// ends the process with exit code 0.
[[noreturn]] void DeleteSelf();
