#include "framework/velui_framework/ShadowImage.h"

#include <cstring>

#include "common/GdiplusFlat.h"
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

HRESULT DecodePremultipliedPng(const BYTE* data, ULONG size, PremultipliedImage& image)
{
    namespace gp = gdiplus_flat;
    image = PremultipliedImage();
    gp::Use gdiplus;
    const gp::Api* api = gdiplus.get();
    if (!api)
        return E_FAIL;
    CMemLockStream* stream = CMemLockStream::Create(data, size);
    if (!stream)
        return E_OUTOFMEMORY;
    gp::Bitmap* bitmap = nullptr;
    if (api->CreateBitmapFromStream(stream, &bitmap) != 0)
        bitmap = nullptr;
    UINT width = 0, height = 0;
    if (bitmap && api->GetImageWidth(bitmap, &width) == 0 && api->GetImageHeight(bitmap, &height) == 0 && width > 0 &&
        height > 0) {
        const int w = static_cast<int>(width), h = static_cast<int>(height);
        gp::Rect rect = {0, 0, w, h};
        gp::BitmapData bits {};
        if (api->BitmapLockBits(bitmap, &rect, gp::kImageLockModeRead, gp::kPixelFormat32bppARGB, &bits) == 0) {
            image.width = w;
            image.height = h;
            image.pixels.resize(static_cast<size_t>(w) * h);
            for (int y = 0; y < h; ++y)
                memcpy(&image.pixels[static_cast<size_t>(y) * w],
                       static_cast<const BYTE*>(bits.Scan0) + static_cast<ptrdiff_t>(y) * bits.Stride,
                       static_cast<size_t>(w) * 4);
            api->BitmapUnlockBits(bitmap, &bits);
            Premultiply(image.pixels.data(), image.pixels.size());
            image.loaded = true;
        }
    }
    if (bitmap)
        api->DisposeImage(bitmap);
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
