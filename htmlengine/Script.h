#pragma once
// JavaScript (ES5) on Duktape: one heap for the process, one global object per page.
#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "htmlengine/Dom.h"
#include "htmlengine/Value.h"

struct duk_hthread;
typedef struct duk_hthread duk_context;

namespace he {

class EngineWindow;

struct EventInfo {
    std::string type;
    bool bubbles = true;
    float clientX = 0, clientY = 0;
    int screenX = 0, screenY = 0;
    int button = 0;
    int keyCode = 0;
    int charCode = 0;
    bool ctrl = false, shift = false, alt = false;
};

// A script error as a debug line: "sciter32.dll=>script error: <file>(<line>): <message>".
void ReportScriptError(const std::wstring& file, int line, const std::wstring& message);

class ScriptPage {
public:
    explicit ScriptPage(EngineWindow* window);
    ~ScriptPage();
    ScriptPage(const ScriptPage&) = delete;
    ScriptPage& operator=(const ScriptPage&) = delete;

    // Runs a script in the page's global object; errors are reported, never thrown.
    bool Execute(const std::wstring& code, const std::wstring& url);
    // Evaluates an expression and returns its value (tests, host helpers).
    bool Evaluate(const std::wstring& code, VALUE* result);
    // Fires a DOM event; true when a handler prevented the default action.
    bool Dispatch(Element* target, const EventInfo& ev);
    void FireLoaded();
    // Asks the page whether the window may close (view.onclose / "closerequest").
    bool CloseRequest();
    bool OnTimer(UINT_PTR id);  // false when the id is not a script timer
    // A value of the page's global variable (tests).
    bool Global(const std::string& name, VALUE* out);

    EngineWindow* Window() const { return m_window; }
    unsigned Id() const { return m_id; }
    duk_context* Context() const { return m_ctx; }

    struct Timer {
        unsigned fnRef;
        UINT interval;
        bool repeat;
    };
    std::map<UINT_PTR, Timer>& Timers() { return m_timers; }
    HWND Hwnd() const { return m_hwnd; }
    UINT_PTR NextTimerId() { return m_nextTimer++; }

private:
    EngineWindow* m_window;
    HWND m_hwnd;
    unsigned m_id;
    duk_context* m_ctx = nullptr;  // the page's thread
    unsigned m_threadRef = 0;
    std::map<UINT_PTR, Timer> m_timers;
    UINT_PTR m_nextTimer = 0x4000;
};

// The page by id, or null once it is gone.
ScriptPage* FindPage(unsigned id);
// Ends a page; deferred while script code is still running.
void RetirePage(std::unique_ptr<ScriptPage> page);
// True while script code runs (on any page).
bool ScriptRunning();

}  // namespace he
