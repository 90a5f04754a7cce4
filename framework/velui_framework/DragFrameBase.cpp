#include "framework/velui_framework/DragFrameBase.h"

#include <shlobj.h>

#include <cwchar>
#include <memory>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/XLog.h"
#include "framework/velui_framework/DragDropObjects.h"
#include "framework/velui_framework/DragTagFile.h"

namespace velui {

namespace {

const wchar_t kFile[] = L"velui_dragframe";
// How long a drop waits for the shell to report the dropped copy.
constexpr DWORD kLateNoticeMs = 1000;

bool ParseJson(const std::string& text, Json::Value& out)
{
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["failIfExtra"] = true;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    return reader->parse(text.data(), text.data() + text.size(), &out, &errors);
}

std::wstring Wide(const std::string& text)
{
    return CCodeChange::StringUTF8toUTF16(text);
}

std::string Utf8(const std::wstring& text)
{
    return CCodeChange::StringUTF16toUTF8(text);
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Keeps OLE initialised on this thread for one drag.
class OleScope {
public:
    OleScope() : m_hr(::OleInitialize(nullptr)) { }
    ~OleScope()
    {
        if (SUCCEEDED(m_hr))
            ::OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    HRESULT m_hr;
};

}  // namespace

CDragFrameBase::~CDragFrameBase()
{
    EndMonitorDragDrop();
    if (m_tagBase.Held())
        m_tagBase.Remove();
}

std::wstring CDragFrameBase::DragTagFolder() const
{
    // The engine runs elevated and the user's temporary folder is the user's:
    // the tag is written only inside a base no unelevated program can change.
    if (!m_tagBase.Held()) {
        std::wstring why;
        if (!SecureFolders::CreateTemporaryBase(m_tagBase, L"dragtag", &why) || !why.empty())
            DebugLine(L"stagehand.exe=>dragtag folder: " + why);
    }
    return m_tagBase.Held() ? m_tagBase.Path() : std::wstring();
}

HRESULT CDragFrameBase::RunDragLoop(IDataObject* data, IDropSource* source, DWORD* effect)
{
    return ::DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, effect);
}

std::wstring CDragFrameBase::Drag(HWND window, const VALUE& args, const VALUE& callback)
{
    const std::wstring text = IsString(args) ? StringOf(args) : JsonTextOf(args);
    XTRACE_FUNC_ARGS(L"FUNCTION: %s(strArgs.c_str()=%s)", L"velui::CDragFrameBase::Drag", text.c_str());
    Json::Value jv;
    if (!IsString(args) || !ParseJson(Utf8(text), jv)) {
        XASSERT_TEXT_AT(false, L"jv", kFile, 68);
        return L"invalid args";
    }
    if (jv.isNull() || !jv.isObject() || jv.isArray()) {
        XASSERT_TEXT_AT(false, L"!jv->isNull() && jv->isObject() && !jv->isArray()", kFile, 69);
        return L"invalid args";
    }
    if (!jv["action"].isString()) {
        XASSERT_TEXT_AT(false, L"(*jv)[\"action\"].isString()", kFile, 70);
        return L"invalid args";
    }
    if (jv["action"].asString() == "start") {
        // One drag at a time: a second one would end the first one's monitoring.
        if (m_bDragging)
            return L"fail";
        m_DragCallback = value(callback);
        // A drag that could not start says so instead of reporting success.
        if (!StartDrag(window, jv))
            return L"fail";
    }
    return L"success";
}

bool CDragFrameBase::StartDrag(HWND window, const Json::Value& args)
{
    m_strInfo.clear();
    if (args["info"].isString())
        m_strInfo = args["info"].asString();

    const std::wstring folder = DragTagFolder();
    const std::wstring tag = folder.empty() ? std::wstring() : BuildDragTagFile(folder);
    if (tag.empty()) {
        XASSERT_TEXT_AT(false, L"BuildDragTagFile()", kFile, 160);
        return false;
    }
    m_strDragTagFilePath = tag;
    XLogUntagged(XLOG_INFO, L"tagfile:%s", tag.c_str());

    const std::vector<std::wstring> names {tag};
    auto* dataObjectSpec = new (std::nothrow) CDataObject();
    if (!dataObjectSpec)
        return false;
    ComPtr<CDataObject> data(dataObjectSpec);
    data->AddRef();
    if (!CopyNamesToHGlobal(dataObjectSpec->hGlobal, names)) {
        XASSERT_TEXT_AT(false, L"CopyNamesToHGlobal(dataObjectSpec->hGlobal, indices)", kFile, 166);
        return false;
    }
    auto* sourceSpec = new (std::nothrow) CDropSource(names, dataObjectSpec);
    if (!sourceSpec)
        return false;
    ComPtr<CDropSource> source(sourceSpec);
    source->AddRef();

    if (!BeginMonitorDragDrop(window)) {
        XASSERT_HR_TEXT_AT(false, E_FAIL, L"BeginMonitorDragDrop()", kFile, 174);
        return false;
    }
    m_strDragTargetFilePath.clear();
    HRESULT hr = E_FAIL;
    {
        m_bDragging = true;
        ScopeExit done([this] { m_bDragging = false; });
        OleScope ole;
        DWORD effect = DROPEFFECT_NONE;
        hr = RunDragLoop(data.get(), source.get(), &effect);
    }
    XLogUntagged(XLOG_INFO, L"DoDragDrop result %d", static_cast<int>(hr));
    // The shell may report the dropped copy after the drag loop has ended.
    if (hr == DRAGDROP_S_DROP && m_strDragTargetFilePath.empty() && ::IsWindow(window)) {
        const DWORD start = ::GetTickCount();
        MSG msg;
        while (m_strDragTargetFilePath.empty() && ::GetTickCount() - start < kLateNoticeMs) {
            if (::PeekMessageW(&msg, window, MSG_DRAGDROPMONITOR, MSG_DRAGDROPMONITOR, PM_REMOVE))
                ::DispatchMessageW(&msg);
            else
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }
    EndMonitorDragDrop();

    Json::Value result(Json::objectValue);
    const bool cancelled = hr == DRAGDROP_S_CANCEL;
    // A drag loop that failed is not a success.
    result["result"] = cancelled ? "cancel" : FAILED(hr) ? "fail" : "success";
    if (!cancelled && SUCCEEDED(hr)) {
        if (m_strDragTargetFilePath.empty())
            XASSERT_TEXT_AT(false, L"!m_strDragTargetFilePath.empty()", kFile, 187);
        else
            result["to_path"] = Utf8(m_strDragTargetFilePath);
    }
    if (!m_strInfo.empty())
        result["info"] = m_strInfo;
    DragCallback(Json::StyledWriter().write(result));
    if (hr == DRAGDROP_S_DROP && dataObjectSpec->HasText())
        XLogUntagged(XLOG_INFO, L"todo %s", dataObjectSpec->Text().c_str());
    return true;
}

void CDragFrameBase::DragCallback(const std::string& text)
{
    const std::wstring wide = Wide(text);
    XTRACE_FUNC_ARGS(L"FUNCTION: %s(strResult.c_str()=%s)", L"velui::CDragFrameBase::DragCallback", wide.c_str());
    const UINT type = m_DragCallback.type();
    if (type == T_UNDEFINED || type == T_NULL) {
        XASSERT_TEXT_AT(false, L"!m_DragCallback.is_null()", kFile, 110);
        return;
    }
    value callback = m_DragCallback;  // the page may start another drag from it
    value argument = value::string(wide);
    value self, ret;
    CSciterBinding::Api()->ValueInvoke(callback.get(), self.get(), 1, argument.get(), ret.get(), nullptr);
}

bool CDragFrameBase::BeginMonitorDragDrop(HWND window)
{
    EndMonitorDragDrop();
    UniqueCoTaskMem<ITEMIDLIST> desktop;
    const HRESULT hr = ::SHGetSpecialFolderLocation(window, CSIDL_DESKTOP, desktop.put());
    if (FAILED(hr) || !desktop) {
        XASSERT_HR_TEXT_AT(false, hr, L"SHGetSpecialFolderLocation(m_hWnd, CSIDL_DESKTOP, &pidl)", kFile, 143);
        return false;
    }
    SHChangeNotifyEntry entry {};
    entry.pidl = desktop.get();
    entry.fRecursive = TRUE;
    m_uChangeNotifyRet = ::SHChangeNotifyRegister(window, SHCNRF_ShellLevel, SHCNE_CREATE | SHCNE_RENAMEITEM,
                                                  MSG_DRAGDROPMONITOR, 1, &entry);
    if (m_uChangeNotifyRet == 0) {
        XASSERT_TEXT_AT(false, L"m_uChangeNotifyRet", kFile, 147);
        return false;
    }
    return true;
}

void CDragFrameBase::EndMonitorDragDrop()
{
    if (m_uChangeNotifyRet == 0)
        return;
    const BOOL ok = ::SHChangeNotifyDeregister(m_uChangeNotifyRet);
    XASSERT_TEXT_AT(ok, L"SHChangeNotifyDeregister(m_uChangeNotifyRet)", kFile, 237);
    m_uChangeNotifyRet = 0;
}

void CDragFrameBase::OnDragDropMonitor(HWND window, WPARAM wParam, LPARAM lParam)
{
    auto* items = reinterpret_cast<LPITEMIDLIST*>(wParam);
    if (!items)
        return;
    LPCITEMIDLIST item = nullptr;
    if (lParam & SHCNE_CREATE)
        item = items[0];
    else if (lParam & SHCNE_RENAMEITEM)
        item = items[1];
    wchar_t path[MAX_PATH] = {};
    if (item && ::SHGetPathFromIDListW(item, path))
        ProcessDragDrop(window, path);
}

void CDragFrameBase::ProcessDragDrop(HWND window, const std::wstring& path)
{
    // Only while a tag file is out, and never for the tag file itself.
    if (m_strDragTagFilePath.empty() || !NamesDragTag(path) ||
        _wcsicmp(path.c_str(), m_strDragTagFilePath.c_str()) == 0)
        return;
    m_strDragTagFilePath.clear();
    m_strDeleteFilePath = path;
    m_strDragTargetFilePath = FolderOf(path);
    XTRACE_FUNC_ARGS(L"FUNCTION: %s(pszPath=%s)", L"velui::CDragFrameBase::DragCommit", path.c_str());
    const UINT_PTR timer = ::SetTimer(window, TIMERID_DELETE_TAGFILE, kDeleteDelayMs, nullptr);
    XASSERT_TEXT_AT(timer != 0, L"SetTimer(m_hWnd, TIMERID_DELETE_TAGFILE, 300, NULL)", kFile, 220);
}

void CDragFrameBase::DeleteDragTagFile()
{
    const std::wstring path = m_strDeleteFilePath;
    m_strDeleteFilePath.clear();
    if (path.empty())
        return;
    if (DeleteDragTagCopy(path) == TagDeleteResult::Deleted) {
        const std::wstring folder = FolderOf(path);
        ::SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW | SHCNF_FLUSH | SHCNF_FLUSHNOWAIT, folder.c_str(), nullptr);
    } else {
        XASSERT_TEXT_AT(false, L"DeleteFile( pszPath )", kFile, 227);
    }
}

void CDragFrameBase::FreeDropDescription(HWND window)
{
    if (HANDLE old = ::RemovePropW(window, kDropDescriptionProperty))
        ::GlobalFree(old);
}

void CDragFrameBase::UpdateDropDescription(HWND window, const VALUE& args, VALUE* result)
{
    XTRACE_FUNC(L"velui::frame::updatedropdesp");
    if (!IsString(args)) {
        XASSERT_TEXT_AT(false, L"args.is_string()", kFile, 88);
        SetString(result, L"invalidarg");
        return;
    }
    Json::Value jv;
    if (!ParseJson(Utf8(StringOf(args)), jv)) {
        XASSERT_TEXT_AT(false, L"jv", kFile, 91);
        SetString(result, L"fail");
        return;
    }
    const std::wstring str = Wide(Json::StyledWriter().write(jv));
    UniqueGlobal hData(::GlobalAlloc(GHND | GMEM_SHARE, (str.length() + 1) * sizeof(WCHAR)));
    if (!hData) {
        XASSERT_TEXT_AT(false, L"hData.Alloc(GHND | GMEM_SHARE, (str.length() + 1) * sizeof(WCHAR))", kFile, 95);
        SetBool(result, false);
        return;
    }
    auto* pszString = static_cast<wchar_t*>(::GlobalLock(hData.get()));
    if (!pszString) {
        XASSERT_TEXT_AT(false, L"pszString", kFile, 98);
        SetBool(result, false);
        return;
    }
    memcpy(pszString, str.c_str(), (str.length() + 1) * sizeof(WCHAR));
    ::GlobalUnlock(hData.get());
    HANDLE old = ::GetPropW(window, kDropDescriptionProperty);
    const BOOL bSetSuc = ::SetPropW(window, kDropDescriptionProperty, hData.get());
    if (!bSetSuc) {
        XASSERT_TEXT_AT(false, L"bSetSuc", kFile, 104);
        SetBool(result, false);
        return;
    }
    hData.release();
    if (old)
        ::GlobalFree(old);
    SetString(result, L"success");
}

bool CDragFrameBase::drag_on_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case MSG_DRAGDROPMONITOR:
        OnDragDropMonitor(window, wParam, lParam);
        result = 0;
        return true;
    case WM_TIMER:
        if (wParam != TIMERID_DELETE_TAGFILE)
            return false;
        ::KillTimer(window, TIMERID_DELETE_TAGFILE);
        DeleteDragTagFile();
        result = 0;
        return true;
    case WM_DESTROY:
        // Monitoring ends with the window; a dropped copy still waiting is
        // deleted now, and the description and the page's function go.
        EndMonitorDragDrop();
        if (!m_strDeleteFilePath.empty()) {
            ::KillTimer(window, TIMERID_DELETE_TAGFILE);
            DeleteDragTagFile();
        }
        FreeDropDescription(window);
        m_DragCallback.clear();
        return false;
    default:
        return false;
    }
}

}  // namespace velui
