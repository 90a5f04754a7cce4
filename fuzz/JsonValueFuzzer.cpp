// The HTML engine's JSON value reader (values from pages and scripts): any
// text parses or stops without a crash, and what parsed writes out as JSON
// that reads back. Whole-numbered floats come back as integers (-0 as 0), so
// the text is compared from the second writing on.
#include <algorithm>

#include "FuzzText.h"
#include "htmlengine/Value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text = Utf16Units(data, size);
    he::Value value;
    size_t rest = he::ParseJsonValue(text.c_str(), text.size(), value.get());
    FUZZ_CHECK(rest <= std::max<size_t>(text.size(), 1));  // a failure reports at least 1
    if (rest == 0) {
        std::wstring json = he::ValueJson(value.get());
        he::Value again;
        FUZZ_CHECK(he::ParseJsonValue(json.c_str(), json.size(), again.get()) == 0);
        std::wstring second = he::ValueJson(again.get());
        he::Value third;
        FUZZ_CHECK(he::ParseJsonValue(second.c_str(), second.size(), third.get()) == 0);
        FUZZ_CHECK(he::ValueJson(third.get()) == second);
    }
    return 0;
}
