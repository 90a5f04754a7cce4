#include "ui/SciterView.h"

#include <shellapi.h>
#include <shlobj.h>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/XLog.h"
#include "engine/model/EngineSettings.h"
#include "engine/model/FolderName.h"
#include "engine/model/InstallPath.h"
#include "ui/ResLoaders.h"
#include "ui/SetupUI.h"

namespace {

constexpr wchar_t kFile[] = L"SciterView";

// Parses the arguments as the pages send them; the assertion names the line
// that each function reports.
bool ParseArgs(const std::string& args, Json::Value& out, int line)
{
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    const bool ok = reader->parse(args.data(), args.data() + args.size(), &out, &errors);
    XASSERT_TEXT_AT(ok, L"Json::Reader().parse(args,jv,false)", kFile, line);
    return ok;
}

// Element 0 as text; false when there is no first argument.
bool FirstArg(const Json::Value& v, std::string& out)
{
    if (!v.isArray() || v.empty())
        return false;
    const Json::Value& first = v[0];
    out = first.isString() ? first.asString() : first.isNull() ? std::string() : first.toStyledString();
    if (!first.isString() && !out.empty() && out.back() == '\n')
        out.pop_back();
    return true;
}

std::string Styled(const Json::Value& v)
{
    return Json::StyledWriter().write(v);
}

}  // namespace

SciterView::SciterView(HINSTANCE module, iSetupUI* owner) : velui::view(module), m_pSetupUI(owner)
{
    auto bind = [this](std::string (SciterView::*fn)(const std::string&)) -> Handler {
        return [this, fn](const std::string&, const std::string& args) { return (this->*fn)(args); };
    };
    m_functions["showwin"] = bind(&SciterView::ShowWin);
    m_functions["GetSystemPath"] = bind(&SciterView::GetSystemPath);
    m_functions["SendSignal"] = bind(&SciterView::SendSignal);
    m_functions["SelectFolderPostion"] = bind(&SciterView::SelectFolderPostion);
    m_functions["DecisionPath"] = bind(&SciterView::DecisionPath);
    m_functions["GetLicense"] = bind(&SciterView::GetLicense);
    m_functions["OutputDebugStringAA"] = bind(&SciterView::OutputDebugStringAA);
    m_functions["DestroyWindow"] = bind(&SciterView::DestroyWindow);
    m_functions["PostSetupLog"] = bind(&SciterView::PostSetupLog);
    m_functions["ShellExecute"] = bind(&SciterView::ShellExecute);
    m_functions["OnDetail"] = bind(&SciterView::OnDetail);
    m_functions["OnInstallFinish"] = bind(&SciterView::OnInstallFinish);
    m_functions["SetLanguage"] = bind(&SciterView::SetLanguage);
    m_functions["ExitProcess"] = bind(&SciterView::ExitProcess);
    m_functions["PageReady"] = bind(&SciterView::PageReady);

    auto loader = std::make_shared<MyResLoader>(module);
    loader->Init();
    m_loader = loader;
}

SciterView::~SciterView() = default;

HWND SciterView::create_mini_window(const std::wstring&, const std::wstring&, const std::wstring&, HWND)
{
    return nullptr;
}

std::string SciterView::invoke(const std::string& name, const std::string& args)
{
    auto it = m_functions.find(name);
    if (it == m_functions.end())
        return "error";
    return it->second(name, args);
}

std::shared_ptr<Json::Value> SciterView::invoke_js(const std::string&, const std::string&)
{
    return nullptr;
}

std::string SciterView::invoke_cb(const std::string&, const std::string&, std::function<void(const std::string&)>)
{
    return "";
}

void SciterView::log(const std::string& type, const std::string& content)
{
    // The full-width colon in the code page the log readers expect.
    const std::string line = "stagehand.exe=>SciterView::log:" + type + "\xA3\xBA" + content + "\r\n";
    DebugLineA("%s", line.c_str());
}

std::string SciterView::ShowWin(const std::string& args)
{
    Json::Value v;
    if (!ParseArgs(args, v, 158))
        return "";
    std::string command;
    if (FirstArg(v, command)) {
        if (command == "hide") {
            ::ShowWindow(m_hRootWnd, SW_HIDE);
        } else if (command == "show") {
            ::ShowWindow(m_hRootWnd, SW_SHOWNORMAL);
            if (::IsWindow(m_hRootWnd))
                velui::BringWindowToFront(m_hRootWnd);
        }
    }
    return "true";
}

std::string SciterView::GetSystemPath(const std::string& args)
{
    Json::Value v;
    if (!ParseArgs(args, v, 210))
        return "";
    std::string folder;
    if (FirstArg(v, folder) && folder == "CSIDL_PROGRAM_FILES")
        return FileSystem::GetProgramFilesPathA();
    return "true";
}

std::string SciterView::SendSignal(const std::string& args)
{
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    auto message = std::make_shared<Json::Value>();
    std::string errors;
    if (!reader->parse(args.data(), args.data() + args.size(), message.get(), &errors) || !message->isObject())
        return "";
    if (m_pSetupUI)
        m_pSetupUI->SendToEngine(message);
    return "true";
}

std::string SelectedFolderResult(const std::wstring& chosen)
{
    std::wstring code;
    const bool ok = CheckInstallPath(CleanPathName(chosen), code);
    Json::Value result(Json::objectValue);
    result["statue"] = ok;
    if (!ok)
        result["error_code"] = Utf8(code);
    result["pos"] = Utf8(chosen);
    return Styled(result);
}

std::string SciterView::SelectFolderPostion(const std::string&)
{
    BROWSEINFOW info {};
    info.hwndOwner = m_hRootWnd;
    info.lpszTitle = L"";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    UniqueCoTaskMem<ITEMIDLIST> list(::SHBrowseForFolderW(&info));
    if (!list)
        return "";
    wchar_t path[MAX_PATH] = {};
    const BOOL got = ::SHGetPathFromIDListW(list.get(), path);
    if (!got)
        return Styled(Json::Value());
    return SelectedFolderResult(path);
}

std::string DecisionPathResult(const std::wstring& input)
{
    std::wstring path = CleanPathName(input);
    std::wstring code;
    Json::Value result(Json::objectValue);
    if (!CheckInstallPath(path, code)) {
        result["statue"] = false;
        result["error_code"] = Utf8(code);
        return Styled(result);
    }
    const size_t e = path.find_last_not_of(L'\\');
    if (e != std::wstring::npos) {
        const size_t s = path.rfind(L'\\', e);
        const size_t from = s == std::wstring::npos ? 0 : s + 1;
        if (!IsSameFolderName(path.substr(from, e - from + 1), kCompanyFolder))
            path += std::wstring(L"\\") + kCompanyFolder;
    }
    for (size_t pos; (pos = path.find(L"\\\\")) != std::wstring::npos;)
        path.replace(pos, 2, L"\\");
    result["statue"] = true;
    result["path"] = Utf8(path);
    return Styled(result);
}

std::string SciterView::DecisionPath(const std::string& args)
{
    Json::Value v;
    if (!ParseArgs(args, v, 247))
        return "";
    std::string first;
    if (!FirstArg(v, first))
        return "";
    return DecisionPathResult(Utf16(first));
}

std::string LicenseHtml(const std::string& bytes)
{
    std::wstring text(bytes.size() / 2, L'\0');
    if (!text.empty())
        memcpy(text.data(), bytes.data(), text.size() * 2);
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            out += L"<br/>";
            ++i;
        } else {
            out += text[i];
        }
    }
    return Utf8(out);
}

std::string SciterView::GetLicense(const std::string&)
{
    return LicenseHtml(ReadBinResource(m_hInstance, 172));
}

std::string SciterView::OutputDebugStringAA(const std::string& args)
{
    DebugLineA("stagehand.exe=>EventOutputDebugStringAAHandler:%s", args.c_str());
    return "true";
}

std::string SciterView::DestroyWindow(const std::string&)
{
    ::PostQuitMessage(0);
    return "true";
}

std::string SciterView::PostSetupLog(const std::string& args)
{
    Json::Value v;
    if (!ParseArgs(args, v, 280))
        return "";
    return "true";
}

std::string SciterView::ShellExecute(const std::string& args)
{
    Json::Value v;
    if (!ParseArgs(args, v, 292))
        return "";
    std::string operation, file;
    FirstArg(v, operation);
    if (v.isArray() && v.size() > 1 && v[1].isString())
        file = v[1].asString();
    const std::wstring op = Utf16(operation), target = Utf16(file);
    ::ShellExecuteW(nullptr, op.c_str(), target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return "true";
}

std::string SciterView::OnDetail(const std::string& args)
{
    Json::Value v;
    if (!ParseArgs(args, v, 310))
        return "";
    std::string flag;
    FirstArg(v, flag);
    if (m_pSetupUI)
        m_pSetupUI->m_bResult.store(flag == "true");
    return "true";
}

std::string SciterView::OnInstallFinish(const std::string& args)
{
    Json::Value v;
    if (!ParseArgs(args, v, 325))
        return "";
    std::string action;
    FirstArg(v, action);
    MessagePtr message = MakeMessage("installcontrol");
    (*message)["action"] = action;
    if (m_pSetupUI)
        m_pSetupUI->SendToEngine(message);
    return "true";
}

std::string SciterView::SetLanguage(const std::string& args)
{
    Json::Value v;
    if (!ParseArgs(args, v, 341))
        return "";
    std::string code;
    FirstArg(v, code);
    g_engineSettings.wstrLanguage = Utf16(code);
    return "true";
}

std::string SciterView::ExitProcess(const std::string&)
{
    ::TerminateProcess(::GetCurrentProcess(), 0);
    return "";
}

std::string SciterView::PageReady(const std::string&)
{
    m_bPageReady = true;
    if (m_pSetupUI)
        m_pSetupUI->OnPageReady();
    return "true";
}
