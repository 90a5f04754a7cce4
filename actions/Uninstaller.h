#pragma once
// The uninstall executor and its operations. The shortcut, pinning, firewall
// and file-association verbs join the table together with their operations.
#include "actions/iInstaller.h"

// The full path "deluser" removes for `path` (any form), without a trailing
// backslash, when it lies inside `profile` (a normalised folder ending with a
// backslash); "" with the reason in `why` otherwise.
std::wstring UserDataTarget(const std::wstring& path, const std::wstring& profile, std::wstring& why);

class Uninstaller : public iInstaller {
public:
    explicit Uninstaller(const std::shared_ptr<iInstallerHost>& manager);

    virtual bool DeleteDir(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool DeleteFiles(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool DeleteRegKeyEx(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool DeleteRegKey(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool DeleteRegValue(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool KillProcess(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool DeleteUserData(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool UninstService(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool WriteReg(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool RewriteChannelID(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool DeleteMyDesktop(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool DeleteQuickstart(std::shared_ptr<Json::Value> action, std::string& result) = 0;
    virtual bool DeleteMenuSC(std::shared_ptr<Json::Value> action, std::string& result) = 0;
    virtual bool Unpin(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool RemoveFromFirewall(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool RemoveFileAssociation(std::shared_ptr<Json::Value> action, std::string& result);

protected:
    ExecutorKind Kind() const override { return ExecutorKind::Uninstall; }
    PlaceholderValues Placeholders() const override;

    std::shared_ptr<_UninstallParameter> m_pUninstallParam;

private:
    void RegisterActions();
};
