#pragma once
// What frames need from their host: the module and window class for the
// windows they create, the resource loader, and the native-call operations.
#include <windows.h>

#include <functional>
#include <json/json.h>
#include <memory>
#include <string>

#include "framework/velui_framework/frame_manager.h"
#include "framework/velui_framework/iResLoader.h"

namespace velui {

// The class of every page window.
extern const wchar_t kWindowClassName[];  // "DeskTopInstall"

class view : public frame_manager {
public:
    explicit view(HINSTANCE module);
    ~view() override;

    // Makes a frame with the name, binds it to the window and loads the URL.
    std::shared_ptr<frame> create_frame(const std::wstring& url, HWND window, const std::string& name);

    virtual HWND create_mini_window(const std::wstring& name, const std::wstring& type, const std::wstring& src,
                                    HWND parent) = 0;
    virtual std::string invoke(const std::string& name, const std::string& args) = 0;
    virtual std::shared_ptr<Json::Value> invoke_js(const std::string& name, const std::string& args) = 0;
    virtual std::string invoke_cb(const std::string& name, const std::string& args,
                                  std::function<void(const std::string&)> done) = 0;
    virtual void log(const std::string& type, const std::string& content) = 0;

    HINSTANCE m_hInstance;
    const wchar_t* m_className;
    std::shared_ptr<iResLoader> m_loader;  // created by the derived class
};

// Shows a window and brings it to the front of the desktop, taking the
// foreground from whichever window holds it.
void BringWindowToFront(HWND window);

}  // namespace velui
