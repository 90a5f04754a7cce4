#pragma once
// The data of one install or uninstall run: the list, what the user answered
// and where the run stands. The workflow steps read and change it; the
// workflow object holds it privately, tests build one directly.
#include <json/json.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/SetupList.h"
#include "engine/model/SetupStatus.h"

struct SetupRun {
    std::string strSetupList;  // the list text
    std::string strMode;       // "mode" of the install list
    std::shared_ptr<_InstallParameter> pInstallParam = std::make_shared<_InstallParameter>();
    std::shared_ptr<_UninstallParameter> pUninstallParam = std::make_shared<_UninstallParameter>();
    std::vector<SetupListPtr> vecAll;       // every component read, in processing order
    std::vector<SetupListPtr> vecSelected;  // components taking part, in processing order
    int32_t nStatus = STATUS_INSTALL_ERROR;
    int32_t nOldStatus = STATUS_INSTALL_ERROR;
    bool bUninstall = false;
    bool bNoSc = false;
    bool bSilent = false;
    std::string strStopAnswer;     // last "stop" of "stopservice"
    std::string strVersionAnswer;  // last "action" of "versioncheck"
    std::string strParamAnswer;    // last "action" of "installparameter" / "uninstallparameter"
    std::wstring wstrProductList;  // product-list argument of the run list
    // Per-component texts, by component name; no step of the engine fills it.
    Json::Value jsComponentRecords {Json::objectValue};

    std::string GetComponentRecord(const std::string& name) const;
};

// The steps that work on the run's data alone, without the UI.

// Reads the install list: mode and components in processing order.
bool ParseSetupList(SetupRun& run);
// Reads the uninstall list; folders come from the installed records.
bool ParseUninstallList(SetupRun& run);
// Compares the list with what is installed: folders, shortcut choices, which
// components take part.
bool ReadInstalledState(SetupRun& run);
// Chooses the components an uninstall removes; the service stays while
// another installed product uses it.
bool CheckUninstallComponents(SetupRun& run);
// The product-list argument of the programs the run list starts.
std::wstring ProductListArgument(const SetupRun& run);
// -1, 0 or 1 on two dotted four-part version texts.
int CompareVersion(const std::string& a, const std::string& b);
