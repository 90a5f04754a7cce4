#pragma once
// A page window: its messages pass through the HTML engine, its page comes
// from the view's resource loader, and its scripts reach the functions of
// the script-call table through `view`.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/velui_framework/Values.h"
#include "framework/velui_framework/frame_parts.h"

namespace velui {

class view;

// Options of open_frame, read from the page's mode object.
struct open_frame_mode {
    bool appwindow = false;
    bool toolwindow = true;
    bool transparent = true;
    bool disable = false;
    bool noactivate = false;
    bool topmost = false;
    bool shadow = false;
    bool allowshake = true;
    std::string id;
    bool single = false;
    std::string parent;
    bool hasParent = false;
    std::string owner;
    bool hasOwner = false;
    bool resize = false;
    int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
    bool hasParams = false;
    UINT shadowParam = 0xFFFF;
};

// Reads the keys in their fixed order; a key of another type is ignored.
open_frame_mode ReadOpenFrameMode(const VALUE& mode, const std::string& name);

class frame : public std::enable_shared_from_this<frame>,
              public CShadowFrameBase,
              public CDragFrameBase,
              public CResizeFrameBase {
public:
    frame();
    ~frame() override;
    frame(const frame&) = delete;
    frame& operator=(const frame&) = delete;

    // Binds the frame to the window (engine callback, event handler, window
    // data) and loads the URL into it.
    void attach_and_load(const std::wstring& url, HWND window);
    void attached();
    void detached();

    // post false: straight to the page. post true: a message whose type occurs
    // in the trigger list is posted to the frame's own window; false otherwise.
    bool on_buss_message(const std::string& type, const std::string& body, bool post);
    void fire_trigger(const std::string& type, const std::string& body);
    void on_callback_result(uint32_t id, const std::string& body);

    // One script call on `view`; false when the name and argument count
    // match no function of the table.
    bool on_script_call(const std::string& name, const VALUE* argv, UINT argc, VALUE* result);
    bool on_window_message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The window procedure of every page window, after the root-window check.
    static LRESULT frame_wndproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    // A flash request at tick `now`: true when it starts a flash.
    bool request_flash(DWORD now);
    bool is_flashing();
    int flashes_started();

    std::string m_strTriggerList;
    value m_triggerFn;
    HWND m_hWnd = nullptr;
    view* m_pView = nullptr;
    uint32_t m_lastCallbackId = 0;
    std::map<uint32_t, std::function<void(const std::string&)>> m_callbacks;
    std::vector<HWND> m_followers;
    value m_params;
    std::string m_strName;
    value m_retCode;
    bool m_bAllowShake = true;
    // The clock of the flash animation; tests replace it.
    std::function<DWORD()> m_clock = [] { return ::GetTickCount(); };

private:
    void open_frame(const std::string& name, const std::wstring& url, const VALUE& mode, VALUE* result);
    value run_modal(HWND parent);
    void flash();
    void switch_glass(const VALUE& rect);
    bool force_img_refresh(const VALUE& url, const VALUE& action);
    void load_url(const std::wstring& url);
    UINT on_load_data(SCN_LOAD_DATA* request);
    UINT on_attach_behavior(SCN_ATTACH_BEHAVIOR* request);

    static UINT CALLBACK host_callback(SCITER_CALLBACK_NOTIFICATION* notification, LPVOID param);
    static BOOL CALLBACK element_proc(LPVOID tag, HELEMENT he, UINT group, LPVOID params);

    std::mutex m_flashLock;
    RECT m_flashRect {};
    DWORD m_lastFlashRequest = 0;
    DWORD m_lastFlashStart = 0;
    bool m_bFlashStartedOnce = false;
    bool m_bFlashing = false;
    int m_flashesStarted = 0;
};

// Serves a data request of the engine for a non-package URL: "res:" from the
// module's resources, "this://app/" from the engine's archive (none is ever
// opened). Always leaves unanswered URLs to the engine.
void ServeOtherUrl(HWND window, HINSTANCE module, const std::wstring& url);
// "file://a/b" as a loader path "a\b"; false for other URLs.
bool FileUrlToLoaderPath(const std::wstring& url, std::wstring& path);

}  // namespace velui
