#include "actions/Installer.h"

#include <windows.h>

#include "actions/ActionFields.h"

Installer::Installer(const std::shared_ptr<iInstallerHost>& manager)
    : iInstaller(manager),
      m_pInstallParam(manager->GetInstallParameter()),
      m_wstrInstallTime(std::to_wstring(static_cast<int>(::GetTickCount())))
{
    RegisterActions();
}

void Installer::RegisterActions()
{
    using namespace std::placeholders;
    AddAction("mkdir", std::bind(&Installer::MakeDir, this, _1, _2));
    AddAction("copyfile", std::bind(&Installer::CopyFiles, this, _1, _2));
    AddAction("writereg", std::bind(&Installer::WriteReg, this, _1, _2));
    AddAction("channel", std::bind(&Installer::WriteChannel, this, _1, _2));
    AddAction("killprocess", std::bind(&Installer::KillProcess, this, _1, _2));
    AddAction("aesencode", std::bind(&Installer::AesEncode, this, _1, _2));
    AddAction("instservice", std::bind(&Installer::InstService, this, _1, _2));
    AddAction("uninstservice", std::bind(&Installer::UninstService, this, _1, _2));
    AddAction("writeregsilent", std::bind(&Installer::WriteRegSilent, this, _1, _2));
    AddAction("silentmini", std::bind(&Installer::SilentMini, this, _1, _2));
    AddAction("writeconfig", std::bind(&Installer::WriteConfig, this, _1, _2));
    AddAction("createlog", std::bind(&Installer::CreateLog, this, _1, _2));
    AddAction("writeinstalltime", std::bind(&Installer::WriteInstallTime, this, _1, _2));
    AddAction("desktop", std::bind(&Installer::CreateMyDesktop, this, _1, _2));
    AddAction("quickstart", std::bind(&Installer::CreateQuickstart, this, _1, _2));
    AddAction("menu", std::bind(&Installer::CreateMenuSC, this, _1, _2));
    AddAction("deletedesktop", std::bind(&Installer::DeleteDesktop, this, _1, _2));
    AddAction("addfirewall", std::bind(&Installer::AddToFirewall, this, _1, _2));
    AddAction("setfileassociation", std::bind(&Installer::SetFileAssociation, this, _1, _2));
}

PlaceholderValues Installer::Placeholders() const
{
    PlaceholderValues values = iInstaller::Placeholders();
    if (m_pInstallParam) {
        values[PlaceholderSource::InstallServiceDir] = Utf16(m_pInstallParam->strServiceDir);
        values[PlaceholderSource::InstallAppDir] = Utf16(m_pInstallParam->strInstallPath);
        values[PlaceholderSource::SetupDir] = Utf16(m_pInstallParam->strSetupDir);
    }
    return values;
}

bool Installer::SilentMini(std::shared_ptr<Json::Value> action, std::string& result)
{
    if (!m_pManager->IsNoSc())
        return true;
    int mini = -1;
    for (size_t i = 0; i < m_vecComponents.size(); ++i) {
        if (m_vecComponents[i]->strName == "mini") {
            mini = static_cast<int>(i);
            break;
        }
    }
    if (mini < 0)
        return true;
    if (m_pManager->GetComponentRecord(m_vecComponents[mini]->strName).empty())
        return true;
    const Json::Value& detail = (*action)["detail"];
    if (!detail.isArray())
        return true;
    for (const Json::Value& element : detail) {
        std::string verb = element["action"].asString();
        DoAction(verb, result, std::make_shared<Json::Value>(element));
    }
    return true;
}
