#pragma once
// A picture file decoded by GDI+ into a DIB section. GDI+ is loaded from the
// system folder at run time, never from beside the program.
#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace gdiplus_flat {
struct Api;
}

class CSplashPicture {
public:
    CSplashPicture() = default;
    ~CSplashPicture();
    CSplashPicture(const CSplashPicture&) = delete;
    CSplashPicture& operator=(const CSplashPicture&) = delete;

    // Replaces the picture with the decoded file; false (and no picture) when
    // GDI+ is missing or the file cannot be decoded.
    bool Load(const std::wstring& path);
    bool IsLoaded() const { return static_cast<bool>(m_hBitmap); }
    HBITMAP Bitmap() const { return m_hBitmap.get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitsPerPixel() const { return m_bpp; }

private:
    void Free();

    UniqueBitmap m_hBitmap;
    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    const gdiplus_flat::Api* m_gdiplus = nullptr;  // one use of GDI+ from the first load to the end
};
