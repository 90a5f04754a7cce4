// URL resolution of the HTML engine: a base and a reference (split at the
// first zero unit) resolve without a crash; file paths come only from file: URLs.
#include "FuzzText.h"
#include "htmlengine/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text = Utf16Units(data, size);
    size_t cut = text.find(L'\0');
    std::wstring base = cut == std::wstring::npos ? L"file://app/installer/install.htm" : text.substr(0, cut);
    std::wstring ref = cut == std::wstring::npos ? text : text.substr(cut + 1);
    std::wstring resolved = he::ResolveUrl(base, ref);
    std::wstring path = he::FilePathOfUrl(resolved);
    he::FilePathOfUrl(ref);
    (void)path;
    return 0;
}
