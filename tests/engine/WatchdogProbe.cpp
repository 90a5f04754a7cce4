// Runs an uninstall of an empty list to its end, silent when started with the
// argument "silent", then waits: 4 s in a run that is not silent, 20 s in a
// silent one, which the engine's watchdog should end sooner with exit code 0.
// Its own exit codes: 7 after the wait, 3 when the run did not end, 4 when it
// ended in error.
#include <windows.h>

#include <chrono>
#include <string>

#include "common/Win32Sync.h"
#include "engine/SetupManager.h"
#include "engine/model/JsonFields.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int)
{
    const bool silent = std::wstring(cmdLine) == L"silent";
    SetupRun run;
    run.strSetupList = R"({"installs":[]})";
    auto manager = std::make_shared<SetupManager>(std::move(run));
    CManualEvent ended;
    bool success = false;
    manager->UiSignal().connect([&](MessagePtr message) {
        const std::string type = JsonString(*message, "type");
        if (type == "waitforuninstall") {
            MessagePtr answer = MakeMessage("uninstallparameter");
            (*answer)["action"] = "ok";
            manager->OnCommand(answer);
        } else if (type == "changestatus") {
            const std::string status = JsonString(*message, "new");
            if (status == "uninstall_success" || status == "uninstall_error") {
                success = status == "uninstall_success";
                ended.Set();
            }
        }
    });
    MessagePtr start = MakeMessage("startuninstall");
    (*start)["silent"] = silent;
    (*start)["un_type"] = "";
    (*start)["nosc"] = false;
    manager->OnCommand(start);
    if (!ended.WaitFor(std::chrono::seconds(60)))
        return 3;
    manager->JoinWorker();
    if (!success)
        return 4;
    ::Sleep(silent ? 20000 : 4000);
    return 7;
}
