// The UI package index on any image: a refused image leaves an empty index,
// an accepted one serves only bytes inside the image, and nothing is ever read
// out of bounds.
#include <cstdint>
#include <string>

#include "ui/MemFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string image(reinterpret_cast<const char*>(data), size);
    MemFiles files;
    bool ok = files.Parse(image);
    if (!ok && files.Count() != 0)
        __builtin_trap();
    // Names are looked up lower-cased; try the names the pages ask for and a
    // few slices of the image itself.
    for (const char* name : {"app/installer/install.htm", "a", "", "app/img/logo.png"}) {
        std::string got = files.GetFile(name);
        if (got.size() > size)
            __builtin_trap();
    }
    for (size_t at = 0; at + 8 <= size && at < 256; at += 16)
        files.GetFile(image.substr(at, 8));
    return 0;
}
