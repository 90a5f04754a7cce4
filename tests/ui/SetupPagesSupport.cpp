#include "tests/ui/SetupPagesSupport.h"

#include <gtest/gtest.h>

#include "common/CodeChange.h"
#include "engine/model/MessageSignal.h"
#include "framework/velui_framework/view.h"
#include "htmlengine/Api.h"
#include "htmlengine/Dom.h"
#include "htmlengine/EngineWindow.h"
#include "htmlengine/Script.h"
#include "htmlengine/Value.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SciterBinding.h"
#include "ui/SciterSetUpUi.h"

namespace {

const wchar_t kDialogTitle[] = L"Quayside Setup";

BOOL CALLBACK DestroyPageWindow(HWND window, LPARAM)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (std::wstring(name) == velui::kWindowClassName)
        ::DestroyWindow(window);
    return TRUE;
}

BOOL CALLBACK CountDialogs(HWND window, LPARAM param)
{
    wchar_t text[64] = {};
    ::GetWindowTextW(window, text, 64);
    if (std::wstring(text) == kDialogTitle && ::IsWindowVisible(window))
        ++*reinterpret_cast<int*>(param);
    return TRUE;
}

std::string g_pressId;

void CALLBACK PressTick(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    HWND dialog = PageSession::Dialog();
    he::EngineWindow* w = dialog ? he::EngineWindow::Find(dialog, false) : nullptr;
    if (!w || !w->Page())
        return;
    he::Value ignored;
    w->Page()->Evaluate(CCodeChange::StringUTF8toUTF16("document.getElementById('" + g_pressId + "').click()"),
                        ignored.get());
}

}  // namespace

Json::Value ParseJson(const std::string& text)
{
    Json::Value v;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &v, &errors))
        return Json::Value();
    return v;
}

std::string Narrow(const std::wstring& text)
{
    return CCodeChange::StringUTF16toUTF8(text);
}

PageSession::PageSession()
{
    CSciterBinding::UseInProcess(he::EngineApi());
    m_ui = std::make_shared<CSciterSetUpUi>(::GetModuleHandleW(nullptr), L"install", L"");
    decisionPath = [](const Json::Value& args) {
        Json::Value r;
        r["statue"] = true;
        r["path"] = args[0].asString() + "\\Larkspur";
        return Json::FastWriter().write(r);
    };
    const char* names[] = {"showwin",         "GetSystemPath", "SendSignal",   "SelectFolderPostion", "DecisionPath",
                           "GetLicense",      "DestroyWindow", "PostSetupLog", "ShellExecute",        "OnDetail",
                           "OnInstallFinish", "SetLanguage",   "ExitProcess",  "OutputDebugStringAA"};
    for (const char* name : names) {
        g_view->m_functions[name] = [this](const std::string& fn, const std::string& args) -> std::string {
            Json::Value parsed = ParseJson(args);
            m_calls.push_back({fn, parsed});
            if (fn == "DecisionPath")
                return decisionPath(parsed);
            if (fn == "SelectFolderPostion")
                return selectFolder;
            if (fn == "GetLicense")
                return licence;
            return "true";
        };
    }
}

PageSession::~PageSession()
{
    for (const auto& line : ScriptErrors())
        ADD_FAILURE() << Narrow(line);
    ::EnumThreadWindows(::GetCurrentThreadId(), &DestroyPageWindow, 0);
    Pump(20);
    m_ui.reset();
}

void PageSession::Show(const std::wstring& page, const std::wstring& params)
{
    m_ui->ShowPage(page, params);
    Pump(50);
}

void PageSession::Send(const char* type, const Json::Value& fields)
{
    MessagePtr m = MakeMessage(type);
    for (const auto& key : fields.getMemberNames())
        (*m)[key] = fields[key];
    m_ui->OnEngineMessage(m);
    Pump(30);
}

std::wstring PageSession::Eval(const std::string& js, HWND window)
{
    he::EngineWindow* w = he::EngineWindow::Find(window ? window : Root(), false);
    if (!w || !w->Page())
        return L"<no page>";
    he::Value v;
    if (!w->Page()->Evaluate(CCodeChange::StringUTF8toUTF16(js), v.get()))
        return L"<error>";
    return v.get()->t == T_STRING ? he::ValueText(v.get()) : he::ValueJson(v.get());
}

std::wstring PageSession::Text(const std::string& id, HWND window)
{
    return Eval("document.getElementById('" + id + "').textContent", window);
}

void PageSession::Pump(int ms)
{
    PumpFor(ms);
}

bool PageSession::Shown(const std::string& id, HWND window)
{
    he::EngineWindow* w = he::EngineWindow::Find(window ? window : Root(), false);
    if (!w || !w->Doc())
        return false;
    w->UpdateLayout();
    const he::Element* e = w->Doc()->GetElementById(CCodeChange::StringUTF8toUTF16(id));
    if (!e)
        return false;
    for (; e; e = e->parent)
        if (e->style.display == he::Display::None)
            return false;
    return true;
}

namespace {

std::vector<std::wstring> g_menuLabels;

// Reads the open popup menu's items and closes it.
void CALLBACK ReadMenuTick(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND popup = ::FindWindowW(L"#32768", nullptr);
    if (!popup)
        return;  // not open yet: the timer fires again
    ::KillTimer(nullptr, id);
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
    for (int i = 0, n = menu ? ::GetMenuItemCount(menu) : 0; i < n; ++i) {
        wchar_t text[128] = {};
        if (::GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION) > 0)
            g_menuLabels.push_back(text);
    }
    ::EndMenu();
}

}  // namespace

POINT PageSession::Centre(const std::string& id)
{
    he::EngineWindow* w = he::EngineWindow::Find(Root(), false);
    if (!w || !w->Doc())
        return {-1, -1};
    w->UpdateLayout();
    const he::Element* e = w->Doc()->GetElementById(CCodeChange::StringUTF8toUTF16(id));
    if (!e)
        return {-1, -1};
    return {static_cast<LONG>(e->border.x + e->border.w / 2), static_cast<LONG>(e->border.y + e->border.h / 2)};
}

void PageSession::Mouse(UINT message, WPARAM keys, POINT screen)
{
    ::ScreenToClient(Root(), &screen);
    ::SendMessageW(Root(), message, keys, MAKELPARAM(screen.x, screen.y));
}

std::vector<std::wstring> PageSession::ContextMenu(const std::string& id)
{
    const POINT c = Centre(id);
    if (c.x < 0)
        return {};
    const LPARAM at = MAKELPARAM(c.x, c.y);
    g_menuLabels.clear();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &ReadMenuTick);
    ::SendMessageW(Root(), WM_RBUTTONDOWN, MK_RBUTTON, at);
    ::SendMessageW(Root(), WM_RBUTTONUP, 0, at);  // returns when the menu has closed
    ::KillTimer(nullptr, timer);
    return g_menuLabels;
}

std::vector<NativeCall> PageSession::Take(const std::string& name)
{
    std::vector<NativeCall> out;
    for (auto& c : m_calls)
        if (name.empty() || c.name == name)
            out.push_back(c);
    m_calls.clear();
    return out;
}

HWND PageSession::Root() const
{
    return g_root_hwnd;
}

HWND PageSession::Dialog()
{
    return ::FindWindowW(velui::kWindowClassName, kDialogTitle);
}

int PageSession::DialogCount()
{
    int n = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountDialogs, reinterpret_cast<LPARAM>(&n));
    return n;
}

void PressDialogButtonLater(const std::string& id, int ms)
{
    g_pressId = id;
    ::SetTimer(nullptr, 0, static_cast<UINT>(ms), &PressTick);
}

namespace {

std::function<void()> g_later;

void CALLBACK LaterTick(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    auto fn = std::move(g_later);
    g_later = nullptr;
    if (fn)
        fn();
}

}  // namespace

void RunLater(std::function<void()> fn, int ms)
{
    g_later = std::move(fn);
    ::SetTimer(nullptr, 0, static_cast<UINT>(ms), &LaterTick);
}

std::vector<std::wstring> PageSession::ScriptErrors() const
{
    std::vector<std::wstring> out;
    for (const auto& line : m_capture.Lines())
        if (line.find(L"script error") != std::wstring::npos)
            out.push_back(line);
    return out;
}
