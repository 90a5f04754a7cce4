#pragma once
// The shadow picture: a PNG resource decoded into 32-bit pixels with
// premultiplied alpha, ready for a layered window.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace velui {

struct PremultipliedImage {
    bool loaded = false;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, rows top-down
};

// Each colour channel becomes channel * alpha / 255, rounded down.
void Premultiply(uint32_t* pixels, size_t count);

// Decodes resource (type, id) of the module that holds this code (or of the
// process's main module): S_OK after an attempt (image.loaded says whether it
// decoded), E_FAIL when the resource is missing.
HRESULT LoadShadowImage(PremultipliedImage& image, const wchar_t* type = L"PNG", int id = 104);
// The same from bytes already in memory.
HRESULT DecodePremultipliedPng(const BYTE* data, ULONG size, PremultipliedImage& image);

}  // namespace velui
