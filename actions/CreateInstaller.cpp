#include "actions/CreateInstaller.h"

#include <windows.h>

std::string WindowsVersionText()
{
    std::string text = "unknow";
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) {
        if (version.dwMajorVersion == 5 && version.dwMinorVersion <= 2)
            text = "xp";
        else if (version.dwMajorVersion == 6 && version.dwMinorVersion <= 2)
            text = "win7";
    }
    return text;
}

std::shared_ptr<iInstaller> CreateInstaller(const std::string& mode, const std::shared_ptr<iInstallerHost>& manager)
{
    return CreateInstallerFor(mode, WindowsVersionText(), manager);
}

std::shared_ptr<iInstaller> CreateInstallerFor(const std::string& mode, const std::string& versionText,
                                               const std::shared_ptr<iInstallerHost>& manager)
{
    const bool uninstall = mode == "uninstall";
    if (versionText == "win7") {
        if (uninstall)
            return std::make_shared<UninstallerForWin7>(manager);
        return std::make_shared<InstallerForWin7>(manager);
    }
    if (uninstall)
        return std::make_shared<UninstallerForXP>(manager);
    return std::make_shared<InstallerForXP>(manager);
}
