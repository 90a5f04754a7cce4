#pragma once
// What the bootstrap flow needs of the splash picture.
#include <string>

class iSplash {
public:
    virtual ~iSplash() = default;
    // Writes the picture into the work folder and shows it; false (and no
    // window) when the picture cannot be written.
    virtual bool ShowSplash(const std::wstring& workFolder) = 0;
    // Closes the window; returns once the splash thread has ended.
    virtual void CloseSplash() = 0;
};
