// "addfirewall" and "removefirewall": firewall failures never stop a component.
#include "actions/ActionFields.h"
#include "actions/FirewallTools.h"
#include "actions/Installer.h"
#include "actions/Placeholders.h"
#include "actions/Uninstaller.h"

bool Installer::AddToFirewall(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring name = ActionText(*action, "name");
    std::wstring path = ActionText(*action, "path");
    std::wstring type = ActionText(*action, "type");
    ReplaceFirst(path, Placeholder::kProgramDir, ComponentDir());
    ReplaceFirst(path, Placeholder::kServiceDir, ComponentDir());
    FirewallTools::AddFirewall(name, path, type);
    return true;
}

bool Uninstaller::RemoveFromFirewall(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring path = ActionText(*action, "path");
    ReplaceFirst(path, Placeholder::kProgramDir, ComponentDir());
    FirewallTools::RemoveFirewall(path);
    return true;
}
