#pragma once
// The component record and the parameter records the executors read.
#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

struct _SetupList {
    bool bSelected = true;
    bool bNoShortCut = false;
    int nOrder = 0;
    std::string strId;
    std::string strVersion;
    std::string strName;
    std::string strInstallDir;
    std::string strRegKey;
    std::string strMutex;
    std::vector<std::shared_ptr<Json::Value>> vecActions;
    std::vector<std::shared_ptr<Json::Value>> vecRunList;
};

struct _InstallParameter {
    bool bDesktop = true;
    bool bQuick = true;
    std::string strSetupDir;
    std::string strServiceDir;
    std::string strInstallPath;
};

struct _UninstallParameter {
    bool bDeleteAll = false;
    bool bDeleteService = false;
    Json::Value jsReason;
    std::string strServiceDir;
    std::string strInstallPath;
};
