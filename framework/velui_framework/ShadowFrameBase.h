#pragma once
// The drop-shadow part of a frame: one shadow window that follows the frame
// window's messages.
#include <windows.h>

#include "framework/velui_framework/WndShadow.h"

namespace velui {

class CShadowFrameBase {
public:
    virtual ~CShadowFrameBase() = default;
    // On: a shadow for `host` (once; a second call changes nothing). Off: the
    // shadow window goes.
    void SetShadow(HWND host, bool on, UINT sideMask);
    // "hide_shadow": shown (repositioned) or hidden.
    void ShowShadow(bool visible) { m_shadow.Show(visible); }
    // Sees every message the resize part left; never handles one.
    bool shadow_on_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT&)
    {
        m_shadow.ParentProc(window, message, wParam, lParam);
        return false;
    }
    CWndShadow& Shadow() { return m_shadow; }

private:
    CWndShadow m_shadow;
};

}  // namespace velui
