#include "framework/velui_framework/ShadowImage.h"

#include <objidl.h>
#include <gdiplus.h>

#include "common/SystemLibrary.h"
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

// GDI+ is not on the KnownDLLs list: its flat functions are taken from the
// system folder's copy at run time rather than imported, so a gdiplus.dll
// planted beside the elevated engine is never loaded.
struct GdiplusFunctions {
    using Startup = Gdiplus::Status(WINAPI*)(ULONG_PTR*, const Gdiplus::GdiplusStartupInput*, void*);
    using Shutdown = void(WINAPI*)(ULONG_PTR);
    using FromStream = Gdiplus::Status(WINAPI*)(IStream*, void**);
    using Dimension = Gdiplus::Status(WINAPI*)(void*, UINT*);
    using Lock = Gdiplus::Status(WINAPI*)(void*, const Gdiplus::Rect*, UINT, INT, Gdiplus::BitmapData*);
    using Unlock = Gdiplus::Status(WINAPI*)(void*, Gdiplus::BitmapData*);
    using Dispose = Gdiplus::Status(WINAPI*)(void*);

    Startup startup = Fn<Startup>("GdiplusStartup");
    Shutdown shutdown = Fn<Shutdown>("GdiplusShutdown");
    FromStream fromStream = Fn<FromStream>("GdipCreateBitmapFromStream");
    Dimension width = Fn<Dimension>("GdipGetImageWidth");
    Dimension height = Fn<Dimension>("GdipGetImageHeight");
    Lock lockBits = Fn<Lock>("GdipBitmapLockBits");
    Unlock unlockBits = Fn<Unlock>("GdipBitmapUnlockBits");
    Dispose dispose = Fn<Dispose>("GdipDisposeImage");

    bool complete() const
    {
        return startup && shutdown && fromStream && width && height && lockBits && unlockBits && dispose;
    }

private:
    template <typename F> static F Fn(const char* name) { return SystemFunction<F>(L"gdiplus.dll", name); }
};

class GdiplusSession {
public:
    explicit GdiplusSession(const GdiplusFunctions& gdip) : m_gdip(gdip)
    {
        Gdiplus::GdiplusStartupInput input;
        m_ok = m_gdip.startup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession()
    {
        if (m_ok)
            m_gdip.shutdown(m_token);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool ok() const { return m_ok; }

private:
    const GdiplusFunctions& m_gdip;
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};

// A decoded bitmap, disposed before its session ends.
class GdiplusBitmap {
public:
    GdiplusBitmap(const GdiplusFunctions& gdip, IStream* stream) : m_gdip(gdip)
    {
        if (m_gdip.fromStream(stream, &m_bitmap) != Gdiplus::Ok)
            m_bitmap = nullptr;
    }
    ~GdiplusBitmap()
    {
        if (m_bitmap)
            m_gdip.dispose(m_bitmap);
    }
    GdiplusBitmap(const GdiplusBitmap&) = delete;
    GdiplusBitmap& operator=(const GdiplusBitmap&) = delete;
    void* get() const { return m_bitmap; }

private:
    const GdiplusFunctions& m_gdip;
    void* m_bitmap = nullptr;
};

}  // namespace

HRESULT DecodePremultipliedPng(const BYTE* data, ULONG size, PremultipliedImage& image)
{
    image = PremultipliedImage();
    static const GdiplusFunctions gdip;
    if (!gdip.complete())
        return E_FAIL;
    CMemLockStream* stream = CMemLockStream::Create(data, size);
    if (!stream)
        return E_OUTOFMEMORY;
    {
        GdiplusSession session(gdip);
        if (session.ok()) {
            GdiplusBitmap bitmap(gdip, stream);
            UINT width = 0, height = 0;
            if (bitmap.get() && gdip.width(bitmap.get(), &width) == Gdiplus::Ok &&
                gdip.height(bitmap.get(), &height) == Gdiplus::Ok && width > 0 && height > 0) {
                const int w = static_cast<int>(width), h = static_cast<int>(height);
                Gdiplus::Rect rect(0, 0, w, h);
                Gdiplus::BitmapData bits {};
                if (gdip.lockBits(bitmap.get(), &rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &bits) ==
                    Gdiplus::Ok) {
                    image.width = w;
                    image.height = h;
                    image.pixels.resize(static_cast<size_t>(w) * h);
                    for (int y = 0; y < h; ++y)
                        memcpy(&image.pixels[static_cast<size_t>(y) * w],
                               static_cast<const BYTE*>(bits.Scan0) + static_cast<ptrdiff_t>(y) * bits.Stride,
                               static_cast<size_t>(w) * 4);
                    gdip.unlockBits(bitmap.get(), &bits);
                    Premultiply(image.pixels.data(), image.pixels.size());
                    image.loaded = true;
                }
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
