#pragma once
// The one view of the page UI: the frame registry of its page windows and
// the named native functions that page scripts call through view.invoke.
#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "framework/velui_framework/view.h"

class iSetupUI;

class SciterView : public velui::view {
public:
    using Handler = std::function<std::string(const std::string& name, const std::string& args)>;

    // owner may be null (no UI to send to); it is not owned.
    SciterView(HINSTANCE module, iSetupUI* owner);
    ~SciterView() override;

    HWND create_mini_window(const std::wstring& name, const std::wstring& type, const std::wstring& src,
                            HWND parent) override;
    std::string invoke(const std::string& name, const std::string& args) override;
    std::shared_ptr<Json::Value> invoke_js(const std::string& name, const std::string& args) override;
    std::string invoke_cb(const std::string& name, const std::string& args,
                          std::function<void(const std::string&)> done) override;
    void log(const std::string& type, const std::string& content) override;

    HWND m_hRootWnd = nullptr;
    iSetupUI* m_pSetupUI;
    // Set by the page's "PageReady" once its script has run to the end.
    bool m_bPageReady = false;
    std::map<std::string, Handler> m_functions;

private:
    std::string ShowWin(const std::string& args);
    std::string GetSystemPath(const std::string& args);
    std::string SendSignal(const std::string& args);
    std::string SelectFolderPostion(const std::string& args);
    std::string DecisionPath(const std::string& args);
    std::string GetLicense(const std::string& args);
    std::string OutputDebugStringAA(const std::string& args);
    std::string DestroyWindow(const std::string& args);
    std::string PostSetupLog(const std::string& args);
    std::string ShellExecute(const std::string& args);
    std::string OnDetail(const std::string& args);
    std::string OnInstallFinish(const std::string& args);
    std::string SetLanguage(const std::string& args);
    std::string ExitProcess(const std::string& args);
    std::string PageReady(const std::string& args);
};

// The result texts of the folder functions, apart from any dialog.
std::string DecisionPathResult(const std::wstring& path);
std::string SelectedFolderResult(const std::wstring& chosen);
// Licence text (UTF-16LE bytes) as page HTML: CR LF pairs become "<br/>".
std::string LicenseHtml(const std::string& utf16Bytes);
