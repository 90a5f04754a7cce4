#include "actions/Uninstaller.h"

#include "common/CodeChange.h"

Uninstaller::Uninstaller(const std::shared_ptr<iInstallerHost>& manager)
    : iInstaller(manager), m_pUninstallParam(manager->GetUninstallParameter())
{
    RegisterActions();
}

PlaceholderValues Uninstaller::Placeholders() const
{
    PlaceholderValues values = iInstaller::Placeholders();
    if (m_pUninstallParam) {
        values[PlaceholderSource::UninstallServiceDir] = Utf16(m_pUninstallParam->strServiceDir);
        values[PlaceholderSource::UninstallAppDir] = Utf16(m_pUninstallParam->strInstallPath);
    }
    return values;
}

void Uninstaller::RegisterActions()
{
    using namespace std::placeholders;
    AddAction("deldir", std::bind(&Uninstaller::DeleteDir, this, _1, _2));
    AddAction("delfile", std::bind(&Uninstaller::DeleteFiles, this, _1, _2));
    AddAction("delregkeyex", std::bind(&Uninstaller::DeleteRegKeyEx, this, _1, _2));
    AddAction("delregkey", std::bind(&Uninstaller::DeleteRegKey, this, _1, _2));
    AddAction("delregvalue", std::bind(&Uninstaller::DeleteRegValue, this, _1, _2));
    AddAction("killprocess", std::bind(&Uninstaller::KillProcess, this, _1, _2));
    AddAction("deluser", std::bind(&Uninstaller::DeleteUserData, this, _1, _2));
    AddAction("uninstservice", std::bind(&Uninstaller::UninstService, this, _1, _2));
    AddAction("writereg", std::bind(&Uninstaller::WriteReg, this, _1, _2));
    AddAction("rewritechannelid", std::bind(&Uninstaller::RewriteChannelID, this, _1, _2));
    AddAction("desktop", std::bind(&Uninstaller::DeleteMyDesktop, this, _1, _2));
    AddAction("quickstart", std::bind(&Uninstaller::DeleteQuickstart, this, _1, _2));
    AddAction("menu", std::bind(&Uninstaller::DeleteMenuSC, this, _1, _2));
    AddAction("unpin", std::bind(&Uninstaller::Unpin, this, _1, _2));
    AddAction("removefirewall", std::bind(&Uninstaller::RemoveFromFirewall, this, _1, _2));
    AddAction("removefileassociation", std::bind(&Uninstaller::RemoveFileAssociation, this, _1, _2));
}
