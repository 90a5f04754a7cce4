#include "htmlengine/Images.h"

#include <shlwapi.h>

#include "common/Handles.h"
#include "htmlengine/Fonts.h"

namespace he {

std::unique_ptr<Gdiplus::Bitmap> DecodeImage(const unsigned char* data, size_t size)
{
    if (!data || size < 8 || size > 64u * 1024 * 1024 || !EnsureGdiplus()) return nullptr;
    IStream* raw = SHCreateMemStream(data, static_cast<UINT>(size));
    if (!raw) return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(raw));
    raw->Release();
    if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok || decoded->GetWidth() == 0) return nullptr;
    UINT w = decoded->GetWidth(), h = decoded->GetHeight();
    // Premultiplied copy: the fastest format for DrawImage, independent of the stream.
    auto out = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(w), static_cast<INT>(h), PixelFormat32bppPARGB);
    if (out->GetLastStatus() != Gdiplus::Ok) return nullptr;
    {
        Gdiplus::Graphics g(out.get());
        g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        g.DrawImage(decoded.get(), 0, 0, static_cast<INT>(w), static_cast<INT>(h));
    }
    return out;
}

void ImageCache::Store(const std::wstring& url, const unsigned char* data, size_t size)
{
    m_images[url] = std::shared_ptr<Gdiplus::Bitmap>(DecodeImage(data, size).release());
}

Gdiplus::Bitmap* ImageCache::Find(const std::wstring& url) const
{
    auto it = m_images.find(url);
    return it == m_images.end() ? nullptr : it->second.get();
}

}  // namespace he
