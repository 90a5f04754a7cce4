// Editing in text fields: caret, selection, clipboard, undo and the context menu.
#include <algorithm>

#include "common/Handles.h"
#include "htmlengine/EngineWindow.h"
#include "htmlengine/Fonts.h"
#include "htmlengine/Painter.h"

namespace he {

namespace {

enum FieldCmd { CMD_UNDO = 1, CMD_CUT, CMD_COPY, CMD_PASTE, CMD_DELETE, CMD_SELECT_ALL };

size_t SelStart(const FieldState& f)
{
    return std::min(f.anchor, f.caret);
}
size_t SelEnd(const FieldState& f)
{
    return std::max(f.anchor, f.caret);
}

void PushUndo(FieldState& f)
{
    if (f.undo.size() >= 100)
        f.undo.erase(f.undo.begin());
    f.undo.emplace_back(f.value, f.caret);
}

bool ReadOnly(const Element* e)
{
    return e->HasAttribute("readonly");
}

size_t MaxLength(const Element* e)
{
    const std::wstring* m = e->Attribute("maxlength");
    int n = m ? _wtoi(m->c_str()) : 0;
    return n > 0 ? static_cast<size_t>(n) : static_cast<size_t>(-1);
}

bool IsPassword(const Element* e)
{
    const std::wstring* t = e->Attribute("type");
    return t && _wcsicmp(t->c_str(), L"password") == 0;
}

std::wstring ClipboardText(HWND hwnd)
{
    std::wstring out;
    if (!OpenClipboard(hwnd))
        return out;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            out = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

void SetClipboardText(HWND hwnd, const std::wstring& text)
{
    if (!OpenClipboard(hwnd))
        return;
    EmptyClipboard();
    if (UniqueGlobal mem {GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))}) {
        if (void* p = GlobalLock(mem.get())) {
            memcpy(p, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(mem.get());
            // The clipboard owns the memory once it has taken it.
            if (SetClipboardData(CF_UNICODETEXT, mem.get()))
                mem.release();
        }
    }
    CloseClipboard();
}

bool IsWordChar(wchar_t c)
{
    return iswalnum(c) || c == L'_' || c > 0x2E80;
}

size_t NearestOnLine(const Element* e, const std::wstring& shown, const FieldLine& line, float local);

}  // namespace

void EngineWindow::FieldChanged(Element* e)
{
    FieldScrollToCaret(e);
    RestartCaret();
    ElementChanged();
    if (m_page) {
        EventInfo ev;
        ev.type = "input";
        m_page->Dispatch(e, ev);
        ev.type = "change";
        m_page->Dispatch(e, ev);
    }
}

void EngineWindow::FieldInsert(Element* e, const std::wstring& textIn)
{
    if (ReadOnly(e))
        return;
    FieldState& f = e->field;
    std::wstring text;
    bool multi = e->tag == "textarea";
    for (wchar_t c : textIn) {
        if (c == L'\r')
            continue;
        if (c == L'\n' && !multi) {
            text += L' ';
            continue;
        }
        if (c < 0x20 && c != L'\n' && c != L'\t')
            continue;
        text += c;
    }
    size_t a = SelStart(f), b = SelEnd(f);
    a = std::min(a, f.value.size());
    b = std::min(b, f.value.size());
    size_t room = MaxLength(e);
    size_t kept = f.value.size() - (b - a);
    if (room != static_cast<size_t>(-1)) {
        if (kept >= room)
            text.clear();
        else if (text.size() > room - kept)
            text.resize(room - kept);
    }
    if (text.empty() && a == b)
        return;
    PushUndo(f);
    f.value.replace(a, b - a, text);
    f.caret = f.anchor = a + text.size();
    FieldChanged(e);
}

void EngineWindow::FieldCommand(Element* e, int cmd)
{
    FieldState& f = e->field;
    size_t a = SelStart(f), b = SelEnd(f);
    switch (cmd) {
    case CMD_UNDO:
        if (!f.undo.empty() && !ReadOnly(e)) {
            f.value = f.undo.back().first;
            f.caret = f.anchor = std::min(f.undo.back().second, f.value.size());
            f.undo.pop_back();
            FieldChanged(e);
        }
        break;
    case CMD_CUT:
        if (b > a && !IsPassword(e) && !ReadOnly(e)) {
            SetClipboardText(m_hwnd, f.value.substr(a, b - a));
            FieldInsert(e, L"");
        }
        break;
    case CMD_COPY:
        if (b > a && !IsPassword(e))
            SetClipboardText(m_hwnd, f.value.substr(a, b - a));
        break;
    case CMD_PASTE:
        FieldInsert(e, ClipboardText(m_hwnd));
        break;
    case CMD_DELETE:
        if (b > a)
            FieldInsert(e, L"");
        break;
    case CMD_SELECT_ALL:
        f.anchor = 0;
        f.caret = f.value.size();
        ElementChanged();
        break;
    }
}

void EngineWindow::FieldKey(Element* e, UINT vk)
{
    FieldState& f = e->field;
    bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    size_t n = f.value.size();
    auto move = [&](size_t to) {
        f.caret = std::min(to, n);
        if (!shift)
            f.anchor = f.caret;
        FieldScrollToCaret(e);
        RestartCaret();
        ElementChanged();
    };
    auto wordLeft = [&](size_t i) {
        while (i > 0 && !IsWordChar(f.value[i - 1]))
            --i;
        while (i > 0 && IsWordChar(f.value[i - 1]))
            --i;
        return i;
    };
    auto wordRight = [&](size_t i) {
        while (i < n && IsWordChar(f.value[i]))
            ++i;
        while (i < n && !IsWordChar(f.value[i]))
            ++i;
        return i;
    };
    switch (vk) {
    case VK_LEFT:
        if (!shift && f.anchor != f.caret)
            move(SelStart(f));
        else
            move(ctrl ? wordLeft(f.caret) : f.caret ? f.caret - 1 : 0);
        return;
    case VK_RIGHT:
        if (!shift && f.anchor != f.caret)
            move(SelEnd(f));
        else
            move(ctrl ? wordRight(f.caret) : f.caret + 1);
        return;
    case VK_HOME:
    case VK_END:
    case VK_UP:
    case VK_DOWN: {
        std::wstring shown = FieldDisplayText(e);
        std::vector<FieldLine> lines = FieldLines(e, shown);
        size_t li = FieldLineOf(lines, std::min(f.caret, n));
        if (ctrl || lines.size() == 1) {
            if (vk == VK_HOME || vk == VK_UP)
                move(0);
            else
                move(n);
            return;
        }
        if (vk == VK_HOME) {
            move(lines[li].start);
            return;
        }
        if (vk == VK_END) {
            move(lines[li].start + lines[li].length);
            return;
        }
        size_t target = vk == VK_UP ? (li ? li - 1 : 0) : std::min(li + 1, lines.size() - 1);
        if (target == li) {
            move(vk == VK_UP ? 0 : n);
            return;
        }
        float x = FontCache::Instance().Width(e->style,
                                              shown.substr(lines[li].start, std::min(f.caret, n) - lines[li].start));
        move(NearestOnLine(e, shown, lines[target], x));
        return;
    }
    case VK_BACK:
        if (ReadOnly(e))
            return;
        if (f.anchor == f.caret && f.caret > 0)
            f.anchor = ctrl ? wordLeft(f.caret) : f.caret - 1;
        FieldInsert(e, L"");
        return;
    case VK_DELETE:
        if (ReadOnly(e))
            return;
        if (shift && f.anchor != f.caret) {
            FieldCommand(e, CMD_CUT);
            return;
        }
        if (f.anchor == f.caret && f.caret < n)
            f.anchor = ctrl ? wordRight(f.caret) : f.caret + 1;
        FieldInsert(e, L"");
        return;
    case VK_INSERT:
        if (ctrl)
            FieldCommand(e, CMD_COPY);
        else if (shift)
            FieldCommand(e, CMD_PASTE);
        return;
    }
    if (ctrl) {
        switch (vk) {
        case 'A':
            FieldCommand(e, CMD_SELECT_ALL);
            return;
        case 'C':
            FieldCommand(e, CMD_COPY);
            return;
        case 'X':
            FieldCommand(e, CMD_CUT);
            return;
        case 'V':
            FieldCommand(e, CMD_PASTE);
            return;
        case 'Z':
            FieldCommand(e, CMD_UNDO);
            return;
        }
    }
}

void EngineWindow::FieldChar(Element* e, wchar_t ch)
{
    if (GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0)
        return;  // Ctrl+letter came as a key
    if (ch == L'\r') {
        if (e->tag == "textarea")
            FieldInsert(e, L"\n");
        return;
    }
    if (ch < 0x20 && ch != L'\t')
        return;
    if (ch == L'\t')
        return;
    FieldInsert(e, std::wstring(1, ch));
}

namespace {
// The character position nearest to x (field coordinates) on a line.
size_t NearestOnLine(const Element* e, const std::wstring& shown, const FieldLine& line, float local)
{
    FontCache& fonts = FontCache::Instance();
    size_t best = line.start;
    float prev = 0;
    for (size_t i = 1; i <= line.length; ++i) {
        float w = fonts.Width(e->style, shown.substr(line.start, i));
        if (local < (prev + w) / 2)
            break;
        best = line.start + i;
        prev = w;
    }
    return best;
}
}  // namespace

void EngineWindow::FieldPlaceCaret(Element* e, float x, float y, bool extend)
{
    FieldState& f = e->field;
    std::wstring shown = FieldDisplayText(e);
    std::vector<FieldLine> lines = FieldLines(e, shown);
    size_t li = 0;
    if (e->tag == "textarea") {
        float lineH = e->style.LineHeightPx();
        float rel = y - e->content.y + f.scrollY;
        li = rel <= 0 ? 0 : std::min(lines.size() - 1, static_cast<size_t>(rel / lineH));
    }
    size_t best = NearestOnLine(e, shown, lines[li], x - e->content.x + f.scrollX);
    f.caret = best;
    if (!extend)
        f.anchor = best;
    FieldScrollToCaret(e);
    RestartCaret();
    ElementChanged();
}

void EngineWindow::FieldScrollToCaret(Element* e)
{
    FieldState& f = e->field;
    std::wstring shown = FieldDisplayText(e);
    FontCache& fonts = FontCache::Instance();
    if (e->tag == "textarea") {
        std::vector<FieldLine> lines = FieldLines(e, shown);
        float lineH = e->style.LineHeightPx();
        float cy = FieldLineOf(lines, std::min(f.caret, shown.size())) * lineH;
        if (cy + lineH - f.scrollY > e->content.h)
            f.scrollY = cy + lineH - e->content.h;
        if (cy < f.scrollY)
            f.scrollY = cy;
        if (f.scrollY < 0)
            f.scrollY = 0;
        f.scrollX = 0;
        return;
    }
    float cx = fonts.Width(e->style, shown.substr(0, std::min(f.caret, shown.size())));
    float total = fonts.Width(e->style, shown);
    float w = e->content.w;
    if (w <= 2)
        return;
    if (cx - f.scrollX > w - 2)
        f.scrollX = cx - w + 2;
    if (cx - f.scrollX < 0)
        f.scrollX = cx;
    if (total - f.scrollX < w - 2)
        f.scrollX = std::max(0.0f, total - w + 2);
}

void EngineWindow::FieldContextMenu(Element* e, POINT screen)
{
    // Labels: the page may give its own ("Undo|Cut|Copy|Paste|Delete|Select all") on the field or an ancestor;
    // "-" leaves a command out.
    std::wstring labels[6] = {L"Undo\tCtrl+Z",  L"Cut\tCtrl+X", L"Copy\tCtrl+C",
                              L"Paste\tCtrl+V", L"Delete\tDel", L"Select all\tCtrl+A"};
    for (Element* p = e; p; p = p->parent) {
        if (const std::wstring* own = p->Attribute("menu-labels")) {
            size_t i = 0, k = 0;
            while (k < 6 && i <= own->size()) {
                size_t j = own->find(L'|', i);
                if (j == std::wstring::npos)
                    j = own->size();
                if (j > i)
                    labels[k] = own->substr(i, j - i);
                ++k;
                i = j + 1;
            }
            break;
        }
    }
    FieldState& f = e->field;
    bool sel = f.anchor != f.caret, ro = ReadOnly(e), pw = IsPassword(e);
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    // A label "-" leaves its command out of the menu.
    auto add = [&](bool grayed, UINT cmd, const std::wstring& label) {
        if (label != L"-")
            AppendMenuW(menu, MF_STRING | (grayed ? MF_GRAYED : 0), cmd, label.c_str());
    };
    add(f.undo.empty() || ro, CMD_UNDO, labels[0]);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(!sel || ro || pw, CMD_CUT, labels[1]);
    add(!sel || pw, CMD_COPY, labels[2]);
    add(ro || !IsClipboardFormatAvailable(CF_UNICODETEXT), CMD_PASTE, labels[3]);
    add(!sel || ro, CMD_DELETE, labels[4]);
    if (labels[5] != L"-") {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        add(f.value.empty(), CMD_SELECT_ALL, labels[5]);
    }
    auto keep = RefOf(e);
    int cmd =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, m_hwnd, nullptr);
    DestroyMenu(menu);
    if (cmd && m_doc && e->InDocument())
        FieldCommand(e, cmd);
}

}  // namespace he
