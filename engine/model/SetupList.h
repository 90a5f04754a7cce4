#pragma once
// The records of a setup list and the two records holding the user's answers.
#include <json/json.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One component of a setup list. Texts are UTF-8.
struct _SetupList {
    bool bSelected = true;     // takes part in the run
    bool bNoShortCut = false;  // its shortcut actions are skipped
    int32_t nOrder = 0;
    std::string strId;
    std::string strVersion;
    std::string strName;
    std::string strInstallDir;  // base folder; the action placeholders expand from it
    std::string strRegKey;      // subkey under HKEY_LOCAL_MACHINE
    std::string strMutex;
    std::vector<std::shared_ptr<Json::Value>> vecActions;
    std::vector<std::shared_ptr<Json::Value>> vecRunList;
};

using SetupListPtr = std::shared_ptr<_SetupList>;

// The answers of an install run's folder question.
struct _InstallParameter {
    bool bDesktop = true;
    bool bQuick = true;
    std::string strSetupDir;     // folder of the running engine
    std::string strServiceDir;   // base folder of the service component
    std::string strInstallPath;  // base folder of the application
};

// The answers of an uninstall run's question.
struct _UninstallParameter {
    bool bDeleteAll = false;
    bool bDeleteService = false;
    Json::Value jsReason;  // null until answered
    std::string strServiceDir;
    std::string strInstallPath;
};

// The shared device service is the component named exactly "Service".
bool IsServiceComponent(const _SetupList& record);
bool IsServiceComponentName(const std::string& utf8Name);
