// Archive entry names: an accepted name is a plain relative path that stays
// inside the destination folder, whatever the name holds.
#include "FuzzText.h"
#include "sfx/EntryPath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring name = Utf16Units(data, size);
    std::wstring relative;
    if (!sfx::MakeSafeRelativePath(name, relative))
        return 0;
    FUZZ_CHECK(!relative.empty());
    FUZZ_CHECK(relative.find(L':') == std::wstring::npos);
    FUZZ_CHECK(relative[0] != L'\\' && relative.back() != L'\\');
    FUZZ_CHECK(relative.find(L"\\\\") == std::wstring::npos);
    FUZZ_CHECK(relative != L".." && relative.rfind(L"..\\", 0) != 0);
    FUZZ_CHECK(relative.find(L"\\..\\") == std::wstring::npos);
    FUZZ_CHECK(sfx::IsInsideFolder(L"C:\\dest\\", L"C:\\dest\\" + relative));
    return 0;
}
