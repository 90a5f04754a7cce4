#pragma once
// URL resolution for references inside pages.
#include <string>

namespace he {

// Resolves `ref` against `base` ("file://app/installer/install.htm" + "res/a.png").
std::wstring ResolveUrl(const std::wstring& base, const std::wstring& ref);
// A local file path for file: URLs that name one ("file:///C:/x", "file://C:\x"), else "".
std::wstring FilePathOfUrl(const std::wstring& url);

}  // namespace he
