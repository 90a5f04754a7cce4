#include "bootstrap/SplashPicture.h"

#include <mutex>
#include <vector>

#include "common/XLog.h"

namespace {

// The few GDI+ flat-API entries the picture needs.
struct GdiplusStartupInput {
    UINT32 GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};
struct GpRect {
    INT X, Y, Width, Height;
};
struct GpBitmapData {
    UINT Width;
    UINT Height;
    INT Stride;
    INT PixelFormat;
    void* Scan0;
    UINT_PTR Reserved;
};
using GpBitmap = void;
using GpStatus = int;

const INT kPixelFormatAlpha = 0x00040000;
const INT kPixelFormat24bppRGB = 0x00021808;
const INT kPixelFormat32bppARGB = 0x0026200A;
const UINT kImageLockModeRead = 1;
const UINT kImageLockModeUserInputBuf = 4;

struct GdiplusApi {
    GpStatus(WINAPI* Startup)(ULONG_PTR*, const GdiplusStartupInput*, void*) = nullptr;
    void(WINAPI* Shutdown)(ULONG_PTR) = nullptr;
    GpStatus(WINAPI* CreateBitmapFromFile)(const WCHAR*, GpBitmap**) = nullptr;
    GpStatus(WINAPI* DisposeImage)(void*) = nullptr;
    GpStatus(WINAPI* GetImageWidth)(void*, UINT*) = nullptr;
    GpStatus(WINAPI* GetImageHeight)(void*, UINT*) = nullptr;
    GpStatus(WINAPI* GetImagePixelFormat)(void*, INT*) = nullptr;
    GpStatus(WINAPI* BitmapLockBits)(GpBitmap*, const GpRect*, UINT, INT, GpBitmapData*) = nullptr;
    GpStatus(WINAPI* BitmapUnlockBits)(GpBitmap*, GpBitmapData*) = nullptr;
};

template <typename Fn> bool Bind(HMODULE module, const char* name, Fn& fn)
{
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return fn != nullptr;
}

// GDI+ is started once per process while any picture uses it.
class GdiplusSession {
public:
    static GdiplusSession& Instance()
    {
        static GdiplusSession session;
        return session;
    }
    const GdiplusApi* Acquire()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_uses == 0 && !Start())
            return nullptr;
        ++m_uses;
        return &m_api;
    }
    // Valid while a use is held.
    const GdiplusApi* Api() { return &m_api; }
    void Release()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_uses > 0 && --m_uses == 0) {
            m_api.Shutdown(m_token);
            m_token = 0;
        }
    }

private:
    bool Start()
    {
        if (!m_module) {
            wchar_t system[MAX_PATH] = {};
            UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
            if (length == 0 || length >= MAX_PATH)
                return false;
            std::wstring path = std::wstring(system, length) + L"\\gdiplus.dll";
            m_module = ::LoadLibraryW(path.c_str());
            if (!m_module)
                return false;
            bool bound = Bind(m_module, "GdiplusStartup", m_api.Startup) &&
                         Bind(m_module, "GdiplusShutdown", m_api.Shutdown) &&
                         Bind(m_module, "GdipCreateBitmapFromFile", m_api.CreateBitmapFromFile) &&
                         Bind(m_module, "GdipDisposeImage", m_api.DisposeImage) &&
                         Bind(m_module, "GdipGetImageWidth", m_api.GetImageWidth) &&
                         Bind(m_module, "GdipGetImageHeight", m_api.GetImageHeight) &&
                         Bind(m_module, "GdipGetImagePixelFormat", m_api.GetImagePixelFormat) &&
                         Bind(m_module, "GdipBitmapLockBits", m_api.BitmapLockBits) &&
                         Bind(m_module, "GdipBitmapUnlockBits", m_api.BitmapUnlockBits);
            if (!XCHECK(bound)) {
                m_api = GdiplusApi();
                return false;
            }
        }
        if (!m_api.Startup)
            return false;
        GdiplusStartupInput input = {1, nullptr, FALSE, FALSE};
        return m_api.Startup(&m_token, &input, nullptr) == 0;
    }

    std::mutex m_lock;
    HMODULE m_module = nullptr;  // kept loaded for the process
    GdiplusApi m_api;
    ULONG_PTR m_token = 0;
    int m_uses = 0;
};

}  // namespace

CSplashPicture::~CSplashPicture()
{
    Free();
    if (m_bGdiplus)
        GdiplusSession::Instance().Release();
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
    const GdiplusApi* api = m_bGdiplus ? GdiplusSession::Instance().Api() : nullptr;
    if (!api) {
        api = GdiplusSession::Instance().Acquire();
        m_bGdiplus = api != nullptr;
    }
    if (!api)
        return false;

    GpBitmap* bitmap = nullptr;
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
        bool alpha = (format & kPixelFormatAlpha) != 0;
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
            GpRect rect = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
            GpBitmapData data = {};
            data.Width = width;
            data.Height = height;
            data.Stride = static_cast<INT>(((width * bpp + 31) / 32) * 4);
            data.PixelFormat = alpha ? kPixelFormat32bppARGB : kPixelFormat24bppRGB;
            data.Scan0 = bits;
            if (api->BitmapLockBits(bitmap, &rect, kImageLockModeRead | kImageLockModeUserInputBuf, data.PixelFormat,
                                    &data) == 0) {
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
