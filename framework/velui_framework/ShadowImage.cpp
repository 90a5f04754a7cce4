#include "framework/velui_framework/ShadowImage.h"

#include <objidl.h>
#include <gdiplus.h>

#include "framework/velui_framework/MemLockStream.h"

namespace velui {

void Premultiply(uint32_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        const uint32_t a = p >> 24;
        const uint32_t r = ((p >> 16) & 0xFF) * a / 255;
        const uint32_t g = ((p >> 8) & 0xFF) * a / 255;
        const uint32_t b = (p & 0xFF) * a / 255;
        pixels[i] = a << 24 | r << 16 | g << 8 | b;
    }
}

namespace {

class GdiplusSession {
public:
    GdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        m_ok = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession()
    {
        if (m_ok)
            Gdiplus::GdiplusShutdown(m_token);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool ok() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};

}  // namespace

HRESULT DecodePremultipliedPng(const BYTE* data, ULONG size, PremultipliedImage& image)
{
    image = PremultipliedImage();
    CMemLockStream* stream = CMemLockStream::Create(data, size);
    if (!stream)
        return E_OUTOFMEMORY;
    {
        GdiplusSession session;
        if (session.ok()) {
            Gdiplus::Bitmap bitmap(stream, FALSE);
            const int w = static_cast<int>(bitmap.GetWidth()), h = static_cast<int>(bitmap.GetHeight());
            Gdiplus::Rect rect(0, 0, w, h);
            Gdiplus::BitmapData bits {};
            if (bitmap.GetLastStatus() == Gdiplus::Ok && w > 0 && h > 0 &&
                bitmap.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &bits) == Gdiplus::Ok) {
                image.width = w;
                image.height = h;
                image.pixels.resize(static_cast<size_t>(w) * h);
                for (int y = 0; y < h; ++y)
                    memcpy(&image.pixels[static_cast<size_t>(y) * w],
                           static_cast<const BYTE*>(bits.Scan0) + static_cast<ptrdiff_t>(y) * bits.Stride,
                           static_cast<size_t>(w) * 4);
                bitmap.UnlockBits(&bits);
                Premultiply(image.pixels.data(), image.pixels.size());
                image.loaded = true;
            }
        }
    }
    stream->Release();
    return S_OK;
}

HRESULT LoadShadowImage(PremultipliedImage& image, const wchar_t* type, int id)
{
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&LoadShadowImage), &module))
        module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found)
        return E_FAIL;
    HGLOBAL loaded = ::LoadResource(module, found);
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (!bytes)
        return E_FAIL;
    return DecodePremultipliedPng(bytes, ::SizeofResource(module, found), image);
}

}  // namespace velui
