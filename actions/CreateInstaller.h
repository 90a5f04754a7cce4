#pragma once
// The executors for each Windows generation, and the factory choosing them.
#include "actions/Installer.h"
#include "actions/Uninstaller.h"

// The Windows 7 and XP variants differ only in their shortcut operations.
class InstallerForWin7 : public Installer {
public:
    using Installer::Installer;
    bool CreateQuickstart(std::shared_ptr<Json::Value> action, std::string& result) override;
    bool CreateMenuSC(std::shared_ptr<Json::Value> action, std::string& result) override;
};

class InstallerForXP : public Installer {
public:
    using Installer::Installer;
    bool CreateQuickstart(std::shared_ptr<Json::Value> action, std::string& result) override;
    bool CreateMenuSC(std::shared_ptr<Json::Value> action, std::string& result) override;
};

class UninstallerForWin7 : public Uninstaller {
public:
    using Uninstaller::Uninstaller;
    bool DeleteQuickstart(std::shared_ptr<Json::Value> action, std::string& result) override;
    bool DeleteMenuSC(std::shared_ptr<Json::Value> action, std::string& result) override;
};

class UninstallerForXP : public Uninstaller {
public:
    using Uninstaller::Uninstaller;
    bool DeleteQuickstart(std::shared_ptr<Json::Value> action, std::string& result) override;
    bool DeleteMenuSC(std::shared_ptr<Json::Value> action, std::string& result) override;
};

// "xp", "win7" or "unknow" from the reported Windows version.
std::string WindowsVersionText();
// The executor for the run mode ("uninstall" or any other text for install)
// and this Windows version. Never empty.
std::shared_ptr<iInstaller> CreateInstaller(const std::string& mode, const std::shared_ptr<iInstallerHost>& manager);
// The same for a given version text ("xp", "win7" or "unknow").
std::shared_ptr<iInstaller> CreateInstallerFor(const std::string& mode, const std::string& versionText,
                                               const std::shared_ptr<iInstallerHost>& manager);
