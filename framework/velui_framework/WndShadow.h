#pragma once
// The drop shadow of a frameless window: a layered, click-through window
// owned by its host, drawn from the shadow picture (or computed when the
// picture is missing) and kept under the host as it moves, resizes, hides
// and comes back.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/Handles.h"
#include "framework/velui_framework/ShadowImage.h"

class CWndShadow {
public:
    // Bits of the status byte.
    enum : BYTE { kEnabled = 1, kVisible = 2, kHostVisible = 4 };
    static constexpr UINT_PTR kFollowTimer = 256;
    static constexpr UINT kFollowMs = 200;

    CWndShadow();
    virtual ~CWndShadow();
    CWndShadow(const CWndShadow&) = delete;
    CWndShadow& operator=(const CWndShadow&) = delete;

    // Creates the shadow window for `host`; shown at once when the host is
    // visible and neither maximised nor minimised.
    bool Create(HWND host);
    void Destroy();
    // The host's messages, before its own handling.
    void ParentProc(HWND host, UINT message, WPARAM wParam, LPARAM lParam);

    // Each change redraws while the shadow is visible.
    void SetSize(int size);
    void SetSharpness(unsigned sharpness);
    void SetDarkness(unsigned darkness);
    void SetPosition(int x, int y);
    void SetColor(COLORREF color);
    void SetFlag(UINT sideMask);
    void SetMargins(int left, int top, int right, int bottom);
    void SetPictureMode(UINT mode) { m_uPictureMode = mode; }
    // The picture resource of this module (PNG 104).
    HRESULT LoadShadowImage();
    // Another picture (an empty one makes the shadow computed); redraws.
    void UsePicture(const velui::PremultipliedImage& picture);
    // A page's wish: shown (repositioned) or hidden until it asks again.
    void Show(bool visible);

    HWND Window() const { return m_hWnd; }
    BYTE Status() const { return m_Status; }
    bool PictureLoaded() const { return m_picture.loaded; }
    // The pixels last pushed to the layered window, read back from its bitmap.
    bool ReadBitmap(std::vector<uint32_t>& pixels, int& width, int& height) const;

private:
    static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnTimer();
    // Redraws (or only moves, when the shadow's size is unchanged).
    void Update(HWND host);
    void Redraw();
    void Hide();
    void ShowNoActivate();
    bool HostShowsShadow() const;

    HWND m_hWnd = nullptr;
    BYTE m_Status = 0;
    unsigned char m_nDarkness = 150;
    unsigned char m_nSharpness = 5;
    signed char m_nSize = 0;
    signed char m_nxOffset = 5;
    signed char m_nyOffset = 5;
    LPARAM m_WndSize = 0;
    bool m_bUpdate = false;
    COLORREF m_Color = 0;
    WPARAM m_lastCommand = 0;
    WPARAM m_lastCommandCopy = 0;
    UINT m_uFlag = 0xFFFF;
    UINT m_uPictureMode = 0;
    HWND m_hHost = nullptr;
    UniqueBitmap m_bitmap;
    RECT m_margins {};
    velui::PremultipliedImage m_picture;
    int m_drawnWidth = 0;
    int m_drawnHeight = 0;
    bool m_bHiddenByPage = false;
    bool m_bInUpdate = false;
};
