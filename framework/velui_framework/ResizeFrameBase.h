#pragma once
// Edge resizing of a frameless window: the whole window is client area, the
// edges and corners answer hit tests as a sizing frame would, and the size
// stays within the limits a page gave.
#include <windows.h>

namespace velui {

class CResizeFrameBase {
public:
    virtual ~CResizeFrameBase() = default;
    // Enabling adds WS_THICKFRAME to the window.
    void enable_resize(HWND window, bool on);
    void set_limits(int minW, int minH, int maxW, int maxH)
    {
        minWidth = minW;
        minHeight = minH;
        maxWidth = maxW;
        maxHeight = maxH;
    }
    // Sees every message first: true when it handled the message.
    bool resize_on_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The hit-test code of a point in client coordinates of a client rectangle.
    LRESULT HitTest(const RECT& client, POINT point) const;

    int m_borderLeft = 7, m_borderTop = 7, m_borderRight = 7, m_borderBottom = 7;
    int m_corner = 0;
    int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
    RECT m_workArea {};
    bool m_bEnabled = false;
    bool m_bMaximized = false;
    bool m_bMinimized = false;
};

}  // namespace velui
