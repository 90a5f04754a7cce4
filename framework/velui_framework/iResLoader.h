#pragma once
// What frames need from a resource loader: the bytes for a URL, released
// again once the engine has taken them.
#include <windows.h>

namespace velui {

struct ResRequest {
    const BYTE* data = nullptr;    // out
    UINT size = 0;                 // out
    const wchar_t* url = nullptr;  // in, zero-terminated
};

class iResLoader {
public:
    virtual ~iResLoader() = default;
    virtual bool LoadRes(ResRequest& request) = 0;
    virtual void FreeRes(ResRequest& request) = 0;
    virtual bool Init() = 0;
};

}  // namespace velui
