#include "framework/velui_framework/frame.h"

#include "common/CodeChange.h"
#include "framework/velui_framework/BussMessage.h"
#include "framework/velui_framework/behavior_mini_window.h"
#include "framework/velui_framework/view.h"
#include "ui/SciterBinding.h"

namespace velui {

frame::frame() = default;
frame::~frame()
{
    // A frame that goes before its window unbinds itself, so that neither the
    // window procedure nor the engine reaches it afterwards.
    m_pView = nullptr;
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        if (::GetWindowLongPtrW(m_hWnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
            ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ISciterAPI* api = CSciterBinding::Api();
        api->SciterWindowDetachEventHandler(m_hWnd, &frame::element_proc, this);
        api->SciterSetCallback(m_hWnd, nullptr, nullptr);
    }
}

void frame::attach_and_load(const std::wstring& url, HWND window)
{
    ISciterAPI* api = CSciterBinding::Api();
    m_hWnd = window;
    api->SciterSetCallback(window, &frame::host_callback, this);
    api->SciterWindowAttachEventHandler(window, &frame::element_proc, this, HANDLE_ALL);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    load_url(url);
}

void frame::attached()
{
    if (m_pView)
        m_pView->add_frame(m_hWnd, shared_from_this());
}

void frame::detached()
{
    if (m_pView)
        m_pView->remove_frame(m_hWnd);
}

bool frame::on_buss_message(const std::string& type, const std::string& body, bool post)
{
    if (!post) {
        fire_trigger(type, body);
        return true;
    }
    if (m_strTriggerList.find(type) == std::string::npos)
        return false;
    // A frame whose window has gone frees the record at once (post fails).
    PostBussMessage(m_hWnd, MsgFromBuss(), type, body);
    return true;
}

void frame::fire_trigger(const std::string& type, const std::string& body)
{
    if (!IsFunction(*m_triggerFn.get()))
        return;
    value args[2] = {value::string(CCodeChange::StringUTF8toUTF16(type)),
                     value::string(CCodeChange::StringUTF8toUTF16(body))};
    VALUE argv[2] = {*args[0].get(), *args[1].get()};
    value self;
    value result;
    // A trigger that throws is reported by the engine; the caller goes on.
    CSciterBinding::Api()->ValueInvoke(m_triggerFn.get(), self.get(), 2, argv, result.get(), nullptr);
}

void frame::on_callback_result(uint32_t id, const std::string& body)
{
    auto it = m_callbacks.find(id);
    if (it != m_callbacks.end() && it->second)
        it->second(body);
}

bool frame::on_window_message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (resize_on_message(m_hWnd, message, wParam, lParam, result))
        return true;
    bool handled = shadow_on_message(m_hWnd, message, wParam, lParam, result);
    handled = drag_on_message(m_hWnd, message, wParam, lParam, result) || handled;
    if (message == WM_CLOSE) {
        m_triggerFn.clear();
        m_params.clear();
    } else if (message == WM_NCDESTROY) {
        if (m_pView)
            m_pView->remove_frame(m_hWnd);
    }
    return handled;
}

LRESULT frame::frame_wndproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = false;
    if (message == WM_NCDESTROY)
        DropQueuedRecords(window);
    BOOL engineHandled = FALSE;
    LRESULT result = CSciterBinding::Api()->SciterProcND(window, message, wParam, lParam, &engineHandled);
    if (engineHandled && message == WM_CLOSE) {
        handled = true;
        return result;
    }
    auto* raw = reinterpret_cast<frame*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    std::shared_ptr<frame> self;  // keeps the frame alive through its own unregistering
    if (raw) {
        self = raw->weak_from_this().lock();
        if (self) {
            LRESULT own = 0;
            bool ownHandled = self->on_window_message(message, wParam, lParam, own);
            if (message == WM_NCDESTROY)
                ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            if (ownHandled) {
                handled = true;
                return own;
            }
        }
    }
    if (message == MsgFromBuss() && message != 0) {
        auto* record = reinterpret_cast<BussMessage*>(lParam);
        if (record && self)
            self->on_buss_message(record->type, record->body, false);
        delete record;
        handled = true;
        return 0;
    }
    if (message == MsgFromBussCallback() && message != 0) {
        auto* record = reinterpret_cast<BussCallbackMessage*>(lParam);
        if (record && self)
            self->on_callback_result(record->id, record->body);
        delete record;
        handled = true;
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == VK_F12) {
        CSciterBinding::OpenInspector(window);
        handled = true;
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == VK_F5) {
        handled = true;
        return 0;
    }
    if (message == WM_WINDOWPOSCHANGING && self && lParam) {
        auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!(pos->flags & SWP_NOMOVE)) {
            RECT now {};
            ::GetWindowRect(window, &now);
            const int dx = pos->x - now.left, dy = pos->y - now.top;
            for (HWND follower : self->m_followers) {
                RECT r {};
                if (!::GetWindowRect(follower, &r))
                    continue;
                ::MoveWindow(follower, r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top, TRUE);
            }
        }
    }
    handled = engineHandled != FALSE;
    return result;
}

UINT CALLBACK frame::host_callback(SCITER_CALLBACK_NOTIFICATION* notification, LPVOID param)
{
    auto* self = static_cast<frame*>(param);
    if (!notification || !self)
        return 0;
    if (notification->code == SC_LOAD_DATA)
        return self->on_load_data(reinterpret_cast<SCN_LOAD_DATA*>(notification));
    if (notification->code == SC_ATTACH_BEHAVIOR)
        return self->on_attach_behavior(reinterpret_cast<SCN_ATTACH_BEHAVIOR*>(notification));
    return 0;
}

UINT frame::on_attach_behavior(SCN_ATTACH_BEHAVIOR* request)
{
    if (!request->behaviorName)
        return FALSE;
    return behavior_mini_window::create(request->behaviorName, m_pView, request) ? TRUE : FALSE;
}

BOOL CALLBACK frame::element_proc(LPVOID tag, HELEMENT, UINT group, LPVOID params)
{
    auto* self = static_cast<frame*>(tag);
    if (!self || !params)
        return FALSE;
    if (group == HANDLE_INITIALIZATION) {
        auto* init = static_cast<INITIALIZATION_PARAMS*>(params);
        if (init->cmd == BEHAVIOR_ATTACH)
            self->attached();
        else
            self->detached();
        return FALSE;
    }
    if (group == HANDLE_SCRIPTING_METHOD_CALL) {
        auto* call = static_cast<SCRIPTING_METHOD_PARAMS*>(params);
        if (!call->name)
            return FALSE;
        // The frame may be closed and unregistered by the call itself.
        std::shared_ptr<frame> keep = self->weak_from_this().lock();
        return self->on_script_call(call->name, call->argv, call->argc, &call->result) ? TRUE : FALSE;
    }
    return FALSE;
}

}  // namespace velui
