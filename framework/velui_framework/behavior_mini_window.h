#pragma once
// The native behaviour "mini-window": an element that hosts a page window of
// its own, as a child window, as a "mask" popup that follows its top-level
// window, or as whatever the view makes of another type.
#include <windows.h>

#include <string>

#include "ui/SciterBinding.h"

namespace velui {

class view;

class behavior_mini_window {
public:
    // Registers the factory of the process (once; the first view does it).
    static void register_factory();
    // When `name` is a registered behaviour: fills in the request's handler
    // and tag with a new behaviour and returns true.
    static bool create(const char* name, view* owner, SCN_ATTACH_BEHAVIOR* request);

private:
    explicit behavior_mini_window(view* owner) : m_pView(owner) { }
    void attached(HELEMENT he);
    void detached();
    static BOOL CALLBACK element_proc(LPVOID tag, HELEMENT he, UINT group, LPVOID params);

    view* m_pView;
    HWND m_hWnd = nullptr;  // the window made for the element
    HWND m_hTop = nullptr;  // the element's top-level window
    bool m_bMask = false;
};

}  // namespace velui
