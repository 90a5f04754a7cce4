#pragma once
// The switch map of both executables: "-" or "/" prefixes, values after "="
// or in the next token, keys lower-cased, values kept as given.
#include <map>
#include <string>
#include <vector>

class CCmdLine {
public:
    // False only when no token list can be formed (a null text).
    bool Parse(const wchar_t* text);
    bool Parse(const std::wstring& text) { return Parse(text.c_str()); }
    bool HasKey(const std::wstring& name) const;
    std::wstring GetValue(const std::wstring& name) const;
    const std::map<std::wstring, std::wstring>& Switches() const { return m_mapSwitch; }

    static std::vector<std::wstring> Tokenize(const wchar_t* text);

private:
    std::map<std::wstring, std::wstring> m_mapSwitch;
};
