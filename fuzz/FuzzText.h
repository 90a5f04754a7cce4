#pragma once
// Fuzzer input as UTF-16 code units, the way Windows hands text to the
// programs (wchar_t is 32 bits on Linux).
#include <cstddef>
#include <cstdint>
#include <string>

inline std::wstring Utf16Units(const uint8_t* data, size_t size)
{
    std::wstring text;
    text.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return text;
}

// Fails loudly: libFuzzer records the input as a crash.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            __builtin_trap();                                                                                          \
    } while (0)
