#pragma once
// GDI+ through its flat functions, taken at run time from the system folder's
// copy: gdiplus.dll is not on the KnownDLLs list, so an elevated program
// started from the user's temporary folder never imports it. One started
// session per process, shared by every user that holds a use.
#include <windows.h>
#include <objidl.h>

namespace gdiplus_flat {

using Status = int;  // 0: Ok
using Bitmap = void;

struct Rect {
    INT X, Y, Width, Height;
};
struct BitmapData {
    UINT Width;
    UINT Height;
    INT Stride;
    INT PixelFormat;
    void* Scan0;
    UINT_PTR Reserved;
};

constexpr INT kPixelFormatAlpha = 0x00040000;
constexpr INT kPixelFormat24bppRGB = 0x00021808;
constexpr INT kPixelFormat32bppARGB = 0x0026200A;
constexpr UINT kImageLockModeRead = 1;
constexpr UINT kImageLockModeUserInputBuf = 4;

struct Api {
    Status(WINAPI* CreateBitmapFromFile)(const WCHAR*, Bitmap**) = nullptr;
    Status(WINAPI* CreateBitmapFromStream)(IStream*, Bitmap**) = nullptr;
    Status(WINAPI* DisposeImage)(void*) = nullptr;
    Status(WINAPI* GetImageWidth)(void*, UINT*) = nullptr;
    Status(WINAPI* GetImageHeight)(void*, UINT*) = nullptr;
    Status(WINAPI* GetImagePixelFormat)(void*, INT*) = nullptr;
    Status(WINAPI* BitmapLockBits)(Bitmap*, const Rect*, UINT, INT, BitmapData*) = nullptr;
    Status(WINAPI* BitmapUnlockBits)(Bitmap*, BitmapData*) = nullptr;
};

// Starts GDI+ on the first use; null when it cannot be loaded or started.
const Api* Acquire();
// Gives a use back; the last one shuts GDI+ down.
void Release();

// One use for a scope.
class Use {
public:
    Use() : m_api(Acquire()) { }
    ~Use()
    {
        if (m_api)
            Release();
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    const Api* get() const { return m_api; }

private:
    const Api* m_api;
};

}  // namespace gdiplus_flat
