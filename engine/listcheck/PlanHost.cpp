#include "engine/listcheck/PlanHost.h"

#include "actions/CreateInstaller.h"

bool ExecutorKnowsVerb(ExecutorKind kind, const std::string& verb)
{
    static const auto ask = [](const char* mode, const char* version) {
        return CreateInstallerFor(mode, version, std::make_shared<PlanHost>());
    };
    static const std::shared_ptr<iInstaller> install[] = {ask("install", "xp"), ask("install", "win7")};
    static const std::shared_ptr<iInstaller> uninstall[] = {ask("uninstall", "xp"), ask("uninstall", "win7")};
    const auto& executors = kind == ExecutorKind::Install ? install : uninstall;
    return executors[0]->HasAction(verb) && executors[1]->HasAction(verb);
}
