#pragma once
// The window-shadow, drag-out and edge-resize parts of a frame. Their
// behaviour belongs to a later change: for now each part keeps the settings
// a page asks for and handles no message, so frames behave as plain windows.
#include <windows.h>

#include <string>

namespace velui {

class CShadowFrameBase {
public:
    virtual ~CShadowFrameBase() = default;
    void set_shadow(bool on, UINT flags)
    {
        m_bShadow = on;
        m_uShadowFlags = flags;
    }
    // Visible or hidden with its window; nothing is drawn yet.
    void show_shadow(bool visible) { m_bShadowVisible = visible; }
    // Sees every message after the resize part; never handles one yet.
    bool shadow_on_message(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return false; }

    bool m_bShadow = false;
    UINT m_uShadowFlags = 0xFFFF;
    bool m_bShadowVisible = true;
};

class CDragFrameBase {
public:
    virtual ~CDragFrameBase() = default;
    bool drag_on_message(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return false; }
};

class CResizeFrameBase {
public:
    virtual ~CResizeFrameBase() = default;
    void enable_resize(bool on) { m_bResize = on; }
    void set_limits(int minW, int minH, int maxW, int maxH)
    {
        m_minWidth = minW;
        m_minHeight = minH;
        m_maxWidth = maxW;
        m_maxHeight = maxH;
    }
    // Sees every message first; never handles one yet.
    bool resize_on_message(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return false; }

    bool m_bResize = false;
    int m_minWidth = 0, m_minHeight = 0, m_maxWidth = 0, m_maxHeight = 0;
};

}  // namespace velui
