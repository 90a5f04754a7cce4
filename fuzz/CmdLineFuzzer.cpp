// The command line of both programs: any text gives a switch map whose keys
// are lower case and non-empty, and parsing the same text twice agrees.
#include <cwctype>

#include "FuzzText.h"
#include "common/CmdLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text = Utf16Units(data, size);
    CCmdLine first;
    FUZZ_CHECK(first.Parse(text));
    for (const auto& [key, value] : first.Switches()) {
        for (wchar_t c : key)
            FUZZ_CHECK(static_cast<wchar_t>(std::towlower(c)) == c);
        FUZZ_CHECK(first.HasKey(key));
        FUZZ_CHECK(first.GetValue(key) == value);
    }
    CCmdLine second;
    second.Parse(text.c_str());
    FUZZ_CHECK(first.Switches() == second.Switches());
    CCmdLine::Tokenize(text.c_str());
    return 0;
}
