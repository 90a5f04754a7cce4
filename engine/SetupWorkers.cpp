// The run bodies of the worker thread. The install and uninstall workflows
// are not part of this build yet: a started run ends at once in its error
// status, so no UI ever reports a run that did not happen as done.
#include "common/DebugOutput.h"
#include "engine/SetupManager.h"

void SetupManager::InstallWorker()
{
    DebugLine(L"stagehand.exe=>SetupManager::InstallWorker the install workflow is not available in this build");
    ChangeStatus(STATUS_INSTALL_ERROR);
}

void SetupManager::UninstallWorker()
{
    DebugLine(L"stagehand.exe=>SetupManager::UninstallWorker the uninstall workflow is not available in this build");
    ChangeStatus(STATUS_UNINSTALL_ERROR);
}

void SetupManager::StartQuestionnaireSender()
{
    DebugLine(L"stagehand.exe=>SetupManager::StartQuestionnaireSender the questionnaire is not sent in this build");
}
