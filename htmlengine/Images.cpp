#include "htmlengine/Images.h"

#include <shlwapi.h>

#include "common/Handles.h"
#include "htmlengine/Fonts.h"

namespace he {

void AttachBitmap(Picture& p)
{
    p.bitmap = std::make_unique<Gdiplus::Bitmap>(p.width, p.height, p.width * 4, PixelFormat32bppPARGB,
                                                 reinterpret_cast<BYTE*>(p.pixels.data()));
}

std::shared_ptr<Picture> DecodeImage(const unsigned char* data, size_t size)
{
    if (!data || size < 8 || size > 64u * 1024 * 1024 || !EnsureGdiplus())
        return nullptr;
    ComPtr<IStream> stream(SHCreateMemStream(data, static_cast<UINT>(size)));
    if (!stream)
        return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream.get()));
    stream.reset();
    if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok || decoded->GetWidth() == 0 || decoded->GetHeight() == 0)
        return nullptr;
    UINT w = decoded->GetWidth(), h = decoded->GetHeight();
    // 16 M pixels (64 MB decoded) is far beyond any page picture and still fits
    // the address space of a 32-bit process many times over.
    if (w > 16384 || h > 16384 || static_cast<UINT64>(w) * h > kMaxImagePixels)
        return nullptr;
    auto pic = std::make_shared<Picture>();
    pic->width = static_cast<int>(w);
    pic->height = static_cast<int>(h);
    pic->pixels.assign(static_cast<size_t>(w) * h, 0);
    AttachBitmap(*pic);
    {
        Gdiplus::Graphics g(pic->bitmap.get());
        g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        g.DrawImage(decoded.get(), 0, 0, static_cast<INT>(w), static_cast<INT>(h));
    }
    return pic;
}

const Picture* ScaledPicture(const Picture& p, int w, int h)
{
    if (w <= 0 || h <= 0 || w > 8192 || h > 8192)
        return nullptr;
    if (p.scaled && p.scaled->width == w && p.scaled->height == h)
        return p.scaled.get();
    auto out = std::make_unique<Picture>();
    out->width = w;
    out->height = h;
    out->pixels.assign(static_cast<size_t>(w) * h, 0);
    AttachBitmap(*out);
    {
        Gdiplus::Graphics g(out->bitmap.get());
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        Gdiplus::ImageAttributes clamp;
        clamp.SetWrapMode(Gdiplus::WrapModeTileFlipXY);  // no dark fringe at the edges
        g.DrawImage(p.bitmap.get(), Gdiplus::Rect(0, 0, w, h), 0, 0, p.width, p.height, Gdiplus::UnitPixel, &clamp);
    }
    p.scaled = std::move(out);
    return p.scaled.get();
}

void ImageCache::Store(const std::wstring& url, const unsigned char* data, size_t size)
{
    m_images[url] = DecodeImage(data, size);
}

const Picture* ImageCache::Find(const std::wstring& url) const
{
    auto it = m_images.find(url);
    return it == m_images.end() ? nullptr : it->second.get();
}

}  // namespace he
