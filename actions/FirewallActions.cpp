// "addfirewall" and "removefirewall": firewall failures never stop a component.
#include "actions/ActionFields.h"
#include "actions/FirewallTools.h"
#include "actions/Installer.h"
#include "actions/Uninstaller.h"

bool Installer::AddToFirewall(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring name = ActionText(*action, "name");
    std::wstring path = ExpandedText(*action, "addfirewall", "path");
    std::wstring type = ActionText(*action, "type");
    FirewallTools::AddFirewall(name, path, type);
    return true;
}

bool Uninstaller::RemoveFromFirewall(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring path = ExpandedText(*action, "removefirewall", "path");
    FirewallTools::RemoveFirewall(path);
    return true;
}
