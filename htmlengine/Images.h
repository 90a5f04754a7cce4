#pragma once
// Decoded pictures of a page, by URL.
#include <windows.h>

#include <gdiplus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace he {

// The largest picture (width × height) that DecodeImage accepts.
constexpr unsigned long long kMaxImagePixels = 16ull * 1024 * 1024;

// A premultiplied 32-bit picture, both as a GDI+ bitmap (for scaled drawing)
// and as plain pixels (for fast unscaled blending).
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    std::unique_ptr<Gdiplus::Bitmap> bitmap;  // wraps `pixels`
    mutable std::unique_ptr<Picture> scaled;  // the last size it was drawn at, when not its own
};

// The picture resampled to w x h (kept with it for the next frame).
const Picture* ScaledPicture(const Picture& p, int w, int h);

std::shared_ptr<Picture> DecodeImage(const unsigned char* data, size_t size);
// Wraps pixels (already filled) in a GDI+ bitmap.
void AttachBitmap(Picture& p);

class ImageCache {
public:
    // Decodes bytes (PNG, JPEG, GIF, BMP); bytes that do not decode leave the
    // URL known but empty.
    void Store(const std::wstring& url, const unsigned char* data, size_t size);
    const Picture* Find(const std::wstring& url) const;
    bool Known(const std::wstring& url) const { return m_images.count(url) != 0; }
    void Clear() { m_images.clear(); }

private:
    std::map<std::wstring, std::shared_ptr<Picture>> m_images;
};

}  // namespace he
