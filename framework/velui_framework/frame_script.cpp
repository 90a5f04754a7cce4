// The script functions a page reaches on `view`, with their argument counts.
#include <dwmapi.h>

#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/SystemLibrary.h"
#include "common/XLog.h"
#include "framework/velui_framework/BussMessage.h"
#include "framework/velui_framework/frame.h"
#include "framework/velui_framework/view.h"
#include "ui/SciterBinding.h"

namespace velui {

namespace {

std::string Utf8(const VALUE& v)
{
    return CCodeChange::StringUTF16toUTF8(StringOf(v));
}
std::wstring Wide(const std::string& text)
{
    return CCodeChange::StringUTF8toUTF16(text);
}

// A string as it is; any other value as its JSON text.
std::wstring JsonOrText(const VALUE& v)
{
    return IsString(v) ? StringOf(v) : JsonTextOf(v);
}

// A JSON value as an engine value: null becomes an empty array.
value FromJson(const Json::Value& json)
{
    ISciterAPI* api = CSciterBinding::Api();
    value out;
    switch (json.type()) {
    case Json::intValue:
        SetInt(out.get(), json.asInt());
        break;
    case Json::uintValue:
        SetInt(out.get(), static_cast<int>(json.asUInt()));
        break;
    case Json::realValue:
        api->ValueFloatDataSet(out.get(), json.asDouble(), T_FLOAT, 0);
        break;
    case Json::stringValue:
        SetString(out.get(), Wide(json.asString()));
        break;
    case Json::booleanValue:
        SetBool(out.get(), json.asBool());
        break;
    case Json::arrayValue:
    case Json::nullValue:
        if (json.empty()) {
            api->ValueFromString(out.get(), L"[]", 2, CVT_JSON_LITERAL);
            break;
        }
        for (Json::ArrayIndex i = 0; i < json.size(); ++i) {
            value item = FromJson(json[i]);
            api->ValueNthElementValueSet(out.get(), static_cast<INT>(i), item.get());
        }
        break;
    case Json::objectValue:
        for (const auto& key : json.getMemberNames()) {
            value k = value::string(Wide(key));
            value item = FromJson(json[key]);
            api->ValueSetValueToKey(out.get(), k.get(), item.get());
        }
        break;
    }
    return out;
}

void RectValue(VALUE* result, const RECT& r)
{
    ISciterAPI* api = CSciterBinding::Api();
    api->ValueClear(result);
    const int parts[4] = {r.left, r.top, r.right, r.bottom};
    for (int i = 0; i < 4; ++i) {
        value item = value::integer(parts[i]);
        api->ValueNthElementValueSet(result, i, item.get());
    }
}

}  // namespace

bool frame::on_script_call(const std::string& name, const VALUE* argv, UINT argc, VALUE* result)
{
    static const VALUE kNone {};
    auto arg = [&](UINT i) -> const VALUE& { return i < argc && argv ? argv[i] : kNone; };
    auto is = [&](const char* n, UINT count) { return name == n && argc == count; };

    if (is("init_trigger", 2)) {
        m_triggerFn = value(arg(1));
        m_strTriggerList = Utf8(arg(0));
        SetBool(result, true);
    } else if (is("log", 2)) {
        if (m_pView)
            m_pView->log(CCodeChange::StringUTF16toUTF8(JsonOrText(arg(0))),
                         CCodeChange::StringUTF16toUTF8(JsonOrText(arg(1))));
        SetBool(result, true);
    } else if (is("open_frame", 3)) {
        open_frame(Utf8(arg(0)), StringOf(arg(1)), arg(2), result);
    } else if (is("get_screen", 0) || is("get_screenex", 0)) {
        MONITORINFO info {};
        info.cbSize = sizeof(info);
        ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &info);
        RectValue(result, name == "get_screen" ? info.rcMonitor : info.rcWork);
    } else if (is("invoke", 2)) {
        if (!IsString(arg(0)) || !IsString(arg(1)) || !m_pView) {
            SetBool(result, false);
        } else {
            SetString(result, Wide(m_pView->invoke(Utf8(arg(0)), Utf8(arg(1)))));
        }
    } else if (is("invoke_cb", 3)) {
        if (!IsString(arg(0)) || !IsString(arg(1)) || !m_pView) {
            SetBool(result, false);
        } else {
            const std::string fn = Utf8(arg(0));
            XTRACE_FUNC_ARGS(L"FUNCTION: %s(_func.c_str()=%S)", L"velui::frame::invoke_cb", fn.c_str());
            const uint32_t id = ++m_lastCallbackId;
            value callback(arg(2));
            m_callbacks[id] = [callback](const std::string& body) {
                value text = value::string(Wide(body));
                value self, ret;
                CSciterBinding::Api()->ValueInvoke(callback.get(), self.get(), 1, text.get(), ret.get(), nullptr);
            };
            HWND window = m_hWnd;
            m_pView->invoke_cb(fn, Utf8(arg(1)), [window, id](const std::string& body) {
                auto* record = new (std::nothrow) BussCallbackMessage(id, body);
                if (record && !::PostMessageW(window, MsgFromBussCallback(), 0, reinterpret_cast<LPARAM>(record)))
                    delete record;
            });
            SetString(result, L"");
        }
    } else if (is("invoke_js", 2)) {
        std::shared_ptr<Json::Value> json;
        if (IsString(arg(0)) && IsString(arg(1)) && m_pView)
            json = m_pView->invoke_js(Utf8(arg(0)), Utf8(arg(1)));
        if (json) {
            value converted = FromJson(*json);
            CSciterBinding::Api()->ValueCopy(result, converted.get());
        } else {
            SetBool(result, false);
        }
    } else if (is("min_frame", 0)) {
        ::ShowWindow(m_hWnd, SW_MINIMIZE);
        SetBool(result, true);
    } else if (is("close_frame", 1)) {
        const VALUE& params = arg(0);
        if (params.t == T_NULL || params.t == T_UNDEFINED) {
            ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        } else {
            value id = Member(params, "id");
            if (IsString(*id.get()) && m_pView) {
                if (auto other = m_pView->find_frame(Utf8(*id.get())))
                    ::PostMessageW(other->m_hWnd, WM_CLOSE, 0, 0);
            }
        }
        SetBool(result, true);
    } else if (is("get_params", 0)) {
        XTRACE_FUNC(L"velui::frame::get_params");
        CSciterBinding::Api()->ValueCopy(result, m_params.get());
    } else if (is("setRetCode", 1)) {
        m_retCode = value(arg(0));
        XTRACE_FUNC(L"velui::frame::setRetCode");
        SetString(result, L"success");
    } else if (is("force_img_refresh", 2)) {
        SetBool(result, force_img_refresh(arg(0), arg(1)));
    } else if (is("switch_glass", 1)) {
        switch_glass(arg(0));
        SetUndefined(result);
    } else if (is("hide_shadow", 1)) {
        const VALUE& flag = arg(0);
        ShowShadow(IsInteger(flag) && IntOf(flag) == 0);
        SetUndefined(result);
    } else if (is("dodrag", 2)) {
        SetString(result, Drag(m_hWnd, arg(0), arg(1)));
    } else if (is("updatedropdesp", 1)) {
        UpdateDropDescription(m_hWnd, arg(0), result);
    } else {
        return false;
    }
    return true;
}

bool frame::force_img_refresh(const VALUE& url, const VALUE& action)
{
    if (!IsString(url))
        return false;
    std::wstring text = StringOf(url);
    const std::wstring what = StringOf(action);
    std::string data;
    if (what == L"load")
        data = FileSystem::ReadFileToString(text, true);
    else if (what == L"clear")
        data.assign(1, '1');  // (an assignment from a literal trips a false -Wrestrict warning)
    for (auto& c : text)
        if (c == L'\\')
            c = L'/';
    CSciterBinding::Api()->SciterDataReadyAsync(m_hWnd, text.c_str(), reinterpret_cast<LPCBYTE>(data.data()),
                                                static_cast<UINT>(data.size()), reinterpret_cast<LPVOID>(1));
    return true;
}

void frame::switch_glass(const VALUE& rect)
{
    // dwmapi is no KnownDLL: by name it could come from the engine's own (temporary) folder.
    using BlurFn = HRESULT(WINAPI*)(HWND, const DWM_BLURBEHIND*);
    auto blur = SystemFunction<BlurFn>(L"dwmapi.dll", "DwmEnableBlurBehindWindow");
    if (!blur)
        return;
    int parts[4] = {};
    for (int i = 0; i < 4; ++i) {
        value item = Element(rect, i);
        parts[i] = IsInteger(*item.get()) ? IntOf(*item.get()) : 0;
    }
    UniqueRegion region(parts[0] == -1 ? nullptr : ::CreateRectRgn(parts[0], parts[1], parts[2], parts[3]));
    DWM_BLURBEHIND behind {};
    behind.dwFlags = DWM_BB_ENABLE | DWM_BB_BLURREGION;
    behind.fEnable = TRUE;
    behind.hRgnBlur = region.get();
    behind.fTransitionOnMaximized = FALSE;
    blur(m_hWnd, &behind);
    CSciterBinding::Api()->SciterSetOption(m_hWnd, SCITER_TRANSPARENT_WINDOW, 1);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace velui
