#pragma once
// The install executor and its operations. The shortcut, firewall and
// file-association verbs join the table together with their operations.
#include "actions/iInstaller.h"

class Installer : public iInstaller {
public:
    explicit Installer(const std::shared_ptr<iInstallerHost>& manager);

    virtual bool MakeDir(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool CopyFiles(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool WriteReg(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool WriteChannel(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool KillProcess(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool AesEncode(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool InstService(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool UninstService(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool WriteRegSilent(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool SilentMini(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool WriteConfig(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool CreateLog(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool WriteInstallTime(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool CreateMyDesktop(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool CreateQuickstart(std::shared_ptr<Json::Value> action, std::string& result) = 0;
    virtual bool CreateMenuSC(std::shared_ptr<Json::Value> action, std::string& result) = 0;
    virtual bool DeleteDesktop(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool AddToFirewall(std::shared_ptr<Json::Value> action, std::string& result);
    virtual bool SetFileAssociation(std::shared_ptr<Json::Value> action, std::string& result);

    const std::wstring& InstallTime() const { return m_wstrInstallTime; }

protected:
    PlaceholderValues Placeholders() const override;

    std::shared_ptr<_InstallParameter> m_pInstallParam;
    std::wstring m_wstrInstallTime;

private:
    void RegisterActions();
    bool RunServiceProgram(const Json::Value& action, const wchar_t* defaultPara, const wchar_t* linePrefix);
};
