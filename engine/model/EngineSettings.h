#pragma once
// The engine's settings from its command line: written once by ParseCmd
// before any second thread exists, then only read (the language, channel and
// skip-select settings excepted, which later steps of a run may change).
#include <string>

struct EngineSettings {
    std::wstring wstrCmdLine;
    std::wstring wstrFrom;
    std::wstring wstrLanguage;
    std::wstring wstrChannelId;
    std::wstring wstrUnloadType;
    std::wstring wstrInstallDir;
    bool bSkipSelect = false;
    bool bNoShortcut = false;
    bool bNoStart = false;
};

// The settings of this process.
extern EngineSettings g_engineSettings;
