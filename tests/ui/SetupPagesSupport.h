#pragma once
// Runs the real setup pages in the engine linked into the test program. The
// view's native functions are replaced by recorders, so nothing reaches the
// machine; scripts are evaluated in a page window to press its buttons.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <json/json.h>

#include "tests/support/TestSupport.h"

class CSciterSetUpUi;

struct NativeCall {
    std::string name;
    Json::Value args;  // parsed argument text
};

class PageSession {
public:
    PageSession();
    ~PageSession();
    PageSession(const PageSession&) = delete;
    PageSession& operator=(const PageSession&) = delete;

    // Loads a root page ("install", "uninstall", "existmutex", "noini").
    void Show(const std::wstring& page, const std::wstring& params = L"");
    // An engine message to every page, delivered as the engine does it.
    void Send(const char* type, const Json::Value& fields = Json::Value(Json::objectValue));
    // Evaluates script in the page of `window` (the root page by default).
    std::wstring Eval(const std::string& js, HWND window = nullptr);
    std::wstring Text(const std::string& id, HWND window = nullptr);
    void Pump(int ms);
    // Whether the element and its ancestors are displayed (styles applied).
    bool Shown(const std::string& id, HWND window = nullptr);
    // The labels of the context menu that a right click on the text field
    // `id` opens (separators left out); the menu is closed again unchosen.
    std::vector<std::wstring> ContextMenu(const std::string& id);
    // The middle of the element's box in client coordinates of the root window.
    POINT Centre(const std::string& id);
    // Mouse input to the root window at a screen point, as the system sends it.
    void Mouse(UINT message, WPARAM keys, POINT screen);

    // Calls recorded since the last Take, optionally of one name only.
    std::vector<NativeCall> Take(const std::string& name = "");
    // Answers of "DecisionPath" and "SelectFolderPostion" (argument text in, result text out).
    std::function<std::string(const Json::Value&)> decisionPath;
    std::string selectFolder;
    // What "GetLicense" answers (HTML).
    std::string licence = "<p id=\"licence\">Licence text</p>";

    HWND Root() const;
    // The dialog page's window, or null.
    static HWND Dialog();
    static int DialogCount();

    // Script errors the pages reported so far.
    std::vector<std::wstring> ScriptErrors() const;

private:
    DebugCapture m_capture;
    std::shared_ptr<CSciterSetUpUi> m_ui;
    std::vector<NativeCall> m_calls;
};

// Presses a button of the dialog page after `ms` milliseconds, from the message
// loop (the dialog may be modal, so the caller is blocked until then).
void PressDialogButtonLater(const std::string& id, int ms);
// Runs `fn` from the message loop after `ms` milliseconds (one at a time).
void RunLater(std::function<void()> fn, int ms);
// A JSON text as a value (null when it does not parse).
Json::Value ParseJson(const std::string& text);
std::string Narrow(const std::wstring& text);
