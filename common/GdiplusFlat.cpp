#include "common/GdiplusFlat.h"

#include <mutex>

#include "common/SystemLibrary.h"
#include "common/XLog.h"

namespace gdiplus_flat {
namespace {

struct StartupInput {
    UINT32 GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};

template <typename Fn> bool Bind(const char* name, Fn& fn)
{
    fn = SystemFunction<Fn>(L"gdiplus.dll", name);
    return fn != nullptr;
}

class Session {
public:
    static Session& Instance()
    {
        static Session session;
        return session;
    }
    const Api* Acquire()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_uses == 0 && !Start())
            return nullptr;
        ++m_uses;
        return &m_api;
    }
    void Release()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_uses > 0 && --m_uses == 0) {
            m_shutdown(m_token);
            m_token = 0;
        }
    }

private:
    bool Start()
    {
        if (!m_bound) {
            bool bound = Bind("GdiplusStartup", m_startup) && Bind("GdiplusShutdown", m_shutdown) &&
                         Bind("GdipCreateBitmapFromFile", m_api.CreateBitmapFromFile) &&
                         Bind("GdipCreateBitmapFromStream", m_api.CreateBitmapFromStream) &&
                         Bind("GdipDisposeImage", m_api.DisposeImage) &&
                         Bind("GdipGetImageWidth", m_api.GetImageWidth) &&
                         Bind("GdipGetImageHeight", m_api.GetImageHeight) &&
                         Bind("GdipGetImagePixelFormat", m_api.GetImagePixelFormat) &&
                         Bind("GdipBitmapLockBits", m_api.BitmapLockBits) &&
                         Bind("GdipBitmapUnlockBits", m_api.BitmapUnlockBits);
            if (!XCHECK(bound))
                return false;
            m_bound = true;
        }
        StartupInput input = {1, nullptr, FALSE, FALSE};
        return m_startup(&m_token, &input, nullptr) == 0;
    }

    std::mutex m_lock;
    bool m_bound = false;
    Status(WINAPI* m_startup)(ULONG_PTR*, const StartupInput*, void*) = nullptr;
    void(WINAPI* m_shutdown)(ULONG_PTR) = nullptr;
    Api m_api;
    ULONG_PTR m_token = 0;
    int m_uses = 0;
};

}  // namespace

const Api* Acquire()
{
    return Session::Instance().Acquire();
}

void Release()
{
    Session::Instance().Release();
}

}  // namespace gdiplus_flat
