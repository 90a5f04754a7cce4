// Input of the page windows: hover, mouse, keyboard, focus and the caret.
#include "htmlengine/EngineWindow.h"

#include <windowsx.h>

#include <algorithm>

#include "htmlengine/Layout.h"
#include "htmlengine/Painter.h"

namespace he {

namespace {

bool IsFocusable(const Element* e)
{
    if (!e || e->style.display == Display::None || !e->laidOut)
        return false;
    if (e->Disabled() && (e->tag == "input" || e->tag == "button" || e->tag == "textarea" || e->tag == "select"))
        return false;
    if (e->tag == "input" || e->tag == "textarea" || e->tag == "button" || e->tag == "select")
        return true;
    if (e->tag == "a" && e->HasAttribute("href"))
        return true;
    const std::wstring* ti = e->Attribute("tabindex");
    return ti && _wtoi(ti->c_str()) >= 0;
}

bool IsCheckable(const Element* e)
{
    if (e->tag != "input")
        return false;
    const std::wstring* t = e->Attribute("type");
    return t && (_wcsicmp(t->c_str(), L"checkbox") == 0 || _wcsicmp(t->c_str(), L"radio") == 0);
}

bool IsRadio(const Element* e)
{
    const std::wstring* t = e->Attribute("type");
    return t && _wcsicmp(t->c_str(), L"radio") == 0;
}

}  // namespace

// ---- input ----------------------------------------------------------------------

void EngineWindow::SetHover(Element* e)
{
    if (e == m_hover.get())
        return;
    Element* old = m_hover.get();
    for (Element* p = old; p; p = p->parent)
        p->hover = false;
    for (Element* p = e; p; p = p->parent)
        p->hover = true;
    std::shared_ptr<Element> oldRef = m_hover;
    m_hover = RefOf(e);
    if (m_page) {
        EventInfo ev;
        ev.bubbles = false;
        if (old && old->InDocument()) {
            ev.type = "mouseleave";
            m_page->Dispatch(old, ev);
            ev.type = "mouseout";
            ev.bubbles = true;
            m_page->Dispatch(old, ev);
        }
        ev.bubbles = false;
        if (e && m_page) {
            ev.type = "mouseenter";
            m_page->Dispatch(e, ev);
            ev.type = "mouseover";
            ev.bubbles = true;
            m_page->Dispatch(e, ev);
        }
    }
    ElementChanged();
}

void EngineWindow::UpdateCursor()
{
    Cursor c = Cursor::Auto;
    Element* e = m_hover.get();
    if (e)
        c = e->style.cursor;
    if (c == Cursor::Auto && e && e->isTextField)
        c = Cursor::Text;
    LPCWSTR id = c == Cursor::Pointer      ? IDC_HAND
                 : c == Cursor::Text       ? IDC_IBEAM
                 : c == Cursor::Move       ? IDC_SIZEALL
                 : c == Cursor::NotAllowed ? IDC_NO
                                           : IDC_ARROW;
    SetCursor(LoadCursorW(nullptr, id));
}

bool EngineWindow::FireMouse(const char* type, Element* target, LPARAM lParam, int button)
{
    if (!m_page || !target)
        return false;
    EventInfo ev;
    ev.type = type;
    ev.clientX = static_cast<float>(GET_X_LPARAM(lParam));
    ev.clientY = static_cast<float>(GET_Y_LPARAM(lParam));
    POINT pt {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ClientToScreen(m_hwnd, &pt);
    ev.screenX = pt.x;
    ev.screenY = pt.y;
    ev.button = button;
    ev.ctrl = GetKeyState(VK_CONTROL) < 0;
    ev.shift = GetKeyState(VK_SHIFT) < 0;
    ev.alt = GetKeyState(VK_MENU) < 0;
    return m_page->Dispatch(target, ev);
}

void EngineWindow::ClickElement(Element* e)
{
    if (!e || (e->Disabled() && (e->tag == "input" || e->tag == "button")))
        return;
    auto keep = RefOf(e);
    bool prevented = false;
    if (m_page) {
        EventInfo ev;
        ev.type = "click";
        prevented = m_page->Dispatch(e, ev);
    }
    // Default actions.
    Element* box = e;
    if (!IsCheckable(box)) {
        // A label toggles its control.
        Element* label = nullptr;
        for (Element* p = e; p; p = p->parent)
            if (p->tag == "label") {
                label = p;
                break;
            }
        box = nullptr;
        if (label && !prevented) {
            if (const std::wstring* f = label->Attribute("for"))
                box = m_doc ? m_doc->GetElementById(*f) : nullptr;
            else {
                std::vector<Element*> inside;
                label->CollectElements(inside);
                for (Element* c : inside)
                    if (IsCheckable(c) || c->isTextField) {
                        box = c;
                        break;
                    }
            }
            if (box && box->isTextField) {
                SetFocus(box);
                box = nullptr;
            } else if (box && !box->Disabled()) {
                ClickElement(box);
                return;
            }
            box = nullptr;
        }
    }
    if (box && !prevented && !box->Disabled()) {
        if (IsRadio(box)) {
            if (!box->checked && m_doc) {
                const std::wstring* name = box->Attribute("name");
                std::vector<Element*> all;
                m_doc->root->CollectElements(all);
                for (Element* o : all)
                    if (o != box && IsRadio(o) && name && o->Attribute("name") && *o->Attribute("name") == *name)
                        o->checked = false;
                box->checked = true;
            }
        } else {
            box->checked = !box->checked;
        }
        ElementChanged();
        if (m_page) {
            EventInfo ch;
            ch.type = "change";
            m_page->Dispatch(box, ch);
        }
    }
    if (!prevented && !box) {
        for (Element* p = e; p; p = p->parent)
            if (p->tag == "a") {
                const std::wstring* href = p->Attribute("href");
                if (href && (href->compare(0, 7, L"http://") == 0 || href->compare(0, 8, L"https://") == 0))
                    ShellExecuteW(nullptr, L"open", href->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
                break;
            }
    }
}

void EngineWindow::OnMouse(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_doc)
        return;
    UpdateLayout();
    if (!m_doc)
        return;
    float x = static_cast<float>(GET_X_LPARAM(lParam)), y = static_cast<float>(GET_Y_LPARAM(lParam));
    Element* target = HitTest(m_doc->root.get(), x, y);
    if (!target)
        target = m_doc->Body();
    auto keep = RefOf(target);
    MOUSE_PARAMS mp {};
    mp.target = static_cast<HELEMENT>(target);
    mp.pos = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    mp.buttons = (wParam & MK_LBUTTON ? 1 : 0) | (wParam & MK_RBUTTON ? 2 : 0);
    mp.altState = (wParam & MK_CONTROL ? 1 : 0) | (wParam & MK_SHIFT ? 2 : 0);
    switch (msg) {
    case WM_MOUSEMOVE: {
        if (!m_tracking) {
            TRACKMOUSEEVENT t {sizeof(t), TME_LEAVE, m_hwnd, 0};
            m_tracking = TrackMouseEvent(&t) != FALSE;
        }
        if (!m_pressed)
            SetHover(target);
        mp.cmd = MOUSE_MOVE;
        NotifyHandlers(HANDLE_MOUSE, &mp, mp.target);
        FireMouse("mousemove", m_pressed && GetCapture() == m_hwnd ? m_pressed.get() : target, lParam, 0);
        if (m_selecting && m_focus && m_focus->isTextField && (wParam & MK_LBUTTON))
            FieldPlaceCaret(m_focus.get(), x, y, true);
        break;
    }
    case WM_LBUTTONDOWN: {
        SetHover(target);
        m_pressed = RefOf(target);
        for (Element* p = target; p; p = p->parent)
            p->active = true;
        SetCapture(m_hwnd);
        mp.cmd = MOUSE_DOWN;
        NotifyHandlers(HANDLE_MOUSE, &mp, mp.target);
        bool prevented = FireMouse("mousedown", target, lParam, 0);
        if (!m_doc)
            return;
        if (!prevented) {
            Element* focusable = nullptr;
            for (Element* p = target; p; p = p->parent)
                if (IsFocusable(p)) {
                    focusable = p;
                    break;
                }
            SetFocus(focusable);
            if (GetFocus() != m_hwnd && IsWindowVisible(m_hwnd))
                ::SetFocus(m_hwnd);
            if (focusable && focusable->isTextField) {
                FieldPlaceCaret(focusable, x, y, (wParam & MK_SHIFT) != 0);
                m_selecting = true;
            }
        }
        ElementChanged();
        break;
    }
    case WM_LBUTTONUP: {
        std::shared_ptr<Element> pressed = m_pressed;
        m_pressed.reset();
        m_selecting = false;
        if (GetCapture() == m_hwnd)
            ReleaseCapture();
        if (m_doc) {
            std::vector<Element*> all;
            m_doc->root->CollectElements(all);
            for (Element* e : all)
                e->active = false;
        }
        mp.cmd = MOUSE_UP;
        NotifyHandlers(HANDLE_MOUSE, &mp, mp.target);
        FireMouse("mouseup", target, lParam, 0);
        if (pressed && m_doc &&
            (pressed.get() == target || pressed->IsAncestorOf(target) || target->IsAncestorOf(pressed.get()))) {
            Element* clicked = pressed->IsAncestorOf(target) ? target : pressed.get();
            mp.cmd = MOUSE_CLICK;
            NotifyHandlers(HANDLE_MOUSE, &mp, static_cast<HELEMENT>(clicked));
            ClickElement(clicked);
        }
        if (m_doc) {
            SetHover(target);
            ElementChanged();
        }
        break;
    }
    case WM_LBUTTONDBLCLK: {
        FireMouse("dblclick", target, lParam, 0);
        if (m_focus && m_focus->isTextField && m_focus.get() == target) {
            m_focus->field.anchor = 0;
            m_focus->field.caret = m_focus->field.value.size();
            ElementChanged();
        }
        break;
    }
    case WM_RBUTTONDOWN:
        FireMouse("mousedown", target, lParam, 2);
        break;
    case WM_RBUTTONUP: {
        FireMouse("mouseup", target, lParam, 2);
        bool prevented = FireMouse("contextmenu", target, lParam, 2);
        if (!prevented && m_doc && target->isTextField && !target->Disabled()) {
            if (m_focus.get() != target)
                SetFocus(target);
            POINT pt {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(m_hwnd, &pt);
            FieldContextMenu(target, pt);
        }
        break;
    }
    }
}

bool EngineWindow::FireKey(const char* type, Element* target, int keyCode, int charCode)
{
    if (!m_page || !target)
        return false;
    EventInfo ev;
    ev.type = type;
    ev.keyCode = keyCode;
    ev.charCode = charCode;
    ev.ctrl = GetKeyState(VK_CONTROL) < 0;
    ev.shift = GetKeyState(VK_SHIFT) < 0;
    ev.alt = GetKeyState(VK_MENU) < 0;
    return m_page->Dispatch(target, ev);
}

Element* EngineWindow::NextFocusable(Element* from, bool backwards)
{
    std::vector<Element*> all;
    m_doc->root->CollectElements(all);
    std::vector<Element*> list;
    for (Element* e : all)
        if (IsFocusable(e))
            list.push_back(e);
    if (list.empty())
        return nullptr;
    auto it = std::find(list.begin(), list.end(), from);
    if (it == list.end())
        return backwards ? list.back() : list.front();
    size_t i = static_cast<size_t>(it - list.begin());
    i = backwards ? (i + list.size() - 1) % list.size() : (i + 1) % list.size();
    return list[i];
}

bool EngineWindow::OnKey(UINT msg, WPARAM wParam, LPARAM)
{
    if (!m_doc)
        return false;
    UpdateLayout();  // editing needs the fields' boxes
    if (!m_doc)
        return false;
    Element* target = m_focus ? m_focus.get() : m_doc->Body();
    auto keep = RefOf(target);
    KEY_PARAMS kp {};
    kp.target = static_cast<HELEMENT>(target);
    kp.keyCode = static_cast<UINT>(wParam);
    kp.altState = (GetKeyState(VK_CONTROL) < 0 ? 1 : 0) | (GetKeyState(VK_SHIFT) < 0 ? 2 : 0) |
                  (GetKeyState(VK_MENU) < 0 ? 4 : 0);
    if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
        kp.cmd = KEY_DOWN;
        if (NotifyHandlers(HANDLE_KEY, &kp, kp.target))
            return true;
        if (FireKey("keydown", target, static_cast<int>(wParam), 0))
            return true;
        if (!m_doc || msg == WM_SYSKEYDOWN)
            return false;
        if (wParam == VK_TAB) {
            Element* next = NextFocusable(m_focus.get(), GetKeyState(VK_SHIFT) < 0);
            if (next)
                SetFocus(next);
            return true;
        }
        if (m_focus && m_focus->isTextField && !m_focus->Disabled()) {
            FieldKey(m_focus.get(), static_cast<UINT>(wParam));
            return true;
        }
        if (m_focus && (wParam == VK_RETURN || wParam == VK_SPACE) &&
            (m_focus->tag == "button" || m_focus->tag == "a" || m_focus->tag == "input")) {
            ClickElement(m_focus.get());
            return true;
        }
        return false;
    }
    if (msg == WM_KEYUP) {
        kp.cmd = KEY_UP;
        if (NotifyHandlers(HANDLE_KEY, &kp, kp.target))
            return true;
        return FireKey("keyup", target, static_cast<int>(wParam), 0);
    }
    if (msg == WM_CHAR) {
        kp.cmd = KEY_CHAR;
        if (NotifyHandlers(HANDLE_KEY, &kp, kp.target))
            return true;
        if (FireKey("keypress", target, static_cast<int>(wParam), static_cast<int>(wParam)))
            return true;
        if (m_focus && m_focus->isTextField && !m_focus->Disabled()) {
            FieldChar(m_focus.get(), static_cast<wchar_t>(wParam));
            return true;
        }
    }
    return false;
}

void EngineWindow::SetFocus(Element* e)
{
    if (e == m_focus.get())
        return;
    std::shared_ptr<Element> old = m_focus;
    if (old) {
        old->focused = false;
        m_focus.reset();
        if (m_page && old->InDocument()) {
            EventInfo ev;
            ev.type = "blur";
            ev.bubbles = false;
            m_page->Dispatch(old.get(), ev);
            ev.type = "focusout";
            ev.bubbles = true;
            m_page->Dispatch(old.get(), ev);
            if (old->isTextField && old->field.undo.size() && old->HasAttribute("data-changed")) { }
        }
    }
    if (e && e->document == m_doc.get()) {
        m_focus = RefOf(e);
        e->focused = true;
        if (e->isTextField) {
            e->field.anchor = 0;
            e->field.caret = e->field.value.size();
            FieldScrollToCaret(e);
            e->field.anchor = e->field.caret;
        }
        if (m_page) {
            EventInfo ev;
            ev.type = "focus";
            ev.bubbles = false;
            m_page->Dispatch(e, ev);
            ev.type = "focusin";
            ev.bubbles = true;
            m_page->Dispatch(e, ev);
        }
    }
    RestartCaret();
    ElementChanged();
}

void EngineWindow::RestartCaret()
{
    KillTimer(m_hwnd, kCaretTimer);
    m_caretOn = m_focus && m_focus->isTextField;
    if (m_caretOn)
        SetTimer(m_hwnd, kCaretTimer, GetCaretBlinkTime() ? GetCaretBlinkTime() : 530, nullptr);
}

}  // namespace he
