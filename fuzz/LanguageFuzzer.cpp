// setup's language table on any XML text: malformed text adds nothing and
// never crashes; every string read is reachable by its id. The text
// conversions of CCodeChange run on the shim's conversions, which keep
// Windows' contract, so their buffer handling is checked too.
#include "FuzzText.h"
#include "bootstrap/LanguageStrings.h"
#include "common/CodeChange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const wchar_t* const kCodes[] = {L"zh_CN", L"en_US", L"EN_us", L""};
    const wchar_t* code = kCodes[data[0] % 4];
    std::string xml(reinterpret_cast<const char*>(data) + 1, size - 1);
    CLanguageTable table;
    table.LoadFromXml(xml, code);
    for (const auto& [id, text] : table.Strings())
        FUZZ_CHECK(table.Get(id) == text);
    std::wstring wide = CCodeChange::StringUTF8toUTF16(xml);
    std::string back = CCodeChange::StringUTF16toUTF8(wide);
    FUZZ_CHECK(CCodeChange::StringUTF8toUTF16(back) == wide);
    CCodeChange::StringANSItoUTF16(xml);
    return 0;
}
