// The folder-name cleaner, wide and narrow, on any text: no crash, and the
// result never grows by more than the colon it puts back.
#include "FuzzText.h"
#include "engine/model/InstallPath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring wide = Utf16Units(data, size);
    std::wstring cleanedWide = CleanPathName(wide);
    FUZZ_CHECK(cleanedWide.size() <= wide.size() + 1);
    std::string narrow(reinterpret_cast<const char*>(data), size);
    std::string cleanedNarrow = CleanPathName(narrow);
    FUZZ_CHECK(cleanedNarrow.size() <= narrow.size() + 1);
    return 0;
}
