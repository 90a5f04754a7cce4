#include "bootstrap/SplashPicture.h"

#include <vector>

#include "common/GdiplusFlat.h"

namespace gp = gdiplus_flat;

CSplashPicture::~CSplashPicture()
{
    Free();
    if (m_gdiplus)
        gp::Release();
}

void CSplashPicture::Free()
{
    m_hBitmap.reset();
    m_width = m_height = m_bpp = 0;
}

bool CSplashPicture::Load(const std::wstring& path)
{
    Free();
    // The picture holds one use of GDI+ from its first load to its end.
    if (!m_gdiplus)
        m_gdiplus = gp::Acquire();
    const gp::Api* api = m_gdiplus;
    if (!api)
        return false;

    gp::Bitmap* bitmap = nullptr;
    if (api->CreateBitmapFromFile(path.c_str(), &bitmap) != 0 || !bitmap)
        return false;
    UINT width = 0;
    UINT height = 0;
    INT format = 0;
    api->GetImageWidth(bitmap, &width);
    api->GetImageHeight(bitmap, &height);
    api->GetImagePixelFormat(bitmap, &format);
    bool ok = false;
    if (width > 0 && height > 0 && width <= 16384 && height <= 16384) {
        bool alpha = (format & gp::kPixelFormatAlpha) != 0;
        int bpp = alpha ? 32 : 24;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = static_cast<LONG>(width);
        info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, like GDI+ rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(bpp);
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        UniqueBitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (dib && bits) {
            // GDI+ converts any source format into the DIB's rows.
            gp::Rect rect = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
            gp::BitmapData data = {};
            data.Width = width;
            data.Height = height;
            data.Stride = static_cast<INT>(((width * bpp + 31) / 32) * 4);
            data.PixelFormat = alpha ? gp::kPixelFormat32bppARGB : gp::kPixelFormat24bppRGB;
            data.Scan0 = bits;
            if (api->BitmapLockBits(bitmap, &rect, gp::kImageLockModeRead | gp::kImageLockModeUserInputBuf,
                                    data.PixelFormat, &data) == 0) {
                api->BitmapUnlockBits(bitmap, &data);
                ok = true;
            }
        }
        if (ok) {
            m_hBitmap = std::move(dib);
            m_width = static_cast<int>(width);
            m_height = static_cast<int>(height);
            m_bpp = bpp;
        }
    }
    api->DisposeImage(bitmap);
    return ok;
}
