#pragma once
// Decoded pictures of a page, by URL.
#include <windows.h>

#include <gdiplus.h>

#include <map>
#include <memory>
#include <string>

namespace he {

class ImageCache {
public:
    // Decodes bytes (PNG, JPEG, GIF, BMP) into a premultiplied 32-bit bitmap;
    // bytes that do not decode leave the URL known but empty.
    void Store(const std::wstring& url, const unsigned char* data, size_t size);
    Gdiplus::Bitmap* Find(const std::wstring& url) const;
    bool Known(const std::wstring& url) const { return m_images.count(url) != 0; }
    void Clear() { m_images.clear(); }

private:
    std::map<std::wstring, std::shared_ptr<Gdiplus::Bitmap>> m_images;
};

std::unique_ptr<Gdiplus::Bitmap> DecodeImage(const unsigned char* data, size_t size);

}  // namespace he
